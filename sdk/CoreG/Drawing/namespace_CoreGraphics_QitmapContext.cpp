#include <CoreG/Drawing/namespace_CoreGraphics_QitmapContext.h>

#include <cmath>

#include <CoreX/CoreMachDebugLog.h>

namespace CoreGraphics {

QitmapContext::~QitmapContext() {
    // The base destructor cannot reach the world: free both here.
    if (IsConstructed()) Destruct();
    mGWorld.Dispose();
}

bool QitmapContext::ConstructSelf() {
    // QuickDraw sizes are 16-bit: a larger bitmap cannot be described by a world.
    if (!VERIFY(mImageWidth <= 0x7FFF && mImageHeight <= 0x7FFF)) return false;
    OSType pixelFormat = 0;
    switch (mImageType) {
    case kBitmapType_Gray8: pixelFormat = k8IndexedGrayPixelFormat; break;
    // X, R, G, B is the byte order of a 32-bit ARGB world (whose alpha nobody reads here).
    case kBitmapType_ARGB32:
    case kBitmapType_XRGB32: pixelFormat = k32ARGBPixelFormat; break;
    // No QuickDraw format has R, G, B, X bytes: a world of another layout would have
    // QuickTime write pixels that Quartz reads wrongly.
    default: VERIFY(mImageType != kBitmapType_RGBX32); return false;
    }
    const ::Dimensions dimensions = {SInt16(mImageHeight), SInt16(mImageWidth)};
    return mGWorld.ConstructAlias(mImageDataBytes, long(mImageRowBytes), dimensions, pixelFormat);
}

void QitmapContext::Destruct() {
    if (IsConstructed()) BitmapContext::Destruct();
    // Right after the pixels: the world only borrowed them and is never used again.
    mGWorld.Dispose();
    Empty();
}

uint8_t QitmapContext::GetOpacity8(float fx, float fy, float scale) const {
    const PixMapHandle pixmap = mGWorld.GetPixMap();
    if (pixmap == nullptr || QPixMap_GetPixelFormat(pixmap) != k8IndexedGrayPixelFormat) return 0;
    WillAccessPixels();  // the world reads the bitmap's own bytes
    const Rect bounds = (*pixmap)->bounds;
    const double x = double(fx) * (bounds.right - bounds.left);
    const double y = double(fy) * (bounds.bottom - bounds.top);
    const double value = double(QPixMap_GetPixel8_Bilinear(pixmap, x, y)) * double(scale);
    if (!std::isfinite(value)) return 0;
    // The low 8 bits of the truncated value, as the integer conversion of a byte gives them.
    double m = std::fmod(std::trunc(value), 256.0);
    if (m < 0) m += 256.0;
    return uint8_t(m);
}

}  // namespace CoreGraphics
