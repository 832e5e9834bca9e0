// PointelDefaultOneSlider: a default slider (see PointelDefaultSlider.h) whose default is 1.0.
#pragma once

#include "PointelDefaultSlider.h"

class PointelDefaultOneSlider : public PointelDefaultSlider {
    Q_OBJECT
public:
    explicit PointelDefaultOneSlider(QWidget *parent = nullptr);
    ~PointelDefaultOneSlider() override;
    QVariant defaultObjectValue() const override { return QVariant(1.0); }
};
