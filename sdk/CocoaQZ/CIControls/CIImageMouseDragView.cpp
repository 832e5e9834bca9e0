#include "CIImageMouseDragView.h"

#include "NUCICoreImage.h"

#include <Foundation/NSObjCRuntime.h>
#include <UICocoaViews/NSViewQuartzPainting.h>

#include <QEnterEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>

#include <algorithm>

NS_REGISTER_CLASS(CIImageMouseDragView);

CIImageMouseDragView::CIImageMouseDragView(QWidget *parent) : NSUITargetActionView(parent) {
    setFocusPolicy(Qt::StrongFocus);
}

CIImageMouseDragView::~CIImageMouseDragView() = default;

void CIImageMouseDragView::setSlider(int index, NSSlider *slider) {
    mSliders[index] = slider;
    if (slider == nullptr) return;
    slider->setTarget(this);
    slider->setAction("sliderChanged:");
    slider->setHidden(mSlidersHidden);
}

QPointF CIImageMouseDragView::point(int x, int y, QPointF kept) const {
    const NSSlider *sx = mSliders[x], *sy = mSliders[y];
    return QPointF(sx != nullptr ? sx->floatValue() : float(kept.x()), sy != nullptr ? sy->floatValue() : float(kept.y()));
}

QPointF CIImageMouseDragView::p0() const { return point(0, 1, mP0); }
QPointF CIImageMouseDragView::p1() const { return point(2, 3, mP1); }

void CIImageMouseDragView::setP0(QPointF p) {
    mP0 = QPointF(float(p.x()), float(p.y()));
    if (mSliders[0] != nullptr) mSliders[0]->setFloatValue(float(p.x()));
    if (mSliders[1] != nullptr) mSliders[1]->setFloatValue(float(p.y()));
    emit p0Changed();
}

void CIImageMouseDragView::setP1(QPointF p) {
    mP1 = QPointF(float(p.x()), float(p.y()));
    if (mSliders[2] != nullptr) mSliders[2]->setFloatValue(float(p.x()));
    if (mSliders[3] != nullptr) mSliders[3]->setFloatValue(float(p.y()));
    emit p1Changed();
}

void CIImageMouseDragView::setImage(CIImageRef image) {
    if (!NSIsMainThread()) {
        QMetaObject::invokeMethod(this, [this, image] { setImage(image); }, Qt::QueuedConnection);
        return;
    }
    mImage = std::move(image);
    update();
}

void CIImageMouseDragView::setSlidersHidden(bool hidden) {
    mSlidersHidden = hidden;
    for (const auto &slider : mSliders)
        if (slider != nullptr) slider->setHidden(hidden);
    update();
}

QPointF CIImageMouseDragView::normalPointFromViewPoint(QPointF p) const {
    if (width() <= 0 || height() <= 0) return {};
    return QPointF(p.x() / width(), 1.0 - p.y() / height());
}

QPointF CIImageMouseDragView::viewPointFromNormalPoint(QPointF n) const {
    return QPointF(n.x() * width(), (1.0 - n.y()) * height());
}

void CIImageMouseDragView::sendAction() { performTargetActionWithObject(static_cast<QObject *>(this)); }

void CIImageMouseDragView::beginTrackingNormal(QPointF normal) {
    mT0 = mT1 = mLastNormal = normal;
    mDragging = true;
    update();
}

void CIImageMouseDragView::endTrackingNormal(QPointF normal, bool) {
    if (!mDragging) return;
    mDragging = false;
    mT1 = normal;
    setP0(mT0);
    setP1(mT1);
    sendAction();
    update();
    mT0 = mT1 = QPointF(0, 0);
}

void CIImageMouseDragView::updateActionWithPoint0(QPointF point0, QPointF point1) {
    setP0(point0);
    setP1(point1);
    sendAction();
    update();
}

