// NSImage: a picture in points made of representations. Every representation here is a
// bitmap (NSBitmapImageRep); an image without one has nothing to draw.
//
// Images are shared (std::shared_ptr<NSImage>), as AppKit's are retained: a view, a mask and
// its controller may hold the same image. QtGui is kept out of this header (see
// NSBitmapImageRep.h).
#pragma once

#include <AppKit/NSBitmapImageRep.h>
#include <Foundation/NSGeometry.h>

#include <QMetaType>

#include <memory>
#include <vector>

class NSImage {
public:
    NSImage() = default;
    explicit NSImage(NSSize size) : mSize(size), mSizeSet(true) {}

    // An image of the QImage's pixels (copied), its size in points the pixel size. Null for a
    // null QImage.
    static std::shared_ptr<NSImage> imageWithQImage(const QImage &image);

    const std::vector<std::shared_ptr<NSBitmapImageRep>> &representations() const { return mRepresentations; }
    // Null is ignored.
    void addRepresentation(std::shared_ptr<NSBitmapImageRep> representation);
    void removeRepresentation(const NSBitmapImageRep *representation);

    // The size given (constructor or setSize), else the first representation's, else (0, 0).
    NSSize size() const;
    void setSize(NSSize size) {
        mSize = size;
        mSizeSet = true;
    }

private:
    std::vector<std::shared_ptr<NSBitmapImageRep>> mRepresentations;
    NSSize mSize{0, 0};
    bool mSizeSet = false;
};

Q_DECLARE_METATYPE(std::shared_ptr<NSImage>)
