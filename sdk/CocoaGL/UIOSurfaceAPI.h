// UIOSurfaceAPI: the use-count functions of IOSurface, reached by name at run time in the
// system framework "IOSurface.framework", which is loaded on the first call. The IOSurface
// textures keep a surface marked in use with them while they hold it.
//
// Failures are silent: a null surface, a framework that cannot be loaded or a function it
// lacks make a call do nothing and answer 0 or false. Each call looks its function up anew.
#pragma once

#include <CoreX/CFBaseDLL.h>
#include <IOSurface/IOSurfaceRef.h>

#include <cstdint>

class UIOSurfaceAPI {
public:
    UIOSurfaceAPI() = delete;

    // The process-wide handle on "IOSurface.framework", made on first use and never destroyed
    // (a surface given back late at exit can still be counted down).
    static T_CFBaseDLL<I_CFBundleDLL> &IOSurfaceFramework();

    // IOSurfaceIncrementUseCount / IOSurfaceDecrementUseCount of the framework.
    static void surfaceIncrementUseCount(IOSurfaceRef surface);
    static void surfaceDecrementUseCount(IOSurfaceRef surface);
    // IOSurfaceGetUseCount; 0 when unavailable.
    static int32_t surfaceGetUseCount(IOSurfaceRef surface);
    // IOSurfaceIsInUse; false when unavailable.
    static bool surfaceIsInUse(IOSurfaceRef surface);

    // The same calls through another framework handle.
    static void surfaceIncrementUseCount(T_CFBaseDLL<I_CFBundleDLL> &framework, IOSurfaceRef surface);
    static void surfaceDecrementUseCount(T_CFBaseDLL<I_CFBundleDLL> &framework, IOSurfaceRef surface);
    static int32_t surfaceGetUseCount(T_CFBaseDLL<I_CFBundleDLL> &framework, IOSurfaceRef surface);
    static bool surfaceIsInUse(T_CFBaseDLL<I_CFBundleDLL> &framework, IOSurfaceRef surface);
};

bool import_UIOSurfaceAPI();
