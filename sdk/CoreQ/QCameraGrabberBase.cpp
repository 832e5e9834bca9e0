#include <CoreQ/QCameraGrabberBase.h>

#include <climits>
#include <cmath>
#include <cstring>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CorePString.h>

QCameraGrabberBase::QCameraGrabberBase()
    : mVDIGRequestRect{0, 0, 0, 0}, mFrameBufferRect{0, 0, 0, 0}, mFrameBufferPixelFormat(0),
      mVideoChannel(nullptr), mPaceOpen(true), mPaceSeconds(1.0f), mLastPaceTime(CurrentMicroseconds()) {}

QCameraGrabberBase::~QCameraGrabberBase() {
    CloseVideoChannel();
    mCameraImageDesc.Dispose();
    CloseIF();
}

double QCameraGrabberBase::CurrentMicroseconds() {
    UnsignedWide now = {};
    Microseconds(&now);
    return double(now.hi) * 4294967296.0 + double(now.lo);
}

// Frames ------------------------------------------------------------------------------------

OSErr QCameraGrabberBase::OnThisDataProc(SGChannel, Ptr data, long dataSize, long *, long, TimeValue, short) {
    return OSErr(VERIFY_OSERR(DefaultDataProc(data, dataSize)));
}

OSErr QCameraGrabberBase::DefaultDataProc(Ptr, long) { return noErr; }

OSErr QCameraGrabberBase::BeginDecompression(const QImageDescription &, const Rect &, const Rect &) { return noErr; }

// The frame buffer (provided by subclasses) --------------------------------------------------

bool QCameraGrabberBase::IsFrameBufferConstructed() { return GetFrameBufferGWorldPtr() != nullptr; }

GWorldPtr QCameraGrabberBase::GetFrameBufferGWorldPtr() { return nullptr; }

bool QCameraGrabberBase::GetFrameBufferImageDescription(QImageDescription &) { return false; }

void QCameraGrabberBase::OnGrabberStateChanged(int) {}

bool QCameraGrabberBase::CreateFrameBuffer(const Rect &, OSType) { return OnFrameBufferCreated(); }

bool QCameraGrabberBase::OnFrameBufferCreated() { return true; }

OSErr QCameraGrabberBase::OnChannelPrepared() { return noErr; }

// Opening -----------------------------------------------------------------------------------

OSErr QCameraGrabberBase::OpenInitialize(const Rect &frameRect, OSType frameBufferPixelFormat,
                                         const CameraInput *cameraInput) {
    if (!VERIFY(CreateFrameBuffer(frameRect, frameBufferPixelFormat))) return paramErr;
    if (mVDIGRequestRect.right == mVDIGRequestRect.left && mVDIGRequestRect.bottom == mVDIGRequestRect.top)
        mVDIGRequestRect = frameRect;
    // The channel belongs to the component about to be closed: dispose of it while its
    // component is still open, rather than hand a dead channel to the new component.
    CloseVideoChannel();
    OSErr err = QSequenceGrabber::OpenInitialize();
    if (err != noErr) return err;
    err = SetDataRef(nullptr, 0, seqGrabDontMakeMovie);
    if (err != noErr) return err;
    return OpenVideoChannel(frameRect, frameBufferPixelFormat, cameraInput);
}

OSErr QCameraGrabberBase::OpenVideoChannel(const Rect &frameRect, OSType frameBufferPixelFormat,
                                           const CameraInput *cameraInput) {
    if (mVideoChannel != nullptr) CloseVideoChannel();
    OSErr err = noErr;
    SGChannel channel = nullptr;
    if (!VERIFY(mComponent != nullptr)) {
        err = paramErr;
    } else {
        err = OSErr(VERIFY_OSERR(SGNewChannel(mComponent, VideoMediaType, &channel)));
        // A component that answers success without a channel has not opened one.
        if (err == noErr && !VERIFY(channel != nullptr)) err = paramErr;
        if (err == noErr) {
            OnGrabberStateChanged(kGrabberState_ChannelCreated);
            err = InitializeVideoChannel(channel, cameraInput);
            if (err == noErr) {
                mVideoChannel = channel;
                err = InitializeSequenceGrabToOffscreenWorld(frameRect, frameBufferPixelFormat);
                if (err != noErr) return err;
                err = Prepare();
                if (err != noErr) return err;
                err = OnChannelPrepared();
                if (err != noErr) return err;
                OnGrabberStateChanged(kGrabberState_ChannelPrepared);
                return noErr;
            }
        }
    }
    if (mVideoChannel == nullptr) {
        // A channel made but never recorded would otherwise live on in the component.
        if (channel != nullptr) DisposeChannel(channel);
        OnGrabberStateChanged(kGrabberState_NoCamera);
    }
    return err;
}

