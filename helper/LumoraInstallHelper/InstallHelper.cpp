#include "InstallHelper.h"

#include <LumoraApp/AuthDittoTool.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace lumora::installhelper {

namespace {

void Log(const std::string &text) { std::fprintf(stderr, "LumoraInstallHelper %s\n", text.c_str()); }

std::string SystemError(const std::string &what, const std::string &path, int error) {
    return what + " \"" + path + "\": " + std::strerror(error);
}

// The resolved path; "" when it cannot be resolved.
std::string RealPath(const std::string &path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : std::string();
}

bool IsStrictlyInside(const std::string &path, const std::string &folder) {
    return path.size() > folder.size() + 1 && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

// mkdir -p of the Library folder itself (a folder of the system's own tree).
bool MakeRoot(const std::string &root, std::string &error) {
    for (size_t at = 1; at <= root.size(); ++at) {
        if (at != root.size() && root[at] != '/') continue;
        const std::string part = root.substr(0, at);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
            error = SystemError("cannot make the folder", part, errno);
            return false;
        }
    }
    struct stat info {};
    if (::stat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "cannot use the Library folder \"" + root + "\": not a folder";
        return false;
    }
    return true;
}

// Walks the location's sub-folders below the Library folder: each must be a real folder (no
// link); missing ones are made when `make` is set, else `absent` is set.
bool WalkSubFolders(const std::string &root, const std::string &folder, bool make, bool &absent, std::string &error) {
    std::string path = root;
    const std::string sub = folder.substr(root.size() + 1);
    size_t at = 0;
    while (at <= sub.size()) {
        size_t end = sub.find('/', at);
        if (end == std::string::npos) end = sub.size();
        path += "/" + sub.substr(at, end - at);
        at = end + 1;
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            if (errno != ENOENT) {
                error = SystemError("cannot reach the folder", path, errno);
                return false;
            }
            if (!make) {
                absent = true;
                return true;
            }
            if (::mkdir(path.c_str(), 0755) != 0) {
                error = SystemError("cannot make the folder", path, errno);
                return false;
            }
            continue;
        }
        if (S_ISLNK(info.st_mode)) {
            error = "the location folder \"" + path + "\" is a symbolic link";
            return false;
        }
        if (!S_ISDIR(info.st_mode)) {
            error = "cannot use the location folder \"" + path + "\": not a folder";
            return false;
        }
    }
    return true;
}

// Copies without following links; every file made is owned by root and `group`. The source
// is walked through folder descriptors (openat with O_NOFOLLOW), so a payload whose parts are
// swapped for links while it is copied still never leads the copy out of it.
class TreeCopier {
public:
    explicit TreeCopier(gid_t group) : mGroup(group) {}

    // Copies the entry `name` of the open folder `parent` (`source` is its path, for messages).
    bool Copy(int parent, const std::string &name, const std::string &source, const std::string &target,
              std::string &error) {
        struct stat info {};
        if (::fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            error = SystemError("cannot read", source, errno);
            return false;
        }
        const mode_t mode = info.st_mode & 0755;
        if (S_ISDIR(info.st_mode)) return CopyFolder(parent, name, source, target, mode, error);
        if (S_ISREG(info.st_mode)) return CopyFile(parent, name, source, target, mode, error);
        if (S_ISLNK(info.st_mode)) return CopyLink(parent, name, source, target, error);
        error = "cannot copy \"" + source + "\": neither a folder, a file nor a symbolic link";
        return false;
    }

private:
    bool CopyFolder(int parent, const std::string &name, const std::string &source, const std::string &target,
                    mode_t mode, std::string &error) {
        const int descriptor = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        DIR *folder = descriptor >= 0 ? ::fdopendir(descriptor) : nullptr;
        if (folder == nullptr) {
            error = SystemError("cannot read the folder", source, errno);
            if (descriptor >= 0) ::close(descriptor);
            return false;
        }
        if (::mkdir(target.c_str(), 0700) != 0) {
            error = SystemError("cannot make the folder", target, errno);
            ::closedir(folder);
            return false;
        }
        bool ok = true;
        errno = 0;
        while (struct dirent *entry = ::readdir(folder)) {
            const std::string child = entry->d_name;
            if (child == "." || child == "..") continue;
            if (!Copy(::dirfd(folder), child, source + "/" + child, target + "/" + child, error)) {
                ok = false;
                break;
            }
            errno = 0;
        }
        if (ok && errno != 0) {
            error = SystemError("cannot read the folder", source, errno);
            ok = false;
        }
        ::closedir(folder);
        if (!ok) return false;
        if (::lchown(target.c_str(), 0, mGroup) != 0 || ::chmod(target.c_str(), mode | 0700) != 0) {
            error = SystemError("cannot set the owner and modes of", target, errno);
            return false;
        }
        return true;
    }

