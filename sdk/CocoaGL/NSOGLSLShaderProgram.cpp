#include "NSOGLSLShaderProgram.h"

#include "NSOGLSharingContext.h"

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <CoreG/GL/namespace_OpenGL_GLSLShaderProgram.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSException.h>

#include <QColor>

using OpenGL::DiscardGLErrors;

// ---- NSOGLSLShaderProgramObject ------------------------------------------------------------

NSOGLSLShaderProgramObject::NSOGLSLShaderProgramObject() = default;

namespace {

// Deletes a program record with the context it was made in current and locked, then lets
// the context go.
void DisposeRecord(std::unique_ptr<OpenGL::GLSLShaderProgram> record, CGLContextObj context) {
    if (record != nullptr && record->GetProgramObject() != 0 && context != nullptr) {
        const OpenGL::CGLContextStateLock scope(context);
        record.reset();
    }
    record.reset();
    if (context != nullptr) CGLReleaseContext(context);
}

}  // namespace

NSOGLSLShaderProgramObject::~NSOGLSLShaderProgramObject() {
    DisposeRecord(std::move(mShaderProgram), mShareContext);
}

void NSOGLSLShaderProgramObject::prepareRecord() {
    const std::lock_guard lock(mMutex);
    if (mShaderProgram == nullptr) mShaderProgram.reset(OpenGL::GLSLShaderProgram::Create());
}

bool NSOGLSLShaderProgramObject::initWithResourceName(const std::string &name,
                                                      NSOGLShaderSourceCodeClassRef sourceClass) {
    prepareRecord();
    if (OpenGL::GLSLShaderProgram::CheckExtensions()) return false;
    if (sourceClass == nullptr) sourceClass = NSOGLShaderSourceCode::sourceCodeClass();
    auto source = sourceClass->shaderSourceCodeWithShaderName(name);
    if (source == nullptr) return false;
    setShaderSource(std::move(source));
    return compileLinkNewProgramObject();
}

bool NSOGLSLShaderProgramObject::initWithVertexShader(const std::string &vertexShader,
                                                      const std::string &fragmentShader) {
    prepareRecord();
    if (OpenGL::GLSLShaderProgram::CheckExtensions()) return false;
    setShaderSource(NSOGLShaderSourceCode::shaderSourceCodeWithVertexShader(vertexShader, fragmentShader));
    return compileLinkNewProgramObject();
}

std::shared_ptr<NSOGLSLShaderProgramObject> NSOGLSLShaderProgramObject::shaderProgramObjectWithResourceName(
    const std::string &name, NSOGLShaderSourceCodeClassRef sourceClass) {
    auto object = std::make_shared<NSOGLSLShaderProgramObject>();
    object->initWithResourceName(name, sourceClass);
    return object;
}

std::shared_ptr<NSOGLSLShaderProgramObject> NSOGLSLShaderProgramObject::shaderProgramObjectWithResourceName(
    const std::string &name) {
    return shaderProgramObjectWithResourceName(name, NSOGLShaderSourceCode::sourceCodeClass());
}

std::shared_ptr<NSOGLSLShaderProgramObject> NSOGLSLShaderProgramObject::shaderProgramObjectWithVertexShader(
    const std::string &vertexShader, const std::string &fragmentShader) {
    auto object = std::make_shared<NSOGLSLShaderProgramObject>();
    object->initWithVertexShader(vertexShader, fragmentShader);
    return object;
}

