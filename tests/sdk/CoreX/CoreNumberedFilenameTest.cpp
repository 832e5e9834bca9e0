#include <CoreX/CoreNumberedFilename.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "CoreMachDebugLogTestSupport.h"

namespace {

std::string RealPath(const std::string &path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
}

std::string SnapshotName(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "Lumora %04d.jpg", number);
    return name;
}

std::vector<std::string> Entries(const std::string &folder) {
    std::vector<std::string> names;
    if (DIR *dir = ::opendir(folder.c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

class NumberedFiles : public corex_test::DebugLogFileTest {
protected:
    void SetUp() override {
        corex_test::DebugLogFileTest::SetUp();
        ASSERT_TRUE(mNumbered.Construct(mRoot.c_str()));
    }
    std::string Item(const std::string &name) const { return mRoot + "/" + name; }

    lumora::test::ScopedFolder mFolder{"numbered"};
    const std::string mRoot = RealPath(mFolder.path());
    CoreNumberedFilename mNumbered;
    char mPath[CoreNumberedFilename::kPathBufferSize];
    int mNumber = -1;
};

TEST_F(NumberedFiles, FirstGapWinsAndTheNameIsClaimed) {
    ASSERT_TRUE(mNumbered.FindFirstAvailableNamedPathNumber(mPath, "Lumora %04d", "jpg", mNumber));
    EXPECT_EQ(mNumber, 0);
    EXPECT_EQ(std::string(mPath), Item("Lumora 0000.jpg"));
    // The name is taken at once, so the next search does not answer it again.
    EXPECT_EQ(lumora::test::ReadFile(mPath), "");
    ASSERT_TRUE(mNumbered.FindFirstAvailableNamedPathNumber(mPath, "Lumora %04d", "jpg", mNumber));
    EXPECT_EQ(mNumber, 1);

    // Gaps at 2 and 4 (0, 1 and 3 taken): 2 first, then 4.
    ASSERT_TRUE(lumora::test::WriteFile(Item(SnapshotName(3)), "third"));
    ASSERT_TRUE(mNumbered.FindFirstAvailableNamedPathNumber(mPath, "Lumora %04d", "jpg", mNumber));
    EXPECT_EQ(mNumber, 2);
    ASSERT_TRUE(mNumbered.FindFirstAvailableNamedPath(mPath, "Lumora %04d", "jpg"));
    EXPECT_EQ(std::string(mPath), Item(SnapshotName(4)));
    EXPECT_EQ(lumora::test::ReadFile(Item(SnapshotName(3))), "third");

    // Another extension or format numbers separately.
    ASSERT_TRUE(mNumbered.FindFirstAvailableNamedPathNumber(mPath, "Lumora_%03d", "mov", mNumber));
    EXPECT_EQ(std::string(mPath), Item("Lumora_000.mov"));
    EXPECT_EQ(LogText(), "");
}

TEST_F(NumberedFiles, ExistingItemsOfAnyKindAreSkipped) {
    ASSERT_EQ(::symlink(Item("nowhere").c_str(), Item(SnapshotName(0)).c_str()), 0);  // dangling
    ASSERT_EQ(::mkdir(Item(SnapshotName(1)).c_str(), 0700), 0);
    ASSERT_TRUE(mNumbered.FindFirstAvailableNamedPathNumber(mPath, "Lumora %04d", "jpg", mNumber));
    EXPECT_EQ(mNumber, 2);
    struct stat info;
    EXPECT_NE(::stat(Item("nowhere").c_str(), &info), 0);  // the link was not followed
}

TEST_F(NumberedFiles, AllThousandTakenFailsAndSaysSo) {
    for (int number = 0; number < 1000; ++number) {
        char name[32];
        std::snprintf(name, sizeof name, "n%03d.png", number);
        ASSERT_TRUE(lumora::test::WriteFile(Item(name), ""));
    }
    std::snprintf(mPath, sizeof mPath, "stale");
    mNumber = 5;
    EXPECT_FALSE(mNumbered.FindFirstAvailableNamedPathNumber(mPath, "n%03d", "png", mNumber));
    EXPECT_STREQ(mPath, "");
    EXPECT_EQ(mNumber, 0);
    EXPECT_NE(LogText().find("all 1000 numbered names"), std::string::npos) << LogText();
    EXPECT_EQ(Entries(mRoot).size(), 1000u);
}

TEST_F(NumberedFiles, FormatsThatAreNotOneIntegerAreRefused) {
    for (const char *format : {"%s", "%d %d", "no number", "%n", "%ld", "%*d", "%f", "100%"}) {
        SCOPED_TRACE(format);
        EXPECT_FALSE(mNumbered.FindFirstAvailableNamedPath(mPath, format, "jpg"));
        EXPECT_STREQ(mPath, "");
    }
    EXPECT_FALSE(mNumbered.FindFirstAvailableNamedPath(mPath, nullptr, "jpg"));
    EXPECT_FALSE(mNumbered.FindFirstAvailableNamedPath(mPath, "%d", nullptr));
    EXPECT_FALSE(mNumbered.FindFirstAvailableNamedPath(mPath, "%d", ""));
    EXPECT_TRUE(Entries(mRoot).empty());
    ASSERT_TRUE(mNumbered.FindFirstAvailableNamedPath(mPath, "100%% %+05d", "txt"));
    EXPECT_EQ(std::string(mPath), Item("100% +0000.txt"));
}

// A candidate that does not fit the buffer is refused, never cut to a shorter path.
TEST_F(NumberedFiles, CandidateThatWouldBeCutIsRefused) {
    std::string folder = mRoot;
    while (folder.size() < CoreNumberedFilename::kPathBufferSize - 40) {
        folder += "/" + std::string(std::min<std::size_t>(200, CoreNumberedFilename::kPathBufferSize - 40 - folder.size()), 'd');
        ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0) << folder;
    }
    CoreNumberedFilename deep;
    ASSERT_TRUE(deep.Construct(folder.c_str()));
    const std::size_t room = CoreNumberedFilename::kPathBufferSize - 1 - folder.size() - 1;  // after "folder/"
    // Exactly fits: name, ".", extension fill the rest of the buffer.
    const std::string fitting = std::string(room - 4 - 4, 'f') + "%04d";
    ASSERT_TRUE(deep.FindFirstAvailableNamedPath(mPath, fitting.c_str(), "abc"));
    EXPECT_EQ(std::string(mPath).size(), CoreNumberedFilename::kPathBufferSize - 1);
    const std::string tooLong = "f" + fitting;
    EXPECT_FALSE(deep.FindFirstAvailableNamedPath(mPath, tooLong.c_str(), "abc"));
    EXPECT_STREQ(mPath, "");
    EXPECT_EQ(Entries(folder).size(), 1u);
    EXPECT_NE(LogText().find("candidate_length<sizeof(candidate)"), std::string::npos);
}

TEST_F(NumberedFiles, NeverConstructedOrVanishedFolderFails) {
    CoreNumberedFilename none;
    EXPECT_FALSE(none.IsConstructed());
    EXPECT_FALSE(none.FindFirstAvailableNamedPath(mPath, "Lumora %04d", "jpg"));
    EXPECT_NE(LogText().find(" code : IsConstructed()"), std::string::npos);
    EXPECT_STREQ(none.DefaultFolderPath(), "");

    const std::string gone = Item("gone");
    ASSERT_EQ(::mkdir(gone.c_str(), 0700), 0);
    CoreNumberedFilename vanished;
    ASSERT_TRUE(vanished.Construct(gone.c_str()));
    EXPECT_EQ(std::string(vanished.DefaultFolderPath()), gone);
    ASSERT_EQ(::rmdir(gone.c_str()), 0);
    EXPECT_FALSE(vanished.IsConstructed());
    EXPECT_FALSE(vanished.FindFirstAvailableNamedPath(mPath, "Lumora %04d", "jpg"));

    CoreNumberedFilename notAFolder;
    ASSERT_TRUE(lumora::test::WriteFile(Item("plain"), "x"));
    EXPECT_FALSE(notAFolder.Construct(Item("plain").c_str()));
    EXPECT_FALSE(notAFolder.Construct(Item("missing").c_str()));
}

// Two snapshots saved at once never get the same name (run many times).
TEST_F(NumberedFiles, ConcurrentClaimsNeverShareAName) {
    for (int round = 0; round < 40; ++round) {
        lumora::test::ScopedFolder folder("race");
        CoreNumberedFilename shared;
        ASSERT_TRUE(shared.Construct(folder.path().c_str()));
        constexpr int kThreads = 6;
        constexpr int kEach = 8;
        std::vector<std::vector<int>> numbers(kThreads);
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                // Half the threads use their own object on the same folder.
                CoreNumberedFilename own;
                own.Construct(folder.path().c_str());
                const CoreNumberedFilename &finder = (t % 2 == 0) ? shared : own;
                ++ready;
                while (ready.load() < kThreads) std::this_thread::yield();
                for (int i = 0; i < kEach; ++i) {
                    char path[CoreNumberedFilename::kPathBufferSize];
                    int number = -1;
                    if (finder.FindFirstAvailableNamedPathNumber(path, "Lumora %04d", "png", number))
                        numbers[t].push_back(number);
                }
            });
        }
        for (std::thread &thread : threads) thread.join();
        std::set<int> all;
        std::size_t count = 0;
        for (const std::vector<int> &list : numbers) {
            count += list.size();
            all.insert(list.begin(), list.end());
        }
        ASSERT_EQ(count, std::size_t(kThreads * kEach)) << "round " << round;
        ASSERT_EQ(all.size(), count) << "round " << round;
        EXPECT_EQ(*all.rbegin(), kThreads * kEach - 1);
    }
}

