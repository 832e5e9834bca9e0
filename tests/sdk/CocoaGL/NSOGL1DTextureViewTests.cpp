// The 1-D filter editor on the offscreen platform: quantization, scribbling, loading the text
// forms (bad ones change nothing), the summary, deferred function changes, presets kept in
// the user defaults across a restart, and numbered PDF snapshots.
#include <CocoaGL/NSOGL1DTextureView.h>

#include <CocoaFoundation/NSData_HexEncoding.h>
#include <Foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <functional>
#include <cstring>
#include <vector>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

std::vector<float> Samples(const NSOGL1DTextureView &view) {
    const auto f = view.filter();
    return std::vector<float>(f->values(), f->values() + f->valuesCount());
}

QString Block(uint32_t marker, uint32_t count, uint32_t floats, float value) {
    QByteArray bytes;
    auto word = [&](uint32_t w) {
        for (int b = 0; b < 4; ++b) bytes.append(char((w >> (8 * b)) & 0xff));
    };
    word(marker);
    word(count);
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    for (uint32_t i = 0; i < floats; ++i) word(bits);
    word(0);
    return HexEncoding::hexEncodedString(bytes);
}

struct Editor : riradi_test::WithApplication, ::testing::Test {
    Editor() {
        EXPECT_TRUE(import_NSOGL1DTextureView());
        nibbler.resize(512, 100);  // horizontal
    }
    NSOGLTexture1DViewNibbler nibbler;
    NSOGL1DTextureView &view = *nibbler.textureView();
    NSOGL1DTextureViewController &controller = *nibbler.textureViewController();
};

TEST_F(Editor, Quantization) {
    EXPECT_EQ(view.quantizationAmount(), 8u);
    EXPECT_EQ(Samples(view), std::vector<float>(256, 0.5f));
    const struct { unsigned set; unsigned q; uint32_t count; } cases[] = {
        {12, 8, 256}, {0, 1, 2}, {6, 6, 64}, {8, 8, 256},
    };
    for (const auto &c : cases) {
        view.setQuantizationAmount(c.set);
        EXPECT_EQ(view.quantizationAmount(), c.q) << c.set;
        EXPECT_EQ(view.filter()->valuesCount(), c.count) << c.set;
    }
    const struct { uint32_t n; unsigned q; } counts[] = {{0, 0}, {1, 0}, {2, 1}, {100, 6}, {256, 8}, {100000, 8}};
    for (const auto &c : counts) EXPECT_EQ(NSOGL1DTextureView::quantizationAmountForValuesCount(c.n), c.q) << c.n;
}

TEST_F(Editor, ScribbleDrawsALineFromTheLastPoint) {
    const double n = 256;
    view.updateTrackingNormal(QPointF(10 / n, 0.2), NSOGL1DTextureView::kButtonDown);
    view.updateTrackingNormal(QPointF(20 / n, 0.7), NSOGL1DTextureView::kButtonDragged);
    const auto s = Samples(view);
    for (int i = 10; i < 20; ++i) EXPECT_NEAR(s[size_t(i)], 0.2 + 0.05 * (i - 10), 1e-5) << i;
    EXPECT_FLOAT_EQ(s[20], 0.7f);
    EXPECT_EQ(s[9], 0.5f);
    EXPECT_EQ(s[21], 0.5f);
    EXPECT_TRUE(controller.saveFilterSampleValues());  // a hand edit
    EXPECT_TRUE(view.filterChanged());

    // Button up forgets the point: the next press does not join the lines.
    view.updateTrackingNormal(QPointF(20 / n, 0.7), NSOGL1DTextureView::kButtonUp);
    view.updateTrackingNormal(QPointF(40 / n, 0.1), NSOGL1DTextureView::kButtonDown);
    EXPECT_EQ(Samples(view)[30], 0.5f);
    view.updateTrackingNormal(QPointF(40 / n, 0.1), NSOGL1DTextureView::kButtonUp);
    // The synthesized entry: from the last sample to index n (refused by the filter) and past it.
    controller.synthesizedMousePointNormal(QPointF(255 / n, 0.9));
    controller.synthesizedMousePointNormal(QPointF(1.0, 0.3));
    controller.synthesizedMousePointNormal(QPointF(5.0, -2.0));
    EXPECT_FLOAT_EQ(Samples(view)[255], 0.9f);
    EXPECT_EQ(view.filter()->valuesCount(), 256u);
}

