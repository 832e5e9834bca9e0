#include "NSSliderCell_Labeling.h"

#include <AppKit/NSGraphicsContext.h>
#include <UICocoaViews/NSUILozengeView.h>

#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CoreText.h>

#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

CGContextRef CurrentPort() {
    const std::shared_ptr<NSGraphicsContext> context = NSGraphicsContext::currentContext();
    return context != nullptr ? context->graphicsPort() : nullptr;
}

bool IsQuarterTurn(double degrees) { return degrees == 90.0 || degrees == -90.0; }

}  // namespace

bool NSSliderCell_Labeling::isVertical(CGRect rect) { return rect.size.height > rect.size.width; }

bool NSSliderCell_Labeling::isHorizontal(CGRect rect) { return rect.size.width > rect.size.height; }

CGRect NSSliderCell_Labeling::alwaysHorizontalFrame(CGRect rect) {
    if (rect.size.height > rect.size.width) std::swap(rect.size.width, rect.size.height);
    return rect;
}

CGRect NSSliderCell_Labeling::calculateKnobRectForCellFrame(const NSSliderCell &cell, CGRect frame, bool flipped) {
    const double span = cell.maxValue() - cell.minValue();
    double t = span != 0 ? (cell.doubleValue() - cell.minValue()) / span : 0.0;
    t = std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 0.0;
    CGRect knob = frame;
    const CGFloat w = frame.size.width, h = frame.size.height;
    if (h > w) {
        knob.size.height = w;
        knob.origin.y = flipped ? frame.origin.y + (h - w) * (1.0 - t) : frame.origin.y + (h - w) * t;
    } else if (w > h) {
        knob.size.width = h;
        knob.origin.x = frame.origin.x + (w - h) * t;
    }
    return knob;
}

void NSSliderCell_Labeling::drawLozengeBackground(CGRect rect) {
    drawLozengeBackground(CGRectInset(rect, 1.0, 1.0), 0.9f, 0.1f);
}

void NSSliderCell_Labeling::drawLozengeBackground(CGRect rect, float grey, float alpha) {
    CGContextRef port = CurrentPort();
    if (port == nullptr) return;
    CGContextSaveGState(port);
    DrawLozenge(port, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height, grey, grey, grey, alpha);
    CGContextRestoreGState(port);
}

