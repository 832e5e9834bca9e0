// PointelDefaultZeroSlider: a default slider (see PointelDefaultSlider.h) whose default is 0.0.
#pragma once

#include "PointelDefaultSlider.h"

class PointelDefaultZeroSlider : public PointelDefaultSlider {
    Q_OBJECT
public:
    explicit PointelDefaultZeroSlider(QWidget *parent = nullptr);
    ~PointelDefaultZeroSlider() override;
    QVariant defaultObjectValue() const override { return QVariant(0.0); }
};
