// Frame-buffer memory and the frame operations on XFrameBuffer descriptors: row copy,
// field merge, bilinear and nearest scaling, field-wise scaling and border blanking.
//
// A descriptor only describes memory that somebody else owns. Every operation checks the
// descriptors it is given (a base address, a positive size, row bytes that hold a row) and
// answers false, touching nothing, for one it cannot address safely.
#pragma once

#include <cstddef>
#include <cstdint>

#include <CoreFoundation/MacTypes.h>

// One frame, or one field of an interlaced frame.
struct XFrameBuffer {
    int32_t width = 0;          // pixels
    int32_t height = 0;         // rows
    OSType pixelFormat = MakeFourCharCode("0000");
    uint32_t fields = 0;        // 1: one field of an interlaced frame
    uint8_t *baseAddr = nullptr;  // row 0
    int32_t rowBytes = 0;       // from one row to the next
    int32_t bytesPerPixel = 0;
};

// The malloc-owned pixel memory of a 32-bit frame (4 bytes per pixel, rows width x 4
// bytes apart). Not cleared.
class XFrameBufferMemory {
public:
    XFrameBufferMemory() = default;
    ~XFrameBufferMemory() { Free(); }
    XFrameBufferMemory(const XFrameBufferMemory &) = delete;
    XFrameBufferMemory &operator=(const XFrameBufferMemory &) = delete;

    // Frees any block, then allocates height x width x 4 bytes. False (reported, object
    // empty) for a size of 0, a negative size, a size too large to address, or no memory.
    bool SetFrameDimensions(long width, long height);
    // Frees the block and empties the object.
    void Free();

    uint8_t *m_base_malloc = nullptr;  // owned
    uint8_t *m_frame_start = nullptr;  // the frame inside the block
    long m_frame_stride = 0;           // row bytes

private:
    bool Construct(size_t frame_malloc_size, size_t frame_start_offset, long frame_stride_bytes);
};

// The options of XFrame_MergeFields: bit 8 of the first byte selects the filter mode.
struct XFrameMergeOptions {
    uint8_t flags = 0;
};
enum : uint8_t { kXFrameMergeOption_Filter = 8 };

// Border insets in pixels (left, right) and rows (top, bottom). Values outside the frame
// are limited to it; negative values count as 0.
struct XFrameInsets {
    SInt16 left = 0;
    SInt16 top = 0;
    SInt16 right = 0;
    SInt16 bottom = 0;
};

// Copies height rows of width x bytes-per-pixel bytes. The two frames must agree in pixel
// format, width, height, row bytes and bytes per pixel ("Source==Destination" reported).
bool XFrame_CopyBufferMemory(const XFrameBuffer &source, const XFrameBuffer &destination);
// Equal frames of an even height. Filter mode clear: each pair of rows (0,1), (2,3)...
// takes the truncated average of the two, in both rows. Set: each row r becomes
// (row r + (row above + row below) / 2) / 2, the neighbours limited to the frame. The
// source and destination may be the same memory.
bool XFrame_MergeFields(const XFrameBuffer &source, const XFrameBuffer &destination, const XFrameMergeOptions &options);
// Bilinear scaling of 4-byte pixels to the destination's size.
bool XFrame_ScaleBufferMemory(const XFrameBuffer &source, const XFrameBuffer &destination);
// Nearest-neighbour scaling: 4 bytes at each source pixel (source bytes per pixel apart)
// to destination pixels 4 bytes apart.
bool XFrame_ScaleBufferMemory32(const XFrameBuffer &source, const XFrameBuffer &destination);
// The frame's two fields: half its height (truncated), twice its row bytes, fields 1; the
// second field starts one row further.
bool XFrame_GetFields(const XFrameBuffer &frame, XFrameBuffer &firstField, XFrameBuffer &secondField);
// Scales the first field into the first field and the second into the second.
bool XFrame_ScaleFields(const XFrameBuffer &source, const XFrameBuffer &destination);
// The whole frame when progressive, else field by field.
bool XFrame_Scale(const XFrameBuffer &source, const XFrameBuffer &destination, bool progressive);
// Blackens the border bands and fades the picture next to them (to a third in the row or
// column touching a band, to two thirds in the next). Black is zero, except for 'RYUV' and
// 'VYUV', whose groups of 4 bytes are 255, 0, 128, 128.
bool XFrame_BlankBorder(const XFrameBuffer &frame, const XFrameInsets &insets);
// The frame's size and fields to the debug log.
void XFrame_Trace(const XFrameBuffer &frame, const char *label);
