#include <gtest/gtest.h>

#include <Carbon/Files.h>

#include <cstring>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

#include "CarbonTestSupport.h"
#include "support/TestFolders.h"

using carbon_test::RealPath;
using carbon_test::RefOf;
using lumora::test::ReadFile;
using lumora::test::ScopedFolder;
using lumora::test::WriteFile;

namespace {

class ForkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(FSGetDataForkName(&mDataFork), noErr);
        ASSERT_EQ(FSGetResourceForkName(&mResourceFork), noErr);
    }

    OSErr Open(const FSRef &ref, const HFSUniStr255 &fork, SInt8 permission, FSIORefNum &refNum) {
        return FSOpenFork(&ref, fork.length, fork.unicode, permission, &refNum);
    }

    std::string Attribute(const std::string &path) {
        std::vector<char> buffer(70000);
        const ssize_t size = ::getxattr(path.c_str(), "user.com.apple.ResourceFork", buffer.data(), buffer.size());
        return size < 0 ? std::string("(none)") : std::string(buffer.data(), size_t(size));
    }

    HFSUniStr255 mDataFork{}, mResourceFork{};
    ScopedFolder mFolder{"forks2"};
    std::string mBase = RealPath(mFolder.path());
};

}  // namespace

TEST_F(ForkTest, ForkNames) {
    EXPECT_EQ(mDataFork.length, 0);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(mResourceFork.unicode), mResourceFork.length),
              u"RESOURCE_FORK");
    EXPECT_EQ(FSGetDataForkName(nullptr), paramErr);
}

// Reads and writes at each position mode, on the data fork and on the resource fork.
TEST_F(ForkTest, PositionsReadsAndWritesOnBothForks) {
    SKIP_WITHOUT_USER_ATTRIBUTES(mBase);
    const std::string path = mBase + "/both";
    ASSERT_TRUE(WriteFile(path, ""));
    const FSRef ref = RefOf(path);
    for (const HFSUniStr255 *fork : {&mDataFork, &mResourceFork}) {
        const bool resource = fork == &mResourceFork;
        SCOPED_TRACE(resource ? "resource fork" : "data fork");
        FSIORefNum refNum = 0;
        ASSERT_EQ(Open(ref, *fork, fsRdWrPerm, refNum), noErr);
        ByteCount done = 0;
        ASSERT_EQ(FSWriteFork(refNum, fsFromStart, 0, 10, "0123456789", &done), noErr);
        EXPECT_EQ(done, 10u);
        ASSERT_EQ(FSWriteFork(refNum, fsFromLEOF, -2, 4, "abcd", &done), noErr);  // overwrites 89, grows by 2
        ASSERT_EQ(FSWriteFork(refNum, fsFromMark, 2, 1, "X", &done), noErr);      // past the end: a gap of 2
        SInt64 size = 0, position = 0;
        ASSERT_EQ(FSGetForkSize(refNum, &size), noErr);
        EXPECT_EQ(size, 15);
        ASSERT_EQ(FSGetForkPosition(refNum, &position), noErr);
        EXPECT_EQ(position, 15);

        char buffer[32] = {};
        ASSERT_EQ(FSReadFork(refNum, fsFromStart, 0, 15, buffer, &done), noErr);
        EXPECT_EQ(std::string(buffer, 15), std::string("01234567abcd\0\0X", 15));
        ASSERT_EQ(FSSetForkPosition(refNum, fsFromStart, 4), noErr);
        ASSERT_EQ(FSReadFork(refNum, fsAtMark, 999, 3, buffer, &done), noErr);  // the offset is ignored at the mark
        EXPECT_EQ(std::string(buffer, 3), "456");
        EXPECT_EQ(FSReadFork(refNum, fsFromMark, 5, 10, buffer, &done), eofErr);
        EXPECT_EQ(done, 3u);
        EXPECT_EQ(std::string(buffer, 3), std::string("\0\0X", 3));

        EXPECT_EQ(FSSetForkPosition(refNum, fsFromStart, -1), posErr);
        EXPECT_EQ(FSSetForkPosition(refNum, fsFromLEOF, 1), eofErr);
        EXPECT_EQ(FSReadFork(refNum, fsFromMark, -100, 1, buffer, &done), posErr);
        ASSERT_EQ(FSGetForkPosition(refNum, &position), noErr);
        EXPECT_EQ(position, 15) << "a refused move leaves the mark";
        EXPECT_EQ(FSReadFork(refNum, fsFromStart, 0, 1, nullptr, &done), paramErr);
        ASSERT_EQ(FSCloseFork(refNum), noErr);
        EXPECT_EQ(FSCloseFork(refNum), rfNumErr);
    }
    EXPECT_EQ(ReadFile(path), std::string("01234567abcd\0\0X", 15));
    EXPECT_EQ(Attribute(path), std::string("01234567abcd\0\0X", 15));
}

