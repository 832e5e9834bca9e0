#include "PointelDeltaSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PointelDeltaSlider);

PointelDeltaSlider::PointelDeltaSlider(QWidget *parent) : PointelDefaultSlider(parent) {
    // The tint of this class's default (the base's ran before the default was ours).
    updateCellTint();
}

PointelDeltaSlider::~PointelDeltaSlider() = default;
