#include "NSUIScrubControl.h"

#include "NSControl_NormalValue.h"

#include <UICocoaViews/NSUILozengeView.h>
#include <UICocoaViews/NSViewQuartzPainting.h>

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <limits>

NS_REGISTER_CLASS(NSUIScrubControl);

NSUIScrubControl::NSUIScrubControl(QWidget *parent) : NSUITargetActionView(parent), NSView_ModalMouse(this) {}

NSUIScrubControl::~NSUIScrubControl() = default;

void NSUIScrubControl::awakeFromNib() { _mouseDownInSelf = false; }

bool NSUIScrubControl::acceptsFirstMouse(QMouseEvent *) const { return true; }

void NSUIScrubControl::setNormalValue(double normalValue) {
    _fineNormalValue = NSControl_ClampNormalValue(normalValue);
}

double NSUIScrubControl::combinedNormalValue() const {
    const float f = static_cast<float>(_fineNormalValue);
    const float t = f < 0 ? -0.5f : std::min(f, 1.0f) - 0.5f;
    return double(t) / 50.0 + _grossNormalValue;
}

double NSUIScrubControl::defaultValue() const {
    return _grossSlider ? _grossSlider->normalValue() : 0.0;
}

double NSUIScrubControl::normalValue() const { return _mouseDownInSelf ? combinedNormalValue() : defaultValue(); }

void NSUIScrubControl::scrubFromPoint(QPointF point) {
    // AppKit's sense: the height above the bottom edge. A strip without height has none (NaN,
    // held as 0).
    const float h = static_cast<float>(height());
    const float y = h - static_cast<float>(point.y());
    setNormalValue(h > 0 ? y / h : std::numeric_limits<float>::quiet_NaN());
    performTargetActionWithObject(static_cast<QObject *>(this));
}

void NSUIScrubControl::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) {
        NSUITargetActionView::mousePressEvent(event);
        return;
    }
    // A loop still running ends (and goes back to rest) before this press takes the position.
    modalMouseCancel();
    _mouseDownInSelf = true;
    _grossNormalValue = _grossSlider ? _grossSlider->normalSliderValue() : 0.0;
    mouseDown(NSViewModalMouse{}, *event);
}

void NSUIScrubControl::modalMouseBegin(NSViewModalMouse &record) { scrubFromPoint(record.location); }
void NSUIScrubControl::modalMouseMove(NSViewModalMouse &record) { scrubFromPoint(record.location); }
void NSUIScrubControl::modalMouseUp(NSViewModalMouse &record) { scrubFromPoint(record.location); }

void NSUIScrubControl::modalMouseEnd(NSViewModalMouse &record) {
    scrubFromPoint(record.location);
    // The loop is over: back to rest.
    _mouseDownInSelf = false;
    _grossNormalValue = 0.0;
    setNormalValue(0.5);
    update();
}

void NSUIScrubControl::drawRect(CGContextRef context, CGRect b) const {
    if (context == nullptr) return;
    CGContextSaveGState(context);
    DrawLozenge(context, b.origin.x, b.origin.y + 1, b.size.width, b.size.height - 2, 0.5f, 0.5f, 0.5f, 0.5f);
    const CGFloat x = b.origin.x + b.size.width * 0.5;
    CGContextSetRGBStrokeColor(context, 0.5, 0.5, 0.5, 0.5);
    CGContextSetLineWidth(context, 1);
    CGContextBeginPath(context);
    CGContextMoveToPoint(context, x, b.origin.y + 1);
    CGContextAddLineToPoint(context, x, b.origin.y + 1 + (b.size.height - 2));
    CGContextStrokePath(context);
    CGContextRestoreGState(context);
}

void NSUIScrubControl::paintEvent(QPaintEvent *) {
    NSViewQuartzPainting painting(this);
    if (painting.context() == nullptr) return;
    drawRect(painting.context(), CGRectMake(0, 0, width(), height()));
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), painting.image());
}

bool import_NSUIScrubControl() {
    if (!VERIFY_TEXT(import_NSControl_NormalValue(), " code : import_NSControl_NormalValue()")) return false;
    return import_NSUILozengeView();
}
