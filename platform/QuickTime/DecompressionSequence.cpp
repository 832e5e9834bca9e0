// Decompression sequences: each frame is turned into a picture the pixel-transfer code
// takes (raw pixels as they are, JPEG through the layer's JPEG decoder into buffers the
// sequence keeps) and drawn into the sequence's world.
#include <QuickTime/ImageCompression.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "ImageDecoders.h"
#include "QTInternal.h"
#include "YCbCr.h"

namespace lumora::qt {

bool MappedRect(const MatrixRecord &m, int width, int height, Rect &rect) {
    const auto &a = m.matrix;
    if (a[0][1] != 0 || a[1][0] != 0 || a[0][2] != 0 || a[1][2] != 0 || a[2][2] != 0x40000000 || a[0][0] <= 0 ||
        a[1][1] <= 0)
        return false;
    const double left = Fix2X(a[2][0]);
    const double top = Fix2X(a[2][1]);
    const double right = left + width * Fix2X(a[0][0]);
    const double bottom = top + height * Fix2X(a[1][1]);
    for (double v : {left, top, right, bottom})
        if (!(v >= -32768.0 && v <= 32767.0)) return false;
    rect =
        Rect{short(std::lround(top)), short(std::lround(left)), short(std::lround(bottom)), short(std::lround(right))};
    return true;
}

namespace {

struct Sequence {
    CodecType type = 0;
    int width = 0;
    int height = 0;
    int64_t rowBytes = 0;                  // raw frames only
    const PixelFormatInfo *raw = nullptr;  // null for JPEG
    UInt16 matrix = kQTMatrix_ITU_R_709_2; // of raw 4:2:2 frames
    GWorldPtr world = nullptr;
    Rect dest{};
    std::mutex mutex;  // one frame at a time per sequence
    void *scaler = nullptr;
    // Kept from frame to frame: the decoded picture, and one Y'CbCr row of a JPEG.
    std::vector<uint8_t> picture;
    std::vector<uint8_t> row;

