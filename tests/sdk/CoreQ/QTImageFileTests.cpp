// Still-image files: loading PNG, JPEG and TIFF files and drawing them scaled into worlds.
#include <gtest/gtest.h>

#include <cstdint>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CoreQ/QGWorld.h>
#include <CoreQ/QTImageFile.h>

#include "support/media/TestMedia.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "support/TestFolders.h"

namespace {

using namespace lumora::test;

// Reaches the importer and data fields.
struct ImageFileProbe : QTImageFile {
    using QTImageFile::mImageData;
    using QTImageFile::mImportRef;
};

// How many file descriptors the process has open: a data fork left open shows here.
size_t OpenDescriptors() {
    size_t count = 0;
    if (DIR *folder = ::opendir("/proc/self/fd")) {
        while (::readdir(folder) != nullptr) ++count;
        ::closedir(folder);
    }
    return count;
}

// The pictures are 64 x 32: quadrants of 32 x 16, aligned to JPEG's 16-pixel blocks.
constexpr int kWidth = 64, kHeight = 32;

class QTImageFileTest : public corex_test::DebugLogFileTest {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        mPicture = QuadrantPicture(kWidth, kHeight);
    }

    std::string Make(const std::string &name) {
        const std::string path = mFolder.file(name);
        bool ok = false;
        if (name == "rgba.png") ok = WritePNG(path, kWidth, kHeight, mPicture, true);
        else if (name == "rgb.png") ok = WritePNG(path, kWidth, kHeight, mPicture, false);
        else if (name == "rgb16.png") ok = WritePNG(path, kWidth, kHeight, mPicture, false, true);
        else if (name == "rgba16.png") ok = WritePNG(path, kWidth, kHeight, mPicture, true, true);
        else if (name == "picture.jpg") ok = WriteJPEG(path, kWidth, kHeight, mPicture);
        else if (name == "cmyk.jpg") ok = WriteJPEG(path, kWidth, kHeight, mPicture, JpegColour::AdobeCMYK);
        else if (name == "picture.tif") ok = WriteTIFF(path, kWidth, kHeight, mPicture);
        else if (name == "associated.tif") ok = WriteTIFF(path, kWidth, kHeight, mPicture, TiffAlpha::Associated);
        else if (name == "unassociated.tif") ok = WriteTIFF(path, kWidth, kHeight, mPicture, TiffAlpha::Unassociated);
        else if (name == "float.tif") ok = WriteTIFF(path, kWidth, kHeight, mPicture, TiffAlpha::None, true);
        EXPECT_TRUE(ok) << name;
        return path;
    }

    // A copy of the file cut to `size` bytes.
    std::string Truncated(const std::string &path, size_t size) {
        const std::string cut = path + ".cut";
        EXPECT_TRUE(lumora::test::WriteFile(cut, lumora::test::ReadFile(path).substr(0, size)));
        return cut;
    }

    // A 32-bit world whose every byte is `fill`.
    static void MakeWorld(QGWorld &world, int width, int height, uint8_t fill = 0x11) {
        ASSERT_TRUE(world.Construct(QPoint(width, height), k32ARGBPixelFormat));
        ASSERT_TRUE(QPixMap_FillPixelARGB32(world.GetPixMap(), fill));
    }

    static bool Untouched(const QGWorld &world, uint8_t fill = 0x11) {
        PixMapHandle pm = world.GetPixMap();
        const uint8_t *bytes = reinterpret_cast<const uint8_t *>(GetPixBaseAddr(pm));
        const long size = GetPixRowBytes(pm) * ((**pm).bounds.bottom - (**pm).bounds.top);
        for (long i = 0; i < size; ++i)
            if (bytes[i] != fill) return false;
        return true;
    }

    lumora::test::ScopedFolder mFolder{"images"};
    std::vector<uint8_t> mPicture;
};

const struct FormatCase {
    const char *file;
    OSType importer;
    UInt32 components, bits;
    int tolerance;  // JPEG is lossy
} kFormats[] = {
    {"rgba.png", MakeFourCharCode("PNGf"), 4, 8, 0},
    {"rgb.png", MakeFourCharCode("PNGf"), 3, 8, 0},
    {"picture.jpg", MakeFourCharCode("JPEG"), 3, 8, 12},
    {"picture.tif", MakeFourCharCode("TIFF"), 3, 8, 0},
    {"cmyk.jpg", MakeFourCharCode("JPEG"), 3, 8, 12},
    {"associated.tif", MakeFourCharCode("TIFF"), 4, 8, 0},
    {"unassociated.tif", MakeFourCharCode("TIFF"), 4, 8, 0},
    {"float.tif", MakeFourCharCode("TIFF"), 3, 8, 0},
};

