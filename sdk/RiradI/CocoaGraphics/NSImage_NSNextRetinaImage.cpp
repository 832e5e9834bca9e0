#include "NSImage_NSNextRetinaImage.h"

#include "UFOffscreenBitmapGraphicsContext.h"

#include <CoreGraphics/CoreGraphics.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QImageWriter>
#include <QScreen>

#include <cmath>
#include <mutex>

namespace {

using Drawing = void (*)(CGContextRef context, CGFloat width, CGFloat height);

// One picture of the table: its size in points and the pixels drawn per point.
struct Entry {
    const char *fileName;
    CGFloat width;
    CGFloat height;
    int pixelsPerPoint;
    Drawing draw;
};

constexpr CGFloat kKnobGrey = 0.6666667;

// A bevel inside (0, 0, width, height) of a y-up context: light along the top and left, dark
// along the bottom and right, swapped when pressed.
void Bevel(CGContextRef context, CGFloat width, CGFloat height, bool pressed) {
    const CGFloat light = pressed ? 0.33 : 1.0, dark = pressed ? 1.0 : 0.33;
    CGContextSetLineWidth(context, 1.0);
    CGContextSetGrayStrokeColor(context, light, 1.0);
    const CGPoint lit[] = {{0.5, 0.5}, {0.5, height - 0.5}, {0.5, height - 0.5}, {width - 0.5, height - 0.5}};
    CGContextStrokeLineSegments(context, lit, 4);
    CGContextSetGrayStrokeColor(context, dark, 1.0);
    const CGPoint shaded[] = {{0.5, 0.5}, {width - 0.5, 0.5}, {width - 0.5, 0.5}, {width - 0.5, height - 0.5}};
    CGContextStrokeLineSegments(context, shaded, 4);
}

void Knob(CGContextRef context, CGFloat width, CGFloat height) {
    CGContextSetGrayFillColor(context, kKnobGrey, 1.0);
    CGContextFillRect(context, CGRectMake(0, 0, width, height));
    Bevel(context, width, height, false);
    // A dimple in the middle, lit from the bottom right.
    const CGFloat side = std::min(width, height) * 0.375;
    const CGRect dimple = CGRectMake((width - side) / 2, (height - side) / 2, side, side);
    CGContextSetGrayFillColor(context, 0.33, 1.0);
    CGContextFillEllipseInRect(context, dimple);
    CGContextSetGrayFillColor(context, 0.9, 1.0);
    CGContextFillEllipseInRect(context, CGRectInset(CGRectMake(dimple.origin.x + 0.5, dimple.origin.y - 0.5, side, side), 1.0, 1.0));
    CGContextSetGrayFillColor(context, kKnobGrey, 1.0);
    CGContextFillEllipseInRect(context, CGRectInset(dimple, 1.0, 1.0));
}

void KnobThumb(CGContextRef context, CGFloat width, CGFloat height) {
    CGContextSetGrayFillColor(context, kKnobGrey, 1.0);
    CGContextFillRect(context, CGRectMake(0, 0, width, height));
    Bevel(context, width, height, false);
    // A groove down the middle.
    CGContextSetGrayStrokeColor(context, 0.33, 1.0);
    const CGPoint groove[] = {{width / 2 - 0.5, 3}, {width / 2 - 0.5, height - 3}};
    CGContextStrokeLineSegments(context, groove, 2);
    CGContextSetGrayStrokeColor(context, 1.0, 1.0);
    const CGPoint light[] = {{width / 2 + 0.5, 3}, {width / 2 + 0.5, height - 3}};
    CGContextStrokeLineSegments(context, light, 2);
}

// Half a capsule, round on the left or the right.
void KnobCap(CGContextRef context, CGFloat width, CGFloat height, bool left) {
    const CGFloat radius = height / 2;
    const CGFloat centreX = left ? width : 0;
    CGContextSetGrayFillColor(context, kKnobGrey, 1.0);
    CGContextBeginPath(context);
    CGContextAddArc(context, centreX, radius, std::min(radius, width), 0, 2 * M_PI, 0);
    CGContextFillPath(context);
    CGContextSetLineWidth(context, 1.0);
    CGContextSetGrayStrokeColor(context, left ? 1.0 : 0.33, 1.0);
    CGContextBeginPath(context);
    CGContextAddArc(context, centreX, radius, std::min(radius, width) - 0.5, 0, 2 * M_PI, 0);
    CGContextStrokePath(context);
}

void KnobCapLeft(CGContextRef context, CGFloat width, CGFloat height) { KnobCap(context, width, height, true); }
void KnobCapRight(CGContextRef context, CGFloat width, CGFloat height) { KnobCap(context, width, height, false); }

// The bar's colour: a tile of two dark greys in a checker of single points.
void BarColor(CGContextRef context, CGFloat width, CGFloat height) {
    for (int y = 0; y < int(height); ++y) {
        for (int x = 0; x < int(width); ++x) {
            CGContextSetGrayFillColor(context, (x + y) % 2 == 0 ? 0.33 : 0.40, 1.0);
            CGContextFillRect(context, CGRectMake(x, y, 1, 1));
        }
    }
}

void OKButtonFace(CGContextRef context, CGFloat width, CGFloat height, bool pressed) {
    CGContextSetGrayFillColor(context, pressed ? 1.0 : kKnobGrey, 1.0);
    CGContextFillRect(context, CGRectMake(0, 0, width, height));
    Bevel(context, width, height, pressed);
    // The return arrow: down the right, then left to an arrow head.
    CGContextSetGrayStrokeColor(context, 0.0, 1.0);
    CGContextSetLineWidth(context, 1.5);
    CGContextBeginPath(context);
    CGContextMoveToPoint(context, width * 0.72, height * 0.75);
    CGContextAddLineToPoint(context, width * 0.72, height * 0.42);
    CGContextAddLineToPoint(context, width * 0.30, height * 0.42);
    CGContextStrokePath(context);
    CGContextSetGrayFillColor(context, 0.0, 1.0);
    CGContextBeginPath(context);
    CGContextMoveToPoint(context, width * 0.22, height * 0.42);
    CGContextAddLineToPoint(context, width * 0.36, height * 0.56);
    CGContextAddLineToPoint(context, width * 0.36, height * 0.28);
    CGContextClosePath(context);
    CGContextFillPath(context);
}

void OKButton(CGContextRef context, CGFloat width, CGFloat height) { OKButtonFace(context, width, height, false); }
void OKButtonDown(CGContextRef context, CGFloat width, CGFloat height) { OKButtonFace(context, width, height, true); }

constexpr Entry kEntries[] = {
    {"NSNeXTOKButtonDown.tiff", 24, 24, 1, OKButtonDown},
    {"NSNeXTSliderBarColor2X.tiff", 4, 4, 2, BarColor},
    {"NSNeXTOKButton.tiff", 24, 24, 1, OKButton},
    {"NSNeXTSliderBarColor.tiff", 4, 4, 1, BarColor},
    {"NSNeXTSliderKnob.tiff", 16, 16, 1, Knob},
    {"NSNeXTSliderKnobCapLeft.tiff", 8, 16, 1, KnobCapLeft},
    {"NSNeXTSliderKnobCapRight.tiff", 8, 16, 1, KnobCapRight},
    {"NSNeXTSliderKnobLarge.tiff", 24, 24, 1, Knob},
    {"NSNeXTSliderKnobThumb.tiff", 8, 16, 1, KnobThumb},
};

QByteArray RenderTIFF(const Entry &entry) {
    const int scale = entry.pixelsPerPoint;
    UFOffscreenBitmapGraphicsContext offscreen(NSMakeSize(entry.width * scale, entry.height * scale));
    if (offscreen.lockFocusAndEraseTransparent(true) == nullptr) return {};
    CGContextRef context = offscreen.graphicsContext();
    CGContextSaveGState(context);
    CGContextScaleCTM(context, scale, scale);
    entry.draw(context, entry.width, entry.height);
    CGContextRestoreGState(context);
    offscreen.unlockFocus();
    const QImage picture = offscreen.bitmapImageRep()->toQImage();
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "tiff");
    if (picture.isNull() || !writer.write(picture)) return {};
    return data;
}

