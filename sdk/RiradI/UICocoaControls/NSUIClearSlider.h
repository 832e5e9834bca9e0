// NSUIClearSlider: a slider of the clear control tint (see NSUISliderBase.h).
#pragma once

#include "NSUISliderBase.h"

class NSUIClearSlider : public NSUISliderBase {
    Q_OBJECT

public:
    explicit NSUIClearSlider(QWidget *parent = nullptr);
    ~NSUIClearSlider() override;

    // The clear tint.
    NSUISliderBase *initCellAttributes() override;
};
