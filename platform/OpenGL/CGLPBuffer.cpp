// Pixel buffers and offscreen memory: framebuffer objects over a texture of the share group.
//
// A pixel buffer makes its GL objects (its texture, and a framebuffer object with a depth
// render buffer per face and level drawn into) in the context that first uses it, and then
// belongs to that context's share group. To delete them when it goes, whichever thread
// releases it last, it keeps a private EGL context of that share group (its keeper), made
// current on the releasing thread only for the deletion. Offscreen memory is a rectangle
// pixel buffer of its own whose pixels CGLFlushDrawable copies into the memory.
//
// What each context has attached is kept in a table beside the contexts, with a serial
// number that changes with each attachment; every EGL context of a logical context (the
// primary and each shadow) remembers the serial it last bound, so the framebuffer object is
// bound once per EGL context and attachment, and the bindings the caller makes afterwards
// stay as they are.

#include <OpenGL/CGLDisplayInternal.h>
#include <OpenGL/CGLDrawableInternal.h>
#include <OpenGL/CGLPixelStore.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

constexpr GLsizei kMaxSize = 16384;

// Desktop OpenGL, compatibility profile, as the layer's own contexts.
const EGLint kKeeperAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                    EGL_NONE};

GLint Log2(GLsizei size) {
    GLint levels = 0;
    while ((size >> (levels + 1)) > 0) ++levels;
    return levels;
}

bool IsCubeFace(GLenum face) {
    return face >= GL_TEXTURE_CUBE_MAP_POSITIVE_X && face <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z;
}

