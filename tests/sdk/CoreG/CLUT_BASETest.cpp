// The luma table of the image adjustments and the equalisation record.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include <CoreG/Frames422/CLUT_BASE.h>

namespace {

typedef CLUT_BASE<unsigned short, 255> LumaTable;
typedef T_HISTOGRAM<config_video_luma_u16_histogram> LumaHistogram;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

TEST(CLUT_BASE, StartsAsTheIdentity) {
    const LumaTable table;
    for (int i = 0; i < 256; ++i) ASSERT_EQ(table.mTable[i], i);
    EXPECT_EQ(table.mBlackLevel, 0);
    EXPECT_EQ(table.mWhiteLevel, 255);
    EXPECT_FLOAT_EQ(table.mBlackWhiteStretch, 1.0039216f);
}

TEST(CLUT_BASE, NeutralSettingsGiveTheIdentity) {
    LumaTable table;
    table.MakeAdjusted(0.75f, 0.25f, 0.75f, 0.0f, 0.5f);
    table.MakeAdjusted(0.5f, 0.5f, 0.5f, 0.5f, 1.0f);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(table.mTable[i], i) << i;
    table.MakeAdjusted(0.75f, 0.25f, 0.75f, 0.0f, 0.5f);
    table.MakeIdentity();
    for (int i = 0; i < 256; ++i) ASSERT_EQ(table.mTable[i], i) << i;
}

TEST(CLUT_BASE, AdjustedEntries) {
    const std::vector<int> probes = {0, 1, 16, 64, 100, 128, 200, 254, 255};
    const struct {
        const char *name;
        float brightness, contrast, gamma, black, white;
        int blackLevel, whiteLevel;
        std::vector<int> entries;  // at the probes
    } cases[] = {
        {"brighter", 0.75f, 0.5f, 0.5f, 0.5f, 1.0f, 0, 255, {0, 1, 24, 96, 150, 192, 255, 255, 255}},
        {"more contrast", 0.5f, 1.0f, 0.5f, 0.5f, 1.0f, 0, 255, {0, 0, 0, 0, 72, 129, 255, 255, 255}},
        {"gamma", 0.5f, 0.5f, 0.25f, 0.5f, 1.0f, 0, 255, {0, 0, 1, 16, 39, 64, 157, 253, 255}},
        // Contrast takes the low values below 0 before the gamma step: they end at 0.
        {"contrast and gamma", 0.5f, 1.0f, 0.25f, 0.5f, 1.0f, 0, 255, {0, 0, 0, 0, 20, 65, 255, 255, 255}},
        // Gamma 0 is taken as 0.01 (exponent 100).
        {"gamma 0", 0.5f, 0.5f, 0.0f, 0.5f, 1.0f, 0, 255, {0, 0, 0, 0, 0, 0, 0, 172, 255}},
        {"gamma NaN", 0.5f, 0.5f, kNaN, 0.5f, 1.0f, 0, 255, {0, 0, 0, 0, 0, 0, 0, 172, 255}},
        {"levels", 0.5f, 0.5f, 0.5f, 0.25f, 0.75f, -32, 183, {38, 39, 57, 114, 157, 190, 255, 255, 255}},
        {"black lifted", 0.5f, 0.5f, 0.5f, 0.0f, 0.5f, -64, 95, {103, 104, 128, 206, 255, 255, 255, 255, 255}},
        // The white level never comes below black + 1.
        {"white below black", 0.5f, 0.5f, 0.5f, 1.0f, 0.0f, 64, 65, {0, 0, 0, 0, 255, 255, 255, 255, 255}},
        {"settings beyond 0..1", 0.5f, 0.5f, 0.5f, 3.0f, -2.0f, 64, 65, {0, 0, 0, 0, 255, 255, 255, 255, 255}},
    };
    for (const auto &c : cases) {
        LumaTable table;
        table.MakeAdjusted(c.brightness, c.contrast, c.gamma, c.black, c.white);
        EXPECT_EQ(table.mBlackLevel, c.blackLevel) << c.name;
        EXPECT_EQ(table.mWhiteLevel, c.whiteLevel) << c.name;
        EXPECT_FLOAT_EQ(table.mBlackWhiteStretch, 256.0f / float(c.whiteLevel - c.blackLevel)) << c.name;
        for (size_t k = 0; k < probes.size(); ++k)
            EXPECT_EQ(table.mTable[probes[k]], c.entries[k]) << c.name << ", entry " << probes[k];
        for (int i = 0; i < 256; ++i) ASSERT_LE(table.mTable[i], 255) << c.name;
    }
}

TEST(T_HISTOGRAM, BinsAndEqualisedValues) {
    LumaHistogram record;
    EXPECT_EQ(LumaHistogram::BinOf(0), 0);
    EXPECT_EQ(LumaHistogram::BinOf(15), 0);
    EXPECT_EQ(LumaHistogram::BinOf(16), 1);
    EXPECT_EQ(LumaHistogram::BinOf(255), 240);
    EXPECT_EQ(LumaHistogram::BinOf(300), 240);
    EXPECT_EQ(record.Equalised(100), 15);
    record.mSampleBin[85] = 100;
    EXPECT_EQ(record.Equalised(100), 115);
    // Values beyond the range are limited to 255.
    record.mSampleBin[85] = 0xFFFFFFFF;
    EXPECT_EQ(record.Equalised(100), 255);
}

TEST(T_HISTOGRAM, Equalise) {
    LumaHistogram record;
    uint32_t counts[LumaHistogram::kBins] = {};
    counts[0] = 1;
    counts[100] = 2;
    counts[240] = 1;
    record.Equalise(counts, 4);
    EXPECT_EQ(record.mSampleCount, 4u);
    EXPECT_EQ(record.mSampleBin[0], 60u);     // 0.25 x 240
    EXPECT_EQ(record.mSampleBin[99], 60u);
    EXPECT_EQ(record.mSampleBin[100], 180u);  // 0.75 x 240
    EXPECT_EQ(record.mSampleBin[240], 240u);

    // No samples: the record stays.
    const uint32_t none[LumaHistogram::kBins] = {};
    record.Equalise(none, 0);
    EXPECT_EQ(record.mSampleCount, 4u);
    EXPECT_EQ(record.mSampleBin[100], 180u);
}

}  // namespace
