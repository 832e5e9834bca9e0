#include "NSOGLRenderFrameBufferTest.h"

#include <CoreFoundation/CFBase.h>
#include <OpenGL/gl.h>

#include <cmath>

std::shared_ptr<NSOGLRenderFrameBufferTest> NSOGLRenderFrameBufferTest::textureWithTextureWidth(uint32_t width,
                                                                                              uint32_t height) {
    IOSurfaceRef surface = surfaceWithSurfaceWidth(width, height);
    if (surface == nullptr) return nullptr;
    auto texture = std::make_shared<NSOGLRenderFrameBufferTest>();
    texture->initWithIOSurface(surface, false);
    CFRelease(surface);
    return texture;
}

bool NSOGLRenderFrameBufferTest::textureUpdateWithTime(double seconds) {
    beginRenderToFrameBuffer();
    renderSceneForTime(seconds);
    endRenderToFrameBuffer(true);
    return true;
}

void NSOGLRenderFrameBufferTest::renderSceneForTime(double seconds) {
    double whole = 0;
    const double fraction = std::isfinite(seconds) ? std::modf(seconds, &whole) : 0.0;
    glClearColor(GLclampf(fraction), 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

bool import_NSOGLRenderFrameBufferTest() { return import_NSOGLTextureIOSurfaceFBO(); }