OSErr QCameraGrabberBase::CloseVideoChannel() {
    OSErr err = noErr;
    if (mVideoChannel != nullptr) err = DisposeChannel(mVideoChannel);
    mVideoChannel = nullptr;
    return err;
}

OSErr QCameraGrabberBase::InitializeVideoChannel(SGChannel channel, const CameraInput *cameraInput) {
    if (cameraInput == nullptr) return noErr;
    // Each step is tried whatever the one before answered (each reports its own error):
    // a device that cannot be selected leaves the channel on its default device.
    BeginChannelSettingsChange(channel);
    Str255 deviceName;
    std::memcpy(deviceName, cameraInput->deviceName, sizeof(cameraInput->deviceName));
    if (deviceName[0] > sizeof(cameraInput->deviceName) - 1) deviceName[0] = sizeof(cameraInput->deviceName) - 1;
    SetChannelDevice(channel, deviceName);
    SetChannelDeviceInput(channel, cameraInput->input);
    ChannelChangedSource(channel);
    EndChannelSettingsChange(channel);
    return noErr;
}

OSErr QCameraGrabberBase::InitializeSequenceGrabToOffscreenWorld(const Rect &bounds, OSType frameBufferPixelFormat) {
    if (!VERIFY(CreateFrameBuffer(bounds, frameBufferPixelFormat))) return paramErr;
    OSErr err = SetChannelBounds(mVDIGRequestRect);
    if (err == noErr) err = SetGWorld(GetFrameBufferGWorldPtr(), GetMainDevice());
    // The bounds again, now that the world is set.
    if (err == noErr) err = SetChannelBounds(mVDIGRequestRect);
    if (err == noErr) err = SetChannelUsage(mVideoChannel, seqGrabRecord);
    if (err == noErr) err = SetThisDataProc();
    return OSErr(VERIFY_OSERR(err));
}

// Recording ---------------------------------------------------------------------------------

OSErr QCameraGrabberBase::StartRecord() {
    OSErr err = OSErr(VERIFY_OSERR(InitializeDecompressionToOffscreenWorld()));
    if (err != noErr) return err;
    return QSequenceGrabber::StartRecord();
}

OSErr QCameraGrabberBase::InitializeDecompressionToOffscreenWorld() {
    const OSErr err = OSErr(VERIFY_OSERR(GetVideoSampleDescription(mCameraImageDesc)));
    if (err != noErr) return err;
    const Rect sourceRect = {0, 0, mCameraImageDesc.GetHeight(), mCameraImageDesc.GetWidth()};
    return BeginDecompression(mCameraImageDesc, sourceRect, mFrameBufferRect);
}

OSErr QCameraGrabberBase::StopRecord() {
    if (mVideoChannel == nullptr) return paramErr;
    if (!VERIFY(mComponent != nullptr)) return paramErr;
    const OSErr err = Stop();
    if (err != noErr) return err;
    return CloseVideoChannel();
}

bool QCameraGrabberBase::StopCamera() { return StopRecord() == noErr; }

OSErr QCameraGrabberBase::Close() {
    const OSErr err = CloseIF();
    mVideoChannel = nullptr;
    return err;
}

OSErr QCameraGrabberBase::GetVideoSampleDescription(QImageDescription &description) {
    if (!VERIFY(mVideoChannel != nullptr && mComponent != nullptr)) return paramErr;
    Handle sampleDescription = NewHandle(0);
    if (!VERIFY(sampleDescription != nullptr)) return memFullErr;
    OSErr err = GetChannelSampleDescription(mVideoChannel, sampleDescription);
    // Only a whole description is read as one.
    if (err == noErr && !VERIFY(GetHandleSize(sampleDescription) >= Size(sizeof(ImageDescription))))
        err = badImageDescription;
    if (err == noErr &&
        !description.Construct(reinterpret_cast<ImageDescriptionHandle>(sampleDescription), true))
        err = paramErr;
    if (err != noErr) DisposeHandle(sampleDescription);
    return err;
}

