// NSBitmapImageRep: a picture held as one block of meshed (not planar) samples, described the
// way AppKit describes it: pixels wide and high, bits per sample, samples per pixel, whether
// one of them is alpha, bits per pixel, bytes per row and the format flags (alpha first or
// last, premultiplied or not, integer or floating-point samples). Row 0 is the top row.
//
// The bytes are either the representation's own (allocated zeroed, or copied from a QImage) or
// the caller's, used in place: the caller then keeps them alive for as long as the
// representation lives. The representation has a size in points besides its size in pixels
// (a 144-dpi picture of 200 x 100 pixels is 100 x 50 points); by default the two are equal.
//
// This header keeps QtGui out (QImage is only declared): pixel code that includes the
// QuickTime library's QPoint cannot see Qt's QPoint in the same file.
#pragma once

#include <Foundation/NSGeometry.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class QImage;

enum NSBitmapFormat : unsigned {
    NSAlphaFirstBitmapFormat = 1u << 0,             // alpha is the first sample (else the last)
    NSAlphaNonpremultipliedBitmapFormat = 1u << 1,  // colour is not multiplied by alpha
    NSFloatingPointSamplesBitmapFormat = 1u << 2,   // samples are floats (16 or 32 bits)
};

inline constexpr NSBitmapFormat operator|(NSBitmapFormat a, NSBitmapFormat b) {
    return NSBitmapFormat(unsigned(a) | unsigned(b));
}

// Colour-space names.
inline constexpr char NSCalibratedWhiteColorSpace[] = "NSCalibratedWhiteColorSpace";
inline constexpr char NSDeviceWhiteColorSpace[] = "NSDeviceWhiteColorSpace";
inline constexpr char NSCalibratedRGBColorSpace[] = "NSCalibratedRGBColorSpace";
inline constexpr char NSDeviceRGBColorSpace[] = "NSDeviceRGBColorSpace";

class NSBitmapImageRep {
public:
    // A representation over `data` (null: zeroed bytes of its own). Bits per pixel 0 means
    // bits per sample x samples per pixel, bytes per row 0 the least that holds a row. Null for
    // what cannot be described: a side below 1 or above 65535, bits per sample other than 8
    // or 16 (or 16 and 32 with floating-point samples), samples per pixel outside 1..5, alpha
    // with a single sample, planar data, bits per pixel below the samples' or not whole
    // bytes, rows shorter than the pixels, a picture above 1 GiB, or memory that cannot be
    // allocated.
    static std::shared_ptr<NSBitmapImageRep> initWithBitmapDataPlanes(
        unsigned char *data, long pixelsWide, long pixelsHigh, long bitsPerSample, long samplesPerPixel,
        bool hasAlpha, bool isPlanar, const std::string &colorSpaceName, NSBitmapFormat bitmapFormat,
        long bytesPerRow, long bitsPerPixel);

    // A copy of a QImage's pixels as 8-bit R, G, B, A with straight alpha (device RGB). Null
    // for a null image.
    static std::shared_ptr<NSBitmapImageRep> imageRepWithQImage(const QImage &image);
    // The pixels as a QImage (a copy): grey 8, RGB 888, RGBA 8888 straight or premultiplied;
    // alpha-first and skipped-byte layouts are reordered. A null QImage for layouts it cannot
    // show (floating-point or 16-bit samples, two or five samples).
    QImage toQImage() const;

    ~NSBitmapImageRep();
    NSBitmapImageRep(const NSBitmapImageRep &) = delete;
    NSBitmapImageRep &operator=(const NSBitmapImageRep &) = delete;

    unsigned char *bitmapData() const { return mData; }
    long pixelsWide() const { return mPixelsWide; }
    long pixelsHigh() const { return mPixelsHigh; }
    long bitsPerSample() const { return mBitsPerSample; }
    long samplesPerPixel() const { return mSamplesPerPixel; }
    long bitsPerPixel() const { return mBitsPerPixel; }
    long bytesPerRow() const { return mBytesPerRow; }
    bool hasAlpha() const { return mHasAlpha; }
    bool isPlanar() const { return false; }
    NSBitmapFormat bitmapFormat() const { return mBitmapFormat; }
    const std::string &colorSpaceName() const { return mColorSpaceName; }
    // bytesPerRow x pixelsHigh.
    std::size_t dataSize() const { return std::size_t(mBytesPerRow) * std::size_t(mPixelsHigh); }

    // The size in points.
    NSSize size() const { return mSize; }
    void setSize(NSSize size) { mSize = size; }

private:
    NSBitmapImageRep() = default;

    unsigned char *mData = nullptr;
    bool mOwnsData = false;
    long mPixelsWide = 0;
    long mPixelsHigh = 0;
    long mBitsPerSample = 0;
    long mSamplesPerPixel = 0;
    long mBitsPerPixel = 0;
    long mBytesPerRow = 0;
    bool mHasAlpha = false;
    NSBitmapFormat mBitmapFormat = NSBitmapFormat(0);
    std::string mColorSpaceName;
    NSSize mSize{0, 0};
};
