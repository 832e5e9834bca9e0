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

void NSUIContextMaskShapeTypeSlider::setNumberOfTickMarks(int count) {
    mTickMarks = count < 0 ? 0 : count;
    if (mTickMarks < 2) {
        setTickPosition(QSlider::NoTicks);
        return;
    }
    setTickPosition(QSlider::TicksBelow);
    setTickInterval(kKnobSteps / (mTickMarks - 1));
}

int NSUIContextMaskShapeTypeSlider::shapeType() const {
    return std::clamp(intValue(), 0, kMaximum);
}

bool import_NSUIContextMaskShapeTypeSlider() { return import_NSSlider(); }