// The data of each entry, drawn once.
QByteArray EntryData(const Entry &entry) {
    static std::mutex lock;
    static QHash<QString, QByteArray> rendered;
    std::lock_guard guard(lock);
    const QString key = QLatin1String(entry.fileName);
    auto found = rendered.constFind(key);
    if (found != rendered.constEnd()) return *found;
    const QByteArray data = RenderTIFF(entry);
    rendered.insert(key, data);
    return data;
}

std::optional<double> BackingScaleFactor(const QScreen *screen) {
    if (screen == nullptr) return std::nullopt;
    const double factor = screen->devicePixelRatio();
    return std::isfinite(factor) ? std::optional<double>(factor) : std::nullopt;
}

}  // namespace

QByteArray NSImage_NSNextRetinaImage::nextImageDataNamed(const QString &name) {
    const QString fileName = QStringLiteral("%1.tiff").arg(name);
    for (const Entry &entry : kEntries) {
        if (fileName == QLatin1String(entry.fileName)) return EntryData(entry);
    }
    return {};
}

std::shared_ptr<NSImage> NSImage_NSNextRetinaImage::nextImageNamed(const QString &name) {
    const QByteArray data = nextImageDataNamed(name);
    if (data.isEmpty()) return nullptr;
    return NSImage::imageWithQImage(QImage::fromData(data, "TIFF"));
}

