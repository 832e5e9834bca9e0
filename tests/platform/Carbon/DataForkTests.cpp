#include <gtest/gtest.h>

#include <Carbon/Files.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "CarbonTestSupport.h"
#include "support/TestFolders.h"

using carbon_test::RealPath;
using lumora::test::ScopedFolder;
using lumora::test::WriteFile;

namespace {

class DataForkTest : public ::testing::Test {
protected:
    // The FSSpec of `name` in the test folder, whether or not it exists.
    FSSpec Spec(const std::string &name) {
        FSSpec spec{};
        Str255 pname{};
        pname[0] = UInt8(name.size());
        std::memcpy(pname + 1, name.data(), name.size());
        const OSErr status = FSMakeFSSpec(0, mFolderID, pname, &spec);
        EXPECT_TRUE(status == noErr || status == fnfErr) << status;
        return spec;
    }

    void SetUp() override { UseFolder(mBase); }

    // Makes `folder` the test folder that Spec names files in.
    void UseFolder(const std::string &folder) {
        mBase = folder;
        ASSERT_TRUE(WriteFile(mBase + "/.anchor", ""));
        FSRef ref;
        ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>((mBase + "/.anchor").c_str()), &ref, nullptr), noErr);
        FSSpec anchor{};
        ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, &anchor, nullptr), noErr);
        mFolderID = anchor.parID;
    }

    void CheckAccessAgainstPermissions();

    ScopedFolder mFolder{"forks"};
    std::string mBase = RealPath(mFolder.path());
    long mFolderID = 0;
};

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 7 + 3) & 0xFF);
    return bytes;
}

}  // namespace

