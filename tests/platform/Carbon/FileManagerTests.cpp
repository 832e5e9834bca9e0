#include <gtest/gtest.h>

#include <Carbon/Files.h>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "CarbonTestSupport.h"
#include "support/TestFolders.h"

using carbon_test::PathOf;
using carbon_test::RealPath;
using carbon_test::RefOf;
using carbon_test::Unicode;
using lumora::test::ReadFile;
using lumora::test::ScopedFolder;
using lumora::test::WriteFile;

namespace {

class FileManagerTest : public ::testing::Test {
protected:
    OSErr CreateFile(const FSRef &parent, const std::u16string &name, FSRef *made = nullptr,
                     FSCatalogInfoBitmap which = kFSCatInfoNone, const FSCatalogInfo *info = nullptr) {
        const HFSUniStr255 unicode = Unicode(name);
        return FSCreateFileUnicode(&parent, unicode.length, unicode.unicode, which, info, made, nullptr);
    }
    OSErr CreateFolder(const FSRef &parent, const std::u16string &name, FSRef *made = nullptr, long *dirID = nullptr) {
        const HFSUniStr255 unicode = Unicode(name);
        return FSCreateDirectoryUnicode(&parent, unicode.length, unicode.unicode, kFSCatInfoNone, nullptr, made,
                                        nullptr, dirID);
    }
    OSErr Find(const FSRef &parent, const std::u16string &name, FSRef &found) {
        const HFSUniStr255 unicode = Unicode(name);
        return FSMakeFSRefUnicode(&parent, unicode.length, unicode.unicode, kTextEncodingUnicodeDefault, &found);
    }
    OSErr Rename(const FSRef &ref, const std::u16string &name, FSRef *renamed) {
        const HFSUniStr255 unicode = Unicode(name);
        return FSRenameUnicode(&ref, unicode.length, unicode.unicode, kTextEncodingUnicodeDefault, renamed);
    }

    ScopedFolder mFolder{"filemanager"};
    std::string mBase = RealPath(mFolder.path());
    FSRef mBaseRef = RefOf(mBase);
};

UInt64 Seconds(const UTCDateTime &date) { return (UInt64(date.highSeconds) << 32) | date.lowSeconds; }

}  // namespace

TEST_F(FileManagerTest, CreateFindRenameAndDelete) {
    FSRef file, folder;
    ASSERT_EQ(CreateFile(mBaseRef, u"Snapshot \u00E9.png", &file), noErr);
    EXPECT_EQ(PathOf(file), mBase + "/Snapshot \xC3\xA9.png");
    long dirID = 0;
    ASSERT_EQ(CreateFolder(mBaseRef, u"Movies", &folder, &dirID), noErr);
    struct stat info {};
    ASSERT_EQ(::stat((mBase + "/Movies").c_str(), &info), 0);
    EXPECT_EQ(dirID, long(info.st_ino));

    FSRef found;
    ASSERT_EQ(Find(mBaseRef, u"Movies", found), noErr);
    EXPECT_EQ(PathOf(found), mBase + "/Movies");
    // A name is found in its other normalisation form too, and that form is taken.
    ASSERT_EQ(Find(mBaseRef, u"Snapshot e\u0301.png", found), noErr);
    EXPECT_EQ(PathOf(found), mBase + "/Snapshot \xC3\xA9.png");
    EXPECT_EQ(CreateFile(mBaseRef, u"Snapshot e\u0301.png"), dupFNErr);
    EXPECT_EQ(CreateFile(mBaseRef, u"Movies"), dupFNErr);
    EXPECT_EQ(CreateFolder(mBaseRef, u"Snapshot \u00E9.png"), dupFNErr);
    EXPECT_EQ(Find(mBaseRef, u"missing", found), fnfErr);
    FSCatalogInfo dated{};
    EXPECT_EQ(CreateFile(mBaseRef, u"dated", nullptr, kFSCatInfoCreateDate, &dated), errFSBadInfoBitmap);
    EXPECT_EQ(Find(mBaseRef, u"dated", found), fnfErr);
    EXPECT_EQ(Find(file, u"child", found), errFSNotAFolder);
    EXPECT_EQ(CreateFile(file, u"child"), errFSNotAFolder);

    // Renaming follows the object; the old reference is gone, the name may not be taken.
    FSRef renamed;
    ASSERT_EQ(Rename(file, u"Renamed.png", &renamed), noErr);
    EXPECT_EQ(PathOf(renamed), mBase + "/Renamed.png");
    EXPECT_EQ(FSGetCatalogInfo(&file, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr), fnfErr);
    EXPECT_EQ(Rename(renamed, u"Movies", nullptr), dupFNErr);
    EXPECT_EQ(ReadFile(mBase + "/Renamed.png"), "");
    ASSERT_EQ(Rename(folder, u"Films", &folder), noErr);
    EXPECT_EQ(PathOf(folder), mBase + "/Films");
    FSRef root = RefOf("/");
    EXPECT_EQ(Rename(root, u"x", nullptr), paramErr);

    // A folder with something in it is busy; empty, it goes.
    FSRef inside;
    ASSERT_EQ(CreateFile(folder, u"inside", &inside), noErr);
    EXPECT_EQ(FSDeleteObject(&folder), fBsyErr);
    ASSERT_EQ(FSDeleteObject(&inside), noErr);
    ASSERT_EQ(FSDeleteObject(&folder), noErr);
    ASSERT_EQ(FSDeleteObject(&renamed), noErr);
    EXPECT_EQ(FSDeleteObject(&renamed), fnfErr);
    EXPECT_NE(::stat((mBase + "/Films").c_str(), &info), 0);
    EXPECT_NE(::stat((mBase + "/Renamed.png").c_str(), &info), 0);
}

