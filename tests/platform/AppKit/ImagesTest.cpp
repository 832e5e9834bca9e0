// AppKit images on Qt: describing bitmaps, converting to and from QImage, image sizes, and
// the image view's property.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <AppKit/NSImageView.h>
#include <Foundation/NSObject.h>

namespace {

using Bytes = std::vector<uint8_t>;

QApplication *Application() {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "AppKitTests";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return application;
}

TEST(NSBitmapImageRep, DescriptionsAreCheckedAndCompleted) {
    auto rgba = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, 3, 2, 8, 4, true, false, NSDeviceRGBColorSpace,
                                                           NSBitmapFormat(0), 0, 0);
    ASSERT_TRUE(rgba);
    EXPECT_EQ(rgba->bitsPerPixel(), 32);
    EXPECT_EQ(rgba->bytesPerRow(), 12);
    EXPECT_EQ(rgba->dataSize(), 24u);
    EXPECT_EQ(Bytes(rgba->bitmapData(), rgba->bitmapData() + 24), Bytes(24, 0));
    EXPECT_TRUE(NSEqualSizes(rgba->size(), NSMakeSize(3, 2)));

    unsigned char outside[16] = {};
    auto borrowed = NSBitmapImageRep::initWithBitmapDataPlanes(outside, 2, 2, 8, 3, false, false,
                                                               NSDeviceRGBColorSpace, NSBitmapFormat(0), 8, 32);
    ASSERT_TRUE(borrowed);
    EXPECT_EQ(borrowed->bitmapData(), outside);

    const struct {
        const char *name;
        long width, height, bitsPerSample, samples;
        bool alpha, planar;
        NSBitmapFormat format;
        long bytesPerRow, bitsPerPixel;
    } refused[] = {
        {"no width", 0, 2, 8, 1, false, false, NSBitmapFormat(0), 0, 0},
        {"too tall", 2, 70000, 8, 1, false, false, NSBitmapFormat(0), 0, 0},
        {"12-bit samples", 2, 2, 12, 1, false, false, NSBitmapFormat(0), 0, 0},
        {"8-bit floats", 2, 2, 8, 1, false, false, NSFloatingPointSamplesBitmapFormat, 0, 0},
        {"alpha alone", 2, 2, 8, 1, true, false, NSBitmapFormat(0), 0, 0},
        {"six samples", 2, 2, 8, 6, true, false, NSBitmapFormat(0), 0, 0},
        {"planar", 2, 2, 8, 3, false, true, NSBitmapFormat(0), 0, 0},
        {"pixel smaller than its samples", 2, 2, 8, 4, true, false, NSBitmapFormat(0), 0, 24},
        {"rows shorter than the pixels", 2, 2, 8, 4, true, false, NSBitmapFormat(0), 7, 32},
        {"over 1 GiB", 65535, 65535, 8, 4, true, false, NSBitmapFormat(0), 0, 0},
    };
    for (const auto &c : refused)
        EXPECT_EQ(NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, c.width, c.height, c.bitsPerSample, c.samples,
                                                             c.alpha, c.planar, NSDeviceRGBColorSpace, c.format,
                                                             c.bytesPerRow, c.bitsPerPixel),
                  nullptr)
            << c.name;
}

