#include <QVDig/QVDigDeviceBase.h>

#include <CoreX/CoreMachDebugLog.h>
#include <QuickTime/FixMath.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr OSType k2vuy = MakeFourCharCode("2vuy");
constexpr OSType kRaw = MakeFourCharCode("raw ");

bool EmptyRect(const Rect &r) { return r.top == r.bottom && r.left == r.right; }

// A 16.16 quotient of two 16.16 numbers, saturated; 0x7FFFFFFF for a zero divisor.
Fixed FixDivSaturated(Fixed a, Fixed b) {
    if (b == 0) return a < 0 ? Fixed(0x80000001) : Fixed(0x7FFFFFFF);
    const int64_t q = (int64_t(a) << 16) / b;
    return Fixed(std::clamp<int64_t>(q, INT32_MIN + 1, INT32_MAX));
}

long FixRoundLong(Fixed x) { return long((int64_t(x) + 0x8000) >> 16); }

// A time value of the record converted to the scale.
SInt64 Rescale(const TimeRecord &record, TimeScale scale) {
    if (record.scale == scale || record.scale <= 0) return record.value;
    return record.value * scale / record.scale;
}

}  // namespace

QVDigDeviceBase::QVDigDeviceBase() { mStorage.object = this; }

QVDigDeviceBase::~QVDigDeviceBase() {
    if (mImageDescription != nullptr) DisposeHandle(reinterpret_cast<Handle>(mImageDescription));
    mImageDescription = nullptr;
}

ComponentResult QVDigDeviceBase::OpenInitialize() {
    if (!DeviceConnect()) return qtParamErr;
    ComponentResult result = DeviceCreateImageDescription();
    if (VERIFY_OSERR(result) != noErr) return result;
    result = GetMaxSrcRect(0, &mMaxSrcRect);
    if (VERIFY_OSERR(result) != noErr) return result;
    mDigitizerRect = mMaxSrcRect;
    result = GetVideoDefaults(&mBlackLevel, &mWhiteLevel, &mBrightness, &mHue, &mSaturation, &mContrast, &mSharpness);
    VERIFY_OSERR(result);
    return result;
}

ComponentResult QVDigDeviceBase::Close(ComponentInstance self) {
    (void)self;
    DeviceDisconnect();
    if (mImageDescription != nullptr) DisposeHandle(reinterpret_cast<Handle>(mImageDescription));
    mImageDescription = nullptr;
    return noErr;
}

ComponentResult QVDigDeviceBase::Version() { return kVersion; }

ComponentResult QVDigDeviceBase::GetMaxSrcRect(short input, Rect *rect) {
    if (input != 0) return qtParamErr;
    if (rect == nullptr) return paramErr;
    DeviceGetMaxSrcRect(mMaxSrcRect);
    *rect = mMaxSrcRect;
    return noErr;
}

ComponentResult QVDigDeviceBase::GetActiveSrcRect(short input, Rect *rect) {
    if (input != 0) return qtParamErr;
    if (rect == nullptr) return paramErr;
    if (EmptyRect(mMaxSrcRect)) return badCallOrderErr;
    *rect = mMaxSrcRect;
    return noErr;
}

ComponentResult QVDigDeviceBase::SetDigitizerRect(Rect *rect) {
    if (rect == nullptr || EmptyRect(*rect)) return qtParamErr;
    const Rect &m = mMaxSrcRect;
    const Rect section{std::max(rect->top, m.top), std::max(rect->left, m.left), std::min(rect->bottom, m.bottom),
                       std::min(rect->right, m.right)};
    if (section.top != rect->top || section.left != rect->left || section.bottom != rect->bottom ||
        section.right != rect->right || rect->top >= rect->bottom || rect->left >= rect->right)
        return qtParamErr;
    mDigitizerRect = *rect;
    return noErr;
}

ComponentResult QVDigDeviceBase::GetDigitizerRect(Rect *rect) {
    if (rect == nullptr) return qtParamErr;
    *rect = mDigitizerRect;
    return noErr;
}

