#include <CoreAudio/AudioUnit.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

AudioStreamBasicDescription Canonical(UInt32 channels, double rate = 48000) {
    return AudioStreamBasicDescription{rate, kAudioFormatLinearPCM, kAudioFormatFlagsCanonicalNonInterleaved, 4, 1, 4,
                                       channels, 32, 0};
}

struct Source {
    std::vector<std::vector<float>> channels;
    int calls = 0;
};

OSStatus Pull(void *refCon, AudioUnitRenderActionFlags *, const AudioTimeStamp *, UInt32, UInt32 frames,
              AudioBufferList *io) {
    auto *source = static_cast<Source *>(refCon);
    ++source->calls;
    if (io->mNumberBuffers != source->channels.size())
        return -206;
    for (UInt32 c = 0; c < io->mNumberBuffers; ++c) {
        io->mBuffers[c].mData = source->channels[c].data();
        io->mBuffers[c].mDataByteSize = frames * 4;
    }
    return 0;
}

struct Unit {
    AudioUnit unit = nullptr;
    Unit() {
        AudioComponentDescription d{kAudioUnitType_Effect, kAudioUnitSubType_MultiBandCompressor,
                                    kAudioUnitManufacturer_Apple, 0, 0};
        AudioComponent component = AudioComponentFindNext(nullptr, &d);
        EXPECT_NE(component, nullptr);
        EXPECT_EQ(AudioComponentFindNext(component, &d), nullptr);
        EXPECT_EQ(AudioComponentInstanceNew(component, &unit), 0);
    }
    ~Unit() { AudioComponentInstanceDispose(unit); }
    OSStatus setup(UInt32 channels, Source *source) {
        AudioStreamBasicDescription f = Canonical(channels);
        AURenderCallbackStruct cb{Pull, source};
        OSStatus s = AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &cb, sizeof cb);
        if (!s)
            s = AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &f, sizeof f);
        if (!s)
            s = AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &f, sizeof f);
        return s ? s : AudioUnitInitialize(unit);
    }
    OSStatus render(UInt32 frames, std::vector<std::vector<float>> &out) {
        std::vector<unsigned char> storage(AudioBufferListSize(UInt32(out.size())));
        auto *list = reinterpret_cast<AudioBufferList *>(storage.data());
        list->mNumberBuffers = UInt32(out.size());
        for (size_t c = 0; c < out.size(); ++c)
            list->mBuffers[c] = AudioBuffer{1, frames * 4, out[c].data()};
        AudioTimeStamp ts{};
        ts.mFlags = kAudioTimeStampSampleTimeValid;
        return AudioUnitRender(unit, nullptr, &ts, 0, frames, list);
    }
};

} // namespace

TEST(AudioUnit, OnlyTheDynamicsUnitIsFound) {
    AudioComponentDescription other{kAudioUnitType_Effect, 0x6C706173 /* 'lpas' */, kAudioUnitManufacturer_Apple, 0, 0};
    EXPECT_EQ(AudioComponentFindNext(nullptr, &other), nullptr);
}

TEST(AudioUnit, QuietSoundPassesAndLoudPeaksArePressedDown) {
    const UInt32 frames = 48000;
    Source source;
    source.channels.assign(2, std::vector<float>(frames));
    for (UInt32 i = 0; i < frames; ++i) {
        const float amplitude = i < frames / 2 ? 0.2f : 0.9f; // -14 dBFS, then -1 dBFS
        source.channels[0][i] = amplitude * float(std::sin(2 * M_PI * 440.0 * i / 48000.0));
        source.channels[1][i] = -source.channels[0][i];
    }
    Unit unit;
    ASSERT_EQ(unit.setup(2, &source), 0);
    std::vector<std::vector<float>> out(2, std::vector<float>(frames));
    ASSERT_EQ(unit.render(frames, out), 0);
    float quietPeak = 0, loudPeak = 0;
    for (UInt32 i = 0; i < frames / 2; ++i) {
        EXPECT_NEAR(out[0][i], source.channels[0][i], 1e-6f);
        quietPeak = std::max(quietPeak, std::fabs(out[0][i]));
    }
    for (UInt32 i = frames / 2 + 4800; i < frames; ++i) // after the attack
        loudPeak = std::max(loudPeak, std::fabs(out[1][i]));
    EXPECT_NEAR(quietPeak, 0.2f, 1e-3f);
    EXPECT_LT(loudPeak, 0.6f);  // 4:1 above -10 dBFS: about 0.43
    EXPECT_GT(loudPeak, 0.35f);
}

TEST(AudioUnit, RefusesWhatItCannotRender) {
    Source source;
    source.channels.assign(2, std::vector<float>(64));
    Unit unit;
    std::vector<std::vector<float>> out(2, std::vector<float>(64));
    EXPECT_EQ(unit.render(64, out), kAudioUnitErr_Uninitialized);
    AudioStreamBasicDescription interleaved = Canonical(2);
    interleaved.mFormatFlags &= ~kAudioFormatFlagIsNonInterleaved;
    EXPECT_EQ(AudioUnitSetProperty(unit.unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &interleaved,
                                   sizeof interleaved),
              kAudioUnitErr_FormatNotSupported);
    EXPECT_EQ(AudioUnitInitialize(unit.unit), kAudioUnitErr_FormatNotSupported); // no formats yet
    // The unit asks for two buffers; a source with one answers -206, which the render passes on.
    Source mono;
    mono.channels.assign(1, std::vector<float>(64));
    ASSERT_EQ(unit.setup(2, &mono), 0);
    EXPECT_EQ(unit.render(64, out), -206);
    AudioStreamBasicDescription f = Canonical(2);
    EXPECT_EQ(AudioUnitSetProperty(unit.unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &f, sizeof f),
              kAudioUnitErr_InvalidProperty); // not while initialised
    std::vector<std::vector<float>> one(1, std::vector<float>(64));
    EXPECT_EQ(unit.render(64, one), kAudio_ParamError); // output list of the wrong shape
}
