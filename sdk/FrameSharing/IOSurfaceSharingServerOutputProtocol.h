// IOSurfaceSharingServerOutputProtocol: what every sharing output answers (an output
// announces each frame's surface over one channel).
#pragma once

#include <IOSurface/IOSurfaceRef.h>

#include <cstdint>

class IOSurfaceSharingServerOutputProtocol {
public:
    virtual ~IOSurfaceSharingServerOutputProtocol() = default;
    virtual bool outputConnect() = 0;
    virtual bool outputDisconnect() = 0;
    virtual bool hasServerConnection() = 0;
    // With the current host time in nanoseconds.
    virtual bool broadcastSurface(IOSurfaceRef surface) = 0;
    virtual bool broadcastSurfaceWithSurfaceTime(IOSurfaceRef surface, uint64_t surfaceTime) = 0;
};