TEST_F(QTImageFileTest, EachFormatLoadsAndDrawsScaledUpAndDown) {
    for (const FormatCase &format : kFormats) {
        SCOPED_TRACE(format.file);
        const std::string path = Make(format.file);
        QTImageFile image;
        EXPECT_EQ(image.GetImageType(), MakeFourCharCode("none"));
        ASSERT_TRUE(image.LoadImageUnixPath(path.c_str()));
        EXPECT_EQ(image.GetImageType(), format.importer);
        EXPECT_EQ(image.GetWidth(), kWidth);
        EXPECT_EQ(image.GetHeight(), kHeight);
        EXPECT_EQ(image.GetComponentsPerPixel(), format.components);
        EXPECT_EQ(image.GetBitsPerComponent(), format.bits);
        EXPECT_TRUE(image.IsImageDataLoaded());

        // Twice the size: the quadrants are 64 x 32, centred at x 32 / 96 and y 16 / 48.
        QGWorld big;
        MakeWorld(big, 128, 64);
        ASSERT_TRUE(image.DrawIntoGWorldScaledToBounds(big.mGWorld, Rect{0, 0, 64, 128}));
        int alpha = 0;
        EXPECT_TRUE(Near(PixelAt(big.mGWorld, 32, 16, &alpha), kRed, format.tolerance))
            << Text(PixelAt(big.mGWorld, 32, 16));
        EXPECT_EQ(alpha, 255);
        EXPECT_TRUE(Near(PixelAt(big.mGWorld, 96, 16), kGreen, format.tolerance))
            << Text(PixelAt(big.mGWorld, 96, 16));
        EXPECT_TRUE(Near(PixelAt(big.mGWorld, 32, 48), kBlue, format.tolerance))
            << Text(PixelAt(big.mGWorld, 32, 48));
        EXPECT_TRUE(Near(PixelAt(big.mGWorld, 96, 48), kWhite, format.tolerance))
            << Text(PixelAt(big.mGWorld, 96, 48));

        // Half the size, after a new load.
        ASSERT_TRUE(image.LoadImageUnixPath(path.c_str()));
        QGWorld small;
        MakeWorld(small, 32, 16);
        ASSERT_TRUE(image.DrawIntoGWorldScaledToBounds(small.mGWorld, Rect{0, 0, 16, 32}));
        EXPECT_TRUE(Near(PixelAt(small.mGWorld, 8, 4), kRed, format.tolerance));
        EXPECT_TRUE(Near(PixelAt(small.mGWorld, 24, 4), kGreen, format.tolerance));
        EXPECT_TRUE(Near(PixelAt(small.mGWorld, 8, 12), kBlue, format.tolerance));
        EXPECT_TRUE(Near(PixelAt(small.mGWorld, 24, 12), kWhite, format.tolerance));
    }
    EXPECT_EQ(LogText(), "");
}

TEST_F(QTImageFileTest, PixelLayoutFollowsTheColourSpace) {
    const struct {
        const char *file;
        UInt32 components, bits;
    } cases[] = {
        {"rgba.png", 4, 8},     // 'cspc' k32ARGBPixelFormat
        {"rgb.png", 3, 8},      // 'cspc' k24RGBPixelFormat
        {"rgba16.png", 4, 16},  // 'b64a'
        {"rgb16.png", 3, 16},   // 'b48r': three samples of 16 bits
        {"picture.jpg", 3, 8},  // no colour space
    };
    for (const auto &c : cases) {
        QTImageFile image;
        ASSERT_TRUE(image.LoadImageUnixPath(Make(c.file).c_str())) << c.file;
        EXPECT_EQ(image.GetComponentsPerPixel(), c.components) << c.file;
        EXPECT_EQ(image.GetBitsPerComponent(), c.bits) << c.file;
    }
}

