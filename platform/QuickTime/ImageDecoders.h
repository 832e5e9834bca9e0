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

// noErr, codecBadDataErr (unreadable header), codecUnimpErr (a valid picture of a kind the
// decoders do not draw, refused here rather than at the draw) or memFullErr (over the size
// limits).
OSErr ReadImageInfo(ImageKind kind, const uint8_t *data, size_t size, ImageInfo &info);
// The whole picture as 8-bit RGBA with straight (unassociated) alpha, whatever the file
// stores, in the layout of RGBAImage; codecBadDataErr for data that does not decode
// completely or could not hold the picture its header claims.
OSErr DecodeImage(ImageKind kind, const uint8_t *data, size_t size, RGBAImage &image);

// Pictures larger than this are refused before anything is allocated.
constexpr int kMaximumImageSide = 32767;
constexpr int64_t kMaximumImageBytes = int64_t(1) << 30;
bool ImageSizeAllowed(int64_t width, int64_t height);

// The layout of decoded pictures, for libswscale, whose vector readers fetch whole blocks:
// rows start a multiple of kImageRowAlignment bytes apart and kImageTailPadding bytes
// follow the last row.
constexpr size_t kImageRowAlignment = 64;
constexpr size_t kImageTailPadding = 64;
constexpr size_t ImageStride(int64_t width) {
    return (size_t(width) * 4 + kImageRowAlignment - 1) & ~(kImageRowAlignment - 1);
}

}  // namespace lumora::qt

extern "C" {
// Grows the buffer decoded rows go to (context is the caller's) to size bytes, keeping what
// it holds, and answers its start; NULL for no memory.
typedef unsigned char *(*lumora_image_grow)(void *context, size_t size);

// The C decoders (C, because libjpeg and libpng report errors with longjmp). They answer 0
// on success, 1 for bad data, 2 for a picture over the limits or no memory, 3 for a valid
// picture they cannot draw. The decode functions lay rows `stride` bytes apart (stride a
// multiple of row_alignment, a power of two) with tail_padding bytes after the last row, in
// memory they obtain from grow.
int lumora_jpeg_read_info(const unsigned char *data, size_t size, int *width, int *height, int *color);
int lumora_jpeg_decode_rgba(const unsigned char *data, size_t size, int max_side, long long max_bytes,
                            size_t row_alignment, size_t tail_padding, lumora_image_grow grow, void *context,
                            int *width, int *height, size_t *stride);
int lumora_png_decode_rgba(const unsigned char *data, size_t size, int max_side, long long max_bytes,
                           size_t row_alignment, size_t tail_padding, lumora_image_grow grow, void *context,
                           int *width, int *height, size_t *stride);
// A JPEG of exactly width x height decoded straight into the caller's rows (see
// JpegDecoder.c): layout 0 RGBA, 1 ARGB, 2 BGRA, 3 RGB, 4 Y'CbCr. 0 success, 1 bad data,
// 3 another size or (Y'CbCr) a picture not coded as Y'CbCr.
int lumora_jpeg_decode_into(const unsigned char *data, size_t size, int layout, int width, int height,
                                       unsigned char *pixels, long stride,
                                       void (*row_done)(void *context, int y, const unsigned char *row),
                                       void *context);
}
