// NSOGLRenderFrameBufferTest: a diagnostic render target on an IOSurface that only fills itself
// with a colour changing with time: red is the fractional part of the seconds, green 0, blue
// and alpha 1. Made and updated with a context current (NSOGLTextureIOSurfaceFBO).
#pragma once

#include <CocoaGL/NSOGLTextureIOSurfaceFBO.h>

#include <memory>

class NSOGLRenderFrameBufferTest : public NSOGLTextureIOSurfaceFBO {
public:
    // A new surface of that size and a target on it; null when the surface cannot be made.
    static std::shared_ptr<NSOGLRenderFrameBufferTest> textureWithTextureWidth(uint32_t width, uint32_t height);

    // Begins rendering into the framebuffer, renders the scene, ends with a flush; true.
    bool textureUpdateWithTime(double seconds) override;
    // Clears to (fractional part of seconds, 0, 1, 1).
    void renderSceneForTime(double seconds);
};

bool import_NSOGLRenderFrameBufferTest();
