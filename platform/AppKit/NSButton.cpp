#include "NSButton.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionButton>

#include <algorithm>
#include <cmath>

namespace {

// The mask a cell attribute stands for, and whether it lives in highlightsBy (else showsStateBy).
bool AttributeMask(NSCellAttribute attribute, unsigned &mask, bool &highlights) {
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

QImage ShownImage(const std::shared_ptr<NSImage> &image) {
    if (image == nullptr || image->representations().empty()) return QImage();
    return image->representations().front()->toQImage();
}

// The image centred in the rectangle, at its size in points, scaled down to fit.
QRectF ImageRect(const NSImage &image, const QRectF &area) {
    const NSSize size = image.size();
    if (!(size.width > 0 && size.height > 0)) return QRectF();
    const double scale = std::min({1.0, area.width() / size.width, area.height() / size.height});
    const QSizeF drawn(size.width * scale, size.height * scale);
    return QRectF(area.center() - QPointF(drawn.width() / 2, drawn.height() / 2), drawn);
}

}  // namespace

// ---- NSButtonCell

void NSButtonCell::changed() {
    if (mControlView != nullptr) mControlView->update();
}

void NSButtonCell::setBezelStyle(NSBezelStyle style) {
    mBezelStyle = style;
    changed();
}

void NSButtonCell::setImagePosition(NSCellImagePosition position) {
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

void NSButtonCell::setHighlightsBy(unsigned mask) {
    mHighlightsBy = mask;
    changed();
}

void NSButtonCell::setShowsStateBy(unsigned mask) {
    mShowsStateBy = mask;
    changed();
}

void NSButtonCell::setCellAttribute(NSCellAttribute attribute, long value) {
    if (attribute == NSCellIsBordered) return setBordered(value != 0);
    unsigned mask = 0;
    bool highlights = false;
    if (!AttributeMask(attribute, mask, highlights)) return;
    unsigned &target = highlights ? mHighlightsBy : mShowsStateBy;
    target = value != 0 ? (target | mask) : (target & ~mask);
    changed();
}

long NSButtonCell::cellAttribute(NSCellAttribute attribute) const {
    if (attribute == NSCellIsBordered) return mBordered ? 1 : 0;
    unsigned mask = 0;
    bool highlights = false;
    if (!AttributeMask(attribute, mask, highlights)) return 0;
    return ((highlights ? mHighlightsBy : mShowsStateBy) & mask) != 0 ? 1 : 0;
}

// ---- NSButton

NSButton::NSButton(QWidget *parent) : QAbstractButton(parent) {
    // Connected first, so the state is the new one for every other receiver of clicked().
    connect(this, &QAbstractButton::clicked, this, &NSButton::advanceState);
}

NSButton::~NSButton() = default;

void NSButton::setState(int state) {
    const int value = state < 0 ? NSControlStateValueMixed : state == 0 ? NSControlStateValueOff : NSControlStateValueOn;
    if (value == mState) return;
    mState = value;
    update();
    emit stateChanged(mState);
}

void NSButton::advanceState() {
    if (mCell.showsStateBy() == NSNoCellMask) return;
    setState(mState == NSControlStateValueOn ? NSControlStateValueOff : NSControlStateValueOn);
}

void NSButton::setImage(std::shared_ptr<NSImage> image) {
    mImage = std::move(image);
    updateGeometry();
    update();
}

void NSButton::setAlternateImage(std::shared_ptr<NSImage> image) {
    mAlternateImage = std::move(image);
    update();
}

CGRect NSButton::bounds() const { return CGRectMake(0, 0, CGFloat(width()), CGFloat(height())); }

QSize NSButton::sizeHint() const {
    QSize hint(0, 0);
    if (mImage != nullptr && mCell.imagePosition() != NSNoImage) {
        const NSSize size = mImage->size();
        hint = QSize(int(std::ceil(size.width)), int(std::ceil(size.height)));
    }
    if (!mCell.title().isEmpty() && mCell.imagePosition() != NSImageOnly) {
        const QSize text = fontMetrics().size(Qt::TextShowMnemonic, mCell.title());
        hint = QSize(hint.width() + text.width() + 8, std::max(hint.height(), text.height()));
    }
    return hint.expandedTo(QSize(16, 16));
}

void NSButton::paintEvent(QPaintEvent *event) {
    const double ratio = devicePixelRatioF();
    QImage canvas(QSize(int(std::ceil(width() * ratio)), int(std::ceil(height() * ratio))),
                  QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull()) return;
    canvas.fill(Qt::transparent);
    // Qt's premultiplied ARGB32 is cairo's own layout (B, G, R, A in memory): drawn in place.
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGContextRef port = CGBitmapContextCreate(canvas.bits(), size_t(canvas.width()), size_t(canvas.height()), 8,
                                              size_t(canvas.bytesPerLine()), space,
                                              kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    CGColorSpaceRelease(space);
    if (port == nullptr) return;
    CGContextTranslateCTM(port, 0, CGFloat(canvas.height()));
    CGContextScaleCTM(port, ratio, -ratio);
    const auto context = NSGraphicsContext::graphicsContextWithGraphicsPort(port, true);
    CGContextRelease(port);

    NSGraphicsContext::saveGraphicsState();
    NSGraphicsContext::setCurrentContext(context);
    mCanvas = &canvas;
    const QRect dirty = event->rect();
    drawRect(CGRectMake(dirty.x(), dirty.y(), dirty.width(), dirty.height()));
    mCanvas = nullptr;
    context->flushGraphics();
    NSGraphicsContext::restoreGraphicsState();

    canvas.setDevicePixelRatio(ratio);
    QPainter(this).drawImage(QPointF(0, 0), canvas);
}

void NSButton::drawRect(CGRect) { drawCell(); }

void NSButton::drawCell() {
    if (mCanvas == nullptr) return;
    const auto context = NSGraphicsContext::currentContext();
    if (context != nullptr) context->flushGraphics();
    {
        QPainter painter(mCanvas);
        painter.scale(devicePixelRatioF(), devicePixelRatioF());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QRectF area(rect());
        const bool pressed = isDown();
        const bool on = mState == NSControlStateValueOn;

        if (mCell.isBordered() || mCell.isBezeled()) {
            QStyleOptionButton option;
            option.initFrom(this);
            if (pressed) option.state |= QStyle::State_Sunken;
            if (on && mCell.showsStateBy() != NSNoCellMask) option.state |= QStyle::State_On;
            style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
        }
        const unsigned lit = NSChangeGrayCellMask | NSChangeBackgroundCellMask;
        if ((pressed && (mCell.highlightsBy() & lit)) || (on && (mCell.showsStateBy() & lit)))
            painter.fillRect(area, QColor(0, 0, 0, 64));

        const bool alternate = mAlternateImage != nullptr &&
                               ((pressed && (mCell.highlightsBy() & NSContentsCellMask)) ||
                                (on && (mCell.showsStateBy() & NSContentsCellMask)));
        const std::shared_ptr<NSImage> &image = alternate ? mAlternateImage : mImage;
        const bool showsImage = image != nullptr && mCell.imagePosition() != NSNoImage;
        const bool showsTitle = !mCell.title().isEmpty() && mCell.imagePosition() != NSImageOnly;
        QRectF imageArea = area, titleArea = area;
        if (showsImage && showsTitle) {
            const double side = std::min(area.height(), area.width() / 2);
            imageArea = QRectF(area.left(), area.top(), side, area.height());
            titleArea = area.adjusted(side, 0, 0, 0);
        }
        if (showsImage) {
            const QImage picture = ShownImage(image);
            if (!picture.isNull()) painter.drawImage(ImageRect(*image, imageArea), picture);
        }
        if (showsTitle) {
            painter.setPen(palette().color(QPalette::ButtonText));
            painter.drawText(titleArea, Qt::AlignCenter | Qt::TextShowMnemonic, mCell.title());
        }
    }
    if (context != nullptr) context->bitmapDataWritten();
}
