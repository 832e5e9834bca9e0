// PointelOpacitySlider: an opacity slider whose default value is 1.0 (no reset button).
#pragma once

#include "PointelBaseSlider.h"

class PointelOpacitySlider : public PointelBaseSlider {
    Q_OBJECT
public:
    explicit PointelOpacitySlider(QWidget *parent = nullptr);
    ~PointelOpacitySlider() override;
    QVariant defaultObjectValue() const override { return QVariant(1.0); }
};
