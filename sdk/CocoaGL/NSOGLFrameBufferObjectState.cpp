#include "NSOGLFrameBufferObjectState.h"

#include <Foundation/NSException.h>
#include <OpenGL/glext.h>

#include <QString>

namespace NSOGLFrameBufferObjectState {
namespace {

constexpr uint32_t kNoName = ~0u;

using OpenGL::DiscardGLErrors;

// A name that refers to a GL object (neither unset nor 0).
bool HoldsName(uint32_t name) { return name != kNoName && name != 0; }

void Reset(NSOGLTextureFBOState *state) {
    state->mDrawableWidth = 0;
    state->mDrawableHeight = 0;
    state->mFrameBufferName = kNoName;
    state->mDepthBufferName = kNoName;
    state->mIsComplete = 0;
    state->mRecursionBlocker = 0;
}

void Reset(NSOGLDrawableFBOState *state) {
    Reset(static_cast<NSOGLTextureFBOState *>(state));
    state->mRenderBufferName = kNoName;
}

// Stores the completeness status of the bound framebuffer; anything but complete is logged.
bool CheckIsComplete(NSOGLTextureFBOState *state) {
    const GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    DiscardGLErrors();
    state->mIsComplete = status;
    if (status == GL_FRAMEBUFFER_COMPLETE_EXT) return true;
    NSLog(QStringLiteral("NSOGLFrameBufferObjectState::CheckIsComplete\n%1=glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT)\n")
              .arg(static_cast<int>(status)));
    return false;
}

// Deletes one name with `deleteNames` (glDeleteRenderbuffersEXT or glDeleteFramebuffersEXT);
// false when the deletion raised a GL error.
template <typename DeleteNames>
bool DeleteName(uint32_t name, DeleteNames deleteNames) {
    if (!HoldsName(name)) return true;
    DiscardGLErrors();
    deleteNames(1, &name);
    const bool fine = glGetError() == GL_NO_ERROR;
    DiscardGLErrors();
    return fine;
}

bool DeleteRenderbuffer(uint32_t name) {
    return DeleteName(name, [](GLsizei n, const GLuint *names) { glDeleteRenderbuffersEXT(n, names); });
}

bool DeleteFramebuffer(uint32_t name) {
    return DeleteName(name, [](GLsizei n, const GLuint *names) { glDeleteFramebuffersEXT(n, names); });
}

// A renderbuffer of the storage and size, left unbound; 0 when none could be made.
GLuint NewRenderbuffer(GLenum storage, uint32_t width, uint32_t height) {
    GLuint name = 0;
    glGenRenderbuffersEXT(1, &name);
    DiscardGLErrors();
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, name);
    DiscardGLErrors();
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, storage, static_cast<GLsizei>(width),
                             static_cast<GLsizei>(height));
    DiscardGLErrors();
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    DiscardGLErrors();
    return name;
}

// Clears the bound framebuffer to opaque black, colour then depth, keeping the caller's
// clear colour.
void ClearToOpaqueBlack() {
    GLfloat clearColor[4] = {0, 0, 0, 0};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
    DiscardGLErrors();
    glClearColor(0, 0, 0, 1);
    DiscardGLErrors();
    glClear(GL_COLOR_BUFFER_BIT);
    DiscardGLErrors();
    glClear(GL_DEPTH_BUFFER_BIT);
    DiscardGLErrors();
    glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
    DiscardGLErrors();
}

// The reshape of a drawable framebuffer: cleared, viewport and projection for its size.
void ReshapeWithClearing(const NSOGLDrawableFBOState *state) {
    ClearToOpaqueBlack();
    const auto width = static_cast<GLsizei>(state->mDrawableWidth);
    const auto height = static_cast<GLsizei>(state->mDrawableHeight);
    glViewport(0, 0, width, height);
    DiscardGLErrors();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, width, 0, height, -1, 1);
    DiscardGLErrors();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    DiscardGLErrors();
}

// The renderbuffer binding, which building changes.
GLuint RenderbufferBinding() {
    GLint bound = 0;
    glGetIntegerv(GL_RENDERBUFFER_BINDING_EXT, &bound);
    DiscardGLErrors();
    return static_cast<GLuint>(bound);
}

}  // namespace

bool IsValid(const NSOGLTextureFBOState *state) {
    return state != nullptr && state->mDrawableWidth != 0 && state->mDrawableHeight != 0 &&
           state->mIsComplete == GL_FRAMEBUFFER_COMPLETE_EXT && state->mFrameBufferName != kNoName;
}

// ---- texture framebuffer --------------------------------------------------------------------

