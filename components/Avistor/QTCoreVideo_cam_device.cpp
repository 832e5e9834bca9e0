#include "QTCoreVideo_cam_device.h"

#include <QTKit/QTCaptureDevice.h>
#include <QTKit/QTCaptureSession.h>
#include <VDig/RequiredCoreLog.h>
#include <VDig/UVideoFrameBuffer_LockedBuffers.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <exception>

using namespace UVideoFrameBuffer;

// ---- Copy rule -------------------------------------------------------------------------------

bool TryToResampleVideoFrameRequestedFormat(Data &dst, Memory &scratch, const Data &src) {
    if (dst.IsEmpty() || src.IsEmpty()) return false;
    const Format &d = dst.mFrameBufferFormat;
    const Format &s = src.mFrameBufferFormat;
    if (d.mPixelFormat != s.mPixelFormat) return false;
    const bool sameLayout =
        d.mPixelWidth == s.mPixelWidth && d.mPixelHeight == s.mPixelHeight && d.mPixelRowBytes == s.mPixelRowBytes;
    if (sameLayout || d.HasSameFrameAspectRatio(s)) return XXXX_CopyOrBilinearResample_XXXX(dst, scratch, src);
    if (d.mPixelHeight == s.mPixelHeight && s.mPixelWidth > d.mPixelWidth) {
        // The centred full-height region of the destination's width, copied 1:1 (an even
        // offset keeps 4:2:2 pixel pairs whole).
        const SInt32 x = ((s.mPixelWidth - d.mPixelWidth) / 2) & ~1;
        Data region;
        if (!region.ConstructWithBufferRegion(src, CGRectMake(x, 0, d.mPixelWidth, d.mPixelHeight))) return false;
        return XXXX_CopyMinimumPixelsRegion_XXXX(dst, region);
    }
    Data region;
    if (!region.ConstructWithBufferRegionHavingFrameAspectRatio(src, 1.3333334)) return false;
    return XXXX_CopyOrBilinearResample_XXXX(dst, scratch, region);
}

// ---- Session controller ----------------------------------------------------------------------

// Runs the capture session of one device and hands its frames to the camera device.
class AvistorSessionController10001 : public protocol_QTCaptureDecompressedVideoOutputDelegate {
public:
    explicit AvistorSessionController10001(QTCoreVideo_cam_device *device) : mDevice(device) {}
    ~AvistorSessionController10001() override { endCaptureSession(); }

    // The video devices, then the muxed ones.
    static std::vector<QTCaptureDevice *> availableDevices() {
        std::vector<QTCaptureDevice *> devices = QTCaptureDevice::inputDevicesWithMediaType(QTMediaTypeVideo);
        for (QTCaptureDevice *muxed : QTCaptureDevice::inputDevicesWithMediaType(QTMediaTypeMuxed))
            if (std::find(devices.begin(), devices.end(), muxed) == devices.end()) devices.push_back(muxed);
        return devices;
    }
    static QTCaptureDevice *availableCaptureDeviceAtIndex(long n) {
        const std::vector<QTCaptureDevice *> devices = availableDevices();
        return n >= 0 && size_t(n) < devices.size() ? devices[size_t(n)] : nullptr;
    }

    bool beginCaptureSessionWithDevice(QTCaptureDevice *device) {
        endCaptureSession();
        if (device == nullptr) return false;
        std::lock_guard<std::mutex> guard(mLock);
        mOpenedDevice = !device->isOpen();
        QTCaptureError error;
        if (!device->open(&error)) {
            CFRequiredPrintf("AvistorSessionController::beginCaptureSession: %s\n",
                             error.localizedDescription.toUtf8().constData());
            return false;
        }
        auto input = QTCaptureDeviceInput::deviceInputWithDevice(device, &error);
        auto output = std::make_shared<QTCaptureDecompressedVideoOutput>();
        output->setPixelBufferAttributes({{QTPixelBufferPixelFormatTypeKey, uint(MakeFourCharCode("2vuy"))},
                                          {QTPixelBufferWidthKey, 960},
                                          {QTPixelBufferHeightKey, 720}});
        output->setDelegate(this);
        auto session = std::make_unique<QTCaptureSession>();
        if (input == nullptr || !session->addInput(input, &error) || !session->addOutput(output, &error)) {
            output->setDelegate(nullptr);
            if (mOpenedDevice) device->close();
            return false;
        }
        session->startRunning();
        mCaptureDevice = device;
        mInput = input;
        mOutput = output;
        mSession = std::move(session);
        mAttributesSet = false;
        return mSession->isRunning();
    }

