// Running the install helper as a child process, and pictures of folder trees to show that
// a run changed nothing it should not have.
#pragma once

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/TestFolders.h"

extern char **environ;

namespace lumora::test {

struct HelperRun {
    int status = -1;  // the exit status, 128 + n for signal n, -1 when it could not run
    std::string log;  // its standard error
};

// Runs the program with the arguments (argv[0] included) and the environment of this process
// with `extra` added (NAME=value). With `asUser` the child drops to that user id first.
inline HelperRun RunProgram(const std::vector<std::string> &arguments, const std::vector<std::string> &extra = {},
                            const std::string &workingFolder = {}, uid_t asUser = 0) {
    HelperRun run;
    char logName[] = "/tmp/lumora-helper-log-XXXXXX";
    const int logFile = ::mkstemp(logName);
    if (logFile < 0) return run;
    ::unlink(logName);
    std::vector<std::string> environment;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const std::string &added : extra) replaced |= text.compare(0, added.find('=') + 1, added, 0, added.find('=') + 1) == 0;
        if (!replaced) environment.push_back(text);
    }
    environment.insert(environment.end(), extra.begin(), extra.end());
    std::vector<char *> argv, envp;
    for (const std::string &argument : arguments) argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    for (std::string &entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        ::dup2(logFile, 2);
        if (!workingFolder.empty() && ::chdir(workingFolder.c_str()) != 0) ::_exit(120);
        if (asUser != 0 && (::setgid(asUser) != 0 || ::setuid(asUser) != 0)) ::_exit(121);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(122);
    }
    if (child > 0) {
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
    }
    ::lseek(logFile, 0, SEEK_SET);
    char buffer[4096];
    for (ssize_t got; (got = ::read(logFile, buffer, sizeof buffer)) > 0;) run.log.append(buffer, size_t(got));
    ::close(logFile);
    return run;
}

// Everything about each entry below a folder that a helper run could change: type, modes,
// owner, size and content (file bytes, link text), keyed by path relative to the folder.
using TreePicture = std::map<std::string, std::string>;

inline void PictureInto(const std::string &root, const std::string &relative, const std::string &skip, TreePicture &picture) {
    const std::string path = relative.empty() ? root : root + "/" + relative;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return;
    std::string entry = std::to_string(info.st_mode) + " " + std::to_string(info.st_uid) + ":" +
                        std::to_string(info.st_gid) + " ";
    if (S_ISREG(info.st_mode)) {
        entry += ReadFile(path);
    } else if (S_ISLNK(info.st_mode)) {
        char target[PATH_MAX];
        const ssize_t length = ::readlink(path.c_str(), target, sizeof target);
        if (length > 0) entry.append(target, size_t(length));
    }
    picture[relative.empty() ? "." : relative] = entry;
    if (!S_ISDIR(info.st_mode) || (!skip.empty() && relative == skip)) return;
    DIR *folder = ::opendir(path.c_str());
    if (folder == nullptr) return;
    while (struct dirent *child = ::readdir(folder)) {
        const std::string name = child->d_name;
        if (name == "." || name == "..") continue;
        PictureInto(root, relative.empty() ? name : relative + "/" + name, skip, picture);
    }
    ::closedir(folder);
}

// The picture of the tree at `root`; the contents of the folder `skip` (relative) are left out.
inline TreePicture PictureOfTree(const std::string &root, const std::string &skip = {}) {
    TreePicture picture;
    PictureInto(root, "", skip, picture);
    return picture;
}

inline bool MakeFolders(const std::string &path) {
    for (size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/') continue;
        if (::mkdir(path.substr(0, at).c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// Writes the file, making its folders, and sets its modes.
inline bool PutFile(const std::string &path, const std::string &content, mode_t mode = 0644) {
    const size_t slash = path.rfind('/');
    return MakeFolders(path.substr(0, slash)) && WriteFile(path, content) && ::chmod(path.c_str(), mode) == 0;
}

// A plug-in bundle: Name.ext/Contents/Info.plist with the identifier and version, and its
// executable Contents/Linux/Name.
inline bool PutBundle(const std::string &path, const std::string &identifier, const std::string &version) {
    const size_t slash = path.rfind('/');
    const std::string file = path.substr(slash + 1);
    const std::string base = file.substr(0, file.find('.'));
    const std::string plist =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
        "\t<key>CFBundleIdentifier</key>\n\t<string>" + identifier + "</string>\n"
        "\t<key>CFBundleName</key>\n\t<string>" + base + "</string>\n"
        "\t<key>CFBundleVersion</key>\n\t<string>" + version + "</string>\n</dict>\n</plist>\n";
    return PutFile(path + "/Contents/Info.plist", plist) &&
           PutFile(path + "/Contents/Linux/" + base, "program " + version, 0755);
}

}  // namespace lumora::test
