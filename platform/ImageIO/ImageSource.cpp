// Image sources on Qt's image readers. The bytes are copied when the source is made; the
// header is read then (the count), the pixels each time an image is asked for. Only PNG and
// JPEG reach a reader, named outright, so no other decoder Qt carries ever sees the bytes.
#include <ImageIO/CGImageSource.h>

#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFRuntime.h>
#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGDataProvider.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <cstring>

namespace {

// The largest side decoded (the readers' own allocation limit bounds the memory too).
constexpr int kMaxSide = 16384;

CFTypeID ImageSourceTypeID() {
    static const CFTypeID id = cf::RegisterType("CGImageSource");
    return id;
}

// Qt's reader format for the bytes' signature, or null.
const char *FormatOf(const UInt8 *bytes, size_t size) {
    static const UInt8 png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    static const UInt8 jpeg[3] = {0xFF, 0xD8, 0xFF};
    if (size >= sizeof png && std::memcmp(bytes, png, sizeof png) == 0) return "png";
    if (size >= sizeof jpeg && std::memcmp(bytes, jpeg, sizeof jpeg) == 0) return "jpeg";
    return nullptr;
}

// A reader of `format` over the bytes (which must outlive it, as must the buffer).
void Prepare(QImageReader &reader, QBuffer &buffer, const char *format) {
    buffer.open(QIODevice::ReadOnly);
    reader.setDevice(&buffer);
    reader.setFormat(format);
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);
}

}  // namespace

struct CGImageSource final : cf::Object {
    CGImageSource() : cf::Object(ImageSourceTypeID()) {}
    ~CGImageSource() override {
        if (mData != nullptr) CFRelease(mData);
    }

    CFDataRef mData = nullptr;  // a copy of the caller's bytes
    const char *mFormat = nullptr;
    size_t mCount = 0;
};

CFTypeID CGImageSourceGetTypeID(void) { return ImageSourceTypeID(); }

CGImageSourceRef CGImageSourceCreateWithData(CFDataRef data, CFDictionaryRef /*options*/) {
    if (data == nullptr) return nullptr;
    auto *source = new CGImageSource;
    source->mData = CFDataCreate(nullptr, CFDataGetBytePtr(data), CFDataGetLength(data));
    const UInt8 *bytes = CFDataGetBytePtr(source->mData);
    const size_t size = size_t(CFDataGetLength(source->mData));
    source->mFormat = size > 0 ? FormatOf(bytes, size) : nullptr;
    if (source->mFormat != nullptr) {
        const QByteArray array = QByteArray::fromRawData(reinterpret_cast<const char *>(bytes), qsizetype(size));
        QBuffer buffer;
        buffer.setData(array);
        QImageReader reader;
        Prepare(reader, buffer, source->mFormat);
        const QSize pixels = reader.canRead() ? reader.size() : QSize();
        if (pixels.isValid() && pixels.width() > 0 && pixels.height() > 0 && pixels.width() <= kMaxSide &&
            pixels.height() <= kMaxSide)
            source->mCount = 1;
    }
    return source;
}

size_t CGImageSourceGetCount(CGImageSourceRef isrc) {
    auto *source = cf::As<CGImageSource>(isrc, ImageSourceTypeID());
    return source != nullptr ? source->mCount : 0;
}

CGImageRef CGImageSourceCreateImageAtIndex(CGImageSourceRef isrc, size_t index, CFDictionaryRef /*options*/) {
    auto *source = cf::As<CGImageSource>(isrc, ImageSourceTypeID());
    if (source == nullptr || index >= source->mCount) return nullptr;
    const QByteArray array = QByteArray::fromRawData(reinterpret_cast<const char *>(CFDataGetBytePtr(source->mData)),
                                                     qsizetype(CFDataGetLength(source->mData)));
    QBuffer buffer;
    buffer.setData(array);
    QImageReader reader;
    Prepare(reader, buffer, source->mFormat);
    QImage image;
    if (!reader.read(&image) || image.isNull() || image.width() > kMaxSide || image.height() > kMaxSide) return nullptr;
    const bool opaque = !image.hasAlphaChannel();
    // In memory B, G, R, A (premultiplied) or B, G, R, 0xFF: the 32-bit little-endian layouts.
    image = image.convertToFormat(opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) return nullptr;
    const size_t width = size_t(image.width()), height = size_t(image.height());
    const size_t rowBytes = width * 4;
    CFMutableDataRef pixels = CFDataCreateMutable(nullptr, CFIndex(rowBytes * height));
    CFDataSetLength(pixels, CFIndex(rowBytes * height));
    UInt8 *out = CFDataGetMutableBytePtr(pixels);
    for (size_t row = 0; row < height; ++row) std::memcpy(out + row * rowBytes, image.constScanLine(int(row)), rowBytes);
    CGDataProviderRef provider = CGDataProviderCreateWithCFData(pixels);
    CFRelease(pixels);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    const CGBitmapInfo info =
        (opaque ? kCGImageAlphaNoneSkipFirst : kCGImageAlphaPremultipliedFirst) | kCGBitmapByteOrder32Little;
    CGImageRef result =
        CGImageCreate(width, height, 8, 32, rowBytes, space, info, provider, nullptr, true, kCGRenderingIntentDefault);
    CGColorSpaceRelease(space);
    CGDataProviderRelease(provider);
    return result;
}
