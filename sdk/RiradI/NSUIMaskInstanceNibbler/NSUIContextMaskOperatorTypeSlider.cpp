#include "NSUIContextMaskOperatorTypeSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIContextMaskOperatorTypeSlider);

NSUIContextMaskOperatorTypeSlider::NSUIContextMaskOperatorTypeSlider(QWidget *parent) : NSUIGraphiteSlider(parent) {}

NSUIContextMaskOperatorTypeSlider::~NSUIContextMaskOperatorTypeSlider() = default;

void NSUIContextMaskOperatorTypeSlider::awakeFromNib() {
    setNumberOfTickMarks(kTickMarks);
    setMaxValue(kMaximum);
}

int NSUIContextMaskOperatorTypeSlider::operatorType() const {
    return intValue();
}

void NSUIContextMaskOperatorTypeSlider::setOperatorType(int type) { setIntValue(type); }

bool import_NSUIContextMaskOperatorTypeSlider() { return import_NSSlider(); }
