// The Lumora2.VDIG component: the virtual camera's device in the digitizer template, one
// input, 'raw ' frames. Any host may open it (it is linked into the user's QuickTime
// Components folder for other programs) as long as it may use loopback sockets and shared
// memory: it reads the application's UDP casts and maps its shared surfaces.
#include <Lumora2.VDIG/IOSurfaceSharing_udp_device.h>

#include <QVDig/QVDigComponent.h>
#include <QVDig/T_VideoDigitizer.h>

#include <VDig/QVDigIsLoadable.h>

namespace QVDigComponent {

QVDigDeviceBase *NewDigitizer() { return new T_VideoDigitizer<IOSurfaceSharing_udp_device>(); }

bool HostMayLoad() {
    return QVDigIsLoadable::IsLoadableNetworkCamera() && QVDigIsLoadable::IsLoadableSharedMemoryCamera() &&
           QVDigIsLoadable::IsLoadableMountainLionOrNewer();
}

}  // namespace QVDigComponent
