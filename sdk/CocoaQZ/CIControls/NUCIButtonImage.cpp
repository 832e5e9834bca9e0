// No QtGui here: the mask brings in the QuickTime library (see the header).
#include "NUCIButtonImage.h"

#include <AppKit/NSGraphicsContext.h>
#include <CocoaGraphics/UFOffscreenBitmapGraphicsContext.h>
#include <CoreG/Drawing/namespace_CoreGraphics_QuartzDrawing.h>
#include <CoreG/Masks/namespace_CoreGraphics_MaskContext.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSException.h>

#include <algorithm>
#include <cmath>

namespace {

CGContextRef CurrentPort() {
    const auto context = NSGraphicsContext::currentContext();
    return context != nullptr ? context->graphicsPort() : nullptr;
}

CGFloat SmallerSide(CGRect rect) { return std::min(rect.size.width, rect.size.height); }

// An image mask over the part of the mask's bytes under `rect` (pixels, origin bottom-left),
// grown to whole pixels and kept inside the mask; the rectangle it covers goes to `covered`.
CGImageRef CreateCroppedImageMask(CoreGraphics::MaskContext &mask, CGRect rect, CGRect &covered) {
    if (!mask.IsConstructed()) return nullptr;
    const double width = mask.mImageWidth, height = mask.mImageHeight;
    const double x0 = std::clamp(std::floor(CGRectGetMinX(rect)), 0.0, width);
    const double y0 = std::clamp(std::floor(CGRectGetMinY(rect)), 0.0, height);
    const double x1 = std::clamp(std::ceil(CGRectGetMaxX(rect)), 0.0, width);
    const double y1 = std::clamp(std::ceil(CGRectGetMaxY(rect)), 0.0, height);
    if (!(x1 - x0 >= 1 && y1 - y0 >= 1)) return nullptr;
    mask.WillAccessPixels();
    const size_t firstRow = size_t(height - y1), column = size_t(x0);
    const size_t columns = size_t(x1 - x0), rows = size_t(y1 - y0);
    const size_t offset = firstRow * mask.mImageRowBytes + column;
    const size_t length = (rows - 1) * mask.mImageRowBytes + columns;
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, mask.mImageDataBytes + offset, length, nullptr);
    if (provider == nullptr) return nullptr;
    CGImageRef image = CGImageMaskCreate(columns, rows, 8, 8, mask.mImageRowBytes, provider, nullptr, true);
    CGDataProviderRelease(provider);
    covered = CGRectMake(x0, y0, x1 - x0, y1 - y0);
    return image;
}

}  // namespace

// ---- NUCIMaskedImage

NUCIMaskedImage::NUCIMaskedImage() = default;
NUCIMaskedImage::~NUCIMaskedImage() = default;

bool NUCIMaskedImage::initMaskWithSize(NSSize sizePixels) {
    if (!(sizePixels.width >= 1 && sizePixels.height >= 1 && sizePixels.width <= 16384 && sizePixels.height <= 16384))
        return false;
    auto mask = std::make_unique<CoreGraphics::MaskContext>();
    if (!mask->Construct(int(sizePixels.width), int(sizePixels.height)) || !mask->MakeOpaque()) return false;
    mMask = std::move(mask);
    setSize(sizePixels);
    return true;
}

CGContextRef NUCIMaskedImage::maskGraphicsContext() const { return mMask != nullptr ? mMask->mContext : nullptr; }

CGImageRef NUCIMaskedImage::createMaskImageFromMaskContext() const {
    if (mMask == nullptr) return nullptr;
    mMask->WillAccessPixels();
    return mMask->ConstructCGImage(nullptr);
}

void NUCIMaskedImage::drawImageNamed(const QString &name, CGRect rect) {
    if (name.isEmpty()) return;
    CFURLRef url = CoreGraphics::CopyMainBundleResourceURL(name.toUtf8().constData(), CFSTR("pdf"));
    if (url != nullptr) {
        drawPDFImageNamedURL(url, rect);
        CFRelease(url);
        return;
    }
    drawBundleImageNamed(name, rect);
}

void NUCIMaskedImage::drawPDFImageNamedURL(CFURLRef url, CGRect rect) {
    CGContextRef port = CurrentPort();
    if (port == nullptr || url == nullptr) return;
    CGContextSaveGState(port);
    CoreGraphics::DrawPDFPageInRect(port, url, rect, 1.0f, 1.0f);
    CGContextRestoreGState(port);
}

