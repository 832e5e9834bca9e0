// Normal values: every continuous control is read and set as a double from 0 to 1 across its
// own range, so that sliders, fine sliders, scrub controls and rotation views stand in for one
// another.
//
// NSSlider(NormalValue) is NSSlider_GetNormalValue / NSSlider_SetNormalValue (NSSlider's own
// normalValue / setNormalValue call them). NSControl(NormalValue) is the namespace NormalValue:
// the derived forms for any control that answers "normalValue" and "setNormalValue" (an
// NSSlider through its virtual members, any other control by selector; a control that answers
// neither raises "NSInvalidArgumentException", the runtime's unrecognised selector).
//
// Non-finite numbers never come out: a slider whose range is empty (min equal to max) reads 0,
// and a normal value that is NaN sets the slider to its minimum.
#pragma once

#include <QObject>
#include <QVariant>

class NSSlider;

// n narrowed to single precision, then below 0 (and NaN) to 0, above 1 to 1.
double NSControl_ClampNormalValue(double normalValue);

// (value − min) ÷ (max − min) of the slider, not clamped; 0 when the range is empty or the
// quotient is not finite.
double NSSlider_NormalValueFromValue(const NSSlider *slider, double value);

// Sets a slider to (max − min) × clamped n + min. A control that is not an NSSlider is reported
// ("slider") and left alone.
void NSSlider_SetNormalValue(QObject *control, double normalValue);
// The slider's normal value (NSSlider_NormalValueFromValue of its value). A control that is not
// an NSSlider is reported ("slider") and reads 0.5.
double NSSlider_GetNormalValue(QObject *control);

namespace NormalValue {

// The control's normalValue / setNormalValue (overrides included).
double normalValue(QObject *control);
void setNormalValue(QObject *control, double normalValue);

// From the sender, first rule that applies: its normal value; its double value; its float value
// (both taken as normal values as they stand); otherwise nothing changes. A nil sender changes
// nothing.
void takeNormalValueFrom(QObject *control, QObject *sender);

// 1 − normalValue; setting n sets 1 − n.
double inverseNormalValue(QObject *control);
void setInverseNormalValue(QObject *control, double inverseNormalValue);

// The normal value narrowed to a float number (0 in place of a non-finite one); setting takes
// the object's float value (text read as a number, nil as 0).
QVariant normalParam(QObject *control);
void setNormalParam(QObject *control, const QVariant &normalParam);

}  // namespace NormalValue

namespace RadialSliderDeltaValue {

// The angle a round view adds when it shows the control: the control's own
// "radialSliderOffsetDegrees" when it answers it, else 0.
double radialSliderOffsetDegrees(QObject *control);

}  // namespace RadialSliderDeltaValue

bool import_NSControl_NormalValue();
