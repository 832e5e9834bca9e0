#include "NSUICrossFaderSlider.h"

#include "NUCIButtonImage.h"

#include <AppKit/NSGraphicsContext.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaControls/NSSliderCell_Labeling.h>
#include <UICocoaViews/NSViewQuartzPainting.h>

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>

NS_REGISTER_CLASS(NSUICrossFaderSlider);
NS_REGISTER_CLASS(NSUICrossFaderSliderView);

// ---- NSUICrossFaderSliderCell

NSUICrossFaderSliderCell::NSUICrossFaderSliderCell() { setContinuous(true); }
NSUICrossFaderSliderCell::~NSUICrossFaderSliderCell() = default;

const std::shared_ptr<NSImage> &NSUICrossFaderSliderCell::fadeKnob() {
    if (mFadeKnob == nullptr)
        mFadeKnob = NUCIButtonImage::imageNamed(&NUCIButtonImageClassOf<NU70sHardwareButtonImage>,
                                                QStringLiteral("NSUICrossFaderSliderCell"), NSMakeSize(96, 96), 1);
    return mFadeKnob;
}

CGRect NSUICrossFaderSliderCell::knobRect() const {
    return NSSliderCell_Labeling::calculateKnobRectForCellFrame(*this, mMaxRect, false);
}

void NSUICrossFaderSliderCell::drawBarInside(CGRect rect) {
    NSSliderCell_Labeling::drawLozengeBackground(CGRectInset(rect, 0.05 * rect.size.width, 0.33 * rect.size.height),
                                                 0.3f, 1.0f);
    NSSliderCell_Labeling::drawLozengeBackground(CGRectInset(rect, 0.075 * rect.size.width, 0.40 * rect.size.height),
                                                 0.1f, 1.0f);
}

void NSUICrossFaderSliderCell::drawCell(CGRect frame) {
    mMaxRect = frame;
    drawBarInside(frame);
    const std::shared_ptr<NSImage> &knob = fadeKnob();
    if (knob != nullptr) NSImageDrawInRect(*knob, knobRect(), CGRectNull, NSCompositingOperationSourceOver, 1.0);
}

// ---- NSUICrossFaderSlider

NSUICrossFaderSlider::NSUICrossFaderSlider(QWidget *parent)
    : NSSlider(Qt::Horizontal, parent), mCell(std::make_shared<NSUICrossFaderSliderCell>()) {}

NSUICrossFaderSlider::~NSUICrossFaderSlider() = default;

void NSUICrossFaderSlider::syncCell() const {
    mCell->setMinValue(minValue());
    mCell->setMaxValue(maxValue());
    mCell->setDoubleValue(doubleValue());
}

double NSUICrossFaderSlider::valueAtPoint(QPointF point) const {
    const double travel = width() - height();
    const double t = travel > 0 ? std::clamp((point.x() - height() / 2.0) / travel, 0.0, 1.0) : 0.0;
    return minValue() + t * (maxValue() - minValue());
}

void NSUICrossFaderSlider::trackTo(QPointF point) {
    setDoubleValue(valueAtPoint(point));
    sendAction();
    repaint();  // tracking redisplays at every step
}

void NSUICrossFaderSlider::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) return NSSlider::mousePressEvent(event);
    mTracking = true;
    trackTo(event->position());
    event->accept();
}

void NSUICrossFaderSlider::mouseMoveEvent(QMouseEvent *event) {
    if (!mTracking) return NSSlider::mouseMoveEvent(event);
    trackTo(event->position());
    event->accept();
}

void NSUICrossFaderSlider::mouseReleaseEvent(QMouseEvent *event) {
    if (!mTracking) return NSSlider::mouseReleaseEvent(event);
    mTracking = false;
    trackTo(event->position());
    event->accept();
}

void NSUICrossFaderSlider::paintEvent(QPaintEvent *) {
    NSViewQuartzPainting painting(this);
    CGContextRef port = painting.context();
    if (port == nullptr) return;
    syncCell();
    const std::shared_ptr<NSGraphicsContext> context = NSGraphicsContext::graphicsContextWithGraphicsPort(port, false);
    NSGraphicsContext::saveGraphicsState();
    NSGraphicsContext::setCurrentContext(context);
    mCell->drawCell(CGRectMake(0, 0, width(), height()));
    NSGraphicsContext::restoreGraphicsState();
    QPainter(this).drawImage(QPointF(0, 0), painting.image());
}

// ---- NSUICrossFaderSliderView

NSUICrossFaderSliderView::NSUICrossFaderSliderView(QWidget *parent) : NSUITargetActionView(parent) {}
NSUICrossFaderSliderView::~NSUICrossFaderSliderView() = default;

double NSUICrossFaderSliderView::doubleValue() const { return mSlider != nullptr ? mSlider->doubleValue() : 0.0; }

void NSUICrossFaderSliderView::setDoubleValue(double value) {
    if (mSlider != nullptr) mSlider->setDoubleValue(value);
}

void NSUICrossFaderSliderView::awakeFromNib() {
    if (mSlider != nullptr) return;
    auto *slider = new NSUICrossFaderSlider(this);
    slider->setGeometry(rect());
    slider->setMinValue(0.0);
    slider->setMaxValue(1.0);
    slider->setDoubleValue(0.0);
    slider->cell()->setContinuous(true);
    slider->setTarget(target());
    slider->setAction(action());
    slider->cell()->setTarget(target());
    slider->cell()->setAction(action());
    slider->setAccessibleName(accessibleName().isEmpty() ? QStringLiteral("Cross-fader") : accessibleName());
    slider->show();
    mSlider = slider;
}

void NSUICrossFaderSliderView::resizeEvent(QResizeEvent *event) {
    NSUITargetActionView::resizeEvent(event);
    if (mSlider != nullptr) mSlider->setGeometry(rect());
}

bool import_NSUICrossFaderSlider() { return import_NUCIButtonImage() && import_NSSliderCell_Labeling(); }