    bool isCaptureSessionReady() {
        std::lock_guard<std::mutex> guard(mLock);
        return mSession != nullptr && mSession->isRunning();
    }

    // The output's own settings ('2vuy' at 960 x 720) always suit the capture: they become
    // the session's at the first idle, after which frames are taken.
    void idleCaptureSession() { mAttributesSet = true; }

    void endCaptureSession() {
        std::unique_ptr<QTCaptureSession> session;
        std::shared_ptr<QTCaptureDecompressedVideoOutput> output;
        QTCaptureDevice *device = nullptr;
        bool close = false;
        {
            std::lock_guard<std::mutex> guard(mLock);
            session = std::move(mSession);
            output = std::move(mOutput);
            mInput.reset();
            device = mCaptureDevice;
            mCaptureDevice = nullptr;
            close = mOpenedDevice;
            mAttributesSet = false;
        }
        if (output != nullptr) output->setDelegate(nullptr);  // waits for a delivery under way
        if (session != nullptr) session->stopRunning();
        session.reset();
        if (device != nullptr && close) device->close();
    }

    void captureOutputDidOutputVideoFrame(QTCaptureOutput *, CVImageBufferRef videoFrame, const QTSampleBuffer &,
                                          QTCaptureConnection *) override {
        if (mDevice != nullptr && mAttributesSet && videoFrame != nullptr) mDevice->FrameArrived(videoFrame);
    }

private:
    QTCoreVideo_cam_device *mDevice;
    std::mutex mLock;
    std::unique_ptr<QTCaptureSession> mSession;
    std::shared_ptr<QTCaptureDeviceInput> mInput;
    std::shared_ptr<QTCaptureDecompressedVideoOutput> mOutput;
    QTCaptureDevice *mCaptureDevice = nullptr;
    bool mOpenedDevice = false;
    std::atomic<bool> mAttributesSet{false};
};

// ---- Device ----------------------------------------------------------------------------------

QTCoreVideo_cam_device::QTCoreVideo_cam_device() : T_config_VDIG_device(kConfiguration) {
    mFrames.Construct(Format(SInt32(kConfiguration.kFrameWidthPixels), SInt32(kConfiguration.kFrameHeightPixels),
                             kConfiguration.kPixelFormat, SInt32(kConfiguration.kFrameRowBytes)));
    for (Memory &half : mFrames.mBuffers) half.ErasePixelDataWithValue(0x80);
    try {
        mController = std::make_shared<AvistorSessionController10001>(this);
    } catch (const std::exception &e) {
        CFRequiredPrintf("Exception:%s\n", e.what());
    }
}

QTCoreVideo_cam_device::~QTCoreVideo_cam_device() {
    std::shared_ptr<AvistorSessionController10001> controller;
    {
        std::lock_guard<std::mutex> guard(mControllerLock);
        controller = std::move(mController);
    }
    if (controller != nullptr) controller->endCaptureSession();
    if (mLockedData != nullptr) ReleaseCompressBuffer(static_cast<Ptr>(mLockedData));
}

bool QTCoreVideo_cam_device::Connect() { return T_config_VDIG_device::Connect(); }

void QTCoreVideo_cam_device::Disconnect() {
    const uint32_t dropped = FramesDropped();
    if (dropped != 0)
        CFRequiredPrintf("QTCoreVideo_cam_device dropped %lu of %lu frames.\n", (unsigned long)dropped,
                         (unsigned long)mFramesDelivered);
    std::shared_ptr<AvistorSessionController10001> controller;
    {
        std::lock_guard<std::mutex> guard(mControllerLock);
        controller = mController;
    }
    if (controller != nullptr && controller->isCaptureSessionReady()) controller->endCaptureSession();
    std::lock_guard<std::mutex> guard(mControllerLock);
    T_config_VDIG_device::Disconnect();
}

uint32_t QTCoreVideo_cam_device::FramesDropped() const {
    std::lock_guard<std::mutex> guard(mControllerLock);
    return mFramesDropped;
}

long QTCoreVideo_cam_device::GetNumberOfInputs() {
    try {
        return long(AvistorSessionController10001::availableDevices().size());
    } catch (const std::exception &e) {
        CFRequiredPrintf("Exception:%s\n", e.what());
        return 1;
    }
}

