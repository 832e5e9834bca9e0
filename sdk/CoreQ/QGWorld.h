// QGWorld: the holder of one QuickDraw offscreen world.
//
// Construct gives the world pixels of its own; ConstructAlias builds it over memory that
// somebody else owns (the caller keeps that memory alive and frees it after the world).
// While held, the world's pixels are locked; disposing the holder unlocks them, disposes
// the world and empties the holder. The world's rectangle is always (0, 0, height, width).
#pragma once

#include <QuickTime/ImageCompression.h>
#include <QuickTime/QuickDraw.h>

#include <CoreQ/QPixMap.h>

class QImageDescription;

// Pixels described by their owner (the JPEG pass of quick-save files).
struct QGWorldPixelRecord {
    OSType pixelFormat;
    SInt16 width;
    SInt16 height;
    SInt32 rowBytes;
    void *baseAddr;
};

// Unlocks the world's pixels and disposes it; null is ignored. Shared with the
// QuickDraw-backed bitmap context.
void QGWorld_Dispose(GWorldPtr world);

class QGWorld {
public:
    QGWorld() : mGWorld(nullptr) {}
    // These forms build a world of their own pixels and throw CoreException
    // "Nil exception pointer" when it cannot be built.
    QGWorld(::Dimensions dimensions, OSType pixelFormat);
    explicit QGWorld(QPoint widthHeight, OSType pixelFormat = k32ARGBPixelFormat);
    ~QGWorld();
    QGWorld(const QGWorld &) = delete;
    QGWorld &operator=(const QGWorld &) = delete;

    // Disposes any world, then builds one of its own (not cleared) pixels; true when a
    // world exists.
    bool Construct(::Dimensions dimensions, OSType pixelFormat = k32ARGBPixelFormat);
    // The same, width first.
    bool Construct(QPoint widthHeight, OSType pixelFormat = k32ARGBPixelFormat);
    // A world of the same dimensions and format as another one (not its pixels).
    bool Construct(const QGWorld &likeThisWorld);

    // Disposes any world, then builds one over the caller's pixels. False (reported) for a
    // null base address, row bytes of 0 or a failing QuickDraw call.
    bool ConstructAlias(void *inBaseAddr, long inRowBytes, ::Dimensions dimensions, OSType pixelFormat);
    bool ConstructAlias(const QGWorldPixelRecord &pixels);
    // Format, height and width from the description (not owned), row bytes from its
    // 'rowb' rule (QImageDescription::GetExtension_rowb); false when there are none.
    bool ConstructAlias(void *inBaseAddr, ImageDescriptionHandle hImageDescription);
    // The whole of another constructed world. It must outlive this one.
    bool ConstructAlias(const QGWorld &inAliasThisWorld);
    // A rectangle of another 32-bit world (which must outlive this one). False (reported)
    // for a rectangle that is empty or not wholly inside the other world.
    bool ConstructAliasOverRect(const QGWorld &inAliasThisWorld, const Rect &rect);

    // Unlocks the pixels, disposes the world and empties the holder.
    void Dispose();

    bool IsConstructed() const { return mGWorld != nullptr; }
    PixMapHandle GetPixMap() const { return mGWorld != nullptr ? GetGWorldPixMap(mGWorld) : nullptr; }

    // The pixel map's format; 0 (reported) without a world.
    OSType GetPixelFormat() const;
    // Every byte 0; false (reported) unless the world is k32ARGBPixelFormat.
    bool FillTransparentBlack();
    // Bounds and dimensions; throw CoreException "Nil exception pointer" without a world.
    Rect GetBounds() const;
    ::Dimensions Dimensions() const;
    // Width first, then height.
    QPoint GetSize() const;
    // A world exists, has the format, and the rectangle's width and height (any origin).
    bool IsSameSizeAndFormat(const Rect &rect, OSType pixelFormat) const;
    // The description of the world's pixel map, owned by `out`; with addRowBytes, a
    // 'rowb' extension with the world's row bytes.
    bool GetImageDescription(QImageDescription &out, bool addRowBytes) const;

    GWorldPtr mGWorld;
};