    bool CopyFile(int parent, const std::string &name, const std::string &source, const std::string &target,
                  mode_t mode, std::string &error) {
        // Non-blocking, so that a file swapped for a named pipe cannot hold the open.
        const int in = ::openat(parent, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        struct stat info {};
        if (in < 0 || ::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
            error = in < 0 ? SystemError("cannot read", source, errno)
                           : "cannot copy \"" + source + "\": no longer a regular file";
            if (in >= 0) ::close(in);
            return false;
        }
        const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (out < 0) {
            error = SystemError("cannot write", target, errno);
            ::close(in);
            return false;
        }
        bool ok = true;
        std::vector<char> buffer(1 << 16);
        for (;;) {
            const ssize_t got = ::read(in, buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                error = SystemError("cannot read", source, errno);
                ok = false;
                break;
            }
            if (got == 0) break;
            for (ssize_t done = 0; done < got;) {
                const ssize_t put = ::write(out, buffer.data() + done, size_t(got - done));
                if (put < 0 && errno == EINTR) continue;
                if (put < 0) {
                    error = SystemError("cannot write", target, errno);
                    ok = false;
                    break;
                }
                done += put;
            }
            if (!ok) break;
        }
        if (ok && (::fchown(out, 0, mGroup) != 0 || ::fchmod(out, mode) != 0)) {
            error = SystemError("cannot set the owner and modes of", target, errno);
            ok = false;
        }
        if (::close(out) != 0 && ok) {
            error = SystemError("cannot write", target, errno);
            ok = false;
        }
        ::close(in);
        return ok;
    }

    bool CopyLink(int parent, const std::string &name, const std::string &source, const std::string &target,
                  std::string &error) {
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t length = ::readlinkat(parent, name.c_str(), buffer.data(), buffer.size());
        if (length < 0 || size_t(length) >= buffer.size()) {
            error = SystemError("cannot read the link", source, length < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        const std::string content(buffer.data(), size_t(length));
        if (::symlink(content.c_str(), target.c_str()) != 0 || ::lchown(target.c_str(), 0, mGroup) != 0) {
            error = SystemError("cannot make the link", target, errno);
            return false;
        }
        return true;
    }

    gid_t mGroup;
};

// The first failure of RemoveTree's walk (nftw's callback takes no context).
thread_local std::string tRemoveError;

int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) {
    if (::remove(path) != 0) {
        tRemoveError = SystemError("cannot delete", path, errno);
        return 1;
    }
    return 0;
}

// Deletes the file, link or folder tree at the path; links are removed, never followed, and
// the walk stays on the path's file system.
bool RemoveTree(const std::string &path, std::string &error) {
    tRemoveError.clear();
    if (::nftw(path.c_str(), RemoveEntry, 32, FTW_DEPTH | FTW_PHYS | FTW_MOUNT) != 0) {
        error = tRemoveError.empty() ? SystemError("cannot delete", path, errno) : tRemoveError;
        return false;
    }
    return true;
}

int Install(const Request &request, std::string &error) {
    struct stat info {};
    if (::lstat(request.payload.c_str(), &info) != 0) {
        error = SystemError("cannot read the payload", request.payload, errno);
        return kStatusFailed;
    }
    if (!S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode)) {
        error = "the payload \"" + request.payload + "\" is neither a folder nor a regular file";
        return kStatusRefused;
    }
    // A payload that holds the location folder would copy its own copy without end.
    const std::string resolved = RealPath(request.payload);
    if (resolved.empty() || resolved == request.folder || IsStrictlyInside(request.folder, resolved)) {
        error = "the payload \"" + request.payload + "\" holds the location folder";
        return kStatusRefused;
    }
    std::string staging = request.folder + "/.LumoraInstallHelper.XXXXXX";
    if (::mkdtemp(staging.data()) == nullptr) {
        error = SystemError("cannot make a temporary folder in", request.folder, errno);
        return kStatusFailed;
    }
    const std::string copy = staging + "/" + request.name;
    const std::string old = staging + "/.previous";
    // The payload is reached through its folder; from there on nothing is followed.
    const size_t slash = request.payload.rfind('/');
    const std::string parentPath = slash == 0 ? std::string("/") : request.payload.substr(0, slash);
    const int parent = ::open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    TreeCopier copier(AdministratorsGroup());
    bool ok = parent >= 0;
    if (!ok) error = SystemError("cannot read the folder", parentPath, errno);
    if (ok) ok = copier.Copy(parent, request.name, request.payload, copy, error);
    if (parent >= 0) ::close(parent);
    bool replaced = false;
    if (ok && ::lstat(request.destination.c_str(), &info) == 0) {
        if (::rename(request.destination.c_str(), old.c_str()) != 0) {
            error = SystemError("cannot move aside", request.destination, errno);
            ok = false;
        } else {
            replaced = true;
        }
    }
    if (ok && ::rename(copy.c_str(), request.destination.c_str()) != 0) {
        error = SystemError("cannot move the copy to", request.destination, errno);
        ok = false;
        if (replaced) ::rename(old.c_str(), request.destination.c_str());
    }
    std::string cleanup;
    if (!RemoveTree(staging, cleanup) && ok) Log("error: " + cleanup);
    return ok ? kStatusDone : kStatusFailed;
}

}  // namespace

