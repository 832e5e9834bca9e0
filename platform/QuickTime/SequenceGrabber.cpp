// The Sequence Grabber component: a grabber instance owns its video channels; a channel
// names its device and input and, while prepared or recording, holds the open device.
// SGIdle takes the ready frames of every recording channel and hands them to the data
// procedure on the calling thread.
#include <QuickTime/SequenceGrabber.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "CaptureDevices.h"
#include "QTComponent.h"
#include "QTInternal.h"

namespace lumora::qt {
namespace {

constexpr int kMaximumSide = 8192;
constexpr Fixed kMaximumFrameRate = 1000 << 16;

class SequenceGrabber;

class VideoChannel final : public ComponentInstanceRecord {
public:
    VideoChannel(SequenceGrabber &owner, const CaptureDeviceInfo &device)
        : ComponentInstanceRecord({SeqGrabChannelType, VideoMediaType, 0, 0, 0}, "Video", false),
          mOwner(&owner),
          mDeviceName(device.name),
          mInputName(device.inputs.front()) {}
    ~VideoChannel() override { Release(); }

    // Closes the device (recording ends); the settled format is kept.
    void Release() {
        if (mSource) {
            mSource->Stop();
            mSource.reset();
        }
        mRecording = false;
    }
    // After a change of device, input, size or rate: the format must be settled again.
    void Unprepare() {
        Release();
        mHasFormat = false;
    }

    SequenceGrabber *mOwner;
    std::string mDeviceName;
    std::string mInputName;
    short mInput = 0;
    Rect mBounds{};
    bool mHasBounds = false;
    Fixed mFrameRate = 0;
    long mUsage = seqGrabRecord;
    int mSettingsChanges = 0;                // open sgSetSettingsBegin brackets
    std::unique_ptr<CaptureSource> mSource;  // the open device, while prepared or recording
    bool mRecording = false;
    OSErr mFailure = noErr;  // why recording ended early (the device is gone); until SGStop
    bool mHasFormat = false;
    CaptureFormat mFormat;
};

class SequenceGrabber final : public ComponentInstanceRecord {
public:
    SequenceGrabber() : ComponentInstanceRecord({SeqGrabComponentType, 0, 0, 0, 0}, "Sequence Grabber", true) {}

    bool Owns(const VideoChannel *channel) const {
        return std::any_of(mChannels.begin(), mChannels.end(),
                           [&](const std::unique_ptr<VideoChannel> &c) { return c.get() == channel; });
    }

    bool mInitialized = false;
    SGDataProcPtr mDataProc = nullptr;
    SRefCon mDataRefCon = nullptr;
    GWorldPtr mWorld = nullptr;
    bool mRecording = false;
    bool mDelivering = false;  // inside the data procedure
    std::vector<std::unique_ptr<VideoChannel>> mChannels;
};

SequenceGrabber *GrabberOf(ComponentInstance s) { return dynamic_cast<SequenceGrabber *>(LiveComponent(s)); }
VideoChannel *ChannelOf(ComponentInstance c) { return dynamic_cast<VideoChannel *>(LiveComponent(c)); }

// A channel whose settings may change now: not recording, not from the data procedure.
OSErr CheckChangeable(const VideoChannel &channel) {
    return channel.mRecording || channel.mOwner->mDelivering ? OSErr(cantDoThatInCurrentMode) : OSErr(noErr);
}

const CaptureDeviceInfo *FindDevice(const std::vector<CaptureDeviceInfo> &devices, const std::string &name) {
    for (const CaptureDeviceInfo &device : devices)
        if (device.name == name) return &device;
    return nullptr;
}

std::string FromPascal(const unsigned char *text) {
    return std::string(reinterpret_cast<const char *>(text + 1), text[0]);
}

void ToPascal(const std::string &text, unsigned char *out, size_t capacity) {
    const size_t length = std::min(text.size(), capacity - 1);
    out[0] = static_cast<unsigned char>(length);
    std::memcpy(out + 1, text.data(), length);
}

// The frame size asked of the device: the channel's bounds, else the world's.
bool FrameSize(const VideoChannel &channel, int &width, int &height) {
    Rect bounds = channel.mBounds;
    if (!channel.mHasBounds) {
        if (!IsLiveWorld(channel.mOwner->mWorld)) return false;
        GetPortBounds(channel.mOwner->mWorld, &bounds);
    }
    width = int(bounds.right) - bounds.left;
    height = int(bounds.bottom) - bounds.top;
    return width > 0 && height > 0 && width <= kMaximumSide && height <= kMaximumSide;
}

// Opens the channel's device (found again by name) and settles its format.
OSErr Prepare(VideoChannel &channel) {
    if (channel.mSource) return noErr;
    int width = 0, height = 0;
    if (!FrameSize(channel, width, height)) return paramErr;
    const std::vector<CaptureDeviceInfo> devices = ListCaptureDevices();
    const CaptureDeviceInfo *device = FindDevice(devices, channel.mDeviceName);
    if (device == nullptr) return noDeviceForChannel;
    if (size_t(channel.mInput) >= device->inputs.size()) return deviceCantMeetRequest;
    OSErr err = noErr;
    std::unique_ptr<CaptureSource> source = OpenCaptureSource(*device, err);
    if (!source) return err;
    CaptureFormat format;
    err = source->Configure(channel.mInput, width, height, Fix2X(channel.mFrameRate), format);
    if (err != noErr) return err;
    channel.mSource = std::move(source);
    channel.mFormat = format;
    channel.mHasFormat = true;
    return noErr;
}

const char *FormatName(OSType type) {
    switch (type) {
    case k2vuyPixelFormat: return "UYVY 4:2:2";
    case kYUVSPixelFormat: return "YUYV 4:2:2";
    case kJPEGCodecType: return "Motion JPEG";
    default: return "RGB";
    }
}

}  // namespace

ComponentInstanceRecord *NewSequenceGrabber() { return new SequenceGrabber; }

}  // namespace lumora::qt

