// Retina image names, named images with their high-resolution variants, and the built-in
// pictures of the NeXT-look controls on a screen of one pixel a point.
#include <CocoaGraphics/NSImage_NSNextRetinaImage.h>
#include <CocoaGraphics/NSImage_RetinaDisplays.h>

#include "../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QScreen>

#include <optional>

namespace {

struct NameCase {
    const char *name;
    std::optional<double> scale;
    const char *expected;
};

TEST(RetinaDisplays, NameForScaleFactor) {
    const NameCase cases[] = {
        {"knob.png", 2.0, "knob@2x.png"},
        {"knob", 2.0, "knob@2x"},
        {"knob.png", 1.0, "knob@1x.png"},
        {"knob.png", 2.7, "knob@2x.png"},      // truncated
        {"knob.png", std::nullopt, "knob.png"},  // a screen without a scale factor
        {"dir.d/knob", 2.0, "dir.d/knob@2x"},  // a dot in a folder name is no extension
        {".hidden", 2.0, ".hidden@2x"},
        {"knob.", 2.0, "knob@2x"},             // an empty extension is not put back
        {"knob.tar.gz", 3.0, "knob.tar@3x.gz"},
        {"knob.png", 0.5, "knob.png"},         // no whole pixel a point
        {"", 2.0, "@2x"},
    };
    for (const NameCase &c : cases) {
        EXPECT_EQ(NSImage_RetinaDisplays::imageNamedForBackingScaleFactor(QString::fromUtf8(c.name), c.scale),
                  QString::fromUtf8(c.expected))
            << c.name;
    }
}

TEST(RetinaDisplays, NameForScreen) {
    riradi_test::Application();
    EXPECT_EQ(NSImage_RetinaDisplays::imageNamedForResolutionOfScreen("knob.png", nullptr), "knob.png");
    EXPECT_EQ(NSImage_RetinaDisplays::imageNamedForResolutionOfScreen("knob.png", QGuiApplication::primaryScreen()),
              "knob@1x.png");
}

// Pictures beside the test program: a program outside a bundle is its own main bundle, whose
// resources are its folder.
class RetinaResources : public ::testing::Test {
protected:
    void SetUp() override {
        riradi_test::Application();
        mFolder = QCoreApplication::applicationDirPath();
    }
    void TearDown() override {
        for (const QString &file : mWritten) QFile::remove(file);
    }
    void Write(const QString &name, int width, int height) {
        QImage picture(width, height, QImage::Format_ARGB32);
        picture.fill(Qt::red);
        const QString path = QDir(mFolder).filePath(name);
        ASSERT_TRUE(picture.save(path, "PNG"));
        mWritten.append(path);
    }
    QString mFolder;
    QStringList mWritten;
};

TEST_F(RetinaResources, VariantOrPlainImage) {
    Write("RetinaTestBoth.png", 10, 6);
    Write("RetinaTestBoth@1x.png", 12, 8);
    Write("RetinaTestPlain.png", 10, 6);
    QScreen *screen = QGuiApplication::primaryScreen();

    auto both = NSImage_RetinaDisplays::imageForScreenResolution(screen, "RetinaTestBoth.png");
    ASSERT_NE(both, nullptr);
    EXPECT_EQ(both->size().width, 12);  // the variant, at one pixel a point
    auto plain = NSImage_RetinaDisplays::imageForScreenResolution(screen, "RetinaTestPlain.png");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->size().width, 10);
    // Without an extension the usual ones are tried.
    auto bare = NSImage_RetinaDisplays::retinaImageNamed("RetinaTestPlain");
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(bare->size().height, 6);
    EXPECT_EQ(NSImage_RetinaDisplays::retinaImageNamed("RetinaTestMissing.png"), nullptr);
    EXPECT_EQ(NSImage_RetinaDisplays::retinaImageNamed("../RetinaTestPlain.png"), nullptr);
}

const char *const kBuiltInNames[] = {"NSNeXTOKButtonDown",      "NSNeXTSliderBarColor2X",  "NSNeXTOKButton",
                                     "NSNeXTSliderBarColor",    "NSNeXTSliderKnob",        "NSNeXTSliderKnobCapLeft",
                                     "NSNeXTSliderKnobCapRight", "NSNeXTSliderKnobLarge",  "NSNeXTSliderKnobThumb"};

TEST(NextRetinaImage, TableEntriesAreTIFFPictures) {
    riradi_test::Application();
    for (const char *name : kBuiltInNames) {
        const QByteArray data = NSImage_NSNextRetinaImage::nextImageDataNamed(name);
        ASSERT_FALSE(data.isEmpty()) << name;
        EXPECT_TRUE(data.startsWith("II*") || data.startsWith("MM")) << name;
        EXPECT_FALSE(QImage::fromData(data, "TIFF").isNull()) << name;
    }
    EXPECT_TRUE(NSImage_NSNextRetinaImage::nextImageDataNamed("NSNeXTNothing").isEmpty());
    EXPECT_TRUE(NSImage_NSNextRetinaImage::nextImageDataNamed("NSNeXTSliderKnob.tiff").isEmpty());
    EXPECT_EQ(NSImage_NSNextRetinaImage::nextImageNamed("NSNeXTNothing"), nullptr);
}

TEST(NextRetinaImage, OneToOneScreenGivesPlainImagesAtTheirSize) {
    riradi_test::Application();
    QScreen *screen = QGuiApplication::primaryScreen();
    auto bar = NSImage_NSNextRetinaImage::nextImageNamedLoadedForScreen("NSNeXTSliderBarColor", screen);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->size().width, 4);
    EXPECT_EQ(bar->representations().front()->pixelsWide(), 4);
    auto knob = NSImage_NSNextRetinaImage::nextImageNamedScaledForScreen("NSNeXTSliderKnob", screen);
    ASSERT_NE(knob, nullptr);
    EXPECT_EQ(knob->size().width, 16);
    EXPECT_EQ(NSImage_NSNextRetinaImage::nextImageNamedLoadedForScreen("NSNeXTNothing", screen), nullptr);
    EXPECT_FALSE(NSImage_NSNextRetinaImage::nextImageResizeForScreen(knob.get(), nullptr));
    EXPECT_FALSE(NSImage_NSNextRetinaImage::nextImageResizeToMatchImageSize(knob.get(), nullptr));
}

TEST(NextRetinaImage, SecondLookUpAnswersTheCachedImage) {
    riradi_test::Application();
    auto first = NSImage_NSNextRetinaImage::nextRetinaImageNamed("NSNeXTSliderKnobThumb");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(NSImage_NSNextRetinaImage::nextRetinaImageNamed("NSNeXTSliderKnobThumb"), first);
    EXPECT_EQ(NSImage_NSNextRetinaImage::nextRetinaImageNamed("NSNeXTNothing"), nullptr);
}

TEST(NextRetinaImage, KnobIsTheKnobGrey) {
    riradi_test::Application();
    const QImage knob = NSImage_NSNextRetinaImage::nextImageNamed("NSNeXTSliderKnob")->representations().front()->toQImage();
    const QColor face = knob.pixelColor(3, 3);
    EXPECT_NEAR(face.redF(), 0.667, 0.01);
    EXPECT_EQ(face.alpha(), 255);
    EXPECT_GT(knob.pixelColor(0, 1).red(), 240);               // lit left edge
    EXPECT_LT(knob.pixelColor(15, 8).red(), 100);               // shaded right edge
}

}  // namespace
