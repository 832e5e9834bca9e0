#include "NSUIContextMaskOperatorTypeSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIContextMaskOperatorTypeSlider);

NSUIContextMaskOperatorTypeSlider::NSUIContextMaskOperatorTypeSlider(QWidget *parent) : NSUIGraphiteSlider(parent) {}

NSUIContextMaskOperatorTypeSlider::~NSUIContextMaskOperatorTypeSlider() = default;

void NSUIContextMaskOperatorTypeSlider::awakeFromNib() {
    setNumberOfTickMarks(kTickMarks);
    setMaxValue(kMaximum);
}

void NSUIContextMaskOperatorTypeSlider::setNumberOfTickMarks(int count) {
    mTickMarks = count < 0 ? 0 : count;
    if (mTickMarks < 2) {
        setTickPosition(QSlider::NoTicks);
        return;
    }
    setTickPosition(QSlider::TicksBelow);
    setTickInterval(kKnobSteps / (mTickMarks - 1));
}

int NSUIContextMaskOperatorTypeSlider::operatorType() const {
    return intValue();
}

void NSUIContextMaskOperatorTypeSlider::setOperatorType(int type) { setIntValue(type); }

bool import_NSUIContextMaskOperatorTypeSlider() { return import_NSSlider(); }
