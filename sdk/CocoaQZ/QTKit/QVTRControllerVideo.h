// QVTRControllerVideo: a QTKit capture session with its list of cameras, the selected camera,
// device connect and disconnect handling, tape-deck transport control for devices that have
// it, and recording to a numbered movie "Lumora_%03d.mov" in the temporary folder.
// QVTRControllerCVGrabber (QVTRControllerCVGrabber.h) adds a frame output that keeps the latest
// camera frame.
//
// Observable properties (key-value observing): videoDevices, videoDevicesLocalizedNames,
// selectedVideoDevice, selectedVideoDeviceLocalizedName, selectedVideoDeviceProvidesAudio,
// hasRecordingDevice, controllableDevice, mediaFormatSummary, recording, devicePlaying,
// deviceRewinding, deviceFastforwarding.
//
// Threads. The controller lives on the main thread. Device connect and disconnect notifications
// arrive on the capture layer's threads; the list refresh they cause runs on the main queue
// (only while the controller still exists). A selected camera that is unplugged is deselected
// there, with the log line "QVTRControllerVideo: camera \"<name>\" was disconnected; no camera
// selected".
#pragma once

#include <Foundation/NSNotification.h>
#include <Foundation/NSObject.h>
#include <QTKit/QTCaptureMovieFileOutput.h>
#include <QTKit/QTCaptureSession.h>

#include <QStringList>

#include <memory>
#include <vector>

// What the controller tells its delegate.
class protocol_QVTRControllerSession {
public:
    virtual ~protocol_QVTRControllerSession() = default;
    virtual void captureSessionError(const QTCaptureError &error) = 0;
    virtual void captureSessionEnded(const QString &fileURL) = 0;
};

class QVTRControllerVideo : public NSObject, protected protocol_QTCaptureFileOutputDelegate {
    Q_OBJECT
    Q_PROPERTY(QStringList videoDevicesLocalizedNames READ videoDevicesLocalizedNames)
    Q_PROPERTY(QString selectedVideoDeviceLocalizedName READ selectedVideoDeviceLocalizedName WRITE
                   setSelectedVideoDeviceLocalizedName)
    Q_PROPERTY(bool selectedVideoDeviceProvidesAudio READ selectedVideoDeviceProvidesAudio)
    Q_PROPERTY(bool hasRecordingDevice READ hasRecordingDevice)
    Q_PROPERTY(QString mediaFormatSummary READ mediaFormatSummary)
    Q_PROPERTY(bool recording READ isRecording WRITE setRecording)
    Q_PROPERTY(bool devicePlaying READ isDevicePlaying WRITE setDevicePlaying)
    Q_PROPERTY(bool deviceRewinding READ isDeviceRewinding WRITE setDeviceRewinding)
    Q_PROPERTY(bool deviceFastforwarding READ isDeviceFastforwarding WRITE setDeviceFastforwarding)

public:
    Q_INVOKABLE explicit QVTRControllerVideo(QObject *parent = nullptr);
    // Removes the observers, stops and drops the session.
    ~QVTRControllerVideo() override;

    protocol_QVTRControllerSession *delegate() const { return mDelegate; }
    void setDelegate(protocol_QVTRControllerSession *delegate) { mDelegate = delegate; }

    // ---- The session -----------------------------------------------------------------------
    Q_INVOKABLE void captureSessionBegin(QObject *sender = nullptr);
    Q_INVOKABLE void captureSessionEnd(QObject *sender = nullptr);
    QTCaptureSession *session() const { return mSession.get(); }
    const std::shared_ptr<QTCaptureDeviceInput> &videoDeviceInput() const { return mVideoDeviceInput; }
    const std::shared_ptr<QTCaptureMovieFileOutput> &movieFileOutput() const { return mMovieFileOutput; }
    const std::shared_ptr<QTCaptureOutput> &videoCaptureOutput() const { return mVideoCaptureOutput; }

    // ---- Devices ---------------------------------------------------------------------------
    std::vector<QTCaptureDevice *> videoDevices();
    QStringList videoDevicesLocalizedNames();
    // Video devices then muxed ones, by display name.
    static std::vector<QTCaptureDevice *> availableVideoInputDevicesNotIncludingNoCamera();
    Q_INVOKABLE void refreshAudioVideoInputDevices();
    Q_INVOKABLE void devicesDidChange(const NSNotification &notification);
    QTCaptureDevice *selectedVideoDevice() const;
    void setSelectedVideoDevice(QTCaptureDevice *device);
    QString selectedVideoDeviceLocalizedName() const;
    void setSelectedVideoDeviceLocalizedName(const QString &name);
    // No audio devices: nothing selected, nothing done.
    QObject *selectedAudioDevice() const { return nullptr; }
    void setSelectedAudioDevice(QObject *) {}
    bool selectedVideoDeviceProvidesAudio() const;

    // ---- Recording and formats -------------------------------------------------------------
    bool hasRecordingDevice() const { return mVideoDeviceInput != nullptr; }
    bool isRecording() const;
    void setRecording(bool recording);
    QString mediaFormatSummary() const;
    bool getVideoMediaFormatSummary(QString &summary) const;
    bool getAudioMediaFormatSummary(QString &) const { return false; }

    // ---- Transport -------------------------------------------------------------------------
    QTCaptureDevice *controllableDevice() const;
    bool isDevicePlaying() const;
    void setDevicePlaying(bool playing);
    bool isDeviceRewinding() const;
    void setDeviceRewinding(bool rewinding);
    bool isDeviceFastforwarding() const;
    void setDeviceFastforwarding(bool fastforwarding);
    Q_INVOKABLE void stopDevice(QObject *sender = nullptr);

    Q_INVOKABLE void connectionFormatWillChange(const NSNotification &notification);
    Q_INVOKABLE void connectionFormatDidChange(const NSNotification &notification);
    Q_INVOKABLE void deviceAttributeWillChange(const NSNotification &notification);
    Q_INVOKABLE void deviceAttributeDidChange(const NSNotification &notification);

    QSet<QString> keyPathsForValuesAffectingValueForKey(const QString &key) const override;

protected:
    // Overridable steps of captureSessionBegin.
    virtual void captureSessionAttachPreviewConnections() {}
    virtual void captureSessionAttachOutputConnections();
    virtual void captureSessionSelectDefaultDevices();
    // Removes the input from the session and drops it.
    virtual void closeVideoDeviceInput();

    // The movie file output's delegate calls.
    void captureOutputWillStartRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                          const std::vector<QTCaptureConnection *> &) override;
    void captureOutputDidStartRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                         const std::vector<QTCaptureConnection *> &) override;
    bool captureOutputShouldChangeOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                  const QTCaptureError &) override;
    void captureOutputMustChangeOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                const QTCaptureError &) override;
    void captureOutputWillFinishRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                           const QTCaptureError &) override;
    void captureOutputDidFinishRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                          const QTCaptureError &) override;

    std::unique_ptr<QTCaptureSession> mSession;
    std::shared_ptr<QTCaptureDeviceInput> mVideoDeviceInput;
    std::shared_ptr<QTCaptureMovieFileOutput> mMovieFileOutput;
    std::shared_ptr<QTCaptureOutput> mVideoCaptureOutput;

private:
    void setTransport(long speed, long playbackMode);
    bool transport(long &speed, long &playbackMode) const;
    void scheduleRefresh();

    protocol_QVTRControllerSession *mDelegate = nullptr;
    std::vector<QTCaptureDevice *> mVideoInputDevices;
    bool mHasDeviceList = false;
    bool mObserving = false;
};

bool import_QVTRControllerVideo();
