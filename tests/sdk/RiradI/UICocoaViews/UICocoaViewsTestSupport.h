// Helpers of the views kit's tests: mouse events, cells that record what they are asked to
// do, and pixels of rendered widgets.
#pragma once

#include <AppKit/NSButtonCell.h>
#include <AppKit/NSCell.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include <vector>

#include "sdk/RiradI/RiradITestApplication.h"

namespace views_test {

// A press, move or release of the left button at a point of the widget (Qt coordinates).
inline QMouseEvent MouseEvent(QWidget *widget, QEvent::Type type, QPointF point) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    return QMouseEvent(type, point, widget->mapToGlobal(point), Qt::LeftButton, held, Qt::NoModifier);
}

// Sends a press and a release at the point to the widget.
inline void Click(QWidget *widget, QPointF point) {
    QMouseEvent press = MouseEvent(widget, QEvent::MouseButtonPress, point);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release = MouseEvent(widget, QEvent::MouseButtonRelease, point);
    QApplication::sendEvent(widget, &release);
}

// A cell of a fixed size that records its drawing and tracking, and counts its destruction.
class RecordingCell : public NSCell {
public:
    explicit RecordingCell(NSSize size, int *destroyed = nullptr) : mSize(size), mDestroyed(destroyed) {}
    ~RecordingCell() override {
        if (mDestroyed != nullptr) ++*mDestroyed;
    }
    NSSize cellSize() const override { return mSize; }
    void drawWithFrame(const QRectF &frame, QWidget *, QPainter &) const override { drawn.push_back(frame); }
    void trackMouseDown(QPointF point, const QRectF &, QWidget *) override {
        downs.push_back(point);
        highlightedAtDown = isHighlighted();
    }
    bool trackMouseUp(QPointF point, const QRectF &frame, QWidget *view) override {
        ups.push_back(point);
        return NSCell::trackMouseUp(point, frame, view);
    }

    mutable std::vector<QRectF> drawn;
    std::vector<QPointF> downs, ups;
    bool highlightedAtDown = false;

private:
    NSSize mSize;
    int *mDestroyed;
};

// The widget as it paints itself over transparency (no window background), one pixel per
// point, straight (not premultiplied) RGBA.
inline QImage Rendered(QWidget *widget) {
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return image.convertToFormat(QImage::Format_RGBA8888);
}

}  // namespace views_test
