#include "NSUINfoGraffikRoundPushOnPushOff.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUINfoGraffikRoundPushOnPushOff);

NSUINfoGraffikRoundPushOnPushOff::NSUINfoGraffikRoundPushOnPushOff(QWidget *parent) : NSUIToggleButton(parent) {
    NSUIToolButton_InitInfoGraffik(this, kKind);
    initToolAttributes();
}

NSUINfoGraffikRoundPushOnPushOff::~NSUINfoGraffikRoundPushOnPushOff() = default;

void NSUINfoGraffikRoundPushOnPushOff::initCellAttributes(NSButtonCell *buttonCell) {
    NSUIToggleButton::initCellAttributes(buttonCell);
    if (buttonCell == nullptr) return;
    buttonCell->setCellAttribute(NSCellLightsByContents, 1);
    buttonCell->setButtonType(NSPushOnPushOffButton);
}

void NSUINfoGraffikRoundPushOnPushOff::awakeFromNib() {
    NSUIToolButton_InitInfoGraffik(this, kKind);
    NSUIToggleButton::awakeFromNib();
}