ComponentResult QVDigDeviceBase::GetVBlankRect(short input, Rect *rect) {
    (void)input;
    if (rect == nullptr) return paramErr;
    *rect = Rect{0, 0, 0, 0};
    return noErr;
}

#define QVDIG_CONTROL(Name, member)                                                    \
    ComponentResult QVDigDeviceBase::Set##Name(unsigned short *value) {                 \
        if (value == nullptr) return paramErr;                                          \
        member = *value;                                                                \
        return noErr;                                                                   \
    }                                                                                   \
    ComponentResult QVDigDeviceBase::Get##Name(unsigned short *value) {                 \
        if (value == nullptr) return paramErr;                                          \
        *value = member;                                                                \
        return noErr;                                                                   \
    }
QVDIG_CONTROL(Brightness, mBrightness)
QVDIG_CONTROL(Contrast, mContrast)
QVDIG_CONTROL(Hue, mHue)
QVDIG_CONTROL(Saturation, mSaturation)
QVDIG_CONTROL(Sharpness, mSharpness)
QVDIG_CONTROL(BlackLevelValue, mBlackLevel)
QVDIG_CONTROL(WhiteLevelValue, mWhiteLevel)
#undef QVDIG_CONTROL

ComponentResult QVDigDeviceBase::GetVideoDefaults(unsigned short *blackLevel, unsigned short *whiteLevel,
                                                  unsigned short *brightness, unsigned short *hue,
                                                  unsigned short *saturation, unsigned short *contrast,
                                                  unsigned short *sharpness) {
    if (blackLevel == nullptr || whiteLevel == nullptr || brightness == nullptr || hue == nullptr ||
        saturation == nullptr || contrast == nullptr || sharpness == nullptr)
        return paramErr;
    *blackLevel = 0;
    *whiteLevel = 0xE665;
    *brightness = 0x7FFF;
    *hue = 0x7AE0;
    *saturation = 0x8A3C;
    *contrast = 0xE146;
    *sharpness = 0xFAE0;
    return noErr;
}

ComponentResult QVDigDeviceBase::GetDigitizerInfo(DigitizerInfo *info) {
    if (info == nullptr) return paramErr;
    *info = DigitizerInfo{};
    info->vdigType = 0;
    info->inputCapabilityFlags = info->inputCurrentFlags = long(0x80001401u);
    info->outputCapabilityFlags = info->outputCurrentFlags = long(0x98000038u);
    info->maxDestHeight = mMaxSrcRect.bottom;
    info->maxDestWidth = mMaxSrcRect.right;
    mInputCurrentFlags = info->inputCurrentFlags;
    mOutputCurrentFlags = info->outputCurrentFlags;
    return noErr;
}

ComponentResult QVDigDeviceBase::GetCurrentFlags(long *inputCurrentFlag, long *outputCurrentFlag) {
    if (inputCurrentFlag == nullptr || outputCurrentFlag == nullptr) return paramErr;
    *inputCurrentFlag = mInputCurrentFlags;
    *outputCurrentFlag = mOutputCurrentFlags;
    return noErr;
}

ComponentResult QVDigDeviceBase::GetNumberOfInputs(short *inputs) {
    if (inputs == nullptr) return paramErr;
    *inputs = 0;
    return noErr;
}

ComponentResult QVDigDeviceBase::GetInputFormat(short input, short *format) {
    if (input != 0) return qtParamErr;
    if (format == nullptr) return paramErr;
    *format = (mImageDescription != nullptr && (*mImageDescription)->cType == kRaw) ? rgbComponentIn : yuvComponentIn;
    return noErr;
}

ComponentResult QVDigDeviceBase::SetInput(short input) { return input == 0 ? ComponentResult(noErr) : ComponentResult(qtParamErr); }

ComponentResult QVDigDeviceBase::GetInput(short *input) {
    if (input == nullptr) return paramErr;
    *input = 0;
    return noErr;
}

