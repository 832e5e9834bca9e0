#include "NSViewQuartzPainting.h"

#include <QPainter>
#include <QWidget>

NSViewQuartzPainting::NSViewQuartzPainting(const QWidget *view) {
    const qreal ratio = view->devicePixelRatioF();
    const QSize pixels = (QSizeF(view->size()) * ratio).toSize();
    if (pixels.isEmpty()) return;
    mImage = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    if (mImage.isNull()) return;
    mImage.setDevicePixelRatio(ratio);
    mImage.fill(Qt::transparent);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    mContext = CGBitmapContextCreate(mImage.bits(), size_t(mImage.width()), size_t(mImage.height()), 8,
                                     size_t(mImage.bytesPerLine()), space,
                                     kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little);
    CGColorSpaceRelease(space);
    if (mContext != nullptr) CGContextScaleCTM(mContext, ratio, ratio);
}

NSViewQuartzPainting::~NSViewQuartzPainting() {
    if (mContext != nullptr) CGContextRelease(mContext);
}

void NSViewQuartzPainting::withPainter(const std::function<void(QPainter &)> &drawing) {
    if (mImage.isNull()) return;
    if (mContext != nullptr) CGBitmapContextWillAccessData(mContext);
    {
        QPainter painter(&mImage);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        drawing(painter);
    }
    if (mContext != nullptr) CGBitmapContextDidWriteData(mContext);
}

const QImage &NSViewQuartzPainting::image() {
    if (mContext != nullptr) CGBitmapContextWillAccessData(mContext);
    return mImage;
}
