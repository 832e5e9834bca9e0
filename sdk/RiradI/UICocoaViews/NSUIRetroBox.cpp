#include "NSUIRetroBox.h"

#include "NSViewQuartzPainting.h"

#include <CoreG/Drawing/namespace_CoreGraphics_ScaledRoundRect.h>
#include <CoreX/CoreMachDebugLog.h>

#include <QApplication>
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include <Foundation/NSObjCRuntime.h>

// Made by name when a .ui file names the class.
NS_REGISTER_CLASS(NSUIRetroBox);

namespace {

constexpr const char *kFile = "/Code/sdk/RiradI/UICocoaViews/NSUIRetroBox";

// The system font size of the mini control size.
constexpr int kMiniFontSize = 9;

QColor ColorOf(const QVariant &value) { return value.value<QColor>(); }

// A 16 x 16 picture drawn for a box button when the bundle has none.
QImage DrawnButtonImage(const QString &name) {
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool down = name.endsWith(QLatin1String("Down")) || name == QLatin1String("LockedButton");
    const QColor ink = down ? QColor(40, 40, 40, 230) : QColor(90, 90, 90, 200);
    painter.setPen(QPen(ink, 1.6));
    if (name.startsWith(QLatin1String("Reset"))) {
        // A circular arrow.
        const QRectF ring(3.5, 3.5, 9, 9);
        painter.drawArc(ring, 60 * 16, 300 * 16);
        QPainterPath head;
        head.moveTo(12.8, 1.8);
        head.lineTo(13.4, 6.4);
        head.lineTo(9.0, 5.2);
        painter.setBrush(ink);
        painter.drawPath(head);
    } else {
        // A padlock, closed for "LockedButton".
        painter.setBrush(ink);
        painter.drawRoundedRect(QRectF(3.5, 7.5, 9, 7), 1, 1);
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(5, down ? 2.5 : 0.5, 6, 9), 0, 180 * 16);
        if (!down) painter.drawLine(QPointF(11, 5), QPointF(11, 7.5));
    }
    return image;
}

}  // namespace

NSUIRetroBox::NSUIRetroBox(QWidget *parent) : QWidget(parent) { NSUIRetroBox::initBoxAttributes(); }

NSUIRetroBox::~NSUIRetroBox() = default;

void NSUIRetroBox::initBoxAttributes() {
    _leftButtonX = constButtonCellMargin;
    setBoxDefaults();
    _borderColor = color_4D{0.6f, 0.6f, 0.6f, 0.46199998f};
    _fillColor = color_4D{0.1f, 0.1f, 0.1f, 0.1f};
}

void NSUIRetroBox::setTitle(const QString &title) {
    mTitle = title;
    update();
}

void NSUIRetroBox::setBoxBorderColor(color_4D color) {
    _borderColor = color;
    update();
}

void NSUIRetroBox::setBoxFillColor(color_4D color) {
    _fillColor = color;
    update();
}

void NSUIRetroBox::awakeFromNib() {
    if (!import_NSViewCellAttachments())
        _CoreMachDebugVerifyBody("-[NSUIRetroBox awakeFromNib]", kFile, 113, " code : import_NSViewCellAttachments()");
}

CGRect NSUIRetroBox::bounds() const { return CGRectMake(0, 0, width(), height()); }

const QVariantMap &NSUIRetroBox::titleTextAttributesOfClass() {
    static const QVariantMap sTitleAttributes = [] {
        QFont font = QApplication::font();
        font.setBold(true);
        font.setPixelSize(kMiniFontSize);
        QColor color;
        color.setRgbF(0.1f, 0.1f, 0.1f, 0.8f);
        return QVariantMap{{QStringLiteral("NSFont"), font},
                           {QStringLiteral("NSColor"), color},
                           {QStringLiteral("NSParagraphStyle"),
                            QVariantMap{{QStringLiteral("alignment"), 0}, {QStringLiteral("lineBreakMode"), 4}}}};
    }();
    return sTitleAttributes;
}

std::shared_ptr<NSButtonCell> NSUIRetroBox::buttonCellType(int type, std::shared_ptr<NSImage> upImage,
                                                           std::shared_ptr<NSImage> downImage,
                                                           const QByteArray &action, QObject *target) {
    auto cell = std::make_shared<NSButtonCell>();
    cell->setButtonType(type);
    cell->setBezelStyle(NSShadowlessSquareBezelStyle);
    cell->setImagePosition(NSImageOnly);
    cell->setBezeled(false);
    cell->setBordered(false);
    cell->setTitle(QString());
    cell->setImage(std::move(upImage));
    if (downImage) {
        cell->setAlternateImage(std::move(downImage));
        cell->setHighlightsBy(0);
        cell->setCellAttribute(NSCellLightsByContents, 1);
    }
    cell->setAction(action);
    cell->setTarget(target);
    return cell;
}

