#include "IOSurfaceEntryPoints.h"

#include "IOSurfaceRef.h"

const LumoraIOSurfaceEntryPoints *LumoraIOSurfaceImplementation(void) {
    static constexpr LumoraIOSurfaceEntryPoints kEntryPoints = {
        sizeof(LumoraIOSurfaceEntryPoints),
        IOSurfaceIncrementUseCount,
        IOSurfaceDecrementUseCount,
        IOSurfaceGetUseCount,
        IOSurfaceIsInUse,
    };
    return &kEntryPoints;
}
