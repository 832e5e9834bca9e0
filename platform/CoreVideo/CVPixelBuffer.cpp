#include <CoreVideo/CVPixelBuffer.h>

#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFRuntime.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

// Upper bounds of a buffer: no side past 65536 and at most 1 GiB.
constexpr size_t kMaxSide = 65536;
constexpr size_t kMaxDataSize = size_t(1) << 30;
constexpr size_t kRowAlignment = 64;

// The bytes one row of the format needs, or 0 for a format other than the three.
size_t MinimumRowBytes(OSType format, size_t width) {
    switch (format) {
    case kCVPixelFormatType_32ARGB:
    case kCVPixelFormatType_32BGRA: return width * 4;
    case kCVPixelFormatType_422YpCbCr8: return (width + 1) / 2 * 4;
    default: return 0;
    }
}

bool IsKnownFormat(OSType format) { return MinimumRowBytes(format, 1) != 0; }

LUMORA_CF_CONSTANT_STRING(gKeyPixelFormatType, "PixelFormatType");
LUMORA_CF_CONSTANT_STRING(gKeyIOSurfaceProperties, "IOSurfaceProperties");
LUMORA_CF_CONSTANT_STRING(gKeyOpenGLCompatibility, "OpenGLCompatibility");
LUMORA_CF_CONSTANT_STRING(gKeyIOSurfaceOpenGLTextureCompatibility, "IOSurfaceOpenGLTextureCompatibility");
LUMORA_CF_CONSTANT_STRING(gKeyIOSurfaceOpenGLFBOCompatibility, "IOSurfaceOpenGLFBOCompatibility");

}  // namespace

const CFStringRef kCVPixelBufferPixelFormatTypeKey = &gKeyPixelFormatType.object;
const CFStringRef kCVPixelBufferIOSurfacePropertiesKey = &gKeyIOSurfaceProperties.object;
const CFStringRef kCVPixelBufferOpenGLCompatibilityKey = &gKeyOpenGLCompatibility.object;
const CFStringRef kCVPixelBufferIOSurfaceOpenGLTextureCompatibilityKey = &gKeyIOSurfaceOpenGLTextureCompatibility.object;
const CFStringRef kCVPixelBufferIOSurfaceOpenGLFBOCompatibilityKey = &gKeyIOSurfaceOpenGLFBOCompatibility.object;

struct __CVBuffer final : cf::Object {
    __CVBuffer() : cf::Object(CVPixelBufferGetTypeID()) {}
    ~__CVBuffer() override {
        if (surface != nullptr) CFRelease(surface);
        if (ownsMemory) std::free(base);
        if (releaseCallback != nullptr) releaseCallback(releaseRefCon, base);
    }

    size_t width = 0;
    size_t height = 0;
    size_t bytesPerRow = 0;
    OSType format = 0;
    void *base = nullptr;
    bool ownsMemory = false;
    IOSurfaceRef surface = nullptr;
    CVPixelBufferReleaseBytesCallback releaseCallback = nullptr;
    void *releaseRefCon = nullptr;

    std::mutex lockMutex;
    uint32_t readLocks = 0;
    uint32_t writeLocks = 0;
};

namespace {

__CVBuffer *BufferOf(CVBufferRef buffer) { return cf::As<__CVBuffer>(buffer, CVPixelBufferGetTypeID()); }

CVReturn CheckSize(size_t width, size_t height, OSType format, size_t &minimumRowBytes) {
    if (!IsKnownFormat(format)) return kCVReturnInvalidPixelFormat;
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return kCVReturnInvalidSize;
    minimumRowBytes = MinimumRowBytes(format, width);
    return kCVReturnSuccess;
}

}  // namespace

CFTypeID CVPixelBufferGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CVPixelBuffer");
    return type;
}

CVBufferRef CVBufferRetain(CVBufferRef buffer) {
    if (buffer != nullptr) CFRetain(buffer);
    return buffer;
}

void CVBufferRelease(CVBufferRef buffer) {
    if (buffer != nullptr) CFRelease(buffer);
}

