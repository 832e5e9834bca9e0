#include "NSView_CellAttachments.h"

#include <CoreX/CoreMachDebugLog.h>

#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include <cmath>

namespace {

constexpr const char *kFile = "/Code/sdk/RiradI/UICocoaViews/NSView_CellAttachments";

CGFloat ViewHeight(const QWidget *view) { return view != nullptr ? view->height() : 0; }

// The cell of a pair, or null after reporting it.
NSCell *CheckedCell(const NSViewCellAttachments::Pair &pair, const char *function, int line) {
    NSCell *cell = pair.cell.get();
    if (cell == nullptr) _CoreMachDebugVerifyBody(function, kFile, line, " code : cell");
    return cell;
}

// The tracked pair, or null (a stale index is dropped).
NSViewCellAttachments::Pair *TrackedPair(NSViewCellAttachments &list) {
    if (list.trackedPair < 0 || size_t(list.trackedPair) >= list.pairs.size() ||
        !list.pairs[size_t(list.trackedPair)].cell) {
        list.trackedPair = -1;
        return nullptr;
    }
    return &list.pairs[size_t(list.trackedPair)];
}

void Redisplay(QWidget *view) {
    if (view != nullptr) view->update();
}

}  // namespace

QRectF cellAttachmentsQtRect(const QWidget *view, CGRect frame) {
    return QRectF(frame.origin.x, ViewHeight(view) - frame.origin.y - frame.size.height, frame.size.width,
                  frame.size.height);
}

CGPoint cellAttachmentsViewPoint(const QWidget *view, QPointF qtPoint) {
    return CGPointMake(qtPoint.x(), ViewHeight(view) - qtPoint.y());
}

void cellAttachmentsAdd(QWidget *, NSViewCellAttachments &list, std::shared_ptr<NSCell> cell, CGPoint origin,
                        CGSize size) {
    list.pairs.emplace_back(std::move(cell), CGRectMake(origin.x, origin.y, size.width, size.height));
}

void cellAttachmentsAdd(QWidget *view, NSViewCellAttachments &list, std::shared_ptr<NSCell> cell, CGPoint origin) {
    const NSSize size = cell ? cell->cellSize() : NSMakeSize(0, 0);
    cellAttachmentsAdd(view, list, std::move(cell), origin, CGSizeMake(size.width, size.height));
}

CGPoint cellAttachmentsOrigin(QWidget *, const NSViewCellAttachments &list, const NSCell *cell) {
    for (const auto &pair : list.pairs)
        if (pair.cell.get() == cell && cell != nullptr) return pair.frame.origin;
    return CGPointMake(0, 0);
}

void cellAttachmentsSetBounds(QWidget *, NSViewCellAttachments &list, CGRect bounds, CGFloat margin) {
    for (auto &pair : list.pairs) {
        const CGFloat height = pair.cell ? pair.cell->cellSize().height : 0;
        pair.frame.origin.y = bounds.size.height - height - margin;
    }
}

void cellAttachmentsDraw(QWidget *view, const NSViewCellAttachments &list, CGRect, QPainter &painter) {
    static constexpr const char *kFunction = "-[NSView(NSViewCellAttachments) cellAttachmentsDraw:withRect:]";
    for (const auto &pair : list.pairs) {
        NSCell *cell = CheckedCell(pair, kFunction, 136);
        if (cell == nullptr) continue;
        cell->drawWithFrame(cellAttachmentsQtRect(view, pair.frame), view, painter);
    }
}

bool cellAttachmentsMouseDown(QWidget *view, NSViewCellAttachments &list, const QMouseEvent *event) {
    static constexpr const char *kFunction = "-[NSView(NSViewCellAttachments) cellAttachmentsMouseDown:withEvent:]";
    if (event == nullptr) return false;
    // The centre of the pixel under the mouse, y upwards.
    const QPointF position = event->position();
    const QPointF pixel(std::floor(position.x()) + 0.5, std::floor(position.y()) + 0.5);
    const CGPoint point = cellAttachmentsViewPoint(view, pixel);
    for (size_t index = 0; index < list.pairs.size(); ++index) {
        const auto &pair = list.pairs[index];
        if (CheckedCell(pair, kFunction, 84) == nullptr || !CGRectContainsPoint(pair.frame, point)) continue;
        const std::shared_ptr<NSCell> cell = pair.cell;  // kept while its action runs
        const QRectF frame = cellAttachmentsQtRect(view, pair.frame);
        list.trackedPair = int(index);
        cell->setHighlighted(true);
        Redisplay(view);
        cell->trackMouseDown(pixel, frame, view);
        return true;
    }
    return false;
}

bool cellAttachmentsMouseDragged(QWidget *view, NSViewCellAttachments &list, const QMouseEvent *event) {
    NSViewCellAttachments::Pair *pair = TrackedPair(list);
    if (pair == nullptr || event == nullptr) return false;
    const std::shared_ptr<NSCell> cell = pair->cell;  // kept while its action runs
    cell->trackMouseDragged(event->position(), cellAttachmentsQtRect(view, pair->frame), view);
    Redisplay(view);
    return true;
}

bool cellAttachmentsMouseUp(QWidget *view, NSViewCellAttachments &list, const QMouseEvent *event) {
    NSViewCellAttachments::Pair *pair = TrackedPair(list);
    if (pair == nullptr || event == nullptr) return false;
    list.trackedPair = -1;
    const std::shared_ptr<NSCell> cell = pair->cell;  // kept while its action runs
    const QRectF frame = cellAttachmentsQtRect(view, pair->frame);
    cell->trackMouseUp(event->position(), frame, view);
    cell->setHighlighted(false);
    Redisplay(view);
    return true;
}

bool import_NSViewCellAttachments() { return import_CoreMachDebugLog(); }
