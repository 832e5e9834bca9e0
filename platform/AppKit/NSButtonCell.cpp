#include "NSButtonCell.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <cmath>

NSButtonCell::NSButtonCell() = default;
NSButtonCell::~NSButtonCell() = default;

void NSButtonCell::setButtonType(int type) {
    mButtonType = type;
    mHighlightsBy = isToggle() ? NSContentsCellMask : NSPushInCellMask | NSChangeGrayCellMask;
}

bool NSButtonCell::isToggle() const {
    return mButtonType == NSToggleButton || mButtonType == NSPushOnPushOffButton || mButtonType == NSOnOffButton ||
           mButtonType == NSSwitchButton || mButtonType == NSRadioButton;
}

int NSButtonCell::cellAttribute(int attribute) const {
    return attribute == NSCellLightsByContents ? int(mLightsByContents) : 0;
}

void NSButtonCell::setCellAttribute(int attribute, int value) {
    if (attribute == NSCellLightsByContents) mLightsByContents = value != 0;
}

std::shared_ptr<NSImage> NSButtonCell::shownImage() const {
    if (mAlternateImage) {
        const bool pressed = isHighlighted() && (mLightsByContents || (mHighlightsBy & NSContentsCellMask));
        const bool on = isToggle() && state() != 0;
        if (pressed || on) return mAlternateImage;
    }
    return mImage;
}

NSSize NSButtonCell::cellSize() const {
    if (mImage && mImagePosition != NSNoImage) return mImage->size();
    if (mImage && mTitle.isEmpty()) return mImage->size();
    if (mTitle.isEmpty()) return NSMakeSize(0, 0);
    const QFontMetricsF metrics(QApplication::font());
    return NSMakeSize(std::ceil(metrics.horizontalAdvance(mTitle)) + 12, std::ceil(metrics.height()) + 4);
}

void NSButtonCell::drawWithFrame(const QRectF &frame, QWidget *, QPainter &painter) const {
    painter.save();
    const std::shared_ptr<NSImage> picture = shownImage();
    QImage pixels;
    if (picture && !picture->representations().empty()) pixels = picture->representations().front()->toQImage();
    // A pressed button without a picture for it is dimmed, unless it highlights by nothing.
    const bool dim = isHighlighted() && picture == mImage && mHighlightsBy != 0 && !mLightsByContents;
    if (dim || !isEnabled()) painter.setOpacity(0.5);
    if (!pixels.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(frame, pixels);
    } else if (!mTitle.isEmpty()) {
        painter.drawText(frame, Qt::AlignCenter, mTitle);
    }
    painter.restore();
}

bool NSButtonCell::trackMouseUp(QPointF point, const QRectF &frame, QWidget *) {
    if (!frame.contains(point) || !isEnabled()) return false;
    if (isToggle()) setState(state() != 0 ? 0 : 1);
    sendAction();
    return true;
}
