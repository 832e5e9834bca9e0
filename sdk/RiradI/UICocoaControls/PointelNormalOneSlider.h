// PointelNormalOneSlider: a default slider (see PointelDefaultSlider.h) whose default is 1.0.
#pragma once

#include "PointelDefaultSlider.h"

class PointelNormalOneSlider : public PointelDefaultSlider {
    Q_OBJECT
public:
    explicit PointelNormalOneSlider(QWidget *parent = nullptr);
    ~PointelNormalOneSlider() override;
    QVariant defaultObjectValue() const override { return QVariant(1.0); }
};
