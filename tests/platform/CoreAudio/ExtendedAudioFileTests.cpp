#include <CoreAudio/ExtendedAudioFile.h>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

CFURLRef URL(const fs::path &path) {
    std::string text = path.string();
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(text.data()),
                                                   CFIndex(text.size()), false);
}

AudioStreamBasicDescription FileFormat(UInt32 channels, double rate) {
    return AudioStreamBasicDescription{rate, kAudioFormatLinearPCM, 14, 2 * channels, 1, 2 * channels, channels, 16, 0};
}

AudioStreamBasicDescription FloatPlanar(UInt32 channels, double rate) {
    return AudioStreamBasicDescription{rate, kAudioFormatLinearPCM, kAudioFormatFlagsCanonicalNonInterleaved, 4, 1, 4,
                                       channels, 32, 0};
}

size_t EntriesIn(const fs::path &folder) {
    return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

} // namespace

TEST(ExtendedAudioFile, WritesBigEndian16BitAIFFFromPlanarFloatAndNamesItOnlyWhenComplete) {
    fs::path folder = fs::path(getenv("HOME")) / "aiff";
    fs::create_directories(folder);
    fs::path path = folder / "sound.aiff";
    std::ofstream(path) << "an older file";
    CFURLRef url = URL(path);
    AudioStreamBasicDescription file = FileFormat(2, 44100);
    ExtAudioFileRef ref = nullptr;
    EXPECT_EQ(ExtAudioFileCreateWithURL(url, kAudioFileAIFFType, &file, nullptr, 0, &ref), kAudioFilePermissionsError);
    ASSERT_EQ(ExtAudioFileCreateWithURL(url, kAudioFileAIFFType, &file, nullptr, kAudioFileFlags_EraseFile, &ref), 0);
    CFRelease(url);
    AudioStreamBasicDescription client = FloatPlanar(2, 44100);
    ASSERT_EQ(ExtAudioFileSetProperty(ref, kExtAudioFileProperty_ClientDataFormat, sizeof client, &client), 0);

    const UInt32 block = 1000, blocks = 50; // more than one asynchronous block
    std::vector<float> left(block), right(block);
    alignas(AudioBufferList) unsigned char storage[AudioBufferListSize(2)];
    auto *list = reinterpret_cast<AudioBufferList *>(storage);
    list->mNumberBuffers = 2;
    for (UInt32 b = 0; b < blocks; ++b) {
        for (UInt32 i = 0; i < block; ++i) {
            left[i] = float(int(b * block + i) % 200 - 100) / 128.0f;
            right[i] = -0.5f;
        }
        list->mBuffers[0] = AudioBuffer{1, block * 4, left.data()};
        list->mBuffers[1] = AudioBuffer{1, block * 4, right.data()};
        ASSERT_EQ(b % 2 ? ExtAudioFileWriteAsync(ref, block, list) : ExtAudioFileWrite(ref, block, list), 0);
    }
    // Until disposed, the older file is still what is at the name.
    EXPECT_EQ(fs::file_size(path), 13u);
    EXPECT_EQ(ExtAudioFileDispose(ref), 0);
    EXPECT_EQ(EntriesIn(folder), 1u); // no temporary left behind

    SF_INFO info{};
    SNDFILE *in = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(info.format & (SF_FORMAT_TYPEMASK | SF_FORMAT_SUBMASK), SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplerate, 44100);
    ASSERT_EQ(info.frames, sf_count_t(block * blocks));
    std::vector<short> samples(size_t(info.frames) * 2);
    sf_readf_short(in, samples.data(), info.frames);
    sf_close(in);
    for (size_t n = 0; n < size_t(info.frames); n += 13) {
        ASSERT_EQ(samples[n * 2], short((int(n) % 200 - 100) * 256)) << n;
        ASSERT_EQ(samples[n * 2 + 1], -16384);
    }
    // Big-endian 16-bit samples in the file itself.
    std::ifstream raw(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(raw)), std::istreambuf_iterator<char>());
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(std::string(bytes.data(), 4), "FORM");
    EXPECT_EQ(std::string(bytes.data() + 8, 4), "AIFF");
    const char minusHalf[4] = {char(0xC0), 0x00, char(0xC0), 0x00}; // -16384 twice, big-endian
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), minusHalf, minusHalf + 4), bytes.end());
}

TEST(ExtendedAudioFile, RefusesFormatsAndListsItCannotWrite) {
    fs::path path = fs::path(getenv("HOME")) / "refused.aiff";
    CFURLRef url = URL(path);
    ExtAudioFileRef ref = nullptr;
    struct Case {
        const char *what;
        AudioStreamBasicDescription format;
        AudioFileTypeID type;
    };
    AudioStreamBasicDescription littleEndian = FileFormat(1, 48000);
    littleEndian.mFormatFlags = 12;
    AudioStreamBasicDescription eightBit = FileFormat(1, 48000);
    eightBit.mBitsPerChannel = 8;
    for (Case c : {Case{"little-endian", littleEndian, kAudioFileAIFFType}, Case{"8-bit", eightBit, kAudioFileAIFFType},
                   Case{"WAVE", FileFormat(1, 48000), 0x57415645}, Case{"no channels", FileFormat(0, 48000), kAudioFileAIFFType}}) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ExtAudioFileCreateWithURL(url, c.type, &c.format, nullptr, kAudioFileFlags_EraseFile, &ref),
                  kAudioFileUnsupportedDataFormatError);
        EXPECT_EQ(ref, nullptr);
    }
    AudioStreamBasicDescription file = FileFormat(2, 48000);
    ASSERT_EQ(ExtAudioFileCreateWithURL(url, kAudioFileAIFFType, &file, nullptr, kAudioFileFlags_EraseFile, &ref), 0);
    AudioStreamBasicDescription wrongRate = FloatPlanar(2, 44100);
    EXPECT_EQ(ExtAudioFileSetProperty(ref, kExtAudioFileProperty_ClientDataFormat, sizeof wrongRate, &wrongRate),
              kAudioFileUnsupportedDataFormatError);
    AudioStreamBasicDescription client = FloatPlanar(2, 48000);
    ASSERT_EQ(ExtAudioFileSetProperty(ref, kExtAudioFileProperty_ClientDataFormat, sizeof client, &client), 0);
    AudioBufferList one{1, {{1, 400, nullptr}}};
    EXPECT_EQ(ExtAudioFileWrite(ref, 100, &one), kAudio_ParamError); // one buffer for two channels
    EXPECT_EQ(ExtAudioFileWriteAsync(ref, 100, nullptr), kAudio_ParamError);
    EXPECT_EQ(ExtAudioFileDispose(ref), 0);
    CFRelease(url);
    // A folder that does not exist.
    CFURLRef nowhere = URL(fs::path(getenv("HOME")) / "no-such-folder" / "x.aiff");
    EXPECT_EQ(ExtAudioFileCreateWithURL(nowhere, kAudioFileAIFFType, &file, nullptr, kAudioFileFlags_EraseFile, &ref),
              kAudioFilePermissionsError);
    CFRelease(nowhere);
}
