#include <gtest/gtest.h>

#include <Carbon/Folders.h>

#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "CarbonTestSupport.h"
#include "support/TestFolders.h"

using carbon_test::PathOf;
using carbon_test::RealPath;
using carbon_test::ScopedEnv;
using lumora::test::ScopedFolder;

namespace {

// Every domain's folders inside one fresh folder.
class FolderTest : public ::testing::Test {
protected:
    ScopedFolder mRoot{"folders"};
    std::string mBase = RealPath(mRoot.path());
    ScopedEnv mEnv{
        {"XDG_DATA_HOME", mBase + "/data"},
        {"XDG_STATE_HOME", mBase + "/state"},
        {"LUMORA_LOCAL_LIBRARY", mBase + "/local/Library"},
        {"LUMORA_SYSTEM_LIBRARY", mBase + "/system/Library/"},  // a trailing slash is dropped
    };
};

mode_t Mode(const std::string &path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

mode_t Umask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

TEST_F(FolderTest, EachDomainAndTypeMapsToItsFolderAndIsCreatedOnRequest) {
    const struct {
        short domain;
        OSType type;
        const char *path;      // below mBase
        const char *created;   // the first folder the creation adds
    } cases[] = {
        {kUserDomain, kLogsFolderType, "/state/Logs", "/state"},
        {kUserDomain, kDomainLibraryFolderType, "/data/Lumora/Library", "/data"},
        {kUserDomain, kFrameworksFolderType, "/data/Lumora/Library/Frameworks", "/data"},
        {kUserDomain, kQuickTimeComponentsFolderType, "/data/Lumora/Library/QuickTime", "/data"},
        {kLocalDomain, kLogsFolderType, "/local/Library/Logs", "/local"},
        {kLocalDomain, kDomainLibraryFolderType, "/local/Library", "/local"},
        {kLocalDomain, kFrameworksFolderType, "/local/Library/Frameworks", "/local"},
        {kLocalDomain, kQuickTimeComponentsFolderType, "/local/Library/QuickTime", "/local"},
        {kSystemDomain, kLogsFolderType, "/system/Library/Logs", "/system"},
        {kSystemDomain, kDomainLibraryFolderType, "/system/Library", "/system"},
        {kSystemDomain, kFrameworksFolderType, "/system/Library/Frameworks", "/system"},
        {kSystemDomain, kQuickTimeComponentsFolderType, "/system/Library/QuickTime", "/system"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        const std::string expected = mBase + c.path;
        ASSERT_TRUE(lumora::test::RemoveTree(mBase + c.created));

        FSRef ref;
        std::memset(&ref, 0x5A, sizeof ref);
        EXPECT_EQ(FSFindFolder(c.domain, c.type, kDontCreateFolder, &ref), fnfErr);
        EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr), errFSBadFSRef)
            << "a failed search leaves no usable reference";
        struct stat info;
        EXPECT_NE(::stat((mBase + c.created).c_str(), &info), 0) << "kDontCreateFolder created something";

        ASSERT_EQ(FSFindFolder(c.domain, c.type, kCreateFolder, &ref), noErr);
        EXPECT_EQ(PathOf(ref), expected);
        const mode_t mode = c.domain == kUserDomain ? 0700 : (0755 & ~Umask());
        EXPECT_EQ(Mode(expected), mode);
        EXPECT_EQ(Mode(mBase + c.created), mode);

        FSRef again;
        ASSERT_EQ(FSFindFolder(c.domain, c.type, kDontCreateFolder, &again), noErr);
        EXPECT_EQ(PathOf(again), expected);
        EXPECT_EQ(FSGetCatalogInfo(&again, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr), noErr);
    }
}

TEST_F(FolderTest, ExistingFolderKeepsItsMode) {
    ASSERT_EQ(::mkdir((mBase + "/state").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((mBase + "/state/Logs").c_str(), 0751), 0);
    FSRef ref;
    ASSERT_EQ(FSFindFolder(kUserDomain, kLogsFolderType, kCreateFolder, &ref), noErr);
    EXPECT_EQ(Mode(mBase + "/state/Logs"), 0751 & ~Umask());
}

TEST_F(FolderTest, AFileInTheFoldersPlaceIsNoFolder) {
    ASSERT_EQ(::mkdir((mBase + "/state").c_str(), 0700), 0);
    ASSERT_TRUE(lumora::test::WriteFile(mBase + "/state/Logs", "not a folder"));
    ASSERT_TRUE(lumora::test::WriteFile(mBase + "/data", "not a folder either"));
    FSRef ref;
    EXPECT_EQ(FSFindFolder(kUserDomain, kLogsFolderType, kDontCreateFolder, &ref), dirNFErr);
    EXPECT_EQ(FSFindFolder(kUserDomain, kLogsFolderType, kCreateFolder, &ref), dirNFErr);
    EXPECT_EQ(FSFindFolder(kUserDomain, kFrameworksFolderType, kDontCreateFolder, &ref), fnfErr);
    EXPECT_EQ(FSFindFolder(kUserDomain, kFrameworksFolderType, kCreateFolder, &ref), dirNFErr);
    EXPECT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr), errFSBadFSRef);
}

