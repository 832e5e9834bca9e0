#include "UIOSurfaceAPI.h"

namespace {

// The function of that name in the framework, loading it first when needed; null when the
// framework does not load or lacks the function.
template <typename Function>
Function Lookup(T_CFBaseDLL<I_CFBundleDLL> &framework, CFStringRef name) {
    if (!framework.IsFrameworkLoaded() && !framework.LoadSystemFramework()) return nullptr;
    return reinterpret_cast<Function>(framework.FunctionPointerForName(name));
}

}  // namespace

T_CFBaseDLL<I_CFBundleDLL> &UIOSurfaceAPI::IOSurfaceFramework() {
    static T_CFBaseDLL<I_CFBundleDLL> *sIOSurface = new T_CFBaseDLL<I_CFBundleDLL>(CFSTR("IOSurface.framework"));
    return *sIOSurface;
}

void UIOSurfaceAPI::surfaceIncrementUseCount(IOSurfaceRef surface) {
    surfaceIncrementUseCount(IOSurfaceFramework(), surface);
}

void UIOSurfaceAPI::surfaceDecrementUseCount(IOSurfaceRef surface) {
    surfaceDecrementUseCount(IOSurfaceFramework(), surface);
}

int32_t UIOSurfaceAPI::surfaceGetUseCount(IOSurfaceRef surface) { return surfaceGetUseCount(IOSurfaceFramework(), surface); }

bool UIOSurfaceAPI::surfaceIsInUse(IOSurfaceRef surface) { return surfaceIsInUse(IOSurfaceFramework(), surface); }

void UIOSurfaceAPI::surfaceIncrementUseCount(T_CFBaseDLL<I_CFBundleDLL> &framework, IOSurfaceRef surface) {
    if (surface == nullptr) return;
    if (auto function = Lookup<void (*)(IOSurfaceRef)>(framework, CFSTR("IOSurfaceIncrementUseCount")))
        function(surface);
}

void UIOSurfaceAPI::surfaceDecrementUseCount(T_CFBaseDLL<I_CFBundleDLL> &framework, IOSurfaceRef surface) {
    if (surface == nullptr) return;
    if (auto function = Lookup<void (*)(IOSurfaceRef)>(framework, CFSTR("IOSurfaceDecrementUseCount")))
        function(surface);
}

int32_t UIOSurfaceAPI::surfaceGetUseCount(T_CFBaseDLL<I_CFBundleDLL> &framework, IOSurfaceRef surface) {
    if (surface == nullptr) return 0;
    auto function = Lookup<int32_t (*)(IOSurfaceRef)>(framework, CFSTR("IOSurfaceGetUseCount"));
    return function != nullptr ? function(surface) : 0;
}

bool UIOSurfaceAPI::surfaceIsInUse(T_CFBaseDLL<I_CFBundleDLL> &framework, IOSurfaceRef surface) {
    if (surface == nullptr) return false;
    auto function = Lookup<Boolean (*)(IOSurfaceRef)>(framework, CFSTR("IOSurfaceIsInUse"));
    return function != nullptr && function(surface);
}

bool import_UIOSurfaceAPI() { return import_CFBaseDLL(); }
