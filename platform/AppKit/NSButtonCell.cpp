#include "NSButtonCell.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <cmath>

namespace {

// The mask a cell attribute stands for, and whether it lives in highlightsBy (else showsStateBy).
bool AttributeMask(int attribute, int &mask, bool &highlights) {
    switch (attribute) {
    case NSPushInCell: mask = NSPushInCellMask, highlights = true; return true;
    case NSCellLightsByContents: mask = NSContentsCellMask, highlights = true; return true;
    case NSCellLightsByGray: mask = NSChangeGrayCellMask, highlights = true; return true;
    case NSCellLightsByBackground: mask = NSChangeBackgroundCellMask, highlights = true; return true;
    case NSChangeGrayCell: mask = NSChangeGrayCellMask, highlights = false; return true;
    case NSChangeBackgroundCell: mask = NSChangeBackgroundCellMask, highlights = false; return true;
    case NSCellChangesContents: mask = NSContentsCellMask, highlights = false; return true;
    default: return false;
    }
}

}  // namespace

NSButtonCell::NSButtonCell() = default;
NSButtonCell::~NSButtonCell() = default;

void NSButtonCell::changed() {
    if (QWidget *view = mControlView.data()) view->update();
}

void NSButtonCell::setButtonType(int type) {
    mButtonType = type;
    mHighlightsBy = isToggle() ? NSContentsCellMask : NSPushInCellMask | NSChangeGrayCellMask;
    changed();
}

void NSButtonCell::setBezelStyle(int style) {
    mBezelStyle = style;
    changed();
}

void NSButtonCell::setImagePosition(int position) {
    mImagePosition = position;
    changed();
}

void NSButtonCell::setBezeled(bool bezeled) {
    mBezeled = bezeled;
    changed();
}

void NSButtonCell::setBordered(bool bordered) {
    mBordered = bordered;
    changed();
}

void NSButtonCell::setTitle(const QString &title) {
    mTitle = title;
    changed();
}

void NSButtonCell::setImage(std::shared_ptr<NSImage> image) {
    mImage = std::move(image);
    changed();
}

void NSButtonCell::setAlternateImage(std::shared_ptr<NSImage> image) {
    mAlternateImage = std::move(image);
    changed();
}

void NSButtonCell::setHighlightsBy(int mask) {
    mHighlightsBy = mask;
    changed();
}

void NSButtonCell::setShowsStateBy(int mask) {
    mShowsStateBy = mask;
    changed();
}

void NSButtonCell::setState(int state) {
    const int value = state < 0 ? NSControlStateValueMixed : state == 0 ? NSControlStateValueOff : NSControlStateValueOn;
    if (value == this->state() && doubleValue() == value) return;
    setIntegerValue(value);
    changed();
}

bool NSButtonCell::isToggle() const {
    return mButtonType == NSToggleButton || mButtonType == NSPushOnPushOffButton || mButtonType == NSOnOffButton ||
           mButtonType == NSSwitchButton || mButtonType == NSRadioButton;
}

void NSButtonCell::setCellAttribute(int attribute, int value) {
    if (attribute == NSCellIsBordered) return setBordered(value != 0);
    int mask = 0;
    bool highlights = false;
    if (!AttributeMask(attribute, mask, highlights)) return;
    int &target = highlights ? mHighlightsBy : mShowsStateBy;
    target = value != 0 ? (target | mask) : (target & ~mask);
    changed();
}

int NSButtonCell::cellAttribute(int attribute) const {
    if (attribute == NSCellIsBordered) return mBordered ? 1 : 0;
    int mask = 0;
    bool highlights = false;
    if (!AttributeMask(attribute, mask, highlights)) return 0;
    return ((highlights ? mHighlightsBy : mShowsStateBy) & mask) != 0 ? 1 : 0;
}

std::shared_ptr<NSImage> NSButtonCell::shownImage() const {
    if (mAlternateImage) {
        const bool pressed = isHighlighted() && (mHighlightsBy & NSContentsCellMask);
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
    const bool dim = isHighlighted() && picture == mImage && mHighlightsBy != 0;
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
