#include "NSNeXTButton.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSNeXTButton);

NSNeXTButton::NSNeXTButton(QWidget *parent) : NSButton(parent) {}
NSNeXTButton::~NSNeXTButton() = default;

bool import_NSNeXTButton() { return true; }
