// A graphics frame that Core Image draws into. Images are drawn over the frame (premultiplied
// source-over) with their extent's origin at a point of the bitmap's bottom-up coordinates,
// optionally flipped vertically first. The Core Image context is an offscreen one of its own;
// what it renders is blended into the bitmap's pixels under the frame lock.
#pragma once

#include <CoreImage/CIContext.h>
#include <CoreImage/CIImage.h>
#include <CoreVideo/CVPixelBuffer.h>
#include <VDig/UVideoFrameBuffer_GraphicsContext.h>

#include <vector>

namespace UVideoFrameBuffer {

class CoreImageContext : public GraphicsContext {
public:
    CoreImageContext() = default;
    ~CoreImageContext() override = default;
    using GraphicsContext::Construct;

    // The graphics frame, then a Core Image context; false when any step fails.
    bool Construct(CGSize size) override;

    // False for a null image or no context. Waits for the frame lock.
    bool DrawImageAtPoint(const CIImageRef &image, CGPoint point, bool flip);
    bool DrawPixelBufferAtPoint(CVPixelBufferRef pixelBuffer, CGPoint point, bool flip);
    // Through a pixel buffer over the surface; a failure to make it is reported.
    bool DrawIOSurfaceAtPoint(IOSurfaceRef surface, CGPoint point, bool flip);

    CIContextRef mCIContext;

private:
    std::vector<UInt8> mRendered;
};

}  // namespace UVideoFrameBuffer

bool import_UVideoFrameBuffer_CoreImageContext();