std::shared_ptr<NSImage> NSImage_NSNextRetinaImage::nextImageNamedForScreen(const QString &name,
                                                                             const QScreen *screen) {
    std::shared_ptr<NSImage> plain = nextImageNamed(name);
    const std::optional<double> factor = BackingScaleFactor(screen);
    if (!factor || *factor < 2.0 || *factor > 64.0) return plain;
    std::shared_ptr<NSImage> variant = nextImageNamed(QStringLiteral("%1%2X").arg(name).arg(int(*factor)));
    if (variant != nullptr && nextImageResizeToMatchImageSize(variant.get(), plain.get())) return variant;
    nextImageResizeForScreen(plain.get(), screen);
    return plain;
}

std::shared_ptr<NSImage> NSImage_NSNextRetinaImage::nextImageNamedLoadedForScreen(const QString &name,
                                                                                   const QScreen *screen) {
    std::shared_ptr<NSImage> plain = nextImageNamed(name);
    if (plain == nullptr) return nullptr;
    std::shared_ptr<NSImage> forScreen = nextImageNamedForScreen(name, screen);
    return forScreen != nullptr ? forScreen : plain;
}

std::shared_ptr<NSImage> NSImage_NSNextRetinaImage::nextImageNamedScaledForScreen(const QString &name,
                                                                                   const QScreen *screen) {
    std::shared_ptr<NSImage> plain = nextImageNamed(name);
    nextImageResizeForScreen(plain.get(), screen);
    return plain;
}

bool NSImage_NSNextRetinaImage::nextImageResizeToMatchImageSize(NSImage *image, const NSImage *reference) {
    if (image == nullptr || reference == nullptr) return false;
    image->setSize(reference->size());
    return true;
}

bool NSImage_NSNextRetinaImage::nextImageResizeForScreen(NSImage *image, const QScreen *screen) {
    const std::optional<double> factor = BackingScaleFactor(screen);
    if (image == nullptr || !factor || *factor <= 1.0) return false;
    const NSSize size = image->size();
    image->setSize(NSMakeSize(size.width * *factor, size.height * *factor));
    return true;
}

std::shared_ptr<NSImage> NSImage_NSNextRetinaImage::nextRetinaImageNamed(const QString &name) {
    static std::mutex lock;
    static QHash<QString, std::shared_ptr<NSImage>> cache;
    {
        std::lock_guard guard(lock);
        auto found = cache.constFind(name);
        if (found != cache.constEnd()) return *found;
    }
    std::shared_ptr<NSImage> image = nextImageNamedLoadedForScreen(name, QGuiApplication::primaryScreen());
    if (image == nullptr) return nullptr;
    std::lock_guard guard(lock);
    return *cache.insert(name, image);
}

bool import_NSImage_NSNextRetinaImage() { return import_UFOffscreenBitmapGraphicsContext(); }
