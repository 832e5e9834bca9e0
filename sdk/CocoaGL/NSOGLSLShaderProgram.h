// GLSL programs named after their shader resource.
//
// Three layers make a program: the source code (NSOGLShaderSourceCode, whose class decides
// where the texts of a name come from), the compiled and linked program object
// (NSOGLSLShaderProgramObject, over OpenGL::GLSLShaderProgram) and the program as used while
// drawing (NSOGLSLShaderProgram: name, object, enabled state, a lock held from enable to
// disable, typed uniform setters and a delegate).
//
// NSOGLSLShaderProgramCache compiles each name once, on the root sharing context
// (NSOGLSharingContext), with the cache's source-code class; every program the cache hands
// out under a name shares that one program object, which is usable in every context of the
// root's share group (the offscreen pool contexts among them). The shared cache
// (NSOGLSLShaderProgram::sharedProgramCache) uses NSOGLShaderSourceCode and lives for the
// process.
//
//     auto cache = NSOGLSLShaderProgramCache::shaderCacheWithSourceCodeClass(
//         LumoraShaderSourceCode::sourceCodeClass());
//     auto program = cache->shaderProgramWithName("CGImageRenderTexture_nop_BGRA");
//     if (program != nullptr) {               // null when the name did not compile
//         program->enable();                  // with a context of the share group current
//         program->setTextureSampler("image", 0);
//         ... draw ...
//         program->disable();
//     }
//
// Locks: enable takes the program's recursive lock and disable gives it back, so one program
// draws on one thread at a time (a thread may enable it again inside its own section). Take
// the CGL lock of the context before enable and give it back after disable. The cache
// compiles with the root context's CGL lock held and takes its own lock inside it.
//
// GL errors are drained after each call and never reported.
#pragma once

#include <CocoaGL/NSOGLShaderSourceCode.h>
#include <CocoaGL/NSOGLTextureBase.h>

#include <CoreGraphics/CGColor.h>
#include <Foundation/NSGeometry.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

class QColor;
class NSOGLSLShaderProgram;

namespace OpenGL {
class GLSLShaderProgram;
}

// A compiled and linked program of a source, in the share group of the context current when
// it was compiled. Releasing it deletes the GL program with that context current.
class NSOGLSLShaderProgramObject {
public:
    // An object without program: call an initialiser.
    NSOGLSLShaderProgramObject();
    ~NSOGLSLShaderProgramObject();
    NSOGLSLShaderProgramObject(const NSOGLSLShaderProgramObject &) = delete;
    NSOGLSLShaderProgramObject &operator=(const NSOGLSLShaderProgramObject &) = delete;

    // With the current context: when it supports shaders, takes the source of `name` from
    // the source-code class and compiles it. Without shader support the object stays without
    // source and invalid. True when the object is valid.
    bool initWithResourceName(const std::string &name, NSOGLShaderSourceCodeClassRef sourceClass);
    bool initWithResourceName(const std::string &name) {
        return initWithResourceName(name, NSOGLShaderSourceCode::sourceCodeClass());
    }
    // The same with the texts given.
    bool initWithVertexShader(const std::string &vertexShader, const std::string &fragmentShader);

    static std::shared_ptr<NSOGLSLShaderProgramObject> shaderProgramObjectWithResourceName(
        const std::string &name, NSOGLShaderSourceCodeClassRef sourceClass);
    static std::shared_ptr<NSOGLSLShaderProgramObject> shaderProgramObjectWithResourceName(const std::string &name);
    static std::shared_ptr<NSOGLSLShaderProgramObject> shaderProgramObjectWithVertexShader(
        const std::string &vertexShader, const std::string &fragmentShader);

    // Compiles and links the source's texts into a new program (replacing the previous
    // one) with the current context; clears the source's codeChanged. Both texts are needed.
    bool compileLinkNewProgramObject();

    std::shared_ptr<protocol_NSOGLShaderSourceCode> shaderSource() const;
    void setShaderSource(std::shared_ptr<protocol_NSOGLShaderSourceCode> source);

