// What the texture tests share: a pixel of a pixel-buffer renderer's texture.
#pragma once

#include <CocoaGL/NSOGLPBufferRendererBase.h>
#include <CocoaGL/NSOGLSharingContext.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <OpenGL/glext.h>

#include <array>
#include <cstdint>
#include <vector>

namespace texture_test {

// A pixel of a renderer's texture as the root sharing context sees it.
inline std::array<int, 4> TexturePixel(NSOGLPBufferRendererBase &renderer, GLint x, GLint y) {
    const auto root = NSOGLSharingContext::rootSharingContext();
    const OpenGL::CGLContextStateLock scope(root.get());
    renderer.lock();
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE_ARB, &previous);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, renderer.textureName());
    std::vector<uint8_t> bytes(size_t(renderer.textureWidth()) * renderer.textureHeight() * 4);
    glGetTexImage(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, GLuint(previous));
    renderer.unlock();
    const uint8_t *p = &bytes[(size_t(y) * renderer.textureWidth() + size_t(x)) * 4];
    return {p[0], p[1], p[2], p[3]};
}

}  // namespace texture_test
