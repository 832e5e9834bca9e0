#include "NSBitmapImageRep_NSGraphicsContext.h"

#include <AppKit/NSGraphicsContext.h>
#include <Foundation/NSException.h>

#include <CoreX/CoreMachDebugLog.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>

namespace {

constexpr const char *kFile = "/Code/sdk/RiradI/CocoaGraphics/NSBitmapImageRep_NSGraphicsContext";

// A side in whole pixels: the size truncated, 1..65535; false for anything else (NaN too).
bool PixelSide(double side, long &pixels) {
    if (!(side >= 1.0 && side < 65536.0)) return false;
    pixels = long(side);
    return true;
}

// Fills the rectangle of the current context, replacing what is there (AppKit's NSRectFill).
void FillRectCopy(CGContextRef port, CGRect rect, double red, double green, double blue, double alpha) {
    CGContextSaveGState(port);
    CGContextSetBlendMode(port, kCGBlendModeCopy);
    CGContextSetRGBFillColor(port, red, green, blue, alpha);
    CGContextFillRect(port, rect);
    CGContextRestoreGState(port);
}

void FillRectCopy(CGContextRef port, CGRect rect, const QColor &color) {
    const QColor rgb = color.toRgb();
    FillRectCopy(port, rect, rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

// Makes the bitmap's context current for the scope, the caller's again at its end.
class FocusOnContext {
public:
    explicit FocusOnContext(std::shared_ptr<NSGraphicsContext> context)
        : mContext(std::move(context)), mRemembered(NSGraphicsContext::currentContext()) {
        NSGraphicsContext::saveGraphicsState();
        NSGraphicsContext::setCurrentContext(mContext);
    }
    ~FocusOnContext() {
        mContext->flushGraphics();
        NSGraphicsContext::restoreGraphicsState();
        NSGraphicsContext::setCurrentContext(mRemembered);
    }
    FocusOnContext(const FocusOnContext &) = delete;
    FocusOnContext &operator=(const FocusOnContext &) = delete;

private:
    std::shared_ptr<NSGraphicsContext> mContext;
    std::shared_ptr<NSGraphicsContext> mRemembered;
};

}  // namespace

namespace category_NSGraphicsContext {

std::shared_ptr<NSBitmapImageRep> bitmapImageRepWithImage(const NSImage *image, NSSize sizePixels,
                                                          const QColor &backgroundColor) {
    std::shared_ptr<NSBitmapImageRep> bitmap;
    try {
        long width = 0, height = 0;
        if (!PixelSide(sizePixels.width, width) || !PixelSide(sizePixels.height, height)) return nullptr;
        bitmap = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, width, height, 8, 4, true, false,
                                                            NSDeviceRGBColorSpace, NSBitmapFormat(0), 0, 0);
        if (bitmap == nullptr) return nullptr;
        auto context = NSGraphicsContext::graphicsContextWithBitmapImageRep(bitmap);
        if (context == nullptr) return nullptr;

        FocusOnContext focus(context);
        CGContextRef port = context->graphicsPort();
        const CGRect rect = CGRectMake(0, 0, CGFloat(width), CGFloat(height));
        if (image != nullptr) {
            FillRectCopy(port, rect, 1, 1, 1, 1);  // NSEraseRect
            if (backgroundColor.isValid()) FillRectCopy(port, rect, backgroundColor);
            const NSSize extent = image->size();
            NSImageDrawInRect(*image, rect, CGRectMake(0, 0, extent.width, extent.height),
                              NSCompositingOperationSourceOver, 1.0);
        } else {
            FillRectCopy(port, rect, backgroundColor.isValid() ? backgroundColor : QColor(0, 0, 0));
        }
    } catch (const NSException &exception) {
        NSLog(QStringLiteral("[NSBitmapImageRep bitmapImageRepWithImage:exception:%1\n").arg(exception.description()));
    }
    return bitmap;
}

std::shared_ptr<NSBitmapImageRep> bitmapImageRepWithImage(const NSImage *image, NSSize sizePixels) {
    return bitmapImageRepWithImage(image, sizePixels, QColor(0, 0, 0));
}

std::shared_ptr<NSBitmapImageRep> bitmapImageRepWithBitmap(const std::shared_ptr<NSBitmapImageRep> &bitmap,
                                                           NSSize sizePixels, const QColor &backgroundColor) {
    if (bitmap == nullptr) {
        _CoreMachDebugVerifyBody("+[NSBitmapImageRep(category_NSGraphicsContext) "
                                 "bitmapImageRepWithBitmap:withSizePixels:backgroundColor:]",
                                 kFile, 85, " code : image");
        return nullptr;
    }
    NSImage image(NSMakeSize(double(bitmap->pixelsWide()), double(bitmap->pixelsHigh())));
    image.addRepresentation(bitmap);
    return bitmapImageRepWithImage(&image, sizePixels, backgroundColor);
}

std::shared_ptr<NSBitmapImageRep> bitmapImageRepFromImageTIFFData(const NSImage *image) {
    if (image == nullptr || image->representations().empty()) return nullptr;
    const QImage picture = image->representations().front()->toQImage();
    if (picture.isNull()) return nullptr;
    QByteArray tiff;
    {
        QBuffer buffer(&tiff);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "tiff");
        if (!writer.write(picture)) return nullptr;
    }
    QBuffer buffer(&tiff);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "tiff");
    return NSBitmapImageRep::imageRepWithQImage(reader.read());
}

}  // namespace category_NSGraphicsContext

bool import_NSBitmapImageRep_NSGraphicsContext() { return true; }
