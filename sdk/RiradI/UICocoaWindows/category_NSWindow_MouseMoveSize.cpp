#include "category_NSWindow_MouseMoveSize.h"

#include <CoreX/CoreMachDebugLog.h>

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace {

constexpr QSizeF kStandardCornerSize(32, 32);

// Half-open, as a point in a rectangle is tested.
bool PointInRect(QPointF p, QRectF r) {
    return p.x() >= r.left() && p.x() < r.left() + r.width() && p.y() >= r.top() && p.y() < r.top() + r.height();
}

QRect Rounded(const QRectF &r) {
    return QRect(static_cast<int>(std::lround(r.x())), static_cast<int>(std::lround(r.y())),
                 static_cast<int>(std::lround(r.width())), static_cast<int>(std::lround(r.height())));
}

}  // namespace

category_NSWindow_MouseMoveSize::category_NSWindow_MouseMoveSize(QWidget *window)
    : protocol_MouseCapture(window), mWindow(window) {}

bool category_NSWindow_MouseMoveSize::runLoop(const QMouseEvent &event, int hitRegion, bool unconstrained) {
    auto record = std::make_unique<NSWindow_MouseMoveSize>(event);
    record->hitRegion = hitRegion;
    record->unconstrained = unconstrained;
    return protocol_MouseCaptureEventLoop(std::move(record));
}

bool category_NSWindow_MouseMoveSize::windowMouseMoveSize_StandardBehaviour(const QMouseEvent &event) {
    const int hit = windowMouseMoveSize_MouseHitTest(event, kStandardCornerSize);
    return runLoop(event, hit == NSWindow_MouseMoveSize::kHitBottomRight ? hit : NSWindow_MouseMoveSize::kHitNone,
                   false);
}

bool category_NSWindow_MouseMoveSize::windowMouseMoveSize_FromHitRegion(const QMouseEvent &event, int hitRegion) {
    return runLoop(event, hitRegion, true);
}

int category_NSWindow_MouseMoveSize::windowMouseMoveSize_HitRegion(QSizeF area, QPointF p, QSizeF corner) {
    const double w = corner.width();
    const double h = corner.height();
    if (PointInRect(p, QRectF(0, 0, w, h))) return NSWindow_MouseMoveSize::kHitTopLeft;
    if (PointInRect(p, QRectF(area.width() - w, 0, w, h))) return NSWindow_MouseMoveSize::kHitTopRight;
    if (PointInRect(p, QRectF(0, area.height() - h, w, h))) return NSWindow_MouseMoveSize::kHitBottomLeft;
    if (PointInRect(p, QRectF(area.width() - w, area.height() - h, w, h))) return NSWindow_MouseMoveSize::kHitBottomRight;
    return NSWindow_MouseMoveSize::kHitNone;
}

int category_NSWindow_MouseMoveSize::windowMouseMoveSize_MouseHitTest(const QMouseEvent &event, QSizeF corner) const {
    return windowMouseMoveSize_HitRegion(mWindow->size(), mWindow->mapFromGlobal(event.globalPosition()), corner);
}

QSizeF category_NSWindow_MouseMoveSize::windowMouseMoveSize_ConstrainAspectRatio(QSizeF size) { return size; }
void category_NSWindow_MouseMoveSize::windowMouseMoveSize_SingleClick() {}
void category_NSWindow_MouseMoveSize::windowMouseMoveSize_OnDragMoved() {}

void category_NSWindow_MouseMoveSize::windowConstrainSize(NSWindow_MouseMoveSize &, QSizeF &size) {
    const QSize minimum = mWindow->minimumSize();
    const QSize maximum = mWindow->maximumSize();
    size.setWidth(std::min<double>(std::max<double>(size.width(), minimum.width()), maximum.width()));
    size.setHeight(std::min<double>(std::max<double>(size.height(), minimum.height()), maximum.height()));
    size = windowMouseMoveSize_ConstrainAspectRatio(size);
}

void category_NSWindow_MouseMoveSize::windowMouseDownBegin(NSWindow_MouseMoveSize &r) {
    r.startFrame = QRectF(mWindow->frameGeometry());
    switch (r.hitRegion) {
    case NSWindow_MouseMoveSize::kHitTopLeft: r.mode = NSWindow_MouseMoveSize::kModeSizeTopLeft; break;
    case NSWindow_MouseMoveSize::kHitTopRight: r.mode = NSWindow_MouseMoveSize::kModeSizeTopRight; break;
    case NSWindow_MouseMoveSize::kHitBottomLeft: r.mode = NSWindow_MouseMoveSize::kModeSizeBottomLeft; break;
    case NSWindow_MouseMoveSize::kHitBottomRight: r.mode = NSWindow_MouseMoveSize::kModeSizeBottomRight; break;
    default:
        r.mode = NSWindow_MouseMoveSize::kModeMove;
        r.dragOffset = r.downLocation - r.startFrame.topLeft();
        break;
    }
}

