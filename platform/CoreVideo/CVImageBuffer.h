// What every image buffer (pixel buffer, OpenGL texture) answers.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <CoreVideo/CVPixelBuffer.h>

// The image's size in pixels; CGSizeZero for anything else.
CGSize CVImageBufferGetEncodedSize(CVImageBufferRef imageBuffer);
