// The geometry of an 8-bit 4:2:2 Y'CbCr frame.
//
// Frames are '2vuy' (k2vuyPixelFormat: Cb Y0 Cr Y1 for each pair of pixels); 'yuvs'
// (kYUVSPixelFormat: Y0 Cb Y1 Cr) is accepted as a source. Rows are _RowBytes apart, row 0
// first; a row holds _Width / 2 pairs (widths are even). _Matrix is the frame's Y'CbCr
// matrix, kQTMatrix_ITU_R_709_2 (the library's own) or kQTMatrix_ITU_R_601_4, carried by
// descriptions as their 'colr' 'nclc' extension (a description without one is BT.709).
#pragma once

#include <QuickTime/ImageCompression.h>

class QImageDescription;

struct Q_2vuy_format {
    // 0 x 0, row bytes 0, '2vuy'.
    Q_2vuy_format() { Clear(); }

    void Clear();
    // Copies the five fields; answers IsValid().
    bool SetFormat(const Q_2vuy_format &format);
    // Width, height and row bytes all non-zero.
    bool IsValid() const { return _Width != 0 && _Height != 0 && _RowBytes != 0; }
    // '2vuy' or 'yuvs'.
    static bool Is422(OSType pixelFormat) { return pixelFormat == k2vuyPixelFormat || pixelFormat == kYUVSPixelFormat; }
    bool Is422() const { return Is422(_PixelFormat); }
    bool SameSize(const Q_2vuy_format &other) const { return _Width == other._Width && _Height == other._Height; }

    // Clears the format, then takes the codec type, width, height and matrix of a '2vuy'
    // or 'yuvs' description; row bytes are width x 2, or the description's 'rowb'
    // extension when it has one. False (the format stays cleared) for another codec type,
    // a handle that is null or smaller than the record, a malformed description, a width
    // or height below 1, and a 'rowb' smaller than width x 2.
    bool ConstructFromImageDescription(ImageDescriptionHandle hImageDescription);

    // A new version-2 description of this format (codec type the pixel format, 72 dpi,
    // depth 24, dataSize width x height x 2) with the extensions 'fiel' (1 field), 'clap'
    // (the whole frame), 'pasp' (1:1), 'colr' (nclc: the matrix, with primaries and
    // transfer function BT.709, or SMPTE C for a BT.601 frame), and 'rowb' when the row
    // bytes are not
    // width x 2. `out` owns it. False (reported) when there is no memory for it; an
    // extension that cannot be set is reported and the description is handed over anyway.
    bool GetImageDescription(QImageDescription &out) const;

    SInt16 _Width;
    SInt16 _Height;
    UInt32 _RowBytes;
    OSType _PixelFormat;
    UInt16 _Matrix;
};

bool import_Q_2vuy_format();
