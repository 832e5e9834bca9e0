// NSUIFirstClickApp: the click that activates the application acts at once on a view that
// accepts the first mouse.
//
// The application-level event filter stands in for sendEvent:. Qt's form of the activation
// event is QEvent::ApplicationActivate (sent to the application when it gains its first active
// window, i.e. when it was inactive). Its window is the newly active window; without one the
// top-level windows are searched for the one under the pointer. When the view under the
// pointer accepts the first mouse, a left press (a single click: a plain press, not a
// double-click) is made at the pointer with the current modifiers and sent through the
// window's QWindow, as the window system would, so the view gets it with Qt's implicit grab
// and the release that follows; the window is raised and activated.
//
// Linux usually passes the activating click through to the window already (the window manager
// replays it after focusing): a press Qt has already delivered (the left button is down) means
// nothing is made, and a real left press reaching that window within the double-click interval
// after a made one is the same click and is swallowed.
//
// A view accepts the first mouse by answering a Q_INVOKABLE `bool acceptsFirstMouse(QMouseEvent*)`
// with true; a widget without that method refuses it.
#pragma once

#include <Foundation/NSApplication.h>

#include <QElapsedTimer>
#include <QPointer>
#include <QWidget>

class QMouseEvent;

class NSUIFirstClickApp : public NSApplication {
    Q_OBJECT
public:
    NSUIFirstClickApp();
    ~NSUIFirstClickApp() override;

    // True when the event was taken (not to be dispatched further).
    bool sendEvent(QObject *receiver, QEvent *event);

    // Whether the view answers YES to acceptsFirstMouse with the event.
    static bool viewAcceptsFirstMouse(QWidget *view, QMouseEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool firstClick(QEvent *event);

    QPointer<QWidget> mMadeClickWindow;
    QElapsedTimer mMadeClickTime;
};

bool import_NSUIFirstClickApp();