ComponentResult QVDigDeviceBase::SetInputStandard(short inputStandard) {
    return (inputStandard == ntscIn || inputStandard == ntscReallyIn) ? ComponentResult(noErr) : ComponentResult(qtParamErr);
}

ComponentResult QVDigDeviceBase::GetInputName(long videoInput, StringPtr name) {
    if (name == nullptr) return paramErr;
    return DeviceGetName(name, videoInput);
}

ComponentResult QVDigDeviceBase::GetDeviceNameAndFlags(StringPtr name, UInt32 *flags) {
    if (name == nullptr || flags == nullptr) return paramErr;
    const OSErr err = GetComponentIndString(reinterpret_cast<Component>(mStorage.self), name, 200, 1);
    if (VERIFY_OSERR(err) != noErr) return err;
    *flags = vdDeviceFlagShowInputsAsDevices;
    return noErr;
}

ComponentResult QVDigDeviceBase::GetUniqueIDs(UInt64 *, UInt64 *) { return digiUnimpErr; }
ComponentResult QVDigDeviceBase::SelectUniqueIDs(const UInt64 *, const UInt64 *) { return digiUnimpErr; }
ComponentResult QVDigDeviceBase::SetDataRate(long) { return digiUnimpErr; }
ComponentResult QVDigDeviceBase::SetPLLFilterType(short) { return digiUnimpErr; }
ComponentResult QVDigDeviceBase::GetPreferredImageDimensions(long *, long *) { return digiUnimpErr; }

ComponentResult QVDigDeviceBase::SetCompression(OSType compressType, short depth, Rect *bounds, CodecQ spatialQuality,
                                                CodecQ temporalQuality, long keyFrameRate) {
    if (!mCompressionOn) return badCallOrderErr;
    if (compressType != 0 && compressType != mCodecType) return noCodecErr;
    if (compressType == 0) {
        compressType = mCodecType;
        spatialQuality = codecLosslessQuality;
        temporalQuality = 0;
        keyFrameRate = 0;
    }
    if (depth == 0) depth = 24;
    mCompression.codecType = compressType;
    mCompression.depth = depth;
    mCompression.bounds = bounds != nullptr ? *bounds : mDigitizerRect;
    mCompression.spatialQuality = spatialQuality;
    mCompression.temporalQuality = temporalQuality;
    mCompression.keyFrameRate = keyFrameRate;
    if (mImageDescription != nullptr) {
        (*mImageDescription)->width = short(mDigitizerRect.right - mDigitizerRect.left);
        (*mImageDescription)->height = short(mDigitizerRect.bottom - mDigitizerRect.top);
    }
    return noErr;
}

ComponentResult QVDigDeviceBase::CompressOneFrameAsync() { return mCompressionOn ? ComponentResult(noErr) : ComponentResult(badCallOrderErr); }

TimeCodeRecord QVDigDeviceBase::TimeCodeFromFrameCount(long n, const TimeCodeDef &definition) {
    TimeCodeRecord record{};
    const long fps = definition.numFrames;
    if (fps <= 0 || n < 0) return record;
    if ((definition.flags & tcDropFrame) != 0 && fps * 600 - 18 > 0 && fps * 60 - 2 > 0) {
        const long perTen = fps * 600 - 18;
        const long r = n % perTen;
        n += 18 * (n / perTen) + (r < fps * 60 ? 0 : 2 * ((r - fps * 60) / (fps * 60 - 2)) + 2);
    }
    const long s = n / fps;
    long hours = s / 3600;
    if ((definition.flags & tc24HourMax) != 0) hours %= 24;
    record.t.frames = UInt8(n % fps);
    record.t.seconds = UInt8(s % 60);
    record.t.minutes = UInt8((s / 60) % 60);
    record.t.hours = UInt8(hours + 1);
    return record;
}

