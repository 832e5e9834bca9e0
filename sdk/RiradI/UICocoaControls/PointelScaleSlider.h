// PointelScaleSlider: a default slider (see PointelDefaultSlider.h) for scale factors from 0.1 to 6.0 whose default is 1.0.
#pragma once

#include "PointelDefaultSlider.h"

class PointelScaleSlider : public PointelDefaultSlider {
    Q_OBJECT
public:
    explicit PointelScaleSlider(QWidget *parent = nullptr);
    ~PointelScaleSlider() override;
    QVariant defaultObjectValue() const override { return QVariant(1.0); }
};
