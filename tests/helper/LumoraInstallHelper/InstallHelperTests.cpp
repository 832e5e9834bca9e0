// The install helper as the application runs it: a child process with the unprivileged
// command line, which relaunches itself (these tests run as root, so without pkexec or sudo)
// and passes the privileged run's status on. The test build of the helper takes its Library
// folders from LUMORA_LOCAL_LIBRARY and LUMORA_SYSTEM_LIBRARY, which every run points at a
// fresh folder; a picture of the whole folder before and after shows what a run changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "HelperTestSupport.h"
#include "LumoraInstallHelper/InstallHelper.h"

namespace {

using lumora::test::HelperRun;
using lumora::test::PictureOfTree;
using lumora::test::PutBundle;
using lumora::test::PutFile;
using lumora::test::ReadFile;
using lumora::test::ScopedFolder;
using lumora::test::TreePicture;

const std::string kHelper = LUMORA_INSTALL_HELPER_TESTABLE;

class InstallHelperTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::geteuid(), 0u) << "the helper's privileged run needs root";
        ASSERT_TRUE(lumora::test::MakeFolders(local()));
        ASSERT_TRUE(lumora::test::MakeFolders(mRoot.file("System/Library")));
        ASSERT_TRUE(PutFile(mRoot.file("outside/secret.txt"), "keep me", 0600));
        ASSERT_TRUE(PutBundle(payload("Lumora2.VDIG.component"), "com.tarvex.Lumora2.VDIG", "1.0"));
        ASSERT_TRUE(PutBundle(payload("Lumora2Input.plugin"), "com.tarvex.Lumora2Input", "1.0"));
        ASSERT_TRUE(PutFile(payload("Effect.qtz"), "composition 1", 0664));
    }

    std::string local() const { return mRoot.file("Local/Library"); }
    std::string payload(const std::string &name) const { return mRoot.file("payloads/" + name); }

    // The helper with the unprivileged command line.
    HelperRun Run(const std::string &command, const std::string &location, const std::string &path,
                  const std::string &workingFolder = {}) {
        return lumora::test::RunProgram({kHelper, kHelper, command, location, path}, Environment(), workingFolder);
    }
    std::vector<std::string> Environment() const {
        return {"LUMORA_LOCAL_LIBRARY=" + local(), "LUMORA_SYSTEM_LIBRARY=" + mRoot.file("System/Library")};
    }

    ScopedFolder mRoot{"install-helper"};
};

// Requests the helper must refuse, each against a tree that may hold traps. Nothing anywhere
// in the test's folder may change, and the run must end with the status given.
struct Hostile {
    const char *what;
    std::vector<std::string> arguments;  // after argv[0] and argv[1]; "@" stands for the test folder
    int status;
    std::function<void(const std::string &root)> trap;
};

std::string Expand(std::string text, const std::string &root) {
    for (size_t at; (at = text.find('@')) != std::string::npos;) text.replace(at, 1, root);
    return text;
}

