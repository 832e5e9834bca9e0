#include "UFOffscreenBitmapGraphicsContext.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace {

// A side in whole pixels (truncated), or 0 when there is none (NaN, below 1, too large).
long PixelSide(double side) { return side >= 1.0 && side < 65536.0 ? long(side) : 0; }

}  // namespace

UFOffscreenBitmapGraphicsContext::UFOffscreenBitmapGraphicsContext(NSSize sizePixels, const QString &colorSpaceName,
                                                                   QObject *parent)
    : NSObject(parent), mSizePixels(sizePixels) {
    const long width = PixelSide(sizePixels.width), height = PixelSide(sizePixels.height);
    if (width == 0 || height == 0) return;
    auto bitmap = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, width, height, 8, 4, true, false,
                                                             colorSpaceName.toStdString(), NSAlphaFirstBitmapFormat,
                                                             0, 0);
    if (bitmap == nullptr) return;
    mBitmapImageRep = bitmap;
    mBitmapContext = NSGraphicsContext::graphicsContextWithBitmapImageRep(bitmap);
}

UFOffscreenBitmapGraphicsContext::UFOffscreenBitmapGraphicsContext(NSSize sizePixels, QObject *parent)
    : UFOffscreenBitmapGraphicsContext(sizePixels, QString::fromLatin1(NSDeviceRGBColorSpace), parent) {}

UFOffscreenBitmapGraphicsContext::~UFOffscreenBitmapGraphicsContext() = default;

std::unique_ptr<UFOffscreenBitmapGraphicsContext> UFOffscreenBitmapGraphicsContext::offscreenBitmapContextWithSizePixels(
    NSSize sizePixels) {
    return std::make_unique<UFOffscreenBitmapGraphicsContext>(sizePixels);
}

std::unique_ptr<UFOffscreenBitmapGraphicsContext> UFOffscreenBitmapGraphicsContext::offscreenBitmapContextWithSizePoints(
    NSSize sizePoints) {
    const QScreen *screen = qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr
                                ? QGuiApplication::primaryScreen()
                                : nullptr;
    const double scale = scaleForRetinaDisplay(screen);
    return offscreenBitmapContextWithSizePixels(NSMakeSize(sizePoints.width * scale, sizePoints.height * scale));
}

double UFOffscreenBitmapGraphicsContext::scaleForRetinaDisplay(const QScreen *screen) {
    if (screen == nullptr) return 1.0;
    const double scale = screen->devicePixelRatio();
    return std::isfinite(scale) && scale > 0 ? scale : 1.0;
}

std::shared_ptr<NSGraphicsContext> UFOffscreenBitmapGraphicsContext::lockFocusAndEraseTransparent(
    bool eraseTransparent) {
    std::shared_ptr<NSGraphicsContext> context;
    {
        std::lock_guard guard(mLock);
        if (mLocked || mBitmapContext == nullptr) return nullptr;
        context = mBitmapContext;
        mSavedContext = NSGraphicsContext::currentContext();
        mLocked = true;
    }
    NSGraphicsContext::saveGraphicsState();
    NSGraphicsContext::setCurrentContext(context);
    if (eraseTransparent && context->bitmapImageRep() != nullptr) {
        const auto &bitmap = *context->bitmapImageRep();
        CGContextClearRect(context->graphicsPort(),
                           CGRectMake(0, 0, CGFloat(bitmap.pixelsWide()), CGFloat(bitmap.pixelsHigh())));
    }
    return context;
}

void UFOffscreenBitmapGraphicsContext::unlockFocus() {
    std::shared_ptr<NSGraphicsContext> context, saved;
    {
        std::lock_guard guard(mLock);
        if (!mLocked) return;
        context = mBitmapContext;
        saved = std::move(mSavedContext);
        mSavedContext = nullptr;
        mLocked = false;
    }
    if (context != nullptr) context->flushGraphics();
    NSGraphicsContext::restoreGraphicsState();
    NSGraphicsContext::setCurrentContext(std::move(saved));
}

bool UFOffscreenBitmapGraphicsContext::isLocked() const {
    std::lock_guard guard(mLock);
    return mLocked;
}

CGContextRef UFOffscreenBitmapGraphicsContext::graphicsContext() const {
    std::lock_guard guard(mLock);
    return mBitmapContext != nullptr ? mBitmapContext->graphicsPort() : nullptr;
}

std::shared_ptr<NSImage> UFOffscreenBitmapGraphicsContext::image() const {
    std::shared_ptr<NSBitmapImageRep> bitmap;
    std::shared_ptr<NSGraphicsContext> context;
    {
        std::lock_guard guard(mLock);
        bitmap = mBitmapImageRep;
        context = mBitmapContext;
    }
    if (bitmap == nullptr) return nullptr;
    if (context != nullptr && context->bitmapImageRep() == bitmap) context->flushGraphics();
    auto result = std::make_shared<NSImage>(mSizePixels);
    result->addRepresentation(std::move(bitmap));
    return result;
}

std::shared_ptr<NSBitmapImageRep> UFOffscreenBitmapGraphicsContext::bitmapImageRep() const {
    std::lock_guard guard(mLock);
    return mBitmapImageRep;
}

void UFOffscreenBitmapGraphicsContext::setBitmapImageRep(std::shared_ptr<NSBitmapImageRep> bitmap) {
    std::lock_guard guard(mLock);
    mBitmapImageRep = std::move(bitmap);
}

std::shared_ptr<NSGraphicsContext> UFOffscreenBitmapGraphicsContext::bitmapContext() const {
    std::lock_guard guard(mLock);
    return mBitmapContext;
}

void UFOffscreenBitmapGraphicsContext::setBitmapContext(std::shared_ptr<NSGraphicsContext> context) {
    std::lock_guard guard(mLock);
    mBitmapContext = std::move(context);
}

std::shared_ptr<NSGraphicsContext> UFOffscreenBitmapGraphicsContext::savedContext() const {
    std::lock_guard guard(mLock);
    return mSavedContext;
}

void UFOffscreenBitmapGraphicsContext::setSavedContext(std::shared_ptr<NSGraphicsContext> context) {
    std::lock_guard guard(mLock);
    mSavedContext = std::move(context);
}

bool import_UFOffscreenBitmapGraphicsContext() { return true; }