void QTCoreVideo_cam_device::SetCurrentInputNumber(long n) {
    std::shared_ptr<AvistorSessionController10001> controller;
    {
        std::lock_guard<std::mutex> guard(mControllerLock);
        controller = mController;
    }
    if (controller == nullptr) return;
    try {
        if (controller->isCaptureSessionReady() && n == mCurrentInput) return;
        QTCaptureDevice *device = AvistorSessionController10001::availableCaptureDeviceAtIndex(n);
        if (device != nullptr && controller->beginCaptureSessionWithDevice(device)) mCurrentInput = n;
    } catch (const std::exception &e) {
        CFRequiredPrintf("Exception:%s\n", e.what());
    }
}

std::string QTCoreVideo_cam_device::InputName(const char *prefix, long n) {
    char text[512];
    QTCaptureDevice *device = AvistorSessionController10001::availableCaptureDeviceAtIndex(n);
    if (device == nullptr) {
        std::snprintf(text, sizeof text, "%s #%d (No Camera)", prefix, int(n));
    } else {
        const QByteArray name = device->localizedDisplayName().toUtf8();
        if (name.isEmpty()) std::snprintf(text, sizeof text, "%s #%d", prefix, int(n));
        else std::snprintf(text, sizeof text, "%s #%d %s", prefix, int(n), name.constData());
    }
    std::string result = text;
    if (result.size() > 255) result = prefix;
    return result;
}

ComponentResult QTCoreVideo_cam_device::GetDeviceName(StringPtr name, long n) {
    if (name == nullptr) return paramErr;
    std::string text;
    try {
        text = InputName(mDeviceNamePrefix, n);
    } catch (const std::exception &e) {
        CFRequiredPrintf("Exception:%s\n", e.what());
        text = mDeviceNamePrefix;
    }
    name[0] = UInt8(text.size());
    std::memcpy(name + 1, text.data(), text.size());
    return noErr;
}

void QTCoreVideo_cam_device::FrameArrived(CVPixelBufferRef buffer) {
    int back;
    {
        std::lock_guard<std::mutex> guard(mSwapLock);
        back = 1 - mFrames.mCurrentBuffer;
    }
    Memory &half = mFrames.mBuffers[size_t(back)];
    if (half.IsEmpty()) return;
    if (!half.TryLockFrameBuffer()) {
        std::lock_guard<std::mutex> guard(mControllerLock);
        ++mFramesDropped;
        return;
    }
    mFrameReceived = true;
    {
        LockedCVPixelBuffer view;
        if (view.Construct(buffer)) TryToResampleVideoFrameRequestedFormat(half, mScratch, view);
    }
    {
        std::lock_guard<std::mutex> guard(mSwapLock);
        mFrames.SetCurrentBuffer(back);
    }
    half.UnlockFrameBuffer();
}

ComponentResult QTCoreVideo_cam_device::GetFrame(UInt8 *count, Ptr *data, long *size) {
    if (count == nullptr || data == nullptr || size == nullptr) return paramErr;
    *count = 0;
    *data = nullptr;
    *size = 0;
    std::shared_ptr<AvistorSessionController10001> controller;
    {
        std::lock_guard<std::mutex> guard(mControllerLock);
        controller = mController;
    }
    try {
        if (controller != nullptr) {
            if (controller->isCaptureSessionReady()) controller->idleCaptureSession();
            else SetCurrentInputNumber(mCurrentInput);
        }
    } catch (const std::exception &e) {
        CFRequiredPrintf("Exception:%s\n", e.what());
    }
    // A frame still held by the host goes back before the next is handed out.
    if (mLockedData != nullptr) ReleaseCompressBuffer(static_cast<Ptr>(mLockedData));
    std::lock_guard<std::mutex> guard(mSwapLock);
    Memory &current = mFrames.CurrentBuffer();
    if (current.IsEmpty()) return paramErr;
    current.LockFrameBuffer();
    mLockedData = current.mFrameBufferData;
    *count = 1;
    *data = static_cast<Ptr>(current.mFrameBufferData);
    *size = current.mFrameBufferDataSizeBytes;
    ++mFramesDelivered;
    return noErr;
}

ComponentResult QTCoreVideo_cam_device::ReleaseCompressBuffer(Ptr data) {
    // Only the frame handed out is unlocked; any other pointer is ignored.
    if (data == nullptr || data != mLockedData) return noErr;
    mFrames.UnlockFrameBufferWithPixelDataPtr(data);
    mLockedData = nullptr;
    return noErr;
}
