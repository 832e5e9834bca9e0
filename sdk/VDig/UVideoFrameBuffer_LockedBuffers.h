// Frames viewing the pixels of a locked IOSurface or Core Video pixel buffer.
//
// A view holds the buffer (retained, under the spin lock of CFTypeRefBase_T), keeps it
// locked read-only while held, and takes its base address as the frame data. A buffer whose
// frame is not sound (an unsupported pixel format, no size, rows or memory too short) is
// refused: nothing is held and the frame stays empty.
#pragma once

#include <CoreG/Capture/UVideoFrameBuffer_CGImageBuffer.h>
#include <CoreVideo/CVPixelBuffer.h>
#include <CoreX/UVideoFrameBuffer.h>
#include <IOSurface/IOSurface.h>
#include <VDig/RequiredCoreLog.h>

namespace UVideoFrameBuffer {

// Format and locking of an IOSurface.
struct T_IOSurfaceRef {
    // Width, height, row bytes and pixel format; '2VUY' becomes '2vuy' at twice the width
    // and format 0 becomes 'BGRA'. A null surface empties `format` and answers false.
    static bool GetBufferFormat(IOSurfaceRef surface, Format &format);
    static bool LockBufferHandle(IOSurfaceRef surface);
    static bool UnlockBufferHandle(IOSurfaceRef surface);
    static void *GetBaseAddress(IOSurfaceRef surface);
    // The surface's allocation size.
    static size_t GetDataSize(IOSurfaceRef surface);
};

// Format and locking of a pixel buffer; lock failures are reported through
// CoreVideoRequiredBody.
struct T_CVPixelBufferRef {
    // Width, height, pixel format (0 becomes 'BGRA') and row bytes; a null buffer empties
    // `format` and answers false.
    static bool GetBufferFormat(CVPixelBufferRef buffer, Format &format);
    static bool LockBufferHandle(CVPixelBufferRef buffer);
    static bool UnlockBufferHandle(CVPixelBufferRef buffer);
    static void *GetBaseAddress(CVPixelBufferRef buffer);
    static size_t GetDataSize(CVPixelBufferRef buffer);
};

// A frame over a held, locked buffer.
template <class T_REF, class REF>
class LockedBuffer_T : public CFTypeRefBaseWithLocking_T<T_REF, REF, Base> {
public:
    using Held = CFTypeRefBaseWithLocking_T<T_REF, REF, Base>;

    LockedBuffer_T() : mBufferLocked(false) {}
    ~LockedBuffer_T() override { Destruct(); }

    // Unlocks the held buffer, holds `ref` in its place (null holds nothing) and locks it
    // read-only. True when a buffer is held and locked.
    bool SetBufferHandleLocked(REF ref) {
        UnlockHeld();
        if (!this->SetCFTypeRef(ref)) return false;
        REF held = this->CopyCFTypeRef();
        mBufferLocked = held != nullptr && T_REF::LockBufferHandle(held);
        if (held != nullptr) CFRelease(held);
        return mBufferLocked;
    }

    // Reads the buffer's format, holds and locks it, and takes its memory as the frame.
    bool ConstructWithBuffer(REF ref) {
        Destruct();
        Format format;
        if (!T_REF::GetBufferFormat(ref, format)) return false;
        if (!SetBufferHandleLocked(ref)) {
            Destruct();
            return false;
        }
        const size_t size = T_REF::GetDataSize(ref);
        this->ConstructData(format, T_REF::GetBaseAddress(ref), size <= 0x7FFFFFFF ? SInt32(size) : 0);
        if (!this->HasValidFrameData()) {
            CFRequiredLogPrintf("libUVideoFrameBuffer", "%s: buffer frame refused (%d x %d, format %s, row bytes %d, %ld bytes)",
                                  "Construct", int(format.mPixelWidth), int(format.mPixelHeight),
                                  Format::stringFromPixelFormat(format.mPixelFormat).c_str(), int(format.mPixelRowBytes),
                                  long(size));
            Destruct();
            return false;
        }
        return true;
    }

    // Unlocks and releases the buffer and empties the frame.
    void Destruct() {
        UnlockHeld();
        this->ReleaseCFTypeRef();
        this->DestructData();
    }

    bool mBufferLocked;

private:
    void UnlockHeld() {
        if (!mBufferLocked) return;
        mBufferLocked = false;
        REF held = this->CopyCFTypeRef();
        if (held == nullptr) return;
        T_REF::UnlockBufferHandle(held);
        CFRelease(held);
    }
};

class LockedIOSurface : public LockedBuffer_T<T_IOSurfaceRef, IOSurfaceRef> {
public:
    using Base::Construct;
    bool Construct(IOSurfaceRef surface) override { return ConstructWithBuffer(surface); }
};

class LockedCVPixelBuffer : public LockedBuffer_T<T_CVPixelBufferRef, CVPixelBufferRef> {
public:
    using Base::Construct;
    bool Construct(CVPixelBufferRef buffer) { return ConstructWithBuffer(buffer); }
};

}  // namespace UVideoFrameBuffer

bool import_UVideoFrameBuffer_LockedBuffers();