TEST_F(DataForkTest, ReadsInPiecesAndReportsTheEndOfTheFork) {
    const std::string content = Pattern(1000);
    ASSERT_TRUE(WriteFile(mBase + "/data.bin", content));
    const FSSpec spec = Spec("data.bin");
    FSIORefNum refNum = 0;
    ASSERT_EQ(FSpOpenDF(&spec, fsRdPerm, &refNum), noErr);
    EXPECT_GT(refNum, 0);
    long size = -1;
    ASSERT_EQ(GetEOF(refNum, &size), noErr);
    EXPECT_EQ(size, 1000);

    std::vector<char> buffer(700, 'X');
    long count = 600;
    ASSERT_EQ(FSRead(refNum, &count, buffer.data()), noErr);
    EXPECT_EQ(count, 600);
    EXPECT_EQ(std::string(buffer.data(), 600), content.substr(0, 600));

    // Past the end: the rest, and eofErr.
    count = 700;
    EXPECT_EQ(FSRead(refNum, &count, buffer.data()), eofErr);
    EXPECT_EQ(count, 400);
    EXPECT_EQ(std::string(buffer.data(), 400), content.substr(600));
    count = 10;
    EXPECT_EQ(FSRead(refNum, &count, buffer.data()), eofErr);
    EXPECT_EQ(count, 0);
    count = 0;
    EXPECT_EQ(FSRead(refNum, &count, nullptr), noErr);

    EXPECT_EQ(FSClose(refNum), noErr);
    // Closed: the number is no longer an open fork.
    EXPECT_EQ(FSClose(refNum), rfNumErr);
    EXPECT_EQ(GetEOF(refNum, &size), rfNumErr);
    count = 1;
    EXPECT_EQ(FSRead(refNum, &count, buffer.data()), rfNumErr);

    ASSERT_TRUE(WriteFile(mBase + "/empty", ""));
    const FSSpec empty = Spec("empty");
    ASSERT_EQ(FSpOpenDF(&empty, fsCurPerm, &refNum), noErr);
    ASSERT_EQ(GetEOF(refNum, &size), noErr);
    EXPECT_EQ(size, 0);
    count = 10;
    EXPECT_EQ(FSRead(refNum, &count, buffer.data()), eofErr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(FSClose(refNum), noErr);
}

TEST_F(DataForkTest, NumbersNeverOpenedOrClosedAlreadyAreRefused) {
    for (FSIORefNum bad : {FSIORefNum(0), FSIORefNum(-1), FSIORefNum(-32768), FSIORefNum(32767), FSIORefNum(4321)}) {
        SCOPED_TRACE(bad);
        long value = 5;
        EXPECT_EQ(GetEOF(bad, &value), rfNumErr);
        EXPECT_EQ(FSRead(bad, &value, &value), rfNumErr);
        EXPECT_EQ(FSClose(bad), rfNumErr);
    }

    // A number closed just now is not the next file's, so closing it twice cannot close
    // another file.
    ASSERT_TRUE(WriteFile(mBase + "/a", "aaaa"));
    ASSERT_TRUE(WriteFile(mBase + "/b", "bbbb"));
    const FSSpec a = Spec("a"), b = Spec("b");
    FSIORefNum first = 0, second = 0;
    ASSERT_EQ(FSpOpenDF(&a, fsRdPerm, &first), noErr);
    ASSERT_EQ(FSClose(first), noErr);
    ASSERT_EQ(FSpOpenDF(&b, fsRdPerm, &second), noErr);
    EXPECT_NE(first, second);
    EXPECT_EQ(FSClose(first), rfNumErr);
    char buffer[4];
    long count = 4;
    EXPECT_EQ(FSRead(second, &count, buffer), noErr);
    EXPECT_EQ(std::string(buffer, 4), "bbbb");
    EXPECT_EQ(FSClose(second), noErr);
}

TEST_F(DataForkTest, ArgumentErrors) {
    ASSERT_TRUE(WriteFile(mBase + "/f", "12345"));
    const FSSpec spec = Spec("f");
    FSIORefNum refNum = 0;
    EXPECT_EQ(FSpOpenDF(nullptr, fsRdPerm, &refNum), paramErr);
    EXPECT_EQ(FSpOpenDF(&spec, fsRdPerm, nullptr), paramErr);
    EXPECT_EQ(FSpOpenDF(&spec, 5, &refNum), paramErr);
    EXPECT_EQ(FSpOpenDF(&spec, -1, &refNum), paramErr);
    EXPECT_EQ(refNum, 0);

    ASSERT_EQ(FSpOpenDF(&spec, fsRdPerm, &refNum), noErr);
    char buffer[8];
    long count = -1;
    EXPECT_EQ(FSRead(refNum, &count, buffer), paramErr);
    count = 3;
    EXPECT_EQ(FSRead(refNum, &count, nullptr), paramErr);
    EXPECT_EQ(FSRead(refNum, nullptr, buffer), paramErr);
    EXPECT_EQ(GetEOF(refNum, nullptr), paramErr);
    // None of that moved the mark.
    count = 8;
    EXPECT_EQ(FSRead(refNum, &count, buffer), eofErr);
    EXPECT_EQ(std::string(buffer, size_t(count)), "12345");
    EXPECT_EQ(FSClose(refNum), noErr);
}

// Only plain files have a data fork; opening a FIFO must not wait for a writer.
TEST_F(DataForkTest, FoldersAndSpecialFilesAreNotFiles) {
    ASSERT_EQ(::mkdir((mBase + "/folder").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo((mBase + "/fifo").c_str(), 0600), 0);
    for (const char *name : {"folder", "fifo"}) {
        for (SInt8 permission : {fsRdPerm, fsCurPerm, fsWrPerm}) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(permission));
            const FSSpec spec = Spec(name);
            FSIORefNum refNum = 0;
            EXPECT_EQ(FSpOpenDF(&spec, permission, &refNum), notAFileErr);
            EXPECT_EQ(refNum, 0);
        }
    }
    const FSSpec missing = Spec("missing");
    FSIORefNum refNum = 0;
    EXPECT_EQ(FSpOpenDF(&missing, fsRdPerm, &refNum), fnfErr);
}

