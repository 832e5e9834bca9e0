#include "PointelNormalZeroSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PointelNormalZeroSlider);

PointelNormalZeroSlider::PointelNormalZeroSlider(QWidget *parent) : PointelDefaultSlider(parent) {
    // The tint of this class's default (the base's ran before the default was ours).
    updateCellTint();
}

PointelNormalZeroSlider::~PointelNormalZeroSlider() = default;