TEST_F(ForkTest, PermissionsOfOpenForks) {
    SKIP_WITHOUT_USER_ATTRIBUTES(mBase);
    const std::string path = mBase + "/perm";
    ASSERT_TRUE(WriteFile(path, "data"));
    const FSRef ref = RefOf(path);
    for (const HFSUniStr255 *fork : {&mDataFork, &mResourceFork}) {
        FSIORefNum reader = 0;
        ASSERT_EQ(Open(ref, *fork, fsRdPerm, reader), noErr);
        ByteCount done = 0;
        EXPECT_EQ(FSWriteFork(reader, fsFromStart, 0, 1, "x", &done), wrPermErr);
        EXPECT_EQ(FSCloseFork(reader), noErr);
    }
    FSIORefNum writer = 0;
    ASSERT_EQ(Open(ref, mDataFork, fsWrPerm, writer), noErr);
    char buffer[4];
    ByteCount done = 0;
    EXPECT_EQ(FSReadFork(writer, fsFromStart, 0, 1, buffer, &done), permErr);
    EXPECT_EQ(FSCloseFork(writer), noErr);
    FSIORefNum refNum = 0;
    EXPECT_EQ(Open(ref, mDataFork, 9, refNum), paramErr);
}

TEST_F(ForkTest, CreatingAndDeletingForks) {
    SKIP_WITHOUT_USER_ATTRIBUTES(mBase);
    const std::string path = mBase + "/forked";
    ASSERT_TRUE(WriteFile(path, "content"));
    const FSRef ref = RefOf(path);
    // Every file has its data fork; a resource fork is made once.
    EXPECT_EQ(FSCreateFork(&ref, mDataFork.length, mDataFork.unicode), errFSForkExists);
    EXPECT_EQ(Attribute(path), "(none)");
    ASSERT_EQ(FSCreateFork(&ref, mResourceFork.length, mResourceFork.unicode), noErr);
    EXPECT_EQ(Attribute(path), "");
    EXPECT_EQ(FSCreateFork(&ref, mResourceFork.length, mResourceFork.unicode), errFSForkExists);

    FSIORefNum refNum = 0;
    ASSERT_EQ(Open(ref, mResourceFork, fsRdWrPerm, refNum), noErr);
    ASSERT_EQ(FSWriteFork(refNum, fsFromStart, 0, 3, "rsc", nullptr), noErr);
    ASSERT_EQ(FSCloseFork(refNum), noErr);
    EXPECT_EQ(Attribute(path), "rsc");

    ASSERT_EQ(FSDeleteFork(&ref, mResourceFork.length, mResourceFork.unicode), noErr);
    EXPECT_EQ(Attribute(path), "(none)");
    EXPECT_EQ(FSDeleteFork(&ref, mResourceFork.length, mResourceFork.unicode), noErr) << "nothing left to delete";
    ASSERT_EQ(FSDeleteFork(&ref, mDataFork.length, mDataFork.unicode), noErr);
    EXPECT_EQ(ReadFile(path), "");

    // An empty resource fork opens and reads as empty.
    ASSERT_EQ(Open(ref, mResourceFork, fsRdPerm, refNum), noErr);
    SInt64 size = -1;
    ASSERT_EQ(FSGetForkSize(refNum, &size), noErr);
    EXPECT_EQ(size, 0);
    ASSERT_EQ(FSCloseFork(refNum), noErr);
}

TEST_F(ForkTest, ForksThatCannotBeOpened) {
    ASSERT_TRUE(WriteFile(mBase + "/f", "x"));
    const FSRef file = RefOf(mBase + "/f");
    const FSRef folder = RefOf(mBase);
    const UniChar other[] = {'O', 'T', 'H', 'E', 'R'};
    FSIORefNum refNum = 0;
    EXPECT_EQ(FSOpenFork(&file, 5, other, fsRdPerm, &refNum), errFSBadForkName);
    EXPECT_EQ(FSCreateFork(&file, 5, other), errFSBadForkName);
    EXPECT_EQ(FSDeleteFork(&file, 5, other), errFSBadForkName);
    EXPECT_EQ(Open(folder, mDataFork, fsRdPerm, refNum), notAFileErr);
    EXPECT_EQ(Open(folder, mResourceFork, fsRdPerm, refNum), notAFileErr);
    EXPECT_EQ(FSOpenFork(nullptr, 0, nullptr, fsRdPerm, &refNum), paramErr);
    EXPECT_EQ(refNum, 0);
    ByteCount done = 0;
    char buffer[1];
    EXPECT_EQ(FSReadFork(0, fsAtMark, 0, 1, buffer, &done), rfNumErr);
    EXPECT_EQ(FSWriteFork(-3, fsAtMark, 0, 1, buffer, &done), rfNumErr);
}

// A resource fork lives in one extended attribute: more than Linux takes is refused and
// the fork keeps what it had.
TEST_F(ForkTest, AResourceForkThatDoesNotFitIsRefused) {
    SKIP_WITHOUT_USER_ATTRIBUTES(mBase);
    const std::string path = mBase + "/big";
    ASSERT_TRUE(WriteFile(path, ""));
    const FSRef ref = RefOf(path);
    FSIORefNum refNum = 0;
    ASSERT_EQ(Open(ref, mResourceFork, fsRdWrPerm, refNum), noErr);
    ASSERT_EQ(FSWriteFork(refNum, fsFromStart, 0, 5, "small", nullptr), noErr);
    const std::vector<char> huge(70000, 'h');
    ByteCount done = 99;
    EXPECT_EQ(FSWriteFork(refNum, fsFromStart, 0, huge.size(), huge.data(), &done), dskFulErr);
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(FSWriteFork(refNum, fsFromStart, SInt64(1) << 40, 1, "x", &done), dskFulErr);
    SInt64 size = 0;
    ASSERT_EQ(FSGetForkSize(refNum, &size), noErr);
    EXPECT_EQ(size, 5);
    ASSERT_EQ(FSCloseFork(refNum), noErr);
    EXPECT_EQ(Attribute(path), "small");
}
