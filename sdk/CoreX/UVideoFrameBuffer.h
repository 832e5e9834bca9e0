// Video frame buffers: the format of a frame, the frame's memory, the frame lock, owned and
// double-buffered memory, and the routines that copy, flip, swizzle and resample frames.
//
// Data holds a Format and a pointer to the frame's bytes (not owned). Base adds a recursive
// frame mutex; its members that make a frame of a size, a surface or a format belong to the
// buffers derived from it and do nothing here.
//
// Every routine that reads or writes pixels first checks the frame it is given
// (HasValidFrameData): a supported pixel format, a width and height above 0, row bytes that
// hold a whole row, and memory that holds every row. A frame that fails is refused (false or
// null) with one line under the log name "libUVideoFrameBuffer"; nothing is read or written.
#pragma once

#include <CoreFoundation/MacTypes.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreX/CoreThreadMutex.h>

#include <cstddef>
#include <string>
#include <vector>

typedef struct __IOSurface *IOSurfaceRef;

namespace UVideoFrameBuffer {

typedef OSType tag_pixel_format_t;

// Pixel format codes of frames (four-character codes; the bytes of a pixel in memory order).
enum : OSType {
    kPixelFormat_None = MakeFourCharCode("none"),
    kPixelFormat_ARGB = MakeFourCharCode("ARGB"),
    kPixelFormat_BGRA = MakeFourCharCode("BGRA"),
    kPixelFormat_RGBA = MakeFourCharCode("RGBA"),
    kPixelFormat_ABGR = MakeFourCharCode("ABGR"),
    kPixelFormat_2VUY = MakeFourCharCode("2VUY"),  // 4:2:2 counted in pixel pairs (4 bytes each)
    kPixelFormat_2vuy = MakeFourCharCode("2vuy"),  // 4:2:2 counted in pixels (2 bytes each)
    kPixelFormat_8888 = MakeFourCharCode("8888"),
    kPixelFormat_raw = MakeFourCharCode("raw "),
    kPixelFormat_DATA = MakeFourCharCode("DATA"),
};

struct Format {
    Format() { Empty(); }
    // A row-bytes value of 0 becomes the canonical row bytes when width, height and a
    // format other than 'none' are given.
    Format(SInt32 width, SInt32 height, tag_pixel_format_t pixelFormat, SInt32 rowBytes = 0);

    // Width, height and row bytes 0, pixel format 'none'.
    void Empty();
    void SetFrameBufferFormatNone() { Empty(); }
    void SetFrameBufferFormat(const Format &other) { *this = other; }

    // Bytes of one pixel: 4 for '2VUY', '8888', 'ARGB', 'BGRA', 'raw '; 2 for '2vuy'; 1 for
    // 'DATA'; 0 for 'none' and every other code.
    static SInt32 PixelSizeBytesFromPixelFormat(tag_pixel_format_t pixelFormat);
    // width x bytes per pixel; 0 for a width of 0 or less or an unknown format.
    static SInt32 GetCanonicalPixelFormatRowBytes(tag_pixel_format_t pixelFormat, SInt32 width);

    // Width and height above 0 and a format with a pixel size.
    bool HasValidFormat() const;
    // HasValidFormat, row bytes that hold a canonical row, and height x row bytes that fits.
    bool HasValidFrameLayout() const;
    // height x row bytes (0 when the layout is not valid).
    SInt32 FrameSizeBytes() const;
    // round(width / height x 1000) equal for both (0 for a height of 0).
    bool HasSameFrameAspectRatio(const Format &other) const;

    // "'abcd' (61626364)", a text of its own for each call (callers on any thread).
    static std::string stringFromPixelFormat(tag_pixel_format_t pixelFormat);
    void DebugDump(const char *prefix) const;

    SInt32 mPixelWidth;
    SInt32 mPixelHeight;
    OSType mPixelFormat;
    SInt32 mPixelRowBytes;
};

class Data {
public:
    Data();
    virtual ~Data();
    Data(const Data &) = delete;
    Data &operator=(const Data &) = delete;

    // Takes the format and the bytes (not owned); true when there are bytes.
    virtual bool ConstructData(const Format &format, void *data, SInt32 dataSizeBytes);
    // No bytes, empty format.
    void DestructData();

    // No bytes or a size of 0.
    bool IsEmpty() const { return mFrameBufferData == nullptr || mFrameBufferDataSizeBytes <= 0; }
    // A valid layout (Format::HasValidFrameLayout) and bytes for all of it.
    bool HasValidFrameData() const;

    // Row y (top-down), or null outside the frame or for a frame that is not valid.
    UInt8 *GetPixelScanline(SInt32 y) const;
    // Row height - 1 - y (bottom-up).
    UInt8 *CGGetPixelScanline(SInt32 y) const;
    // Row y plus x x (row bytes / width); null outside the frame.
    UInt8 *GetPixelAtPoint(SInt32 x, SInt32 y) const;
    // Fills the bytes with `value`; false for an empty frame.
    bool ErasePixelDataWithValue(UInt8 value);

    // The whole frame when width / height is `ratio`; else the centred full-height
    // rectangle of width int(ratio x height).
    CGRect GetFrameBufferRectWithAspectRatio(double ratio) const;
    // A view of the rectangle of `source` (same format and row bytes); false when the source
    // is not valid, the rectangle is empty or not inside it.
    bool ConstructWithBufferRegion(const Data &source, CGRect rect);
    bool ConstructWithBufferRegionHavingFrameAspectRatio(const Data &source, double ratio);

    void DebugDump(const char *prefix, bool withFormat) const;

    Format mFrameBufferFormat;
    void *mFrameBufferData;
    SInt32 mFrameBufferDataSizeBytes;
};

class Base : public Data {
public:
    Base();
    ~Base() override;

