#include "PointelDefaultOneSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PointelDefaultOneSlider);

PointelDefaultOneSlider::PointelDefaultOneSlider(QWidget *parent) : PointelDefaultSlider(parent) {
    // The tint of this class's default (the base's ran before the default was ours).
    updateCellTint();
}

PointelDefaultOneSlider::~PointelDefaultOneSlider() = default;
