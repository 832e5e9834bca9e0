// Inside the QuickTime layer: the still-image decoders behind the graphics importers.
#pragma once

#include <cstddef>
#include <cstdint>

#include "QTInternal.h"

namespace lumora::qt {

enum class ImageKind { None, PNG, JPEG, TIFF };

// What the file header says.
struct ImageInfo {
    int width = 0;
    int height = 0;
    bool color = false;  // else grey
    bool alpha = false;
    bool sixteenBit = false;
};

// The kind of picture the bytes start with.
ImageKind DetectImageKind(const uint8_t *data, size_t size);

// noErr, codecBadDataErr (unreadable header) or memFullErr (over the size limits).
OSErr ReadImageInfo(ImageKind kind, const uint8_t *data, size_t size, ImageInfo &info);
// The whole picture as 8-bit straight RGBA; codecBadDataErr for data that does not decode
// completely.
OSErr DecodeImage(ImageKind kind, const uint8_t *data, size_t size, RGBAImage &image);

// Pictures larger than this are refused.
constexpr int kMaximumImageSide = 32767;
constexpr int64_t kMaximumImageBytes = int64_t(1) << 30;
bool ImageSizeAllowed(int64_t width, int64_t height);

}  // namespace lumora::qt

// The JPEG decoder (C, because libjpeg reports errors with longjmp). Both answer 0 on
// success, 1 for bad data, 2 for a picture over the limits or no memory. jpeg_decode_rgba
// fills *pixels with malloc'ed RGBA rows (the caller frees them).
extern "C" int lumora_jpeg_read_info(const unsigned char *data, size_t size, int *width, int *height, int *color);
extern "C" int lumora_jpeg_decode_rgba(const unsigned char *data, size_t size, int max_side, long long max_bytes,
                                       unsigned char **pixels, int *width, int *height);