bool Construct(NSOGLTextureFBOState *state, GLenum textureTarget, GLuint textureName,
               uint32_t width, uint32_t height) {
    if (state == nullptr) return false;
    if (HoldsName(state->mFrameBufferName) || HoldsName(state->mDepthBufferName)) Destruct(state);
    Reset(state);
    DiscardGLErrors();
    tagOpenGL_FBOState saved;
    saved.Save();
    const GLuint savedRenderbuffer = RenderbufferBinding();

    glBindTexture(textureTarget, 0);
    DiscardGLErrors();
    GLuint framebuffer = 0;
    glGenFramebuffersEXT(1, &framebuffer);
    DiscardGLErrors();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    DiscardGLErrors();
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, textureTarget, textureName, 0);
    DiscardGLErrors();
    const GLuint depth = NewRenderbuffer(GL_DEPTH_COMPONENT, width, height);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
    DiscardGLErrors();

    const bool complete = framebuffer != 0 && width != 0 && height != 0 && CheckIsComplete(state);
    if (complete) {
        state->mFrameBufferName = framebuffer;
        state->mDepthBufferName = depth;
        state->mDrawableWidth = width;
        state->mDrawableHeight = height;
        ClearToOpaqueBlack();
    }

    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, savedRenderbuffer);
    DiscardGLErrors();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    DiscardGLErrors();
    if (!complete) {
        DeleteRenderbuffer(depth);
        DeleteFramebuffer(framebuffer);
    }
    saved.Restore();
    return complete;
}

bool BeginRender(NSOGLTextureFBOState *state) {
    if (!IsValid(state) || state->mRecursionBlocker != 0) return false;
    state->mRecursionBlocker = 1;
    state->mStateFBO.Save();
    DiscardGLErrors();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, state->mFrameBufferName);
    const bool bound = glGetError() == GL_NO_ERROR;
    DiscardGLErrors();
    return bound;
}

bool IsRendering(const NSOGLTextureFBOState *state) {
    return IsValid(state) && state->mRecursionBlocker != 0;
}

GLint FrameBufferName(const NSOGLTextureFBOState *state) {
    return IsValid(state) ? static_cast<GLint>(state->mFrameBufferName) : -1;
}

bool EndRender(NSOGLTextureFBOState *state, bool flush) {
    if (!IsValid(state)) return false;
    if (state->mRecursionBlocker == 0) return true;
    state->mRecursionBlocker = 0;
    if (flush) {
        glFlushRenderAPPLE();
        DiscardGLErrors();
    }
    state->mStateFBO.Restore();
    return true;
}

bool Destruct(NSOGLTextureFBOState *state) {
    if (!IsValid(state)) return false;
    EndRender(state, false);
    const bool depthDeleted = DeleteRenderbuffer(state->mDepthBufferName);
    const bool framebufferDeleted = DeleteFramebuffer(state->mFrameBufferName);
    Reset(state);
    return depthDeleted && framebufferDeleted;
}

// ---- drawable framebuffer -------------------------------------------------------------------

bool Construct(NSOGLDrawableFBOState *state, uint32_t width, uint32_t height) {
    if (state == nullptr) return false;
    if (HoldsName(state->mFrameBufferName) || HoldsName(state->mDepthBufferName) ||
        HoldsName(state->mRenderBufferName))
        Destruct(state);
    DiscardGLErrors();
    tagOpenGL_FBOState saved;
    saved.Save();
    Reset(state);
    const GLuint savedRenderbuffer = RenderbufferBinding();

    const GLuint depth = NewRenderbuffer(GL_DEPTH_COMPONENT24, width, height);
    const GLuint colour = NewRenderbuffer(GL_RGBA8, width, height);
    GLuint framebuffer = 0;
    glGenFramebuffersEXT(1, &framebuffer);
    DiscardGLErrors();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    DiscardGLErrors();
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, colour);
    DiscardGLErrors();
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT, depth);
    DiscardGLErrors();

    const bool complete = framebuffer != 0 && width != 0 && height != 0 && CheckIsComplete(state);
    if (complete) {
        state->mFrameBufferName = framebuffer;
        state->mDepthBufferName = depth;
        state->mRenderBufferName = colour;
        state->mDrawableWidth = width;
        state->mDrawableHeight = height;
        ReshapeWithClearing(state);
    }

    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, savedRenderbuffer);
    DiscardGLErrors();
    if (!complete) {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        DiscardGLErrors();
        DeleteRenderbuffer(depth);
        DeleteRenderbuffer(colour);
        DeleteFramebuffer(framebuffer);
    }
    saved.Restore();
    return complete;
}

bool BeginRenderAndSetup(NSOGLDrawableFBOState *state) {
    if (!BeginRender(state)) return false;
    ReshapeWithClearing(state);
    return true;
}

bool EndRender(NSOGLDrawableFBOState *state, bool flush) {
    return EndRender(static_cast<NSOGLTextureFBOState *>(state), flush);
}

bool Destruct(NSOGLDrawableFBOState *state) {
    if (!IsValid(state)) return false;
    const bool depthDeleted = DeleteRenderbuffer(state->mDepthBufferName);
    const bool colourDeleted = DeleteRenderbuffer(state->mRenderBufferName);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    DiscardGLErrors();
    const bool framebufferDeleted = DeleteFramebuffer(state->mFrameBufferName);
    Reset(state);
    return depthDeleted && colourDeleted && framebufferDeleted;
}

}  // namespace NSOGLFrameBufferObjectState

bool import_NSOGLFrameBufferObjectState() { return true; }
