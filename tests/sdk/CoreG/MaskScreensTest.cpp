// Mask screens: the waveform, the ramp table, the per-pixel screens byte by byte on small
// masks, and the drawn screens by their structure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <thread>
#include <vector>

#include <CoreG/Drawing/namespace_CoreGeometry_PerlinNoise.h>
#include <CoreG/Masks/namespace_CoreGraphics_MaskScreens.h>

#include "MaskTestSupport.h"

using namespace CoreGraphics;
using coreg_mask_test::Bytes;
using coreg_mask_test::Params;
using coreg_mask_test::SetBytes;

namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(Waveform, KindsZeroToSeven) {
    const struct {
        int kind;
        double theta, frequency, phase, amplitude, expected;
    } cases[] = {
        // square: amplitude for the first half turn, -amplitude for the second
        {0, 1.0, 1, 0, 0.5, 0.5},           {0, 4.0, 1, 0, 0.5, -0.5},        {0, 0.0, 1, 0, 1, 1},
        // sawtooth: 0 at the start of a turn, then from -amplitude up
        {1, 0.0, 1, 0, 1, 0},               {1, kPi / 2, 1, 0, 1, -0.5},      {1, 3 * kPi / 2, 1, 0, 2, 1},
        // triangle
        {2, 0.0, 1, 0, 1, -1},              {2, kPi / 2, 1, 0, 1, 0},         {2, kPi, 1, 0, 1.5, 1.5},
        {2, 3 * kPi / 2, 1, 0, 1, 0},
        {3, kPi / 2, 1, 0, 2, 2},           {3, 0.0, 2, kPi / 4, 1, 1},       // x = (theta + phase) x frequency
        {4, kPi, 1, 0, 1, -1},              {4, 0.0, 3, kPi / 3, 0.5, -0.5},
        {5, 3 * kPi / 2, 1, 0, 1, 1},       {5, kPi / 6, 1, 0, 1, 0.5},
        {6, kPi, 1, 0, 1, 1},               {6, kPi / 3, 1, 0, 2, 1},
        // any other kind
        {8, 1.0, 1, 0, 0.75, -0.75},        {-1, 1.0, 1, 0, 0.75, -0.75},
        // x not finite
        {3, std::nan(""), 1, 0, 1, 0},      {0, INFINITY, 1, 0, 1, 0},
    };
    for (const auto &c : cases)
        EXPECT_NEAR(Waveform(c.kind, c.theta, c.frequency, c.phase, c.amplitude), c.expected, 1e-12)
            << "kind " << c.kind << " at " << c.theta;

    // Kind 7: 4 x amplitude x the shared noise at acos(cos x) in degrees / 360, at the
    // octave of the frequency.
    const CoreGeometry::PerlinNoise &noise = CoreGeometry::PerlinNoise::Singleton();
    const struct {
        double theta, frequency;
        unsigned octave;
    } noisy[] = {{0.5, 1, 0}, {2.0, 5, 2}, {5.5, 300, 8}};
    for (const auto &c : noisy) {
        const double x = c.theta * c.frequency;
        const double degrees = std::acos(std::cos(x)) * 180 / kPi;
        const double expected = 4 * 0.5 * noise.Noise1FromNormalValue(float(degrees / 360), c.octave);
        EXPECT_DOUBLE_EQ(Waveform(7, c.theta, c.frequency, 0, 0.5), expected) << c.theta;
        EXPECT_NE(expected, 0);
    }
}

TEST(MaskScreen, RampTable) {
    const uint8_t *ramp = MaskScreenRampTable();
    for (int i = 0; i < 112; ++i) EXPECT_EQ(ramp[i], 0) << i;
    EXPECT_EQ(ramp[112], 15);
    EXPECT_EQ(ramp[113], 31);
    EXPECT_EQ(ramp[127], 255);
    for (int i = 128; i < 240; ++i) EXPECT_EQ(ramp[i], 255) << i;
    EXPECT_EQ(ramp[240], 240);
    EXPECT_EQ(ramp[241], 224);
    EXPECT_EQ(ramp[255], 0);
}

struct ScreenCase {
    const char *name;
    int type;
    MaskParams params;
    std::vector<uint8_t> bytes;  // memory order, row 0 at the top
};

