// CamInputVDIGController: the camera source that grabs through the camera reflecter view
// (QCamReflecterView: the Sequence Grabber, a still image or PDF page, or a movie), which
// writes '2vuy' frames into the controller's camera output buffer. On every render-timer tick
// the newest frame becomes a Core Video pixel buffer that wraps the buffer's pixels (no copy)
// and the view's preview a CGImage.
//
// CamInputVDIGNibbler is its source nibbler: the base nibbler stamps each tick with the host
// time and passes it on (CamInputBaseNibbler).
//
// Lifetime: grabbing runs from applicationDidFinishLaunching to applicationWillTerminate,
// which leaves a black frame (Y 16, Cb 128, Cr 128) in the buffer. The pixel buffer borrows
// the output buffer's memory, which lives as long as the controller.
//
// Threads: ticks, launch and termination on the main thread; the two references are guarded
// by the controller's own lock (the getters may be called from any thread).
#pragma once

#include <LumoraApp/CamInputBaseNibbler.h>

#include <CoreImage/CIImage.h>
#include <CoreVideo/CVPixelBuffer.h>
#include <Foundation/NSObject.h>
#include <QCam/Camera/QCamOutputBase.h>
#include <QCam/CameraControls/QCamReflecterView.h>

#include <QPointer>
#include <QString>

#include <mutex>

class CamInputVDIGController : public NSObject, public protocol_CamInputViewController {
    Q_OBJECT
    Q_PROPERTY(QCamReflecterView *camReflectorView READ camReflectorView WRITE setCamReflectorView)

public:
    static constexpr const char *kPreviewButtonKey = "camReflectorView->_previewButton";
    static constexpr const char *kCamImagePDF = "CameraA";
    static constexpr double kDefaultFrameRate = 30.0;

    Q_INVOKABLE explicit CamInputVDIGController(QObject *parent = nullptr);
    ~CamInputVDIGController() override;

    QCamReflecterView *camReflectorView() const { return mCamReflectorView.data(); }
    void setCamReflectorView(QCamReflecterView *view) { mCamReflectorView = view; }

    Q_INVOKABLE void awakeFromNib();
    void applicationDidFinishLaunching(const NSNotification &notification) override;
    void applicationWillTerminate(const NSNotification &notification) override;
    void cameraTimerTick(QObject *sender) override;
    CIImageRef cameraCIImage() override;

    Q_INVOKABLE void setCameraActive(bool active);
    // A file dialog limited to the open-panel types; the chosen file goes to openFileName.
    Q_INVOKABLE void fileOpen(QObject *sender);
    // The view's openFile (which refuses unknown types and files on network file systems).
    bool openFileName(const QString &path);
    // The exact spellings the open panel takes: "mov", "mp4", "MP4", "m4v", "avi", "wmv",
    // "flv", "dv", "pdf", "PDF", "png", "PNG", "jpg", "JPG", "jpeg", "JPEG".
    static bool isOpenPanelType(const QString &path);

    // A pixel buffer over the output buffer's current frame (no copy); null without one.
    // The caller releases it.
    CVPixelBufferRef createCameraPixelBuffer();

    // Under the lock: the plain getters do not retain, the copies do (for the caller), the
    // setters release the old reference and retain the new one, then call the change hook.
    CVPixelBufferRef camPixelBuffer();
    CVPixelBufferRef camPixelBufferCopy();
    void setCamPixelBuffer(CVPixelBufferRef pixelBuffer);
    CGImageRef camOutputImage();
    CGImageRef camOutputImageCopy();
    void setCamOutputImage(CGImageRef image);
    virtual void camPixelBufferChanged() {}
    virtual void camOutputImageChanged() {}

    QCamOutputBuffer &camOutputBuffer() { return mCamOutputBuffer; }
    const Q_2vuy_format &camOutputBufferFormat() const { return mCamOutputBufferFormat; }
    double camOutputClock() const { return mCamOutputClock; }
    void setCamOutputClock(double microseconds) { mCamOutputClock = microseconds; }

private:
    QPointer<QCamReflecterView> mCamReflectorView;
    QCamOutputBuffer mCamOutputBuffer;
    Q_2vuy_format mCamOutputBufferFormat;
    double mCamOutputClock;
    CGImageRef mCamOutputImage;
    CVPixelBufferRef mCamPixelBuffer;
    std::mutex mLock;
};

class CamInputVDIGNibbler : public CamInputBaseNibbler {
    Q_OBJECT

public:
    Q_INVOKABLE explicit CamInputVDIGNibbler(QWidget *parent = nullptr);

    // The nibbler's controller; one that is not a CamInputVDIGController is reported
    // ("self.nibblerController") and answered all the same.
    protocol_CamInputViewController *viewController() const override;
    Q_INVOKABLE void resetDefaultValues(QObject *) override {}
};

bool import_CamInputVDIGController();