ComponentResult QVDigDeviceBase::CompressDone(UInt8 *queuedFrameCount, Ptr *theData, long *dataSize,
                                              UInt8 *similarity, TimeRecord *t) {
    if (queuedFrameCount == nullptr || theData == nullptr || dataSize == nullptr) return paramErr;
    *queuedFrameCount = 0;
    *theData = nullptr;
    *dataSize = 0;
    if (similarity != nullptr) *similarity = 0;
    if (t != nullptr) *t = TimeRecord{};
    if (!mCompressionOn) return badCallOrderErr;

    if ((mCaptureStateFlags & vdFlagCaptureIsForPreview) != 0) {
        const ComponentResult result = DeviceGetFrame(queuedFrameCount, theData, dataSize);
        if (VERIFY_OSERR(result) != noErr) return result;
        if (t != nullptr) GetTimeBaseTime(mTimeBase, kPreferredVideoTimeScale, t);
        return noErr;
    }
    if (mFrameDuration == 0 || mTimeBase == nullptr || GetTimeBaseRate(mTimeBase) == 0) return noErr;
    TimeRecord now{};
    GetTimeBaseTime(mTimeBase, kPreferredVideoTimeScale, &now);
    if (mStarted && now.value < mFrameDue) return noErr;

    const ComponentResult result = DeviceGetFrame(queuedFrameCount, theData, dataSize);
    if (VERIFY_OSERR(result) != noErr) return result;
    if (*queuedFrameCount == 0) return noErr;

    if (!mStarted) {
        mFrameClock = now;
        mFrameDue = TimeValue(now.value);
        mStarted = true;
        mTimeCodeClock = mFrameClock;
        mTimeCodeClock.value = 0;
        mTimeCodeDef.flags = tc24HourMax | (FixedToInt(mFrameRate) == 29 ? UInt32(tcDropFrame) : 0u);
        mTimeCodeDef.fTimeScale = mTimeCodeClock.scale;
        mTimeCodeDef.frameDuration = mFrameDuration;
        mTimeCodeDef.numFrames = UInt8((kPreferredVideoTimeScale + 50) / mFrameDuration);
    } else {
        mFrameClock.value += mFrameDuration;
        mTimeCodeClock.value += mFrameDuration;
    }
    const long frameCount = mTimeCodeDef.frameDuration > 0
                                ? long(Rescale(mTimeCodeClock, mTimeCodeDef.fTimeScale) / mTimeCodeDef.frameDuration)
                                : 0;
    mTimeCode = TimeCodeFromFrameCount(frameCount, mTimeCodeDef);
    mFrameDue += mFrameDuration;
    if (t != nullptr) *t = mFrameClock;
    return noErr;
}

ComponentResult QVDigDeviceBase::ReleaseCompressBuffer(Ptr bufferAddr) {
    if (!mCompressionOn) return badCallOrderErr;
    return DeviceReleaseFrameBuffer(bufferAddr);
}

ComponentResult QVDigDeviceBase::GetImageDescription(ImageDescriptionHandle desc) {
    if (mImageDescription == nullptr) return badCallOrderErr;
    if (desc == nullptr) return paramErr;
    const Size size = GetHandleSize(reinterpret_cast<Handle>(mImageDescription));
    SetHandleSize(reinterpret_cast<Handle>(desc), size);
    const OSErr err = MemError();
    if (VERIFY_OSERR(err) != noErr) return err;
    std::memcpy(*desc, *mImageDescription, size_t(size));
    return noErr;
}

ComponentResult QVDigDeviceBase::ResetCompressSequence() { return noErr; }

ComponentResult QVDigDeviceBase::SetCompressionOnOff(Boolean state) {
    state = state != 0;
    if (state == mCompressionOn) return noErr;
    mCompressionOn = state;
    return DeviceSetCompressionOnOff(state);
}

