// QTImageFile: a still image file (PNG, JPEG, TIFF: whatever a graphics importer reads)
// drawn, scaled to a rectangle, into an offscreen world.
//
// Loading reads the file's description (size and pixel layout, and the importer's subtype)
// and then its whole content into memory. Drawing opens a fresh importer over that memory,
// draws once and, when the draw succeeds, releases the importer and the data: a second draw
// needs a new load. A failed draw releases the importer and keeps the data.
#pragma once

#include <Carbon/Files.h>
#include <QuickTime/QuickTimeComponents.h>

class QTImageFile {
public:
    QTImageFile() { Empty(); }
    ~QTImageFile() { UnloadImage(); }
    QTImageFile(const QTImageFile &) = delete;
    QTImageFile &operator=(const QTImageFile &) = delete;

    // Forgets everything without releasing it: type 'none', sizes 0, no importer, no data.
    void Empty();

    // Loads the file at a POSIX path. A path that names nothing fails (reported) before the
    // object is touched.
    bool LoadImageUnixPath(const char *inImageUnixPath);
    // Releases what is loaded, then reads the description and the data. On failure
    // (reported) the object is left empty.
    bool LoadImageFileRef(const FSRef &inFileRef);
    // The size, pixel layout and importer subtype from a graphics importer for the file.
    bool LoadImageDescription(const FSRef &inFileRef);
    // The file's whole data fork into a handle locked high. A failure to open, size or
    // allocate, a read that fails or comes up short, and an empty fork or one of 2 GiB or
    // more are reported and answer false with no data held.
    bool LoadImageData(const FSRef &inFileRef);
    bool IsImageDataLoaded() const { return mImageData != nullptr && mImageDataSize != 0; }

    // A graphics importer of this file's subtype over the data; false (closed again) when
    // it does not take the data.
    bool OpenImporterForData(Handle inImageData);
    // The open importer draws into the world; with inScale, scaled from the picture's size
    // to width x height. Flipping is not offered (inFlipVertical reported, false).
    bool SetImportGWorldWithScaleFlipVertical(GWorldPtr inGWorld, float inWidth, float inHeight, bool inScale,
                                              bool inFlipVertical);
    // Draws the loaded picture scaled into the rectangle of the world's bounds (see above).
    bool DrawIntoGWorldScaledToBounds(GWorldPtr inGWorld, const Rect &inBounds);

    // Closes an open importer, unlocks and disposes the data.
    void UnloadImage();

    OSType GetImageType() const { return mImageType; }
    UInt32 GetBitsPerComponent() const { return mBitsPerComponent; }
    UInt32 GetComponentsPerPixel() const { return mComponentsPerPixel; }
    SInt32 GetWidth() const { return mWidth; }
    SInt32 GetHeight() const { return mHeight; }

protected:
    void CloseImporter();

    OSType mImageType;             // the importer's component subtype; 'none' when empty
    UInt32 mBitsPerComponent;      // 8 or 16
    UInt32 mComponentsPerPixel;    // 2, 3 or 4
    SInt32 mWidth;
    SInt32 mHeight;
    ComponentInstance mImportRef;  // null unless an importer is open
    Handle mImageData;             // the file's content, null when not loaded
    UInt32 mImageDataSize;
};
