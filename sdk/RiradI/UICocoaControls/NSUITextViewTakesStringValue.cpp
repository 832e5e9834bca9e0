#include "NSUITextViewTakesStringValue.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUITextViewTakesStringValue);

NSUITextViewTakesStringValue::NSUITextViewTakesStringValue(QWidget *parent) : NSTextView(parent) {}

NSUITextViewTakesStringValue::~NSUITextViewTakesStringValue() = default;

void NSUITextViewTakesStringValue::takeStringValueFrom(QObject *sender) {
    setStringValue(performSelector(sender, "stringValue").toString());
}

bool import_NSUITextViewTakesStringValue() { return import_NSTextView(); }
