// Inside the QuickTime layer: pixel format facts, the registry of live worlds, the
// Movie Toolbox status and the drawing of decoded pictures into worlds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QuickTime/ImageCompression.h>
#include <QuickTime/QuickDraw.h>

namespace lumora::qt {

struct PixelFormatInfo {
    OSType format;
    short pixelSize;      // bits per pixel, as PixMap::pixelSize
    int bytesPerPixel;    // 2 for the 4:2:2 formats (a pair is 4 bytes)
    bool pairs;           // 4:2:2: rows are made of 4-byte pairs of pixels
    short pixelType;
    short cmpCount;
    short cmpSize;
};

// Null for a format worlds do not support.
const PixelFormatInfo *FindPixelFormat(OSType format);
// The smallest row of width pixels (whole pairs for 4:2:2); -1 when it does not fit 32 bits.
int64_t MinimumRowBytes(const PixelFormatInfo &info, int64_t width);

// What a world is, read under the registry's lock. False when the world is not alive.
struct WorldGeometry {
    uint8_t *base = nullptr;
    int64_t rowBytes = 0;
    Rect bounds{};
    const PixelFormatInfo *format = nullptr;
};
bool GetLiveWorld(GWorldPtr world, WorldGeometry &geometry);
bool IsLiveWorld(GWorldPtr world);

// An 8-bit RGBA picture (straight alpha). Rows are stride bytes apart, padded as libswscale
// needs to read them (see ImageDecoders.h).
struct RGBAImage {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<uint8_t> pixels;
};

// Scales a picture (any FFmpeg pixel format, given by planes) into destRect of the world,
// clipped to the world's bounds, converted to the world's pixel format. scaler is a cached
// libswscale context owned by the caller (freed with FreeScaler). noErr also when nothing
// is visible.
struct PictureSource {
    const uint8_t *const *planes;
    const int *strides;
    int format;  // AVPixelFormat
    int width;
    int height;
    bool fullRange;
    bool bt709;
};
OSErr DrawPictureIntoWorld(void **scaler, const PictureSource &source, GWorldPtr world, const Rect &destRect);
void FreeScaler(void **scaler);
// The FFmpeg pixel format (AVPixelFormat) of a world pixel format; -1 (AV_PIX_FMT_NONE)
// for another.
int FFmpegPixelFormat(OSType format);

// The rect the matrix maps (0, 0, height, width) to; false for a matrix that is not a
// positive scale plus a translation, or a rect outside QuickDraw's coordinates.
bool MappedRect(const MatrixRecord &m, int width, int height, Rect &rect);

// Data references: the file path an 'alis' or file 'url ' reference names
// (couldNotResolveDataRef otherwise), and the bytes any readable reference names ('hndl'
// too), at most limit bytes (memFullErr past it).
OSErr PathFromDataReference(Handle dataRef, OSType dataRefType, std::string &path);
OSErr ReadDataReference(Handle dataRef, OSType dataRefType, int64_t limit, std::vector<uint8_t> &data);

// Movie Toolbox status of the calling thread.
OSErr SetMoviesError(OSErr error);

}  // namespace lumora::qt
