#include <VDig/UVideoFrameBuffer_LockedBuffers.h>

#include <VDig/RequiredCoreLog.h>

namespace UVideoFrameBuffer {

bool T_IOSurfaceRef::GetBufferFormat(IOSurfaceRef surface, Format &format) {
    if (surface == nullptr) {
        format.Empty();
        return false;
    }
    const size_t width = IOSurfaceGetWidth(surface), height = IOSurfaceGetHeight(surface);
    const size_t rowBytes = IOSurfaceGetBytesPerRow(surface);
    format.mPixelWidth = width <= 0x7FFFFFFF ? SInt32(width) : -1;
    format.mPixelHeight = height <= 0x7FFFFFFF ? SInt32(height) : -1;
    format.mPixelRowBytes = rowBytes <= 0x7FFFFFFF ? SInt32(rowBytes) : -1;
    format.mPixelFormat = IOSurfaceGetPixelFormat(surface);
    if (format.mPixelFormat == kPixelFormat_2VUY) {
        format.mPixelFormat = kPixelFormat_2vuy;
        format.mPixelWidth = format.mPixelWidth >= 0 && format.mPixelWidth <= 0x3FFFFFFF ? format.mPixelWidth * 2 : -1;
    } else if (format.mPixelFormat == 0) {
        format.mPixelFormat = kPixelFormat_BGRA;
    }
    return true;
}

bool T_IOSurfaceRef::LockBufferHandle(IOSurfaceRef surface) {
    return IOSurfaceLock(surface, kIOSurfaceLockReadOnly, nullptr) == kIOReturnSuccess;
}

bool T_IOSurfaceRef::UnlockBufferHandle(IOSurfaceRef surface) {
    return IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly, nullptr) == kIOReturnSuccess;
}

void *T_IOSurfaceRef::GetBaseAddress(IOSurfaceRef surface) { return IOSurfaceGetBaseAddress(surface); }

size_t T_IOSurfaceRef::GetDataSize(IOSurfaceRef surface) { return IOSurfaceGetAllocSize(surface); }

bool T_CVPixelBufferRef::GetBufferFormat(CVPixelBufferRef buffer, Format &format) {
    if (buffer == nullptr) {
        format.Empty();
        return false;
    }
    const size_t width = CVPixelBufferGetWidth(buffer), height = CVPixelBufferGetHeight(buffer);
    const size_t rowBytes = CVPixelBufferGetBytesPerRow(buffer);
    format.mPixelWidth = width <= 0x7FFFFFFF ? SInt32(width) : -1;
    format.mPixelHeight = height <= 0x7FFFFFFF ? SInt32(height) : -1;
    format.mPixelFormat = CVPixelBufferGetPixelFormatType(buffer);
    if (format.mPixelFormat == 0) format.mPixelFormat = kPixelFormat_BGRA;
    format.mPixelRowBytes = rowBytes <= 0x7FFFFFFF ? SInt32(rowBytes) : -1;
    return true;
}

bool T_CVPixelBufferRef::LockBufferHandle(CVPixelBufferRef inBufferHandle) {
    const CVPixelBufferLockFlags kPixelBufferLockingFlags = kCVPixelBufferLock_ReadOnly;
    const CVReturn result = CVPixelBufferLockBaseAddress(inBufferHandle, kPixelBufferLockingFlags);
    if (result != kCVReturnSuccess)
        CoreVideoRequiredBody(result, "LockBufferHandle", __FILE__, __LINE__,
                              "SRC>>CVPixelBufferLockBaseAddress(inBufferHandle,kPixelBufferLockingFlags)");
    return result == kCVReturnSuccess;
}

bool T_CVPixelBufferRef::UnlockBufferHandle(CVPixelBufferRef inBufferHandle) {
    const CVPixelBufferLockFlags kPixelBufferLockingFlags = kCVPixelBufferLock_ReadOnly;
    const CVReturn result = CVPixelBufferUnlockBaseAddress(inBufferHandle, kPixelBufferLockingFlags);
    if (result != kCVReturnSuccess)
        CoreVideoRequiredBody(result, "UnlockBufferHandle", __FILE__, __LINE__,
                              "SRC>>CVPixelBufferUnlockBaseAddress(inBufferHandle,kPixelBufferLockingFlags)");
    return result == kCVReturnSuccess;
}

void *T_CVPixelBufferRef::GetBaseAddress(CVPixelBufferRef buffer) { return CVPixelBufferGetBaseAddress(buffer); }

size_t T_CVPixelBufferRef::GetDataSize(CVPixelBufferRef buffer) { return CVPixelBufferGetDataSize(buffer); }

}  // namespace UVideoFrameBuffer

bool import_UVideoFrameBuffer_LockedBuffers() {
    return import_UVideoFrameBuffer_CGImageBuffer() && import_RequiredCoreLog();
}
