#include "QVTRControllerVideo.h"

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CoreNumberedFilename.h>
#include <Foundation/NSException.h>
#include <dispatch/dispatch.h>

#include <QDir>
#include <QPointer>

#include <algorithm>

namespace {

constexpr long kPlaySpeed = 10000;
constexpr long kWindSpeed = 13000;

bool Contains(const std::vector<QTCaptureDevice *> &devices, const QTCaptureDevice *device) {
    return std::find(devices.begin(), devices.end(), device) != devices.end();
}

}  // namespace

QVTRControllerVideo::QVTRControllerVideo(QObject *parent) : NSObject(parent) {}

QVTRControllerVideo::~QVTRControllerVideo() {
    if (mObserving) NSNotificationCenter::defaultCenter().removeObserver(this);
    if (mSession) mSession->stopRunning();
    if (mMovieFileOutput) mMovieFileOutput->setDelegate(nullptr);
    mVideoDeviceInput.reset();
    mMovieFileOutput.reset();
    mVideoCaptureOutput.reset();
    mSession.reset();
}

QSet<QString> QVTRControllerVideo::keyPathsForValuesAffectingValueForKey(const QString &key) const {
    if (key == QLatin1String("hasRecordingDevice") || key == QLatin1String("mediaFormatSummary"))
        return {QStringLiteral("selectedVideoDevice"), QStringLiteral("selectedAudioDevice")};
    if (key == QLatin1String("controllableDevice") || key == QLatin1String("selectedVideoDeviceProvidesAudio"))
        return {QStringLiteral("selectedVideoDevice")};
    return NSObject::keyPathsForValuesAffectingValueForKey(key);
}

// ---- The session ---------------------------------------------------------------------------------

void QVTRControllerVideo::captureSessionBegin(QObject *) {
    if (mSession) captureSessionEnd(nullptr);
    mSession = std::make_unique<QTCaptureSession>();
    captureSessionAttachPreviewConnections();
    captureSessionAttachOutputConnections();
    captureSessionSelectDefaultDevices();
    mSession->startRunning();
    if (!mObserving) {
        NSNotificationCenter &centre = NSNotificationCenter::defaultCenter();
        centre.addObserver(this, "devicesDidChange", QTCaptureDeviceWasConnectedNotification, nullptr);
        centre.addObserver(this, "devicesDidChange", QTCaptureDeviceWasDisconnectedNotification, nullptr);
        centre.addObserver(this, "connectionFormatWillChange", QTCaptureConnectionFormatDescriptionWillChangeNotification,
                           nullptr);
        centre.addObserver(this, "connectionFormatDidChange", QTCaptureConnectionFormatDescriptionDidChangeNotification,
                           nullptr);
        centre.addObserver(this, "deviceAttributeWillChange", QTCaptureDeviceAttributeWillChangeNotification, nullptr);
        centre.addObserver(this, "deviceAttributeDidChange", QTCaptureDeviceAttributeDidChangeNotification, nullptr);
        mObserving = true;
    }
}

void QVTRControllerVideo::captureSessionEnd(QObject *) {
    setSelectedVideoDevice(nullptr);
    if (mSession) mSession->stopRunning();
}

void QVTRControllerVideo::captureSessionAttachOutputConnections() {
    auto output = std::make_shared<QTCaptureMovieFileOutput>();
    output->setDelegate(this);
    if (mSession->addOutput(output)) mMovieFileOutput = output;
}

void QVTRControllerVideo::captureSessionSelectDefaultDevices() {
    const std::vector<QTCaptureDevice *> devices = videoDevices();
    if (!devices.empty()) setSelectedVideoDevice(devices.front());
}

// ---- Devices ---------------------------------------------------------------------------------------

std::vector<QTCaptureDevice *> QVTRControllerVideo::availableVideoInputDevicesNotIncludingNoCamera() {
    std::vector<QTCaptureDevice *> devices = QTCaptureDevice::inputDevicesWithMediaType(QTMediaTypeVideo);
    for (QTCaptureDevice *device : QTCaptureDevice::inputDevicesWithMediaType(QTMediaTypeMuxed))
        if (!Contains(devices, device)) devices.push_back(device);
    std::stable_sort(devices.begin(), devices.end(), [](QTCaptureDevice *a, QTCaptureDevice *b) {
        return a->localizedDisplayName() < b->localizedDisplayName();
    });
    return devices;
}