bool NSOGLSLShaderProgramObject::compileLinkNewProgramObject() {
    DiscardGLErrors();
    const auto source = shaderSource();
    {
        const std::lock_guard lock(mMutex);
        mValidProgramObject = false;
    }
    CGLContextObj current = CGLGetCurrentContext();
    if (source == nullptr || current == nullptr) return false;
    source->setCodeChanged(false);
    const char *vertex = source->vertexShaderCode();
    const char *fragment = source->fragmentShaderCode();
    // The new program replaces the previous one, which goes with the context it was made in.
    std::unique_ptr<OpenGL::GLSLShaderProgram> record(OpenGL::GLSLShaderProgram::Create());
    bool valid = false;
    if (vertex == nullptr || fragment == nullptr) {
        // A program without one of its shaders would draw something else than asked.
        _CoreMachDebugVerifyBody("-[NSOGLSLShaderProgramObject compileLinkNewProgramObject]",
                                 "NSOGLSLShaderProgramObject", __LINE__,
                                 vertex == nullptr ? " code : self.shaderSource.vertexShaderCode!=NULL"
                                                   : " code : self.shaderSource.fragmentShaderCode!=NULL");
    } else {
        valid = record->CompileLinkProgram(vertex, fragment) && record->GetProgramObject() != 0 &&
                record->HasValidProgramObjectCached();
    }
    DiscardGLErrors();
    CGLContextObj previousContext = CGLRetainContext(current);
    {
        const std::lock_guard lock(mMutex);
        std::swap(mShaderProgram, record);
        std::swap(mShareContext, previousContext);
        mValidProgramObject = valid;
    }
    DisposeRecord(std::move(record), previousContext);
    return valid;
}

std::shared_ptr<protocol_NSOGLShaderSourceCode> NSOGLSLShaderProgramObject::shaderSource() const {
    const std::lock_guard lock(mMutex);
    return mShaderSource;
}

void NSOGLSLShaderProgramObject::setShaderSource(std::shared_ptr<protocol_NSOGLShaderSourceCode> source) {
    const std::lock_guard lock(mMutex);
    mShaderSource = std::move(source);
}

GLhandleARB NSOGLSLShaderProgramObject::programID() const {
    const std::lock_guard lock(mMutex);
    return mShaderProgram != nullptr ? mShaderProgram->GetProgramObject() : 0;
}

bool NSOGLSLShaderProgramObject::validProgramObject() const {
    const std::lock_guard lock(mMutex);
    return mValidProgramObject;
}

bool NSOGLSLShaderProgramObject::validProgramObjectVerbose() const {
    const std::lock_guard lock(mMutex);
    if (mShaderProgram == nullptr || !mShaderProgram->ValidateVerbose()) return false;
    return mValidProgramObject;
}

GLint NSOGLSLShaderProgramObject::uniformLocation(const char *name) const {
    const std::lock_guard lock(mMutex);
    if (mShaderProgram == nullptr || name == nullptr) return -1;
    return mShaderProgram->UniformLocation(name);
}

// ---- NSOGLSLShaderProgram ------------------------------------------------------------------

NSOGLSLShaderProgram::NSOGLSLShaderProgram() : mShaderLock(std::make_shared<NSOGLRecursiveLock>()) {}

NSOGLSLShaderProgram::~NSOGLSLShaderProgram() { mShaderEnabled.store(false); }

void NSOGLSLShaderProgram::initWithResourceName(const std::string &name, NSOGLShaderSourceCodeClassRef sourceClass) {
    initWithResourceName(name, NSOGLSLShaderProgramObject::shaderProgramObjectWithResourceName(name, sourceClass));
}

void NSOGLSLShaderProgram::initWithResourceName(const std::string &name) {
    initWithResourceName(name, defaultSourceCodeClass());
}

void NSOGLSLShaderProgram::initWithResourceName(const std::string &name,
                                                std::shared_ptr<NSOGLSLShaderProgramObject> object) {
    const std::lock_guard lock(mMutex);
    mShaderProgramName = name;
    mShaderProgramObject = std::move(object);
    mShaderEnabled.store(false);
}

std::shared_ptr<NSOGLSLShaderProgram> NSOGLSLShaderProgram::shaderProgramWithResourceName(const std::string &name) {
    return sharedProgramCache()->shaderProgramWithName(name);
}

std::shared_ptr<NSOGLSLShaderProgram> NSOGLSLShaderProgram::shaderProgramWithResourceName(
    const std::string &name, NSOGLShaderSourceCodeClassRef sourceClass) {
    auto program = std::make_shared<NSOGLSLShaderProgram>();
    program->initWithResourceName(name, sourceClass);
    return program->shaderCanBeEnabled() ? program : nullptr;
}