    // Lock or unlock the frame mutex; nothing when it could not be created.
    void LockFrameBuffer();
    void UnlockFrameBuffer();
    // True only when the frame mutex exists and this thread now holds it.
    bool TryLockFrameBuffer();

    // Frames of a size, a surface or a format are made by derived buffers: false here.
    virtual bool Construct(CGSize size);
    virtual bool Construct(IOSurfaceRef surface);
    virtual bool Construct(const Format &format);
    void Destruct() {}

    CoreThreadMutex mFrameBufferMutex;
    bool mFrameBufferMutexCreated;
};

// A frame in memory of its own (malloc / free).
class Memory : public Base {
public:
    Memory() = default;
    ~Memory() override;
    using Base::Construct;

    // Frees the old bytes and allocates height x row bytes for a valid format.
    bool Construct(const Format &format) override;
    // The same with at least `minimumDataSize` bytes.
    bool ConstructWithFormatAndMinimumDataSize(const Format &format, SInt32 minimumDataSize);
    // Frees the bytes and empties the frame.
    void FreeData();
};

// Two frames of one format; the double buffer's own frame is a view of the current one.
template <class MemoryType>
class Double_T : public Data {
public:
    Double_T() : mBuffers(2), mCurrentBuffer(0) {}
    ~Double_T() override { DestructData(); }

    // Allocates both buffers and makes buffer 0 current.
    virtual bool Construct(const Format &format) {
        DestructData();
        mCurrentBuffer = 0;
        if (!mBuffers[0].Construct(format) || !mBuffers[1].Construct(format)) return false;
        return SetCurrentBuffer(0);
    }
    // Buffer 0 or 1 becomes current; false for another number or an unmade buffer.
    bool SetCurrentBuffer(int buffer) {
        if (buffer != 0 && buffer != 1) return false;
        mCurrentBuffer = buffer;
        MemoryType &memory = mBuffers[std::size_t(buffer)];
        return ConstructData(memory.mFrameBufferFormat, memory.mFrameBufferData, memory.mFrameBufferDataSizeBytes);
    }
    MemoryType &CurrentBuffer() { return mBuffers[std::size_t(mCurrentBuffer)]; }
    // Unlocks the buffer whose bytes are `data`; false when neither is.
    bool UnlockFrameBufferWithPixelDataPtr(const void *data) {
        for (MemoryType &memory : mBuffers) {
            if (data != nullptr && memory.mFrameBufferData == data) {
                memory.UnlockFrameBuffer();
                return true;
            }
        }
        return false;
    }

    std::vector<MemoryType> mBuffers;
    int mCurrentBuffer;
};

// The vImage-style description of a frame: '2vuy' counts one four-byte pixel pair as one
// pixel, so every frame is described in four-byte pixels (or bytes for 'DATA').
struct ImageBuffer {
    explicit ImageBuffer(const Data &frame);
    void *data;
    std::size_t height;
    std::size_t width;
    std::size_t rowBytes;
};

// ---- Copy routines: the destination first ------------------------------------------------

// Same width, height and row bytes.
bool XXXX_FrameHasCorrectFormatForCopying(const Data &dst, const Data &src);
// The same and the same pixel format.
bool BGRA_FrameHasCorrectFormatForCopying(const Data &dst, const Data &src);
// Source 'BGRA' and both with the same bytes per pixel (row bytes / width).
bool BGRA_FrameHasCorrectFormatForCopyingOrResizing(const Data &src, const Data &dst);

// Copies the destination's size in bytes when the source is at least as large.
bool XXXX_CopySameBufferSizeBytes_XXXX(Data &dst, const Data &src);
// The byte copy when width, height and row bytes are equal.
bool XXXX_ExactCopySameSizeTo_XXXX(Data &dst, const Data &src);
// An exact copy for equal formats, else XXXX_BilinearResample_XXXX_vImage.
bool XXXX_CopyOrBilinearResample_XXXX(Data &dst, Memory &scratch, const Data &src);
// Scales the source into the destination (bilinear, four-byte pixels; '2vuy' as pixel
// pairs). Both need the same pixel size and four-byte pixels.
bool XXXX_BilinearResample_XXXX_vImage(Data &dst, Memory &scratch, const Data &src);
// Copies the smaller height and the smaller canonical row of the two, row by row.
bool XXXX_CopyMinimumPixelsRegion_XXXX(Data &dst, const Data &src);

// Rows bottom-up and the bytes of each pixel reversed (B G R A -> A R G B), four pixels
// at a time: the last width % 4 pixels of each row are left unwritten.
bool BGRA_InvertedCopySwizzleSameSizeTo_ARGB_Scalar(Data &dst, const Data &src);
// The same for every pixel, one row at a time.
bool BGRA_InvertedCopySwizzleSameSizeTo_ARGB_vImage(Data &dst, const Data &src);
// Byte reversal of each pixel without flipping.
bool BGRA_CopySwizzleSameSizeTo_ARGB_vImage(Data &dst, const Data &src);
// Flipped and swizzled into `sourceMemory` at the source's size, then scaled into the
// destination.
bool BGRA_InvertedResizeSwizzleTo_ARGB_vImage(Data &dst, Memory &scratch, const Data &src, Memory &sourceMemory);
// A 'BGRA' source of the destination's pixel size: the flipped swizzle (same format) or the
// flipped resize swizzle; any other source: an exact copy, else false.
bool BGRA_CopyOrResizeFrameSurface(Data &dst, Memory &scratch, const Data &src, Memory &sourceMemory);

}  // namespace UVideoFrameBuffer

bool import_UVideoFrameBuffer();
