// CamInputQTKitController and CamInputQTKitNibbler: the camera source that takes the camera
// through QTKit capture (QVTRControllerCVGrabber, 640 x 480 '2vuy' frames). Each tick the
// nibbler stamps the host time (CamInputBaseNibbler); a frame is the grabber's latest video
// frame as a Core Image image with that stamp, or no picture before the first frame.
//
// The four image-adjustment sliders are kept in the standard user defaults as the sliders'
// text ("cameraExposure" "0.0", "cameraBrightness" "0.0", "cameraContrast" "1.0",
// "cameraSaturation" "1.0"): loaded when the application has finished launching, saved when it
// will terminate. A missing slider is reported ("inObject") and its key skipped.
//
// Main thread only; the grabber's frame is filled on the capture thread under its own lock.
#pragma once

#include "CamInputBaseNibbler.h"

#include <CocoaQZ/CIControls/NSUICICameraControls.h>
#include <CocoaQZ/QTKit/QVTRControllerCVGrabber.h>
#include <CoreX/CoreMachElapsedTime.h>
#include <Foundation/NSObject.h>
#include <UICocoaControls/NSSlider.h>

#include <QPointer>

#include <mutex>

class CamInputQTKitController : public NSObject,
                                public protocol_QVTRControllerSession,
                                public protocol_CamInputViewController {
    Q_OBJECT
    Q_PROPERTY(NSSlider *cameraExposure READ get_cameraExposure WRITE set_cameraExposure)
    Q_PROPERTY(NSSlider *cameraBrightness READ get_cameraBrightness WRITE set_cameraBrightness)
    Q_PROPERTY(NSSlider *cameraContrast READ get_cameraContrast WRITE set_cameraContrast)
    Q_PROPERTY(NSSlider *cameraSaturation READ get_cameraSaturation WRITE set_cameraSaturation)
    Q_PROPERTY(NSUICICameraControls *cameraControls READ cameraControls WRITE setCameraControls)
    Q_PROPERTY(QVTRControllerCVGrabber *captureController READ captureController WRITE setCaptureController)

public:
    Q_INVOKABLE explicit CamInputQTKitController(QObject *parent = nullptr);
    ~CamInputQTKitController() override;

    // Outlets (not owned).
    QPointer<NSSlider> cameraExposure;
    QPointer<NSSlider> cameraBrightness;
    QPointer<NSSlider> cameraContrast;
    QPointer<NSSlider> cameraSaturation;
    NSSlider *get_cameraExposure() const { return cameraExposure; }
    void set_cameraExposure(NSSlider *slider) { cameraExposure = slider; }
    NSSlider *get_cameraBrightness() const { return cameraBrightness; }
    void set_cameraBrightness(NSSlider *slider) { cameraBrightness = slider; }
    NSSlider *get_cameraContrast() const { return cameraContrast; }
    void set_cameraContrast(NSSlider *slider) { cameraContrast = slider; }
    NSSlider *get_cameraSaturation() const { return cameraSaturation; }
    void set_cameraSaturation(NSSlider *slider) { cameraSaturation = slider; }

    CIImageRef cameraImage() const;
    void setCameraImage(CIImageRef image);
    NSUICICameraControls *cameraControls() const { return mCameraControls; }
    void setCameraControls(NSUICICameraControls *controls) { mCameraControls = controls; }
    QVTRControllerCVGrabber *captureController() const { return mCaptureController; }
    void setCaptureController(QVTRControllerCVGrabber *controller) { mCaptureController = controller; }

    // protocol_CamInputViewController.
    void applicationDidFinishLaunching(const NSNotification &notification) override;
    void applicationWillTerminate(const NSNotification &notification) override;
    void cameraTimerTick(QObject *) override {}
    CIImageRef cameraCIImage() override;

    Q_INVOKABLE void loadPreferencesFromDefaults();
    Q_INVOKABLE void savePreferencesToDefaults();
    Q_INVOKABLE void setCameraActive(bool) {}

    // protocol_QVTRControllerSession: nothing to do.
    void captureSessionError(const QTCaptureError &) override {}
    void captureSessionEnded(const QString &) override {}

private:
    mutable std::mutex mImageLock;
    CIImageRef mCameraImage;
    QPointer<NSUICICameraControls> mCameraControls;
    QPointer<QVTRControllerCVGrabber> mCaptureController;
    CoreMachElapsedTime mFrameElapsed;
};

class CamInputQTKitNibbler : public CamInputBaseNibbler {
    Q_OBJECT

public:
    Q_INVOKABLE explicit CamInputQTKitNibbler(QWidget *parent = nullptr);

    // The controller when it is a CamInputQTKitController; another one is reported
    // ("self.nibblerController") and answered all the same.
    protocol_CamInputViewController *viewController() const override;
    // Stamps the tick as every source does, so the recorder gets real frame times.
    void cameraTimerTick(QObject *sender) override { CamInputBaseNibbler::cameraTimerTick(sender); }
};

bool import_CamInputQTKitController();
