// QTZInputController: the frame source of the camera view's loop. Each frame it advances the
// camera source, takes its newest frame (or the built-in test image when the source has no
// picture), runs it through the tint, mask and stencil stage and hands back the filtered frame.
// It also binds the video-input settings (the video-input parameter table) to their controls,
// saves and restores them in a design bookmark, and rewrites a composition so that its video
// input becomes the published input "cameraImage".
//
//     pullCameraImageThroughTintMaskQCFilter():
//         cameraTimerTick                      timed as "Input Camera Frame"
//         then, timed as "Render Input Tint & Mask":
//         frame = cameraInputFrame()           the source's frame when it has a picture,
//                                              else a new frame of the test image
//         no stage, or no Core Image picture:  the frame as it is
//         stage.setInputImage(picture); output = stage.outputImage()
//         output null (or the stage raised):   the frame as it is (nothing derived, no frame
//                                              cached), the failure logged when it raised
//         otherwise a frame derived from the camera frame with the output (cachedInputFrame)
//
// The camera source and the tint stage are nib objects of their own (QObjects) that answer the
// two small interfaces below; the controller reaches their outlets by key.
//
// The test image is "cameraImage.png" among the main bundle's resources (a 640 x 480 colour
// chart the build makes), loaded at first need and kept.
//
// Main thread only.
#pragma once

#include "CamInputFrame.h"

#include <CoreFoundation/CFData.h>
#include <CoreImage/CIImage.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSObject.h>
#include <UIParamMapping/NSUIParamMapping.h>

#include <QList>
#include <QPointer>
#include <QVariantMap>

#include <memory>

class NSUIMaskController;

// What the controller asks of the camera source view controller.
class protocol_QTZCameraInputSource {
public:
    virtual ~protocol_QTZCameraInputSource() = default;
    // The newest frame (null or a frame without picture when there is none).
    virtual CamInputFrameRef cameraInputFrame() = 0;
    // The render-timer tick that advances the source.
    virtual void cameraTimerTick(QObject *sender) = 0;
    virtual void applicationDidFinishLaunching(const NSNotification &notification) = 0;
    virtual void applicationWillTerminate(const NSNotification &notification) = 0;
};

// What the controller asks of the tint, mask and stencil stage. The stage's own switches
// ("outletChromaTintEnabled", "outletSampleMaskEnabled", "outletSampleAlphaEnabled",
// "outletFilterMaskEnabled", "outletFilterAlphaEnabled") and those of the tint controller
// ("outletImageView", "outletTintTypeSelected", "outletTintAmountSlider", "outletColorWellOne",
// "outletColorWellTwo", "outletGradientType") and the stencil controller ("outletImageView")
// are read by key.
class protocol_QTZTintMaskFilter {
public:
    virtual ~protocol_QTZTintMaskFilter() = default;
    virtual void setInputImage(CIImageRef image) = 0;
    // The filtered picture of the last input; null when there is none.
    virtual CIImageRef outputImage() = 0;
    virtual void resetDefaultValues(QObject *sender) = 0;
    virtual void updateNibblerChanged(QObject *sender) = 0;
    // The controllers whose controls the settings are bound to; null when absent.
    virtual QObject *imageTintController() const = 0;
    virtual QObject *sampledMaskController() const = 0;
    virtual NSUIMaskController *filterMaskController() const = 0;
    // The tint gradient view's four point controls: x0, y0, x1, y1 (missing ones null).
    virtual QList<QObject *> tintGradientPointControls() const = 0;
};

class QTZInputController : public NSObject {
    Q_OBJECT
    Q_PROPERTY(QObject *camViewNibbler READ camViewNibbler WRITE setCamViewNibbler)
    Q_PROPERTY(QObject *tintMaskNibbler READ tintMaskNibbler WRITE setTintMaskNibbler)

public:
    Q_INVOKABLE explicit QTZInputController(QObject *parent = nullptr);
    ~QTZInputController() override;

    // The camera source and the tint stage: objects answering the interfaces above (others
    // count as absent).
    QObject *camViewNibbler() const { return mCamViewNibbler.data(); }
    void setCamViewNibbler(QObject *nibbler) { mCamViewNibbler = nibbler; }
    QObject *tintMaskNibbler() const { return mTintMaskNibbler.data(); }
    void setTintMaskNibbler(QObject *nibbler) { mTintMaskNibbler = nibbler; }
    protocol_QTZCameraInputSource *cameraSource() const;
    protocol_QTZTintMaskFilter *tintMaskFilter() const;

    CIImageRef testImage() const { return mTestImage; }
    void setTestImage(CIImageRef image) { mTestImage = std::move(image); }
    CamInputFrameRef cachedInputFrame() const { return mCachedInputFrame; }
    void setCachedInputFrame(CamInputFrameRef frame) { mCachedInputFrame = std::move(frame); }

    // ---- Frames ----------------------------------------------------------------------------

    // The source's frame when it has a picture; otherwise a new frame of the test image (a
    // frame without picture when the bundle holds none).
    CamInputFrameRef cameraInputFrame();
    // "cameraImage.png" of the main bundle, loaded once; null when it cannot be read.
    CIImageRef cameraTestImage();
    // The source's cameraTimerTick with this controller, timed as "Input Camera Frame".
    Q_INVOKABLE void cameraTimerTick(QObject *sender = nullptr);
    // See the top of the file; null only when there is no frame at all.
    CamInputFrameRef pullCameraImageThroughTintMaskQCFilter();

    // ---- Application -----------------------------------------------------------------------

    Q_INVOKABLE void cameraUpdateTimer(QObject *) {}
    Q_INVOKABLE void setCameraActive(bool) {}
    Q_INVOKABLE void awakeFromNib() {}
    // Forwarded to the camera source.
    Q_INVOKABLE void applicationDidFinishLaunching(const NSNotification &notification);
    Q_INVOKABLE void applicationWillTerminate(const NSNotification &notification);
    // Forwarded to the tint stage.
    Q_INVOKABLE void resetDefaultValues(QObject *sender = nullptr);

    // ---- Settings --------------------------------------------------------------------------

    // The process-wide video-input parameter mapping.
    static ParamMapping &videoInputParamMapping();
    void mapParamControls() { mapParamControlsOnce(); }
    // Binds the rows of each group (tint, stencil, mask) to the stage's controls, each group
    // once per process and only when its controller exists.
    void mapParamControlsOnce();
    // The dictionary applied to the controls, then the stage told; false (logged) when
    // something raised.
    bool setControlParamsFromDictionary(const QVariantMap &settings);
    // The "video.input." settings added: "video.input.mask.refines" = "defaults", the
    // ".option." rows, the mask controller's settings, "video.input.tint.refines" =
    // "defaults", the ".tint." rows, "video.input.stencil.refines" = "defaults", the
    // ".stencil." rows. A null dictionary is reported ("settings") and answers false.
    bool addControlParamsToDictionary(QVariantMap *settings, bool includeAllParameters);

    // The composition rewritten so that its first "VideoInput_1".."_9" node is a splitter
    // published as "cameraImage"; null (reported as "resultData") when that cannot be done.
    static CFDataRef transformCompositionData(CFDataRef data);

private:
    QPointer<QObject> mCamViewNibbler;
    QPointer<QObject> mTintMaskNibbler;
    CIImageRef mTestImage;
    CamInputFrameRef mCachedInputFrame;
};

bool import_QTZInputController();
