// NSUIMaskImageViewController: the picture-based mask. It keeps a grey mask in step with the
// picture of its image view, lets the user change the mask's contrast and brightness and invert
// it, remaps the mask's greys through a table accordingly, shows the remapped mask in the view
// and tells its target (the action is sent with the controller).
//
// Outlets (nib objects, not owned): outletContrastSlider and outletBrightnessSlider (sliders read
// and set as normal values, 0..1), outletInvertButton (on = inverted), outletImageView. A slider's
// normal value times its range is the factor used; the default value of each slider gives the
// factor 1.
//
// Failed checks are reported through the debug log under the source
// "/Code/sdk/RiradI/NSUIMaskInstanceNibbler/NSUIMaskImageViewController".
#pragma once

#include "NSUIMaskGreyRemapTable.h"
#include "NSUIMaskImageView.h"

#include <UICocoaControls/NSUITargetActionView.h>

#include <Foundation/NSGeometry.h>

#include <QPointer>
#include <QStringList>

#include <memory>

class NSCGMaskContextFromImageView;
class QAction;

namespace CoreGraphics {
class MaskContext;
}

class NSUIMaskImageViewController : public NSUITargetActionView {
    Q_OBJECT
    Q_PROPERTY(QObject *outletContrastSlider READ contrastSlider WRITE setContrastSlider)
    Q_PROPERTY(QObject *outletBrightnessSlider READ brightnessSlider WRITE setBrightnessSlider)
    Q_PROPERTY(QObject *outletInvertButton READ invertButton WRITE setInvertButton)
    Q_PROPERTY(QObject *outletImageView READ imageView WRITE setImageView)
    Q_PROPERTY(double brightness READ brightness WRITE setBrightness)
    Q_PROPERTY(double contrast READ contrast WRITE setContrast)
    Q_PROPERTY(bool maskInverted READ maskInverted WRITE setMaskInverted)

public:
    explicit NSUIMaskImageViewController(QWidget *parent = nullptr);
    ~NSUIMaskImageViewController() override;

    // 640 x 480; subclasses may answer another size.
    virtual NSSize defaultMaskSizePixels() const { return NSMakeSize(640, 480); }

    QObject *contrastSlider() const { return _contrastSlider.data(); }
    void setContrastSlider(QObject *slider) { _contrastSlider = slider; }
    QObject *brightnessSlider() const { return _brightnessSlider.data(); }
    void setBrightnessSlider(QObject *slider) { _brightnessSlider = slider; }
    QObject *invertButton() const { return _invertButton.data(); }
    void setInvertButton(QObject *button) { _invertButton = button; }
    QObject *imageView() const { return _imageView.data(); }
    // A view that is not an NSUIMaskImageView is left unconnected (null).
    void setImageView(QObject *view) { _imageView = qobject_cast<NSUIMaskImageView *>(view); }
    NSUIMaskImageView *maskImageView() const { return _imageView.data(); }

    float brightnessRange() const { return _brightnessRangeValue; }
    void setBrightnessRange(float range) { _brightnessRangeValue = range; }
    float contrastRange() const { return _contrastRangeValue; }
    void setContrastRange(float range) { _contrastRangeValue = range; }

    // 1 / range when the range is above 0 (the factor is then 1), else 1/3 and 1/6.
    double brightnessDefaultValue() const;
    double contrastDefaultValue() const;
    // The slider's normal value; the default value without a slider.
    double brightness() const;
    double contrast() const;
    // Sets the slider's normal value; nothing without a slider.
    void setBrightness(double value);
    void setContrast(double value);
    // The invert button's state; without the button reported (" code : _invertButton"), false.
    bool maskInverted() const;
    void setMaskInverted(bool inverted);
    // Contrast and brightness to their defaults, not inverted. Subclasses with more controls
    // extend it (and the two actions below).
    Q_INVOKABLE virtual void setDefaultValues();

    Q_INVOKABLE void awakeFromNib();
    // A new mask over the image view of the size (truncated) replaces the old one.
    void setMaskSizePixels(NSSize size);
    // The mask; null without a mask context.
    CoreGraphics::MaskContext *mask() const;
    NSCGMaskContextFromImageView *maskContext() const { return _maskContextFromImageView.get(); }

    // Actions.
    Q_INVOKABLE void imageChanged(QObject *sender);
    Q_INVOKABLE virtual void imageSourceChanged(QObject *sender);
    Q_INVOKABLE virtual void maskControlsReset(QObject *sender);
    // Shows the application's image of that name in the view; false (reported) for an empty
    // name or a name without image.
    bool setImageNamed(const QString &name);
    Q_INVOKABLE void setImageNamedByStringValue(QObject *sender);
    Q_INVOKABLE void setImageNamedBySenderTitle(QAction *item);
    void setPresetsMenuResourceFileNames(const QStringList &names);

    // Builds the table from the controls and remaps the mask, then gives the view the remapped
    // mask; at the defaults (not inverted) the view shows the picture itself.
    void applyMaskGreyRemapping();
    // The table applyMaskGreyRemapping builds for the controls' present values.
    NSUIMaskGreyRemapTable maskGreyRemapTable() const;

private:
    void ensureMaskContext();

    QPointer<QObject> _contrastSlider;
    QPointer<QObject> _brightnessSlider;
    QPointer<QObject> _invertButton;
    QPointer<NSUIMaskImageView> _imageView;
    float _brightnessRangeValue = 3.0f;
    float _contrastRangeValue = 6.0f;
    std::unique_ptr<NSCGMaskContextFromImageView> _maskContextFromImageView;
};

bool import_NSUIMaskImageViewController();