// Values worked out independently from the formulas, on 8 x 6 masks.
TEST(MaskScreen, PerPixelScreensByteForByte) {
    const ScreenCase cases[] = {
        {"spiral, k 256", 3, Params(30, 0.9921875f, 0.25f, 0.75f),
         {191, 191, 191, 191, 191, 191, 191, 191, 191, 191, 191, 119, 0,   0,   0,   0,
          191, 191, 95,  0,   0,   0,   0,   0,   191, 191, 191, 0,   191, 191, 0,   0,
          191, 191, 191, 191, 191, 191, 96,  0,   144, 191, 191, 191, 191, 72,  0,   0}},
        {"spiral, k 16256", 3, Params(0, 0.5f, 0.5f, 1),
         {0,   255, 255, 128, 255, 255, 255, 255, 0,   255, 16,  0,   0,   0,   255, 0,
          0,   95,  0,   0,   255, 255, 255, 0,   255, 112, 0,   0,   255, 255, 255, 143,
          0,   255, 0,   0,   0,   255, 255, 160, 0,   255, 0,   255, 255, 255, 239, 0}},
        {"parabola", 4, Params(0, 0.75f, 0.5f, 1),
         {255, 255, 255, 255, 255, 255, 255, 255, 255, 0,   255, 255, 95,  255, 255, 0,
          0,   255, 255, 0,   0,   0,   255, 255, 255, 0,   255, 255, 0,   255, 255, 0,
          255, 255, 0,   0,   0,   0,   0,   255, 0,   159, 0,   255, 0,   255, 0,   159}},
        {"parabola at half strength", 4, Params(0, 0.25f, 0.125f, 0.5f),
         {127, 127, 127, 127, 127, 127, 127, 127, 127, 32,  0,   0,   127, 0,   0,   32,
          127, 63,  0,   0,   127, 0,   0,   63,  0,   96,  127, 127, 0,   127, 127, 96,
          0,   0,   127, 127, 0,   127, 127, 0,   111, 127, 0,   127, 127, 127, 0,   127}},
        {"radial f(t), sine", 12, Params(0, 0.5f, 0.5f, 0.5f),
         {207, 139, 79,  42,  31,  42,  79,  139, 161, 79,  21,  1,   0,   1,   21,  79,
          128, 42,  1,   15,  39,  15,  1,   42,  116, 31,  0,   39,  127, 39,  0,   31,
          128, 42,  1,   15,  39,  15,  1,   42,  161, 79,  21,  1,   0,   1,   21,  79}},
        {"radial f(t), triangle turned", 12, Params(90, 0.25f, 0.375f, 0.375f),
         {117, 164, 204, 214, 203, 214, 204, 164, 150, 204, 193, 156, 141, 156, 193, 204,
          172, 214, 156, 105, 79,  105, 156, 214, 179, 203, 141, 79,  46,  79,  141, 203,
          172, 214, 156, 105, 79,  105, 156, 214, 150, 204, 193, 156, 141, 156, 193, 204}},
        {"radial sin(t)", 13, Params(0, 0.5f, 0.5f, 0.5f),
         {119, 149, 0,   25,  33,  25,  0,   149, 234, 0,   127, 6,   0,   6,   127, 0,
          99,  25,  6,   149, 253, 149, 6,   25,  56,  33,  0,   253, 127, 253, 0,   33,
          99,  25,  6,   149, 253, 149, 6,   25,  234, 0,   127, 6,   0,   6,   127, 0}},
        {"radial sin(t) turned", 13, Params(90, 0.25f, 0.375f, 0.375f),
         {63,  222, 44,  209, 173, 209, 44,  222, 164, 44,  46,  201, 116, 201, 46,  44,
          188, 209, 201, 133, 212, 133, 201, 209, 151, 173, 116, 212, 46,  212, 116, 173,
          188, 209, 201, 133, 212, 133, 201, 209, 164, 44,  46,  201, 116, 201, 46,  44}},
        {"radial n^2", 14, Params(0, 0.5f, 0.5f, 0.5f),
         {40, 1,   6,   23,  30,  23,  6,   1,   7,  6,  39,  68,  79,  68,  39, 6,
          0,  23,  68,  103, 115, 103, 68,  23,  0,  30, 79,  115, 127, 115, 79, 30,
          0,  23,  68,  103, 115, 103, 68,  23,  7,  6,  39,  68,  79,  68,  39, 6}},
        {"radial n^2 turned", 14, Params(90, 0.25f, 0.375f, 0.375f),
         {211, 157, 118, 94, 87, 94, 118, 157, 172, 118, 79, 55, 48, 55, 79, 118,
          149, 94,  55,  32, 39, 32, 55,  94,  141, 87,  48, 39, 46, 39, 48, 87,
          149, 94,  55,  32, 39, 32, 55,  94,  172, 118, 79, 55, 48, 55, 79, 118}},
        // The centre (row 3, column 4) has x = y = 0: its angle is 0, like the rest of row 3.
        {"radial polar", 15, Params(0, 0.5f, 0.5f, 0.5f),
         {28,  15,  3,   1,   102, 51,  19,  5,   51,  35,  15,  0,   102, 33,  5,   0,
          85,  72,  51,  15,  102, 5,   1,   7,   127, 127, 127, 127, 127, 127, 127, 127,
          12,  7,   1,   5,   21,  15,  51,  72,  1,   0,   5,   33,  21,  0,   15,  35}},
        {"radial polar turned", 15, Params(90, 0.25f, 0.375f, 0.375f),
         {89,  105, 127, 157, 163, 199, 216, 194, 68,  82,  105, 141, 163, 215, 194, 172,
          44,  53,  68,  105, 163, 194, 158, 142, 46,  46,  46,  46,  46,  46,  46,  46,
          134, 142, 158, 194, 193, 105, 68,  53,  158, 172, 194, 215, 193, 141, 105, 82}},
    };
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(8, 6));
    for (const ScreenCase &c : cases) {
        coreg_mask_test::Fill(mask, 77);
        mask.MakeMaskScreen(c.type, &c.params);
        EXPECT_EQ(Bytes(mask), c.bytes) << c.name;
    }
}

