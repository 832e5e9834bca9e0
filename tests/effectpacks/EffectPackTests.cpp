// The effect packs as the application receives them: each pack's bundle hands out its
// compositions in the order of effectpacks/CMakeLists.txt, every composition opens, is
// rewritten to publish the camera, draws a picture of its own from the test chart that
// changes with the amount, and still looks as its golden thumbnail (golden/<Name>.png;
// LUMORA_UPDATE_GOLDENS=1 writes them anew, see docs/EFFECTS.md).
#include <LumoraApp/QFXBundleProtocol.h>
#include <QFXBundle/QFXBundleObject.h>
#include <effectsheet/EffectRendering.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace effectsheet;

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string Stem(const std::string &fileName) { return fileName.substr(0, fileName.size() - 4); }

// A pack's bundle, loaded once for the test program and never unloaded (as the application
// does).
struct LoadedPack {
    void *handle = nullptr;
    std::unique_ptr<QFXBundleProtocol> object;
};

LoadedPack &Pack(const std::string &name) {
    static std::map<std::string, LoadedPack> packs;
    LoadedPack &pack = packs[name];
    if (pack.handle == nullptr) {
        const std::string executable = std::string(LUMORA_APP_PLUGINS) + "/" + name + ".qfxbundle/Contents/Linux/" + name;
        pack.handle = dlopen(executable.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (pack.handle == nullptr) {
            ADD_FAILURE() << executable << ": " << dlerror();
            return pack;
        }
        auto factory = reinterpret_cast<QFXBundleFactoryFunction>(dlsym(pack.handle, kBundleFactoryFn));
        if (factory == nullptr) {
            ADD_FAILURE() << name << " exports no " << kBundleFactoryFn;
            return pack;
        }
        pack.object.reset(factory());
    }
    return pack;
}

std::vector<std::string> PackNames() {
    std::vector<std::string> packs;
    for (const CatalogueEntry &e : Catalogue())
        if (packs.empty() || packs.back() != e.pack) packs.push_back(e.pack);
    return packs;
}

CIImageRef Camera() {
    static CIImageRef camera = [] {
        std::string error;
        CIImageRef image = LoadCameraImage(LUMORA_APP_RESOURCES "/cameraImage.png", &error);
        EXPECT_NE(image, nullptr) << error;
        return image;
    }();
    return camera;
}

// ---- The packs' bundles

TEST(EffectPacks, EachPackHasItsCountOfCompositionsInTheCatalogueOrder) {
    const std::map<std::string, int> counts = {{"L2Geometry", 9}, {"Mopsyart", 8}, {"L2Pixelate", 7},
                                               {"Telorama", 7},   {"L2Color", 6},  {"Warpzig", 5},
                                               {"Tintique", 4},   {"Tintella", 4}, {"L2Particles", 1}};
    for (const std::string &name : PackNames()) {
        LoadedPack &pack = Pack(name);
        ASSERT_NE(pack.object, nullptr) << name;
        QStringList expected;
        for (const CatalogueEntry &e : Catalogue())
            if (name == e.pack) expected.append(QString::fromUtf8(e.fileName));
        const QStringList names = pack.object->compositionFileNames();
        EXPECT_EQ(names, expected) << name;
        EXPECT_EQ(pack.object->compositionFileNames(), names) << name << ": the same list every call";
        ASSERT_TRUE(counts.count(name)) << name << " is not one of the nine packs";
        EXPECT_EQ(names.size(), counts.at(name)) << name;
    }
}

TEST(EffectPacks, L2GeometryListsItsNineCompositionsInItsOrder) {
    if (std::find(PackNames().begin(), PackNames().end(), "L2Geometry") == PackNames().end()) GTEST_FAIL() << "not built";
    const QStringList expected = {"L2DisplacementXScribbler.qtz", "L2PolarOptical.qtz", "L2PolarSurface.qtz",
                                  "L2PolarWarpScribbler.qtz", "L2RectangularAlphaScribbler.qtz",
                                  "L2PolarAlphaScribbler.qtz", "L2RectangularSqueezy.qtz", "L2PolarDonut.qtz",
                                  "L2PolarWarp.qtz"};
    EXPECT_EQ(Pack("L2Geometry").object->compositionFileNames(), expected);
}

TEST(EffectPacks, ExportsTheStoredCompositionsAndTheVersionUnderThePacksNames) {
    for (const std::string &name : PackNames()) {
        LoadedPack &pack = Pack(name);
        ASSERT_NE(pack.handle, nullptr);
        const auto *versionString = static_cast<const char *>(dlsym(pack.handle, (name + "VersionString").c_str()));
        const auto *versionNumber = static_cast<const double *>(dlsym(pack.handle, (name + "VersionNumber").c_str()));
        ASSERT_NE(versionString, nullptr) << name;
        ASSERT_NE(versionNumber, nullptr) << name;
        EXPECT_EQ(std::string(versionString).rfind(name + " ", 0), 0u) << versionString;
        EXPECT_GT(*versionNumber, 0.0) << name;
        for (const CatalogueEntry &e : Catalogue()) {
            if (name != e.pack) continue;
            const std::string file = ReadFile(e.builtPath);
            ASSERT_FALSE(file.empty()) << e.builtPath;
            // Stored with the halves of every byte exchanged.
            const auto *stored = static_cast<const unsigned char *>(dlsym(pack.handle, (Stem(e.fileName) + "_qtz").c_str()));
            ASSERT_NE(stored, nullptr) << e.fileName;
            size_t same = 0;
            for (size_t i = 0; i < file.size(); ++i) {
                const auto byte = static_cast<unsigned char>(file[i]);
                EXPECT_EQ(stored[i], static_cast<unsigned char>(byte << 4 | byte >> 4)) << e.fileName << " byte " << i;
                same += stored[i] == byte;
                if (::testing::Test::HasFailure()) return;
            }
            EXPECT_LT(same, file.size()) << e.fileName << " is not stored as it is";
            const QByteArray data = pack.object->compositionDataForCompositionFileName(QString::fromUtf8(e.fileName));
            EXPECT_EQ(data.toStdString(), file) << e.fileName << ": handed out as built";
        }
    }
}

TEST(EffectPacks, NamesThePackDoesNotHaveGiveEmptyData) {
    for (const std::string &name : PackNames()) {
        LoadedPack &pack = Pack(name);
        ASSERT_NE(pack.object, nullptr);
        const QString first = pack.object->compositionFileNames().value(0);
        const QStringList askedNames = {QString(), QString(""), first.toUpper(), first.toLower(),
                                        QString::fromStdString(Stem(first.toStdString())),
                                        QString(first).replace(".qtz", "_qtz"), first + " ", QString("nothing.qtz")};
        for (const QString &asked : askedNames) {
            const QByteArray data = pack.object->compositionDataForCompositionFileName(asked);
            EXPECT_FALSE(data.isNull()) << name << " " << asked.toStdString();
            EXPECT_TRUE(data.isEmpty()) << name << " " << asked.toStdString();
        }
    }
}

// ---- The pack source, built into this program with two test compositions

TEST(PackSource, HandsOutItsCompositionsUntransformedAndNothingForOtherNames) {
    std::unique_ptr<QFXBundleProtocol> pack(CopyQFXBundleObject());
    ASSERT_NE(pack, nullptr);
    EXPECT_EQ(pack->compositionFileNames(), QStringList({"Solid.qtz", "Plain.qtz"}));
    for (const char *name : {"Solid.qtz", "Plain.qtz"})
        EXPECT_EQ(pack->compositionDataForCompositionFileName(name).toStdString(),
                  ReadFile(std::string(QTZ_PROBE_BUILT) + "/" + name))
            << name;
    EXPECT_TRUE(pack->compositionDataForCompositionFileName("solid.qtz").isEmpty());
    EXPECT_TRUE(pack->compositionDataForCompositionFileName("Solid").isEmpty());
    // Two pack objects are independent and equal.
    std::unique_ptr<QFXBundleProtocol> second(CopyQFXBundleObject());
    EXPECT_EQ(second->compositionFileNames(), pack->compositionFileNames());
}

TEST(PackSource, FileNamesAndSymbolNamesConvertBothWays) {
    struct Case {
        const char *name, *fileName;
    } cases[] = {{"L2PolarWarp_qtz", "L2PolarWarp.qtz"}, {"", ""}, {"plain", "plain"}, {"a_qtz_qtz", "a.qtz.qtz"}};
    for (const Case &c : cases) {
        EXPECT_EQ(QFXBundleObjectQtzProbe::compositionFileNameWithName(c.name).toStdString(), c.fileName);
        EXPECT_EQ(QFXBundleObjectQtzProbe::compositionNameWithFileName(c.fileName).toStdString(), c.name);
    }
}

TEST(PackSource, TheDataTransformExchangesNibblesAndIsItsOwnInverse) {
    QByteArray bytes;
    for (int b = 0; b < 256; ++b) bytes.append(char(b));
    QByteArray copy = NSDataQtzProbe::dataWithNSData(bytes);
    ASSERT_EQ(copy, bytes);
    EXPECT_TRUE(NSDataQtzProbe::transformData(copy));
    for (int b = 0; b < 256; ++b) ASSERT_EQ(uint8_t(copy[b]), uint8_t((b << 4 | b >> 4) & 0xFF)) << b;
    EXPECT_EQ(NSDataQtzProbe::dataWithNSDatazerBytes(bytes.constData(), size_t(bytes.size())), copy);
    EXPECT_TRUE(NSDataQtzProbe::transform(copy));
    EXPECT_EQ(copy, bytes) << "twice gives the first bytes back";
    QByteArray empty("", 0);
    EXPECT_TRUE(NSDataQtzProbe::transformData(empty));
    EXPECT_TRUE(empty.isEmpty());
    const QByteArray none = NSDataQtzProbe::dataWithNSDataBytes(nullptr, 0);
    EXPECT_FALSE(none.isNull());
    EXPECT_TRUE(none.isEmpty());
}

// ---- Every composition

class EveryEffect : public ::testing::TestWithParam<CatalogueEntry> {};

double MeanDifference(const Picture &a, const Picture &b, int *largest) {
    double sum = 0;
    *largest = 0;
    for (size_t i = 0; i < a.rgba.size(); ++i) {
        const int d = std::abs(int(a.rgba[i]) - int(b.rgba[i]));
        sum += d;
        *largest = std::max(*largest, d);
    }
    return a.rgba.empty() ? 0 : sum / double(a.rgba.size());
}

double Spread(const Picture &p) {
    double sum = 0, squares = 0;
    const size_t n = p.rgba.size() / 4;
    for (size_t i = 0; i < n; ++i) {
        const double l = 0.299 * p.rgba[i * 4] + 0.587 * p.rgba[i * 4 + 1] + 0.114 * p.rgba[i * 4 + 2];
        sum += l;
        squares += l * l;
    }
    const double mean = sum / double(n);
    return std::sqrt(std::max(0.0, squares / double(n) - mean * mean));
}

TEST_P(EveryEffect, OpensPublishesTheCameraAndChangesThePictureWithTheAmount) {
    const CatalogueEntry &entry = GetParam();
    LoadedPack &pack = Pack(entry.pack);
    ASSERT_NE(pack.object, nullptr);
    const QByteArray data = pack.object->compositionDataForCompositionFileName(QString::fromUtf8(entry.fileName));
    ASSERT_FALSE(data.isEmpty());
    std::string error;
    auto renderer = EffectRenderer::Make(data.toStdString(), Camera(), &error);
    ASSERT_NE(renderer, nullptr) << error;
    const std::vector<std::string> inputs = renderer->composition()->inputKeys();
    EXPECT_NE(std::find(inputs.begin(), inputs.end(), "cameraImage"), inputs.end());
    EXPECT_NE(std::find(inputs.begin(), inputs.end(), "inputEffectAmount"), inputs.end());

    EffectSettings settings;
    settings.amount = 0;
    ASSERT_TRUE(renderer->render(settings, &error)) << error;
    const Picture none = renderer->read();
    settings.amount = 1;
    ASSERT_TRUE(renderer->render(settings, &error)) << error;
    const Picture full = renderer->read();
    ASSERT_EQ(full.width, 640);
    ASSERT_EQ(full.height, 480);
    EXPECT_GT(Spread(full), 10.0) << "a picture, not a plain colour";
    int largest = 0;
    const double mean = MeanDifference(none, full, &largest);
    EXPECT_GT(mean, 4.0) << "amount 0 and 1 look alike (largest difference " << largest << ")";
}

TEST_P(EveryEffect, ItsTimeSweepEndsWhereItBegan) {
    // The application runs "inputEffectTime" from 0 to 1 and starts again: the two ends give
    // the same picture, so the loop shows no jump.
    const CatalogueEntry &entry = GetParam();
    LoadedPack &pack = Pack(entry.pack);
    ASSERT_NE(pack.object, nullptr);
    std::string error;
    auto renderer = EffectRenderer::Make(
        pack.object->compositionDataForCompositionFileName(QString::fromUtf8(entry.fileName)).toStdString(), Camera(), &error);
    ASSERT_NE(renderer, nullptr) << error;
    Picture ends[2];
    for (int end = 0; end < 2; ++end) {
        EffectSettings settings;
        settings.amount = 0.75;
        settings.time = end;
        ASSERT_TRUE(renderer->render(settings, &error)) << error;
        ends[end] = renderer->read();
    }
    int largest = 0;
    const double mean = MeanDifference(ends[0], ends[1], &largest);
    EXPECT_LE(mean, 1.0) << "largest difference " << largest;
}

TEST_P(EveryEffect, LooksAsItsGoldenThumbnail) {
    const CatalogueEntry &entry = GetParam();
    LoadedPack &pack = Pack(entry.pack);
    ASSERT_NE(pack.object, nullptr);
    std::string error;
    auto renderer = EffectRenderer::Make(
        pack.object->compositionDataForCompositionFileName(QString::fromUtf8(entry.fileName)).toStdString(), Camera(), &error);
    ASSERT_NE(renderer, nullptr) << error;
    EffectSettings settings;
    settings.amount = 0.75;
    ASSERT_TRUE(renderer->render(settings, &error)) << error;
    const Picture thumbnail = Shrink(renderer->read(), 64, 48);
    ASSERT_FALSE(thumbnail.empty());

    const char *data = std::getenv("LUMORA_TEST_DATA");
    ASSERT_NE(data, nullptr);
    const std::string golden = std::string(data) + "/golden/" + Stem(entry.fileName) + ".png";
    const char *update = std::getenv("LUMORA_UPDATE_GOLDENS");
    if (update != nullptr && std::string(update) == "1") {
        std::filesystem::create_directories(std::string(data) + "/golden");
        ASSERT_TRUE(WritePNG(golden, thumbnail, &error)) << error;
        return;
    }
    const Picture expected = ReadPNG(golden, &error);
    ASSERT_FALSE(expected.empty()) << error << " (LUMORA_UPDATE_GOLDENS=1 writes it)";
    ASSERT_EQ(expected.width, 64);
    ASSERT_EQ(expected.height, 48);
    // PNG keeps unpremultiplied colour, so translucent pixels come back a little off; the
    // renderers of other machines differ in their last bits.
    int largest = 0;
    const double mean = MeanDifference(thumbnail, expected, &largest);
    EXPECT_LE(mean, 2.0) << golden << ": largest difference " << largest;
    EXPECT_LE(largest, 40) << golden << ": mean difference " << mean;
    if (::testing::Test::HasFailure()) {
        // What it looks like now, beside the test program, to compare by eye.
        const std::string actual = Stem(entry.fileName) + ".actual.png";
        if (WritePNG(actual, thumbnail, &error)) std::cerr << "this run's thumbnail: " << actual << "\n";
    }
}

std::string EffectName(const ::testing::TestParamInfo<CatalogueEntry> &info) { return Stem(info.param.fileName); }

INSTANTIATE_TEST_SUITE_P(Packs, EveryEffect, ::testing::ValuesIn(Catalogue()), EffectName);

}  // namespace
