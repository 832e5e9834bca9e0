#include <CocoaQZ/Audio/QAudioEffectFileWriter.h>

#include <CoreX/CoreMachDebugLog.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr OSStatus kBufferCountMismatch = -206;

CFURLRef CopyCFURL(const QUrl &url) {
    const QByteArray path = url.toLocalFile().toUtf8();
    if (path.isEmpty())
        return nullptr;
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(path.constData()),
                                                   CFIndex(path.size()), false);
}

} // namespace

QAudioEffectFileWriter::QAudioEffectFileWriter(const QUrl &url) : mOutputFileURL(url) {}

QAudioEffectFileWriter::~QAudioEffectFileWriter() { closeAllAndDispose(); }

std::unique_ptr<QAudioEffectFileWriter> QAudioEffectFileWriter::audioFileWriterWithOutputFileURL(const QUrl &url) {
    std::unique_ptr<QAudioEffectFileWriter> writer(new QAudioEffectFileWriter(url));
    if (writer->openAudioEffectUnit() != 0)
        return nullptr;
    return writer;
}

std::unique_ptr<QAudioEffectFileWriter> QAudioEffectFileWriter::audioFileWriterWithOutputFileName(const QString &path) {
    if (path.isEmpty())
        return nullptr;
    return audioFileWriterWithOutputFileURL(QUrl::fromLocalFile(path));
}

OSStatus QAudioEffectFileWriter::openAudioEffectUnit() {
    if (mUnit)
        return 0;
    AudioComponentDescription description{kAudioUnitType_Effect, kAudioUnitSubType_MultiBandCompressor,
                                          kAudioUnitManufacturer_Apple, 0, 0};
    AudioComponent component = AudioComponentFindNext(nullptr, &description);
    if (!VERIFY(component != nullptr))
        return kAudio_ParamError;
    AudioUnit unit = nullptr;
    OSStatus status = VERIFY_OSERR(AudioComponentInstanceNew(component, &unit));
    if (status)
        return status;
    AURenderCallbackStruct callback{&QAudioEffectFileWriter::inputCallback, this};
    status = VERIFY_OSERR(AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0,
                                               &callback, sizeof callback));
    if (status) {
        AudioComponentInstanceDispose(unit);
        return status;
    }
    mUnit = unit;
    return 0;
}

OSStatus QAudioEffectFileWriter::closeAudioEffectUnit() {
    if (!mUnit)
        return 0;
    uninitializeAudioEffectUnit();
    OSStatus status = AudioComponentInstanceDispose(mUnit);
    mUnit = nullptr;
    return status;
}

OSStatus QAudioEffectFileWriter::initializeAudioEffectUnit(const AudioStreamBasicDescription &description) {
    if (!mUnit)
        return kAudio_ParamError;
    if (mInitialized && uninitializeAudioEffectUnit() != 0)
        return kAudio_ParamError;
    OSStatus status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0,
                                           &description, sizeof description);
    if (!status)
        status = AudioUnitSetProperty(mUnit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &description,
                                      sizeof description);
    if (!status)
        status = AudioUnitInitialize(mUnit);
    if (status)
        return status;
    mInputASBD = description;
    mInitialized = true;
    return 0;
}

OSStatus QAudioEffectFileWriter::uninitializeAudioEffectUnit() {
    OSStatus status = mUnit ? AudioUnitUninitialize(mUnit) : OSStatus(0);
    mInitialized = false;
    mInputASBD = AudioStreamBasicDescription{};
    mSampleTime = 0;
    return status;
}

OSStatus QAudioEffectFileWriter::createAudioFileRecordingWithFormatDescription(
    const AudioCaptureFormatDescription &formatDescription) {
    if (!mInitialized || mFile || formatDescription.channelLayout.size() < sizeof(AudioChannelLayout) ||
        mOutputFileURL.isEmpty())
        return kAudio_ParamError;
    const UInt32 channels = mInputASBD.mChannelsPerFrame;
    AudioStreamBasicDescription fileFormat{};
    fileFormat.mSampleRate = mInputASBD.mSampleRate;
    fileFormat.mFormatID = kAudioFormatLinearPCM;
    fileFormat.mFormatFlags = kAudioFormatFlagIsBigEndian | kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    fileFormat.mBytesPerPacket = 2 * channels;
    fileFormat.mFramesPerPacket = 1;
    fileFormat.mBytesPerFrame = 2 * channels;
    fileFormat.mChannelsPerFrame = channels;
    fileFormat.mBitsPerChannel = 16;
    AudioChannelLayout layout;
    memcpy(&layout, formatDescription.channelLayout.data(), sizeof layout);
    CFURLRef url = CopyCFURL(mOutputFileURL);
    if (!url)
        return kAudio_ParamError;
    ExtAudioFileRef file = nullptr;
    OSStatus status =
        ExtAudioFileCreateWithURL(url, kAudioFileAIFFType, &fileFormat, &layout, kAudioFileFlags_EraseFile, &file);
    CFRelease(url);
    if (status)
        return status;
    status = ExtAudioFileSetProperty(file, kExtAudioFileProperty_ClientDataFormat, sizeof mInputASBD, &mInputASBD);
    if (status) {
        ExtAudioFileDispose(file);
        return status;
    }
    mFile = file;
    mSampleTime = 0;
    return 0;
}

