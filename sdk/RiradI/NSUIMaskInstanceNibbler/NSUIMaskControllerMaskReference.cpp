#include "NSUIMaskControllerMaskReference.h"

#include <Foundation/NSObjCRuntime.h>

NS_REGISTER_CLASS(NSUIMaskControllerMaskReference);

NSUIMaskControllerMaskReference::NSUIMaskControllerMaskReference(QWidget *parent) : NSUIMaskController(parent) {}

NSUIMaskControllerMaskReference::~NSUIMaskControllerMaskReference() = default;

CoreGraphics::CompositeMask *NSUIMaskControllerMaskReference::compositeMask() {
    return _CompositeMaskPtr != nullptr ? _CompositeMaskPtr : &sharedNullCompositeMask();
}

void NSUIMaskControllerMaskReference::awakeFromNib() {
    NSUIMaskController::awakeFromNib();
    isContextConstructed();
}

bool import_NSUIMaskControllerMaskReference() { return import_NSUIMaskController(); }