TEST_F(Editor, MouseScribblesInGraphCoordinates) {
    // 512 x 100: 2 pixels a sample; the half-cell shift puts a click in a cell on its sample,
    // and a value of 1 is the top.
    nibbler.show();
    view.resize(512, 100);
    QTest::mousePress(&view, Qt::LeftButton, {}, QPoint(2 * 10 + 1, 80));  // sample 10, value 0.2
    QTest::mouseMove(&view, QPoint(2 * 20 + 1, 30));                       // sample 20, value 0.7
    QTest::mouseRelease(&view, Qt::LeftButton, {}, QPoint(2 * 20 + 1, 30));
    const auto s = Samples(view);
    for (int i = 10; i < 20; ++i) EXPECT_NEAR(s[size_t(i)], 0.2 + 0.05 * (i - 10), 1e-5) << i;
    EXPECT_NEAR(s[20], 0.7, 1e-5);
    EXPECT_EQ(s[9], 0.5f);
    EXPECT_FALSE(view.isMouseTracking());
    // Moves without a press draw nothing.
    QTest::mouseMove(&view, QPoint(2 * 40 + 1, 10));
    EXPECT_EQ(Samples(view)[40], 0.5f);

    // Taller than wide: vertical, the index along y from the bottom.
    view.resize(100, 512);
    EXPECT_TRUE(view.isVertical());
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(90, 512 - (2 * 5 + 1)));
    EXPECT_NEAR(Samples(view)[5], 0.9, 1e-5);
}

TEST_F(Editor, LoadingTextForms) {
    controller.setFilterSampleValues(Block(12, 64, 64, 0.25f));
    EXPECT_EQ(view.quantizationAmount(), 6u);
    EXPECT_EQ(Samples(view), std::vector<float>(64, 0.25f));
    EXPECT_TRUE(controller.saveFilterSampleValues());

    // Bad forms are refused before the quantization changes.
    controller.setSaveFilterSampleValues(false);
    const QString bad[] = {
        Block(11, 64, 64, 0.75f),          // marker
        Block(12, 128, 3, 0.75f),          // short block
        Block(12, 0x40000001u, 0, 0.75f),  // count wrapping in 32 bits
        Block(12, 0, 0, 0.75f),            // no samples
        QStringLiteral("0C0"),             // odd length
    };
    for (const QString &text : bad) {
        controller.setFilterSampleValues(text);
        EXPECT_EQ(view.quantizationAmount(), 6u) << text.left(24).toStdString();
        EXPECT_EQ(Samples(view), std::vector<float>(64, 0.25f)) << text.left(24).toStdString();
        EXPECT_FALSE(controller.saveFilterSampleValues());
    }
    controller.setFilterValues(QString());
    EXPECT_EQ(view.quantizationAmount(), 6u);

    // Letters: the quantization from the length, never more than 256 samples.
    controller.setFilterValues(QString(300, QChar('Z')));
    EXPECT_EQ(view.quantizationAmount(), 8u);
    EXPECT_EQ(Samples(view), std::vector<float>(256, 1.0f));
    controller.setFilterValues(QStringLiteral("an0MZ#aa"));
    EXPECT_EQ(view.quantizationAmount(), 3u);
    EXPECT_EQ(controller.filterValues(), QStringLiteral("an0MZZaa"));
}

TEST_F(Editor, FunctionsAndSummary) {
    EXPECT_EQ(controller.localizedSummary(), QStringLiteral("0.50 * (0.50*x+0.00)"));
    EXPECT_EQ(controller.localizedTitle(), QStringLiteral("f(x) = (x)"));
    controller.setFnFrequencyFine(0.7f);
    EXPECT_FLOAT_EQ(controller.fnFrequency(), 0.51f);
    controller.setFnFrequency(0.5f);
    EXPECT_FLOAT_EQ(controller.fnFrequencyFine(), 0.5f);
    EXPECT_FLOAT_EQ(controller.functionFrequency(), 0.125f * 62.83185307179586f);

    // The function change runs later, on the main thread.
    controller.setSelectedFn(2);
    EXPECT_EQ(Samples(view), std::vector<float>(256, 0.5f));
    QCoreApplication::processEvents();
    NSOGL1DFilterValues expected(0.5f, 256);
    expected.setAllValuesToSinFn(0.5f, controller.functionFrequency(), 0.0f);
    EXPECT_EQ(Samples(view), std::vector<float>(expected.values(), expected.values() + 256));
    EXPECT_EQ(controller.localizedSummary(), QStringLiteral("0.50 * sin(0.50*x+0.00)"));

    NSOGL1DTextureViewController *c = &controller;
    const struct { std::function<void()> action; float from; float to; } actions[] = {
        {[c] { c->actionIncreaseFilterValues(); }, 0.5f, 0.5625f},
        {[c] { c->actionDecreaseFilterValues(); }, 0.5f, 0.4375f},
        {[c] { c->actionMultiplyFilterValues(); }, 0.75f, 0.875f},
        {[c] { c->actionDivideFilterValues(); }, 0.75f, 0.6875f},
        {[c] { c->actionNormalizeValues(); }, 0.75f, 0.5f},
    };
    for (const auto &a : actions) {
        view.filter()->setAllValuesToValue(a.from);
        a.action();
        EXPECT_FLOAT_EQ(view.filter()->values()[7], a.to);
    }
}

