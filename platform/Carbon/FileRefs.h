// Inside the Carbon layer: what an FSRef and an FSSpec hold and how paths become references
// and specifications. The other parts of this layer build on these.
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

// The process-wide path table behind FSRef and FSSpec. InternPath answers the id of a path
// (added when new; 0 when the table is full); ids start at 1 and are never reused.
UInt32 InternPath(const std::string &path);
bool PathOfID(UInt32 id, std::string &path);

// `name` in the folder `folder` (both as the table holds them: absolute, no trailing '/').
std::string JoinPath(const std::string &folder, const std::string &name);

// The specification of `name` in the canonical folder `folder` (an empty name: the folder
// itself). memFullErr when the path table is full.
OSErr MakeFileSpec(const std::string &folder, const std::string &name, FSSpec &spec);

// The path a specification names, whether or not something is there. nsvErr for another
// volume, dirNFErr for a folder id not in the table, bdNamErr for a name that is not one
// name of that folder (see FSSpec in Files.h).
OSErr FileSpecPath(const FSSpec &spec, std::string &path);

}  // namespace lumora::carbon
