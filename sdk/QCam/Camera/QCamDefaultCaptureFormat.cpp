#include <QCam/Camera/QCamDefaultCaptureFormat.h>

QCamDefaultCaptureFormat &QCamDefaultCaptureFormat::Get() {
    static QCamDefaultCaptureFormat sFormat = [] {
        QCamDefaultCaptureFormat f;
        f.format._Width = 640;
        f.format._Height = 480;
        f.format._RowBytes = 1280;
        f.format._PixelFormat = k2vuyPixelFormat;
        f.frameRate = 30.0;
        return f;
    }();
    return sFormat;
}

Rect QCamDefaultCaptureFormat::FrameRect() const {
    Rect r;
    r.top = 0;
    r.left = 0;
    r.bottom = format._Height;
    r.right = format._Width;
    return r;
}
