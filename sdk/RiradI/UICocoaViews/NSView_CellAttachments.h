// NSView(NSViewCellAttachments): a view carries a row of small cells (buttons, sliders)
// without a widget for each. The view keeps an NSViewCellAttachments list of cells with
// their frames as a value member, draws them itself and hands clicks to the cell under the
// mouse; the operations are free functions taking the view (the cells' control view) and
// the list.
//
// Frames are in the view's own coordinates with y upwards (a frame at y = 0 sits on the
// view's bottom edge), as the boxes that carry cells lay them out; they are turned into
// Qt's y-down coordinates only to draw and to hit-test a click. A click denotes the pixel
// under the mouse: its point is that pixel's centre.
#pragma once

#include <AppKit/NSCell.h>
#include <CoreGraphics/CGGeometry.h>

#include <QRectF>

#include <memory>
#include <vector>

class QMouseEvent;
class QPainter;
class QWidget;

class NSViewCellAttachments {
public:
    // A cell with its frame. The pair holds a reference on the cell (copying a pair shares
    // it, assigning lets the old one go); the cell lives as long as some pair holds it.
    struct Pair {
        Pair(std::shared_ptr<NSCell> inCell, CGRect inFrame) : cell(std::move(inCell)), frame(inFrame) {}
        Pair(const Pair &) = default;
        Pair(Pair &&) noexcept = default;
        Pair &operator=(const Pair &) = default;
        Pair &operator=(Pair &&) noexcept = default;
        ~Pair() {
            cell.reset();
            frame = CGRectZero;
        }

        std::shared_ptr<NSCell> cell;
        CGRect frame;
    };

    // In the order of addition; the list only grows.
    std::vector<Pair> pairs;
    // The pair being tracked between a press and its release; -1 when none.
    int trackedPair = -1;
};

// Appends a pair with the cell and the frame (origin, size). A null cell is kept too (and
// reported whenever it would be drawn or clicked).
void cellAttachmentsAdd(QWidget *view, NSViewCellAttachments &list, std::shared_ptr<NSCell> cell, CGPoint origin,
                        CGSize size);
// The same with the cell's cellSize (a null cell: size (0, 0)).
void cellAttachmentsAdd(QWidget *view, NSViewCellAttachments &list, std::shared_ptr<NSCell> cell, CGPoint origin);

// The frame origin of the first pair holding the cell; (0, 0) when none does.
CGPoint cellAttachmentsOrigin(QWidget *view, const NSViewCellAttachments &list, const NSCell *cell);

// For every pair: frame y := bounds height - the cell's cellSize height - margin (measured
// from 0, not from the bounds' origin); x, width and height stay.
void cellAttachmentsSetBounds(QWidget *view, NSViewCellAttachments &list, CGRect bounds, CGFloat margin);

// Draws each real cell in order in its frame with the painter (which paints the view in Qt
// coordinates); a null cell is reported and skipped. The rectangle is not used.
void cellAttachmentsDraw(QWidget *view, const NSViewCellAttachments &list, CGRect rect, QPainter &painter);

// The press: the first real pair whose frame contains the click takes it (null cells
// reported and skipped): the cell is highlighted, the view repainted and the tracking
// starts. True when a cell took the click; false leaves the click to the view.
bool cellAttachmentsMouseDown(QWidget *view, NSViewCellAttachments &list, const QMouseEvent *event);
// A move while a cell is tracked: handed to that cell. False when no cell is tracked.
bool cellAttachmentsMouseDragged(QWidget *view, NSViewCellAttachments &list, const QMouseEvent *event);
// The release: the tracked cell ends its tracking (a button sends its action when released
// inside), is unhighlighted and the view repainted. False when no cell is tracked.
bool cellAttachmentsMouseUp(QWidget *view, NSViewCellAttachments &list, const QMouseEvent *event);

// A frame in the view's y-up coordinates as a rectangle in its Qt coordinates, and back for
// a point.
QRectF cellAttachmentsQtRect(const QWidget *view, CGRect frame);
CGPoint cellAttachmentsViewPoint(const QWidget *view, QPointF qtPoint);

bool import_NSViewCellAttachments();
