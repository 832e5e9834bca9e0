// NSOGLRenderTextureFBOWithShader: a texture on an IOSurface of its own, with a framebuffer,
// into which it renders a source texture through a named GLSL program, under a texture
// matrix, on a context of the offscreen pool. It is how one texture is copied or converted
// into another (snapshot textures, the shared-surface copy) and, through CGImageRenderTexture,
// how frames leave the GPU as images.
//
//     auto copy = NSOGLRenderTextureFBOWithShader::textureWithShaderName("CGImageRenderTexture_nop_BGRA", 640, 480);
//     copy->setSourceTexture(cameraTexture);
//     copy->renderScene();            // on the pool context; the surface holds the frame on return
//
// A render (renderSceneWithCGLContextObj) takes the context's CGL lock, then the texture's own
// lock, makes the context current, binds the framebuffer, erases, draws and ends, and gives
// everything back in the reverse order on every path. Drawing reaches the surface's memory at
// the OpenGL layer's next sync point on the share group: a render with flush ends with
// glFinishRenderAPPLE (a sync point), so the surface is complete when it returns; without
// flush the texture is marked as drawn and the surface follows at the next sync point.
//
// The source texture and the program must live in the share group of the render context: the
// root sharing context's group for the pool contexts. The texture and its framebuffer are
// made on the context current at initialisation, or on the pool context when none is.
//
// A delegate may wrap or replace the drawing. The texture is erased to opaque black before
// drawing (clearContextBeforeRendering) or, when that is off, to its erase colour (transparent
// black without one). A texture without source or program renders an erased frame.
#pragma once

#include <CocoaGL/protocol_NSOGLDrawable.h>
#include <CocoaGL/NSOGLSLShaderProgram.h>
#include <CocoaGL/NSOGLTextureIOSurfaceFBO.h>

#include <CoreGraphics/CGGeometry.h>
#include <OpenGL/NSOpenGL.h>

#include <QColor>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

class NSOGLRenderTextureFBOWithShader;

// Each method is optional: the base class's answers false, meaning "not implemented"; an
// implementation answers true. Each gets the texture and the drawable rectangle (unit-cube
// coordinates, (-0.5, -0.5, 1, 1) for the whole texture).
class NSOGLRenderTextureFBOWithShaderDelegate {
public:
    virtual ~NSOGLRenderTextureFBOWithShaderDelegate() = default;
    // After the framebuffer is bound, before erasing.
    virtual bool renderBeginScene(NSOGLRenderTextureFBOWithShader *texture, CGRect drawableRect);
    // Replaces the default drawing (called only with a source texture set).
    virtual bool renderScene(NSOGLRenderTextureFBOWithShader *texture, CGRect drawableRect);
    // Before the framebuffer is released.
    virtual bool renderEndScene(NSOGLRenderTextureFBOWithShader *texture, CGRect drawableRect);
};

class NSOGLRenderTextureFBOWithShader : public NSOGLTextureIOSurfaceFBO, public protocol_NSOGLDrawable {
public:
    // A new surface (owned by the caller): 'BGRA', 4 bytes per element, not global.
    static IOSurfaceRef surfaceWithWidth(uint32_t width, uint32_t height);
    // A texture on a new surface of the size with the named program; null when no surface or
    // texture object could be made.
    static std::shared_ptr<NSOGLRenderTextureFBOWithShader> textureWithShaderName(const std::string &shaderName,
                                                                                   uint32_t textureWidth,
                                                                                   uint32_t textureHeight);
    static std::shared_ptr<NSOGLRenderTextureFBOWithShader> textureWithShaderSourceClass(
        NSOGLShaderSourceCodeClassRef sourceClass, const std::string &shaderName, uint32_t textureWidth,
        uint32_t textureHeight);

    NSOGLRenderTextureFBOWithShader();
    ~NSOGLRenderTextureFBOWithShader() override;

    // The IOSurface framebuffer texture on the surface; no delegate, source or erase colour,
    // the identity texture matrix, clearing on; the next pool context as the default render
    // context; the program of the name (the shared cache's without a source class, a program
    // of its own compiled with the current context with one); the surface's pixels set to 0.
    virtual void initWithIOSurface(IOSurfaceRef surface, const std::string &shaderName,
                                   NSOGLShaderSourceCodeClassRef sourceClass);
    void initWithIOSurface(IOSurfaceRef surface, const std::string &shaderName) {
        initWithIOSurface(surface, shaderName, nullptr);
    }

    // ---- Rendering ----

