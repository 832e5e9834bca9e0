// NSUIFineSlider: one control made of two sliders laid out in its nib (nibs/NSUIFineSlider.ui):
// a gross slider that covers the whole range and a fine slider that adds a small offset around
// the gross position. Its value is a double in its own range [minValue, maxValue]; a move of
// either knob delivers the control's action at once, with the control.
//
// Both inner sliders run from 0 to 1. The fine knob's centre (0.5) adds nothing; its ends add
// -range/400 and +range/400. Every setting from outside (setDoubleValue, setNormalValue) and
// every move of the gross knob recentres the fine knob, so a value set from outside is held by
// the gross knob alone, at single precision.
//
// Nothing non-finite comes out: an empty range (min equal to max) reads minValue and normal
// value 0, and setting any value puts the gross knob at its start; a NaN value sets the
// minimum. Non-finite ends are reported and refused.
//
// Enabled state: the control's own QWidget enabled state, which Qt passes on to both inner
// sliders. A control loaded from the nib is reset in awakeFromNib: range [0, 1], both knobs
// centred, disabled; its owner sets the range, the value and enables it.
//
// The inner sliders are outlets (_Fine, _Gross), not owned: without them (a control made in
// code) it reads minValue and settings move nothing.
#pragma once

#include "NSSlider.h"
#include "NSUITargetActionView.h"

#include <QPointer>

class NSUIFineSlider : public NSUITargetActionView {
    Q_OBJECT
    Q_PROPERTY(NSSlider *_Fine READ fineSlider WRITE setFineSlider)
    Q_PROPERTY(NSSlider *_Gross READ grossSlider WRITE setGrossSlider)
    Q_PROPERTY(double minValue READ minValue WRITE setMinValue)
    Q_PROPERTY(double maxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(double rangeDoubleValue READ rangeDoubleValue)
    Q_PROPERTY(double fineDoubleValue READ fineDoubleValue)
    Q_PROPERTY(double doubleValue READ doubleValue WRITE setDoubleValue)
    Q_PROPERTY(float floatValue READ floatValue WRITE setFloatValue)
    Q_PROPERTY(double normalValue READ normalValue WRITE setNormalValue)

public:
    // The fine knob spans this fraction of the range.
    static constexpr double kFineSpan = 1.0 / 200.0;

    explicit NSUIFineSlider(QWidget *parent = nullptr);
    ~NSUIFineSlider() override;

    NSSlider *fineSlider() const { return mFine.data(); }
    void setFineSlider(NSSlider *slider) { mFine = slider; }
    NSSlider *grossSlider() const { return mGross.data(); }
    void setGrossSlider(NSSlider *slider) { mGross = slider; }

    // Reports a missing link of the kit, then resetRangeValue.
    Q_INVOKABLE void awakeFromNib();
    // Range [0, 1], both knobs centred, disabled.
    Q_INVOKABLE void resetRangeValue();

    // The ends; setting one moves no knob (the value read afterwards follows the new range).
    double minValue() const { return mMinValue; }
    void setMinValue(double minValue);
    double maxValue() const { return mMaxValue; }
    void setMaxValue(double maxValue);
    double rangeDoubleValue() const { return mMaxValue - mMinValue; }
    // v held within [minValue, maxValue]; NaN gives minValue.
    double clampedDoubleValue(double value) const;

    // The offset the fine knob adds.
    double fineDoubleValue() const;
    // gross position × range + minValue + the fine offset, held within the range.
    double doubleValue() const;
    // Recentres the fine knob and puts the gross knob at the value's place in the range.
    Q_INVOKABLE void setDoubleValue(double value);
    float floatValue() const { return static_cast<float>(doubleValue()); }
    Q_INVOKABLE void setFloatValue(float value) { setDoubleValue(value); }

    // The value as a fraction of the range, so that it reads back what setNormalValue set
    // (with the default range [0, 1] it is the value itself); 0 for an empty range.
    double normalValue() const;
    // Recentres the fine knob and sets the gross knob's normal value (clamped to [0, 1]).
    Q_INVOKABLE void setNormalValue(double normalValue);

    // The sender's double, float or normal value. A nil sender is reported and changes
    // nothing; a sender that does not answer raises "NSInvalidArgumentException".
    Q_INVOKABLE void takeDoubleValueFrom(QObject *sender);
    Q_INVOKABLE void takeFloatValueFrom(QObject *sender);
    Q_INVOKABLE void takeNormalValueFrom(QObject *sender);

    // The inner sliders' actions: deliver the control's action with the control; a move of
    // the gross knob first recentres the fine knob.
    Q_INVOKABLE void fineSliderChanged(QObject *sender);
    Q_INVOKABLE void grossSliderChanged(QObject *sender);

private:
    void centreFineKnob();

    QPointer<NSSlider> mFine;
    QPointer<NSSlider> mGross;
    double mMinValue = 0.0;
    double mMaxValue = 1.0;
};

bool import_NSUIFineSlider();
