// NSUIMaskControllerMaskReference: a mask controller that drives another object's composite
// (not owned: the owner keeps it alive while the reference uses it). Until one is set it
// uses the shared null composite.
#pragma once

#include "NSUIMaskController.h"

class NSUIMaskControllerMaskReference : public NSUIMaskController {
    Q_OBJECT

public:
    Q_INVOKABLE explicit NSUIMaskControllerMaskReference(QWidget *parent = nullptr);
    ~NSUIMaskControllerMaskReference() override;

    void setCompositeMask(CoreGraphics::CompositeMask *mask) { _CompositeMaskPtr = mask; }
    CoreGraphics::CompositeMask *compositeMask() override;

    // The controller's set-up, then a check that a composite is there (reported when not).
    void awakeFromNib() override;

private:
    CoreGraphics::CompositeMask *_CompositeMaskPtr = nullptr;
};

bool import_NSUIMaskControllerMaskReference();
