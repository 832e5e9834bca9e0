#include <CocoaGL/NSOGLTextureBase.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <OpenGL/glext.h>

#include <cstdio>

// ---- NSOGLRecursiveLock -------------------------------------------------------------------------

void NSOGLRecursiveLock::lock() {
    std::unique_lock<std::mutex> guard(mMutex);
    const std::thread::id self = std::this_thread::get_id();
    if (mCount != 0 && mOwner == self) {
        ++mCount;
        return;
    }
    mReleased.wait(guard, [this] { return mCount == 0; });
    mOwner = self;
    mCount = 1;
}

bool NSOGLRecursiveLock::tryLock() {
    std::lock_guard<std::mutex> guard(mMutex);
    const std::thread::id self = std::this_thread::get_id();
    if (mCount != 0 && mOwner != self) return false;
    mOwner = self;
    ++mCount;
    return true;
}

bool NSOGLRecursiveLock::unlock() {
    std::lock_guard<std::mutex> guard(mMutex);
    if (mCount == 0 || mOwner != std::this_thread::get_id()) return false;
    if (--mCount == 0) {
        mOwner = std::thread::id();
        mReleased.notify_one();
    }
    return true;
}

// ---- Creation and release -------------------------------------------------------------------------

namespace {

bool IsTextureTarget(GLenum target) { return target == GL_TEXTURE_2D || target == GL_TEXTURE_RECTANGLE_EXT; }

bool IsRealName(GLuint name) { return name != 0 && name != NSOGLTextureBase::kNoTextureName; }

}  // namespace

NSOGLTextureBase::NSOGLTextureBase() = default;

NSOGLTextureBase::~NSOGLTextureBase() { releaseTextureName(); }

void NSOGLTextureBase::initWithTextureTarget(GLenum target, GLuint width, GLuint height) {
    mTextureTarget = target;
    mTextureWidth = width;
    mTextureHeight = height;
    mTextureName = kNoTextureName;
    if (!IsTextureTarget(target)) return;
    createTextureID();
    setTextureUpdateNeeded(true);
    textureUpdate();
}

void NSOGLTextureBase::initWithTextureTarget(GLenum target, GLuint width, GLuint height, NSOpenGLContext *) {
    initWithTextureTarget(target, width, height);
}

void NSOGLTextureBase::init() { initWithTextureTarget(GL_TEXTURE_2D, 0, 0); }

void NSOGLTextureBase::initWithTextureName(GLuint name, GLenum target, GLuint width, GLuint height,
                                           bool needsUpdate) {
    mTextureTarget = target;
    mTextureWidth = width;
    mTextureHeight = height;
    setTextureName(name);
    setTextureUpdateNeeded(needsUpdate);
    if (needsUpdate) textureUpdate();
}

std::string NSOGLTextureBase::description() const {
    char text[128];
    std::snprintf(text, sizeof text, "NSOGLTextureBase{name:%d target:%d (%dx%d)}", int(mTextureName),
                  int(mTextureTarget), int(mTextureWidth), int(mTextureHeight));
    return text;
}

void NSOGLTextureBase::setTextureName(GLuint textureName) {
    mTextureName = textureName;
    if (IsRealName(textureName) && textureShareContext() == nullptr) setTextureShareContext(CGLGetCurrentContext());
}

CGLContextObj NSOGLTextureBase::textureShareContext() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mShareContext;
}

void NSOGLTextureBase::setTextureShareContext(CGLContextObj context) {
    if (context != nullptr) CGLRetainContext(context);
    CGLContextObj previous = nullptr;
    {
        std::lock_guard<std::mutex> guard(mPropertyLock);
        previous = mShareContext;
        mShareContext = context;
    }
    if (previous != nullptr) CGLReleaseContext(previous);
}

void NSOGLTextureBase::releaseTextureName() {
    const GLuint name = mTextureName;
    mTextureName = kNoTextureName;
    CGLContextObj owner = nullptr;
    {
        std::lock_guard<std::mutex> guard(mPropertyLock);
        owner = mShareContext;
        mShareContext = nullptr;
    }
    if (IsRealName(name)) {
        CGLContextObj current = CGLGetCurrentContext();
        CGLContextObj context = owner != nullptr ? owner : current;
        if (context != nullptr && CGLLockContext(context) == kCGLNoError) {
            // The owner is made current only for the deletion; the caller's context (or none)
            // is current again afterwards.
            const bool switched = context != current;
            if (!switched || CGLSetCurrentContext(context) == kCGLNoError) {
                OpenGL::DiscardGLErrors();
                glDeleteTextures(1, &name);
                OpenGL::DiscardGLErrors();
                if (switched) CGLSetCurrentContext(current);
            }
            CGLUnlockContext(context);
        }
    }
    if (owner != nullptr) CGLReleaseContext(owner);
}

// ---- Locking ---------------------------------------------------------------------------------------

std::shared_ptr<NSOGLRecursiveLock> NSOGLTextureBase::optionalMutex() const {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    return mOptionalMutex;
}

void NSOGLTextureBase::setOptionalMutex(std::shared_ptr<NSOGLRecursiveLock> mutex) {
    std::lock_guard<std::mutex> guard(mPropertyLock);
    mOptionalMutex = std::move(mutex);
}

namespace {

std::shared_ptr<NSOGLRecursiveLock> MadeLock(std::mutex &guardLock, std::shared_ptr<NSOGLRecursiveLock> &lock) {
    std::lock_guard<std::mutex> guard(guardLock);
    if (lock == nullptr) lock = std::make_shared<NSOGLRecursiveLock>();
    return lock;
}

}  // namespace

void NSOGLTextureBase::lock() { MadeLock(mPropertyLock, mOptionalMutex)->lock(); }

