// LumoraRenderBuffer: renders the current effect composition into an offscreen 640 x 480 pixel
// buffer whose texture (in the root sharing context's share group) the camera view draws,
// shares and records.
//
// The composition is played by a composition texture layer (NSOGLQuartzTextureLayer), made at
// the first open and kept for every later composition. Each frame the buffer feeds it:
//
//     textureUpdateWithTime(t)             (the camera view, under the buffer's lock)
//       setTimeBasedInputKeys(t)           tweening master time, then the published inputs:
//                                          "inputEffectAmount", "inputEffectTime",
//                                          "advancedInputEffectFrequency", the 1-D filter images
//                                          "advancedInputEffectTexture1DY"/"...1DX" and their
//                                          "...Amount"s: each only when the composition
//                                          publishes it (flags computed once per open)
//       renderSceneForTime(t)              camera image -> "cameraImage", renderer arguments
//                                          (mouse), the layer rendered; then the layer drawn
//                                          premultiplied over (0, 0, 0, 0.001) into the buffer
//       the copy into the texture          (NSOGLPBufferRendererBase)
//
// The camera image is, in this order of choice: the camera frame's picture (its Core Graphics
// image, else its Core Image image), the Core Image image, the Core Graphics image. Without
// any of them the layer is not rendered again: the buffer draws its last picture.
//
// Failures: data that does not open as a composition, and exceptions of the composition (open,
// camera update, renderer arguments, draw) are logged ("LumoraRenderBuffer::openCompositionData
// exception:%@\n", ...) and never leave the buffer; a failed open keeps the composition, the
// flags and the picture of before, and the buffer goes on rendering.
//
// Threads. The camera view opens compositions and updates the buffer on the main thread under
// its composition lock and the buffer's lock (lock / unlock, the render lock); the display
// link and the sharing draw the texture under the buffer's lock. The camera image and frame
// may be handed over from another thread: the Core Graphics image under the buffer's monitor,
// the other properties under their own lock.
#pragma once

#include "CamInputFrame.h"
#include "LumoraInterpolationController.h"
#include "NSOGLTextureLayerPBuffer.h"
#include "NSOGLTextureLayerViewNibbler.h"

#include <CocoaGL/NSOGL1DTextureView.h>
#include <CocoaGL/NSOGLPBufferRendererBase.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGGeometry.h>
#include <CoreGraphics/CGImage.h>
#include <CoreImage/CIImage.h>
#include <Foundation/NSObject.h>

#include <QMouseEvent>
#include <QPointer>
#include <QVariant>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

class LumoraRenderBuffer : public NSObject, public NSOGLPBufferRendererBase {
    Q_OBJECT
    Q_PROPERTY(QObject *outletLumoraRebroadcastControl MEMBER outletLumoraRebroadcastControl)
    Q_PROPERTY(QObject *outletLumoraLayerController READ layerControllerObject WRITE setLayerControllerObject)
    Q_PROPERTY(QObject *outletInterpolationController READ interpolationControllerObject WRITE setInterpolationControllerObject)
    Q_PROPERTY(QObject *outletY1DTextureView READ y1DTextureViewObject WRITE setY1DTextureViewObject)
    Q_PROPERTY(QObject *outletX1DTextureView READ x1DTextureViewObject WRITE setX1DTextureViewObject)
    Q_PROPERTY(QVariant inputEffectTex1DXAmount READ inputEffectTex1DXAmount WRITE setInputEffectTex1DXAmount)
    Q_PROPERTY(QVariant inputEffectTex1DYAmount READ inputEffectTex1DYAmount WRITE setInputEffectTex1DYAmount)

public:
    static constexpr GLuint kBufferWidth = 640, kBufferHeight = 480;

    // The buffer of 640 x 480 on the rectangle target in the root sharing context, nothing
    // cleared, both 1-D amounts 0.5 (see init()).
    Q_INVOKABLE explicit LumoraRenderBuffer(QObject *parent = nullptr);
    // closeComposition, then the layer, the camera frame and images and the mouse let go.
    ~LumoraRenderBuffer() override;

