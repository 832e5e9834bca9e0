// NSOGLTextureLayerPBuffer: a pixel-buffer renderer that draws one picture, the layer's
// texture, over a background, through the quad matrix of the layer's panel (its controller,
// set by the owner):
//
//     renderSceneForTime: unit cube begun; the background (colour or picture), which gives the
//     alpha of the scene; the layer texture, blended premultiplied over an opaque background
//     and with source alpha otherwise; the cube ended.
//
// NSOGLQuartzTextureLayer is such a layer whose texture is a composition rendered into a pixel
// buffer of its own (NSOGLQCRendererPBuffer) at each update.
//
// A layer without controller clears to the transparent background and draws no texture. It
// renders on its owner's thread (NSOGLPBufferRendererBase's locks).
#pragma once

#include "NSOGLTextureLayerViewNibbler.h"

#include <CocoaGL/NSOGLPBufferRendererBase.h>
#include <CocoaGL/protocol_NSOGLDrawable.h>
#include <CocoaQZ/QuartzCore/NSOGLQCRendererPBuffer.h>

#include <QPointer>

#include <memory>
#include <mutex>

// A renderer's texture seen as a texture object for the drawing functions, for the length of a
// draw: the name is borrowed, never deleted.
class NSOGLBorrowedRendererTexture : public NSOGLTextureBase {
public:
    explicit NSOGLBorrowedRendererTexture(const NSOGLPBufferRendererBase &renderer);
    ~NSOGLBorrowedRendererTexture() override;
};

class NSOGLTextureLayerPBuffer : public NSOGLPBufferRendererBase {
public:
    NSOGLTextureLayerPBuffer();
    ~NSOGLTextureLayerPBuffer() override;

    // The base initialiser (NSOGLPBufferRendererBase), on the root sharing context.
    virtual bool initWithTextureTarget(GLenum target, GLuint width, GLuint height);

    NSOGLTextureLayerViewNibbler *controller() const { return mController.data(); }
    void setController(NSOGLTextureLayerViewNibbler *controller) { mController = controller; }

    // See the top of the file. True (a frame was drawn); an exception of a step ends the scene.
    bool renderSceneForTime(double seconds) override;
    // With a render context: clears to (0, 0, 0, 0.001), or to the colour well's colour when
    // the background colour is on (an alpha under 0.01 becomes 0.001), stores that alpha in
    // `alpha`, then draws the background picture when it is on and there is one.
    void layerDrawBackgroundRect(NSOGLDrawableRect rect, float *alpha);
    // With a controller, the layer texture on and a texture object: the texture's flips from
    // the controller, then the masked-quad step without mask.
    void layerDrawTextureRect(NSOGLDrawableRect rect, double seconds, float alpha);
    // Nothing without a texture. Blending on; with a mask asked for and given: source alpha,
    // one minus source alpha, the masked quad; otherwise one, one minus source alpha over an
    // opaque background (the texture is premultiplied), source alpha otherwise, the textured
    // quad. Blending restored to source alpha and turned off.
    void layerDrawMaskedQuad(NSOGLDrawableRect rect, NSOGLPBufferRendererBase *texture,
                             NSOGLQuadMatrixProtocol *quadMatrix, float alpha, bool enableMask,
                             const NSOGLTextureBase *maskTexture, const NSOGLNormalMatrix *maskTextureMatrix);
    // The controller's answer; false without one.
    bool sceneHasOpaqueBackgroundWithAlpha(float alpha) const;
    // The layer's texture: the renderer itself (its texture name).
    virtual NSOGLPBufferRendererBase *textureObject();

private:
    QPointer<NSOGLTextureLayerViewNibbler> mController;
};

class NSOGLQuartzTextureLayer : public NSOGLTextureLayerPBuffer {
public:
    NSOGLQuartzTextureLayer();
    ~NSOGLQuartzTextureLayer() override;

    // The layer, then a composition renderer of the same target and size; false when either
    // initialiser refused.
    bool initWithTextureTarget(GLenum target, GLuint width, GLuint height) override;
    // The same, then the composition file opened (and rendered once at time 0); false when the
    // layer could not be made (a file that does not open leaves the composition closed).
    bool initWithCompositionPath(const std::string &path, GLenum target, GLuint width, GLuint height);

    std::shared_ptr<NSOGLQCRendererPBuffer> composition() const;
    void setComposition(std::shared_ptr<NSOGLQCRendererPBuffer> composition);
    QCRenderArguments rendererArguments() const;
    void setRendererArguments(const QCRenderArguments &arguments);

    // Passed to the composition renderer; false (or nothing) without one.
    bool openCompositionPath(const std::string &path);
    bool openCompositionData(CFDataRef data);
    bool openComposition(QCCompositionRef composition);
    bool isCompositionOpen() const;
    // Also forgets the arguments.
    void closeComposition();
    bool setValue(const QCValue &value, const std::string &key);
    bool hasInputKey(const std::string &key) const;

    // The composition renders at the time with the arguments, then the layer's scene.
    bool textureUpdateWithTime(double seconds) override;
    // The composition renderer.
    NSOGLPBufferRendererBase *textureObject() override;

private:
    mutable std::mutex mCompositionLock;
    std::shared_ptr<NSOGLQCRendererPBuffer> mComposition;
    QCRenderArguments mRendererArguments;
};

bool import_NSOGLTextureLayerPBuffer();
