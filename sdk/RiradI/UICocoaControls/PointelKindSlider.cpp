#include "PointelKindSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PointelKindSlider);

PointelKindSlider::PointelKindSlider(QWidget *parent) : PointelBaseSlider(parent) {}

PointelKindSlider::~PointelKindSlider() = default;
