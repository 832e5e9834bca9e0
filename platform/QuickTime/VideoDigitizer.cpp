#include <QuickTime/VideoDigitizer.h>

#include <cstdint>
#include <initializer_list>

namespace {

long Word(const void *pointer) { return long(reinterpret_cast<intptr_t>(pointer)); }

ComponentResult Call(ComponentInstance ci, SInt16 what, std::initializer_list<long> args) {
    ComponentParameters params{};
    params.what = what;
    size_t i = 0;
    for (long arg : args) params.params[i++] = arg;
    params.paramSize = UInt8(i * sizeof(long));
    return CallComponent(ci, &params);
}

}  // namespace

VideoDigitizerError VDGetMaxSrcRect(VideoDigitizerComponent ci, short inputStd, Rect *maxSrcRect) {
    return Call(ci, kVDGetMaxSrcRectSelect, {inputStd, Word(maxSrcRect)});
}
VideoDigitizerError VDGetActiveSrcRect(VideoDigitizerComponent ci, short inputStd, Rect *activeSrcRect) {
    return Call(ci, kVDGetActiveSrcRectSelect, {inputStd, Word(activeSrcRect)});
}
VideoDigitizerError VDSetDigitizerRect(VideoDigitizerComponent ci, Rect *digitizerRect) {
    return Call(ci, kVDSetDigitizerRectSelect, {Word(digitizerRect)});
}
VideoDigitizerError VDGetDigitizerRect(VideoDigitizerComponent ci, Rect *digitizerRect) {
    return Call(ci, kVDGetDigitizerRectSelect, {Word(digitizerRect)});
}
VideoDigitizerError VDGetDigitizerInfo(VideoDigitizerComponent ci, DigitizerInfo *info) {
    return Call(ci, kVDGetDigitizerInfoSelect, {Word(info)});
}
VideoDigitizerError VDGetNumberOfInputs(VideoDigitizerComponent ci, short *inputs) {
    return Call(ci, kVDGetNumberOfInputsSelect, {Word(inputs)});
}
VideoDigitizerError VDGetInputFormat(VideoDigitizerComponent ci, short input, short *format) {
    return Call(ci, kVDGetInputFormatSelect, {input, Word(format)});
}
VideoDigitizerError VDSetInput(VideoDigitizerComponent ci, short input) {
    return Call(ci, kVDSetInputSelect, {input});
}
VideoDigitizerError VDGetInput(VideoDigitizerComponent ci, short *input) {
    return Call(ci, kVDGetInputSelect, {Word(input)});
}
VideoDigitizerError VDGetInputName(VideoDigitizerComponent ci, long videoInput, Str255 name) {
    return Call(ci, kVDGetInputNameSelect, {videoInput, Word(name)});
}
VideoDigitizerError VDGetDeviceNameAndFlags(VideoDigitizerComponent ci, Str255 outName, UInt32 *outNameFlags) {
    return Call(ci, kVDGetDeviceNameAndFlagsSelect, {Word(outName), Word(outNameFlags)});
}
VideoDigitizerError VDSetCompression(VideoDigitizerComponent ci, OSType compressType, short depth, Rect *bounds,
                                     CodecQ spatialQuality, CodecQ temporalQuality, long keyFrameRate) {
    return Call(ci, kVDSetCompressionSelect,
                {long(compressType), depth, Word(bounds), long(spatialQuality), long(temporalQuality), keyFrameRate});
}
VideoDigitizerError VDSetCompressionOnOff(VideoDigitizerComponent ci, Boolean state) {
    return Call(ci, kVDSetCompressionOnOffSelect, {long(state)});
}
VideoDigitizerError VDCompressOneFrameAsync(VideoDigitizerComponent ci) {
    return Call(ci, kVDCompressOneFrameAsyncSelect, {});
}
VideoDigitizerError VDCompressDone(VideoDigitizerComponent ci, UInt8 *queuedFrameCount, Ptr *theData, long *dataSize,
                                   UInt8 *similarity, TimeRecord *t) {
    return Call(ci, kVDCompressDoneSelect, {Word(queuedFrameCount), Word(theData), Word(dataSize), Word(similarity), Word(t)});
}
VideoDigitizerError VDReleaseCompressBuffer(VideoDigitizerComponent ci, Ptr bufferAddr) {
    return Call(ci, kVDReleaseCompressBufferSelect, {Word(bufferAddr)});
}
VideoDigitizerError VDGetImageDescription(VideoDigitizerComponent ci, ImageDescriptionHandle desc) {
    return Call(ci, kVDGetImageDescriptionSelect, {Word(desc)});
}
VideoDigitizerError VDGetCompressionTypes(VideoDigitizerComponent ci, VDCompressionListHandle h) {
    return Call(ci, kVDGetCompressionTypesSelect, {Word(h)});
}
VideoDigitizerError VDSetTimeBase(VideoDigitizerComponent ci, TimeBase t) {
    return Call(ci, kVDSetTimeBaseSelect, {Word(t)});
}
VideoDigitizerError VDSetFrameRate(VideoDigitizerComponent ci, Fixed framesPerSecond) {
    return Call(ci, kVDSetFrameRateSelect, {long(framesPerSecond)});
}
VideoDigitizerError VDGetDataRate(VideoDigitizerComponent ci, long *milliSecPerFrame, Fixed *framesPerSecond,
                                  long *bytesPerSecond) {
    return Call(ci, kVDGetDataRateSelect, {Word(milliSecPerFrame), Word(framesPerSecond), Word(bytesPerSecond)});
}
VideoDigitizerError VDGetPreferredTimeScale(VideoDigitizerComponent ci, TimeScale *preferred) {
    return Call(ci, kVDGetPreferredTimeScaleSelect, {Word(preferred)});
}
VideoDigitizerError VDGetTimeCode(VideoDigitizerComponent ci, TimeRecord *atTime, void *timeCodeFormat,
                                  void *timeCodeTime) {
    return Call(ci, kVDGetTimeCodeSelect, {Word(atTime), Word(timeCodeFormat), Word(timeCodeTime)});
}
VideoDigitizerError VDCaptureStateChanging(VideoDigitizerComponent ci, UInt32 inStateFlags) {
    return Call(ci, kVDCaptureStateChangingSelect, {long(inStateFlags)});
}
VideoDigitizerError VDGetUniqueIDs(VideoDigitizerComponent ci, UInt64 *outDeviceID, UInt64 *outInputID) {
    return Call(ci, kVDGetUniqueIDsSelect, {Word(outDeviceID), Word(outInputID)});
}
VideoDigitizerError VDSelectUniqueIDs(VideoDigitizerComponent ci, const UInt64 *inDeviceID, const UInt64 *inInputID) {
    return Call(ci, kVDSelectUniqueIDsSelect, {Word(inDeviceID), Word(inInputID)});
}
VideoDigitizerError VDGetVideoDefaults(VideoDigitizerComponent ci, unsigned short *blackLevel,
                                       unsigned short *whiteLevel, unsigned short *brightness, unsigned short *hue,
                                       unsigned short *saturation, unsigned short *contrast, unsigned short *sharpness) {
    return Call(ci, kVDGetVideoDefaultsSelect, {Word(blackLevel), Word(whiteLevel), Word(brightness), Word(hue),
                                                Word(saturation), Word(contrast), Word(sharpness)});
}
VideoDigitizerError VDGetHue(VideoDigitizerComponent ci, unsigned short *hue) {
    return Call(ci, kVDGetHueSelect, {Word(hue)});
}
VideoDigitizerError VDSetHue(VideoDigitizerComponent ci, unsigned short *hue) {
    return Call(ci, kVDSetHueSelect, {Word(hue)});
}
