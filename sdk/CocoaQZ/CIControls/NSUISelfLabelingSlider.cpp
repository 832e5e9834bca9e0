#include "NSUISelfLabelingSlider.h"

#include <AppKit/NSGraphicsContext.h>
#include <CoreG/Drawing/namespace_CoreGraphics_QuartzDrawing.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaControls/NSSliderCell_Labeling.h>
#include <UICocoaViews/NSViewQuartzPainting.h>

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

NS_REGISTER_CLASS(NSUISelfLabelingSlider);

namespace {

CGContextRef CurrentPort() {
    const auto context = NSGraphicsContext::currentContext();
    return context != nullptr ? context->graphicsPort() : nullptr;
}

}  // namespace

// ---- the knob

void NSUISelfLabelingSliderKnobImage::drawInRect(CGRect rect, int state) {
    CGContextRef port = CurrentPort();
    if (port == nullptr) return;
    if (state != 1) {
        CGContextSetRGBFillColor(port, 1, 1, 1, 0.75);
        CGContextFillRect(port, rect);
        return;
    }
    if (CGContextRef mask = maskGraphicsContext()) {
        CGContextSaveGState(mask);
        CGContextSetGrayFillColor(mask, 0.0, 1.0);  // 0 lets the paint through
        CGContextFillEllipseInRect(mask, rect);
        CGContextRestoreGState(mask);
    }
    if (CGImageRef mask = createMaskImageFromMaskContext()) {
        CoreGraphics::DrawLinearGradientShading(port, rect, mask, 0.0f, 1.0f);
        CGImageRelease(mask);
    }
    CGContextSetRGBFillColor(port, 1, 1, 1, 0.95);
    CGContextFillRect(port, CGRectMake(rect.origin.x + 2, rect.origin.y + 0.485 * rect.size.height,
                                       rect.size.width - 4, 0.275 * rect.size.height));
}

// ---- the cell

NSUISelfLabelingSliderCell::NSUISelfLabelingSliderCell() { setDefaultAttributes(); }
NSUISelfLabelingSliderCell::~NSUISelfLabelingSliderCell() = default;

std::shared_ptr<NSUISelfLabelingSliderCell> NSUISelfLabelingSliderCell::sliderCellWithCopyOfSliderCell(
    const NSSliderCell &cell) {
    auto copy = std::make_shared<NSUISelfLabelingSliderCell>();
    copy->copyAttributesFrom(cell);
    return copy;
}

void NSUISelfLabelingSliderCell::copyAttributesFrom(const NSSliderCell &cell) {
    setMinValue(cell.minValue());
    setMaxValue(cell.maxValue());
    setTarget(cell.target());
    setAction(cell.action());
    setControlSize(cell.controlSize());
    setNumberOfTickMarks(cell.numberOfTickMarks());
    setTickMarkPosition(cell.tickMarkPosition());
    setAllowsTickMarkValuesOnly(cell.allowsTickMarkValuesOnly());
    setDoubleValue(cell.doubleValue());
    setEnabled(cell.isEnabled());
    setHighlighted(cell.isHighlighted());
    setContinuous(cell.isContinuous());
}

void NSUISelfLabelingSliderCell::setDefaultAttributes() {
    mLozengeGrey = 0.75f;
    mLozengeAlpha = 0.125f;
    mLozengeMargin = 1.0f;
    mSelfLabelTextColor = QColor(Qt::lightGray);
    createCoolKnobImageForSize(CGSizeMake(24, 24));
}

void NSUISelfLabelingSliderCell::createCoolKnobImageForSize(CGSize size) {
    mCoolKnobImage = NUCIControlImage::imageWithSize<NSUISelfLabelingSliderKnobImage>(
        NSMakeSize(size.width, size.height), 1);
}

void NSUISelfLabelingSliderCell::updateKnobImageForKnobRect(CGRect knobRect, CGRect) {
    if (CGSizeEqualToSize(knobRect.size, mCoolKnobImageSize) && mCoolKnobImage != nullptr) return;
    createCoolKnobImageForSize(CGSizeMake(knobRect.size.width - 1, knobRect.size.height - 1));
    mCoolKnobImageSize = knobRect.size;
}

