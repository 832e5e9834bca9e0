#include <FrameSharing/Window/CGImageDataWrapper.h>
#include <FrameSharing/Window/NSWindowExactBytes.h>

#include <CoreX/UCoreCGWindowList.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreGraphics/CGWindow.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>

#include <cstdlib>
#include <cstring>

namespace {

// The image's pixels as a QImage of the same layout (opaque RGB32); null for an image of
// another kind.
QImage ImageOf(CGImageRef image) {
    if (image == nullptr || CGImageGetBitsPerComponent(image) != 8 || CGImageGetBitsPerPixel(image) != 32)
        return QImage();
    const size_t width = CGImageGetWidth(image), height = CGImageGetHeight(image), rowBytes = CGImageGetBytesPerRow(image);
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    if (data == nullptr) return QImage();
    QImage result;
    if (size_t(CFDataGetLength(data)) >= rowBytes * height && width > 0 && height > 0) {
        result = QImage(int(width), int(height), QImage::Format_RGB32);
        // The written images are B,G,R,X in memory: QImage's RGB32 on a little-endian machine.
        for (size_t y = 0; y < height; ++y)
            std::memcpy(result.scanLine(int(y)), CFDataGetBytePtr(data) + y * rowBytes, width * 4);
    }
    CFRelease(data);
    return result;
}

void FreeData(void *, const void *data, size_t) { std::free(const_cast<void *>(data)); }

CGImageRef CGImageOf(const QImage &source) {
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    if (image.isNull()) return nullptr;
    const size_t rowBytes = size_t(image.width()) * 4, size = rowBytes * size_t(image.height());
    void *pixels = std::malloc(size);
    if (pixels == nullptr) return nullptr;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(static_cast<uint8_t *>(pixels) + size_t(y) * rowBytes, image.constScanLine(y), rowBytes);
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, pixels, size, FreeData);
    if (provider == nullptr) {
        std::free(pixels);
        return nullptr;
    }
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGImageRef result = CGImageCreate(size_t(image.width()), size_t(image.height()), 8, 32, rowBytes, space,
                                      kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder32Little, provider, nullptr,
                                      false, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    return result;
}

}  // namespace

// ---- NSViewExactBytes -------------------------------------------------------------------------

NSViewExactBytes::NSViewExactBytes(QWidget *parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
}

NSViewExactBytes::~NSViewExactBytes() {
    std::lock_guard<std::mutex> lock(mLock);
    CGImageRelease(mImageDataWritten);
}

void NSViewExactBytes::setImageDataWritten(CGImageRef image) {
    {
        std::lock_guard<std::mutex> lock(mLock);
        CGImageRetain(image);
        CGImageRelease(mImageDataWritten);
        mImageDataWritten = image;
        mShown = ImageOf(image);
    }
    repaint();
}

CGImageRef NSViewExactBytes::imageDataWritten() const {
    std::lock_guard<std::mutex> lock(mLock);
    return mImageDataWritten;
}

CGImageRef NSViewExactBytes::imageDataWrittenCopy() const {
    std::lock_guard<std::mutex> lock(mLock);
    return CGImageRetain(mImageDataWritten);
}

bool NSViewExactBytes::hasImageDataWritten() const {
    std::lock_guard<std::mutex> lock(mLock);
    return mImageDataWritten != nullptr;
}

CGImageRef NSViewExactBytes::imageDataRead() { return CGImageOf(grab().toImage()); }

void NSViewExactBytes::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    std::lock_guard<std::mutex> lock(mLock);
    painter.fillRect(rect(), Qt::black);
    if (!mShown.isNull()) painter.drawImage(QPoint(0, 0), mShown);
}

// ---- NSWindowExactBytes -----------------------------------------------------------------------

CGRect NSWindowExactBytes::calculatedContentRectFromRawDataSizeBytes(uint32_t rawDataSizeBytes) {
    size_t width = 0, height = 0;
    CGImageDataWrapper::calculatedPixelSize(rawDataSizeBytes, width, height);
    return CGRectMake(0, 0, CGFloat(width), CGFloat(height));
}

NSWindowExactBytes::NSWindowExactBytes(uint32_t rawDataSizeBytes)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnBottomHint),
      mRawDataSizeBytes(rawDataSizeBytes) {
    const CGRect content = calculatedContentRectFromRawDataSizeBytes(rawDataSizeBytes);
    const QSize size(std::max(1, int(content.size.width)), std::max(1, int(content.size.height)));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFixedSize(size);
    mView = new NSViewExactBytes(this);
    mView->setGeometry(0, 0, size.width(), size.height());
    move(0, 0);
    if (content.size.width > 0) {
        show();
        // Only a window system has an order of windows.
        if (QGuiApplication::platformName() == QLatin1String("xcb")) lower();
    }
}

NSWindowExactBytes::~NSWindowExactBytes() = default;

uint32_t NSWindowExactBytes::quartzWindowID() const {
    return testAttribute(Qt::WA_WState_Created) ? uint32_t(winId()) : 0;
}

bool NSWindowExactBytes::writeImageData(CGImageRef image) {
    if (image == nullptr || mRawDataSizeBytes == 0 || width() <= 1) return false;
    mView->setImageDataWritten(image);
    // repaint() has drawn and flushed the backing store; the events it queued (the flush to
    // the server among them on some platforms) are delivered now.
    QCoreApplication::sendPostedEvents(this);
    return mView->hasImageDataWritten();
}

CGImageRef NSWindowExactBytes::copyWindowGlobalImage() const { return createWindowImageWithWindowID(quartzWindowID()); }

CGImageRef NSWindowExactBytes::createWindowImageWithWindowID(uint32_t windowID) {
    if (windowID == 0) return nullptr;
    return CGWindowListCreateImage(CGRectNull, kCGWindowListOptionIncludingWindow, windowID,
                                   kCGWindowImageShouldBeOpaque);
}

uint32_t NSWindowExactBytes::findGlobalWindowWithName(const QString &name, const QString &ownerName) {
    if (name.isEmpty()) return 0;
    const QByteArray nameBytes = name.toUtf8(), ownerBytes = ownerName.toUtf8();
    CFStringRef cfName = CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(nameBytes.constData()),
                                                 nameBytes.size(), kCFStringEncodingUTF8, false);
    CFStringRef cfOwner = ownerName.isEmpty()
                              ? nullptr
                              : CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(ownerBytes.constData()),
                                                        ownerBytes.size(), kCFStringEncodingUTF8, false);
    if (cfName == nullptr) return 0;
    uint32_t found = 0;
    UCoreCGWindowList_FindWindowNameWithOptions(cfName, kCGWindowListOptionAll, [&](CFIndex, CFDictionaryRef info) {
        if (cfOwner == nullptr || UCoreCGWindowInfo_HasWindowOwnerName(info, cfOwner))
            found = UCoreCGWindowInfo_GetWindowID(info);
        return true;
    });
    CFRelease(cfName);
    if (cfOwner != nullptr) CFRelease(cfOwner);
    return found;
}