// The spiral and radial screens take short cuts on large masks (an estimate of atan2 checked
// against the nearest ramp index, one evaluation per distinct pair of squared coordinates,
// bands of rows on several threads): every byte must still be the one the formula gives,
// here worked out pixel by pixel the plain way.
namespace formula {

double WrapDegrees(double v) {
    double d = std::fmod(v, 360.0);
    if (d < 0) d += 360.0;
    return d >= 360.0 ? 0 : d;
}

uint8_t ByteOf(double v) { return !(v > 0) ? 0 : v >= 255 ? 255 : uint8_t(v); }

uint8_t Spiral(const MaskParams &p, uint32_t width, uint32_t height, uint32_t c, uint32_t r) {
    const double p0 = p.Param[0], p1 = p.Param[1], p2 = p.Param[2];
    const double kRaw = (1 - p0) * 32512;
    const double k = kRaw <= 256 ? 256 : kRaw >= 32768 ? 32768 : double(int(kRaw));
    const double a = double(p.AngleDegrees[0]) * kPi / 180, stretch = 4 * p1 * p1 + 0.5;
    const double x = r / double(height) - 0.5, y = (c / double(width) - 0.5) * stretch;
    const double v = (std::atan2(y, x) + a) / kPi * 128 + std::sqrt(x * x + y * y) * k + 128;
    const uint8_t e = MaskScreenRampTable()[static_cast<int64_t>(v) & 0xFF];
    return e == 0 ? 0 : ByteOf(e * p2);
}

uint8_t Radial(int type, const MaskParams &p, uint32_t width, uint32_t height, uint32_t c, uint32_t r) {
    const double w = width, h = height, M = std::max(w, h);
    const double p0 = p.Param[0];
    const int kind = int(7 * double(p.Param[2]));
    const double frequency = 0.25 * h * (1 - p0) * (1 - p0) + 1;
    const double phase = double(p.AngleDegrees[0]) / 360 * 2 * kPi, amplitude = 2 * double(p.Param[1]);
    const double x = (c - (w - M) / 2) / M - 0.5, y = (r - (h - M) / 2) / M - 0.5;
    const double d = std::sqrt(x * x + y * y);
    const double t = type == 12   ? d / std::sqrt(2.0) * 360
                     : type == 13 ? std::sin(d / std::sqrt(2.0) * 360 * kPi / 180 + phase) * 360
                                  : d * d / std::sqrt(2.0) * 360;
    const double W = Waveform(kind, WrapDegrees(t) * kPi / 180, frequency, phase, amplitude);
    const double g = std::clamp((W + 1) / 2, 0.0, 1.0);
    return ByteOf((1 - g) * 255);
}

}  // namespace formula

