#include <gtest/gtest.h>

#include <CocoaGraphics/NSBitmapImageRep_QuickSaveFile.h>

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <QuickTime/QuickTime.h>

#include "support/TestFolders.h"
#include "support/media/TestMedia.h"

using namespace lumora::test;

namespace {

constexpr int kWidth = 64, kHeight = 48;

// Red, green, blue and white quadrants (top-left, top-right, bottom-left, bottom-right).
QImage QuadrantImage() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, kWidth / 2, kHeight / 2, Qt::red);
    painter.fillRect(kWidth / 2, 0, kWidth / 2, kHeight / 2, Qt::green);
    painter.fillRect(0, kHeight / 2, kWidth / 2, kHeight / 2, Qt::blue);
    painter.fillRect(kWidth / 2, kHeight / 2, kWidth / 2, kHeight / 2, Qt::white);
    return image;
}

std::string Std(const QString &text) { return text.toStdString(); }

std::vector<std::string> Names(const std::string &folder) {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

struct FinderCodes {
    OSType type = 0, creator = 0;
    UInt16 flags = 0;
};

FinderCodes ReadFinderCodes(const std::string &path) {
    const FSRef ref = RefOf(path);
    FSCatalogInfo info{};
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoFinderInfo, &info, nullptr, nullptr, nullptr), noErr);
    FileInfo finder;
    std::memcpy(&finder, info.finderInfo, sizeof finder);
    return {finder.fileType, finder.fileCreator, finder.finderFlags};
}

// The first entry of the first quantisation table of a baseline JPEG (libjpeg scales the
// standard luminance table's 16 by the quality: 8 at 75, 16 at 50, 1 at 100).
int FirstQuantisationValue(const std::string &path) {
    const std::string bytes = ReadFile(path);
    for (std::size_t i = 2; i + 5 < bytes.size(); ++i)
        if (static_cast<unsigned char>(bytes[i]) == 0xFF && static_cast<unsigned char>(bytes[i + 1]) == 0xDB)
            return static_cast<unsigned char>(bytes[i + 5]);
    return -1;
}

// Every test starts with an empty Pictures folder as the quick-save folder and the settings
// at their start values.
class QuickSaveFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        mPictures = HomeFolder() + "/Pictures";
        RemoveTree(mPictures);
        ASSERT_EQ(::mkdir(mPictures.c_str(), 0700), 0);
        ASSERT_TRUE(QuickSaveFile::setQuikSaveLocation(0));
        QuickSaveFile::setQuikSaveImageType(QuikSaveImageType_JPEG);
        QuickSaveFile::setQuikCreatorPreviewApp();
    }
    void TearDown() override {
        QuickSaveFile::setFileStamperForTesting(nullptr);
        RemoveTree(mPictures);
    }
    std::string mPictures;
};

}  // namespace

// Each type is written under the next name with its extension, is read back by the
// importers at its size and colours, and carries its file type and the creator.
TEST_F(QuickSaveFileTest, EachTypeIsReadBackByTheImporters) {
    EXPECT_EQ(QuickSaveFile::quickSaveFolderUnixPath(), mPictures);
    const struct {
        int type;
        const char *name;
        OSType subtype, fileType;
        int tolerance;
    } cases[] = {
        {QuikSaveImageType_JPEG, "Lumora 0000.jpg", kQTFileTypeJPEG, MakeFourCharCode("JPEG"), 12},
        {QuikSaveImageType_PNG, "Lumora 0000.png", kQTFileTypePNG, MakeFourCharCode("PNGf"), 0},
        {QuikSaveImageType_TIFF, "Lumora 0000.tiff", kQTFileTypeTIFF, MakeFourCharCode("TIFF"), 0},
        {7, "Lumora 0001.jpg", kQTFileTypeJPEG, MakeFourCharCode("JPEG"), 12},  // an unknown type is JPEG
    };
    const QImage image = QuadrantImage();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = QuickSaveFile::saveToNextNumberedFileNameWithQuikSaveImageType(image, "Lumora %04d", c.type);
        ASSERT_EQ(Std(path), mPictures + "/" + c.name);

        const FSRef ref = RefOf(Std(path));
        Handle dataRef = nullptr;
        OSType dataRefType = 0;
        ASSERT_EQ(QTNewDataReferenceFromFSRef(&ref, 0, &dataRef, &dataRefType), noErr);
        ComponentInstance importer = nullptr;
        ASSERT_EQ(GetGraphicsImporterForDataRef(dataRef, dataRefType, &importer), noErr);
        DisposeHandle(dataRef);
        ComponentDescription cd{};
        ASSERT_EQ(GetComponentInfo(reinterpret_cast<Component>(importer), &cd, nullptr, nullptr, nullptr), noErr);
        EXPECT_EQ(cd.componentSubType, c.subtype);
        Rect natural{};
        ASSERT_EQ(GraphicsImportGetNaturalBounds(importer, &natural), noErr);
        EXPECT_EQ(natural.right, kWidth);
        EXPECT_EQ(natural.bottom, kHeight);

        GWorldPtr world = nullptr;
        ASSERT_EQ(QTNewGWorld(&world, k32ARGBPixelFormat, &natural, nullptr, nullptr, 0), noErr);
        ASSERT_EQ(GraphicsImportSetGWorld(importer, world, nullptr), noErr);
        ASSERT_EQ(GraphicsImportDraw(importer), noErr);
        const Colour corners[] = {PixelAt(world, 8, 8), PixelAt(world, kWidth - 8, 8), PixelAt(world, 8, kHeight - 8),
                                  PixelAt(world, kWidth - 8, kHeight - 8)};
        const Colour expected[] = {kRed, kGreen, kBlue, kWhite};
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(Near(corners[i], expected[i], c.tolerance)) << i << " " << Text(corners[i]);
        DisposeGWorld(world);
        CloseComponent(importer);

        const FinderCodes codes = ReadFinderCodes(Std(path));
        EXPECT_EQ(codes.type, c.fileType);
        EXPECT_EQ(codes.creator, MakeFourCharCode("prvw"));
    }
}

