#include <CocoaGL/NSOGLCoreVideoTexture.h>
#include <CocoaGL/NSOGLSharingContext.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <CoreVideo/CVImageBuffer.h>
#include <CoreX/CoreMachDebugLog.h>

// ---- NSOGLCoreVideoTexture ------------------------------------------------------------------

NSOGLCoreVideoTexture::NSOGLCoreVideoTexture() : mMutex(std::make_shared<NSOGLRecursiveLock>()) {}

NSOGLCoreVideoTexture::~NSOGLCoreVideoTexture() {
    if (mTexture != nullptr) CVOpenGLTextureRelease(mTexture);
}

void NSOGLCoreVideoTexture::setTexture(CVOpenGLTextureRef texture) {
    std::lock_guard<std::recursive_mutex> guard(mSync);
    if (texture != nullptr) CVOpenGLTextureRetain(texture);
    if (mTexture != nullptr) CVOpenGLTextureRelease(mTexture);
    mTexture = texture;
    textureChanged();
}

CVOpenGLTextureRef NSOGLCoreVideoTexture::texture() const {
    std::lock_guard<std::recursive_mutex> guard(mSync);
    return mTexture;
}

CVOpenGLTextureRef NSOGLCoreVideoTexture::textureCopy() const {
    std::lock_guard<std::recursive_mutex> guard(mSync);
    return mTexture != nullptr ? CVOpenGLTextureRetain(mTexture) : nullptr;
}

CVOpenGLTextureRef NSOGLCoreVideoTexture::textureRef() const {
    CoreMachDebugLog("NSOGLCoreVideoTexture::textureRef WARNING - SHOULD USE textureCopy instead with CFRelease in client\n");
    return texture();
}

void NSOGLCoreVideoTexture::textureChanged() {
    std::lock_guard<std::recursive_mutex> guard(mSync);
    if (mTexture == nullptr) return;
    mTextureTarget = CVOpenGLTextureGetTarget(mTexture);
    mTextureName = CVOpenGLTextureGetName(mTexture);
    const CGSize size = CVImageBufferGetEncodedSize(mTexture);
    mTextureWidth = size.width > 0 ? uint32_t(size.width) : 0;
    mTextureHeight = size.height > 0 ? uint32_t(size.height) : 0;
    mFlipVertical = CVOpenGLTextureIsFlipped(mTexture);
    updateTextureCoords();
}

void NSOGLCoreVideoTexture::updateTextureCoords() {
    std::lock_guard<std::recursive_mutex> guard(mSync);
    const float width = float(mTextureWidth), height = float(mTextureHeight);
    mTextureCoordSMin = mFlipHorizontal ? width : 0;
    mTextureCoordSMax = mFlipHorizontal ? 0 : width;
    mTextureCoordTMin = mFlipVertical ? height : 0;
    mTextureCoordTMax = mFlipVertical ? 0 : height;
}

bool NSOGLCoreVideoTexture::upsideDown() const {
    std::lock_guard<std::recursive_mutex> guard(mSync);
    const bool flipped = mTexture != nullptr && CVOpenGLTextureIsFlipped(mTexture);
    return mFlipVertical != flipped;
}

void NSOGLCoreVideoTexture::setTextureName(GLuint textureName) { mTextureName = textureName; }
GLuint NSOGLCoreVideoTexture::textureName() const { return mTextureName; }
void NSOGLCoreVideoTexture::setTextureWidth(GLuint textureWidth) { mTextureWidth = textureWidth; }
GLuint NSOGLCoreVideoTexture::textureWidth() const { return mTextureWidth; }
void NSOGLCoreVideoTexture::setTextureHeight(GLuint textureHeight) { mTextureHeight = textureHeight; }
GLuint NSOGLCoreVideoTexture::textureHeight() const { return mTextureHeight; }
GLenum NSOGLCoreVideoTexture::textureTarget() const { return mTextureTarget; }

void NSOGLCoreVideoTexture::setFlipVertical(bool flipVertical) {
    std::lock_guard<std::recursive_mutex> guard(mSync);
    mFlipVertical = flipVertical;
    updateTextureCoords();
}

