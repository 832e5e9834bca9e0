// PointelAngleDeltaSlider: a slider of a signed angle change: its middle is no change, so a
// reset puts it there (normal value 0.5) and a round view shows it turned by 180 degrees.
#pragma once

#include "PointelAngleSlider.h"

class PointelAngleDeltaSlider : public PointelAngleSlider {
    Q_OBJECT
public:
    explicit PointelAngleDeltaSlider(QWidget *parent = nullptr);
    ~PointelAngleDeltaSlider() override;

    double radialSliderOffsetDegrees() const override { return 180.0; }

protected:
    double resetNormalValue() const override { return 0.5; }
};
