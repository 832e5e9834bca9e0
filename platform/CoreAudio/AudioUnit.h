// Audio units: the one effect unit the recorder uses, 'aufx'/'mcmp'/'appl' (the multiband
// compressor on macOS). Linux has no such unit, so the layer offers one of its own under that
// description: a single-band feed-forward compressor (peak envelope linked across channels,
// threshold -10 dBFS, ratio 4:1, attack 2 ms, release 150 ms, no make-up gain). Quiet and
// normal speech pass unchanged; only peaks above -10 dBFS are pressed down.
//
// The unit pulls its input through the render callback installed on the input scope, element
// 0, and renders into the caller's buffers. Input and output are 32-bit float, packed,
// non-interleaved (one buffer per channel), 1 to 8 channels, with the same channel count and
// sample rate on both scopes. Any frame count is rendered (no slice limit).
#pragma once

#include <CoreAudio/CoreAudioTypes.h>

typedef UInt32 OSType;

struct AudioComponentDescription {
    OSType componentType;
    OSType componentSubType;
    OSType componentManufacturer;
    UInt32 componentFlags;
    UInt32 componentFlagsMask;
};

enum : OSType {
    kAudioUnitType_Effect = 0x61756678,             // 'aufx'
    kAudioUnitSubType_MultiBandCompressor = 0x6D636D70, // 'mcmp'
    kAudioUnitManufacturer_Apple = 0x6170706C,      // 'appl'
};

typedef struct OpaqueAudioComponent *AudioComponent;
typedef struct OpaqueAudioComponentInstance *AudioComponentInstance;
typedef AudioComponentInstance AudioUnit;

typedef UInt32 AudioUnitPropertyID;
typedef UInt32 AudioUnitScope;
typedef UInt32 AudioUnitElement;
typedef UInt32 AudioUnitRenderActionFlags;

enum : AudioUnitPropertyID {
    kAudioUnitProperty_StreamFormat = 8,
    kAudioUnitProperty_SetRenderCallback = 23,
};
enum : AudioUnitScope {
    kAudioUnitScope_Global = 0,
    kAudioUnitScope_Input = 1,
    kAudioUnitScope_Output = 2,
};

typedef OSStatus (*AURenderCallback)(void *inRefCon, AudioUnitRenderActionFlags *ioActionFlags,
                                     const AudioTimeStamp *inTimeStamp, UInt32 inBusNumber, UInt32 inNumberFrames,
                                     AudioBufferList *ioData);

struct AURenderCallbackStruct {
    AURenderCallback inputProc;
    void *inputProcRefCon;
};

// The next component after inComponent (null: the first) matching the description (only the
// bits of the mask are compared in the flags; zero type, subtype or maker match any).
AudioComponent AudioComponentFindNext(AudioComponent inComponent, const AudioComponentDescription *inDesc);
OSStatus AudioComponentInstanceNew(AudioComponent inComponent, AudioComponentInstance *outInstance);
OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance);

// kAudioUnitProperty_StreamFormat (input or output scope, element 0; not while initialised)
// and kAudioUnitProperty_SetRenderCallback (input scope, element 0).
OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, const void *inData, UInt32 inDataSize);
// Checks that both formats are set and agree; resets the compressor's envelope.
OSStatus AudioUnitInitialize(AudioUnit inUnit);
OSStatus AudioUnitUninitialize(AudioUnit inUnit);
// Pulls inNumberFrames from the render callback and compresses them into ioData (one buffer
// per output channel, each at least inNumberFrames floats). The callback's status is answered
// when it fails; kAudioUnitErr_NoConnection without a callback.
OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags *ioActionFlags, const AudioTimeStamp *inTimeStamp,
                         UInt32 inOutputBusNumber, UInt32 inNumberFrames, AudioBufferList *ioData);
