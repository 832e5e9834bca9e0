#include "NSView_NormalizedMouse.h"

#include <QMouseEvent>
#include <QWidget>

namespace NormalizedMouse {

QPointF viewPointFromNormalizedPoint(const QWidget &view, QPointF normalized) {
    return {normalized.x() * view.width(), normalized.y() * view.height()};
}

CGPoint viewCGPointFromNormalizedCGPoint(const QWidget &view, CGPoint normalized) {
    return {normalized.x * view.width(), normalized.y * view.height()};
}

QPointF normalizedPointFromViewPoint(const QWidget &view, QPointF point) {
    const double width = view.width();
    const double height = view.height();
    return {width > 0 ? point.x() / width : 0.0, height > 0 ? point.y() / height : 0.0};
}

QPointF normalizedPointFromEvent(const QWidget &view, const QMouseEvent *event) {
    if (event == nullptr) return {};
    return normalizedPointFromViewPoint(view, view.mapFromGlobal(event->globalPosition()));
}

}  // namespace NormalizedMouse

bool import_NSView_NormalizedMouse() { return true; }
