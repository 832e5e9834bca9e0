// Short interface sounds (the shutter click, the count-down tick), played through ALSA.
//
// A system sound is made once from a sound file (any format libsndfile reads: AIFF, WAV,
// FLAC...; at most 10 seconds), kept decoded in memory and played on a background thread;
// play calls return at once. Playing goes to the ALSA device named by the environment
// variable LUMORA_SOUND_OUTPUT_DEVICE, else "default". Without a usable output device the
// sound is silently not heard: one log line per process says why, and completions still run.
#pragma once

#include <CoreAudio/CoreAudioTypes.h>
#include <CoreFoundation/CFURL.h>

#include <functional>

typedef UInt32 SystemSoundID;

// Decodes the file at the URL and answers its sound id (never 0) in *outSystemSoundID.
// kAudio_ParamError for a null argument or a URL that is not a file URL;
// kAudioFileUnsupportedDataFormatError when the file cannot be read as sound or is longer
// than 10 seconds (*outSystemSoundID is 0 then).
OSStatus AudioServicesCreateSystemSoundID(CFURLRef inFileURL, SystemSoundID *outSystemSoundID);

// Forgets a sound (a sound still playing finishes). kAudio_ParamError for an unknown id.
OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID inSystemSoundID);

// Plays the sound asynchronously; an unknown id does nothing.
void AudioServicesPlaySystemSound(SystemSoundID inSystemSoundID);

// The same; the completion runs once on the playing thread when the sound has finished (or
// at once there when nothing could be played: unknown id, no output device).
void AudioServicesPlaySystemSoundWithCompletion(SystemSoundID inSystemSoundID, std::function<void()> inCompletionBlock);

// Waits until every sound asked for so far has finished playing (tests, quitting).
void AudioServicesWaitUntilSoundsFinished(void);
