#include <CoreX/CorePlugInBundle.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TestFolders.h"

namespace {

using lumora::test::ReadFile;
using lumora::test::RemoveTree;
using lumora::test::WriteFile;

std::string ExecutableFolder() {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) return {};
    const std::string path(buffer, std::size_t(length));
    return path.substr(0, path.rfind('/'));
}

std::string PathOf(CFURLRef url) {
    std::string path;
    CFBaseDLL::PathFromURL(url, path);
    return path;
}

// The plug-in shipped beside the test program (tests/sdk/CoreX/CMakeLists.txt).
const char kBaseName[] = "LumoraTest";

std::string UserComponents() { return std::string(std::getenv("XDG_DATA_HOME")) + "/Lumora/Library/QuickTime"; }

std::string LinkText(const std::string &path) {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string("<not a link>") : std::string(buffer, size_t(length));
}

// What a name in the user's components folder is.
enum class Kind { kNothing, kLinkToPlugIn, kLinkElsewhere, kDanglingLink, kFile, kFolder };

class CorePlugInBundleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(std::system(("mkdir -p '" + UserComponents() + "'").c_str()), 0);
        mPlugIn = ExecutableFolder() + "/PlugIns/LumoraTest.component";
        struct stat info {};
        ASSERT_EQ(::stat(mPlugIn.c_str(), &info), 0) << mPlugIn;
        mItem = UserComponents() + "/LumoraTest.component";
        mOther = UserComponents() + "/Other";
        ASSERT_EQ(::mkdir(mOther.c_str(), 0700), 0);
        ASSERT_TRUE(WriteFile(mOther + "/keep", "other"));
    }
    void TearDown() override { RemoveTree(UserComponents()); }

    void Make(Kind kind) {
        switch (kind) {
        case Kind::kNothing: break;
        case Kind::kLinkToPlugIn: ASSERT_EQ(::symlink(mPlugIn.c_str(), mItem.c_str()), 0); break;
        case Kind::kLinkElsewhere: ASSERT_EQ(::symlink(mOther.c_str(), mItem.c_str()), 0); break;
        case Kind::kDanglingLink:
            ASSERT_EQ(::symlink((UserComponents() + "/moved-away.component").c_str(), mItem.c_str()), 0);
            break;
        case Kind::kFile: ASSERT_TRUE(WriteFile(mItem, "mine")); break;
        case Kind::kFolder:
            ASSERT_EQ(::mkdir(mItem.c_str(), 0700), 0);
            ASSERT_TRUE(WriteFile(mItem + "/keep", "mine"));
            break;
        }
    }

    Kind Found() const {
        struct stat info {};
        if (::lstat(mItem.c_str(), &info) != 0) return Kind::kNothing;
        if (S_ISLNK(info.st_mode)) {
            const std::string target = LinkText(mItem);
            if (::stat(mItem.c_str(), &info) != 0) return Kind::kDanglingLink;
            return target == mPlugIn ? Kind::kLinkToPlugIn : Kind::kLinkElsewhere;
        }
        return S_ISDIR(info.st_mode) ? Kind::kFolder : Kind::kFile;
    }

    static bool Link(const char *baseName, bool install) {
        return CorePlugInBundle::LinkComponentInLocation(baseName, CFSTR("LumoraTest.component"), install,
                                                         CFBaseDLL::kLocation_UserComponents);
    }

    std::string mPlugIn, mItem, mOther;
};

TEST_F(CorePlugInBundleTest, PlugInURLIsInTheMainBundlesPlugInsFolder) {
    CFURLRef url = CorePlugInBundle::CopyPlugInURL(kBaseName, CFSTR("component"));
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(PathOf(url), mPlugIn);
    EXPECT_TRUE(CFURLHasDirectoryPath(url));
    CFRelease(url);
    EXPECT_EQ(CorePlugInBundle::CopyPlugInURL(nullptr, CFSTR("component")), nullptr);
    EXPECT_EQ(CorePlugInBundle::CopyPlugInURL(kBaseName, nullptr), nullptr);
}