CVPixelBufferRef CVPixelBufferRetain(CVPixelBufferRef pixelBuffer) { return CVBufferRetain(pixelBuffer); }
void CVPixelBufferRelease(CVPixelBufferRef pixelBuffer) { CVBufferRelease(pixelBuffer); }

CVReturn CVPixelBufferCreate(CFAllocatorRef, size_t width, size_t height, OSType pixelFormatType, CFDictionaryRef,
                             CVPixelBufferRef *pixelBufferOut) {
    if (pixelBufferOut == nullptr) return kCVReturnInvalidArgument;
    *pixelBufferOut = nullptr;
    size_t minimum = 0;
    if (const CVReturn result = CheckSize(width, height, pixelFormatType, minimum); result != kCVReturnSuccess)
        return result;
    const size_t bytesPerRow = (minimum + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    if (bytesPerRow > kMaxDataSize / height) return kCVReturnInvalidSize;
    void *memory = std::aligned_alloc(kRowAlignment, bytesPerRow * height);
    if (memory == nullptr) return kCVReturnAllocationFailed;
    std::memset(memory, 0, bytesPerRow * height);
    auto *buffer = new __CVBuffer;
    buffer->width = width;
    buffer->height = height;
    buffer->bytesPerRow = bytesPerRow;
    buffer->format = pixelFormatType;
    buffer->base = memory;
    buffer->ownsMemory = true;
    *pixelBufferOut = buffer;
    return kCVReturnSuccess;
}

CVReturn CVPixelBufferCreateWithBytes(CFAllocatorRef, size_t width, size_t height, OSType pixelFormatType,
                                      void *baseAddress, size_t bytesPerRow,
                                      CVPixelBufferReleaseBytesCallback releaseCallback, void *releaseRefCon,
                                      CFDictionaryRef, CVPixelBufferRef *pixelBufferOut) {
    if (pixelBufferOut == nullptr) return kCVReturnInvalidArgument;
    *pixelBufferOut = nullptr;
    if (baseAddress == nullptr) return kCVReturnInvalidArgument;
    size_t minimum = 0;
    if (const CVReturn result = CheckSize(width, height, pixelFormatType, minimum); result != kCVReturnSuccess)
        return result;
    if (bytesPerRow < minimum) return kCVReturnInvalidArgument;
    if (bytesPerRow > kMaxDataSize / height) return kCVReturnInvalidSize;
    auto *buffer = new __CVBuffer;
    buffer->width = width;
    buffer->height = height;
    buffer->bytesPerRow = bytesPerRow;
    buffer->format = pixelFormatType;
    buffer->base = baseAddress;
    buffer->releaseCallback = releaseCallback;
    buffer->releaseRefCon = releaseRefCon;
    *pixelBufferOut = buffer;
    return kCVReturnSuccess;
}

CVReturn CVPixelBufferCreateWithIOSurface(CFAllocatorRef, IOSurfaceRef surface, CFDictionaryRef,
                                          CVPixelBufferRef *pixelBufferOut) {
    if (pixelBufferOut == nullptr) return kCVReturnInvalidArgument;
    *pixelBufferOut = nullptr;
    if (surface == nullptr || CFGetTypeID(surface) != IOSurfaceGetTypeID()) return kCVReturnInvalidArgument;
    const OSType format = IOSurfaceGetPixelFormat(surface);
    const size_t width = IOSurfaceGetWidth(surface);
    const size_t height = IOSurfaceGetHeight(surface);
    size_t minimum = 0;
    if (const CVReturn result = CheckSize(width, height, format, minimum); result != kCVReturnSuccess) return result;
    // The surface's elements must hold the format's pixels.
    if (IOSurfaceGetBytesPerRow(surface) < minimum) return kCVReturnInvalidPixelBufferAttributes;
    auto *buffer = new __CVBuffer;
    buffer->width = width;
    buffer->height = height;
    buffer->bytesPerRow = IOSurfaceGetBytesPerRow(surface);
    buffer->format = format;
    buffer->base = IOSurfaceGetBaseAddress(surface);
    buffer->surface = static_cast<IOSurfaceRef>(const_cast<void *>(CFRetain(surface)));
    *pixelBufferOut = buffer;
    return kCVReturnSuccess;
}

IOSurfaceRef CVPixelBufferGetIOSurface(CVPixelBufferRef pixelBuffer) {
    const __CVBuffer *buffer = BufferOf(pixelBuffer);
    return buffer ? buffer->surface : nullptr;
}

CVReturn CVPixelBufferLockBaseAddress(CVPixelBufferRef pixelBuffer, CVPixelBufferLockFlags lockFlags) {
    __CVBuffer *buffer = BufferOf(pixelBuffer);
    if (buffer == nullptr || (lockFlags & ~CVPixelBufferLockFlags(kCVPixelBufferLock_ReadOnly)) != 0)
        return kCVReturnInvalidArgument;
    const bool readOnly = (lockFlags & kCVPixelBufferLock_ReadOnly) != 0;
    if (buffer->surface != nullptr &&
        IOSurfaceLock(buffer->surface, readOnly ? IOSurfaceLockOptions(kIOSurfaceLockReadOnly) : IOSurfaceLockOptions(0), nullptr) != kIOReturnSuccess)
        return kCVReturnError;
    std::lock_guard<std::mutex> lock(buffer->lockMutex);
    ++(readOnly ? buffer->readLocks : buffer->writeLocks);
    return kCVReturnSuccess;
}

CVReturn CVPixelBufferUnlockBaseAddress(CVPixelBufferRef pixelBuffer, CVPixelBufferLockFlags unlockFlags) {
    __CVBuffer *buffer = BufferOf(pixelBuffer);
    if (buffer == nullptr || (unlockFlags & ~CVPixelBufferLockFlags(kCVPixelBufferLock_ReadOnly)) != 0)
        return kCVReturnInvalidArgument;
    const bool readOnly = (unlockFlags & kCVPixelBufferLock_ReadOnly) != 0;
    {
        std::lock_guard<std::mutex> lock(buffer->lockMutex);
        uint32_t &count = readOnly ? buffer->readLocks : buffer->writeLocks;
        if (count == 0) return kCVReturnError;
        --count;
    }
    if (buffer->surface != nullptr &&
        IOSurfaceUnlock(buffer->surface, readOnly ? IOSurfaceLockOptions(kIOSurfaceLockReadOnly) : IOSurfaceLockOptions(0), nullptr) != kIOReturnSuccess)
        return kCVReturnError;
    return kCVReturnSuccess;
}

size_t CVPixelBufferGetWidth(CVPixelBufferRef pixelBuffer) {
    const __CVBuffer *buffer = BufferOf(pixelBuffer);
    return buffer ? buffer->width : 0;
}

size_t CVPixelBufferGetHeight(CVPixelBufferRef pixelBuffer) {
    const __CVBuffer *buffer = BufferOf(pixelBuffer);
    return buffer ? buffer->height : 0;
}

size_t CVPixelBufferGetBytesPerRow(CVPixelBufferRef pixelBuffer) {
    const __CVBuffer *buffer = BufferOf(pixelBuffer);
    return buffer ? buffer->bytesPerRow : 0;
}

OSType CVPixelBufferGetPixelFormatType(CVPixelBufferRef pixelBuffer) {
    const __CVBuffer *buffer = BufferOf(pixelBuffer);
    return buffer ? buffer->format : 0;
}

size_t CVPixelBufferGetDataSize(CVPixelBufferRef pixelBuffer) {
    const __CVBuffer *buffer = BufferOf(pixelBuffer);
    return buffer ? buffer->bytesPerRow * buffer->height : 0;
}

void *CVPixelBufferGetBaseAddress(CVPixelBufferRef pixelBuffer) {
    const __CVBuffer *buffer = BufferOf(pixelBuffer);
    return buffer ? buffer->base : nullptr;
}
