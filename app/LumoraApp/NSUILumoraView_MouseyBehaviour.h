// NSUILumoraView(MouseyBehaviour): passes the mouse over the camera view to the render buffer,
// so that effect compositions can follow it. A plain move sets only the render buffer's
// normalised point; a left press sets its mouse event and point for the length of the drag
// (the view's mouse-capture loop) and clears the event when the loop ends.
//
// Attach one to the view (it filters the view's mouse events and turns mouse tracking on); the
// render buffer is asked for at each event, so it may be replaced or absent. Points are
// normalised to the view with the origin at the bottom left. Main thread only.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <UICocoaViews/protocol_MouseCapture.h>

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class LumoraRenderBuffer;
class QMouseEvent;

class NSUILumoraView_MouseyBehaviour : public QObject, public protocol_MouseCapture {
public:
    using BufferSource = std::function<LumoraRenderBuffer *()>;
    NSUILumoraView_MouseyBehaviour(QWidget *view, BufferSource renderBuffer);
    ~NSUILumoraView_MouseyBehaviour() override;

    // A click that activates the window also reaches the view.
    static bool acceptsFirstMouse(const QMouseEvent *) { return true; }

    void updateLumoraRenderBufferWithMouseEvent(const QMouseEvent *event);
    void mouseMoved(const QMouseEvent *event);
    void mouseDown(const QMouseEvent *event);

    void mouseCaptureBegin(MouseCaptureRecord &record) override;
    void mouseCaptureMove(MouseCaptureRecord &record) override;
    void mouseCaptureIdle(MouseCaptureRecord &record) override;
    void mouseCaptureUp(MouseCaptureRecord &record) override;
    void mouseCaptureEnd(MouseCaptureRecord &record) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    CGPoint normalizedPoint(const QMouseEvent *event) const;
    QPointer<QWidget> mView;
    BufferSource mRenderBuffer;
};

bool import_NSUILumoraView_MouseyBehaviour();
