#include "NSUISliderRotationView.h"

#include "NSControl_NormalValue.h"
#include "NSSlider.h"

#include <UICocoaViews/NSViewQuartzPainting.h>

#include <CoreG/Drawing/namespace_CoreGraphics_ContextCentered.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>

#include <QMouseEvent>
#include <QPainter>

#include <cmath>
#include <numbers>

NS_REGISTER_CLASS(NSUISliderRotationView);

namespace {

template <typename T>
T WrapDegrees(T v) {
    if (!std::isfinite(v)) return 0;
    if (v < T(-359)) {
        T whole;
        const T fraction = std::modf(v, &whole);
        v = fraction - std::fmod(-whole, T(360));
    }
    if (v < 0) v += T(360);
    if (v > T(359)) {
        T whole;
        const T fraction = std::modf(v, &whole);
        v = std::fmod(whole, T(360)) + fraction;
    }
    // A tiny negative fraction plus 360 rounds to 360 itself.
    if (v >= T(360)) v -= T(360);
    return v;
}

constexpr double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

}  // namespace

float NSUISliderRotationView_WrapDegrees(float degrees) { return WrapDegrees(degrees); }
double NSUISliderRotationView_WrapDegrees(double degrees) { return WrapDegrees(degrees); }

NSUISliderRotationView::NSUISliderRotationView(QWidget *parent)
    : NSUITargetActionView(parent), NSView_ModalMouse(this) {}

NSUISliderRotationView::~NSUISliderRotationView() = default;

void NSUISliderRotationView::awakeFromNib() { _recursion = 0; }

bool NSUISliderRotationView::acceptsFirstMouse(QMouseEvent *) const { return true; }

void NSUISliderRotationView::attachSlider(QObject *slider) {
    if (slider != nullptr && slider == mSynchronizedSlider) {
        updateTargetWithNormalValue(radialSliderNormalValue(slider));
    } else {
        detachSliderControl(false);
        mSynchronizedSlider = slider;
        mSynchronizedSliderInitialValue = slider != nullptr ? objectNormalValue(slider) : 0.0;
    }
    update();
}

void NSUISliderRotationView::detachSliderControl(bool restore) {
    if (restore && mSynchronizedSlider)
        NormalValue::setNormalValue(mSynchronizedSlider.data(), mSynchronizedSliderInitialValue);
    mSynchronizedSlider = nullptr;
    mSynchronizedSliderInitialValue = 0.0;
    update();
}

double NSUISliderRotationView::objectNormalValue(QObject *object) {
    if (!VERIFY_TEXT(object != nullptr, " code : object")) return 0.0;
    if (qobject_cast<NSSlider *>(object) != nullptr || respondsToSelector(object, "normalValue"))
        return NormalValue::normalValue(object);
    if (respondsToSelector(object, "floatValue")) {
        const float degrees = performSelector(object, "floatValue").toFloat();
        return NSUISliderRotationView_WrapDegrees(degrees) / 360.0f;
    }
    VERIFY_TEXT(false, " code : [[object class]instancesRespondToSelector:@selector(floatValue)]");
    return 0.0;
}

double NSUISliderRotationView::radialSliderNormalValue(QObject *object) {
    const double n = objectNormalValue(object);
    if (object == nullptr) return n;
    const double offset = RadialSliderDeltaValue::radialSliderOffsetDegrees(object);
    if (offset == 0.0) return n;
    return NSUISliderRotationView_WrapDegrees(n * 360.0 + offset) / 360.0;
}

std::optional<double> NSUISliderRotationView::dialFractionOfPoint(const QRectF &bounds, QPointF point) {
    // AppKit's sense: dy grows upwards.
    const float dx = static_cast<float>(point.x() - (bounds.x() + bounds.width() * 0.5));
    const float dy = static_cast<float>((bounds.y() + bounds.height() * 0.5) - point.y());
    if (!std::isfinite(dx) || !std::isfinite(dy)) return std::nullopt;
    if (std::hypot(dx, dy) < kDeadRadius) return std::nullopt;
    float a = std::atan(dy / dx) * 180.0f / std::numbers::pi_v<float>;
    if (dx < 0) a -= 180.0f;
    return std::fabs((90.0f - a) / 360.0f);
}

