// Extended audio files: sound files written with a conversion from the caller's (client)
// format, through libsndfile. The layer writes what the recorder needs: AIFF, 16-bit signed
// big-endian packed linear PCM, any sample rate, 1 to 8 channels. Client formats: 32-bit
// float or 16-bit signed integer, native-endian, interleaved or not (until a client format is
// set, the client format is the file's own).
//
// The file is written under a hidden temporary name in the same folder and renamed to its
// name by ExtAudioFileDispose, so a reader never sees a half-written file and an existing file
// at the name is replaced only by a complete one.
#pragma once

#include <CoreAudio/CoreAudioTypes.h>
#include <CoreFoundation/CFURL.h>

typedef UInt32 AudioFileTypeID;
typedef UInt32 ExtAudioFilePropertyID;
typedef struct OpaqueExtAudioFile *ExtAudioFileRef;

enum : AudioFileTypeID {
    kAudioFileAIFFType = 0x41494646, // 'AIFF'
};
enum : UInt32 {
    kAudioFileFlags_EraseFile = 1,
};
enum : ExtAudioFilePropertyID {
    kExtAudioFileProperty_ClientDataFormat = 0x63666D74, // 'cfmt'
};

// Creates the file. kAudio_ParamError for null arguments or a URL that is not a file URL;
// kAudioFileUnsupportedDataFormatError for another file type or format; kAudioFilePermissionsError
// when a file exists at the URL and kAudioFileFlags_EraseFile is not given, or the folder
// cannot be written. The channel layout may be null.
OSStatus ExtAudioFileCreateWithURL(CFURLRef inURL, AudioFileTypeID inFileType,
                                   const AudioStreamBasicDescription *inStreamDesc,
                                   const AudioChannelLayout *inChannelLayout, UInt32 inFlags,
                                   ExtAudioFileRef *outExtAudioFile);

// kExtAudioFileProperty_ClientDataFormat (an AudioStreamBasicDescription with the file's
// sample rate and channel count).
OSStatus ExtAudioFileSetProperty(ExtAudioFileRef inExtAudioFile, ExtAudioFilePropertyID inPropertyID,
                                 UInt32 inPropertyDataSize, const void *inPropertyData);

// Converts and writes the frames at once.
OSStatus ExtAudioFileWrite(ExtAudioFileRef inExtAudioFile, UInt32 inNumberFrames, const AudioBufferList *ioData);

// Converts the frames at once (the list may be reused on return) and writes them later, in
// blocks; a failure of an earlier block is answered by the next call or by dispose.
OSStatus ExtAudioFileWriteAsync(ExtAudioFileRef inExtAudioFile, UInt32 inNumberFrames, const AudioBufferList *ioData);

// Writes what is pending, completes the file and gives it its name. Answers the first write
// failure that was not answered yet (the file is still completed and named with what was
// written).
OSStatus ExtAudioFileDispose(ExtAudioFileRef inExtAudioFile);
