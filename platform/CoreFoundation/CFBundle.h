// Bundles: folders laid out as Name.ext/Contents/Info.plist, with the executable (a shared
// object for plug-ins and frameworks) in Name.ext/Contents/Linux/Name.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFError.h>
#include <CoreFoundation/CFURL.h>

typedef struct __CFBundle *CFBundleRef;

CFTypeID CFBundleGetTypeID(void);

// The bundle of the running program (not a copy), found from /proc/self/exe: X.ext when the
// program is X.ext/Contents/Linux/<program>, else the folder that holds the program (a bare
// tool). Null only when the program's path cannot be read. Thread-safe.
CFBundleRef CFBundleGetMainBundle(void);
// Null when the URL is not a file URL of an existing folder.
CFBundleRef CFBundleCreate(CFAllocatorRef allocator, CFURLRef bundleURL);

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
// Contents/Linux/<bundle name without extension>; null when that file does not exist.
CFURLRef CFBundleCopyExecutableURL(CFBundleRef bundle);
// Contents/Resources, Contents/Frameworks, Contents/SharedFrameworks, Contents/PlugIns and
// Contents/SharedSupport. For a bare tool's main bundle: the tool's folder for resources,
// and Frameworks, SharedFrameworks, PlugIns, SharedSupport beside the tool only when they
// exist (else null).
CFURLRef CFBundleCopyResourcesDirectoryURL(CFBundleRef bundle);
CFURLRef CFBundleCopyPrivateFrameworksURL(CFBundleRef bundle);
CFURLRef CFBundleCopySharedFrameworksURL(CFBundleRef bundle);
CFURLRef CFBundleCopyBuiltInPlugInsURL(CFBundleRef bundle);
CFURLRef CFBundleCopySharedSupportURL(CFBundleRef bundle);

// The file <Resources>[/subDirName]/resourceName[.resourceType] when it exists, else null.
// A null or empty type means the name is used as it stands. Names that step out of the
// resources folder (a ".." component) are refused.
CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName);

// Loads the executable (dlopen, RTLD_NOW | RTLD_LOCAL). True when it is loaded. On failure
// the reason (the dynamic loader's text) is kept and shown in the bundle's description.
Boolean CFBundleLoadExecutable(CFBundleRef bundle);
// The same; on failure *error (when error is not null) receives a created error of the
// kCFErrorDomainCocoa domain whose description is the reason.
Boolean CFBundleLoadExecutableAndReturnError(CFBundleRef bundle, CFErrorRef *error);
Boolean CFBundleIsExecutableLoaded(CFBundleRef bundle);
// Unloads what CFBundleLoadExecutable loaded. The main bundle's program stays.
void CFBundleUnloadExecutable(CFBundleRef bundle);
// Null when the executable is not loaded or does not export the name.
void *CFBundleGetFunctionPointerForName(CFBundleRef bundle, CFStringRef functionName);
