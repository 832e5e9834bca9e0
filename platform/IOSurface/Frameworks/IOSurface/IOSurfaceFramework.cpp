// The executable of IOSurface.framework: the use-count functions that code looks up by name
// in the loaded framework, each forwarded to the IOSurface layer of the program that loaded
// it (see IOSurfaceEntryPoints.h). Only these entry points are exported.
#include <IOSurface/IOSurfaceEntryPoints.h>

#define LUMORA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The program's table; its size tells which entries it has.
const LumoraIOSurfaceEntryPoints *Implementation() {
    const LumoraIOSurfaceEntryPoints *table = LumoraIOSurfaceImplementation();
    return table != nullptr && table->size >= sizeof(LumoraIOSurfaceEntryPoints) ? table : nullptr;
}

}  // namespace

LUMORA_EXPORT void IOSurfaceIncrementUseCount(IOSurfaceRef buffer) {
    if (const LumoraIOSurfaceEntryPoints *table = Implementation()) table->IncrementUseCount(buffer);
}

LUMORA_EXPORT void IOSurfaceDecrementUseCount(IOSurfaceRef buffer) {
    if (const LumoraIOSurfaceEntryPoints *table = Implementation()) table->DecrementUseCount(buffer);
}

LUMORA_EXPORT int32_t IOSurfaceGetUseCount(IOSurfaceRef buffer) {
    const LumoraIOSurfaceEntryPoints *table = Implementation();
    return table != nullptr ? table->GetUseCount(buffer) : 0;
}

LUMORA_EXPORT Boolean IOSurfaceIsInUse(IOSurfaceRef buffer) {
    const LumoraIOSurfaceEntryPoints *table = Implementation();
    return table != nullptr ? table->IsInUse(buffer) : false;
}
