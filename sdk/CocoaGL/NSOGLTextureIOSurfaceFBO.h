// NSOGLTextureIOSurfaceFBO: an IOSurface texture with a framebuffer that renders into it.
//
// What is drawn between begin and end reaches the surface's memory at the OpenGL layer's next
// sync point on this share group: the flush of an end with flush, glFinishRenderAPPLE, or a
// CPU lock of the surface by a thread with a context of the group current. The texture and
// its framebuffer are made on the context current at initialisation, which the caller also
// makes current around rendering.
#pragma once

#include <CocoaGL/NSOGLFrameBufferObjectState.h>
#include <CocoaGL/NSOGLTextureIOSurface.h>
#include <CocoaGL/category_NSOGLTextureFBOState.h>

#include <memory>

class NSOGLTextureIOSurfaceFBO : public NSOGLTextureIOSurface, public protocol_NSOGLTextureFBO {
public:
    // A texture with its framebuffer on the surface (no use-count management); null for a
    // null surface.
    static std::shared_ptr<NSOGLTextureIOSurfaceFBO> textureWithIOSurface(IOSurfaceRef surface);

    NSOGLTextureIOSurfaceFBO();
    // Destroys the framebuffer, then the IOSurface texture gives up its surface and texture.
    ~NSOGLTextureIOSurfaceFBO() override;

    // The IOSurface texture's properties (the surface bound as storage), then the framebuffer.
    void initTextureProperties() override;

    bool beginRenderToFrameBuffer() override;
    bool isRenderingToFrameBuffer() const override;
    // Ends rendering as the framebuffer state does. Without a flush, tells the OpenGL layer the
    // texture was drawn into, so that the next sync point writes it to the surface.
    bool endRenderToFrameBuffer(bool flush) override;
    GLint frameBufferObject() const override;

private:
    NSOGLTextureFBOState mFbo;
};

bool import_NSOGLTextureIOSurfaceFBO();
