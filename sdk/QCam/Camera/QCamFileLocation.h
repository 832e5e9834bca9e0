// Where a file lies, without touching it: a path on a network file system (NFS, SMB/CIFS,
// 9p, AFS, Ceph, ..., and FUSE file systems, whose servers may answer slowly or never) can
// block the thread that opens it for as long as the server takes. Interface code asks
// first and refuses such paths instead of blocking the main thread.
//
// The answer comes from the mount table (/proc/self/mountinfo) and from the symbolic links
// along the path. Each prefix of the path is looked up in the mount table before anything
// at that prefix is read (readlink), so no call ever reaches a network file system; links
// are followed (at most 40) so that a local link into a network mount is seen.
#pragma once

#include <string>
#include <vector>

struct QCamMountEntry;

// True when the path (absolute, or relative to the working folder) lies on a network or
// FUSE file system; `fileSystemType` (optional) then names it. Also true for a path that
// cannot be resolved without reading a network file system. False for local paths and
// when the mount table cannot be read.
bool QCamIsRemotePath(const std::string &path, std::string *fileSystemType = nullptr);

// The file-system types counted as remote (exact names; every "fuse." type except "fuseblk"
// is remote as well).
bool QCamIsRemoteFileSystemType(const std::string &type);

// One line of the mount table: the mount point (octal escapes decoded) and the type.
struct QCamMountEntry {
    std::string mountPoint;
    std::string type;
};
// The entry of one mountinfo line; false for a line that is not well formed.
bool QCamParseMountInfoLine(const std::string &line, QCamMountEntry &entry);
// QCamIsRemotePath over a given mount table (later entries hide earlier ones).
bool QCamIsRemotePathInTable(const std::vector<QCamMountEntry> &table, const std::string &path,
                             std::string *fileSystemType = nullptr);
