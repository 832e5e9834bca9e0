// The upload paths of NSOGLTextureBase: bitmaps, raw pixel data, 2vuy frames, widget contents and
// the transparent fill.
#include <CocoaGL/NSOGLTextureBase.h>
#include <CocoaGL/NSOGL2vuyPixels.h>
#include <CocoaGL/NSOGLTextureUploadScopes.h>

#include <CocoaGraphics/NSBitmapImageRep_NSGraphicsContext.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <CoreX/CoreMachDebugLog.h>

#include <AppKit/NSGraphicsContext.h>
#include <AppKit/NSImage.h>
#include <Foundation/NSException.h>
#include <OpenGL/glext.h>

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <vector>

namespace {

using NSOGLTextureUpload::BindingScope;
using NSOGLTextureUpload::UnpackForRowBytes;
using NSOGLTextureUpload::UnpackScope;

bool IsRealName(GLuint name) { return name != 0 && name != NSOGLTextureBase::kNoTextureName; }

}  // namespace

// ---- Pixel data ------------------------------------------------------------------------------------

bool NSOGLTextureBase::textureUpdateFromPixelData(const void *pixelData, std::size_t rowBytes, unsigned bitsPerPixel,
                                                  unsigned samplesPerPixel, bool hasAlpha) {
    if (!VERIFY(pixelData)) return false;
    if (!VERIFY(rowBytes)) return false;
    OpenGL::CGLContextState scope;
    if (CGLGetCurrentContext() == nullptr || !IsRealName(textureName())) return false;

    // The source layout. A layout is taken only when its bits per pixel are the GL format's
    // own, so that OpenGL never reads past a pixel of another size.
    GLenum format = 0;
    std::size_t pixelBytes = 0;
    if (bitsPerPixel == 8 && samplesPerPixel == 1 && !hasAlpha) {
        format = GL_LUMINANCE;
        pixelBytes = 1;
    } else if (bitsPerPixel == 24 && samplesPerPixel == 3 && !hasAlpha) {
        format = GL_RGB;
        pixelBytes = 3;
    } else if (bitsPerPixel == 32) {
        format = GL_RGBA;
        pixelBytes = 4;
    }

    bool uploaded = false;
    {
        BindingScope binding(*this);
        if (format == 0) {
            VERIFY(0);  // an unknown layout: nothing uploaded, the texture counts as updated
        } else {
            GLint rowLength = 0, alignment = 1;
            const bool rowBytesFit = UnpackForRowBytes(rowBytes, pixelBytes, textureWidth(), rowLength, alignment);
            if (VERIFY(rowBytesFit)) {
                UnpackScope unpack(rowLength, alignment);
                OpenGL::DiscardGLErrors();
                glTexImage2D(textureTarget(), 0, GL_RGBA, GLsizei(textureWidth()), GLsizei(textureHeight()), 0, format,
                             GL_UNSIGNED_BYTE, pixelData);
                uploaded = glGetError() == GL_NO_ERROR;
                OpenGL::DiscardGLErrors();
            } else {
                return false;  // refused row bytes: the dirty flag stays
            }
        }
    }
    setTextureUpdateNeeded(false);
    return uploaded;
}

// ---- Bitmaps ---------------------------------------------------------------------------------------

bool NSOGLTextureBase::textureUpdateFromBitmapDataSameSize(const std::shared_ptr<NSBitmapImageRep> &bitmap) {
    if (!VERIFY(bitmap)) return false;
    const bool fFloatingPoint = (bitmap->bitmapFormat() & NSFloatingPointSamplesBitmapFormat) != 0;
    if (!VERIFY(fFloatingPoint==false)) return false;
    // OpenGL reads the texture's width and height from the bitmap's bytes.
    if (!VERIFY(bitmap->pixelsWide() >= long(textureWidth()) && bitmap->pixelsHigh() >= long(textureHeight())))
        return false;
    const bool uploaded = textureUpdateFromPixelData(bitmap->bitmapData(), std::size_t(bitmap->bytesPerRow()),
                                                     unsigned(bitmap->bitsPerPixel()),
                                                     unsigned(bitmap->samplesPerPixel()), bitmap->hasAlpha());
    return VERIFY(uploaded);
}

