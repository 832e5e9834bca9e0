#include "NSImage_QGWorld.h"

#include "NSImage_RiradI.h"

#include <CoreX/CoreMachDebugLog.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr const char *kFile = "/Code/sdk/RiradI/CocoaFoundation/NSImage_QGWorld";
constexpr long kMaxWorldSide = 32767;

inline void Report(const char *function, int line, const char *text) {
    _CoreMachDebugVerifyBody(function, kFile, line, text);
}

bool IsARGBWorld(const QGWorld &world) {
    return world.IsConstructed() && QPixMap_GetPixelFormat(world.GetPixMap()) == k32ARGBPixelFormat;
}

// Straight colour from premultiplied: c x 255 / a, rounded; 0 where a is 0.
inline uint8_t Unpremultiplied(unsigned c, unsigned a) {
    if (a == 0) return 0;
    return uint8_t(std::min(255u, (c * 255u + a / 2u) / a));
}

// The 8-bit layouts the copy reads, and where their samples are in a pixel.
struct SourceLayout {
    enum Kind { kGrey, kRGB, kRGBA } kind;
    long step;         // bytes from one pixel to the next
    int red;           // offset of red (green and blue follow)
    int alpha;         // offset of alpha (kRGBA)
    bool premultiplied;
};

bool SourceLayoutOf(const NSBitmapImageRep &bitmap, SourceLayout &layout) {
    if (bitmap.bitsPerSample() != 8 || (bitmap.bitmapFormat() & NSFloatingPointSamplesBitmapFormat)) return false;
    const bool first = (bitmap.bitmapFormat() & NSAlphaFirstBitmapFormat) != 0;
    layout.step = bitmap.bitsPerPixel() / 8;
    layout.premultiplied = (bitmap.bitmapFormat() & NSAlphaNonpremultipliedBitmapFormat) == 0;
    layout.alpha = 0;
    layout.red = 0;
    if (bitmap.samplesPerPixel() == 1 && !bitmap.hasAlpha()) {
        layout.kind = SourceLayout::kGrey;
    } else if (bitmap.samplesPerPixel() == 3 && !bitmap.hasAlpha()) {
        layout.kind = SourceLayout::kRGB;
        layout.red = first && layout.step >= 4 ? 1 : 0;  // a skipped byte first (X, R, G, B)
    } else if (bitmap.samplesPerPixel() == 4 && bitmap.hasAlpha()) {
        layout.kind = SourceLayout::kRGBA;
        layout.red = first ? 1 : 0;
        layout.alpha = first ? 0 : 3;
    } else {
        return false;
    }
    return true;
}

// One row of pixels into A, R, G, B with straight alpha.
void CopyRow(const SourceLayout &layout, const uint8_t *in, uint8_t *out, long width) {
    switch (layout.kind) {
    case SourceLayout::kGrey:
        for (long x = 0; x < width; ++x, in += layout.step, out += 4) {
            out[0] = 255;
            out[1] = out[2] = out[3] = in[0];
        }
        return;
    case SourceLayout::kRGB:
        for (long x = 0; x < width; ++x, in += layout.step, out += 4) {
            out[0] = 255;
            out[1] = in[layout.red];
            out[2] = in[layout.red + 1];
            out[3] = in[layout.red + 2];
        }
        return;
    case SourceLayout::kRGBA:
        if (!layout.premultiplied && layout.alpha == 0 && layout.step == 4) {
            std::memcpy(out, in, size_t(width) * 4);  // already A, R, G, B
            return;
        }
        for (long x = 0; x < width; ++x, in += layout.step, out += 4) {
            const uint8_t a = in[layout.alpha];
            const uint8_t *rgb = in + layout.red;
            out[0] = a;
            if (layout.premultiplied && a != 255) {
                out[1] = Unpremultiplied(rgb[0], a);
                out[2] = Unpremultiplied(rgb[1], a);
                out[3] = Unpremultiplied(rgb[2], a);
            } else {
                out[1] = rgb[0];
                out[2] = rgb[1];
                out[3] = rgb[2];
            }
        }
        return;
    }
}

}  // namespace

