#include "NSUIContextMaskShapeTypeSlider.h"

#include <Foundation/NSObjCRuntime.h>

#include <algorithm>

NS_REGISTER_CLASS(NSUIContextMaskShapeTypeSlider);

NSUIContextMaskShapeTypeSlider::NSUIContextMaskShapeTypeSlider(QWidget *parent) : NSUIGraphiteSlider(parent) {}

NSUIContextMaskShapeTypeSlider::~NSUIContextMaskShapeTypeSlider() = default;

void NSUIContextMaskShapeTypeSlider::awakeFromNib() {
    setNumberOfTickMarks(kTickMarks);
    setMaxValue(kMaximum);
}

int NSUIContextMaskShapeTypeSlider::shapeType() const {
    return std::clamp(intValue(), 0, kMaximum);
}

bool import_NSUIContextMaskShapeTypeSlider() { return import_NSSlider(); }
