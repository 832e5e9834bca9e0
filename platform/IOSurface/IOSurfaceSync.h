// Internal to the graphics layers: how a layer that keeps copies of surface pixels (the
// OpenGL layer's surface-backed textures) brings them into the surface before the CPU looks.
// The surface layer knows nothing of that layer; the layer installs a handler instead.
#pragma once

#include <IOSurface/IOSurfaceRef.h>

namespace iosurface {

// Called by IOSurfaceLock, on the locking thread and before the lock is counted, unless the
// options hold kIOSurfaceLockAvoidSync. The handler writes into the surface what is newer
// elsewhere; it locks the surface itself with kIOSurfaceLockAvoidSync, so it is never called
// again from within.
using LockSyncHandler = void (*)(IOSurfaceRef surface);

// Installs the handler (null removes it); one handler for the process, the last one wins.
void SetLockSyncHandler(LockSyncHandler handler);

}  // namespace iosurface
