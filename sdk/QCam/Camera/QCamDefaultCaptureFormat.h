// The process-wide default capture format: the frame size, row bytes, pixel format and
// frame rate that camera sources and their sinks start with (640 x 480, 1280 row bytes,
// '2vuy', 30.0 frames per second). Start-up may change it before the first camera object
// is made; every object copies it when constructed.
#pragma once

#include <CoreG/Frames422/Q_2vuy_format.h>

struct QCamDefaultCaptureFormat {
    Q_2vuy_format format;
    double frameRate;

    // The one record of the process (a function-local static, made on first use).
    static QCamDefaultCaptureFormat &Get();
    // The rectangle (0, 0) to (width, height).
    Rect FrameRect() const;
};
