#include <CoreQ/QGWorld.h>

#include <CoreQ/QImageDescription.h>
#include <CoreX/CoreException.h>
#include <CoreX/CoreMachDebugLog.h>

void QGWorld_Dispose(GWorldPtr world) {
    if (world == nullptr) return;
    if (PixMapHandle pixmap = GetGWorldPixMap(world)) UnlockPixels(pixmap);
    DisposeGWorld(world);
}

QGWorld::QGWorld(::Dimensions dimensions, OSType pixelFormat) : mGWorld(nullptr) {
    if (!Construct(dimensions, pixelFormat)) throw CoreException("Nil exception pointer");
}

QGWorld::QGWorld(QPoint widthHeight, OSType pixelFormat) : mGWorld(nullptr) {
    if (!Construct(widthHeight, pixelFormat)) throw CoreException("Nil exception pointer");
}

QGWorld::~QGWorld() { Dispose(); }

void QGWorld::Dispose() {
    QGWorld_Dispose(mGWorld);
    mGWorld = nullptr;
}

bool QGWorld::Construct(::Dimensions dimensions, OSType pixelFormat) {
    Dispose();
    const Rect rect = {0, 0, dimensions.v, dimensions.h};
    const OSErr err = QTNewGWorld(&mGWorld, pixelFormat, &rect, nullptr, nullptr, 0);
    if (VERIFY_OSERR(err) != noErr) mGWorld = nullptr;
    if (mGWorld != nullptr) LockPixels(GetGWorldPixMap(mGWorld));
    return mGWorld != nullptr;
}

bool QGWorld::Construct(QPoint widthHeight, OSType pixelFormat) {
    return Construct(widthHeight.Dimensions(), pixelFormat);
}

bool QGWorld::Construct(const QGWorld &likeThisWorld) {
    if (!VERIFY(likeThisWorld.IsConstructed())) return false;
    const ::Dimensions dimensions = likeThisWorld.Dimensions();
    const OSType pixelFormat = likeThisWorld.GetPixelFormat();
    return Construct(dimensions, pixelFormat);
}

bool QGWorld::ConstructAlias(void *inBaseAddr, long inRowBytes, ::Dimensions dimensions, OSType pixelFormat) {
    Dispose();
    if (!VERIFY(inBaseAddr) || !VERIFY(inRowBytes)) return false;
    const Rect rect = {0, 0, dimensions.v, dimensions.h};
    const OSErr err = QTNewGWorldFromPtr(&mGWorld, pixelFormat, &rect, nullptr, nullptr, 0, inBaseAddr, inRowBytes);
    if (VERIFY_OSERR(err) != noErr) {
        mGWorld = nullptr;
        return false;
    }
    if (mGWorld != nullptr) LockPixels(GetGWorldPixMap(mGWorld));
    return mGWorld != nullptr;
}

bool QGWorld::ConstructAlias(const QGWorldPixelRecord &pixels) {
    return ConstructAlias(pixels.baseAddr, pixels.rowBytes, ::Dimensions{pixels.height, pixels.width}, pixels.pixelFormat);
}

bool QGWorld::ConstructAlias(void *inBaseAddr, ImageDescriptionHandle hImageDescription) {
    Dispose();
    if (!VERIFY(hImageDescription)) return false;
    const QImageDescription imageDescription(hImageDescription);
    long useRowBytes = 0;
    if (!VERIFY(imageDescription.GetExtension_rowb(useRowBytes))) return false;
    return ConstructAlias(inBaseAddr, useRowBytes, imageDescription.GetDimensions(), imageDescription.GetCodecType());
}

bool QGWorld::ConstructAlias(const QGWorld &inAliasThisWorld) {
    // Aliasing itself would dispose the pixels it is about to borrow.
    if (!VERIFY(&inAliasThisWorld != this)) return false;
    Dispose();
    if (!VERIFY(inAliasThisWorld.IsConstructed())) return false;
    const PixMapHandle pixmap = inAliasThisWorld.GetPixMap();
    void *pixelData = pixmap != nullptr ? GetPixBaseAddr(pixmap) : nullptr;
    if (!VERIFY(pixelData)) return false;
    return ConstructAlias(pixelData, GetPixRowBytes(pixmap), inAliasThisWorld.Dimensions(),
                          inAliasThisWorld.GetPixelFormat());
}

bool QGWorld::ConstructAliasOverRect(const QGWorld &inAliasThisWorld, const Rect &rect) {
    if (!VERIFY(&inAliasThisWorld != this)) return false;
    Dispose();
    if (!VERIFY(inAliasThisWorld.IsConstructed())) return false;
    const PixMapHandle pixmap = inAliasThisWorld.GetPixMap();
    if (!VERIFY(QPixMap_GetPixelFormat(pixmap) == k32ARGBPixelFormat)) return false;
    uint8_t *pixelData = reinterpret_cast<uint8_t *>(GetPixBaseAddr(pixmap));
    if (!VERIFY(pixelData)) return false;
    // The alias must not reach outside the other world's pixels.
    const Rect bounds = (*pixmap)->bounds;
    if (!VERIFY(rect.top >= bounds.top && rect.left >= bounds.left && rect.bottom <= bounds.bottom &&
                rect.right <= bounds.right && rect.top < rect.bottom && rect.left < rect.right))
        return false;
    const long rowBytes = GetPixRowBytes(pixmap);
    uint8_t *base = pixelData + long(rect.top - bounds.top) * rowBytes + long(rect.left - bounds.left) * 4;
    return ConstructAlias(base, rowBytes, ::Dimensions{SInt16(rect.bottom - rect.top), SInt16(rect.right - rect.left)},
                          k32ARGBPixelFormat);
}

OSType QGWorld::GetPixelFormat() const {
    if (!VERIFY(mGWorld)) return 0;
    return QPixMap_GetPixelFormat(GetGWorldPixMap(mGWorld));
}

bool QGWorld::FillTransparentBlack() {
    if (!VERIFY(k32ARGBPixelFormat == GetPixelFormat())) return false;
    return QPixMap_FillPixelARGB32(GetGWorldPixMap(mGWorld), 0);
}

Rect QGWorld::GetBounds() const {
    const PixMapHandle pixmap = GetPixMap();
    if (pixmap == nullptr || *pixmap == nullptr) throw CoreException("Nil exception pointer");
    return (*pixmap)->bounds;
}

Dimensions QGWorld::Dimensions() const {
    const Rect bounds = GetBounds();
    return ::Dimensions{SInt16(bounds.bottom - bounds.top), SInt16(bounds.right - bounds.left)};
}

QPoint QGWorld::GetSize() const {
    const Rect bounds = GetBounds();
    return QPoint(long(bounds.right) - bounds.left, long(bounds.bottom) - bounds.top);
}

bool QGWorld::IsSameSizeAndFormat(const Rect &rect, OSType pixelFormat) const {
    if (mGWorld == nullptr || GetPixelFormat() != pixelFormat) return false;
    const Rect bounds = GetBounds();
    return long(bounds.right) - bounds.left == long(rect.right) - rect.left &&
           long(bounds.bottom) - bounds.top == long(rect.bottom) - rect.top;
}

bool QGWorld::GetImageDescription(QImageDescription &out, bool addRowBytes) const {
    const PixMapHandle hPixMap = GetPixMap();
    if (!VERIFY(hPixMap)) return false;
    if (!out.Construct(hPixMap)) return false;
    if (addRowBytes && !out.AddExtension_rowb(GetPixRowBytes(hPixMap))) return false;
    return true;
}
