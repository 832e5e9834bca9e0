// NSImage: a picture in points made of representations. Every representation here is a
// bitmap (NSBitmapImageRep); an image without one has nothing to draw.
//
// Images are shared (std::shared_ptr<NSImage>), as AppKit's are retained: a view, a mask and
// its controller may hold the same image. QtGui is kept out of this header (see
// NSBitmapImageRep.h).
#pragma once

#include <AppKit/NSBitmapImageRep.h>
#include <Foundation/NSGeometry.h>

#include <QByteArray>
#include <QMetaType>
#include <QString>

#include <memory>
#include <vector>

// Named images: an image may carry a name; imageNamed answers the image registered under a
// name (either setName of a shared image registers it, process-wide, holding it), else a
// picture file of the main bundle's resources, loaded once and kept under its name.
class NSImage : public std::enable_shared_from_this<NSImage> {
public:
    NSImage() = default;
    explicit NSImage(NSSize size) : mSize(size), mSizeSet(true) {}

    // An image of the QImage's pixels (copied), its size in points the pixel size. Null for a
    // null QImage.
    static std::shared_ptr<NSImage> imageWithQImage(const QImage &image);

    // Pictures from outside data: any file format Qt's image readers know (PNG, JPEG, TIFF, ...)
    // as one bitmap, or a PDF document, whose first page is drawn once into a bitmap of one
    // pixel per point (its crop box, transparent where the page draws nothing). Null for
    // anything else, and for pictures too large to hold (a PDF page above kMaxPDFPixels a
    // side; Qt's readers refuse what would take more than their allocation limit).
    static constexpr int kMaxPDFPixels = 8192;
    static std::shared_ptr<NSImage> imageWithData(const QByteArray &data);
    // The file's bytes through imageWithData; null when it cannot be read.
    static std::shared_ptr<NSImage> imageWithContentsOfFile(const QString &path);

    // The application's image of that name: an image registered under it (setName), else
    // the main bundle's resource file of that name (the name as given, or with the extension
    // png, pdf, tiff, tif, jpg, jpeg when it has none), loaded once and kept under the name.
    // Null when there is none. Any thread.
    static std::shared_ptr<NSImage> imageNamed(const QString &name);
    // Registers the image under the name (a null image forgets the name). False for an empty
    // name.
    static bool setName(const QString &name, std::shared_ptr<NSImage> image);

    const std::vector<std::shared_ptr<NSBitmapImageRep>> &representations() const { return mRepresentations; }
    // Null is ignored.
    void addRepresentation(std::shared_ptr<NSBitmapImageRep> representation);
    void removeRepresentation(const NSBitmapImageRep *representation);

    // The size given (constructor or setSize), else the first representation's, else (0, 0).
    NSSize size() const;

    QString name() const { return mName; }
    // Names the image; a shared image is registered under the name (replacing the one
    // registered there) and the old name is let go. An empty name only lets the old one go.
    void setName(const QString &name);
    void setSize(NSSize size) {
        mSize = size;
        mSizeSet = true;
    }

private:
    std::vector<std::shared_ptr<NSBitmapImageRep>> mRepresentations;
    NSSize mSize{0, 0};
    bool mSizeSet = false;
    QString mName;
};

Q_DECLARE_METATYPE(std::shared_ptr<NSImage>)