void QVTRControllerVideo::refreshAudioVideoInputDevices() {
    const std::vector<QTCaptureDevice *> devices = availableVideoInputDevicesNotIncludingNoCamera();
    if (mHasDeviceList && devices == mVideoInputDevices) return;
    willChangeValueForKey(QStringLiteral("videoDevicesLocalizedNames"));
    willChangeValueForKey(QStringLiteral("videoDevices"));
    mVideoInputDevices = devices;
    mHasDeviceList = true;
    didChangeValueForKey(QStringLiteral("videoDevices"));
    didChangeValueForKey(QStringLiteral("videoDevicesLocalizedNames"));
    QTCaptureDevice *selected = selectedVideoDevice();
    if (selected != nullptr && !Contains(mVideoInputDevices, selected)) {
        NSLog(QStringLiteral("QVTRControllerVideo: camera \"%1\" was disconnected; no camera selected")
                  .arg(selected->localizedDisplayName()));
        setSelectedVideoDevice(nullptr);
    }
}

void QVTRControllerVideo::scheduleRefresh() {
    QPointer<QVTRControllerVideo> self(this);
    dispatch_async(dispatch_get_main_queue(), [self] {
        if (self) self->refreshAudioVideoInputDevices();
    });
}

void QVTRControllerVideo::devicesDidChange(const NSNotification &) { scheduleRefresh(); }

std::vector<QTCaptureDevice *> QVTRControllerVideo::videoDevices() {
    if (!mHasDeviceList) refreshAudioVideoInputDevices();
    VERIFY_TEXT(mHasDeviceList, " code : self.videoInputDevices");
    return mVideoInputDevices;
}

QStringList QVTRControllerVideo::videoDevicesLocalizedNames() {
    QStringList names{QStringLiteral("None")};
    for (QTCaptureDevice *device : availableVideoInputDevicesNotIncludingNoCamera())
        names << device->localizedDisplayName();
    return names;
}

QTCaptureDevice *QVTRControllerVideo::selectedVideoDevice() const {
    return mVideoDeviceInput ? mVideoDeviceInput->device() : nullptr;
}

QString QVTRControllerVideo::selectedVideoDeviceLocalizedName() const {
    QTCaptureDevice *device = selectedVideoDevice();
    return device != nullptr ? device->localizedDisplayName() : QStringLiteral("None");
}

void QVTRControllerVideo::setSelectedVideoDeviceLocalizedName(const QString &name) {
    QTCaptureDevice *chosen = nullptr;
    for (QTCaptureDevice *device : availableVideoInputDevicesNotIncludingNoCamera())
        if (device->localizedDisplayName() == name) {
            chosen = device;
            break;
        }
    setSelectedVideoDevice(chosen);
}

void QVTRControllerVideo::closeVideoDeviceInput() {
    if (!mVideoDeviceInput) return;
    QTCaptureDevice *device = mVideoDeviceInput->device();
    if (mSession) mSession->removeInput(mVideoDeviceInput);
    mVideoDeviceInput.reset();
    device->close();
}

void QVTRControllerVideo::setSelectedVideoDevice(QTCaptureDevice *device) {
    willChangeValueForKey(QStringLiteral("selectedVideoDevice"));
    willChangeValueForKey(QStringLiteral("selectedVideoDeviceLocalizedName"));
    closeVideoDeviceInput();
    if (device != nullptr) {
        QTCaptureError error;
        std::shared_ptr<QTCaptureDeviceInput> input;
        bool ok = device->open(&error);
        if (ok) ok = (input = QTCaptureDeviceInput::deviceInputWithDevice(device, &error)) != nullptr;
        if (ok) ok = mSession && mSession->addInput(input, &error);
        if (ok) {
            mVideoDeviceInput = input;
            if (selectedVideoDeviceProvidesAudio()) setSelectedAudioDevice(nullptr);
        } else {
            if (!error) {
                error.code = paramErr;
                error.localizedDescription = QStringLiteral("There is no capture session.");
            }
            closeVideoDeviceInput();
            device->close();
            if (mDelegate != nullptr) mDelegate->captureSessionError(error);
        }
    }
    didChangeValueForKey(QStringLiteral("selectedVideoDeviceLocalizedName"));
    didChangeValueForKey(QStringLiteral("selectedVideoDevice"));
    scheduleRefresh();
}

