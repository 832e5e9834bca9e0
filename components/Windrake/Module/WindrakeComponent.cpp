// The Windrake component: the window-image device in the digitizer template, one input per
// application with shareable windows. A host may open it when it runs outside a sandbox
// (the windows of other programs are out of a sandboxed host's reach).
#include <Windrake/GRABBER_CAM_DEVICE_ARGB.h>

#include <QVDig/QVDigComponent.h>
#include <QVDig/T_VideoDigitizer.h>

#include <VDig/QVDigIsLoadable.h>

namespace QVDigComponent {

QVDigDeviceBase *NewDigitizer() { return new T_VideoDigitizerWithMultipleDeviceInputs<GRABBER_CAM_DEVICE_ARGB>(); }

bool HostMayLoad() {
    return QVDigIsLoadable::IsLoadableSharedMemoryCamera() && QVDigIsLoadable::IsLoadableMountainLionOrNewer();
}

}  // namespace QVDigComponent
