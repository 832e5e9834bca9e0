#include "NSUIClearSlider.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIClearSlider);

NSUIClearSlider::NSUIClearSlider(QWidget *parent) : NSUISliderBase(parent) { NSUIClearSlider::initCellAttributes(); }

NSUIClearSlider::~NSUIClearSlider() = default;

NSUISliderBase *NSUIClearSlider::initCellAttributes() {
    setControlTint(NSClearControlTint);
    return this;
}
