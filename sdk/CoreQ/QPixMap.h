// Pixel maps: sizes, geometry records and the pixel loops over QuickDraw PixMaps.
//
// A PixMap's format is its pixelFormat, or its pixelSize when pixelFormat is 0. Row 0 is
// at the base address; row r starts rowBytes * r bytes further. The functions take a
// PixMapHandle; a null handle is reported to the debug log and the call does nothing.
#pragma once

#include <cstdint>

#include <QuickTime/QuickDraw.h>

// A size in QuickDraw point order: v (height) first, then h (width).
struct Dimensions {
    SInt16 v;
    SInt16 h;
};

// A size width first, then height (the order of GetSize and of the width-first forms).
struct QPoint {
    SInt16 h;
    SInt16 v;
    constexpr QPoint() : h(0), v(0) {}
    constexpr QPoint(long width, long height) : h(SInt16(width)), v(SInt16(height)) {}
    ::Dimensions Dimensions() const { return ::Dimensions{v, h}; }
};

// The geometry of a 32-bit PixMap. Throws CoreException "Nil exception pointer" for a null
// handle or a pixel size other than 32.
struct QPixMapGeometry32 {
    explicit QPixMapGeometry32(PixMapHandle pixmap);
    long width;
    long height;
    long rowBytes;
    uint8_t *baseAddr;
};

// The geometry of any PixMap. Throws CoreException "Nil exception pointer" for a null
// handle.
struct QPixMapGeometry {
    explicit QPixMapGeometry(PixMapHandle pixmap);
    long width;
    long height;
    long pixelSize;
    uint8_t *baseAddr;
    long rowBytes;
};

// pixelFormat, or pixelSize when pixelFormat is 0; 0 for a null handle (reported).
OSType QPixMap_GetPixelFormat(PixMapHandle pixmap);

// Sets every byte of every row to `value`. False (reported) for row bytes of 0 or less;
// true for a map without rows.
bool QPixMap_FillPixelARGB32(PixMapHandle pixmap, uint8_t value);

// The bilinear sample of a one-byte-per-pixel map at the fractional column x and row y;
// positions are clamped to the map, the edge pixel standing in for its missing neighbour.
// 0 for a null or empty map.
uint16_t QPixMap_GetPixel8_Bilinear(PixMapHandle pixmap, double x, double y);

// Resamples a 32-bit source into a 32-bit destination of any size (all four bytes).
void QPixMap_Resize_ARGB32_Bilinear(PixMapHandle hDest, PixMapHandle hPixMap);

// Blends the 32-bit ARGB image hAlphaPixMap into the destination with its top-left at
// origin (v, h), weighted by its alpha byte times opacity. A 24-bit destination takes R, G,
// B; a 32-bit one also blends its alpha byte with A. Other destinations are left alone.
// Only the part of the image that falls inside the destination is blended.
void QPM_4(PixMapHandle hDest, Point origin, PixMapHandle hAlphaPixMap, float opacity);
void QPM_44(PixMapHandle hDest, Point origin, PixMapHandle hAlphaPixMap, float opacity);
// QPM_44 at (0, 0) with opacity 1.
void QPM_44(PixMapHandle hDest, PixMapHandle hAlphaPixMap);
void QPM_34(PixMapHandle hDest, Point origin, PixMapHandle hAlphaPixMap, float opacity);
