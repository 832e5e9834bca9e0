// PointelNormalZeroSlider: a default slider (see PointelDefaultSlider.h) whose default is 0.0.
#pragma once

#include "PointelDefaultSlider.h"

class PointelNormalZeroSlider : public PointelDefaultSlider {
    Q_OBJECT
public:
    explicit PointelNormalZeroSlider(QWidget *parent = nullptr);
    ~PointelNormalZeroSlider() override;
    QVariant defaultObjectValue() const override { return QVariant(0.0); }
};