std::shared_ptr<NSOGLSLShaderProgram> NSOGLSLShaderProgram::shaderProgramWithResourceName(
    const std::string &name, std::shared_ptr<NSOGLSLShaderProgramObject> object) {
    auto program = std::make_shared<NSOGLSLShaderProgram>();
    program->initWithResourceName(name, std::move(object));
    return program;
}

NSOGLSLShaderProgramCache *NSOGLSLShaderProgram::sharedProgramCache() {
    // Never destroyed: its programs would be deleted after main returns.
    static NSOGLSLShaderProgramCache *const sCache = new NSOGLSLShaderProgramCache(defaultSourceCodeClass());
    return sCache;
}

NSOGLShaderSourceCodeClassRef NSOGLSLShaderProgram::defaultSourceCodeClass() {
    return NSOGLShaderSourceCode::sourceCodeClass();
}

bool NSOGLSLShaderProgram::shaderCanBeEnabled() const {
    const auto object = shaderProgramObject();
    return object != nullptr && object->programID() != 0 && object->validProgramObject();
}

bool NSOGLSLShaderProgram::shaderCanBeEnabledVerbose() const {
    static constexpr char kFunction[] = "-[NSOGLSLShaderProgram shaderCanBeEnabledVerbose]";
    static constexpr char kFile[] = "NSOGLSLShaderProgram";
    const auto object = shaderProgramObject();
    if (!_CoreMachDebugVerifyCheck(object != nullptr, kFunction, kFile, __LINE__,
                                   " code : self.shaderProgramObject!=nil"))
        return false;
    if (!_CoreMachDebugVerifyCheck(object->programID() != 0, kFunction, kFile, __LINE__,
                                   " code : self.shaderProgramObject.programID!=NULL"))
        return false;
    return _CoreMachDebugVerifyCheck(object->validProgramObjectVerbose(), kFunction, kFile, __LINE__,
                                     " code : self.shaderProgramObject.validProgramObjectVerbose");
}

void NSOGLSLShaderProgram::enable() {
    DiscardGLErrors();
    const auto lock = shaderLock();
    if (lock != nullptr) lock->lock();  // held until disable
    try {
        bool enabled = false;
        if (shaderCanBeEnabled()) {
            glUseProgramObjectARB(shaderProgramObject()->programID());
            enabled = glGetError() == GL_NO_ERROR;
            DiscardGLErrors();
        }
        mShaderEnabled.store(enabled);
        if (enabled) {
            if (auto *delegate = mDelegate.load()) {
                delegate->shaderProgramEnabled(this, true);
                DiscardGLErrors();
            }
        }
    } catch (const NSException &exception) {
        CoreMachDebugLog("NSOGLSLShaderProgram::enable exception:%s", exception.reason().toUtf8().constData());
    }
}

void NSOGLSLShaderProgram::disable() {
    glUseProgramObjectARB(0);
    DiscardGLErrors();
    const auto lock = shaderLock();
    struct Unlock {
        NSOGLRecursiveLock *lock;
        ~Unlock() {
            if (lock != nullptr) lock->unlock();
        }
    } unlock{lock.get()};
    try {
        mShaderEnabled.store(false);
        if (auto *delegate = mDelegate.load()) {
            delegate->shaderProgramEnabled(this, false);
            DiscardGLErrors();
        }
    } catch (const NSException &exception) {
        CoreMachDebugLog("NSOGLSLShaderProgram::disable exception:%s", exception.reason().toUtf8().constData());
    }
}

std::string NSOGLSLShaderProgram::shaderProgramName() const {
    const std::lock_guard lock(mMutex);
    return mShaderProgramName;
}

void NSOGLSLShaderProgram::setShaderProgramName(const std::string &name) {
    const std::lock_guard lock(mMutex);
    mShaderProgramName = name;
}

std::shared_ptr<NSOGLSLShaderProgramObject> NSOGLSLShaderProgram::shaderProgramObject() const {
    const std::lock_guard lock(mMutex);
    return mShaderProgramObject;
}

void NSOGLSLShaderProgram::setShaderProgramObject(std::shared_ptr<NSOGLSLShaderProgramObject> object) {
    const std::lock_guard lock(mMutex);
    mShaderProgramObject = std::move(object);
}

