#include "LumoraWindow.h"

#include <CoreGraphics/CGWindowCompositing.h>
#include <Foundation/NSException.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaViews/NSUIGradientView.h>

#include <QMouseEvent>
#include <QPalette>
#include <QWindow>

#include <mutex>

NS_REGISTER_CLASS(LumoraWindow);
NS_REGISTER_CLASS(LumoraPanel);

namespace LumoraWindowProperties {

namespace {

constexpr char kMovableProperty[] = "movableByWindowBackground";
constexpr char kAlphaProperty[] = "alphaValue";

bool Translucent() {
    const bool compositing = CGWindowServerIsCompositing();
    static std::once_flag logged;
    std::call_once(logged, [compositing] {
        NSLog(compositing ? QStringLiteral("Lumora windows: compositing manager found, backgrounds translucent")
                          : QStringLiteral("Lumora windows: no compositing manager, backgrounds opaque"));
    });
    return compositing;
}

}  // namespace

void setCommonProperties(QWidget *window, const QColor &background) {
    if (window == nullptr) return;
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, background);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
    window->setWindowOpacity(kAlphaValue);
    window->setProperty(kAlphaProperty, kAlphaValue);
    const bool translucent = Translucent();
    window->setAttribute(Qt::WA_TranslucentBackground, translucent);
    if (!translucent) window->setAttribute(Qt::WA_NoSystemBackground, false);
    if (window->windowFlags().testFlag(Qt::NoDropShadowWindowHint)) {
        const bool visible = window->isVisible();
        window->setWindowFlag(Qt::NoDropShadowWindowHint, false);
        if (visible) window->show();
    }
    window->setProperty(kMovableProperty, true);
}

float alphaValue(const QWidget *window) {
    if (window == nullptr) return 0.0f;
    const QVariant alpha = window->property(kAlphaProperty);
    return alpha.isValid() ? alpha.toFloat() : float(window->windowOpacity());
}

bool isMovableByWindowBackground(const QWidget *window) {
    return window != nullptr && window->property(kMovableProperty).toBool();
}

QWidget *contentView(const QWidget *window) {
    if (window == nullptr) return nullptr;
    if (auto *named = window->findChild<QWidget *>(QStringLiteral("contentView"), Qt::FindDirectChildrenOnly))
        return named;
    return window->findChild<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
}

bool moveByBackground(QWidget *window, category_NSWindow_MouseMoveSize &moveLoop, QMouseEvent *event) {
    if (event->button() != Qt::LeftButton || !isMovableByWindowBackground(window)) return false;
    if (QWindow *handle = window->windowHandle(); handle != nullptr && handle->startSystemMove()) return true;
    return moveLoop.windowMouseMoveSize_FromHitRegion(*event, NSWindow_MouseMoveSize::kHitNone);
}

}  // namespace LumoraWindowProperties

// ---- LumoraWindow

LumoraWindow::LumoraWindow(const QRect &contentRect, unsigned, int, bool, QWidget *parent)
    : QWidget(parent, Qt::Window), category_NSWindow_MouseMoveSize(this) {
    if (contentRect.isValid()) setGeometry(contentRect);
    setWindowProperties(this);
}

LumoraWindow::~LumoraWindow() = default;

void LumoraWindow::setWindowProperties(QWidget *window) {
    LumoraWindowProperties::setCommonProperties(window, windowBackgroundColor());
}

void LumoraWindow::awakeFromNib() {
    if (auto *gradient = qobject_cast<NSUIGradientView *>(LumoraWindowProperties::contentView(this))) {
        gradient->setStartColor(windowBackgroundColorTwo());
        gradient->setEndColor(windowBackgroundColor());
    }
}

void LumoraWindow::mousePressEvent(QMouseEvent *event) {
    if (LumoraWindowProperties::moveByBackground(this, *this, event))
        event->accept();
    else
        QWidget::mousePressEvent(event);
}

// ---- LumoraPanel

LumoraPanel::LumoraPanel(const QRect &contentRect, unsigned, int, bool, QWidget *parent)
    : QWidget(parent, Qt::Tool), category_NSWindow_MouseMoveSize(this) {
    if (contentRect.isValid()) setGeometry(contentRect);
    setPanelProperties(this);
}

LumoraPanel::~LumoraPanel() = default;

void LumoraPanel::setPanelProperties(QWidget *panel) {
    LumoraWindowProperties::setCommonProperties(panel, panelBackgroundColor());
    if (auto *gradient = qobject_cast<NSUIGradientView *>(LumoraWindowProperties::contentView(panel))) {
        gradient->setStartColor(systemGrayColor());
        gradient->setEndColor(panelBackgroundColor());
    }
}

void LumoraPanel::awakeFromNib() { setPanelProperties(this); }

void LumoraPanel::mousePressEvent(QMouseEvent *event) {
    if (LumoraWindowProperties::moveByBackground(this, *this, event))
        event->accept();
    else
        QWidget::mousePressEvent(event);
}

bool import_LumoraWindow() { return import_category_NSWindow_MouseMoveSize(); }