TEST_F(FolderTest, UnknownDomainsTypesAndNullReferencesAreRefused) {
    FSRef ref;
    EXPECT_EQ(FSFindFolder(-32764 /* network */, kFrameworksFolderType, kCreateFolder, &ref), nsvErr);
    EXPECT_EQ(FSFindFolder(0, kLogsFolderType, kCreateFolder, &ref), nsvErr);
    EXPECT_EQ(FSFindFolder(kUserDomain, MakeFourCharCode("pref"), kCreateFolder, &ref), paramErr);
    EXPECT_EQ(FSFindFolder(kUserDomain, kLogsFolderType, kCreateFolder, nullptr), paramErr);
    struct stat info;
    EXPECT_NE(::stat((mBase + "/state").c_str(), &info), 0);
}

TEST(FolderPath, DefaultsWhenVariablesAreUnsetOrNotAbsolute) {
    const std::string home = lumora::test::HomeFolder();
    ScopedEnv env{
        {"HOME", home},
        {"XDG_DATA_HOME", std::nullopt},
        {"XDG_STATE_HOME", std::string("relative/state")},
        {"LUMORA_LOCAL_LIBRARY", std::string("")},
        {"LUMORA_SYSTEM_LIBRARY", std::nullopt},
    };
    const struct {
        short domain;
        OSType type;
        std::string path;
    } cases[] = {
        {kUserDomain, kFrameworksFolderType, home + "/.local/share/Lumora/Library/Frameworks"},
        {kUserDomain, kLogsFolderType, home + "/.local/state/Logs"},
        {kLocalDomain, kQuickTimeComponentsFolderType, "/usr/local/share/Lumora/Library/QuickTime"},
        {kLocalDomain, kLogsFolderType, "/usr/local/share/Lumora/Library/Logs"},
        {kSystemDomain, kFrameworksFolderType, "/usr/share/Lumora/Library/Frameworks"},
    };
    for (const auto &c : cases) {
        std::string path;
        EXPECT_EQ(lumora::carbon::FolderPath(c.domain, c.type, path), noErr);
        EXPECT_EQ(path, c.path);
    }
}

TEST(FolderPath, WithoutHomeTheAccountsHomeFolderIsUsed) {
    ScopedEnv env{{"HOME", std::nullopt}, {"XDG_STATE_HOME", std::nullopt}};
    const struct passwd *account = ::getpwuid(::getuid());
    ASSERT_NE(account, nullptr);
    std::string path;
    EXPECT_EQ(lumora::carbon::FolderPath(kUserDomain, kLogsFolderType, path), noErr);
    EXPECT_EQ(path, std::string(account->pw_dir) + "/.local/state/Logs");
}

// The user's own folders come from the XDG user directories, as xdg-user-dir finds them.
class UserFolderTest : public ::testing::Test {
protected:
    void WriteUserDirs(const std::string &content) {
        ASSERT_EQ(::mkdir((mBase + "/config").c_str(), 0700), 0);
        ASSERT_TRUE(lumora::test::WriteFile(mBase + "/config/user-dirs.dirs", content));
    }
    std::string Find(short domain, OSType type, Boolean create, OSErr *status = nullptr) {
        FSRef ref;
        const OSErr result = FSFindFolder(domain, type, create, &ref);
        if (status != nullptr) *status = result;
        return result == noErr ? PathOf(ref) : std::string();
    }

    ScopedFolder mRoot{"userfolders"};
    std::string mBase = RealPath(mRoot.path());
    ScopedEnv mEnv{
        {"HOME", mBase + "/home"},
        {"XDG_CONFIG_HOME", mBase + "/config"},
        {"XDG_DATA_HOME", mBase + "/data"},
        {"XDG_PICTURES_DIR", std::nullopt},
        {"XDG_VIDEOS_DIR", std::nullopt},
        {"XDG_DOCUMENTS_DIR", std::nullopt},
        {"XDG_DESKTOP_DIR", std::nullopt},
    };
};

