// The pixel-store state of one transfer between client memory and OpenGL, set for a scope.
#pragma once

#include <OpenGL/gl.h>

// In the calling thread's current context, for the directions asked: no pixel buffer object
// bound, rows `rowLength` pixels apart (0: as wide as the transfer), aligned to `alignment`
// bytes, nothing skipped, no byte swapping. The context's pixel-store state and buffer
// bindings are put back when the scope ends, so a transfer leaves the caller's state as it
// found it.
class CGLPixelStoreScope {
public:
    enum Direction : unsigned { kPack = 1, kUnpack = 2, kPackAndUnpack = 3 };

    CGLPixelStoreScope(Direction directions, GLint rowLength, GLint alignment);
    ~CGLPixelStoreScope();
    CGLPixelStoreScope(const CGLPixelStoreScope &) = delete;
    CGLPixelStoreScope &operator=(const CGLPixelStoreScope &) = delete;

private:
    unsigned mDirections;
    GLint mPackBuffer = 0;
    GLint mUnpackBuffer = 0;
};
