// NSUIContextMaskShapeTypeSlider: the shape type slider of the mask designer: one tick per
// shape type; reads as the type number, limited to the shape types.
#pragma once

#include <UICocoaControls/NSUIGraphiteSlider.h>

class NSUIContextMaskShapeTypeSlider : public NSUIGraphiteSlider {
    Q_OBJECT
    Q_PROPERTY(int shapeType READ shapeType)

public:
    static constexpr int kTickMarks = 19;
    static constexpr int kMaximum = 18;

    Q_INVOKABLE explicit NSUIContextMaskShapeTypeSlider(QWidget *parent = nullptr);
    ~NSUIContextMaskShapeTypeSlider() override;

    // 19 tick marks, maximum 18.
    Q_INVOKABLE void awakeFromNib();

    // The integer value limited to 0 ... kMaximum.
    int shapeType() const;
};

bool import_NSUIContextMaskShapeTypeSlider();
