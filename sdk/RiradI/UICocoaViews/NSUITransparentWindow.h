// NSUITransparentWindow: a borderless overlay window that lies exactly over another window, its
// underlay, and follows it. It floats above normal windows (Qt::WindowStaysOnTopHint, the
// status level), has a translucent background and no shadow, and holds an overlay view that
// can be shown or hidden without the window ever being ordered out.
//
// Following: Qt's move and resize events of the underlay stand in for its did-move and
// did-resize notifications (an event filter, removed when either window goes). A resize
// copies the underlay's whole frame (frame geometry, so an underlay with a title bar is
// covered whole), a move copies the frame's origin. The overlay never changes the underlay.
//
// NSUITransparentWindowView: the overlay view; it paints itself clear, so the window stays
// see-through wherever no child draws.
#pragma once

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <Foundation/NSNotification.h>

class NSUITransparentWindowView;

class NSUITransparentWindow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QWidget *outletUnderlayWindow READ underlayWindow WRITE setUnderlayWindow)
    Q_PROPERTY(NSUITransparentWindowView *outletUIOverlayView READ overlayView WRITE setOverlayView)
public:
    // Borderless, made at once, whatever style, backing or deferral is asked for.
    explicit NSUITransparentWindow(const QRect &contentRect = {}, unsigned styleMask = 0, int backing = 2,
                                   bool defer = false, QWidget *parent = nullptr);
    ~NSUITransparentWindow() override;

    // The borderless overlay can take the keyboard focus.
    Q_INVOKABLE bool canBecomeKeyWindow() const { return true; }
    Q_INVOKABLE void awakeFromNib();

    QWidget *underlayWindow() const { return mUnderlayWindow; }
    // Stores the underlay; a non-null one is followed at once.
    void setUnderlayWindow(QWidget *window);
    // setUnderlayWindow when the sender is a window; otherwise reported, nothing changes.
    Q_INVOKABLE void setUnderlayWindowObject(QObject *sender);
    NSUITransparentWindowView *overlayView() const { return mUIOverlayView; }
    void setOverlayView(NSUITransparentWindowView *view) { mUIOverlayView = view; }

    // Starts following the underlay (reported without one).
    Q_INVOKABLE void bindToUnderlayWindow();
    Q_INVOKABLE void windowDidResize(const NSNotification &notification);
    Q_INVOKABLE void windowDidMove(const NSNotification &notification);
    Q_INVOKABLE void windowWillMove(const NSNotification &notification);
    // The underlay's frame (reported without one).
    Q_INVOKABLE void syncronizeWindowSizes();
    // The underlay's frame origin (reported without one).
    Q_INVOKABLE void syncronizeWindowPositions();
    Q_INVOKABLE void syncOverlayPositionFromUnderlayPosition();
    Q_INVOKABLE void syncUnderlayWindowSizePosition(QObject *sender = nullptr);

    // Shadow off, the overlay view shown or hidden, the window at the smooth-show opacity.
    Q_INVOKABLE void showOverlayView(QObject *sender = nullptr);
    Q_INVOKABLE void hideOverlayView(QObject *sender = nullptr);
    Q_INVOKABLE void setSmoothShowHideWindowOpacity(double opacity);
    // Opacity 0.99 and 0.1.
    Q_INVOKABLE void smoothShowWindow(QObject *sender = nullptr);
    Q_INVOKABLE void smoothHideWindow(QObject *sender = nullptr);

    bool hasShadow() const;
    // Keeps a shown window shown (changing a window flag hides it in Qt).
    void setHasShadow(bool hasShadow);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void unbind();

    QPointer<QWidget> mUnderlayWindow;
    QPointer<NSUITransparentWindowView> mUIOverlayView;
    QPointer<QWidget> mBoundWindow;
};

class NSUITransparentWindowView : public QWidget {
    Q_OBJECT
public:
    explicit NSUITransparentWindowView(QWidget *parent = nullptr);

    Q_INVOKABLE void awakeFromNib();
    // Its window's smoothShowWindow (when it is a transparent window), then shown or hidden.
    Q_INVOKABLE void ensureOverlayVisible(QObject *sender = nullptr);
    Q_INVOKABLE void ensureOverlayHidden(QObject *sender = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

bool import_NSUITransparentWindow();
