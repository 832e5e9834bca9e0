// The application's main window and panels: a light grey background (a grey gradient when the
// content view is a gradient view), an alpha value of 0.99999, a shadow, and moved by dragging
// their background.
//
// "Not opaque" means a translucent background (Qt::WA_TranslucentBackground) only where a
// compositing manager runs (CGWindowServerIsCompositing): without one an X window with an
// alpha channel shows garbage where it is clear, so the window stays opaque and its
// background colour is painted. The choice is made when the properties are set (before the
// window is first shown) and logged once per process.
//
// Moving by the background: a left press that no child takes (it reaches the window) asks the
// window manager to move the window (QWindow::startSystemMove); without a window manager that
// can, the window follows the mouse through the control kit's move loop
// (category_NSWindow_MouseMoveSize).
//
// The content view is the child named "contentView", else the first child widget.
#pragma once

#include <UICocoaWindows/category_NSWindow_MouseMoveSize.h>

#include <QColor>
#include <QRect>
#include <QWidget>

namespace LumoraWindowProperties {

// Alpha 0.99999 as a single-precision float (0.9999899864). Qt keeps a window's opacity in
// 255 steps (it becomes 254/255 there: still not quite opaque); the value asked for is kept
// as the window's "alphaValue".
constexpr float kAlphaValue = 0.99999f;
float alphaValue(const QWidget *window);
// Background colour, alpha value, translucency (see above), shadow, movable by background.
void setCommonProperties(QWidget *window, const QColor &background);
bool isMovableByWindowBackground(const QWidget *window);
QWidget *contentView(const QWidget *window);
// Handles a press on the window's background: true when the window is being moved.
bool moveByBackground(QWidget *window, category_NSWindow_MouseMoveSize &moveLoop, QMouseEvent *event);

}  // namespace LumoraWindowProperties

class LumoraWindow : public QWidget, public category_NSWindow_MouseMoveSize {
    Q_OBJECT
public:
    explicit LumoraWindow(const QRect &contentRect = {}, unsigned styleMask = 0, int backing = 2, bool defer = false,
                          QWidget *parent = nullptr);
    ~LumoraWindow() override;

    static void setWindowProperties(QWidget *window);
    // Calibrated white 0.9 and 0.25, alpha 1.0.
    static QColor windowBackgroundColor() { return QColor::fromRgbF(0.9f, 0.9f, 0.9f, 1.0f); }
    static QColor windowBackgroundColorTwo() { return QColor::fromRgbF(0.25f, 0.25f, 0.25f, 1.0f); }

    // A gradient content view goes from windowBackgroundColorTwo to windowBackgroundColor.
    Q_INVOKABLE void awakeFromNib();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

class LumoraPanel : public QWidget, public category_NSWindow_MouseMoveSize {
    Q_OBJECT
public:
    explicit LumoraPanel(const QRect &contentRect = {}, unsigned styleMask = 0, int backing = 2, bool defer = false,
                         QWidget *parent = nullptr);
    ~LumoraPanel() override;

    // The window properties with panelBackgroundColor; a gradient content view goes from the
    // system grey to panelBackgroundColor (any other content view keeps its colours).
    static void setPanelProperties(QWidget *panel);
    // Calibrated white 0.95, alpha 0.995.
    static QColor panelBackgroundColor() { return QColor::fromRgbF(0.95f, 0.95f, 0.95f, 0.995f); }
    // The system grey: white 0.5.
    static QColor systemGrayColor() { return QColor::fromRgbF(0.5f, 0.5f, 0.5f, 1.0f); }

    Q_INVOKABLE void awakeFromNib();

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

bool import_LumoraWindow();