bool ParseRequest(std::string_view command, std::string_view location, std::string_view payload, Request &request,
                  std::string &error) {
    if (command == kAuthDittoTool_Command_Install) {
        request.command = Command::Install;
    } else if (command == kAuthDittoTool_Command_Delete) {
        request.command = Command::Delete;
    } else {
        error = "unknown command \"" + std::string(command) + "\" (install or delete)";
        return false;
    }
    request.commandName = std::string(command);
    request.location = std::string(location);
    request.payload = std::string(payload);
    const AuthDittoTool::Location *known = AuthDittoTool::locationWithName(location);
    if (known == nullptr) {
        error = "unknown location \"" + std::string(location) + "\"";
        return false;
    }
    if (payload.empty() || payload.front() != '/') {
        error = "the payload path \"" + std::string(payload) + "\" is not absolute";
        return false;
    }
    request.name = AuthDittoTool::payloadNameWithSourcePath(payload);
    if (request.name.empty()) {
        error = "the payload path \"" + std::string(payload) + "\" does not end in a file name";
        return false;
    }
    request.libraryRoot = AuthDittoTool::libraryFolderInDomain(known->domain, {});
    request.folder = AuthDittoTool::locationPathWithLocationName(location);
    if (request.libraryRoot.size() < 2 || request.libraryRoot.front() != '/' ||
        request.folder.compare(0, request.libraryRoot.size() + 1, request.libraryRoot + "/") != 0) {
        error = "no Library folder for the location \"" + std::string(location) + "\"";
        return false;
    }
    request.destination = request.folder + "/" + request.name;
    return true;
}