TEST(MaskScreen, LargeSpiralAndRadialScreensAreTheirFormulasPixelByPixel) {
    const MaskParams paramSets[] = {MaskParams(), Params(30, 0.1f, 0.8f, 0.3f), Params(250, 0.95f, 0.2f, 1),
                                    Params(359, 0, 1, 0.6f), Params(90, 0.7f, 0.35f, 0.9f)};
    const struct {
        int width, height;
    } sizes[] = {{640, 480}, {333, 207}, {200, 300}};
    for (const auto &size : sizes) {
        MaskContext mask;
        ASSERT_TRUE(mask.Construct(size.width, size.height));
        const uint32_t w = mask.mImageWidth, h = mask.mImageHeight;
        for (const int type : {3, 12, 13, 14}) {
            for (const MaskParams &p : paramSets) {
                mask.MakeMaskScreen(type, &p);
                const std::vector<uint8_t> bytes = Bytes(mask);
                size_t wrong = 0, first = 0;
                for (uint32_t r = 0; r < h; ++r) {
                    for (uint32_t c = 0; c < w; ++c) {
                        const uint8_t expected =
                            type == 3 ? formula::Spiral(p, w, h, c, r) : formula::Radial(type, p, w, h, c, r);
                        if (bytes[r * w + c] != expected && wrong++ == 0) first = r * w + c;
                    }
                }
                EXPECT_EQ(wrong, 0u) << "type " << type << ", " << w << " x " << h << ", A "
                                     << float(p.AngleDegrees[0]) << ": first at byte " << first;
            }
        }
    }
}

// A mask taller than wide is centred across as well as down.
TEST(MaskScreen, RadialScreensAreCentredOnPortraitMasks) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(6, 8));
    const MaskParams params = Params(0, 0.5f, 0.5f, 0.5f);
    mask.MakeMaskScreen(12, &params);
    const std::vector<uint8_t> expected = {236, 197, 164, 151, 164, 197, 176, 109, 65, 51, 65, 109,
                                           109, 37,  5,   0,   5,   37,  65,  5,   9,  33, 9,  5,
                                           51,  0,   33,  127, 33,  0,   65,  5,   9,  33, 9,  5,
                                           109, 37,  5,   0,   5,   37,  176, 109, 65, 51, 65, 109};
    EXPECT_EQ(Bytes(mask), expected);
}

TEST(MaskScreen, NoiseFillUsesTheOctaveAndAmplitudeOfTheParameters) {
    const struct {
        float p0, p1;
        int octave;
    } cases[] = {{0.1f, 0.5f, 13}, {0.5f, 1, 64}, {0, 0.25f, 1}};
    for (const auto &c : cases) {
        MaskContext mask;
        BitmapContext reference;
        ASSERT_TRUE(mask.Construct(97, 41));
        ASSERT_TRUE(reference.Construct(97, 41, kBitmapType_Gray8));
        const MaskParams params = Params(0, c.p0, c.p1);
        mask.MakeMaskScreen(21, &params);
        reference.FillPerlinNoise(c.octave, c.p1);
        EXPECT_EQ(Bytes(mask), std::vector<uint8_t>(reference.mImageDataBytes,
                                                    reference.mImageDataBytes + reference.mImageDataSize))
            << c.p0;
    }
}

