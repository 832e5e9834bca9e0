#include "NSSlider.h"

#include "NSControl_NormalValue.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <algorithm>
#include <cmath>
#include <limits>

NS_REGISTER_CLASS(NSSlider);

NSSlider::NSSlider(QWidget *parent) : NSSlider(Qt::Horizontal, parent) {}

NSSlider::NSSlider(Qt::Orientation orientation, QWidget *parent) : QSlider(orientation, parent) {
    mPlacingKnob = true;
    setRange(0, kKnobSteps);
    setSingleStep(kKnobSteps / 100);
    setPageStep(kKnobSteps / 10);
    setValue(0);
    mPlacingKnob = false;
    connect(this, &QAbstractSlider::valueChanged, this, &NSSlider::knobMoved);
}

NSSlider::~NSSlider() = default;

void NSSlider::setMinValue(double minValue) {
    if (!VERIFY(std::isfinite(minValue))) return;
    mMinValue = minValue;
    placeKnob();
    emit rangeChanged();
}

void NSSlider::setMaxValue(double maxValue) {
    if (!VERIFY(std::isfinite(maxValue))) return;
    mMaxValue = maxValue;
    placeKnob();
    emit rangeChanged();
}

void NSSlider::setDoubleValue(double value) {
    if (!VERIFY(std::isfinite(value))) return;
    if (value == mDoubleValue) return;
    mDoubleValue = value;
    placeKnob();
    emit doubleValueChanged();
}

int NSSlider::intValue() const {
    const double value = std::trunc(mDoubleValue);
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

void NSSlider::setNumberOfTickMarks(int count) {
    if (!VERIFY(count >= 0)) count = 0;
    mNumberOfTickMarks = count;
    setTickPosition(count > 0 ? QSlider::TicksBelow : QSlider::NoTicks);
    setTickInterval(count > 1 ? std::max(1, kKnobSteps / (count - 1)) : kKnobSteps);
    update();
}

double NSSlider::tickMarkValueAtIndex(int index) const {
    if (mNumberOfTickMarks <= 0) return mMinValue;
    if (mNumberOfTickMarks == 1) return (mMinValue + mMaxValue) / 2.0;
    const double fraction = static_cast<double>(std::clamp(index, 0, mNumberOfTickMarks - 1)) / (mNumberOfTickMarks - 1);
    return mMinValue * (1.0 - fraction) + mMaxValue * fraction;
}

double NSSlider::closestTickMarkValueToValue(double value) const {
    if (mNumberOfTickMarks <= 0) return value;
    if (mNumberOfTickMarks == 1 || std::isnan(value)) return tickMarkValueAtIndex(0);
    double fraction = NSSlider_NormalValueFromValue(this, value);
    if (std::isinf(value)) fraction = (value > 0) == (mMaxValue >= mMinValue) ? 1.0 : 0.0;
    const double index = std::round(fraction * (mNumberOfTickMarks - 1));
    return tickMarkValueAtIndex(static_cast<int>(std::clamp(index, 0.0, static_cast<double>(mNumberOfTickMarks - 1))));
}

double NSSlider::normalValue() const { return NSSlider_GetNormalValue(const_cast<NSSlider *>(this)); }

void NSSlider::setNormalValue(double normalValue) { NSSlider_SetNormalValue(this, normalValue); }

void NSSlider::takeNormalValueFrom(QObject *sender) { NormalValue::takeNormalValueFrom(this, sender); }

double NSSlider::inverseNormalValue() const { return NormalValue::inverseNormalValue(const_cast<NSSlider *>(this)); }

void NSSlider::setInverseNormalValue(double inverseNormalValue) {
    NormalValue::setInverseNormalValue(this, inverseNormalValue);
}

QVariant NSSlider::normalParam() const { return NormalValue::normalParam(const_cast<NSSlider *>(this)); }

void NSSlider::setNormalParam(const QVariant &normalParam) { NormalValue::setNormalParam(this, normalParam); }

void NSSlider::sendAction() {
    QObject *target = mTarget.data();
    if (target == nullptr || mAction.isEmpty()) return;
    performSelector(target, mAction, NSKeyValueCoding::variantFromObject(this));
}

// The knob at the value's place in the range, stopped at the ends; at the start when the range
// is empty.
void NSSlider::placeKnob() { placeKnobAt(mDoubleValue); }

void NSSlider::placeKnobAt(double value) {
    const double fraction = NSSlider_NormalValueFromValue(this, value);
    const double clamped = fraction < 0.0 ? 0.0 : (fraction > 1.0 ? 1.0 : fraction);
    mPlacingKnob = true;
    setValue(static_cast<int>(std::lround(clamped * kKnobSteps)));
    mPlacingKnob = false;
}

void NSSlider::knobMoved(int position) {
    if (mPlacingKnob) return;
    const double fraction = static_cast<double>(position) / kKnobSteps;
    double value = (mMaxValue - mMinValue) * fraction + mMinValue;
    if (!std::isfinite(value)) value = mMinValue * (1.0 - fraction) + mMaxValue * fraction;
    if (mAllowsTickMarkValuesOnly && mNumberOfTickMarks > 0) {
        value = closestTickMarkValueToValue(value);
        placeKnobAt(value);
    }
    if (value != mDoubleValue) {
        mDoubleValue = value;
        emit doubleValueChanged();
    }
    sendAction();
}

bool import_NSSlider() { return import_CoreMachDebugLog(); }
