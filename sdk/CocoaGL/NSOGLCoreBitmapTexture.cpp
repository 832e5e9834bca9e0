#include <CocoaGL/NSOGLCoreBitmapTexture.h>
#include <CocoaGL/NSOGLTextureUploadScopes.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <CoreX/CoreMachDebugLog.h>
#include <OpenGL/glext.h>

namespace {

constexpr const char *kFile = "NSOGLCoreBitmapTexture";

bool IsRealName(GLuint name) { return name != 0 && name != NSOGLTextureBase::kNoTextureName; }

bool Check(bool ok, const char *function, int line, const char *text) {
    if (!ok) _CoreMachDebugVerifyBody(function, kFile, line, text);
    return ok;
}

bool IsUsable(const CoreGraphics::BitmapContext *bitmap) {
    return bitmap != nullptr && bitmap->mImageWidth != 0 && bitmap->mImageHeight != 0 && bitmap->mContext != nullptr &&
           bitmap->mImageDataBytes != nullptr;
}

}  // namespace

std::shared_ptr<NSOGLCoreBitmapTexture> NSOGLCoreBitmapTexture::textureWithBitmapContext(
    CoreGraphics::BitmapContext *bitmapContext, GLenum target) {
    auto texture = std::make_shared<NSOGLCoreBitmapTexture>();
    if (!texture->initWithBitmapContext(bitmapContext, target)) return nullptr;
    return texture;
}

NSOGLCoreBitmapTexture::NSOGLCoreBitmapTexture() = default;
NSOGLCoreBitmapTexture::~NSOGLCoreBitmapTexture() = default;

bool NSOGLCoreBitmapTexture::initWithBitmapContext(CoreGraphics::BitmapContext *bitmapContext, GLenum target) {
    if (!IsUsable(bitmapContext)) return false;
    mBitmapContext = bitmapContext;
    initWithTextureTarget(target, bitmapContext->mImageWidth, bitmapContext->mImageHeight);
    return true;
}

bool NSOGLCoreBitmapTexture::initWithBitmapContext(CoreGraphics::BitmapContext *bitmapContext, GLenum target,
                                                   NSOpenGLContext * /*openGLContext*/) {
    return initWithBitmapContext(bitmapContext, target);
}

bool NSOGLCoreBitmapTexture::textureUpdate() {
    static constexpr const char *kFunction = "-[NSOGLCoreBitmapTexture textureUpdate]";
    CoreGraphics::BitmapContext *bitmap = mBitmapContext;
    if (!Check(bitmap != nullptr, kFunction, __LINE__, " code : _bitmapContext")) return false;
    if (bitmap->mImageDataBytes == nullptr) return false;
    switch (bitmap->mImageType) {
    case CoreGraphics::kBitmapType_Gray8:
        bitmap->WillAccessPixels();
        return textureUpdateFromPixelData(bitmap->mImageDataBytes, bitmap->mImageRowBytes, bitmap->mImageBitsPerPixel,
                                          bitmap->mImageChannels, false);
    case CoreGraphics::kBitmapType_ARGB32:
    case CoreGraphics::kBitmapType_XRGB32:
        bitmap->WillAccessPixels();
        // A,R,G,B bytes read as one 32-bit B,G,R,A value with B in the high byte.
        return textureUpdateFrom_ARGB_PixelData(bitmap->mImageDataBytes, bitmap->mImageRowBytes, GL_BGRA,
                                                GL_UNSIGNED_INT_8_8_8_8);
    default:
        return false;
    }
}

bool NSOGLCoreBitmapTexture::textureUpdateFrom_ARGB_PixelData(const void *pixelData, std::size_t pixelDataRowBytes,
                                                              GLenum pixelFormat, GLenum pixelType) {
    static constexpr const char *kFunction =
        "-[NSOGLCoreBitmapTexture textureUpdateFrom_ARGB_PixelData:pixelDataRowBytes:pixelFormat:pixelType:]";
    if (!Check(pixelData != nullptr, kFunction, __LINE__, " code : pixelData")) return false;
    if (!Check(pixelDataRowBytes != 0, kFunction, __LINE__, " code : pixelDataRowBytes")) return false;
    GLint rowLength = 0, alignment = 1;
    const bool rowBytesFit = pixelDataRowBytes % 4 == 0 &&
                             NSOGLTextureUpload::UnpackForRowBytes(pixelDataRowBytes, 4, textureWidth(), rowLength,
                                                                   alignment);
    if (!Check(rowBytesFit, kFunction, __LINE__, " code : pixelDataRowBytes>=textureWidth*4")) return false;
    if (CGLGetCurrentContext() == nullptr || !IsRealName(textureName())) return false;

    bool uploaded = false;
    {
        NSOGLTextureUpload::BindingScope binding(*this);
        NSOGLTextureUpload::UnpackScope unpack(rowLength, alignment);
        OpenGL::DiscardGLErrors();
        glTexImage2D(textureTarget(), 0, GL_RGBA8, GLsizei(textureWidth()), GLsizei(textureHeight()), 0, pixelFormat,
                     pixelType, pixelData);
        uploaded = glGetError() == GL_NO_ERROR;
        OpenGL::DiscardGLErrors();
    }
    if (uploaded) setTextureUpdateNeeded(false);
    return uploaded;
}

std::shared_ptr<NSOGLCoreBitmapMaskTexture> NSOGLCoreBitmapMaskTexture::textureWithBitmapContext(
    CoreGraphics::BitmapContext *bitmapContext, GLenum target) {
    auto texture = std::make_shared<NSOGLCoreBitmapMaskTexture>();
    if (!texture->initWithBitmapContext(bitmapContext, target)) return nullptr;
    return texture;
}

void NSOGLCoreBitmapMaskTexture::initTextureProperties() {
    const GLenum target = textureTarget();
    const GLint wrap = target == GL_TEXTURE_RECTANGLE_EXT ? GL_CLAMP_TO_EDGE : GL_CLAMP_TO_BORDER;
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, wrap);
    OpenGL::DiscardGLErrors();
}

bool import_NSOGLCoreBitmapTexture() { return import_NSOGLTextureBase() && import_namespace_CoreGraphics_BitmapContext(); }
