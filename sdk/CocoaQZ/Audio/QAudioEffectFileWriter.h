// QAudioEffectFileWriter: passes captured sound through the dynamics effect unit
// ('aufx'/'mcmp'/'appl', default parameters) and writes the result as a 16-bit big-endian
// AIFF file at its output URL.
//
// Status results are OSStatus values (0 = success). Writing reports every lost buffer: a
// write with the unit not open or not initialised, with no file, or whose output buffers
// cannot be allocated answers an error and writes nothing.
//
// Threads: not locked itself; its owner (QAudioFileRecorder) calls it under its own lock. The
// current input buffer list is set only during one writeInputABL call, and the unit's input
// callback runs inside that render.
#pragma once

#include <CoreAudio/AudioCapture.h>
#include <CoreAudio/AudioUnit.h>
#include <CoreAudio/ExtendedAudioFile.h>

#include <QString>
#include <QUrl>

#include <memory>

class QAudioEffectFileWriter {
public:
    // Null when the effect unit cannot be opened (or the name is not a path).
    static std::unique_ptr<QAudioEffectFileWriter> audioFileWriterWithOutputFileURL(const QUrl &url);
    static std::unique_ptr<QAudioEffectFileWriter> audioFileWriterWithOutputFileName(const QString &path);
    ~QAudioEffectFileWriter();
    QAudioEffectFileWriter(const QAudioEffectFileWriter &) = delete;
    QAudioEffectFileWriter &operator=(const QAudioEffectFileWriter &) = delete;

    OSStatus openAudioEffectUnit();
    OSStatus closeAudioEffectUnit();
    // Sets the description as the unit's input and output format and initialises the unit.
    OSStatus initializeAudioEffectUnit(const AudioStreamBasicDescription &description);
    OSStatus uninitializeAudioEffectUnit();
    // Creates the AIFF file for the capture's format (replacing any file at the URL once the
    // file is complete).
    OSStatus createAudioFileRecordingWithFormatDescription(const AudioCaptureFormatDescription &formatDescription);
    OSStatus disposeAudioFileRecording();
    // Renders the frames of the list (in the initialised input format) through the unit and
    // writes them, asynchronously (buffered) or at once.
    OSStatus writeInputABL(const AudioBufferList *inputABL, UInt32 numberOfFrames, bool asynchronousWrite);
    // Closes the unit, then disposes of the file (completing the pending writes); answers the
    // first failure.
    OSStatus closeAllAndDispose();

    bool isOpen() const { return mUnit != nullptr; }
    bool isInitialized() const { return mInitialized; }
    bool hasExtAudioFile() const { return mFile != nullptr; }
    QString outputFile() const { return mOutputFileURL.toLocalFile(); }
    const QUrl &outputFileURL() const { return mOutputFileURL; }
    const AudioStreamBasicDescription &inputASBD() const { return mInputASBD; }
    Float64 sampleTime() const { return mSampleTime; }

    // One zero-filled buffer per channel of (bytes per frame x frames) bytes; null when memory
    // runs out or a buffer would be larger than kLargestOutputBufferBytes.
    static AudioBufferList *createOutputABLWithInputASBD(const AudioStreamBasicDescription &inputASBD,
                                                         UInt32 numberOfFrames);
    static void destroyOutputABL(AudioBufferList *list, const AudioStreamBasicDescription &inputASBD);
    static constexpr size_t kLargestOutputBufferBytes = size_t(64) << 20;

private:
    explicit QAudioEffectFileWriter(const QUrl &url);
    static OSStatus inputCallback(void *refCon, AudioUnitRenderActionFlags *flags, const AudioTimeStamp *timeStamp,
                                  UInt32 bus, UInt32 numberFrames, AudioBufferList *ioData);

    QUrl mOutputFileURL;
    AudioUnit mUnit = nullptr;
    ExtAudioFileRef mFile = nullptr;
    bool mInitialized = false;
    AudioStreamBasicDescription mInputASBD{};
    const AudioBufferList *mCurrentInputABL = nullptr;
    Float64 mSampleTime = 0;
};

bool import_QAudioEffectFileWriter();
