#include "NSSliderCell.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {
// Qt sliders hold integers: the value range is laid over this many steps.
constexpr int kSteps = 10000;

QStyle *StyleOf(QWidget *view) { return view != nullptr ? view->style() : QApplication::style(); }
}  // namespace

NSSliderCell::NSSliderCell() = default;
NSSliderCell::~NSSliderCell() = default;

void NSSliderCell::setMinValue(double value) {
    mMinValue = value;
    setDoubleValue(doubleValue());
}

void NSSliderCell::setMaxValue(double value) {
    mMaxValue = value;
    setDoubleValue(doubleValue());
}

void NSSliderCell::setDoubleValue(double value) {
    const double low = std::min(mMinValue, mMaxValue), high = std::max(mMinValue, mMaxValue);
    if (std::isnan(value)) value = low;
    NSCell::setDoubleValue(std::clamp(value, low, high));
}

double NSSliderCell::closestTickMarkValueToValue(double value) const {
    if (mNumberOfTickMarks < 1) return value;
    if (mNumberOfTickMarks == 1) return (mMinValue + mMaxValue) / 2;
    const double step = (mMaxValue - mMinValue) / (mNumberOfTickMarks - 1);
    if (step == 0) return mMinValue;
    const double index = std::clamp(std::round((value - mMinValue) / step), 0.0, double(mNumberOfTickMarks - 1));
    return mMinValue + index * step;
}

NSSize NSSliderCell::cellSize() const {
    const double side = controlSize() == NSMiniControlSize ? 12 : controlSize() == NSSmallControlSize ? 15 : 21;
    return NSMakeSize(side, side);
}

void NSSliderCell::styleOption(QStyleOptionSlider &option, const QRectF &frame, QWidget *controlView) const {
    if (controlView != nullptr) option.initFrom(controlView);
    option.rect = frame.toAlignedRect();
    option.orientation = Qt::Horizontal;
    option.minimum = 0;
    option.maximum = kSteps;
    const double span = mMaxValue - mMinValue;
    const int position = span == 0 ? 0 : int(std::lround((doubleValue() - mMinValue) / span * kSteps));
    option.sliderPosition = option.sliderValue = position;
    option.tickPosition = mNumberOfTickMarks < 1                      ? QSlider::NoTicks
                          : mTickMarkPosition == NSTickMarkAbove ? QSlider::TicksAbove
                                                                 : QSlider::TicksBelow;
    option.tickInterval = mNumberOfTickMarks > 1 ? kSteps / (mNumberOfTickMarks - 1) : 0;
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle |
                         (mNumberOfTickMarks > 0 ? QStyle::SC_SliderTickmarks : QStyle::SC_None);
    if (!isEnabled()) option.state &= ~QStyle::State_Enabled;
    if (isHighlighted()) {
        option.activeSubControls = QStyle::SC_SliderHandle;
        option.state |= QStyle::State_Sunken;
    }
}

void NSSliderCell::drawWithFrame(const QRectF &frame, QWidget *controlView, QPainter &painter) const {
    QStyleOptionSlider option;
    styleOption(option, frame, controlView);
    StyleOf(controlView)->drawComplexControl(QStyle::CC_Slider, &option, &painter, controlView);
}

double NSSliderCell::valueAtPoint(QPointF point, const QRectF &frame, QWidget *controlView) const {
    QStyleOptionSlider option;
    styleOption(option, frame, controlView);
    QStyle *style = StyleOf(controlView);
    const QRect groove = style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, controlView);
    const QRect handle = style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, controlView);
    const int length = handle.width();
    const int start = groove.x() + length / 2;
    const int span = std::max(1, groove.width() - length);
    const double fraction = std::clamp((point.x() - start) / span, 0.0, 1.0);
    const double value = mMinValue + fraction * (mMaxValue - mMinValue);
    return mTickValuesOnly ? closestTickMarkValueToValue(value) : value;
}

void NSSliderCell::trackTo(QPointF point, const QRectF &frame, QWidget *controlView) {
    const double before = doubleValue();
    setDoubleValue(valueAtPoint(point, frame, controlView));
    if (isContinuous() && doubleValue() != before) sendAction();
}

void NSSliderCell::trackMouseDown(QPointF point, const QRectF &frame, QWidget *controlView) {
    if (isEnabled()) trackTo(point, frame, controlView);
}

void NSSliderCell::trackMouseDragged(QPointF point, const QRectF &frame, QWidget *controlView) {
    if (isEnabled()) trackTo(point, frame, controlView);
}

bool NSSliderCell::trackMouseUp(QPointF point, const QRectF &frame, QWidget *controlView) {
    if (!isEnabled()) return false;
    trackTo(point, frame, controlView);
    if (!isContinuous()) sendAction();
    return frame.contains(point);
}