TEST_F(InstallHelperTest, RefusesHostileRequestsAndTouchesNothing) {
    using lumora::installhelper::kStatusRefused;
    using lumora::installhelper::kStatusUsage;
    const auto linkTo = [](const std::string &target, const std::string &link) {
        return [=](const std::string &root) {
            lumora::test::MakeFolders(Expand(link.substr(0, link.rfind('/')), root));
            ASSERT_EQ(::symlink(Expand(target, root).c_str(), Expand(link, root).c_str()), 0);
        };
    };
    const std::string component = "@/payloads/Lumora2.VDIG.component";
    const Hostile cases[] = {
        {"unknown location", {"install", "Library.Nowhere", component}, kStatusRefused, nullptr},
        {"unknown location, delete", {"delete", "Library.Nowhere", component}, kStatusRefused, nullptr},
        {"kernel extensions have no location", {"install", "System.Library.KEXT", component}, kStatusRefused, nullptr},
        {"empty location", {"install", "", component}, kStatusRefused, nullptr},
        {"unknown command", {"copy", "Library.QuickTime", component}, kStatusRefused, nullptr},
        {"empty payload", {"install", "Library.QuickTime", ""}, kStatusRefused, nullptr},
        {"payload /", {"delete", "Library.QuickTime", "/"}, kStatusRefused, nullptr},
        {"payload ending in /", {"delete", "Library.QuickTime", component + "/"}, kStatusRefused, nullptr},
        {"payload ending in /.", {"delete", "Library.QuickTime", "@/payloads/."}, kStatusRefused, nullptr},
        {"payload ending in /..", {"delete", "Library.QuickTime", "@/payloads/.."}, kStatusRefused, nullptr},
        {"install of .", {"install", "Library.Compositions", "@/payloads/."}, kStatusRefused, nullptr},
        {"relative payload", {"install", "Library.QuickTime", "payloads/Lumora2.VDIG.component"}, kStatusRefused, nullptr},
        {"payload ..", {"delete", "Library.QuickTime", ".."}, kStatusRefused, nullptr},
        {"payload holding the location folder", {"install", "Library.QuickTime", "@/Local"}, kStatusRefused,
         [](const std::string &root) { lumora::test::MakeFolders(root + "/Local/Library/QuickTime"); }},
        {"too few arguments", {"install", "Library.QuickTime"}, kStatusUsage, nullptr},
        {"too many arguments", {"install", "Library.QuickTime", component, "extra"}, kStatusUsage, nullptr},
        {"privileged run with an unknown location",
         {"--self-repair", "delete", "Library.Nowhere", component}, kStatusRefused, nullptr},
        {"privileged run with ..", {"--self-repair", "delete", "Library.QuickTime", "@/payloads/.."}, kStatusRefused, nullptr},
        {"location folder is a link out, install", {"install", "Library.QuickTime", component}, kStatusRefused,
         linkTo("@/outside", "@/Local/Library/QuickTime")},
        {"location folder is a link out, delete", {"delete", "Library.QuickTime", "@/outside/secret.txt"}, kStatusRefused,
         linkTo("@/outside", "@/Local/Library/QuickTime")},
        {"a folder above the location is a link out", {"install", "Library.CoreImage", "@/payloads/Lumora2Input.plugin"},
         kStatusRefused, linkTo("@/outside", "@/Local/Library/Graphics")},
        {"destination is a link out, install", {"install", "Library.QuickTime", component}, kStatusRefused,
         linkTo("@/outside", "@/Local/Library/QuickTime/Lumora2.VDIG.component")},
        {"destination is a link out, delete", {"delete", "Library.Compositions", "/anywhere/secret.txt"}, kStatusRefused,
         linkTo("@/outside/secret.txt", "@/Local/Library/Compositions/secret.txt")},
        {"destination is a relative link out", {"install", "Library.Compositions", "@/payloads/Effect.qtz"},
         kStatusRefused, linkTo("../../../outside", "@/Local/Library/Compositions/Effect.qtz")},
    };
    for (const Hostile &c : cases) {
        SCOPED_TRACE(c.what);
        ScopedFolder root("hostile");
        ASSERT_TRUE(lumora::test::MakeFolders(root.file("Local/Library")));
        ASSERT_TRUE(PutFile(root.file("outside/secret.txt"), "keep me", 0600));
        ASSERT_TRUE(PutBundle(root.file("payloads/Lumora2.VDIG.component"), "com.tarvex.Lumora2.VDIG", "1.0"));
        ASSERT_TRUE(PutBundle(root.file("payloads/Lumora2Input.plugin"), "com.tarvex.Lumora2Input", "1.0"));
        ASSERT_TRUE(PutFile(root.file("payloads/Effect.qtz"), "composition", 0644));
        if (c.trap) c.trap(root.path());
        std::vector<std::string> arguments = {kHelper, kHelper};
        for (const std::string &argument : c.arguments) arguments.push_back(Expand(argument, root.path()));
        const TreePicture before = PictureOfTree(root.path());
        // The working folder holds the relative payload, so only the rules can refuse it.
        const HelperRun run = lumora::test::RunProgram(
            arguments, {"LUMORA_LOCAL_LIBRARY=" + root.file("Local/Library"), "LUMORA_SYSTEM_LIBRARY=" + root.file("System/Library")},
            root.path());
        EXPECT_EQ(run.status, c.status) << run.log;
        EXPECT_NE(run.log.find("LumoraInstallHelper error: "), std::string::npos) << run.log;
        EXPECT_EQ(PictureOfTree(root.path()), before) << run.log;
    }
}