void NSSliderCell_Labeling::drawTextInRect(CGRect rect, const QString &text, CGFloat textSize,
                                           const QColor &textColor) {
    CGContextRef port = CurrentPort();
    if (port == nullptr || text.isEmpty() || CGRectIsEmpty(rect) || !(textSize > 0)) return;
    const QByteArray utf8 = text.toUtf8();
    CFStringRef string = CFStringCreateWithCString(nullptr, utf8.constData(), kCFStringEncodingUTF8);
    if (string == nullptr) return;
    CTFontRef font = CTFontCreateWithName(nullptr, textSize, nullptr);
    const void *keys[] = {kCTFontAttributeName, kCTForegroundColorFromContextAttributeName};
    const void *values[] = {font, kCFBooleanTrue};
    CFDictionaryRef attributes =
        CFDictionaryCreate(nullptr, keys, values, 2, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFAttributedStringRef attributed = CFAttributedStringCreate(nullptr, string, attributes);
    CTLineRef line = attributed != nullptr ? CTLineCreateWithAttributedString(attributed) : nullptr;
    if (line != nullptr) {
        CGFloat ascent = 0, descent = 0, leading = 0;
        const double width = CTLineGetTypographicBounds(line, &ascent, &descent, &leading);
        CGContextSaveGState(port);
        CGContextClipToRect(port, rect);
        const CGFloat red = textColor.redF(), green = textColor.greenF(), blue = textColor.blueF();
        const CGFloat alpha = textColor.alphaF();
        CGContextSetRGBFillColor(port, red, green, blue, alpha);
        CGContextSetRGBStrokeColor(port, red, green, blue, alpha);
        // The sans-serif face made bold by outlining its letters in their own colour.
        CGContextSetLineWidth(port, textSize / 16.0);
        CGContextSetTextDrawingMode(port, kCGTextFillStroke);
        CGContextSetTextMatrix(port, CGAffineTransformIdentity);
        // The first line of the text starts at the top of the rectangle (y up).
        CGContextSetTextPosition(port, CGRectGetMidX(rect) - width / 2, CGRectGetMaxY(rect) - ascent);
        CTLineDraw(line, port);
        CGContextRestoreGState(port);
        CFRelease(line);
    }
    if (attributed != nullptr) CFRelease(attributed);
    CFRelease(attributes);
    CFRelease(font);
    CFRelease(string);
}

std::unique_ptr<UFOffscreenBitmapGraphicsContext> NSSliderCell_Labeling::beginNewImageWithLockedFocus(CGRect rect,
                                                                                                     double scale) {
    if (!(scale > 0) || !std::isfinite(scale)) scale = 1.0;
    const double width = std::ceil(rect.size.width * scale), height = std::ceil(rect.size.height * scale);
    if (!(width >= 1 && height >= 1)) return nullptr;
    auto offscreen = std::make_unique<UFOffscreenBitmapGraphicsContext>(NSMakeSize(width, height));
    if (offscreen->lockFocusAndEraseTransparent(true) == nullptr) return nullptr;
    CGContextScaleCTM(offscreen->graphicsContext(), scale, scale);
    return offscreen;
}

double NSSliderCell_Labeling::scaleForRetinaDisplay(const QScreen *screen) {
    return UFOffscreenBitmapGraphicsContext::scaleForRetinaDisplay(screen);
}

std::shared_ptr<NSImage> NSSliderCell_Labeling::rotateImage(const std::shared_ptr<NSImage> &image,
                                                            const QScreen *screen, double degrees) {
    return rotateImageWithOffscreenContext(image, screen, degrees);
}

std::shared_ptr<NSImage> NSSliderCell_Labeling::rotateImageWithOffscreenContext(const std::shared_ptr<NSImage> &image,
                                                                                const QScreen *screen,
                                                                                double degrees) {
    if (image == nullptr) return nullptr;
    if (degrees == 0) return image;
    const NSSize size = image->size();
    if (!(size.width > 0 && size.height > 0) || !std::isfinite(degrees)) return nullptr;
    const CGFloat width = IsQuarterTurn(degrees) ? size.height : size.width;
    const CGFloat height = IsQuarterTurn(degrees) ? size.width : size.height;
    const double scale = scaleForRetinaDisplay(screen);
    std::unique_ptr<UFOffscreenBitmapGraphicsContext> offscreen =
        beginNewImageWithLockedFocus(CGRectMake(0, 0, width, height), scale);
    if (offscreen == nullptr) return nullptr;
    CGContextRef port = offscreen->graphicsContext();
    CGContextSetInterpolationQuality(port, kCGInterpolationNone);
    CGContextTranslateCTM(port, width / 2, height / 2);
    CGContextRotateCTM(port, degrees * M_PI / 180.0);
    CGContextTranslateCTM(port, -size.width / 2, -size.height / 2);
    NSImageDrawInRect(*image, CGRectMake(0, 0, size.width, size.height), CGRectMake(0, 0, size.width, size.height),
                      NSCompositingOperationCopy, 1.0);
    offscreen->unlockFocus();
    std::shared_ptr<NSImage> turned = offscreen->image();
    if (turned != nullptr) turned->setSize(NSMakeSize(width, height));
    return turned;
}

std::shared_ptr<NSImage> NSSliderCell_Labeling::rotateImageWithBitmapDataTransform(const NSImage &image,
                                                                                   double degrees) {
    auto turned = std::make_shared<NSImage>();
    if (image.representations().empty()) return turned;
    CGImageRef source = NSBitmapImageRepCreateCGImage(image.representations().front());
    if (source == nullptr) return turned;
    CGImageRef rotated = coreGraphicsImageCreateRotated(source, degrees);
    CGImageRelease(source);
    if (rotated == nullptr) return turned;
    auto bitmap = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, long(CGImageGetWidth(rotated)),
                                                             long(CGImageGetHeight(rotated)), 8, 4, true, false,
                                                             NSDeviceRGBColorSpace, NSAlphaFirstBitmapFormat, 0, 32);
    const std::shared_ptr<NSGraphicsContext> context = NSGraphicsContext::graphicsContextWithBitmapImageRep(bitmap);
    if (context != nullptr) {
        CGContextSetBlendMode(context->graphicsPort(), kCGBlendModeCopy);
        CGContextDrawImage(context->graphicsPort(),
                           CGRectMake(0, 0, CGFloat(bitmap->pixelsWide()), CGFloat(bitmap->pixelsHigh())), rotated);
        context->flushGraphics();
        turned->addRepresentation(bitmap);
    }
    CGImageRelease(rotated);
    return turned;
}

CGImageRef NSSliderCell_Labeling::coreGraphicsImageCreateRotated(CGImageRef image, double degrees) {
    if (image == nullptr || !std::isfinite(degrees)) return nullptr;
    const CGFloat w = CGFloat(CGImageGetWidth(image)), h = CGFloat(CGImageGetHeight(image));
    const CGFloat width = IsQuarterTurn(degrees) ? h : w, height = IsQuarterTurn(degrees) ? w : h;
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef context = CGBitmapContextCreate(nullptr, size_t(width), size_t(height), 8, 0, space,
                                                 kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Big);
    CGColorSpaceRelease(space);
    if (context == nullptr) return nullptr;
    CGContextSetInterpolationQuality(context, kCGInterpolationNone);
    CGContextTranslateCTM(context, width / 2, height / 2);
    CGContextRotateCTM(context, degrees * M_PI / 180.0);
    CGContextTranslateCTM(context, -w / 2, -h / 2);
    CGContextSetBlendMode(context, kCGBlendModeCopy);
    CGContextDrawImage(context, CGRectMake(0, 0, w, h), image);
    CGImageRef rotated = CGBitmapContextCreateImage(context);
    CGContextRelease(context);
    return rotated;
}

bool import_NSSliderCell_Labeling() { return import_UFOffscreenBitmapGraphicsContext(); }
