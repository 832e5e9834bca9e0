// The pixels of one 4:2:2 frame, and the conversions that fill a '2vuy' frame from ARGB
// pictures (Quartz bitmaps, QuickDraw worlds), from other 4:2:2 frames (plainly, through a
// luma table, with luma equalisation), from two frames mixed by a mask, and from two frames
// side by side at half size.
//
// A buffer owns its pixels after Allocate (malloc, freed by Free or the destructor) or
// aliases memory owned elsewhere (the description constructor and the copy constructor);
// an alias never frees. Operations check the frames first and do nothing (answering false)
// when a frame is not usable (see HasPixelRows), when sizes or formats do not match, and
// when the frame written is not '2vuy' (the copy between frames of one format aside).
// Sources may be '2vuy' or 'yuvs'.
//
// ARGB to 4:2:2 (ConvertARGBRowTo2vuy), per pair of pixels (bytes A R G B each), with
// Kr 0.2125, Kg 0.7154, Kb 0.0721 (BT.709, the frame's default matrix; a frame whose _Matrix
// is kQTMatrix_ITU_R_601_4 takes Kr 0.299, Kg 0.587, Kb 0.114 and the scales 0.5643341 and
// 0.7132668 instead):
//   Y  = Kr R + Kg G + Kb B                                  (single precision)
//   Cb = (B - Y) x 0.5388511 x 0.875 + 128, Cr = (R - Y) x 0.6349207 x 0.875 + 128
//   Y' = Y x 219 / 256 + 16
// Y, the products with the single-precision constants and Y x 219 / 256 + 16 are single
// precision; the factor 0.875, the offset 128 and the rounding are double. Each value is
// rounded by adding 0.49999999 and truncating; the pair becomes
// (Cb0 + Cb1) >> 1, Y'0, (Cr0 + Cr1) >> 1, Y'1, always within 16..240. Alpha is ignored.
// White gives 128 234 128 234, black 128 16 128 16.
#pragma once

#include <cstdint>

#include <CoreG/Frames422/CLUT_BASE.h>
#include <CoreG/Frames422/Q_2vuy_format.h>

class QGWorld;
namespace CoreGraphics {
class BitmapContext;
class MaskContext;
}  // namespace CoreGraphics

class Q_2vuy_buffer : public Q_2vuy_format {
public:
    typedef T_HISTOGRAM<config_video_luma_u16_histogram> LumaHistogram;

    // No pixels, 0 x 0 '2vuy'.
    Q_2vuy_buffer() : _PixelData(nullptr), _PixelDataSize(0), _OwnsPixelData(false) {}
    // An alias of `byteCount` bytes at `pixelData` with the format of the description; when
    // the description is refused (ConstructFromImageDescription) there are no pixels.
    Q_2vuy_buffer(ImageDescriptionHandle hImageDescription, void *pixelData, UInt32 byteCount);
    // The six fields: the copy aliases the same pixels.
    Q_2vuy_buffer(const Q_2vuy_buffer &other);
    Q_2vuy_buffer &operator=(const Q_2vuy_buffer &) = delete;
    // Frees owned pixels.
    ~Q_2vuy_buffer();

    // Pixels, size, width, height and row bytes all non-zero.
    bool IsAllocated() const {
        return _PixelData != nullptr && _PixelDataSize != 0 && _Width != 0 && _Height != 0 && _RowBytes != 0;
    }
    // Allocated, a positive width and height, row bytes of at least width x 2, and
    // height x row bytes within the pixels: every row can be read and written.
    bool HasPixelRows() const;

    // False when the buffer already has pixels, or when the format has no rows (width or
    // height below 1, row bytes below width x 2). Otherwise takes the format and allocates
    // height x row bytes (false, with no pixels, when that fails), filled with Y 0, Cb 128,
    // Cr 128.
    bool Allocate(const Q_2vuy_format &format);
    // False when there are no pixels. Otherwise frees them (when owned) and resets the
    // record to 0 x 0 '2vuy' without pixels.
    bool Free();

    // Every pair of every row becomes Cb Y Cr Y (Y Cb Y Cr in a 'yuvs' frame). False when
    // the frame has no rows.
    bool FillYUV(uint8_t y, uint8_t cb, uint8_t cr);

    // Disposes any world of `world`, then builds it over these pixels (which must outlive
    // it) with this frame's description. False for a frame without rows or not 4:2:2.
    bool ConstructGWorldAlias(QGWorld &world) const;

