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

void NSUIContextMaskScreenTypeSlider::setNumberOfTickMarks(int count) {
    mTickMarks = count < 0 ? 0 : count;
    if (mTickMarks < 2) {
        setTickPosition(QSlider::NoTicks);
        return;
    }
    setTickPosition(QSlider::TicksBelow);
    setTickInterval(kKnobSteps / (mTickMarks - 1));
}

int NSUIContextMaskScreenTypeSlider::screenType() const {
    return std::clamp(intValue(), 0, kMaximum);
}

bool import_NSUIContextMaskScreenTypeSlider() { return import_NSSlider(); }
