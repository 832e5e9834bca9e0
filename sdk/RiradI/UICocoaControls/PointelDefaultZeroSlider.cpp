#include "PointelDefaultZeroSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PointelDefaultZeroSlider);

PointelDefaultZeroSlider::PointelDefaultZeroSlider(QWidget *parent) : PointelDefaultSlider(parent) {
    // The tint of this class's default (the base's ran before the default was ours).
    updateCellTint();
}

PointelDefaultZeroSlider::~PointelDefaultZeroSlider() = default;
