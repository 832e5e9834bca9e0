#include <CocoaQZ/CoreImage/CIImageRenderer.h>

#include <CocoaGL/NSOGLSharingContext.h>

#include <cmath>
#include <exception>

namespace {

// The largest side taken: the bitmap's row bytes (4 x width) and size stay far inside 32 bits.
constexpr float kMaxSide = 32768.0f;

// The whole pixels of a side, or 0 when the side is below one pixel, not finite or too large.
int WholePixels(float side) {
    if (!std::isfinite(side) || side < 1.0f || side > kMaxSide) return 0;
    return static_cast<int>(side);
}

}  // namespace

std::shared_ptr<CIImageRenderer> CIImageRenderer::imageRendererWithSizePixels(float widthPixels, float heightPixels) {
    auto renderer = std::make_shared<CIImageRenderer>();
    if (!renderer->initWithSizePixels(widthPixels, heightPixels)) return nullptr;
    return renderer;
}

CIImageRenderer::CIImageRenderer() = default;

CIImageRenderer::~CIImageRenderer() {
    if (mBitmapColorSpace != nullptr) CGColorSpaceRelease(mBitmapColorSpace);
    mBitmapContext.Destruct();
}

bool CIImageRenderer::initWithSizePixels(float widthPixels, float heightPixels) {
    if (mBitmapContext.IsConstructed()) return false;
    const int width = WholePixels(widthPixels);
    const int height = WholePixels(heightPixels);
    if (width == 0 || height == 0) return false;
    CGColorSpaceRef colorSpace = CGColorSpaceCreateWithName(kCGColorSpaceSRGB);
    if (colorSpace == nullptr) return false;
    if (!mBitmapContext.Construct(width, height, CoreGraphics::kBitmapType_ARGB32)) {
        CGColorSpaceRelease(colorSpace);
        return false;
    }
    mSizePixels[0] = widthPixels;
    mSizePixels[1] = heightPixels;
    mBitmapColorSpace = colorSpace;
    return true;
}

void *CIImageRenderer::imagePixelData() const { return mBitmapContext.mImageDataBytes; }

size_t CIImageRenderer::imagePixelRowBytes() const { return mBitmapContext.mImageRowBytes; }

size_t CIImageRenderer::imagePixelDataSize() const {
    return size_t(mBitmapContext.mImageRowBytes) * size_t(mBitmapContext.mImageHeight);
}

CIContextRef CIImageRenderer::renderContextWithGPUContext(const CIContextRef &gpuContext) {
    if (gpuContext != nullptr) return gpuContext;
    std::lock_guard<std::mutex> guard(mContextLock);
    if (mOffscreenContext == nullptr) {
        const std::shared_ptr<NSOpenGLContext> root = NSOGLSharingContext::rootSharingContext();
        if (root == nullptr || root->CGLContextObj() == nullptr) return nullptr;
        mOffscreenContext = CIContext::offscreenContext(root->CGLContextObj());
    }
    return mOffscreenContext;
}

bool CIImageRenderer::renderImageGpuContext(const CIImageRef &image, const CIContextRef &gpuContext) {
    if (image == nullptr || gpuContext == nullptr || mBitmapColorSpace == nullptr || !mBitmapContext.IsConstructed())
        return false;
    const CGRect bounds = CGRectMake(0, 0, double(mBitmapContext.mImageWidth), double(mBitmapContext.mImageHeight));
    const bool rendered = gpuContext->render(image, mBitmapContext.mImageDataBytes, mBitmapContext.mImageRowBytes,
                                             bounds, kCIFormatARGB8, mBitmapColorSpace);
    // The bytes were written behind Quartz's back: its next drawing starts from them.
    if (rendered) mBitmapContext.DidWritePixels();
    return rendered;
}

bool CIImageRenderer::renderImage(const CIImageRef &image) {
    if (image == nullptr) return false;
    return renderImageGpuContext(image, renderContextWithGPUContext(nullptr));
}

bool CIImageRenderer::renderImageIntoBitmapContextGpuContext(const CIImageRef &image,
                                                             CoreGraphics::BitmapContext *bitmapContext,
                                                             const CIContextRef &gpuContext) {
    if (image == nullptr || bitmapContext == nullptr || !bitmapContext->IsConstructed()) return false;
    // kCIFormatARGB8 fills 4 bytes a pixel, alpha first: the layouts with A or a skipped byte
    // before R, G, B.
    if (bitmapContext->mImageType != CoreGraphics::kBitmapType_ARGB32 &&
        bitmapContext->mImageType != CoreGraphics::kBitmapType_XRGB32)
        return false;
    try {
        const CIContextRef context = renderContextWithGPUContext(gpuContext);
        if (context == nullptr) return false;
        const CGRect bounds = CGRectMake(0, 0, double(bitmapContext->mImageWidth), double(bitmapContext->mImageHeight));
        const bool rendered = context->render(image, bitmapContext->mImageDataBytes, bitmapContext->mImageRowBytes,
                                              bounds, kCIFormatARGB8, bitmapContext->mImageColorspace);
        if (rendered) bitmapContext->DidWritePixels();
        return rendered;
    } catch (const std::exception &) {
        return false;
    }
}

bool import_CIImageRenderer() { return import_namespace_CoreGraphics_BitmapContext() && import_NSOGLSharingContext(); }
