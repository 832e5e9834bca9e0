#include "NSUINfoGraffikRadio.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUINfoGraffikRadio);

NSUINfoGraffikRadio::NSUINfoGraffikRadio(QWidget *parent) : NSUIToggleButton(parent) {
    NSUIToolButton_InitInfoGraffik(this, kKind);
    initToolAttributes();
}

NSUINfoGraffikRadio::~NSUINfoGraffikRadio() = default;

void NSUINfoGraffikRadio::awakeFromNib() {
    NSUIToolButton_InitInfoGraffik(this, kKind);
    NSUIToggleButton::awakeFromNib();
}
