// The image settings a camera source switcher holds, read in a file of their own: the
// switcher's class (QCamReflecter.h) brings QuickTime's QPoint, which Qt's clashes with.
#pragma once

class QCamSwitcher;

struct CameraSettings {
    bool valid = false;  // the switcher is a QCamReflecter
    bool adjustments = false, lowLight = false;
    float brightness = 0, contrast = 0, gamma = 0, saturation = 0, blackLevel = 0, whiteLevel = 0;
};

CameraSettings ReadCameraSettings(QCamSwitcher *switcher);
