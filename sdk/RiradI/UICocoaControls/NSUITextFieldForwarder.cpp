#include "NSUITextFieldForwarder.h"

#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUITextFieldForwarder);

NSUITextFieldForwarder::NSUITextFieldForwarder(QWidget *parent) : NSTextField(parent) {}

NSUITextFieldForwarder::~NSUITextFieldForwarder() = default;

void NSUITextFieldForwarder::forwardActionEventFrom(QObject *) {
    QObject *messageTarget = target();
    const QByteArray messageAction = action();
    if (messageTarget == nullptr || messageAction.isEmpty()) return;
    if (!respondsToSelector(messageTarget, messageAction)) return;
    performSelectorOnMainThread(messageTarget, messageAction, NSKeyValueCoding::variantFromObject(this), true);
}

void NSUITextFieldForwarder::takeDoubleValueFrom(QObject *sender) {
    NSTextField::takeDoubleValueFrom(sender);
    forwardActionEventFrom(sender);
}

void NSUITextFieldForwarder::takeFloatValueFrom(QObject *sender) {
    NSTextField::takeFloatValueFrom(sender);
    forwardActionEventFrom(sender);
}

void NSUITextFieldForwarder::takeIntValueFrom(QObject *sender) {
    NSTextField::takeIntValueFrom(sender);
    forwardActionEventFrom(sender);
}

void NSUITextFieldForwarder::takeObjectValueFrom(QObject *sender) {
    NSTextField::takeObjectValueFrom(sender);
    forwardActionEventFrom(sender);
}

void NSUITextFieldForwarder::takeStringValueFrom(QObject *sender) {
    NSTextField::takeStringValueFrom(sender);
    forwardActionEventFrom(sender);
}

bool import_NSUITextFieldForwarder() { return import_NSTextField(); }
