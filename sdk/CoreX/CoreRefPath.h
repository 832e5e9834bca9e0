// CoreRefPath: a file reference together with the POSIX path of the item it names.
//
// The record is the reference first, then the path, NUL-terminated, in a fixed buffer of
// kPathCapacity bytes (PATH_MAX on Linux). A path that does not fit is refused, never cut.
#pragma once

#include <cstddef>

#include <Carbon/Carbon.h>

class CoreRefPath {
public:
    enum : std::size_t { kPathCapacity = 4096 };

    // No item: a zero reference and the empty path.
    CoreRefPath();

    // The existing item at the path (symbolic links followed); its path is the one the
    // reference answers (absolute, without links). False, and no item, on any failure.
    bool Construct(const char *in_unix_path);
    // The item a valid reference names.
    bool Construct(const FSRef &in_file_ref);

    bool IsConstructed() const { return mUnixPath[0] != 0; }
    const FSRef &GetFSRef() const { return mFSRef; }
    const char *GetUnixPath() const { return mUnixPath; }

private:
    void Clear();

    FSRef mFSRef;
    char mUnixPath[kPathCapacity];
};

bool import_CoreRefPath();
