// The cross-fader: a horizontal slider whose knob is the 70s hardware face (on state, 96 x 96
// pixels, named after the cell's class, "NSUICrossFaderSliderCell") scaled into the knob
// rectangle, over a bar of two lozenges: the frame inset by (5 % of its width, 33 % of its
// height) in grey 0.3, and over it the frame inset by (7.5 %, 40 %) in grey 0.1. The knob's
// rectangle is the control kit's (NSSliderCell_Labeling::calculateKnobRectForCellFrame).
//
// The mouse puts the knob's centre under it (clamped to the bar); each step sets the value,
// sends the action (the slider is continuous) and redraws.
//
// NSUICrossFaderSliderView holds one: at awakeFromNib it makes the slider filling its bounds,
// range 0.0 to 1.0, value 0.0, with the view's target and action.
#pragma once

#include <AppKit/NSImage.h>
#include <AppKit/NSSliderCell.h>
#include <CoreGraphics/CGGeometry.h>
#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUITargetActionView.h>

#include <QPointer>

#include <memory>

class NSUICrossFaderSliderCell : public NSSliderCell {
    Q_OBJECT
public:
    NSUICrossFaderSliderCell();
    ~NSUICrossFaderSliderCell() override;

    // The knob face (also the cell's image); made on first use (main thread).
    const std::shared_ptr<NSImage> &fadeKnob();
    // The last frame drawn.
    CGRect maxRect() const { return mMaxRect; }

    // Draws bar and knob into the current graphics context (y up), storing the frame.
    void drawCell(CGRect frame);
    void drawBarInside(CGRect rect);
    CGRect knobRect() const;

private:
    std::shared_ptr<NSImage> mFadeKnob;
    CGRect mMaxRect{};
};

class NSUICrossFaderSlider : public NSSlider {
    Q_OBJECT
public:
    explicit NSUICrossFaderSlider(QWidget *parent = nullptr);
    ~NSUICrossFaderSlider() override;

    NSUICrossFaderSliderCell *cell() const { return mCell.get(); }
    // The value under a point of the slider (its coordinates).
    double valueAtPoint(QPointF point) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void syncCell() const;
    void trackTo(QPointF point);

    std::shared_ptr<NSUICrossFaderSliderCell> mCell;
    bool mTracking = false;
};

class NSUICrossFaderSliderView : public NSUITargetActionView {
    Q_OBJECT
    Q_PROPERTY(double doubleValue READ doubleValue WRITE setDoubleValue)

public:
    explicit NSUICrossFaderSliderView(QWidget *parent = nullptr);
    ~NSUICrossFaderSliderView() override;

    NSUICrossFaderSlider *slider() const { return mSlider; }
    void setSlider(NSUICrossFaderSlider *slider) { mSlider = slider; }
    // The slider's value (0 without one).
    double doubleValue() const;
    void setDoubleValue(double value);

    // Makes the slider (once).
    Q_INVOKABLE void awakeFromNib();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QPointer<NSUICrossFaderSlider> mSlider;
};

bool import_NSUICrossFaderSlider();
