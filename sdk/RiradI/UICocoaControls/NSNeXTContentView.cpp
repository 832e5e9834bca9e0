#include "NSNeXTContentView.h"

#include <AppKit/NSGraphicsContext.h>
#include <CocoaGraphics/NSImage_NSNextRetinaImage.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaViews/NSViewQuartzPainting.h>

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>

#include <cmath>

NS_REGISTER_CLASS(NSNeXTContentView);

namespace {

std::shared_ptr<NSImage> BarColorImage() {
    return NSImage_NSNextRetinaImage::nextRetinaImageNamed(QStringLiteral("NSNeXTSliderBarColor"));
}

void FillSolid(CGContextRef context, CGRect rect, const QColor &colour) {
    CGContextSetRGBFillColor(context, colour.redF(), colour.greenF(), colour.blueF(), colour.alphaF());
    CGContextFillRect(context, rect);
}

}  // namespace

NSNeXTContentView::NSNeXTContentView(QWidget *parent) : QWidget(parent) {}
NSNeXTContentView::~NSNeXTContentView() = default;

QColor NSNeXTContentView::contentViewColor() { return QApplication::palette().color(QPalette::Button); }

QColor NSNeXTContentView::sliderKnobColor() { return QColor::fromRgbF(0.6666667f, 0.6666667f, 0.6666667f, 1.0f); }

QBrush NSNeXTContentView::sliderBarColor() {
    const std::shared_ptr<NSImage> image = BarColorImage();
    if (image == nullptr || image->representations().empty()) return QBrush(contentViewColor());
    QImage tile = image->representations().front()->toQImage();
    const NSSize size = image->size();
    if (tile.isNull() || !(size.width > 0)) return QBrush(contentViewColor());
    tile.setDevicePixelRatio(double(tile.width()) / size.width);
    return QBrush(tile);
}

void NSNeXTContentView::fillWithSliderBarColor(CGContextRef context, CGRect rect) {
    if (context == nullptr || CGRectIsEmpty(rect)) return;
    const std::shared_ptr<NSImage> image = BarColorImage();
    const NSSize size = image != nullptr ? image->size() : NSMakeSize(0, 0);
    CGImageRef tile = image != nullptr && !image->representations().empty()
                          ? NSBitmapImageRepCreateCGImage(image->representations().front())
                          : nullptr;
    if (tile == nullptr || !(size.width >= 1 && size.height >= 1)) {
        if (tile != nullptr) CGImageRelease(tile);
        FillSolid(context, rect, contentViewColor());
        return;
    }
    CGContextSaveGState(context);
    CGContextClipToRect(context, rect);
    CGContextSetInterpolationQuality(context, kCGInterpolationNone);
    for (CGFloat y = rect.origin.y; y < CGRectGetMaxY(rect); y += size.height) {
        for (CGFloat x = rect.origin.x; x < CGRectGetMaxX(rect); x += size.width) {
            CGContextDrawImage(context, CGRectMake(x, y, size.width, size.height), tile);
        }
    }
    CGContextRestoreGState(context);
    CGImageRelease(tile);
}

void NSNeXTContentView::drawRect(CGContextRef context, CGRect dirtyRect) const {
    if (context != nullptr) FillSolid(context, dirtyRect, contentViewColor());
}

void NSNeXTContentView::paintEvent(QPaintEvent *event) {
    NSViewQuartzPainting painting(this);
    if (painting.context() == nullptr) return;
    const QRect dirty = event->rect();
    // The dirty rectangle in the painting's user space (y up).
    drawRect(painting.context(), CGRectMake(dirty.x(), height() - dirty.y() - dirty.height(), dirty.width(),
                                            dirty.height()));
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), painting.image());
}

bool import_NSNeXTContentView() { return import_NSImage_NSNextRetinaImage(); }
