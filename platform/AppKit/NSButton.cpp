#include "NSButton.h"

#include <QPaintEvent>
#include <QPainter>
#include <QStyleOptionButton>

#include <algorithm>
#include <cmath>

namespace {

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

// ---- NSButton

NSButton::NSButton(QWidget *parent) : QAbstractButton(parent), mCell(std::make_shared<NSButtonCell>()) {
    mCell->setBezeled(false);
    mCell->setTitle(QString());
    mCell->setControlView(this);
    // Connected first, so the state is the new one for every other receiver of clicked().
    connect(this, &QAbstractButton::clicked, this, &NSButton::advanceState);
}

NSButton::~NSButton() = default;

void NSButton::setState(int state) {
    const int value = state < 0 ? NSControlStateValueMixed : state == 0 ? NSControlStateValueOff : NSControlStateValueOn;
    if (value == mCell->state()) return;
    mCell->setState(value);
    update();
    emit stateChanged(value);
}

void NSButton::advanceState() {
    if (mCell->showsStateBy() == NSNoCellMask) return;
    setState(mCell->state() == NSControlStateValueOn ? NSControlStateValueOff : NSControlStateValueOn);
}

void NSButton::setImage(std::shared_ptr<NSImage> image) {
    mCell->setImage(std::move(image));
    updateGeometry();
}

void NSButton::setAlternateImage(std::shared_ptr<NSImage> image) {
    mCell->setAlternateImage(std::move(image));
}

CGRect NSButton::bounds() const { return CGRectMake(0, 0, CGFloat(width()), CGFloat(height())); }

QSize NSButton::sizeHint() const {
    QSize hint(0, 0);
    const std::shared_ptr<NSImage> &image = mCell->image();
    if (image != nullptr && mCell->imagePosition() != NSNoImage) {
        const NSSize size = image->size();
        hint = QSize(int(std::ceil(size.width)), int(std::ceil(size.height)));
    }
    if (!mCell->title().isEmpty() && mCell->imagePosition() != NSImageOnly) {
        const QSize text = fontMetrics().size(Qt::TextShowMnemonic, mCell->title());
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
        const bool on = mCell->state() == NSControlStateValueOn;

        if (mCell->isBordered() || mCell->isBezeled()) {
            QStyleOptionButton option;
            option.initFrom(this);
            if (pressed) option.state |= QStyle::State_Sunken;
            if (on && mCell->showsStateBy() != NSNoCellMask) option.state |= QStyle::State_On;
            style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, this);
        }
        const unsigned lit = NSChangeGrayCellMask | NSChangeBackgroundCellMask;
        if ((pressed && (mCell->highlightsBy() & lit)) || (on && (mCell->showsStateBy() & lit)))
            painter.fillRect(area, QColor(0, 0, 0, 64));

        const bool alternate = mCell->alternateImage() != nullptr &&
                               ((pressed && (mCell->highlightsBy() & NSContentsCellMask)) ||
                                (on && (mCell->showsStateBy() & NSContentsCellMask)));
        const std::shared_ptr<NSImage> &image = alternate ? mCell->alternateImage() : mCell->image();
        const bool showsImage = image != nullptr && mCell->imagePosition() != NSNoImage;
        const bool showsTitle = !mCell->title().isEmpty() && mCell->imagePosition() != NSImageOnly;
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
            painter.drawText(titleArea, Qt::AlignCenter | Qt::TextShowMnemonic, mCell->title());
        }
    }
    if (context != nullptr) context->bitmapDataWritten();
}
