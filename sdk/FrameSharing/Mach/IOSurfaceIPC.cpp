#include <FrameSharing/Mach/IOSurfaceIPC.h>

#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>
#include <Mach/port.h>

#include <cmath>

const uint32_t IOSurfaceConnectionClientID_ConstSeedValue = 0;

uint32_t IOSurfaceIPC::surfaceBytesPerElementFromSurfacePixelFormat(uint32_t) { return 4; }

IOSurfaceRef IOSurfaceIPC::globalSurfaceWithSizePixels(float width, float height, uint32_t format) {
    if (!(width >= 1.0f && height >= 1.0f && width < 65536.0f && height < 65536.0f)) return nullptr;
    const int32_t values[4] = {int32_t(width), int32_t(height), int32_t(surfaceBytesPerElementFromSurfacePixelFormat(format)),
                               int32_t(format)};
    CFMutableDictionaryRef properties =
        CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    if (properties == nullptr) return nullptr;
    const CFStringRef keys[4] = {kIOSurfaceWidth, kIOSurfaceHeight, kIOSurfaceBytesPerElement, kIOSurfacePixelFormat};
    for (int i = 0; i < 4; ++i) {
        if (i == 3 && format == 0) break;
        CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &values[i]);
        CFDictionarySetValue(properties, keys[i], number);
        CFRelease(number);
    }
    CFDictionarySetValue(properties, kIOSurfaceIsGlobal, kCFBooleanTrue);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    return surface;
}

uint32_t IOSurfaceIPC::remotingSurfaceIDFromLocalIOSurfaceID(uint32_t surfaceID) {
    if (surfaceID == 0) return 0;
    IOSurfaceRef surface = IOSurfaceLookup(surfaceID);
    if (surface == nullptr) return 0;
    const mach_port_t port = IOSurfaceCreateMachPort(surface);
    CFRelease(surface);
    return port;
}

bool IOSurfaceIPC::deallocateRemotingSurfaceID(uint32_t port) {
    if (port != 0) mach_port_deallocate(mach_task_self(), port);
    return true;
}

uint32_t IOSurfaceIPC::localIOSurfaceIDFromRemotingSurfaceID(uint32_t port) {
    if (port == 0) return 0;
    uint32_t surfaceID = 0;
    if (IOSurfaceRef surface = IOSurfaceLookupFromMachPort(port)) {
        surfaceID = IOSurfaceGetID(surface);
        CFRelease(surface);
    }
    mach_port_deallocate(mach_task_self(), port);
    return surfaceID;
}

uint64_t IOSurfaceConnectionClientID::uniqueIdentifierWithString(const std::optional<std::string> &string) {
    if (!string.has_value()) return 0;
    uint32_t crc = IOSurfaceConnectionClientID_ConstSeedValue;
    for (unsigned char byte : *string) {
        crc ^= uint32_t(byte) << 24;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x80000000u) != 0 ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

bool import_IOSurfaceIPC() { return true; }
