#include "NSUINfoGraffikToggle.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUINfoGraffikToggle);

NSUINfoGraffikToggle::NSUINfoGraffikToggle(QWidget *parent) : NSUIToggleButton(parent) {
    NSUIToolButton_InitInfoGraffik(this, kKind);
    initToolAttributes();
}

NSUINfoGraffikToggle::~NSUINfoGraffikToggle() = default;

void NSUINfoGraffikToggle::awakeFromNib() {
    NSUIToolButton_InitInfoGraffik(this, kKind);
    NSUIToggleButton::awakeFromNib();
}
