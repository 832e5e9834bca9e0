#include <Lumora2.VDIG/IOSurfaceSharing_udp_device.h>

IOSurfaceSharing_udp_device::IOSurfaceSharing_udp_device()
    : T_config_VDIG_device(kConfiguration), mSource(kConfig_ServerPortNumber) {
    mPlaceholder.Construct(CGSizeMake(kConfiguration.kFrameWidthPixels, kConfiguration.kFrameHeightPixels));
    DrawDeviceMessage();
    mSource.ConstructWidthHeight(SInt32(kConfiguration.kFrameWidthPixels), SInt32(kConfiguration.kFrameHeightPixels));
}

IOSurfaceSharing_udp_device::~IOSurfaceSharing_udp_device() { ReleaseLockedFrame(); }

void IOSurfaceSharing_udp_device::ReleaseLockedFrame() {
    if (!mLockedCachedFrame) return;
    mSource.ReleaseFrame(mLockedCachedFrame);
    mLockedCachedFrame.reset();
}

bool IOSurfaceSharing_udp_device::Connect() {
    T_config_VDIG_device::Connect();
    mSource.SetServerPortNumber(mServerPortNumber);
    return true;
}

void IOSurfaceSharing_udp_device::Disconnect() {
    DrawDeviceMessage();
    mSource.InvalidateSurface();
    T_config_VDIG_device::Disconnect();
}

void IOSurfaceSharing_udp_device::SetServerPortNumber(uint16_t port) {
    mServerPortNumber = port;
    DrawDeviceMessage();
    mSource.SetServerPortNumber(port);
}

void IOSurfaceSharing_udp_device::DrawDeviceMessage() {
    if (mPlaceholder.IsEmpty()) return;
    mPlaceholder.EraseBackground();
    mPlaceholder.DrawTextCenteredLowerThird(kConfiguration.kDeviceName);
    mPlaceholder.mBitmapContext.WillAccessPixels();
    mLockedData = mPlaceholder.mFrameBufferData;
}

ComponentResult IOSurfaceSharing_udp_device::GetFrame(UInt8 *count, Ptr *data, long *size) {
    if (count) *count = 0;
    if (data) *data = nullptr;
    if (size) *size = 0;
    void *frame = nullptr;
    if (!mSource.HasValidSurface()) mSource.GetFrameFromServerMessage();
    if (mSource.HasValidSurface()) {
        mSource.GetFrameFromServerMessage();  // the newest announcement wins
        IOSurfaceSharingFrameBufferCache::Entry cached = mSource.AcquireCurrentFrame();
        if (cached) {
            mCurrentFrameTime = int64_t(mSource.GetFrameTime());
            ReleaseLockedFrame();
            mLockedCachedFrame = std::move(cached);
        }
        // Busy or gone: the frame still held (if any) is handed out again.
        if (mLockedCachedFrame) frame = mLockedCachedFrame->mFrameBufferData;
    } else {
        frame = mPlaceholder.mFrameBufferData;
    }
    if (frame != nullptr) {
        if (count) *count = 1;
        if (data) *data = static_cast<Ptr>(frame);
        if (size) *size = long(mFrameSizeBytes);
        ++mFramesDelivered;
    }
    return noErr;
}

ComponentResult IOSurfaceSharing_udp_device::ReleaseCompressBuffer(Ptr data) {
    if (!mSource.HasValidSurface()) mSource.GetFrameFromServerMessage();
    if (mLockedCachedFrame && data != nullptr && data == mLockedCachedFrame->mFrameBufferData) ReleaseLockedFrame();
    return noErr;
}

bool import_IOSurfaceSharing_udp_device() { return import_IOSurfaceSharingUDPImage(); }
