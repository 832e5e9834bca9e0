#include <CoreG/Drawing/namespace_CoreGeometry_PerlinNoise.h>

#include <cmath>
#include <cstdlib>
#include <utility>

namespace CoreGeometry {

namespace {

// The C library's additive generator (the one behind srand/rand, 128 bytes of state), in a
// state of our own: the same numbers as srand(seed) followed by rand(), without touching
// the process-wide sequence.
class SeededGenerator {
public:
    explicit SeededGenerator(unsigned seed) {
        initstate_r(seed, mState, sizeof(mState), &mData);
    }
    int32_t Next() {
        int32_t value = 0;
        random_r(&mData, &value);
        return value;
    }

private:
    char mState[128] = {};
    random_data mData = {};
};

inline float Fade(float t) { return (3.0f - 2.0f * t) * t * t; }
inline float Lerp(float a, float b, float t) { return a - (a - b) * t; }

// The lattice cell of x: its index modulo 256 (the tables repeat every 256 cells) and the
// fraction of the way across it. False for a coordinate that is not finite.
inline bool Lattice(float x, int &cell, float &fraction) {
    if (!std::isfinite(x)) return false;
    const float whole = std::floor(x);
    fraction = x - whole;
    cell = static_cast<int>(std::fmod(whole, 256.0f));
    return true;
}

}  // namespace

void PerlinNoise::Construct(unsigned seed) {
    SeededGenerator generator(seed);
    for (int i = 0; i < 256; ++i) mPermutation[i] = static_cast<uint8_t>(i);
    for (int i = 0; i < 256; ++i) std::swap(mPermutation[i], mPermutation[generator.Next() & 255]);
    constexpr double kScale = 1.0 / 1073741824.0;  // 2^-30
    for (int k = 0; k < 256; ++k) {
        mGradientX[k] = static_cast<float>(generator.Next() * kScale - 1.0);
        mGradientY[k] = static_cast<float>(generator.Next() * kScale - 1.0);
        mGradientZ[k] = static_cast<float>(generator.Next() * kScale - 1.0);
    }
}

float PerlinNoise::Noise1(float x) const {
    int i;
    float f;
    if (!Lattice(x, i, f)) return 0.0f;
    const float a = f * mGradientX[i & 255];
    const float b = (f - 1.0f) * mGradientX[(i + 1) & 255];
    return Lerp(a, b, Fade(f));
}

float PerlinNoise::Noise2(float x, float y) const {
    int i, j;
    float fx, fy;
    if (!Lattice(x, i, fx) || !Lattice(y, j, fy)) return 0.0f;
    const auto corner = [&](int di, int dj) {
        const int h = mPermutation[(mPermutation[(i + di) & 255] + j + dj) & 255];
        return mGradientX[h] * (fx - static_cast<float>(di)) + mGradientY[h] * (fy - static_cast<float>(dj));
    };
    const float sx = Fade(fx), sy = Fade(fy);
    return Lerp(Lerp(corner(0, 0), corner(1, 0), sx), Lerp(corner(0, 1), corner(1, 1), sx), sy);
}

float PerlinNoise::Noise3(float x, float y, float z) const {
    int i, j, k;
    float fx, fy, fz;
    if (!Lattice(x, i, fx) || !Lattice(y, j, fy) || !Lattice(z, k, fz)) return 0.0f;
    const auto corner = [&](int di, int dj, int dk) {
        const int h = mPermutation[(mPermutation[(mPermutation[(i + di) & 255] + j + dj) & 255] + k + dk) & 255];
        return mGradientX[h] * (fx - static_cast<float>(di)) + mGradientY[h] * (fy - static_cast<float>(dj)) +
               mGradientZ[h] * (fz - static_cast<float>(dk));
    };
    const float sx = Fade(fx), sy = Fade(fy), sz = Fade(fz);
    const float near = Lerp(Lerp(corner(0, 0, 0), corner(1, 0, 0), sx), Lerp(corner(0, 1, 0), corner(1, 1, 0), sx), sy);
    const float far = Lerp(Lerp(corner(0, 0, 1), corner(1, 0, 1), sx), Lerp(corner(0, 1, 1), corner(1, 1, 1), sx), sy);
    return Lerp(near, far, sz);
}

float PerlinNoise::Noise1FromNormalValue(float x, unsigned octave) const {
    const unsigned c = octave < 8 ? octave : 8;
    return Noise1(x * static_cast<float>(2u << c));
}

int PerlinNoise::OctaveFromFrequency(float f) {
    const float octave = std::log2(f);
    if (!(octave > 0.0f)) return 0;  // also NaN and -inf
    if (octave >= 8.0f) return 8;
    return static_cast<int>(octave);
}

const PerlinNoise &PerlinNoise::Singleton() {
    static const PerlinNoise sSingleton(4567);
    return sSingleton;
}

}  // namespace CoreGeometry

bool import_namespace_CoreGeometry_PerlinNoise() { return true; }
