// NSUIColorWheelView: draws a colour wheel controller on black and selects the slice under the
// mouse. Presses, drags and releases all select (through the modal mouse loop); the click's
// distance from the centre does not matter, only its angle about the view's centre.
#pragma once

#include "UFColorWheelHueSlice.h"

#include <UICocoaViews/NSView_ModalMouse.h>

#include <CoreGraphics/CGContext.h>

#include <QPointF>
#include <QPointer>
#include <QWidget>

class UFColorWheelController;
Q_MOC_INCLUDE(<UICocoaColor/UFColorWheelController.h>)

class NSUIColorWheelView : public QWidget, public NSView_ModalMouse {
    Q_OBJECT
    Q_PROPERTY(QObject *delegate READ delegate WRITE setDelegate)
    Q_PROPERTY(UFColorWheelController *colorWheel READ colorWheel WRITE setColorWheel)

public:
    // The inset of the wheel from the view's edges.
    static constexpr CGFloat kWheelInset = 16;

    Q_INVOKABLE explicit NSUIColorWheelView(QWidget *parent = nullptr);
    ~NSUIColorWheelView() override;

    QObject *delegate() const { return mDelegate.data(); }
    void setDelegate(QObject *delegate) { mDelegate = delegate; }
    UFColorWheelController *colorWheel() const;
    void setColorWheel(UFColorWheelController *wheel);
    uint selectedSliceIndex() const { return mSelectedSliceIndex; }

    bool isOpaque() const { return false; }

    // Black, then the wheel in the bounds inset by kWheelInset (y up).
    void drawRect(CGContextRef context, CGRect bounds) const;

    // A point normalised to the view (Qt's: y down) selects the slice at its angle.
    void mouseSelectionEvent(QPointF normalized);
    // (x, y) from the centre, y up: radius and angle clockwise from the top in [0, 2π).
    static UFPolarPoint mouseHitTestUnitPoint(CGPoint unit);

    // Redisplays at once, then tells the delegate.
    Q_INVOKABLE void colorWheelControllerDidChange(QObject *controller);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void modalMouseBegin(NSViewModalMouse &record) override;
    void modalMouseMove(NSViewModalMouse &record) override;
    void modalMouseUp(NSViewModalMouse &record) override;

private:
    void selectAtViewPoint(QPointF point);

    QPointer<QObject> mDelegate;
    uint mSelectedSliceIndex = 0;
    QPointer<UFColorWheelController> mColorWheel;
};

bool import_NSUIColorWheelView();
