#include "NSUIGraphiteSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIGraphiteSlider);

NSUIGraphiteSlider::NSUIGraphiteSlider(QWidget *parent) : NSUISliderBase(parent) { NSUIGraphiteSlider::initCellAttributes(); }

NSUIGraphiteSlider::~NSUIGraphiteSlider() = default;

NSUISliderBase *NSUIGraphiteSlider::initCellAttributes() {
    setControlTint(NSGraphiteControlTint);
    return this;
}
