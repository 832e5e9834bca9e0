// Shared by the recording tests: environment switches, reading AIFF files back, draining the
// main queue while waiting.
#pragma once

#include <dispatch/dispatch.h>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace audio_test {

struct ScopedEnvironment {
    std::string name;
    ScopedEnvironment(const char *n, const char *value) : name(n) {
        if (value)
            setenv(n, value, 1);
        else
            unsetenv(n);
    }
    ~ScopedEnvironment() { unsetenv(name.c_str()); }
};

inline std::filesystem::path Home() { return std::filesystem::path(getenv("HOME")); }

inline double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct SoundFile {
    bool opened = false;
    SF_INFO info{};
    std::vector<short> samples; // interleaved
};

inline SoundFile ReadSound(const std::filesystem::path &path) {
    SoundFile sound;
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &sound.info);
    if (!file)
        return sound;
    sound.opened = true;
    sound.samples.resize(size_t(sound.info.frames) * size_t(sound.info.channels));
    sf_readf_short(file, sound.samples.data(), sound.info.frames);
    sf_close(file);
    return sound;
}

// Drains the main queue until the condition holds or the time runs out.
inline bool WaitDraining(const std::function<bool()> &condition, double seconds) {
    const double end = Now() + seconds;
    while (!condition()) {
        if (Now() > end)
            return false;
        dispatch_main_queue_drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace audio_test
