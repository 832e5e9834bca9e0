// CIImageMouseDragView: a view that shows a Core Image image and lets the user drag out two
// points over it; four sliders (outlets) mirror the points: p0 = (x0, y0), p1 = (x1, y1).
// Points are normalised to the view (0 to 1 across and up: the origin is the bottom-left
// corner, as in the image the view shows). The tint stage edits its gradient with it.
//
// A drag: a press stores the point as t0 and t1 and starts the drag; each move sets t1 and
// redraws; the release sets t1, then p0 = t0 and p1 = t1 (into the sliders, announcing "p0"
// and "p1"), sends the view's action at once with the view as the object, redraws, and
// resets t0 and t1 to (0, 0). A drag that leaves the view ends there as if released at the
// point where it left (on the view's edge). Leaving the view without a drag changes no point
// and sends nothing (it only gives the window back its mouse tracking and redraws).
//
// Entering remembers whether the window tracked the mouse (wasTracking), makes it track and
// gives the view the focus; leaving restores it.
//
// Sliders: each slider's action is sliderChanged: x0 or y0 announce "p0", x1 or y1 "p1"
// (another sender is ignored); then the action and a redraw. viewControlsWereUpdated
// announces both, sends the action and redraws.
//
// Drawing: the image over the bounds; then, unless slidersHidden, the selection: while no
// drag is in progress four dashed black lines (2 on, 3 off, width 0.3333) through the whole
// view at p0 and p1 and a white outline (width 3) from p0 to p1; while dragging one black
// line of width 6 with round caps from t0 to t1. The image is drawing state: see
// CIImageDisplayView.h for the main-thread rule.
#pragma once

#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUITargetActionView.h>

#include <CoreImage/CIImage.h>

#include <QPointF>
#include <QPointer>

class CIImageMouseDragView : public NSUITargetActionView {
    Q_OBJECT
    Q_PROPERTY(NSSlider *_slider_x0 READ sliderX0 WRITE setSliderX0)
    Q_PROPERTY(NSSlider *_slider_y0 READ sliderY0 WRITE setSliderY0)
    Q_PROPERTY(NSSlider *_slider_x1 READ sliderX1 WRITE setSliderX1)
    Q_PROPERTY(NSSlider *_slider_y1 READ sliderY1 WRITE setSliderY1)
    Q_PROPERTY(QPointF p0 READ p0 WRITE setP0 NOTIFY p0Changed)
    Q_PROPERTY(QPointF p1 READ p1 WRITE setP1 NOTIFY p1Changed)
    Q_PROPERTY(bool slidersHidden READ slidersHidden WRITE setSlidersHidden)
    Q_PROPERTY(bool wasTracking READ wasTracking WRITE setWasTracking)

public:
    explicit CIImageMouseDragView(QWidget *parent = nullptr);
    ~CIImageMouseDragView() override;

    NSSlider *sliderX0() const { return mSliders[0]; }
    NSSlider *sliderY0() const { return mSliders[1]; }
    NSSlider *sliderX1() const { return mSliders[2]; }
    NSSlider *sliderY1() const { return mSliders[3]; }
    // Each outlet's action becomes sliderChanged: with this view as the target.
    void setSliderX0(NSSlider *slider) { setSlider(0, slider); }
    void setSliderY0(NSSlider *slider) { setSlider(1, slider); }
    void setSliderX1(NSSlider *slider) { setSlider(2, slider); }
    void setSliderY1(NSSlider *slider) { setSlider(3, slider); }

    // Single precision, from the sliders (the values kept here when a slider is missing).
    QPointF p0() const;
    QPointF p1() const;
    void setP0(QPointF point);
    void setP1(QPointF point);

    const CIImageRef &image() const { return mImage; }
    void setImage(CIImageRef image);
    bool slidersHidden() const { return mSlidersHidden; }
    // Hides or shows the four sliders too.
    void setSlidersHidden(bool hidden);
    bool wasTracking() const { return mWasTracking; }
    void setWasTracking(bool tracking) { mWasTracking = tracking; }

    QPointF t0() const { return mT0; }
    QPointF t1() const { return mT1; }
    bool isMouseDragging() const { return mDragging; }

    // The normalised point of a point of the view (Qt's coordinates, y down), and back.
    QPointF normalPointFromViewPoint(QPointF point) const;
    QPointF viewPointFromNormalPoint(QPointF normal) const;

    void beginTrackingNormal(QPointF normal);
    // Ends a drag in progress at the point (mouseUp: a real release, else the drag left the
    // view); nothing without a drag.
    void endTrackingNormal(QPointF normal, bool mouseUp);
    // Sets both points, announces them, sends the action and redraws.
    void updateActionWithPoint0(QPointF point0, QPointF point1);
    Q_INVOKABLE void sliderChanged(QObject *sender);
    void updateActionWithSlider(QObject *slider) { sliderChanged(slider); }
    // Announces "p0" and "p1".
    void allSlidersChangedUpdateDependentKeys();
    Q_INVOKABLE void viewControlsWereUpdated();
    void updateViewControls() override {}
    void setSliderValues() {}

signals:
    void p0Changed();
    void p1Changed();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void setSlider(int index, NSSlider *slider);
    QPointF point(int x, int y, QPointF kept) const;
    void sendAction();

    QPointer<NSSlider> mSliders[4];
    QPointF mP0, mP1;  // kept for missing sliders
    QPointF mT0, mT1;
    QPointF mLastNormal;
    bool mDragging = false;
    bool mWasTracking = false;
    bool mSlidersHidden = false;
    CIImageRef mImage;
};

bool import_CIImageMouseDragView();