bool NUCIMaskedImage::drawBundleImageNamed(const QString &name, CGRect rect) {
    const std::shared_ptr<NSImage> image = NSImage::imageNamed(name);
    if (image == nullptr) return false;
    const NSSize size = image->size();
    return NSImageDrawInRect(*image, CGRectMake(rect.origin.x, rect.origin.y, size.width, size.height), CGRectNull,
                             NSCompositingOperationSourceIn, 1.0);
}

// ---- NUCIButtonImage

NUCIButtonImage::NUCIButtonImage() = default;
NUCIButtonImage::~NUCIButtonImage() = default;

std::shared_ptr<NUCIButtonImage> NUCIButtonImage::imageNamed(NUCIButtonImageClass cls, const QString &name,
                                                             NSSize sizePixels, int state) {
    std::shared_ptr<NUCIButtonImage> image = cls != nullptr ? cls() : nullptr;
    if (image == nullptr || !image->initWithSize(sizePixels)) return nullptr;
    image->drawnImageNamed(name, state);
    return image;
}

bool NUCIButtonImage::drawnImageNamed(const QString &name, int state) {
    const NSSize pixels = size();
    UFOffscreenBitmapGraphicsContext offscreen(pixels);
    if (offscreen.bitmapImageRep() == nullptr) return false;
    const std::shared_ptr<NSGraphicsContext> context = offscreen.lockFocusAndEraseTransparent(true);
    if (context == nullptr) return false;
    CGContextRef port = context->graphicsPort();
    try {
        const CGFloat margin = transparentMarginWidthPixels();
        const CGRect opaque = opaqueBoundsWithinButtonRect(CGRectMake(0, 0, pixels.width, pixels.height), margin);
        const CGRect shape = drawBackgroundRect(opaque, state, margin);
        const CGRect symbol = imageRectWithinBackgroundShapeRect(shape);
        CGContextSetAlpha(port, backgroundImageOpacityForState(state));
        drawImageNamed(name, symbol);
        CGContextSetAlpha(port, 1.0);
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("NUCIButtonImage::drawnImageNamed:%1 exception:%2\n").arg(name, exception.description()));
    }
    offscreen.unlockFocus();
    addRepresentation(offscreen.bitmapImageRep());
    return true;
}

NUCIRGBA NUCIButtonImage::backgroundFillColorForState(int state) const {
    if (state == 1) {
        NUCIRGBA tint = NUCIControlTintColor();
        tint.alpha = 1.0;
        return tint;
    }
    const CGFloat g = backgroundGreyChannelValue();
    return {g, g, g, 0.9};
}

NUCIRGBA NUCIButtonImage::backgroundEraseColor() const {
    const CGFloat g = backgroundGreyChannelValue();
    return {g, g, g, 1.0};
}

CGRect NUCIButtonImage::imageRectWithinBackgroundShapeRect(CGRect shapeRect) const {
    return centredSquare(shapeRect, 0.9);
}

std::pair<CGFloat, CGFloat> NUCIButtonImage::defaultGradientRangeForState(int state) const {
    return state == 0 ? std::pair<CGFloat, CGFloat>{0.28, 0.52} : std::pair<CGFloat, CGFloat>{0.35, 0.65};
}

CIFilterRef NUCIButtonImage::glowingButtonsFilterWithDefaultsForState(int state) {
    if (state != 1) return nullptr;
    CIFilterRef bloom = CIFilter::filterWithName("CIBloom");
    if (bloom == nullptr) return nullptr;
    bloom->setDefaults();
    bloom->setValue(1.1, "inputRadius");
    bloom->setValue(0.9, "inputIntensity");
    return bloom;
}

CGRect NUCIButtonImage::rectWithMargin(CGRect rect, CGFloat margin) {
    return CGRectMake(rect.origin.x + margin / 2, rect.origin.y + margin / 2, rect.size.width - margin,
                      rect.size.height - margin);
}

CGRect NUCIButtonImage::opaqueBoundsWithinButtonRect(CGRect rect, CGFloat margin) {
    return CGRectInset(rect, margin, margin);
}

CGRect NUCIButtonImage::centredSquare(CGRect rect, CGFloat fraction) {
    const CGFloat side = fraction * SmallerSide(rect);
    return CGRectMake(rect.origin.x + (rect.size.width - side) / 2, rect.origin.y + (rect.size.height - side) / 2, side,
                      side);
}

void NUCIButtonImage::setFillColor(CGContextRef context, const NUCIRGBA &c) {
    CGContextSetRGBFillColor(context, c.red, c.green, c.blue, c.alpha);
}

void NUCIButtonImage::setStrokeColor(CGContextRef context, const NUCIRGBA &c) {
    CGContextSetRGBStrokeColor(context, c.red, c.green, c.blue, c.alpha);
}