void NSUISelfLabelingSliderCell::drawKnobImage(const std::shared_ptr<NSImage> &image, CGRect knobRect,
                                               bool horizontal) {
    if (image == nullptr) return;
    const NSSize size = image->size();
    const CGPoint at = horizontal ? CGPointMake(knobRect.origin.x, knobRect.origin.y + 0.5)
                                  : CGPointMake(knobRect.origin.x + 0.5, knobRect.origin.y);
    NSImageDrawInRect(*image, CGRectMake(at.x, at.y, size.width, size.height), CGRectNull,
                      NSCompositingOperationSourceOver, 1.0);
}

QString NSUISelfLabelingSliderCell::descriptiveSelfLabelWithString(const QString &label, const QVariant &value) const {
    if (mDelegate != nullptr) {
        if (const std::optional<QString> text = mDelegate->controlCell(const_cast<NSUISelfLabelingSliderCell *>(this),
                                                                       value))
            return *text;
    }
    const float number = value.isValid() && !value.isNull() ? value.toFloat() : 0.0f;
    return QString::asprintf("%s   %1.2f\n", label.toUtf8().constData(), double(number));
}

std::shared_ptr<NSImage> NSUISelfLabelingSliderCell::horizontalImageWithText(const QString &text,
                                                                            CGRect frame) const {
    const CGRect horizontal = NSSliderCell_Labeling::alwaysHorizontalFrame(frame);
    const auto offscreen = NSSliderCell_Labeling::beginNewImageWithLockedFocus(horizontal);
    if (offscreen == nullptr) return nullptr;
    const CGRect local = CGRectMake(0, 0, horizontal.size.width, horizontal.size.height);
    NSSliderCell_Labeling::drawLozengeBackground(CGRectInset(local, mLozengeMargin, mLozengeMargin), mLozengeGrey,
                                                 mLozengeAlpha);
    NSSliderCell_Labeling::drawTextInRect(CGRectInset(local, 12, 0.2 * local.size.height), text, 9,
                                          mSelfLabelTextColor);
    offscreen->unlockFocus();
    return offscreen->image();
}

std::shared_ptr<NSImage> NSUISelfLabelingSliderCell::sliderCellImage(CGRect frame, bool flipped, double scale) {
    const bool vertical = NSSliderCell_Labeling::isVertical(frame);
    const CGRect knob = NSSliderCell_Labeling::calculateKnobRectForCellFrame(*this, frame, flipped);
    updateKnobImageForKnobRect(knob, frame);
    const QString text = descriptiveSelfLabelWithString(mSelfLabel, QVariant(doubleValue()));
    std::shared_ptr<NSImage> lozenge = horizontalImageWithText(text, frame);
    std::shared_ptr<NSImage> knobImage = mCoolKnobImage;
    if (vertical)
        lozenge = NSSliderCell_Labeling::rotateImageWithOffscreenContext(lozenge, nullptr, 90);
    else
        knobImage = NSSliderCell_Labeling::rotateImageWithOffscreenContext(knobImage, nullptr, 90);

    const auto offscreen = NSSliderCell_Labeling::beginNewImageWithLockedFocus(frame, scale);
    if (offscreen == nullptr) return nullptr;
    const CGRect localKnob = CGRectOffset(knob, -frame.origin.x, -frame.origin.y);
    drawKnobImage(knobImage, localKnob, !vertical);
    if (lozenge != nullptr)
        NSImageDrawInRect(*lozenge, CGRectMake(0, 0, frame.size.width, frame.size.height), CGRectNull,
                          NSCompositingOperationSourceOver, 1.0);
    offscreen->unlockFocus();
    std::shared_ptr<NSImage> image = offscreen->image();
    if (image != nullptr) image->setSize(NSMakeSize(frame.size.width, frame.size.height));
    return image;
}

// ---- the slider

NSUISelfLabelingSlider::NSUISelfLabelingSlider(QWidget *parent)
    : NSUISelfLabelingSlider(Qt::Horizontal, parent) {}

NSUISelfLabelingSlider::NSUISelfLabelingSlider(Qt::Orientation orientation, QWidget *parent)
    : NSSlider(orientation, parent), mCell(std::make_shared<NSUISelfLabelingSliderCell>()) {}

NSUISelfLabelingSlider::~NSUISelfLabelingSlider() = default;