    // The default render context, flushing.
    void renderScene() { renderSceneWithDefaultContextAndFlush(true); }
    void renderScene(bool flush) { renderSceneWithDefaultContextAndFlush(flush); }
    void renderSceneWithDefaultContextAndFlush(bool flush);
    // A null context means the current one; without any nothing is rendered.
    void renderSceneWithContext(const NSOpenGLContext *context, bool renderContextFlush);
    void renderSceneWithCGLContextObj(CGLContextObj context, bool renderContextFlush);

    // The default render context's CGL context, or the current one when there is none.
    CGLContextObj defaultRenderContextObj() const;
    // The context of the render in progress; null between renders.
    CGLContextObj renderContext() const override { return currentRenderContextObj(); }
    CGLContextObj currentRenderContextObj() const;
    // Stores the context and a wrapper of it (dropped for null).
    void setCurrentRenderContextObj(CGLContextObj context);
    std::shared_ptr<NSOpenGLContext> currentRenderContext() const;
    void setCurrentRenderContext(std::shared_ptr<NSOpenGLContext> context);
    std::shared_ptr<NSOpenGLContext> glContext() const { return currentRenderContext(); }
    // The root sharing context.
    static std::shared_ptr<NSOpenGLContext> glSharingContext();

    // (0, 0, width, height).
    CGRect renderBounds() const override;
    // Renders once.
    void renderSceneInit() { renderScene(); }
    void renderSceneReshape() {}

    // The steps of a render, with the render context current and the locks held.
    virtual void renderSceneBegin();
    virtual void renderSceneSelf();
    virtual void renderSceneNilDelegate(CGRect drawableRect);
    virtual bool renderSceneEnd(bool flush);

    // The rectangle in unit-cube coordinates (see NSOGLRenderTextureFBOWithShaderDelegate).
    CGRect drawableRectFromRenderBoundsRect(CGRect rect) const;

    // ---- Properties ----

    // Not retained.
    NSOGLRenderTextureFBOWithShaderDelegate *delegate() const;
    void setDelegate(NSOGLRenderTextureFBOWithShaderDelegate *delegate);
    std::shared_ptr<NSOGLSLShaderProgram> shaderProgram() const;
    void setShaderProgram(std::shared_ptr<NSOGLSLShaderProgram> program);
    std::shared_ptr<protocol_NSOGLDynamicTexture> sourceTexture() const;
    void setSourceTexture(std::shared_ptr<protocol_NSOGLDynamicTexture> texture);
    // nullopt: transparent.
    std::optional<QColor> eraseColor() const;
    void setEraseColor(std::optional<QColor> color);
    std::shared_ptr<NSOGLQuadMatrixProtocol> textureMatrix() const;
    void setTextureMatrix(std::shared_ptr<NSOGLQuadMatrixProtocol> matrix);
    bool clearContextBeforeRendering() const;
    void setClearContextBeforeRendering(bool clear);
    // Null: the current context.
    std::shared_ptr<NSOpenGLContext> defaultRenderContextNilMeansUseCurrentContext() const;
    void setDefaultRenderContextNilMeansUseCurrentContext(std::shared_ptr<NSOpenGLContext> context);

protected:
    // The name used in logs.
    virtual const char *className() const { return "NSOGLRenderTextureFBOWithShader"; }

    // A texture of class T on a new surface of the size with the named program; null when no
    // surface or texture object could be made (the factories of this class and subclasses).
    template <typename T>
    static std::shared_ptr<T> makeWithShader(NSOGLShaderSourceCodeClassRef sourceClass, const std::string &shaderName,
                                             uint32_t textureWidth, uint32_t textureHeight) {
        IOSurfaceRef surface = surfaceWithWidth(textureWidth, textureHeight);
        if (surface == nullptr) return nullptr;
        auto texture = std::make_shared<T>();
        texture->initWithIOSurface(surface, shaderName, sourceClass);
        CFRelease(surface);
        if (texture->textureName() == kNoTextureName) return nullptr;
        return texture;
    }

private:
    mutable std::recursive_mutex mProperties;  // guards the fields below
    NSOGLRenderTextureFBOWithShaderDelegate *mDelegate = nullptr;
    std::shared_ptr<NSOGLSLShaderProgram> mShaderProgram;
    std::shared_ptr<protocol_NSOGLDynamicTexture> mSourceTexture;
    std::optional<QColor> mEraseColor;
    CGLContextObj mCurrentRenderContextObj = nullptr;
    std::shared_ptr<NSOpenGLContext> mCurrentRenderContext;
    std::shared_ptr<NSOpenGLContext> mDefaultRenderContext;
    std::shared_ptr<NSOGLQuadMatrixProtocol> mTextureMatrix;
    bool mClearContextBeforeRendering = true;
};

bool import_NSOGLRenderTextureFBOWithShader();
