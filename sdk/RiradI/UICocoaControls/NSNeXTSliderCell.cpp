#include "NSNeXTSliderCell.h"

#include "NSNeXTContentView.h"
#include "protocol_NSUIControlCellDelegate.h"

#include <AppKit/NSGraphicsContext.h>
#include <CocoaGraphics/NSImage_NSNextRetinaImage.h>
#include <CoreX/CoreMachDebugLog.h>

#include <QScreen>
#include <QWidget>

#include <cmath>
#include <cstdio>

namespace {

CGContextRef CurrentPort() {
    const std::shared_ptr<NSGraphicsContext> context = NSGraphicsContext::currentContext();
    return context != nullptr ? context->graphicsPort() : nullptr;
}

// Draws the image upright with its lower left corner at the point: in a flipped context the
// corner is the one with the larger y.
void CompositeToPoint(CGContextRef port, const NSImage &image, CGPoint point, bool flipped) {
    const NSSize size = image.size();
    CGContextSaveGState(port);
    CGContextTranslateCTM(port, point.x, point.y);
    if (flipped) CGContextScaleCTM(port, 1.0, -1.0);
    NSImageDrawInRect(image, CGRectMake(0, 0, size.width, size.height), CGRectZero, NSCompositingOperationSourceOver,
                      1.0);
    CGContextRestoreGState(port);
}

void StrokeSegment(CGContextRef port, CGFloat grey, CGPoint from, CGPoint to) {
    CGContextSaveGState(port);
    CGContextSetLineWidth(port, 0.5);
    CGContextSetGrayStrokeColor(port, grey, 1.0);
    const CGPoint segment[] = {from, to};
    CGContextStrokeLineSegments(port, segment, 2);
    CGContextRestoreGState(port);
}

}  // namespace

NSNeXTSliderCell::NSNeXTSliderCell() = default;

NSNeXTSliderCell::NSNeXTSliderCell(const NSSliderCell &cell) {
    setMinValue(cell.minValue());
    setMaxValue(cell.maxValue());
    setTarget(cell.target());
    setAction(cell.action());
    if (const auto *next = qobject_cast<const NSNeXTSliderCell *>(&cell)) setOutletLabelFormat(next->outletLabelFormat());
}

NSNeXTSliderCell::~NSNeXTSliderCell() = default;

std::shared_ptr<NSNeXTSliderCell> NSNeXTSliderCell::sliderCellWithCopyOfSliderCell(const NSSliderCell &cell) {
    return std::make_shared<NSNeXTSliderCell>(cell);
}

QString NSNeXTSliderCell::outletLabelFormat() const {
    std::lock_guard guard(mFormatLock);
    return mOutletLabelFormat;
}

void NSNeXTSliderCell::setOutletLabelFormat(const QString &format) {
    std::lock_guard guard(mFormatLock);
    mOutletLabelFormat = format;
}

bool NSNeXTSliderCell::continueTracking(QWidget *controlView) {
    if (controlView != nullptr) controlView->update();
    return true;
}

QString NSNeXTSliderCell::formatDouble(const QString &format, double value) {
    // Literal text, "%%", and exactly one conversion %[-+ #0]*[width][.precision][l]<f e g a>.
    const QByteArray bytes = format.toUtf8();
    int conversions = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '%') continue;
        if (++i < bytes.size() && bytes[i] == '%') continue;
        while (i < bytes.size() && QByteArrayView("-+ #0").contains(bytes[i])) ++i;
        int width = 0;
        while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9' && width <= 64) width = width * 10 + (bytes[i++] - '0');
        int precision = 0;
        if (i < bytes.size() && bytes[i] == '.') {
            ++i;
            while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9' && precision <= 64) {
                precision = precision * 10 + (bytes[i++] - '0');
            }
        }
        if (i < bytes.size() && bytes[i] == 'l') ++i;
        if (width > 64 || precision > 64 || i >= bytes.size() || !QByteArrayView("feEgGaA").contains(bytes[i])) {
            return {};
        }
        ++conversions;
    }
    if (conversions != 1) return {};
    char text[512];
    const int length = std::snprintf(text, sizeof text, bytes.constData(), value);
    if (length < 0) return {};
    return QString::fromUtf8(text, std::min<qsizetype>(length, qsizetype(sizeof text) - 1));
}

QString NSNeXTSliderCell::descriptiveSelfLabelWithFormat(const QString &format, const QVariant &value) {
    if (auto *delegate = dynamic_cast<protocol_NSUIControlCellDelegate *>(mDelegate.data())) {
        if (std::optional<QString> description = delegate->controlCell(this, value)) return *description;
    }
    const double number = value.toDouble();
    QString text = formatDouble(format, number);
    if (!VERIFY_TEXT(!text.isNull(), " code : !formatDouble(format, number).isNull()")) {
        text = formatDouble(QString::fromLatin1(kDefaultLabelFormat), number);
    }
    return text;
}

