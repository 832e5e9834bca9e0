// NSBitmapImageRep(QGWorlds), NSImage(QGWorlds): pixels between bitmaps and the offscreen
// worlds in which the program's pixel code works on 32-bit ARGB.
//
// Four ways across:
//   - bitmapWithGWorldData / imageWithGWorldData: a bitmap over a world's pixels (no copy);
//   - QGWorldBitmapAlias / constructNewWorldForImageContents: a world over a bitmap's pixels
//     (no copy), keeping the bitmap alive;
//   - copyToWorldWithSameDimensions / constructNewWorldWithImageContents: a copy into a
//     32-bit world of the bitmap's size;
//   - copyToWorldWithAnyDimensions: a copy into a 32-bit world of any size, resampled
//     bilinearly and centred with the bitmap's aspect ratio kept.
//
// Pixels: 32-bit worlds hold straight (not premultiplied) alpha, bytes A, R, G, B. Copies turn
// every 8-bit layout into that: grey and RGB become opaque, RGBA is reordered, premultiplied
// colour is divided by its alpha (rounded; colour 0 where alpha is 0). A bitmap over a world
// says what the world holds: alpha first, not premultiplied. The aliases in either direction
// copy nothing, so a world over a bitmap shows the bitmap's bytes as they are.
//
// A world over a bitmap context's bytes (a QitmapContext's world) is written directly: the
// caller brackets a copy into it with the context's WillAccessPixels and DidWritePixels.
//
// Failed checks are reported through the debug log under the source
// "/Code/sdk/RiradI/CocoaFoundation/NSImage_QGWorld", with the method's full name.
#pragma once

#include <AppKit/NSBitmapImageRep.h>
#include <AppKit/NSImage.h>

#include <CoreQ/QGWorld.h>

#include <cstdint>
#include <memory>

// The world format that describes a bitmap's pixels:
//   8 bits, 1 sample   k8IndexedGrayPixelFormat (40)
//   24 bits, 3 samples k24RGBPixelFormat (24)
//   32 bits, 4 samples k32ARGBPixelFormat (32); alpha must come first, else a report
//                      (" code : bitmapFormat==NSAlphaFirstBitmapFormat") and 32 all the same
//   anything else      0
// Null gives 0 and a report (" code : inBitmapImageRep").
OSType PixelFormatFromBitmapImageRep(const NSBitmapImageRep *inBitmapImageRep);

// A world over a bitmap's pixels that keeps the bitmap alive while the world exists.
class QGWorldBitmapAlias : public QGWorld {
public:
    QGWorldBitmapAlias() = default;
    ~QGWorldBitmapAlias();

    // Releases what it held, then builds the world over the bitmap: its pixel format
    // (PixelFormatFromBitmapImageRep), base address, pixel size and bytes per row. False
    // (reported) without a bitmap, pixels, a usable format, for a side above 32767 pixels, or
    // when QuickDraw refuses; the alias then holds nothing.
    bool Construct(std::shared_ptr<NSBitmapImageRep> inBitmapImageRep);
    // Disposes the world, then releases the bitmap.
    void Release();

    const std::shared_ptr<NSBitmapImageRep> &GetBitmapImageRep() const { return mBitmapImageRep; }

private:
    std::shared_ptr<NSBitmapImageRep> mBitmapImageRep;
};

namespace QGWorlds {

// ---- NSBitmapImageRep(QGWorlds)

// A bitmap over the record's pixels, used in place: 8 bits a sample, 4 samples with alpha
// first, not premultiplied, calibrated RGB, the record's size and row bytes. Null (reported)
// for a null record, a format other than k32ARGBPixelFormat, or a record that describes no
// picture (a side below 1, rows shorter than the width).
std::shared_ptr<NSBitmapImageRep> bitmapWithGWorldData(const QGWorldPixelRecord *bitmapData);

// The first byte of a row: bitmap data + row x bytes per row.
unsigned char *getStartOfScanLine(const NSBitmapImageRep &bitmap, long row);

// A world exists and has the bitmap's pixel size.
bool sameDimensions(const NSBitmapImageRep &bitmap, const QGWorld &theWorld);

// Copies the bitmap into a k32ARGBPixelFormat world of its size, as bytes A, R, G, B with
// straight alpha. Sources: 8-bit grey; 8-bit RGB (24 or 32 bits a pixel, the skipped byte
// first or last); 8-bit RGBA, alpha first or last, premultiplied or not. False without a pixel
// map (" code : hPixMap"), for another world format or size (reported), and for any other
// layout (floating-point, 16-bit, grey with alpha: not reported, nothing copied).
bool copyToWorldWithSameDimensions(const NSBitmapImageRep &bitmap, QGWorld &theWorld);

// Rebuilds the world as a k32ARGBPixelFormat world of the bitmap's size unless it is one
// already, then copies the bitmap into it. False (reported) when it cannot be built or
// the copy fails.
bool constructNewWorldWithImageContents(const NSBitmapImageRep &bitmap, QGWorld &theWorld);

// Copies the bitmap into a constructed k32ARGBPixelFormat world of any size: the same size
// copies; otherwise the bitmap goes to a temporary world of its own size and is resampled
// bilinearly (QPixMap_Resize_ARGB32_Bilinear) into the rectangle that AspectFitRect gives
// (the whole world when no alias can be made over that rectangle). Pixels outside the
// rectangle are left as they were. False (reported) for an unbuilt world, another format, or
// a failing copy.
bool copyToWorldWithAnyDimensions(const NSBitmapImageRep &bitmap, QGWorld &theWorld);

// Builds the alias over the bitmap (QGWorldBitmapAlias::Construct).
bool constructNewWorldForImageContents(const std::shared_ptr<NSBitmapImageRep> &bitmap,
                                       QGWorldBitmapAlias &theWorldAlias);

// Where a picture of the source's aspect ratio goes in a destination: the whole destination
// when the two ratios (width / height in single precision), times 100 and truncated, are
// equal; otherwise the destination's full height (a wider destination) or full width (a
// taller one), the other side the destination side times or divided by the source ratio
// (truncated), centred with margin = (free space) / 2 (integer division) taken off each end.
enum class AspectFit { kWhole, kWider, kTaller };
AspectFit AspectFitRect(long sourceWidth, long sourceHeight, const Rect &destination, Rect &target);

// ---- NSImage(QGWorlds)

// An image holding bitmapWithGWorldData of the record. Null (reported) when there is none.
std::shared_ptr<NSImage> imageWithGWorldData(const QGWorldPixelRecord *bitmapData);

// The operations above on the image's first bitmap. False (reported, " code : bitmapRep")
// when it has none, false (reported) when the operation fails.
bool constructNewWorldWithImageContents(const NSImage &image, QGWorld &theWorld);
bool copyToWorldWithSameDimensions(const NSImage &image, QGWorld &theWorld);
bool copyToWorldWithAnyDimensions(const NSImage &image, QGWorld &theWorld);

}  // namespace QGWorlds

bool import_NSImage_QGWorld();
