// PointelKindSlider: the slider that chooses a kind (see PointelBaseSlider.h); nothing of its own.
#pragma once

#include "PointelBaseSlider.h"

class PointelKindSlider : public PointelBaseSlider {
    Q_OBJECT
public:
    explicit PointelKindSlider(QWidget *parent = nullptr);
    ~PointelKindSlider() override;
};
