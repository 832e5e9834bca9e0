// NUCISquishyButton: a button that, while the mouse holds it down, shows its own face squished
// by a bump distortion ("CIBumpDistortion") that follows the mouse within the middle tenth of
// the face.
//
// Press (only when squishyEnabled; otherwise a press does nothing at all): the view's picture
// (transformedCurrentViewImage) becomes buttonDownImage and the filter's "inputImage", the
// bump's centre moves to the mouse, and the capture loop (UICocoaViews/protocol_MouseCapture.h)
// takes the drags and the release. Every event of the loop moves the centre: the mouse point
// normalised to the view (0 to 1 each way), each coordinate clamped to [0.45, 0.55], back to
// the face's pixels (origin bottom-left: the view's y is turned over). Release: the decisions
// below run on the release point, buttonDownImage is cleared and the view redrawn. A loop
// cancelled without a release (the button hidden, another press) decides nothing.
//
// One action per press. The release point is inside when its normalised x AND y both lie in
// [0, 1] (a release above or below the button is outside). On a release:
//   - shouldMouseUpPerformClick(point) (here: inside): performClick is queued on the main
//     thread; a click advances the state (for a button that shows it) and sends the action;
//   - otherwise shouldMouseUpSendTargetAction(point) (here: inside): performTargetAction is
//     queued, which sends the action without a click;
//   - otherwise nothing (a release outside cancels the press).
// The action goes to the target with the button as its argument (runtime's performSelector),
// when both are set. A click by the keyboard (Qt's click()) also sends the action once.
//
// The radius of the bump ("inputRadius") is ((w + h) / 2 + min(w, h)) / 2 x 0.45 x
// squishyAmountNormal for the face of w x h pixels (boundsSizePixels), recomputed whenever
// squishyAmountNormal changes; its scale ("inputScale") is -0.25.
//
// Drawing: drawRect draws the face (the cell), and while held the filter's output over the
// bounds. Everything here runs on the main thread (the queued click and action included).
#pragma once

#include <AppKit/NSButton.h>
#include <CoreImage/CIFilter.h>
#include <CoreImage/CIImage.h>
#include <UICocoaViews/protocol_MouseCapture.h>

#include <QByteArray>
#include <QPointF>
#include <QPointer>

class NUCISquishyButton : public NSButton, public protocol_MouseCapture {
    Q_OBJECT
    Q_PROPERTY(bool squishyEnabled READ squishyEnabled WRITE setSquishyEnabled)
    Q_PROPERTY(float squishyAmountNormal READ squishyAmountNormal WRITE setSquishyAmountNormal)
    Q_PROPERTY(QObject *target READ target WRITE setTarget)
    Q_PROPERTY(QByteArray action READ action WRITE setAction)

public:
    explicit NUCISquishyButton(QWidget *parent = nullptr);
    ~NUCISquishyButton() override;

    QObject *target() const { return mTarget.data(); }
    void setTarget(QObject *target) { mTarget = target; }
    QByteArray action() const { return mAction; }
    void setAction(const QByteArray &action) { mAction = action; }

    bool squishyEnabled() const { return mSquishyEnabled; }
    void setSquishyEnabled(bool enabled) { mSquishyEnabled = enabled; }
    float squishyAmountNormal() const { return mSquishyAmountNormal; }
    // Also recomputes the filter's radius.
    void setSquishyAmountNormal(float amount);

    // Set exactly while the mouse holds the button down.
    const CIImageRef &buttonDownImage() const { return mButtonDownImage; }
    const CIFilterRef &buttonDownFilter() const { return mButtonDownFilter; }

    virtual QString buttonDownFilterName() const { return QStringLiteral("CIBumpDistortion"); }
    // Makes the filter when there is none (a filter that cannot be made is left out).
    void createButtonDownFilter();
    // Scale -0.25, the centre in the middle of the face, and the radius.
    void setButtonDownFilterInputValues(const CIFilterRef &filter);
    void updateButtonDownFilterRadiusValue(const CIFilterRef &filter);

    // The bump radius for a face of that many pixels.
    static double bumpRadius(CGSize sizePixels, double squishyAmountNormal);
    // The bump centre for a point of a view of `size` (Qt's coordinates, y down), in the
    // face's pixels (origin bottom-left) at `scale` pixels a point.
    static CGPoint bumpCentre(QPointF point, QSizeF size, double scale);

    // The bounds' size times the screen's scale.
    CGSize boundsSizePixels() const;
    // The screen's device pixel ratio, 1.0 without a screen.
    double scaleForRetinaDisplay() const;

    // The view drawn into a picture of its bounds (at the screen's scale), as a Core Image
    // image, upright.
    CIImageRef currentViewImage();
    virtual CIImageRef transformedCurrentViewImage() { return currentViewImage(); }
    // Draws the image's extent into the rectangle of the current graphics context.
    void drawCIImage(const CIImageRef &image, CGRect rect);
    // The filter's output over the rectangle.
    void drawSquishyImageInRect(CGRect rect);

    // The decisions of a release at `point` (the view's coordinates).
    virtual bool shouldMouseUpPerformClick(QPointF point) const { return squishyShouldMouseUpPerformClick(point); }
    // Inside: the normalised x and y both in [0, 1].
    bool squishyShouldMouseUpPerformClick(QPointF point) const;
    virtual bool shouldMouseUpSendTargetAction(QPointF point) const { return squishyShouldMouseUpPerformClick(point); }

    // A click: Qt's click() (state, then the action).
    Q_INVOKABLE void performClick();
    // The action alone.
    Q_INVOKABLE void performTargetAction();

    // Capture hooks: each moves the bump's centre.
    void mouseCaptureBegin(MouseCaptureRecord &record) override;
    void mouseCaptureMove(MouseCaptureRecord &record) override;
    void mouseCaptureUp(MouseCaptureRecord &record) override;
    void mouseCaptureEnd(MouseCaptureRecord &record) override;

protected:
    void drawRect(CGRect dirtyRect) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    void moveBumpCentre(QPointF point);
    void sendTargetAction();

    QPointer<QObject> mTarget;
    QByteArray mAction;
    CIImageRef mButtonDownImage;
    CIFilterRef mButtonDownFilter;
    float mSquishyAmountNormal = 1.0f;
    bool mSquishyEnabled = true;
    bool mReleased = false;
    QPointF mReleasePoint;
};

bool import_NUCISquishyButton();
