// 1-D filter values: sweeps of the setters and arithmetic, the wave generators, the letter and
// hexadecimal forms round trip, and hostile texts (huge counts, odd lengths, bad characters).
#include <CocoaGL/NSOGL1DFilterValues.h>

#include <CocoaFoundation/NSData_HexEncoding.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreGraphics/CGImage.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// The hexadecimal text of little-endian words.
QString Block(const std::vector<uint32_t> &words) {
    QByteArray bytes;
    for (uint32_t w : words)
        for (int b = 0; b < 4; ++b) bytes.append(char((w >> (8 * b)) & 0xff));
    return HexEncoding::hexEncodedString(bytes);
}

uint32_t Bits(float f) {
    uint32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}

std::vector<float> Samples(const NSOGL1DFilterValues &filter) {
    return std::vector<float>(filter.values(), filter.values() + filter.valuesCount());
}

TEST(NSOGL1DFilterValues, MakingAndReading) {
    ASSERT_TRUE(import_NSOGL1DFilterValues());
    NSOGL1DFilterValues flat(0.5f, 256);
    EXPECT_EQ(Samples(flat), std::vector<float>(256, 0.5f));
    EXPECT_EQ(flat.stringValues(), QString(256, QChar('0')));

    EXPECT_EQ(Samples(*NSOGL1DFilterValues::filterWithValue(1.7f, 3)), std::vector<float>(3, 1.0f));
    EXPECT_EQ(Samples(*NSOGL1DFilterValues::filterWithValue(NAN, 2)), std::vector<float>(2, 0.0f));
    EXPECT_EQ(Samples(*NSOGL1DFilterValues::filterWithInterpolatedFilterValues(nullptr, 4)),
              std::vector<float>(4, 0.5f));

    // Nearest sample, not a blend; 1.0 reads the last one.
    NSOGL1DFilterValues ramp(0.0f, 10);
    for (uint32_t i = 0; i < 10; ++i) ramp.setValue(float(i) / 10.0f, i);
    const struct { float t; float expected; } reads[] = {
        {1.0f, 0.9f}, {0.0f, 0.0f}, {-3.0f, 0.0f}, {0.04f, 0.0f}, {0.06f, 0.1f}, {0.5f, 0.5f}, {9.0f, 0.9f},
    };
    for (const auto &r : reads) EXPECT_FLOAT_EQ(ramp.interpolatedValueForNormalizedIndex(r.t), r.expected) << r.t;
    EXPECT_EQ(NSOGL1DFilterValues().interpolatedValueForNormalizedIndex(0.5f), 0.5f);

    // Resampling picks the nearest source samples.
    const auto half = NSOGL1DFilterValues::filterWithInterpolatedFilterValues(&ramp, 5);
    EXPECT_EQ(Samples(*half), (std::vector<float>{0.0f, 0.2f, 0.4f, 0.6f, 0.8f}));

    EXPECT_FLOAT_EQ(ramp.thetaWithValueIndex(5, 2.0f, 0.25f), 6.2831855f * 0.25f + 2.0f * 6.2831855f * 5 / 10);
}

TEST(NSOGL1DFilterValues, SettersAndArithmeticSweep) {
    NSOGL1DFilterValues filter(0.5f, 4);
    const struct { float value; uint32_t index; bool answer; float stored; } sets[] = {
        {0.5f, 0, false, 0.5f},  // the current value
        {1.7f, 0, true, 1.0f},   {1.9f, 0, false, 1.0f}, {-2.0f, 1, true, 0.0f},
        {0.25f, 3, true, 0.25f}, {0.3f, 4, false, 0.0f},  // outside
    };
    for (const auto &s : sets) {
        EXPECT_EQ(filter.setValue(s.value, s.index), s.answer) << s.value << " at " << s.index;
        if (s.index < 4) {
            EXPECT_EQ(filter.values()[s.index], s.stored);
        }
    }

    const struct { float start; float add; float multiply; float afterAdd; float afterMultiply; } ops[] = {
        {0.75f, 0.0f, 2.0f, 0.75f, 1.0f}, {0.25f, 0.0f, 2.0f, 0.25f, 0.0f}, {0.5f, 0.0625f, 1.5f, 0.5625f, 0.59375f},
        {0.9f, 0.5f, 1.0f, 1.0f, 1.0f},   {0.1f, -0.5f, 0.75f, 0.0f, 0.125f},
    };
    for (const auto &o : ops) {
        NSOGL1DFilterValues f(o.start, 3);
        f.operationAdditionAllValuesWithValue(o.add);
        EXPECT_FLOAT_EQ(f.values()[2], o.afterAdd) << o.start << " + " << o.add;
        f.operationMultiplyAllValuesWithValue(o.multiply);
        EXPECT_FLOAT_EQ(f.values()[2], o.afterMultiply) << o.start << " * " << o.multiply;
    }
    filter.setAllValuesToValue(3.0f);
    EXPECT_EQ(Samples(filter), std::vector<float>(4, 1.0f));
}