ComponentResult QVDigDeviceBase::GetCompressionTypes(VDCompressionListHandle h) {
    if (h == nullptr) return paramErr;
    if (mImageDescription == nullptr) return badCallOrderErr;
    const Handle handle = reinterpret_cast<Handle>(h);
    const SInt8 state = HGetState(handle);
    HUnlock(handle);
    SetHandleSize(handle, sizeof(VDCompressionList));
    const OSErr err = MemError();
    HSetState(handle, state);
    if (err != noErr) return err;
    HLock(handle);
    VDCompressionList &entry = **h;
    std::memset(&entry, 0, sizeof entry);
    const OSType type = (*mImageDescription)->cType;
    ComponentDescription looking{kImageCompressorComponentType, type,
                                 type == k2vuy ? MakeFourCharCode("KeyG") : MakeFourCharCode("appl"), 0, 0};
    entry.codec = FindNextComponent(nullptr, &looking);
    entry.cType = type;
    auto setName = [](Str63 target, const unsigned char *pascal, const char *text) {
        if (text != nullptr) {
            const size_t length = std::min<size_t>(std::strlen(text), 63);
            target[0] = UInt8(length);
            std::memcpy(target + 1, text, length);
        } else {
            const size_t length = std::min<size_t>(pascal[0], 63);
            target[0] = UInt8(length);
            std::memcpy(target + 1, pascal + 1, length);
        }
    };
    const char *found = nullptr;
    if (type == kRaw) {
        entry.formatFlags = 32;
        entry.compressFlags = 32;
        if (entry.codec != nullptr) found = "Uncompressed 8-bit ARGB";
    } else if (type == k2vuy) {
        entry.formatFlags = 64;
        entry.compressFlags = 32;
        if (entry.codec != nullptr) found = "Uncompressed 8-bit 4:2:2";
    }
    setName(entry.typeName, (*mImageDescription)->name, found);
    setName(entry.name, (*mImageDescription)->name, found);
    HSetState(handle, state);
    return noErr;
}

ComponentResult QVDigDeviceBase::SetTimeBase(TimeBase t) {
    if (t == nullptr) return qtParamErr;
    mTimeBase = t;
    return noErr;
}

ComponentResult QVDigDeviceBase::SetFrameRate(Fixed framesPerSecond) {
    if (framesPerSecond < -fixed1) return qtParamErr;
    if (framesPerSecond == -fixed1 || framesPerSecond == 0) framesPerSecond = kPreferredVideoFrameRate;
    mFrameRate = framesPerSecond;
    mFrameDue = 0;
    mFrameDuration = TimeValue(FixRoundLong(FixDivSaturated(Long2Fix(kPreferredVideoTimeScale), framesPerSecond)));
    return noErr;
}

ComponentResult QVDigDeviceBase::GetDataRate(long *milliSecPerFrame, Fixed *framesPerSecond, long *bytesPerSecond) {
    if (milliSecPerFrame == nullptr || framesPerSecond == nullptr || bytesPerSecond == nullptr) return paramErr;
    const Fixed rate = mFrameRate != 0 ? mFrameRate : kPreferredVideoFrameRate;
    *milliSecPerFrame = 0;
    *framesPerSecond = rate;
    long frameBytes = 0;
    if (mImageDescription != nullptr)
        frameBytes = long((*mImageDescription)->width) * (*mImageDescription)->height *
                     ((*mImageDescription)->cType == k2vuy ? 2 : 4);
    *bytesPerSecond = frameBytes * FixRoundLong(rate);
    return noErr;
}

ComponentResult QVDigDeviceBase::GetCompressionTime(OSType compressionType, short depth, Rect *srcRect,
                                                    CodecQ *spatialQuality, CodecQ *temporalQuality,
                                                    unsigned long *compressTime) {
    (void)depth, (void)srcRect;
    if (compressionType != mCodecType) return noCodecErr;
    if (spatialQuality != nullptr) *spatialQuality = codecLosslessQuality;
    if (temporalQuality != nullptr) *temporalQuality = 0;
    if (compressTime != nullptr) *compressTime = 0;
    return noErr;
}

ComponentResult QVDigDeviceBase::GetPLLFilterType(short *pllType) {
    if (pllType == nullptr) return paramErr;
    *pllType = 0;
    return noErr;
}

