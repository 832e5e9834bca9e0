// NSUIBlueSlider: a slider of the blue control tint (see NSUISliderBase.h).
#pragma once

#include "NSUISliderBase.h"

class NSUIBlueSlider : public NSUISliderBase {
    Q_OBJECT

public:
    explicit NSUIBlueSlider(QWidget *parent = nullptr);
    ~NSUIBlueSlider() override;

    // The blue tint.
    NSUISliderBase *initCellAttributes() override;
};