void CIImageMouseDragView::sliderChanged(QObject *sender) {
    if (sender == nullptr) return;
    if (sender == mSliders[0] || sender == mSliders[1])
        emit p0Changed();
    else if (sender == mSliders[2] || sender == mSliders[3])
        emit p1Changed();
    else
        return;
    sendAction();
    update();
}

void CIImageMouseDragView::allSlidersChangedUpdateDependentKeys() {
    emit p0Changed();
    emit p1Changed();
}

void CIImageMouseDragView::viewControlsWereUpdated() {
    allSlidersChangedUpdateDependentKeys();
    sendAction();
    update();
}

void CIImageMouseDragView::mousePressEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return NSUITargetActionView::mousePressEvent(event);
    beginTrackingNormal(normalPointFromViewPoint(event->position()));
}

void CIImageMouseDragView::mouseMoveEvent(QMouseEvent *event) {
    if (!mDragging) return;  // a move without a drag does nothing
    const QPointF p = event->position();
    const QPointF normal = normalPointFromViewPoint(p);
    if (!(p.x() >= 0 && p.x() <= width() && p.y() >= 0 && p.y() <= height())) {
        // The drag left the view: it ends where it left, on the view's edge.
        endTrackingNormal(QPointF(std::clamp(normal.x(), 0.0, 1.0), std::clamp(normal.y(), 0.0, 1.0)), false);
        return;
    }
    mT1 = mLastNormal = normal;
    update();
}

void CIImageMouseDragView::mouseReleaseEvent(QMouseEvent *event) {
    if (event->button() != Qt::LeftButton) return NSUITargetActionView::mouseReleaseEvent(event);
    endTrackingNormal(normalPointFromViewPoint(event->position()), true);
}

void CIImageMouseDragView::enterEvent(QEnterEvent *event) {
    NSUITargetActionView::enterEvent(event);
    if (QWidget *host = window()) {
        mWasTracking = host->hasMouseTracking();
        host->setMouseTracking(true);
    }
    setFocus(Qt::MouseFocusReason);
}

void CIImageMouseDragView::leaveEvent(QEvent *event) {
    NSUITargetActionView::leaveEvent(event);
    if (QWidget *host = window()) host->setMouseTracking(mWasTracking);
    // Only a drag in progress ends here; the points are the user's otherwise.
    if (mDragging) endTrackingNormal(mLastNormal, false);
    repaint();
}

void CIImageMouseDragView::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    if (mImage != nullptr) {
        NSViewQuartzPainting painting(this);
        if (painting.context() != nullptr) {
            NUCIDrawCIImageInContext(painting.context(), false, mImage, CGRectMake(0, 0, width(), height()));
            painter.drawImage(QPointF(0, 0), painting.image());
        }
    }
    if (mSlidersHidden) return;
    painter.setRenderHint(QPainter::Antialiasing);
    if (mDragging) {
        QPen line(Qt::black, 6.0, Qt::SolidLine, Qt::RoundCap);
        painter.setPen(line);
        painter.drawLine(viewPointFromNormalPoint(mT0), viewPointFromNormalPoint(mT1));
        return;
    }
    const QPointF a = viewPointFromNormalPoint(p0()), b = viewPointFromNormalPoint(p1());
    QPen dashed(Qt::black, 0.3333, Qt::CustomDashLine, Qt::FlatCap);
    // Qt's dash lengths are in units of the pen's width.
    dashed.setDashPattern({2.0 / 0.3333, 3.0 / 0.3333});
    painter.setPen(dashed);
    painter.drawLine(QPointF(a.x(), 0), QPointF(a.x(), height()));
    painter.drawLine(QPointF(b.x(), 0), QPointF(b.x(), height()));
    painter.drawLine(QPointF(0, a.y()), QPointF(width(), a.y()));
    painter.drawLine(QPointF(0, b.y()), QPointF(width(), b.y()));
    painter.setPen(QPen(Qt::white, 3.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(a, b).normalized());
}

bool import_CIImageMouseDragView() { return true; }
