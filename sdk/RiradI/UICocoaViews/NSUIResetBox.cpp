#include "NSUIResetBox.h"

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

// Made by name when a .ui file names the class.
NS_REGISTER_CLASS(NSUIResetBox);

namespace {
constexpr const char *kFile = "/Code/sdk/RiradI/UICocoaViews/NSUIResetBox";
constexpr const char *kResetSelector = "resetBoxControls:";
constexpr const char *kChangedSelector = "changedBoxControls:";
}  // namespace

NSUIResetBox::NSUIResetBox(QWidget *parent) : NSUIRetroBox(parent) { NSUIResetBox::initBoxAttributes(); }

NSUIResetBox::~NSUIResetBox() = default;

void NSUIResetBox::initBoxAttributes() {
    mTarget = nullptr;
    mAction.clear();
    NSUIRetroBox::initBoxAttributes();
}

void NSUIResetBox::awakeFromNib() {
    NSUIRetroBox::awakeFromNib();
    addPushButton(boxImageNamed(QStringLiteral("ResetButton")), boxImageNamed(QStringLiteral("ResetButtonDown")),
                  "buttonResetBoxControls:");
    update();
}

void NSUIResetBox::buttonResetBoxControls(QObject *sender) {
    if (respondsToSelector(this, kResetSelector)) {
        performSelector(this, kResetSelector, QVariant::fromValue(sender));
        return;
    }
    QObject *receiver = target();
    if (respondsToSelector(receiver, kResetSelector))
        performSelectorOnMainThread(receiver, kResetSelector, QVariant::fromValue<QObject *>(this), false);
}

void NSUIResetBox::performChangedBoxControlsNotification(const QVariant &object) {
    if (respondsToSelector(this, kChangedSelector)) {
        performSelector(this, kChangedSelector, object);
        return;
    }
    QObject *receiver = target();
    if (respondsToSelector(receiver, kChangedSelector))
        performSelectorOnMainThread(receiver, kChangedSelector, QVariant::fromValue<QObject *>(this), true);
}

void NSUIResetBox::performTargetActionWithObject(const QVariant &object) {
    static constexpr const char *kFunction = "-[NSUIResetBox performTargetActionWithObject:]";
    QObject *receiver = target();
    if (receiver == nullptr) {
        _CoreMachDebugVerifyBody(kFunction, kFile, 70, " code : [self target]");
        return;
    }
    if (mAction.isEmpty()) {
        _CoreMachDebugVerifyBody(kFunction, kFile, 70, " code : [self action]");
        return;
    }
    performSelectorOnMainThread(receiver, mAction, object, true);
}

bool import_NSUIResetBox() { return import_NSUIRetroBox(); }
