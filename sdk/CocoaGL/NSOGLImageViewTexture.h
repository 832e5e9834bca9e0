// NSOGLImageViewTexture: a texture whose pixels are the image an image view shows, redrawn at
// the texture's size (over black) when the image has another pixel size. The view is not
// owned: the texture forgets it when the view goes.
//
//     auto texture = std::make_shared<NSOGLImageViewTexture>();
//     texture->initWithImageView(view, GL_TEXTURE_RECTANGLE_ARB, 640, 480);
//
// Updates run on the thread that draws, with that context current (NSOGLTextureBase). The T
// coordinates are swapped, so that the image (top row first) is drawn upright.
#pragma once

#include <CocoaGL/NSOGLTextureBase.h>

#include <AppKit/NSImageView.h>

#include <QPointer>

class NSOGLImageViewTexture : public NSOGLTextureBase {
public:
    NSOGLImageViewTexture() = default;
    ~NSOGLImageViewTexture() override;

    // The base initialiser with the target and size, then the view; the texture needs an
    // update when the view shows an image.
    void initWithImageView(NSImageView *imageView, GLenum target, GLuint width, GLuint height);
    // The same; the context is not used.
    void initWithImageView(NSImageView *imageView, GLenum target, GLuint width, GLuint height,
                           NSOpenGLContext *openGLContext);

    NSImageView *imageView() const { return __imageView.data(); }
    void setImageView(NSImageView *imageView) { __imageView = imageView; }

    // When an update is needed: the view's image uploaded (redrawn at the texture's size over
    // black when its pixel size differs); false without view, image or bitmap. The update
    // flag is cleared in every case.
    bool textureUpdate() override;
    using NSOGLTextureBase::textureUpdate;

    // The base's T range swapped.
    float textureCoordTMin() const override { return NSOGLTextureBase::textureCoordTMax(); }
    float textureCoordTMax() const override { return NSOGLTextureBase::textureCoordTMin(); }

private:
    QPointer<NSImageView> __imageView;
};

bool import_NSOGLImageViewTexture();
