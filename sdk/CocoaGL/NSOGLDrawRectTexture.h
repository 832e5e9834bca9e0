// NSOGLDrawRectTexture: a texture whose contents are drawn the way a view draws itself. An
// update makes a transparent picture of the texture's size, makes its graphics context the
// current NSGraphicsContext, calls drawRect with the whole picture and uploads the result
// (textureUpdateFromBitmapData; the picture's top row becomes texture row 0).
//
// Subclasses draw in drawRect into NSGraphicsContext::currentContext(); the base only clears
// the rectangle.
//
//     auto texture = std::make_shared<MyDrawnTexture>();
//     texture->initWithTextureTarget(GL_TEXTURE_RECTANGLE_EXT, 256, 64);  // draws once
//     texture->setDirty(true);
//     texture->textureUpdate();                                           // draws again
#pragma once

#include <CocoaGL/NSOGLTextureBase.h>

#include <CoreGraphics/CGGeometry.h>

class NSOGLDrawRectTexture : public NSOGLTextureBase {
public:
    NSOGLDrawRectTexture() = default;
    ~NSOGLDrawRectTexture() override = default;

    // Fills the rectangle with the clear colour (makes it transparent) in the current
    // graphics context.
    virtual void drawRect(CGRect rect);

    using NSOGLTextureBase::textureUpdate;
    // The picture drawn by drawRect, uploaded into the texture with the caller's (current) GL
    // context. Without a picture of the texture's size (no pixels) the failed check "image" is
    // reported and false answered; otherwise the upload's result. The dirty flag is cleared in
    // every case; an exception thrown by drawRect passes on after the clean-up.
    bool textureUpdate() override;
};

bool import_NSOGLDrawRectTexture();