void DrainGLErrors() {
    for (int i = 0; i < 64 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

}  // namespace

struct _CGLPBufferObject {
    std::atomic<GLuint> mRetainCount{1};
    GLsizei mWidth = 0;
    GLsizei mHeight = 0;
    GLenum mTarget = 0;
    GLenum mInternalFormat = 0;
    GLint mMaxLevel = 0;

    struct Framebuffer {
        GLenum face;
        GLint level;
        GLuint framebuffer;
        GLuint depth;
    };

    // Guards the GL objects below. GL calls are made under it, on the caller's context.
    std::mutex mLock;
    uint64_t mShareGroup = 0;  // 0 until the objects are made
    EGLContext mKeeper = EGL_NO_CONTEXT;
    GLuint mTexture = 0;
    std::vector<Framebuffer> mFramebuffers;

    GLsizei LevelWidth(GLint level) const { return mWidth >> level > 0 ? mWidth >> level : 1; }
    GLsizei LevelHeight(GLint level) const { return mHeight >> level > 0 ? mHeight >> level : 1; }

    // Makes the objects on the current context (of `context`) unless they exist. False when
    // they belong to another share group or cannot be made. Called under mLock.
    bool MakeObjects(CGLContextObj context) {
        const uint64_t group = cgl::ShareGroupOf(context);
        if (mShareGroup != 0) return mShareGroup == group;
        const cgl::Display *display = cgl::DisplayFor("a pixel buffer's first use");
        if (display == nullptr) return false;
        cgl::BindDesktopGL();
        mKeeper = eglCreateContext(display->egl, EGL_NO_CONFIG_KHR, eglGetCurrentContext(), kKeeperAttributes);
        if (mKeeper == EGL_NO_CONTEXT) return false;
        mShareGroup = group;

        const GLenum binding = mTarget == GL_TEXTURE_2D              ? GL_TEXTURE_BINDING_2D
                               : mTarget == GL_TEXTURE_RECTANGLE_EXT ? GL_TEXTURE_BINDING_RECTANGLE_EXT
                                                                     : GL_TEXTURE_BINDING_CUBE_MAP;
        GLint previous = 0;
        glGetIntegerv(binding, &previous);
        GLint unpackBuffer = 0;
        glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &unpackBuffer);
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
        glGenTextures(1, &mTexture);
        glBindTexture(mTarget, mTexture);
        glTexParameteri(mTarget, GL_TEXTURE_MIN_FILTER, mMaxLevel > 0 ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
        glTexParameteri(mTarget, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(mTarget, GL_TEXTURE_MAX_LEVEL, mMaxLevel);
        const GLenum format = mInternalFormat == GL_RGB ? GL_RGB : GL_RGBA;
        for (GLint level = 0; level <= mMaxLevel; ++level) {
            if (mTarget == GL_TEXTURE_CUBE_MAP) {
                for (GLenum face = GL_TEXTURE_CUBE_MAP_POSITIVE_X; face <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z; ++face)
                    glTexImage2D(face, level, static_cast<GLint>(mInternalFormat), LevelWidth(level),
                                 LevelHeight(level), 0, format, GL_UNSIGNED_BYTE, nullptr);
            } else {
                glTexImage2D(mTarget, level, static_cast<GLint>(mInternalFormat), LevelWidth(level),
                             LevelHeight(level), 0, format, GL_UNSIGNED_BYTE, nullptr);
            }
        }
        glBindTexture(mTarget, static_cast<GLuint>(previous));
        glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(unpackBuffer));
        glFlush();  // made here, used on other threads' contexts too
        return true;
    }

    // The framebuffer object drawing into `face` and `level` (0 when it cannot be made),
    // made on the current context at the first request. Called under mLock after MakeObjects.
    GLuint FramebufferFor(GLenum face, GLint level) {
        for (const Framebuffer &made : mFramebuffers)
            if (made.face == face && made.level == level) return made.framebuffer;
        GLint drawBinding = 0, renderbufferBinding = 0;
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBinding);
        glGetIntegerv(GL_RENDERBUFFER_BINDING, &renderbufferBinding);
        Framebuffer made{face, level, 0, 0};
        glGenRenderbuffers(1, &made.depth);
        glBindRenderbuffer(GL_RENDERBUFFER, made.depth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, LevelWidth(level), LevelHeight(level));
        glGenFramebuffers(1, &made.framebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, made.framebuffer);
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, mTarget == GL_TEXTURE_CUBE_MAP ? face : mTarget,
                               mTexture, level);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, made.depth);
        const bool complete = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawBinding));
        glBindRenderbuffer(GL_RENDERBUFFER, static_cast<GLuint>(renderbufferBinding));
        if (!complete) {
            glDeleteFramebuffers(1, &made.framebuffer);
            glDeleteRenderbuffers(1, &made.depth);
            return 0;
        }
        glFlush();
        mFramebuffers.push_back(made);
        return made.framebuffer;
    }

    // Deletes the GL objects on the keeper, made current on this thread for the purpose; the
    // thread's own EGL binding is put back after.
    void DeleteObjects() {
        if (mKeeper == EGL_NO_CONTEXT) return;
        const cgl::Display *display = cgl::DisplayFor("CGLReleasePBuffer");
        if (display == nullptr) return;  // exiting: the objects go with the process
        cgl::BindDesktopGL();
        const EGLContext savedContext = eglGetCurrentContext();
        const EGLSurface savedDraw = eglGetCurrentSurface(EGL_DRAW);
        const EGLSurface savedRead = eglGetCurrentSurface(EGL_READ);
        if (eglMakeCurrent(display->egl, EGL_NO_SURFACE, EGL_NO_SURFACE, mKeeper)) {
            for (Framebuffer &made : mFramebuffers) {
                glDeleteFramebuffers(1, &made.framebuffer);
                glDeleteRenderbuffers(1, &made.depth);
            }
            glDeleteTextures(1, &mTexture);
            glFlush();
            eglMakeCurrent(display->egl, savedDraw, savedRead, savedContext);
        }
        eglDestroyContext(display->egl, mKeeper);
        mKeeper = EGL_NO_CONTEXT;
        mFramebuffers.clear();
        mTexture = 0;
    }
};

namespace {

// What a context has attached, and which of its EGL contexts have bound it.
struct Attachment {
    CGLPBufferObj pbuffer = nullptr;  // a reference; null once detached
    GLenum face = 0;
    GLint level = 0;
    GLint screen = 0;
    void *memory = nullptr;  // offscreen memory: the pixel buffer is the layer's own
    GLint rowBytes = 0;
    uint64_t serial = 0;
    std::vector<std::pair<EGLContext, uint64_t>> bound;  // EGL context, serial it bound
};

std::mutex gAttachmentsLock;
std::unordered_map<CGLContextObj, Attachment> gAttachments;
// Set at the first attachment, so processes without any pay nothing when making current.
std::atomic<bool> gAnyAttachment{false};

// Replaces the context's attachment (taking the caller's reference on `pbuffer`) and answers
// the one it had (a reference for the caller to release, outside the table's lock).
CGLPBufferObj Attach(CGLContextObj context, CGLPBufferObj pbuffer, GLenum face, GLint level, GLint screen,
                     void *memory, GLint rowBytes) {
    std::lock_guard<std::mutex> guard(gAttachmentsLock);
    Attachment &attachment = gAttachments[context];
    CGLPBufferObj previous = attachment.pbuffer;
    attachment.pbuffer = pbuffer;
    attachment.face = face;
    attachment.level = level;
    attachment.screen = screen;
    attachment.memory = memory;
    attachment.rowBytes = rowBytes;
    ++attachment.serial;
    gAnyAttachment.store(true, std::memory_order_release);
    return previous;
}

// The calling thread's current EGL context when `context` is current on it, else none.
EGLContext CurrentEGLContextOf(CGLContextObj context) {
    if (CGLGetCurrentContext() != context || cgl::DisplayFor("a drawable attachment") == nullptr)
        return EGL_NO_CONTEXT;
    cgl::BindDesktopGL();
    return eglGetCurrentContext();
}

// Binds the framebuffer of `face`/`level` of `pbuffer` on the current context and sets the
// viewport to its size.
void BindPBuffer(CGLContextObj context, CGLPBufferObj pbuffer, GLenum face, GLint level) {
    std::lock_guard<std::mutex> guard(pbuffer->mLock);
    if (!pbuffer->MakeObjects(context)) return;
    const GLuint framebuffer = pbuffer->FramebufferFor(face, level);
    if (framebuffer == 0) return;
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glViewport(0, 0, pbuffer->LevelWidth(level), pbuffer->LevelHeight(level));
}

}  // namespace

