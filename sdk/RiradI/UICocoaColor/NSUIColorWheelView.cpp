#include "NSUIColorWheelView.h"

#include "UFColorWheelController.h"

#include <UICocoaViews/NSViewQuartzPainting.h>
#include <UICocoaViews/NSView_NormalizedMouse.h>

#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSObjCRuntime.h>

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

NS_REGISTER_CLASS(NSUIColorWheelView);

NSUIColorWheelView::NSUIColorWheelView(QWidget *parent) : QWidget(parent), NSView_ModalMouse(this) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

NSUIColorWheelView::~NSUIColorWheelView() { mColorWheel = nullptr; }

UFColorWheelController *NSUIColorWheelView::colorWheel() const { return mColorWheel.data(); }

void NSUIColorWheelView::setColorWheel(UFColorWheelController *wheel) {
    mColorWheel = wheel;
    update();
}

void NSUIColorWheelView::drawRect(CGContextRef context, CGRect bounds) const {
    CGContextClearRect(context, bounds);
    CGContextSetRGBFillColor(context, 0, 0, 0, 1);
    CGContextFillRect(context, bounds);
    if (mColorWheel) mColorWheel->drawIntoDestinationRect(context, CGRectInset(bounds, kWheelInset, kWheelInset));
}

void NSUIColorWheelView::paintEvent(QPaintEvent *) {
    NSViewQuartzPainting painting(this);
    if (painting.context() == nullptr) return;
    drawRect(painting.context(), CGRectMake(0, 0, width(), height()));
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), painting.image());
}

UFPolarPoint NSUIColorWheelView::mouseHitTestUnitPoint(CGPoint unit) {
    const double x = unit.x;
    const double y = unit.y;
    float theta = static_cast<float>(M_PI / 2 - std::atan2(y, x));
    if (theta < 0.0f)
        theta += kUFColorWheelTwoPi;
    else if (theta >= kUFColorWheelTwoPi)
        theta -= kUFColorWheelTwoPi;
    return {static_cast<float>(std::sqrt(x * x + y * y)), theta};
}

void NSUIColorWheelView::mouseSelectionEvent(QPointF normalized) {
    if (!mColorWheel) return;
    // The wheel's y grows upwards, the view's downwards.
    const UFPolarPoint polar = mouseHitTestUnitPoint(CGPointMake(normalized.x() - 0.5, 0.5 - normalized.y()));
    const uint index = mColorWheel->sliceIndexFromHitTestAtUnitPolarPoint(polar);
    if (index != UFColorWheelController::kNoSelectedSlice) mColorWheel->setSelectedSliceIndex(index);
}

void NSUIColorWheelView::selectAtViewPoint(QPointF point) {
    mouseSelectionEvent(NormalizedMouse::normalizedPointFromViewPoint(*this, point));
}

void NSUIColorWheelView::mousePressEvent(QMouseEvent *event) {
    if (!mouseDown(NSViewModalMouse{}, *event)) QWidget::mousePressEvent(event);
}

void NSUIColorWheelView::modalMouseBegin(NSViewModalMouse &record) { selectAtViewPoint(record.location); }
void NSUIColorWheelView::modalMouseMove(NSViewModalMouse &record) { selectAtViewPoint(record.location); }
void NSUIColorWheelView::modalMouseUp(NSViewModalMouse &record) { selectAtViewPoint(record.location); }

void NSUIColorWheelView::colorWheelControllerDidChange(QObject *controller) {
    repaint();
    if (QObject *delegate = mDelegate.data();
        delegate != nullptr && delegate != this && respondsToSelector(delegate, "colorWheelControllerDidChange"))
        performSelector(delegate, "colorWheelControllerDidChange", QVariant::fromValue(controller));
}

bool import_NSUIColorWheelView() {
    return VERIFY_TEXT(import_UFColorWheelController(), " code : import_UFColorWheelController()") &&
           VERIFY_TEXT(import_NSView_ModalMouse(), " code : import_NSView_ModalMouse()");
}
