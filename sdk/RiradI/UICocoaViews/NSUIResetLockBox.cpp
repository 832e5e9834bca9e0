#include "NSUIResetLockBox.h"

#include <Foundation/NSObjCRuntime.h>

// Made by name when a .ui file names the class.
NS_REGISTER_CLASS(NSUIResetLockBox);

NSUIResetLockBox::NSUIResetLockBox(QWidget *parent) : NSUIResetBox(parent) {}

NSUIResetLockBox::~NSUIResetLockBox() = default;

void NSUIResetLockBox::awakeFromNib() {
    NSUIResetBox::awakeFromNib();
    mLockButton = addPushOnOffButton(boxImageNamed(QStringLiteral("LockButton")),
                                     boxImageNamed(QStringLiteral("LockedButton")), "buttonLockControls:")
                      .get();
}

void NSUIResetLockBox::setControlsLocked(bool locked) {
    if (mLockButton == nullptr) return;
    mLockButton->setIntegerValue(locked ? 1 : 0);
    update();
}

bool NSUIResetLockBox::controlsLocked() const { return mLockButton != nullptr && mLockButton->integerValue() != 0; }

void NSUIResetLockBox::buttonLockControls(QObject *) { (void)controlsLocked(); }

bool import_NSUIResetLockBox() { return import_NSUIResetBox(); }
