// NSSliderCell: a horizontal slider drawn by its view (see NSCell.h) with the Qt style of the
// control view, as a standard control. The value runs from minValue to maxValue; with tick
// values only, tracking stops at the tick marks. A continuous slider sends its action at every
// change while tracked, another once at the release.
#pragma once

#include <AppKit/NSCell.h>

class QStyleOptionSlider;

enum NSTickMarkPosition : int { NSTickMarkBelow = 0, NSTickMarkAbove = 1 };

class NSSliderCell : public NSCell {
    Q_OBJECT
    Q_PROPERTY(double minValue READ minValue WRITE setMinValue)
    Q_PROPERTY(double maxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(int numberOfTickMarks READ numberOfTickMarks WRITE setNumberOfTickMarks)

public:
    NSSliderCell();
    ~NSSliderCell() override;

    double minValue() const { return mMinValue; }
    void setMinValue(double value);
    double maxValue() const { return mMaxValue; }
    void setMaxValue(double value);
    int numberOfTickMarks() const { return mNumberOfTickMarks; }
    void setNumberOfTickMarks(int count) { mNumberOfTickMarks = count < 0 ? 0 : count; }
    bool allowsTickMarkValuesOnly() const { return mTickValuesOnly; }
    void setAllowsTickMarkValuesOnly(bool only) { mTickValuesOnly = only; }
    int tickMarkPosition() const { return mTickMarkPosition; }
    void setTickMarkPosition(int position) { mTickMarkPosition = position; }

    // Kept between minValue and maxValue.
    void setDoubleValue(double value) override;
    // The value of the nearest tick mark (the value itself without tick marks).
    double closestTickMarkValueToValue(double value) const;

    // Height by control size (mini 12, small 15, regular 21), width the same.
    NSSize cellSize() const override;
    void drawWithFrame(const QRectF &frame, QWidget *controlView, QPainter &painter) const override;
    void trackMouseDown(QPointF point, const QRectF &frame, QWidget *controlView) override;
    void trackMouseDragged(QPointF point, const QRectF &frame, QWidget *controlView) override;
    bool trackMouseUp(QPointF point, const QRectF &frame, QWidget *controlView) override;

    // The value under a point of the frame (snapped when tick values only).
    double valueAtPoint(QPointF point, const QRectF &frame, QWidget *controlView) const;

private:
    void styleOption(QStyleOptionSlider &option, const QRectF &frame, QWidget *controlView) const;
    void trackTo(QPointF point, const QRectF &frame, QWidget *controlView);

    double mMinValue = 0;
    double mMaxValue = 1;
    int mNumberOfTickMarks = 0;
    bool mTickValuesOnly = false;
    int mTickMarkPosition = NSTickMarkBelow;
};
