// The link between QuickTime.framework and the QuickTime layer linked into the program.
//
// Code that loads "QuickTime.framework" by name finds its functions in the framework's
// module. The module holds no Movie Toolbox of its own: a second copy would have its own
// per-thread status, its own registry of worlds and its own Carbon file references, none
// of which the program's objects are known to. Instead every program that links the
// QuickTime layer exports one symbol, LumoraQuickTimeImplementation, which answers the
// table below; the module resolves it when it is loaded (a program without the layer
// cannot load the framework) and forwards each of its entry points through the table.
#pragma once

#include <QuickTime/Movies.h>

struct LumoraQuickTimeEntryPoints {
    UInt32 size;  // sizeof(LumoraQuickTimeEntryPoints) of the program's layer
    OSErr (*GetMoviesError)(void);
    void (*SampleNumToMediaDecodeTime)(Media, SInt64, TimeValue64 *, TimeValue64 *);
    OSErr (*QTNewDataReferenceFromFSRefCFString)(const FSRef *, CFStringRef, UInt32, Handle *, OSType *);
};

extern "C" __attribute__((visibility("default"))) const LumoraQuickTimeEntryPoints *LumoraQuickTimeImplementation(void);
