// soundgen click|tick <output.aiff>
//
// Synthesises one of the interface sounds as a 16-bit mono AIFF file at 44100 Hz. The sounds
// are deterministic (a fixed noise generator), so every build makes the same bytes.
//   click: a camera shutter: two short bursts of band-limited noise 45 ms apart, each with a
//          fast exponential decay (about 110 ms in all).
//   tick:  a count-down tick: 25 ms of a 2 kHz tone with a 3 ms attack and an exponential
//          decay.
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kRate = 44100;

std::vector<float> Click() {
    std::vector<float> out(size_t(kRate * 0.11), 0.0f);
    uint32_t state = 0x1234567u;
    auto noise = [&] {
        state = state * 1664525u + 1013904223u;
        return float(int32_t(state)) / 2147483648.0f;
    };
    const double burstStarts[2] = {0.0, 0.045};
    const float burstGain[2] = {0.7f, 0.45f};
    for (int burst = 0; burst < 2; ++burst) {
        size_t start = size_t(burstStarts[burst] * kRate);
        float low = 0.0f, band = 0.0f;
        for (size_t i = start; i < out.size(); ++i) {
            double t = double(i - start) / kRate;
            float envelope = float(std::exp(-t / 0.008)) * burstGain[burst];
            // A two-pole state-variable filter around 3 kHz gives the noise its metal colour.
            float input = noise();
            float f = 2.0f * float(std::sin(M_PI * 3000.0 / kRate));
            low += f * band;
            float high = input - low - 0.5f * band;
            band += f * high;
            out[i] += band * envelope;
        }
    }
    return out;
}

std::vector<float> Tick() {
    std::vector<float> out(size_t(kRate * 0.025));
    for (size_t i = 0; i < out.size(); ++i) {
        double t = double(i) / kRate;
        double attack = std::min(1.0, t / 0.003);
        out[i] = float(0.5 * attack * std::exp(-t / 0.007) * std::sin(2.0 * M_PI * 2000.0 * t));
    }
    return out;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3 || (strcmp(argv[1], "click") != 0 && strcmp(argv[1], "tick") != 0)) {
        fprintf(stderr, "usage: soundgen click|tick <output.aiff>\n");
        return 2;
    }
    std::vector<float> samples = strcmp(argv[1], "click") == 0 ? Click() : Tick();
    for (float &s : samples)
        s = std::fmax(-0.99f, std::fmin(0.99f, s));
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_AIFF | SF_FORMAT_PCM_16;
    SNDFILE *file = sf_open(argv[2], SFM_WRITE, &info);
    if (!file) {
        fprintf(stderr, "soundgen: cannot write %s: %s\n", argv[2], sf_strerror(nullptr));
        return 1;
    }
    sf_count_t written = sf_writef_float(file, samples.data(), sf_count_t(samples.size()));
    int closed = sf_close(file);
    if (written != sf_count_t(samples.size()) || closed != 0) {
        fprintf(stderr, "soundgen: writing %s failed\n", argv[2]);
        return 1;
    }
    return 0;
}
