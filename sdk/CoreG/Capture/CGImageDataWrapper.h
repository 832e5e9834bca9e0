// The frame-sharing server's image wrapper: its step that puts a CGImage into a
// UVideoFrameBuffer::CGImageBuffer.
#pragma once

#include <CoreG/Capture/UVideoFrameBuffer_CGImageBuffer.h>

class CGImageDataWrapper {
public:
    // Releases the buffer's copy of the bytes when it holds an image, holds `image` in place
    // of a different held one (null: none), then, with an image held, copies its bytes
    // into the buffer. True when that copy exists; false with no image.
    static bool SetCGImageBufferImage(UVideoFrameBuffer::CGImageBuffer &buffer, CGImageRef image);
};

bool import_CGImageDataWrapper();
