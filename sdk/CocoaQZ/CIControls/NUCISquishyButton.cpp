#include "NUCISquishyButton.h"

#include "NUCICoreImage.h"

#include <AppKit/NSGraphicsContext.h>
#include <Foundation/NSObjCRuntime.h>
#include <UICocoaViews/NSView_NormalizedMouse.h>

#include <QImage>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>

#include <algorithm>

NUCISquishyButton::NUCISquishyButton(QWidget *parent) : NSButton(parent), protocol_MouseCapture(this) {
    // Any click (the queued one of a release, Qt's keyboard click) sends the action once.
    connect(this, &QAbstractButton::clicked, this, &NUCISquishyButton::sendTargetAction);
    createButtonDownFilter();
}

NUCISquishyButton::~NUCISquishyButton() = default;

void NUCISquishyButton::setSquishyAmountNormal(float amount) {
    mSquishyAmountNormal = amount;
    updateButtonDownFilterRadiusValue(mButtonDownFilter);
}

void NUCISquishyButton::createButtonDownFilter() {
    if (mButtonDownFilter != nullptr) return;
    CIFilterRef filter = CIFilter::filterWithName(buttonDownFilterName().toStdString());
    if (filter == nullptr) return;
    filter->setDefaults();
    setButtonDownFilterInputValues(filter);
    mButtonDownFilter = filter;
}

void NUCISquishyButton::setButtonDownFilterInputValues(const CIFilterRef &filter) {
    if (filter == nullptr) return;
    const CGSize pixels = boundsSizePixels();
    filter->setValue(-0.25, "inputScale");
    filter->setValue(CIVector::vectorWithX(pixels.width / 2, pixels.height / 2), "inputCenter");
    updateButtonDownFilterRadiusValue(filter);
}

void NUCISquishyButton::updateButtonDownFilterRadiusValue(const CIFilterRef &filter) {
    if (filter == nullptr) return;
    filter->setValue(bumpRadius(boundsSizePixels(), mSquishyAmountNormal), "inputRadius");
}

double NUCISquishyButton::bumpRadius(CGSize pixels, double amount) {
    return ((pixels.width + pixels.height) / 2 + std::min(pixels.width, pixels.height)) / 2 * 0.45 * amount;
}

CGPoint NUCISquishyButton::bumpCentre(QPointF point, QSizeF size, double scale) {
    if (!(size.width() > 0 && size.height() > 0)) return CGPointMake(0, 0);
    const double nx = std::clamp(point.x() / size.width(), 0.45, 0.55);
    const double ny = std::clamp(point.y() / size.height(), 0.45, 0.55);
    // Qt's y runs down, the face's pixels up.
    return CGPointMake(nx * size.width() * scale, (1.0 - ny) * size.height() * scale);
}

double NUCISquishyButton::scaleForRetinaDisplay() const {
    const QScreen *shown = screen();
    return shown != nullptr ? shown->devicePixelRatio() : 1.0;
}

CGSize NUCISquishyButton::boundsSizePixels() const {
    const double scale = scaleForRetinaDisplay();
    return CGSizeMake(width() * scale, height() * scale);
}

CIImageRef NUCISquishyButton::currentViewImage() {
    const QPixmap picture = grab();
    return NUCICoreImageWithQImage(picture.toImage());
}

void NUCISquishyButton::drawCIImage(const CIImageRef &image, CGRect rect) { NUCIDrawCIImageInRect(image, rect); }

void NUCISquishyButton::drawSquishyImageInRect(CGRect rect) {
    if (mButtonDownFilter == nullptr) return;
    drawCIImage(mButtonDownFilter->outputImage(), rect);
}

void NUCISquishyButton::drawRect(CGRect dirtyRect) {
    NSButton::drawRect(dirtyRect);
    if (mButtonDownImage != nullptr) drawSquishyImageInRect(bounds());
}

bool NUCISquishyButton::squishyShouldMouseUpPerformClick(QPointF point) const {
    const QPointF normal = NormalizedMouse::normalizedPointFromViewPoint(*this, point);
    return width() > 0 && height() > 0 && normal.x() >= 0 && normal.x() <= 1 && normal.y() >= 0 && normal.y() <= 1;
}

void NUCISquishyButton::performClick() { click(); }

void NUCISquishyButton::performTargetAction() { sendTargetAction(); }

void NUCISquishyButton::sendTargetAction() {
    QObject *receiver = mTarget.data();
    if (receiver == nullptr || mAction.isEmpty()) return;
    performSelector(receiver, mAction, QVariant::fromValue<QObject *>(this));
}

void NUCISquishyButton::moveBumpCentre(QPointF point) {
    if (mButtonDownFilter == nullptr) return;
    const CGPoint centre = bumpCentre(point, QSizeF(size()), scaleForRetinaDisplay());
    mButtonDownFilter->setValue(CIVector::vectorWithCGPoint(centre), "inputCenter");
    update();
}

void NUCISquishyButton::mousePressEvent(QMouseEvent *event) {
    event->accept();
    if (!mSquishyEnabled || event->button() != Qt::LeftButton || !isEnabled()) return;
    mReleased = false;
    // The face as it is, before the squished picture is drawn over it.
    mButtonDownImage = transformedCurrentViewImage();
    if (mButtonDownFilter != nullptr) {
        mButtonDownFilter->setValue(mButtonDownImage, kCIInputImageKey);
        updateButtonDownFilterRadiusValue(mButtonDownFilter);
    }
    moveBumpCentre(event->position());
    if (!protocol_MouseCaptureEventLoop(std::make_unique<MouseCaptureRecord>(*event))) {
        mButtonDownImage = nullptr;
        update();
    }
}

// The loop takes the drags and the release; these only see what it lets through.
void NUCISquishyButton::mouseReleaseEvent(QMouseEvent *event) { event->accept(); }
void NUCISquishyButton::mouseMoveEvent(QMouseEvent *event) { event->accept(); }

void NUCISquishyButton::mouseCaptureBegin(MouseCaptureRecord &record) { moveBumpCentre(record.location); }
void NUCISquishyButton::mouseCaptureMove(MouseCaptureRecord &record) { moveBumpCentre(record.location); }

void NUCISquishyButton::mouseCaptureUp(MouseCaptureRecord &record) {
    mReleased = true;
    mReleasePoint = record.location;
}

void NUCISquishyButton::mouseCaptureEnd(MouseCaptureRecord &record) {
    moveBumpCentre(record.location);
    if (mButtonDownImage != nullptr && mReleased) {
        if (shouldMouseUpPerformClick(mReleasePoint))
            QMetaObject::invokeMethod(this, &NUCISquishyButton::performClick, Qt::QueuedConnection);
        else if (shouldMouseUpSendTargetAction(mReleasePoint))
            QMetaObject::invokeMethod(this, &NUCISquishyButton::performTargetAction, Qt::QueuedConnection);
    }
    mReleased = false;
    mButtonDownImage = nullptr;
    if (mButtonDownFilter != nullptr) mButtonDownFilter->setValue(CIImageRef(), kCIInputImageKey);
    update();
}

bool import_NUCISquishyButton() { return import_protocol_MouseCapture() && import_NSView_NormalizedMouse(); }
