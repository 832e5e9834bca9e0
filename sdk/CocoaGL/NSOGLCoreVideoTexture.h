// NSOGLCoreVideoTexture: a Core Video OpenGL texture (CVOpenGLTextureRef) seen as a texture of
// the kit: its target, name, size in pixels, flips and coordinates. The coordinates are in
// pixels (the textures are rectangle textures), S from 0 to the width and T from 0 to the
// height, each run the other way on a flipped axis. A Core Video texture whose image's top row
// is its row 0 counts as flipped vertically, so it is drawn upright.
//
// NSOGLCVTextureCacheTexture makes such textures from pixel buffers through a texture cache
// (CVOpenGLTextureCacheRef) of a context, by default the root sharing context: camera frames
// arrive this way, on capture threads, and are drawn on other threads.
//
//     auto texture = NSOGLCVTextureCacheTexture::textureWithDefaultSharedContext();
//     texture->updateTextureWithPixelBuffer(pixelBuffer);
//     texture->lock(); ... draw texture->textureName() ... texture->unlock();
//
// Threads. The fields are read and replaced under the object's synchronisation; the recursive
// lock (lock / unlock) serialises a pixel-buffer update against a reader that holds it while
// drawing. Core Video textures are not updated by the update chain: every textureUpdate
// answers false.
#pragma once

#include <CocoaGL/NSOGLTextureBase.h>

#include <CoreVideo/CVOpenGLTextureCache.h>
#include <CoreVideo/CVPixelBuffer.h>
#include <OpenGL/NSOpenGL.h>

#include <cstdint>
#include <memory>
#include <mutex>

class NSOGLCoreVideoTexture : public protocol_NSOGLDynamicTexture {
public:
    // No texture, a new recursive lock.
    NSOGLCoreVideoTexture();
    ~NSOGLCoreVideoTexture() override;
    NSOGLCoreVideoTexture(const NSOGLCoreVideoTexture &) = delete;
    NSOGLCoreVideoTexture &operator=(const NSOGLCoreVideoTexture &) = delete;

    // Retains the new texture, releases the old one, then textureChanged().
    void setTexture(CVOpenGLTextureRef texture);
    // The texture, not retained (null when none).
    CVOpenGLTextureRef texture() const;
    // The texture retained for the caller (CVOpenGLTextureRelease); null when none.
    CVOpenGLTextureRef textureCopy() const;
    // texture(), after logging that textureCopy() is the safe form.
    CVOpenGLTextureRef textureRef() const;

    // With a texture: target and name from it, width and height its image's encoded size
    // (truncated), flipVertical its flipped state, then the coordinates.
    void textureChanged();
    // S from 0 to the width (the width to 0 when flipped horizontally), T from 0 to the
    // height (the height to 0 when flipped vertically).
    void updateTextureCoords();
    // Whether flipVertical differs from the Core Video texture's own flipped state.
    bool upsideDown() const;

    // ---- protocol_NSOGLDynamicTexture ----
    void setTextureName(GLuint textureName) override;
    GLuint textureName() const override;
    void setTextureWidth(GLuint textureWidth) override;
    GLuint textureWidth() const override;
    void setTextureHeight(GLuint textureHeight) override;
    GLuint textureHeight() const override;
    // Set the flag and update the coordinates.
    void setFlipVertical(bool flipVertical) override;
    bool flipVertical() const override;
    void setFlipHorizontal(bool flipHorizontal) override;
    bool flipHorizontal() const override;
    // Does nothing; textureUpdateNeeded() is false.
    void setTextureUpdateNeeded(bool textureUpdateNeeded) override;
    bool textureUpdateNeeded() const override;
    void lock() override;
    void unlock() override;
    bool textureUpdateWithTime(double seconds) override;
    bool textureUpdate(const QVariant &time) override;
    bool textureUpdate() override;
    float textureCoordSMin() const override;
    float textureCoordSMax() const override;
    float textureCoordTMin() const override;
    float textureCoordTMax() const override;

