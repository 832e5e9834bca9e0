// Images from outside data: pictures Qt reads, PDF documents drawn into a bitmap, refusals,
// and named images (registered ones and the main bundle's resources).
#include <gtest/gtest.h>

#include <AppKit/NSImage.h>

#include <CoreFoundation/CFBundle.h>

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>

#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace {

QString Fixture(const char *name) {
    return QDir(QString::fromLocal8Bit(std::getenv("LUMORA_TEST_DATA"))).filePath(QStringLiteral("fixtures/") + name);
}

QImage Shown(const std::shared_ptr<NSImage> &image) {
    return image && !image->representations().empty()
               ? image->representations().front()->toQImage().convertToFormat(QImage::Format_RGBA8888)
               : QImage();
}

QByteArray PNGBytes(QColor colour, int width, int height) {
    QImage picture(width, height, QImage::Format_RGBA8888);
    picture.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    return bytes;
}

}  // namespace

// The fixture page is 40 x 20 points: its left half red, the top of its right half blue, the
// rest left transparent.
TEST(NSImageLoading, PDFFirstPageIsDrawnAtOnePixelPerPoint) {
    auto image = NSImage::imageWithContentsOfFile(Fixture("skin.pdf"));
    ASSERT_TRUE(image);
    EXPECT_DOUBLE_EQ(image->size().width, 40);
    EXPECT_DOUBLE_EQ(image->size().height, 20);
    const QImage shown = Shown(image);
    ASSERT_EQ(shown.size(), QSize(40, 20));
    EXPECT_EQ(shown.pixelColor(5, 10), QColor(255, 0, 0));
    EXPECT_EQ(shown.pixelColor(30, 5), QColor(0, 0, 255));
    EXPECT_EQ(shown.pixelColor(30, 15).alpha(), 0);
}

TEST(NSImageLoading, PicturesQtReadsAndRefusals) {
    const QImage shown = Shown(NSImage::imageWithData(PNGBytes(QColor(10, 200, 30), 3, 2)));
    ASSERT_EQ(shown.size(), QSize(3, 2));
    EXPECT_EQ(shown.pixelColor(2, 1), QColor(10, 200, 30));

    QFile pdf(Fixture("skin.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    const QByteArray document = pdf.readAll();
    const struct {
        const char *name;
        QByteArray data;
    } refused[] = {
        {"empty", QByteArray()},
        {"text", QByteArray("not a picture at all")},
        {"cut PNG", PNGBytes(Qt::red, 8, 8).left(30)},
        {"PDF header alone", QByteArray("%PDF-1.4\n")},
        {"PDF cut in its page", document.left(200)},
    };
    for (const auto &item : refused) EXPECT_EQ(NSImage::imageWithData(item.data), nullptr) << item.name;
    EXPECT_EQ(NSImage::imageWithContentsOfFile(QStringLiteral("/nonexistent/picture.png")), nullptr);
}

TEST(NSImageLoading, NamedImagesRegisteredAndFromTheBundle) {
    auto registered = NSImage::imageWithData(PNGBytes(Qt::white, 2, 2));
    ASSERT_TRUE(NSImage::setName(QStringLiteral("Registered"), registered));
    EXPECT_EQ(NSImage::imageNamed(QStringLiteral("Registered")), registered);
    NSImage::setName(QStringLiteral("Registered"), nullptr);
    EXPECT_EQ(NSImage::imageNamed(QStringLiteral("Registered")), nullptr);
    EXPECT_FALSE(NSImage::setName(QString(), registered));

    // A test program is a bare tool: its resources are the files beside it.
    CFURLRef url = CFBundleCopyResourcesDirectoryURL(CFBundleGetMainBundle());
    ASSERT_NE(url, nullptr);
    UInt8 path[PATH_MAX];
    ASSERT_TRUE(CFURLGetFileSystemRepresentation(url, true, path, sizeof path));
    CFRelease(url);
    const QString base = QStringLiteral("NamedResource%1").arg(::getpid());
    const QString file = QDir(QString::fromLocal8Bit(reinterpret_cast<const char *>(path))).filePath(base + ".png");
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(PNGBytes(QColor(1, 2, 3), 4, 4));
    out.close();
    const auto byName = NSImage::imageNamed(base + ".png");
    const auto withoutExtension = NSImage::imageNamed(base);
    QFile::remove(file);
    ASSERT_TRUE(byName);
    EXPECT_EQ(Shown(byName).pixelColor(0, 0), QColor(1, 2, 3));
    EXPECT_TRUE(withoutExtension);
    EXPECT_EQ(NSImage::imageNamed(base + ".png"), byName) << "kept under its name once loaded";
    EXPECT_EQ(NSImage::imageNamed(QStringLiteral("../") + base), nullptr);
    EXPECT_EQ(NSImage::imageNamed(QStringLiteral("NoSuchImage")), nullptr);
}
