#include "NSUIMaskReference.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIMaskReference);

NSUIMaskReference::NSUIMaskReference(QWidget *parent) : NSUIMaskControllerMaskReference(parent) {}

NSUIMaskReference::~NSUIMaskReference() = default;

bool import_NSUIMaskReference() { return import_NSUIMaskControllerMaskReference(); }
