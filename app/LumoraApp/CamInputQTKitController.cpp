#include "CamInputQTKitController.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSUserDefaults.h>

#include <cmath>

namespace {

struct SliderKey {
    QPointer<NSSlider> CamInputQTKitController::*slider;
    const char *key;
    const char *fallback;
};

constexpr SliderKey kSliderKeys[] = {
    {&CamInputQTKitController::cameraExposure, "cameraExposure", "0.0"},
    {&CamInputQTKitController::cameraBrightness, "cameraBrightness", "0.0"},
    {&CamInputQTKitController::cameraContrast, "cameraContrast", "1.0"},
    {&CamInputQTKitController::cameraSaturation, "cameraSaturation", "1.0"},
};

}  // namespace

CamInputQTKitController::CamInputQTKitController(QObject *parent) : NSObject(parent) {}

CamInputQTKitController::~CamInputQTKitController() = default;

CIImageRef CamInputQTKitController::cameraImage() const {
    std::lock_guard guard(mImageLock);
    return mCameraImage;
}

void CamInputQTKitController::setCameraImage(CIImageRef image) {
    std::lock_guard guard(mImageLock);
    mCameraImage = std::move(image);
}

void CamInputQTKitController::applicationDidFinishLaunching(const NSNotification &) {
    setCameraImage(CamInputBaseNibbler::resourceImage(QStringLiteral("CamQTKitViewNibbler"), QStringLiteral("png")));
    if (mCameraControls) loadPreferencesFromDefaults();
    if (mCaptureController) {
        mCaptureController->setVideoFrameSize(640, 480);
        mCaptureController->captureSessionBegin(this);
    }
}

void CamInputQTKitController::applicationWillTerminate(const NSNotification &) {
    if (mCaptureController) mCaptureController->captureSessionEnd(this);
    if (mCameraControls) savePreferencesToDefaults();
}

CIImageRef CamInputQTKitController::cameraCIImage() {
    if (!mCaptureController) return nullptr;
    CVPixelBufferRef frame = mCaptureController->videoFrameCopy();
    if (frame == nullptr) return nullptr;
    CIImageRef image = CIImage::imageWithCVImageBuffer(frame);  // keeps its own reference
    CVPixelBufferRelease(frame);
    return image;
}

void CamInputQTKitController::loadPreferencesFromDefaults() {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    for (const SliderKey &entry : kSliderKeys) {
        NSSlider *slider = this->*entry.slider;
        if (!VERIFY_TEXT(slider != nullptr, " code : inObject")) continue;
        const QString key = QString::fromLatin1(entry.key);
        QString text = defaults.stringForKey(key);
        bool ok = false;
        double value = text.toDouble(&ok);
        if (text.isEmpty() || !ok || !std::isfinite(value)) value = QString::fromLatin1(entry.fallback).toDouble();
        slider->setDoubleValue(value);
    }
    if (mCameraControls) mCameraControls->updateFilterStackState(this);
}

void CamInputQTKitController::savePreferencesToDefaults() {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    for (const SliderKey &entry : kSliderKeys) {
        NSSlider *slider = this->*entry.slider;
        if (!VERIFY_TEXT(slider != nullptr, " code : inObject")) continue;
        defaults.setObject(QString::number(slider->doubleValue(), 'g', 17), QString::fromLatin1(entry.key));
    }
}

CamInputQTKitNibbler::CamInputQTKitNibbler(QWidget *parent) : CamInputBaseNibbler(parent) {}

protocol_CamInputViewController *CamInputQTKitNibbler::viewController() const {
    QObject *controller = nibblerController();
    VERIFY_TEXT(qobject_cast<CamInputQTKitController *>(controller) != nullptr, " code : self.nibblerController");
    return dynamic_cast<protocol_CamInputViewController *>(controller);
}

bool import_CamInputQTKitController() { return import_CamInputBaseNibbler() && import_QVTRControllerCVGrabber(); }