void DataForkTest::CheckAccessAgainstPermissions() {
    ASSERT_TRUE(WriteFile(mBase + "/secret", "no"));
    ASSERT_TRUE(WriteFile(mBase + "/readonly", "read me"));
    ASSERT_TRUE(WriteFile(mBase + "/writeonly", "w"));
    ASSERT_EQ(::mkdir((mBase + "/closed").c_str(), 0700), 0);
    ASSERT_TRUE(WriteFile(mBase + "/closed/inside", "i"));
    ASSERT_EQ(::chmod((mBase + "/secret").c_str(), 0000), 0);
    ASSERT_EQ(::chmod((mBase + "/readonly").c_str(), 0444), 0);
    ASSERT_EQ(::chmod((mBase + "/writeonly").c_str(), 0200), 0);
    FSSpec inside{};  // a file in a folder that may not be searched
    FSRef insideRef;
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>((mBase + "/closed/inside").c_str()), &insideRef, nullptr),
              noErr);
    ASSERT_EQ(FSGetCatalogInfo(&insideRef, kFSCatInfoNone, nullptr, nullptr, &inside, nullptr), noErr);
    ASSERT_EQ(::chmod((mBase + "/closed").c_str(), 0000), 0);

    const struct {
        FSSpec spec;
        SInt8 permission;
        OSErr status;
    } cases[] = {
        {Spec("secret"), fsRdPerm, afpAccessDenied},
        {Spec("secret"), fsCurPerm, afpAccessDenied},
        {Spec("readonly"), fsWrPerm, afpAccessDenied},
        {Spec("readonly"), fsRdWrPerm, afpAccessDenied},
        {Spec("readonly"), fsCurPerm, noErr},  // falls back to reading
        {Spec("writeonly"), fsRdPerm, afpAccessDenied},
        {Spec("writeonly"), fsWrPerm, noErr},
        {inside, fsRdPerm, afpAccessDenied},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(reinterpret_cast<const char *>(c.spec.name + 1), c.spec.name[0]) + " " +
                     std::to_string(c.permission));
        FSIORefNum refNum = 0;
        EXPECT_EQ(FSpOpenDF(&c.spec, c.permission, &refNum), c.status);
        if (c.status == noErr) {
            EXPECT_EQ(FSClose(refNum), noErr);
        }
    }

    FSIORefNum refNum = 0;
    const FSSpec readonly = Spec("readonly");
    ASSERT_EQ(FSpOpenDF(&readonly, fsCurPerm, &refNum), noErr);
    char buffer[16];
    long count = sizeof buffer;
    EXPECT_EQ(FSRead(refNum, &count, buffer), eofErr);
    EXPECT_EQ(std::string(buffer, size_t(count)), "read me");
    EXPECT_EQ(FSClose(refNum), noErr);

    const FSSpec writeonly = Spec("writeonly");
    ASSERT_EQ(FSpOpenDF(&writeonly, fsWrPerm, &refNum), noErr);
    count = 1;
    EXPECT_EQ(FSRead(refNum, &count, buffer), permErr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(FSClose(refNum), noErr);

    ::chmod((mBase + "/closed").c_str(), 0700);  // so that the folder can be removed
}

// Permissions do not bind root, so as root (as in CI) the checks run in a forked child that
// has dropped to the unprivileged user nobody (65534), in a folder it owns; the child's
// verdict comes back as its exit status.
TEST_F(DataForkTest, AccessIsCheckedAgainstTheFilesPermissions) {
    if (::geteuid() != 0) {
        CheckAccessAgainstPermissions();
        return;
    }
    constexpr uid_t kNobody = 65534;
    char made[] = "/tmp/lumora-permissions-XXXXXX";
    ASSERT_NE(::mkdtemp(made), nullptr);
    const std::string folder = made;
    ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 || ::geteuid() == 0)
            ::_exit(3);
        UseFolder(folder);
        if (!::testing::Test::HasFailure()) CheckAccessAgainstPermissions();
        std::fflush(stdout);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a check failed in the child (reported above); 3: could not become nobody";
}

// Running out of descriptors is tmfoErr; closing makes room again. (The descriptors are
// used up by the test itself: the sanitizers need a free descriptor for some checks.)
TEST_F(DataForkTest, TooManyOpenFiles) {
    ASSERT_TRUE(WriteFile(mBase + "/f", "x"));
    const FSSpec spec = Spec("f");
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit lowered = saved;
    lowered.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 1024);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    const int any = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(any, 0);
    std::vector<int> used{any};
    for (int fd; (fd = ::dup(any)) >= 0;) used.push_back(fd);
    FSIORefNum refNum = 0;
    const OSErr status = FSpOpenDF(&spec, fsRdPerm, &refNum);
    for (int fd : used) ::close(fd);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_EQ(status, tmfoErr);
    EXPECT_EQ(refNum, 0);
    ASSERT_EQ(FSpOpenDF(&spec, fsRdPerm, &refNum), noErr);
    EXPECT_EQ(FSClose(refNum), noErr);
}

// Threads opening, reading and closing at once each read their own file.
TEST_F(DataForkTest, ConcurrentForksKeepTheirOwnFiles) {
    constexpr int kThreads = 8;
    std::vector<FSSpec> specs;
    for (int t = 0; t < kThreads; ++t) {
        const std::string name = "file" + std::to_string(t);
        ASSERT_TRUE(WriteFile(mBase + "/" + name, std::string(100 + t, char('A' + t))));
        specs.push_back(Spec(name));
    }
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 200; ++round) {
                FSIORefNum refNum = 0;
                if (FSpOpenDF(&specs[size_t(t)], fsRdPerm, &refNum) != noErr) {
                    ++failures;
                    continue;
                }
                long size = 0;
                std::string content(200, '\0');
                if (GetEOF(refNum, &size) != noErr || size != 100 + t || FSRead(refNum, &size, content.data()) != noErr ||
                    content.substr(0, size_t(size)) != std::string(size_t(100 + t), char('A' + t)))
                    ++failures;
                if (FSClose(refNum) != noErr) ++failures;
            }
        });
    }
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(failures, 0);
}
