// protocol_NSOGLDynamicTexture: what every texture of the OpenGL kit answers, whether it is a
// texture object of its own (NSOGLTextureBase and its subclasses) or the texture of a
// renderer: its name, size, flips, dirty flag, a lock for owners that update it on one thread
// and draw it on another, and the update chain. An owner calls the link that suits it; each
// link goes on to the next one by default:
//
//     textureUpdateWithTime(seconds) -> textureUpdate(time as a number) -> textureUpdate()
//
// The texture coordinates are part of the interface too: the quad matrices
// (NSOGLQuadMatrixProtocol) read them to find the texture's extent and flips.
#pragma once

#include <OpenGL/gl.h>

#include <QVariant>

class protocol_NSOGLDynamicTexture {
public:
    virtual ~protocol_NSOGLDynamicTexture() = default;

    virtual void setTextureName(GLuint textureName) = 0;
    virtual GLuint textureName() const = 0;
    virtual void setTextureWidth(GLuint textureWidth) = 0;
    virtual GLuint textureWidth() const = 0;
    virtual void setTextureHeight(GLuint textureHeight) = 0;
    virtual GLuint textureHeight() const = 0;
    virtual void setFlipVertical(bool flipVertical) = 0;
    virtual bool flipVertical() const = 0;
    virtual void setFlipHorizontal(bool flipHorizontal) = 0;
    virtual bool flipHorizontal() const = 0;
    virtual void setTextureUpdateNeeded(bool textureUpdateNeeded) = 0;
    virtual bool textureUpdateNeeded() const = 0;
    virtual void unlock() = 0;
    virtual void lock() = 0;

    // The update chain; each answers whether the texture holds what it should.
    virtual bool textureUpdateWithTime(double seconds) = 0;
    // `time` is a number (seconds) or null.
    virtual bool textureUpdate(const QVariant &time) = 0;
    virtual bool textureUpdate() = 0;

    // The coordinates to draw the whole texture with, the flips applied (minimum and maximum
    // swapped on a flipped axis).
    virtual float textureCoordSMin() const = 0;
    virtual float textureCoordSMax() const = 0;
    virtual float textureCoordTMin() const = 0;
    virtual float textureCoordTMax() const = 0;
};

// Loads a texture-coordinate (and model-view) transformation into the current OpenGL matrix
// of the current context. Nil (a null pointer) where one is expected means the identity.
class NSOGLQuadMatrixProtocol {
public:
    virtual ~NSOGLQuadMatrixProtocol() = default;

    // Loads the model-view transformation into the current matrix.
    virtual void applyModelViewMatrix() = 0;
    // Loads the texture transformation for `texture` (may be null) into the current matrix.
    virtual void applyTextureMatrix(const protocol_NSOGLDynamicTexture *texture) = 0;
};
