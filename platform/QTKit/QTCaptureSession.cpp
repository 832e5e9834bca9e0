#include <QTKit/QTCaptureSession.h>

#include "FrameConverter.h"

#include <Foundation/NSNotification.h>
#include <QuickTime/CaptureDevices.h>
#include <QuickTime/ImageCompression.h>
#include <QuickTime/MacMemory.h>
#include <QuickTime/QuickDraw.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>

#include <syslog.h>

using lumora::qt::CaptureFormat;
using lumora::qt::CapturedFrame;

const QString QTCaptureConnectionFormatDescriptionWillChangeNotification =
    QStringLiteral("QTCaptureConnectionFormatDescriptionWillChangeNotification");
const QString QTCaptureConnectionFormatDescriptionDidChangeNotification =
    QStringLiteral("QTCaptureConnectionFormatDescriptionDidChangeNotification");
const QString QTPixelBufferPixelFormatTypeKey = QStringLiteral("PixelFormatType");
const QString QTPixelBufferWidthKey = QStringLiteral("Width");
const QString QTPixelBufferHeightKey = QStringLiteral("Height");
const QString QTPixelBufferIOSurfacePropertiesKey = QStringLiteral("IOSurfaceProperties");

namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;
constexpr int kMaximumSide = 8192;

uint64_t HostNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000000000u + uint64_t(now.tv_nsec);
}

QString FourCC(uint32_t code) {
    QString text;
    for (int shift = 24; shift >= 0; shift -= 8) text += QChar(char((code >> shift) & 0xff));
    return text;
}

}  // namespace

// ---- Format descriptions ---------------------------------------------------------------------

QString QTFormatDescription::localizedFormatSummary() const {
    if (!isValid()) return {};
    const QString kind = mMediaType == QTMediaTypeVideo ? QStringLiteral("Video") : mMediaType;
    const QString format = mFormatType == kJPEGCodecType ? QStringLiteral("Photo - JPEG") : FourCC(mFormatType);
    return QStringLiteral("%1, %2, %3 x %4").arg(kind, format).arg(mWidth).arg(mHeight);
}

// ---- Connections and inputs --------------------------------------------------------------------

QTCaptureConnection::QTCaptureConnection(QTCaptureDeviceInput *owner, QString mediaType)
    : mOwner(owner), mMediaType(std::move(mediaType)) {}

QTFormatDescription QTCaptureConnection::formatDescription() const {
    std::lock_guard guard(mLock);
    return mFormat;
}

void QTCaptureConnection::setFormatDescription(const QTFormatDescription &description) {
    {
        std::lock_guard guard(mLock);
        if (mFormat.formatType() == description.formatType() && mFormat.width() == description.width() &&
            mFormat.height() == description.height())
            return;
    }
    NSNotificationCenter &centre = NSNotificationCenter::defaultCenter();
    centre.postNotificationName(QTCaptureConnectionFormatDescriptionWillChangeNotification, this);
    {
        std::lock_guard guard(mLock);
        mFormat = description;
    }
    centre.postNotificationName(QTCaptureConnectionFormatDescriptionDidChangeNotification, this);
}

QTCaptureDeviceInput::QTCaptureDeviceInput(QTCaptureDevice *device)
    : mDevice(device), mConnection(std::make_unique<QTCaptureConnection>(this, QTMediaTypeVideo)) {}

QTCaptureDeviceInput::~QTCaptureDeviceInput() = default;

std::shared_ptr<QTCaptureDeviceInput> QTCaptureDeviceInput::deviceInputWithDevice(QTCaptureDevice *device,
                                                                                 QTCaptureError *error) {
    if (device == nullptr || !device->isOpen()) {
        if (error != nullptr) {
            error->code = paramErr;
            error->localizedDescription = QStringLiteral("The device is not open.");
        }
        return nullptr;
    }
    return std::shared_ptr<QTCaptureDeviceInput>(new QTCaptureDeviceInput(device));
}

// ---- Outputs -------------------------------------------------------------------------------------

std::vector<QTCaptureConnection *> QTCaptureOutput::connections() const {
    return mSession != nullptr ? mSession->connectionsOf(this) : std::vector<QTCaptureConnection *>{};
}

void QTCaptureOutput::wantedFrameSize(int &width, int &height) const { width = height = 0; }

QTCaptureDecompressedVideoOutput::QTCaptureDecompressedVideoOutput() = default;

QTCaptureDecompressedVideoOutput::~QTCaptureDecompressedVideoOutput() = default;

QVariantMap QTCaptureDecompressedVideoOutput::pixelBufferAttributes() const {
    std::lock_guard guard(mLock);
    return mAttributes;
}

void QTCaptureDecompressedVideoOutput::setPixelBufferAttributes(const QVariantMap &attributes) {
    std::lock_guard guard(mLock);
    mAttributes = attributes;
}

