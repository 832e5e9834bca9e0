// PointelDeltaSlider: a default slider (see PointelDefaultSlider.h) for signed changes, whose default is 0.5 (no change).
#pragma once

#include "PointelDefaultSlider.h"

class PointelDeltaSlider : public PointelDefaultSlider {
    Q_OBJECT
public:
    explicit PointelDeltaSlider(QWidget *parent = nullptr);
    ~PointelDeltaSlider() override;
    QVariant defaultObjectValue() const override { return QVariant(0.5); }
};
