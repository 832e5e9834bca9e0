#include "NSOGLTextureFBO.h"

namespace fbocat = category_NSOGLTextureFBOState;

std::shared_ptr<NSOGLTextureFBO> NSOGLTextureFBO::textureWithTextureWidth(GLuint width, GLuint height) {
    auto texture = std::make_shared<NSOGLTextureFBO>();
    texture->initWithTextureWidth(width, height);
    return texture;
}

NSOGLTextureFBO::NSOGLTextureFBO() = default;

NSOGLTextureFBO::~NSOGLTextureFBO() { fbocat::destructFrameBufferObjectInTextureContext(this, &mFbo); }

void NSOGLTextureFBO::initWithTextureWidth(GLuint width, GLuint height) {
    initWithTextureTarget(GL_TEXTURE_RECTANGLE_ARB, width, height);
}

void NSOGLTextureFBO::initTextureProperties() {
    NSOGLTextureBase::initTextureProperties();
    textureUpdateNull();
    fbocat::constructFrameBufferObject(this, &mFbo);
}

bool NSOGLTextureFBO::textureUpdate() { return true; }

bool NSOGLTextureFBO::beginRenderToFrameBuffer() { return fbocat::beginRenderToFrameBufferObject(this, &mFbo); }

bool NSOGLTextureFBO::isRenderingToFrameBuffer() const { return fbocat::isRenderingToFrameBufferObject(this, &mFbo); }

bool NSOGLTextureFBO::endRenderToFrameBuffer(bool flush) {
    return fbocat::endRenderToFrameBufferObject(this, &mFbo, flush);
}

GLint NSOGLTextureFBO::frameBufferObject() const { return NSOGLFrameBufferObjectState::FrameBufferName(&mFbo); }

bool import_NSOGLTextureFBO() { return import_category_NSOGLTextureFBOState(); }
