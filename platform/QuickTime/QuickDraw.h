// QuickDraw in memory: points, rectangles, pixel maps and offscreen graphics worlds.
//
// A world owns (QTNewGWorld) or borrows (QTNewGWorldFromPtr) a block of pixels. Row 0 is
// the top row; the pixel at (h, v) of the bounds is at
//   baseAddr + (v - bounds.top) * rowBytes + (h - bounds.left) * bytes per pixel.
// Pixels keep QuickDraw's byte order in memory whatever the host:
//   k32ARGBPixelFormat       A, R, G, B
//   k32BGRAPixelFormat       B, G, R, A
//   k24RGBPixelFormat        R, G, B
//   k16BE555PixelFormat      a big-endian 16-bit word 0RRRRRGGGGGBBBBB
//   k8IndexedGrayPixelFormat one luminance byte, 0 black, 255 white
//   k2vuyPixelFormat         Cb, Y0, Cr, Y1 for each pair of pixels
//   kYUVSPixelFormat         Y0, Cb, Y1, Cr for each pair of pixels
// Worlds made here have rows aligned to 16 bytes in a block aligned to 16 bytes. There is
// no screen: no graphics devices, colour tables or drawing into windows.
#pragma once

#include <QuickTime/FixMath.h>
#include <QuickTime/MacMemory.h>

// The layer's calls have C linkage, as the framework's exported entry points do.
extern "C" {

struct Point {
    short v;
    short h;
};

struct Rect {
    short top;
    short left;
    short bottom;
    short right;
};

typedef SInt16 QDErr;

enum : OSErr {
    cDepthErr = -157,  // a pixel format (depth) the call does not support
};

enum : OSType {
    k16BE555PixelFormat = 0x00000010,
    k24RGBPixelFormat = 0x00000018,
    k32ARGBPixelFormat = 0x00000020,
    k8IndexedGrayPixelFormat = 0x00000028,
    k32BGRAPixelFormat = MakeFourCharCode("BGRA"),
    k2vuyPixelFormat = MakeFourCharCode("2vuy"),
    kYUVSPixelFormat = MakeFourCharCode("yuvs"),
};

// Opaque: worlds have no colour tables or devices here; pass null.
typedef struct ColorTable **CTabHandle;
typedef struct GDevice **GDHandle;
// Opaque: regions (masks and clips) are not provided; pass null.
typedef struct MacRegion **RgnHandle;

// Transfer modes: pixels are copied (dithering has nothing to do in these formats).
enum : short {
    srcCopy = 0,
    ditherCopy = 64,
};

struct PixMap {
    Ptr baseAddr;
    SInt32 rowBytes;  // the full row bytes (no flag bits)
    Rect bounds;
    Fixed hRes;       // 72 dpi
    Fixed vRes;
    short pixelType;  // 16 (direct) for RGB formats, 0 otherwise
    short pixelSize;  // bits per pixel: 32, 24, 16, 8; 16 for the 4:2:2 formats
    short cmpCount;
    short cmpSize;
    OSType pixelFormat;
    CTabHandle pmTable;  // always null
};
typedef PixMap *PixMapPtr;
typedef PixMapPtr *PixMapHandle;

typedef struct OpaqueGrafPtr *GrafPtr;
typedef GrafPtr CGrafPtr;
typedef CGrafPtr GWorldPtr;

typedef unsigned long GWorldFlags;
// Memory hints that are accepted and have no effect here; any other flag is paramErr.
enum : GWorldFlags {
    pixPurge = 1UL << 0,
    noNewDevice = 1UL << 1,
    useTempMem = 1UL << 2,
    keepLocal = 1UL << 3,
};

// A world with its own pixels (not cleared), the bounds given, rows of the smallest
// 16-byte multiple. paramErr for a null output or rect, an empty rect or unknown flags;
// cDepthErr for a pixel format not listed above; memFullErr when there is no room. On
// any error *offscreenGWorld is null.
OSErr QTNewGWorld(GWorldPtr *offscreenGWorld, OSType pixelFormat, const Rect *boundsRect, CTabHandle cTable,
                  GDHandle aGDevice, GWorldFlags flags);
// A world over pixels owned by the caller, who keeps them alive (height * rowBytes bytes)
// until the world is disposed. paramErr also for a null baseAddr or rowBytes smaller than
// a row of the format (4:2:2 rows hold whole pairs).
OSErr QTNewGWorldFromPtr(GWorldPtr *offscreenGWorld, OSType pixelFormat, const Rect *boundsRect,
                         CTabHandle cTable, GDHandle aGDevice, GWorldFlags flags, void *baseAddr, long rowBytes);
// Frees the world (and its pixels when it owns them). A world current on the calling
// thread stops being current. Null is ignored.
void DisposeGWorld(GWorldPtr offscreenGWorld);

// The world's pixel map (owned by the world); null for a null world.
PixMapHandle GetGWorldPixMap(GWorldPtr offscreenGWorld);
// The port's bounds; *rect is set to an empty rect for a null port. Answers rect.
Rect *GetPortBounds(CGrafPtr port, Rect *rect);
Rect *GetPixBounds(PixMapHandle pixMap, Rect *bounds);
Ptr GetPixBaseAddr(PixMapHandle pm);
long GetPixRowBytes(PixMapHandle pm);
long QTGetPixMapHandleRowBytes(PixMapHandle pm);
short GetPixDepth(PixMapHandle pm);
// Pixels are never purged or moved: LockPixels answers true for a world's pixel map.
Boolean LockPixels(PixMapHandle pm);
void UnlockPixels(PixMapHandle pm);

// There are no graphics devices here: null. Every call that takes a GDHandle ignores it.
GDHandle GetMainDevice(void);

// The current world of the calling thread (null until one is set).
void GetGWorld(CGrafPtr *port, GDHandle *gdh);
void SetGWorld(CGrafPtr port, GDHandle gdh);

void SetRect(Rect *r, short left, short top, short right, short bottom);
void OffsetRect(Rect *r, short dh, short dv);
Boolean EmptyRect(const Rect *r);
Boolean EqualRect(const Rect *rect1, const Rect *rect2);

}  // extern "C"