bool NSOGLTextureBase::textureUpdateFromBitmapData(const std::shared_ptr<NSBitmapImageRep> &bitmap) {
    if (bitmap == nullptr) return false;
    if (bitmap->pixelsWide() == long(textureWidth()) && bitmap->pixelsHigh() == long(textureHeight()))
        return textureUpdateFromBitmapDataSameSize(bitmap);
    return textureUpdateFromBitmapDataResize(bitmap);
}

namespace {

// A new R, G, B, A bitmap (8-bit, alpha last, premultiplied) of the size, transparent, with
// the image drawn scaled over its whole extent when one is given. Null when the size has no
// pixel or the bitmap cannot be made.
std::shared_ptr<NSBitmapImageRep> TransparentBitmap(GLuint width, GLuint height, const NSImage *image) {
    auto bitmap = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, long(width), long(height), 8, 4, true, false,
                                                             NSDeviceRGBColorSpace, NSBitmapFormat(0), 0, 0);
    if (bitmap == nullptr || image == nullptr) return bitmap;
    auto context = NSGraphicsContext::graphicsContextWithBitmapImageRep(bitmap);
    if (context == nullptr) return nullptr;
    NSGraphicsContext::saveGraphicsState();
    NSGraphicsContext::setCurrentContext(context);
    try {
        NSImageDrawInRect(*image, CGRectMake(0, 0, CGFloat(width), CGFloat(height)), CGRectZero,
                          NSCompositingOperationSourceOver, 1.0);
    } catch (...) {
        NSGraphicsContext::restoreGraphicsState();
        throw;
    }
    NSGraphicsContext::restoreGraphicsState();
    context->flushGraphics();
    return bitmap;
}

}  // namespace

bool NSOGLTextureBase::textureUpdateFromBitmapDataResize(const std::shared_ptr<NSBitmapImageRep> &bitmap) {
    try {
        if (bitmap == nullptr) return false;
        NSImage image(NSMakeSize(double(bitmap->pixelsWide()), double(bitmap->pixelsHigh())));
        image.addRepresentation(bitmap);
        const auto resized = TransparentBitmap(textureWidth(), textureHeight(), &image);
        if (resized == nullptr) return false;
        return textureUpdateFromBitmapDataSameSize(resized);
    } catch (const NSException &) {
        return false;
    }
}

bool NSOGLTextureBase::textureUpdateFromBitmapDataResize_NewVersionDoesNotWorkWithMasks(
    const std::shared_ptr<NSBitmapImageRep> &bitmap) {
    const auto resized = category_NSGraphicsContext::bitmapImageRepWithBitmap(bitmap, textureSize(), QColor(0, 0, 0));
    if (resized == nullptr) return false;
    return textureUpdateFromBitmapDataSameSize(resized);
}

bool NSOGLTextureBase::textureUpdateTransparent_GL_RGBA() {
    try {
        return textureUpdateFromBitmapData(TransparentBitmap(textureWidth(), textureHeight(), nullptr));
    } catch (const NSException &) {
        return false;
    }
}

// ---- Widget contents --------------------------------------------------------------------------------

bool NSOGLTextureBase::textureUpdateFromViewContents(QWidget *view, NSOpenGLContext *textureContext) {
    if (view == nullptr) return false;
    if (view->width() != int(textureWidth()) || view->height() != int(textureHeight())) return false;
    if (textureContext == nullptr || textureContext->CGLContextObj() == nullptr) return false;
    if (!IsRealName(textureName()) || textureWidth() == 0 || textureHeight() == 0) return false;

    QImage picture = view->grab().toImage();
    if (picture.isNull()) return false;
    if (picture.width() != int(textureWidth()) || picture.height() != int(textureHeight()))
        picture = picture.scaled(int(textureWidth()), int(textureHeight()), Qt::IgnoreAspectRatio,
                                 Qt::SmoothTransformation);
    // A drawable read into a texture: its bottom row is texture row 0.
    picture = picture.convertToFormat(QImage::Format_RGBA8888_Premultiplied).mirrored(false, true);

    OpenGL::CGLContextState scope(textureContext);
    BindingScope binding(*this);
    UnpackScope unpack(GLint(picture.bytesPerLine() / 4), 4);
    glTexImage2D(textureTarget(), 0, GL_RGBA, picture.width(), picture.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 picture.constBits());
    OpenGL::DiscardGLErrors();
    return true;
}