TEST_F(Editor, PresetsSurviveARestart) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    const QByteArray previous = qgetenv("XDG_CONFIG_HOME");
    ::setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    const QString id = QStringLiteral("org.lumora.filter1d-presets");

    // Function presets carry no samples; sample presets carry both forms.
    nibbler.setTypeStringValue(QStringLiteral("2"));
    nibbler.setAmplitudeStringValue(QStringLiteral("0.4"));
    nibbler.setFrequencyStringValue(QStringLiteral("0.3"));
    nibbler.setPhaseStringValue(QStringLiteral("0.1"));
    QCoreApplication::processEvents();
    const auto functionPreset =
        NSUIKeyPathPreset::presetWithSource(&nibbler, &NSOGL1DFilterKeyPathPreset::staticMetaObject);
    ASSERT_NE(functionPreset, nullptr);
    EXPECT_EQ(functionPreset->presetName(), QStringLiteral("0.40 * sin(0.30*x+0.10)"));
    EXPECT_FALSE(functionPreset->keyPathValues().value(QStringLiteral("filterStringValue")).toBool());
    const auto functionSamples = Samples(view);

    view.setQuantizationAmount(5);
    controller.synthesizedMousePointNormal(QPointF(3 / 32.0, 0.9));
    const auto samplePreset = NSUIKeyPathPreset::presetWithSource(&nibbler, &NSOGL1DFilterKeyPathPreset::staticMetaObject);
    const auto handSamples = Samples(view);
    {
        NSUserDefaults defaults(id);
        defaults.setObject(functionPreset->keyPathValues(), QStringLiteral("function"));
        defaults.setObject(samplePreset->keyPathValues(), QStringLiteral("samples"));
        ASSERT_TRUE(defaults.synchronize());
    }

    NSUserDefaults reread(id);  // read from the file
    const struct { const char *key; std::vector<float> expected; unsigned q; } restored[] = {
        {"function", functionSamples, 8},
        {"samples", handSamples, 5},
    };
    for (const auto &r : restored) {
        NSOGLTexture1DViewNibbler fresh;
        fresh.resize(512, 100);
        NSOGL1DFilterKeyPathPreset preset;
        preset.setKeyPathValues(reread.dictionaryForKey(QString::fromLatin1(r.key)));
        ASSERT_FALSE(preset.keyPathValues().isEmpty()) << r.key;
        preset.applyPresetToSource(&fresh);
        QCoreApplication::processEvents();
        EXPECT_EQ(fresh.textureView()->quantizationAmount(), r.q) << r.key;
        EXPECT_EQ(Samples(*fresh.textureView()), r.expected) << r.key;
        EXPECT_EQ(fresh.typeStringValue(), QStringLiteral("2")) << r.key;
        EXPECT_EQ(fresh.amplitudeStringValue(), QStringLiteral("0.400000")) << r.key;
    }
    if (previous.isNull()) ::unsetenv("XDG_CONFIG_HOME");
    else ::setenv("XDG_CONFIG_HOME", previous.constData(), 1);
}

TEST_F(Editor, SnapshotsTakeTheFirstFreeNumbers) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(QDir(home.path()).mkdir(QStringLiteral("Desktop")));
    const QByteArray previous = qgetenv("HOME");
    ::setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    const QString desktop = home.path() + QStringLiteral("/Desktop/");
    {
        QFile earlier(desktop + QStringLiteral("Texture1D 01.pdf"));  // an earlier run's file
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
    }
    controller.actionPDFSnapshot(nullptr);
    // Edits right after the snapshot began do not reach it: its samples were copied.
    for (int k = 0; k < 200; ++k) view.filter()->setAllValuesToValue(float(k % 2));
    controller.actionPDFSnapshot(nullptr);
    NSOGL1DTextureViewController::waitForPDFSnapshots();

    QFile earlier(desktop + QStringLiteral("Texture1D 01.pdf"));
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("earlier"));
    for (const char *name : {"Texture1D 02.pdf", "Texture1D 03.pdf"}) {
        QFile pdf(desktop + QString::fromLatin1(name));
        ASSERT_TRUE(pdf.open(QIODevice::ReadOnly)) << name;
        EXPECT_TRUE(pdf.read(5) == "%PDF-") << name;
    }
    EXPECT_FALSE(QFile::exists(desktop + QStringLiteral("Texture1D 00.pdf")));
    ::setenv("HOME", previous.constData(), 1);
}

}  // namespace