std::shared_ptr<NSOGLRecursiveLock> NSOGLSLShaderProgram::shaderLock() const {
    const std::lock_guard lock(mMutex);
    return mShaderLock;
}

void NSOGLSLShaderProgram::setShaderLock(std::shared_ptr<NSOGLRecursiveLock> lock) {
    const std::lock_guard guard(mMutex);
    mShaderLock = std::move(lock);
}

GLint NSOGLSLShaderProgram::uniformLocation(const char *name) const {
    const auto object = shaderProgramObject();
    return object != nullptr ? object->uniformLocation(name) : -1;
}

GLint NSOGLSLShaderProgram::settableLocation(const char *name) const {
    if (!mShaderEnabled.load()) return -1;
    return uniformLocation(name);
}

void NSOGLSLShaderProgram::setUniformFloatValue(const char *name, float value) {
    const GLint location = settableLocation(name);
    if (location == -1) return;
    glUniform1fARB(location, value);
    DiscardGLErrors();
}

void NSOGLSLShaderProgram::setUniformUnsignedValue(const char *name, GLint value) {
    const GLint location = settableLocation(name);
    if (location == -1) return;
    glUniform1iARB(location, value);
    DiscardGLErrors();
}

void NSOGLSLShaderProgram::setTextureSampler(const char *name, GLint unitNumber) {
    setUniformUnsignedValue(name, unitNumber);
}

void NSOGLSLShaderProgram::setUniformSizeValue(const char *name, NSSize size) {
    const GLint location = settableLocation(name);
    if (location == -1) return;
    glUniform2fARB(location, static_cast<GLfloat>(size.width), static_cast<GLfloat>(size.height));
    DiscardGLErrors();
}

void NSOGLSLShaderProgram::setUniformVec2Value(const char *name, const float *vec2) {
    if (vec2 == nullptr) return;
    const GLint location = settableLocation(name);
    if (location == -1) return;
    glUniform2fARB(location, vec2[0], vec2[1]);
    DiscardGLErrors();
}

void NSOGLSLShaderProgram::setUniformVec3Value(const char *name, const float *vec3) {
    if (vec3 == nullptr) return;
    const GLint location = settableLocation(name);
    if (location == -1) return;
    glUniform3fARB(location, vec3[0], vec3[1], vec3[2]);
    DiscardGLErrors();
}

void NSOGLSLShaderProgram::setUniformVec4Value(const char *name, const float *vec4) {
    if (vec4 == nullptr) return;
    const GLint location = settableLocation(name);
    if (location == -1) return;
    glUniform4fARB(location, vec4[0], vec4[1], vec4[2], vec4[3]);
    DiscardGLErrors();
}

void NSOGLSLShaderProgram::setUniformRgbColorValue(const char *name, const float *rgb) { setUniformVec3Value(name, rgb); }

void NSOGLSLShaderProgram::setUniformRgbaColorValue(const char *name, const float *rgba) {
    setUniformVec4Value(name, rgba);
}

void NSOGLSLShaderProgram::setUniformMatrix2Value(const char *name, const float *matrix2) {
    if (matrix2 == nullptr) return;
    const GLint location = settableLocation(name);
    if (location == -1) return;
    glUniformMatrix2fvARB(location, 1, GL_FALSE, matrix2);
    DiscardGLErrors();
}

void NSOGLSLShaderProgram::setUniformMatrix3Value(const char *name, const float *matrix3) {
    if (matrix3 == nullptr) return;
    const GLint location = settableLocation(name);
    if (location == -1) return;
    glUniformMatrix3fvARB(location, 1, GL_FALSE, matrix3);
    DiscardGLErrors();
}

void NSOGLSLShaderProgram::setUniformMatrix4Value(const char *name, const float *matrix4) {
    if (matrix4 == nullptr) return;
    const GLint location = settableLocation(name);
    if (location == -1) return;
    glUniformMatrix4fvARB(location, 1, GL_FALSE, matrix4);
    DiscardGLErrors();
}

