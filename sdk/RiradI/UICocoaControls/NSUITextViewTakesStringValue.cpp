#include "NSUITextViewTakesStringValue.h"

#include <Foundation/NSObjCRuntime.h>

NSUITextViewTakesStringValue::NSUITextViewTakesStringValue(QWidget *parent) : NSTextView(parent) {}

NSUITextViewTakesStringValue::~NSUITextViewTakesStringValue() = default;

void NSUITextViewTakesStringValue::takeStringValueFrom(QObject *sender) {
    setStringValue(performSelector(sender, "stringValue").toString());
}

bool import_NSUITextViewTakesStringValue() { return import_NSTextView(); }
