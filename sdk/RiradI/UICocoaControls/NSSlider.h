// NSSlider: the slider of the interface on QSlider. Its value is a double in a double range
// (minValue, maxValue; 0 to 1 by default); Qt's integer position only places the knob, in
// kKnobSteps steps across the range. The value may lie outside the range when set directly
// (the knob then stops at its end); the range and the value are always finite (a non-finite
// one is reported and refused).
//
// The normal value (NSControl_NormalValue.h) is part of the class, so that key-value coding and
// the parameter mapping reach it by key ("normalValue", "normalParam", ...) and subclasses
// override it (normalValue / setNormalValue are virtual; the derived forms go through them).
//
// A change made by the user (mouse, keyboard, wheel) sends the action to the target with the
// slider, at once, every step of the way; changes made in code send nothing.
//
// Tick marks: numberOfTickMarks marks spread evenly from the minimum to the maximum (one mark
// stands at the middle), drawn by Qt's style under the groove. With allowsTickMarkValuesOnly
// the user's changes stop at the closest mark; values set in code are taken as they are.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QSlider>
#include <QVariant>

class NSSlider : public QSlider {
    Q_OBJECT
    Q_PROPERTY(double minValue READ minValue WRITE setMinValue NOTIFY rangeChanged)
    Q_PROPERTY(double maxValue READ maxValue WRITE setMaxValue NOTIFY rangeChanged)
    Q_PROPERTY(double doubleValue READ doubleValue WRITE setDoubleValue NOTIFY doubleValueChanged)
    Q_PROPERTY(float floatValue READ floatValue WRITE setFloatValue NOTIFY doubleValueChanged)
    Q_PROPERTY(int intValue READ intValue WRITE setIntValue NOTIFY doubleValueChanged)
    Q_PROPERTY(double normalValue READ normalValue WRITE setNormalValue NOTIFY doubleValueChanged)
    Q_PROPERTY(double inverseNormalValue READ inverseNormalValue WRITE setInverseNormalValue NOTIFY doubleValueChanged)
    Q_PROPERTY(QVariant normalParam READ normalParam WRITE setNormalParam NOTIFY doubleValueChanged)
    Q_PROPERTY(double radialSliderOffsetDegrees READ radialSliderOffsetDegrees CONSTANT)
    Q_PROPERTY(int numberOfTickMarks READ numberOfTickMarks WRITE setNumberOfTickMarks)
    Q_PROPERTY(bool allowsTickMarkValuesOnly READ allowsTickMarkValuesOnly WRITE setAllowsTickMarkValuesOnly)
    Q_PROPERTY(QObject *target READ target WRITE setTarget)
    Q_PROPERTY(QByteArray action READ action WRITE setAction)

public:
    static constexpr int kKnobSteps = 10000;

    explicit NSSlider(QWidget *parent = nullptr);
    explicit NSSlider(Qt::Orientation orientation, QWidget *parent = nullptr);
    ~NSSlider() override;

    double minValue() const { return mMinValue; }
    void setMinValue(double minValue);
    double maxValue() const { return mMaxValue; }
    void setMaxValue(double maxValue);
    double doubleValue() const { return mDoubleValue; }
    void setDoubleValue(double value);
    float floatValue() const { return static_cast<float>(mDoubleValue); }
    void setFloatValue(float value) { setDoubleValue(value); }
    int intValue() const;
    void setIntValue(int value) { setDoubleValue(value); }

    // NSSlider(NormalValue).
    virtual double normalValue() const;
    virtual void setNormalValue(double normalValue);
    Q_INVOKABLE virtual void takeNormalValueFrom(QObject *sender);
    // NSControl(NormalValue), through normalValue / setNormalValue.
    double inverseNormalValue() const;
    void setInverseNormalValue(double inverseNormalValue);
    QVariant normalParam() const;
    void setNormalParam(const QVariant &normalParam);
    // NSControl(RadialSliderDeltaValue).
    virtual double radialSliderOffsetDegrees() const { return 0.0; }

    int numberOfTickMarks() const { return mNumberOfTickMarks; }
    // A negative count is reported and taken as 0.
    void setNumberOfTickMarks(int count);
    bool allowsTickMarkValuesOnly() const { return mAllowsTickMarkValuesOnly; }
    void setAllowsTickMarkValuesOnly(bool flag) { mAllowsTickMarkValuesOnly = flag; }
    // The value of mark index (0 is at the minimum); the minimum without marks.
    double tickMarkValueAtIndex(int index) const;
    // The value of the mark closest to value; value itself without marks.
    double closestTickMarkValueToValue(double value) const;

    QObject *target() const { return mTarget.data(); }
    void setTarget(QObject *target) { mTarget = target; }
    QByteArray action() const { return mAction; }
    void setAction(const QByteArray &action) { mAction = action; }
    // Sends the action to the target with the slider, at once; nothing without both.
    void sendAction();

signals:
    void doubleValueChanged();
    void rangeChanged();

private:
    void placeKnob();
    void placeKnobAt(double value);
    void knobMoved(int position);

    double mMinValue = 0.0;
    double mMaxValue = 1.0;
    double mDoubleValue = 0.0;
    bool mPlacingKnob = false;
    int mNumberOfTickMarks = 0;
    bool mAllowsTickMarkValuesOnly = false;
    QPointer<QObject> mTarget;
    QByteArray mAction;
};

bool import_NSSlider();
