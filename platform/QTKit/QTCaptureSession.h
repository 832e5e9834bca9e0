// QTKit capture sessions: a session takes the frames of its device inputs on a capture
// thread of its own and hands them to its outputs.
//
//   device (QTCaptureDevice, opened) -> QTCaptureDeviceInput (one video connection)
//     -> QTCaptureSession (capture thread, started by startRunning)
//       -> QTCaptureDecompressedVideoOutput / QTCaptureVideoPreviewOutput: a Core Video
//          pixel buffer per frame to the delegate, on the capture thread
//       -> QTCaptureMovieFileOutput (QTCaptureMovieFileOutput.h): a movie file
//
// Format. When the session starts (or an input is added to a running session) it configures
// each input's device for the frame size the first video output asks for (its pixel buffer
// attributes' "Width" and "Height", else 640 x 480) at the device's own rate, and the input's
// connection gets the format description of what the device delivers; the change is posted
// as QTCaptureConnectionFormatDescriptionWillChangeNotification / ...DidChangeNotification,
// object the connection.
//
// Frames. A frame in the device's format is turned into each output's pixel format ('2vuy'
// unless the output's attributes' "PixelFormatType" says 'BGRA' or 32 ARGB) at the device's
// frame size: a '2vuy' frame into a '2vuy' buffer is one copy of the rows, any other pair goes
// through the QuickTime layer's decompression sequences (the Sequence Grabber's path). Pixel
// buffers come from a pool of the output and go back to it when the last reference goes; a
// delegate that keeps a buffer keeps it out of the pool. The sample buffer carries the
// capture time.
//
// A device that stops delivering (unplugged) ends that input's capture: the session logs
// "QTCaptureSession: device \"<name>\" stopped delivering frames (<status>)", the device posts
// its disconnection, and the session goes on running with its other inputs.
//
// Threads. Sessions, inputs and outputs may be used from any thread; the session's lock
// guards its inputs and outputs and is not held while a delegate runs. stopRunning waits for
// the capture thread, so it must not be called from a delegate. Delegates must outlive their
// registration (set null before they go).
#pragma once

#include <QTKit/QTCaptureDevice.h>

#include <CoreVideo/CVPixelBuffer.h>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace lumora::qt {
struct CaptureFormat;
}
namespace lumora::qtkit {
class FrameConverter;
}

class QTCaptureSession;
class QTCaptureConnection;
class QTCaptureDeviceInput;

extern const QString QTCaptureConnectionFormatDescriptionWillChangeNotification;
extern const QString QTCaptureConnectionFormatDescriptionDidChangeNotification;

// Pixel buffer attribute keys (the texts of the Core Video keys).
extern const QString QTPixelBufferPixelFormatTypeKey;      // "PixelFormatType", a number
extern const QString QTPixelBufferWidthKey;                // "Width", a number
extern const QString QTPixelBufferHeightKey;               // "Height", a number
extern const QString QTPixelBufferIOSurfacePropertiesKey;  // "IOSurfaceProperties", a map

// What a connection delivers: media type, four-character code, size.
class QTFormatDescription {
public:
    QTFormatDescription() = default;
    QTFormatDescription(QString mediaType, uint32_t formatType, int width, int height)
        : mMediaType(std::move(mediaType)), mFormatType(formatType), mWidth(width), mHeight(height) {}
    const QString &mediaType() const { return mMediaType; }
    uint32_t formatType() const { return mFormatType; }
    int width() const { return mWidth; }
    int height() const { return mHeight; }
    bool isValid() const { return mFormatType != 0; }
    // "Video, 2vuy, 640 x 480" (a JPEG stream "Video, Photo - JPEG, 640 x 480"); empty when
    // invalid.
    QString localizedFormatSummary() const;

private:
    QString mMediaType;
    uint32_t mFormatType = 0;
    int mWidth = 0;
    int mHeight = 0;
};

// One media stream of an input.
class QTCaptureConnection : public QObject {
    Q_OBJECT

public:
    QTCaptureConnection(QTCaptureDeviceInput *owner, QString mediaType);
    QTCaptureDeviceInput *owner() const { return mOwner; }
    QString mediaType() const { return mMediaType; }
    QTFormatDescription formatDescription() const;
    bool isEnabled() const { return true; }
    // Posts the will/did change notifications around the change (nothing when equal).
    void setFormatDescription(const QTFormatDescription &description);

private:
    QTCaptureDeviceInput *mOwner;
    QString mMediaType;
    mutable std::mutex mLock;
    QTFormatDescription mFormat;
};

class QTCaptureDeviceInput {
public:
    // The device must be open; null (and the error) otherwise.
    static std::shared_ptr<QTCaptureDeviceInput> deviceInputWithDevice(QTCaptureDevice *device,
                                                                      QTCaptureError *error = nullptr);
    ~QTCaptureDeviceInput();
    QTCaptureDevice *device() const { return mDevice; }
    // The video connection.
    std::vector<QTCaptureConnection *> connections() const { return {mConnection.get()}; }

private:
    explicit QTCaptureDeviceInput(QTCaptureDevice *device);
    friend class QTCaptureSession;
    QTCaptureDevice *mDevice;
    std::unique_ptr<QTCaptureConnection> mConnection;
    bool mConfigured = false;  // under the session's lock
    bool mStreaming = false;
    bool mDead = false;        // stopped delivering
    std::shared_ptr<lumora::qt::CaptureFormat> mFormat;  // what the device delivers (device lock)
};

