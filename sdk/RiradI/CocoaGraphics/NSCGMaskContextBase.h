// NSCGMaskContextBase: one grey mask (CoreGraphics::MaskContext, 0 transparent to 255
// opaque) that the Cocoa side holds, fills from a bitmap, an image or a raw pixel buffer, and
// hands out as an image. NSCGMaskContextFromImageView fills it from an image view.
//
// Filling: the mask is made opaque (255 everywhere), then the picture is drawn over it with
// its alpha in the mask's grey context, which keeps the brightness of the colour. So an
// opaque white picture gives 255, opaque black 0, and a transparent one leaves 255. The
// picture's layout is honoured: grey 8; RGB in 24 bits or in 32 with the skipped byte first
// or last; RGBA with alpha first or last, premultiplied or not (NSBitmapFormat). A picture of
// another size is first drawn scaled (smoothly, the aspect ratio not kept) to the mask's size.
//
// The mask is held through a pointer so that this header stays free of the QuickTime library
// (whose QPoint would clash with Qt's in files that include widgets); include
// <CoreG/Masks/namespace_CoreGraphics_MaskContext.h> to work on mask().
//
// Failed checks are reported through the debug log under the source
// "/Code/sdk/RiradI/CocoaGraphics/NSCGMaskContextBase", with the method's full name.
#pragma once

#include <AppKit/NSBitmapImageRep.h>
#include <Foundation/NSGeometry.h>
#include <Foundation/NSObject.h>

#include <CoreGraphics/CGImage.h>

#include <memory>

namespace CoreGraphics {
class MaskContext;
}

// What holders of a mask source use of it.
class protocol_NSCGMaskContextSource {
public:
    virtual ~protocol_NSCGMaskContextSource() = default;
    virtual CoreGraphics::MaskContext &mask() = 0;
    virtual bool maskUpdate() = 0;
    virtual bool isDirty() const = 0;
    virtual void setDirty(bool dirty) = 0;
};

class NSCGMaskContextBase : public NSObject, public protocol_NSCGMaskContextSource {
    Q_OBJECT

public:
    // A mask of 640 x 480, opaque.
    explicit NSCGMaskContextBase(QObject *parent = nullptr);
    // A mask of the size, opaque. A size that cannot be made leaves the mask unconstructed:
    // updates then fail (reported).
    NSCGMaskContextBase(unsigned maskWidth, unsigned maskHeight, QObject *parent = nullptr);
    ~NSCGMaskContextBase() override;

    CoreGraphics::MaskContext &mask() override { return *_maskContext; }
    // (width, height) of the mask.
    NSSize sizePixels() const;

    // Set by users of the mask to say that it must be read again; false at creation.
    bool isDirty() const override { return _maskDirty; }
    void setDirty(bool dirty) override { _maskDirty = dirty; }

    // A grey image over the mask's bytes (it shows later changes), owned by the caller. Null
    // (reported, " code : maskImageRef") when it cannot be made.
    CGImageRef copyMaskImageRef();

    // Reads the mask's source again; here maskUpdateDefault.
    bool maskUpdate() override;
    // An empty, fully clear picture of the mask's size taken as the mask: all 255.
    bool maskUpdateDefault();

    // A bitmap of the mask's pixel size goes to maskUpdateFromBitmapDataSameSize, any other to
    // maskUpdateFromBitmapDataResize. Null is reported.
    bool maskUpdateFromBitmapData(const NSBitmapImageRep *bitmap);
    // Draws the bitmap scaled to the mask's size into an offscreen picture, then takes that.
    bool maskUpdateFromBitmapDataResize(const NSBitmapImageRep &bitmap);
    // The bitmap's pixels (which must be the mask's size) through maskUpdateFromPixelData.
    // Null and floating-point bitmaps are refused (reported).
    bool maskUpdateFromBitmapDataSameSize(const NSBitmapImageRep *bitmap);

    // A buffer of the mask's size: rowBytes x mask height bytes, 8-bit samples in the layout
    // the other arguments give (see the top of this file). Null data or zero row bytes are
    // refused (reported).
    bool maskUpdateFromPixelData(const void *data, long rowBytes, long bitsPerPixel, long samplesPerPixel,
                                 bool hasAlpha, NSBitmapFormat bitmapFormat);
    // The same, drawn: an image over the buffer goes to maskDrawCGImage. False (reported)
    // when no image can describe the layout.
    bool maskDrawFromPixelData(const void *data, long rowBytes, long bitsPerPixel, long samplesPerPixel,
                               bool hasAlpha, NSBitmapFormat bitmapFormat);
    // Makes the mask opaque and draws the image over the whole of it. False without a mask or
    // an image.
    bool maskDrawCGImage(CGImageRef image);

private:
    std::unique_ptr<CoreGraphics::MaskContext> _maskContext;
    bool _maskDirty = false;
};

bool import_NSCGMaskContextBase();