// JPEG is written with compression factor 0.75 by default; the factor reaches the encoder.
TEST_F(QuickSaveFileTest, JpegCompressionFactor) {
    const QImage image = QuadrantImage();
    const QString numbered = QuickSaveFile::saveToNextNumberedFileName(image, "Lumora %04d");
    ASSERT_FALSE(numbered.isNull());
    EXPECT_EQ(FirstQuantisationValue(Std(numbered)), 8);
    ASSERT_TRUE(QuickSaveFile::saveAsJPEG(image, QString::fromStdString(mPictures + "/default.jpg")));
    EXPECT_EQ(FirstQuantisationValue(mPictures + "/default.jpg"), 8);
    ASSERT_TRUE(QuickSaveFile::saveAsJPEGWithCompressionFactor(image, QString::fromStdString(mPictures + "/half.jpg"), 0.5f));
    EXPECT_EQ(FirstQuantisationValue(mPictures + "/half.jpg"), 16);
    ASSERT_TRUE(QuickSaveFile::saveAsJPEGWithCompressionFactor(image, QString::fromStdString(mPictures + "/best.jpg"), 1.0f));
    EXPECT_EQ(FirstQuantisationValue(mPictures + "/best.jpg"), 1);
    for (float bad : {-0.1f, 1.5f, NAN}) {
        const std::string path = mPictures + "/bad.jpg";
        EXPECT_FALSE(QuickSaveFile::saveAsJPEGWithCompressionFactor(image, QString::fromStdString(path), bad)) << bad;
        EXPECT_NE(::access(path.c_str(), F_OK), 0);
    }
}

// Numbers count from 0; a gap left by a deleted file is filled first.
TEST_F(QuickSaveFileTest, NumberingFillsGaps) {
    const QImage image = QuadrantImage();
    for (int i = 0; i < 3; ++i) ASSERT_FALSE(QuickSaveFile::saveToNextNumberedFileName(image, "Lumora %04d").isNull());
    EXPECT_EQ(Names(mPictures), (std::vector<std::string>{"Lumora 0000.jpg", "Lumora 0001.jpg", "Lumora 0002.jpg"}));
    ASSERT_EQ(::unlink((mPictures + "/Lumora 0001.jpg").c_str()), 0);
    EXPECT_EQ(Std(QuickSaveFile::saveToNextNumberedFileName(image, "Lumora %04d")), mPictures + "/Lumora 0001.jpg");
    EXPECT_EQ(Std(QuickSaveFile::saveToNextNumberedFileName(image, "Lumora %04d")), mPictures + "/Lumora 0003.jpg");
}

