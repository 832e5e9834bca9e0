#include "NSUISliderBase.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUISliderBase);

NSUISliderBase::NSUISliderBase(QWidget *parent) : NSSlider(parent), mStylePalette(palette()) {
    initCellAttributes();
}

NSUISliderBase::~NSUISliderBase() = default;

bool NSUISliderBase::acceptsFirstMouse(QMouseEvent *) const { return true; }

QColor NSUISliderBase::highlightForTint(int tint) {
    switch (tint) {
    case NSBlueControlTint: return QColor(0, 122, 255);
    case NSGraphiteControlTint: return QColor(142, 142, 147);
    case NSClearControlTint: return QColor(0, 0, 0, 0);
    default: return QColor();
    }
}

void NSUISliderBase::setControlTint(int tint) {
    mControlTint = tint;
    QPalette shown = mStylePalette;
    if (const QColor highlight = highlightForTint(tint); highlight.isValid()) {
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            shown.setColor(group, QPalette::Highlight, highlight);
    }
    setPalette(shown);
    update();
}

bool import_NSUISliderBase() { return true; }