    // True when the pixel buffer was made.
    bool isInitialized() const { return mInitialized; }
    // mSharedCameraBufferNumber = 0.
    Q_INVOKABLE void awakeFromNib();

    // ---- Outlets ---------------------------------------------------------------------------
    QPointer<QObject> outletLumoraRebroadcastControl;  // not used by the render path
    NSOGLTextureLayerViewNibbler *layerController() const { return mLayerController.data(); }
    void setLayerController(NSOGLTextureLayerViewNibbler *controller) { mLayerController = controller; }
    LumoraInterpolationController *interpolationController() const { return mInterpolationController.data(); }
    void setInterpolationController(LumoraInterpolationController *controller) { mInterpolationController = controller; }
    NSOGLTexture1DViewNibbler *y1DTextureView() const { return mY1DTextureView.data(); }
    void setY1DTextureView(NSOGLTexture1DViewNibbler *view) { mY1DTextureView = view; }
    NSOGLTexture1DViewNibbler *x1DTextureView() const { return mX1DTextureView.data(); }
    void setX1DTextureView(NSOGLTexture1DViewNibbler *view) { mX1DTextureView = view; }

    int32_t sharedCameraBufferNumber() const { return mSharedCameraBufferNumber; }

    // ---- The composition -------------------------------------------------------------------

    // openCompositionData with the file's bytes (a file that cannot be read is logged).
    void openCompositionPath(const std::string &path);
    // See the top of the file: the layer made at the first call (with the root sharing
    // context current), the data opened in it, the layer's controller set, the published
    // inputs read and pushed.
    void openCompositionData(CFDataRef data);
    bool isCompositionOpen() const;
    // The layer's composition closed and the published-input flags cleared.
    void closeComposition();
    std::shared_ptr<NSOGLQuartzTextureLayer> cameraLayerTexture() const;

    // ---- Rendering -------------------------------------------------------------------------

    // setTimeBasedInputKeys, the base's update, lastUpdateTime = t; the base's answer.
    bool textureUpdateWithTime(double seconds) override;
    // The camera image pushed and the layer rendered, then the layer drawn into the buffer.
    bool renderSceneForTime(double seconds) override;
    double lastUpdateTime() const { return mLastUpdateTime; }

    // ---- The camera image ------------------------------------------------------------------

    CamInputFrameRef inputCameraFrame() const;
    void setInputCameraFrame(CamInputFrameRef frame);
    CIImageRef inputCameraImage() const;
    void setInputCameraImage(CIImageRef image);
    // Under the buffer's monitor: borrowed / retained (the caller releases) / the old one
    // released and the new one retained.
    CGImageRef inputCameraImageRef() const;
    CGImageRef inputCameraImageRefCopy() const;
    void setInputCameraImageRef(CGImageRef image);
    // See the top of the file.
    bool hasCameraImageForInputPublishedPort() const;
    CIImageRef cameraImageForInputPublishedPort() const;

    // ---- The mouse -------------------------------------------------------------------------

    // The point (0..1, origin bottom-left) stored as mousePointValue, x mirrored (1 - x) when
    // the layer controller says the layer is flipped horizontally.
    void setMousePointNormalizedCoordinates(CGPoint point);
    std::optional<CGPoint> mousePointValue() const;
    void setMousePointValue(std::optional<CGPoint> point);
    // A copy of the event is kept (null forgets it).
    void setMouseEvent(const QMouseEvent *event);
    bool hasMouseEvent() const;

    // ---- The 1-D filter strengths ----------------------------------------------------------

    // Numbers (key paths of the presets); nil stores 0.
    QVariant inputEffectTex1DXAmount() const { return double(mInputEffectTex1DXAmountNormal.load()); }
    void setInputEffectTex1DXAmount(const QVariant &amount);
    QVariant inputEffectTex1DYAmount() const { return double(mInputEffectTex1DYAmountNormal.load()); }
    void setInputEffectTex1DYAmount(const QVariant &amount);

    // ---- Published inputs ------------------------------------------------------------------