    // The program handle, 0 without one.
    GLhandleARB programID() const;
    bool validProgramObject() const;
    // validProgramObject, reporting through the debug log when the program is not linked
    // and validated with both shaders attached.
    bool validProgramObjectVerbose() const;
    // The uniform's location (current context of the share group); -1 without program or
    // name.
    GLint uniformLocation(const char *name) const;

private:
    void prepareRecord();

    mutable std::mutex mMutex;
    std::shared_ptr<protocol_NSOGLShaderSourceCode> mShaderSource;
    std::unique_ptr<OpenGL::GLSLShaderProgram> mShaderProgram;
    CGLContextObj mShareContext = nullptr;  // retained: the context the program was made in
    bool mValidProgramObject = false;
};

// Told when a program is enabled (after glUseProgram) and disabled.
class protocol_NSOGLSLShaderProgramDelegate {
public:
    virtual ~protocol_NSOGLSLShaderProgramDelegate() = default;
    virtual void shaderProgramEnabled(NSOGLSLShaderProgram *program, bool enabled) = 0;
};

class NSOGLSLShaderProgramCache;

class NSOGLSLShaderProgram {
public:
    // A program without object: call an initialiser.
    NSOGLSLShaderProgram();
    ~NSOGLSLShaderProgram();
    NSOGLSLShaderProgram(const NSOGLSLShaderProgram &) = delete;
    NSOGLSLShaderProgram &operator=(const NSOGLSLShaderProgram &) = delete;

    // A program object of its own (not the cache's) compiled with the current context.
    void initWithResourceName(const std::string &name, NSOGLShaderSourceCodeClassRef sourceClass);
    void initWithResourceName(const std::string &name);
    // The given object (shared).
    void initWithResourceName(const std::string &name, std::shared_ptr<NSOGLSLShaderProgramObject> object);

    // The shared cache's program of the name (null when it does not compile).
    static std::shared_ptr<NSOGLSLShaderProgram> shaderProgramWithResourceName(const std::string &name);
    // A program of its own compiled with the current context; null when it does not compile.
    static std::shared_ptr<NSOGLSLShaderProgram> shaderProgramWithResourceName(
        const std::string &name, NSOGLShaderSourceCodeClassRef sourceClass);
    // A program on the given object, whatever its state.
    static std::shared_ptr<NSOGLSLShaderProgram> shaderProgramWithResourceName(
        const std::string &name, std::shared_ptr<NSOGLSLShaderProgramObject> object);

    // The process's cache, made once with NSOGLShaderSourceCode; never destroyed.
    static NSOGLSLShaderProgramCache *sharedProgramCache();
    // The class the shared cache and initWithResourceName(name) use: NSOGLShaderSourceCode.
    static NSOGLShaderSourceCodeClassRef defaultSourceCodeClass();

    // The object exists, has a program and is valid.
    bool shaderCanBeEnabled() const;
    // The same, reporting the first failed condition through the debug log.
    bool shaderCanBeEnabledVerbose() const;

    // Takes the program's lock (held until disable) and, when the program can be enabled,
    // makes it the current context's program; shaderEnabled tells whether that worked. Call
    // disable after every enable, whatever it gave.
    void enable();
    // Ends the current context's program, clears shaderEnabled and gives the lock back.
    void disable();

    bool shaderEnabled() const { return mShaderEnabled.load(); }
    void setShaderEnabled(bool enabled) { mShaderEnabled.store(enabled); }
    protocol_NSOGLSLShaderProgramDelegate *delegate() const { return mDelegate.load(); }
    void setDelegate(protocol_NSOGLSLShaderProgramDelegate *delegate) { mDelegate.store(delegate); }
    std::string shaderProgramName() const;
    void setShaderProgramName(const std::string &name);
    std::shared_ptr<NSOGLSLShaderProgramObject> shaderProgramObject() const;
    void setShaderProgramObject(std::shared_ptr<NSOGLSLShaderProgramObject> object);
    std::shared_ptr<NSOGLRecursiveLock> shaderLock() const;
    void setShaderLock(std::shared_ptr<NSOGLRecursiveLock> lock);

    // -1 without object.
    GLint uniformLocation(const char *name) const;

