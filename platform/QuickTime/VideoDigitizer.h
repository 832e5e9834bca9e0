// Video digitizers as registered components ('vdig', RegisterComponentFileRef): their
// selectors, records and the calls a host makes on an open instance. Each call builds the
// component's parameter block (Components.h) and passes it with CallComponent; its result is
// the component's, or badComponentInstance for an instance that is not a registered component.
#pragma once

#include <QuickTime/Components.h>
#include <QuickTime/ImageCompression.h>
#include <QuickTime/Movies.h>
#include <QuickTime/QuickDraw.h>
#include <QuickTime/SequenceGrabber.h>
#include <QuickTime/TimeBases.h>

extern "C" {

enum : OSType {
    videoDigitizerComponentType = MakeFourCharCode("vdig"),
    kImageCompressorComponentType = MakeFourCharCode("imco"),
};

enum : OSErr {
    qtParamErr = -2202,
    badCallOrderErr = -2209,
};

// Input formats.
enum : short {
    compositeIn = 0,
    sVideoIn = 1,
    rgbComponentIn = 2,
    rgbComponentSyncIn = 3,
    yuvComponentIn = 4,
};

// Input standards.
enum : short {
    ntscIn = 0,
    currentIn = 0,
    palIn = 1,
    secamIn = 2,
    ntscReallyIn = 3,
};

// Capture-state flags (VDCaptureStateChanging).
enum : UInt32 {
    vdFlagCaptureStarting = 1 << 0,
    vdFlagCaptureStopping = 1 << 1,
    vdFlagCaptureIsForPreview = 1 << 2,
};

enum : long {
    vdDeviceFlagShowInputsAsDevices = 1 << 0,
};

// Selectors.
enum : SInt16 {
    kVDGetMaxSrcRectSelect = 0x0001,
    kVDGetActiveSrcRectSelect = 0x0002,
    kVDSetDigitizerRectSelect = 0x0003,
    kVDGetDigitizerRectSelect = 0x0004,
    kVDGetVBlankRectSelect = 0x0005,
    kVDSetBrightnessSelect = 0x000C,
    kVDGetBrightnessSelect = 0x000D,
    kVDSetContrastSelect = 0x000E,
    kVDSetHueSelect = 0x000F,
    kVDSetSharpnessSelect = 0x0010,
    kVDSetSaturationSelect = 0x0011,
    kVDGetContrastSelect = 0x0012,
    kVDGetHueSelect = 0x0013,
    kVDGetSharpnessSelect = 0x0014,
    kVDGetSaturationSelect = 0x0015,
    kVDGrabOneFrameSelect = 0x0016,
    kVDGetDigitizerInfoSelect = 0x0019,
    kVDGetCurrentFlagsSelect = 0x001A,
    kVDSetPLLFilterTypeSelect = 0x0029,
    kVDGetPLLFilterTypeSelect = 0x002A,
    kVDSetBlackLevelValueSelect = 0x0037,
    kVDGetBlackLevelValueSelect = 0x0038,
    kVDSetWhiteLevelValueSelect = 0x0039,
    kVDGetWhiteLevelValueSelect = 0x003A,
    kVDGetVideoDefaultsSelect = 0x003B,
    kVDGetNumberOfInputsSelect = 0x003C,
    kVDGetInputFormatSelect = 0x003D,
    kVDSetInputSelect = 0x003E,
    kVDGetInputSelect = 0x003F,
    kVDSetInputStandardSelect = 0x0040,
    kVDSetCompressionSelect = 0x0044,
    kVDCompressOneFrameAsyncSelect = 0x0045,
    kVDCompressDoneSelect = 0x0046,
    kVDReleaseCompressBufferSelect = 0x0047,
    kVDGetImageDescriptionSelect = 0x0048,
    kVDResetCompressSequenceSelect = 0x0049,
    kVDSetCompressionOnOffSelect = 0x004A,
    kVDGetCompressionTypesSelect = 0x004B,
    kVDSetTimeBaseSelect = 0x004C,
    kVDSetFrameRateSelect = 0x004D,
    kVDGetDataRateSelect = 0x004E,
    kVDGetPreferredTimeScaleSelect = 0x0051,
    kVDSetDataRateSelect = 0x0054,
    kVDGetTimeCodeSelect = 0x0055,
    kVDGetCompressionTimeSelect = 0x0058,
    kVDGetPreferredImageDimensionsSelect = 0x005B,
    kVDGetInputNameSelect = 0x005C,
    kVDGetDeviceNameAndFlagsSelect = 0x005E,
    kVDCaptureStateChangingSelect = 0x005F,
    kVDGetUniqueIDsSelect = 0x0060,
    kVDSelectUniqueIDsSelect = 0x0061,
};

struct DigitizerInfo {
    short vdigType;
    long inputCapabilityFlags;
    long outputCapabilityFlags;
    long inputCurrentFlags;
    long outputCurrentFlags;
    short slot;
    GDHandle gdh;
    GDHandle maskgdh;
    short minDestHeight;
    short minDestWidth;
    short maxDestHeight;
    short maxDestWidth;
    short blendLevels;
    long reserved;
};

// A compression-type list entry as the digitizers fill it (a list handle holds one or more).
struct VDCompressionList {
    CodecComponent codec;
    CodecType cType;
    Str63 typeName;
    Str63 name;
    long formatFlags;
    long compressFlags;
    long reserved;
};
typedef VDCompressionList *VDCompressionListPtr;
typedef VDCompressionListPtr *VDCompressionListHandle;

enum : UInt32 {
    tcDropFrame = 1 << 0,
    tc24HourMax = 1 << 1,
    tcNegTimesOK = 1 << 2,
    tcCounter = 1 << 3,
};

struct TimeCodeDef {
    long flags;
    TimeScale fTimeScale;
    TimeValue frameDuration;
    UInt8 numFrames;
    UInt8 padding;
};

struct TimeCodeTime {
    UInt8 hours;
    UInt8 minutes;
    UInt8 seconds;
    UInt8 frames;
};

union TimeCodeRecord {
    TimeCodeTime t;
    long c;
};

typedef ComponentInstance VideoDigitizerComponent;

VideoDigitizerError VDGetMaxSrcRect(VideoDigitizerComponent ci, short inputStd, Rect *maxSrcRect);
VideoDigitizerError VDGetActiveSrcRect(VideoDigitizerComponent ci, short inputStd, Rect *activeSrcRect);
VideoDigitizerError VDSetDigitizerRect(VideoDigitizerComponent ci, Rect *digitizerRect);
VideoDigitizerError VDGetDigitizerRect(VideoDigitizerComponent ci, Rect *digitizerRect);
VideoDigitizerError VDGetDigitizerInfo(VideoDigitizerComponent ci, DigitizerInfo *info);
VideoDigitizerError VDGetNumberOfInputs(VideoDigitizerComponent ci, short *inputs);
VideoDigitizerError VDGetInputFormat(VideoDigitizerComponent ci, short input, short *format);
VideoDigitizerError VDSetInput(VideoDigitizerComponent ci, short input);
VideoDigitizerError VDGetInput(VideoDigitizerComponent ci, short *input);
VideoDigitizerError VDGetInputName(VideoDigitizerComponent ci, long videoInput, Str255 name);
VideoDigitizerError VDGetDeviceNameAndFlags(VideoDigitizerComponent ci, Str255 outName, UInt32 *outNameFlags);
VideoDigitizerError VDSetCompression(VideoDigitizerComponent ci, OSType compressType, short depth, Rect *bounds,
                                     CodecQ spatialQuality, CodecQ temporalQuality, long keyFrameRate);
VideoDigitizerError VDSetCompressionOnOff(VideoDigitizerComponent ci, Boolean state);
VideoDigitizerError VDCompressOneFrameAsync(VideoDigitizerComponent ci);
VideoDigitizerError VDCompressDone(VideoDigitizerComponent ci, UInt8 *queuedFrameCount, Ptr *theData, long *dataSize,
                                   UInt8 *similarity, TimeRecord *t);
VideoDigitizerError VDReleaseCompressBuffer(VideoDigitizerComponent ci, Ptr bufferAddr);
VideoDigitizerError VDGetImageDescription(VideoDigitizerComponent ci, ImageDescriptionHandle desc);
VideoDigitizerError VDGetCompressionTypes(VideoDigitizerComponent ci, VDCompressionListHandle h);
VideoDigitizerError VDSetTimeBase(VideoDigitizerComponent ci, TimeBase t);
VideoDigitizerError VDSetFrameRate(VideoDigitizerComponent ci, Fixed framesPerSecond);
VideoDigitizerError VDGetDataRate(VideoDigitizerComponent ci, long *milliSecPerFrame, Fixed *framesPerSecond,
                                  long *bytesPerSecond);
VideoDigitizerError VDGetPreferredTimeScale(VideoDigitizerComponent ci, TimeScale *preferred);
VideoDigitizerError VDGetTimeCode(VideoDigitizerComponent ci, TimeRecord *atTime, void *timeCodeFormat,
                                  void *timeCodeTime);
VideoDigitizerError VDCaptureStateChanging(VideoDigitizerComponent ci, UInt32 inStateFlags);
VideoDigitizerError VDGetUniqueIDs(VideoDigitizerComponent ci, UInt64 *outDeviceID, UInt64 *outInputID);
VideoDigitizerError VDSelectUniqueIDs(VideoDigitizerComponent ci, const UInt64 *inDeviceID, const UInt64 *inInputID);
VideoDigitizerError VDGetVideoDefaults(VideoDigitizerComponent ci, unsigned short *blackLevel,
                                       unsigned short *whiteLevel, unsigned short *brightness, unsigned short *hue,
                                       unsigned short *saturation, unsigned short *contrast, unsigned short *sharpness);
VideoDigitizerError VDGetHue(VideoDigitizerComponent ci, unsigned short *hue);
VideoDigitizerError VDSetHue(VideoDigitizerComponent ci, unsigned short *hue);

}  // extern "C"