    ~Sequence() { FreeScaler(&scaler); }
};

struct Sequences {
    std::mutex mutex;
    std::unordered_map<ImageSequence, std::shared_ptr<Sequence>> live;
    ImageSequence next = 1;
};

Sequences &AllSequences() {
    static Sequences *sequences = new Sequences;  // never destroyed: usable during exit
    return *sequences;
}

std::shared_ptr<Sequence> FindSequence(ImageSequence id) {
    Sequences &all = AllSequences();
    std::lock_guard<std::mutex> lock(all.mutex);
    auto it = all.live.find(id);
    return it != all.live.end() ? it->second : nullptr;
}

bool IsKnownCodecChoice(DecompressorComponent codec) {
    return codec == anyCodec || codec == bestSpeedCodec || codec == bestFidelityCodec || codec == bestCompressionCodec;
}

// The checked record of a description (the record alone: extensions are read separately).
OSErr ReadDescription(ImageDescriptionHandle desc, ImageDescription &record) {
    if (desc == nullptr || *desc == nullptr) return paramErr;
    long extensions = 0;
    const OSErr err = CountImageDescriptionExtensionType(desc, 0, &extensions);  // checks idSize and atoms
    if (err != noErr) return err;
    record = **desc;
    return noErr;
}

// The libjpeg layout (lumora_jpeg_decode_into) of a world format decoded 1:1, or -1.
int JpegLayoutOf(OSType format) {
    switch (format) {
    case k32ARGBPixelFormat: return 1;
    case k32BGRAPixelFormat: return 2;
    case k24RGBPixelFormat: return 3;
    case k2vuyPixelFormat:
    case kYUVSPixelFormat: return 4;
    default: return -1;
    }
}

OSErr JpegStatus(int status) { return status == 2 ? OSErr(memFullErr) : OSErr(codecBadDataErr); }

bool Reserve(std::vector<uint8_t> &buffer, size_t size) {
    try {
        if (buffer.size() < size) buffer.resize(size);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

struct PairRows {
    uint8_t *picture;
    int64_t stride;
    int width;
    bool lumaFirst;
    YCbCrTransform transform;
};

void JpegRowToPairs(void *context, int y, const unsigned char *row) {
    const auto *rows = static_cast<const PairRows *>(context);
    PixelsToPairs(row, rows->picture + int64_t(y) * rows->stride, rows->width, rows->lumaFirst, rows->transform);
}

// A JPEG frame. Drawn 1:1 into a world of a layout libjpeg writes (ARGB, BGRA, RGB) or into
// a 4:2:2 world, the picture is decoded once into the sequence's picture in the world's own
// layout (for 4:2:2 as Y'CbCr, converted once from JFIF's BT.601 full range to BT.709
// video range) and then copied in. Otherwise it is decoded to RGBA and scaled in. A frame
// that does not decode leaves the world as it was.
OSErr DrawJpeg(Sequence &sequence, const uint8_t *bytes, size_t size) {
    WorldGeometry geometry;
    if (!GetLiveWorld(sequence.world, geometry)) return paramErr;
    const Rect &dest = sequence.dest;
    const int width = int(dest.right) - dest.left;
    const int height = int(dest.bottom) - dest.top;
    const PixelFormatInfo &info = *geometry.format;
    const int layout = JpegLayoutOf(info.format);
    if (layout >= 0 && width == sequence.width && height == sequence.height) {
        const int64_t stride = MinimumRowBytes(info, width);
        if (stride <= 0 || !Reserve(sequence.picture, size_t(stride * height))) return memFullErr;
        int status;
        if (layout == 4) {
            if (!Reserve(sequence.row, size_t(width) * 3)) return memFullErr;
            PairRows rows{sequence.picture.data(), stride, width, info.format == kYUVSPixelFormat,
                          MakeYCbCrTransform(kQTMatrix_ITU_R_601_4, true, kQTMatrix_ITU_R_709_2)};
            status = lumora_jpeg_decode_into(bytes, size, layout, width, height, sequence.row.data(), 0,
                                             JpegRowToPairs, &rows);
        } else {
            status = lumora_jpeg_decode_into(bytes, size, layout, width, height, sequence.picture.data(), long(stride),
                                             nullptr, nullptr);
        }
        if (status == 0) {
            CopyIntoWorld(geometry, sequence.picture.data(), stride, dest);
            return noErr;
        }
        if (status != 3) return JpegStatus(status);
        // Another size than the description's, or a picture coded otherwise: scaled below.
    }

    ImageInfo header;
    if (const OSErr err = ReadImageInfo(ImageKind::JPEG, bytes, size, header); err != noErr) return err;
    // Rows laid out as libswscale needs them (aligned, padded after the last row).
    const int64_t stride = int64_t(ImageStride(header.width));
    if (!Reserve(sequence.picture, size_t(stride * header.height) + kImageTailPadding)) return memFullErr;
    const int status = lumora_jpeg_decode_into(bytes, size, 0, header.width, header.height, sequence.picture.data(),
                                               long(stride), nullptr, nullptr);
    if (status != 0) return JpegStatus(status == 3 ? 1 : status);
    const uint8_t *planes[4] = {sequence.picture.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {int(stride), 0, 0, 0};
    const PictureSource source{planes, strides, AV_PIX_FMT_RGBA, header.width, header.height, true, false};
    return DrawPictureIntoWorld(&sequence.scaler, source, sequence.world, dest);
}

}  // namespace

}  // namespace lumora::qt

using namespace lumora::qt;

void RectMatrix(MatrixRecord *matrix, const Rect *srcRect, const Rect *dstRect) {
    if (matrix == nullptr) return;
    SetIdentityMatrix(matrix);
    if (srcRect == nullptr || dstRect == nullptr || EmptyRect(srcRect)) return;
    const double sx = double(int(dstRect->right) - dstRect->left) / (int(srcRect->right) - srcRect->left);
    const double sy = double(int(dstRect->bottom) - dstRect->top) / (int(srcRect->bottom) - srcRect->top);
    matrix->matrix[0][0] = X2Fix(sx);
    matrix->matrix[1][1] = X2Fix(sy);
    matrix->matrix[2][0] = X2Fix(dstRect->left - srcRect->left * sx);
    matrix->matrix[2][1] = X2Fix(dstRect->top - srcRect->top * sy);
}

GDHandle GetMainDevice(void) { return nullptr; }

OSErr DecompressSequenceBegin(ImageSequence *seqID, ImageDescriptionHandle desc, CGrafPtr port, GDHandle,
                              const Rect *srcRect, MatrixRecordPtr matrix, short mode, RgnHandle mask, CodecFlags,
                              CodecQ, DecompressorComponent codec) {
    if (seqID == nullptr) return paramErr;
    *seqID = 0;
    ImageDescription record{};
    OSErr err = ReadDescription(desc, record);
    if (err != noErr) return err;
    if (!IsKnownCodecChoice(codec)) return noCodecErr;
    auto sequence = std::make_shared<Sequence>();
    sequence->type = record.cType;
    sequence->width = record.width;
    sequence->height = record.height;
    if (record.cType != kJPEGCodecType) {
        sequence->raw = FindPixelFormat(record.cType);
        if (sequence->raw == nullptr) return noCodecErr;
    }
    if (record.width <= 0 || record.height <= 0) return paramErr;
    if (sequence->raw != nullptr) {
        const int64_t minimum = MinimumRowBytes(*sequence->raw, record.width);
        SInt32 rowBytes = 0;
        err = ICMImageDescriptionGetProperty(desc, kQTPropertyClass_ImageDescription,
                                             kICMImageDescriptionPropertyID_RowBytes, sizeof rowBytes, &rowBytes,
                                             nullptr);
        if (err == codecExtensionNotFoundErr)
            rowBytes = SInt32(minimum);
        else if (err != noErr)
            return err;
        if (rowBytes < minimum) return paramErr;
        sequence->rowBytes = rowBytes;
        sequence->matrix = YCbCrMatrixOf(desc);
    }
    if (srcRect != nullptr) {
        const Rect whole{0, 0, record.height, record.width};
        if (!EqualRect(srcRect, &whole)) return paramErr;
    }
    if (mode != srcCopy && mode != ditherCopy) return paramErr;
    if (mask != nullptr) return paramErr;
    if (!IsLiveWorld(port)) return paramErr;
    MatrixRecord identity;
    SetIdentityMatrix(&identity);
    if (!MappedRect(matrix != nullptr ? *matrix : identity, record.width, record.height, sequence->dest))
        return paramErr;
    sequence->world = port;

    Sequences &all = AllSequences();
    std::lock_guard<std::mutex> lock(all.mutex);
    ImageSequence id = all.next;
    while (id == 0 || all.live.count(id) != 0) id = id == INT32_MAX ? 1 : id + 1;
    all.next = id == INT32_MAX ? 1 : id + 1;
    all.live.emplace(id, std::move(sequence));
    *seqID = id;
    return noErr;
}

OSErr DecompressSequenceFrameS(ImageSequence seqID, Ptr data, long dataSize, CodecFlags, CodecFlags *outFlags,
                               ICMCompletionProcRecordPtr asyncCompletionProc) {
    if (outFlags != nullptr) *outFlags = 0;
    if (asyncCompletionProc != nullptr || data == nullptr || dataSize <= 0) return paramErr;
    std::shared_ptr<Sequence> sequence = FindSequence(seqID);
    if (!sequence) return paramErr;
    std::lock_guard<std::mutex> lock(sequence->mutex);
    const auto *bytes = reinterpret_cast<const uint8_t *>(data);

    if (sequence->raw == nullptr) return DrawJpeg(*sequence, bytes, size_t(dataSize));

    const int64_t needed =
        sequence->rowBytes * (sequence->height - 1) + MinimumRowBytes(*sequence->raw, sequence->width);
    if (dataSize < needed) return codecBadDataErr;
    const uint8_t *planes[4] = {bytes, nullptr, nullptr, nullptr};
    const int strides[4] = {int(sequence->rowBytes), 0, 0, 0};
    const PictureSource source{planes, strides, FFmpegPixelFormat(sequence->type), sequence->width, sequence->height,
                               false,  sequence->matrix != kQTMatrix_ITU_R_601_4};
    return DrawPictureIntoWorld(&sequence->scaler, source, sequence->world, sequence->dest);
}

OSErr CDSequenceEnd(ImageSequence seqID) {
    std::shared_ptr<Sequence> ended;  // freed outside the registry's lock
    Sequences &all = AllSequences();
    std::lock_guard<std::mutex> lock(all.mutex);
    auto it = all.live.find(seqID);
    if (it == all.live.end()) return paramErr;
    ended = std::move(it->second);
    all.live.erase(it);
    return noErr;
}
