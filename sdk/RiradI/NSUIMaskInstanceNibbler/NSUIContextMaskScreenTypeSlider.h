// NSUIContextMaskScreenTypeSlider: the screen type slider of the mask designer: one tick per
// screen type; reads as the type number, limited to the screen types.
#pragma once

#include <UICocoaControls/NSUIGraphiteSlider.h>

class NSUIContextMaskScreenTypeSlider : public NSUIGraphiteSlider {
    Q_OBJECT
    Q_PROPERTY(int screenType READ screenType)

public:
    static constexpr int kTickMarks = 20;
    static constexpr int kMaximum = 19;

    Q_INVOKABLE explicit NSUIContextMaskScreenTypeSlider(QWidget *parent = nullptr);
    ~NSUIContextMaskScreenTypeSlider() override;

    // 20 tick marks, maximum 19.
    Q_INVOKABLE void awakeFromNib();

    // The integer value limited to 0 ... kMaximum.
    int screenType() const;
};

bool import_NSUIContextMaskScreenTypeSlider();