TEST(MaskScreen, LineScreens) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(320, 240));
    // step = trunc(P0^2 m + 1) + trunc(P1^2 m + 1) with m = max(w, h) / 4 = 80: 2 for P0 = P1
    // = 0, 162 for P0 = P1 = 1. Lines of grey P2 on transparent, one pixel wide.
    const struct {
        int type;
        float p;
        int step;
    } cases[] = {{16, 0, 2}, {16, 1, 162}, {17, 0, 2}, {17, 1, 162}, {18, 1, 162}};
    for (const auto &c : cases) {
        const MaskParams params = Params(0, c.p, c.p, 0.5f);
        mask.MakeMaskScreen(c.type, &params);
        mask.WillAccessPixels();  // drawn by Quartz, read here directly
        const uint8_t grey = 127;  // 0.5 in the mask
        // The painted columns and rows (a line fills its whole row or column).
        std::vector<int> rows, columns;
        for (uint32_t r = 0; r < 240; ++r) {
            int painted = 0;
            for (uint32_t x = 0; x < 320; ++x) painted += mask.mImageDataBytes[r * 320 + x] != 0;
            if (painted == 320) rows.push_back(int(r));
        }
        for (uint32_t x = 0; x < 320; ++x) {
            int painted = 0;
            for (uint32_t r = 0; r < 240; ++r) painted += mask.mImageDataBytes[r * 320 + x] != 0;
            if (painted == 240) columns.push_back(int(x));
        }
        const size_t expectedRows = c.type == 17 ? 0 : size_t((240 + c.step - 1) / c.step);
        const size_t expectedColumns = c.type == 16 ? 0 : size_t((320 + c.step - 1) / c.step);
        EXPECT_EQ(rows.size(), expectedRows) << c.type << " P " << c.p;
        EXPECT_EQ(columns.size(), expectedColumns) << c.type << " P " << c.p;
        for (size_t i = 1; i < rows.size(); ++i) EXPECT_EQ(rows[i] - rows[i - 1], c.step);
        for (size_t i = 1; i < columns.size(); ++i) EXPECT_EQ(columns[i] - columns[i - 1], c.step);
        for (uint8_t byte : Bytes(mask)) EXPECT_TRUE(byte == 0 || std::abs(byte - grey) <= 1) << int(byte);
    }
}

TEST(MaskScreen, LineFiltersAreOneGreyPerRowOrColumn) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(40, 30));
    const MaskParams params = Params(0, 0.5f, 0.5f, 0.5f);
    mask.MakeMaskScreen(10, &params);
    mask.WillAccessPixels();
    std::vector<uint8_t> levels;
    for (uint32_t r = 0; r < 30; ++r) {
        for (uint32_t x = 1; x < 40; ++x) EXPECT_EQ(mask.mImageDataBytes[r * 40 + x], mask.mImageDataBytes[r * 40]);
        levels.push_back(mask.mImageDataBytes[r * 40]);
    }
    EXPECT_GT(*std::max_element(levels.begin(), levels.end()) - *std::min_element(levels.begin(), levels.end()), 100);
    mask.MakeMaskScreen(11, &params);
    mask.WillAccessPixels();
    for (uint32_t r = 1; r < 30; ++r)
        for (uint32_t x = 0; x < 40; ++x) EXPECT_EQ(mask.mImageDataBytes[r * 40 + x], mask.mImageDataBytes[x]);
}

TEST(MaskScreen, PerlinBarsAreBandsOfOneGrey) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(64, 48));
    const MaskParams params = Params(0, 0.5f, 0.5f, 1);
    mask.MakeMaskScreen(7, &params);  // horizontal bands: every row is one grey
    mask.WillAccessPixels();
    bool varied = false;
    for (uint32_t r = 0; r < 48; ++r) {
        for (uint32_t x = 1; x < 64; ++x) EXPECT_EQ(mask.mImageDataBytes[r * 64 + x], mask.mImageDataBytes[r * 64]);
        varied = varied || mask.mImageDataBytes[r * 64] != mask.mImageDataBytes[0];
    }
    EXPECT_TRUE(varied);
    mask.MakeMaskScreen(8, &params);  // vertical bands: every column is one grey
    mask.WillAccessPixels();
    for (uint32_t r = 1; r < 48; ++r)
        for (uint32_t x = 0; x < 64; ++x) EXPECT_EQ(mask.mImageDataBytes[r * 64 + x], mask.mImageDataBytes[x]);
}

TEST(MaskScreen, RaysFanOutFromTheCentreOrACorner) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(120, 90));
    const MaskParams params = Params(0, 0.9f, 0.5f, 1);  // few wide rays, white at alpha 1
    for (const int type : {1, 2}) {
        mask.MakeMaskScreen(type, &params);
        const size_t white = coreg_mask_test::CountIf(mask, [](uint8_t b) { return b > 127; });
        const size_t clear = coreg_mask_test::CountIf(mask, [](uint8_t b) { return b <= 127; });
        EXPECT_EQ(white + clear, 120u * 90u);
        // Wedges and gaps of one angle step each: about half the area.
        EXPECT_NEAR(double(white) / (120 * 90), 0.5, 0.1) << type;
    }
    // Alpha 0 rays leave the mask transparent.
    const MaskParams invisible = Params(0, 0.9f, 0.5f, 0);
    mask.MakeMaskScreen(1, &invisible);
    EXPECT_EQ(Bytes(mask), std::vector<uint8_t>(120 * 90, 0));
}

