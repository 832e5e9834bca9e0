// The panels that adjust the camera image: NSUIBaseImageControls (brightness, contrast,
// gamma, black and white level, an enable switch and a reset button) and its subclass
// NSUICamImageControls (saturation and low light). Both act on the camera source switcher
// (QCamSwitcher, implemented by QCamReflecter; not owned); the play controller derives from NSUICamImageControls.
//
// The outlets are properties named as in the nibs ("_ResetButton", "_BrightnessSlider", ...).
// Slider values reach the switcher clamped to 0..1; the level sliders are read inverted
// (black level = 1 - the slider's normal value, white likewise). Nothing reaches a switcher
// that is not set.
//
// resetDefaultValues puts the controls back to their neutral values (brightness, contrast,
// gamma and black level 0.5, white level 1.0; saturation 1.0 and low light off in the
// subclass) and applies them to the switcher at once, so that the panel never shows values
// that are not in effect.
//
// Main thread only.
#pragma once

#include <AppKit/NSButton.h>
#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUITargetActionView.h>

#include <QPointer>

class QCamSwitcher;

class NSUIBaseImageControls : public NSUITargetActionView {
    Q_OBJECT
    Q_PROPERTY(NSButton *_ResetButton MEMBER _ResetButton)
    Q_PROPERTY(NSButton *_EnabledButton MEMBER _EnabledButton)
    Q_PROPERTY(NSSlider *_BrightnessSlider MEMBER _BrightnessSlider)
    Q_PROPERTY(NSSlider *_ContrastSlider MEMBER _ContrastSlider)
    Q_PROPERTY(NSSlider *_GammaSlider MEMBER _GammaSlider)
    Q_PROPERTY(NSSlider *_BlackLevelSlider MEMBER _BlackLevelSlider)
    Q_PROPERTY(NSSlider *_WhiteLevelSlider MEMBER _WhiteLevelSlider)

public:
    explicit NSUIBaseImageControls(QWidget *parent = nullptr);
    ~NSUIBaseImageControls() override;

    QCamSwitcher *camera() const { return _camera; }
    // Stores the switcher; a switcher receives brightness, contrast, levels and gamma at once
    // (a null one is reported).
    virtual void setCamera(QCamSwitcher *camera);

    bool enabled() const;
    void setEnabled(bool enabled);
    // The sliders' normal values (0.5 without a slider).
    float brightness() const;
    void setBrightness(float v);
    float contrast() const;
    void setContrast(float v);
    float gamma() const;
    void setGamma(float v);
    // 1 - the level sliders' normal values (0.5 and 1.0 without a slider).
    float blackLevel() const;
    void setBlackLevel(float v);
    float whiteLevel() const;
    void setWhiteLevel(float v);

    Q_INVOKABLE virtual void resetDefaultValues();
    // The reset button and the five sliders are visible only while enabled.
    virtual void showControlsEnabled(bool enabled);

    Q_INVOKABLE void resetButtonChanged(QObject *sender);
    Q_INVOKABLE void enabledButtonChanged(QObject *sender);
    Q_INVOKABLE void brightnessSliderChanged(QObject *sender);
    Q_INVOKABLE void contrastSliderChanged(QObject *sender);
    Q_INVOKABLE void gammaSliderChanged(QObject *sender);
    Q_INVOKABLE void levelSliderChanged(QObject *sender);

    Q_INVOKABLE virtual void loadPreferences();
    Q_INVOKABLE virtual void savePreferences();

protected:
    // The five image values to the switcher (nothing without one).
    void applyImageValuesToCamera();

    QPointer<NSButton> _ResetButton;
    QPointer<NSButton> _EnabledButton;
    QPointer<NSSlider> _BrightnessSlider;
    QPointer<NSSlider> _ContrastSlider;
    QPointer<NSSlider> _GammaSlider;
    QPointer<NSSlider> _BlackLevelSlider;
    QPointer<NSSlider> _WhiteLevelSlider;
    QCamSwitcher *_camera;
};

class NSUICamImageControls : public NSUIBaseImageControls {
    Q_OBJECT
    Q_PROPERTY(NSSlider *_SaturationSlider MEMBER _SaturationSlider)
    Q_PROPERTY(NSButton *_LowLightButton MEMBER _LowLightButton)

public:
    // The user-defaults key of the low-light switch.
    static constexpr const char *kLowLightKey = "_LowLightButton";

    explicit NSUICamImageControls(QWidget *parent = nullptr);

    // The base's, then the low-light state to the switcher.
    void setCamera(QCamSwitcher *camera) override;
    float saturation() const;
    void setSaturation(float v);
    bool lowLight() const;

    // The base's, then saturation 1.0 and low light off, both applied to the switcher.
    void resetDefaultValues() override;
    void showControlsEnabled(bool enabled) override;
    Q_INVOKABLE void saturationSliderChanged(QObject *sender);
    Q_INVOKABLE void lowLightButtonChanged(QObject *sender);

    // The low-light switch under "_LowLightButton" (default 0), applied on load.
    void loadPreferences() override;
    void savePreferences() override;

protected:
    QPointer<NSSlider> _SaturationSlider;
    QPointer<NSButton> _LowLightButton;
};
