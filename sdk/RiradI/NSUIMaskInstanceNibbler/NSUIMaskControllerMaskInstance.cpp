#include "NSUIMaskControllerMaskInstance.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIMaskControllerMaskInstance);

NSUIMaskControllerMaskInstance::NSUIMaskControllerMaskInstance(QWidget *parent) : NSUIMaskController(parent) {}

NSUIMaskControllerMaskInstance::~NSUIMaskControllerMaskInstance() = default;

CGSize NSUIMaskControllerMaskInstance::defaultMaskInstanceSizePixels() const { return CGSizeMake(320, 240); }

void NSUIMaskControllerMaskInstance::awakeFromNib() {
    NSUIMaskController::awakeFromNib();
    if (!NSUIMaskCompositeLayers::IsConstructed(*_CompositeMask)) setMaskDimensions(defaultMaskInstanceSizePixels());
}

bool import_NSUIMaskControllerMaskInstance() { return import_NSUIMaskController(); }