std::shared_ptr<NSSliderCell> NSUIRetroBox::kindSliderCell(int count, const QByteArray &action, QObject *target) {
    auto cell = std::make_shared<NSSliderCell>();
    cell->setControlSize(NSMiniControlSize);
    cell->setMinValue(0);
    cell->setMaxValue(count - 1);
    cell->setNumberOfTickMarks(count);
    cell->setAllowsTickMarkValuesOnly(true);
    cell->setContinuous(true);
    cell->setTickMarkPosition(NSTickMarkAbove);
    cell->setIntegerValue(0);
    cell->setAction(action);
    cell->setTarget(target);
    return cell;
}

std::shared_ptr<NSCell> NSUIRetroBox::addAttachmentCell(std::shared_ptr<NSCell> cell, CGPoint origin, CGSize size,
                                                        CGFloat margin) {
    const CGRect box = bounds();
    const CGPoint at = CGPointMake(box.origin.x + origin.x + _leftButtonX,
                                   box.origin.y + origin.y + box.size.height - size.height - margin);
    cellAttachmentsAdd(this, _attachments, cell, at, size);
    _leftButtonX += size.width + margin;
    return cell;
}

std::shared_ptr<NSCell> NSUIRetroBox::addAttachmentCell(std::shared_ptr<NSCell> cell) {
    const NSSize size = cell ? cell->cellSize() : NSMakeSize(0, 0);
    return addAttachmentCell(std::move(cell), CGPointMake(0, 0), CGSizeMake(size.width, size.height), 0);
}

std::shared_ptr<NSCell> NSUIRetroBox::addButtonCell(std::shared_ptr<NSCell> cell) {
    const NSSize size = cell ? cell->cellSize() : NSMakeSize(0, 0);
    return addAttachmentCell(std::move(cell), CGPointMake(0, -constButtonCellMargin),
                             CGSizeMake(size.width, size.height), constButtonCellMargin);
}

std::shared_ptr<NSButtonCell> NSUIRetroBox::addPushButton(std::shared_ptr<NSImage> upImage,
                                                          std::shared_ptr<NSImage> downImage,
                                                          const QByteArray &action) {
    auto cell = buttonCellType(NSMomentaryPushInButton, std::move(upImage), std::move(downImage), action, this);
    addButtonCell(cell);
    return cell;
}

std::shared_ptr<NSButtonCell> NSUIRetroBox::addPushButton(std::shared_ptr<NSImage> image, const QByteArray &action) {
    return addPushButton(std::move(image), nullptr, action);
}

std::shared_ptr<NSButtonCell> NSUIRetroBox::addPushOnOffButton(std::shared_ptr<NSImage> upImage,
                                                               std::shared_ptr<NSImage> downImage,
                                                               const QByteArray &action) {
    auto cell = buttonCellType(NSToggleButton, std::move(upImage), std::move(downImage), action, this);
    addButtonCell(cell);
    return cell;
}

std::shared_ptr<NSSliderCell> NSUIRetroBox::addIntSliderCell(int count, const QByteArray &action) {
    return addSliderCell(kindSliderCell(count, action, this));
}

std::shared_ptr<NSSliderCell> NSUIRetroBox::addSliderCell(std::shared_ptr<NSSliderCell> sliderCell) {
    if (!sliderCell) {
        _CoreMachDebugVerifyBody("-[NSUIRetroBox addSliderCell:]", kFile, 233, " code : sliderCell");
        return nullptr;
    }
    const CGFloat width = 20.0 * std::trunc(sliderCell->maxValue());
    addAttachmentCell(sliderCell, CGPointMake(0, 2.0), CGSizeMake(width, 12.0), 0);
    return sliderCell;
}

CGPoint NSUIRetroBox::attachmentOrigin(const NSCell *cell) const {
    return cellAttachmentsOrigin(const_cast<NSUIRetroBox *>(this), _attachments, cell);
}

std::shared_ptr<NSImage> NSUIRetroBox::boxImageNamed(const QString &name) {
    static const QStringList kNames = {QStringLiteral("ResetButton"), QStringLiteral("ResetButtonDown"),
                                       QStringLiteral("LockButton"), QStringLiteral("LockedButton")};
    if (!kNames.contains(name)) return nullptr;
    // The program is <bundle>/Contents/Linux/<name>; its pictures are in Contents/Resources.
    if (QCoreApplication::instance() != nullptr) {
        const QString path =
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../Resources/") + name + ".png");
        if (QFileInfo::exists(path)) {
            const QImage image(path);
            if (!image.isNull()) return NSImage::imageWithQImage(image);
        }
    }
    return NSImage::imageWithQImage(DrawnButtonImage(name));
}