bool NSOGLCoreVideoTexture::flipVertical() const { return mFlipVertical; }

void NSOGLCoreVideoTexture::setFlipHorizontal(bool flipHorizontal) {
    std::lock_guard<std::recursive_mutex> guard(mSync);
    mFlipHorizontal = flipHorizontal;
    updateTextureCoords();
}

bool NSOGLCoreVideoTexture::flipHorizontal() const { return mFlipHorizontal; }

void NSOGLCoreVideoTexture::setTextureUpdateNeeded(bool) {}
bool NSOGLCoreVideoTexture::textureUpdateNeeded() const { return false; }
bool NSOGLCoreVideoTexture::textureUpdateWithTime(double) { return false; }
bool NSOGLCoreVideoTexture::textureUpdate(const QVariant &) { return false; }
bool NSOGLCoreVideoTexture::textureUpdate() { return false; }

float NSOGLCoreVideoTexture::textureCoordSMin() const { return mTextureCoordSMin; }
float NSOGLCoreVideoTexture::textureCoordSMax() const { return mTextureCoordSMax; }
float NSOGLCoreVideoTexture::textureCoordTMin() const { return mTextureCoordTMin; }
float NSOGLCoreVideoTexture::textureCoordTMax() const { return mTextureCoordTMax; }

void NSOGLCoreVideoTexture::textureWithMatrix(NSOGLQuadMatrixProtocol *matrix) const {
    if (CGLGetCurrentContext() == nullptr) return;
    if (matrix == nullptr) {
        glLoadIdentity();
        OpenGL::DiscardGLErrors();
    } else {
        matrix->applyTextureMatrix(this);
    }
}

void NSOGLCoreVideoTexture::lock() {
    if (auto lock = mutex()) lock->lock();
}

void NSOGLCoreVideoTexture::unlock() {
    if (auto lock = mutex()) lock->unlock();
}

bool NSOGLCoreVideoTexture::isTextureValid() const { return texture() != nullptr; }

std::shared_ptr<NSOGLRecursiveLock> NSOGLCoreVideoTexture::mutex() const {
    std::lock_guard<std::recursive_mutex> guard(mSync);
    return mMutex;
}

void NSOGLCoreVideoTexture::setMutex(std::shared_ptr<NSOGLRecursiveLock> mutex) {
    std::lock_guard<std::recursive_mutex> guard(mSync);
    mMutex = std::move(mutex);
}

// ---- NSOGLCVTextureCacheTexture -------------------------------------------------------------

CVOpenGLTextureCacheRef NSOGLCVTextureCacheTexture::createTextureCacheWithOpenGLContext(
    const NSOpenGLContext *context, const NSOpenGLPixelFormat *pixelFormat) {
    if (context == nullptr || pixelFormat == nullptr) return nullptr;
    CVOpenGLTextureCacheRef cache = nullptr;
    if (CVOpenGLTextureCacheCreate(kCFAllocatorDefault, nullptr, context->CGLContextObj(),
                                   pixelFormat->CGLPixelFormatObj(), nullptr, &cache) != kCVReturnSuccess) {
        return nullptr;
    }
    return cache;
}

CVOpenGLTextureCacheRef NSOGLCVTextureCacheTexture::createTextureCacheWithDefaultSharedContext() {
    const auto context = NSOGLSharingContext::rootSharingContext();
    const auto format = NSOGLSharingContext::defaultSharedPixelFormat();
    return createTextureCacheWithOpenGLContext(context.get(), format.get());
}

std::shared_ptr<NSOGLCVTextureCacheTexture> NSOGLCVTextureCacheTexture::textureWithTextureCache(
    CVOpenGLTextureCacheRef cache) {
    auto texture = std::make_shared<NSOGLCVTextureCacheTexture>();
    texture->initWithTextureCache(cache);
    return texture;
}

