// OpenGL texture caches: pixel buffers into rectangle textures of the cache's share group.

#include <CoreVideo/CVImageBuffer.h>
#include <CoreVideo/CVOpenGLTextureCache.h>

#include <CoreFoundation/CFRuntime.h>
#include <OpenGL/CGLIOSurface.h>
#include <OpenGL/CGLPixelStore.h>
#include <OpenGL/gl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

struct __CVOpenGLTextureCache final : cf::Object {
    __CVOpenGLTextureCache() : cf::Object(CVOpenGLTextureCacheGetTypeID()) {}
    ~__CVOpenGLTextureCache() override;

    // Deletes the released textures' names; the cache's context is current.
    void deleteReleased() {
        std::vector<GLuint> names;
        {
            std::lock_guard<std::mutex> guard(mutex);
            names.swap(released);
        }
        if (!names.empty()) glDeleteTextures(GLsizei(names.size()), names.data());
    }

    CGLContextObj context = nullptr;          // retained
    CGLPixelFormatObj pixelFormat = nullptr;  // retained
    std::mutex mutex;
    std::vector<GLuint> released;  // names of released textures, deleted with the context current
};

// A texture is an image buffer: it answers CVBufferRetain and CVBufferRelease.
struct __CVOpenGLTexture final : cf::Object {
    __CVOpenGLTexture() : cf::Object(CVOpenGLTextureGetTypeID()) {}
    ~__CVOpenGLTexture() override {
        {
            std::lock_guard<std::mutex> guard(cache->mutex);
            cache->released.push_back(name);
        }
        CFRelease(static_cast<CFTypeRef>(cache));
        CVBufferRelease(image);
    }

    __CVOpenGLTextureCache *cache = nullptr;  // retained
    CVImageBufferRef image = nullptr;         // retained
    GLuint name = 0;
    size_t width = 0;
    size_t height = 0;
};

namespace {

__CVOpenGLTexture *TextureOf(CVOpenGLTextureRef image) {
    return cf::As<__CVOpenGLTexture>(image, CVOpenGLTextureGetTypeID());
}

__CVOpenGLTextureCache *CacheOf(CVOpenGLTextureCacheRef cache) {
    return cf::As<__CVOpenGLTextureCache>(cache, CVOpenGLTextureCacheGetTypeID());
}

// The cache's context current on this thread for the scope (when another context, or none,
// was), and the previous one current again after it.
class ContextScope {
public:
    explicit ContextScope(CGLContextObj context) : mPrevious(CGLGetCurrentContext()) {
        if (mPrevious == context) return;
        if (mPrevious != nullptr) CGLRetainContext(mPrevious);
        mSwitched = true;
        mOK = CGLSetCurrentContext(context) == kCGLNoError;
    }
    ~ContextScope() {
        if (!mSwitched) return;
        if (mOK) CGLSetCurrentContext(mPrevious);
        CGLReleaseContext(mPrevious);
    }
    ContextScope(const ContextScope &) = delete;
    ContextScope &operator=(const ContextScope &) = delete;
    bool ok() const { return mOK; }

private:
    CGLContextObj mPrevious;
    bool mSwitched = false;
    bool mOK = true;
};

uint8_t Clamp(int value) { return uint8_t(value < 0 ? 0 : value > 255 ? 255 : value); }

// One row of '2vuy' (U Y0 V Y1 for each pair of pixels) into 'BGRA', ITU-R BT.601 video
// range, in 16.16 fixed point.
void ConvertRow2vuy(const uint8_t *from, uint8_t *to, size_t width) {
    for (size_t x = 0; x < width; x += 2, from += 4) {
        const int u = from[0] - 128, v = from[2] - 128;
        const int red = 104597 * v, green = -25675 * u - 53279 * v, blue = 132201 * u;
        for (size_t i = 0; i < 2 && x + i < width; ++i, to += 4) {
            const int luma = 76309 * (from[1 + 2 * i] - 16) + 32768;
            to[0] = Clamp((luma + blue) >> 16);
            to[1] = Clamp((luma + green) >> 16);
            to[2] = Clamp((luma + red) >> 16);
            to[3] = 0xFF;
        }
    }
}

// Uploads a locked pixel buffer into level 0 of the texture bound to the rectangle target.
// False when GL refuses it.
bool UploadPixels(CVPixelBufferRef buffer) {
    const OSType format = CVPixelBufferGetPixelFormatType(buffer);
    const size_t width = CVPixelBufferGetWidth(buffer), height = CVPixelBufferGetHeight(buffer);
    const size_t rowBytes = CVPixelBufferGetBytesPerRow(buffer);
    const uint8_t *base = static_cast<const uint8_t *>(CVPixelBufferGetBaseAddress(buffer));
    const GLenum type =
        format == kCVPixelFormatType_32ARGB ? GL_UNSIGNED_INT_8_8_8_8 : GL_UNSIGNED_INT_8_8_8_8_REV;
    std::vector<uint8_t> converted;
    const uint8_t *pixels = base;
    GLint rowLength = GLint(rowBytes / 4);
    if (format == kCVPixelFormatType_422YpCbCr8) {
        converted.resize(width * height * 4);
        for (size_t y = 0; y < height; ++y) ConvertRow2vuy(base + y * rowBytes, &converted[y * width * 4], width);
        pixels = converted.data();
        rowLength = GLint(width);
    } else if (rowBytes % 4 != 0) {
        converted.resize(width * height * 4);
        for (size_t y = 0; y < height; ++y) std::memcpy(&converted[y * width * 4], base + y * rowBytes, width * 4);
        pixels = converted.data();
        rowLength = GLint(width);
    }
    {
        CGLPixelStoreScope pixelStore(CGLPixelStoreScope::kUnpack, rowLength, 1);
        glTexImage2D(GL_TEXTURE_RECTANGLE, 0, GL_RGBA8, GLsizei(width), GLsizei(height), 0, GL_BGRA, type, pixels);
    }
    return glGetError() == GL_NO_ERROR;
}

}  // namespace

