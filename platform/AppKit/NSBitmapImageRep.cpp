#include <AppKit/NSBitmapImageRep.h>

#include <QImage>

#include <cstring>
#include <new>

namespace {

constexpr long kMaxSide = 65535;
constexpr std::size_t kMaxBytes = std::size_t(1) << 30;

bool SampleSizeIsValid(long bitsPerSample, NSBitmapFormat format) {
    if (format & NSFloatingPointSamplesBitmapFormat) return bitsPerSample == 16 || bitsPerSample == 32;
    return bitsPerSample == 8 || bitsPerSample == 16;
}

}  // namespace

std::shared_ptr<NSBitmapImageRep> NSBitmapImageRep::initWithBitmapDataPlanes(
    unsigned char *data, long pixelsWide, long pixelsHigh, long bitsPerSample, long samplesPerPixel, bool hasAlpha,
    bool isPlanar, const std::string &colorSpaceName, NSBitmapFormat bitmapFormat, long bytesPerRow,
    long bitsPerPixel) {
    if (pixelsWide < 1 || pixelsHigh < 1 || pixelsWide > kMaxSide || pixelsHigh > kMaxSide) return nullptr;
    if (!SampleSizeIsValid(bitsPerSample, bitmapFormat)) return nullptr;
    if (samplesPerPixel < 1 || samplesPerPixel > 5 || (hasAlpha && samplesPerPixel < 2) || isPlanar) return nullptr;
    const long sampleBits = bitsPerSample * samplesPerPixel;
    if (bitsPerPixel == 0) bitsPerPixel = sampleBits;
    if (bitsPerPixel < sampleBits || bitsPerPixel % 8 != 0 || bitsPerPixel > 8 * 64) return nullptr;
    const long leastRowBytes = pixelsWide * (bitsPerPixel / 8);
    if (bytesPerRow == 0) bytesPerRow = leastRowBytes;
    if (bytesPerRow < leastRowBytes || std::size_t(bytesPerRow) > kMaxBytes) return nullptr;
    const std::size_t size = std::size_t(bytesPerRow) * std::size_t(pixelsHigh);
    if (size > kMaxBytes) return nullptr;

    std::shared_ptr<NSBitmapImageRep> rep(new (std::nothrow) NSBitmapImageRep);
    if (!rep) return nullptr;
    if (data == nullptr) {
        data = new (std::nothrow) unsigned char[size]();
        if (data == nullptr) return nullptr;
        rep->mOwnsData = true;
    }
    rep->mData = data;
    rep->mPixelsWide = pixelsWide;
    rep->mPixelsHigh = pixelsHigh;
    rep->mBitsPerSample = bitsPerSample;
    rep->mSamplesPerPixel = samplesPerPixel;
    rep->mBitsPerPixel = bitsPerPixel;
    rep->mBytesPerRow = bytesPerRow;
    rep->mHasAlpha = hasAlpha;
    rep->mBitmapFormat = bitmapFormat;
    rep->mColorSpaceName = colorSpaceName;
    rep->mSize = NSSize{double(pixelsWide), double(pixelsHigh)};
    return rep;
}

NSBitmapImageRep::~NSBitmapImageRep() {
    if (mOwnsData) delete[] mData;
}

std::shared_ptr<NSBitmapImageRep> NSBitmapImageRep::imageRepWithQImage(const QImage &image) {
    if (image.isNull()) return nullptr;
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull()) return nullptr;
    auto rep = initWithBitmapDataPlanes(nullptr, rgba.width(), rgba.height(), 8, 4, true, false, NSDeviceRGBColorSpace,
                                        NSAlphaNonpremultipliedBitmapFormat, 0, 32);
    if (!rep) return nullptr;
    for (long row = 0; row < rep->mPixelsHigh; ++row)
        std::memcpy(rep->mData + row * rep->mBytesPerRow, rgba.constScanLine(int(row)), std::size_t(rep->mPixelsWide) * 4);
    return rep;
}

QImage NSBitmapImageRep::toQImage() const {
    if (mBitsPerSample != 8 || (mBitmapFormat & NSFloatingPointSamplesBitmapFormat)) return QImage();
    const bool first = (mBitmapFormat & NSAlphaFirstBitmapFormat) != 0;
    const bool straight = (mBitmapFormat & NSAlphaNonpremultipliedBitmapFormat) != 0;
    const long step = mBitsPerPixel / 8;
    const int width = int(mPixelsWide), height = int(mPixelsHigh);
    QImage out;
    if (mSamplesPerPixel == 1 && !mHasAlpha) {
        out = QImage(width, height, QImage::Format_Grayscale8);
    } else if (mSamplesPerPixel == 3 && !mHasAlpha) {
        out = QImage(width, height, QImage::Format_RGB888);
    } else if (mSamplesPerPixel == 4 && mHasAlpha) {
        out = QImage(width, height, straight ? QImage::Format_RGBA8888 : QImage::Format_RGBA8888_Premultiplied);
    } else {
        return QImage();
    }
    if (out.isNull()) return QImage();
    // A skipped byte (3 samples in 32 bits) or alpha comes first or last.
    const long colour = (first && step > mSamplesPerPixel) || (first && mHasAlpha) ? 1 : 0;
    for (int row = 0; row < height; ++row) {
        const unsigned char *in = mData + std::size_t(row) * std::size_t(mBytesPerRow);
        unsigned char *to = out.scanLine(row);
        for (int column = 0; column < width; ++column, in += step) {
            if (mSamplesPerPixel == 1) {
                *to++ = in[0];
                continue;
            }
            *to++ = in[colour];
            *to++ = in[colour + 1];
            *to++ = in[colour + 2];
            if (mHasAlpha) *to++ = first ? in[0] : in[3];
        }
    }
    return out;
}