void NSUIRetroBox::drawRoundRect(CGContextRef context, CGRect, CGRect roundRect, color_4D fillColor,
                                 color_4D strokeColor, CGFloat radius) {
    if (context == nullptr) return;
    const CGFloat corner = std::min(roundRect.size.width, roundRect.size.height) * 0.5 * (radius + 0.05);
    const CoreGraphics::ScaledRoundRect record(roundRect, corner, corner);
    CGContextSetRGBFillColor(context, fillColor.red, fillColor.green, fillColor.blue, fillColor.alpha);
    CGContextSetRGBStrokeColor(context, strokeColor.red, strokeColor.green, strokeColor.blue, strokeColor.alpha);
    CoreGraphics::RoundRectPathDraw(record, context, 0, 0, 1.0);
}

CGContextRef NSUIRetroBox::currentContext() const { return mPainting != nullptr ? mPainting->context() : nullptr; }

void NSUIRetroBox::withCurrentPainter(const std::function<void(QPainter &)> &drawing) {
    if (mPainting != nullptr) mPainting->withPainter(drawing);
}

void NSUIRetroBox::drawRect(CGRect dirtyRect) {
    drawBackground(dirtyRect);
    drawTitleText(bounds());
    drawAttachments(dirtyRect);
}

void NSUIRetroBox::drawBackground(CGRect) {
    CGContextRef context = currentContext();
    if (context == nullptr) return;
    CGContextSaveGState(context);
    const CGRect inner = CGRectInset(bounds(), borderWidth, borderWidth);
    if (_fillColor.alpha > 0) {
        CGContextSetRGBFillColor(context, _fillColor.red, _fillColor.green, _fillColor.blue, _fillColor.alpha);
        CGContextFillRect(context, inner);
    }
    if (_borderColor.alpha > 0) {
        CGContextSetRGBStrokeColor(context, _borderColor.red, _borderColor.green, _borderColor.blue,
                                   _borderColor.alpha);
        CGContextStrokeRectWithWidth(context, inner, borderWidth);
    }
    CGContextRestoreGState(context);
}

void NSUIRetroBox::adjustTitleRectSelf(CGRect boxRect, CGRect &titleRect) {
    titleRect.origin.x = boxRect.origin.x + boxRect.size.width - (titleRect.size.width + constTitleMargin);
}

void NSUIRetroBox::drawTitleText(CGRect boxRect) {
    if (mTitle.isEmpty()) return;
    const QVariantMap &attributes = titleTextAttributes();
    const QFont font = attributes.value(QStringLiteral("NSFont")).value<QFont>();
    const QFontMetricsF metrics(font);
    const CGSize size = CGSizeMake(metrics.horizontalAdvance(mTitle), metrics.height());
    CGRect titleRect = CGRectMake(boxRect.origin.x + 5.0,
                                  boxRect.origin.y + boxRect.size.height - size.height - constTitleMargin,
                                  std::min(size.width + 1.0, boxRect.size.width - 10.0), size.height);
    adjustTitleRectSelf(boxRect, titleRect);
    if (titleRect.size.width <= 0) return;
    const QRectF target = cellAttachmentsQtRect(this, titleRect);
    const QString shown = metrics.elidedText(mTitle, Qt::ElideRight, target.width());
    const QColor color = ColorOf(attributes.value(QStringLiteral("NSColor")));
    withCurrentPainter([&](QPainter &painter) {
        painter.setFont(font);
        painter.setPen(color);
        painter.drawText(target, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
    });
}

void NSUIRetroBox::drawAttachments(CGRect rect) {
    cellAttachmentsSetBounds(this, _attachments, bounds(), constAttachmentsMargin);
    withCurrentPainter([&](QPainter &painter) { cellAttachmentsDraw(this, _attachments, rect, painter); });
}

void NSUIRetroBox::paintEvent(QPaintEvent *event) {
    NSViewQuartzPainting painting(this);
    if (painting.context() == nullptr) return;
    mPainting = &painting;
    const QRect dirty = event->rect();
    drawRect(CGRectMake(dirty.x(), height() - dirty.y() - dirty.height(), dirty.width(), dirty.height()));
    mPainting = nullptr;
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), painting.image());
}

void NSUIRetroBox::mousePressEvent(QMouseEvent *event) {
    if (cellAttachmentsMouseDown(this, _attachments, event)) {
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void NSUIRetroBox::mouseMoveEvent(QMouseEvent *event) {
    if (cellAttachmentsMouseDragged(this, _attachments, event)) {
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void NSUIRetroBox::mouseReleaseEvent(QMouseEvent *event) {
    if (cellAttachmentsMouseUp(this, _attachments, event)) {
        event->accept();
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

bool import_NSUIRetroBox() { return import_NSViewCellAttachments() && import_namespace_CoreGraphics_ScaledRoundRect(); }