using namespace lumora::qt;

// --- The grabber ---

ComponentResult SGInitialize(SeqGrabComponent s) {
    SequenceGrabber *grabber = GrabberOf(s);
    if (grabber == nullptr) return badComponentInstance;
    grabber->mInitialized = true;
    return noErr;
}

ComponentResult SGSetDataProc(SeqGrabComponent s, SGDataUPP proc, SRefCon refCon) {
    SequenceGrabber *grabber = GrabberOf(s);
    if (grabber == nullptr) return badComponentInstance;
    grabber->mDataProc = proc;
    grabber->mDataRefCon = refCon;
    return noErr;
}

ComponentResult SGSetDataRef(SeqGrabComponent s, Handle dataRef, OSType, long whereFlags) {
    SequenceGrabber *grabber = GrabberOf(s);
    if (grabber == nullptr) return badComponentInstance;
    if ((whereFlags & seqGrabDontMakeMovie) == 0 || dataRef != nullptr) return unimpErr;
    return noErr;
}

ComponentResult SGSetGWorld(SeqGrabComponent s, CGrafPtr gp, GDHandle) {
    SequenceGrabber *grabber = GrabberOf(s);
    if (grabber == nullptr) return badComponentInstance;
    if (gp == nullptr) GetGWorld(&gp, nullptr);
    if (!IsLiveWorld(gp)) return paramErr;
    grabber->mWorld = gp;
    return noErr;
}

ComponentResult SGNewChannel(SeqGrabComponent s, OSType channelType, SGChannel *ref) {
    if (ref != nullptr) *ref = nullptr;
    SequenceGrabber *grabber = GrabberOf(s);
    if (grabber == nullptr) return badComponentInstance;
    if (ref == nullptr || !grabber->mInitialized) return paramErr;
    if (grabber->mDelivering) return cantDoThatInCurrentMode;
    if (channelType != VideoMediaType) return couldntGetRequiredComponent;
    const std::vector<CaptureDeviceInfo> devices = ListCaptureDevices();
    if (devices.empty()) return noDeviceForChannel;
    grabber->mChannels.push_back(std::make_unique<VideoChannel>(*grabber, devices.front()));
    *ref = grabber->mChannels.back().get();
    return noErr;
}

