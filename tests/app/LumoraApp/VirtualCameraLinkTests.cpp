// The virtual-camera component link: what installing finds and makes in the user's QuickTime
// Components folder, and that removing deletes only the link this process made: a component the
// user installed, a link the user made (even to the same place), a link left by an earlier run
// and whatever replaced our link all survive quitting. Then the rebroadcast control: its switch
// and the link at launch and at quit, with the reports of a failed removal.
#include <LumoraApp/LumBroadcastControl.h>
#include <LumoraApp/shared_vdig_bundle.h>

#include <AppKit/NSButton.h>
#include <CoreX/CoreMachDebugLog.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"
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

std::string LinkText(const std::string &path) {
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
    return length < 0 ? std::string("<not a link>") : std::string(buffer, size_t(length));
}

bool Exists(const std::string &path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

ino_t InodeOf(const std::string &path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// What stands at the component's name before installing.
enum class Before {
    kNothing,
    kUserFile,              // a component the user installed (a file)
    kUserFolder,            // a component bundle the user installed
    kUserLinkToOurs,        // the user's own link to the application's component
    kUserLinkElsewhere,     // the user's own link to a component of theirs
    kCrashLeftLink,         // our link, left by an earlier run that crashed
    kDanglingLink,          // a link whose target went away
    kInSystemFolder,        // installed in the system domain only
    kNoUserFolder,          // the user's QuickTime Components folder does not exist yet
};

// The test's own Library folders: the user's in the test HOME, the system's in a folder of
// its own (LUMORA_SYSTEM_LIBRARY is pointed at it and restored afterwards).
class VirtualCameraLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        mUserFolder = std::string(std::getenv("XDG_DATA_HOME")) + "/Lumora/Library/QuickTime";
        ASSERT_EQ(std::system(("mkdir -p '" + mUserFolder + "'").c_str()), 0);
        mComponent = ExecutableFolder() + "/PlugIns/Lumora2.VDIG.component";
        struct stat info {};
        ASSERT_EQ(::stat(mComponent.c_str(), &info), 0) << mComponent;
        mItem = mUserFolder + "/Lumora2.VDIG.component";
        mUsersOwnFolder = std::make_unique<lumora::test::ScopedFolder>("users-components");
        mUsersOwn = mUsersOwnFolder->path();
        ASSERT_TRUE(WriteFile(mUsersOwn + "/keep", "mine"));

        if (const char *system = std::getenv("LUMORA_SYSTEM_LIBRARY")) mSavedSystem = system;
        mSystemLibrary = std::make_unique<lumora::test::ScopedFolder>("system-library");
        ::setenv("LUMORA_SYSTEM_LIBRARY", mSystemLibrary->path().c_str(), 1);
        ASSERT_EQ(::mkdir(mSystemLibrary->file("QuickTime").c_str(), 0700), 0);
    }
    void TearDown() override {
        if (mSavedSystem)
            ::setenv("LUMORA_SYSTEM_LIBRARY", mSavedSystem->c_str(), 1);
        else
            ::unsetenv("LUMORA_SYSTEM_LIBRARY");
        mSystemLibrary.reset();
        mUsersOwnFolder.reset();
        RemoveTree(mUserFolder);
    }

    void Make(Before before) {
        switch (before) {
        case Before::kNothing: break;
        case Before::kUserFile: ASSERT_TRUE(WriteFile(mItem, "user's component")); break;
        case Before::kUserFolder:
            ASSERT_EQ(::mkdir(mItem.c_str(), 0700), 0);
            ASSERT_TRUE(WriteFile(mItem + "/keep", "user's bundle"));
            break;
        case Before::kUserLinkToOurs:
        case Before::kCrashLeftLink: ASSERT_EQ(::symlink(mComponent.c_str(), mItem.c_str()), 0); break;
        case Before::kUserLinkElsewhere: ASSERT_EQ(::symlink(mUsersOwn.c_str(), mItem.c_str()), 0); break;
        case Before::kDanglingLink:
            ASSERT_EQ(::symlink((mUserFolder + "/moved-away.component").c_str(), mItem.c_str()), 0);
            break;
        case Before::kInSystemFolder:
            ASSERT_EQ(::mkdir(mSystemLibrary->file("QuickTime/Lumora2.VDIG.component").c_str(), 0700), 0);
            break;
        case Before::kNoUserFolder: RemoveTree(mUserFolder); break;
        }
    }

    std::string mUserFolder, mComponent, mItem, mUsersOwn;
    std::optional<std::string> mSavedSystem;
    std::unique_ptr<lumora::test::ScopedFolder> mSystemLibrary, mUsersOwnFolder;
};