TEST_F(FileManagerTest, NamesThatAreNotOneNameAreRefused) {
    const UniChar loneSurrogate[] = {'a', 0xD800, 'b'};
    const struct {
        const char *what;
        std::u16string name;
        OSErr status;
    } cases[] = {
        {"empty", u"", errFSMissingName},
        {"a slash", u"a/b", bdNamErr},
        {"dot", u".", bdNamErr},
        {"dot dot", u"..", bdNamErr},
        {"NUL", std::u16string(u"a\0b", 3), bdNamErr},
        {"lone surrogate", std::u16string(reinterpret_cast<const char16_t *>(loneSurrogate), 3), bdNamErr},
        {"256 bytes of UTF-8", std::u16string(128, u'\u00E9'), errFSNameTooLong},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        FSRef ref;
        EXPECT_EQ(CreateFile(mBaseRef, c.name, &ref), c.status);
        EXPECT_EQ(CreateFolder(mBaseRef, c.name), c.status);
        EXPECT_EQ(Find(mBaseRef, c.name, ref), c.status);
    }
    FSRef ref;
    EXPECT_EQ(CreateFile(mBaseRef, std::u16string(255, u'n'), &ref), noErr);  // the longest name
    EXPECT_EQ(FSCreateFileUnicode(nullptr, 1, reinterpret_cast<const UniChar *>(u"x"), 0, nullptr, &ref, nullptr),
              paramErr);
}

// Creation and modification dates are read as UTCDateTime; modification and access dates
// are set, the creation date is not (Linux keeps none that can be set).
TEST_F(FileManagerTest, CatalogDatesAndNodeFlags) {
    const std::string path = mBase + "/dated";
    ASSERT_TRUE(WriteFile(path, "d"));
    const struct timespec times[2] = {{1000000000, 500000000}, {1234567890, 250000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    FSRef ref = RefOf(path);
    FSCatalogInfo info{};
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags | kFSCatInfoCreateDate | kFSCatInfoContentMod | kFSCatInfoAccessDate,
                               &info, nullptr, nullptr, nullptr),
              noErr);
    EXPECT_EQ(info.nodeFlags, 0);
    EXPECT_EQ(Seconds(info.contentModDate), 1234567890u + 2082844800u);
    EXPECT_EQ(info.contentModDate.fraction, 0x4000);  // a quarter second
    EXPECT_EQ(Seconds(info.accessDate), 1000000000u + 2082844800u);
    EXPECT_EQ(info.accessDate.fraction, 0x8000);
    // Made just now (or, without birth times, the modification time).
    const UInt64 created = Seconds(info.createDate);
    const UInt64 now = UInt64(::time(nullptr)) + 2082844800u;
    EXPECT_TRUE(created == Seconds(info.contentModDate) || (created <= now && created + 600 >= now)) << created;

    // Set, then read back exactly.
    FSCatalogInfo changed{};
    changed.contentModDate = {0, 0xC0000000, 0x1234};  // 2006
    changed.accessDate = {1, 2, 3};
    ASSERT_EQ(FSSetCatalogInfo(&ref, kFSCatInfoContentMod | kFSCatInfoAccessDate, &changed), noErr);
    FSCatalogInfo back{};
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoContentMod | kFSCatInfoAccessDate, &back, nullptr, nullptr, nullptr), noErr);
    EXPECT_EQ(back.contentModDate.highSeconds, 0);
    EXPECT_EQ(back.contentModDate.lowSeconds, 0xC0000000u);
    EXPECT_EQ(back.contentModDate.fraction, 0x1234);
    EXPECT_EQ(back.accessDate.highSeconds, 1);
    EXPECT_EQ(back.accessDate.lowSeconds, 2u);
    EXPECT_EQ(back.accessDate.fraction, 3);
    EXPECT_EQ(FSSetCatalogInfo(&ref, kFSCatInfoCreateDate, &changed), errFSBadInfoBitmap);
    EXPECT_EQ(FSSetCatalogInfo(&ref, kFSCatInfoNodeFlags, &changed), errFSBadInfoBitmap);

    // Node flags: the folder bit, and the lock for an object nobody may write.
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags, &info, nullptr, nullptr, nullptr), noErr);
    EXPECT_EQ(info.nodeFlags, kFSNodeLockedMask);
    ASSERT_EQ(FSGetCatalogInfo(&mBaseRef, kFSCatInfoNodeFlags, &info, nullptr, nullptr, nullptr), noErr);
    EXPECT_EQ(info.nodeFlags, kFSNodeIsDirectoryMask);
}

