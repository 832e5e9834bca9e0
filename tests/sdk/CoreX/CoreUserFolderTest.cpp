#include <CoreX/CoreUserFolder.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include <CoreX/CoreNumberedFilename.h>
#include <CoreX/CoreUnixPath.h>
#include <CoreX/LFSRefFunctions.h>

#include "CoreMachDebugLogTestSupport.h"

namespace {

bool IsFolder(const std::string &path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string PathOf(const FSRef &ref) {
    std::string path;
    bool_FSRef_GetUnixPath(ref, path);
    return path;
}

std::string UnixPathOf(const CoreUserFolder &folder) {
    CoreUnixPath path;
    EXPECT_TRUE(folder.GetUnixPath(path));
    std::string text = path.str();
    CoreUnixPath::RemoveTrailingSlash(text);
    return text;
}

// A fresh HOME for each test; the variables it changes are put back afterwards.
class UserFolders : public corex_test::DebugLogFileTest {
protected:
    void SetUp() override {
        for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_PICTURES_DIR", "XDG_VIDEOS_DIR"}) {
            const char *value = std::getenv(name);
            mSaved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        corex_test::DebugLogFileTest::SetUp();
        char resolved[PATH_MAX];
        ASSERT_NE(::realpath(mHome.path().c_str(), resolved), nullptr);
        mHomePath = resolved;
        ::setenv("HOME", mHomePath.c_str(), 1);
    }
    void TearDown() override {
        corex_test::DebugLogFileTest::TearDown();
        for (const auto &[name, value] : mSaved) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
    }
    std::string Home(const std::string &relative) const { return mHomePath + "/" + relative; }

    lumora::test::ScopedFolder mHome{"home"};
    std::string mHomePath;
    std::vector<std::pair<std::string, std::optional<std::string>>> mSaved;
};

TEST_F(UserFolders, CreatedUnderTheXdgFoldersWhenSet) {
    ::setenv("XDG_DATA_HOME", Home("data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", Home("config").c_str(), 1);
    ::mkdir(Home("config").c_str(), 0700);
    ASSERT_TRUE(lumora::test::WriteFile(Home("config/user-dirs.dirs"),
                                        "# written by a test\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n"));

    const CoreUserFolder backgrounds("Lumora", kDesktopPicturesFolderType, kUserDomain);
    EXPECT_TRUE(IsFolder(Home("data/backgrounds/Lumora")));
    EXPECT_EQ(UnixPathOf(backgrounds), Home("data/backgrounds/Lumora"));
    FSRef ref;
    ASSERT_TRUE(backgrounds.GetFileRef(ref));
    EXPECT_EQ(PathOf(ref), Home("data/backgrounds/Lumora"));
    CFURLRef url = backgrounds.GetURLRef();
    ASSERT_NE(url, nullptr);
    CFRelease(url);

    // Found again, not made again: what it holds stays.
    ASSERT_TRUE(lumora::test::WriteFile(Home("data/backgrounds/Lumora/kept"), "x"));
    const CoreUserFolder again("Lumora", kDesktopPicturesFolderType, kUserDomain);
    EXPECT_EQ(UnixPathOf(again), Home("data/backgrounds/Lumora"));
    EXPECT_EQ(lumora::test::ReadFile(Home("data/backgrounds/Lumora/kept")), "x");

    const CoreUserFolder pictures(kPictureDocumentsFolderType, kUserDomain);
    EXPECT_EQ(UnixPathOf(pictures), Home("Bilder"));
    const CoreNumberedFilename numbered(CoreNumberedFilename::kFolderPictures);
    EXPECT_EQ(std::string(numbered.DefaultFolderPath()), Home("Bilder"));

    // The environment variable when the user-dirs file does not name the folder.
    ::setenv("XDG_VIDEOS_DIR", Home("Filme").c_str(), 1);
    const CoreUserFolder movies(kMovieDocumentsFolderType, kUserDomain);
    EXPECT_EQ(UnixPathOf(movies), Home("Filme"));
    EXPECT_EQ(LogText(), "");
}

TEST_F(UserFolders, CreatedUnderHomeWhenTheXdgVariablesAreUnset) {
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_PICTURES_DIR", "XDG_VIDEOS_DIR"})
        ::unsetenv(name);
    const CoreUserFolder backgrounds("Lumora", kDesktopPicturesFolderType, kUserDomain);
    EXPECT_EQ(UnixPathOf(backgrounds), Home(".local/share/backgrounds/Lumora"));
    const CoreUserFolder pictures(kPictureDocumentsFolderType, kUserDomain);
    EXPECT_EQ(UnixPathOf(pictures), Home("Pictures"));
    const CoreUserFolder movies(kMovieDocumentsFolderType, kUserDomain);
    EXPECT_EQ(UnixPathOf(movies), Home("Videos"));
    const CoreUserFolder components(kQuickTimeComponentsFolderType, kUserDomain);
    EXPECT_EQ(UnixPathOf(components), Home(".local/share/Lumora/Library/QuickTime"));
    EXPECT_EQ(LogText(), "");
}

TEST_F(UserFolders, SubFolderBlockedByAFileFails) {
    ::setenv("XDG_DATA_HOME", Home("data").c_str(), 1);
    FSRef folder;
    ASSERT_TRUE(CoreUserFolder::FSRefOfFoundFolder(folder, kFrameworksFolderType, kUserDomain, nullptr));
    EXPECT_EQ(PathOf(folder), Home("data/Lumora/Library/Frameworks"));
    ASSERT_TRUE(lumora::test::WriteFile(Home("data/Lumora/Library/Frameworks/blocked"), "x"));
    EXPECT_FALSE(CoreUserFolder::FSRefOfFoundFolder(folder, kFrameworksFolderType, kUserDomain, "blocked"));
    EXPECT_FALSE(CoreUserFolder::FSRefOfFoundFolder(folder, kFrameworksFolderType, kUserDomain, "a/b"));
    EXPECT_FALSE(IsFolder(Home("data/Lumora/Library/Frameworks/a")));
    CoreUnixPath path;
    const CoreUserFolder blocked("blocked", kFrameworksFolderType, kUserDomain);
    EXPECT_FALSE(blocked.GetUnixPath(path));
    EXPECT_TRUE(path.IsEmpty());
    // An unknown folder type is refused by the Folder Manager.
    EXPECT_FALSE(CoreUserFolder::FSRefOfFoundFolder(folder, MakeFourCharCode("????"), kUserDomain, nullptr));
}

}  // namespace