ComponentResult SGDisposeChannel(SeqGrabComponent s, SGChannel c) {
    SequenceGrabber *grabber = GrabberOf(s);
    if (grabber == nullptr) return badComponentInstance;
    VideoChannel *channel = ChannelOf(c);
    if (channel == nullptr || !grabber->Owns(channel)) return badSGChannel;
    if (grabber->mDelivering) return cantDoThatInCurrentMode;
    auto &channels = grabber->mChannels;
    channels.erase(std::find_if(channels.begin(), channels.end(),
                                [&](const std::unique_ptr<VideoChannel> &p) { return p.get() == channel; }));
    grabber->mRecording = std::any_of(channels.begin(), channels.end(),
                                      [](const std::unique_ptr<VideoChannel> &p) { return p->mRecording; });
    return noErr;
}

ComponentResult SGPrepare(SeqGrabComponent s, Boolean prepareForPreview, Boolean prepareForRecord) {
    SequenceGrabber *grabber = GrabberOf(s);
    if (grabber == nullptr) return badComponentInstance;
    if (prepareForPreview) return unimpErr;
    if (!prepareForRecord) return paramErr;
    if (grabber->mDelivering || grabber->mRecording) return cantDoThatInCurrentMode;
    for (const auto &channel : grabber->mChannels) {
        if ((channel->mUsage & seqGrabRecord) == 0) continue;
        const OSErr err = Prepare(*channel);
        if (err != noErr) return err;
    }
    return noErr;
}

ComponentResult SGStartRecord(SeqGrabComponent s) {
    SequenceGrabber *grabber = GrabberOf(s);
    if (grabber == nullptr) return badComponentInstance;
    if (grabber->mDelivering) return cantDoThatInCurrentMode;
    if (grabber->mDataProc == nullptr) return paramErr;
    std::vector<VideoChannel *> starting;
    for (const auto &channel : grabber->mChannels)
        if ((channel->mUsage & seqGrabRecord) != 0 && !channel->mRecording) starting.push_back(channel.get());
    if (starting.empty() && !grabber->mRecording) return paramErr;
    for (VideoChannel *channel : starting) {
        OSErr err = Prepare(*channel);
        if (err == noErr) err = channel->mSource->Start();
        if (err != noErr) {  // nothing records
            for (const auto &other : grabber->mChannels) other->Release();
            grabber->mRecording = false;
            return err;
        }
        channel->mRecording = true;
        channel->mFailure = noErr;
    }
    grabber->mRecording = true;
    return noErr;
}

ComponentResult SGIdle(SeqGrabComponent s) {
    SequenceGrabber *grabber = GrabberOf(s);
    if (grabber == nullptr) return badComponentInstance;
    if (grabber->mDelivering) return cantDoThatInCurrentMode;
    if (!grabber->mRecording) return noErr;
    grabber->mDelivering = true;
    grabber->mClosable = false;  // CloseComponent from the data procedure is refused
    OSErr result = noErr;
    for (const auto &channel : grabber->mChannels) {
        if (channel->mFailure != noErr) {
            if (result == noErr) result = channel->mFailure;
            continue;
        }
        if (!channel->mRecording || !channel->mSource) continue;
        bool refused = false;
        const OSErr err = channel->mSource->TakeFrames([&](const CapturedFrame &frame) {
            if (grabber->mDataProc == nullptr) return OSErr(noErr);
            long offset = 0;
            const auto time = TimeValue(frame.microseconds * kSGFrameTimeScale / 1000000);
            const OSErr status = grabber->mDataProc(channel.get(), reinterpret_cast<Ptr>(frame.data), long(frame.size),
                                                    &offset, 0, time, seqGrabWriteAppend, grabber->mDataRefCon);
            refused = status != noErr;
            return status;
        });
        if (err != noErr && !refused) {  // the device failed: this channel's capture ends
            channel->Release();
            channel->mFailure = err;
        }
        if (err != noErr && result == noErr) result = err;
    }
    grabber->mClosable = true;
    grabber->mDelivering = false;
    return result;
}

ComponentResult SGStop(SeqGrabComponent s) {
    SequenceGrabber *grabber = GrabberOf(s);
    if (grabber == nullptr) return badComponentInstance;
    if (grabber->mDelivering) return cantDoThatInCurrentMode;
    for (const auto &channel : grabber->mChannels) {
        channel->Release();
        channel->mFailure = noErr;
    }
    grabber->mRecording = false;
    return noErr;
}

