// NSUIContextMaskOperatorTypeSlider: the merge operator slider of the mask designer: one tick
// per operator; reads as the operator number (not limited: the merge treats unknown numbers as
// the maximum operator).
#pragma once

#include <UICocoaControls/NSUIGraphiteSlider.h>

class NSUIContextMaskOperatorTypeSlider : public NSUIGraphiteSlider {
    Q_OBJECT
    Q_PROPERTY(int operatorType READ operatorType WRITE setOperatorType)

public:
    static constexpr int kTickMarks = 12;
    static constexpr int kMaximum = 11;

    Q_INVOKABLE explicit NSUIContextMaskOperatorTypeSlider(QWidget *parent = nullptr);
    ~NSUIContextMaskOperatorTypeSlider() override;

    // 12 tick marks, maximum 11.
    Q_INVOKABLE void awakeFromNib();

    // The integer value as it is.
    int operatorType() const;
    void setOperatorType(int type);
};

bool import_NSUIContextMaskOperatorTypeSlider();