// Finder information is stored as the Mac stores it: 32 big-endian bytes in
// user.com.apple.FinderInfo, read back into host-order records.
TEST_F(FileManagerTest, FinderInfoRoundTrips) {
    SKIP_WITHOUT_USER_ATTRIBUTES(mBase);
    FSCatalogInfo info{};
    FileInfo finder{};
    finder.fileType = MakeFourCharCode("TEXT");
    finder.fileCreator = MakeFourCharCode("ttxt");
    finder.finderFlags = 0x0100;
    finder.location = {10, 20};
    std::memcpy(info.finderInfo, &finder, sizeof finder);
    ExtendedFileInfo extended{};
    extended.extendedFinderFlags = 0x0004;
    extended.putAwayFolderID = 0x01020304;
    std::memcpy(info.extFinderInfo, &extended, sizeof extended);
    FSRef file;
    ASSERT_EQ(CreateFile(mBaseRef, u"typed.txt", &file, kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo, &info), noErr);

    UInt8 stored[40] = {};
    ASSERT_EQ(::getxattr((mBase + "/typed.txt").c_str(), "user.com.apple.FinderInfo", stored, sizeof stored), 32);
    const UInt8 expected[32] = {'T', 'E', 'X', 'T', 't', 't', 'x', 't', 0x01, 0x00, 0, 10, 0, 20, 0, 0,
                                0,   0,   0,   0,   0,   0,   0,   0,   0x00, 0x04, 0, 0,  1, 2,  3, 4};
    EXPECT_EQ(std::memcmp(stored, expected, 32), 0);

    FSCatalogInfo back{};
    ASSERT_EQ(FSGetCatalogInfo(&file, kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo, &back, nullptr, nullptr, nullptr),
              noErr);
    FileInfo readFinder;
    ExtendedFileInfo readExtended;
    std::memcpy(&readFinder, back.finderInfo, sizeof readFinder);
    std::memcpy(&readExtended, back.extFinderInfo, sizeof readExtended);
    EXPECT_EQ(readFinder.fileType, finder.fileType);
    EXPECT_EQ(readFinder.fileCreator, finder.fileCreator);
    EXPECT_EQ(readFinder.finderFlags, 0x0100);
    EXPECT_EQ(readFinder.location.v, 10);
    EXPECT_EQ(readFinder.location.h, 20);
    EXPECT_EQ(readExtended.extendedFinderFlags, 0x0004);
    EXPECT_EQ(readExtended.putAwayFolderID, 0x01020304);

    // Changing one half keeps the other; all zero removes the attribute.
    std::memset(info.finderInfo, 0, sizeof info.finderInfo);
    ASSERT_EQ(FSSetCatalogInfo(&file, kFSCatInfoFinderInfo, &info), noErr);
    ASSERT_EQ(::getxattr((mBase + "/typed.txt").c_str(), "user.com.apple.FinderInfo", stored, sizeof stored), 32);
    EXPECT_EQ(std::memcmp(stored + 16, expected + 16, 16), 0);
    std::memset(info.extFinderInfo, 0, sizeof info.extFinderInfo);
    ASSERT_EQ(FSSetCatalogInfo(&file, kFSCatInfoFinderXInfo, &info), noErr);
    EXPECT_LT(::getxattr((mBase + "/typed.txt").c_str(), "user.com.apple.FinderInfo", stored, sizeof stored), 0);

    // A folder's record is a FolderInfo.
    FolderInfo folderInfo{};
    folderInfo.windowBounds = {1, 2, 300, 400};
    folderInfo.finderFlags = 0x4000;
    std::memcpy(info.finderInfo, &folderInfo, sizeof folderInfo);
    ASSERT_EQ(FSSetCatalogInfo(&mBaseRef, kFSCatInfoFinderInfo, &info), noErr);
    ASSERT_EQ(FSGetCatalogInfo(&mBaseRef, kFSCatInfoFinderInfo, &back, nullptr, nullptr, nullptr), noErr);
    FolderInfo readFolder;
    std::memcpy(&readFolder, back.finderInfo, sizeof readFolder);
    EXPECT_EQ(readFolder.windowBounds.bottom, 300);
    EXPECT_EQ(readFolder.windowBounds.right, 400);
    EXPECT_EQ(readFolder.finderFlags, 0x4000);
    ASSERT_EQ(::getxattr(mBase.c_str(), "user.com.apple.FinderInfo", stored, sizeof stored), 32);
    EXPECT_EQ(stored[4], 0x01);  // bottom, big-endian
    EXPECT_EQ(stored[5], 0x2C);
}