bool ResolveInsideLocation(Request &request, bool makeFolders, bool &absent, std::string &error) {
    absent = false;
    struct stat info {};
    if (makeFolders) {
        if (!MakeRoot(request.libraryRoot, error)) return false;
    } else if (::stat(request.libraryRoot.c_str(), &info) != 0) {
        absent = true;
        return true;
    }
    if (!WalkSubFolders(request.libraryRoot, request.folder, makeFolders, absent, error)) return false;
    if (absent) return true;
    const std::string root = RealPath(request.libraryRoot);
    const std::string folder = RealPath(request.folder);
    if (root.empty() || folder.empty() || !IsStrictlyInside(folder, root)) {
        error = "the location folder \"" + request.folder + "\" does not lie inside \"" + request.libraryRoot + "\"";
        return false;
    }
    const std::string destination = folder + "/" + request.name;
    if (::lstat(destination.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            error = SystemError("cannot reach", destination, errno);
            return false;
        }
        absent = true;
    } else if (S_ISLNK(info.st_mode)) {
        // A link that leads anywhere must lead inside the location folder.
        const std::string target = RealPath(destination);
        if (!target.empty() && !IsStrictlyInside(target, folder)) {
            error = "the destination \"" + destination + "\" is a link that leads out of \"" + folder + "\"";
            return false;
        }
    }
    request.folder = folder;
    request.destination = destination;
    return true;
}

gid_t AdministratorsGroup() {
    for (const char *name : {"sudo", "wheel"}) {
        std::vector<char> buffer(16384);
        struct group entry {};
        struct group *found = nullptr;
        if (::getgrnam_r(name, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) return found->gr_gid;
    }
    return 0;
}

int RunPrivileged(Request &request, std::string &error) {
    const bool install = request.command == Command::Install;
    bool absent = false;
    if (!ResolveInsideLocation(request, install, absent, error)) {
        // Failures of the system read "cannot ..."; the rest are the rules refusing.
        return error.rfind("cannot", 0) == 0 ? kStatusFailed : kStatusRefused;
    }
    Log("executing " + request.commandName);
    if (install) return Install(request, error);
    if (absent) {
        Log("nothing to delete at " + request.destination);
        return kStatusDone;
    }
    return RemoveTree(request.destination, error) ? kStatusDone : kStatusFailed;
}

namespace {

bool IsExecutable(const std::string &path) { return !path.empty() && path.front() == '/' && ::access(path.c_str(), X_OK) == 0; }

// Runs the program with the arguments and waits; answers its status (128 + n for signal n),
// or -1 when it cannot be started.
int SpawnAndWait(const std::vector<std::string> &arguments, char *const *environment) {
    std::vector<char *> argv;
    for (const std::string &argument : arguments) argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int error = ::posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environment);
    if (error != 0) {
        Log("error: cannot start \"" + arguments[0] + "\": " + std::strerror(error));
        return -1;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            Log(std::string("error: cannot wait for the privileged run: ") + std::strerror(errno));
            return -1;
        }
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return kStatusFailed;
}

// The askpass program for sudo: $SUDO_ASKPASS, else the first desktop one installed.
std::string AskPass() {
    if (const char *value = std::getenv("SUDO_ASKPASS"); value != nullptr && IsExecutable(value)) return value;
    for (const char *candidate : {"/usr/bin/ssh-askpass", "/usr/lib/ssh/x11-ssh-askpass", "/usr/bin/ksshaskpass",
                                  "/usr/bin/lxqt-openssh-askpass", "/usr/libexec/openssh/gnome-ssh-askpass",
                                  "/usr/libexec/seahorse/ssh-askpass"}) {
        if (IsExecutable(candidate)) return candidate;
    }
    return {};
}

int RunUnprivileged(const Request &request, const std::string &selfPath) {
    if (::geteuid() == 0) {
        Log("executing self-repair");
        const int status = SpawnAndWait(ElevatedCommand(Elevation::AlreadyRoot, request, selfPath), environ);
        return status < 0 ? kStatusSpawnFailed : status;
    }
    const auto set = [](const char *name) {
        const char *value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    const bool graphical = set("DISPLAY") || set("WAYLAND_DISPLAY");
    if (graphical && IsExecutable("/usr/bin/pkexec")) {
        Log("executing self-repair through pkexec");
        const int status = SpawnAndWait(ElevatedCommand(Elevation::Pkexec, request, selfPath), environ);
        // 127: pkexec found no agent or could not authorise; try sudo instead.
        if (status != 127) return status < 0 ? kStatusSpawnFailed : status;
        Log("pkexec could not authorise; trying sudo");
    }
    const std::string askpass = AskPass();
    if (!IsExecutable("/usr/bin/sudo") || askpass.empty()) {
        Log("error: no way to obtain administrator rights (neither pkexec with a polkit agent nor sudo with an askpass "
            "helper)");
        return kStatusNoElevation;
    }
    Log("executing self-repair through sudo");
    std::vector<std::string> environment;
    for (char **entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "SUDO_ASKPASS=", 13) != 0) environment.emplace_back(*entry);
    }
    environment.push_back("SUDO_ASKPASS=" + askpass);
    std::vector<char *> envp;
    for (std::string &entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const int status = SpawnAndWait(ElevatedCommand(Elevation::Sudo, request, selfPath), envp.data());
    return status < 0 ? kStatusSpawnFailed : status;
}

}  // namespace

