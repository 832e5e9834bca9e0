// NSOGLMaskImageViewController: the picture-mask panel's controller with four more sliders that
// place the mask (scale, angle, horizontal and vertical offset, read and set as normal values)
// and a reset button, keeping the panel's seven settings in the user defaults across launches.
//
// User-defaults keys (values as stored; the default at launch when the key holds nothing):
//     "_contrastSlider", "_brightnessSlider"   the slider's string value   "0.0"
//     "_invertButton"                          its integer value (number)  0
//     "_maskScaleSlider"                       string value                "0.5"
//     "_maskAngleSlider"                       string value                "0.0"
//     "_maskTranslateXSlider"                  string value                "0.5"
//     "_maskTranslateYSlider"                  string value                "0.5"
//
// Main thread only. Failed checks are reported through the debug log under the source
// "/Code/sdk/CocoaGL/NSOGLMaskImageViewController".
#pragma once

#include <NSUIMaskInstanceNibbler/NSUIMaskImageViewController.h>

#include <Foundation/NSNotification.h>

#include <QPointer>

class NSOGLMaskImageViewController : public NSUIMaskImageViewController {
    Q_OBJECT
    Q_PROPERTY(QObject *outletResetMaskControls READ resetMaskControls WRITE setResetMaskControls)
    Q_PROPERTY(QObject *outletMaskScaleSlider READ maskScaleSlider WRITE setMaskScaleSlider)
    Q_PROPERTY(QObject *outletMaskAngleSlider READ maskAngleSlider WRITE setMaskAngleSlider)
    Q_PROPERTY(QObject *outletMaskTranslateXSlider READ maskTranslateXSlider WRITE setMaskTranslateXSlider)
    Q_PROPERTY(QObject *outletMaskTranslateYSlider READ maskTranslateYSlider WRITE setMaskTranslateYSlider)
    Q_PROPERTY(double maskScaleNormal READ maskScaleNormal WRITE setMaskScaleNormal)
    Q_PROPERTY(double maskAngleNormal READ maskAngleNormal WRITE setMaskAngleNormal)
    Q_PROPERTY(double maskTranslateXNormal READ maskTranslateXNormal WRITE setMaskTranslateXNormal)
    Q_PROPERTY(double maskTranslateYNormal READ maskTranslateYNormal WRITE setMaskTranslateYNormal)

public:
    explicit NSOGLMaskImageViewController(QWidget *parent = nullptr);
    ~NSOGLMaskImageViewController() override;

    // 640 x 480: the size of the mask context.
    static NSSize classDefaultMaskSizePixels() { return NSMakeSize(640, 480); }
    NSSize defaultMaskSizePixels() const override { return classDefaultMaskSizePixels(); }

    QObject *resetMaskControls() const { return _resetMaskControls.data(); }
    void setResetMaskControls(QObject *button) { _resetMaskControls = button; }
    QObject *maskScaleSlider() const { return _maskScaleSlider.data(); }
    void setMaskScaleSlider(QObject *slider) { _maskScaleSlider = slider; }
    QObject *maskAngleSlider() const { return _maskAngleSlider.data(); }
    void setMaskAngleSlider(QObject *slider) { _maskAngleSlider = slider; }
    QObject *maskTranslateXSlider() const { return _maskTranslateXSlider.data(); }
    void setMaskTranslateXSlider(QObject *slider) { _maskTranslateXSlider = slider; }
    QObject *maskTranslateYSlider() const { return _maskTranslateYSlider.data(); }
    void setMaskTranslateYSlider(QObject *slider) { _maskTranslateYSlider = slider; }

    // The kit's defaults, then scale 0.5, angle 0, offsets 0.5, then imageChanged(this).
    void setDefaultValues() override;

    // 1.001 minus the scale slider's normal value; the angle slider's; the horizontal slider's;
    // 1 minus the vertical slider's. A missing slider reads as at its default.
    double maskScaleNormal() const;
    double maskAngleNormal() const;
    double maskTranslateXNormal() const;
    double maskTranslateYNormal() const;
    // Set the slider so that the getter answers the value (within the slider's precision).
    void setMaskScaleNormal(double value);
    void setMaskAngleNormal(double value);
    void setMaskTranslateXNormal(double value);
    void setMaskTranslateYNormal(double value);

    // Actions.
    Q_INVOKABLE void maskMatrixChanged(QObject *sender);
    // Clears the view's mask image, then imageChanged(sender).
    Q_INVOKABLE void imageSourceChanged(QObject *sender) override;
    // setDefaultValues.
    Q_INVOKABLE void maskControlsReset(QObject *sender) override;

    // Restores the seven settings from the standard user defaults (setDefaultValues first).
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    // Stores them.
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);

private:
    QPointer<QObject> _resetMaskControls;
    QPointer<QObject> _maskScaleSlider;
    QPointer<QObject> _maskAngleSlider;
    QPointer<QObject> _maskTranslateXSlider;
    QPointer<QObject> _maskTranslateYSlider;
};

bool import_NSOGLMaskImageViewController();
