#include "PointelScaleSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(PointelScaleSlider);

PointelScaleSlider::PointelScaleSlider(QWidget *parent) : PointelDefaultSlider(parent) {
    // The single-precision 0.1, as the range was always stored.
    setMinValue(double(0.1f));
    setMaxValue(6.0);
    updateCellTint();
}

PointelScaleSlider::~PointelScaleSlider() = default;
