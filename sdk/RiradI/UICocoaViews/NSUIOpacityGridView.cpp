#include "NSUIOpacityGridView.h"

#include "NSViewQuartzPainting.h"

#include <QPainter>

#include <Foundation/NSObjCRuntime.h>

// Made by name when a .ui file names the class.
NS_REGISTER_CLASS(NSUIOpacityGridView);

NSUIOpacityGridView::NSUIOpacityGridView(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

NSUIOpacityGridView::~NSUIOpacityGridView() = default;

void NSUIOpacityGridView::setGridSizePixels(int size) {
    _gridSizePixels = size;
    update();
}

void NSUIOpacityGridView::drawGrid(CGContextRef context) const {
    const long g = _gridSizePixels;
    const long w = width(), h = height();
    if (context == nullptr || h < 1 || g < 1) return;
    // Light where x + y is a multiple of 2g: the rows are painted dark, then the light
    // squares are filled as one path. Squares right of the view are not visible and are left
    // out.
    const long rows = (h + g - 1) / g;
    CGContextSetRGBFillColor(context, 0.5, 0.5, 0.5, 1);
    CGContextFillRect(context, CGRectMake(0, 0, CGFloat(w), CGFloat(rows * g)));
    CGContextBeginPath(context);
    for (long y = 0; y < h; y += g)
        for (long x = (y / g) % 2 == 0 ? 0 : g; x < w; x += 2 * g)
            CGContextAddRect(context, CGRectMake(CGFloat(x), CGFloat(y), CGFloat(g), CGFloat(g)));
    CGContextSetRGBFillColor(context, 0.9, 0.9, 0.9, 1);
    CGContextFillPath(context);
}

void NSUIOpacityGridView::paintEvent(QPaintEvent *) {
    NSViewQuartzPainting painting(this);
    if (painting.context() == nullptr) return;
    drawGrid(painting.context());
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), painting.image());
}

bool import_NSUIOpacityGridView() { return true; }