void NSUISliderRotationView::setSynchronizedSliderNormalValue(double normalValue) {
    if (_recursion != 0) return;
    ++_recursion;
    updateTargetWithNormalValue(normalValue);
    if (QObject *slider = mSynchronizedSlider.data()) {
        double n = normalValue;
        const double offset = RadialSliderDeltaValue::radialSliderOffsetDegrees(slider);
        if (offset != 0.0) n = NSUISliderRotationView_WrapDegrees(normalValue * 360.0 - offset) / 360.0;
        NormalValue::setNormalValue(slider, n);
        if (auto *nsSlider = qobject_cast<NSSlider *>(slider))
            nsSlider->sendAction();
        else if (respondsToSelector(slider, "performClick"))
            performSelector(slider, "performClick", NSKeyValueCoding::variantFromObject(this));
    }
    update();
    --_recursion;
}

void NSUISliderRotationView::updateTargetWithNormalValue(double normalValue) {
    performTargetActionWithObject(QVariant(static_cast<float>(normalValue * 360.0)));
}

void NSUISliderRotationView::synchronizeSliderFromPoint(QPointF point) {
    if (!mSynchronizedSlider) return;
    if (const auto fraction = dialFractionOfPoint(QRectF(rect()), point)) setSynchronizedSliderNormalValue(*fraction);
}

void NSUISliderRotationView::takeFloatValueFrom(QObject *sender) {
    if (!VERIFY_TEXT(sender != this, " code : sender!=self")) return;
    if (!VERIFY_TEXT(sender != nullptr, " code : sender")) return;
    setSynchronizedSliderNormalValue(objectNormalValue(sender));
}

void NSUISliderRotationView::mousePressEvent(QMouseEvent *event) {
    if (!mouseDown(NSViewModalMouse{}, *event)) NSUITargetActionView::mousePressEvent(event);
}

void NSUISliderRotationView::modalMouseBegin(NSViewModalMouse &record) { synchronizeSliderFromPoint(record.location); }
void NSUISliderRotationView::modalMouseMove(NSViewModalMouse &record) { synchronizeSliderFromPoint(record.location); }
void NSUISliderRotationView::modalMouseUp(NSViewModalMouse &record) { synchronizeSliderFromPoint(record.location); }
void NSUISliderRotationView::modalMouseEnd(NSViewModalMouse &record) { synchronizeSliderFromPoint(record.location); }

void NSUISliderRotationView::drawRect(CGContextRef context, CGRect dirtyRect) const {
    QObject *slider = mSynchronizedSlider.data();
    if (slider == nullptr || context == nullptr) return;
    const float a = NSUISliderRotationView_WrapDegrees(static_cast<float>(radialSliderNormalValue(slider) * 360.0));
    const CGRect r = CGRectInset(dirtyRect, dirtyRect.size.width * 0.05, dirtyRect.size.height * 0.05);
    CGContextSaveGState(context);
    CGContextTranslateCTM(context, r.origin.x, r.origin.y);
    {
        CoreGraphics::ContextCentered centered(r, context);
        const CGFloat radius = std::min(0.9 * r.size.width, 0.9 * r.size.height) * 0.5;
        // The ring.
        CGContextBeginPath(context);
        CGContextAddArc(context, 0, 0, radius, 0, 2 * std::numbers::pi, 0);
        CGContextSetLineWidth(context, 64);
        CGContextSetLineCap(context, kCGLineCapButt);
        CGContextSetRGBStrokeColor(context, 0.25, 0.25, 0.25, 0.25);
        CGContextStrokePath(context);
        // Sixteen ticks.
        CGContextSetRGBStrokeColor(context, 0, 0, 0, 1);
        CGContextSetLineWidth(context, 48);
        for (int i = 0; i < 16; ++i) {
            const double t = i * 22.5;
            CGContextBeginPath(context);
            CGContextAddArc(context, 0, 0, radius, Radians(t + 0.25), Radians(t), 1);
            CGContextStrokePath(context);
        }
        // The pointer: round from twelve o'clock to the angle, then in to the centre.
        CGContextSetLineWidth(context, 3);
        CGContextBeginPath(context);
        CGContextAddArc(context, 0, 0, radius, Radians(90), Radians(90.0 - a), 1);
        CGContextAddLineToPoint(context, 0, 0);
        CGContextStrokePath(context);
    }
    CGContextRestoreGState(context);
}

void NSUISliderRotationView::paintEvent(QPaintEvent *) {
    NSViewQuartzPainting painting(this);
    if (painting.context() == nullptr) return;
    drawRect(painting.context(), CGRectMake(0, 0, width(), height()));
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), painting.image());
}

bool import_NSUISliderRotationView() {
    if (!VERIFY_TEXT(import_NSControl_NormalValue(), " code : import_NSControl_NormalValue()")) return false;
    if (!VERIFY_TEXT(import_NSView_ModalMouse(), " code : import_NSView_ModalMouse()")) return false;
    return true;
}