// The type comes from the format's extension, which is not added a second time.
TEST_F(QuickSaveFileTest, FormatExtensionSelectsTheTypeOnce) {
    const QImage image = QuadrantImage();
    const struct {
        const char *format;
        int type;  // -1: the untyped entry
        const char *name;
        OSType fileType;
    } cases[] = {
        {"Lumora %04d.png", -1, "Lumora 0000.png", MakeFourCharCode("PNGf")},
        {"Lumora %04d.tif", -1, "Lumora 0000.tiff", MakeFourCharCode("TIFF")},
        {"Lumora %04d.jpg", -1, "Lumora 0000.jpg", MakeFourCharCode("JPEG")},
        {"Shot %02d.PNG", QuikSaveImageType_PNG, "Shot 00.png", MakeFourCharCode("PNGf")},
        {"Shot %02d.jpeg", QuikSaveImageType_JPEG, "Shot 00.jpg", MakeFourCharCode("JPEG")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.format);
        const QString path = c.type < 0 ? QuickSaveFile::saveToNextNumberedFileName(image, c.format)
                                        : QuickSaveFile::saveToNextNumberedFileNameWithQuikSaveImageType(image, c.format, c.type);
        EXPECT_EQ(Std(path), mPictures + "/" + c.name);
        EXPECT_EQ(ReadFinderCodes(Std(path)).type, c.fileType);
    }
    // Without an extension the default type is used.
    QuickSaveFile::setQuikSaveImageType(QuikSaveImageType_PNG);
    EXPECT_EQ(Std(QuickSaveFile::saveToNextNumberedFileName(image, "Plain %d")), mPictures + "/Plain 0.png");
}

// Saves asked for at the same time from several threads get files of their own, whole, even
// while the folder is re-pointed between them.
TEST_F(QuickSaveFileTest, SavesAtOnceGetFilesOfTheirOwn) {
    ScopedFolder other("other-pictures");
    const QImage image = QuadrantImage();
    constexpr int kThreads = 6, kEach = 3;
    std::vector<std::string> paths(kThreads * kEach);
    std::vector<std::thread> threads;
    std::atomic<bool> go{false};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load()) std::this_thread::yield();
            for (int i = 0; i < kEach; ++i)
                paths[t * kEach + i] = Std(QuickSaveFile::saveToNextNumberedFileNameWithQuikSaveImageType(
                    image, "Lumora %04d", QuikSaveImageType_PNG));
        });
    }
    go = true;
    for (int flip = 0; flip < 20; ++flip)
        ASSERT_TRUE(QuickSaveFile::setQuickSaveFolderUnixPathUTF8(flip % 2 ? other.path().c_str() : mPictures.c_str()));
    for (std::thread &thread : threads) thread.join();

    const std::set<std::string> distinct(paths.begin(), paths.end());
    EXPECT_EQ(distinct.size(), paths.size());
    std::size_t files = Names(mPictures).size() + Names(other.path()).size();
    EXPECT_EQ(files, paths.size());
    for (const std::string &path : paths) {
        ASSERT_FALSE(path.empty());
        EXPECT_TRUE(path.rfind(mPictures + "/", 0) == 0 || path.rfind(other.path() + "/", 0) == 0) << path;
        const QImage back(QString::fromStdString(path));
        EXPECT_EQ(back.size(), image.size()) << path;
    }
}

// A file already there is never replaced: numbering passes it, an explicit save onto it fails.
TEST_F(QuickSaveFileTest, ExistingFilesAreNeverOverwritten) {
    const QImage image = QuadrantImage();
    ASSERT_TRUE(WriteFile(mPictures + "/Lumora 0000.png", "keep"));
    ASSERT_TRUE(WriteFile(mPictures + "/Lumora 0001.png", ""));  // empty, but not this writer's claim
    EXPECT_EQ(Std(QuickSaveFile::saveToNextNumberedFileName(image, "Lumora %04d.png")), mPictures + "/Lumora 0002.png");
    for (const char *name : {"Lumora 0000.png", "Lumora 0001.png"}) {
        const std::string path = mPictures + "/" + name;
        EXPECT_FALSE(QuickSaveFile::saveAsPNG(image, QString::fromStdString(path))) << name;
        EXPECT_FALSE(QuickSaveFile::saveToPictureFileName(image, QString::fromStdString(path), QuikSaveImageType_TIFF));
    }
    EXPECT_EQ(ReadFile(mPictures + "/Lumora 0000.png"), "keep");
    EXPECT_EQ(ReadFile(mPictures + "/Lumora 0001.png"), "");

    // A name claimed by this writer is filled, or given back.
    const QString claimed = QuickSaveFile::nextNumberedFileNameString("Lumora %04d", QuikSaveImageType_PNG);
    EXPECT_EQ(Std(claimed), mPictures + "/Lumora 0003.png");
    EXPECT_TRUE(QuickSaveFile::saveToPictureFileName(image, claimed, QuikSaveImageType_PNG));
    EXPECT_EQ(QImage(claimed).size(), image.size());
    const QString unused = QuickSaveFile::nextNumberedFileNameString("Lumora %04d", QuikSaveImageType_PNG);
    EXPECT_EQ(Std(unused), mPictures + "/Lumora 0004.png");
    EXPECT_TRUE(QuickSaveFile::releaseNumberedFileName(unused));
    EXPECT_NE(::access(Std(unused).c_str(), F_OK), 0);
}

