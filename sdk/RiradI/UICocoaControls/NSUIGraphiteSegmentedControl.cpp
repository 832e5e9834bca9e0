#include "NSUIGraphiteSegmentedControl.h"

#include "NSUISliderBase.h"

#include <Foundation/NSObjCRuntime.h>

#include <QPalette>

NS_REGISTER_CLASS(NSUIGraphiteSegmentedControl);

NSUIGraphiteSegmentedControl::NSUIGraphiteSegmentedControl(QWidget *parent) : NSSegmentedControl(parent) {}

NSUIGraphiteSegmentedControl::~NSUIGraphiteSegmentedControl() = default;

void NSUIGraphiteSegmentedControl::awakeFromNib() { setControlTint(NSGraphiteControlTint); }

void NSUIGraphiteSegmentedControl::setControlTint(int tint) {
    mControlTint = tint;
    QPalette shown = palette();
    const QColor highlight = NSUISliderBase::highlightForTint(tint);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        shown.setColor(group, QPalette::Highlight, highlight.isValid() ? highlight : QPalette().color(group, QPalette::Highlight));
    setPalette(shown);
    update();
}

bool import_NSUIGraphiteSegmentedControl() { return true; }
