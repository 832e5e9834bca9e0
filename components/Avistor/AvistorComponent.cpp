// The Avistor component: the camera device inside the digitizer template, opened by hosts on
// the include list that may use the camera.
#include "QTCoreVideo_cam_device.h"

#include <QVDig/QVDigComponent.h>
#include <QVDig/T_VideoDigitizer.h>

namespace QVDigComponent {

QVDigDeviceBase *NewDigitizer() { return new T_VideoDigitizerWithMultipleDeviceInputs<QTCoreVideo_cam_device>; }

bool HostMayLoad() { return StandardCameraGate(); }

}  // namespace QVDigComponent
