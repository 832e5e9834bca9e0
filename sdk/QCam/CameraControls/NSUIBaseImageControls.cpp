#include <QCam/CameraControls/NSUIBaseImageControls.h>

#include <AppKit/NSButton.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSUserDefaults.h>
#include <QCam/Camera/QCamSwitcher.h>
#include <UICocoaControls/NSControl_NormalValue.h>
#include <UICocoaControls/NSSlider.h>

namespace {

float SliderValue(const QPointer<NSSlider> &slider, float fallback) {
    if (slider == nullptr) return fallback;
    return float(NSControl_ClampNormalValue(slider->normalValue()));
}

void SetSliderValue(const QPointer<NSSlider> &slider, float value) {
    if (slider != nullptr) slider->setNormalValue(value);
}

void ShowControl(QWidget *control, bool visible) {
    if (control != nullptr) control->setVisible(visible);
}

}  // namespace

// ---- NSUIBaseImageControls ------------------------------------------------------------------

NSUIBaseImageControls::NSUIBaseImageControls(QWidget *parent) : NSUITargetActionView(parent), _camera(nullptr) {}

NSUIBaseImageControls::~NSUIBaseImageControls() = default;

void NSUIBaseImageControls::setCamera(QCamSwitcher *camera) {
    _camera = camera;
    if (!VERIFY_TEXT(camera != nullptr, " code : _camera = camera")) return;
    applyImageValuesToCamera();
}

void NSUIBaseImageControls::applyImageValuesToCamera() {
    if (_camera == nullptr) return;
    _camera->SetBrightness(brightness());
    _camera->SetContrast(contrast());
    _camera->SetLevels(blackLevel(), whiteLevel());
    _camera->SetGamma(gamma());
}

bool NSUIBaseImageControls::enabled() const { return _EnabledButton != nullptr && _EnabledButton->state() == 1; }

void NSUIBaseImageControls::setEnabled(bool enabled) {
    if (_EnabledButton != nullptr) _EnabledButton->setState(enabled ? 1 : 0);
}

float NSUIBaseImageControls::brightness() const { return SliderValue(_BrightnessSlider, 0.5f); }
void NSUIBaseImageControls::setBrightness(float v) { SetSliderValue(_BrightnessSlider, v); }
float NSUIBaseImageControls::contrast() const { return SliderValue(_ContrastSlider, 0.5f); }
void NSUIBaseImageControls::setContrast(float v) { SetSliderValue(_ContrastSlider, v); }
float NSUIBaseImageControls::gamma() const { return SliderValue(_GammaSlider, 0.5f); }
void NSUIBaseImageControls::setGamma(float v) { SetSliderValue(_GammaSlider, v); }
float NSUIBaseImageControls::blackLevel() const { return 1.0f - SliderValue(_BlackLevelSlider, 0.5f); }
void NSUIBaseImageControls::setBlackLevel(float v) { SetSliderValue(_BlackLevelSlider, 1.0f - v); }
float NSUIBaseImageControls::whiteLevel() const { return 1.0f - SliderValue(_WhiteLevelSlider, 0.0f); }
void NSUIBaseImageControls::setWhiteLevel(float v) { SetSliderValue(_WhiteLevelSlider, 1.0f - v); }

void NSUIBaseImageControls::resetDefaultValues() {
    setBrightness(0.5f);
    setContrast(0.5f);
    setGamma(0.5f);
    setWhiteLevel(1.0f);
    setBlackLevel(0.5f);
    applyImageValuesToCamera();
}

void NSUIBaseImageControls::showControlsEnabled(bool enabled) {
    ShowControl(_ResetButton, enabled);
    ShowControl(_BrightnessSlider, enabled);
    ShowControl(_ContrastSlider, enabled);
    ShowControl(_GammaSlider, enabled);
    ShowControl(_BlackLevelSlider, enabled);
    ShowControl(_WhiteLevelSlider, enabled);
}

void NSUIBaseImageControls::resetButtonChanged(QObject *) { resetDefaultValues(); }

void NSUIBaseImageControls::enabledButtonChanged(QObject *) {
    if (_camera != nullptr) _camera->SetImageAdjustmentsEnabled(enabled());
    showControlsEnabled(enabled());
}

void NSUIBaseImageControls::brightnessSliderChanged(QObject *) {
    if (_camera != nullptr) _camera->SetBrightness(brightness());
}

void NSUIBaseImageControls::contrastSliderChanged(QObject *) {
    if (_camera != nullptr) _camera->SetContrast(contrast());
}

void NSUIBaseImageControls::gammaSliderChanged(QObject *) {
    if (_camera != nullptr) _camera->SetGamma(gamma());
}

void NSUIBaseImageControls::levelSliderChanged(QObject *) {
    if (_camera != nullptr) _camera->SetLevels(blackLevel(), whiteLevel());
}

void NSUIBaseImageControls::loadPreferences() { showControlsEnabled(enabled()); }

void NSUIBaseImageControls::savePreferences() {}

// ---- NSUICamImageControls -------------------------------------------------------------------

NSUICamImageControls::NSUICamImageControls(QWidget *parent) : NSUIBaseImageControls(parent) {}

void NSUICamImageControls::setCamera(QCamSwitcher *camera) {
    NSUIBaseImageControls::setCamera(camera);
    if (_camera != nullptr) _camera->SetLowLight(lowLight());
}

float NSUICamImageControls::saturation() const { return SliderValue(_SaturationSlider, 1.0f); }
void NSUICamImageControls::setSaturation(float v) { SetSliderValue(_SaturationSlider, v); }
bool NSUICamImageControls::lowLight() const { return _LowLightButton != nullptr && _LowLightButton->state() == 1; }

void NSUICamImageControls::resetDefaultValues() {
    NSUIBaseImageControls::resetDefaultValues();
    setSaturation(1.0f);
    if (_LowLightButton != nullptr) _LowLightButton->setState(0);
    if (_camera != nullptr) {
        _camera->SetSaturation(saturation());
        _camera->SetLowLight(false);
    }
}

void NSUICamImageControls::showControlsEnabled(bool enabled) {
    NSUIBaseImageControls::showControlsEnabled(enabled);
    ShowControl(_LowLightButton, enabled);
    ShowControl(_SaturationSlider, enabled);
}

void NSUICamImageControls::saturationSliderChanged(QObject *) {
    if (_camera != nullptr) _camera->SetSaturation(saturation());
}

void NSUICamImageControls::lowLightButtonChanged(QObject *) {
    if (_camera != nullptr) _camera->SetLowLight(lowLight());
}

void NSUICamImageControls::loadPreferences() {
    NSUIBaseImageControls::loadPreferences();
    const QVariant stored = NSUserDefaults::standardUserDefaults().objectForKey(QString::fromLatin1(kLowLightKey));
    const int state = stored.isValid() ? stored.toInt() : 0;
    if (_LowLightButton != nullptr) _LowLightButton->setState(state != 0 ? 1 : 0);
    if (_camera != nullptr) _camera->SetLowLight(lowLight());
}

void NSUICamImageControls::savePreferences() {
    NSUIBaseImageControls::savePreferences();
    if (_LowLightButton != nullptr)
        NSUserDefaults::standardUserDefaults().setInteger(_LowLightButton->state(), QString::fromLatin1(kLowLightKey));
}
