#include "NSCell.h"

#include <Foundation/NSObjCRuntime.h>

NSCell::NSCell() = default;
NSCell::~NSCell() = default;

NSSize NSCell::cellSize() const { return NSMakeSize(0, 0); }

void NSCell::drawWithFrame(const QRectF &, QWidget *, QPainter &) const {}

void NSCell::trackMouseDown(QPointF, const QRectF &, QWidget *) {}

void NSCell::trackMouseDragged(QPointF, const QRectF &, QWidget *) {}

bool NSCell::trackMouseUp(QPointF point, const QRectF &frame, QWidget *) { return frame.contains(point); }

bool NSCell::sendAction() {
    QObject *receiver = target();
    if (receiver == nullptr || mAction.isEmpty()) return false;
    performSelector(receiver, mAction, QVariant::fromValue<QObject *>(this));
    return true;
}
