#include "NSOGLImageViewTexture.h"

#include <CocoaGraphics/NSBitmapImageRep_NSGraphicsContext.h>

#include <QColor>

NSOGLImageViewTexture::~NSOGLImageViewTexture() { __imageView = nullptr; }

void NSOGLImageViewTexture::initWithImageView(NSImageView *imageView, GLenum target, GLuint width, GLuint height) {
    initWithTextureTarget(target, width, height);
    __imageView = imageView;
    setTextureUpdateNeeded(imageView != nullptr && imageView->image() != nullptr);
}

void NSOGLImageViewTexture::initWithImageView(NSImageView *imageView, GLenum target, GLuint width, GLuint height,
                                              NSOpenGLContext *) {
    initWithImageView(imageView, target, width, height);
}

bool NSOGLImageViewTexture::textureUpdate() {
    if (!textureUpdateNeeded()) return false;
    bool result = false;
    NSImageView *view = __imageView.data();
    const std::shared_ptr<NSImage> image = view ? view->image() : nullptr;
    if (image) {
        std::shared_ptr<NSBitmapImageRep> bitmap = category_NSGraphicsContext::bitmapImageRepFromImageTIFFData(image.get());
        if (bitmap && (bitmap->pixelsWide() != long(textureWidth()) || bitmap->pixelsHigh() != long(textureHeight())))
            bitmap = category_NSGraphicsContext::bitmapImageRepWithImage(
                image.get(), NSMakeSize(textureWidth(), textureHeight()), QColor(Qt::black));
        if (bitmap) result = textureUpdateFromBitmapData(bitmap);
    }
    setTextureUpdateNeeded(false);
    return result;
}

bool import_NSOGLImageViewTexture() { return import_NSOGLTextureBase(); }
