// LumoraIOSurfaceFBO: the texture class the frame-sharing controller makes for each shared
// IOSurface (registered under "LumoraIOSurfaceFBO"). Rendering it draws the camera view's render
// buffer into the surface through the texture's framebuffer object, on the root sharing context
// (the context it was made on), so that a client of the sharing service sees the application's
// frame.
//
// Threads and locks: rendered on the main thread from inside the sharing controller's broadcast,
// with the render buffer's lock already taken by the camera view; the CGL lock of the render
// context is taken here around the whole render, and the render buffer's (recursive) lock is
// taken again around the draw.
#pragma once

#include <CocoaGL/NSOGLSLShaderProgram.h>
#include <CocoaGL/NSOGLTextureIOSurfaceFBO.h>
#include <CocoaGL/protocol_NSOGLDrawable.h>
#include <LumoraApp/IOSurfaceSharingController.h>

#include <OpenGL/NSOpenGL.h>

#include <atomic>
#include <memory>
#include <mutex>

class LumoraIOSurfaceFBO : public NSOGLTextureIOSurfaceFBO,
                           public protocol_NSOGLDrawable,
                           public protocol_IOSurfaceSharingSurface {
public:
    static constexpr const char *kTextureClassName = "LumoraIOSurfaceFBO";

    // A texture with its framebuffer on the surface, made on the current context; null for a
    // null surface.
    static std::shared_ptr<LumoraIOSurfaceFBO> textureWithIOSurface(IOSurfaceRef surface);
    // Registers the class with the sharing controller's texture queue (idempotent).
    static void registerTextureClass();

    LumoraIOSurfaceFBO();
    ~LumoraIOSurfaceFBO() override;

    // The base initialiser on the surface; then no program, the root sharing context, and the
    // surface's pixels cleared to 0.
    void initWithIOSurface(IOSurfaceRef surface);

    std::shared_ptr<NSOGLSLShaderProgram> shaderProgram() const { return mShaderProgram; }
    std::shared_ptr<NSOpenGLContext> glContext() const;
    void setGlContext(std::shared_ptr<NSOpenGLContext> context);
    static std::shared_ptr<NSOpenGLContext> glSharingContext();

    // protocol_NSOGLDrawable: the CGL context of glContext; (0, 0, width, height).
    CGLContextObj renderContext() const override;
    CGRect renderBounds() const override;

    // Draws the render buffer into the surface and flushes: the surface holds the frame on
    // return. Nothing without a render context.
    void renderScene() override { renderScene(true); }
    void renderScene(bool flush);
    void renderSceneInit() { renderScene(); }
    void renderSceneReshape() {}
    // The steps, with the render context current and locked.
    void renderSceneBegin();
    void renderSceneSelf();
    bool renderSceneEnd(bool flush);

private:
    std::shared_ptr<NSOGLSLShaderProgram> mShaderProgram;  // never used
    mutable std::mutex mContextLock;
    std::shared_ptr<NSOpenGLContext> mGlContext;
};

bool import_LumoraIOSurfaceFBO();
