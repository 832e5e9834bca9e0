// Decompression sequences: each frame is turned into a picture the pixel-transfer code
// takes (raw pixels as they are, JPEG through the layer's JPEG decoder) and drawn into the
// sequence's world with DrawPictureIntoWorld.
#include <QuickTime/ImageCompression.h>

#include <cmath>
#include <memory>
#include <mutex>
#include <unordered_map>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include "ImageDecoders.h"
#include "QTInternal.h"

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
    GWorldPtr world = nullptr;
    Rect dest{};
    std::mutex mutex;  // one frame at a time per sequence
    void *scaler = nullptr;

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

    if (sequence->raw == nullptr) {  // JPEG
        RGBAImage image;
        const OSErr err = DecodeImage(ImageKind::JPEG, bytes, size_t(dataSize), image);
        if (err != noErr) return err;
        const uint8_t *planes[4] = {image.pixels.data(), nullptr, nullptr, nullptr};
        const int strides[4] = {image.stride, 0, 0, 0};
        const PictureSource source{planes, strides, AV_PIX_FMT_RGBA, image.width, image.height, true, false};
        return DrawPictureIntoWorld(&sequence->scaler, source, sequence->world, sequence->dest);
    }

    const int64_t needed =
        sequence->rowBytes * (sequence->height - 1) + MinimumRowBytes(*sequence->raw, sequence->width);
    if (dataSize < needed) return codecBadDataErr;
    const uint8_t *planes[4] = {bytes, nullptr, nullptr, nullptr};
    const int strides[4] = {int(sequence->rowBytes), 0, 0, 0};
    const PictureSource source{planes, strides, FFmpegPixelFormat(sequence->type), sequence->width, sequence->height,
                               false,  false};
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
