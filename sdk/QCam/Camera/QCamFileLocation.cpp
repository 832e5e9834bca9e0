#include <QCam/Camera/QCamFileLocation.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxLinks = 40;

std::string DecodeOctal(const std::string &field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
            field[i + 3] >= '0' && field[i + 3] <= '7') {
            out += char((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::vector<QCamMountEntry> ReadMountTable() {
    std::vector<QCamMountEntry> entries;
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        QCamMountEntry entry;
        if (QCamParseMountInfoLine(line, entry)) entries.push_back(entry);
    }
    return entries;
}

// The mount point is the path or one of its parent folders.
bool Covers(const std::string &mountPoint, const std::string &path) {
    if (mountPoint == "/") return true;
    if (path.compare(0, mountPoint.size(), mountPoint) != 0) return false;
    return path.size() == mountPoint.size() || path[mountPoint.size()] == '/';
}

// The type of the mount that holds the path (the last, innermost matching entry wins, as
// later mounts hide earlier ones).
const QCamMountEntry *MountOf(const std::vector<QCamMountEntry> &table, const std::string &path) {
    const QCamMountEntry *best = nullptr;
    for (const QCamMountEntry &entry : table) {
        if (!Covers(entry.mountPoint, path)) continue;
        if (best == nullptr || entry.mountPoint.size() >= best->mountPoint.size()) best = &entry;
    }
    return best;
}

std::vector<std::string> Components(const std::string &path) {
    std::vector<std::string> parts;
    std::stringstream stream(path);
    std::string part;
    while (std::getline(stream, part, '/'))
        if (!part.empty() && part != ".") parts.push_back(part);
    return parts;
}

}  // namespace

bool QCamParseMountInfoLine(const std::string &line, QCamMountEntry &entry) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    std::string word;
    while (fields >> word) words.push_back(word);
    // id parent major:minor root mount-point options [optional...] - type source super-options
    if (words.size() < 8) return false;
    size_t dash = 6;
    while (dash < words.size() && words[dash] != "-") ++dash;
    if (dash + 1 >= words.size()) return false;
    entry.mountPoint = DecodeOctal(words[4]);
    entry.type = words[dash + 1];
    return !entry.mountPoint.empty() && entry.mountPoint[0] == '/';
}

bool QCamIsRemoteFileSystemType(const std::string &type) {
    static const char *const kRemote[] = {"nfs",   "nfs4",  "cifs",   "smb3",  "smbfs", "ncpfs",
                                          "afs",   "9p",    "ceph",   "glusterfs", "lustre", "coda",
                                          "davfs", "sshfs", "gfs2",   "ocfs2", "fuse",  "virtiofs"};
    for (const char *name : kRemote)
        if (type == name) return true;
    return type.compare(0, 5, "fuse.") == 0;
}

bool QCamIsRemotePath(const std::string &path, std::string *fileSystemType) {
    return QCamIsRemotePathInTable(ReadMountTable(), path, fileSystemType);
}

bool QCamIsRemotePathInTable(const std::vector<QCamMountEntry> &table, const std::string &path,
                             std::string *fileSystemType) {
    if (table.empty()) return false;

    std::string start = path;
    if (start.empty() || start[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd) == nullptr) return false;
        start = std::string(cwd) + "/" + start;
    }
    std::vector<std::string> pending = Components(start);
    std::string resolved;  // "" stands for "/"
    int links = 0;
    auto remote = [&](const std::string &prefix) {
        const QCamMountEntry *mount = MountOf(table, prefix.empty() ? "/" : prefix);
        if (mount == nullptr || !QCamIsRemoteFileSystemType(mount->type)) return false;
        if (fileSystemType != nullptr) *fileSystemType = mount->type;
        return true;
    };
    if (remote(resolved)) return true;
    size_t next = 0;
    while (next < pending.size()) {
        const std::string part = pending[next++];
        if (part == "..") {
            const size_t slash = resolved.rfind('/');
            resolved = slash == std::string::npos ? std::string() : resolved.substr(0, slash);
            continue;
        }
        const std::string candidate = resolved + "/" + part;
        // Looked up before it is read: a network mount is never touched.
        if (remote(candidate)) return true;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(candidate.c_str(), target, sizeof target - 1);
        if (length < 0) {
            resolved = candidate;  // not a link (or not there): the open reports it later
            continue;
        }
        if (++links > kMaxLinks) return false;
        target[length] = '\0';
        std::vector<std::string> rest(pending.begin() + long(next), pending.end());
        std::vector<std::string> linked = Components(target);
        if (target[0] == '/') resolved.clear();
        linked.insert(linked.end(), rest.begin(), rest.end());
        pending = linked;
        next = 0;
        if (remote(resolved)) return true;
    }
    return remote(resolved);
}