// Failures write nothing and leave no claimed name behind.
TEST_F(QuickSaveFileTest, FailedSavesLeaveNothing) {
    EXPECT_TRUE(QuickSaveFile::saveToNextNumberedFileName(QImage(), "Lumora %04d").isNull());
    EXPECT_TRUE(QuickSaveFile::saveToNextNumberedFileName(QuadrantImage(), "Lumora %s").isNull());
    EXPECT_TRUE(QuickSaveFile::saveToNextNumberedFileName(QuadrantImage(), "Lumora").isNull());
    EXPECT_TRUE(Names(mPictures).empty());

    EXPECT_FALSE(QuickSaveFile::setQuickSaveFolderUnixPathUTF8((mPictures + "/missing").c_str()));
    EXPECT_FALSE(QuickSaveFile::setQuickSaveFolderUnixPath(QString()));
    EXPECT_EQ(QuickSaveFile::quickSaveFolderUnixPath(), mPictures);
    EXPECT_FALSE(QuickSaveFile::setGrabFolderSubDirectory("Sub"));
    EXPECT_EQ(QuickSaveFile::quickSaveFolderUnixPath(), mPictures);
}

// The creator setting is stamped on new files; a file whose stamping fails still counts as
// saved; stamping an already right file keeps its other Finder information.
TEST_F(QuickSaveFileTest, StampingIsBestEffort) {
    const QImage image = QuadrantImage();
    QuickSaveFile::setQuikCreatorPhotoshopApp();
    EXPECT_EQ(QuickSaveFile::defaultQuikCreatorCode(), MakeFourCharCode("8BIM"));
    const std::string first = Std(QuickSaveFile::saveToNextNumberedFileName(image, "Lumora %04d"));
    EXPECT_EQ(ReadFinderCodes(first).creator, MakeFourCharCode("8BIM"));

    static std::atomic<int> calls{0};
    QuickSaveFile::setFileStamperForTesting([](const char *, OSType, OSType) {
        ++calls;
        return false;
    });
    const std::string second = Std(QuickSaveFile::saveToNextNumberedFileName(image, "Lumora %04d"));
    EXPECT_EQ(second, mPictures + "/Lumora 0001.jpg");
    EXPECT_EQ(calls.load(), 1);
    EXPECT_EQ(QImage(QString::fromStdString(second)).size(), image.size());
    QuickSaveFile::setFileStamperForTesting(nullptr);

    // Finder flags set by someone else survive a stamp that has nothing to change.
    const FSRef ref = RefOf(first);
    FSCatalogInfo info{};
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoFinderInfo, &info, nullptr, nullptr, nullptr), noErr);
    FileInfo finder;
    std::memcpy(&finder, info.finderInfo, sizeof finder);
    finder.finderFlags = 0x4000;
    std::memcpy(info.finderInfo, &finder, sizeof finder);
    ASSERT_EQ(FSSetCatalogInfo(&ref, kFSCatInfoFinderInfo, &info), noErr);
    EXPECT_TRUE(QuickSaveFile::SetFileTypeCreatorCode(first.c_str(), QuikSaveImageType_JPEG));
    EXPECT_EQ(ReadFinderCodes(first).flags, 0x4000);
    QuickSaveFile::setQuikCreatorQuickTimeApp();
    EXPECT_TRUE(QuickSaveFile::SetFileTypeCreatorCode(first.c_str(), QuikSaveImageType_PNG));
    const FinderCodes codes = ReadFinderCodes(first);
    EXPECT_EQ(codes.type, MakeFourCharCode("PNGf"));
    EXPECT_EQ(codes.creator, MakeFourCharCode("TVOD"));
    EXPECT_EQ(codes.flags, 0x4000);
    EXPECT_FALSE(QuickSaveFile::SetFileTypeCreatorCode((mPictures + "/missing").c_str(), 0));
}
