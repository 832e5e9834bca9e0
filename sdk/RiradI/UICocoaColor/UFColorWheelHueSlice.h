// UFColorWheelHueSlice: one slice of the colour wheel, a wedge between two polar points.
//
// The wheel lives in unit coordinates: centre (0, 0), rim at radius 0.5. A polar point (r, θ)
// is the unit point (r sin θ, r cos θ), so angle 0 is at the top and angles grow clockwise
// (y grows upwards, as Core Graphics draws). A slice's hue is its centre angle over a turn.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <CoreGraphics/CGPath.h>

#include <QColor>

#include <memory>

// A polar point: radius in unit coordinates, angle in radians clockwise from the top.
struct UFPolarPoint {
    float r = 0;
    float theta = 0;
};

// A whole turn as the float the wheel computes with.
inline constexpr float kUFColorWheelTwoPi = 6.2831855f;

// Owns a path made by the wheel.
struct UFPathRelease {
    void operator()(CGPathRef path) const { CGPathRelease(path); }
};
using UFPath = std::unique_ptr<const CGPath, UFPathRelease>;

class UFColorWheelHueSlice {
public:
    UFColorWheelHueSlice(UFPolarPoint from, UFPolarPoint to) : mFrom(from), mTo(to) {}
    static UFColorWheelHueSlice hueSliceFromPolar(UFPolarPoint from, UFPolarPoint to) { return {from, to}; }

    UFPolarPoint fromPolar() const { return mFrom; }
    UFPolarPoint toPolar() const { return mTo; }
    // The two points in unit coordinates.
    CGPoint from() const;
    CGPoint to() const;

    // (from θ + to θ) × 0.5, and that over a turn.
    float centerAngleRadians() const;
    float colorHueNormalValue() const;
    // The slice's hue at full saturation and brightness; with the given ones; and the grey
    // whose brightness is the hue value (a grey ramp round the wheel).
    QColor colorHue() const;
    QColor colorHueWithBrightness(float brightness, float saturation) const;
    QColor desaturatedColorHue() const;

    // to θ over a turn. A point hits the slice when its angle over a turn is below this; the
    // radius is not tested, so asking the slices in angle order finds the one under the point.
    float hitTestAngleNormal() const;
    bool hitTestWithUnitPolarPoint(UFPolarPoint point) const;

    // Unit point (u, v) to ((u + 0.5) · width + x, (v + 0.5) · height + y) of the rectangle.
    static CGPoint translateUnitPoint(CGPoint unit, CGRect rect);

    // The wedge centre -> from -> to -> centre within the rectangle, its radii × 1.05 when
    // selected. The edges are straight: six slices make a hexagon.
    UFPath bezierPathWithinRect(CGRect rect, bool selected) const;

private:
    UFPolarPoint mFrom;
    UFPolarPoint mTo;
};

bool import_UFColorWheelHueSlice();
