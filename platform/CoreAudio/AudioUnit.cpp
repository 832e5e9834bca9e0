#include <CoreAudio/AudioUnit.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

struct OpaqueAudioComponent {
    AudioComponentDescription description;
};

namespace {

OpaqueAudioComponent gDynamicsComponent{
    {kAudioUnitType_Effect, kAudioUnitSubType_MultiBandCompressor, kAudioUnitManufacturer_Apple, 0, 0}};

constexpr UInt32 kMostChannels = 8;
constexpr float kThreshold = 0.31622777f; // -10 dBFS
constexpr float kRatio = 4.0f;
constexpr float kAttackSeconds = 0.002f;
constexpr float kReleaseSeconds = 0.150f;
constexpr UInt32 kControlFrames = 16;

bool IsCanonical(const AudioStreamBasicDescription &f) {
    return f.mFormatID == kAudioFormatLinearPCM && (f.mFormatFlags & kAudioFormatFlagIsFloat) &&
           (f.mFormatFlags & kAudioFormatFlagIsNonInterleaved) && !(f.mFormatFlags & kAudioFormatFlagIsBigEndian) &&
           f.mBitsPerChannel == 32 && f.mBytesPerFrame == 4 && f.mChannelsPerFrame >= 1 &&
           f.mChannelsPerFrame <= kMostChannels && f.mSampleRate > 0.0 && std::isfinite(f.mSampleRate);
}

} // namespace

struct OpaqueAudioComponentInstance {
    AudioStreamBasicDescription input{};
    AudioStreamBasicDescription output{};
    bool hasInput = false, hasOutput = false, initialized = false;
    AURenderCallbackStruct callback{};
    float envelope = 0.0f;
    float gain = 1.0f;
    float attack = 0.0f, release = 0.0f;
};

AudioComponent AudioComponentFindNext(AudioComponent inComponent, const AudioComponentDescription *inDesc) {
    if (!inDesc || inComponent)
        return nullptr;
    const AudioComponentDescription &d = gDynamicsComponent.description;
    bool matches = (!inDesc->componentType || inDesc->componentType == d.componentType) &&
                   (!inDesc->componentSubType || inDesc->componentSubType == d.componentSubType) &&
                   (!inDesc->componentManufacturer || inDesc->componentManufacturer == d.componentManufacturer) &&
                   ((inDesc->componentFlags ^ d.componentFlags) & inDesc->componentFlagsMask) == 0;
    return matches ? &gDynamicsComponent : nullptr;
}

OSStatus AudioComponentInstanceNew(AudioComponent inComponent, AudioComponentInstance *outInstance) {
    if (!outInstance)
        return kAudio_ParamError;
    *outInstance = nullptr;
    if (inComponent != &gDynamicsComponent)
        return kAudio_ParamError;
    *outInstance = new (std::nothrow) OpaqueAudioComponentInstance;
    return *outInstance ? 0 : kAudio_MemFullError;
}

OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance) {
    if (!inInstance)
        return kAudio_ParamError;
    delete inInstance;
    return 0;
}

OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, const void *inData, UInt32 inDataSize) {
    if (!inUnit || !inData)
        return kAudio_ParamError;
    if (inElement != 0)
        return kAudio_ParamError;
    switch (inID) {
    case kAudioUnitProperty_StreamFormat: {
        if (inDataSize < sizeof(AudioStreamBasicDescription) ||
            (inScope != kAudioUnitScope_Input && inScope != kAudioUnitScope_Output))
            return kAudio_ParamError;
        if (inUnit->initialized)
            return kAudioUnitErr_InvalidProperty;
        AudioStreamBasicDescription format;
        memcpy(&format, inData, sizeof format);
        if (!IsCanonical(format))
            return kAudioUnitErr_FormatNotSupported;
        (inScope == kAudioUnitScope_Input ? inUnit->input : inUnit->output) = format;
        (inScope == kAudioUnitScope_Input ? inUnit->hasInput : inUnit->hasOutput) = true;
        return 0;
    }
    case kAudioUnitProperty_SetRenderCallback:
        if (inDataSize < sizeof(AURenderCallbackStruct) || inScope != kAudioUnitScope_Input)
            return kAudio_ParamError;
        memcpy(&inUnit->callback, inData, sizeof(AURenderCallbackStruct));
        return 0;
    default:
        return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus AudioUnitInitialize(AudioUnit inUnit) {
    if (!inUnit)
        return kAudio_ParamError;
    if (!inUnit->hasInput || !inUnit->hasOutput || inUnit->input.mChannelsPerFrame != inUnit->output.mChannelsPerFrame ||
        inUnit->input.mSampleRate != inUnit->output.mSampleRate)
        return kAudioUnitErr_FormatNotSupported;
    const float rate = float(inUnit->input.mSampleRate);
    inUnit->attack = 1.0f - std::exp(-1.0f / (kAttackSeconds * rate));
    inUnit->release = 1.0f - std::exp(-1.0f / (kReleaseSeconds * rate));
    inUnit->envelope = 0.0f;
    inUnit->gain = 1.0f;
    inUnit->initialized = true;
    return 0;
}

OSStatus AudioUnitUninitialize(AudioUnit inUnit) {
    if (!inUnit)
        return kAudio_ParamError;
    inUnit->initialized = false;
    return 0;
}

OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags *ioActionFlags, const AudioTimeStamp *inTimeStamp,
                         UInt32 inOutputBusNumber, UInt32 inNumberFrames, AudioBufferList *ioData) {
    if (!inUnit || !ioData || !inTimeStamp || inOutputBusNumber != 0)
        return kAudio_ParamError;
    if (!inUnit->initialized)
        return kAudioUnitErr_Uninitialized;
    if (!inUnit->callback.inputProc)
        return kAudioUnitErr_NoConnection;
    const UInt32 channels = inUnit->input.mChannelsPerFrame;
    const UInt32 bytes = inNumberFrames * UInt32(sizeof(float));
    if (ioData->mNumberBuffers != channels)
        return kAudio_ParamError;
    for (UInt32 c = 0; c < channels; ++c)
        if (!ioData->mBuffers[c].mData || ioData->mBuffers[c].mDataByteSize < bytes)
            return kAudio_ParamError;

    alignas(AudioBufferList) unsigned char storage[AudioBufferListSize(kMostChannels)];
    AudioBufferList *input = reinterpret_cast<AudioBufferList *>(storage);
    input->mNumberBuffers = channels;
    for (UInt32 c = 0; c < channels; ++c)
        input->mBuffers[c] = AudioBuffer{1, bytes, nullptr};
    AudioUnitRenderActionFlags flags = 0;
    OSStatus status =
        inUnit->callback.inputProc(inUnit->callback.inputProcRefCon, &flags, inTimeStamp, 0, inNumberFrames, input);
    if (status != 0)
        return status;
    const float *in[kMostChannels];
    float *out[kMostChannels];
    for (UInt32 c = 0; c < channels; ++c) {
        if (!input->mBuffers[c].mData || input->mBuffers[c].mDataByteSize < bytes)
            return kAudio_ParamError; // the callback gave less than it was asked for
        in[c] = static_cast<const float *>(input->mBuffers[c].mData);
        out[c] = static_cast<float *>(ioData->mBuffers[c].mData);
        ioData->mBuffers[c].mDataByteSize = bytes;
        ioData->mBuffers[c].mNumberChannels = 1;
    }

    // The envelope follows every sample; the gain is worked out once per block of
    // kControlFrames from the envelope at the block's end and ramps linearly across the block
    // (a gain of 1 stays exactly 1, so sound below the threshold passes bit for bit).
    float envelope = inUnit->envelope;
    float gain = inUnit->gain;
    const float attack = inUnit->attack, release = inUnit->release;
    const float exponent = 1.0f / kRatio - 1.0f;
    for (UInt32 start = 0; start < inNumberFrames; start += kControlFrames) {
        const UInt32 count = std::min(kControlFrames, inNumberFrames - start);
        for (UInt32 i = start; i < start + count; ++i) {
            float peak = 0.0f;
            for (UInt32 c = 0; c < channels; ++c)
                peak = std::max(peak, std::fabs(in[c][i]));
            envelope += (peak > envelope ? attack : release) * (peak - envelope);
        }
        const float target = envelope > kThreshold ? std::pow(envelope / kThreshold, exponent) : 1.0f;
        const float step = (target - gain) / float(count);
        for (UInt32 c = 0; c < channels; ++c) {
            const float *src = in[c] + start;
            float *dst = out[c] + start;
            for (UInt32 i = 0; i < count; ++i)
                dst[i] = src[i] * (gain + step * float(i + 1));
        }
        gain = target;
    }
    inUnit->gain = std::isfinite(gain) ? gain : 1.0f;
    inUnit->envelope = std::isfinite(envelope) ? envelope : 0.0f;
    if (ioActionFlags)
        *ioActionFlags = 0;
    return 0;
}
