// A block of pixel memory with a Quartz bitmap context over it: the off-screen pictures of
// the library (masks, camera frame buffers, shared output frames, text overlays).
//
// Four layouts, 8 bits per component, row 0 of the memory at the top of the picture:
//
//   kBitmapType_Gray8    1 byte   grey                           bitmap info 0
//   kBitmapType_ARGB32   4 bytes  A,R,G,B premultiplied          bitmap info 2
//   kBitmapType_XRGB32   4 bytes  X,R,G,B (no alpha)             bitmap info 6
//   kBitmapType_RGBX32   4 bytes  R,G,B,X (no alpha)             bitmap info 5
//
// Grey bitmaps always use a new DeviceGray space; the 32-bit ones the caller's space
// (retained) or a new DeviceRGB. Users read the fields directly (mContext to draw,
// mImageDataBytes and mImageRowBytes to address pixels).
//
// Quartz draws into a surface of its own and brings mImageDataBytes up to date only when
// asked (see CGBitmapContext.h): code that reads or writes the pixels directly (or through
// a QuickDraw world over them) calls WillAccessPixels first and, after writing,
// DidWritePixels. Code that overwrites every pixel may skip WillAccessPixels. Images over
// the pixels (ConstructCGImage, GetCroppedImageRef) catch up by themselves when drawn.
//
// Subclasses hook in through the virtual operations, declared here in this order:
// ConstructCGImage, ConstructSelf (run at the end of Construct), CreateImageData and
// DeleteImageData (the pixel memory). The base destructor can only reach the base's
// DeleteImageData: a subclass that overrides it calls Destruct in its own destructor.
#pragma once

#include <cstdint>

#include <CoreGraphics/CoreGraphics.h>

namespace CoreGraphics {

enum BitmapType : int32_t {
    kBitmapType_Gray8 = 1,
    kBitmapType_ARGB32 = 2,
    kBitmapType_XRGB32 = 3,
    kBitmapType_RGBX32 = 4,
};

// The process-wide colour spaces, made together on first use and kept for the life of the
// process (so users running late at exit still find them). Read-only; safe from any thread.
struct SharedColorSpaces {
    CGColorSpaceRef sLinearColorSpace;   // kCGColorSpaceGenericRGBLinear
    CGColorSpaceRef sSRGBColorSpace;     // kCGColorSpaceSRGB
    CGColorSpaceRef sDefaultColorSpace;  // kCGColorSpaceSRGB, a separate object
    CGColorSpaceRef sAdobe98ColorSpace;  // kCGColorSpaceAdobeRGB1998

    static const SharedColorSpaces &Get();
};

class BitmapContext {
public:
    BitmapContext() { Empty(); }
    virtual ~BitmapContext();
    BitmapContext(const BitmapContext &) = delete;
    BitmapContext &operator=(const BitmapContext &) = delete;

    // An image over the pixels (not a copy: it shows later drawing and must not outlive
    // the bitmap), tagged with `space`, or with the bitmap's own space when null. Null
    // when not constructed or when Quartz refuses. The caller releases it.
    virtual CGImageRef ConstructCGImage(CGColorSpaceRef space);
    // Run at the end of a successful Construct; its result is Construct's.
    virtual bool ConstructSelf();
    // The pixel memory: zeroed, `size` bytes, or null. Freed by DeleteImageData.
    virtual uint8_t *CreateImageData(unsigned long size);
    virtual void DeleteImageData(uint8_t *data);

    // Pixels and a context of width x height in the layout `type`. Row bytes are
    // bytes per pixel x width, or `rowBytes` when that is larger. False for a type outside
    // 1..4, a width or height below 1, a picture above 4 GiB, or when memory, colour space
    // or context cannot be made; a failure releases whatever it obtained and leaves the
    // object empty, except that when ConstructSelf fails the bitmap stays constructed for
    // the caller to Destruct. A constructed object must be Destructed first.
    bool Construct(int width, int height, BitmapType type, unsigned long rowBytes = 0,
                   CGColorSpaceRef space = nullptr);
    // Releases the context and the colour space and hands the pixels to DeleteImageData,
    // then empties every field. Nothing when not constructed.
    void Destruct();
    // Zeroes every field without releasing anything.
    void Empty();

    // Brings the pixels up to date with every drawing call so far: before reading or
    // writing them directly.
    void WillAccessPixels() const {
        if (mContext != nullptr) CGBitmapContextWillAccessData(mContext);
    }
    // After writing the pixels directly: the next drawing call starts from them.
    void DidWritePixels() {
        if (mContext != nullptr) CGBitmapContextDidWriteData(mContext);
    }

    // Width, height, context and pixels all present.
    bool IsConstructed() const {
        return mImageWidth != 0 && mImageHeight != 0 && mContext != nullptr && mImageDataBytes != nullptr;
    }

    // ConstructCGImage tagged `space`, or sSRGBColorSpace when null.
    CGImageRef ConstructCGImageWithManagedColor(CGColorSpaceRef space);

    // An image of the part `crop` of the picture, in y-up pixel coordinates (origin at the
    // bottom-left), over the pixels (not a copy). The whole picture gives ConstructCGImage.
    // Other crops are truncated to whole pixels and must lie wholly inside the picture,
    // with at least one pixel each way; otherwise, and when not constructed, null.
    CGImageRef GetCroppedImageRef(const CGRect &crop, CGColorSpaceRef space = nullptr);

    // Bilinear sample of a 4-byte-per-pixel bitmap at column x, memory row y (fractions
    // allowed); positions outside the picture take the edge pixels. Each byte is mixed and
    // truncated; byte 0 of the pixel goes to bits 24-31, byte 1 to bits 0-7, byte 2 to
    // 8-15 and byte 3 to 16-23. 0 for a grey or unconstructed bitmap.
    uint32_t SafeGetPixel_BilinearInterpolatedSample8888(double x, double y) const;

    // Blocky gradient noise of the shared generator (seed 4567), `octave` x `octave`
    // pixels a block (limited to 1..64), 256 lattice cells across each dimension. Grey:
    // the byte is the low 8 bits of trunc(noise x amplitude x 255); 32-bit layouts: byte 0
    // is 255 and bytes 1-3 take that value.
    void FillPerlinNoise(int octave, float amplitude);

    CGContextRef mContext;
    BitmapType mImageType;
    uint32_t mImageWidth;
    uint32_t mImageHeight;
    uint32_t mImageBitsPerPixel;
    uint32_t mImageChannels;
    uint32_t mImageRowBytes;
    uint32_t mImageDataSize;
    uint32_t mImageBitmapInfo;
    CGColorSpaceRef mImageColorspace;
    uint8_t *mImageDataBytes;

private:
    void ReleaseResources();
};

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_BitmapContext();
