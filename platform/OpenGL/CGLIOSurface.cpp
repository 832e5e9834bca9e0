// Surface textures: a GL copy of a surface's pixels, kept in step at the sync points that
// CGLIOSurface.h lists.
//
// Each share group keeps a record of its surface textures, by texture name: the surface
// (retained), the texture's target, size, pixel format and type, the surface's seed when
// texture and surface last agreed, and whether the texture has been drawn into since. The
// record is the group's because the texture is: any context of the group, on any thread,
// syncs it. A deleted texture whose name GL hands out again must not be taken for the
// surface's (a read-back would write another picture into the surface), so each bound texture
// carries a debug label naming its binding, checked with the level-0 size before every use.

#include <OpenGL/CGLIOSurface.h>
#include <OpenGL/CGLIOSurfaceInternal.h>
#include <OpenGL/CGLPixelStore.h>
#include <OpenGL/gl.h>

#include <IOSurface/IOSurfaceSync.h>

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace {

// Surface textures in the process: sync points cost nothing while there is none.
std::atomic<long> gBindings{0};
std::atomic<uint64_t> gLabelSerial{0};

// The bytes of one pixel of format and type, or 0 for a pair that is not taken.
unsigned PixelBytes(GLenum format, GLenum type) {
    unsigned components = 0;
    switch (format) {
    case GL_RED:
    case GL_GREEN:
    case GL_BLUE:
    case GL_ALPHA:
    case GL_LUMINANCE: components = 1; break;
    case GL_RG:
    case GL_LUMINANCE_ALPHA: components = 2; break;
    case GL_RGB:
    case GL_BGR: components = 3; break;
    case GL_RGBA:
    case GL_BGRA: components = 4; break;
    default: return 0;
    }
    switch (type) {
    case GL_UNSIGNED_BYTE:
    case GL_BYTE: return components;
    case GL_UNSIGNED_SHORT:
    case GL_SHORT:
    case GL_HALF_FLOAT: return components * 2;
    case GL_UNSIGNED_INT:
    case GL_INT:
    case GL_FLOAT: return components * 4;
    case GL_UNSIGNED_INT_8_8_8_8:
    case GL_UNSIGNED_INT_8_8_8_8_REV:
    case GL_UNSIGNED_INT_10_10_10_2:
    case GL_UNSIGNED_INT_2_10_10_10_REV: return components == 4 ? 4 : 0;
    case GL_UNSIGNED_SHORT_4_4_4_4:
    case GL_UNSIGNED_SHORT_4_4_4_4_REV:
    case GL_UNSIGNED_SHORT_5_5_5_1:
    case GL_UNSIGNED_SHORT_1_5_5_5_REV: return components == 4 ? 2 : 0;
    case GL_UNSIGNED_SHORT_5_6_5:
    case GL_UNSIGNED_SHORT_5_6_5_REV: return components == 3 ? 2 : 0;
    default: return 0;
    }
}

GLenum BindingQuery(GLenum target) {
    return target == GL_TEXTURE_2D ? GL_TEXTURE_BINDING_2D : GL_TEXTURE_BINDING_RECTANGLE;
}

// One surface texture.
struct Binding {
    IOSurfaceRef surface = nullptr;  // retained
    GLenum target = 0;
    GLenum format = 0;
    GLenum type = 0;
    GLsizei width = 0;
    GLsizei height = 0;
    GLint rowLength = 0;    // pixels from one row of the surface to the next
    uint32_t seed = 0;      // the surface's seed when texture and surface last agreed
    bool rendered = false;  // drawn into since then
    std::string label;

    Binding() = default;
    Binding(const Binding &) = delete;
    Binding &operator=(const Binding &) = delete;
    ~Binding() {
        if (surface != nullptr) CFRelease(surface);
    }
};

// Binds one texture to a target of the current context and sets the pixel-store state of
// a whole-surface transfer (rows rowLength pixels apart, byte aligned, no pixel buffer
// object), restoring everything at the end.
class TransferScope {
public:
    TransferScope(GLenum target, GLuint texture, GLint rowLength)
        : mTarget(target), mBound(BoundTexture(target, texture)),
          mPixelStore(CGLPixelStoreScope::kPackAndUnpack, rowLength, 1) {}
    ~TransferScope() { glBindTexture(mTarget, GLuint(mBound)); }
    TransferScope(const TransferScope &) = delete;
    TransferScope &operator=(const TransferScope &) = delete;

private:
    // Binds `texture` and answers what was bound before.
    static GLint BoundTexture(GLenum target, GLuint texture) {
        GLint bound = 0;
        glGetIntegerv(BindingQuery(target), &bound);
        if (GLuint(bound) != texture) glBindTexture(target, texture);
        return bound;
    }

    GLenum mTarget;
    GLint mBound;
    CGLPixelStoreScope mPixelStore;
};

void ClearErrors() {
    for (int i = 0; i < 64 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// Whether `texture` is still the texture that `binding` was made for, at the size it was
// made with (level 0 specified again at another size would overflow the surface).
bool IsStillBound(GLuint texture, const Binding &binding) {
    if (!glIsTexture(texture)) return false;
    char text[32];
    GLsizei length = 0;
    glGetObjectLabel(GL_TEXTURE, texture, GLsizei(sizeof text), &length, text);
    if (std::string_view(text, size_t(length > 0 ? length : 0)) != binding.label) return false;
    GLint previous = 0, width = 0, height = 0;
    glGetIntegerv(BindingQuery(binding.target), &previous);
    glBindTexture(binding.target, texture);
    glGetTexLevelParameteriv(binding.target, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(binding.target, 0, GL_TEXTURE_HEIGHT, &height);
    glBindTexture(binding.target, GLuint(previous));
    return width == binding.width && height == binding.height;
}

void Upload(GLuint texture, Binding &binding) {
    TransferScope scope(binding.target, texture, binding.rowLength);
    uint32_t seed = 0;
    IOSurfaceLock(binding.surface, kIOSurfaceLockReadOnly | kIOSurfaceLockAvoidSync, &seed);
    glTexSubImage2D(binding.target, 0, 0, 0, binding.width, binding.height, binding.format, binding.type,
                    IOSurfaceGetBaseAddress(binding.surface));
    IOSurfaceUnlock(binding.surface, kIOSurfaceLockReadOnly | kIOSurfaceLockAvoidSync, nullptr);
    binding.seed = seed;
}

void ReadBack(GLuint texture, Binding &binding) {
    TransferScope scope(binding.target, texture, binding.rowLength);
    uint32_t seed = 0;
    IOSurfaceLock(binding.surface, kIOSurfaceLockAvoidSync, nullptr);
    glGetTexImage(binding.target, 0, binding.format, binding.type, IOSurfaceGetBaseAddress(binding.surface));
    IOSurfaceUnlock(binding.surface, kIOSurfaceLockAvoidSync, &seed);
    binding.seed = seed;
    binding.rendered = false;
}

}  // namespace

struct cgl::SurfaceTextures {
    std::mutex mutex;
    std::unordered_map<GLuint, Binding> bindings;  // by texture name

    ~SurfaceTextures() { gBindings.fetch_sub(long(bindings.size()), std::memory_order_relaxed); }

    // Marks the surface textures attached to the draw framebuffer as drawn into.
    void markAttached() {
        GLint framebuffer = 0;
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer);
        if (framebuffer == 0) return;
        GLint attachments = 0;
        glGetIntegerv(GL_MAX_COLOR_ATTACHMENTS, &attachments);
        for (GLint i = 0; i < attachments; ++i) {
            const GLenum attachment = GLenum(GL_COLOR_ATTACHMENT0 + i);
            GLint type = GL_NONE, name = 0;
            glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, attachment,
                                                  GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
            if (type != GL_TEXTURE) continue;
            glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, attachment,
                                                  GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
            const auto found = bindings.find(GLuint(name));
            if (found != bindings.end()) found->second.rendered = true;
        }
    }

    // The sync point, for every binding or those of one surface; `readBackOnly` leaves
    // uploads for later (a CPU lock wants the surface current, not the texture).
    void sync(IOSurfaceRef only, bool readBackOnly) {
        std::lock_guard<std::mutex> guard(mutex);
        if (bindings.empty()) return;
        markAttached();
        for (auto it = bindings.begin(); it != bindings.end();) {
            Binding &binding = it->second;
            if (only != nullptr && !CFEqual(only, binding.surface)) {
                ++it;
                continue;
            }
            const bool needsReadBack = binding.rendered;
            const bool needsUpload =
                !needsReadBack && !readBackOnly && IOSurfaceGetSeed(binding.surface) != binding.seed;
            if (!IsStillBound(it->first, binding)) {
                it = bindings.erase(it);
                gBindings.fetch_sub(1, std::memory_order_relaxed);
                continue;
            }
            if (needsReadBack)
                ReadBack(it->first, binding);
            else if (needsUpload)
                Upload(it->first, binding);
            ++it;
        }
    }
};

namespace {

void SyncBeforeLock(IOSurfaceRef surface) {
    if (gBindings.load(std::memory_order_relaxed) == 0) return;
    if (CGLContextObj current = CGLGetCurrentContext())
        cgl::SurfaceTexturesOf(current).sync(surface, /*readBackOnly*/ true);
}

// Whether ctx is the calling thread's current context.
bool IsCurrent(CGLContextObj ctx) { return ctx != nullptr && CGLGetCurrentContext() == ctx; }

}  // namespace

std::shared_ptr<cgl::SurfaceTextures> cgl::NewSurfaceTextures() {
    static std::once_flag installed;
    std::call_once(installed, [] { iosurface::SetLockSyncHandler(SyncBeforeLock); });
    return std::make_shared<SurfaceTextures>();
}

void cgl::SyncSurfaceTextures(CGLContextObj context) {
    if (gBindings.load(std::memory_order_relaxed) == 0) return;
    SurfaceTexturesOf(context).sync(nullptr, /*readBackOnly*/ false);
}

CGLError CGLTexImageIOSurface2D(CGLContextObj ctx, GLenum target, GLenum internal_format, GLsizei width,
                                GLsizei height, GLenum format, GLenum type, IOSurfaceRef surface, GLuint plane) {
    if (!IsCurrent(ctx)) return kCGLBadContext;
    if ((target != GL_TEXTURE_2D && target != GL_TEXTURE_RECTANGLE) || plane != 0 || surface == nullptr ||
        CFGetTypeID(surface) != IOSurfaceGetTypeID())
        return kCGLBadValue;
    const unsigned pixelBytes = PixelBytes(format, type);
    const size_t rowBytes = IOSurfaceGetBytesPerRow(surface);
    if (pixelBytes == 0 || pixelBytes != IOSurfaceGetBytesPerElement(surface) || rowBytes % pixelBytes != 0 ||
        width <= 0 || height <= 0 || size_t(width) != IOSurfaceGetWidth(surface) ||
        size_t(height) != IOSurfaceGetHeight(surface))
        return kCGLBadValue;
    GLint texture = 0;
    glGetIntegerv(BindingQuery(target), &texture);
    if (texture == 0) return kCGLBadValue;  // the default texture is the context's own, not shared

    const GLint rowLength = GLint(rowBytes / pixelBytes);
    cgl::SurfaceTextures &group = cgl::SurfaceTexturesOf(ctx);
    std::lock_guard<std::mutex> guard(group.mutex);
    ClearErrors();
    uint32_t seed = 0;
    {
        TransferScope scope(target, GLuint(texture), rowLength);
        IOSurfaceLock(surface, kIOSurfaceLockReadOnly | kIOSurfaceLockAvoidSync, &seed);
        glTexImage2D(target, 0, GLint(internal_format), width, height, 0, format, type,
                     IOSurfaceGetBaseAddress(surface));
        IOSurfaceUnlock(surface, kIOSurfaceLockReadOnly | kIOSurfaceLockAvoidSync, nullptr);
    }
    if (glGetError() != GL_NO_ERROR) {
        ClearErrors();
        return kCGLBadValue;  // an internal format GL does not take with this format and type
    }
    const auto [slot, added] = group.bindings.try_emplace(GLuint(texture));
    if (added) gBindings.fetch_add(1, std::memory_order_relaxed);
    Binding &binding = slot->second;
    if (binding.surface != nullptr) CFRelease(binding.surface);
    binding.surface = static_cast<IOSurfaceRef>(const_cast<void *>(CFRetain(surface)));
    binding.target = target;
    binding.format = format;
    binding.type = type;
    binding.width = width;
    binding.height = height;
    binding.rowLength = rowLength;
    binding.seed = seed;
    binding.rendered = false;
    binding.label = "IOSurface " + std::to_string(gLabelSerial.fetch_add(1, std::memory_order_relaxed) + 1);
    glObjectLabel(GL_TEXTURE, GLuint(texture), -1, binding.label.c_str());
    return kCGLNoError;
}

CGLError CGLSyncIOSurfaceTextures(CGLContextObj ctx) {
    if (!IsCurrent(ctx)) return kCGLBadContext;
    cgl::SyncSurfaceTextures(ctx);
    return kCGLNoError;
}

CGLError CGLSetIOSurfaceTextureRendered(CGLContextObj ctx, GLuint texture) {
    if (!IsCurrent(ctx)) return kCGLBadContext;
    cgl::SurfaceTextures &group = cgl::SurfaceTexturesOf(ctx);
    std::lock_guard<std::mutex> guard(group.mutex);
    const auto found = group.bindings.find(texture);
    if (found == group.bindings.end()) return kCGLBadValue;
    found->second.rendered = true;
    return kCGLNoError;
}