protocol_QTCaptureDecompressedVideoOutputDelegate *QTCaptureDecompressedVideoOutput::delegate() const {
    std::lock_guard guard(mLock);
    return mDelegate;
}

void QTCaptureDecompressedVideoOutput::setDelegate(protocol_QTCaptureDecompressedVideoOutputDelegate *delegate) {
    std::lock_guard delivery(mDeliveryLock);  // a delivery in progress ends first
    std::lock_guard guard(mLock);
    mDelegate = delegate;
}

uint32_t QTCaptureDecompressedVideoOutput::wantedPixelFormat() const {
    std::lock_guard guard(mLock);
    const uint32_t format = mAttributes.value(QTPixelBufferPixelFormatTypeKey).toUInt();
    return format == kCVPixelFormatType_32BGRA || format == kCVPixelFormatType_32ARGB ? format
                                                                                       : uint32_t(kCVPixelFormatType_422YpCbCr8);
}

void QTCaptureDecompressedVideoOutput::wantedFrameSize(int &width, int &height) const {
    std::lock_guard guard(mLock);
    width = mAttributes.value(QTPixelBufferWidthKey).toInt();
    height = mAttributes.value(QTPixelBufferHeightKey).toInt();
    if (width <= 0 || height <= 0 || width > kMaximumSide || height > kMaximumSide) width = height = 0;
}

void QTCaptureDecompressedVideoOutput::deliverFrame(CVPixelBufferRef buffer, const QTSampleBuffer &sample,
                                                    QTCaptureConnection *connection) {
    std::lock_guard delivery(mDeliveryLock);
    protocol_QTCaptureDecompressedVideoOutputDelegate *target = delegate();
    if (target != nullptr) target->captureOutputDidOutputVideoFrame(this, buffer, sample, connection);
}

// ---- The session ---------------------------------------------------------------------------------

QTCaptureSession::QTCaptureSession() : mConverter(std::make_unique<lumora::qtkit::FrameConverter>()) {}

QTCaptureSession::~QTCaptureSession() {
    stopRunning();
    std::lock_guard guard(mLock);
    for (auto &output : mOutputs) output->mSession = nullptr;
}

bool QTCaptureSession::addInput(const std::shared_ptr<QTCaptureDeviceInput> &input, QTCaptureError *error) {
    std::lock_guard guard(mLock);
    if (!input || !input->device()->isOpen() ||
        std::find(mInputs.begin(), mInputs.end(), input) != mInputs.end()) {
        if (error != nullptr) {
            error->code = paramErr;
            error->localizedDescription = QStringLiteral("The input cannot be added to the session.");
        }
        return false;
    }
    if (mRunning.load() && !startInput(*input, error)) return false;
    mInputs.push_back(input);
    return true;
}

void QTCaptureSession::removeInput(const std::shared_ptr<QTCaptureDeviceInput> &input) {
    std::lock_guard guard(mLock);
    const auto found = std::find(mInputs.begin(), mInputs.end(), input);
    if (found == mInputs.end()) return;
    stopInput(**found);
    mInputs.erase(found);
}

std::vector<std::shared_ptr<QTCaptureDeviceInput>> QTCaptureSession::inputs() const {
    std::lock_guard guard(mLock);
    return mInputs;
}

bool QTCaptureSession::addOutput(const std::shared_ptr<QTCaptureOutput> &output, QTCaptureError *error) {
    std::lock_guard guard(mLock);
    if (!output || output->mSession != nullptr) {
        if (error != nullptr) {
            error->code = paramErr;
            error->localizedDescription = QStringLiteral("The output cannot be added to the session.");
        }
        return false;
    }
    output->mSession = this;
    mOutputs.push_back(output);
    if (mRunning.load()) output->sessionStarted();
    return true;
}

void QTCaptureSession::removeOutput(const std::shared_ptr<QTCaptureOutput> &output) {
    std::lock_guard guard(mLock);
    const auto found = std::find(mOutputs.begin(), mOutputs.end(), output);
    if (found == mOutputs.end()) return;
    if (mRunning.load()) output->sessionStopped();
    output->mSession = nullptr;
    mOutputs.erase(found);
}

std::vector<std::shared_ptr<QTCaptureOutput>> QTCaptureSession::outputs() const {
    std::lock_guard guard(mLock);
    return mOutputs;
}

std::vector<QTCaptureConnection *> QTCaptureSession::connectionsOf(const QTCaptureOutput *output) const {
    std::lock_guard guard(mLock);
    std::vector<QTCaptureConnection *> connections;
    if (std::none_of(mOutputs.begin(), mOutputs.end(), [&](const auto &o) { return o.get() == output; }))
        return connections;
    for (const auto &input : mInputs) connections.push_back(input->mConnection.get());
    return connections;
}

