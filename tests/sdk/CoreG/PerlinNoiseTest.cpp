// Perlin noise: the seeding contract, independence from the process-wide rand sequence, the
// lattice zeros, octave limits and input that must not reach an undefined conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <set>

#include <CoreG/Drawing/namespace_CoreGeometry_PerlinNoise.h>

using CoreGeometry::PerlinNoise;

namespace {

bool SameTables(const PerlinNoise &a, const PerlinNoise &b) {
    return std::memcmp(a.mPermutation, b.mPermutation, sizeof(a.mPermutation)) == 0 &&
           std::memcmp(a.mGradientX, b.mGradientX, sizeof(a.mGradientX)) == 0 &&
           std::memcmp(a.mGradientY, b.mGradientY, sizeof(a.mGradientY)) == 0 &&
           std::memcmp(a.mGradientZ, b.mGradientZ, sizeof(a.mGradientZ)) == 0;
}

// The tables draw the numbers srand(seed) followed by rand() gives, in the documented order.
TEST(PerlinNoise, TablesFollowTheSrandRandContract) {
    for (unsigned seed : {4567u, 1u, 99u}) {
        std::srand(seed);
        uint8_t permutation[256];
        for (int i = 0; i < 256; ++i) permutation[i] = uint8_t(i);
        for (int i = 0; i < 256; ++i) std::swap(permutation[i], permutation[std::rand() & 255]);
        const PerlinNoise noise(seed);
        EXPECT_EQ(std::memcmp(noise.mPermutation, permutation, 256), 0) << seed;
        for (int k = 0; k < 256; ++k) {
            ASSERT_EQ(noise.mGradientX[k], float(std::rand() / 1073741824.0 - 1.0)) << seed << " " << k;
            ASSERT_EQ(noise.mGradientY[k], float(std::rand() / 1073741824.0 - 1.0)) << seed << " " << k;
            ASSERT_EQ(noise.mGradientZ[k], float(std::rand() / 1073741824.0 - 1.0)) << seed << " " << k;
        }
    }
}

TEST(PerlinNoise, DeterministicAndLeavesRandAlone) {
    std::srand(77);
    const int first = std::rand(), second = std::rand();

    std::srand(77);
    const PerlinNoise a(4567);
    const PerlinNoise &shared = PerlinNoise::Singleton();
    EXPECT_EQ(std::rand(), first);
    std::srand(12345);
    const PerlinNoise b(4567);
    EXPECT_TRUE(SameTables(a, b));
    EXPECT_TRUE(SameTables(a, shared));
    EXPECT_EQ(&shared, &PerlinNoise::Singleton());
    std::srand(77);
    std::rand();
    EXPECT_EQ(std::rand(), second);

    std::set<int> values(a.mPermutation, a.mPermutation + 256);
    EXPECT_EQ(values.size(), 256u);
    for (int k = 0; k < 256; ++k) {
        for (float g : {a.mGradientX[k], a.mGradientY[k], a.mGradientZ[k]}) {
            EXPECT_GE(g, -1.0f);
            EXPECT_LE(g, 1.0f);
        }
    }
    EXPECT_FALSE(SameTables(a, PerlinNoise(4568)));
}

TEST(PerlinNoise, ZeroOnTheLatticeAndSmoothBetween) {
    const PerlinNoise &noise = PerlinNoise::Singleton();
    for (float i : {-300.0f, -1.0f, 0.0f, 1.0f, 7.0f, 255.0f, 256.0f, 1000.0f}) {
        EXPECT_EQ(noise.Noise1(i), 0.0f) << i;
        EXPECT_EQ(noise.Noise2(i, 3.0f), 0.0f) << i;
        EXPECT_EQ(noise.Noise3(2.0f, i, -5.0f), 0.0f) << i;
    }
    // Values between lattice points are bounded and continuous.
    bool nonZero = false;
    for (float x = 0.05f; x < 20.0f; x += 0.1f) {
        const float v = noise.Noise2(x, x * 0.7f);
        EXPECT_LE(std::fabs(v), 2.0f);
        EXPECT_NEAR(noise.Noise1(x), noise.Noise1(x + 1e-4f), 1e-2f);
        nonZero = nonZero || v != 0.0f;
    }
    EXPECT_TRUE(nonZero);
    // The tables repeat every 256 cells, also for coordinates beyond the int range.
    EXPECT_EQ(noise.Noise2(3.25f, 1.5f), noise.Noise2(3.25f + 256.0f, 1.5f - 512.0f));
    EXPECT_EQ(noise.Noise1(0.5f), noise.Noise1(0.5f - 256.0f));
}

TEST(PerlinNoise, InputsThatAreNotFiniteGiveZero) {
    const PerlinNoise &noise = PerlinNoise::Singleton();
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(noise.Noise1(nan), 0.0f);
    EXPECT_EQ(noise.Noise1(-inf), 0.0f);
    EXPECT_EQ(noise.Noise2(0.5f, inf), 0.0f);
    EXPECT_EQ(noise.Noise3(0.5f, 0.5f, nan), 0.0f);
    // Huge finite coordinates are whole numbers: no undefined conversion (UBSan watches).
    EXPECT_EQ(noise.Noise1(3e38f), 0.0f);
    EXPECT_TRUE(std::isfinite(noise.Noise2(-3e38f, 0.5f)));
}

TEST(PerlinNoise, Octaves) {
    const struct {
        float frequency;
        int octave;
    } cases[] = {{1, 0}, {300, 8}, {0.5f, 0}, {0, 0}, {-4, 0}, {4, 2}, {7.9f, 2}, {256, 8},
                 {std::numeric_limits<float>::quiet_NaN(), 0}, {std::numeric_limits<float>::infinity(), 8}};
    for (const auto &c : cases) EXPECT_EQ(PerlinNoise::OctaveFromFrequency(c.frequency), c.octave) << c.frequency;

    const PerlinNoise &noise = PerlinNoise::Singleton();
    EXPECT_EQ(noise.Noise1FromNormalValue(0.25f, 20), noise.Noise1(128.0f));
    EXPECT_EQ(noise.Noise1FromNormalValue(0.3f, 2), noise.Noise1(0.3f * 8.0f));
    EXPECT_EQ(noise.Noise1FromNormalValue(0.01f, 0), noise.Noise1(0.02f));
}

}  // namespace
