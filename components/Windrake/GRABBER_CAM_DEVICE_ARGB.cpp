#include <Windrake/GRABBER_CAM_DEVICE_ARGB.h>

#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGImage.h>

#include <cstring>

GRABBER_CAM_DEVICE_ARGB::GRABBER_CAM_DEVICE_ARGB() : T_config_VDIG_device(kConfiguration) {
    mFrame.Construct(CGSizeMake(kFrameWidthPixels, kFrameHeightPixels));
    mWindowOwners.UpdateWindowOwnerList();
    mGrabberQueue.Construct("GRABBER_CAM_DEVICE_ARGB.GrabberQueue");
    mRenderQueue.Construct("GRABBER_CAM_DEVICE_ARGB.RenderQueue");
}

GRABBER_CAM_DEVICE_ARGB::~GRABBER_CAM_DEVICE_ARGB() {
    // A frame the host never gave back would hold a drawing up for ever.
    if (mFrameHandedOut) {
        mFrameHandedOut = false;
        mFrameLock.Unlock();
    }
    // The grabber queue first: its last grab may still queue a drawing.
    mGrabberQueue.DestructSync();
    mRenderQueue.DestructSync();
}

bool GRABBER_CAM_DEVICE_ARGB::Connect() {
    T_config_VDIG_device::Connect();
    mWindowOwners.UpdateWindowOwnerList();
    mLockedData = mFrame.mFrameBufferData;
    mFrameSizeBytes = kConfiguration.kFrameSizeBytes;
    return true;
}

void GRABBER_CAM_DEVICE_ARGB::Disconnect() {
    mLockedData = nullptr;
    T_config_VDIG_device::Disconnect();
}

std::string GRABBER_CAM_DEVICE_ARGB::DeviceNameOfInput(long n) {
    std::string owner;
    if (n >= 0) mWindowOwners.GetWindowOwnerAtIndex(size_t(n), owner);
    std::string name = std::string(DeviceName()) + ": " + owner;
    if (name.size() > 255) name.resize(255);
    return name;
}

ComponentResult GRABBER_CAM_DEVICE_ARGB::GetDeviceName(StringPtr name, long n) {
    if (name == nullptr) return paramErr;
    const std::string text = DeviceNameOfInput(n);
    name[0] = static_cast<unsigned char>(text.size());
    std::memcpy(name + 1, text.data(), text.size());
    return noErr;
}

ComponentResult GRABBER_CAM_DEVICE_ARGB::GetFrame(UInt8 *count, Ptr *data, long *size) {
    if (count) *count = 0;
    if (data) *data = nullptr;
    if (size) *size = 0;
    if (mLockedData == nullptr) return paramErr;
    // A host that asks again before giving the frame back gets the frame it holds.
    if (!mFrameHandedOut) {
        mFrameLock.Lock();
        mFrameHandedOut = true;
    }
    if (count) *count = 1;
    if (data) *data = static_cast<Ptr>(mLockedData);
    if (size) *size = long(mFrameSizeBytes);
    ++mFramesDelivered;
    return noErr;
}

ComponentResult GRABBER_CAM_DEVICE_ARGB::ReleaseCompressBuffer(Ptr data) {
    if (data != nullptr && mFrameHandedOut) {
        mFrameHandedOut = false;
        mFrameLock.Unlock();
    }
    if (mGrabsInFlight.load() == 0 && mGrabberQueue.Exists()) {
        mGrabsInFlight.fetch_add(1);
        if (!mGrabberQueue.Async([this] { Grab(); })) mGrabsInFlight.fetch_sub(1);
    }
    return noErr;
}

void GRABBER_CAM_DEVICE_ARGB::Grab() {
    const long input = mCurrentInput.load();
    CGImageRef image = input >= 0 ? mWindowOwners.CopyWindowOwnerImage(size_t(input)) : nullptr;
    if (image != nullptr) {
        if (!mRenderQueue.Async([this, image] {
                RenderWindowImage(image);
                CGImageRelease(image);
            }))
            CGImageRelease(image);
    }
    mGrabsInFlight.fetch_sub(1);
}

void GRABBER_CAM_DEVICE_ARGB::RenderWindowImage(CGImageRef image) {
    if (image == nullptr || !mFrame.mBitmapContext.IsConstructed()) return;
    mFrameLock.Lock();
    CGContextRef context = mFrame.mBitmapContext.mContext;
    const CGRect whole = CGRectMake(0, 0, kFrameWidthPixels, kFrameHeightPixels);
    CGContextSetRGBFillColor(context, 1, 1, 1, 1);
    CGContextFillRect(context, whole);
    const CGRect fit = WindrakeFitImageRect(kFrameWidthPixels, kFrameHeightPixels, double(CGImageGetWidth(image)),
                                            double(CGImageGetHeight(image)));
    if (!CGRectIsNull(fit)) CGContextDrawImage(context, fit, image);
    // The host reads the pixels themselves.
    mFrame.mBitmapContext.WillAccessPixels();
    mFrameLock.Unlock();
}

void GRABBER_CAM_DEVICE_ARGB::Drain() {
    // A grab queues its drawing before it ends, so the render queue is drained after it.
    mGrabberQueue.Sync();
    mRenderQueue.Sync();
}

bool import_GRABBER_CAM_DEVICE_ARGB() { return import_UWindrakeWindow(); }