bool QVTRControllerVideo::selectedVideoDeviceProvidesAudio() const {
    QTCaptureDevice *device = selectedVideoDevice();
    return device != nullptr && (device->hasMediaType(QTMediaTypeMuxed) || device->hasMediaType(QTMediaTypeSound));
}

// ---- Formats and recording ----------------------------------------------------------------------

QString QVTRControllerVideo::mediaFormatSummary() const {
    QString summary;
    getVideoMediaFormatSummary(summary);
    return summary;
}

bool QVTRControllerVideo::getVideoMediaFormatSummary(QString &summary) const {
    if (!mVideoDeviceInput) return true;
    for (QTCaptureConnection *connection : mVideoDeviceInput->connections())
        summary += connection->formatDescription().localizedFormatSummary() + QLatin1Char('\n');
    return true;
}

bool QVTRControllerVideo::isRecording() const {
    return mMovieFileOutput && !mMovieFileOutput->outputFileURL().isEmpty();
}

void QVTRControllerVideo::setRecording(bool recording) {
    if (recording == isRecording() || !mMovieFileOutput) return;
    if (!recording) {
        mMovieFileOutput->recordToOutputFileURL(QString());
        return;
    }
    CoreNumberedFilename numberedFileName;
    VERIFY_TEXT(numberedFileName.Construct(QDir::tempPath().toUtf8().constData()),
                " code : numberedFileName.Construct([NSTemporaryDirectory() fileSystemRepresentation])");
    char path[CoreNumberedFilename::kPathBufferSize];
    if (!numberedFileName.FindFirstAvailableNamedPath(path, "Lumora_%03d", "mov")) return;
    // The claimed name is given back: the movie appears under it only once it is complete.
    CoreNumberedFilename::ReleaseClaimedPath(path);
    mMovieFileOutput->recordToOutputFileURL(QString::fromUtf8(path));
}

void QVTRControllerVideo::captureOutputWillStartRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &url,
                                                                          const std::vector<QTCaptureConnection *> &) {
    NSLog(QStringLiteral("Will start recording to %1").arg(url));
}

void QVTRControllerVideo::captureOutputDidStartRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &url,
                                                                         const std::vector<QTCaptureConnection *> &) {
    NSLog(QStringLiteral("Did start recording to %1").arg(url));
}

bool QVTRControllerVideo::captureOutputShouldChangeOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                                   const QTCaptureError &error) {
    NSLog(QStringLiteral("Should change file due to error %1").arg(error.localizedDescription));
    return true;
}

void QVTRControllerVideo::captureOutputMustChangeOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &,
                                                                 const QTCaptureError &error) {
    NSLog(QStringLiteral("Must change file due to error %1").arg(error.localizedDescription));
}

void QVTRControllerVideo::captureOutputWillFinishRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &url,
                                                                           const QTCaptureError &error) {
    NSLog(QStringLiteral("Will finish recording to %1 due to error %2").arg(url, error.localizedDescription));
    QPointer<QVTRControllerVideo> self(this);
    dispatch_async(dispatch_get_main_queue(), [self] {
        if (self) self->willChangeValueForKey(QStringLiteral("recording"));
    });
}

void QVTRControllerVideo::captureOutputDidFinishRecordingToOutputFileAtURL(QTCaptureMovieFileOutput *, const QString &url,
                                                                          const QTCaptureError &error) {
    QPointer<QVTRControllerVideo> self(this);
    dispatch_async(dispatch_get_main_queue(), [self, url, error] {
        if (!self) return;
        self->didChangeValueForKey(QStringLiteral("recording"));
        if (self->mDelegate == nullptr) return;
        if (error && !error.recordingSuccessfullyFinished)
            self->mDelegate->captureSessionError(error);
        else
            self->mDelegate->captureSessionEnded(url);
    });
}

// ---- Transport -------------------------------------------------------------------------------------

QTCaptureDevice *QVTRControllerVideo::controllableDevice() const {
    QTCaptureDevice *device = selectedVideoDevice();
    if (device == nullptr) return nullptr;
    if (!device->attributeForKey(QTCaptureDeviceAVCTransportControlsAttribute).isValid() ||
        device->attributeIsReadOnly(QTCaptureDeviceAVCTransportControlsAttribute))
        return nullptr;
    return device;
}