CGRect NUCIButtonImage::drawBackgroundRect(CGRect opaqueBounds, int state, CGFloat margin) {
    CGContextRef port = CurrentPort();
    if (port == nullptr) return CGRectNull;
    CGContextSaveGState(port);
    setFillColor(port, backgroundFillColorForState(state));
    setStrokeColor(port, backgroundStrokeColorForState(state));
    CGContextSetLineWidth(port, 12.5 * backgroundStrokeWidthForState(state));
    const CGRect square = centredSquare(rectWithMargin(opaqueBounds, margin), 0.98);
    drawBackgroundShape(port, square, state);
    CGContextRestoreGState(port);
    return square;
}

void NUCIButtonImage::drawBackgroundShape(CGContextRef context, CGRect rect, int) { CGContextFillRect(context, rect); }

void NUCIButtonImage::eraseBackgroundShape(CGContextRef context, CGRect rect) {
    CGContextSaveGState(context);
    setFillColor(context, backgroundEraseColor());
    CGContextFillRect(context, rect);
    CGContextRestoreGState(context);
}

bool NUCIButtonImage::drawGradientMaskShape(CGContextRef context, CGRect rect, int state, CGFloat insetPixels) {
    if (maskContext() == nullptr || context == nullptr) return false;
    if (insetPixels > 0) rect = CGRectInset(rect, insetPixels, insetPixels);
    // The mask is the face's size: the part under the rectangle is taken, so that the
    // outline drawn into it lies where it was drawn.
    CGRect covered = CGRectNull;
    CGImageRef mask = CreateCroppedImageMask(*maskContext(), rect, covered);
    if (mask == nullptr) return false;
    const auto range = defaultGradientRangeForState(state);
    const bool drawn = CoreGraphics::DrawLinearGradientShading(context, covered, mask, float(range.first),
                                                               float(range.second));
    CGImageRelease(mask);
    return drawn;
}

NUCIRGBA NUCIButtonImage::lightEmittingDiodeColorForState(int state) const {
    return state == 1 ? NUCIRGBA{0.1, 0.85, 0.1, 1.0} : NUCIRGBA{0.3, 0.3, 0.3, 0.5};
}

CGRect NUCIButtonImage::lightEmittingDiodePositionForRect(CGRect rect) const { return centredSquare(rect, 0.16); }

void NUCIButtonImage::drawLightEmittingDiodeShape(CGContextRef context, CGRect lightRect) {
    CGContextFillEllipseInRect(context, lightRect);
    CGContextStrokeEllipseInRect(context, lightRect);
}

void NUCIButtonImage::drawLightEmittingDiode(CGContextRef context, CGRect rect, int state) {
    CGContextSaveGState(context);
    setFillColor(context, lightEmittingDiodeColorForState(state));
    if (state == 1)
        CGContextSetGrayStrokeColor(context, 1.0, 0.5);
    else
        CGContextSetGrayStrokeColor(context, 0.0, 0.3);
    CGContextSetLineWidth(context, 0.5);
    drawLightEmittingDiodeShape(context, lightEmittingDiodePositionForRect(rect));
    CGContextRestoreGState(context);
}

// ---- round and rounded-square faces

void NUCIRoundButtonImage::drawBackgroundShape(CGContextRef context, CGRect rect, int) {
    CGContextFillEllipseInRect(context, rect);
    CGContextStrokeEllipseInRect(context, rect);
}

void NUCIRoundButtonImage::eraseBackgroundShape(CGContextRef context, CGRect rect) {
    CGContextSaveGState(context);
    setFillColor(context, backgroundEraseColor());
    CGContextFillEllipseInRect(context, rect);
    CGContextRestoreGState(context);
}

CGFloat NUCIRoundRectButtonImage::roundRectCornerRadiusForButtonSizePixels(CGSize size) {
    return std::min(size.width, size.height) <= 64 ? 8.0 : 12.0;
}

void NUCIRoundRectButtonImage::drawBackgroundShape(CGContextRef context, CGRect rect, int state) {
    CoreGraphics::FillRoundedRectPath(context, float(rect.origin.x), float(rect.origin.y), float(rect.size.width),
                                      float(rect.size.height), float(backgroundStrokeWidthForState(state)),
                                      float(roundRectCornerRadiusForButtonSizePixels(rect.size)));
}

void NUCIRoundRectButtonImage::eraseBackgroundShape(CGContextRef context, CGRect rect) {
    CGContextSaveGState(context);
    setFillColor(context, backgroundEraseColor());
    CoreGraphics::FillRoundedRectPath(context, float(rect.origin.x), float(rect.origin.y), float(rect.size.width),
                                      float(rect.size.height), 0.0f,
                                      float(roundRectCornerRadiusForButtonSizePixels(rect.size)));
    CGContextRestoreGState(context);
}

