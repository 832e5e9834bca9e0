// PointelAngleSlider: a slider of an angle; a reset puts it at the start of its range (normal
// value 0) and sends the action.
#pragma once

#include "PointelBaseSlider.h"

class PointelAngleSlider : public PointelBaseSlider {
    Q_OBJECT
public:
    explicit PointelAngleSlider(QWidget *parent = nullptr);
    ~PointelAngleSlider() override;

    // The normal value of the reset, then the action with the sender.
    Q_INVOKABLE virtual void resetDefaultValue(QObject *sender);

protected:
    virtual double resetNormalValue() const { return 0.0; }
};