TEST(NSOGL1DFilterValues, WaveGenerators) {
    const uint32_t n = 64;
    const struct {
        const char *name;
        float frequency, phase;
        void (*run)(NSOGL1DFilterValues &);
        float (*expected)(float theta);
    } waves[] = {
        {"sin", 2.0f, 0.1f, [](NSOGL1DFilterValues &f) { f.setAllValuesToSinFn(0.4f, 2.0f, 0.1f); },
         [](float th) { return 0.4f * std::sin(th) + 0.5f; }},
        {"triangle", 2.0f, 0.1f, [](NSOGL1DFilterValues &f) { f.setAllValuesToTriangleFn(0.4f, 2.0f, 0.1f); },
         [](float th) { return 0.4f * (2.0f * std::acos(std::cos(th)) / float(M_PI) - 1.0f) + 0.5f; }},
        {"square", 2.0f, 0.1f, [](NSOGL1DFilterValues &f) { f.setAllValuesToSquareFn(0.4f, 2.0f, 0.1f); },
         [](float th) {
             const float d = std::fmod(th * 180.0f / float(M_PI), 360.0f);
             return d < 180.0f ? 0.9f : 0.1f;
         }},
        {"saw", 2.0f, 0.1f, [](NSOGL1DFilterValues &f) { f.setAllValuesToSawFn(0.4f, 2.0f, 0.1f); },
         [](float th) {
             const float d = std::fmod(th * 180.0f / float(M_PI), 360.0f);
             return 0.4f * (2.0f * d / 360.0f - 1.0f) + 0.5f;
         }},
        {"sin, large amplitude clamps", 1.0f, 0.0f, [](NSOGL1DFilterValues &f) { f.setAllValuesToSinFn(3.0f, 1.0f, 0.0f); },
         [](float th) { return std::clamp(3.0f * std::sin(th) + 0.5f, 0.0f, 1.0f); }},
    };
    for (const auto &w : waves) {
        NSOGL1DFilterValues f(0.5f, n);
        w.run(f);
        for (uint32_t i = 0; i < n; ++i) {
            const float th = f.thetaWithValueIndex(i, w.frequency, w.phase);
            // Values next to a square or saw step may fall on either side of it.
            const float d = std::fmod(th * 180.0f / float(M_PI), 360.0f);
            if (std::fabs(d - 180.0f) < 0.01f || std::fabs(d) < 0.01f || std::fabs(d - 360.0f) < 0.01f) continue;
            EXPECT_NEAR(f.values()[i], w.expected(th), 2e-4) << w.name << " sample " << i;
        }
    }

    // Saw: exactly 0 degrees gives the middle.
    NSOGL1DFilterValues saw(0.0f, 4);
    saw.setAllValuesToSawFn(0.5f, 1.0f, 0.0f);
    EXPECT_EQ(saw.values()[0], 0.5f);
    EXPECT_FLOAT_EQ(saw.values()[1], 0.5f * (2.0f * 0.25f - 1.0f) + 0.5f);

    // Perlin: flat at the lattice, stays in 0..1.
    NSOGL1DFilterValues perlin(0.0f, n);
    perlin.setAllValuesToPerlinFn(0.5f, 3.0f, 0.0f);
    EXPECT_EQ(perlin.values()[0], 0.5f);
    for (float v : Samples(perlin)) EXPECT_TRUE(v >= 0.0f && v <= 1.0f);

    // Random and noise: repeatable with a seed, different seeds differ, within their bands.
    NSOGL1DFilterValues a(0.0f, n), b(0.0f, n), c(0.0f, n);
    a.setRandomSeed(7);
    b.setRandomSeed(7);
    c.setRandomSeed(8);
    a.setAllValuesToNoiseFn(0.5f);
    b.setAllValuesToNoiseFn(0.5f);
    c.setAllValuesToNoiseFn(0.5f);
    EXPECT_EQ(Samples(a), Samples(b));
    EXPECT_NE(Samples(a), Samples(c));
    for (float v : Samples(a)) EXPECT_TRUE(v >= 0.25f && v < 0.75f) << v;
    a.setAllValuesToRandomFn(0.5f, 1.0f);
    b.setAllValuesToRandomFn(0.5f, 1.0f);
    EXPECT_EQ(Samples(a), Samples(b));
    for (uint32_t i = 0; i < n; ++i) {
        if (i < n / 2) EXPECT_TRUE(a.values()[i] >= 0.5f && a.values()[i] < 1.0f) << i;  // first half-turn up
        else EXPECT_TRUE(a.values()[i] > 0.0f && a.values()[i] <= 0.5f) << i;
    }
}

