// A video frame buffer over a CGImage: it holds the image (retained) and a private copy of
// the image's bytes, each under its own spin lock, and derives a frame format from the
// image's layout.
//
// The image and its bytes are set by CGImageDataWrapper::SetCGImageBufferImage (the frame-
// sharing server's step); the frame data of the buffer (Data) is the server's to point at.
// The two spin locks are never held together, and the frame mutex of Base is not taken here.
#pragma once

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGImage.h>
#include <CoreX/UVideoFrameBuffer.h>
#include <libkern/OSAtomic.h>

namespace UVideoFrameBuffer {

// Holds one retained Core Foundation reference (null when none) under a spin lock.
template <class Ref, class BaseType>
class CFTypeRefBase_T : public BaseType {
public:
    CFTypeRefBase_T() : mCFTypeRefLock(OS_SPINLOCK_INIT), mCFTypeRef(nullptr) {}
    ~CFTypeRefBase_T() override { ReleaseCFTypeRef(); }

    // Holds `ref` (retained) in place of a different held one, which is released; null
    // holds nothing. True when a reference is held afterwards.
    bool SetCFTypeRef(Ref ref) {
        Ref released = nullptr;
        OSSpinLockLock(&mCFTypeRefLock);
        if (ref != mCFTypeRef) {
            released = mCFTypeRef;
            mCFTypeRef = ref;
            if (ref != nullptr) CFRetain(ref);
        }
        const bool held = mCFTypeRef != nullptr;
        OSSpinLockUnlock(&mCFTypeRefLock);
        if (released != nullptr) CFRelease(released);
        return held;
    }
    bool HasCFTypeRef() {
        OSSpinLockLock(&mCFTypeRefLock);
        const bool held = mCFTypeRef != nullptr;
        OSSpinLockUnlock(&mCFTypeRefLock);
        return held;
    }
    // The held reference retained for the caller, or null.
    Ref CopyCFTypeRef() {
        OSSpinLockLock(&mCFTypeRefLock);
        Ref ref = mCFTypeRef;
        if (ref != nullptr) CFRetain(ref);
        OSSpinLockUnlock(&mCFTypeRefLock);
        return ref;
    }
    void ReleaseCFTypeRef() { SetCFTypeRef(nullptr); }

    OSSpinLock mCFTypeRefLock;
    Ref mCFTypeRef;
};

// Adds a second holder, guarded by its own lock, for what is derived from the reference.
template <class Locked, class Ref, class BaseType>
class CFTypeRefBaseWithLocking_T : public CFTypeRefBase_T<Ref, BaseType> {
public:
    ~CFTypeRefBaseWithLocking_T() override = default;

    Locked mCFTypeRefData;
};

// The copied bytes of the current image (a retained CFData, null when none) under a spin
// lock, and the rule that gives an image's frame format.
class T_CGImageRef {
public:
    T_CGImageRef() : mDataLock(OS_SPINLOCK_INIT), mData(nullptr) {}
    ~T_CGImageRef() { Release(); }
    T_CGImageRef(const T_CGImageRef &) = delete;
    T_CGImageRef &operator=(const T_CGImageRef &) = delete;

    // Width, height and row bytes of the image, and the pixel format code of its layout
    // (GetBufferPixelFormat). A null image empties `format` and answers false.
    static bool GetBufferFormat(CGImageRef image, Format &format);
    // The code of a layout by the bytes of a pixel in memory: 8 bits per component and 32
    // per pixel with alpha (or a skipped byte) first: 'ARGB' in the big-endian or default
    // byte order, 'BGRA' in the 32-bit little-endian one; last: 'RGBA' or 'ABGR'. 'none'
    // for every other layout.
    static OSType GetBufferPixelFormat(size_t bitsPerComponent, size_t bitsPerPixel, CGBitmapInfo bitmapInfo);

    // Holds a new copy of the image's bytes (its data provider's) in place of the held
    // one; true when the copy exists. A null image holds nothing.
    bool CopyImageData(CGImageRef image);
    // The held bytes retained for the caller, or null.
    CFDataRef CopyData();
    // Releases the held bytes.
    void Release();

    OSSpinLock mDataLock;
    CFDataRef mData;
};

class CGImageBuffer : public CFTypeRefBaseWithLocking_T<T_CGImageRef, CGImage *, Base> {
public:
    CGImageBuffer() = default;
    // Sets the image to none, empties the frame data, then releases the bytes and the image.
    ~CGImageBuffer() override;
};

}  // namespace UVideoFrameBuffer

bool import_UVideoFrameBuffer_CGImageBuffer();
