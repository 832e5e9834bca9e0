// Framebuffer objects (GL_EXT_framebuffer_object) and their begin/end state.
//
// Two plain records hold a framebuffer with its renderbuffers: NSOGLTextureFBOState renders
// into a texture (colour attachment 0) with a depth renderbuffer of its own;
// NSOGLDrawableFBOState is an offscreen context's own framebuffer, with a colour and a depth
// renderbuffer. The functions of NSOGLFrameBufferObjectState build, bind, unbind and destroy
// them on the context current on the calling thread; the caller makes the owning context
// current (and locks it when other threads share it).
//
// A state is valid when its width and height are not 0, its last completeness status is
// GL_FRAMEBUFFER_COMPLETE_EXT and it holds a framebuffer. Every function except building does
// nothing on a null or invalid state and answers false (-1 for the name). Beginning saves the
// caller's framebuffer binding and viewport, ending restores them; a begin inside a begin is
// refused. Pending GL errors are discarded after each GL call and turn into a false result
// only where said.
//
// Framebuffer names are generated (glGenFramebuffersEXT) and deleted when the state is
// destroyed: framebuffer objects are shared by every context of a share group here, so a
// name taken without generating it could be another context's framebuffer.
#pragma once

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <OpenGL/gl.h>

#include <cstdint>

// A texture's framebuffer.
struct NSOGLTextureFBOState {
    uint32_t mDrawableWidth = 0;          // 0 when not built
    uint32_t mDrawableHeight = 0;         // 0 when not built
    uint32_t mFrameBufferName = ~0u;      // all bits set when none
    uint32_t mDepthBufferName = ~0u;      // the depth renderbuffer; all bits set when none
    uint32_t mIsComplete = 0;             // the last glCheckFramebufferStatusEXT; 0 when not built
    tagOpenGL_FBOState mStateFBO;         // the caller's binding and viewport while rendering
    uint32_t mRecursionBlocker = 0;       // 1 while rendering into it
};

// An offscreen context's framebuffer: the same fields, then the colour renderbuffer.
struct NSOGLDrawableFBOState : NSOGLTextureFBOState {
    uint32_t mRenderBufferName = ~0u;     // all bits set when none
};

namespace NSOGLFrameBufferObjectState {

// Width and height not 0, complete, with a framebuffer. False for null.
bool IsValid(const NSOGLTextureFBOState *state);

// Texture framebuffer ---------------------------------------------------------------------

// Builds a framebuffer rendering into level 0 of the texture `textureName` of `textureTarget`
// (GL_TEXTURE_RECTANGLE_EXT or GL_TEXTURE_2D) with a depth renderbuffer of the size, and
// clears it to opaque black. The texture target's binding is left at 0; the caller's
// framebuffer binding, renderbuffer binding, viewport and clear colour are as they were. A
// framebuffer the state held before is destroyed first. True when complete; an incomplete
// framebuffer is logged, its objects deleted, and the state left invalid.
bool Construct(NSOGLTextureFBOState *state, GLenum textureTarget, GLuint textureName,
               uint32_t width, uint32_t height);
// Saves the caller's binding and viewport and binds the framebuffer (the viewport is the
// caller's to set). Refused (false, nothing changed) while already rendering. True when
// binding raised no GL error.
bool BeginRender(NSOGLTextureFBOState *state);
// Valid and rendering.
bool IsRendering(const NSOGLTextureFBOState *state);
// The framebuffer name when valid, else -1.
GLint FrameBufferName(const NSOGLTextureFBOState *state);
// Ends rendering: flushes (glFlushRenderAPPLE) when asked and restores the binding and
// viewport saved by the begin. True at once, with nothing changed, when not rendering.
bool EndRender(NSOGLTextureFBOState *state, bool flush);
// Deletes the framebuffer and its depth renderbuffer (restoring the caller's binding first
// when still rendering) and resets the state. True when no deletion raised a GL error.
bool Destruct(NSOGLTextureFBOState *state);

// Drawable framebuffer --------------------------------------------------------------------

// Builds a framebuffer of a colour (GL_RGBA8) and a depth (GL_DEPTH_COMPONENT24)
// renderbuffer of the size; when complete, clears it and sets the projection for it as
// BeginRenderAndSetup does. The caller's framebuffer binding and viewport are as they were.
// True when complete.
bool Construct(NSOGLDrawableFBOState *state, uint32_t width, uint32_t height);
// Begins rendering as BeginRender, then clears the framebuffer to opaque black (colour, then
// depth), sets the viewport to the whole framebuffer, the projection to an orthographic one
// of (0, width) x (0, height) x (-1, 1) and the model-view matrix to the identity (matrix
// mode GL_MODELVIEW after). The begin's result; nothing is set up when it is refused.
bool BeginRenderAndSetup(NSOGLDrawableFBOState *state);
// As for the texture framebuffer.
bool EndRender(NSOGLDrawableFBOState *state, bool flush);
// Deletes the depth and colour renderbuffers, binds framebuffer 0, deletes the framebuffer
// and resets the state. True when no deletion raised a GL error.
bool Destruct(NSOGLDrawableFBOState *state);

}  // namespace NSOGLFrameBufferObjectState

bool import_NSOGLFrameBufferObjectState();
