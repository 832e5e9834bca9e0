#include "NSNeXTSlider.h"

#include <AppKit/NSGraphicsContext.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaViews/NSViewQuartzPainting.h>

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

NS_REGISTER_CLASS(NSNeXTSlider);

NSNeXTSlider::NSNeXTSlider(QWidget *parent) : NSNeXTSlider(Qt::Horizontal, parent) {}

NSNeXTSlider::NSNeXTSlider(Qt::Orientation orientation, QWidget *parent)
    : NSSlider(orientation, parent), mCell(std::make_shared<NSNeXTSliderCell>()) {
    connect(this, &NSSlider::doubleValueChanged, this, qOverload<>(&QWidget::update));
    connect(this, &NSSlider::rangeChanged, this, qOverload<>(&QWidget::update));
}

NSNeXTSlider::~NSNeXTSlider() = default;

void NSNeXTSlider::setOutletLabelFormat(const QString &format) {
    setCellLabelFormat(format);
    mCell->setOutletLabelFormat(format);
    update();
}

QString NSNeXTSlider::cellLabelFormat() const {
    std::lock_guard guard(mFormatLock);
    return mCellLabelFormat;
}

void NSNeXTSlider::setCellLabelFormat(const QString &format) {
    std::lock_guard guard(mFormatLock);
    mCellLabelFormat = format;
}

QSize NSNeXTSlider::sizeHint() const { return orientation() == Qt::Vertical ? QSize(20, 160) : QSize(160, 20); }

QSize NSNeXTSlider::minimumSizeHint() const { return orientation() == Qt::Vertical ? QSize(12, 40) : QSize(40, 12); }

void NSNeXTSlider::syncCell() const {
    mCell->setMinValue(minValue());
    mCell->setMaxValue(maxValue());
    mCell->setDoubleValue(doubleValue());
    mCell->setTarget(target());
    mCell->setAction(action());
}

double NSNeXTSlider::valueAtPoint(QPointF point) const {
    // The knob's travel inside the bar's black line (see NSNeXTSliderCell::drawCell).
    const QRectF inner = QRectF(rect()).adjusted(1, 1, -1, -1);
    const bool vertical = inner.height() > inner.width();
    const double side = vertical ? inner.width() : inner.height();
    const double travel = (vertical ? inner.height() : inner.width()) - side;
    double t = 0;
    if (travel > 0) {
        t = vertical ? (inner.bottom() - side / 2 - point.y()) / travel : (point.x() - inner.left() - side / 2) / travel;
    }
    t = std::clamp(std::isfinite(t) ? t : 0.0, 0.0, 1.0);
    return minValue() + (maxValue() - minValue()) * t;
}

void NSNeXTSlider::trackTo(QPointF point) {
    setDoubleValue(valueAtPoint(point));
    sendAction();
    syncCell();
    mCell->continueTracking(this);
}

void NSNeXTSlider::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) return NSSlider::mousePressEvent(event);
    mTracking = true;
    mCell->setHighlighted(true);
    trackTo(event->position());
    event->accept();
}

void NSNeXTSlider::mouseMoveEvent(QMouseEvent *event) {
    if (!mTracking) return NSSlider::mouseMoveEvent(event);
    trackTo(event->position());
    event->accept();
}

void NSNeXTSlider::mouseReleaseEvent(QMouseEvent *event) {
    if (!mTracking) return NSSlider::mouseReleaseEvent(event);
    mTracking = false;
    mCell->setHighlighted(false);
    update();
    event->accept();
}

void NSNeXTSlider::paintEvent(QPaintEvent *) {
    NSViewQuartzPainting painting(this);
    CGContextRef port = painting.context();
    if (port == nullptr) return;
    syncCell();
    // The coordinates of a flipped view: y runs down from the top-left corner.
    CGContextSaveGState(port);
    CGContextTranslateCTM(port, 0, height());
    CGContextScaleCTM(port, 1.0, -1.0);
    const std::shared_ptr<NSGraphicsContext> context = NSGraphicsContext::graphicsContextWithGraphicsPort(port, true);
    NSGraphicsContext::saveGraphicsState();
    NSGraphicsContext::setCurrentContext(context);
    mCell->drawCell(CGRectMake(0, 0, width(), height()), this);
    NSGraphicsContext::restoreGraphicsState();
    CGContextRestoreGState(port);
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), painting.image());
}

bool import_NSNeXTSlider() {
    if (!VERIFY_TEXT(import_NSSlider(), " code : import_NSSlider()")) return false;
    return import_NSNeXTSliderCell();
}
