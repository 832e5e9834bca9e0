// NSView(NormalizedMouse): view points to and from points normalised to the view's size (0 to 1
// across its width and height, not clamped). Points are in the view's own coordinates (Qt's:
// origin top-left, y down); the view's position in its parent is not added.
#pragma once

#include <CoreGraphics/CGGeometry.h>

#include <QPointF>

class QMouseEvent;
class QWidget;

namespace NormalizedMouse {

// (p.x × width, p.y × height).
QPointF viewPointFromNormalizedPoint(const QWidget &view, QPointF normalized);
// The same for a Core Graphics point.
CGPoint viewCGPointFromNormalizedCGPoint(const QWidget &view, CGPoint normalized);
// (p.x ÷ width, p.y ÷ height); a view without area gives (0, 0) instead of infinities.
QPointF normalizedPointFromViewPoint(const QWidget &view, QPointF point);
// The event's location in the view, normalised; a null event gives (0, 0).
QPointF normalizedPointFromEvent(const QWidget &view, const QMouseEvent *event);

}  // namespace NormalizedMouse

bool import_NSView_NormalizedMouse();
