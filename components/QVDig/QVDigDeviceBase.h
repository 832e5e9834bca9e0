// The base digitizer: QuickTime's standard video-digitizer operations, once, for a device
// that delivers uncompressed frames of one size and pixel format. The device behind it only
// connects, disconnects, names itself and hands out frames (the Device... hooks, supplied by
// T_VideoDigitizer). Results are QuickTime codes: 0, -50 (a null output), -2201 digiUnimpErr,
// -2202 qtParamErr, -2209 badCallOrderErr, -8961 noCodecErr.
#pragma once

#include <QuickTime/VideoDigitizer.h>

class QVDigDeviceBase;

// The instance storage the Component Manager keeps: the first data member of a digitizer.
struct QVDigStorage {
    ComponentInstance self = nullptr;
    QVDigDeviceBase *object = nullptr;
};

// Root of the digitizer objects.
class QVDigBaseClass {
public:
    virtual ~QVDigBaseClass() = default;
    // Makes the digitizer of this component for an open (see QVDigComponent.h); its storage,
    // or null when the gate refuses the host, another open is under way or creation failed.
    static QVDigStorage *ClassFactory(ComponentInstance self);
};

class QVDigDeviceBase : public QVDigBaseClass {
public:
    static constexpr TimeScale kPreferredVideoTimeScale = 2997;
    static constexpr Fixed kPreferredVideoFrameRate = 0x001E0000;
    static constexpr long kVersion = 0x20001;

    QVDigDeviceBase();
    ~QVDigDeviceBase() override;
    QVDigDeviceBase(const QVDigDeviceBase &) = delete;
    QVDigDeviceBase &operator=(const QVDigDeviceBase &) = delete;

    QVDigStorage *Storage() { return &mStorage; }

    virtual ComponentResult OpenInitialize();
    virtual ComponentResult Close(ComponentInstance self);
    virtual ComponentResult Version();

    virtual ComponentResult GetMaxSrcRect(short input, Rect *rect);
    virtual ComponentResult GetActiveSrcRect(short input, Rect *rect);
    virtual ComponentResult SetDigitizerRect(Rect *rect);
    virtual ComponentResult GetDigitizerRect(Rect *rect);
    virtual ComponentResult GetVBlankRect(short input, Rect *rect);
    virtual ComponentResult SetBrightness(unsigned short *value);
    virtual ComponentResult GetBrightness(unsigned short *value);
    virtual ComponentResult SetContrast(unsigned short *value);
    virtual ComponentResult GetContrast(unsigned short *value);
    virtual ComponentResult SetHue(unsigned short *value);
    virtual ComponentResult GetHue(unsigned short *value);
    virtual ComponentResult SetSaturation(unsigned short *value);
    virtual ComponentResult GetSaturation(unsigned short *value);
    virtual ComponentResult SetSharpness(unsigned short *value);
    virtual ComponentResult GetSharpness(unsigned short *value);
    virtual ComponentResult SetBlackLevelValue(unsigned short *value);
    virtual ComponentResult GetBlackLevelValue(unsigned short *value);
    virtual ComponentResult SetWhiteLevelValue(unsigned short *value);
    virtual ComponentResult GetWhiteLevelValue(unsigned short *value);
    virtual ComponentResult GetVideoDefaults(unsigned short *blackLevel, unsigned short *whiteLevel,
                                             unsigned short *brightness, unsigned short *hue,
                                             unsigned short *saturation, unsigned short *contrast,
                                             unsigned short *sharpness);
    virtual ComponentResult GetDigitizerInfo(DigitizerInfo *info);
    virtual ComponentResult GetCurrentFlags(long *inputCurrentFlag, long *outputCurrentFlag);
    virtual ComponentResult GetNumberOfInputs(short *inputs);
    virtual ComponentResult GetInputFormat(short input, short *format);
    virtual ComponentResult SetInput(short input);
    virtual ComponentResult GetInput(short *input);
    virtual ComponentResult SetInputStandard(short inputStandard);
    virtual ComponentResult GetInputName(long videoInput, StringPtr name);
    virtual ComponentResult GetDeviceNameAndFlags(StringPtr name, UInt32 *flags);
    virtual ComponentResult GetUniqueIDs(UInt64 *deviceID, UInt64 *inputID);
    virtual ComponentResult SelectUniqueIDs(const UInt64 *deviceID, const UInt64 *inputID);
    virtual ComponentResult SetCompression(OSType compressType, short depth, Rect *bounds, CodecQ spatialQuality,
                                           CodecQ temporalQuality, long keyFrameRate);
    virtual ComponentResult CompressOneFrameAsync();
    virtual ComponentResult CompressDone(UInt8 *queuedFrameCount, Ptr *theData, long *dataSize, UInt8 *similarity,
                                         TimeRecord *t);
    virtual ComponentResult ReleaseCompressBuffer(Ptr bufferAddr);
    virtual ComponentResult GetImageDescription(ImageDescriptionHandle desc);
    virtual ComponentResult ResetCompressSequence();
    virtual ComponentResult SetCompressionOnOff(Boolean state);
    virtual ComponentResult GetCompressionTypes(VDCompressionListHandle h);
    virtual ComponentResult SetTimeBase(TimeBase t);
    virtual ComponentResult SetFrameRate(Fixed framesPerSecond);
    virtual ComponentResult GetDataRate(long *milliSecPerFrame, Fixed *framesPerSecond, long *bytesPerSecond);
    virtual ComponentResult SetDataRate(long bytesPerSecond);
    virtual ComponentResult GetCompressionTime(OSType compressionType, short depth, Rect *srcRect,
                                               CodecQ *spatialQuality, CodecQ *temporalQuality,
                                               unsigned long *compressTime);
    virtual ComponentResult SetPLLFilterType(short pllType);
    virtual ComponentResult GetPLLFilterType(short *pllType);
    virtual ComponentResult GetPreferredTimeScale(TimeScale *preferred);
    virtual ComponentResult GetTimeCode(TimeRecord *atTime, void *timeCodeFormat, void *timeCodeTime);
    virtual ComponentResult GetPreferredImageDimensions(long *width, long *height);
    virtual ComponentResult CaptureStateChanging(UInt32 inStateFlags);

