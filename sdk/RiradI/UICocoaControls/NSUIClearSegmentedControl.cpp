#include "NSUIClearSegmentedControl.h"

#include "NSUISliderBase.h"

#include <Foundation/NSObjCRuntime.h>

#include <QPalette>

NS_REGISTER_CLASS(NSUIClearSegmentedControl);

NSUIClearSegmentedControl::NSUIClearSegmentedControl(QWidget *parent) : NSSegmentedControl(parent) {}

NSUIClearSegmentedControl::~NSUIClearSegmentedControl() = default;

void NSUIClearSegmentedControl::awakeFromNib() { setControlTint(NSClearControlTint); }

void NSUIClearSegmentedControl::setControlTint(int tint) {
    mControlTint = tint;
    QPalette shown = palette();
    const QColor highlight = NSUISliderBase::highlightForTint(tint);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        shown.setColor(group, QPalette::Highlight, highlight.isValid() ? highlight : QPalette().color(group, QPalette::Highlight));
    setPalette(shown);
    update();
}

bool import_NSUIClearSegmentedControl() { return true; }
