#include "PointelNormalOneHalfSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PointelNormalOneHalfSlider);

PointelNormalOneHalfSlider::PointelNormalOneHalfSlider(QWidget *parent) : PointelDefaultSlider(parent) {
    // The tint of this class's default (the base's ran before the default was ours).
    updateCellTint();
}

PointelNormalOneHalfSlider::~PointelNormalOneHalfSlider() = default;
