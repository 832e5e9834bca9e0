#include <gtest/gtest.h>

#include <Carbon/FileRefs.h>
#include <Carbon/Files.h>
#include <CoreFoundation/CFURL.h>

#include <atomic>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "CarbonTestSupport.h"
#include "support/TestFolders.h"

using carbon_test::PathOf;
using carbon_test::RealPath;
using lumora::test::ScopedFolder;
using lumora::test::WriteFile;

namespace {

class FSRefTest : public ::testing::Test {
protected:
    OSStatus MakeRef(const std::string &path, FSRef &ref, Boolean *isDirectory = nullptr) {
        return FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, isDirectory);
    }

    OSErr Check(const FSRef &ref) { return FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr); }

    ScopedFolder mFolder{"fsref"};
    std::string mBase = RealPath(mFolder.path());
};

std::u16string NameOf(const HFSUniStr255 &name) { return std::u16string(name.unicode, name.unicode + name.length); }

}  // namespace

TEST_F(FSRefTest, PathsLongerThanTheRecordAndThanCommonBuffers) {
    std::string path = mBase;
    while (path.size() < 1500) {
        path += "/" + std::string(100, char('a' + path.size() % 26));
        ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    }
    const std::string file = path + "/leaf.txt";
    ASSERT_TRUE(WriteFile(file, "x"));

    FSRef folderRef, fileRef;
    Boolean isDirectory = false;
    ASSERT_EQ(MakeRef(path, folderRef, &isDirectory), noErr);
    EXPECT_TRUE(isDirectory);
    ASSERT_EQ(MakeRef(file, fileRef, &isDirectory), noErr);
    EXPECT_FALSE(isDirectory);
    EXPECT_EQ(PathOf(folderRef), path);
    EXPECT_EQ(PathOf(fileRef), file);

    // Buffers too small by one byte, far too small, and empty: an error, nothing written
    // past the buffer.
    const UInt32 sizes[] = {UInt32(file.size()), 1024, 80, 1, 0};
    for (UInt32 size : sizes) {
        SCOPED_TRACE(size);
        std::vector<UInt8> buffer(file.size() + 64, 0xAB);
        EXPECT_EQ(FSRefMakePath(&fileRef, buffer.data(), size), pathTooLongErr);
        if (size > 0) {
            EXPECT_EQ(buffer[0], 0);
        }
        for (size_t i = std::max<size_t>(size, 1); i < buffer.size(); ++i) ASSERT_EQ(buffer[i], 0xAB) << i;
    }
    std::vector<UInt8> exact(file.size() + 1);
    EXPECT_EQ(FSRefMakePath(&fileRef, exact.data(), UInt32(exact.size())), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(exact.data())), file);
}

TEST_F(FSRefTest, DeletedOrReplacedObjectsAreNoLongerFound) {
    const std::string file = mBase + "/doomed.txt";
    const std::string folder = mBase + "/doomed";
    ASSERT_TRUE(WriteFile(file, "content"));
    ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
    FSRef fileRef, folderRef;
    ASSERT_EQ(MakeRef(file, fileRef), noErr);
    ASSERT_EQ(MakeRef(folder, folderRef), noErr);
    EXPECT_EQ(Check(fileRef), noErr);

    // Kept open, the old file's inode cannot be reused by its replacement.
    const int held = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::unlink(file.c_str()), 0);
    ASSERT_EQ(::rmdir(folder.c_str()), 0);
    for (const FSRef *ref : {&fileRef, &folderRef}) {
        EXPECT_EQ(Check(*ref), fnfErr);
        OSStatus status = noErr;
        EXPECT_EQ(PathOf(*ref, &status), "");
        EXPECT_EQ(status, fnfErr);
        EXPECT_EQ(CFURLCreateFromFSRef(kCFAllocatorDefault, ref), nullptr);
    }
    ASSERT_TRUE(WriteFile(file, "another file at the same path"));
    EXPECT_EQ(Check(fileRef), fnfErr);
    ::close(held);

    FSRef fresh;
    ASSERT_EQ(MakeRef(file, fresh), noErr);
    EXPECT_EQ(Check(fresh), noErr);
}

