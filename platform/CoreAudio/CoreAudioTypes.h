// The plain data types of sound: stream descriptions, buffers and buffer lists, time stamps
// and channel layouts, with the field names and constants the calling code uses.
#pragma once

#include <CoreFoundation/MacTypes.h>

#include <stddef.h>

typedef Float64 AudioSampleType64;
typedef UInt32 AudioFormatID;
typedef UInt32 AudioFormatFlags;

enum : AudioFormatID {
    kAudioFormatLinearPCM = 0x6C70636D, // 'lpcm'
};

enum : AudioFormatFlags {
    kAudioFormatFlagIsFloat = 1u << 0,
    kAudioFormatFlagIsBigEndian = 1u << 1,
    kAudioFormatFlagIsSignedInteger = 1u << 2,
    kAudioFormatFlagIsPacked = 1u << 3,
    kAudioFormatFlagIsNonInterleaved = 1u << 5,
    // Native-endian packed 32-bit float, one buffer per channel: the format the effect unit
    // takes and gives, and the format the capture devices deliver.
    kAudioFormatFlagsCanonicalNonInterleaved =
        kAudioFormatFlagIsFloat | kAudioFormatFlagIsPacked | kAudioFormatFlagIsNonInterleaved,
};

struct AudioStreamBasicDescription {
    Float64 mSampleRate;
    AudioFormatID mFormatID;
    AudioFormatFlags mFormatFlags;
    UInt32 mBytesPerPacket;
    UInt32 mFramesPerPacket;
    UInt32 mBytesPerFrame;
    UInt32 mChannelsPerFrame;
    UInt32 mBitsPerChannel;
    UInt32 mReserved;
};

struct AudioBuffer {
    UInt32 mNumberChannels;
    UInt32 mDataByteSize;
    void *mData;
};

// A list of buffers; mBuffers really holds mNumberBuffers entries (allocate with
// offsetof(AudioBufferList, mBuffers) + n * sizeof(AudioBuffer)).
struct AudioBufferList {
    UInt32 mNumberBuffers;
    AudioBuffer mBuffers[1];
};

inline constexpr size_t AudioBufferListSize(UInt32 numberBuffers) {
    return offsetof(AudioBufferList, mBuffers) + sizeof(AudioBuffer) * (numberBuffers ? numberBuffers : 1);
}

typedef UInt32 AudioTimeStampFlags;
enum : AudioTimeStampFlags {
    kAudioTimeStampSampleTimeValid = 1u << 0,
    kAudioTimeStampHostTimeValid = 1u << 1,
};

struct AudioTimeStamp {
    Float64 mSampleTime;
    UInt64 mHostTime;
    Float64 mRateScalar;
    UInt64 mWordClockTime;
    UInt64 mReserved1;
    AudioTimeStampFlags mFlags;
    UInt32 mReserved;
};

typedef UInt32 AudioChannelLayoutTag;
enum : AudioChannelLayoutTag {
    kAudioChannelLayoutTag_UseChannelDescriptions = 0,
    kAudioChannelLayoutTag_Mono = (100u << 16) | 1,
    kAudioChannelLayoutTag_Stereo = (101u << 16) | 2,
    kAudioChannelLayoutTag_DiscreteInOrder = (147u << 16) | 0,
};

// The channel layout without channel descriptions (the only kind the capture makes).
struct AudioChannelLayout {
    AudioChannelLayoutTag mChannelLayoutTag;
    UInt32 mChannelBitmap;
    UInt32 mNumberChannelDescriptions;
};

// Status codes the sound layers answer.
enum : OSStatus {
    kAudio_ParamError = -50,
    kAudio_MemFullError = -108,
    kAudioUnitErr_FormatNotSupported = -10868,
    kAudioUnitErr_Uninitialized = -10867,
    kAudioUnitErr_InvalidProperty = -10879,
    kAudioUnitErr_NoConnection = -10876,
    kAudioFileUnspecifiedError = 0x7768743F,          // 'wht?'
    kAudioFileUnsupportedDataFormatError = 0x666D743F, // 'fmt?'
    kAudioFilePermissionsError = 0x70726D3F,          // 'prm?'
    kAudioServicesUnsupportedPropertyError = 0x7074793F, // 'pty?'
    kAudioServicesSystemSoundUnspecifiedError = -1500,
    kAudioServicesSystemSoundClientTimedOutError = -1501,
};