void NSOGLSLShaderProgram::setUniformColorValue(const char *name, const QColor *color, bool withAlpha) {
    if (color == nullptr) return;
    float rgba[4] = {1, 1, 1, 1};
    if (color->isValid()) color->toRgb().getRgbF(&rgba[0], &rgba[1], &rgba[2], &rgba[3]);
    if (withAlpha) {
        setUniformVec4Value(name, rgba);
    } else {
        setUniformVec3Value(name, rgba);
    }
}

void NSOGLSLShaderProgram::setUniformCgColorValue(const char *name, CGColorRef color) {
    if (color == nullptr) return;
    float rgba[4] = {1, 1, 1, 1};
    const CGFloat *components = CGColorGetComponents(color);
    const size_t count = CGColorGetNumberOfComponents(color);
    if (components != nullptr && count == 4) {
        for (size_t i = 0; i < 4; ++i) rgba[i] = static_cast<float>(components[i]);
    } else if (components != nullptr && count == 2) {
        rgba[0] = rgba[1] = rgba[2] = static_cast<float>(components[0]);
        rgba[3] = static_cast<float>(components[1]);
    }
    setUniformVec4Value(name, rgba);
}

// ---- NSOGLSLShaderProgramCache -------------------------------------------------------------

NSOGLSLShaderProgramCache::NSOGLSLShaderProgramCache(NSOGLShaderSourceCodeClassRef sourceCodeClass)
    : mSourceCodeClass(sourceCodeClass != nullptr ? sourceCodeClass : NSOGLShaderSourceCode::sourceCodeClass()) {}

NSOGLSLShaderProgramCache::~NSOGLSLShaderProgramCache() = default;

std::shared_ptr<NSOGLSLShaderProgramCache> NSOGLSLShaderProgramCache::shaderCacheWithSourceCodeClass(
    NSOGLShaderSourceCodeClassRef sourceCodeClass) {
    return std::make_shared<NSOGLSLShaderProgramCache>(sourceCodeClass);
}

std::shared_ptr<NSOGLSLShaderProgramObject> NSOGLSLShaderProgramCache::shaderProgramObjectWithName(
    const std::string &name) {
    {
        const std::lock_guard lock(mMutex);
        const auto found = mMap.find(name);
        if (found != mMap.end()) return found->second;
    }
    // The CGL lock comes first, the cache's own lock inside it; a lookup that lost the race
    // to the lock finds the winner's object.
    const auto root = NSOGLSharingContext::rootSharingContext();
    const OpenGL::CGLContextStateLock scope(root.get());
    const std::lock_guard lock(mMutex);
    const auto found = mMap.find(name);
    if (found != mMap.end()) return found->second;
    DiscardGLErrors();
    auto object = std::make_shared<NSOGLSLShaderProgramObject>();
    if (root != nullptr) object->initWithResourceName(name, mSourceCodeClass);
    ++mCompiledProgramCount;
    mMap.emplace(name, object);
    return object;
}

std::shared_ptr<NSOGLSLShaderProgram> NSOGLSLShaderProgramCache::shaderProgramWithName(const std::string &name) {
    auto object = shaderProgramObjectWithName(name);
    if (object == nullptr || object->programID() == 0 || !object->validProgramObject()) return nullptr;
    return NSOGLSLShaderProgram::shaderProgramWithResourceName(name, std::move(object));
}

std::shared_ptr<NSOGLSLShaderProgram> NSOGLSLShaderProgramCache::shaderProgramWithName(
    const std::string &name, protocol_NSOGLSLShaderProgramDelegate *delegate) {
    auto program = shaderProgramWithName(name);
    if (program != nullptr) program->setDelegate(delegate);
    return program;
}

std::map<std::string, std::shared_ptr<NSOGLSLShaderProgramObject>>
NSOGLSLShaderProgramCache::map_shaderName_to_shaderProgramObject() const {
    const std::lock_guard lock(mMutex);
    return mMap;
}

unsigned NSOGLSLShaderProgramCache::compiledProgramCount() const {
    const std::lock_guard lock(mMutex);
    return mCompiledProgramCount;
}

bool import_NSOGLSLShaderProgram() {
    return import_NSOGLShaderSourceCode() && import_NSOGLSharingContext() && import_NSOGLTextureBase();
}