// ---- 2vuy frames ------------------------------------------------------------------------------------

namespace {

// Uploads converted RGBA rows (tightly packed) into the bound texture as GL_RGB8.
void Upload2vuyPixels(GLenum target, GLuint width, GLuint height, const uint8_t *rgba) {
    UnpackScope unpack(0, 1);
    glTexParameteri(target, GL_TEXTURE_PRIORITY, 0);
    OpenGL::DiscardGLErrors();
    glTexImage2D(target, 0, GL_RGB8, GLsizei(width), GLsizei(height), 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    OpenGL::DiscardGLErrors();
}

}  // namespace

bool NSOGLTextureBase::textureUpdateFrom_2vuy_data(const void *pixelData, std::size_t rowBytes,
                                                   uint32_t pixelFormat) {
    if (pixelData == nullptr || rowBytes == 0) return false;
    if (textureTarget() != GL_TEXTURE_RECTANGLE_EXT) {
        setTextureUpdateNeeded(false);
        return true;
    }
    if (pixelFormat != k2vuyPixelFormat) return false;
    const GLuint width = textureWidth(), height = textureHeight();
    // Rows of whole pairs, at least a row of the texture's width apart.
    if (rowBytes % 2 != 0 || rowBytes < std::size_t(width + 1) / 2 * 4) return false;
    OpenGL::CGLContextState scope;
    if (CGLGetCurrentContext() == nullptr || !IsRealName(textureName())) return false;

    std::vector<uint8_t> rgba(std::size_t(width) * height * 4);
    NSOGL2vuyPixels::ConvertToRGBA(static_cast<const uint8_t *>(pixelData), rowBytes, rgba.data(),
                                   std::size_t(width) * 4, width, height);
    {
        BindingScope binding(*this);
        Upload2vuyPixels(textureTarget(), width, height, rgba.data());
    }
    setTextureUpdateNeeded(false);
    return true;
}

bool NSOGLTextureBase::textureUpdateFrom_2vuy_data_PBO(std::intptr_t offset, uint32_t pixelFormat) {
    OpenGL::CGLContextState scope;
    if (CGLGetCurrentContext() == nullptr) return false;
    if (textureTarget() != GL_TEXTURE_RECTANGLE_EXT) return true;
    if (pixelFormat != k2vuyPixelFormat || !IsRealName(textureName())) return false;

    // The frame is read from the bound buffer, rows of whole pairs tightly packed.
    const GLuint width = textureWidth(), height = textureHeight();
    const std::size_t rowBytes = std::size_t(width + 1) / 2 * 4;
    const std::size_t frameBytes = rowBytes * height;
    GLint buffer = 0;
    glGetIntegerv(GL_PIXEL_UNPACK_BUFFER_BINDING, &buffer);
    OpenGL::DiscardGLErrors();
    if (buffer == 0 || offset < 0) return false;
    GLint64 bufferSize = 0;
    glGetBufferParameteri64v(GL_PIXEL_UNPACK_BUFFER, GL_BUFFER_SIZE, &bufferSize);
    OpenGL::DiscardGLErrors();
    if (bufferSize < 0 || std::uint64_t(offset) > std::uint64_t(bufferSize) ||
        std::uint64_t(bufferSize) - std::uint64_t(offset) < frameBytes)
        return false;

    std::vector<uint8_t> rgba(std::size_t(width) * height * 4);
    if (frameBytes != 0) {
        const void *mapped = glMapBufferRange(GL_PIXEL_UNPACK_BUFFER, GLintptr(offset), GLsizeiptr(frameBytes),
                                              GL_MAP_READ_BIT);
        if (mapped == nullptr) {
            OpenGL::DiscardGLErrors();
            return false;
        }
        NSOGL2vuyPixels::ConvertToRGBA(static_cast<const uint8_t *>(mapped), rowBytes, rgba.data(),
                                       std::size_t(width) * 4, width, height);
        glUnmapBuffer(GL_PIXEL_UNPACK_BUFFER);
        OpenGL::DiscardGLErrors();
    }
    {
        BindingScope binding(*this);
        Upload2vuyPixels(textureTarget(), width, height, rgba.data());
    }
    setTextureUpdateNeeded(false);
    return true;
}
