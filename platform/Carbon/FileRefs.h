// Inside the Carbon layer: what an FSRef holds and how paths become references. Other
// parts of this layer (and the File Manager calls added later) build on these.
#pragma once

#include <string>
#include <sys/stat.h>

#include <Carbon/Files.h>

namespace lumora::carbon {

// The layout behind FSRef::hidden. `reserved` is zero; later File Manager work may use it.
struct FileRefRecord {
    UInt32 magic;   // kFileRefMagic in a reference made here
    UInt32 pathID;  // id of the absolute path in the process-wide path table
    UInt64 device;
    UInt64 inode;
    UInt8 reserved[56];
};
static_assert(sizeof(FileRefRecord) == sizeof(FSRef), "an FSRef holds exactly one record");

constexpr UInt32 kFileRefMagic = MakeFourCharCode("LFSR");

// The OSErr for a failed system call's errno.
OSErr StatusFromErrno(int error);

// Makes a reference to an existing object at `path`; follows symbolic links. On success
// *isDirectory (when not null) tells a folder.
OSErr MakeFileRef(const std::string &path, FSRef &ref, bool *isDirectory = nullptr);

// The path of a valid reference (the object still exists with the same device and inode)
// and, when asked, the object's attributes. errFSBadFSRef for a record not made here,
// fnfErr for a vanished object.
OSErr FileRefPath(const FSRef &ref, std::string &path, struct stat *attributes = nullptr);

// A reference that is no reference (zero-filled).
void ClearFileRef(FSRef &ref);

}  // namespace lumora::carbon