TEST(NSOGL1DFilterValues, LetterForm) {
    const struct { float value; char letter; } letters[] = {
        {0.0f, 'a'}, {0.25f, 'n'}, {0.5f, '0'}, {0.75f, 'M'}, {1.0f, 'Z'}, {-1.0f, 'a'}, {5.0f, 'Z'}, {NAN, 'a'},
    };
    for (const auto &l : letters) EXPECT_EQ(NSOGL1DFilterValues::letterForValue(l.value), QChar(l.letter)) << l.value;

    const struct { char16_t c; float value; } reads[] = {
        {u'a', 0.0f}, {u'0', 0.5f}, {u'Y', 51.0f / 52.0f}, {u'Z', 1.0f}, {u'#', 1.0f},
        {u'\u0161', 0.0f},  // low byte 0x61, as 'a'
        {u'\u00ff', 1.0f},
    };
    for (const auto &r : reads) EXPECT_EQ(NSOGL1DFilterValues::valueForLetter(QChar(r.c)), r.value) << int(r.c);

    NSOGL1DFilterValues five(0.0f, 5);
    const float values[] = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f};
    for (uint32_t i = 0; i < 5; ++i) five.setValue(values[i], i);
    EXPECT_EQ(five.stringValues(), QStringLiteral("an0MZ"));

    // Round trip of every letter.
    const QString alphabet = QString::fromLatin1(NSOGL1DFilterValues::kLetterAlphabet);
    NSOGL1DFilterValues all(0.5f, 53);
    all.setStringValues(alphabet);
    EXPECT_EQ(all.stringValues(), alphabet);

    // A short text changes only its positions; a NUL stops; null does nothing.
    NSOGL1DFilterValues filter(0.5f, 256);
    filter.setStringValues(QStringLiteral("aZ"));
    EXPECT_EQ(filter.values()[0], 0.0f);
    EXPECT_EQ(filter.values()[1], 1.0f);
    EXPECT_EQ(filter.values()[2], 0.5f);
    filter.setStringValues(QString::fromUtf16(u"Z\0a", 3));
    EXPECT_EQ(filter.values()[0], 1.0f);
    EXPECT_EQ(filter.values()[2], 0.5f);
    filter.setStringValues(QString());
    EXPECT_EQ(filter.valuesCount(), 256u);
}

TEST(NSOGL1DFilterValues, LongLetterTextsStopAtTheMaximum) {
    // Longer texts than the samples reset the filter, but never past 256 samples.
    const struct { qsizetype length; uint32_t before; uint32_t after; } cases[] = {
        {100, 64, 100}, {256, 256, 256}, {300, 256, 256}, {300, 4, 256}, {100000, 2, 256},
    };
    for (const auto &c : cases) {
        NSOGL1DFilterValues filter(0.0f, c.before);
        filter.setStringValues(QString(c.length, QChar('Z')));
        EXPECT_EQ(filter.valuesCount(), c.after) << c.length;
        EXPECT_EQ(Samples(filter), std::vector<float>(c.after, 1.0f)) << c.length;
    }
    NSOGL1DFilterValues filter(0.0f, 256);
    filter.setStringValues(QString(300, QChar('Z')));
    EXPECT_EQ(filter.stringValues(), QString(256, QChar('Z')));
}