ComponentResult SGChangedSource(SeqGrabComponent s, SGChannel c) {
    SequenceGrabber *grabber = GrabberOf(s);
    if (grabber == nullptr) return badComponentInstance;
    VideoChannel *channel = ChannelOf(c);
    return channel != nullptr && grabber->Owns(channel) ? OSErr(noErr) : OSErr(badSGChannel);
}

ComponentResult SGDisposeDeviceList(SeqGrabComponent, SGDeviceList list) {
    if (list == nullptr) return noErr;
    if (*list != nullptr) {
        const Size size = GetHandleSize(reinterpret_cast<Handle>(list));
        const Size room = (size - Size(offsetof(SGDeviceListRecord, entry))) / Size(sizeof(SGDeviceName));
        const short count = (**list).count;
        for (short i = 0; i < count && i < room; ++i) DisposeHandle(reinterpret_cast<Handle>((**list).entry[i].inputs));
    }
    DisposeHandle(reinterpret_cast<Handle>(list));
    return noErr;
}

// --- Channels ---

ComponentResult SGSetChannelBounds(SGChannel c, const Rect *bounds) {
    VideoChannel *channel = ChannelOf(c);
    if (channel == nullptr) return badSGChannel;
    if (bounds == nullptr || EmptyRect(bounds) || int(bounds->right) - bounds->left > kMaximumSide ||
        int(bounds->bottom) - bounds->top > kMaximumSide)
        return paramErr;
    if (const OSErr err = CheckChangeable(*channel); err != noErr) return err;
    const Rect &old = channel->mBounds;
    if (!channel->mHasBounds || old.right - old.left != bounds->right - bounds->left ||
        old.bottom - old.top != bounds->bottom - bounds->top)
        channel->Unprepare();
    channel->mBounds = *bounds;
    channel->mHasBounds = true;
    return noErr;
}

ComponentResult SGSetChannelUsage(SGChannel c, long usage) {
    VideoChannel *channel = ChannelOf(c);
    if (channel == nullptr) return badSGChannel;
    if ((usage & ~long(seqGrabRecord)) != 0) return unimpErr;
    if (const OSErr err = CheckChangeable(*channel); err != noErr) return err;
    channel->mUsage = usage;
    return noErr;
}

ComponentResult SGSetFrameRate(SGChannel c, Fixed frameRate) {
    VideoChannel *channel = ChannelOf(c);
    if (channel == nullptr) return badSGChannel;
    if (frameRate < 0 || frameRate > kMaximumFrameRate) return paramErr;
    if (const OSErr err = CheckChangeable(*channel); err != noErr) return err;
    if (frameRate != channel->mFrameRate) channel->Unprepare();
    channel->mFrameRate = frameRate;
    return noErr;
}

ComponentResult SGGetFrameRate(SGChannel c, Fixed *frameRate) {
    VideoChannel *channel = ChannelOf(c);
    if (channel == nullptr) return badSGChannel;
    if (frameRate == nullptr) return paramErr;
    *frameRate = channel->mFrameRate;
    return noErr;
}

ComponentResult SGGetChannelSampleDescription(SGChannel c, Handle sampleDesc) {
    VideoChannel *channel = ChannelOf(c);
    if (channel == nullptr) return badSGChannel;
    if (sampleDesc == nullptr) return paramErr;
    if (!channel->mHasFormat) return seqGrabInfoNotAvailable;
    return ComponentResult(MakeCaptureImageDescription(channel->mFormat, reinterpret_cast<ImageDescriptionHandle>(sampleDesc)));
}

