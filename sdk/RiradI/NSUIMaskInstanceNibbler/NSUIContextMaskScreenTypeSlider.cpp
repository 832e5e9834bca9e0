#include "NSUIContextMaskScreenTypeSlider.h"

#include <Foundation/NSObjCRuntime.h>

#include <algorithm>

NS_REGISTER_CLASS(NSUIContextMaskScreenTypeSlider);

NSUIContextMaskScreenTypeSlider::NSUIContextMaskScreenTypeSlider(QWidget *parent) : NSUIGraphiteSlider(parent) {}

NSUIContextMaskScreenTypeSlider::~NSUIContextMaskScreenTypeSlider() = default;

void NSUIContextMaskScreenTypeSlider::awakeFromNib() {
    setNumberOfTickMarks(kTickMarks);
    setMaxValue(kMaximum);
}

int NSUIContextMaskScreenTypeSlider::screenType() const {
    return std::clamp(intValue(), 0, kMaximum);
}

bool import_NSUIContextMaskScreenTypeSlider() { return import_NSSlider(); }