OSType PixelFormatFromBitmapImageRep(const NSBitmapImageRep *inBitmapImageRep) {
    static constexpr const char *kFunction = "PixelFormatFromBitmapImageRep";
    if (inBitmapImageRep == nullptr) {
        Report(kFunction, 37, " code : inBitmapImageRep");
        return 0;
    }
    const long bitsPerPixel = inBitmapImageRep->bitsPerPixel();
    const long samplesPerPixel = inBitmapImageRep->samplesPerPixel();
    if (bitsPerPixel == 8 && samplesPerPixel == 1) return k8IndexedGrayPixelFormat;
    if (bitsPerPixel == 24 && samplesPerPixel == 3) return k24RGBPixelFormat;
    if (bitsPerPixel == 32 && samplesPerPixel == 4) {
        if ((inBitmapImageRep->bitmapFormat() & NSAlphaFirstBitmapFormat) == 0)
            Report(kFunction, 48, " code : bitmapFormat==NSAlphaFirstBitmapFormat");
        return k32ARGBPixelFormat;
    }
    return 0;
}

// ---- QGWorldBitmapAlias

QGWorldBitmapAlias::~QGWorldBitmapAlias() { Release(); }

void QGWorldBitmapAlias::Release() {
    Dispose();
    mBitmapImageRep.reset();
}

bool QGWorldBitmapAlias::Construct(std::shared_ptr<NSBitmapImageRep> inBitmapImageRep) {
    static constexpr const char *kFunction = "Construct";
    Release();
    if (!inBitmapImageRep) {
        Report(kFunction, 67, " code : inBitmapImageRep");
        return false;
    }
    mBitmapImageRep = std::move(inBitmapImageRep);  // kept while the world uses its pixels
    void *pixelBaseAddress = mBitmapImageRep->bitmapData();
    const OSType pixelFormat = PixelFormatFromBitmapImageRep(mBitmapImageRep.get());
    if (pixelBaseAddress == nullptr || pixelFormat == 0) {
        Report(kFunction, 73, pixelBaseAddress == nullptr ? " code : pixelBaseAddress" : " code : pixelFormat");
        Release();
        return false;
    }
    const long pixelsWide = mBitmapImageRep->pixelsWide(), pixelsHigh = mBitmapImageRep->pixelsHigh();
    if (pixelsWide > kMaxWorldSide || pixelsHigh > kMaxWorldSide) {
        Report(kFunction, 75, " code : pixelsWide<=32767 && pixelsHigh<=32767");
        Release();
        return false;
    }
    const ::Dimensions surfaceSize{SInt16(pixelsHigh), SInt16(pixelsWide)};
    const long rowBytes = mBitmapImageRep->bytesPerRow();
    const bool fOk = QGWorld::ConstructAlias(pixelBaseAddress, rowBytes, surfaceSize, pixelFormat);
    if (!fOk) {
        Report(kFunction, 78,
               " code : fOk = superclass_t::ConstructAlias(pixelBaseAddress, rowBytes, surfaceSize, pixelFormat )");
        Release();
    }
    return fOk;
}

