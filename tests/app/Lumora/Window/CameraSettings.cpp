#include "CameraSettings.h"

#include <QCam/Camera/QCamReflecter.h>

CameraSettings ReadCameraSettings(QCamSwitcher *switcher) {
    CameraSettings settings;
    auto *camera = dynamic_cast<QCamReflecter *>(switcher);
    if (camera == nullptr) return settings;
    settings.valid = true;
    settings.adjustments = camera->mImageAdjustments;
    settings.lowLight = camera->mLowLight;
    settings.brightness = camera->mBrightness;
    settings.contrast = camera->mContrast;
    settings.gamma = camera->mGamma;
    settings.saturation = camera->mSaturation;
    settings.blackLevel = camera->mBlackLevel;
    settings.whiteLevel = camera->mWhiteLevel;
    return settings;
}
