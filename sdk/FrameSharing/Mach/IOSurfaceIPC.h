// IOSurfaceIPC: global surfaces, and the conversion between a surface identifier and a Mach
// port that carries the surface to another process. IOSurfaceConnectionClientID: the 32-bit
// CRC of a string that names a client.
#pragma once

#include <FrameSharing/Mach/FrameSharingClassNames.h>

#include <IOSurface/IOSurfaceRef.h>

#include <cstdint>
#include <optional>
#include <string>

class IOSurfaceIPC {
public:
    // 4 for every format.
    static uint32_t surfaceBytesPerElementFromSurfacePixelFormat(uint32_t format);
    // A new global surface (width and height are the size made integers, 4 bytes per
    // element, the pixel format when not 0), owned by the caller; null on failure.
    static IOSurfaceRef globalSurfaceWithSizePixels(float width, float height, uint32_t format);
    // A port carrying the surface of this identifier (owned by the caller); 0 when there is
    // no such surface.
    static uint32_t remotingSurfaceIDFromLocalIOSurfaceID(uint32_t surfaceID);
    // Gives this process's right on the port up (nothing for 0).
    static bool deallocateRemotingSurfaceID(uint32_t port);
    // The global identifier of the surface a received port carries (0 when none); the
    // looked-up reference and the received right are given up.
    static uint32_t localIOSurfaceIDFromRemotingSurfaceID(uint32_t port);
};

// The seed of the client identifiers' CRC.
extern const uint32_t IOSurfaceConnectionClientID_ConstSeedValue;

class IOSurfaceConnectionClientID {
public:
    // CRC-32 (polynomial 0x04C11DB7, initial value the seed, no reflection, no final XOR)
    // of the UTF-8 bytes; 0 for no string. "123456789" gives 0x89A1897F.
    static uint64_t uniqueIdentifierWithString(const std::optional<std::string> &string);
};

bool import_IOSurfaceIPC();