OSStatus QAudioEffectFileWriter::disposeAudioFileRecording() {
    if (!mFile)
        return 0;
    OSStatus status = ExtAudioFileDispose(mFile);
    mFile = nullptr;
    return status;
}

OSStatus QAudioEffectFileWriter::closeAllAndDispose() {
    OSStatus closed = closeAudioEffectUnit();
    OSStatus disposed = VERIFY_OSERR(disposeAudioFileRecording());
    return closed ? closed : disposed;
}

AudioBufferList *QAudioEffectFileWriter::createOutputABLWithInputASBD(const AudioStreamBasicDescription &inputASBD,
                                                                       UInt32 numberOfFrames) {
    const UInt32 channels = inputASBD.mChannelsPerFrame;
    const size_t bytes = size_t(inputASBD.mBytesPerFrame) * numberOfFrames;
    if (channels == 0 || bytes > kLargestOutputBufferBytes)
        return nullptr;
    auto *list = static_cast<AudioBufferList *>(calloc(1, AudioBufferListSize(channels)));
    if (!list)
        return nullptr;
    list->mNumberBuffers = channels;
    for (UInt32 c = 0; c < channels; ++c) {
        void *data = calloc(1, bytes ? bytes : 1);
        if (!data) {
            destroyOutputABL(list, inputASBD);
            return nullptr;
        }
        list->mBuffers[c] = AudioBuffer{1, UInt32(bytes), data};
    }
    return list;
}

void QAudioEffectFileWriter::destroyOutputABL(AudioBufferList *list, const AudioStreamBasicDescription &) {
    if (!list)
        return;
    for (UInt32 c = 0; c < list->mNumberBuffers; ++c)
        free(list->mBuffers[c].mData);
    free(list);
}

OSStatus QAudioEffectFileWriter::inputCallback(void *refCon, AudioUnitRenderActionFlags *, const AudioTimeStamp *,
                                               UInt32, UInt32, AudioBufferList *ioData) {
    auto *writer = static_cast<QAudioEffectFileWriter *>(refCon);
    if (!writer)
        return kAudio_ParamError;
    const AudioBufferList *input = writer->mCurrentInputABL;
    if (!input)
        return 0;
    if (input->mNumberBuffers != ioData->mNumberBuffers)
        return kBufferCountMismatch;
    for (UInt32 b = 0; b < ioData->mNumberBuffers; ++b) {
        ioData->mBuffers[b].mNumberChannels = input->mBuffers[b].mNumberChannels;
        ioData->mBuffers[b].mDataByteSize = input->mBuffers[b].mDataByteSize;
        ioData->mBuffers[b].mData = input->mBuffers[b].mData;
    }
    return 0;
}

OSStatus QAudioEffectFileWriter::writeInputABL(const AudioBufferList *inputABL, UInt32 numberOfFrames,
                                               bool asynchronousWrite) {
    // Every buffer that is not written is reported: nothing here answers success for sound
    // that was dropped.
    if (!mUnit || !mInitialized)
        return kAudioUnitErr_Uninitialized;
    if (!mFile || !inputABL)
        return kAudio_ParamError;
    AudioBufferList *output = createOutputABLWithInputASBD(mInputASBD, numberOfFrames);
    if (!VERIFY(output != nullptr))
        return kAudio_MemFullError;
    mSampleTime += numberOfFrames;
    AudioTimeStamp timeStamp{};
    timeStamp.mSampleTime = mSampleTime;
    timeStamp.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    mCurrentInputABL = inputABL;
    OSStatus status = AudioUnitRender(mUnit, &flags, &timeStamp, 0, numberOfFrames, output);
    mCurrentInputABL = nullptr;
    if (status == 0) {
        status = asynchronousWrite ? ExtAudioFileWriteAsync(mFile, numberOfFrames, output)
                                   : ExtAudioFileWrite(mFile, numberOfFrames, output);
        VERIFY_OSERR(status);
    }
    destroyOutputABL(output, mInputASBD);
    return status;
}

bool import_QAudioEffectFileWriter() { return import_CoreMachDebugLog(); }