    // Device hooks.
    virtual bool DeviceConnect() = 0;
    virtual void DeviceDisconnect() = 0;
    virtual ComponentResult DeviceCreateImageDescription() = 0;
    virtual void DeviceGetMaxSrcRect(Rect &rect) = 0;
    virtual ComponentResult DeviceGetFrame(UInt8 *queuedFrameCount, Ptr *data, long *size) = 0;
    virtual ComponentResult DeviceGetName(StringPtr name, long input) = 0;
    virtual ComponentResult DeviceReleaseFrameBuffer(Ptr data) = 0;
    virtual ComponentResult DeviceSetCompressionOnOff(Boolean on) = 0;

    // A new 86-byte description (with the extensions when asked) into mImageDescription.
    ComponentResult CreateImageDescription(short width, short height, OSType pixelFormat, bool withExtensions);
    // The time code of a frame count under a definition (drop-frame counting when its flag is
    // set); hours from 1 (the first frame is 01:00:00:00).
    static TimeCodeRecord TimeCodeFromFrameCount(long frameCount, const TimeCodeDef &definition);

    Fixed FrameRate() const { return mFrameRate; }
    TimeValue FrameDuration() const { return mFrameDuration; }
    Boolean CompressionOn() const { return mCompressionOn; }
    ImageDescriptionHandle ImageDescription() const { return mImageDescription; }

protected:
    QVDigStorage mStorage;  // first data member: the instance storage
    Rect mMaxSrcRect{};
    Rect mDigitizerRect{};
    struct {
        OSType codecType = 0;
        short depth = 0;
        Rect bounds{};
        CodecQ spatialQuality = 0;
        CodecQ temporalQuality = 0;
        long keyFrameRate = 0;
    } mCompression;
    ImageDescriptionHandle mImageDescription = nullptr;
    Boolean mCompressionOn = false;
    TimeBase mTimeBase = nullptr;
    Fixed mFrameRate = 0;
    TimeValue mFrameDuration = 0;
    TimeRecord mFrameClock{};
    TimeValue mFrameDue = 0;
    Boolean mStarted = false;
    TimeRecord mTimeCodeClock{};
    TimeCodeDef mTimeCodeDef{};
    TimeCodeRecord mTimeCode{};
    long mInputCurrentFlags = 0;
    long mOutputCurrentFlags = 0;
    UInt32 mCaptureStateFlags = 0;
    unsigned short mBlackLevel = 0, mWhiteLevel = 0, mBrightness = 0, mHue = 0, mSaturation = 0, mContrast = 0,
                   mSharpness = 0;
    OSType mCodecType = 0;
};