// ---- internal hooks -------------------------------------------------------------------------

void cgl::BindAttachedDrawable(CGLContextObj context, EGLContext egl) {
    if (!gAnyAttachment.load(std::memory_order_acquire)) return;
    CGLPBufferObj pbuffer = nullptr;
    GLenum face = 0;
    GLint level = 0;
    {
        std::lock_guard<std::mutex> guard(gAttachmentsLock);
        const auto found = gAttachments.find(context);
        if (found == gAttachments.end()) return;
        Attachment &attachment = found->second;
        auto seen = attachment.bound.begin();
        while (seen != attachment.bound.end() && seen->first != egl) ++seen;
        if (seen == attachment.bound.end()) {
            attachment.bound.emplace_back(egl, 0);
            seen = attachment.bound.end() - 1;
        }
        if (seen->second == attachment.serial) return;
        seen->second = attachment.serial;
        pbuffer = CGLRetainPBuffer(attachment.pbuffer);
        face = attachment.face;
        level = attachment.level;
    }
    if (pbuffer == nullptr) {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);  // detached: the context's own framebuffer again
        return;
    }
    BindPBuffer(context, pbuffer, face, level);
    CGLReleasePBuffer(pbuffer);
}

void cgl::FlushAttachedDrawable(CGLContextObj context) {
    if (!gAnyAttachment.load(std::memory_order_acquire)) return;
    CGLPBufferObj pbuffer = nullptr;
    void *memory = nullptr;
    GLint rowBytes = 0;
    {
        std::lock_guard<std::mutex> guard(gAttachmentsLock);
        const auto found = gAttachments.find(context);
        if (found == gAttachments.end() || found->second.memory == nullptr) return;
        pbuffer = CGLRetainPBuffer(found->second.pbuffer);
        memory = found->second.memory;
        rowBytes = found->second.rowBytes;
    }
    {
        std::lock_guard<std::mutex> guard(pbuffer->mLock);
        const GLuint framebuffer = pbuffer->MakeObjects(context) ? pbuffer->FramebufferFor(0, 0) : 0;
        if (framebuffer != 0) {
            const GLsizei width = pbuffer->mWidth;
            const GLsizei height = pbuffer->mHeight;
            std::vector<unsigned char> pixels(static_cast<size_t>(width) * 4 * static_cast<size_t>(height));
            GLint readBinding = 0;
            glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readBinding);
            {
                CGLPixelStoreScope pixelStore(CGLPixelStoreScope::kPack, 0, 4);
                glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
                glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
                glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readBinding));
            }
            // OpenGL gives the bottom row first; the memory holds the top row first.
            const size_t row = static_cast<size_t>(width) * 4;
            for (GLsizei y = 0; y < height; ++y)
                std::memcpy(static_cast<unsigned char *>(memory) + static_cast<size_t>(y) * static_cast<size_t>(rowBytes),
                            pixels.data() + static_cast<size_t>(height - 1 - y) * row, row);
        }
    }
    CGLReleasePBuffer(pbuffer);
}

void cgl::ForgetAttachedDrawable(CGLContextObj context) {
    if (!gAnyAttachment.load(std::memory_order_acquire)) return;
    CGLPBufferObj pbuffer = nullptr;
    {
        std::lock_guard<std::mutex> guard(gAttachmentsLock);
        const auto found = gAttachments.find(context);
        if (found == gAttachments.end()) return;
        pbuffer = found->second.pbuffer;
        gAttachments.erase(found);
    }
    CGLReleasePBuffer(pbuffer);
}