std::shared_ptr<NSImage> NSNeXTSliderCell::horizontalImageWithText(const QString &text, CGRect rect,
                                                                   double scale) const {
    const CGRect horizontal = NSSliderCell_Labeling::alwaysHorizontalFrame(rect);
    const CGRect bounds = CGRectMake(0, 0, horizontal.size.width, horizontal.size.height);
    std::unique_ptr<UFOffscreenBitmapGraphicsContext> offscreen =
        NSSliderCell_Labeling::beginNewImageWithLockedFocus(bounds, scale);
    if (offscreen == nullptr) return nullptr;
    const CGFloat w = bounds.size.width, h = bounds.size.height;
    const CGRect textRect = CGRectInset(bounds, 12.0, 0.1 * h);
    const CGRect capsule = CGRectInset(CGRectInset(bounds, 0.3 * w, 0.1 * h), 0.5, 0.5);
    NSSliderCell_Labeling::drawLozengeBackground(capsule, 0.7f, 0.9f);
    NSSliderCell_Labeling::drawTextInRect(textRect, text, horizontalImageTextSize(), QColor(Qt::black));
    offscreen->unlockFocus();
    std::shared_ptr<NSImage> image = offscreen->image();
    if (image != nullptr) image->setSize(NSMakeSize(w, h));
    return image;
}

void NSNeXTSliderCell::drawBarBackgroundInside(CGRect rect) {
    CGContextRef port = CurrentPort();
    if (port == nullptr) return;
    const CGFloat x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    StrokeSegment(port, 0.0, CGPointMake(x, y), CGPointMake(x + w, y));
    StrokeSegment(port, 1.0, CGPointMake(x + w, y), CGPointMake(x + w, y + h));
    StrokeSegment(port, 1.0, CGPointMake(x, y + h), CGPointMake(x + w, y + h));
    StrokeSegment(port, 0.0, CGPointMake(x, y), CGPointMake(x, y + h));
}

void NSNeXTSliderCell::drawBarInside(CGRect rect, bool flipped, QWidget *controlView) {
    CGContextRef port = CurrentPort();
    if (port == nullptr || CGRectIsEmpty(rect)) return;
    CGContextSaveGState(port);
    NSNeXTContentView::fillWithSliderBarColor(port, rect);
    CGContextSetInterpolationQuality(port, kCGInterpolationNone);
    CGContextSaveGState(port);
    CGContextSetRGBStrokeColor(port, 0, 0, 0, 1);
    CGContextSetLineWidth(port, 1.0);
    CGContextStrokeRect(port, rect);
    CGContextRestoreGState(port);
    drawBarBackgroundInside(CGRectInset(rect, 1.0, 1.0));
    CGContextSetGrayFillColor(port, 1.0, 1.0);

    QString format = outletLabelFormat();
    if (format.isEmpty()) format = QString::fromLatin1(kDefaultLabelFormat);
    const QString text = descriptiveSelfLabelWithFormat(format, QVariant(doubleValue()));
    const QScreen *screen = controlView != nullptr ? controlView->screen() : nullptr;
    const double scale = NSSliderCell_Labeling::scaleForRetinaDisplay(screen);
    std::shared_ptr<NSImage> image = horizontalImageWithText(text, rect, scale);
    if (image != nullptr && !NSSliderCell_Labeling::isHorizontal(rect)) {
        image = NSSliderCell_Labeling::rotateImage(image, screen, 90.0);
    }
    if (image != nullptr) {
        const CGPoint at = flipped ? CGPointMake(rect.origin.x, rect.origin.y + rect.size.height) : rect.origin;
        CompositeToPoint(port, *image, at, flipped);
    }
    CGContextRestoreGState(port);
}

void NSNeXTSliderCell::drawKnob(CGRect knobRect) const {
    CGContextRef port = CurrentPort();
    const std::shared_ptr<NSImage> knob = NSImage_NSNextRetinaImage::nextRetinaImageNamed(QStringLiteral("NSNeXTSliderKnob"));
    if (port == nullptr || knob == nullptr || CGRectIsEmpty(knobRect)) return;
    // Upright in the knob rectangle of a flipped view.
    CGContextSaveGState(port);
    CGContextTranslateCTM(port, knobRect.origin.x, knobRect.origin.y + knobRect.size.height);
    CGContextScaleCTM(port, 1.0, -1.0);
    NSImageDrawInRect(*knob, CGRectMake(0, 0, knobRect.size.width, knobRect.size.height), CGRectZero,
                      NSCompositingOperationSourceOver, 1.0);
    CGContextRestoreGState(port);
}

void NSNeXTSliderCell::drawCell(CGRect frame, QWidget *controlView) {
    if (CGRectIsEmpty(frame)) return;
    drawBarInside(frame, true, controlView);
    drawKnob(NSSliderCell_Labeling::calculateKnobRectForCellFrame(*this, CGRectInset(frame, 1.0, 1.0), true));
}

bool import_NSNeXTSliderCell() {
    if (!VERIFY_TEXT(import_NSSliderCell_Labeling(), " code : import_NSSliderCell_Labeling()")) return false;
    return import_NSImage_NSNextRetinaImage();
}