bool QVTRControllerVideo::transport(long &speed, long &playbackMode) const {
    QTCaptureDevice *device = controllableDevice();
    if (device == nullptr) return false;
    const QVariantMap controls = device->attributeForKey(QTCaptureDeviceAVCTransportControlsAttribute).toMap();
    speed = long(controls.value(QTCaptureDeviceAVCTransportControlsSpeedKey).toLongLong());
    playbackMode = long(controls.value(QTCaptureDeviceAVCTransportControlsPlaybackModeKey).toULongLong());
    return true;
}

void QVTRControllerVideo::setTransport(long speed, long playbackMode) {
    QTCaptureDevice *device = controllableDevice();
    if (device == nullptr) return;
    device->setAttribute(QVariantMap{{QTCaptureDeviceAVCTransportControlsSpeedKey, qlonglong(speed)},
                                     {QTCaptureDeviceAVCTransportControlsPlaybackModeKey, qulonglong(playbackMode)}},
                         QTCaptureDeviceAVCTransportControlsAttribute);
}

bool QVTRControllerVideo::isDevicePlaying() const {
    long speed = 0, mode = 0;
    return transport(speed, mode) && mode == 1 && speed == kPlaySpeed;
}

void QVTRControllerVideo::setDevicePlaying(bool playing) { setTransport(playing ? kPlaySpeed : 0, 1); }

bool QVTRControllerVideo::isDeviceRewinding() const {
    long speed = 0, mode = 0;
    if (!transport(speed, mode)) return false;
    for (long s : {-1000L, -4000L, -7000L, -10000L, -13000L, -16000L, -19000L})
        if (speed == s) return true;
    return false;
}

void QVTRControllerVideo::setDeviceRewinding(bool rewinding) {
    long speed = 0, mode = 0;
    if (transport(speed, mode)) setTransport(rewinding ? -kWindSpeed : 0, mode);
}

bool QVTRControllerVideo::isDeviceFastforwarding() const {
    long speed = 0, mode = 0;
    if (!transport(speed, mode)) return false;
    for (long s : {1000L, 4000L, 7000L, 13000L, 16000L, 19000L})
        if (speed == s) return true;
    return false;
}

void QVTRControllerVideo::setDeviceFastforwarding(bool fastforwarding) {
    long speed = 0, mode = 0;
    if (transport(speed, mode)) setTransport(fastforwarding ? kWindSpeed : 0, mode);
}

void QVTRControllerVideo::stopDevice(QObject *) { setTransport(0, 0); }

// ---- Notifications -----------------------------------------------------------------------------

namespace {
bool IsTransportOf(const NSNotification &notification, QTCaptureDevice *controllable) {
    return controllable != nullptr && notification.object() == controllable &&
           notification.userInfo().value(QTCaptureDeviceChangedAttributeKey).toString() ==
               QTCaptureDeviceAVCTransportControlsAttribute;
}
}  // namespace

void QVTRControllerVideo::deviceAttributeWillChange(const NSNotification &notification) {
    if (!IsTransportOf(notification, controllableDevice())) return;
    for (const char *key : {"devicePlaying", "deviceFastforwarding", "deviceRewinding"})
        willChangeValueForKey(QString::fromLatin1(key));
}

void QVTRControllerVideo::deviceAttributeDidChange(const NSNotification &notification) {
    if (!IsTransportOf(notification, controllableDevice())) return;
    for (const char *key : {"devicePlaying", "deviceFastforwarding", "deviceRewinding"})
        didChangeValueForKey(QString::fromLatin1(key));
}

void QVTRControllerVideo::connectionFormatWillChange(const NSNotification &notification) {
    auto *connection = qobject_cast<QTCaptureConnection *>(notification.object());
    if (connection != nullptr && mVideoDeviceInput && connection->owner() == mVideoDeviceInput.get())
        willChangeValueForKey(QStringLiteral("mediaFormatSummary"));
}

void QVTRControllerVideo::connectionFormatDidChange(const NSNotification &notification) {
    auto *connection = qobject_cast<QTCaptureConnection *>(notification.object());
    if (connection != nullptr && mVideoDeviceInput && connection->owner() == mVideoDeviceInput.get())
        didChangeValueForKey(QStringLiteral("mediaFormatSummary"));
}

bool import_QVTRControllerVideo() { return true; }