// ---- pixel buffers --------------------------------------------------------------------------

CGLError CGLCreatePBuffer(GLsizei width, GLsizei height, GLenum target, GLenum internalFormat, GLint max_level,
                          CGLPBufferObj *pbuffer) {
    if (pbuffer == nullptr) return kCGLBadAddress;
    *pbuffer = nullptr;
    if (width < 1 || height < 1 || width > kMaxSize || height > kMaxSize) return kCGLBadValue;
    if (target != GL_TEXTURE_2D && target != GL_TEXTURE_RECTANGLE_EXT && target != GL_TEXTURE_CUBE_MAP)
        return kCGLBadValue;
    if (internalFormat != GL_RGB && internalFormat != GL_RGBA) return kCGLBadValue;
    if (target == GL_TEXTURE_CUBE_MAP && width != height) return kCGLBadValue;
    const GLint maxLevel = target == GL_TEXTURE_RECTANGLE_EXT ? 0 : Log2(width > height ? width : height);
    if (max_level < 0 || max_level > maxLevel) return kCGLBadValue;
    auto *made = new _CGLPBufferObject;
    made->mWidth = width;
    made->mHeight = height;
    made->mTarget = target;
    made->mInternalFormat = internalFormat;
    made->mMaxLevel = max_level;
    *pbuffer = made;
    return kCGLNoError;
}

CGLPBufferObj CGLRetainPBuffer(CGLPBufferObj pbuffer) {
    if (pbuffer != nullptr) pbuffer->mRetainCount.fetch_add(1, std::memory_order_relaxed);
    return pbuffer;
}