std::shared_ptr<NSOGLCVTextureCacheTexture> NSOGLCVTextureCacheTexture::textureWithOpenGLContext(
    const NSOpenGLContext *context, const NSOpenGLPixelFormat *pixelFormat) {
    CVOpenGLTextureCacheRef cache = createTextureCacheWithOpenGLContext(context, pixelFormat);
    if (cache == nullptr) return nullptr;
    auto texture = textureWithTextureCache(cache);
    CVOpenGLTextureCacheRelease(cache);  // the texture holds it
    return texture;
}

std::shared_ptr<NSOGLCVTextureCacheTexture> NSOGLCVTextureCacheTexture::textureWithDefaultSharedContext() {
    const auto context = NSOGLSharingContext::rootSharingContext();
    const auto format = NSOGLSharingContext::defaultTexturePixelFormat();
    return textureWithOpenGLContext(context.get(), format.get());
}

NSOGLCVTextureCacheTexture::NSOGLCVTextureCacheTexture() = default;

NSOGLCVTextureCacheTexture::~NSOGLCVTextureCacheTexture() {
    // The texture goes before its cache.
    setTexture(nullptr);
    setTextureCache(nullptr);
}

void NSOGLCVTextureCacheTexture::initWithTextureCache(CVOpenGLTextureCacheRef cache) { setTextureCache(cache); }

void NSOGLCVTextureCacheTexture::initWithNewTextureCacheUsingDefaultSharedContext() {
    CVOpenGLTextureCacheRef cache = createTextureCacheWithDefaultSharedContext();
    setTextureCache(cache);
    if (cache != nullptr) CVOpenGLTextureCacheRelease(cache);
}

bool NSOGLCVTextureCacheTexture::updateTextureWithPixelBuffer(CFTypeRef pixelBuffer, bool flushCache) {
    bool updated = false;
    if (pixelBuffer != nullptr) {
        lock();
        CFRetain(pixelBuffer);
        CVOpenGLTextureCacheRef cache = textureCacheCopy();
        if (CFGetTypeID(pixelBuffer) == CVPixelBufferGetTypeID() && cache != nullptr) {
            CVOpenGLTextureRef texture = nullptr;
            auto buffer = static_cast<CVPixelBufferRef>(const_cast<void *>(pixelBuffer));
            if (CVOpenGLTextureCacheCreateTextureFromImage(kCFAllocatorDefault, cache, buffer, nullptr, &texture) ==
                    kCVReturnSuccess &&
                texture != nullptr) {
                setTexture(texture);
                CVOpenGLTextureRelease(texture);
                updated = true;
            }
        }
        if (cache != nullptr) CVOpenGLTextureCacheRelease(cache);
        CFRelease(pixelBuffer);
        unlock();
    }
    if (flushCache) {
        if (CVOpenGLTextureCacheRef cache = textureCacheCopy(); cache != nullptr) {
            CVOpenGLTextureCacheFlush(cache, 0);
            CVOpenGLTextureCacheRelease(cache);
        }
    }
    return updated;
}

bool NSOGLCVTextureCacheTexture::isTextureValid() const { return texture() != nullptr && textureCache() != nullptr; }

CVOpenGLTextureCacheRef NSOGLCVTextureCacheTexture::textureCache() const {
    std::lock_guard<std::recursive_mutex> guard(mSync);
    return mTextureCache;
}

CVOpenGLTextureCacheRef NSOGLCVTextureCacheTexture::textureCacheCopy() const {
    std::lock_guard<std::recursive_mutex> guard(mSync);
    return mTextureCache != nullptr ? CVOpenGLTextureCacheRetain(mTextureCache) : nullptr;
}

void NSOGLCVTextureCacheTexture::setTextureCache(CVOpenGLTextureCacheRef cache) {
    std::lock_guard<std::recursive_mutex> guard(mSync);
    if (cache != nullptr) CVOpenGLTextureCacheRetain(cache);
    if (mTextureCache != nullptr) CVOpenGLTextureCacheRelease(mTextureCache);
    mTextureCache = cache;
}

bool import_NSOGLCoreVideoTexture() { return import_NSOGLSharingContext(); }
