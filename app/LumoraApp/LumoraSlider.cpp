#include "LumoraSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(LumoraSlider);

void LumoraSlider::setSliderCellProperties(NSUISelfLabelingSliderCell &cell) {
    NSUISelfLabelingSlider::setSliderCellProperties(cell);
    cell.setLozengeAlpha(0.05f);
    cell.setLozengeMargin(2.0f);
}

bool import_LumoraSlider() { return import_NSUISelfLabelingSlider(); }
