#include "FrameConverter.h"

#include <QuickTime/ImageCompression.h>
#include <QuickTime/MacMemory.h>
#include <QuickTime/QuickDraw.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

namespace lumora::qtkit {

using lumora::qt::CaptureFormat;
using lumora::qt::CapturedFrame;

namespace {
int BytesPerPixel(uint32_t format) { return format == kCVPixelFormatType_422YpCbCr8 ? 2 : 4; }
}  // namespace

// Pixel buffers over memory that goes back to the pool when the buffer is destroyed.
struct BufferPool {
    std::mutex lock;
    std::vector<void *> free;
    size_t bytes = 0;
    ~BufferPool() {
        for (void *block : free) std::free(block);
    }
};

namespace {

struct PoolReference {
    std::shared_ptr<BufferPool> pool;
    size_t bytes;
};

void ReturnToPool(void *refCon, const void *baseAddress) {
    auto *reference = static_cast<PoolReference *>(refCon);
    {
        std::lock_guard guard(reference->pool->lock);
        if (reference->pool->bytes == reference->bytes && reference->pool->free.size() < 8)
            reference->pool->free.push_back(const_cast<void *>(baseAddress));
        else
            std::free(const_cast<void *>(baseAddress));
    }
    delete reference;
}

}  // namespace

CVPixelBufferRef FrameConverter::make(const void *output, uint32_t pixelFormat, int width, int height,
                                  const CaptureFormat &format, const CapturedFrame &frame) {
    if (width <= 0 || height <= 0) {
        width = format.width;
        height = format.height;
    }
    const size_t rowBytes = (size_t(width + 1) / 2 * 2 * size_t(BytesPerPixel(pixelFormat)) + 63) / 64 * 64;
    const size_t bytes = rowBytes * size_t(height);
    std::shared_ptr<BufferPool> &pool = mPools[output];
    if (!pool || pool->bytes != bytes) {
        pool = std::make_shared<BufferPool>();
        pool->bytes = bytes;
    }
    void *memory = nullptr;
    {
        std::lock_guard guard(pool->lock);
        if (!pool->free.empty()) {
            memory = pool->free.back();
            pool->free.pop_back();
        }
    }
    if (memory == nullptr) memory = std::aligned_alloc(64, bytes);
    if (memory == nullptr) return nullptr;
    auto *reference = new PoolReference{pool, bytes};
    CVPixelBufferRef buffer = nullptr;
    if (CVPixelBufferCreateWithBytes(nullptr, size_t(width), size_t(height), pixelFormat, memory, rowBytes,
                                     ReturnToPool, reference, nullptr, &buffer) != kCVReturnSuccess) {
        delete reference;
        std::free(memory);
        return nullptr;
    }
    if (!fill(static_cast<uint8_t *>(memory), rowBytes, width, height, pixelFormat, format, frame)) {
        CVPixelBufferRelease(buffer);
        return nullptr;
    }
    return buffer;
}

bool FrameConverter::fill(uint8_t *memory, size_t rowBytes, int width, int height, uint32_t pixelFormat,
                          const CaptureFormat &format, const CapturedFrame &frame) {
    if (format.type == k2vuyPixelFormat && pixelFormat == kCVPixelFormatType_422YpCbCr8 &&
        width == format.width && height == format.height) {
        const size_t row = size_t(width + 1) / 2 * 4;
        if (format.rowBytes < int64_t(row) || frame.size < size_t(format.rowBytes) * size_t(height - 1) + row)
            return false;
        for (int y = 0; y < height; ++y)
            std::memcpy(memory + size_t(y) * rowBytes, frame.data + size_t(y) * size_t(format.rowBytes), row);
        return true;
    }
    ImageDescriptionHandle desc = reinterpret_cast<ImageDescriptionHandle>(NewHandle(0));
    if (desc == nullptr) return false;
    bool drawn = false;
    if (lumora::qt::MakeCaptureImageDescription(format, desc) == noErr) {
        GWorldPtr world = nullptr;
        Rect bounds{0, 0, SInt16(height), SInt16(width)};
        const OSType worldFormat = pixelFormat == kCVPixelFormatType_32BGRA   ? OSType(k32BGRAPixelFormat)
                                   : pixelFormat == kCVPixelFormatType_32ARGB ? OSType(k32ARGBPixelFormat)
                                                                              : OSType(k2vuyPixelFormat);
        if (QTNewGWorldFromPtr(&world, worldFormat, &bounds, nullptr, nullptr, 0, memory, long(rowBytes)) ==
            noErr) {
            Rect source{0, 0, SInt16(format.height), SInt16(format.width)};
            MatrixRecord matrix;
            RectMatrix(&matrix, &source, &bounds);
            ImageSequence sequence = 0;
            if (DecompressSequenceBegin(&sequence, desc, world, nullptr, nullptr, &matrix, srcCopy, nullptr, 0,
                                        codecNormalQuality, anyCodec) == noErr) {
                drawn = DecompressSequenceFrameS(sequence, reinterpret_cast<Ptr>(frame.data), long(frame.size), 0,
                                                 nullptr, nullptr) == noErr;
                CDSequenceEnd(sequence);
            }
            DisposeGWorld(world);
        }
    }
    DisposeHandle(reinterpret_cast<Handle>(desc));
    return drawn;
}

}  // namespace lumora::qtkit
