// NSOGLTextureFBO: a rectangle texture with a framebuffer that renders into it.
//
//     auto texture = NSOGLTextureFBO::textureWithTextureWidth(640, 480);
//     if (texture->beginRenderToFrameBuffer()) {
//         glViewport(0, 0, 640, 480);
//         ... draw ...
//         texture->endRenderToFrameBuffer(true);
//     }
//
// The texture and its framebuffer are made on the context current at initialisation, which
// the caller also makes current around rendering. The framebuffer is destroyed with the
// texture, in the texture's context.
#pragma once

#include <CocoaGL/NSOGLFrameBufferObjectState.h>
#include <CocoaGL/NSOGLTextureBase.h>
#include <CocoaGL/category_NSOGLTextureFBOState.h>

#include <memory>

class NSOGLTextureFBO : public NSOGLTextureBase, public protocol_NSOGLTextureFBO {
public:
    // A texture of the size with its framebuffer, on the current context.
    static std::shared_ptr<NSOGLTextureFBO> textureWithTextureWidth(GLuint width, GLuint height);

    NSOGLTextureFBO();
    // Destroys the framebuffer, then the base releases the texture.
    ~NSOGLTextureFBO() override;

    // A GL_TEXTURE_RECTANGLE_ARB texture of the size.
    void initWithTextureWidth(GLuint width, GLuint height);

    // The base's properties, empty storage of the size (textureUpdateNull), then the
    // framebuffer.
    void initTextureProperties() override;
    // Nothing to upload: answers true.
    bool textureUpdate() override;
    using NSOGLTextureBase::textureUpdate;

    bool beginRenderToFrameBuffer() override;
    bool isRenderingToFrameBuffer() const override;
    bool endRenderToFrameBuffer(bool flush) override;
    GLint frameBufferObject() const override;

private:
    NSOGLTextureFBOState mFbo;
};

bool import_NSOGLTextureFBO();