    // Uniform setters. Each does nothing unless the program is enabled, the uniform exists
    // (and the pointer is not null).
    void setUniformFloatValue(const char *name, float value);
    void setUniformUnsignedValue(const char *name, GLint value);
    void setTextureSampler(const char *name, GLint unitNumber);
    void setUniformSizeValue(const char *name, NSSize size);  // (width, height)
    void setUniformVec2Value(const char *name, const float *vec2);
    void setUniformVec3Value(const char *name, const float *vec3);
    void setUniformVec4Value(const char *name, const float *vec4);
    void setUniformRgbColorValue(const char *name, const float *rgb);
    void setUniformRgbaColorValue(const char *name, const float *rgba);
    // Column-major, count 1, not transposed.
    void setUniformMatrix2Value(const char *name, const float *matrix2);
    void setUniformMatrix3Value(const char *name, const float *matrix3);
    void setUniformMatrix4Value(const char *name, const float *matrix4);
    // The colour's RGB components (vec4 with alpha when `withAlpha`, else vec3); an invalid
    // colour counts as white; a null colour sets nothing.
    void setUniformColorValue(const char *name, const QColor *color, bool withAlpha);
    void setUniformColorValueRGB(const char *name, const QColor *color) { setUniformColorValue(name, color, false); }
    void setUniformColorValueRGBA(const char *name, const QColor *color) { setUniformColorValue(name, color, true); }
    void setUniformColorValue(const char *name, const QColor *color) { setUniformColorValue(name, color, true); }
    // vec4 of an RGB(A) colour, grey as (g, g, g, a); any other colour counts as white; a
    // null colour sets nothing.
    void setUniformCgColorValue(const char *name, CGColorRef color);

private:
    // The location to set, or -1 when the setter must do nothing.
    GLint settableLocation(const char *name) const;

    std::atomic<protocol_NSOGLSLShaderProgramDelegate *> mDelegate{nullptr};
    mutable std::mutex mMutex;  // guards the three fields below
    std::shared_ptr<NSOGLSLShaderProgramObject> mShaderProgramObject;
    std::string mShaderProgramName;
    std::shared_ptr<NSOGLRecursiveLock> mShaderLock;
    std::atomic<bool> mShaderEnabled{false};
};

// Program objects by name, compiled once each on the root sharing context with one
// source-code class. Thread-safe.
class NSOGLSLShaderProgramCache {
public:
    explicit NSOGLSLShaderProgramCache(NSOGLShaderSourceCodeClassRef sourceCodeClass);
    ~NSOGLSLShaderProgramCache();
    NSOGLSLShaderProgramCache(const NSOGLSLShaderProgramCache &) = delete;
    NSOGLSLShaderProgramCache &operator=(const NSOGLSLShaderProgramCache &) = delete;

    static std::shared_ptr<NSOGLSLShaderProgramCache> shaderCacheWithSourceCodeClass(
        NSOGLShaderSourceCodeClassRef sourceCodeClass);

    // The cached object of the name, compiled on the root sharing context at the first
    // lookup. An object that failed to compile is kept too (and not compiled again).
    std::shared_ptr<NSOGLSLShaderProgramObject> shaderProgramObjectWithName(const std::string &name);
    // A new program on the cached object; null when the object is not valid.
    std::shared_ptr<NSOGLSLShaderProgram> shaderProgramWithName(const std::string &name);
    std::shared_ptr<NSOGLSLShaderProgram> shaderProgramWithName(const std::string &name,
                                                                protocol_NSOGLSLShaderProgramDelegate *delegate);

    NSOGLShaderSourceCodeClassRef sourceCodeClass() const { return mSourceCodeClass; }
    std::map<std::string, std::shared_ptr<NSOGLSLShaderProgramObject>> map_shaderName_to_shaderProgramObject() const;

    // How many program objects this cache has compiled (one per name looked up). A warm
    // lookup leaves it unchanged; measurements use it to prove that.
    unsigned compiledProgramCount() const;

private:
    const NSOGLShaderSourceCodeClassRef mSourceCodeClass;
    mutable std::mutex mMutex;
    std::map<std::string, std::shared_ptr<NSOGLSLShaderProgramObject>> mMap;
    unsigned mCompiledProgramCount = 0;
};

bool import_NSOGLSLShaderProgram();
