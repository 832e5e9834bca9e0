#include "NSUIMaskInstance320x240.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIMaskInstance320x240);

NSUIMaskInstance320x240::NSUIMaskInstance320x240(QWidget *parent) : NSUIMaskInstance(parent) {}

NSUIMaskInstance320x240::~NSUIMaskInstance320x240() = default;

CGSize NSUIMaskInstance320x240::defaultMaskInstanceSizePixels() const { return CGSizeMake(320, 240); }

bool import_NSUIMaskInstance320x240() { return import_NSUIMaskInstance(); }