TEST_F(UserFolderTest, FromTheUserDirsFile) {
    WriteUserDirs("# written by xdg-user-dirs-update\n"
                  "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                  "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"
                  "XDG_VIDEOS_DIR=\"" + mBase + "/media/Filme/\"\n"
                  "  XDG_DOCUMENTS_DIR=\"$HOME/Meine \\\"Dokumente\\\"\"\n"
                  "XDG_MUSIC_DIR=\"$HOME/Musik\"\n"
                  "XDG_PICTURES_DIR=relative/is/ignored\n");
    const struct {
        OSType type;
        std::string path;
    } cases[] = {
        {kDesktopFolderType, mBase + "/home/Schreibtisch"},
        {kPictureDocumentsFolderType, mBase + "/home/Bilder"},
        {kMovieDocumentsFolderType, mBase + "/media/Filme"},
        {kDocumentsFolderType, mBase + "/home/Meine \"Dokumente\""},
        {kDesktopPicturesFolderType, mBase + "/data/backgrounds"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        OSErr status = noErr;
        EXPECT_EQ(Find(kUserDomain, c.type, kDontCreateFolder, &status), "");
        EXPECT_EQ(status, fnfErr);
        EXPECT_EQ(Find(kUserDomain, c.type, kCreateFolder), c.path);
        EXPECT_EQ(Find(kUserDomain, c.type, kDontCreateFolder), c.path);
    }
}

TEST_F(UserFolderTest, DefaultsWithoutTheFileAndFromTheEnvironment) {
    const std::string home = mBase + "/home";
    ASSERT_EQ(::mkdir(home.c_str(), 0700), 0);
    EXPECT_EQ(Find(kUserDomain, kPictureDocumentsFolderType, kCreateFolder), home + "/Pictures");
    EXPECT_EQ(Find(kUserDomain, kMovieDocumentsFolderType, kCreateFolder), home + "/Videos");
    EXPECT_EQ(Find(kUserDomain, kDocumentsFolderType, kCreateFolder), home + "/Documents");
    EXPECT_EQ(Find(kUserDomain, kDesktopFolderType, kCreateFolder), home + "/Desktop");

    // A variable of the environment counts when the file does not set the folder.
    WriteUserDirs("XDG_DESKTOP_DIR=\"$HOME/Arbeitsfläche\"\n");
    ScopedEnv env{{"XDG_PICTURES_DIR", mBase + "/from-env"}, {"XDG_DESKTOP_DIR", mBase + "/env-desktop"}};
    EXPECT_EQ(Find(kUserDomain, kPictureDocumentsFolderType, kCreateFolder), mBase + "/from-env");
    EXPECT_EQ(Find(kUserDomain, kDesktopFolderType, kCreateFolder), home + "/Arbeitsfläche");

    // With XDG_CONFIG_HOME unset the file is ~/.config/user-dirs.dirs.
    ScopedEnv unset{{"XDG_CONFIG_HOME", std::nullopt}, {"XDG_PICTURES_DIR", std::nullopt}};
    ASSERT_EQ(::mkdir((home + "/.config").c_str(), 0700), 0);
    ASSERT_TRUE(lumora::test::WriteFile(home + "/.config/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/Fotos\"\n"));
    EXPECT_EQ(Find(kUserDomain, kPictureDocumentsFolderType, kCreateFolder), home + "/Fotos");
}

TEST_F(UserFolderTest, OtherDomainsHaveNoPersonalFolders) {
    ScopedEnv env{{"LUMORA_LOCAL_LIBRARY", mBase + "/local"}, {"LUMORA_SYSTEM_LIBRARY", mBase + "/system"}};
    for (short domain : {kLocalDomain, kSystemDomain}) {
        for (OSType type : {kPictureDocumentsFolderType, kMovieDocumentsFolderType, kDocumentsFolderType, kDesktopFolderType}) {
            OSErr status = noErr;
            EXPECT_EQ(Find(domain, type, kCreateFolder, &status), "");
            EXPECT_EQ(status, fnfErr);
        }
    }
    EXPECT_EQ(Find(kLocalDomain, kDesktopPicturesFolderType, kCreateFolder), mBase + "/local/Desktop Pictures");
    EXPECT_EQ(Find(kSystemDomain, kDesktopPicturesFolderType, kCreateFolder), mBase + "/system/Desktop Pictures");
}