TEST_F(QTImageFileTest, ADrawReleasesTheDataSoASecondDrawNeedsANewLoad) {
    ImageFileProbe image;
    const std::string path = Make("rgba.png");
    const size_t descriptors = OpenDescriptors();
    ASSERT_TRUE(image.LoadImageUnixPath(path.c_str()));
    EXPECT_EQ(OpenDescriptors(), descriptors);  // the data is in memory, the file closed
    QGWorld world;
    MakeWorld(world, 64, 32);
    ASSERT_TRUE(image.DrawIntoGWorldScaledToBounds(world.mGWorld, Rect{0, 0, 32, 64}));
    EXPECT_FALSE(image.IsImageDataLoaded());
    EXPECT_EQ(image.mImportRef, nullptr);
    EXPECT_EQ(LogText(), "");
    EXPECT_FALSE(image.DrawIntoGWorldScaledToBounds(world.mGWorld, Rect{0, 0, 32, 64}));
    EXPECT_NE(LogText().find(" code : IsImageDataLoaded()"), std::string::npos) << LogText();
}

TEST_F(QTImageFileTest, DrawsIntoARectangleAwayFromTheWorldsOrigin) {
    QTImageFile image;
    ASSERT_TRUE(image.LoadImageUnixPath(Make("rgb.png").c_str()));
    QGWorld world;
    MakeWorld(world, 128, 64);
    // The picture's own size, with its top-left at (top 10, left 20).
    ASSERT_TRUE(image.DrawIntoGWorldScaledToBounds(world.mGWorld, Rect{10, 20, 42, 84}));
    EXPECT_TRUE(Near(PixelAt(world.mGWorld, 20, 10), kRed, 0)) << Text(PixelAt(world.mGWorld, 20, 10));
    EXPECT_TRUE(Near(PixelAt(world.mGWorld, 83, 41), kWhite, 0)) << Text(PixelAt(world.mGWorld, 83, 41));
    int alpha = 0;
    for (const auto &outside : {std::pair{19, 10}, std::pair{20, 9}, std::pair{84, 41}, std::pair{83, 42}})
        EXPECT_TRUE(Near(PixelAt(world.mGWorld, outside.first, outside.second, &alpha), Colour{0x11, 0x11, 0x11}, 0) &&
                    alpha == 0x11)
            << outside.first << ", " << outside.second;
}

TEST_F(QTImageFileTest, AMissingFileFailsWithoutTouchingTheLoadedImage) {
    QTImageFile image;
    ASSERT_TRUE(image.LoadImageUnixPath(Make("rgba.png").c_str()));
    EXPECT_FALSE(image.LoadImageUnixPath(mFolder.file("missing.png").c_str()));
    EXPECT_FALSE(image.LoadImageUnixPath(nullptr));
    EXPECT_NE(LogText().find(" code : bool_FSRef_ConstructFromPath(imageFileRef, inImageUnixPath)"),
              std::string::npos)
        << LogText();
    EXPECT_TRUE(image.IsImageDataLoaded());
    EXPECT_EQ(image.GetWidth(), kWidth);
    EXPECT_EQ(image.GetImageType(), MakeFourCharCode("PNGf"));
}

TEST_F(QTImageFileTest, FilesThatAreNotPicturesFailAndLeaveTheObjectEmpty) {
    const std::string png = Make("rgba.png");
    const std::string text = mFolder.file("notes.png");
    ASSERT_TRUE(lumora::test::WriteFile(text, "these are not the pixels you are looking for\n"));
    const std::string empty = mFolder.file("empty.png");
    ASSERT_TRUE(lumora::test::WriteFile(empty, ""));
    // JPEG and TIFF files cut in half already fail to load (TIFF keeps its directory at the end).
    const std::string jpeg = Make("picture.jpg"), tiff = Make("picture.tif");
    const std::string halfJPEG = Truncated(jpeg, lumora::test::ReadFile(jpeg).size() / 2);
    const std::string halfTIFF = Truncated(tiff, lumora::test::ReadFile(tiff).size() / 2);
    for (const std::string &path : {text, empty, Truncated(png, 20), halfJPEG, halfTIFF, mFolder.path()}) {
        ImageFileProbe image;
        ASSERT_TRUE(image.LoadImageUnixPath(png.c_str()));
        EXPECT_FALSE(image.LoadImageUnixPath(path.c_str())) << path;
        EXPECT_FALSE(image.IsImageDataLoaded()) << path;
        EXPECT_EQ(image.mImportRef, nullptr) << path;
        EXPECT_EQ(image.GetImageType(), MakeFourCharCode("none")) << path;
        EXPECT_EQ(image.GetWidth(), 0) << path;
    }
    EXPECT_NE(LogText().find(" code : LoadImageDescription(inFileRef)"), std::string::npos) << LogText();
}

