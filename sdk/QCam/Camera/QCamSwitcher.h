// QCamSwitcher: what the interface code (image controls, camera menu, play controller,
// reflecter view) asks of the camera source switcher. QCamReflecter implements it.
//
// The interface keeps the QuickTime library's headers out of widget code (the library's
// QPoint would clash with Qt's), so it speaks in plain types, Core Foundation URLs and Core
// Graphics images. The camera-device operations cover what the camera menu needs of the
// switcher's grabber; device names are UTF-8.
#pragma once

#include <CoreFoundation/CFURL.h>
#include <CoreGraphics/CGImage.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QCamOutputBase;
class QObject;
typedef struct MovieRecord **Movie;

class QCamSwitcher {
public:
    virtual ~QCamSwitcher() = default;

    // Image adjustments (0..1).
    virtual void SetBrightness(float v) = 0;
    virtual void SetContrast(float v) = 0;
    virtual void SetGamma(float v) = 0;
    virtual void SetLevels(float black, float white) = 0;
    virtual void SetImageAdjustmentsEnabled(bool on) = 0;
    virtual void SetSaturation(float v) = 0;
    virtual void SetLowLight(bool lowLight) = 0;

    // Sources.
    virtual int32_t Source() const = 0;
    virtual void SetSourceMode(int32_t source, bool force) = 0;
    virtual void OpenSourceResource(const char *name) = 0;
    virtual void OpenRasterFile(CFURLRef url) = 0;
    virtual void OpenVectorFile(CFURLRef url) = 0;
    virtual void OpenMovieFile(CFURLRef url) = 0;
    virtual void UseCameraIfOpen() = 0;
    virtual void SetPlayState(int32_t playState) = 0;
    virtual void SetLooping(bool loop) = 0;
    // The open movie (null when none).
    virtual Movie CurrentMovie() const = 0;

    // Grabbing.
    virtual void SetView(QObject *view) = 0;
    virtual void SetActivePreview(bool active) = 0;
    virtual bool SetOutput(QCamOutputBase *sink) = 0;
    virtual void SetOutputEnabled(bool enabled) = 0;
    // Opens the grabber on the default capture rectangle with the flags; 16-bit status.
    virtual int16_t BeginCameraGrab(long flags) = 0;
    virtual int16_t StartCameraRecord() = 0;
    virtual void EndCamera() = 0;
    virtual bool HasGrabberComponent() const = 0;
    virtual double GetPaceRate(double frameRate) const = 0;
    virtual void GrabTick() = 0;

    // Preview.
    virtual int32_t PreviewKind() const = 0;
    virtual void UpdatePreview() = 0;
    virtual CGImageRef CopyPreviewImage() = 0;

    // Camera devices.
    virtual bool HasVideoChannel() const = 0;
    // The device names of the grabber's list in order (a closed grabber is listed through a
    // temporary component).
    virtual std::vector<std::string> CameraDeviceNames() = 0;
    // The device of the open channel; false without one.
    virtual bool CurrentCameraDeviceName(std::string &name) = 0;
    // Frame pacing off (1 frame per second) and the grabber closed.
    virtual void CloseCamera() = 0;
    // Opens the grabber when it has no channel, then switches to the named device when it
    // is listed and not the current one; true when something changed.
    virtual bool UseCameraDevice(const std::string &name) = 0;
    virtual bool UseNextCameraDevice() = 0;
    virtual bool UsePrevCameraDevice() = 0;
};

// A new camera source switcher (a QCamReflecter).
std::unique_ptr<QCamSwitcher> QCamSwitcherCreate();
