// Borderless see-through windows and panels: a clear background at the normal window level, so
// that only what their widgets draw is seen. The panels (Qt tool windows) move when dragged
// anywhere, through the window move loop.
//
// Whatever style, backing or deferral is asked for, the window is borderless
// (Qt::FramelessWindowHint) and made at once. Set-up (NSUIAlphaWindow::NSAlphaWindow_setProperties)
// gives it a translucent background, full opacity and the class's shadow; the subclass hook
// NSAlphaWindow_initSubclass runs last, when the window is first polished (before it is first
// shown), so that a subclass's own override is the one called.
#pragma once

#include <QRect>
#include <QWidget>

#include "category_NSWindow_MouseMoveSize.h"

// NSWindow(NSUIAlphaWindow), on any top-level widget.
class NSUIAlphaWindow {
public:
    explicit NSUIAlphaWindow(QWidget *window) : mAlphaWindow(window) {}
    virtual ~NSUIAlphaWindow() = default;

    // Clear background, normal level, alpha 1.0, not opaque, shadow as the flag says.
    void NSAlphaWindow_setProperties(bool hasShadow);
    // Hook for subclasses, run last in the set-up; nothing here.
    virtual void NSAlphaWindow_initSubclass() {}

    bool hasShadow() const;
    // Keeps a shown window shown (changing a window flag hides it in Qt).
    void setHasShadow(bool hasShadow);

protected:
    // Call from the window's event(): runs the hook once, at the first polish.
    void alphaWindowEvent(QEvent *event);

private:
    QWidget *mAlphaWindow;
    bool mSubclassInitialised = false;
};

class NSAlphaWindowWithShadow : public QWidget, public NSUIAlphaWindow {
    Q_OBJECT
public:
    explicit NSAlphaWindowWithShadow(const QRect &contentRect = {}, unsigned styleMask = 0, int backing = 2,
                                     bool defer = false, QWidget *parent = nullptr);

protected:
    bool event(QEvent *event) override;
};

class NSAlphaWindowWithoutShadow : public QWidget, public NSUIAlphaWindow {
    Q_OBJECT
public:
    explicit NSAlphaWindowWithoutShadow(const QRect &contentRect = {}, unsigned styleMask = 0, int backing = 2,
                                        bool defer = false, QWidget *parent = nullptr);
    void NSAlphaWindow_initSubclass() override {}

protected:
    bool event(QEvent *event) override;
};

// The panels take the first click and move when dragged (the corner hit region is computed and
// the move loop started with region 0, so a press in a corner moves the panel too).
class NSAlphaPanelWithShadow : public QWidget, public NSUIAlphaWindow, public category_NSWindow_MouseMoveSize {
    Q_OBJECT
public:
    explicit NSAlphaPanelWithShadow(const QRect &contentRect = {}, unsigned styleMask = 0, int backing = 2,
                                    bool defer = false, QWidget *parent = nullptr);
    Q_INVOKABLE bool acceptsFirstMouse(QMouseEvent *event) const;

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
};

class NSAlphaPanelWithoutShadow : public QWidget, public NSUIAlphaWindow, public category_NSWindow_MouseMoveSize {
    Q_OBJECT
public:
    explicit NSAlphaPanelWithoutShadow(const QRect &contentRect = {}, unsigned styleMask = 0, int backing = 2,
                                       bool defer = false, QWidget *parent = nullptr);
    Q_INVOKABLE bool acceptsFirstMouse(QMouseEvent *event) const;
    void NSAlphaWindow_initSubclass() override {}

protected:
    bool event(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
};

bool import_NSAlphaWindow();
