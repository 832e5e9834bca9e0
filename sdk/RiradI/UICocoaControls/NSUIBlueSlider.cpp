#include "NSUIBlueSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIBlueSlider);

NSUIBlueSlider::NSUIBlueSlider(QWidget *parent) : NSUISliderBase(parent) { NSUIBlueSlider::initCellAttributes(); }

NSUIBlueSlider::~NSUIBlueSlider() = default;

NSUISliderBase *NSUIBlueSlider::initCellAttributes() {
    setControlTint(NSBlueControlTint);
    return this;
}
