// Inside the QTKit layer: device frames into pixel buffers of an output's format and size.
// A '2vuy' frame into a '2vuy' buffer of its size is one copy of the rows; any other pair goes
// through the QuickTime layer's decompression sequences into a world over the buffer (scaled
// when the sizes differ). Buffers come from a pool per output and go back to it when their last
// reference goes. One converter belongs to one thread (the session's capture thread).
#pragma once

#include <CoreVideo/CVPixelBuffer.h>
#include <QuickTime/CaptureDevices.h>

#include <cstdint>
#include <map>
#include <memory>

namespace lumora::qtkit {

struct BufferPool;

class FrameConverter {
public:
    // A new buffer (owned by the caller) of the frame in pixelFormat ('2vuy', 'BGRA' or 32
    // ARGB) at width x height (0: the frame's size), from the pool of `output`; null when the
    // frame cannot be drawn.
    CVPixelBufferRef make(const void *output, uint32_t pixelFormat, int width, int height,
                          const lumora::qt::CaptureFormat &format, const lumora::qt::CapturedFrame &frame);

private:
    static bool fill(uint8_t *memory, size_t rowBytes, int width, int height, uint32_t pixelFormat,
                     const lumora::qt::CaptureFormat &format, const lumora::qt::CapturedFrame &frame);
    std::map<const void *, std::shared_ptr<BufferPool>> mPools;
};

}  // namespace lumora::qtkit
