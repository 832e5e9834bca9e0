#include "PointelAngleDeltaSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PointelAngleDeltaSlider);

PointelAngleDeltaSlider::PointelAngleDeltaSlider(QWidget *parent) : PointelAngleSlider(parent) {}

PointelAngleDeltaSlider::~PointelAngleDeltaSlider() = default;
