// Inside the Carbon layer: what an FSRef and an FSSpec hold, volumes and folder ids, names,
// Finder information and forks as the parts of the layer share them.
#pragma once

#include <string>
#include <sys/stat.h>
#include <vector>

#include <Carbon/Files.h>
#include <Carbon/MacMemory.h>

namespace lumora::carbon {

// ----- References and paths (FileRefs.cpp) -----

// The layout behind FSRef::hidden. `reserved` is zero.
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
// fnfErr for a vanished object or a reference whose path the table no longer keeps.
OSErr FileRefPath(const FSRef &ref, std::string &path, struct stat *attributes = nullptr);

// A reference that is no reference (zero-filled).
void ClearFileRef(FSRef &ref);

// The process-wide table of strings (paths, and the long names of FSSpecs). InternPath
// answers the id of a string (added when new; 0 when all 2^32 - 1 ids are used up); ids
// start at 1 and are never reused. The table keeps the kPathTableCapacity most recently
// used strings (interning or looking one up counts as a use) and forgets the least recently
// used beyond that, so a reference whose string was forgotten fails (fnfErr for an FSRef,
// bdNamErr for an FSSpec's long name) and never names another one.
constexpr size_t kPathTableCapacity = 65536;
enum class PathLookup { Found, Evicted, Unknown };
UInt32 InternPath(const std::string &path);
bool PathOfID(UInt32 id, std::string &path);

// `name` in the folder `folder` (both as the table holds them: absolute, no trailing '/').
std::string JoinPath(const std::string &folder, const std::string &name);
// The folder of an absolute path ("/" for "/x"; "" for "/"), and its last component.
std::string ParentPath(const std::string &path);
std::string LeafName(const std::string &path);

// ----- Names (FileRefs.cpp) -----

// A UTF-16 name as UTF-8 after checking it is one name: errFSMissingName for an empty name,
// bdNamErr for an unpaired surrogate, NUL, '/', "." or "..", errFSNameTooLong beyond 255
// bytes, paramErr for a null name with a length.
OSErr NameFromUnicode(UniCharCount length, const UniChar *units, std::string &name);
// The same checks on a UTF-8 name.
OSErr CheckName(const std::string &name);
// The path of the folder a parent reference names (errFSNotAFolder for a file) and a name in
// it from UTF-16, checked as NameFromUnicode checks it.
OSErr FolderAndName(const FSRef &parentRef, UniCharCount nameLength, const UniChar *name, std::string &folder,
                    std::string &leaf);
// A UTF-8 name (bytes that are not UTF-8 become U+FFFD) as UTF-16; errFSNameTooLong
// beyond 255 units.
OSErr UnicodeFromName(const std::string &name, HFSUniStr255 &unicode);
// The form of `name` under which an object exists in `folder`: the name itself, else its
// NFC form, else its NFD form. False (and `found` = name) when none exists.
bool FindExistingName(const std::string &folder, const std::string &name, std::string &found);
// True when `name` itself or another normalisation form of it exists in `folder`.
bool NameIsTaken(const std::string &folder, const std::string &name);

// ----- Volumes and folder ids (Volumes.cpp) -----

struct Volume {
    FSVolumeRefNum refNum = 0;
    UInt64 device = 0;
    UInt64 rootInode = 0;
    std::string root;  // mount point
    std::string name;  // last component of the mount point
};

// The volume of an existing object (its canonical path and attributes), met for the first
// time or again.
OSErr VolumeOfObject(const std::string &path, const struct stat &info, Volume &volume);
// A volume this process has met. nsvErr when not, or when its root is no longer there.
OSErr VolumeOfRefNum(FSVolumeRefNum refNum, Volume &volume);
// The volume of the working folder.
OSErr DefaultVolume(Volume &volume, std::string *workingFolder = nullptr);

// The id of an object on `volume` (2 for its root); a folder's path is noted.
long ObjectID(const Volume &volume, const std::string &path, const struct stat &info);
// The folder an id names on the volume (see Files.h). nsvErr, dirNFErr.
OSErr FolderOfID(const Volume &volume, long dirID, std::string &path);
// The volumes whose folder `dirID` this process has noted, the working folder's first.
std::vector<FSVolumeRefNum> VolumesKnowingFolder(long dirID);

// The object's birth time in nanoseconds since 1970 (not following a last link), 0 when
// the file system keeps none. With the device and inode it tells an object from a later
// one that reuses its inode number.
UInt64 BirthTimeOf(const std::string &path);

// Looks for an object with `inode` on `device` below each start folder in turn (breadth
// first, no links followed, the device never left, at most kSearchFolderLimit folders
// each). A folder is asked for with `directory`. When `birth` is not 0 the object must also
// have been born then, so a newer object that reuses the inode number is not taken for it.
constexpr int kSearchFolderLimit = 4096;
bool FindInode(UInt64 device, UInt64 inode, bool directory, const std::vector<std::string> &starts,
               std::string &found, UInt64 birth = 0);
// The nearest existing folder at or above `path` that is on `device`, "" when none.
std::string NearestExistingFolder(const std::string &path, UInt64 device);

// ----- Specifications (FileSpecs.cpp) -----

// The FSSpec of the object at `path` (canonical; the object need not exist, its
// folder must).
OSErr MakeFileSpec(const std::string &path, FSSpec &spec);
// The path an FSSpec names, whether or not something is there (the name resolved
// to the form that exists). nsvErr, dirNFErr, bdNamErr as for FSMakeFSSpec.
OSErr FileSpecPath(const FSSpec &spec, std::string &path);

// ----- Catalog (Catalog.cpp) -----

// Seconds and nanoseconds since 1970 as a UTCDateTime and back.
UTCDateTime DateFromTimespec(const struct timespec &time);
struct timespec TimespecFromDate(const UTCDateTime &date);

// The 32 bytes of Finder information as stored (big-endian); all zero when the object has
// none. The mapped error when reading fails otherwise.
OSErr ReadFinderInfo(const std::string &path, UInt8 (&bytes)[32]);
// Stores them (all zero: removes the attribute). errFSOperationNotSupported when the file
// system has no user extended attributes.
OSErr WriteFinderInfo(const std::string &path, const UInt8 (&bytes)[32]);
// The 16-byte Finder records, between the stored big-endian bytes and the host-order
// structures (the conversion is its own inverse). FInfo has the layout of FileInfo and DInfo
// that of FolderInfo; FXInfo and DXInfo keep two single bytes where the extended records
// have one 16-bit field.
enum class FinderRecord { File, Folder, ExtendedFile, ExtendedFolder, FXInfo, DXInfo };
void SwapFinderRecord(FinderRecord kind, const void *from, void *to);

// Applies the settable catalog fields of `whichInfo` to the object at `path`. With
// `creating`, a file system without extended attributes drops the Finder information
// instead of failing.
OSErr ApplyCatalogInfo(const std::string &path, bool directory, FSCatalogInfoBitmap whichInfo,
                       const FSCatalogInfo &info, bool creating);

// Creates a file or folder `name` in `folder` (exclusively: dupFNErr when the name or
// another normalisation form of it exists); *created is its path.
OSErr CreateObject(const std::string &folder, const std::string &name, bool directory, std::string &created);
// Renames the object at `path` within its folder (never replacing another object).
OSErr RenameObject(const std::string &path, const std::string &newName, std::string &renamed);

// ----- Forks (Forks.cpp) -----

// The attribute names.
constexpr const char *kFinderInfoAttribute = "user.com.apple.FinderInfo";
constexpr const char *kResourceForkAttribute = "user.com.apple.ResourceFork";

// Opens the resource fork of the file at `path` (must be a plain file).
OSErr OpenResourceFork(const std::string &path, bool write, FSIORefNum &refNum);
// The whole content of an open fork, and replacing it (a resource fork opened for writing).
OSErr ReadWholeFork(FSIORefNum refNum, std::vector<UInt8> &bytes);
OSErr ReplaceWholeFork(FSIORefNum refNum, const std::vector<UInt8> &bytes);
// The file an open fork belongs to.
bool ForkFile(FSIORefNum refNum, UInt64 &device, UInt64 &inode);

// ----- Handles (MacMemory.cpp, Resources.cpp) -----

bool IsHandle(Handle h);
void MarkResourceHandle(Handle h, bool isResource);
// Called by DisposeHandle for a handle that is still a resource.
void ForgetResourceHandle(Handle h);

}  // namespace lumora::carbon
