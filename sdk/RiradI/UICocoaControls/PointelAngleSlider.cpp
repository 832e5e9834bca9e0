#include "PointelAngleSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PointelAngleSlider);

PointelAngleSlider::PointelAngleSlider(QWidget *parent) : PointelBaseSlider(parent) {}

PointelAngleSlider::~PointelAngleSlider() = default;

void PointelAngleSlider::resetDefaultValue(QObject *sender) {
    setNormalValue(resetNormalValue());
    performTargetActionWithObject(sender);
}
