// NSOGLTextureBase(category_NSOGLTextureFBOState): any texture of the kit carries a
// framebuffer that renders into it, held in an NSOGLTextureFBOState of its owner's. Each
// function acts on the context current on the calling thread, which the caller makes the
// texture's (see NSOGLFrameBufferObjectState.h for the state machine).
#pragma once

#include <CocoaGL/NSOGLFrameBufferObjectState.h>
#include <CocoaGL/NSOGLTextureBase.h>

namespace category_NSOGLTextureFBOState {

// Builds the framebuffer with the texture's target, name, width and height. False for a null
// texture or state, a texture without a texture object, or an incomplete framebuffer.
bool constructFrameBufferObject(const NSOGLTextureBase *texture, NSOGLTextureFBOState *fbo);
// The state functions on the texture's framebuffer.
bool destructFrameBufferObject(const NSOGLTextureBase *texture, NSOGLTextureFBOState *fbo);
bool beginRenderToFrameBufferObject(const NSOGLTextureBase *texture, NSOGLTextureFBOState *fbo);
bool isRenderingToFrameBufferObject(const NSOGLTextureBase *texture, const NSOGLTextureFBOState *fbo);
bool endRenderToFrameBufferObject(const NSOGLTextureBase *texture, NSOGLTextureFBOState *fbo, bool flush);

// Destroys the framebuffer with the texture's own context current and locked (the caller's
// context put back after), or with the current context when the texture has none: what a
// texture's destructor does, whatever context its last owner left current.
bool destructFrameBufferObjectInTextureContext(const NSOGLTextureBase *texture, NSOGLTextureFBOState *fbo);

}  // namespace category_NSOGLTextureFBOState

// The framebuffer-object protocol of the textures that render into themselves.
class protocol_NSOGLTextureFBO {
public:
    virtual ~protocol_NSOGLTextureFBO() = default;

    // Binds the texture's framebuffer, saving the caller's binding and viewport; false when
    // the framebuffer is not valid or already bound by an earlier begin.
    virtual bool beginRenderToFrameBuffer() = 0;
    virtual bool isRenderingToFrameBuffer() const = 0;
    // Flushes when asked and restores what the begin saved.
    virtual bool endRenderToFrameBuffer(bool flush) = 0;
    // The framebuffer name, or -1.
    virtual GLint frameBufferObject() const = 0;
};

bool import_category_NSOGLTextureFBOState();
