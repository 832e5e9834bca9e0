// QCamReflecterView: the panel view that owns the camera source switcher, shows its preview,
// offers the four source buttons (none, image, live, movie), the movie slider and scrub
// control, accepts dropped files, and paces grabbing when the digitizer camera input ticks it.
//
// Pacing: a tick grabs only when, in whole hundredths of a second, the time since the last
// grab is at least the interval, the larger of the frame duration (1 / frame rate) and
// 1 / the switcher's pace rate; a forced tick always grabs.
//
// Drawing: without a grabber the view is black; with the preview off it shows the
// placeholder PDF ("CameraIn" unless set) at half opacity; with the preview on, the
// switcher's preview image. A drop highlight is a 6-point frame in the highlight colour.
//
// Dropped and chosen files go through the controller's openFile (which refuses unknown
// types and files on network file systems).
//
// Main thread only.
#pragma once

#include <QCam/Camera/QCamSwitcher.h>
#include <QCam/CameraControls/QCamPlayController.h>

#include <AppKit/NSButton.h>
#include <UICocoaControls/NSUIMovieSlider.h>
#include <UICocoaControls/NSUIScrubControl.h>

#include <QByteArray>
#include <QPointer>
#include <QUrl>
#include <QVariant>
#include <QWidget>

#include <memory>

class QCamOutputBase;

class QCamReflecterView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QCamPlayController *_camController MEMBER _camController)
    Q_PROPERTY(NSButton *_previewButton MEMBER _previewButton)
    Q_PROPERTY(NSUIMovieSlider *_movieSlider MEMBER _movieSlider)
    Q_PROPERTY(NSButton *_sourceNone MEMBER _sourceNone)
    Q_PROPERTY(NSButton *_sourceImage MEMBER _sourceImage)
    Q_PROPERTY(NSButton *_sourceLive MEMBER _sourceLive)
    Q_PROPERTY(NSButton *_sourceMovie MEMBER _sourceMovie)
    Q_PROPERTY(NSUIScrubControl *_scrubControl MEMBER _scrubControl)

public:
    static constexpr const char *kDefaultCamImagePDF = "CameraIn";
    // seqGrabDontMakeMovie.
    static constexpr long kGrabFlags = 32;

    explicit QCamReflecterView(QWidget *parent = nullptr);
    ~QCamReflecterView() override;

    Q_INVOKABLE void awakeFromNib();

    // ---- Grabbing -----------------------------------------------------------------------
    int16_t cameraGrabBegin(QCamOutputBase *output, float frameRate, bool activeCamera);
    Q_INVOKABLE void cameraGrabTimer() { cameraGrabTimer(true); }
    void cameraGrabTimer(bool forced);
    void cameraGrabEnd();
    void cameraGrabSetCamOutput(QCamOutputBase *output);
    // The tick-skip rule: elapsed and interval in seconds, compared in whole hundredths.
    static bool shouldSkipTick(double elapsedSeconds, double intervalSeconds);

    // ---- Files --------------------------------------------------------------------------
    bool openFile(const QString &path);
    bool openFileURL(const QUrl &url);

    // ---- Sources ------------------------------------------------------------------------
    Q_INVOKABLE void QCamReflecterSourceChanged(const QVariant &source);
    Q_INVOKABLE void cameraSourceButtonChanged(QObject *sender);
    Q_INVOKABLE void setSourceButton(QObject *sender);
    // _sourceImage 1, _sourceLive 2, _sourceMovie 3, anything else 0.
    int camReflecterSourceButton() const;
    void setCamReflecterSourceButton(int source);
    Q_INVOKABLE void movieSliderChanged(QObject *sender);
    Q_INVOKABLE void movieScrubControlChanged(QObject *sender);
    Q_INVOKABLE void oneSecondTimer();

    // ---- Preview ------------------------------------------------------------------------
    void setActivePreview(bool active);
    bool isPreview() const;
    Q_INVOKABLE void previewButtonChanged(QObject *sender);
    Q_INVOKABLE void cameraControlsChanged(QObject *sender);
    QByteArray camImagePDF() const { return _camImagePDF; }
    void setCamImagePDF(const QByteArray &name) { _camImagePDF = name; }
    // A copy of the preview image after updating it; the caller releases it.
    CGImageRef copyPreviewImageRef();
    void setDropHighlight(bool highlight);
    bool dropHighlight() const { return _dropHighlight; }

    Q_INVOKABLE void loadPreferences();
    Q_INVOKABLE void savePreferences();

    QCamSwitcher *camReflecter() const { return __camReflecter.get(); }
    QCamPlayController *camController() const { return _camController.data(); }
    NSButton *previewButton() const { return _previewButton.data(); }
    double camFrameRate() const { return _camFrameRate; }
    // The time of the last grab (microseconds of the elapsed-time clock).
    double camFrameTime() const { return _camFrameTime; }
    void setCamFrameTime(double microseconds) { _camFrameTime = microseconds; }

    static double nowMicroseconds();

protected:
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void constructQCamReflecter();

    QPointer<QCamPlayController> _camController;
    QPointer<NSButton> _previewButton;
    QPointer<NSUIMovieSlider> _movieSlider;
    QPointer<NSButton> _sourceNone;
    QPointer<NSButton> _sourceImage;
    QPointer<NSButton> _sourceLive;
    QPointer<NSButton> _sourceMovie;
    QPointer<NSUIScrubControl> _scrubControl;
    bool _activePreview;
    bool _dropHighlight;
    QByteArray _camImagePDF;
    double _camFrameTime;
    double _camFrameRate;
    float _camFrameDuration_s;
    QPointer<NSButton> _sourceType;
    std::unique_ptr<QCamSwitcher> __camReflecter;
};