bool QTCaptureSession::startInput(QTCaptureDeviceInput &input, QTCaptureError *error) {
    int width = 0, height = 0;
    for (const auto &output : mOutputs) {
        output->wantedFrameSize(width, height);
        if (width > 0) break;
    }
    if (width <= 0) {
        width = kDefaultWidth;
        height = kDefaultHeight;
    }
    CaptureFormat format;
    OSErr err = noErr;
    {
        auto deviceLock = input.mDevice->lockSource();
        lumora::qt::CaptureSource *source = input.mDevice->source();
        if (source == nullptr) err = noDeviceForChannel;
        if (err == noErr) err = source->Configure(0, width, height, 0.0, format);
        if (err == noErr) err = source->Start();
        if (err == noErr) {
            input.mFormat = std::make_shared<CaptureFormat>(format);
            input.mStreaming = true;
            input.mDead = false;
        }
    }
    if (err != noErr) {
        if (error != nullptr) {
            error->code = err;
            error->localizedDescription = QStringLiteral("The device \"%1\" cannot capture (%2).")
                                              .arg(input.mDevice->localizedDisplayName())
                                              .arg(err);
        }
        return false;
    }
    input.mConnection->setFormatDescription(QTFormatDescription(QTMediaTypeVideo, format.type, format.width, format.height));
    return true;
}

void QTCaptureSession::stopInput(QTCaptureDeviceInput &input) {
    auto deviceLock = input.mDevice->lockSource();
    if (input.mStreaming && input.mDevice->source() != nullptr) input.mDevice->source()->Stop();
    input.mStreaming = false;
}

void QTCaptureSession::startRunning() {
    std::lock_guard guard(mLock);
    if (mRunning.load()) return;
    QTCaptureDevice::retainMonitor();
    for (auto it = mInputs.begin(); it != mInputs.end(); ++it) {
        QTCaptureError error;
        if (!startInput(**it, &error))
            syslog(LOG_WARNING, "QTCaptureSession: %s", error.localizedDescription.toUtf8().constData());
    }
    for (auto &output : mOutputs) output->sessionStarted();
    mRunning = true;
    {
        std::lock_guard wake(mWakeLock);
        mStop = false;
    }
    mThread = std::thread([this] { captureLoop(); });
}

void QTCaptureSession::stopRunning() {
    std::thread finished;
    {
        std::lock_guard guard(mLock);
        if (!mRunning.load()) return;
        {
            std::lock_guard wake(mWakeLock);
            mStop = true;
        }
        mWake.notify_all();
        finished = std::move(mThread);
    }
    if (finished.joinable()) finished.join();
    std::lock_guard guard(mLock);
    for (auto &input : mInputs) stopInput(*input);
    for (auto &output : mOutputs) output->sessionStopped();
    mRunning = false;
    QTCaptureDevice::releaseMonitor();
}

void QTCaptureSession::captureLoop() {
    std::unique_lock lock(mWakeLock);
    while (!mStop) {
        lock.unlock();
        const bool delivered = captureOnce();
        lock.lock();
        // Poll often enough for 120 frames a second without spinning.
        mWake.wait_for(lock, delivered ? std::chrono::microseconds(500) : std::chrono::milliseconds(4),
                       [this] { return mStop; });
    }
}

bool QTCaptureSession::captureOnce() {
    std::vector<std::shared_ptr<QTCaptureDeviceInput>> inputs;
    std::vector<std::shared_ptr<QTCaptureOutput>> outputs;
    {
        std::lock_guard guard(mLock);
        inputs = mInputs;
        outputs = mOutputs;
    }
    bool delivered = false;
    for (const auto &input : inputs) {
        QTCaptureDevice *device = input->mDevice;
        OSErr status = noErr;
        {
            auto deviceLock = device->lockSource();
            lumora::qt::CaptureSource *source = device->source();
            if (source == nullptr || !input->mStreaming || input->mDead) continue;
            if (!input->mFormat) continue;
            const CaptureFormat format = *input->mFormat;
            status = source->TakeFrames([&](const CapturedFrame &frame) -> OSErr {
                const QTSampleBuffer sample{frame.microseconds, HostNanoseconds()};
                for (const auto &output : outputs) {
                    int width = 0, height = 0;
                    output->wantedFrameSize(width, height);
                    CVPixelBufferRef buffer =
                        mConverter->make(output.get(), output->wantedPixelFormat(), width, height, format, frame);
                    if (buffer == nullptr) continue;
                    output->deliverFrame(buffer, sample, input->mConnection.get());
                    CVPixelBufferRelease(buffer);
                }
                delivered = true;
                return noErr;
            });
            if (status != noErr) {
                input->mDead = true;
                source->Stop();
            }
        }
        if (status != noErr) {
            syslog(LOG_WARNING, "QTCaptureSession: device \"%s\" stopped delivering frames (%d)",
                   device->localizedDisplayName().toUtf8().constData(), int(status));
            device->deviceStoppedDelivering();
        }
    }
    return delivered;
}

bool import_QTCaptureSession() { return import_QTCaptureDevice(); }
