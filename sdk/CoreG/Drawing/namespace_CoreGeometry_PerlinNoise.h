// Seeded gradient noise in one, two and three dimensions.
//
// The tables are drawn from a generator of this object's own, seeded like the C library's
// srand and drawn like its rand (the same numbers for the same seed), so the noise is the
// same in every run and the process-wide rand sequence is left alone. The shared instance
// (seed 4567) is made on first use; the noise functions only read the tables and may be
// called from several threads at once.
#pragma once

#include <cstdint>

namespace CoreGeometry {

class PerlinNoise {
public:
    explicit PerlinNoise(unsigned seed) { Construct(seed); }

    // permutation[i] = i, then for i = 0..255 swap permutation[i] with permutation[r & 255]
    // (r the next number drawn); then for each k the three gradient components
    // r x 2^-30 - 1, in the order x, y, z. The gradients are not normalised.
    void Construct(unsigned seed);

    // 0 at every integer lattice point; non-finite input gives 0.
    float Noise1(float x) const;
    float Noise2(float x, float y) const;
    float Noise3(float x, float y, float z) const;

    // Noise1 of x x 2^(c + 1), c the octave limited to 0..8.
    float Noise1FromNormalValue(float x, unsigned octave) const;
    // trunc(log2 f) limited to 0..8 (0 for f <= 1 and for NaN).
    static int OctaveFromFrequency(float f);

    // The process-wide generator, seed 4567, made on first use.
    static const PerlinNoise &Singleton();

    uint8_t mPermutation[256];
    float mGradientX[256];
    float mGradientY[256];
    float mGradientZ[256];
};

}  // namespace CoreGeometry

bool import_namespace_CoreGeometry_PerlinNoise();