OSErr QCameraGrabberBase::SetChannelBounds(const Rect &bounds) {
    if (!VERIFY(mComponent != nullptr && mVideoChannel != nullptr)) return paramErr;
    return QSequenceGrabber::SetChannelBounds(mVideoChannel, bounds);
}

// Idling and pacing -------------------------------------------------------------------------

void QCameraGrabberBase::SetFramePacing(bool retryOpen, float retryIntervalSeconds) {
    mPaceOpen = retryOpen;
    if (VERIFY(std::isfinite(retryIntervalSeconds) && retryIntervalSeconds >= 0.0f))
        mPaceSeconds = retryIntervalSeconds;
    mLastPaceTime = CurrentMicroseconds();
}

OSErr QCameraGrabberBase::Idle() {
    if (mVideoChannel != nullptr && mComponent != nullptr) return QSequenceGrabber::Idle();
    if (!IsFrameBufferConstructed() || !mPaceOpen) return noErr;
    const double now = CurrentMicroseconds();
    const double elapsedSeconds = (now - mLastPaceTime) / 1000.0 / 1000.0;
    if (!(elapsedSeconds > double(mPaceSeconds))) return noErr;
    mLastPaceTime = now;
    const OSErr err = ReopenCamera(nullptr);
    if (err != noErr) return err;
    return QSequenceGrabber::Idle();
}

OSErr QCameraGrabberBase::ReopenCamera(const CameraInput *cameraInput) {
    if (mComponent == nullptr) {
        // A camera opened again records again, as it does below when only the channel
        // was missing.
        const OSErr err = OpenInitialize(mFrameBufferRect, mFrameBufferPixelFormat, cameraInput);
        if (err != noErr) return err;
        return StartRecord();
    }
    if (mVideoChannel == nullptr) {
        const OSErr err = OpenVideoChannel(mFrameBufferRect, mFrameBufferPixelFormat, cameraInput);
        if (err != noErr) return err;
        return StartRecord();
    }
    if (cameraInput != nullptr) return SwitchToCamera(*cameraInput);
    return noErr;
}

// Cameras -----------------------------------------------------------------------------------

bool QCameraGrabberBase::GetActiveCameraDeviceList(QSGDeviceList &list) {
    if (GetChannelDeviceList(mVideoChannel, sgDeviceListIncludeInputs, list) != noErr) return false;
    short deviceCount = 0;
    return list.GetDeviceNameCount(deviceCount) && VERIFY(deviceCount>0);
}

bool QCameraGrabberBase::GetCameraInputList(QSGDeviceList &list) {
    if (mVideoChannel != nullptr) return GetActiveCameraDeviceList(list);
    list.Dispose();
    if (!VERIFY(mComponent != nullptr)) return false;
    SGChannel channel = nullptr;
    const OSErr err = OSErr(VERIFY_OSERR(SGNewChannel(mComponent, VideoMediaType, &channel)));
    if (err != noErr || !VERIFY(channel != nullptr)) return false;
    short deviceCount = 0;
    const bool ok = GetChannelDeviceList(channel, sgDeviceListIncludeInputs, list) == noErr &&
                    list.GetDeviceNameCount(deviceCount) && VERIFY(deviceCount>0);
    DisposeChannel(channel);
    if (!ok) list.Dispose();
    return ok;
}

short QCameraGrabberBase::CountCameras() {
    // Through the same walk as UseNextCamera and UsePrevCamera take.
    short count = 0;
    CameraInput position;
    for (bool found = GetFirstCamera(position); found && count < SHRT_MAX; found = GetNextCamera(position)) ++count;
    return count;
}

bool QCameraGrabberBase::IsThisTheCurrentCamera(const CameraInput &cameraInput) {
    CameraInput current;
    if (!VERIFY(GetCurrentCamera(current))) return false;
    return current.IsSame(cameraInput);
}