__CVOpenGLTextureCache::~__CVOpenGLTextureCache() {
    if (!released.empty()) {
        ContextScope scope(context);
        if (scope.ok()) deleteReleased();  // else the process exits, and its textures with it
    }
    CGLReleaseContext(context);
    CGLReleasePixelFormat(pixelFormat);
}

CFTypeID CVOpenGLTextureGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CVOpenGLTexture");
    return type;
}

CVOpenGLTextureRef CVOpenGLTextureRetain(CVOpenGLTextureRef texture) { return CVBufferRetain(texture); }
void CVOpenGLTextureRelease(CVOpenGLTextureRef texture) { CVBufferRelease(texture); }

GLenum CVOpenGLTextureGetTarget(CVOpenGLTextureRef image) {
    return TextureOf(image) != nullptr ? GLenum(GL_TEXTURE_RECTANGLE) : 0;
}

GLuint CVOpenGLTextureGetName(CVOpenGLTextureRef image) {
    const __CVOpenGLTexture *texture = TextureOf(image);
    return texture != nullptr ? texture->name : 0;
}

Boolean CVOpenGLTextureIsFlipped(CVOpenGLTextureRef image) { return TextureOf(image) != nullptr; }

CGSize CVImageBufferGetEncodedSize(CVImageBufferRef imageBuffer) {
    if (const __CVOpenGLTexture *texture = TextureOf(imageBuffer))
        return CGSize{CGFloat(texture->width), CGFloat(texture->height)};
    return CGSize{CGFloat(CVPixelBufferGetWidth(imageBuffer)), CGFloat(CVPixelBufferGetHeight(imageBuffer))};
}

CFTypeID CVOpenGLTextureCacheGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CVOpenGLTextureCache");
    return type;
}