namespace {

// The gradient faces' off state: the mask outline is already drawn; erase the shape, outline
// it with an all but clear fill, and paint the gradient through the mask.
template <class Base>
void DrawGradientBody(Base &image, CGContextRef context, CGRect rect, int state) {
    image.eraseBackgroundShape(context, rect);
    CGContextSaveGState(context);
    CGContextSetRGBFillColor(context, 0.0001, 0.0001, 0.0001, 0.0001);
    image.Base::drawBackgroundShape(context, rect, state);
    CGContextRestoreGState(context);
    image.drawGradientMaskShape(context, rect, state);
}

}  // namespace

void NUCIRoundGradientButtonImage::drawBackgroundShape(CGContextRef context, CGRect rect, int state) {
    if (state == 1) {
        NUCIRoundButtonImage::drawBackgroundShape(context, rect, state);
        return;
    }
    if (CGContextRef mask = maskGraphicsContext()) {
        CGContextSaveGState(mask);
        CGContextSetGrayFillColor(mask, 0.0, 1.0);
        CGContextFillEllipseInRect(mask, centredSquare(rect, 0.995));
        CGContextRestoreGState(mask);
    }
    DrawGradientBody<NUCIRoundButtonImage>(*this, context, rect, state);
}

void NUCIRoundRectGradientButtonImage::drawBackgroundShape(CGContextRef context, CGRect rect, int state) {
    if (state == 1) {
        NUCIRoundRectButtonImage::drawBackgroundShape(context, rect, state);
        return;
    }
    if (CGContextRef mask = maskGraphicsContext()) {
        const CGRect square = CGRectOffset(centredSquare(rect, 0.985), 0.75, 0.75);
        CGContextSaveGState(mask);
        CGContextSetGrayFillColor(mask, 0.0, 1.0);
        CoreGraphics::FillRoundedRectPath(mask, float(square.origin.x), float(square.origin.y),
                                          float(square.size.width), float(square.size.height), 0.0f,
                                          float(roundRectCornerRadiusForButtonSizePixels(square.size)));
        CGContextRestoreGState(mask);
    }
    DrawGradientBody<NUCIRoundRectButtonImage>(*this, context, rect, state);
}

// ---- the 70s hardware family

CIFilterRef NU70sHardwareButtonImage::filterWithDefaultsForState(int state) const {
    return state == 0 ? nullptr : glowingButtonsFilterWithDefaultsForState(state);
}

void NU70sHardwareButtonImage::drawBackgroundShape(CGContextRef context, CGRect rect, int) {
    NUCIRoundRectGradientButtonImage::drawBackgroundShape(context, rect, 0);
}

CGRect NU70sHardwareButtonImageWithGreenLED::lightEmittingDiodePositionForRect(CGRect rect) const {
    CGRect light = NU70sHardwareButtonImage::lightEmittingDiodePositionForRect(rect);
    const CGFloat side = light.size.width;
    light.origin = CGPointMake(rect.origin.x + rect.size.width - 1.25 * side,
                               rect.origin.y + rect.size.height - 1.25 * side);
    return light;
}

void NU70sHardwareButtonImageWithGreenLED::drawBackgroundShape(CGContextRef context, CGRect rect, int state) {
    NU70sHardwareButtonImage::drawBackgroundShape(context, rect, 0);
    drawLightEmittingDiode(context, rect, state);
}

NUCIRGBA NU70sHardwareRecordButtonImage::lightEmittingDiodeColorForState(int state) const {
    return state == 1 ? NUCIRGBA{0.85, 0.1, 0.1, 1.0} : NU70sHardwareRoundButtonImage::lightEmittingDiodeColorForState(state);
}

CGRect NU70sHardwareRecordButtonImage::lightEmittingDiodePositionForRect(CGRect rect) const {
    return centredSquare(rect, 0.4);
}

void NU70sHardwareRecordButtonImage::drawBackgroundShape(CGContextRef context, CGRect rect, int state) {
    NU70sHardwareRoundButtonImage::drawBackgroundShape(context, rect, 0);
    drawLightEmittingDiode(context, rect, state);
}

void NU70sHardwareRecordButtonImageWithSquareLED::drawLightEmittingDiodeShape(CGContextRef context, CGRect lightRect) {
    CGContextFillRect(context, lightRect);
}

bool import_NUCIButtonImage() {
    return import_UFOffscreenBitmapGraphicsContext() && import_namespace_CoreGraphics_QuartzDrawing() &&
           import_namespace_CoreGraphics_MaskContext();
}