namespace QGWorlds {

// ---- NSBitmapImageRep(QGWorlds)

std::shared_ptr<NSBitmapImageRep> bitmapWithGWorldData(const QGWorldPixelRecord *bitmapData) {
    static constexpr const char *kFunction = "+[NSBitmapImageRep(QGWorlds) bitmapWithGWorldData:]";
    if (bitmapData == nullptr) {
        Report(kFunction, 101, " code : bitmapData");
        return nullptr;
    }
    if (bitmapData->pixelFormat != k32ARGBPixelFormat) {
        Report(kFunction, 101, " code : bitmapData->pixelFormat==k32ARGBPixelFormat");
        return nullptr;
    }
    // A record without pixels or rows, or whose rows are shorter than its width, describes no
    // picture (and a null base address would have the bitmap allocate pixels of its own).
    if (bitmapData->baseAddr == nullptr || bitmapData->rowBytes <= 0) {
        Report(kFunction, 103, " code : bitmapImageRep");
        return nullptr;
    }
    auto bitmapImageRep = NSBitmapImageRep::initWithBitmapDataPlanes(
        static_cast<unsigned char *>(bitmapData->baseAddr), bitmapData->width, bitmapData->height, 8, 4, true, false,
        NSCalibratedRGBColorSpace, NSAlphaFirstBitmapFormat | NSAlphaNonpremultipliedBitmapFormat,
        bitmapData->rowBytes, 32);
    if (!bitmapImageRep) {
        Report(kFunction, 103, " code : bitmapImageRep");
        return nullptr;
    }
    return bitmapImageRep;
}

unsigned char *getStartOfScanLine(const NSBitmapImageRep &bitmap, long row) {
    return bitmap.bitmapData() + row * bitmap.bytesPerRow();
}

bool sameDimensions(const NSBitmapImageRep &bitmap, const QGWorld &theWorld) {
    if (!theWorld.IsConstructed()) return false;
    const ::QPoint size = theWorld.GetSize();
    const NSSize imageSize = RiradI::sizePixels(bitmap);
    return long(size.v) == long(imageSize.height) && long(size.h) == long(imageSize.width);
}

bool copyToWorldWithSameDimensions(const NSBitmapImageRep &bitmap, QGWorld &theWorld) {
    static constexpr const char *kFunction = "-[NSBitmapImageRep(QGWorlds) copyToWorldWithSameDimensions:]";
    const PixMapHandle hPixMap = theWorld.GetPixMap();
    if (hPixMap == nullptr) {
        Report(kFunction, 158, " code : hPixMap");
        return false;
    }
    // Four bytes are written a pixel, for every pixel of the bitmap.
    if (QPixMap_GetPixelFormat(hPixMap) != k32ARGBPixelFormat) {
        Report(kFunction, 160, " code : QPixMap_GetPixelFormat(hPixMap)==k32ARGBPixelFormat");
        return false;
    }
    if (!sameDimensions(bitmap, theWorld)) {
        Report(kFunction, 161, " code : sameDimensions(bitmap, theWorld)");
        return false;
    }
    SourceLayout layout;
    if (!SourceLayoutOf(bitmap, layout)) return false;

    // The holder keeps the world's pixels locked.
    const Rect bounds = theWorld.GetBounds();
    const long height = long(bounds.bottom) - bounds.top, width = long(bounds.right) - bounds.left;
    uint8_t *worldBase = reinterpret_cast<uint8_t *>(GetPixBaseAddr(hPixMap));
    const long worldRowBytes = GetPixRowBytes(hPixMap);
    for (long row = 0; row < height; ++row)
        CopyRow(layout, getStartOfScanLine(bitmap, row), worldBase + row * worldRowBytes, width);
    return true;
}

bool constructNewWorldWithImageContents(const NSBitmapImageRep &bitmap, QGWorld &theWorld) {
    static constexpr const char *kFunction = "-[NSBitmapImageRep(QGWorlds) constructNewWorldWithImageContents:]";
    if (!sameDimensions(bitmap, theWorld) || !IsARGBWorld(theWorld)) {
        theWorld.Dispose();
        const NSSize imageSize = RiradI::sizePixels(bitmap);
        const bool fits = imageSize.width <= kMaxWorldSide && imageSize.height <= kMaxWorldSide;
        if (!fits || !theWorld.Construct(::QPoint(long(imageSize.width), long(imageSize.height))))
            Report(kFunction, 275, " code : theWorld.Construct(QPoint(imageSize.width,imageSize.height))");
    }
    if (!theWorld.IsConstructed()) {
        Report(kFunction, 278, " code : theWorld.IsConstructed()");
        return false;
    }
    if (!copyToWorldWithSameDimensions(bitmap, theWorld)) {
        Report(kFunction, 280, " code : copyToWorldWithSameDimensions(bitmap, theWorld)");
        return false;
    }
    return true;
}

AspectFit AspectFitRect(long sourceWidth, long sourceHeight, const Rect &destination, Rect &target) {
    target = destination;
    const long destinationWidth = long(destination.right) - destination.left;
    const long destinationHeight = long(destination.bottom) - destination.top;
    if (sourceWidth < 1 || sourceHeight < 1 || destinationWidth < 1 || destinationHeight < 1) return AspectFit::kWhole;
    const float sourceRatio = float(sourceWidth) / float(sourceHeight);
    const float destinationRatio = float(destinationWidth) / float(destinationHeight);
    if (long(sourceRatio * 100.0f) == long(destinationRatio * 100.0f)) return AspectFit::kWhole;
    if (destinationRatio > sourceRatio) {
        const long width = long(float(destinationHeight) * sourceRatio);
        const long margin = (long(destination.right) - width - destination.left) / 2;
        target.left = SInt16(destination.left + margin);
        target.right = SInt16(destination.right - margin);
        return AspectFit::kWider;
    }
    const long height = long(float(destinationWidth) / sourceRatio);
    const long margin = (long(destination.bottom) - height - destination.top) / 2;
    target.top = SInt16(destination.top + margin);
    target.bottom = SInt16(destination.bottom - margin);
    return AspectFit::kTaller;
}

bool copyToWorldWithAnyDimensions(const NSBitmapImageRep &bitmap, QGWorld &theWorld) {
    static constexpr const char *kFunction = "-[NSBitmapImageRep(QGWorlds) copyToWorldWithAnyDimensions:]";
    if (!theWorld.IsConstructed()) {
        Report(kFunction, 288, " code : theWorld.IsConstructed()");
        return false;
    }
    if (!IsARGBWorld(theWorld)) {
        Report(kFunction, 289, " code : theWorld.GetPixelFormat()==k32ARGBPixelFormat");
        return false;
    }
    if (sameDimensions(bitmap, theWorld)) {
        const bool copied = copyToWorldWithSameDimensions(bitmap, theWorld);
        if (!copied) Report(kFunction, 293, " code : copyToWorldWithSameDimensions(bitmap, theWorld)");
        return copied;
    }
    QGWorld imageWorld;
    if (!constructNewWorldWithImageContents(bitmap, imageWorld)) {
        Report(kFunction, 299, " code : constructNewWorldWithImageContents(bitmap, imageWorld)");
        return false;
    }
    const ::QPoint imageSize = imageWorld.GetSize();
    Rect rect;
    const AspectFit fit = AspectFitRect(imageSize.h, imageSize.v, theWorld.GetBounds(), rect);
    if (fit == AspectFit::kWhole) {
        QPixMap_Resize_ARGB32_Bilinear(theWorld.GetPixMap(), imageWorld.GetPixMap());
        return true;
    }
    // The margins keep what the world held.
    QGWorld constrainedSubImage;
    if (constrainedSubImage.ConstructAliasOverRect(theWorld, rect)) {
        QPixMap_Resize_ARGB32_Bilinear(constrainedSubImage.GetPixMap(), imageWorld.GetPixMap());
    } else {
        Report(kFunction, fit == AspectFit::kWider ? 320 : 339,
               " code : constrainedSubImage.ConstructAliasOverRect(theWorld, rect)");
        QPixMap_Resize_ARGB32_Bilinear(theWorld.GetPixMap(), imageWorld.GetPixMap());
    }
    return true;
}

bool constructNewWorldForImageContents(const std::shared_ptr<NSBitmapImageRep> &bitmap,
                                       QGWorldBitmapAlias &theWorldAlias) {
    return theWorldAlias.Construct(bitmap);
}

// ---- NSImage(QGWorlds)

std::shared_ptr<NSImage> imageWithGWorldData(const QGWorldPixelRecord *bitmapData) {
    static constexpr const char *kFunction = "+[NSImage(QGWorlds) imageWithGWorldData:]";
    auto bitmapRep = bitmapWithGWorldData(bitmapData);
    if (!bitmapRep) {
        Report(kFunction, 365, " code : bitmapRep");
        return nullptr;
    }
    auto image = std::make_shared<NSImage>();
    image->addRepresentation(std::move(bitmapRep));
    return image;
}

namespace {

template <typename Operation>
bool OnFirstBitmap(const NSImage &image, const char *function, int line, const char *failure, Operation operation) {
    const std::shared_ptr<NSBitmapImageRep> bitmapRep = RiradI::firstBitmapImageRep(image);
    if (!bitmapRep) {
        Report(function, line, " code : bitmapRep");
        return false;
    }
    const bool done = operation(*bitmapRep);
    if (!done) Report(function, line + 2, failure);
    return done;
}

}  // namespace

bool constructNewWorldWithImageContents(const NSImage &image, QGWorld &theWorld) {
    return OnFirstBitmap(image, "-[NSImage(QGWorlds) constructNewWorldWithImageContents:]", 382,
                         " code : constructNewWorldWithImageContents(*bitmapRep, theWorld)",
                         [&](const NSBitmapImageRep &bitmap) { return constructNewWorldWithImageContents(bitmap, theWorld); });
}

bool copyToWorldWithSameDimensions(const NSImage &image, QGWorld &theWorld) {
    return OnFirstBitmap(image, "-[NSImage(QGWorlds) copyToWorldWithSameDimensions:]", 396,
                         " code : copyToWorldWithSameDimensions(*bitmapRep, theWorld)",
                         [&](const NSBitmapImageRep &bitmap) { return copyToWorldWithSameDimensions(bitmap, theWorld); });
}

bool copyToWorldWithAnyDimensions(const NSImage &image, QGWorld &theWorld) {
    return OnFirstBitmap(image, "-[NSImage(QGWorlds) copyToWorldWithAnyDimensions:]", 410,
                         " code : copyToWorldWithAnyDimensions(*bitmapRep, theWorld)",
                         [&](const NSBitmapImageRep &bitmap) { return copyToWorldWithAnyDimensions(bitmap, theWorld); });
}

}  // namespace QGWorlds

bool import_NSImage_QGWorld() { return import_NSImage_RiradI() && import_CoreMachDebugLog(); }