ComponentResult SGGetChannelDeviceList(SGChannel c, long selectionFlags, SGDeviceList *list) {
    if (list != nullptr) *list = nullptr;
    VideoChannel *channel = ChannelOf(c);
    if (channel == nullptr) return badSGChannel;
    if (list == nullptr) return paramErr;
    const std::vector<CaptureDeviceInfo> devices = ListCaptureDevices();
    const size_t count = std::min<size_t>(devices.size(), 0x7FFF);
    const Size listSize = Size(offsetof(SGDeviceListRecord, entry) + std::max<size_t>(count, 1) * sizeof(SGDeviceName));
    auto result = reinterpret_cast<SGDeviceList>(NewHandleClear(listSize));
    if (result == nullptr) return MemError();
    (**result).count = short(count);
    (**result).selectedIndex = -1;
    for (size_t i = 0; i < count; ++i) {
        const CaptureDeviceInfo &device = devices[i];
        SGDeviceName &entry = (**result).entry[i];
        ToPascal(device.name, entry.name, sizeof entry.name);
        const bool current = device.name == channel->mDeviceName;
        if (current) (**result).selectedIndex = short(i);
        if ((selectionFlags & sgDeviceListIncludeInputs) == 0) continue;
        const size_t inputs = std::min<size_t>(device.inputs.size(), 0x7FFF);
        const Size inputsSize =
            Size(offsetof(SGDeviceInputListRecord, entry) + std::max<size_t>(inputs, 1) * sizeof(SGDeviceInputName));
        auto inputList = reinterpret_cast<SGDeviceInputList>(NewHandleClear(inputsSize));
        if (inputList == nullptr) {
            const OSErr err = MemError();
            SGDisposeDeviceList(nullptr, result);
            return err;
        }
        (**inputList).count = short(inputs);
        (**inputList).selectedIndex = current && size_t(channel->mInput) < inputs ? channel->mInput : 0;
        for (size_t j = 0; j < inputs; ++j) ToPascal(device.inputs[j], (**inputList).entry[j].name, sizeof(Str63));
        (**result).entry[i].inputs = inputList;
    }
    *list = result;
    return noErr;
}

ComponentResult SGSetChannelDevice(SGChannel c, StringPtr name) {
    VideoChannel *channel = ChannelOf(c);
    if (channel == nullptr) return badSGChannel;
    if (name == nullptr) return paramErr;
    if (const OSErr err = CheckChangeable(*channel); err != noErr) return err;
    const std::vector<CaptureDeviceInfo> devices = ListCaptureDevices();
    const CaptureDeviceInfo *device = FindDevice(devices, FromPascal(name));
    if (device == nullptr) return noDeviceForChannel;
    if (device->name != channel->mDeviceName || channel->mInput != 0) channel->Unprepare();
    channel->mDeviceName = device->name;
    channel->mInput = 0;
    channel->mInputName = device->inputs.front();
    return noErr;
}

ComponentResult SGSetChannelDeviceInput(SGChannel c, short input) {
    VideoChannel *channel = ChannelOf(c);
    if (channel == nullptr) return badSGChannel;
    if (const OSErr err = CheckChangeable(*channel); err != noErr) return err;
    const std::vector<CaptureDeviceInfo> devices = ListCaptureDevices();
    const CaptureDeviceInfo *device = FindDevice(devices, channel->mDeviceName);
    if (device == nullptr) return noDeviceForChannel;
    if (input < 0 || size_t(input) >= device->inputs.size()) return paramErr;
    if (input != channel->mInput) channel->Unprepare();
    channel->mInput = input;
    channel->mInputName = device->inputs[size_t(input)];
    return noErr;
}

ComponentResult SGGetChannelDeviceAndInputNames(SGChannel c, Str255 outDeviceName, Str255 outInputName,
                                                short *outInputNumber) {
    VideoChannel *channel = ChannelOf(c);
    if (channel == nullptr) return badSGChannel;
    if (outDeviceName != nullptr) ToPascal(channel->mDeviceName, outDeviceName, sizeof(Str255));
    if (outInputName != nullptr) ToPascal(channel->mInputName, outInputName, sizeof(Str255));
    if (outInputNumber != nullptr) *outInputNumber = channel->mInput;
    return noErr;
}

ComponentResult SGSetChannelSettingsStateChanging(SGChannel c, UInt32 inFlags) {
    VideoChannel *channel = ChannelOf(c);
    if (channel == nullptr) return badSGChannel;
    if (inFlags == sgSetSettingsBegin) {
        ++channel->mSettingsChanges;
        return noErr;
    }
    if (inFlags == sgSetSettingsEnd && channel->mSettingsChanges > 0) {
        --channel->mSettingsChanges;
        return noErr;
    }
    return paramErr;
}

// --- The channel's video digitizer ---