void category_NSWindow_MouseMoveSize::windowMouseMove(NSWindow_MouseMoveSize &r) {
    switch (r.mode) {
    case NSWindow_MouseMoveSize::kModeMove: windowMouseMoveDragging(r); break;
    case NSWindow_MouseMoveSize::kModeSizeTopLeft: windowMouseSizeFromTopLeft(r); break;
    case NSWindow_MouseMoveSize::kModeSizeTopRight: windowMouseSizeFromTopRight(r); break;
    case NSWindow_MouseMoveSize::kModeSizeBottomRight: windowMouseSizeFromBottomRight(r); break;
    case NSWindow_MouseMoveSize::kModeSizeBottomLeft: windowMouseSizeFromBottomLeft(r); break;
    default: break;
    }
}

void category_NSWindow_MouseMoveSize::windowMouseUp(NSWindow_MouseMoveSize &r) {
    if (r.location == r.downLocation) windowMouseMoveSize_SingleClick();
    r.mode = NSWindow_MouseMoveSize::kModeNone;
}

void category_NSWindow_MouseMoveSize::windowMouseMoveDragging(NSWindow_MouseMoveSize &r) {
    QPointF origin = r.location - r.dragOffset;
    if (!r.unconstrained) {
        if (const QScreen *screen = QGuiApplication::primaryScreen()) {
            const double top = screen->geometry().top();
            if (origin.y() < top) origin.setY(top);
        }
    }
    mWindow->move(QPoint(static_cast<int>(std::lround(origin.x())), static_cast<int>(std::lround(origin.y()))));
    windowMouseMoveSize_OnDragMoved();
}

QRectF category_NSWindow_MouseMoveSize::windowMouseMoveSize_ResizedFrame(NSWindow_MouseMoveSize &r, bool left,
                                                                         bool top) {
    const QRectF &f = r.startFrame;
    const double dx = r.location.x() - r.downLocation.x();
    const double dy = r.location.y() - r.downLocation.y();
    const double w = left ? f.width() - dx : f.width() + dx;
    const double h = top ? f.height() - dy : f.height() + dy;
    QSizeF size(w, h);
    windowConstrainSize(r, size);
    // The grabbed corner stays under the mouse; when a limit bites the opposite corner moves.
    const double x = left ? f.x() + dx : f.x() + (w - size.width());
    const double y = top ? f.y() + dy : f.y() + (h - size.height());
    return QRectF(x, y, size.width(), size.height());
}

void category_NSWindow_MouseMoveSize::sizeFrom(NSWindow_MouseMoveSize &r, bool left, bool top) {
    const QRectF frame = windowMouseMoveSize_ResizedFrame(r, left, top);
    mWindow->setGeometry(Rounded(frame));
}

void category_NSWindow_MouseMoveSize::windowMouseSizeFromTopLeft(NSWindow_MouseMoveSize &r) { sizeFrom(r, true, true); }
void category_NSWindow_MouseMoveSize::windowMouseSizeFromTopRight(NSWindow_MouseMoveSize &r) { sizeFrom(r, false, true); }
void category_NSWindow_MouseMoveSize::windowMouseSizeFromBottomLeft(NSWindow_MouseMoveSize &r) { sizeFrom(r, true, false); }
void category_NSWindow_MouseMoveSize::windowMouseSizeFromBottomRight(NSWindow_MouseMoveSize &r) {
    sizeFrom(r, false, false);
}

// A loop started on the window with a plain capture record has no move or size state: nothing.
void category_NSWindow_MouseMoveSize::mouseCaptureBegin(MouseCaptureRecord &record) {
    if (auto *r = dynamic_cast<NSWindow_MouseMoveSize *>(&record)) windowMouseDownBegin(*r);
}
void category_NSWindow_MouseMoveSize::mouseCaptureMove(MouseCaptureRecord &record) {
    if (auto *r = dynamic_cast<NSWindow_MouseMoveSize *>(&record)) windowMouseMove(*r);
}
void category_NSWindow_MouseMoveSize::mouseCaptureUp(MouseCaptureRecord &record) {
    if (auto *r = dynamic_cast<NSWindow_MouseMoveSize *>(&record)) windowMouseUp(*r);
}

bool import_category_NSWindow_MouseMoveSize() {
    if (!VERIFY(import_protocol_MouseCapture())) return false;
    return true;
}
