// NSUIBigControlsView: the enlarged twin of a panel's small slider, shown in a transparent
// overlay window (it is the window's overlay view). A circular slider gets the large rotation
// view, a field for typing an exact angle and a row of fixed-angle buttons; a linear slider gets
// a large vertical or horizontal slider, the vertical one when the small slider is taller than
// wide. Moving the large control moves the small one and fires the small one's action.
//
// One instance is shared: the last one woken from its nib ("NSUIBigControlsView"). The shared
// reference and the attached small slider are weak: when either object is destroyed it reads
// nil, so nothing freed is ever messaged.
//
// Nib wiring: the outlets are pointer properties named as below. The buttons of the angle row
// are any QAbstractButtons; each fixed-angle button carries its angle in degrees in the nib
// property "angle". A click of one puts its angle into the exact-angle field and turns the
// rotation view to it (onExactAngleClick:); the "Set" button and Return in the field (its
// action, onExactAngleClick: sent to this view) turn it to the angle typed.
//
// One slider kind at a time: attaching a circular slider detaches the linear one and the other
// way round; only the controls of the kind attached are shown.
#pragma once

#include "NSSlider.h"
#include "NSUISliderRotationView.h"

#include <AppKit/NSTextField.h>
#include <UICocoaViews/NSUITransparentWindow.h>

#include <QAbstractButton>
#include <QPointer>

class QMouseEvent;

class NSUIBigControlsView : public NSUITransparentWindowView {
    Q_OBJECT
    Q_PROPERTY(NSUISliderRotationView *mSliderView READ sliderView WRITE setSliderView)
    Q_PROPERTY(NSTextField *mExactAngleTextView READ exactAngleTextView WRITE setExactAngleTextView)
    Q_PROPERTY(NSSlider *mVerticalSlider READ verticalSlider WRITE setVerticalSlider)
    Q_PROPERTY(NSSlider *mHorizontalSlider READ horizontalSlider WRITE setHorizontalSlider)
    Q_PROPERTY(QAbstractButton *mAngleButtonSet READ angleButtonSet WRITE setAngleButtonSet)
    Q_PROPERTY(QAbstractButton *mAngleButton_90 READ angleButton_90 WRITE setAngleButton_90)
    Q_PROPERTY(QAbstractButton *mAngleButton_45 READ angleButton_45 WRITE setAngleButton_45)
    Q_PROPERTY(QAbstractButton *mAngleButton0 READ angleButton0 WRITE setAngleButton0)
    Q_PROPERTY(QAbstractButton *mAngleButton45 READ angleButton45 WRITE setAngleButton45)
    Q_PROPERTY(QAbstractButton *mAngleButton90 READ angleButton90 WRITE setAngleButton90)
    Q_PROPERTY(QAbstractButton *mAngleButton180 READ angleButton180 WRITE setAngleButton180)
    Q_PROPERTY(NSSlider *attachedLinearSlider READ attachedLinearSlider)
    Q_PROPERTY(NSSlider *syncLinearSlider READ syncLinearSlider)

public:
    explicit NSUIBigControlsView(QWidget *parent = nullptr);
    ~NSUIBigControlsView() override;

    // The shared instance; reported and nil when there is none (never loaded, or destroyed).
    static NSUIBigControlsView *sharedBigControlsView();
    // Shows the shared overlay with a circular slider attached. True when the slider was
    // attached; false (nothing done) for anything that is not a slider or without an overlay.
    static bool attachRadial(QObject *slider);

    Q_INVOKABLE void awakeFromNib();
    Q_INVOKABLE bool acceptsFirstMouse(QMouseEvent *event) const;

    // Circular sliders, through the rotation view.
    Q_INVOKABLE void attachRadialSlider(QObject *slider);
    Q_INVOKABLE void applyRadialAttach(QObject *sender);
    Q_INVOKABLE void cancelRadialAttach(QObject *sender);
    Q_INVOKABLE void detachRadialSlider(QObject *sender);
    Q_INVOKABLE void onExactAngleClick(QObject *sender);
    // The rotation view's actions (the angle in degrees); nothing to do.
    Q_INVOKABLE void radialSliderValueChanged(const QVariant &sender);
    Q_INVOKABLE void radialSliderViewChanged(const QVariant &sender);

    // Linear sliders, through the large vertical or horizontal slider.
    Q_INVOKABLE void attachLinearSlider(QObject *slider);
    void attachLinearSliderControl(NSSlider *slider, NSSlider *syncLinearSlider);
    Q_INVOKABLE void takeLinearSliderValueFromAttached();
    Q_INVOKABLE void linearSliderValueChanged(QObject *sender);
    Q_INVOKABLE void detachLinearSlider();
    void showLinearControl(QObject *largeSlider);
    void showLinearControls(bool show);
    void showRadialControls(bool show);

    NSUISliderRotationView *sliderView() const { return mSliderView; }
    void setSliderView(NSUISliderRotationView *view) { mSliderView = view; }
    NSTextField *exactAngleTextView() const { return mExactAngleTextView; }
    void setExactAngleTextView(NSTextField *field) { mExactAngleTextView = field; }
    NSSlider *verticalSlider() const { return mVerticalSlider; }
    void setVerticalSlider(NSSlider *slider) { mVerticalSlider = slider; }
    NSSlider *horizontalSlider() const { return mHorizontalSlider; }
    void setHorizontalSlider(NSSlider *slider) { mHorizontalSlider = slider; }
    QAbstractButton *angleButtonSet() const { return mAngleButtonSet; }
    void setAngleButtonSet(QAbstractButton *button) { mAngleButtonSet = button; }
    QAbstractButton *angleButton_90() const { return mAngleButton_90; }
    void setAngleButton_90(QAbstractButton *button) { mAngleButton_90 = button; }
    QAbstractButton *angleButton_45() const { return mAngleButton_45; }
    void setAngleButton_45(QAbstractButton *button) { mAngleButton_45 = button; }
    QAbstractButton *angleButton0() const { return mAngleButton0; }
    void setAngleButton0(QAbstractButton *button) { mAngleButton0 = button; }
    QAbstractButton *angleButton45() const { return mAngleButton45; }
    void setAngleButton45(QAbstractButton *button) { mAngleButton45 = button; }
    QAbstractButton *angleButton90() const { return mAngleButton90; }
    void setAngleButton90(QAbstractButton *button) { mAngleButton90 = button; }
    QAbstractButton *angleButton180() const { return mAngleButton180; }
    void setAngleButton180(QAbstractButton *button) { mAngleButton180 = button; }
    NSSlider *attachedLinearSlider() const { return mAttachedLinearSlider; }
    NSSlider *syncLinearSlider() const { return mSyncLinearSlider; }

private:
    void connectButtonAction(QAbstractButton *button);

    QPointer<NSUISliderRotationView> mSliderView;
    QPointer<NSTextField> mExactAngleTextView;
    QPointer<NSSlider> mVerticalSlider;
    QPointer<NSSlider> mHorizontalSlider;
    QPointer<QAbstractButton> mAngleButtonSet;
    QPointer<QAbstractButton> mAngleButton_90;
    QPointer<QAbstractButton> mAngleButton_45;
    QPointer<QAbstractButton> mAngleButton0;
    QPointer<QAbstractButton> mAngleButton45;
    QPointer<QAbstractButton> mAngleButton90;
    QPointer<QAbstractButton> mAngleButton180;
    QPointer<NSSlider> mAttachedLinearSlider;
    QPointer<NSSlider> mSyncLinearSlider;
};

bool import_NSUIBigControlsView();