// What a sample buffer says of its frame.
struct QTSampleBuffer {
    int64_t captureMicroseconds = 0;  // since the input started
    uint64_t hostTimeNanoseconds = 0; // the host clock when the frame reached the output
};

class QTCaptureOutput {
public:
    virtual ~QTCaptureOutput() = default;
    // The connection of the session's input this output takes, once added.
    std::vector<QTCaptureConnection *> connections() const;

    // ---- Inside the layer ----------------------------------------------------------------
    // The pixel format and size wanted, 0 for the device's own size.
    virtual uint32_t wantedPixelFormat() const = 0;
    virtual void wantedFrameSize(int &width, int &height) const;
    // A frame for the output, on the capture thread.
    virtual void deliverFrame(CVPixelBufferRef buffer, const QTSampleBuffer &sample, QTCaptureConnection *connection) = 0;
    // The session started or stopped with this output.
    virtual void sessionStarted() {}
    virtual void sessionStopped() {}

protected:
    friend class QTCaptureSession;
    QTCaptureSession *mSession = nullptr;  // under the session's lock
};

class QTCaptureDecompressedVideoOutput;

class protocol_QTCaptureDecompressedVideoOutputDelegate {
public:
    virtual ~protocol_QTCaptureDecompressedVideoOutputDelegate() = default;
    // On the capture thread; the buffer is valid during the call (retain it to keep it).
    virtual void captureOutputDidOutputVideoFrame(QTCaptureOutput *output, CVImageBufferRef videoFrame,
                                                  const QTSampleBuffer &sampleBuffer, QTCaptureConnection *connection) = 0;
};

class QTCaptureDecompressedVideoOutput : public QTCaptureOutput {
public:
    QTCaptureDecompressedVideoOutput();
    ~QTCaptureDecompressedVideoOutput() override;

    QVariantMap pixelBufferAttributes() const;
    void setPixelBufferAttributes(const QVariantMap &attributes);
    protocol_QTCaptureDecompressedVideoOutputDelegate *delegate() const;
    void setDelegate(protocol_QTCaptureDecompressedVideoOutputDelegate *delegate);
    // Whether this kind of output takes attributes and a delegate (both do here).
    virtual bool acceptsPixelBufferAttributes() const { return true; }
    virtual bool acceptsDelegate() const { return true; }

    uint32_t wantedPixelFormat() const override;
    void wantedFrameSize(int &width, int &height) const override;
    void deliverFrame(CVPixelBufferRef buffer, const QTSampleBuffer &sample, QTCaptureConnection *connection) override;

private:
    mutable std::mutex mLock;
    QVariantMap mAttributes;
    protocol_QTCaptureDecompressedVideoOutputDelegate *mDelegate = nullptr;
    std::mutex mDeliveryLock;  // held while the delegate runs, so setDelegate(null) waits
};

// The preview output: the same frames (every frame is delivered).
class QTCaptureVideoPreviewOutput : public QTCaptureDecompressedVideoOutput {};

class QTCaptureSession {
public:
    QTCaptureSession();
    // Stops the session.
    ~QTCaptureSession();
    QTCaptureSession(const QTCaptureSession &) = delete;
    QTCaptureSession &operator=(const QTCaptureSession &) = delete;

    // False (and the error) when the input is already in a session or its device is not
    // open; a running session configures and starts the device at once (a device that cannot
    // start is an error, and the input is not added).
    bool addInput(const std::shared_ptr<QTCaptureDeviceInput> &input, QTCaptureError *error = nullptr);
    void removeInput(const std::shared_ptr<QTCaptureDeviceInput> &input);
    std::vector<std::shared_ptr<QTCaptureDeviceInput>> inputs() const;
    bool addOutput(const std::shared_ptr<QTCaptureOutput> &output, QTCaptureError *error = nullptr);
    void removeOutput(const std::shared_ptr<QTCaptureOutput> &output);
    std::vector<std::shared_ptr<QTCaptureOutput>> outputs() const;

    void startRunning();
    void stopRunning();
    bool isRunning() const { return mRunning.load(); }

    // ---- Inside the layer ----------------------------------------------------------------
    std::vector<QTCaptureConnection *> connectionsOf(const QTCaptureOutput *output) const;

private:
    void captureLoop();
    bool startInput(QTCaptureDeviceInput &input, QTCaptureError *error);
    void stopInput(QTCaptureDeviceInput &input);
    bool captureOnce();

    mutable std::recursive_mutex mLock;
    std::vector<std::shared_ptr<QTCaptureDeviceInput>> mInputs;
    std::vector<std::shared_ptr<QTCaptureOutput>> mOutputs;
    std::atomic<bool> mRunning{false};
    std::mutex mWakeLock;
    std::condition_variable mWake;
    bool mStop = false;
    std::thread mThread;
    std::unique_ptr<lumora::qtkit::FrameConverter> mConverter;  // the capture thread's
};

bool import_QTCaptureSession();
