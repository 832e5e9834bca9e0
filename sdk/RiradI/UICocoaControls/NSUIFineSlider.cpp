#include "NSUIFineSlider.h"

#include "NSControl_NormalValue.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

#include <algorithm>
#include <cmath>

NS_REGISTER_CLASS(NSUIFineSlider);

namespace {

constexpr double kCentre = 0.5;

// The point at fraction g of [min, max]; weighted from both ends when the width overflows.
double PointAt(double minValue, double maxValue, double g) {
    const double point = g * (maxValue - minValue) + minValue;
    return std::isfinite(point) ? point : minValue * (1.0 - g) + maxValue * g;
}

// (value − min) ÷ (max − min); 0 for an empty range or a quotient that is not finite.
double FractionOf(double minValue, double maxValue, double value) {
    const double range = maxValue - minValue;
    if (range == 0.0) return 0.0;
    double fraction = (value - minValue) / range;
    if (!std::isfinite(range)) fraction = (value / 2 - minValue / 2) / (maxValue / 2 - minValue / 2);
    return std::isfinite(fraction) ? fraction : 0.0;
}

}  // namespace

NSUIFineSlider::NSUIFineSlider(QWidget *parent) : NSUITargetActionView(parent) {}

NSUIFineSlider::~NSUIFineSlider() = default;

void NSUIFineSlider::awakeFromNib() {
    VERIFY_TEXT(import_NSUITargetActionView(), " code : import_NSUITargetActionView()");
    resetRangeValue();
}

void NSUIFineSlider::resetRangeValue() {
    mMinValue = 0.0;
    mMaxValue = 1.0;
    if (mFine) mFine->setFloatValue(static_cast<float>(kCentre));
    if (mGross) mGross->setDoubleValue(kCentre);
    setEnabled(false);
}

void NSUIFineSlider::setMinValue(double minValue) {
    if (!VERIFY(std::isfinite(minValue))) return;
    mMinValue = minValue;
}

void NSUIFineSlider::setMaxValue(double maxValue) {
    if (!VERIFY(std::isfinite(maxValue))) return;
    mMaxValue = maxValue;
}

double NSUIFineSlider::clampedDoubleValue(double value) const {
    if (std::isnan(value)) return mMinValue;
    return std::max(mMinValue, std::min(mMaxValue, value));
}

double NSUIFineSlider::fineDoubleValue() const {
    if (!mFine) return 0.0;
    const float f = static_cast<float>(mFine->doubleValue());
    const double t = f < 0.0f ? -kCentre : std::min(static_cast<double>(f), 1.0) - kCentre;
    const double range = rangeDoubleValue();
    if (std::isfinite(range)) return t * kFineSpan * range;
    return t * (mMaxValue * kFineSpan - mMinValue * kFineSpan);
}

double NSUIFineSlider::doubleValue() const {
    const double g = mGross ? NSControl_ClampNormalValue(mGross->doubleValue()) : 0.0;
    return clampedDoubleValue(PointAt(mMinValue, mMaxValue, g) + fineDoubleValue());
}

void NSUIFineSlider::setDoubleValue(double value) {
    centreFineKnob();
    const double c = clampedDoubleValue(value);
    const double n = NSControl_ClampNormalValue(FractionOf(mMinValue, mMaxValue, c));
    if (mGross) mGross->setNormalValue(n);
}

double NSUIFineSlider::normalValue() const { return FractionOf(mMinValue, mMaxValue, doubleValue()); }

void NSUIFineSlider::setNormalValue(double normalValue) {
    centreFineKnob();
    if (mGross) NSSlider_SetNormalValue(mGross.data(), normalValue);
}

void NSUIFineSlider::takeDoubleValueFrom(QObject *sender) {
    if (!VERIFY_TEXT(sender != nullptr, " code : sender")) return;
    setDoubleValue(performSelector(sender, "doubleValue").toDouble());
}

void NSUIFineSlider::takeFloatValueFrom(QObject *sender) {
    if (!VERIFY_TEXT(sender != nullptr, " code : sender")) return;
    setFloatValue(performSelector(sender, "floatValue").toFloat());
}

void NSUIFineSlider::takeNormalValueFrom(QObject *sender) {
    if (!VERIFY_TEXT(sender != nullptr, " code : sender")) return;
    setNormalValue(NormalValue::normalValue(sender));
}

void NSUIFineSlider::fineSliderChanged(QObject *) { performTargetActionWithObject(static_cast<QObject *>(this)); }

void NSUIFineSlider::grossSliderChanged(QObject *) {
    centreFineKnob();
    performTargetActionWithObject(static_cast<QObject *>(this));
}

void NSUIFineSlider::centreFineKnob() {
    if (mFine) mFine->setFloatValue(static_cast<float>(kCentre));
}

bool import_NSUIFineSlider() { return import_NSUITargetActionView(); }