bool NSOGLTextureBase::tryLock() { return MadeLock(mPropertyLock, mOptionalMutex)->tryLock(); }

void NSOGLTextureBase::unlock() {
    if (const auto mutex = optionalMutex()) mutex->unlock();
}

// ---- Coordinates -----------------------------------------------------------------------------------

float NSOGLTextureBase::targetTextureCoordSMin() const { return 0.0f; }

float NSOGLTextureBase::targetTextureCoordSMax() const {
    return mTextureTarget == GL_TEXTURE_RECTANGLE_EXT ? float(mTextureWidth) : 1.0f;
}

float NSOGLTextureBase::targetTextureCoordTMin() const { return 0.0f; }

float NSOGLTextureBase::targetTextureCoordTMax() const {
    return mTextureTarget == GL_TEXTURE_RECTANGLE_EXT ? float(mTextureHeight) : 1.0f;
}

float NSOGLTextureBase::textureCoordSMin() const {
    return mFlipHorizontal ? targetTextureCoordSMax() : targetTextureCoordSMin();
}

float NSOGLTextureBase::textureCoordSMax() const {
    return mFlipHorizontal ? targetTextureCoordSMin() : targetTextureCoordSMax();
}

float NSOGLTextureBase::textureCoordTMin() const {
    return mFlipVertical ? targetTextureCoordTMax() : targetTextureCoordTMin();
}

float NSOGLTextureBase::textureCoordTMax() const {
    return mFlipVertical ? targetTextureCoordTMin() : targetTextureCoordTMax();
}

NSSize NSOGLTextureBase::textureSize() const { return NSMakeSize(double(mTextureWidth), double(mTextureHeight)); }

// ---- Update chain ----------------------------------------------------------------------------------

bool NSOGLTextureBase::textureUpdateWithTime(double seconds) { return textureUpdate(QVariant(seconds)); }

bool NSOGLTextureBase::textureUpdate(const QVariant &) { return textureUpdate(); }

bool NSOGLTextureBase::textureUpdate() { return textureUpdateDefault(); }

bool NSOGLTextureBase::textureUpdateDefault() { return textureUpdateTransparent_GL_RGBA(); }

// ---- GL set-up -------------------------------------------------------------------------------------

GLenum NSOGLTextureBase::textureBindingQuery() const {
    return mTextureTarget == GL_TEXTURE_RECTANGLE_EXT ? GL_TEXTURE_BINDING_RECTANGLE_EXT : GL_TEXTURE_BINDING_2D;
}

void NSOGLTextureBase::createTextureID() {
    CGLContextObj current = CGLGetCurrentContext();
    if (current == nullptr) return;
    OpenGL::CGLContextStateLock scope(current);
    OpenGL::DiscardGLErrors();
    GLuint name = 0;
    glGenTextures(1, &name);
    OpenGL::DiscardGLErrors();
    if (name == 0) return;
    releaseTextureName();  // a texture made again lets its previous name go
    mTextureName = name;
    setTextureShareContext(current);
    GLint saved = 0;
    glGetIntegerv(textureBindingQuery(), &saved);
    OpenGL::DiscardGLErrors();
    glBindTexture(mTextureTarget, name);
    OpenGL::DiscardGLErrors();
    initTextureProperties();
    OpenGL::DiscardGLErrors();
    glBindTexture(mTextureTarget, GLuint(saved));
    OpenGL::DiscardGLErrors();
}

void NSOGLTextureBase::initTextureProperties() {
    glTexParameteri(mTextureTarget, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(mTextureTarget, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    const GLint wrap = mTextureTarget == GL_TEXTURE_RECTANGLE_EXT ? GL_CLAMP_TO_BORDER : GL_REPEAT;
    glTexParameteri(mTextureTarget, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(mTextureTarget, GL_TEXTURE_WRAP_T, wrap);
    OpenGL::DiscardGLErrors();
}

bool NSOGLTextureBase::textureUpdateNull() {
    CGLContextObj current = CGLGetCurrentContext();
    if (current == nullptr || !IsRealName(mTextureName)) return false;
    OpenGL::CGLContextStateLock scope(current);
    OpenGL::DiscardGLErrors();
    GLint saved = 0;
    glGetIntegerv(textureBindingQuery(), &saved);
    glBindTexture(mTextureTarget, mTextureName);
    OpenGL::DiscardGLErrors();
    glTexImage2D(mTextureTarget, 0, GL_RGBA, GLsizei(mTextureWidth), GLsizei(mTextureHeight), 0, GL_BGRA,
                 GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    const bool made = glGetError() == GL_NO_ERROR;
    OpenGL::DiscardGLErrors();
    glBindTexture(mTextureTarget, GLuint(saved));
    OpenGL::DiscardGLErrors();
    setTextureUpdateNeeded(false);
    return made;
}

void NSOGLTextureBase::textureClampToTransparentBorder(const NSOGLTextureBase *texture, CGLContextObj context) {
    if (texture == nullptr) return;
    OpenGL::CGLContextState scope(context);
    if (CGLGetCurrentContext() == nullptr) return;
    const GLenum target = texture->textureTarget();
    const GLfloat border[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glTexParameterfv(target, GL_TEXTURE_BORDER_COLOR, border);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_BORDER);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_BORDER);
    OpenGL::DiscardGLErrors();
}

void NSOGLTextureBase::textureWithMatrix(NSOGLQuadMatrixProtocol *matrix) const {
    if (matrix == nullptr) {
        if (CGLGetCurrentContext() == nullptr) return;
        glLoadIdentity();
        OpenGL::DiscardGLErrors();
        return;
    }
    matrix->applyTextureMatrix(this);
}

bool import_NSOGLTextureBase() { return true; }
