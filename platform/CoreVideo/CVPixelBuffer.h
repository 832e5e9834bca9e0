// Pixel buffers: a picture of one pixel format in memory the buffer owns, in the caller's
// memory (released through a callback), or on an IOSurface.
//
// The pixel formats are the three the system uses: 32-bit ARGB (bytes A, R, G, B), 'BGRA'
// (bytes B, G, R, A) and '2vuy' (4:2:2, bytes U Y0 V Y1 for each pair of pixels).
#pragma once

#include <cstddef>
#include <cstdint>

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFString.h>
#include <CoreVideo/CVBase.h>
#include <CoreVideo/CVReturn.h>
#include <IOSurface/IOSurfaceRef.h>

typedef struct __CVBuffer *CVBufferRef;
typedef CVBufferRef CVImageBufferRef;
typedef CVImageBufferRef CVPixelBufferRef;

enum : OSType {
    kCVPixelFormatType_32ARGB = 0x00000020,
    kCVPixelFormatType_32BGRA = 0x42475241,       // 'BGRA'
    kCVPixelFormatType_422YpCbCr8 = 0x32767579,   // '2vuy'
};

typedef CVOptionFlags CVPixelBufferLockFlags;
enum : CVPixelBufferLockFlags {
    kCVPixelBufferLock_ReadOnly = 0x00000001,
};

// Called once, when the buffer made by CVPixelBufferCreateWithBytes is destroyed.
typedef void (*CVPixelBufferReleaseBytesCallback)(void *releaseRefCon, const void *baseAddress);

CFTypeID CVPixelBufferGetTypeID(void);

CVBufferRef CVBufferRetain(CVBufferRef buffer);
void CVBufferRelease(CVBufferRef buffer);
CVPixelBufferRef CVPixelBufferRetain(CVPixelBufferRef pixelBuffer);
void CVPixelBufferRelease(CVPixelBufferRef pixelBuffer);

// The attributes dictionaries are accepted and no attribute changes a buffer: every buffer
// is in plain memory that the OpenGL layer uploads from.

// Attribute keys, for callers that describe the buffers they want (their values are what
// those callers put in the dictionaries; the functions here read none of them).
extern const CFStringRef kCVPixelBufferPixelFormatTypeKey;                      // a number
extern const CFStringRef kCVPixelBufferIOSurfacePropertiesKey;                  // a dictionary
extern const CFStringRef kCVPixelBufferOpenGLCompatibilityKey;                  // a boolean
extern const CFStringRef kCVPixelBufferIOSurfaceOpenGLTextureCompatibilityKey;  // a boolean
extern const CFStringRef kCVPixelBufferIOSurfaceOpenGLFBOCompatibilityKey;      // a boolean

// A buffer with memory of its own (rows aligned to 64 bytes, zero filled).
// kCVReturnInvalidArgument for a null result pointer, kCVReturnInvalidPixelFormat for a format
// other than the three, kCVReturnInvalidSize for an empty or huge size.
CVReturn CVPixelBufferCreate(CFAllocatorRef allocator, size_t width, size_t height, OSType pixelFormatType,
                             CFDictionaryRef pixelBufferAttributes, CVPixelBufferRef *pixelBufferOut);
// A buffer over the caller's memory. The callback (optional) is called exactly once, when the
// buffer is destroyed; when creation fails it is not called and the memory stays the
// caller's. bytesPerRow must hold a row of the format.
CVReturn CVPixelBufferCreateWithBytes(CFAllocatorRef allocator, size_t width, size_t height, OSType pixelFormatType,
                                      void *baseAddress, size_t bytesPerRow,
                                      CVPixelBufferReleaseBytesCallback releaseCallback, void *releaseRefCon,
                                      CFDictionaryRef pixelBufferAttributes, CVPixelBufferRef *pixelBufferOut);
// A buffer on a surface of one of the three formats (retained by the buffer); locking the
// buffer locks the surface.
CVReturn CVPixelBufferCreateWithIOSurface(CFAllocatorRef allocator, IOSurfaceRef surface,
                                          CFDictionaryRef pixelBufferAttributes, CVPixelBufferRef *pixelBufferOut);
// The buffer's surface (not retained), or null for a buffer in memory.
IOSurfaceRef CVPixelBufferGetIOSurface(CVPixelBufferRef pixelBuffer);

// Brackets CPU access; an unlock must match a lock with the same read-only flag
// (kCVReturnError otherwise).
CVReturn CVPixelBufferLockBaseAddress(CVPixelBufferRef pixelBuffer, CVPixelBufferLockFlags lockFlags);
CVReturn CVPixelBufferUnlockBaseAddress(CVPixelBufferRef pixelBuffer, CVPixelBufferLockFlags unlockFlags);

size_t CVPixelBufferGetWidth(CVPixelBufferRef pixelBuffer);
size_t CVPixelBufferGetHeight(CVPixelBufferRef pixelBuffer);
size_t CVPixelBufferGetBytesPerRow(CVPixelBufferRef pixelBuffer);
OSType CVPixelBufferGetPixelFormatType(CVPixelBufferRef pixelBuffer);
// Bytes per row x height.
size_t CVPixelBufferGetDataSize(CVPixelBufferRef pixelBuffer);
void *CVPixelBufferGetBaseAddress(CVPixelBufferRef pixelBuffer);
