#include "TheOffscreenRenderer.h"

#include <AppKit/NSBitmapImageRep.h>
#include <AppKit/NSImage.h>
#include <AppKit/NSImageView.h>
#include <CocoaFoundation/NSImage_RiradI.h>
#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGAffineTransform.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreImage/CIColor.h>
#include <CoreImage/CIFilter.h>

#include <QImage>

#include <cmath>
#include <mutex>

namespace {

// The shared renderer and the lock around it and its renders.
std::mutex &SharedRendererLock() {
    static std::mutex lock;
    return lock;
}

// Lives to the end of the process and is never destroyed: exit handlers run in no useful order,
// and the renderer's bitmap belongs to the Core Graphics layer, whose own statics may be gone.
std::shared_ptr<TheOffscreenRenderer> &SharedRenderer() {
    static auto *renderer = new std::shared_ptr<TheOffscreenRenderer>;
    return *renderer;
}

// Owned CF data of a copy of the bytes, or null.
CFDataRef CopyBytes(const void *bytes, size_t length) {
    return CFDataCreate(nullptr, static_cast<const UInt8 *>(bytes), CFIndex(length));
}

bool IsFiniteRect(CGRect rect) {
    return std::isfinite(rect.origin.x) && std::isfinite(rect.origin.y) && std::isfinite(rect.size.width) &&
           std::isfinite(rect.size.height);
}

}  // namespace

std::shared_ptr<TheOffscreenRenderer> TheOffscreenRenderer::imageRendererWithSizePixels(float widthPixels,
                                                                                        float heightPixels) {
    auto renderer = std::make_shared<TheOffscreenRenderer>();
    if (!renderer->initWithSizePixels(widthPixels, heightPixels)) return nullptr;
    return renderer;
}

std::shared_ptr<TheOffscreenRenderer> TheOffscreenRenderer::sharedOffscreenRenderer() {
    std::lock_guard<std::mutex> guard(SharedRendererLock());
    return SharedRenderer();
}

bool TheOffscreenRenderer::hasSizePixels(float widthPixels, float heightPixels) const {
    const CoreGraphics::BitmapContext &bitmap = bitmapContext();
    return bitmap.IsConstructed() && double(bitmap.mImageWidth) == double(widthPixels) &&
           double(bitmap.mImageHeight) == double(heightPixels);
}

CGRect TheOffscreenRenderer::extent() const {
    const CoreGraphics::BitmapContext &bitmap = bitmapContext();
    return CGRectMake(0, 0, double(bitmap.mImageWidth), double(bitmap.mImageHeight));
}

CIImageRef TheOffscreenRenderer::renderedImage(const CIImageRef &image) {
    CoreGraphics::BitmapContext &bitmap = bitmapContext();
    if (image == nullptr || !bitmap.IsConstructed()) return nullptr;
    const CGRect bounds = extent();
    // Opaque black under the picture: a render writes every pixel of the bitmap, so the
    // black goes in through Core Image rather than as a fill the render would overwrite.
    CIImageRef black = CIImage::imageWithColor(CIColor::colorWithRed(0, 0, 0, 1.0))->imageByCroppingToRect(bounds);
    CIImageRef picture = image;
    if (CIFilterRef over = CIFilter::filterWithName("CISourceOverCompositing")) {
        over->setValue(image, kCIInputImageKey);
        over->setValue(black, "inputBackgroundImage");
        picture = over->outputImage();
    }
    if (picture == nullptr || !renderImageIntoBitmapContext(picture, &bitmap)) return nullptr;
    // The pixels are copied: the bitmap is drawn again by the next render, and goes when the
    // shared renderer is replaced.
    bitmap.WillAccessPixels();
    const size_t rowBytes = bitmap.mImageRowBytes;
    CFDataRef pixels = CopyBytes(bitmap.mImageDataBytes, rowBytes * size_t(bitmap.mImageHeight));
    if (pixels == nullptr) return nullptr;
    CIImageRef result = CIImage::imageWithBitmapData(pixels, rowBytes, bounds.size, kCIFormatARGB8);
    CFRelease(pixels);
    return result;
}

namespace NSImageView_CIImage {

CIImageRef imageWithTIFFRepresentation(const NSImageView &view) {
    const std::shared_ptr<NSImage> image = view.image();
    if (image == nullptr) return nullptr;
    const std::shared_ptr<NSBitmapImageRep> bitmap = RiradI::firstBitmapImageRep(*image);
    if (bitmap == nullptr) return nullptr;
    const QImage pixels = bitmap->toQImage().convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    if (pixels.isNull()) return nullptr;
    CFDataRef data = CopyBytes(pixels.constBits(), size_t(pixels.sizeInBytes()));
    if (data == nullptr) return nullptr;
    CIImageRef result = CIImage::imageWithBitmapData(data, size_t(pixels.bytesPerLine()),
                                                     CGSizeMake(pixels.width(), pixels.height()), kCIFormatRGBA8);
    CFRelease(data);
    return result;
}

CIImageRef imageWithSizePixels(const NSImageView &view, float widthPixels, float heightPixels) {
    return renderImageIntoSizePixels(imageWithTIFFRepresentation(view), widthPixels, heightPixels);
}

CIImageRef renderImageIntoSizePixels(const CIImageRef &image, float widthPixels, float heightPixels) {
    if (image == nullptr || image->isEmpty()) return nullptr;
    std::lock_guard<std::mutex> guard(SharedRendererLock());
    std::shared_ptr<TheOffscreenRenderer> &shared = SharedRenderer();
    if (shared == nullptr || !shared->hasSizePixels(widthPixels, heightPixels)) {
        shared.reset();
        shared = TheOffscreenRenderer::imageRendererWithSizePixels(widthPixels, heightPixels);
        if (shared == nullptr) return nullptr;
    }
    const CGRect bounds = shared->extent();
    CIImageRef scaled = image;
    const CGRect from = image->extent();
    // A picture without bounds (a colour) already fills any size.
    if (IsFiniteRect(from) && from.size.width < 1e300 && from.size.height < 1e300) {
        if (from.size.width <= 0 || from.size.height <= 0) return nullptr;
        CGAffineTransform toSize = CGAffineTransformMakeTranslation(-from.origin.x, -from.origin.y);
        toSize = CGAffineTransformConcat(
            toSize, CGAffineTransformMakeScale(bounds.size.width / from.size.width, bounds.size.height / from.size.height));
        scaled = image->imageByApplyingTransform(toSize);
    }
    return shared->renderedImage(scaled);
}

}  // namespace NSImageView_CIImage

bool import_TheOffscreenRenderer() { return import_CIImageRenderer() && import_NSImage_RiradI(); }
