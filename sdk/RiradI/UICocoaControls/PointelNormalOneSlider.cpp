#include "PointelNormalOneSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PointelNormalOneSlider);

PointelNormalOneSlider::PointelNormalOneSlider(QWidget *parent) : PointelDefaultSlider(parent) {
    // The tint of this class's default (the base's ran before the default was ours).
    updateCellTint();
}

PointelNormalOneSlider::~PointelNormalOneSlider() = default;
