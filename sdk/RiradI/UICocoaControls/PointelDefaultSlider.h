// PointelDefaultSlider: a cell slider with a mini reset button at its start that puts it back
// to its default value, tinted graphite while it sits at the default and blue otherwise. The
// tint follows every change of the value (code, mouse, keyboard). Its subclasses differ only
// in the default value (and the scale slider in its range).
//
// The reset button's picture is the named image "PLSliderMiniReset" (a resource of the
// application; a small drawn picture stands in without one).
#pragma once

#include "PointelCellSlider.h"

class PointelDefaultSlider : public PointelCellSlider {
    Q_OBJECT

public:
    explicit PointelDefaultSlider(QWidget *parent = nullptr);
    ~PointelDefaultSlider() override;

    // The integer 0 here.
    QVariant defaultObjectValue() const override { return QVariant(0); }

    // The slider's value set to the object's double value.
    Q_INVOKABLE void setObjectValue(const QVariant &value);
    // The default value, then the action with the sender.
    Q_INVOKABLE virtual void resetDefaultValue(QObject *sender);
    // The value equals the default's double value exactly.
    bool hasDefaultValue() const;
    // Graphite at the default, blue otherwise.
    void updateCellTint();

    // The reset button's picture.
    static std::shared_ptr<NSImage> miniResetImage();
};

bool import_PointelDefaultSlider();