TEST(MaskScreen, StartFillsAndTypesWithoutAPattern) {
    MaskContext mask;
    ASSERT_TRUE(mask.Construct(64, 48));
    std::vector<uint8_t> pattern;
    for (int i = 0; i < 64 * 48; ++i) pattern.push_back(uint8_t(i));
    SetBytes(mask, pattern);
    mask.MakeMaskScreen(22, nullptr);  // left as it is
    EXPECT_EQ(Bytes(mask), pattern);
    for (const int type : {0, 20, -1, 23, 1 << 30}) {
        SetBytes(mask, pattern);
        mask.MakeMaskScreen(type, nullptr);
        EXPECT_EQ(Bytes(mask), std::vector<uint8_t>(64 * 48, 0)) << type;
    }
    // Square blocks of grey P2 on opaque (cells of 6, gaps of 1): every byte is either.
    const MaskParams blocks = Params(0, 0.5f, 0.5f, 0);
    mask.MakeMaskScreen(19, &blocks);
    const size_t black = coreg_mask_test::CountIf(mask, [](uint8_t b) { return b == 0; });
    const size_t white = coreg_mask_test::CountIf(mask, [](uint8_t b) { return b == 255; });
    EXPECT_GT(black, 0u);
    EXPECT_GT(white, 0u);
    EXPECT_EQ(black + white, 64u * 48u);
    // The waveform plot: grey strokes over an opaque mask.
    mask.MakeMaskScreen(9, nullptr);
    EXPECT_GT(coreg_mask_test::CountIf(mask, [](uint8_t b) { return b < 255; }), 0u);
    EXPECT_GT(coreg_mask_test::CountIf(mask, [](uint8_t b) { return b == 255; }), 0u);
    EXPECT_TRUE(CGAffineTransformIsIdentity(CGContextGetCTM(mask.mContext)));
}

// Every type on masks down to one pixel, with parameters at both ends: no division by zero,
// nothing outside the bytes (ASan, UBSan), no float-to-integer conversion of a NaN.
TEST(MaskScreen, EveryTypeOnTinyMasks) {
    for (const auto &[width, height] : {std::pair{1, 1}, std::pair{2, 1}, std::pair{1, 5}, std::pair{5, 1}}) {
        MaskContext mask;
        ASSERT_TRUE(mask.Construct(width, height));
        for (int type = -1; type <= 23; ++type) {
            for (const MaskParams &params : {Params(0, 0, 0, 0, 0), Params(359.9f, 1, 1, 1, 1), MaskParams()}) {
                mask.MakeMaskScreen(type, &params);
            }
        }
    }
    // A one-pixel-high parabola writes its one row.
    MaskContext row;
    ASSERT_TRUE(row.Construct(9, 1));
    coreg_mask_test::Fill(row, 77);
    const MaskParams params = Params(0, 0.75f, 0.5f, 1);
    row.MakeMaskScreen(4, &params);
    EXPECT_EQ(Bytes(row), std::vector<uint8_t>(9, 255));  // y = 0: ramp[0] is 0
}

TEST(MaskScreen, ScreensOnSeveralThreadsAtOnce) {
    // Each thread paints its own masks; the results equal those painted alone.
    const int types[] = {3, 4, 12, 15, 5, 16};
    std::vector<std::vector<uint8_t>> alone;
    for (const int type : types) {
        MaskContext mask;
        EXPECT_TRUE(mask.Construct(64, 48));
        mask.MakeMaskScreen(type, nullptr);
        alone.push_back(Bytes(mask));
    }
    std::vector<std::thread> threads;
    std::vector<std::vector<uint8_t>> together(std::size(types));
    for (size_t i = 0; i < std::size(types); ++i) {
        threads.emplace_back([&, i] {
            MaskContext mask;
            if (!mask.Construct(64, 48)) return;
            mask.MakeMaskScreen(types[i], nullptr);
            together[i] = Bytes(mask);
        });
    }
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(together, alone);
}

}  // namespace