TEST_F(InstallHelperTest, InstallsUpdatesAndDeletesEachPayloadKind) {
    struct Kind {
        const char *location;
        const char *name;
        const char *folder;  // the location folder below the local Library folder
    };
    const Kind kinds[] = {
        {"Library.QuickTime", "Lumora2.VDIG.component", "QuickTime"},
        {"Library.CoreImage", "Lumora2Input.plugin", "Graphics/Image Units"},
        {"Library.Compositions", "Effect.qtz", "Compositions"},
    };
    gid_t administrators = 0;
    if (const struct group *sudo = ::getgrnam("sudo")) administrators = sudo->gr_gid;
    else if (const struct group *wheel = ::getgrnam("wheel")) administrators = wheel->gr_gid;

    for (const Kind &kind : kinds) {
        SCOPED_TRACE(kind.name);
        const std::string source = payload(kind.name);
        const std::string folder = local() + "/" + kind.folder;
        const std::string destination = folder + "/" + kind.name;
        const TreePicture before = PictureOfTree(mRoot.path(), "Local/Library");

        HelperRun run = Run("install", kind.location, source);
        ASSERT_EQ(run.status, 0) << run.log;
        EXPECT_NE(run.log.find("LumoraInstallHelper done with install: ok"), std::string::npos) << run.log;
        // The copy has the payload's content, root and the administrators' group as owners.
        EXPECT_EQ(PictureOfTree(destination).size(), PictureOfTree(source).size());
        struct stat info {};
        ASSERT_EQ(::lstat(destination.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 0u);
        EXPECT_EQ(info.st_gid, administrators);
        // Only the location folder changed, and it holds the payload alone (no temporary folder).
        EXPECT_EQ(PictureOfTree(mRoot.path(), "Local/Library"), before);
        EXPECT_EQ(PictureOfTree(folder).size(), PictureOfTree(destination).size() + 1);

        // A newer payload replaces the installed one entirely.
        if (S_ISDIR(info.st_mode)) {
            ASSERT_TRUE(PutFile(destination + "/Contents/stale", "left from before"));
            const std::string base = std::string(kind.name).substr(0, std::string(kind.name).find('.'));
            ASSERT_TRUE(PutFile(source + "/Contents/Linux/" + base, "program 2.0", 0755));
        } else {
            ASSERT_TRUE(PutFile(source, "composition 2", 0664));
        }
        run = Run("install", kind.location, source);
        ASSERT_EQ(run.status, 0) << run.log;
        if (S_ISDIR(info.st_mode)) {
            EXPECT_NE(::access((destination + "/Contents/stale").c_str(), F_OK), 0);
            const std::string base = std::string(kind.name).substr(0, std::string(kind.name).find('.'));
            EXPECT_EQ(ReadFile(destination + "/Contents/Linux/" + base), "program 2.0");
        } else {
            EXPECT_EQ(ReadFile(destination), "composition 2");
        }

        run = Run("delete", kind.location, source);
        ASSERT_EQ(run.status, 0) << run.log;
        EXPECT_NE(::access(destination.c_str(), F_OK), 0);
        EXPECT_EQ(PictureOfTree(folder).size(), 1u);
        // Deleting what is not there is done at once.
        run = Run("delete", kind.location, source);
        EXPECT_EQ(run.status, 0) << run.log;
        EXPECT_EQ(::access(source.c_str(), F_OK), 0) << "the payload itself is never deleted";
    }
}

TEST_F(InstallHelperTest, CopiesKeepLinksAndModesButNoSetIdOrSharedWrite) {
    const std::string source = payload("Lumora2.VDIG.component");
    ASSERT_EQ(::symlink("../Info.plist", (source + "/Contents/Linux/relative").c_str()), 0);
    ASSERT_EQ(::symlink(mRoot.file("outside/secret.txt").c_str(), (source + "/Contents/absolute").c_str()), 0);
    ASSERT_TRUE(PutFile(source + "/Contents/Linux/tool", "tool", 06777));
    ASSERT_TRUE(PutFile(source + "/Contents/Resources/shared.txt", "text", 0666));
    const TreePicture outside = PictureOfTree(mRoot.file("outside"));

    const HelperRun run = Run("install", "Library.QuickTime", source);
    ASSERT_EQ(run.status, 0) << run.log;
    const std::string destination = local() + "/QuickTime/Lumora2.VDIG.component/Contents";
    char target[256] = {};
    ASSERT_GT(::readlink((destination + "/Linux/relative").c_str(), target, sizeof target - 1), 0);
    EXPECT_STREQ(target, "../Info.plist");
    struct stat info {};
    ASSERT_EQ(::lstat((destination + "/absolute").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    ASSERT_EQ(::stat((destination + "/Linux/tool").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0755u);
    ASSERT_EQ(::stat((destination + "/Resources/shared.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);
    ASSERT_EQ(::stat((destination + "/Info.plist").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);

    // Deleting removes the links themselves, never what they lead to.
    ASSERT_EQ(Run("delete", "Library.QuickTime", source).status, 0);
    EXPECT_EQ(PictureOfTree(mRoot.file("outside")), outside);
}

TEST_F(InstallHelperTest, FailuresAreReportedAndKeepThePreviousInstall) {
    using lumora::installhelper::kStatusFailed;
    const std::string source = payload("Lumora2.VDIG.component");
    ASSERT_EQ(Run("install", "Library.QuickTime", source).status, 0);
    const std::string folder = local() + "/QuickTime";
    const TreePicture installed = PictureOfTree(folder);

    // Something the copy cannot take (a named pipe) fails the copy: the old install stays
    // and no temporary folder is left behind.
    ASSERT_EQ(::mkfifo((source + "/Contents/pipe").c_str(), 0644), 0);
    HelperRun run = Run("install", "Library.QuickTime", source);
    EXPECT_EQ(run.status, kStatusFailed) << run.log;
    EXPECT_NE(run.log.find("LumoraInstallHelper error: cannot copy"), std::string::npos) << run.log;
    EXPECT_NE(run.log.find("done with install: failed"), std::string::npos) << run.log;
    EXPECT_EQ(PictureOfTree(folder), installed);

    // A location folder that cannot be made (a file stands where its parent folder goes).
    ASSERT_TRUE(PutFile(local() + "/Graphics", "not a folder"));
    run = Run("install", "Library.CoreImage", payload("Lumora2Input.plugin"));
    EXPECT_EQ(run.status, kStatusFailed) << run.log;
    EXPECT_NE(run.log.find("LumoraInstallHelper error: "), std::string::npos) << run.log;

    // A Library folder that is a file.
    ScopedFolder other("library-file");
    ASSERT_TRUE(PutFile(other.file("Library"), "not a folder"));
    run = lumora::test::RunProgram({kHelper, kHelper, "install", "Library.Compositions", payload("Effect.qtz")},
                                   {"LUMORA_LOCAL_LIBRARY=" + other.file("Library")});
    EXPECT_EQ(run.status, kStatusFailed) << run.log;

    // A payload that does not exist.
    run = Run("install", "Library.Compositions", payload("Missing.qtz"));
    EXPECT_EQ(run.status, kStatusFailed) << run.log;
    EXPECT_NE(::access((local() + "/Compositions/Missing.qtz").c_str(), F_OK), 0);
}

TEST_F(InstallHelperTest, PrivilegedRunRefusesToRunUnlessRoot) {
    const struct passwd *nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    // A copy of the helper that the user can reach whatever folder the build lives in.
    char folder[] = "/tmp/lumora-helper-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    ASSERT_EQ(::chmod(folder, 0755), 0);
    const std::string helper = std::string(folder) + "/LumoraInstallHelper";
    std::error_code error;
    std::filesystem::copy_file(kHelper, helper, error);
    ASSERT_FALSE(error) << error.message();
    ASSERT_EQ(::chmod(helper.c_str(), 0755), 0);

    const std::string source = payload("Effect.qtz");
    const TreePicture before = PictureOfTree(mRoot.path());
    const HelperRun run = lumora::test::RunProgram({helper, helper, "--self-repair", "install", "Library.Compositions", source},
                                                   Environment(), "/", nobody->pw_uid);
    EXPECT_EQ(run.status, lumora::installhelper::kStatusNotRoot) << run.log;
    EXPECT_NE(run.log.find("must run as root"), std::string::npos) << run.log;
    EXPECT_EQ(PictureOfTree(mRoot.path()), before);

    // Unprivileged without a way to obtain rights (no session, no askpass): a failure, not a
    // success, and nothing done.
    const HelperRun unprivileged = lumora::test::RunProgram(
        {helper, helper, "install", "Library.Compositions", source},
        {"DISPLAY=", "WAYLAND_DISPLAY=", "SUDO_ASKPASS=", "LUMORA_LOCAL_LIBRARY=" + local()}, "/", nobody->pw_uid);
    lumora::test::RemoveTree(folder);
    EXPECT_NE(unprivileged.status, 0) << unprivileged.log;
    EXPECT_NE(unprivileged.log.find("LumoraInstallHelper error: "), std::string::npos) << unprivileged.log;
    EXPECT_EQ(PictureOfTree(mRoot.path()), before);
}

// The shipped helper ignores the variables that move the Library folders: its destinations are
// always the machine's. (A delete of a name that exists nowhere changes nothing.)
TEST_F(InstallHelperTest, ShippedHelperTakesNoLibraryFolderFromTheEnvironment) {
    const std::string name = "LumoraInstallHelperTests-" + std::to_string(::getpid()) + ".qtz";
    const std::string helper = LUMORA_INSTALL_HELPER;
    const HelperRun run =
        lumora::test::RunProgram({helper, helper, "delete", "Library.Compositions", "/nowhere/" + name}, Environment());
    EXPECT_EQ(run.status, 0) << run.log;
    EXPECT_NE(run.log.find("destination:/usr/local/share/Lumora/Library/Compositions/" + name), std::string::npos) << run.log;
    EXPECT_EQ(run.log.find(local()), std::string::npos) << run.log;
}

}  // namespace

namespace {

// The privileged run's command line through each way of obtaining rights: pkexec and sudo
// start the program with the arguments after it, so the helper's path comes twice after them.
TEST(InstallHelperCommand, PrivilegedRunCommandLines) {
    using lumora::installhelper::Elevation;
    lumora::installhelper::Request request;
    std::string error;
    ASSERT_TRUE(lumora::installhelper::ParseRequest("install", "Library.QuickTime", "/a/X.component", request, error));
    const std::string self = "/opt/Lumora.app/Contents/Helpers/LumoraInstallHelper";
    const std::vector<std::string> tail = {self, self, "--self-repair", "install", "Library.QuickTime", "/a/X.component"};
    std::vector<std::string> pkexec = {"/usr/bin/pkexec"}, sudo = {"/usr/bin/sudo", "-A", "--"};
    pkexec.insert(pkexec.end(), tail.begin(), tail.end());
    sudo.insert(sudo.end(), tail.begin(), tail.end());
    EXPECT_EQ(lumora::installhelper::ElevatedCommand(Elevation::AlreadyRoot, request, self), tail);
    EXPECT_EQ(lumora::installhelper::ElevatedCommand(Elevation::Pkexec, request, self), pkexec);
    EXPECT_EQ(lumora::installhelper::ElevatedCommand(Elevation::Sudo, request, self), sudo);
}

}  // namespace
