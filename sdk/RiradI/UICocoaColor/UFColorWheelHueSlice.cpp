#include "UFColorWheelHueSlice.h"

#include <algorithm>
#include <cmath>

namespace {

CGPoint UnitPointOfPolar(float r, float theta) {
    return CGPointMake(static_cast<CGFloat>(r * std::sin(theta)), static_cast<CGFloat>(r * std::cos(theta)));
}

}  // namespace

CGPoint UFColorWheelHueSlice::from() const { return UnitPointOfPolar(mFrom.r, mFrom.theta); }
CGPoint UFColorWheelHueSlice::to() const { return UnitPointOfPolar(mTo.r, mTo.theta); }

float UFColorWheelHueSlice::centerAngleRadians() const { return (mFrom.theta + mTo.theta) * 0.5f; }

float UFColorWheelHueSlice::colorHueNormalValue() const { return centerAngleRadians() / kUFColorWheelTwoPi; }

QColor UFColorWheelHueSlice::colorHue() const { return colorHueWithBrightness(1.0f, 1.0f); }

QColor UFColorWheelHueSlice::colorHueWithBrightness(float brightness, float saturation) const {
    // Qt wants every component in [0, 1]; a hue of a whole turn is the hue 0.
    const float hue = std::fmod(std::clamp(colorHueNormalValue(), 0.0f, 1.0f), 1.0f);
    return QColor::fromHsvF(hue, std::clamp(saturation, 0.0f, 1.0f), std::clamp(brightness, 0.0f, 1.0f), 1.0f);
}

QColor UFColorWheelHueSlice::desaturatedColorHue() const {
    return QColor::fromHsvF(0.0f, 0.0f, std::clamp(colorHueNormalValue(), 0.0f, 1.0f), 1.0f);
}

float UFColorWheelHueSlice::hitTestAngleNormal() const { return mTo.theta / kUFColorWheelTwoPi; }

bool UFColorWheelHueSlice::hitTestWithUnitPolarPoint(UFPolarPoint point) const {
    return point.theta / kUFColorWheelTwoPi < hitTestAngleNormal();
}

CGPoint UFColorWheelHueSlice::translateUnitPoint(CGPoint unit, CGRect rect) {
    return CGPointMake((unit.x + 0.5) * rect.size.width + rect.origin.x,
                       (unit.y + 0.5) * rect.size.height + rect.origin.y);
}

UFPath UFColorWheelHueSlice::bezierPathWithinRect(CGRect rect, bool selected) const {
    const float scale = selected ? 1.05f : 1.0f;
    const CGPoint centre = translateUnitPoint(CGPointMake(0, 0), rect);
    const CGPoint from = translateUnitPoint(UnitPointOfPolar(mFrom.r * scale, mFrom.theta), rect);
    const CGPoint to = translateUnitPoint(UnitPointOfPolar(mTo.r * scale, mTo.theta), rect);
    CGMutablePathRef path = CGPathCreateMutable();
    CGPathMoveToPoint(path, nullptr, centre.x, centre.y);
    CGPathAddLineToPoint(path, nullptr, from.x, from.y);
    CGPathAddLineToPoint(path, nullptr, to.x, to.y);
    CGPathAddLineToPoint(path, nullptr, centre.x, centre.y);
    CGPathCloseSubpath(path);
    return UFPath(path);
}

bool import_UFColorWheelHueSlice() { return true; }
