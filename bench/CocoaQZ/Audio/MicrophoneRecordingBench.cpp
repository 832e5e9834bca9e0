// One second of 48 kHz stereo sound in the capture's 10 ms buffers.
//   BM_Memcpy:          the floor: a memcpy of the second's float samples (384000 bytes).
//   BM_DynamicsUnit:    the effect unit alone (render from the capture's planar buffers).
//   BM_RecordOneSecond: what the recording costs per second: the capture thread's split of
//                       the interleaved period into planar buffers, the unit, the conversion
//                       to 16-bit and the buffered AIFF write (QAudioEffectFileWriter).
#include <CocoaQZ/Audio/QAudioEffectFileWriter.h>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace {

constexpr UInt32 kRate = 48000, kChannels = 2, kPeriod = 480, kPeriods = kRate / kPeriod;

AudioCaptureFormatDescription Format() {
    AudioCaptureFormatDescription format;
    format.streamDescription = AudioStreamBasicDescription{
        double(kRate), kAudioFormatLinearPCM, kAudioFormatFlagsCanonicalNonInterleaved, 4, 1, 4, kChannels, 32, 0};
    AudioChannelLayout layout{kAudioChannelLayoutTag_Stereo, 0, 0};
    format.channelLayout.resize(sizeof layout);
    memcpy(format.channelLayout.data(), &layout, sizeof layout);
    return format;
}

// Speech-like material: a tone whose loudness swells over the compressor's threshold.
std::vector<float> Interleaved() {
    std::vector<float> samples(size_t(kRate) * kChannels);
    for (UInt32 i = 0; i < kRate; ++i) {
        const float envelope = 0.2f + 0.6f * float(0.5 + 0.5 * std::sin(2 * M_PI * 3.0 * i / kRate));
        const float s = envelope * float(std::sin(2 * M_PI * 220.0 * i / kRate));
        samples[size_t(i) * 2] = s;
        samples[size_t(i) * 2 + 1] = 0.5f * s;
    }
    return samples;
}

struct Planar {
    std::vector<float> left = std::vector<float>(kPeriod), right = std::vector<float>(kPeriod);
    alignas(AudioBufferList) unsigned char storage[AudioBufferListSize(kChannels)];
    AudioBufferList *list = reinterpret_cast<AudioBufferList *>(storage);
    void split(const float *interleaved) {
        for (UInt32 i = 0; i < kPeriod; ++i) {
            left[i] = interleaved[i * 2];
            right[i] = interleaved[i * 2 + 1];
        }
        list->mNumberBuffers = kChannels;
        list->mBuffers[0] = AudioBuffer{1, kPeriod * 4, left.data()};
        list->mBuffers[1] = AudioBuffer{1, kPeriod * 4, right.data()};
    }
};

void BM_Memcpy(benchmark::State &state) {
    const std::vector<float> source = Interleaved();
    std::vector<float> target(source.size());
    for (auto _ : state) {
        memcpy(target.data(), source.data(), source.size() * sizeof(float));
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.size() * sizeof(float)));
}
BENCHMARK(BM_Memcpy);

struct Pull {
    const AudioBufferList *input = nullptr;
};

OSStatus PullInput(void *refCon, AudioUnitRenderActionFlags *, const AudioTimeStamp *, UInt32, UInt32,
                   AudioBufferList *io) {
    const AudioBufferList *input = static_cast<Pull *>(refCon)->input;
    for (UInt32 c = 0; c < io->mNumberBuffers; ++c)
        io->mBuffers[c] = input->mBuffers[c];
    return 0;
}

void BM_DynamicsUnit(benchmark::State &state) {
    const std::vector<float> source = Interleaved();
    std::vector<Planar> periods(kPeriods);
    for (UInt32 p = 0; p < kPeriods; ++p)
        periods[p].split(source.data() + size_t(p) * kPeriod * kChannels);
    AudioComponentDescription d{kAudioUnitType_Effect, kAudioUnitSubType_MultiBandCompressor,
                                kAudioUnitManufacturer_Apple, 0, 0};
    AudioUnit unit = nullptr;
    AudioComponentInstanceNew(AudioComponentFindNext(nullptr, &d), &unit);
    Pull pull;
    AURenderCallbackStruct cb{PullInput, &pull};
    AudioStreamBasicDescription f = Format().streamDescription;
    AudioUnitSetProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, &cb, sizeof cb);
    AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, &f, sizeof f);
    AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 0, &f, sizeof f);
    if (AudioUnitInitialize(unit) != 0) {
        state.SkipWithError("the unit did not initialise");
        return;
    }
    Planar out;
    out.split(source.data());
    AudioTimeStamp ts{};
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    for (auto _ : state) {
        for (UInt32 p = 0; p < kPeriods; ++p) {
            pull.input = periods[p].list;
            out.list->mBuffers[0].mDataByteSize = out.list->mBuffers[1].mDataByteSize = kPeriod * 4;
            AudioUnitRender(unit, nullptr, &ts, 0, kPeriod, out.list);
        }
        benchmark::DoNotOptimize(out.left.data());
        benchmark::ClobberMemory();
    }
    AudioComponentInstanceDispose(unit);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.size() * sizeof(float)));
}
BENCHMARK(BM_DynamicsUnit);

void BM_RecordOneSecond(benchmark::State &state) {
    const std::vector<float> source = Interleaved();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("lumora-audio-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const QString path = QString::fromStdString((folder / "bench.aiff").string());
    const AudioCaptureFormatDescription format = Format();
    std::unique_ptr<QAudioEffectFileWriter> writer;
    auto fresh = [&] {
        writer.reset();
        writer = QAudioEffectFileWriter::audioFileWriterWithOutputFileName(path);
        return writer && writer->initializeAudioEffectUnit(format.streamDescription) == 0 &&
               writer->createAudioFileRecordingWithFormatDescription(format) == 0;
    };
    if (!fresh()) {
        state.SkipWithError("no writer");
        return;
    }
    Planar planar;
    int seconds = 0;
    for (auto _ : state) {
        for (UInt32 p = 0; p < kPeriods; ++p) {
            planar.split(source.data() + size_t(p) * kPeriod * kChannels);
            if (writer->writeInputABL(planar.list, kPeriod, true) != 0)
                state.SkipWithError("write failed");
        }
        if (++seconds == 60) { // keep the file small: a new one each minute of sound
            state.PauseTiming();
            seconds = 0;
            fresh();
            state.ResumeTiming();
        }
    }
    writer.reset();
    std::filesystem::remove_all(folder);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(source.size() * sizeof(float)));
}
BENCHMARK(BM_RecordOneSecond);

} // namespace
