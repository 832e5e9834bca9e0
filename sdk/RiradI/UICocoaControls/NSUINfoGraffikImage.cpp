#include "NSUINfoGraffikImage.h"

#include "NSUIToolButton.h"

#include <AppKit/NSGraphicsContext.h>
#include <CocoaGraphics/UFOffscreenBitmapGraphicsContext.h>
#include <CoreG/Drawing/namespace_CoreGraphics_QuartzDrawing.h>
#include <CoreFoundation/CFString.h>

#include <algorithm>
#include <cmath>

namespace {

color_4D Color4D(const QColor &color, double alpha) {
    const QColor rgb = color.toRgb();
    return color_4D{float(rgb.redF()), float(rgb.greenF()), float(rgb.blueF()), float(alpha)};
}

CGRect CentredSquare(CGRect square, CGFloat side) {
    const CGFloat inset = (square.size.width - side) * 0.5;
    return CGRectMake(square.origin.x + inset, square.origin.y + inset, side, side);
}

}  // namespace

std::shared_ptr<NSUINfoGraffikImage> NSUINfoGraffikImage::buttonImageForSizeState(NSUIToolButton *button,
                                                                                  const QString &name, NSSize size,
                                                                                  int state, int kind) {
    const CGFloat width = std::isfinite(size.width) ? std::trunc(size.width) : 0;
    const CGFloat height = std::isfinite(size.height) ? std::trunc(size.height) : 0;
    // Beyond this a button picture is a mistake, not a size.
    constexpr CGFloat kLargest = 4096;
    if (width < 1 || height < 1 || width > kLargest || height > kLargest) return nullptr;
    auto image = std::make_shared<NSUINfoGraffikImage>(NSMakeSize(width, height));

    std::unique_ptr<UFOffscreenBitmapGraphicsContext> offscreen =
        UFOffscreenBitmapGraphicsContext::offscreenBitmapContextWithSizePixels(NSMakeSize(width, height));
    if (offscreen == nullptr || offscreen->lockFocusAndEraseTransparent(true) == nullptr) return image;
    const CGFloat margin = kind != 0 ? 2 : 0;
    drawButton(button, name, CGRectMake(margin, margin, width - 2 * margin, height - 2 * margin), state, margin, kind);
    offscreen->unlockFocus();
    if (std::shared_ptr<NSBitmapImageRep> bitmap = offscreen->bitmapImageRep()) image->addRepresentation(bitmap);
    return image;
}

CGFloat NSUINfoGraffikImage::pictureScaleForKind(int kind) {
    switch (kind) {
    case 1: return 0.8;
    case 3:
    case 4: return 0.9;
    default: return 1.0;
    }
}

void NSUINfoGraffikImage::drawButton(NSUIToolButton *button, const QString &name, CGRect rect, int state,
                                     CGFloat margin, int kind) {
    const std::shared_ptr<NSGraphicsContext> current = NSGraphicsContext::currentContext();
    CGContextRef context = current != nullptr ? current->graphicsPort() : nullptr;
    if (button == nullptr || context == nullptr) return;
    const color_4D fill = Color4D(button->buttonFillColorForState(state), 1.0);
    const double opacity = button->buttonImageOpacityForState(state);

    const CGFloat side = std::max<CGFloat>(0, std::min(rect.size.width, rect.size.height));
    const CGRect square = CGRectMake(rect.origin.x + (rect.size.width - side) * 0.5,
                                     rect.origin.y + (rect.size.height - side) * 0.5, side, side);
    CGContextSaveGState(context);
    CGContextSetRGBFillColor(context, fill.red, fill.green, fill.blue, fill.alpha);
    CGRect pictureArea = square;
    if (kind == 1 || kind == 3 || kind == 4) {
        CGContextFillEllipseInRect(context, square);
        pictureArea = CentredSquare(square, side * pictureScaleForKind(kind));
    } else {
        CoreGraphics::FillRoundedRectPath(context, float(square.origin.x - margin * 0.5),
                                          float(square.origin.y - margin * 0.5), float(side), float(side), 0,
                                          float(cornerRadiusForSide(side)));
    }
    CGContextRestoreGState(context);
    drawImage(name, pictureArea, opacity);
}

void NSUINfoGraffikImage::drawImage(const QString &name, CGRect rect, CGFloat opacity) {
    if (name.isEmpty()) return;
    const std::shared_ptr<NSGraphicsContext> current = NSGraphicsContext::currentContext();
    CGContextRef context = current != nullptr ? current->graphicsPort() : nullptr;
    if (context == nullptr) return;
    if (CFURLRef url = CoreGraphics::CopyMainBundleResourceURL(name.toUtf8().constData(), CFSTR("pdf"))) {
        CGContextSaveGState(context);
        CGContextSetAlpha(context, opacity);
        CoreGraphics::DrawPDFPageInRect(context, url, rect, 1, 1);
        CGContextRestoreGState(context);
        CFRelease(url);
        return;
    }
    if (const std::shared_ptr<NSImage> image = NSImage::imageNamed(name)) {
        const NSSize size = image->size();
        NSImageDrawInRect(*image, CGRectMake(rect.origin.x, rect.origin.y, size.width, size.height), CGRectZero,
                          NSCompositingOperationSourceIn, opacity);
    }
}

color_4D NSUINfoGraffikImage::fillColorForState(const NSUIToolButton *, int state) {
    return color_4D{0.1f, 0.1f, 0.1f, state == 1 ? 1.0f : 0.5f};
}

color_4D NSUINfoGraffikImage::strokeColorForState(const NSUIToolButton *, int) {
    return color_4D{0.1f, 0.1f, 0.1f, 0.8f};
}

color_4D NSUINfoGraffikImage::highlightColor(const NSUIToolButton *button) {
    if (button == nullptr) return color_4D{1.0f, 1.0f, 1.0f, 0.8f};
    return Color4D(button->defaultButtonHighlightColor(), 0.8);
}

bool import_NSUINfoGraffikImage() {
    return import_UFOffscreenBitmapGraphicsContext() && import_namespace_CoreGraphics_QuartzDrawing();
}
