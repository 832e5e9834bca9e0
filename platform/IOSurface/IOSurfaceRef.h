// Pixel surfaces that several processes map at once.
//
// A surface is a block of pixels in shared memory with a small shared header (geometry,
// pixel format, modification seed, use count). Global surfaces are found by their id from
// any process of the same user (IOSurfaceLookup); every surface can also travel to another
// process as a file descriptor (IOSurfaceCreateFileDescriptor, sent over a Unix socket, and
// IOSurfaceLookupFromFileDescriptor on the other side). A surface lives while any process
// holds a reference to it, or an exported descriptor that is still open.
//
// Locks do not exclude other writers: they bracket CPU access, and an unlock after a lock
// that was not read-only advances the seed, which every process sees.
#pragma once

#include <cstddef>
#include <cstdint>

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFString.h>
#include <Mach/kern_return.h>
#include <Mach/port.h>

typedef struct __IOSurface *IOSurfaceRef;
typedef uint32_t IOSurfaceID;

typedef kern_return_t IOReturn;
#define kIOReturnSuccess 0
#define kIOReturnError ((IOReturn)0xE00002BC)
#define kIOReturnNoMemory ((IOReturn)0xE00002BD)
#define kIOReturnBadArgument ((IOReturn)0xE00002C2)

typedef uint32_t IOSurfaceLockOptions;
enum : uint32_t {
    kIOSurfaceLockReadOnly = 0x00000001,
    kIOSurfaceLockAvoidSync = 0x00000002,
};

// Keys of the properties dictionary of IOSurfaceCreate. Width, height and bytes per element
// are required (CFNumber); bytes per row is optional (at least width x bytes per element;
// by default that rounded up to 16 bytes); the pixel format is a CFNumber (four-character
// code, 0 when absent); "IOSurfaceIsGlobal" is a CFBoolean or CFNumber (false when absent).
extern const CFStringRef kIOSurfaceWidth;
extern const CFStringRef kIOSurfaceHeight;
extern const CFStringRef kIOSurfaceBytesPerElement;
extern const CFStringRef kIOSurfaceBytesPerRow;
extern const CFStringRef kIOSurfacePixelFormat;
extern const CFStringRef kIOSurfaceIsGlobal;

CFTypeID IOSurfaceGetTypeID(void);

// A new surface, or null when a property is missing, out of range, or the memory cannot be
// had. Created (release with CFRelease).
IOSurfaceRef IOSurfaceCreate(CFDictionaryRef properties);
// The global surface of this id, from any process of this user; null for an unknown or
// destroyed id, a surface that is not global (unless this process holds it), or a surface
// whose shared header is not sound. Created.
IOSurfaceRef IOSurfaceLookup(IOSurfaceID csid);
IOSurfaceID IOSurfaceGetID(IOSurfaceRef buffer);

// Brackets CPU access. seed (optional) receives the seed at the lock. kIOReturnBadArgument
// for a null surface or unknown options. Unless the options hold kIOSurfaceLockAvoidSync,
// what this process has drawn into the surface with OpenGL and not yet written into its
// memory is written first (see OpenGL/CGLIOSurface.h).
IOReturn IOSurfaceLock(IOSurfaceRef buffer, IOSurfaceLockOptions options, uint32_t *seed);
// Ends a lock taken with the same read-only option; after a lock that was not read-only the
// seed advances. seed (optional) receives the seed after the unlock. kIOReturnBadArgument
// when this process holds no such lock.
IOReturn IOSurfaceUnlock(IOSurfaceRef buffer, IOSurfaceLockOptions options, uint32_t *seed);

void *IOSurfaceGetBaseAddress(IOSurfaceRef buffer);
// Bytes of pixel memory from the base address (bytes per row x height).
size_t IOSurfaceGetAllocSize(IOSurfaceRef buffer);
size_t IOSurfaceGetWidth(IOSurfaceRef buffer);
size_t IOSurfaceGetHeight(IOSurfaceRef buffer);
size_t IOSurfaceGetBytesPerElement(IOSurfaceRef buffer);
size_t IOSurfaceGetBytesPerRow(IOSurfaceRef buffer);
OSType IOSurfaceGetPixelFormat(IOSurfaceRef buffer);
uint32_t IOSurfaceGetSeed(IOSurfaceRef buffer);

// The use count is shared by every process that maps the surface.
void IOSurfaceIncrementUseCount(IOSurfaceRef buffer);
// Never goes below zero.
void IOSurfaceDecrementUseCount(IOSurfaceRef buffer);
int32_t IOSurfaceGetUseCount(IOSurfaceRef buffer);
Boolean IOSurfaceIsInUse(IOSurfaceRef buffer);

// A new file descriptor (close-on-exec) that refers to the surface and keeps it alive until
// it is closed, for sending to another process; -1 on failure. The caller closes it.
int IOSurfaceCreateFileDescriptor(IOSurfaceRef buffer);
// The surface behind a descriptor made by IOSurfaceCreateFileDescriptor (in this or another
// process); the descriptor stays the caller's. Null when it is not a sound surface. Created.
IOSurfaceRef IOSurfaceLookupFromFileDescriptor(int fd);

// A send right (a memory entry, Mach/port.h) that carries the surface to another process
// in a port descriptor and keeps it alive while it exists; MACH_PORT_NULL on failure. The
// caller gives the right up with mach_port_deallocate.
mach_port_t IOSurfaceCreateMachPort(IOSurfaceRef buffer);
// The surface behind a right made by IOSurfaceCreateMachPort in this or another process; the
// right stays the caller's. Null when it is not a sound surface. Created.
IOSurfaceRef IOSurfaceLookupFromMachPort(mach_port_t port);