TEST_F(FSRefTest, RecordsNotMadeHereAreRefused) {
    FSRef zero;
    std::memset(&zero, 0, sizeof zero);
    FSRef made;
    ASSERT_EQ(MakeRef(mBase, made), noErr);
    FSRef forged = made;
    forged.hidden[4] ^= 0x7F;  // the path id
    forged.hidden[7] ^= 0x40;
    for (const FSRef *ref : {&zero, &forged}) {
        EXPECT_EQ(Check(*ref), errFSBadFSRef);
        UInt8 buffer[64];
        EXPECT_EQ(FSRefMakePath(ref, buffer, sizeof buffer), errFSBadFSRef);
        EXPECT_EQ(CFURLCreateFromFSRef(kCFAllocatorDefault, ref), nullptr);
    }
    EXPECT_EQ(FSGetCatalogInfo(nullptr, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr), paramErr);
    EXPECT_EQ(FSRefMakePath(nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(CFURLCreateFromFSRef(kCFAllocatorDefault, nullptr), nullptr);
}

TEST_F(FSRefTest, PathMakeRefErrors) {
    ASSERT_TRUE(WriteFile(mBase + "/file", "x"));
    const struct {
        std::string path;
        OSStatus status;
    } cases[] = {
        {"", fnfErr},
        {mBase + "/missing", fnfErr},
        {mBase + "/missing/child", fnfErr},
        {mBase + "/file/child", dirNFErr},
        {mBase + "/" + std::string(300, 'n'), pathTooLongErr},  // a name longer than any file system takes
        {"/" + std::string(5000, 'p'), pathTooLongErr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.substr(0, 80));
        FSRef ref;
        EXPECT_EQ(MakeRef(c.path, ref), c.status);
    }
    FSRef ref;
    EXPECT_EQ(FSPathMakeRef(nullptr, &ref, nullptr), paramErr);
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>("/"), nullptr, nullptr), paramErr);
}

TEST_F(FSRefTest, PathsAreMadeAbsoluteAndFreeOfLinks) {
    ASSERT_EQ(::mkdir((mBase + "/target").c_str(), 0700), 0);
    ASSERT_EQ(::symlink((mBase + "/target").c_str(), (mBase + "/link").c_str()), 0);
    FSRef ref;
    Boolean isDirectory = false;
    ASSERT_EQ(MakeRef(mBase + "/link/./../link", ref, &isDirectory), noErr);
    EXPECT_TRUE(isDirectory);
    EXPECT_EQ(PathOf(ref), mBase + "/target");

    char saved[4096];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(::chdir(mBase.c_str()), 0);
    const OSStatus status = MakeRef("target", ref);
    ASSERT_EQ(::chdir(saved), 0);
    ASSERT_EQ(status, noErr);
    EXPECT_EQ(PathOf(ref), mBase + "/target");
}

TEST_F(FSRefTest, CatalogInfoNameAndParent) {
    const std::string name = "Caf\xC3\xA9 \xF0\x9D\x84\x9E.txt";  // "Café 𝄞.txt": one accent, one surrogate pair
    const std::string file = mBase + "/" + name;
    ASSERT_TRUE(WriteFile(file, std::string(1234, 'z')));
    FSRef ref;
    ASSERT_EQ(MakeRef(file, ref), noErr);

    FSCatalogInfo info{};
    HFSUniStr255 outName{};
    FSRef parent;
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags | kFSCatInfoDataSizes, &info, &outName, nullptr, &parent), noErr);
    EXPECT_EQ(info.nodeFlags & kFSNodeIsDirectoryMask, 0);
    EXPECT_EQ(info.dataLogicalSize, 1234u);
    EXPECT_GE(info.dataPhysicalSize, 0u);
    EXPECT_EQ(NameOf(outName), u"Caf\u00E9 \U0001D11E.txt");
    EXPECT_EQ(PathOf(parent), mBase);

    ASSERT_EQ(FSGetCatalogInfo(&parent, kFSCatInfoNodeFlags | kFSCatInfoDataSizes, &info, nullptr, nullptr, nullptr), noErr);
    EXPECT_EQ(info.nodeFlags & kFSNodeIsDirectoryMask, kFSNodeIsDirectoryMask);
    EXPECT_EQ(info.dataLogicalSize, 0u);

    // Bytes that are not UTF-8 show as U+FFFD; the name is still given.
    const std::string odd = mBase + "/odd\xFF\xC3";
    ASSERT_TRUE(WriteFile(odd, ""));
    ASSERT_EQ(MakeRef(odd, ref), noErr);
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, &outName, nullptr, nullptr), noErr);
    EXPECT_EQ(NameOf(outName), u"odd\uFFFD\uFFFD");

    // The root folder has no name and no parent.
    FSRef root;
    ASSERT_EQ(MakeRef("/", root), noErr);
    outName.length = 99;
    ASSERT_EQ(FSGetCatalogInfo(&root, kFSCatInfoNone, nullptr, &outName, nullptr, &parent), noErr);
    EXPECT_EQ(outName.length, 0);
    EXPECT_EQ(Check(parent), errFSBadFSRef);
}

