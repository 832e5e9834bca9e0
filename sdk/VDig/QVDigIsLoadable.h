// Whether a digitizer component may load into the host process: the system version and the
// host's code-signing entitlements (UCodeEntitlements, which in a component describes the
// host). The class factory asks these before it makes a component.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

namespace QVDigIsLoadable {

// The system is 10.6.6 or later.
bool IsLoadableSnowLeopardOrNewer();
// The system is 10.8 or later.
bool IsLoadableMountainLionOrNewer();
// Not sandboxed, or com.apple.security.device.camera is true.
bool IsLoadableMacCameraEntitlement();
// Not sandboxed, or both com.apple.security.network.client and .server are true.
bool IsLoadableNetworkCamera();
// No active sandbox.
bool IsLoadableSharedMemoryCamera();
bool IsLoadableMachIPCCamera();
// The host's signed bundle identifier is known and equal to `identifier`.
bool IsLoadableProcessHasSignedBundleIdentifier(CFStringRef identifier);

}  // namespace QVDigIsLoadable

bool import_QVDigIsLoadable();
