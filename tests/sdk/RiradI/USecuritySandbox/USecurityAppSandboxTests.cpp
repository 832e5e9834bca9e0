#include <gtest/gtest.h>

#include <USecuritySandbox/USandboxUserFolder.h>
#include <USecuritySandbox/USecurityAppSandbox.h>

#include <cstdio>
#include <cstdlib>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/TestFolders.h"

using namespace lumora::test;

namespace {

const QString kGroup = QStringLiteral("com.tarvex.Lumora");
const std::string kIdentifier = "T7LUMORA42.com.tarvex.Lumora";

// Sets an environment variable for the scope (unset when value is null).
class ScopedEnvironment {
public:
    ScopedEnvironment(const char *name, const char *value) : mName(name) {
        const char *old = std::getenv(name);
        mHad = old != nullptr;
        if (mHad) mOld = old;
        if (value != nullptr) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~ScopedEnvironment() {
        if (mHad) ::setenv(mName, mOld.c_str(), 1);
        else ::unsetenv(mName);
    }

private:
    const char *mName;
    bool mHad = false;
    std::string mOld;
};

mode_t ModeOf(const std::string &path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & (S_IFMT | 07777) : 0;
}

std::string Std(const QString &text) { return text.toStdString(); }

}  // namespace

TEST(USecurityAppSandbox, IdentifiersAndGroupContainers) {
    EXPECT_EQ(Std(USecurityAppSandbox::identifierStringWithTeamIDGroupID(kGroup)), kIdentifier);
    const std::string containers = Std(USecurityAppSandbox::groupContainersFolderPath());
    EXPECT_EQ(containers, HomeFolder() + "/.local/share/Lumora/Library/Group Containers");
    const QUrl shared = USecurityAppSandbox::secureGroupSharedFolderURL(kGroup);
    EXPECT_EQ(Std(shared.toLocalFile()), containers + "/" + kIdentifier);
    struct stat info;
    EXPECT_TRUE(::stat((containers + "/" + kIdentifier).c_str(), &info) == 0 && S_ISDIR(info.st_mode));
    for (const char *bad : {"", ".", "..", "a/b"}) {
        EXPECT_TRUE(USecurityAppSandbox::secureGroupSharedFolderURL(bad).isEmpty()) << bad;
        EXPECT_TRUE(USecurityAppSandbox::secureTemporaryFolderURL(bad).isEmpty()) << bad;
    }
    ScopedFolder folder("exists");
    ASSERT_TRUE(WriteFile(folder.file("file"), "x"));
    EXPECT_TRUE(USecurityAppSandbox::folderPathExistsOrCreatedSuccessfully(QString::fromStdString(folder.path())));
    EXPECT_FALSE(USecurityAppSandbox::folderPathExistsOrCreatedSuccessfully(QString::fromStdString(folder.file("file"))));
    EXPECT_TRUE(USecurityAppSandbox::folderPathExistsOrCreatedSuccessfully(QString::fromStdString(folder.file("a/b/c"))));
}

// The runtime folder is used when it is this user's private folder; the group's temporary
// folder is made private inside it; the temporary user folder defaults to it.
TEST(USecurityAppSandbox, TemporaryFolderInTheRuntimeFolder) {
    const std::string runtime = HomeFolder() + "/run";
    EXPECT_EQ(Std(USecurityAppSandbox::processTemporaryFolderPath()), runtime);
    const QUrl url = USecurityAppSandbox::secureTemporaryFolderURL(kGroup);
    EXPECT_EQ(Std(url.toLocalFile()), runtime + "/" + kIdentifier);
    EXPECT_EQ(ModeOf(runtime + "/" + kIdentifier), mode_t(S_IFDIR | 0700));
    USandboxTemporaryFolder temporary;
    EXPECT_EQ(Std(temporary.folderPath()), runtime);
}

// A runtime folder that is not private is passed over for a private folder of the user's own
// in TMPDIR; a link, or a folder open to others, where a private folder is expected is
// refused.
TEST(USecurityAppSandbox, UnsafeTemporaryFoldersAreRefused) {
    ScopedFolder tmp("tmp");
    ScopedFolder shared("shared");
    ::chmod(shared.path().c_str(), 0755);
    ScopedEnvironment tmpdir("TMPDIR", tmp.path().c_str());
    const std::string fallback = tmp.path() + "/lumora-" + std::to_string(::geteuid());
    const std::string link = HomeFolder() + "/run-link";
    ASSERT_EQ(::symlink((HomeFolder() + "/run").c_str(), link.c_str()), 0);

    for (const std::string &runtime : {shared.path(), link, std::string("relative"), std::string()}) {
        SCOPED_TRACE(runtime);
        ScopedEnvironment variable("XDG_RUNTIME_DIR", runtime.empty() ? nullptr : runtime.c_str());
        EXPECT_EQ(Std(USecurityAppSandbox::processTemporaryFolderPath()), fallback);
        EXPECT_EQ(ModeOf(fallback), mode_t(S_IFDIR | 0700));
    }

    ScopedEnvironment variable("XDG_RUNTIME_DIR", nullptr);
    ASSERT_TRUE(RemoveTree(fallback));
    ASSERT_EQ(::symlink(shared.path().c_str(), fallback.c_str()), 0);  // someone's link in its place
    EXPECT_TRUE(USecurityAppSandbox::processTemporaryFolderPath().isNull());
    EXPECT_TRUE(USecurityAppSandbox::secureTemporaryFolderURL(kGroup).isEmpty());
    EXPECT_TRUE(USandboxTemporaryFolder().folderURL().isEmpty());
    ASSERT_EQ(::unlink(fallback.c_str()), 0);
    ASSERT_EQ(::mkdir(fallback.c_str(), 0755), 0);  // open to others
    EXPECT_TRUE(USecurityAppSandbox::processTemporaryFolderPath().isNull());
    ASSERT_EQ(::chmod(fallback.c_str(), 0700), 0);
    EXPECT_EQ(Std(USecurityAppSandbox::processTemporaryFolderPath()), fallback);

    // The group's folder itself must be private too.
    ASSERT_EQ(::symlink(shared.path().c_str(), (fallback + "/" + kIdentifier).c_str()), 0);
    EXPECT_TRUE(USecurityAppSandbox::temporaryTeamIDFolderPath(kGroup).isNull());
    ASSERT_EQ(::unlink((fallback + "/" + kIdentifier).c_str()), 0);
    ASSERT_EQ(::mkdir((fallback + "/" + kIdentifier).c_str(), 0770), 0);
    EXPECT_TRUE(USecurityAppSandbox::temporaryTeamIDFolderPath(kGroup).isNull());
    EXPECT_EQ(::unlink(link.c_str()), 0);
}

// A folder another user made beforehand (here root, for a process running as nobody) is
// never taken, whether as the runtime folder or as the private folder in TMPDIR. Permissions
// do not bind root, so the check runs in a forked child that has become nobody (65534).
TEST(USecurityAppSandbox, FoldersOfAnotherUserAreRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "making a folder that another user owns needs root (CI runs as root)";
    constexpr uid_t kNobody = 65534;
    char made[] = "/tmp/lumora-foreign-XXXXXX";
    ASSERT_NE(::mkdtemp(made), nullptr);
    const std::string base = made;
    ASSERT_EQ(::chmod(base.c_str(), 0755), 0);
    const std::string runtime = base + "/run";  // root's, private
    ASSERT_EQ(::mkdir(runtime.c_str(), 0700), 0);
    const std::string tmp = base + "/tmp";  // nobody may write here
    ASSERT_EQ(::mkdir(tmp.c_str(), 0700), 0);
    ASSERT_EQ(::chown(tmp.c_str(), kNobody, kNobody), 0);
    const std::string planted = tmp + "/lumora-" + std::to_string(kNobody);  // root's, private
    ASSERT_EQ(::mkdir(planted.c_str(), 0700), 0);
    const std::string own = base + "/own";
    ASSERT_EQ(::mkdir(own.c_str(), 0700), 0);
    ASSERT_EQ(::chown(own.c_str(), kNobody, kNobody), 0);

    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0 || ::geteuid() == 0)
            ::_exit(3);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::setenv("TMPDIR", tmp.c_str(), 1);
        if (!USecurityAppSandbox::processTemporaryFolderPath().isNull()) ::_exit(4);
        if (!USecurityAppSandbox::secureTemporaryFolderURL(kGroup).isEmpty()) ::_exit(5);
        // Where nothing was planted, the child makes its own private folder.
        ::setenv("TMPDIR", own.c_str(), 1);
        if (USecurityAppSandbox::secureTemporaryFolderURL(kGroup).isEmpty()) ::_exit(6);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(ModeOf(planted), mode_t(S_IFDIR | 0700));
    RemoveTree(base);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not become nobody; 4: a foreign folder was taken as the temporary "
                                         "folder; 5: a group folder was made in it; 6: no private folder in a clean TMPDIR";
}