TEST_F(VirtualCameraLinkTest, QuittingRemovesOnlyTheLinkThisProcessMade) {
    const struct {
        const char *name;
        Before before;
        bool installed;     // the answer of installing
        bool madeLink;      // a link of ours stands in the user's folder afterwards
        bool removed;       // the answer of removing
        bool itemAfterQuit; // something still has the component's name after quitting
    } cases[] = {
        {"nothing installed", Before::kNothing, true, true, true, false},
        {"no user folder yet", Before::kNoUserFolder, true, true, true, false},
        {"the user's own component file", Before::kUserFile, true, false, false, true},
        {"the user's own component bundle", Before::kUserFolder, true, false, false, true},
        {"the user's own link to the application's component", Before::kUserLinkToOurs, true, false, false, true},
        {"the user's own link to their component", Before::kUserLinkElsewhere, true, false, false, true},
        {"a link left by an earlier run that crashed", Before::kCrashLeftLink, true, false, false, true},
        {"a dangling link (replaced, so ours)", Before::kDanglingLink, true, true, true, false},
        {"installed in the system folder", Before::kInSystemFolder, true, false, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Make(c.before);
        const ino_t inodeBefore = InodeOf(mItem);
        const std::string contentBefore = ReadFile(mItem);

        shared_vdig_bundle bundle(CFSTR("Lumora2.VDIG.component"), "Lumora2.VDIG");
        EXPECT_EQ(bundle.InstallLocalLibraryQuickTime(true), c.installed);
        EXPECT_EQ(bundle.HasMadeLink(), c.madeLink);
        EXPECT_TRUE(bundle.IsInstalled());
        if (c.madeLink) {
            EXPECT_EQ(LinkText(mItem), mComponent);
        } else if (inodeBefore != 0) {
            EXPECT_EQ(InodeOf(mItem), inodeBefore) << "what was there is left alone";
        }

        EXPECT_EQ(bundle.InstallLocalLibraryQuickTime(false), c.removed);
        EXPECT_EQ(Exists(mItem), c.itemAfterQuit);
        if (c.itemAfterQuit) {
            EXPECT_EQ(InodeOf(mItem), inodeBefore) << "the same item, not a copy";
            EXPECT_EQ(ReadFile(mItem), contentBefore);
        }
        EXPECT_FALSE(bundle.HasMadeLink());
        EXPECT_FALSE(bundle.InstallLocalLibraryQuickTime(false)) << "nothing left to remove";
        EXPECT_EQ(ReadFile(mUsersOwn + "/keep"), "mine");
        EXPECT_TRUE(Exists(mComponent)) << "the application's component itself stays";

        RemoveTree(mItem);
        ::unlink(mItem.c_str());
        RemoveTree(mSystemLibrary->file("QuickTime/Lumora2.VDIG.component"));
        ASSERT_EQ(std::system(("mkdir -p '" + mUserFolder + "'").c_str()), 0);
    }
}

TEST_F(VirtualCameraLinkTest, OurLinkReplacedOrRemovedMeanwhileIsNotTouched) {
    const struct {
        const char *name;
        std::string replacement;  // what the user puts at the name after our install ("" nothing)
        bool asLink;
    } cases[] = {
        {"the user removed our link", "", false},
        {"the user linked the same component again", "component", true},
        {"the user linked a component of theirs", "mine", true},
        {"the user put a component file there", "file", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        shared_vdig_bundle bundle(CFSTR("Lumora2.VDIG.component"), "Lumora2.VDIG");
        ASSERT_TRUE(bundle.InstallLocalLibraryQuickTime(true));
        ASSERT_TRUE(bundle.HasMadeLink());
        // Later, as a person would (file times tick coarsely; a new link may get our inode back).
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_EQ(::unlink(mItem.c_str()), 0);
        if (c.asLink) {
            const std::string to = c.replacement == "component" ? mComponent : mUsersOwn;
            ASSERT_EQ(::symlink(to.c_str(), mItem.c_str()), 0);
        } else if (!c.replacement.empty()) {
            ASSERT_TRUE(WriteFile(mItem, "user's component"));
        }
        const ino_t replaced = InodeOf(mItem);

        EXPECT_FALSE(bundle.InstallLocalLibraryQuickTime(false));
        EXPECT_EQ(InodeOf(mItem), replaced) << "the user's item survives quitting";
        RemoveTree(mItem);
        ::unlink(mItem.c_str());
    }
}

TEST_F(VirtualCameraLinkTest, InstallingNeedsTheComponentAndBothNames) {
    shared_vdig_bundle missing(CFSTR("Missing.component"), "Missing");
    EXPECT_FALSE(missing.InstallLocalLibraryQuickTime(true));
    EXPECT_FALSE(Exists(mUserFolder + "/Missing.component"));
    EXPECT_FALSE(missing.HasMadeLink());

    shared_vdig_bundle noFileName(nullptr, "Lumora2.VDIG");
    EXPECT_FALSE(noFileName.IsInstalled());
    EXPECT_FALSE(noFileName.InstallLocalLibraryQuickTime(true));
    shared_vdig_bundle noBundleName(CFSTR("Lumora2.VDIG.component"), nullptr);
    EXPECT_FALSE(noBundleName.InstallLocalLibraryQuickTime(true)) << "the file name alone is not stored";
    EXPECT_FALSE(Exists(mItem));
}

TEST_F(VirtualCameraLinkTest, TheLinkIsMadeInTheUserDomainOnly) {
    const std::string local = std::getenv("LUMORA_LOCAL_LIBRARY") != nullptr
                                  ? std::string(std::getenv("LUMORA_LOCAL_LIBRARY")) + "/QuickTime/Lumora2.VDIG.component"
                                  : std::string();
    shared_vdig_bundle bundle(CFSTR("Lumora2.VDIG.component"), "Lumora2.VDIG");
    ASSERT_TRUE(bundle.InstallLocalLibraryQuickTime(true));
    EXPECT_EQ(LinkText(mItem), mComponent);
    EXPECT_FALSE(Exists(mSystemLibrary->file("QuickTime/Lumora2.VDIG.component")));
    if (!local.empty()) {
        EXPECT_FALSE(Exists(local));
    }
    EXPECT_TRUE(bundle.InstallLocalLibraryQuickTime(true)) << "installed now: nothing more to do";
    EXPECT_TRUE(bundle.HasMadeLink()) << "and the link is still ours to remove";
    EXPECT_TRUE(bundle.InstallLocalLibraryQuickTime(false));
    EXPECT_FALSE(Exists(mItem));
    EXPECT_TRUE(import_shared_vdig_bundle());
}

// ---- The rebroadcast control ------------------------------------------------------------

class RebroadcastControlTest : public VirtualCameraLinkTest, public riradi_test::WithApplication {};

TEST_F(RebroadcastControlTest, TheSwitchFlipsOnlyWithTheButtonConnected) {
    // The camera view's flip at launch, then presses of the button.
    const struct {
        const char *name;
        bool button;
        int presses;
        bool broadcasting;
    } cases[] = {
        {"no button: the flip at launch changes nothing", false, 1, false},
        {"launch flip turns it on", true, 1, true},
        {"a press turns it off again", true, 2, false},
        {"and on again", true, 3, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LumBroadcastControl control;
        NSButton button;
        if (c.button) control.setOutletRebroadcastButton(&button);
        EXPECT_FALSE(control.broadcastEnabled()) << "the switch starts off";
        int changes = 0;
        QObject::connect(&control, &NSUICamBroadcastControlUDP::broadcastEnabledChanged, [&] { ++changes; });
        for (int i = 0; i < c.presses; ++i) control.broadcastButtonChanged(&button);
        EXPECT_EQ(control.broadcastEnabled(), c.broadcasting);
        EXPECT_EQ(control.isBroadcasting(), c.broadcasting);
        EXPECT_EQ(changes, c.button ? c.presses : 0);
    }
    LumBroadcastControl control;
    control.setBroadcastEnabled(true);
    EXPECT_TRUE(control.isBroadcasting()) << "the switch alone decides: no component is loaded here";
    control.setBroadcastEnabled(false);
    EXPECT_FALSE(control.isBroadcasting());
    EXPECT_TRUE(NSUICamBroadcastControlUDP::hasSharedMemoryCameraOutputComponent());
}

TEST_F(RebroadcastControlTest, TheSwitchIsReadSafelyFromOtherThreads) {
    LumBroadcastControl control;
    NSButton button;
    control.setOutletRebroadcastButton(&button);
    std::atomic<bool> stop{false};
    std::atomic<int> seenOn{0};
    std::thread reader([&] {
        while (!stop.load()) {
            if (control.isBroadcasting()) seenOn.fetch_add(1);
        }
    });
    for (int i = 0; i < 1001; ++i) control.broadcastButtonChanged(&button);
    stop.store(true);
    reader.join();
    EXPECT_TRUE(control.isBroadcasting());
}

TEST_F(RebroadcastControlTest, LinksAtLaunchAndRemovesItsLinkAtQuitWhateverTheSwitch) {
    LumBroadcastControl control;
    ASSERT_FALSE(control.isBroadcasting());
    control.applicationDidFinishLaunching(NSNotification());
    EXPECT_EQ(LinkText(mItem), mComponent) << "linked with the switch off";
    EXPECT_FALSE(control.isBroadcasting()) << "the switch is off even with the link installed";

    corex_test::CapturedOutput errors(STDERR_FILENO);
    control.applicationWillTerminate(NSNotification());
    EXPECT_FALSE(Exists(mItem));
    // The camera view asks the control to stop once more at quit: nothing is left to remove,
    // which is reported, and nothing else happens.
    control.stopBroadcasting();
    const std::string text = errors.Finish();
    EXPECT_EQ(text.find("TARVEX_InstallLocalLibraryQuickTime(1)"), std::string::npos);
    EXPECT_NE(text.find(" code : TARVEX_InstallLocalLibraryQuickTime(0)"), std::string::npos) << text;
}

TEST_F(RebroadcastControlTest, AUsersComponentSurvivesLaunchAndQuit) {
    ASSERT_TRUE(WriteFile(mItem, "user's component"));
    LumBroadcastControl control;
    corex_test::CapturedOutput errors(STDERR_FILENO);
    EXPECT_TRUE(control.installQuickTimeComponentSymbolicLink());
    EXPECT_FALSE(control.removeQuickTimeComponentSymbolicLink());
    const std::string text = errors.Finish();
    EXPECT_EQ(ReadFile(mItem), "user's component");
    EXPECT_NE(text.find(" code : TARVEX_InstallLocalLibraryQuickTime(0)"), std::string::npos) << text;
    EXPECT_TRUE(import_LumBroadcastControl());
}

}  // namespace
