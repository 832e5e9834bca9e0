#include "NSUIMaskInstance.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIMaskInstance);

NSUIMaskInstance::NSUIMaskInstance(QWidget *parent) : NSUIMaskControllerMaskInstance(parent) {}

NSUIMaskInstance::~NSUIMaskInstance() = default;

bool import_NSUIMaskInstance() { return import_NSUIMaskControllerMaskInstance(); }
