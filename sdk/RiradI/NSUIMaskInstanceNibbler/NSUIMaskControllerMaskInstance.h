// NSUIMaskControllerMaskInstance: a mask controller with a composite of its own, made with
// the object and built at the class's default size when its nib wakes (or when code sends
// awakeFromNib). Subclasses choose another default size.
#pragma once

#include "NSUIMaskController.h"

class NSUIMaskControllerMaskInstance : public NSUIMaskController {
    Q_OBJECT

public:
    Q_INVOKABLE explicit NSUIMaskControllerMaskInstance(QWidget *parent = nullptr);
    ~NSUIMaskControllerMaskInstance() override;

    // 320 x 240.
    virtual CGSize defaultMaskInstanceSizePixels() const;

    CoreGraphics::CompositeMask *compositeMask() override { return _CompositeMask.get(); }

    // The controller's set-up, then the composite is built at the default size unless it is
    // built already.
    void awakeFromNib() override;

private:
    NSUIMaskCompositeLayers::Owned _CompositeMask = NSUIMaskCompositeLayers::Create();
};

bool import_NSUIMaskControllerMaskInstance();