TEST_F(QTImageFileTest, ATruncatedPictureFailsToDrawAndClosesItsImporter) {
    // A PNG cut in half: its header is whole, so it loads; its pixels do not decode.
    const std::string path = Make("rgba.png");
    const std::string cut = Truncated(path, lumora::test::ReadFile(path).size() / 2);
    ImageFileProbe image;
    ASSERT_TRUE(image.LoadImageUnixPath(cut.c_str()));
    QGWorld world;
    MakeWorld(world, 64, 32);
    EXPECT_FALSE(image.DrawIntoGWorldScaledToBounds(world.mGWorld, Rect{0, 0, 32, 64}));
    EXPECT_NE(LogText().find(" code : GraphicsImportDraw(mImportRef)"), std::string::npos) << LogText();
    EXPECT_EQ(image.mImportRef, nullptr);  // not left open for the next draw to lose
    EXPECT_TRUE(Untouched(world));
    // The data stays; drawing again fails the same way.
    EXPECT_TRUE(image.IsImageDataLoaded());
    EXPECT_FALSE(image.DrawIntoGWorldScaledToBounds(world.mGWorld, Rect{0, 0, 32, 64}));
    EXPECT_EQ(image.mImportRef, nullptr);
    EXPECT_TRUE(Untouched(world));
}

TEST_F(QTImageFileTest, AFailedReadAnswersFalseAndKeepsNoData) {
    // Kernel attribute files claim a size of a page and hold a few bytes: the read of the
    // claimed size comes up short.
    const char *candidates[] = {"/sys/devices/system/cpu/online", "/sys/kernel/mm/transparent_hugepage/enabled",
                                "/sys/power/state"};
    const char *shortFile = nullptr;
    for (const char *candidate : candidates) {
        struct stat info;
        if (::stat(candidate, &info) == 0 && info.st_size > 0 &&
            lumora::test::ReadFile(candidate).size() < size_t(info.st_size)) {
            shortFile = candidate;
            break;
        }
    }
    if (shortFile == nullptr) GTEST_SKIP() << "no file whose read comes up short";
    FSRef ref;
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(shortFile), &ref, nullptr), noErr);
    ImageFileProbe image;
    const size_t descriptors = OpenDescriptors();
    EXPECT_FALSE(image.LoadImageData(ref));
    EXPECT_EQ(OpenDescriptors(), descriptors);  // the fork was closed
    EXPECT_FALSE(image.IsImageDataLoaded());
    EXPECT_EQ(image.mImageData, nullptr);
    EXPECT_NE(LogText().find(" code : FSRead(fileRefNum, &count, *data)"), std::string::npos) << LogText();
}

TEST_F(QTImageFileTest, DataThatCannotBeLoadedIsReported) {
    // A file of 2 GiB (sparse: nothing is written) is beyond what the object holds.
    const std::string huge = mFolder.file("huge.png");
    const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    const bool sparse = ::ftruncate(fd, off_t(INT32_MAX) + 1) == 0;
    ::close(fd);
    if (!sparse) GTEST_SKIP() << "no 2 GiB file here";
    const std::string empty = mFolder.file("empty.png");
    ASSERT_TRUE(lumora::test::WriteFile(empty, ""));
    const std::string gone = Make("rgba.png");

    const struct {
        std::string path;
        const char *report;
    } cases[] = {
        {huge, " code : eof > 0 && eof <= INT32_MAX"},
        {empty, " code : eof > 0 && eof <= INT32_MAX"},
        {mFolder.path(), " code : FSpOpenDF(&fileSpec, fsRdPerm, &fileRefNum)"},  // a folder has no data fork
        {gone, " code : FSGetCatalogInfo(&inFileRef, kFSCatInfoNone, nullptr, nullptr, &fileSpec, nullptr)"},
    };
    const size_t descriptors = OpenDescriptors();
    for (const auto &c : cases) {
        FSRef ref;
        ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(c.path.c_str()), &ref, nullptr), noErr) << c.path;
        if (c.path == gone) {
            ASSERT_EQ(::unlink(gone.c_str()), 0);
        }
        ImageFileProbe image;
        ClearLog();
        EXPECT_FALSE(image.LoadImageData(ref)) << c.path;
        EXPECT_EQ(image.mImageData, nullptr) << c.path;
        EXPECT_NE(LogText().find(c.report), std::string::npos) << c.path << ": " << LogText();
    }
    EXPECT_EQ(OpenDescriptors(), descriptors);
}

}  // namespace
