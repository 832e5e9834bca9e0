#include <VDig/UVideoFrameBuffer_CoreImageContext.h>

#include <VDig/RequiredCoreLog.h>

#include <algorithm>
#include <cmath>

namespace UVideoFrameBuffer {

bool CoreImageContext::Construct(CGSize size) {
    mCIContext.reset();
    if (!GraphicsContext::Construct(size)) return false;
    mCIContext = CIContext::offscreenContext();
    return mCIContext != nullptr;
}

bool CoreImageContext::DrawImageAtPoint(const CIImageRef &inImage, CGPoint point, bool flip) {
    if (inImage == nullptr || mCIContext == nullptr) return false;
    CIImageRef image = inImage;
    if (flip) {
        const double height = mFrameBufferFormat.mPixelHeight;
        image = image->imageByApplyingTransform(
            CGAffineTransformScale(CGAffineTransformMakeTranslation(0, -height), 1, -1));
    }
    const CGRect extent = image->extent();
    if (CGRectIsNull(extent) || CIRectIsInfinite(extent) || !std::isfinite(point.x) || !std::isfinite(point.y))
        return false;

    LockFrameBuffer();
    bool drawn = false;
    if (HasValidFrameData()) {
        // The part of the frame the image covers, in whole pixels (bottom-up).
        const double frameWidth = mFrameBufferFormat.mPixelWidth, frameHeight = mFrameBufferFormat.mPixelHeight;
        const double left = std::max(0.0, std::floor(point.x));
        const double bottom = std::max(0.0, std::floor(point.y));
        const double right = std::min(frameWidth, std::ceil(point.x + extent.size.width));
        const double top = std::min(frameHeight, std::ceil(point.y + extent.size.height));
        drawn = true;
        if (right > left && top > bottom) {
            const size_t width = size_t(right - left), height = size_t(top - bottom);
            const CGRect bounds = CGRectMake(extent.origin.x + (left - point.x), extent.origin.y + (bottom - point.y),
                                             double(width), double(height));
            mRendered.assign(width * height * 4, 0);
            drawn = mCIContext->render(image, mRendered.data(), width * 4, bounds, kCIFormatARGB8,
                                       mBitmapContext.mImageColorspace);
            if (drawn) {
                mBitmapContext.WillAccessPixels();
                // Rendered rows run top-down from `top`; the frame's memory rows too.
                for (size_t row = 0; row < height; ++row) {
                    const SInt32 y = SInt32(frameHeight - top) + SInt32(row);
                    const UInt8 *src = mRendered.data() + row * width * 4;
                    UInt8 *dst = GetPixelAtPoint(SInt32(left), y);
                    for (size_t x = 0; x < width; ++x, src += 4, dst += 4) {
                        const unsigned keep = 255u - src[0];
                        for (int c = 0; c < 4; ++c) dst[c] = UInt8(src[c] + (dst[c] * keep + 127u) / 255u);
                    }
                }
                mBitmapContext.DidWritePixels();
            }
        }
    }
    UnlockFrameBuffer();
    return drawn;
}

bool CoreImageContext::DrawPixelBufferAtPoint(CVPixelBufferRef pixelBuffer, CGPoint point, bool flip) {
    if (pixelBuffer == nullptr) return false;
    return DrawImageAtPoint(CIImage::imageWithCVImageBuffer(pixelBuffer), point, flip);
}

bool CoreImageContext::DrawIOSurfaceAtPoint(IOSurfaceRef surface, CGPoint point, bool flip) {
    CVPixelBufferRef pixelBufferRef = nullptr;
    const CVReturn result = CVPixelBufferCreateWithIOSurface(nullptr, surface, nullptr, &pixelBufferRef);
    if (result != kCVReturnSuccess) {
        CoreVideoRequiredBody(result, "DrawIOSurfaceAtPoint", __FILE__, __LINE__,
                              "SRC>>CVPixelBufferCreateWithIOSurface(NULL,surface,NULL,&pixelBufferRef)");
        return false;
    }
    const bool drawn = DrawPixelBufferAtPoint(pixelBufferRef, point, flip);
    CVPixelBufferRelease(pixelBufferRef);
    return drawn;
}

}  // namespace UVideoFrameBuffer

bool import_UVideoFrameBuffer_CoreImageContext() {
    return import_UVideoFrameBuffer_GraphicsContext() && import_RequiredCoreLog();
}