namespace {

VideoDigitizerError GetControl(VideoDigitizerComponent ci, CaptureControl control, unsigned short *value) {
    VideoChannel *channel = ChannelOf(ci);
    if (channel == nullptr) return badSGChannel;
    if (value == nullptr) return paramErr;
    if (!channel->mSource) return noDeviceForChannel;
    double fraction = 0;
    if (!channel->mSource->GetControl(control, fraction)) return digiUnimpErr;
    *value = static_cast<unsigned short>(std::lround(std::clamp(fraction, 0.0, 1.0) * 65535.0));
    return noErr;
}

VideoDigitizerError SetControl(VideoDigitizerComponent ci, CaptureControl control, const unsigned short *value) {
    VideoChannel *channel = ChannelOf(ci);
    if (channel == nullptr) return badSGChannel;
    if (value == nullptr) return paramErr;
    if (!channel->mSource) return noDeviceForChannel;
    return channel->mSource->SetControl(control, *value / 65535.0) ? VideoDigitizerError(noErr)
                                                                   : VideoDigitizerError(digiUnimpErr);
}

}  // namespace

VideoDigitizerComponent SGGetVideoDigitizerComponent(SGChannel c) { return ChannelOf(c) != nullptr ? c : nullptr; }

VideoDigitizerError VDGetBrightness(VideoDigitizerComponent ci, unsigned short *v) {
    return GetControl(ci, CaptureControl::Brightness, v);
}
VideoDigitizerError VDSetBrightness(VideoDigitizerComponent ci, unsigned short *v) {
    return SetControl(ci, CaptureControl::Brightness, v);
}
VideoDigitizerError VDGetContrast(VideoDigitizerComponent ci, unsigned short *v) {
    return GetControl(ci, CaptureControl::Contrast, v);
}
VideoDigitizerError VDSetContrast(VideoDigitizerComponent ci, unsigned short *v) {
    return SetControl(ci, CaptureControl::Contrast, v);
}
VideoDigitizerError VDGetSaturation(VideoDigitizerComponent ci, unsigned short *v) {
    return GetControl(ci, CaptureControl::Saturation, v);
}
VideoDigitizerError VDSetSaturation(VideoDigitizerComponent ci, unsigned short *v) {
    return SetControl(ci, CaptureControl::Saturation, v);
}

namespace lumora::qt {

OSErr MakeCaptureImageDescription(const CaptureFormat &format, ImageDescriptionHandle desc) {
    if (desc == nullptr) return paramErr;
    SetHandleSize(reinterpret_cast<Handle>(desc), sizeof(ImageDescription));
    if (MemError() != noErr) return MemError();
    ImageDescription &d = **desc;
    std::memset(&d, 0, sizeof d);
    d.idSize = sizeof(ImageDescription);
    d.cType = format.type;
    d.version = 2;
    d.spatialQuality = format.type == kJPEGCodecType ? codecNormalQuality : codecLosslessQuality;
    d.width = SInt16(format.width);
    d.height = SInt16(format.height);
    d.hRes = d.vRes = Long2Fix(72);
    d.dataSize = SInt32(std::min<int64_t>(format.frameBytes, INT32_MAX));
    d.frameCount = 1;
    ToPascal(FormatName(format.type), d.name, sizeof d.name);
    d.depth = 24;
    d.clutID = -1;
    if (format.rowBytes > 0) {
        const SInt32 rowBytes = SInt32(format.rowBytes);
        const OSStatus err =
            ICMImageDescriptionSetProperty(desc, kQTPropertyClass_ImageDescription,
                                           kICMImageDescriptionPropertyID_RowBytes, sizeof rowBytes, &rowBytes);
        if (err != noErr) return OSErr(err);
    }
    if (format.type == k2vuyPixelFormat || format.type == kYUVSPixelFormat) {
        const bool bt601 = format.matrix == kQTMatrix_ITU_R_601_4;
        const NCLCColorInfoImageDescriptionExtension colour{
            kVideoColorInfoImageDescriptionExtensionType, bt601 ? kQTPrimaries_SMPTE_C : kQTPrimaries_ITU_R709_2,
            kQTTransferFunction_ITU_R709_2, bt601 ? kQTMatrix_ITU_R_601_4 : kQTMatrix_ITU_R_709_2};
        const OSStatus err =
            ICMImageDescriptionSetProperty(desc, kQTPropertyClass_ImageDescription,
                                           kICMImageDescriptionPropertyID_NCLCColorInfo, sizeof colour, &colour);
        if (err != noErr) return OSErr(err);
    }
    return noErr;
}


}  // namespace lumora::qt