ComponentResult QVDigDeviceBase::GetPreferredTimeScale(TimeScale *preferred) {
    if (preferred == nullptr) return paramErr;
    *preferred = kPreferredVideoTimeScale;
    return noErr;
}

ComponentResult QVDigDeviceBase::GetTimeCode(TimeRecord *atTime, void *timeCodeFormat, void *timeCodeTime) {
    if (!mCompressionOn) return badCallOrderErr;
    if (atTime == nullptr || timeCodeFormat == nullptr || timeCodeTime == nullptr) return paramErr;
    *atTime = mTimeCodeClock;
    std::memcpy(timeCodeFormat, &mTimeCodeDef, sizeof mTimeCodeDef);
    std::memcpy(timeCodeTime, &mTimeCode, sizeof mTimeCode);
    return noErr;
}

ComponentResult QVDigDeviceBase::CaptureStateChanging(UInt32 inStateFlags) {
    mCaptureStateFlags = inStateFlags;
    if ((inStateFlags & vdFlagCaptureStarting) != 0) mStarted = false;
    return noErr;
}

ComponentResult QVDigDeviceBase::CreateImageDescription(short width, short height, OSType pixelFormat,
                                                        bool withExtensions) {
    Handle handle = NewHandleClear(sizeof(::ImageDescription));
    OSErr err = MemError();
    if (!VERIFY_TEXT(handle != nullptr && err == noErr, "NewHandleClear(sizeof(ImageDescription))"))
        return err != noErr ? ComponentResult(err) : ComponentResult(memFullErr);
    auto desc = reinterpret_cast<ImageDescriptionHandle>(handle);
    ::ImageDescription &d = **desc;
    d.idSize = sizeof(::ImageDescription);
    d.cType = pixelFormat;
    d.version = 2;
    d.revisionLevel = 0;
    d.vendor = SInt32(MakeFourCharCode("appl"));
    d.temporalQuality = 0;
    d.spatialQuality = codecLosslessQuality;
    d.width = width;
    d.height = height;
    d.hRes = d.vRes = Long2Fix(72);
    d.dataSize = SInt32(long(width) * height * (pixelFormat == k2vuy ? 2 : 4));
    d.frameCount = 1;
    Str255 name{};
    if (GetComponentIndString(reinterpret_cast<Component>(mStorage.self), name, 200, 2) == noErr) {
        const size_t length = std::min<size_t>(name[0], 31);
        d.name[0] = UInt8(length);
        std::memcpy(d.name + 1, name + 1, length);
    }
    d.depth = pixelFormat == k2vuy ? 24 : 32;
    d.clutID = -1;
    if (withExtensions) {
        const FieldInfoImageDescriptionExtension2 field{1, 0};
        const CleanApertureImageDescriptionExtension aperture{UInt32(width), 1, UInt32(height), 1, 0, 1, 0, 1};
        const NCLCColorInfoImageDescriptionExtension nclc{kVideoColorInfoImageDescriptionExtensionType, 6, 1, 6};
        OSStatus status = ICMImageDescriptionSetProperty(desc, kQTPropertyClass_ImageDescription,
                                                         kICMImageDescriptionPropertyID_FieldInfo, sizeof field, &field);
        if (VERIFY_OSERR(status) == noErr)
            status = ICMImageDescriptionSetProperty(desc, kQTPropertyClass_ImageDescription,
                                                    kICMImageDescriptionPropertyID_CleanAperture, sizeof aperture,
                                                    &aperture);
        if (VERIFY_OSERR(status) == noErr)
            status = ICMImageDescriptionSetProperty(desc, kQTPropertyClass_ImageDescription,
                                                    kICMImageDescriptionPropertyID_NCLCColorInfo, sizeof nclc, &nclc);
        if (VERIFY_OSERR(status) != noErr) {
            DisposeHandle(handle);
            return ComponentResult(status);
        }
    }
    if (mImageDescription != nullptr) DisposeHandle(reinterpret_cast<Handle>(mImageDescription));
    mImageDescription = desc;
    return noErr;
}
