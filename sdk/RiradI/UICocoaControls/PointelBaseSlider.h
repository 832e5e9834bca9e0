// PointelBaseSlider: the base of the parameter panels' sliders, a clear slider (see
// NSUIClearSlider.h) that may name a default value and can make the small button cells the
// cell sliders carry at their start (PointelCellSlider.h).
//
// Set-up: initControlAttributes is the hook the family extends; each class's constructor runs
// its own step after its base's, whichever way the slider is made.
//
// Failed checks are reported through the debug log under the source
// "/Code/sdk/RiradI/NSUIMaskInstanceNibbler/PointelBaseControls".
#pragma once

#include "NSUIClearSlider.h"

#include <AppKit/NSButtonCell.h>
#include <AppKit/NSImage.h>

#include <QByteArray>
#include <QVariant>

#include <memory>

class PointelBaseSlider : public NSUIClearSlider {
    Q_OBJECT

public:
    explicit PointelBaseSlider(QWidget *parent = nullptr);
    ~PointelBaseSlider() override;

    // Returns the slider; nothing here.
    virtual PointelBaseSlider *initControlAttributes() { return this; }

    // The value a reset puts back; invalid (none) here.
    virtual QVariant defaultObjectValue() const { return {}; }

    // A new borderless picture cell of the type: shadowless square, image only, no title, no
    // highlighting and no grey or contents lighting, the up image, the down image as the
    // alternate image when given, the action and the target.
    static std::shared_ptr<NSButtonCell> buttonCellType(int type, std::shared_ptr<NSImage> upImage,
                                                        std::shared_ptr<NSImage> downImage, const QByteArray &action,
                                                        QObject *target);

    // Sends the slider's action to its target with the object, on the main thread, waiting
    // until it has run. Without target or action a failed check is reported and nothing sent.
    Q_INVOKABLE void performTargetActionWithObject(QObject *object);
};

bool import_PointelBaseSlider();