    // The same size: a frame of the same pixel format is copied row by row (width x 2
    // bytes a row); into a '2vuy' frame, a 'yuvs' source is copied with each byte pair
    // swapped.
    bool CopyFrom(const Q_2vuy_buffer &src);
    // The same size, a 4:2:2 source: Cb Y0 Cr Y1 with both lumas mapped through the table
    // (the low 8 bits of table[Y]).
    bool CopyFromWithLUT(const Q_2vuy_buffer &src, const uint16_t (&table)[256]);
    // As CopyFromWithLUT, each luma first equalised by `record`
    // (table[record.Equalised(Y)]); the record is then made the equalisation of the source's
    // lumas (when it had any), so one frame is mapped by the previous frame's histogram.
    bool CopyFromWithLUTAndHistogram(const Q_2vuy_buffer &src, const uint16_t (&table)[256], LumaHistogram &record);

    // From a constructed kBitmapType_ARGB32 bitmap. Frame row i takes bitmap memory row
    // i + (bitmap height - frame height): the rows are aligned at the bottom, rows outside
    // the bitmap are left as they are, and so are the pixels beyond the narrower of the
    // two widths. Converted with ConvertARGBRowTo2vuy, or blended in at opacity 1 by
    // BlendARGBRowInto2vuy when `blend` is set.
    bool CopyFromBitmapContext(const CoreGraphics::BitmapContext &bitmap, bool blend);
    // From a k32ARGBPixelFormat world of the frame's width and height, row i from row i.
    bool CopyFromGWorld(const QGWorld &world, bool blend);

    // Both 4:2:2 sources and the grey mask the frame's size: row by row,
    // BlendRowsByMask with the mask's row of the same index; strength limited to 0..1
    // (NaN 0).
    bool BlendFrames(const Q_2vuy_buffer &a, const Q_2vuy_buffer &b, const CoreGraphics::MaskContext &mask,
                     float strength);

    // Both 4:2:2 sources the frame's size, at least 2 rows: rows firstRow ..
    // firstRow + height / 2 - 1 (those inside the frame) get source a reduced 2:1 in their
    // left half and source b in their right half. Band row j takes source rows 2j and
    // 2j + 1; output pair q of a half takes source pairs 2q and 2q + 1, each of its bytes
    // (((p00 + p01) >> 1) + ((p10 + p11) >> 1)) >> 1 of the same byte of the four source
    // pairs (row first, pair second). A frame of an odd number of pairs keeps its last pair.
    bool ComposeSideBySide(const Q_2vuy_buffer &a, const Q_2vuy_buffer &b, long firstRow);

    // One row of `width` ARGB pixels into width / 2 '2vuy' pairs of the matrix (see above).
    static void ConvertARGBRowTo2vuy(const uint8_t *src, uint8_t *dst, int width,
                                     UInt16 matrix = kQTMatrix_ITU_R_709_2);
    // The same values blended into the pairs already there: with a0 = A0 / 255 x opacity,
    // a1 likewise and m = ((1 - a0) + (1 - a1)) / 2, Cb = trunc(Cb_old x m + Cb x (1 - m)),
    // Y0 = trunc(Y0_old x (1 - a0) + Y'0 x a0), Cr as Cb, Y1 with a1 (single precision).
    // The opacity is limited to 0..1 (NaN 0).
    static void BlendARGBRowInto2vuy(const uint8_t *src, uint8_t *dst, int width, float opacity,
                                     UInt16 matrix = kQTMatrix_ITU_R_709_2);
    // Two '2vuy' rows mixed by a row of mask bytes: per pixel w = min(1, 2 x (mask / 255 +
    // s) x s); Y = trunc(a_Y x (1 - w) + b_Y x w), and Cb, Cr the same with the mean w of
    // the pair (single precision). The strength s is limited to 0..1 (NaN 0).
    static void BlendRowsByMask(uint8_t *dst, const uint8_t *a, const uint8_t *b, int width, float strength,
                                const uint8_t *mask);

    uint8_t *_PixelData;
    UInt32 _PixelDataSize;

private:
    // One ARGB row into this frame's matrix: converted, or blended in at opacity 1.
    void ARGBRowInto2vuy(const uint8_t *src, uint8_t *dst, int width, bool blend) const;
    bool _OwnsPixelData;
};

bool import_Q_2vuy_buffer();
