// NSUIScrubControl: a small upright strip beside a movie slider for scrubbing finely around the
// movie's position. While the left button is held in the strip, the control's normal value is
// the movie slider's knob position at the press plus an offset given by the height of the
// mouse: the strip spans a fiftieth of the movie, from 0.01 below the press position at its
// bottom edge to 0.01 above at its top (not clamped to [0, 1]: near the movie's ends the value
// runs past them). Otherwise the control's normal value is the movie slider's (the movie's
// position while it has a movie). Every step of the press delivers the action with the control
// at once; the target seeks the movie to the control's normal value.
//
// The movie slider is an outlet (_grossSlider), not owned; without one the control reads 0 at
// rest and takes 0 as the position at the press. The mouse is followed by the modal mouse loop
// (NSView_ModalMouse): the press (Begin), each drag (Move), the release (Up) and the end of the
// loop (End) scrub from the mouse; with the option (Alt) key held at the press there are no
// Move calls. When the loop ends the control goes back to rest (the fine value 0.5) without a
// further action.
//
// Drawing is by hand with the Core Graphics layer, in AppKit's space (y up).
#pragma once

#include "NSUIMovieSlider.h"
#include "NSUITargetActionView.h"

#include <UICocoaViews/NSView_ModalMouse.h>

#include <CoreGraphics/CoreGraphics.h>

#include <QPointer>

class NSUIScrubControl : public NSUITargetActionView, public NSView_ModalMouse {
    Q_OBJECT
    Q_PROPERTY(NSUIMovieSlider *_grossSlider READ grossSlider WRITE setGrossSlider)
    Q_PROPERTY(double normalValue READ normalValue WRITE setNormalValue)
    Q_PROPERTY(double combinedNormalValue READ combinedNormalValue)
    Q_PROPERTY(double defaultValue READ defaultValue)

public:
    explicit NSUIScrubControl(QWidget *parent = nullptr);
    ~NSUIScrubControl() override;

    Q_INVOKABLE void awakeFromNib();
    bool acceptsFirstMouse(QMouseEvent *event) const override;

    NSUIMovieSlider *grossSlider() const { return _grossSlider.data(); }
    void setGrossSlider(NSUIMovieSlider *slider) { _grossSlider = slider; }

    // The height of the mouse in the strip: held within [0, 1] (NaN as 0); 0.5 at rest. Sets no
    // action going.
    Q_INVOKABLE void setNormalValue(double normalValue);
    double fineNormalValue() const { return _fineNormalValue; }
    // The knob's position taken at the press (0 at rest).
    double grossNormalValue() const { return _grossNormalValue; }
    bool mouseDownInSelf() const { return _mouseDownInSelf; }

    // The fine value narrowed to single precision, less 0.5 (within [-0.5, 0.5]), ÷ 50, plus the
    // position taken at the press.
    double combinedNormalValue() const;
    // The movie slider's normal value; 0 without one.
    double defaultValue() const;
    // combinedNormalValue while the mouse is held in the strip, else defaultValue.
    double normalValue() const;

    // The fine value from the height of a point (Qt coordinates: 0 at the top edge gives 1, the
    // bottom edge 0), then the action with the control.
    void scrubFromPoint(QPointF point);

    void modalMouseBegin(NSViewModalMouse &record) override;
    void modalMouseMove(NSViewModalMouse &record) override;
    void modalMouseUp(NSViewModalMouse &record) override;
    void modalMouseEnd(NSViewModalMouse &record) override;

    // Draws the strip into a context whose user space is the view's (y up).
    void drawRect(CGContextRef context, CGRect bounds) const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPointer<NSUIMovieSlider> _grossSlider;
    double _fineNormalValue = 0.5;
    double _grossNormalValue = 0.0;
    bool _mouseDownInSelf = false;
};

bool import_NSUIScrubControl();