bool QCameraGrabberBase::GetCurrentCamera(CameraInput &cameraInput) {
    cameraInput.Clear();
    if (mVideoChannel == nullptr || mComponent == nullptr) return false;
    QSGDeviceList list;
    if (!VERIFY(GetActiveCameraDeviceList(list))) return false;
    Str255 deviceName = {0};
    Str255 inputName = {0};
    short inputNumber = 0;
    if (GetChannelDeviceAndInputNames(mVideoChannel, deviceName, inputName, &inputNumber) != noErr) return false;
    if (!VERIFY_TEXT(deviceName[0] > 0, " code : deviceName.strlen()>0")) return false;
    // The channel's device among the devices, its input among that device's inputs.
    return VERIFY(list.FindDeviceInputNamed(deviceName, inputName, cameraInput));
}

bool QCameraGrabberBase::FindCameraNamed(CameraInput &cameraInput, const char *inputName) {
    cameraInput.Clear();
    if (!VERIFY(inputName != nullptr)) return false;
    const CorePString name(inputName);
    QSGDeviceList list;
    if (!GetActiveCameraDeviceList(list)) return false;
    return list.FindInputNamed(name.p_str(), cameraInput);
}

bool QCameraGrabberBase::GetFirstCamera(CameraInput &cameraInput) {
    QSGDeviceList list;
    if (!VERIFY(GetActiveCameraDeviceList(list))) {
        cameraInput.Clear();
        return false;
    }
    return VERIFY(list.GetFirstInput(cameraInput));
}

bool QCameraGrabberBase::GetLastCamera(CameraInput &cameraInput) {
    QSGDeviceList list;
    if (!VERIFY(GetActiveCameraDeviceList(list))) {
        cameraInput.Clear();
        return false;
    }
    return VERIFY(list.GetLastInput(cameraInput));
}

bool QCameraGrabberBase::GetNextCamera(CameraInput &cameraInput) {
    QSGDeviceList list;
    if (!GetActiveCameraDeviceList(list)) return false;
    return list.GetNextInput(cameraInput);
}

bool QCameraGrabberBase::GetPrevCamera(CameraInput &cameraInput) {
    QSGDeviceList list;
    if (!GetActiveCameraDeviceList(list)) return false;
    return list.GetPrevInput(cameraInput);
}

OSErr QCameraGrabberBase::SwitchToCamera(const CameraInput &cameraInput) {
    if (IsThisTheCurrentCamera(cameraInput)) return paramErr;
    {
        // Only for the checks: disposed before the component is closed and opened again.
        QSGDeviceList list;
        if (!GetActiveCameraDeviceList(list)) return paramErr;
        if (!VERIFY(list.IsValidDeviceInput(cameraInput))) return paramErr;
        if (!VERIFY(!cameraInput.IsDeviceEmpty())) return paramErr;
    }
    OSErr err = OSErr(VERIFY_OSERR(StopRecord()));
    if (err != noErr) return err;
    if (!VERIFY(mVideoChannel == nullptr || mComponent == nullptr)) return paramErr;
    err = OSErr(VERIFY_OSERR(OpenInitialize(mFrameBufferRect, mFrameBufferPixelFormat, &cameraInput)));
    if (err != noErr) {
        cameraInput.Log("QCameraGrabberBase::SwitchCameraInputTo ERROR SWITCHING");
        return err;
    }
    return OSErr(VERIFY_OSERR(StartRecord()));
}

bool QCameraGrabberBase::UseNextCamera() {
    if (CountCameras() < 2) return false;
    CameraInput camera;
    if (!GetCurrentCamera(camera) && !GetLastCamera(camera)) return false;
    if (!GetNextCamera(camera)) return false;
    return VERIFY_OSERR(SwitchToCamera(camera)) == noErr;
}

bool QCameraGrabberBase::UsePrevCamera() {
    if (CountCameras() < 2) return false;
    CameraInput camera;
    if (!GetCurrentCamera(camera) && !GetFirstCamera(camera)) return false;
    if (!GetPrevCamera(camera)) return false;
    return VERIFY_OSERR(SwitchToCamera(camera)) == noErr;
}
