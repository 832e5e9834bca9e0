// A bitmap context whose pixels are also wrapped in a QuickDraw offscreen world, so that
// QuickTime code (decompressors, the Sequence Grabber) draws into the same memory that
// Quartz draws into and reads from.
//
// The world aliases the bitmap's pixels: k8IndexedGrayPixelFormat (40) for
// kBitmapType_Gray8, k32ARGBPixelFormat for kBitmapType_ARGB32 and kBitmapType_XRGB32
// (the same byte order). kBitmapType_RGBX32 has no QuickDraw format with its byte order
// and cannot be a Qitmap (Construct fails). Bitmaps wider or taller than 32767 pixels
// cannot be described by a world either. The world is built at the end of Construct
// (ConstructSelf; a world that cannot be built makes Construct fail, leaving the bitmap
// for the caller to Destruct) and disposed in Destruct right after the pixels are freed.
//
// QuickDraw and QuickTime see the bytes as they are in memory: code that has them read or
// write through the world calls WillAccessPixels before and DidWritePixels after a write,
// as for any direct access (see BitmapContext).
#pragma once

#include <cstdint>

#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>
#include <CoreQ/QGWorld.h>

namespace CoreGraphics {

class QitmapContext : public BitmapContext {
public:
    QitmapContext() = default;
    ~QitmapContext() override;

    // Builds mGWorld over the bitmap's pixels; true when the world was built.
    bool ConstructSelf() override;

    // The bitmap, then the world. Nothing when not constructed.
    void Destruct();

    // The bilinear sample of the world's 8-bit pixel map at (fx x width, fy x height)
    // times scale, truncated, low 8 bits. 0 without a world.
    uint8_t GetOpacity8(float fx, float fy, float scale) const;

    QGWorld mGWorld;
};

}  // namespace CoreGraphics