TEST_F(CorePlugInBundleTest, InstallingReplacesOnlyLinks) {
    const struct {
        const char *name;
        Kind before;
        bool result;
        Kind after;
    } cases[] = {
        {"fresh install", Kind::kNothing, true, Kind::kLinkToPlugIn},
        {"already linked", Kind::kLinkToPlugIn, true, Kind::kLinkToPlugIn},
        {"dangling link (the application moved)", Kind::kDanglingLink, true, Kind::kLinkToPlugIn},
        {"link to something else", Kind::kLinkElsewhere, true, Kind::kLinkToPlugIn},
        {"the user's own file", Kind::kFile, false, Kind::kFile},
        {"the user's own folder", Kind::kFolder, false, Kind::kFolder},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Make(c.before);
        struct stat before {};
        ::lstat(mItem.c_str(), &before);
        EXPECT_EQ(Link(kBaseName, true), c.result);
        EXPECT_EQ(Found(), c.after);
        if (c.before == Kind::kLinkToPlugIn) {
            struct stat after {};
            ::lstat(mItem.c_str(), &after);
            EXPECT_EQ(after.st_ino, before.st_ino) << "a correct link is left alone";
        }
        if (c.before == Kind::kFile) {
            EXPECT_EQ(ReadFile(mItem), "mine");
        }
        if (c.before == Kind::kFolder) {
            EXPECT_EQ(ReadFile(mItem + "/keep"), "mine");
        }
        EXPECT_EQ(ReadFile(mOther + "/keep"), "other");
        RemoveTree(mItem);
        ::unlink(mItem.c_str());
        ASSERT_EQ(Found(), Kind::kNothing);
    }
    // Nothing but the item and the other folder is left in the components folder (no
    // temporary link).
    const std::string listing = "ls -A '" + UserComponents() + "' | wc -l";
    FILE *pipe = ::popen(listing.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    int count = -1;
    ASSERT_EQ(std::fscanf(pipe, "%d", &count), 1);
    ::pclose(pipe);
    EXPECT_EQ(count, 1);
}

TEST_F(CorePlugInBundleTest, InstallingNeedsThePlugInAndTheFolder) {
    EXPECT_FALSE(Link("Missing", true));
    EXPECT_EQ(Found(), Kind::kNothing);
    EXPECT_FALSE(CorePlugInBundle::LinkComponentInLocation(kBaseName, nullptr, true, CFBaseDLL::kLocation_UserComponents));
    RemoveTree(UserComponents());
    EXPECT_FALSE(Link(kBaseName, true));
}

TEST_F(CorePlugInBundleTest, RemovingDeletesOnlyLinks) {
    const struct {
        const char *name;
        Kind before;
        bool result;
        Kind after;
    } cases[] = {
        {"link to the plug-in", Kind::kLinkToPlugIn, true, Kind::kNothing},
        {"dangling link", Kind::kDanglingLink, true, Kind::kNothing},
        {"link to something else", Kind::kLinkElsewhere, true, Kind::kNothing},
        {"the user's own file", Kind::kFile, false, Kind::kFile},
        {"the user's own folder", Kind::kFolder, false, Kind::kFolder},
        {"nothing there", Kind::kNothing, false, Kind::kNothing},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Make(c.before);
        EXPECT_EQ(Link(kBaseName, false), c.result);
        EXPECT_EQ(Found(), c.after);
        struct stat info {};
        EXPECT_EQ(::stat(mPlugIn.c_str(), &info), 0) << "the plug-in itself stays";
        EXPECT_EQ(ReadFile(mOther + "/keep"), "other");
        RemoveTree(mItem);
        ::unlink(mItem.c_str());
    }
}

class InstalledPlugIn : public CorePlugInBundle {
public:
    InstalledPlugIn() : CorePlugInBundle(CFSTR("LumoraTest.component"), kBaseName) {}
    bool IsInstalled() override { return true; }
};

TEST_F(CorePlugInBundleTest, InstallInLocationAsksTheSubclassFirst) {
    InstalledPlugIn installed;
    EXPECT_TRUE(installed.InstallInLocation(true, CFBaseDLL::kLocation_UserComponents));
    EXPECT_EQ(Found(), Kind::kNothing) << "already installed elsewhere: nothing linked";

    CorePlugInBundle plugIn(CFSTR("LumoraTest.component"), kBaseName);
    EXPECT_FALSE(plugIn.IsInstalled());
    EXPECT_TRUE(plugIn.InstallInLocation(true, CFBaseDLL::kLocation_UserComponents));
    EXPECT_EQ(Found(), Kind::kLinkToPlugIn);
    EXPECT_TRUE(plugIn.InstallInLocation(false, CFBaseDLL::kLocation_UserComponents));
    EXPECT_EQ(Found(), Kind::kNothing);
    EXPECT_TRUE(import_CorePlugInBundle());
}

}  // namespace