TEST(NSOGL1DFilterValues, HexadecimalForm) {
    NSOGL1DFilterValues two(0.5f, 2);
    two.setValue(1.0f, 1);
    EXPECT_EQ(two.stringSampleValues(), QStringLiteral("0C000000020000000000003F0000803F00000000"));
    EXPECT_EQ(NSOGL1DFilterValues::valuesCountFromStringSampleValuesEncoding(two.stringSampleValues()), 2u);

    // Round trip through a fresh filter of any size; clamping on the way in.
    NSOGL1DFilterValues source(0.0f, 37);
    source.setAllValuesToSinFn(0.5f, 3.0f, 0.2f);
    for (uint32_t before : {0u, 5u, 37u}) {
        NSOGL1DFilterValues copy(0.25f, before);
        EXPECT_TRUE(copy.setStringSampleValues(source.stringSampleValues()));
        EXPECT_EQ(Samples(copy), Samples(source)) << before;
    }
    // A larger filter keeps its samples beyond n.
    NSOGL1DFilterValues larger(0.25f, 40);
    EXPECT_TRUE(larger.setStringSampleValues(two.stringSampleValues()));
    EXPECT_EQ(larger.valuesCount(), 40u);
    EXPECT_EQ(larger.values()[1], 1.0f);
    EXPECT_EQ(larger.values()[2], 0.25f);

    NSOGL1DFilterValues clamped(0.5f, 3);
    EXPECT_TRUE(clamped.setStringSampleValues(Block({12, 3, Bits(1.7f), Bits(-4.0f), Bits(NAN), 0})));
    EXPECT_EQ(Samples(clamped), (std::vector<float>{1.0f, 0.0f, 0.0f}));
    // The trailing word is optional for readers.
    EXPECT_TRUE(clamped.setStringSampleValues(Block({12, 1, Bits(0.5f)})));
}

TEST(NSOGL1DFilterValues, HostileHexadecimalTexts) {
    const struct {
        const char *what;
        QString text;
        uint32_t count;  // valuesCountFromStringSampleValuesEncoding
        bool read;
        uint32_t valuesAfter;  // of a 4-sample filter
    } cases[] = {
        {"bad marker", Block({11, 2, Bits(0.5f), Bits(1.0f), 0}), 0, false, 4},
        {"empty", QString(), 0, false, 4},
        {"odd length", Block({12, 1, Bits(0.0f), 0}) + QLatin1Char('0'), 0, false, 4},
        {"short block", Block({12, 3, Bits(0.0f), 0}), 3, false, 4},
        {"only marker", Block({12}), 0, false, 4},
        {"marker and count", Block({12, 0}), 0, true, 4},
        // 8 + 4 n wraps to 12 in 32 bits for these counts.
        {"count wrapping to one sample", Block({12, 0x40000001u, Bits(0.0f)}), 0x40000001u, false, 4},
        {"count wrapping to none", Block({12, 0xC0000000u, 0}), 0xC0000000u, false, 4},
        {"huge count", Block({12, 0xFFFFFFFFu, 0, 0}), 0xFFFFFFFFu, false, 4},
        {"bad characters read as 0", QStringLiteral("0C00000001xx0000000000000000zz00"), 1, true, 4},
        {"more than the maximum", [] {
             std::vector<uint32_t> w{12, 300};
             for (int i = 0; i < 300; ++i) w.push_back(Bits(0.0f));
             return Block(w);
         }(),
         300, true, 256},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(NSOGL1DFilterValues::valuesCountFromStringSampleValuesEncoding(c.text), c.count) << c.what;
        NSOGL1DFilterValues filter(0.5f, 4);
        EXPECT_EQ(filter.setStringSampleValues(c.text), c.read) << c.what;
        EXPECT_EQ(filter.valuesCount(), c.valuesAfter) << c.what;
        if (!c.read) {
            EXPECT_EQ(Samples(filter), std::vector<float>(4, 0.5f)) << c.what;
        }
    }
}

TEST(NSOGL1DFilterValues, GreyImages) {
    NSOGL1DFilterValues filter(0.0f, 4);
    const float values[] = {0.0f, 0.5f, 0.999f, 1.0f};
    for (uint32_t i = 0; i < 4; ++i) filter.setValue(values[i], i);
    uint8_t bytes[4];
    filter.setPixelData(bytes, false);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4), (std::vector<uint8_t>{0, 127, 254, 255}));
    filter.setPixelData(bytes, true);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4), (std::vector<uint8_t>{255, 254, 127, 0}));

    const struct { CGImageRef image; size_t width, height; } images[] = {
        {filter.createTextureImage1DHorizontal(), 4, 1}, {filter.createTextureImage1DVertical(), 1, 4},
    };
    for (const auto &i : images) {
        ASSERT_NE(i.image, nullptr);
        EXPECT_EQ(CGImageGetWidth(i.image), i.width);
        EXPECT_EQ(CGImageGetHeight(i.image), i.height);
        EXPECT_EQ(CGImageGetBitsPerPixel(i.image), 8u);
        CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(i.image));
        ASSERT_EQ(CFDataGetLength(data), 4);
        EXPECT_EQ(CFDataGetBytePtr(data)[0], 255);
        CFRelease(data);
        CGImageRelease(i.image);
    }
    EXPECT_EQ(NSOGL1DFilterValues().createTextureImage1DHorizontal(), nullptr);
    EXPECT_EQ(NSOGL1DFilterValues().createTextureImage1DVertical(), nullptr);
}

}  // namespace
