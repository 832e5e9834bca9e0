// NSOGLCoreBitmapTexture: a texture showing the pixels of a bitmap context of the graphics
// library (CoreGraphics::BitmapContext). The texture does not own the bitmap: its owner keeps
// it alive as long as the texture may update from it. Each textureUpdate() uploads the
// bitmap's current pixels (drawing done through its CGContext included) into level 0 with the
// context current on the calling thread.
//
//     auto texture = NSOGLCoreBitmapTexture::textureWithBitmapContext(&bitmap, GL_TEXTURE_RECTANGLE_EXT);
//
// Grey bitmaps upload as luminance; A,R,G,B and X,R,G,B bitmaps as their four bytes (alpha,
// or the unused byte, into alpha). Rows may be padded: the bitmap's row bytes are honoured.
// Other layouts are not uploaded.
//
// NSOGLCoreBitmapMaskTexture is the same texture with the parameters a mask wants: linear
// filtering and edges clamped (to the edge for rectangle textures, to the border otherwise).
#pragma once

#include <CocoaGL/NSOGLTextureBase.h>

#include <CoreG/Drawing/namespace_CoreGraphics_BitmapContext.h>

#include <cstddef>
#include <memory>

class NSOGLCoreBitmapTexture : public NSOGLTextureBase {
public:
    // A texture of the bitmap's size on `target`, made and filled with the current context;
    // null when the initialiser refuses the bitmap.
    static std::shared_ptr<NSOGLCoreBitmapTexture> textureWithBitmapContext(CoreGraphics::BitmapContext *bitmapContext,
                                                                            GLenum target);

    NSOGLCoreBitmapTexture();
    ~NSOGLCoreBitmapTexture() override;

    // Stores the bitmap, then initialises the texture base with the target and the bitmap's
    // width and height (which makes the texture object and uploads the pixels). False, with
    // nothing stored or made, for a null bitmap or one without width, height, CGContext or
    // pixels.
    bool initWithBitmapContext(CoreGraphics::BitmapContext *bitmapContext, GLenum target);
    // The same; the context is not used (the current one is).
    bool initWithBitmapContext(CoreGraphics::BitmapContext *bitmapContext, GLenum target,
                               NSOpenGLContext *openGLContext);

    CoreGraphics::BitmapContext *bitmapContext() const { return mBitmapContext; }

    // Uploads the bitmap's pixels by its layout (see above). False without bitmap (reported),
    // without pixels, or for another layout; the result of the upload otherwise.
    bool textureUpdate() override;
    using NSOGLTextureBase::textureUpdate;

    // Pixels of four bytes (read as `pixelFormat` / `pixelType`) into level 0 at the texture's
    // size, internal format GL_RGBA8, rows `pixelDataRowBytes` apart, row 0 of the data first.
    // Null pixels, zero row bytes, and row bytes shorter than a row of the texture or not a
    // whole number of pixels are refused (reported). Clears the dirty flag on success. The
    // target's binding and the unpack state are put back. False without a current context or
    // texture object, or when OpenGL refuses the upload.
    bool textureUpdateFrom_ARGB_PixelData(const void *pixelData, std::size_t pixelDataRowBytes, GLenum pixelFormat,
                                          GLenum pixelType);

private:
    CoreGraphics::BitmapContext *mBitmapContext = nullptr;  // not owned
};

class NSOGLCoreBitmapMaskTexture : public NSOGLCoreBitmapTexture {
public:
    static std::shared_ptr<NSOGLCoreBitmapMaskTexture> textureWithBitmapContext(
        CoreGraphics::BitmapContext *bitmapContext, GLenum target);

    // With the texture bound: filters GL_LINEAR; wrap GL_CLAMP_TO_EDGE in S and T for a
    // rectangle texture, GL_CLAMP_TO_BORDER for other targets.
    void initTextureProperties() override;
};

bool import_NSOGLCoreBitmapTexture();
