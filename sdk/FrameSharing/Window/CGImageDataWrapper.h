// CGImageDataWrapper: bytes as the pixels of a small image, and back.
//
// For n bytes the image is 4 x floor(sqrt(n)) pixels wide and 2 x (n modulo that width)
// high (24 x 40 for the 44-byte packet). A byte count for which that rule gives no room (a
// height of 0, as for 16 or 48 bytes, or fewer pixels than bytes, as for 65) is refused: the
// wrapper is then not valid and neither writes nor reads anything.
//
// Layout: byte i lies in the pixel at column (i modulo width) of memory row
// (height - 1 - i div width), so the bytes fill the bottom row from the left, then the row
// above it. All four bytes of that pixel hold the value; every other pixel is 0. A reader
// takes the second byte of each pixel and requires the third to equal it.
//
// Images written are 8 bits per component, 32 bits per pixel, device RGB,
// kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder32Little (the X server's own 24-bit layout).
#pragma once

#include <CoreGraphics/CGImage.h>

#include <cstddef>
#include <cstdint>

class CGImageDataWrapper {
public:
    // The pixel size for n bytes by the rule above; false (both 0) for a size it refuses
    // (no bytes, more than kMaxBytes, no height, fewer pixels than bytes).
    static bool calculatedPixelSize(size_t n, size_t &width, size_t &height);
    static constexpr size_t kMaxBytes = 1 << 16;

    explicit CGImageDataWrapper(size_t rawDataSizeBytes);
    virtual ~CGImageDataWrapper() = default;

    // The process-wide wrapper of the 44-byte packet.
    static CGImageDataWrapper &sharedPacketWrapper();

    bool isValid() const { return mPixelCount != 0; }
    size_t rawDataSizeBytes() const { return mRawDataSizeBytes; }
    size_t width() const { return mWidth; }
    size_t height() const { return mHeight; }
    size_t pixelCount() const { return mPixelCount; }

    // A new image of the bytes (the caller releases it); null without bytes, for a length
    // not smaller than the pixel count, or for an invalid wrapper.
    CGImageRef createImageWithBytes(const void *bytes, size_t length) const;
    // A captured image ready to read (the caller releases it): an 8/32-bit image of exactly
    // the wrapper's size is itself (retained); one whose width and height are the same whole
    // multiple of the wrapper's size is redrawn at the wrapper's size, without interpolation;
    // anything else is dropped (null).
    CGImageRef createPreparedImage(CGImageRef image) const;
    // Reads `length` bytes from the image into the buffer (which is zeroed first). False for a
    // length not smaller than the pixel count, an image of another size, not 8/32 bits or not
    // RGB, or at the first pixel whose second and third bytes differ.
    bool readBytes(CGImageRef image, void *buffer, size_t length) const;

private:
    size_t mRawDataSizeBytes = 0;
    size_t mWidth = 0, mHeight = 0, mPixelCount = 0;
};