TEST(NSBitmapImageRep, QImagesConvertBothWays) {
    QImage picture(2, 1, QImage::Format_RGBA8888);
    const uint8_t pixels[8] = {10, 20, 30, 40, 255, 0, 128, 255};
    std::memcpy(picture.scanLine(0), pixels, 8);
    auto bitmap = NSBitmapImageRep::imageRepWithQImage(picture);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->bitmapFormat(), NSAlphaNonpremultipliedBitmapFormat);
    EXPECT_EQ(Bytes(bitmap->bitmapData(), bitmap->bitmapData() + 8), Bytes(pixels, pixels + 8));
    const QImage back = bitmap->toQImage();
    EXPECT_EQ(back.format(), QImage::Format_RGBA8888);
    EXPECT_EQ(Bytes(back.constScanLine(0), back.constScanLine(0) + 8), Bytes(pixels, pixels + 8));
    EXPECT_EQ(NSBitmapImageRep::imageRepWithQImage(QImage()), nullptr);

    // Alpha-first and skipped-byte layouts are reordered.
    const struct {
        const char *name;
        long samples;
        bool alpha;
        NSBitmapFormat format;
        long bitsPerPixel;
        Bytes in;
        QImage::Format expectedFormat;
        Bytes out;
    } cases[] = {
        {"ARGB premultiplied", 4, true, NSAlphaFirstBitmapFormat, 32, {40, 1, 2, 3},
         QImage::Format_RGBA8888_Premultiplied, {1, 2, 3, 40}},
        {"XRGB", 3, false, NSAlphaFirstBitmapFormat, 32, {99, 1, 2, 3}, QImage::Format_RGB888, {1, 2, 3}},
        {"RGBX", 3, false, NSBitmapFormat(0), 32, {1, 2, 3, 99}, QImage::Format_RGB888, {1, 2, 3}},
        {"grey", 1, false, NSBitmapFormat(0), 8, {77}, QImage::Format_Grayscale8, {77}},
    };
    for (const auto &c : cases) {
        auto rep = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, 1, 1, 8, c.samples, c.alpha, false,
                                                              NSDeviceRGBColorSpace, c.format, 0, c.bitsPerPixel);
        ASSERT_TRUE(rep) << c.name;
        std::memcpy(rep->bitmapData(), c.in.data(), c.in.size());
        const QImage image = rep->toQImage();
        EXPECT_EQ(image.format(), c.expectedFormat) << c.name;
        EXPECT_EQ(Bytes(image.constScanLine(0), image.constScanLine(0) + c.out.size()), c.out) << c.name;
    }
    auto greyAndAlpha = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, 1, 1, 8, 2, true, false,
                                                                   NSDeviceWhiteColorSpace, NSBitmapFormat(0), 0, 0);
    EXPECT_TRUE(greyAndAlpha->toQImage().isNull());
}

TEST(NSImage, SizeIsGivenOrTheFirstRepresentations) {
    auto bitmap = NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, 200, 100, 8, 1, false, false,
                                                             NSDeviceWhiteColorSpace, NSBitmapFormat(0), 0, 0);
    bitmap->setSize(NSMakeSize(100, 50));
    NSImage image;
    EXPECT_TRUE(NSEqualSizes(image.size(), NSMakeSize(0, 0)));
    image.addRepresentation(bitmap);
    image.addRepresentation(nullptr);
    EXPECT_EQ(image.representations().size(), 1u);
    EXPECT_TRUE(NSEqualSizes(image.size(), NSMakeSize(100, 50)));
    image.setSize(NSMakeSize(20, 10));
    EXPECT_TRUE(NSEqualSizes(image.size(), NSMakeSize(20, 10)));
    image.removeRepresentation(bitmap.get());
    EXPECT_TRUE(image.representations().empty());
}

class ImageObserver : public NSObject {
public:
    void observeValueForKeyPath(const QString &keyPath, QObject *, const QVariantMap &, void *) override {
        seen.append(keyPath);
    }
    QStringList seen;
};

TEST(NSImageView, ReplacingTheImageIsObservableAndShown) {
    Application();
    NSImageView view;
    view.resize(40, 20);
    int changes = 0;
    QObject::connect(&view, &NSImageView::imageChanged, [&] { ++changes; });
    ImageObserver observer;
    NSKeyValueCoding::addObserver(&view, &observer, "image");

    QImage red(4, 4, QImage::Format_RGBA8888);
    red.fill(QColor(255, 0, 0));
    auto image = NSImage::imageWithQImage(red);
    ASSERT_TRUE(image);
    view.setImage(image);
    view.setImage(image);  // the same: nothing
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(observer.seen, QStringList{"image"});
    EXPECT_EQ(NSKeyValueCoding::valueForKey(&view, "image").value<std::shared_ptr<NSImage>>(), image);

    // A small picture is shown at its size in the middle.
    QImage shown(40, 20, QImage::Format_RGB32);
    shown.fill(Qt::white);
    view.render(&shown, QPoint(), QRegion(), QWidget::DrawChildren);  // no window background
    EXPECT_EQ(shown.pixelColor(20, 10), QColor(255, 0, 0));
    EXPECT_EQ(shown.pixelColor(2, 2), QColor(Qt::white));

    view.setImage(nullptr);
    EXPECT_EQ(changes, 2);
    NSKeyValueCoding::removeObserver(&view, &observer, "image");
}

}  // namespace
