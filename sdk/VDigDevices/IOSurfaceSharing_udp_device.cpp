#include <VDigDevices/IOSurfaceSharing_udp_device.h>

IOSurfaceSharing_udp_device::IOSurfaceSharing_udp_device() : mSource(kConfig_ServerPortNumber) {
    mPlaceholder.Construct(CGSizeMake(kFrameWidthPixels, kFrameHeightPixels));
    DrawDeviceMessage();
    mSource.ConstructWidthHeight(kFrameWidthPixels, kFrameHeightPixels);
}

IOSurfaceSharing_udp_device::~IOSurfaceSharing_udp_device() { ReleaseLockedFrame(); }

void IOSurfaceSharing_udp_device::ReleaseLockedFrame() {
    if (!mLockedCachedFrame) return;
    mSource.ReleaseFrame(mLockedCachedFrame);
    mLockedCachedFrame.reset();
}

bool IOSurfaceSharing_udp_device::DeviceConnect() {
    mDeviceName = "Lum@ra2";
    mFramesDelivered = mFramesDropped = 0;
    mSource.SetServerPortNumber(mServerPortNumber);
    return true;
}

void IOSurfaceSharing_udp_device::DeviceDisconnect() {
    DrawDeviceMessage();
    mSource.InvalidateSurface();
    mFramesDelivered = mFramesDropped = 0;
}

void IOSurfaceSharing_udp_device::SetServerPortNumber(uint16_t port) {
    mServerPortNumber = port;
    DrawDeviceMessage();
    mSource.SetServerPortNumber(port);
}

void IOSurfaceSharing_udp_device::DrawDeviceMessage() {
    if (mPlaceholder.IsEmpty()) return;
    mPlaceholder.EraseBackground();
    mPlaceholder.DrawTextCenteredLowerThird("Lum@ra2");
    mPlaceholder.mBitmapContext.WillAccessPixels();
}

int IOSurfaceSharing_udp_device::GetFrame(int32_t *count, void **data, uint32_t *size) {
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
        if (data) *data = frame;
        if (size) *size = kFrameSizeBytes;
        ++mFramesDelivered;
    }
    return 0;
}

int IOSurfaceSharing_udp_device::ReleaseCompressBuffer(void *data) {
    if (!mSource.HasValidSurface()) mSource.GetFrameFromServerMessage();
    if (mLockedCachedFrame && data != nullptr && data == mLockedCachedFrame->mFrameBufferData) ReleaseLockedFrame();
    return 0;
}

bool import_IOSurfaceSharing_udp_device() { return import_IOSurfaceSharingUDPImage(); }
