// NSOGLTextureLayerViewNibbler: the panel of a texture layer. It holds the background settings
// (a colour, a picture shown in an image view), the quick flips and the layer's matrix
// controller, answers the layer's questions about them, and builds the background picture's
// texture in the root sharing context's share group, so that the layer's own context draws it.
//
// The delegate (NSUIViewNibbler's) is the object the layer draws for: its render bounds (when it
// is a protocol_NSOGLDrawable) give the background texture's size.
//
// Threads. Panel actions come on the main thread; the layer asks its questions on the thread
// it renders on. The background texture is made and updated under the render lock (lock /
// unlock), inside a section synchronized on the nibbler.
#pragma once

#include <CocoaGL/NSOGLImageViewTexture.h>
#include <CocoaGL/NSOGLNormalMatrix.h>
#include <CocoaGL/NSOGLTextureBase.h>
#include <CocoaGL/protocol_NSOGLDrawable.h>
#include <UICocoaViews/NSUIViewNibbler.h>

#include <Foundation/NSNotification.h>

#include <QColor>
#include <QPointer>

#include <memory>
#include <mutex>

class NSOGLTextureMatrixController;

class NSOGLTextureLayerViewNibbler : public NSUIViewNibbler {
    Q_OBJECT
    Q_PROPERTY(QObject *outletBackgroundImageView MEMBER outletBackgroundImageView)
    Q_PROPERTY(QObject *outletBackgroundColorDraw MEMBER outletBackgroundColorDraw)
    Q_PROPERTY(QObject *outletBackgroundColorWell MEMBER outletBackgroundColorWell)
    Q_PROPERTY(QObject *outletBackgroundsPopupButton MEMBER outletBackgroundsPopupButton)
    Q_PROPERTY(QObject *outletBackgroundImageDraw MEMBER outletBackgroundImageDraw)
    Q_PROPERTY(QObject *outletLayerQuickFlipX MEMBER outletLayerQuickFlipX)
    Q_PROPERTY(QObject *outletLayerQuickFlipY MEMBER outletLayerQuickFlipY)
    Q_PROPERTY(QObject *outletLayerDrawButton MEMBER outletLayerDrawButton)
    Q_PROPERTY(QObject *outletLayerMatrixController READ layerMatrixController WRITE setLayerMatrixController)

public:
    Q_INVOKABLE explicit NSOGLTextureLayerViewNibbler(QWidget *parent = nullptr);
    ~NSOGLTextureLayerViewNibbler() override;

    // Outlets (nib objects, not owned).
    QPointer<QObject> outletBackgroundImageView;  // an NSImageView
    QPointer<QObject> outletBackgroundColorDraw;
    QPointer<QObject> outletBackgroundColorWell;  // an NSColorWell (with alpha)
    QPointer<QObject> outletBackgroundsPopupButton;
    QPointer<QObject> outletBackgroundImageDraw;
    QPointer<QObject> outletLayerQuickFlipX;
    QPointer<QObject> outletLayerQuickFlipY;
    QPointer<QObject> outletLayerDrawButton;
    QObject *layerMatrixController() const;
    void setLayerMatrixController(QObject *controller);

    // ---- What the layer asks ------------------------------------------------------------------

    // The matrix controller's textureEnabled; false without a controller.
    bool layerTextureEnabled() const;
    // The quick flip is on, or the controller's texture is flipped.
    virtual bool layerFlippedHorizontal() const;
    bool layerFlippedVertical() const;
    // The controller's record as a texture quad matrix that applies the translation; the
    // default record without a controller.
    std::shared_ptr<NSOGLNormalQuadMatrix> layerQuadMatrix() const;
    bool layerBackgroundEnabled() const;
    bool layerBackgroundImageEnabled() const;
    // The colour well's colour as RGB; transparent without a well or a valid colour.
    QColor layerBackgroundColorInNSCalibratedRGBColorSpace() const;
    // The background picture is on, or the colour is on and alpha is above 0.001.
    bool layerHasOpaqueBackgroundWithAlpha(float alpha) const;
    // Makes the background texture when there is none, updates it when it needs it; null
    // when there is none.
    std::shared_ptr<NSOGLImageViewTexture> layerBackgroundTextureUpdateIfDirty();
    // See the top of the file. A texture is made only for an image view and bounds of at
    // least one pixel a side.
    void updateBackgroundTexture();
    std::shared_ptr<NSOGLImageViewTexture> backgroundTexture() const;
    void setBackgroundTexture(std::shared_ptr<NSOGLImageViewTexture> texture);

    // ---- Panel actions ------------------------------------------------------------------------
    Q_INVOKABLE void backgroundImageParamChanged(QObject *sender);
    Q_INVOKABLE void backgroundImageViewChanged(QObject *sender);
    Q_INVOKABLE void layerTextureMatrixChanged(QObject *sender);
    Q_INVOKABLE void layerMaskTextureChanged(QObject *sender);
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);

    // ---- The render lock and the delegate -------------------------------------------------------
    void lock() { mRenderLock.lock(); }
    void unlock() { mRenderLock.unlock(); }
    protocol_NSOGLDrawable *delegateDrawable() const;
    CGLContextObj delegateContext() const;
    static std::shared_ptr<NSOpenGLContext> delegateSharingContext();
    CGRect delegateBounds() const;
    QWidget *controllerView() { return this; }

private:
    NSOGLTextureMatrixController *matrixController() const;

    QPointer<QObject> mMatrixController;
    NSOGLRecursiveLock mRenderLock;
    std::mutex mSynchronized;  // @synchronized(self)
    mutable std::mutex mTextureLock;
    std::shared_ptr<NSOGLImageViewTexture> mBackgroundTexture;
};

bool import_NSOGLTextureLayerViewNibbler();