TEST_F(NumberedFiles, ClaimedFilesAreWrittenAtomicallyOrGivenBack) {
    ASSERT_TRUE(mNumbered.FindFirstAvailableNamedPath(mPath, "Lumora %04d", "jpg"));
    const std::string first = mPath;
    ::chmod(first.c_str(), 0640);
    const std::string content(100000, 'j');
    ASSERT_TRUE(CoreNumberedFilename::WriteClaimedPath(first.c_str(), content.data(), content.size()));
    EXPECT_EQ(lumora::test::ReadFile(first), content);
    struct stat info;
    ASSERT_EQ(::stat(first.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(Entries(mRoot), std::vector<std::string>{"Lumora 0000.jpg"});  // no temporary left

    // A written file is no claimed name: it is never replaced.
    EXPECT_FALSE(CoreNumberedFilename::WriteClaimedPath(first.c_str(), "other", 5));
    EXPECT_EQ(lumora::test::ReadFile(first), content);
    EXPECT_FALSE(CoreNumberedFilename::ReleaseClaimedPath(first.c_str()));
    EXPECT_EQ(lumora::test::ReadFile(first), content);

    // The second snapshot gets the next name; given back, its name is free again.
    ASSERT_TRUE(mNumbered.FindFirstAvailableNamedPath(mPath, "Lumora %04d", "jpg"));
    EXPECT_EQ(std::string(mPath), Item(SnapshotName(1)));
    EXPECT_TRUE(CoreNumberedFilename::ReleaseClaimedPath(mPath));
    ASSERT_TRUE(mNumbered.FindFirstAvailableNamedPath(mPath, "Lumora %04d", "jpg"));
    EXPECT_EQ(std::string(mPath), Item(SnapshotName(1)));
    ASSERT_TRUE(CoreNumberedFilename::WriteClaimedPath(mPath, "", 0));
    EXPECT_FALSE(CoreNumberedFilename::WriteClaimedPath(Item("missing.jpg").c_str(), "x", 1));
    EXPECT_FALSE(CoreNumberedFilename::WriteClaimedPath(nullptr, "x", 1));
}

TEST(NumberedFileFolders, SelectorsMapToUserFolders) {
    EXPECT_EQ(CoreNumberedFilename::LocationFromEnum(0), kPictureDocumentsFolderType);
    for (int selector : {1, 5, -1}) EXPECT_EQ(CoreNumberedFilename::LocationFromEnum(selector), kDesktopFolderType);
    EXPECT_EQ(CoreNumberedFilename::LocationFromEnum(2), kDesktopPicturesFolderType);
    EXPECT_EQ(CoreNumberedFilename::LocationFromEnum(3), kDocumentsFolderType);
    EXPECT_EQ(CoreNumberedFilename::LocationFromEnum(4), kMovieDocumentsFolderType);

    // The folder is found, never created.
    FSRef pictures;
    ASSERT_EQ(FSFindFolder(kUserDomain, kPictureDocumentsFolderType, kCreateFolder, &pictures), noErr);
    CoreNumberedFilename numbered(CoreNumberedFilename::kFolderPictures);
    ASSERT_TRUE(numbered.IsConstructed());
    char path[CoreNumberedFilename::kPathBufferSize];
    ASSERT_TRUE(numbered.FindFirstAvailableNamedPath(path, "Lumora %04d", "jpg"));
    EXPECT_TRUE(CoreNumberedFilename::ReleaseClaimedPath(path));
}

}  // namespace
