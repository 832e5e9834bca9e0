// NSUISliderRotationView: a round dial standing in for a slider whose value is an angle. A
// slider (any control with a normal value) is attached; dragging on the dial sets it as a
// fraction of a full turn, clockwise from twelve o'clock, fires its action (NSSlider's
// sendAction, else the control's performClick with the view) and sends the view's own action
// with the angle in degrees (a float). The dial shows the slider's angle, turned by the
// slider's radialSliderOffsetDegrees.
//
// The mouse is followed by the modal mouse loop (NSView_ModalMouse): every step of the loop sets
// the slider from the point. The centre of the dial has no angle: points closer to it than
// kDeadRadius are ignored (the slider keeps its value).
//
// Drawing is by hand with the Core Graphics layer (NSViewQuartzPainting), in AppKit's space.
#pragma once

#include "NSUITargetActionView.h"

#include <UICocoaViews/NSView_ModalMouse.h>

#include <CoreGraphics/CoreGraphics.h>

#include <QPointer>

#include <optional>

// An angle in degrees taken modulo 360 into [0, 360), its fraction kept (−0.5 gives 359.5,
// −400 gives 320, 725.25 gives 5.25). A non-finite angle gives 0.
float NSUISliderRotationView_WrapDegrees(float degrees);
double NSUISliderRotationView_WrapDegrees(double degrees);

class NSUISliderRotationView : public NSUITargetActionView, public NSView_ModalMouse {
    Q_OBJECT
    Q_PROPERTY(QObject *synchronizedSlider READ synchronizedSlider)

public:
    // Points closer than this to the centre (in points) set nothing.
    static constexpr double kDeadRadius = 2.0;

    explicit NSUISliderRotationView(QWidget *parent = nullptr);
    ~NSUISliderRotationView() override;

    Q_INVOKABLE void awakeFromNib();
    bool acceptsFirstMouse(QMouseEvent *event) const override;

    QObject *synchronizedSlider() const { return mSynchronizedSlider.data(); }
    double synchronizedSliderInitialValue() const { return mSynchronizedSliderInitialValue; }

    // Attaches a slider; the one already attached only repeats the action with its angle.
    Q_INVOKABLE void attachSlider(QObject *slider);
    // With restore, puts the slider back to its value at attaching; then detaches it.
    Q_INVOKABLE void detachSliderControl(bool restore);

    // The object's value as a fraction of a turn: its normal value (any NSSlider, or an object
    // answering normalValue), else its float value as degrees wrapped ÷ 360; else reported, 0.
    static double objectNormalValue(QObject *object);
    // The dial angle of the object as a fraction of a turn (its offset added).
    static double radialSliderNormalValue(QObject *object);
    // The dial fraction of a point of the bounds (Qt coordinates): 0 up, 0.25 right, 0.5 down,
    // 0.75 left; nothing within kDeadRadius of the centre (or for a non-finite point).
    static std::optional<double> dialFractionOfPoint(const QRectF &bounds, QPointF point);

    void setSynchronizedSliderNormalValue(double normalValue);
    void updateTargetWithNormalValue(double normalValue);
    void synchronizeSliderFromPoint(QPointF point);
    Q_INVOKABLE void takeFloatValueFrom(QObject *sender);

    void modalMouseBegin(NSViewModalMouse &record) override;
    void modalMouseMove(NSViewModalMouse &record) override;
    void modalMouseUp(NSViewModalMouse &record) override;
    void modalMouseEnd(NSViewModalMouse &record) override;

    // Draws the dial into a context whose user space is the view's (AppKit's, y up).
    void drawRect(CGContextRef context, CGRect dirtyRect) const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<QObject> mSynchronizedSlider;
    double mSynchronizedSliderInitialValue = 0.0;
    int _recursion = 0;
};

bool import_NSUISliderRotationView();
