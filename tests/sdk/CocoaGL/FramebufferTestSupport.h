// Helpers of the framebuffer and surface-texture tests: contexts of their own (headless on
// Mesa's surfaceless display), plain framebuffers to render into, and pixel reads.
#pragma once

#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "sdk/CoreG/GLTestSupport.h"

namespace fbo_test {

// Contexts of their own and the test with one current come from the graphics library's GL
// tests.
using coreg_test::GLContextTest;
using coreg_test::NewContext;
using coreg_test::PixelAt;

// A framebuffer of the test's own with an RGBA texture of the size as colour attachment,
// cleared to `rgba` (0xAABBGGRR); left unbound.
struct PlainFramebuffer {
    GLuint framebuffer = 0;
    GLuint texture = 0;

    PlainFramebuffer(GLsizei width, GLsizei height, uint32_t rgba) {
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        glGenFramebuffersEXT(1, &framebuffer);
        Attach();
        glClearColor((rgba & 0xFF) / 255.0f, ((rgba >> 8) & 0xFF) / 255.0f, ((rgba >> 16) & 0xFF) / 255.0f,
                     (rgba >> 24) / 255.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0, 0, 0, 0);
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    }
    ~PlainFramebuffer() {
        glDeleteFramebuffersEXT(1, &framebuffer);
        glDeleteTextures(1, &texture);
    }
    PlainFramebuffer(const PlainFramebuffer &) = delete;
    PlainFramebuffer &operator=(const PlainFramebuffer &) = delete;

    // Binds the framebuffer with its texture attached.
    void Attach() const {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);
    }
};

inline GLint BoundFramebuffer() {
    GLint bound = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &bound);
    return bound;
}

struct Viewport {
    GLint x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Viewport &) const = default;
};

inline Viewport CurrentViewport() {
    GLint v[4] = {};
    glGetIntegerv(GL_VIEWPORT, v);
    return {v[0], v[1], v[2], v[3]};
}

inline void PrintTo(const Viewport &v, std::ostream *os) {
    *os << "(" << v.x << ", " << v.y << ", " << v.width << ", " << v.height << ")";
}

// Level 0 of a texture as 0xAARRGGBB words (B,G,R,A bytes), bottom row first.
inline std::vector<uint32_t> TexturePixels(GLenum target, GLuint texture, int width, int height) {
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    glBindTexture(target, texture);
    glGetTexImage(target, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
    glBindTexture(target, 0);
    return pixels;
}

// Fills the viewport-sized rectangle (x0, y0)-(x1, y1) of the current projection with a colour.
inline void FillRect(float x0, float y0, float x1, float y1, float r, float g, float b, float a = 1) {
    glColor4f(r, g, b, a);
    glBegin(GL_QUADS);
    glVertex2f(x0, y0);
    glVertex2f(x1, y0);
    glVertex2f(x1, y1);
    glVertex2f(x0, y1);
    glEnd();
}

}  // namespace fbo_test
