// NSUICICameraControls: the camera adjustment controls (a nib object) and the fixed Core
// Image filter stack they drive, which turns each camera image:
//
//   white point adjust ("CIWhitePointAdjust", "inputColor": the well's colour with alpha 1.0
//     when the white balance box is on, else white)
//   -> exposure ("CIExposureAdjust", "inputEV": the exposure slider)
//   -> colour controls ("CIColorControls", "inputBrightness", "inputContrast",
//     "inputSaturation": the three sliders)
//   -> the mirror transform (mirror X: translate (640, 0), scale (-1, 1); then mirror Y:
//     translate (0, 480), scale (1, -1))
//   -> crop to (0, 0, 640, 480).
// A filter that could not be made is passed over; a null image gives null.
//
// Made with each filter at its defaults, then at the identity of its inputs (white for the
// white point). Making the first object loads every installed Core Image plug-in.
//
// Settings live in the standard user defaults under the outlets' names: the sliders' values
// as text ("_exposureSlider", "_brightnessSlider", "_contrastSlider", "_saturationSlider"),
// the boxes' states as integers ("_mirrorImageX", "_mirrorImageY", "_whiteBalanceEnable")
// and the colour as the colour parameter text ("_whiteBalanceColor", "rgba(r,g,b,a)").
// Missing values read as "0.0" (exposure, brightness), "1.0" (contrast, saturation), 0 (the
// boxes) and white (the colour: a fresh install balances to white, as reset does). A missing
// outlet is reported ("inObject") and passed over.
#pragma once

#include <CoreGraphics/CGAffineTransform.h>
#include <CoreImage/CIColor.h>
#include <CoreImage/CIFilter.h>
#include <CoreImage/CIImage.h>
#include <Foundation/NSObject.h>
#include <UICocoaColor/NSColorWellWithAlpha.h>
#include <UICocoaControls/NSSlider.h>

#include <QAbstractButton>
#include <QColor>
#include <QPointer>


class NSUICICameraControls : public NSObject {
    Q_OBJECT
    Q_PROPERTY(NSSlider *_brightnessSlider READ get_brightnessSlider WRITE set_brightnessSlider)
    Q_PROPERTY(NSSlider *_contrastSlider READ get_contrastSlider WRITE set_contrastSlider)
    Q_PROPERTY(NSSlider *_saturationSlider READ get_saturationSlider WRITE set_saturationSlider)
    Q_PROPERTY(NSSlider *_exposureSlider READ get_exposureSlider WRITE set_exposureSlider)
    Q_PROPERTY(QAbstractButton *_mirrorImageX READ get_mirrorImageX WRITE set_mirrorImageX)
    Q_PROPERTY(QAbstractButton *_mirrorImageY READ get_mirrorImageY WRITE set_mirrorImageY)
    Q_PROPERTY(QAbstractButton *_whiteBalanceEnable READ get_whiteBalanceEnable WRITE set_whiteBalanceEnable)
    Q_PROPERTY(NSColorWell *_whiteBalanceColor READ get_whiteBalanceColor WRITE set_whiteBalanceColor)

public:
    explicit NSUICICameraControls(QObject *parent = nullptr);
    ~NSUICICameraControls() override;

    // Loads every installed Core Image plug-in, once per process.
    static void loadCoreImagePlugIns();

    // The image through the stack; null for null.
    CIImageRef filteredImage(const CIImageRef &image) const;
    Q_INVOKABLE void controlsChanged(QObject *sender) { updateFilterStackState(sender); }
    // White well, boxes off, exposure and brightness 0.0, contrast and saturation 1.0; then the
    // stack is updated.
    Q_INVOKABLE void resetDefaults(QObject *sender);
    // Reads the outlets into the filters and the mirror transform.
    Q_INVOKABLE void updateFilterStackState(QObject *sender);
    Q_INVOKABLE void preferencesSaveDefaults(QObject *sender);
    Q_INVOKABLE void preferencesLoadDefaults(QObject *sender);

    static QColor defaultWhiteBalanceColor() { return QColor::fromRgbF(1, 1, 1, 1); }
    static CIColor defaultWhiteBalanceCIColor() { return CIColor::colorWithRed(1, 1, 1, 1); }
    // The input's identity value ("CIAttributeIdentity"), white for a colour input.
    static void setDefaultIdentity(const CIFilterRef &filter, const std::string &key);

    const CIFilterRef &whitePointAdjust() const { return mWhitePointAdjust; }
    const CIFilterRef &exposure() const { return mExposure; }
    const CIFilterRef &color() const { return mColor; }
    const CIFilterRef &crop() const { return mCrop; }
    CGAffineTransform mirrorTransform() const { return mMirrorTransform; }

    // Outlets (not owned).
    NSSlider *get_brightnessSlider() const { return _brightnessSlider; }
    void set_brightnessSlider(NSSlider *outlet) { _brightnessSlider = outlet; }
    NSSlider *get_contrastSlider() const { return _contrastSlider; }
    void set_contrastSlider(NSSlider *outlet) { _contrastSlider = outlet; }
    NSSlider *get_saturationSlider() const { return _saturationSlider; }
    void set_saturationSlider(NSSlider *outlet) { _saturationSlider = outlet; }
    NSSlider *get_exposureSlider() const { return _exposureSlider; }
    void set_exposureSlider(NSSlider *outlet) { _exposureSlider = outlet; }
    QAbstractButton *get_mirrorImageX() const { return _mirrorImageX; }
    void set_mirrorImageX(QAbstractButton *outlet) { _mirrorImageX = outlet; }
    QAbstractButton *get_mirrorImageY() const { return _mirrorImageY; }
    void set_mirrorImageY(QAbstractButton *outlet) { _mirrorImageY = outlet; }
    QAbstractButton *get_whiteBalanceEnable() const { return _whiteBalanceEnable; }
    void set_whiteBalanceEnable(QAbstractButton *outlet) { _whiteBalanceEnable = outlet; }
    NSColorWell *get_whiteBalanceColor() const { return _whiteBalanceColor; }
    void set_whiteBalanceColor(NSColorWell *outlet) { _whiteBalanceColor = outlet; }
    QPointer<NSSlider> _brightnessSlider, _contrastSlider, _saturationSlider, _exposureSlider;
    QPointer<QAbstractButton> _mirrorImageX, _mirrorImageY, _whiteBalanceEnable;
    QPointer<NSColorWell> _whiteBalanceColor;

private:
    CIFilterRef mWhitePointAdjust, mExposure, mColor, mCrop;
    CGAffineTransform mMirrorTransform = CGAffineTransformIdentity;
};

bool import_NSUICICameraControls();
