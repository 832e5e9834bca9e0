#include <VDig/UVideoFrameBuffer_GraphicsContext.h>

#include <cmath>

namespace UVideoFrameBuffer {

GraphicsContext::~GraphicsContext() {
    // The bitmap owns the pixels: the frame never outlives it.
    DestructData();
    mBitmapContext.Destruct();
}

bool GraphicsContext::Construct(CGSize size) {
    if (!TryLockFrameBuffer()) return false;
    DestructData();
    mBitmapContext.Destruct();
    const bool sizeIsSound = std::isfinite(size.width) && std::isfinite(size.height) && size.width >= 1 &&
                             size.height >= 1 && size.width <= 0x7FFFFFFF && size.height <= 0x7FFFFFFF;
    const Format format(sizeIsSound ? SInt32(size.width) : 0, sizeIsSound ? SInt32(size.height) : 0, kPixelFormat_ARGB);
    bool made = false;
    if (format.FrameSizeBytes() > 0 &&
        mBitmapContext.Construct(format.mPixelWidth, format.mPixelHeight, CoreGraphics::kBitmapType_ARGB32,
                                 (unsigned long)format.mPixelRowBytes) &&
        mBitmapContext.mImageRowBytes == UInt32(format.mPixelRowBytes)) {
        made = ConstructData(format, mBitmapContext.mImageDataBytes, format.FrameSizeBytes());
        SetDefaultDrawTextProperties();
        EraseBackground();
    } else {
        mBitmapContext.Destruct();
    }
    UnlockFrameBuffer();
    return made;
}

void GraphicsContext::Destruct() {
    if (IsEmpty() || !TryLockFrameBuffer()) return;
    DestructData();
    mBitmapContext.Destruct();
    UnlockFrameBuffer();
}

void GraphicsContext::SetDefaultDrawTextProperties() {
    mTextMessage.mBackgroundColor = color_4D{0.05f, 0.05f, 0.05f, 1.0f};
    mTextMessage.mFontFillColor = color_4D{0.1f, 0.1f, 0.1f, 1.0f};
    mTextMessage.SetFontName(CFSTR("Gill Sans"));
}

bool GraphicsContext::EraseBackground() {
    if (!mBitmapContext.IsConstructed() || !TryLockFrameBuffer()) return false;
    CGContextRef context = mBitmapContext.mContext;
    const CGRect whole = CGRectMake(0, 0, mBitmapContext.mImageWidth, mBitmapContext.mImageHeight);
    CGContextClearRect(context, whole);
    const color_4D &background = mTextMessage.mBackgroundColor;
    CGContextSetRGBFillColor(context, background.red, background.green, background.blue, background.alpha);
    CGContextFillRect(context, whole);
    mBitmapContext.WillAccessPixels();
    UnlockFrameBuffer();
    return true;
}

bool GraphicsContext::EraseBackgroundTransparent() {
    if (!mBitmapContext.IsConstructed() || !TryLockFrameBuffer()) return false;
    CGContextClearRect(mBitmapContext.mContext, CGRectMake(0, 0, mBitmapContext.mImageWidth, mBitmapContext.mImageHeight));
    mBitmapContext.WillAccessPixels();
    UnlockFrameBuffer();
    return true;
}

bool GraphicsContext::DrawText(const char *text, CGRect rect) {
    if (!mBitmapContext.IsConstructed() || !TryLockFrameBuffer()) return false;
    mTextMessage.DrawTextInContextCenteredInRect(mBitmapContext.mContext, rect, text);
    mBitmapContext.WillAccessPixels();
    UnlockFrameBuffer();
    return true;
}

bool GraphicsContext::DrawTextCentered(const char *text) {
    return DrawText(text, CGRectMake(0, 0, mFrameBufferFormat.mPixelWidth, mFrameBufferFormat.mPixelHeight));
}

bool GraphicsContext::DrawTextCenteredLowerThird(const char *text) {
    return DrawText(text, CGRectMake(0, 0, mFrameBufferFormat.mPixelWidth, mFrameBufferFormat.mPixelHeight * 0.3333));
}

}  // namespace UVideoFrameBuffer

bool import_UVideoFrameBuffer_GraphicsContext() {
    return import_UVideoFrameBuffer() && import_namespace_CoreGraphics_BitmapContext() &&
           import_namespace_CoreGraphics_CoreTextMessage();
}
