// The luma look-up table of the camera's image adjustments and the histogram that
// equalises luma in low light. Both are applied to 4:2:2 frames by
// Q_2vuy_buffer::CopyFromWithLUT and CopyFromWithLUTAndHistogram; chroma never passes
// through them.
//
// CLUT_BASE<T, kMax> is a table of kMax + 1 entries over the values 0..kMax (the camera
// uses CLUT_BASE<unsigned short, 255>: a luma byte v becomes the low 8 bits of mTable[v]).
// MakeAdjusted builds it from five settings in 0..1 (brightness, contrast and gamma with
// 0.5 meaning "no change", the black level with 0.5 and the white level with 1.0 meaning
// "no change"):
//
//   mBrightness = 2 x brightness, mContrast = 2 x contrast, mGamma = 2 x gamma
//   mBlackLevel = trunc(black x 128 - 64)                        (-64..64)
//   mWhiteLevel = trunc(mBlackLevel + (255 - mBlackLevel) x white),
//                 limited to mBlackLevel + 1 .. 255
//   mBlackWhiteStretch = 256 / (mWhiteLevel - mBlackLevel)
//   for each i:  v = i
//                v = ((i / 255 - 0.5) x mContrast + 0.5) x 255    when mContrast != 1
//                v = v x mBrightness
//                v = (v / 255) ^ (1 / mGamma) x 255               when mGamma != 1
//                mTable[i] = trunc((v - mBlackLevel) x mBlackWhiteStretch), limited to 0..255
//
// (for kMax other than 255, 255 reads kMax, 256 reads kMax + 1, 128 and 64 half and a
// quarter of kMax + 1). The arithmetic is single precision. Before the gamma step v is
// limited to 0..255, since contrast can take it below 0, where the power has no real value;
// and a gamma below 0.01 counts as 0.01. Settings outside 0..1 are limited to it, NaN is 0.
//
// T_HISTOGRAM<Config> is an equalisation record: mSampleBin holds, for each bin (luma
// Config::kFirstValue + bin), the equalised value of that bin, and mSampleCount the number of
// samples of the frame it was computed from. A value v falls in bin
// clamp(v - kFirstValue, 0, kBins - 1) and comes out as mSampleBin[bin] + kFirstValue,
// limited to kTopValue. Equalise replaces the record with the cumulative distribution of a
// frame's histogram: mSampleBin[i] = trunc((sum of counts[0..i] / count) x (kBins - 1) + 0.5).
#pragma once

#include <cstdint>

template <typename T, int kMax>
struct CLUT_BASE {
    static_assert(kMax > 0, "a table covers at least the values 0 and 1");
    static constexpr int kEntries = kMax + 1;

    // The identity table, contrast, brightness and gamma 1, levels 0 and kMax, stretch
    // (kMax + 1) / kMax.
    CLUT_BASE();

    // mTable[i] = i; the settings are left as they are.
    void MakeIdentity();
    // Sets the members from the five settings (see above) and rebuilds the table.
    void MakeAdjusted(float brightness, float contrast, float gamma, float black, float white);

    T mTable[kEntries];
    float mContrast;
    float mBrightness;
    float mGamma;
    int32_t mBlackLevel;
    int32_t mWhiteLevel;
    float mBlackWhiteStretch;
};

// Luma of video frames: 241 bins for luma 15..255.
struct config_video_luma_u16_histogram {
    static constexpr int kBins = 241;
    static constexpr int kFirstValue = 15;
    static constexpr int kTopValue = 255;
};

template <class Config>
struct T_HISTOGRAM {
    static constexpr int kBins = Config::kBins;
    static constexpr int kFirstValue = Config::kFirstValue;
    static constexpr int kTopValue = Config::kTopValue;
    static_assert(kBins > 1 && kFirstValue >= 0 && kTopValue >= kFirstValue + kBins - 1);

    // An all-zero record: every value maps to kFirstValue.
    T_HISTOGRAM() { Clear(); }

    void Clear() {
        for (uint32_t &bin : mSampleBin) bin = 0;
        mSampleCount = 0;
    }

    static int BinOf(int value) {
        const int bin = value - kFirstValue;
        return bin < 0 ? 0 : bin >= kBins ? kBins - 1 : bin;
    }

    // The equalised value of `value` by this record.
    int Equalised(int value) const {
        const uint32_t mapped = mSampleBin[BinOf(value)];
        constexpr uint32_t kLargest = uint32_t(kTopValue - kFirstValue);
        return int(mapped < kLargest ? mapped : kLargest) + kFirstValue;
    }

    // Makes the record the equalisation of a frame whose samples fell `counts` to a bin,
    // `count` samples in all. A count of 0 leaves the record as it is.
    void Equalise(const uint32_t (&counts)[kBins], uint32_t count) {
        if (count == 0) return;
        double cumulative = 0.0;
        for (int i = 0; i < kBins; ++i) {
            cumulative += double(counts[i]) / double(count);
            const double value = cumulative * double(kBins - 1) + 0.5;
            // Counts that add up to more than `count` cannot push a value past the range.
            mSampleBin[i] = value < double(UINT32_MAX) ? uint32_t(value) : UINT32_MAX;
        }
        mSampleCount = count;
    }

    uint32_t mSampleBin[kBins];
    uint32_t mSampleCount;
};

bool import_CLUT_BASE();