std::vector<std::string> ElevatedCommand(Elevation elevation, const Request &request, const std::string &selfPath) {
    // pkexec and sudo start the program with argv[0] as they were given it, then the rest.
    std::vector<std::string> command;
    if (elevation == Elevation::Pkexec) command = {"/usr/bin/pkexec"};
    if (elevation == Elevation::Sudo) command = {"/usr/bin/sudo", "-A", "--"};
    command.insert(command.end(), {selfPath, selfPath, kSelfRepair, request.commandName, request.location, request.payload});
    return command;
}

int Main(int argc, const char *const *argv, const std::string &selfPath) {
    Log("started BUILD " LUMORA_INSTALL_HELPER_BUILD);
    const auto finish = [](int status) {
        Log("exiting with status " + std::to_string(status));
        return status;
    };
    const bool privileged = argc == 6 && std::strcmp(argv[2], kSelfRepair) == 0;
    if (argc != 5 && !privileged) {
        Log("error: usage: LumoraInstallHelper <path> install|delete <location> <payload path>");
        return finish(kStatusUsage);
    }
    const int first = privileged ? 3 : 2;
    if (privileged) {
        Log("(argc > ARGUMENT_COUNT)");
        for (int i = 0; i < argc; ++i) {
            static const char *const kRoles[] = {"argv0", "argv1", "argv2", "command", "location", "payload"};
            Log(std::string(kRoles[i]) + ":" + argv[i]);
        }
    } else {
        Log("(argc == ARGUMENT_COUNT)");
    }
    Request request;
    std::string error;
    if (!ParseRequest(argv[first], argv[first + 1], argv[first + 2], request, error)) {
        Log("error: " + error);
        return finish(kStatusRefused);
    }
    Log("destination:" + request.destination);
    if (!privileged) {
        if (selfPath.empty()) {
            Log("error: cannot find the helper's own program");
            return finish(kStatusSpawnFailed);
        }
        const int status = RunUnprivileged(request, selfPath);
        if (status != kStatusDone) Log("error: the privileged run failed with status " + std::to_string(status));
        return finish(status);
    }
    if (::geteuid() != 0) {
        Log("error: the privileged run must run as root");
        return finish(kStatusNotRoot);
    }
    const int status = RunPrivileged(request, error);
    if (status == kStatusDone) {
        Log("done with " + request.commandName + ": ok");
    } else {
        Log("error: " + error);
        Log("done with " + request.commandName + ": failed");
    }
    return finish(status);
}

}  // namespace lumora::installhelper
