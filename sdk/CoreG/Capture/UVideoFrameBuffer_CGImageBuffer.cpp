#include <CoreG/Capture/UVideoFrameBuffer_CGImageBuffer.h>

#include <CoreG/Capture/CGImageDataWrapper.h>

namespace UVideoFrameBuffer {

bool T_CGImageRef::GetBufferFormat(CGImageRef image, Format &format) {
    if (image == nullptr) {
        format.Empty();
        return false;
    }
    format.mPixelWidth = SInt32(CGImageGetWidth(image));
    format.mPixelHeight = SInt32(CGImageGetHeight(image));
    format.mPixelRowBytes = SInt32(CGImageGetBytesPerRow(image));
    format.mPixelFormat = GetBufferPixelFormat(CGImageGetBitsPerComponent(image), CGImageGetBitsPerPixel(image),
                                               CGImageGetBitmapInfo(image));
    return true;
}

OSType T_CGImageRef::GetBufferPixelFormat(size_t bitsPerComponent, size_t bitsPerPixel, CGBitmapInfo bitmapInfo) {
    if (bitsPerComponent != 8 || bitsPerPixel != 32 || (bitmapInfo & kCGBitmapFloatComponents) != 0)
        return kPixelFormat_None;
    bool little;
    switch (bitmapInfo & kCGBitmapByteOrderMask) {
    case kCGBitmapByteOrderDefault:
    case kCGBitmapByteOrder32Big:
        little = false;
        break;
    case kCGBitmapByteOrder32Little:
        little = true;
        break;
    default:  // 16-bit orders do not describe 32-bit pixels
        return kPixelFormat_None;
    }
    switch (bitmapInfo & kCGBitmapAlphaInfoMask) {
    case kCGImageAlphaPremultipliedFirst:
    case kCGImageAlphaFirst:
    case kCGImageAlphaNoneSkipFirst:
        return little ? kPixelFormat_BGRA : kPixelFormat_ARGB;
    case kCGImageAlphaPremultipliedLast:
    case kCGImageAlphaLast:
    case kCGImageAlphaNoneSkipLast:
        return little ? kPixelFormat_ABGR : kPixelFormat_RGBA;
    default:
        return kPixelFormat_None;
    }
}

bool T_CGImageRef::CopyImageData(CGImageRef image) {
    CGDataProviderRef provider = image != nullptr ? CGImageGetDataProvider(image) : nullptr;
    CFDataRef copy = provider != nullptr ? CGDataProviderCopyData(provider) : nullptr;
    OSSpinLockLock(&mDataLock);
    CFDataRef released = mData;
    mData = copy;
    OSSpinLockUnlock(&mDataLock);
    if (released != nullptr) CFRelease(released);
    return copy != nullptr;
}

CFDataRef T_CGImageRef::CopyData() {
    OSSpinLockLock(&mDataLock);
    CFDataRef data = mData;
    if (data != nullptr) CFRetain(data);
    OSSpinLockUnlock(&mDataLock);
    return data;
}

void T_CGImageRef::Release() {
    OSSpinLockLock(&mDataLock);
    CFDataRef released = mData;
    mData = nullptr;
    OSSpinLockUnlock(&mDataLock);
    if (released != nullptr) CFRelease(released);
}

CGImageBuffer::~CGImageBuffer() {
    CGImageDataWrapper::SetCGImageBufferImage(*this, nullptr);
    DestructData();
    mCFTypeRefData.Release();
    ReleaseCFTypeRef();
}

}  // namespace UVideoFrameBuffer

bool import_UVideoFrameBuffer_CGImageBuffer() { return import_UVideoFrameBuffer(); }
