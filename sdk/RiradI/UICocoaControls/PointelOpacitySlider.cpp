#include "PointelOpacitySlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PointelOpacitySlider);

PointelOpacitySlider::PointelOpacitySlider(QWidget *parent) : PointelBaseSlider(parent) {}

PointelOpacitySlider::~PointelOpacitySlider() = default;