CVReturn CVOpenGLTextureCacheCreate(CFAllocatorRef, CFDictionaryRef, CGLContextObj cglContext,
                                    CGLPixelFormatObj cglPixelFormat, CFDictionaryRef,
                                    CVOpenGLTextureCacheRef *cacheOut) {
    if (cacheOut == nullptr) return kCVReturnInvalidArgument;
    *cacheOut = nullptr;
    if (cglContext == nullptr || cglPixelFormat == nullptr) return kCVReturnInvalidArgument;
    auto *cache = new __CVOpenGLTextureCache;
    cache->context = CGLRetainContext(cglContext);
    cache->pixelFormat = CGLRetainPixelFormat(cglPixelFormat);
    *cacheOut = cache;
    return kCVReturnSuccess;
}

CVOpenGLTextureCacheRef CVOpenGLTextureCacheRetain(CVOpenGLTextureCacheRef textureCache) {
    if (textureCache != nullptr) CFRetain(textureCache);
    return textureCache;
}

void CVOpenGLTextureCacheRelease(CVOpenGLTextureCacheRef textureCache) {
    if (textureCache != nullptr) CFRelease(textureCache);
}

CVReturn CVOpenGLTextureCacheCreateTextureFromImage(CFAllocatorRef, CVOpenGLTextureCacheRef textureCache,
                                                    CVImageBufferRef sourceImage, CFDictionaryRef,
                                                    CVOpenGLTextureRef *textureOut) {
    if (textureOut == nullptr) return kCVReturnInvalidArgument;
    *textureOut = nullptr;
    __CVOpenGLTextureCache *cache = CacheOf(textureCache);
    if (cache == nullptr || sourceImage == nullptr || CFGetTypeID(sourceImage) != CVPixelBufferGetTypeID())
        return kCVReturnInvalidArgument;
    ContextScope scope(cache->context);
    if (!scope.ok()) return kCVReturnError;
    cache->deleteReleased();

    const OSType format = CVPixelBufferGetPixelFormatType(sourceImage);
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE, &previous);
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_RECTANGLE, name);
    glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    bool made = false;
    if (IOSurfaceRef surface = CVPixelBufferGetIOSurface(sourceImage);
        surface != nullptr && format != kCVPixelFormatType_422YpCbCr8) {
        made = CGLTexImageIOSurface2D(cache->context, GL_TEXTURE_RECTANGLE, GL_RGBA8,
                                      GLsizei(CVPixelBufferGetWidth(sourceImage)),
                                      GLsizei(CVPixelBufferGetHeight(sourceImage)), GL_BGRA,
                                      format == kCVPixelFormatType_32ARGB ? GL_UNSIGNED_INT_8_8_8_8
                                                                          : GL_UNSIGNED_INT_8_8_8_8_REV,
                                      surface, 0) == kCGLNoError;
    }
    // Buffers in memory, '2vuy' and surfaces whose elements are not the pixels.
    if (!made && CVPixelBufferLockBaseAddress(sourceImage, kCVPixelBufferLock_ReadOnly) == kCVReturnSuccess) {
        made = UploadPixels(sourceImage);
        CVPixelBufferUnlockBaseAddress(sourceImage, kCVPixelBufferLock_ReadOnly);
    }
    glBindTexture(GL_TEXTURE_RECTANGLE, GLuint(previous));
    if (!made) {
        glDeleteTextures(1, &name);
        return kCVReturnAllocationFailed;
    }

    auto *texture = new __CVOpenGLTexture;
    texture->cache = static_cast<__CVOpenGLTextureCache *>(const_cast<void *>(CFRetain(textureCache)));
    texture->image = CVBufferRetain(sourceImage);
    texture->name = name;
    texture->width = CVPixelBufferGetWidth(sourceImage);
    texture->height = CVPixelBufferGetHeight(sourceImage);
    *textureOut = reinterpret_cast<CVOpenGLTextureRef>(static_cast<cf::Object *>(texture));
    return kCVReturnSuccess;
}

void CVOpenGLTextureCacheFlush(CVOpenGLTextureCacheRef textureCache, CVOptionFlags) {
    __CVOpenGLTextureCache *cache = CacheOf(textureCache);
    if (cache == nullptr) return;
    {
        std::lock_guard<std::mutex> guard(cache->mutex);
        if (cache->released.empty()) return;
    }
    ContextScope scope(cache->context);
    if (scope.ok()) cache->deleteReleased();
}