TEST_F(FSRefTest, CatalogInfoThatIsNotProvidedIsAnError) {
    FSRef ref;
    ASSERT_EQ(MakeRef(mBase, ref), noErr);
    FSCatalogInfo info{};
    info.nodeFlags = 0x1234;
    FSSpec spec{};
    spec.parID = 4321;
    EXPECT_EQ(FSGetCatalogInfo(&ref, 0x00000400 /* permissions */, &info, nullptr, &spec, nullptr), errFSBadInfoBitmap);
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags, nullptr, nullptr, &spec, nullptr), paramErr);
    EXPECT_EQ(info.nodeFlags, 0x1234) << "outputs are left alone on an error";
    EXPECT_EQ(spec.parID, 4321);
}

TEST_F(FSRefTest, URLsOfFilesAndFolders) {
    const std::string file = mBase + "/movie file.mov";
    ASSERT_TRUE(WriteFile(file, "m"));
    const struct {
        std::string path;
        bool directory;
    } cases[] = {{mBase, true}, {file, false}, {"/", true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        FSRef ref;
        ASSERT_EQ(MakeRef(c.path, ref), noErr);
        CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, &ref);
        ASSERT_NE(url, nullptr);
        EXPECT_EQ(bool(CFURLHasDirectoryPath(url)), c.directory);
        UInt8 buffer[4096];
        ASSERT_TRUE(CFURLGetFileSystemRepresentation(url, true, buffer, sizeof buffer));
        EXPECT_EQ(std::string(reinterpret_cast<const char *>(buffer)), c.path);
        CFRelease(url);
    }
}

TEST_F(FSRefTest, ConcurrentReferencesKeepTheirOwnPaths) {
    constexpr int kThreads = 8;
    constexpr int kFiles = 50;
    for (int i = 0; i < kFiles; ++i) ASSERT_TRUE(WriteFile(mBase + "/f" + std::to_string(i), ""));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 10; ++round) {
                for (int i = 0; i < kFiles; ++i) {
                    const std::string path = mBase + "/f" + std::to_string((i + t * 7) % kFiles);
                    FSRef ref;
                    if (MakeRef(path, ref) != noErr || PathOf(ref) != path) ++failures;
                }
            }
        });
    }
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(failures, 0);
}

// The path table is bounded: beyond kPathTableCapacity paths the least recently used one is
// forgotten. A reference in use keeps its path; a forgotten one fails with fnfErr (it never
// names another path, since ids are never handed out twice), and a new reference to the
// same object works.
TEST_F(FSRefTest, ThePathTableKeepsWhatIsInUseAndForgetsTheRest) {
    ASSERT_TRUE(WriteFile(mBase + "/idle", "i"));
    ASSERT_TRUE(WriteFile(mBase + "/busy", "b"));
    FSRef idle, busy;
    ASSERT_EQ(MakeRef(mBase + "/idle", idle), noErr);
    ASSERT_EQ(MakeRef(mBase + "/busy", busy), noErr);
    for (size_t i = 0; i < lumora::carbon::kPathTableCapacity + 16; ++i) {
        ASSERT_NE(lumora::carbon::InternPath("/no/such/folder/" + std::to_string(i)), 0u);
        if (i % 1024 == 0) {
            ASSERT_EQ(Check(busy), noErr);
        }
    }
    EXPECT_EQ(Check(busy), noErr);
    EXPECT_EQ(Check(idle), fnfErr);
    UInt8 buffer[PATH_MAX];
    EXPECT_EQ(FSRefMakePath(&idle, buffer, sizeof buffer), fnfErr);
    EXPECT_EQ(CFURLCreateFromFSRef(kCFAllocatorDefault, &idle), nullptr);

    FSRef again;
    ASSERT_EQ(MakeRef(mBase + "/idle", again), noErr);
    EXPECT_EQ(Check(again), noErr);
    EXPECT_EQ(Check(idle), fnfErr);
}
