#include "NSUITransparentWindow.h"

#include <CoreX/CoreMachDebugLog.h>

#include <QEvent>
#include <QPainter>

inline constexpr char NSWindowDidResizeNotification[] = "NSWindowDidResizeNotification";
inline constexpr char NSWindowDidMoveNotification[] = "NSWindowDidMoveNotification";

namespace {

constexpr char kFile[] = "/Code/sdk/RiradI/UICocoaViews/NSUITransparentWindow";

bool CheckUnderlay(const QWidget *underlay, const char *function, int line) {
    if (underlay != nullptr) return true;
    _CoreMachDebugVerifyBody(function, kFile, line, " code : mUnderlayWindow");
    return false;
}

}  // namespace

NSUITransparentWindow::NSUITransparentWindow(const QRect &contentRect, unsigned, int, bool, QWidget *parent)
    : QWidget(parent) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint);
    setAttribute(Qt::WA_TranslucentBackground, true);
    setAttribute(Qt::WA_NoSystemBackground, true);
    setAutoFillBackground(false);
    setWindowOpacity(1.0);
    if (contentRect.isValid()) setGeometry(contentRect);
}

NSUITransparentWindow::~NSUITransparentWindow() { unbind(); }

void NSUITransparentWindow::awakeFromNib() {
    if (mUnderlayWindow) bindToUnderlayWindow();
}

void NSUITransparentWindow::setUnderlayWindow(QWidget *window) {
    mUnderlayWindow = window;
    if (window != nullptr) bindToUnderlayWindow();
}

void NSUITransparentWindow::setUnderlayWindowObject(QObject *sender) {
    auto *window = qobject_cast<QWidget *>(sender);
    if (window == nullptr || !window->isWindow()) {
        _CoreMachDebugVerifyBody("-[NSUITransparentWindow setUnderlayWindowObject:]", kFile, 118,
                                 " code : [sender isKindOfClass:[NSWindow class]]");
        return;
    }
    setUnderlayWindow(window);
}

void NSUITransparentWindow::unbind() {
    if (mBoundWindow) mBoundWindow->removeEventFilter(this);
    mBoundWindow = nullptr;
}

void NSUITransparentWindow::bindToUnderlayWindow() {
    if (!CheckUnderlay(mUnderlayWindow, "-[NSUITransparentWindow bindToUnderlayWindow]", 109)) return;
    if (mBoundWindow == mUnderlayWindow) return;
    unbind();
    mBoundWindow = mUnderlayWindow;
    mBoundWindow->installEventFilter(this);
}

bool NSUITransparentWindow::eventFilter(QObject *watched, QEvent *event) {
    if (watched == mBoundWindow) {
        if (event->type() == QEvent::Resize)
            windowDidResize(NSNotification(NSWindowDidResizeNotification, watched));
        else if (event->type() == QEvent::Move)
            windowDidMove(NSNotification(NSWindowDidMoveNotification, watched));
    }
    return false;
}

void NSUITransparentWindow::windowDidResize(const NSNotification &notification) {
    if (mUnderlayWindow && notification.object() == mUnderlayWindow) syncronizeWindowSizes();
}

void NSUITransparentWindow::windowDidMove(const NSNotification &notification) {
    if (mUnderlayWindow && notification.object() == mUnderlayWindow) syncronizeWindowPositions();
}

void NSUITransparentWindow::windowWillMove(const NSNotification &notification) {
    if (mUnderlayWindow && notification.object() == mUnderlayWindow) syncronizeWindowPositions();
}

void NSUITransparentWindow::syncronizeWindowSizes() {
    if (!CheckUnderlay(mUnderlayWindow, "-[NSUITransparentWindow syncronizeWindowSizes]", 60)) return;
    setGeometry(mUnderlayWindow->frameGeometry());
    update();
}

void NSUITransparentWindow::syncronizeWindowPositions() {
    if (!CheckUnderlay(mUnderlayWindow, "-[NSUITransparentWindow syncronizeWindowPositions]", 51)) return;
    move(mUnderlayWindow->frameGeometry().topLeft());
}

void NSUITransparentWindow::syncOverlayPositionFromUnderlayPosition() { syncronizeWindowPositions(); }

void NSUITransparentWindow::syncUnderlayWindowSizePosition(QObject *) {
    syncronizeWindowSizes();
    syncronizeWindowPositions();
}

void NSUITransparentWindow::showOverlayView(QObject *sender) {
    setHasShadow(false);
    if (mUIOverlayView) mUIOverlayView->show();
    smoothShowWindow(sender);
}

void NSUITransparentWindow::hideOverlayView(QObject *sender) {
    setHasShadow(false);
    if (mUIOverlayView) mUIOverlayView->hide();
    smoothShowWindow(sender);
}

void NSUITransparentWindow::setSmoothShowHideWindowOpacity(double opacity) { setWindowOpacity(opacity); }

void NSUITransparentWindow::smoothShowWindow(QObject *) { setSmoothShowHideWindowOpacity(0.99); }

void NSUITransparentWindow::smoothHideWindow(QObject *) { setSmoothShowHideWindowOpacity(0.1); }

bool NSUITransparentWindow::hasShadow() const { return !windowFlags().testFlag(Qt::NoDropShadowWindowHint); }

void NSUITransparentWindow::setHasShadow(bool shadow) {
    if (hasShadow() == shadow) return;
    const bool visible = isVisible();
    setWindowFlag(Qt::NoDropShadowWindowHint, !shadow);
    if (visible) show();
}

NSUITransparentWindowView::NSUITransparentWindowView(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_TranslucentBackground, true);
    setAutoFillBackground(false);
}

void NSUITransparentWindowView::awakeFromNib() { update(); }

void NSUITransparentWindowView::ensureOverlayVisible(QObject *sender) {
    if (auto *window = qobject_cast<NSUITransparentWindow *>(this->window())) window->smoothShowWindow(sender);
    if (isHidden()) show();
}

void NSUITransparentWindowView::ensureOverlayHidden(QObject *sender) {
    if (auto *window = qobject_cast<NSUITransparentWindow *>(this->window())) window->smoothShowWindow(sender);
    if (!isHidden()) hide();
}

void NSUITransparentWindowView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
}

bool import_NSUITransparentWindow() { return true; }
