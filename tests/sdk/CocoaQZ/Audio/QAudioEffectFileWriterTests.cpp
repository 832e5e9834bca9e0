#include "AudioRecordingSupport.h"

#include <CocoaQZ/Audio/QAudioEffectFileWriter.h>

#include <cmath>
#include <cstring>

using namespace audio_test;

namespace {

AudioStreamBasicDescription Canonical(UInt32 channels, double rate) {
    return AudioStreamBasicDescription{rate, kAudioFormatLinearPCM, kAudioFormatFlagsCanonicalNonInterleaved, 4, 1, 4,
                                       channels, 32, 0};
}

AudioCaptureFormatDescription Format(UInt32 channels, double rate) {
    AudioCaptureFormatDescription format;
    format.streamDescription = Canonical(channels, rate);
    AudioChannelLayout layout{channels == 1 ? kAudioChannelLayoutTag_Mono : kAudioChannelLayoutTag_Stereo, 0, 0};
    format.channelLayout.resize(sizeof layout);
    memcpy(format.channelLayout.data(), &layout, sizeof layout);
    return format;
}

// A planar float list of the frames, channel c holding (c + 1) * 0.1.
struct PlanarList {
    std::vector<std::vector<float>> channels;
    std::vector<unsigned char> storage;
    AudioBufferList *list;
    PlanarList(UInt32 count, UInt32 frames) : channels(count, std::vector<float>(frames)) {
        storage.resize(AudioBufferListSize(count));
        list = reinterpret_cast<AudioBufferList *>(storage.data());
        list->mNumberBuffers = count;
        for (UInt32 c = 0; c < count; ++c) {
            std::fill(channels[c].begin(), channels[c].end(), 0.1f * float(c + 1));
            list->mBuffers[c] = AudioBuffer{1, frames * 4, channels[c].data()};
        }
    }
};

} // namespace

TEST(QAudioEffectFileWriter, WritesTheRenderedSoundAsAIFF) {
    const auto path = Home() / "writer.aiff";
    auto writer = QAudioEffectFileWriter::audioFileWriterWithOutputFileName(QString::fromStdString(path.string()));
    ASSERT_TRUE(writer);
    EXPECT_TRUE(writer->isOpen());
    EXPECT_EQ(writer->outputFile(), QString::fromStdString(path.string()));
    AudioCaptureFormatDescription format = Format(2, 44100);
    // Not initialised yet: no file.
    EXPECT_EQ(writer->createAudioFileRecordingWithFormatDescription(format), kAudio_ParamError);
    ASSERT_EQ(writer->initializeAudioEffectUnit(format.streamDescription), 0);
    AudioCaptureFormatDescription noLayout = format;
    noLayout.channelLayout.clear();
    EXPECT_EQ(writer->createAudioFileRecordingWithFormatDescription(noLayout), kAudio_ParamError);
    ASSERT_EQ(writer->createAudioFileRecordingWithFormatDescription(format), 0);
    EXPECT_EQ(writer->createAudioFileRecordingWithFormatDescription(format), kAudio_ParamError); // one file
    PlanarList input(2, 441);
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(writer->writeInputABL(input.list, 441, i % 2 == 0), 0);
    EXPECT_EQ(writer->sampleTime(), 4410.0);
    EXPECT_EQ(writer->closeAllAndDispose(), 0);
    EXPECT_FALSE(writer->isOpen());
    EXPECT_FALSE(writer->hasExtAudioFile());

    SoundFile sound = ReadSound(path);
    ASSERT_TRUE(sound.opened);
    EXPECT_EQ(sound.info.format & (SF_FORMAT_TYPEMASK | SF_FORMAT_SUBMASK), SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
    EXPECT_EQ(sound.info.channels, 2);
    EXPECT_EQ(sound.info.samplerate, 44100);
    ASSERT_EQ(sound.info.frames, 4410);
    EXPECT_EQ(sound.samples[0], short(std::lrint(0.1 * 32768))); // below the threshold: unchanged
    EXPECT_EQ(sound.samples[1], short(std::lrint(0.2f * 32768)));
}

TEST(QAudioEffectFileWriter, EveryLostBufferIsReportedAndNothingIsWrittenForIt) {
    const auto path = Home() / "lost.aiff";
    auto writer = QAudioEffectFileWriter::audioFileWriterWithOutputFileName(QString::fromStdString(path.string()));
    ASSERT_TRUE(writer);
    PlanarList stereo(2, 100), mono(1, 100);
    // Not initialised: the buffer is lost, and said so (it used to answer 0).
    EXPECT_NE(writer->writeInputABL(stereo.list, 100, false), 0);
    AudioCaptureFormatDescription format = Format(2, 48000);
    ASSERT_EQ(writer->initializeAudioEffectUnit(format.streamDescription), 0);
    // No file yet: nothing to write to.
    EXPECT_NE(writer->writeInputABL(stereo.list, 100, false), 0);
    ASSERT_EQ(writer->createAudioFileRecordingWithFormatDescription(format), 0);

    struct Case {
        const char *what;
        const AudioBufferList *list;
        UInt32 frames;
        OSStatus expected;
    };
    // More frames than an output buffer may hold: the output list cannot be made, which used
    // to be answered with success.
    const UInt32 tooMany = UInt32(QAudioEffectFileWriter::kLargestOutputBufferBytes / 4 + 1);
    for (Case c : {Case{"output list cannot be made", stereo.list, tooMany, kAudio_MemFullError},
                   Case{"one buffer where the unit asks for two", mono.list, 100, -206},
                   Case{"no list", nullptr, 100, kAudio_ParamError}}) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(writer->writeInputABL(c.list, c.frames, true), c.expected);
    }
    ASSERT_EQ(writer->writeInputABL(stereo.list, 100, true), 0);
    EXPECT_EQ(writer->closeAllAndDispose(), 0);
    SoundFile sound = ReadSound(path);
    ASSERT_TRUE(sound.opened);
    EXPECT_EQ(sound.info.frames, 100); // only the one good buffer
}

TEST(QAudioEffectFileWriter, OutputListsAreOneZeroedBufferPerChannel) {
    AudioStreamBasicDescription format = Canonical(3, 48000);
    AudioBufferList *list = QAudioEffectFileWriter::createOutputABLWithInputASBD(format, 256);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->mNumberBuffers, 3u);
    for (UInt32 c = 0; c < 3; ++c) {
        EXPECT_EQ(list->mBuffers[c].mNumberChannels, 1u);
        ASSERT_EQ(list->mBuffers[c].mDataByteSize, 1024u);
        const auto *bytes = static_cast<const unsigned char *>(list->mBuffers[c].mData);
        EXPECT_TRUE(std::all_of(bytes, bytes + 1024, [](unsigned char b) { return b == 0; }));
    }
    QAudioEffectFileWriter::destroyOutputABL(list, format);
    EXPECT_EQ(QAudioEffectFileWriter::createOutputABLWithInputASBD(Canonical(0, 48000), 256), nullptr);
}