    bool hasInputEffectAmount() const { return mHasInputEffectAmount; }
    bool hasInputEffectTime() const { return mHasInputEffectTime; }
    bool hasInputEffectParameter() const { return mHasInputEffectParameter; }
    bool hasInputEffectTex1DX() const { return mHasInputEffectTex1DX; }
    bool hasInputEffectTex1DXAmount() const { return mHasInputEffectTex1DXAmount; }
    bool hasInputEffectTex1DY() const { return mHasInputEffectTex1DY; }
    bool hasInputEffectTex1DYAmount() const { return mHasInputEffectTex1DYAmount; }

    // Each sets its input on the layer, only when the composition publishes it.
    void setCompositionInputEffectAmount(float value);
    void setCompositionInputEffectTime(float value);
    void setCompositionInputEffectParameter(float value);
    void setCompositionInputEffectTex1DYParameter(CGImageRef image);
    void setCompositionInputEffectTex1DXParameter(CGImageRef image);
    void setCompositionInputEffectTex1DYAmount(const QVariant &amount);
    void setCompositionInputEffectTex1DXAmount(const QVariant &amount);
    // The tweening master time, then every published per-frame input.
    void setTimeBasedInputKeys(double seconds);

private:
    QObject *layerControllerObject() const { return mLayerController.data(); }
    void setLayerControllerObject(QObject *object) {
        mLayerController = qobject_cast<NSOGLTextureLayerViewNibbler *>(object);
    }
    QObject *interpolationControllerObject() const { return mInterpolationController.data(); }
    void setInterpolationControllerObject(QObject *object) {
        mInterpolationController = qobject_cast<LumoraInterpolationController *>(object);
    }
    QObject *y1DTextureViewObject() const { return mY1DTextureView.data(); }
    void setY1DTextureViewObject(QObject *object) { mY1DTextureView = qobject_cast<NSOGLTexture1DViewNibbler *>(object); }
    QObject *x1DTextureViewObject() const { return mX1DTextureView.data(); }
    void setX1DTextureViewObject(QObject *object) { mX1DTextureView = qobject_cast<NSOGLTexture1DViewNibbler *>(object); }

    void openCompositionTextureLayer(NSOGLQuartzTextureLayer &layer);
    void clearPublishedInputFlags();
    void updateCameraLayerTextureForTime(double seconds);
    void setQCRendererArguments();
    void renderSceneWithComposition(NSOGLDrawableRect rect);
    bool setLayerValue(bool published, const QCValue &value, const char *key);

    bool mInitialized = false;
    QPointer<NSOGLTextureLayerViewNibbler> mLayerController;
    QPointer<LumoraInterpolationController> mInterpolationController;
    QPointer<NSOGLTexture1DViewNibbler> mY1DTextureView;
    QPointer<NSOGLTexture1DViewNibbler> mX1DTextureView;

    std::shared_ptr<NSOGLQuartzTextureLayer> mCameraLayerTexture;  // main thread (composition lock)
    int32_t mSharedCameraBufferNumber = 0;
    bool mHasInputEffectTime = false, mHasInputEffectAmount = false, mHasInputEffectParameter = false;
    bool mHasInputEffectTex1DX = false, mHasInputEffectTex1DXAmount = false;
    bool mHasInputEffectTex1DY = false, mHasInputEffectTex1DYAmount = false;
    std::atomic<float> mInputEffectTex1DXAmountNormal{0.5f};
    std::atomic<float> mInputEffectTex1DYAmountNormal{0.5f};
    double mLastUpdateTime = 0;

    mutable std::mutex mPropertyLock;  // the frame, the Core Image image, the mouse
    std::unique_ptr<QMouseEvent> mMouseEvent;
    std::optional<CGPoint> mMousePointValue;
    CIImageRef mInputCameraImage;
    CamInputFrameRef mInputCameraFrame;
    mutable std::recursive_mutex mMonitor;  // the Core Graphics image (@synchronized(self))
    CGImageRef mInputCameraImageRef = nullptr;
};

bool import_LumoraRenderBuffer();
