// The link between IOSurface.framework and the IOSurface layer linked into the program.
//
// Code that loads "IOSurface.framework" by name finds the use-count functions in the
// framework's module. The module holds no surfaces of its own: a second copy of the layer
// would have its own Core Foundation types and its own table of mapped surfaces, and could
// not read a surface the program made. Instead every program that links the layer exports
// one symbol, LumoraIOSurfaceImplementation, which answers the table below; the module
// resolves it when it is loaded (a program without the layer cannot load the framework) and
// forwards each of its entry points through the table.
//
// The header names only the surface type, not the layer's functions (which have C++
// linkage): the module defines functions of the same names with C linkage.
#pragma once

#include <CoreFoundation/CFBase.h>

#include <cstdint>

typedef struct __IOSurface *IOSurfaceRef;

struct LumoraIOSurfaceEntryPoints {
    UInt32 size;  // sizeof(LumoraIOSurfaceEntryPoints) of the program's layer
    void (*IncrementUseCount)(IOSurfaceRef);
    void (*DecrementUseCount)(IOSurfaceRef);
    int32_t (*GetUseCount)(IOSurfaceRef);
    Boolean (*IsInUse)(IOSurfaceRef);
};

extern "C" __attribute__((visibility("default"))) const LumoraIOSurfaceEntryPoints *LumoraIOSurfaceImplementation(void);
