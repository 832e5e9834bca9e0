// NSOGL1DFilterValues: a 1-D filter, a curve of samples between 0 and 1 that the effect
// compositions receive as a one-row grey image and that the 1-D filter editor draws or
// generates. Every setter keeps the samples within 0..1 (NaN is stored as 0).
//
// Two text forms carry the samples in presets and bookmarks:
// - Letters: one character per sample from kLetterAlphabet (a..z, the digit 0, A..Z; 53
//   characters, scale 52). Sample to letter: k = int(clamp(sample) x 52 + 0.5) limited to
//   0..52. Letter to sample: the position k among the first 52 characters (a..Y), compared by
//   the character's low 8 bits, gives k / 52; Z and every other character give 1.0.
// - Hexadecimal samples (HexEncoding of a little-endian block): the word 12 (the form's
//   marker), the sample count n, n 32-bit IEEE floats, and a trailing zero word that readers
//   ignore; 12 + 4 n bytes. A block is read when it starts with the marker and holds at least
//   8 + 4 n bytes (counted in 64 bits: n comes from outside text).
//
// Both readers are bounded by kMaximumValuesCount (256, the editor's largest filter): a
// longer letter text or a block of more samples is cut to its first 256 samples; the filter
// never grows past 256 samples from text.
//
// The random generators draw from the filter's own generator (seeded from the system's
// entropy when made; setRandomSeed makes a run repeatable), never from the C library's.
#pragma once

#include <CoreGraphics/CGImage.h>

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <vector>

class NSOGL1DFilterValues {
public:
    static constexpr const char *kLetterAlphabet = "abcdefghijklmnopqrstuvwxyz0ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static constexpr unsigned kLetterScale = 52;
    static constexpr float kLetterScaleFloat = 52.0f;
    static constexpr uint32_t kSampleValuesMarker = 12;
    static constexpr uint32_t kMaximumValuesCount = 256;
    static constexpr float kTwoPi = 6.2831855f;

    // No samples.
    NSOGL1DFilterValues();
    // initWithValue:valueCount: n samples of the value (clamped).
    NSOGL1DFilterValues(float value, uint32_t count);
    // initWithInterpolatedValues:valueCount: n samples; without a source all 0.5, otherwise
    // sample i is the source's interpolatedValueForNormalizedIndex(i / n).
    NSOGL1DFilterValues(const NSOGL1DFilterValues *source, uint32_t count);

    static std::shared_ptr<NSOGL1DFilterValues> filterWithValue(float value, uint32_t count);
    static std::shared_ptr<NSOGL1DFilterValues> filterWithInterpolatedFilterValues(const NSOGL1DFilterValues *source,
                                                                                   uint32_t count);

    // The count n of a hexadecimal form: 0 when the text does not decode, is shorter than 12
    // bytes, or the marker is not 12. (The block's length is not checked here:
    // decodeStringSampleValues tells whether the samples can be read.)
    static uint32_t valuesCountFromStringSampleValuesEncoding(const QString &text);
    // The samples of a hexadecimal form, unclamped and cut to kMaximumValuesCount; nothing
    // when the block is not a valid one (see above).
    static std::optional<std::vector<float>> decodeStringSampleValues(const QString &text);

    // Letter conversions.
    static QChar letterForValue(float value);
    static float valueForLetter(QChar letter);

    uint32_t valuesCount() const { return uint32_t(mValues.size()); }
    const float *values() const { return mValues.data(); }
    // Discards the samples and makes n new ones of 0.5.
    void setValuesCount(uint32_t count);

    // The nearest sample: index min(n - 1, int(n x clamp(t) + 0.5)); 0.5 without samples.
    float interpolatedValueForNormalizedIndex(float t) const;
    // 2 pi p + f 2 pi i / n, in float (0 term for the index without samples).
    float thetaWithValueIndex(uint32_t index, float frequency, float phaseNormal) const;

    // n grey bytes: sample x 255 truncated, limited to 0..255; the last sample first when
    // inverted. Nothing for null.
    void setPixelData(uint8_t *pixels, bool invertedPixels) const;
    // A new device-grey 8-bit image from the inverted bytes: n x 1 or 1 x n. Null for n = 0.
    CGImageRef createTextureImage1DHorizontal() const;
    CGImageRef createTextureImage1DVertical() const;

    // False for an index outside the samples and when the sample already holds the clamped
    // value; otherwise stores it and answers true.
    bool setValue(float value, uint32_t index);
    void setAllValuesToValue(float value);
    // clamp(sample + d).
    void operationAdditionAllValuesWithValue(float d);
    // clamp((sample - 0.5) m + 0.5).
    void operationMultiplyAllValuesWithValue(float m);

    // Wave generators; every sample is clamped.
    void setAllValuesToSinFn(float amplitude, float frequency, float phase);
    void setAllValuesToTriangleFn(float amplitude, float frequency, float phase);
    void setAllValuesToSawFn(float amplitude, float frequency, float phase);
    void setAllValuesToSquareFn(float amplitude, float frequency, float phase);
    void setAllValuesToPerlinFn(float amplitude, float frequency, float phase);
    void setAllValuesToRandomFn(float amplitude, float frequency);
    void setAllValuesToNoiseFn(float amplitude);
    // Makes the random generators repeatable.
    void setRandomSeed(uint32_t seed) { mRandom.seed(seed); }

    // The letter form.
    QString stringValues() const;
    // A null text does nothing. A text longer than the samples first resets the filter to
    // min(length, 256) samples of 0.5; then each position up to the shorter of text and count,
    // stopping at a NUL character, is set from its letter.
    void setStringValues(const QString &text);

    // The hexadecimal form.
    QString stringSampleValues() const;
    // A valid block of n samples (n cut to 256) first resets the filter to n samples of 0.5
    // when it has fewer, then sets the first n samples; samples beyond n keep their values.
    // Anything else changes nothing; answers whether the block was read.
    bool setStringSampleValues(const QString &text);

private:
    float nextRandom();  // in [0, 1): a 31-bit draw / 2^31
    // Degrees of theta wrapped into [0, 360).
    static float wrappedDegrees(float theta);

    std::vector<float> mValues;
    std::mt19937 mRandom;
};

bool import_NSOGL1DFilterValues();
