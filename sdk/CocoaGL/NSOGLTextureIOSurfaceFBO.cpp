#include "NSOGLTextureIOSurfaceFBO.h"

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <OpenGL/CGLIOSurface.h>

namespace fbocat = category_NSOGLTextureFBOState;

std::shared_ptr<NSOGLTextureIOSurfaceFBO> NSOGLTextureIOSurfaceFBO::textureWithIOSurface(IOSurfaceRef surface) {
    if (surface == nullptr) return nullptr;
    auto texture = std::make_shared<NSOGLTextureIOSurfaceFBO>();
    texture->initWithIOSurface(surface, false);
    return texture;
}

NSOGLTextureIOSurfaceFBO::NSOGLTextureIOSurfaceFBO() = default;

NSOGLTextureIOSurfaceFBO::~NSOGLTextureIOSurfaceFBO() { fbocat::destructFrameBufferObjectInTextureContext(this, &mFbo); }

void NSOGLTextureIOSurfaceFBO::initTextureProperties() {
    NSOGLTextureIOSurface::initTextureProperties();
    fbocat::constructFrameBufferObject(this, &mFbo);
}

bool NSOGLTextureIOSurfaceFBO::beginRenderToFrameBuffer() {
    return fbocat::beginRenderToFrameBufferObject(this, &mFbo);
}

bool NSOGLTextureIOSurfaceFBO::isRenderingToFrameBuffer() const {
    return fbocat::isRenderingToFrameBufferObject(this, &mFbo);
}

bool NSOGLTextureIOSurfaceFBO::endRenderToFrameBuffer(bool flush) {
    const bool wasRendering = fbocat::isRenderingToFrameBufferObject(this, &mFbo);
    const bool ended = fbocat::endRenderToFrameBufferObject(this, &mFbo, flush);
    // A flushing end flushed with the framebuffer still bound, which the OpenGL layer reads
    // back by itself; otherwise the layer is told.
    if (wasRendering && !flush) {
        if (CGLContextObj context = CGLGetCurrentContext(); context != nullptr) {
            CGLSetIOSurfaceTextureRendered(context, textureName());
            OpenGL::DiscardGLErrors();
        }
    }
    return ended;
}

GLint NSOGLTextureIOSurfaceFBO::frameBufferObject() const { return NSOGLFrameBufferObjectState::FrameBufferName(&mFbo); }

bool import_NSOGLTextureIOSurfaceFBO() { return import_NSOGLTextureIOSurface() && import_category_NSOGLTextureFBOState(); }
