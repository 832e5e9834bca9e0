#include <CoreAudio/AudioServices.h>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

fs::path Home() { return fs::path(getenv("HOME")); }

// A short AIFF tone: frames of 16-bit stereo at 22050 Hz.
fs::path WriteTone(const char *name, int frames) {
    fs::path path = Home() / name;
    SF_INFO info{};
    info.samplerate = 22050;
    info.channels = 2;
    info.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    SNDFILE *file = sf_open(path.c_str(), SFM_WRITE, &info);
    EXPECT_NE(file, nullptr);
    std::vector<short> data(size_t(frames) * 2);
    for (int i = 0; i < frames; ++i)
        data[size_t(i) * 2] = data[size_t(i) * 2 + 1] = short(8000 * std::sin(i * 0.1));
    sf_writef_short(file, data.data(), frames);
    sf_close(file);
    return path;
}

CFURLRef URL(const fs::path &path) {
    std::string text = path.string();
    return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8 *>(text.data()),
                                                   CFIndex(text.size()), false);
}

struct ScopedEnvironment {
    const char *name;
    ScopedEnvironment(const char *n, const std::string &value) : name(n) { setenv(n, value.c_str(), 1); }
    ~ScopedEnvironment() { unsetenv(name); }
};

} // namespace

TEST(AudioServices, PlaysTheWholeSoundToTheOutputDevice) {
    fs::path tone = WriteTone("tick.aiff", 2205);
    fs::path tap = Home() / "played.raw";
    // ALSA's file plugin writes what is played to a file and discards it (no hardware).
    ScopedEnvironment device("LUMORA_SOUND_OUTPUT_DEVICE", "file:FILE=" + tap.string() + ",FORMAT=raw");
    CFURLRef url = URL(tone);
    SystemSoundID sound = 0;
    ASSERT_EQ(AudioServicesCreateSystemSoundID(url, &sound), 0);
    CFRelease(url);
    EXPECT_NE(sound, 0u);
    std::atomic<int> completions{0};
    AudioServicesPlaySystemSoundWithCompletion(sound, [&] { ++completions; });
    AudioServicesWaitUntilSoundsFinished();
    EXPECT_EQ(completions.load(), 1);
    ASSERT_TRUE(fs::exists(tap));
    EXPECT_EQ(fs::file_size(tap), 2205u * 2 * sizeof(short));
    EXPECT_EQ(AudioServicesDisposeSystemSoundID(sound), 0);
    EXPECT_EQ(AudioServicesDisposeSystemSoundID(sound), kAudio_ParamError);
}

TEST(AudioServices, WithoutAnOutputDeviceTheCompletionStillRuns) {
    fs::path tone = WriteTone("click.aiff", 100);
    ScopedEnvironment device("LUMORA_SOUND_OUTPUT_DEVICE", "hw:CARD=NoSuchCard");
    CFURLRef url = URL(tone);
    SystemSoundID sound = 0;
    ASSERT_EQ(AudioServicesCreateSystemSoundID(url, &sound), 0);
    CFRelease(url);
    std::atomic<int> completions{0};
    for (int i = 0; i < 3; ++i)
        AudioServicesPlaySystemSoundWithCompletion(sound, [&] { ++completions; });
    AudioServicesPlaySystemSoundWithCompletion(12345, [&] { ++completions; }); // unknown id
    AudioServicesPlaySystemSound(sound);
    AudioServicesWaitUntilSoundsFinished();
    EXPECT_EQ(completions.load(), 4);
    AudioServicesDisposeSystemSoundID(sound);
}

TEST(AudioServices, RefusesWhatIsNotASound) {
    fs::path text = Home() / "not-a-sound.aiff";
    std::ofstream(text) << "FORM but not really an AIFF file";
    CFURLRef url = URL(text);
    SystemSoundID sound = 77;
    EXPECT_EQ(AudioServicesCreateSystemSoundID(url, &sound), kAudioFileUnsupportedDataFormatError);
    EXPECT_EQ(sound, 0u);
    CFRelease(url);
    CFURLRef missing = URL(Home() / "missing.aiff");
    EXPECT_EQ(AudioServicesCreateSystemSoundID(missing, &sound), kAudioFileUnsupportedDataFormatError);
    CFRelease(missing);
    EXPECT_EQ(AudioServicesCreateSystemSoundID(nullptr, &sound), kAudio_ParamError);
}

TEST(AudioServices, TheInterfaceSoundsTheBuildMakesAreShortMonoAIFF) {
    struct Case {
        const char *name;
        double shortest, longest;
    };
    for (Case c : {Case{"Default.aiff", 0.05, 0.3}, Case{"CountClick.aiff", 0.01, 0.1}}) {
        SCOPED_TRACE(c.name);
        fs::path path = fs::path(LUMORA_APP_RESOURCES) / c.name;
        SF_INFO info{};
        SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(info.format, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
        EXPECT_EQ(info.channels, 1);
        double seconds = double(info.frames) / info.samplerate;
        EXPECT_GE(seconds, c.shortest);
        EXPECT_LE(seconds, c.longest);
        std::vector<short> samples(size_t(info.frames));
        sf_readf_short(file, samples.data(), info.frames);
        sf_close(file);
        int peak = 0;
        for (short s : samples)
            peak = std::max(peak, std::abs(int(s)));
        EXPECT_GT(peak, 3000); // audible, not silence
        CFURLRef url = URL(path);
        SystemSoundID sound = 0;
        EXPECT_EQ(AudioServicesCreateSystemSoundID(url, &sound), 0);
        CFRelease(url);
        AudioServicesDisposeSystemSoundID(sound);
    }
}
