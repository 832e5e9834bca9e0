#include "PointelNormalSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PointelNormalSlider);

PointelNormalSlider::PointelNormalSlider(QWidget *parent) : PointelDefaultSlider(parent) {
    // The tint of this class's default (the base's ran before the default was ours).
    updateCellTint();
}

PointelNormalSlider::~PointelNormalSlider() = default;