void CGLReleasePBuffer(CGLPBufferObj pbuffer) {
    if (pbuffer == nullptr || pbuffer->mRetainCount.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    pbuffer->DeleteObjects();
    delete pbuffer;
}

CGLError CGLDestroyPBuffer(CGLPBufferObj pbuffer) {
    if (pbuffer == nullptr) return kCGLBadAddress;
    CGLReleasePBuffer(pbuffer);
    return kCGLNoError;
}

GLuint CGLGetPBufferRetainCount(CGLPBufferObj pbuffer) {
    return pbuffer != nullptr ? pbuffer->mRetainCount.load(std::memory_order_relaxed) : 0;
}

CGLError CGLDescribePBuffer(CGLPBufferObj obj, GLsizei *width, GLsizei *height, GLenum *target,
                            GLenum *internalFormat, GLint *mipmap) {
    if (obj == nullptr) return kCGLBadAddress;
    if (width != nullptr) *width = obj->mWidth;
    if (height != nullptr) *height = obj->mHeight;
    if (target != nullptr) *target = obj->mTarget;
    if (internalFormat != nullptr) *internalFormat = obj->mInternalFormat;
    if (mipmap != nullptr) *mipmap = obj->mMaxLevel;
    return kCGLNoError;
}

CGLError CGLSetPBuffer(CGLContextObj ctx, CGLPBufferObj pbuffer, GLenum face, GLint level, GLint screen) {
    if (ctx == nullptr) return kCGLBadContext;
    if (pbuffer == nullptr) return kCGLBadAddress;
    if (screen != 0 || level < 0 || level > pbuffer->mMaxLevel) return kCGLBadValue;
    if (pbuffer->mTarget == GL_TEXTURE_CUBE_MAP ? !IsCubeFace(face) : face != 0) return kCGLBadValue;
    {
        std::lock_guard<std::mutex> guard(pbuffer->mLock);
        if (pbuffer->mShareGroup != 0 && pbuffer->mShareGroup != cgl::ShareGroupOf(ctx)) return kCGLBadMatch;
    }
    CGLReleasePBuffer(Attach(ctx, CGLRetainPBuffer(pbuffer), face, level, screen, nullptr, 0));
    if (const EGLContext egl = CurrentEGLContextOf(ctx); egl != EGL_NO_CONTEXT) cgl::BindAttachedDrawable(ctx, egl);
    return kCGLNoError;
}

CGLError CGLGetPBuffer(CGLContextObj ctx, CGLPBufferObj *pbuffer, GLenum *face, GLint *level, GLint *screen) {
    if (ctx == nullptr) return kCGLBadContext;
    if (pbuffer == nullptr || face == nullptr || level == nullptr || screen == nullptr) return kCGLBadAddress;
    *pbuffer = nullptr;
    *face = 0;
    *level = 0;
    *screen = 0;
    std::lock_guard<std::mutex> guard(gAttachmentsLock);
    const auto found = gAttachments.find(ctx);
    if (found == gAttachments.end() || found->second.memory != nullptr) return kCGLNoError;
    *pbuffer = found->second.pbuffer;
    *face = found->second.face;
    *level = found->second.level;
    *screen = found->second.screen;
    return kCGLNoError;
}

CGLError CGLTexImagePBuffer(CGLContextObj ctx, CGLPBufferObj pbuffer, GLenum source) {
    if (ctx == nullptr) return kCGLBadContext;
    if (pbuffer == nullptr) return kCGLBadAddress;
    if (source != GL_FRONT && source != GL_BACK && source != GL_FRONT_LEFT && source != GL_BACK_LEFT)
        return kCGLBadValue;

    // The copy is made on `ctx`: current for the call, the caller's context put back after.
    const CGLContextObj previous = CGLRetainContext(CGLGetCurrentContext());
    const bool switched = previous != ctx;
    if (switched) {
        if (const CGLError error = CGLSetCurrentContext(ctx); error != kCGLNoError) {
            CGLReleaseContext(previous);
            return error;
        }
    }
    CGLError result = kCGLNoError;
    {
        std::lock_guard<std::mutex> guard(pbuffer->mLock);
        if (!pbuffer->MakeObjects(ctx)) {
            result = kCGLBadMatch;
        } else {
            DrainGLErrors();
            GLint readBinding = 0;
            glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readBinding);
            const bool cube = pbuffer->mTarget == GL_TEXTURE_CUBE_MAP;
            const GLenum first = cube ? GL_TEXTURE_CUBE_MAP_POSITIVE_X : 0;
            const GLenum last = cube ? GL_TEXTURE_CUBE_MAP_NEGATIVE_Z : 0;
            for (GLenum face = first; face <= last && result == kCGLNoError; ++face) {
                const GLuint framebuffer = pbuffer->FramebufferFor(face, 0);
                if (framebuffer == 0) {
                    result = kCGLBadMatch;
                    break;
                }
                glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
                glCopyTexImage2D(cube ? face : pbuffer->mTarget, 0, pbuffer->mInternalFormat, 0, 0, pbuffer->mWidth,
                                 pbuffer->mHeight, 0);
                if (glGetError() != GL_NO_ERROR) result = kCGLBadMatch;
            }
            glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readBinding));
            DrainGLErrors();
        }
    }
    if (switched) CGLSetCurrentContext(previous);
    CGLReleaseContext(previous);
    return result;
}

// ---- offscreen memory -----------------------------------------------------------------------

CGLError CGLSetOffScreen(CGLContextObj ctx, GLsizei width, GLsizei height, GLint rowbytes, void *baseaddr) {
    if (ctx == nullptr) return kCGLBadContext;
    if (baseaddr == nullptr) return kCGLBadAddress;
    if (width < 1 || height < 1 || width > kMaxSize || height > kMaxSize || rowbytes / 4 < width) return kCGLBadValue;
    CGLPBufferObj pbuffer = nullptr;
    if (const CGLError error = CGLCreatePBuffer(width, height, GL_TEXTURE_RECTANGLE_EXT, GL_RGBA, 0, &pbuffer);
        error != kCGLNoError)
        return error;
    CGLReleasePBuffer(Attach(ctx, pbuffer, 0, 0, 0, baseaddr, rowbytes));
    if (const EGLContext egl = CurrentEGLContextOf(ctx); egl != EGL_NO_CONTEXT) cgl::BindAttachedDrawable(ctx, egl);
    return kCGLNoError;
}

CGLError CGLClearDrawable(CGLContextObj ctx) {
    if (ctx == nullptr) return kCGLBadContext;
    if (!gAnyAttachment.load(std::memory_order_acquire)) return kCGLNoError;
    {
        std::lock_guard<std::mutex> guard(gAttachmentsLock);
        const auto found = gAttachments.find(ctx);
        if (found == gAttachments.end() || found->second.pbuffer == nullptr) return kCGLNoError;
    }
    CGLReleasePBuffer(Attach(ctx, nullptr, 0, 0, 0, nullptr, 0));
    if (const EGLContext egl = CurrentEGLContextOf(ctx); egl != EGL_NO_CONTEXT) cgl::BindAttachedDrawable(ctx, egl);
    return kCGLNoError;
}