    GLenum textureTarget() const;
    // Null loads the identity into the current matrix; otherwise the matrix's
    // applyTextureMatrix with this texture.
    void textureWithMatrix(NSOGLQuadMatrixProtocol *matrix) const;

    // A texture is set.
    virtual bool isTextureValid() const;

    std::shared_ptr<NSOGLRecursiveLock> mutex() const;
    void setMutex(std::shared_ptr<NSOGLRecursiveLock> mutex);

protected:
    mutable std::recursive_mutex mSync;  // the object's synchronisation

private:
    CVOpenGLTextureRef mTexture = nullptr;  // retained
    uint32_t mTextureWidth = 0;
    uint32_t mTextureHeight = 0;
    float mTextureCoordSMin = 0, mTextureCoordSMax = 0, mTextureCoordTMin = 0, mTextureCoordTMax = 0;
    uint32_t mTextureTarget = 0;
    uint32_t mTextureName = 0;
    bool mFlipVertical = false;
    bool mFlipHorizontal = false;
    std::shared_ptr<NSOGLRecursiveLock> mMutex;
};

class NSOGLCVTextureCacheTexture : public NSOGLCoreVideoTexture {
public:
    // A new cache (owned by the caller) for the context's CGL context and the format's CGL
    // pixel format; null for a null argument or when Core Video refuses.
    static CVOpenGLTextureCacheRef createTextureCacheWithOpenGLContext(const NSOpenGLContext *context,
                                                                       const NSOpenGLPixelFormat *pixelFormat);
    // The same for the root sharing context and the shared (role 0) pixel format.
    static CVOpenGLTextureCacheRef createTextureCacheWithDefaultSharedContext();

    // A texture holding the cache (which may be null).
    static std::shared_ptr<NSOGLCVTextureCacheTexture> textureWithTextureCache(CVOpenGLTextureCacheRef cache);
    // A texture with a new cache for the context and format; null for a null argument or
    // when no cache could be made.
    static std::shared_ptr<NSOGLCVTextureCacheTexture> textureWithOpenGLContext(const NSOpenGLContext *context,
                                                                                const NSOpenGLPixelFormat *pixelFormat);
    // textureWithOpenGLContext with the root sharing context and the texture (role 2) format.
    static std::shared_ptr<NSOGLCVTextureCacheTexture> textureWithDefaultSharedContext();

    NSOGLCVTextureCacheTexture();
    ~NSOGLCVTextureCacheTexture() override;

    // Retains the cache.
    void initWithTextureCache(CVOpenGLTextureCacheRef cache);
    // A new cache of the root sharing context (createTextureCacheWithDefaultSharedContext).
    void initWithNewTextureCacheUsingDefaultSharedContext();

    // Under the texture's lock: a texture of the pixel buffer through the cache becomes the
    // texture (name, target, size, flip and coordinates follow). False for null, for an object
    // that is not a pixel buffer, without a cache or when Core Video refuses; the previous
    // texture is kept then. With `flushCache`, the cache is flushed afterwards.
    bool updateTextureWithPixelBuffer(CFTypeRef pixelBuffer, bool flushCache);
    bool updateTextureWithPixelBuffer(CFTypeRef pixelBuffer) { return updateTextureWithPixelBuffer(pixelBuffer, true); }

    // A texture and a cache are set.
    bool isTextureValid() const override;

    // The cache, not retained.
    CVOpenGLTextureCacheRef textureCache() const;
    // The cache retained for the caller (CVOpenGLTextureCacheRelease); null when none.
    CVOpenGLTextureCacheRef textureCacheCopy() const;
    // Retains the new cache and releases the old one.
    void setTextureCache(CVOpenGLTextureCacheRef cache);

private:
    CVOpenGLTextureCacheRef mTextureCache = nullptr;  // retained
};

bool import_NSOGLCoreVideoTexture();
