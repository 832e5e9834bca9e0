// Scopes of the kit's texture uploads: the binding of a texture's target and the context's
// pixel-unpack state, each put back at the end of the scope, and the unpack row length and
// alignment that step a given number of bytes from row to row. Internal to the kit.
#pragma once

#include <CocoaGL/NSOGLTextureBase.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <OpenGL/CGLPixelStore.h>
#include <OpenGL/glext.h>

#include <cstddef>

namespace NSOGLTextureUpload {

// The binding of the texture's target, saved when made and put back at the end of the scope.
class BindingScope {
public:
    explicit BindingScope(const NSOGLTextureBase &texture) : mTarget(texture.textureTarget()) {
        glGetIntegerv(texture.textureBindingQuery(), &mSaved);
        OpenGL::DiscardGLErrors();
        glBindTexture(mTarget, texture.textureName());
        OpenGL::DiscardGLErrors();
    }
    ~BindingScope() {
        glBindTexture(mTarget, GLuint(mSaved));
        OpenGL::DiscardGLErrors();
    }
    BindingScope(const BindingScope &) = delete;
    BindingScope &operator=(const BindingScope &) = delete;

private:
    GLenum mTarget;
    GLint mSaved = 0;
};

// The unpack state for an upload from client memory: no pixel-unpack buffer, nothing
// skipped, the row length and alignment given; the context's own is put back at the end of
// the scope.
class UnpackScope : public CGLPixelStoreScope {
public:
    UnpackScope(GLint rowLength, GLint alignment) : CGLPixelStoreScope(kUnpack, rowLength, alignment) {}
};

// The unpack row length and alignment that make OpenGL step `rowBytes` from row to row of
// pixels of `pixelBytes` bytes, at least `width` pixels a row. OpenGL steps
// alignment x ceil(rowLength x pixelBytes / alignment) bytes; false when no row length and
// alignment (1, 2, 4 or 8) give exactly `rowBytes`.
inline bool UnpackForRowBytes(std::size_t rowBytes, std::size_t pixelBytes, std::size_t width, GLint &rowLength,
                       GLint &alignment) {
    if (pixelBytes == 0 || rowBytes < width * pixelBytes || rowBytes > std::size_t(0x7FFFFFFF)) return false;
    const std::size_t length = rowBytes / pixelBytes;
    for (std::size_t align : {1u, 2u, 4u, 8u}) {
        const std::size_t step = (length * pixelBytes + align - 1) / align * align;
        if (step == rowBytes) {
            rowLength = GLint(length);
            alignment = GLint(align);
            return true;
        }
    }
    return false;
}

}  // namespace NSOGLTextureUpload
