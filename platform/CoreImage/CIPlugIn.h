// CIPlugIn: image units, loadable bundles that add filters to the process's registry.
//
// An image unit is a bundle laid out like every plug-in bundle:
//
//     Name.plugin/Contents/Info.plist        NSPrincipalClass = the unit's class name
//     Name.plugin/Contents/Linux/Name        a shared object (hidden visibility, exporting
//                                            only the entry points below)
//
// Installed units live in the "Graphics/Image Units" folder of each domain's Library
// (user, local, system; see <Carbon/Folders.h>, kDomainLibraryFolderType).
//
// Entry points of a unit, looked up by name once its executable is loaded:
//
//     extern "C" void CIPlugInLoaderInitFunc(void);              // optional, called first
//     extern "C" CIPlugInRegistration *<NSPrincipalClass>_create(void);   // required
//
// The factory named after the principal class answers a new registration object (the loader
// deletes it after use, so it must be made with `new` in a unit linked against the same C++
// runtime); its `load(host)` registers the unit's filters with CIFilter::registerFilterName
// and answers true, or answers false to be skipped (a unit answering false is expected to
// have registered nothing). `host` is reserved and is null.
//
// A bundle's code runs at most once per process (the bundle's real path is the key; a later
// call answers the first result without running anything). Bundles that are missing, have no
// Info.plist, no executable, no principal class or factory, whose executable the dynamic
// loader refuses or whose principal class declines are not loaded: every such call answers
// false after one line on standard error ("Core Image: image unit <path> not loaded:
// <reason>") and the process goes on. Loading is thread-safe.
//
// Building a unit: a MODULE library with hidden visibility whose Core Image symbols stay
// undefined (it links no copy of the layer) and bind to the host's when it is loaded, so the
// host program exports its symbols (CMake ENABLE_EXPORTS) and the unit includes the layer's
// headers between `#pragma GCC visibility push(default)` and `pop`.
#pragma once

#include <CoreFoundation/CFURL.h>

// The interface of an image unit's principal class.
class CIPlugInRegistration {
public:
    virtual ~CIPlugInRegistration() = default;
    // Registers the unit's filters; false when the unit cannot work in this host (it is
    // skipped).
    virtual bool load(void *host) = 0;
};

class CIPlugIn {
public:
    // Loads every image unit (every "*.plugin" folder) of the "Graphics/Image Units" folder of
    // the user, local and system Library, in that order. Each folder is scanned once per
    // process; later calls do nothing.
    static void loadAllPlugIns();
    // Loads the image unit at `url` (a file URL of the bundle folder): true when it is loaded
    // and its registration answered true (now or in an earlier call). With
    // allowExecutableCode false nothing executable is run and the answer is false: every unit
    // of this system carries its filters in its executable.
    static bool loadPlugIn(CFURLRef url, bool allowExecutableCode);
};
