// PointelNormalOneHalfSlider: a default slider (see PointelDefaultSlider.h) whose default is 0.5.
#pragma once

#include "PointelDefaultSlider.h"

class PointelNormalOneHalfSlider : public PointelDefaultSlider {
    Q_OBJECT
public:
    explicit PointelNormalOneHalfSlider(QWidget *parent = nullptr);
    ~PointelNormalOneHalfSlider() override;
    QVariant defaultObjectValue() const override { return QVariant(0.5); }
};
