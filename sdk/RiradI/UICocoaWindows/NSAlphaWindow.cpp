#include "NSAlphaWindow.h"

#include <CoreX/CoreMachDebugLog.h>

#include <QEvent>
#include <QMouseEvent>

namespace {

constexpr char kFile[] = "/Code/sdk/RiradI/UICocoaWindows/NSAlphaWindow";

void CheckMoveLoopLinked(const char *function, int line) {
    if (!import_category_NSWindow_MouseMoveSize())
        _CoreMachDebugVerifyBody(function, kFile, line, " code : import_category_NSWindow_MouseMoveSize()");
}

// Borderless whatever the style mask asks; a panel is a tool window.
void MakeBorderless(QWidget *window, const QRect &contentRect, bool panel) {
    window->setWindowFlags((panel ? Qt::Tool : Qt::Window) | Qt::FramelessWindowHint);
    if (contentRect.isValid()) window->setGeometry(contentRect);
}

// A press anywhere moves the panel (the hit region is worked out, then region 0 is used).
void PanelMouseDown(category_NSWindow_MouseMoveSize &moveSize, QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    (void)moveSize.windowMouseMoveSize_MouseHitTest(*event, QSizeF(32, 32));
    moveSize.windowMouseMoveSize_FromHitRegion(*event, NSWindow_MouseMoveSize::kHitNone);
    event->accept();
}

}  // namespace

void NSUIAlphaWindow::NSAlphaWindow_setProperties(bool shadow) {
    mAlphaWindow->setAttribute(Qt::WA_TranslucentBackground, true);
    mAlphaWindow->setAttribute(Qt::WA_NoSystemBackground, true);
    mAlphaWindow->setAutoFillBackground(false);
    mAlphaWindow->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    mAlphaWindow->setWindowOpacity(1.0);
    setHasShadow(shadow);
}

bool NSUIAlphaWindow::hasShadow() const { return !mAlphaWindow->windowFlags().testFlag(Qt::NoDropShadowWindowHint); }

void NSUIAlphaWindow::setHasShadow(bool shadow) {
    if (hasShadow() == shadow) return;
    const bool visible = mAlphaWindow->isVisible();
    mAlphaWindow->setWindowFlag(Qt::NoDropShadowWindowHint, !shadow);
    if (visible) mAlphaWindow->show();
}

void NSUIAlphaWindow::alphaWindowEvent(QEvent *event) {
    if (event->type() != QEvent::Polish || mSubclassInitialised) return;
    mSubclassInitialised = true;
    NSAlphaWindow_initSubclass();
}

NSAlphaWindowWithShadow::NSAlphaWindowWithShadow(const QRect &contentRect, unsigned, int, bool, QWidget *parent)
    : QWidget(parent), NSUIAlphaWindow(this) {
    MakeBorderless(this, contentRect, false);
    NSAlphaWindow_setProperties(true);
}

bool NSAlphaWindowWithShadow::event(QEvent *event) {
    alphaWindowEvent(event);
    return QWidget::event(event);
}

NSAlphaWindowWithoutShadow::NSAlphaWindowWithoutShadow(const QRect &contentRect, unsigned, int, bool, QWidget *parent)
    : QWidget(parent), NSUIAlphaWindow(this) {
    MakeBorderless(this, contentRect, false);
    NSAlphaWindow_setProperties(false);
}

bool NSAlphaWindowWithoutShadow::event(QEvent *event) {
    alphaWindowEvent(event);
    return QWidget::event(event);
}

NSAlphaPanelWithShadow::NSAlphaPanelWithShadow(const QRect &contentRect, unsigned, int, bool, QWidget *parent)
    : QWidget(parent), NSUIAlphaWindow(this), category_NSWindow_MouseMoveSize(this) {
    CheckMoveLoopLinked("-[NSAlphaPanelWithShadow initWithContentRect:styleMask:backing:defer:]", 75);
    MakeBorderless(this, contentRect, true);
    NSAlphaWindow_setProperties(true);
}

bool NSAlphaPanelWithShadow::acceptsFirstMouse(QMouseEvent *) const { return true; }

bool NSAlphaPanelWithShadow::event(QEvent *event) {
    alphaWindowEvent(event);
    return QWidget::event(event);
}

void NSAlphaPanelWithShadow::mousePressEvent(QMouseEvent *event) { PanelMouseDown(*this, event); }

NSAlphaPanelWithoutShadow::NSAlphaPanelWithoutShadow(const QRect &contentRect, unsigned, int, bool, QWidget *parent)
    : QWidget(parent), NSUIAlphaWindow(this), category_NSWindow_MouseMoveSize(this) {
    CheckMoveLoopLinked("-[NSAlphaPanelWithoutShadow initWithContentRect:styleMask:backing:defer:]", 102);
    MakeBorderless(this, contentRect, true);
    NSAlphaWindow_setProperties(false);
}

bool NSAlphaPanelWithoutShadow::acceptsFirstMouse(QMouseEvent *) const { return true; }

bool NSAlphaPanelWithoutShadow::event(QEvent *event) {
    alphaWindowEvent(event);
    return QWidget::event(event);
}

void NSAlphaPanelWithoutShadow::mousePressEvent(QMouseEvent *event) { PanelMouseDown(*this, event); }

bool import_NSAlphaWindow() { return true; }
