// PointelNormalSlider: a default slider (see PointelDefaultSlider.h) whose default is 0.5.
#pragma once

#include "PointelDefaultSlider.h"

class PointelNormalSlider : public PointelDefaultSlider {
    Q_OBJECT
public:
    explicit PointelNormalSlider(QWidget *parent = nullptr);
    ~PointelNormalSlider() override;
    QVariant defaultObjectValue() const override { return QVariant(0.5); }
};
