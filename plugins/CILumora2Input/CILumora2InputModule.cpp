// The entry points of the image unit's executable and its load and unload work. Only the
// module has this file: a program that compiles the unit's classes into itself (the tests)
// runs none of it.
#include "CILumora2Input.h"
#include "IOSurfaceMachClientConnection.h"
#include "IOSurfaceSharingClientQuartz.h"

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/UCodeEntitlements.h>

#define CILUMORA2INPUT_EXPORT extern "C" __attribute__((visibility("default")))

CILUMORA2INPUT_EXPORT void CIPlugInLoaderInitFunc(void);
CILUMORA2INPUT_EXPORT CIPlugInRegistration *CILumora2InputLoader_create(void);

namespace {

// Load: the link anchors of the sharing client, and the host's signature record the load
// gate reads. The unit is loaded by the host long after main, never before.
__attribute__((constructor)) void CILumora2InputMachOInit() {
    CoreMachDebugLogString("VSharedCameraBuffer_IOSurfaceSharing::MachOInitFunc\n");
    if (!import_IOSurfaceSharingClientQuartz())
        _CoreMachDebugVerifyBody(__func__, __FILE__, __LINE__, " code : import_IOSurfaceMachClientConnection()");
    UCodeEntitlements::sEntitlements();
}

// Unload (or the host's exit): the shared client stops looking and lets its connection go.
__attribute__((destructor)) void CILumora2InputMachOTerm() {
    IOSurfaceSharingClientQuartz::destroySharedClient();
    CoreMachDebugLogString("VSharedCameraBuffer_IOSurfaceSharing::MachOTermFunc\n");
}

}  // namespace

void CIPlugInLoaderInitFunc(void) {
    // The unit's own log (its copy of the debug log is its own): the system log, under the
    // unit's name.
    g_CoreMachDebug_LogPrefix = "CILumoraInput";
    g_CoreMachDebug_LogFileName = "CILumoraInput.log";
    CoreMachDebugLogResetFilePath();
    CoreMachDebugLogSetUseLogger(kCoreLogOutput_ASL);
}

CIPlugInRegistration *CILumora2InputLoader_create(void) { return new CILumora2InputLoader; }
