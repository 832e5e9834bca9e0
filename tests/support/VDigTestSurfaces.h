// Global surfaces of known pixels and a UDP cast server on a free loopback port, for the
// virtual camera's tests.
#pragma once

#include <FrameSharing/Network/UDPLoopbackMessageServer.h>
#include <IOSurface/IOSurface.h>
#include <CoreFoundation/CFNumber.h>

#include <poll.h>

#include <cstdint>
#include <functional>
#include <unistd.h>

namespace vdigtest {

inline void SetNumber(CFMutableDictionaryRef dictionary, CFStringRef key, long long value) {
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberLongLongType, &value);
    CFDictionarySetValue(dictionary, key, number);
    CFRelease(number);
}

// A global surface of width x height; each pixel's bytes from fill(x, y, bytes).
inline IOSurfaceRef NewGlobalSurface(long long width, long long height, long long bytesPerElement, OSType format,
                                     const std::function<void(long long, long long, uint8_t *)> &fill) {
    CFMutableDictionaryRef properties = CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                                                  &kCFTypeDictionaryValueCallBacks);
    SetNumber(properties, kIOSurfaceWidth, width);
    SetNumber(properties, kIOSurfaceHeight, height);
    SetNumber(properties, kIOSurfaceBytesPerElement, bytesPerElement);
    SetNumber(properties, kIOSurfacePixelFormat, format);
    CFDictionarySetValue(properties, kIOSurfaceIsGlobal, kCFBooleanTrue);
    IOSurfaceRef surface = IOSurfaceCreate(properties);
    CFRelease(properties);
    if (surface == nullptr) return nullptr;
    IOSurfaceLock(surface, 0, nullptr);
    auto *base = static_cast<uint8_t *>(IOSurfaceGetBaseAddress(surface));
    const size_t rowBytes = IOSurfaceGetBytesPerRow(surface);
    for (long long y = 0; y < height; ++y)
        for (long long x = 0; x < width; ++x) fill(x, y, base + size_t(y) * rowBytes + size_t(x * bytesPerElement));
    IOSurfaceUnlock(surface, 0, nullptr);
    return surface;
}

// The 'BGRA' test picture: blue = x, green = y (low bytes), red = 0x40 + tag, alpha 0xFF.
inline IOSurfaceRef NewTaggedBGRASurface(long long width, long long height, uint8_t tag) {
    return NewGlobalSurface(width, height, 4, 'BGRA', [tag](long long x, long long y, uint8_t *p) {
        p[0] = uint8_t(x);
        p[1] = uint8_t(y);
        p[2] = uint8_t(0x40 + tag);
        p[3] = 0xFF;
    });
}

// A cast server on a free port of 127.0.0.1 whose 30 client ports are free as well. The
// candidates are 31 apart, so the ranges of test programs running at once never overlap.
struct CastServer {
    UDPLoopbackMessageServer server{0};
    uint16_t port = 0;
    CastServer() {
        const unsigned slots = (60000 - 20000) / 31;
        for (unsigned i = 0; i < slots; ++i) {
            const uint16_t candidate = uint16_t(20000 + ((unsigned(getpid()) + i) % slots) * 31);
            server.Protocol().SetServerListenerPort(candidate);
            if (!server.Open()) continue;
            bool clientPortsFree = true;
            for (uint16_t p = uint16_t(candidate + 1); p <= candidate + 30 && clientPortsFree; ++p) {
                UDPNetwork::Socket probe;
                clientPortsFree = probe.Open(p, true);
            }
            if (clientPortsFree) {
                port = candidate;
                return;
            }
            server.Close();
        }
    }
    // Serves the pings that come within `ms` milliseconds.
    void Serve(int ms = 200) {
        for (int waited = 0; waited < ms; waited += 5) {
            pollfd p{server.ServerSocket().GetDescriptor(), POLLIN, 0};
            if (::poll(&p, 1, 5) > 0) server.ServeOneDatagram();
        }
    }
    size_t Cast(uint64_t surfaceID, uint64_t time) {
        return server.CastMessage(UDPLoopBackMessageData(UDPLoopBackMessageData::MessageType_ServerDataCast, surfaceID,
                                                         time, "from server:MessageType_ServerDataCast."));
    }
};

}  // namespace vdigtest
