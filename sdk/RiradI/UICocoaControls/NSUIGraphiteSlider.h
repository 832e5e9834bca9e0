// NSUIGraphiteSlider: a slider of the graphite control tint (see NSUISliderBase.h).
#pragma once

#include "NSUISliderBase.h"

class NSUIGraphiteSlider : public NSUISliderBase {
    Q_OBJECT

public:
    explicit NSUIGraphiteSlider(QWidget *parent = nullptr);
    ~NSUIGraphiteSlider() override;

    // The graphite tint.
    NSUISliderBase *initCellAttributes() override;
};
