// QTKit capture devices over the QuickTime layer's device code (V4L2 cameras and the test
// camera, the same devices the Sequence Grabber lists).
//
// Devices. `inputDevicesWithMediaType(QTMediaTypeVideo)` lists the capture devices as they
// are now: every V4L2 camera, and the test camera "Lumora Test Camera" where the Sequence
// Grabber lists it (first with LUMORA_TEST_CAMERA=1, otherwise only when no V4L2 camera is
// there). A V4L2 camera gives pictures only, so the muxed and sound lists are empty. One
// device object stands for one device for the whole process (the same object in every list,
// compared by pointer); its unique id is the V4L2 node, or "lumora-test-camera".
//
// Connect and disconnect. While a capture session runs (QTCaptureSession.h), a monitor
// thread looks at the devices every 100 ms and posts QTCaptureDeviceWasConnectedNotification
// and QTCaptureDeviceWasDisconnectedNotification, object the device, on that thread. A session
// whose device stops delivering (a camera pulled out mid-stream) posts the disconnection at
// once, on its capture thread, and the monitor does not post it again.
//
// Attributes. No device here has a tape transport: attributeForKey of
// QTCaptureDeviceAVCTransportControlsAttribute answers an invalid QVariant and
// attributeIsReadOnly answers true for it.
//
// Image controls (brightness, contrast, saturation, gamma) are the device's own V4L2 controls,
// as fractions 0..1 of the device's range; a device without one answers false. They reach the
// device only while it is open.
//
// Threads: every call may come from any thread; a device's state is under its own lock.
#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace lumora::qt {
class CaptureSource;
struct CaptureDeviceInfo;
}  // namespace lumora::qt

extern const QString QTMediaTypeVideo;  // "vide"
extern const QString QTMediaTypeMuxed;  // "muxx"
extern const QString QTMediaTypeSound;  // "soun"

extern const QString QTCaptureDeviceWasConnectedNotification;
extern const QString QTCaptureDeviceWasDisconnectedNotification;
extern const QString QTCaptureDeviceAttributeWillChangeNotification;
extern const QString QTCaptureDeviceAttributeDidChangeNotification;
// User-info key of the attribute notifications: the attribute's name.
extern const QString QTCaptureDeviceChangedAttributeKey;
// The AV/C transport attribute (a map of the two keys below) and its keys.
extern const QString QTCaptureDeviceAVCTransportControlsAttribute;
extern const QString QTCaptureDeviceAVCTransportControlsSpeedKey;
extern const QString QTCaptureDeviceAVCTransportControlsPlaybackModeKey;

// An error of the capture layer: a QuickTime status (noDeviceForChannel, deviceCantMeetRequest,
// permErr, ioErr, ...) and what happened; code 0 is no error. `recordingSuccessfullyFinished`
// is QTErrorRecordingSuccesfullyFinishedKey of the user information.
struct QTCaptureError {
    long code = 0;
    QString localizedDescription;
    bool recordingSuccessfullyFinished = false;
    explicit operator bool() const { return code != 0; }
};

enum class QTCaptureImageControl { Brightness, Contrast, Saturation, Gamma };

class QTCaptureDevice : public QObject {
    Q_OBJECT

public:
    ~QTCaptureDevice() override;

    // The devices of the media type now connected, in the listing's order.
    static std::vector<QTCaptureDevice *> inputDevicesWithMediaType(const QString &mediaType);
    // The device of the unique id when it is connected now, else null.
    static QTCaptureDevice *deviceWithUniqueID(const QString &uniqueID);

    QString uniqueID() const;
    QString localizedDisplayName() const;
    bool hasMediaType(const QString &mediaType) const;
    bool isConnected() const;

    // Opens the device for capture (it stays open until close). Opening an open device
    // succeeds. The error when it is gone or cannot be opened.
    bool open(QTCaptureError *error = nullptr);
    void close();
    bool isOpen() const;

    QVariant attributeForKey(const QString &key) const;
    bool attributeIsReadOnly(const QString &key) const;
    // False (nothing changed) for an attribute the device does not have.
    bool setAttribute(const QVariant &value, const QString &key);

    // The image controls (see above). False when the device lacks the control or is not open.
    bool imageControlValue(QTCaptureImageControl control, double &value) const;
    bool setImageControlValue(QTCaptureImageControl control, double value);

    // ---- Inside the layer ----------------------------------------------------------------
    // The open device's source, used under lockSource (null when closed).
    lumora::qt::CaptureSource *source() const { return mSource.get(); }
    std::unique_lock<std::recursive_mutex> lockSource() const { return std::unique_lock(mLock); }
    // The session saw the device stop delivering: it is marked disconnected and the
    // disconnection is posted (once).
    void deviceStoppedDelivering();
    // Looks at the devices now and posts the connections and disconnections since the last
    // look. The monitor calls it; tests may too.
    static void refreshConnectedDevices();
    // The monitor runs while its count is above 0 (sessions running).
    static void retainMonitor();
    static void releaseMonitor();

private:
    explicit QTCaptureDevice(const lumora::qt::CaptureDeviceInfo &info);
    static QTCaptureDevice *deviceFor(const lumora::qt::CaptureDeviceInfo &info);

    mutable std::recursive_mutex mLock;
    std::string mUniqueID;
    std::string mName;  // UTF-8 (the listing's Mac OS Roman name)
    std::string mListedName;  // the name the listing gives (to open the device by)
    bool mConnected = false;
    std::unique_ptr<lumora::qt::CaptureSource> mSource;
};

bool import_QTCaptureDevice();