void NSUISelfLabelingSlider::setCell(const std::shared_ptr<NSSliderCell> &cell) {
    if (cell == nullptr) return;
    if (auto labelling = std::dynamic_pointer_cast<NSUISelfLabelingSliderCell>(cell))
        mCell = labelling;
    else
        mCell = NSUISelfLabelingSliderCell::sliderCellWithCopyOfSliderCell(*cell);
    mCell->setSelfLabel(toolTip());
    setMinValue(mCell->minValue());
    setMaxValue(mCell->maxValue());
    setDoubleValue(mCell->doubleValue());
    update();
}

void NSUISelfLabelingSlider::setToolTip(const QString &tip) {
    NSSlider::setToolTip(tip);
    mCell->setSelfLabel(tip);
    update();
}

void NSUISelfLabelingSlider::setSliderCellProperties(NSUISelfLabelingSliderCell &cell) { cell.setDefaultAttributes(); }

void NSUISelfLabelingSlider::awakeFromNib() {
    mCell->setSelfLabel(toolTip());
    if (!mPropertiesSet) {
        mPropertiesSet = true;
        setSliderCellProperties(*mCell);
    }
}

bool NSUISelfLabelingSlider::event(QEvent *event) {
    // The subclass's look, once, before the first drawing (its override is known by then).
    if (event->type() == QEvent::Polish && !mPropertiesSet) {
        mPropertiesSet = true;
        setSliderCellProperties(*mCell);
    }
    if (event->type() == QEvent::ToolTipChange) mCell->setSelfLabel(toolTip());
    return NSSlider::event(event);
}

void NSUISelfLabelingSlider::syncCell() const {
    mCell->setMinValue(minValue());
    mCell->setMaxValue(maxValue());
    mCell->setDoubleValue(doubleValue());
}

double NSUISelfLabelingSlider::valueAtPoint(QPointF point) const {
    const bool vertical = height() > width();
    const double thickness = vertical ? width() : height();
    const double travel = (vertical ? height() : width()) - thickness;
    if (!(travel > 0)) return minValue();
    double t = ((vertical ? point.y() : point.x()) - thickness / 2) / travel;
    if (vertical) t = 1.0 - t;  // the maximum at the top
    return minValue() + std::clamp(t, 0.0, 1.0) * (maxValue() - minValue());
}

void NSUISelfLabelingSlider::trackTo(QPointF point) {
    setDoubleValue(valueAtPoint(point));
    sendAction();
    repaint();  // tracking redisplays at every step
}

void NSUISelfLabelingSlider::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton || !isEnabled()) return NSSlider::mousePressEvent(event);
    mTracking = true;
    trackTo(event->position());
    event->accept();
}

void NSUISelfLabelingSlider::mouseMoveEvent(QMouseEvent *event) {
    if (!mTracking) return NSSlider::mouseMoveEvent(event);
    trackTo(event->position());
    event->accept();
}

void NSUISelfLabelingSlider::mouseReleaseEvent(QMouseEvent *event) {
    if (!mTracking) return NSSlider::mouseReleaseEvent(event);
    mTracking = false;
    trackTo(event->position());
    event->accept();
}

void NSUISelfLabelingSlider::paintEvent(QPaintEvent *) {
    syncCell();
    const double scale = devicePixelRatioF();
    const std::shared_ptr<NSImage> image = mCell->sliderCellImage(CGRectMake(0, 0, width(), height()), false, scale);
    if (image == nullptr || image->representations().empty()) return;
    NSViewQuartzPainting painting(this);
    if (painting.context() == nullptr) return;
    const std::shared_ptr<NSGraphicsContext> context =
        NSGraphicsContext::graphicsContextWithGraphicsPort(painting.context(), false);
    NSGraphicsContext::saveGraphicsState();
    NSGraphicsContext::setCurrentContext(context);
    NSImageDrawInRect(*image, CGRectMake(0, 0, width(), height()), CGRectNull, NSCompositingOperationSourceOver, 1.0);
    NSGraphicsContext::restoreGraphicsState();
    QPainter(this).drawImage(QPointF(0, 0), painting.image());
}

bool import_NSUISelfLabelingSlider() { return import_NUCIControlImage() && import_NSSliderCell_Labeling(); }
