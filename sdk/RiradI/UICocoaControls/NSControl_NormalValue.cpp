#include "NSControl_NormalValue.h"

#include "NSSlider.h"

#include <CocoaFoundation/NSStringNumberValues.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <cmath>

double NSControl_ClampNormalValue(double normalValue) {
    const float narrowed = static_cast<float>(normalValue);
    if (!(narrowed >= 0.0f)) return 0.0;  // below 0, and NaN
    if (narrowed > 1.0f) return 1.0;
    return narrowed;
}

double NSSlider_NormalValueFromValue(const NSSlider *slider, double value) {
    const double minValue = slider->minValue();
    const double maxValue = slider->maxValue();
    const double range = maxValue - minValue;
    if (range == 0.0) return 0.0;
    double normalValue = (value - minValue) / range;
    // A range wider than the largest double: the same quotient of halves.
    if (!std::isfinite(range)) normalValue = (value / 2 - minValue / 2) / (maxValue / 2 - minValue / 2);
    return std::isfinite(normalValue) ? normalValue : 0.0;
}

void NSSlider_SetNormalValue(QObject *control, double normalValue) {
    auto *slider = qobject_cast<NSSlider *>(control);
    if (!VERIFY_TEXT(slider != nullptr, " code : slider")) return;
    const double n = NSControl_ClampNormalValue(normalValue);
    const double minValue = slider->minValue();
    const double maxValue = slider->maxValue();
    double value = (maxValue - minValue) * n + minValue;
    // A range wider than the largest double: the same point, weighted from both ends.
    if (!std::isfinite(value)) value = minValue * (1.0 - n) + maxValue * n;
    slider->setDoubleValue(value);
}

double NSSlider_GetNormalValue(QObject *control) {
    auto *slider = qobject_cast<NSSlider *>(control);
    if (!VERIFY_TEXT(slider != nullptr, " code : slider")) return 0.5;
    return NSSlider_NormalValueFromValue(slider, slider->doubleValue());
}

namespace NormalValue {

double normalValue(QObject *control) {
    if (auto *slider = qobject_cast<NSSlider *>(control)) return slider->normalValue();
    return performSelector(control, "normalValue").toDouble();
}

void setNormalValue(QObject *control, double normalValue) {
    if (auto *slider = qobject_cast<NSSlider *>(control)) {
        slider->setNormalValue(normalValue);
        return;
    }
    if (control == nullptr) return;
    if (respondsToSelector(control, "setNormalValue")) {
        performSelector(control, "setNormalValue", normalValue);
        return;
    }
    NSKeyValueCoding::setValueForKey(control, normalValue, QStringLiteral("normalValue"));
}

void takeNormalValueFrom(QObject *control, QObject *sender) {
    if (sender == nullptr) return;
    if (qobject_cast<NSSlider *>(sender) != nullptr || respondsToSelector(sender, "normalValue"))
        setNormalValue(control, normalValue(sender));
    else if (respondsToSelector(sender, "doubleValue"))
        setNormalValue(control, performSelector(sender, "doubleValue").toDouble());
    else if (respondsToSelector(sender, "floatValue"))
        setNormalValue(control, performSelector(sender, "floatValue").toFloat());
}

double inverseNormalValue(QObject *control) { return 1.0 - normalValue(control); }

void setInverseNormalValue(QObject *control, double inverseNormalValue) {
    setNormalValue(control, 1.0 - inverseNormalValue);
}

QVariant normalParam(QObject *control) {
    const float value = static_cast<float>(normalValue(control));
    return QVariant(std::isfinite(value) ? value : 0.0f);
}

void setNormalParam(QObject *control, const QVariant &normalParam) {
    const float value = NSKeyValueCoding::isNil(normalParam)
                            ? 0.0f
                            : static_cast<float>(NSStringNumberValues::variantDoubleValue(normalParam));
    setNormalValue(control, value);
}

}  // namespace NormalValue

namespace RadialSliderDeltaValue {

double radialSliderOffsetDegrees(QObject *control) {
    if (auto *slider = qobject_cast<NSSlider *>(control)) return slider->radialSliderOffsetDegrees();
    if (respondsToSelector(control, "radialSliderOffsetDegrees"))
        return performSelector(control, "radialSliderOffsetDegrees").toDouble();
    return 0.0;
}

}  // namespace RadialSliderDeltaValue

bool import_NSControl_NormalValue() { return import_NSSlider() && import_NSStringNumberValues(); }
