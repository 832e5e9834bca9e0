#include "NSUIMaskInstance640x480.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIMaskInstance640x480);

NSUIMaskInstance640x480::NSUIMaskInstance640x480(QWidget *parent) : NSUIMaskInstance(parent) {}

NSUIMaskInstance640x480::~NSUIMaskInstance640x480() = default;

CGSize NSUIMaskInstance640x480::defaultMaskInstanceSizePixels() const { return CGSizeMake(640, 480); }

bool import_NSUIMaskInstance640x480() { return import_NSUIMaskInstance(); }
