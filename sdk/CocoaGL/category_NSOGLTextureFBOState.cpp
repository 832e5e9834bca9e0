#include "category_NSOGLTextureFBOState.h"

namespace category_NSOGLTextureFBOState {

namespace fbs = NSOGLFrameBufferObjectState;

bool constructFrameBufferObject(const NSOGLTextureBase *texture, NSOGLTextureFBOState *fbo) {
    if (texture == nullptr || fbo == nullptr) return false;
    const GLuint name = texture->textureName();
    if (name == 0 || name == NSOGLTextureBase::kNoTextureName) return false;
    return fbs::Construct(fbo, texture->textureTarget(), name, texture->textureWidth(), texture->textureHeight());
}

bool destructFrameBufferObject(const NSOGLTextureBase *, NSOGLTextureFBOState *fbo) { return fbs::Destruct(fbo); }

bool beginRenderToFrameBufferObject(const NSOGLTextureBase *, NSOGLTextureFBOState *fbo) {
    return fbs::BeginRender(fbo);
}

bool isRenderingToFrameBufferObject(const NSOGLTextureBase *, const NSOGLTextureFBOState *fbo) {
    return fbs::IsRendering(fbo);
}

bool endRenderToFrameBufferObject(const NSOGLTextureBase *, NSOGLTextureFBOState *fbo, bool flush) {
    return fbs::EndRender(fbo, flush);
}

bool destructFrameBufferObjectInTextureContext(const NSOGLTextureBase *texture, NSOGLTextureFBOState *fbo) {
    if (!fbs::IsValid(fbo)) return false;
    CGLContextObj current = CGLGetCurrentContext();
    CGLContextObj owner = texture != nullptr ? texture->textureShareContext() : nullptr;
    CGLContextObj context = owner != nullptr ? owner : current;
    if (context == nullptr || CGLLockContext(context) != kCGLNoError) return false;
    bool destroyed = false;
    // The owner is made current only for the deletion; the caller's context (or none) is
    // current again afterwards.
    const bool switched = context != current;
    if (!switched || CGLSetCurrentContext(context) == kCGLNoError) {
        destroyed = fbs::Destruct(fbo);
        if (switched) CGLSetCurrentContext(current);
    }
    CGLUnlockContext(context);
    return destroyed;
}

}  // namespace category_NSOGLTextureFBOState

bool import_category_NSOGLTextureFBOState() { return import_NSOGLTextureBase() && import_NSOGLFrameBufferObjectState(); }
