// File Manager: references to files and folders (FSRef, FSSpec), catalog information,
// creating, renaming and deleting, forks, and the classic parameter-block calls.
//
// FSRef. An FSRef names one existing file system object. It is an opaque 80-byte record
// that holds the object's absolute, symbolic-link-free path (as an id into a process-wide
// table of paths, so paths of any length fit) and the object's device and inode numbers. A
// reference stays valid while an object with those numbers is found at that path: once the
// object is deleted, moved or replaced, the calls answer fnfErr. A zero-filled record is no
// reference (errFSBadFSRef).
//
// Volumes. Every mounted file system is a volume, known in this process by a volume
// reference number (negative, from -100 down, in the order the volumes are met). A volume's
// root is the mount point of its file system, found in /proc/self/mountinfo (two mounts of
// one device, such as a bind mount, are two volumes). The volume's name is the last
// component of its mount point ("" for "/").
//
// Folder ids. A folder's id is its inode number; the root of its volume has id 2
// (fsRtDirID) and the root's parent is id 1 (fsRtParID). An inode number that would
// collide with those (0, 1, or 2 for a folder that is not the root) or does not fit a long
// gets an id of its own, counting down from LONG_MAX. Whenever the layer hands out an id it
// notes the folder's path; it turns the id back into a folder by that note while an object
// with that inode is still there, else by looking for the inode below the nearest existing
// folder of the noted path, then below the volume root (a bounded search that does not
// leave the volume), so an id follows its folder when the folder is renamed or moved on its
// volume.
//
// FSSpec names. The name is the file name's own bytes (UTF-8 on Linux). A name longer than
// 63 bytes is stored as its first bytes (at most 54, cut at a character boundary), a NUL
// byte and eight hexadecimal digits: the id of the full name in a process-wide table. No
// Linux name holds a NUL, so the two forms cannot be confused, and code that reads the name
// as a C string sees the shortened name. An empty name stands for the folder parID itself.
// The root folder's own FSSpec is {volume, fsRtParID, volume name}.
//
// Names. Names are looked up as given, then in their composed (NFC) and decomposed (NFD)
// forms, as HFS Plus treats those forms as one name; creating or renaming to a name whose
// other form exists answers dupFNErr. "/", NUL, "." and ".." are never names (bdNamErr),
// nor is a UTF-16 name with an unpaired surrogate.
//
// Finder information and forks. A file's data fork is its content. Its resource fork and
// its Finder information are extended attributes of the file:
//   user.com.apple.FinderInfo    32 bytes, big-endian as on the Mac: FileInfo (or
//                                FolderInfo for a folder) then ExtendedFileInfo (or
//                                ExtendedFolderInfo); absent means all zero, and writing
//                                all zero removes the attribute;
//   user.com.apple.ResourceFork  the resource fork's bytes (absent means empty).
// A file system without user extended attributes has empty Finder information and empty
// resource forks; writing them answers errFSOperationNotSupported (except while creating an
// object, which then simply keeps no Finder information). A resource fork holds at most 64
// KiB (Linux's limit for one attribute; the file system may set a lower one): writing more
// answers dskFulErr and leaves the fork as it was.
#pragma once

#include <cstddef>
#include <string>

#include <Carbon/MacErrors.h>
#include <Carbon/TextCommon.h>
#include <CoreFoundation/CFURL.h>

struct FSRef {
    UInt8 hidden[80];
};
typedef FSRef *FSRefPtr;

typedef SInt16 FSVolumeRefNum;
typedef const unsigned char *ConstStr63Param;

enum : long {
    fsRtParID = 1,  // the parent of a volume's root folder
    fsRtDirID = 2,  // a volume's root folder
};

// A file name as UTF-16.
struct HFSUniStr255 {
    UInt16 length;
    UniChar unicode[255];
};
typedef const HFSUniStr255 *ConstHFSUniStr255Param;

// The classic FSSpec: a volume, a folder id and a name in that folder (see
// above).
struct FSSpec {
    short vRefNum;
    long parID;
    Str63 name;
};
typedef FSSpec *FSSpecPtr;

// Seconds since 1904-01-01 00:00 UTC (48 bits) and a fraction in 1/65536 second.
struct UTCDateTime {
    UInt16 highSeconds;
    UInt32 lowSeconds;
    UInt16 fraction;
};

// ----- Finder information -----

// A point and a rectangle as the Finder records keep them (QuickDraw coordinates).
struct FinderPoint {
    short v;
    short h;
};
struct FinderRect {
    short top;
    short left;
    short bottom;
    short right;
};

struct FileInfo {
    OSType fileType;
    OSType fileCreator;
    UInt16 finderFlags;
    FinderPoint location;
    UInt16 reservedField;
};

struct FolderInfo {
    FinderRect windowBounds;
    UInt16 finderFlags;
    FinderPoint location;
    UInt16 reservedField;
};

struct ExtendedFileInfo {
    SInt16 reserved1[4];
    UInt16 extendedFinderFlags;
    SInt16 reserved2;
    SInt32 putAwayFolderID;
};

struct ExtendedFolderInfo {
    FinderPoint scrollPosition;
    SInt32 reserved1;
    UInt16 extendedFinderFlags;
    SInt16 reserved2;
    SInt32 putAwayFolderID;
};

// The classic forms of the same records.
struct FInfo {
    OSType fdType;
    OSType fdCreator;
    UInt16 fdFlags;
    FinderPoint fdLocation;
    SInt16 fdFldr;
};

struct FXInfo {
    SInt16 fdIconID;
    SInt16 fdReserved[3];
    SInt8 fdScript;
    SInt8 fdXFlags;
    SInt16 fdComment;
    SInt32 fdPutAway;
};

struct DInfo {
    FinderRect frRect;
    UInt16 frFlags;
    FinderPoint frLocation;
    SInt16 frView;
};

struct DXInfo {
    FinderPoint frScroll;
    SInt32 frOpenChain;
    SInt8 frScript;
    SInt8 frXFlags;
    SInt16 frComment;
    SInt32 frPutAway;
};

static_assert(sizeof(FileInfo) == 16 && sizeof(FolderInfo) == 16 && sizeof(ExtendedFileInfo) == 16 &&
                  sizeof(ExtendedFolderInfo) == 16 && sizeof(FInfo) == 16 && sizeof(FXInfo) == 16 &&
                  sizeof(DInfo) == 16 && sizeof(DXInfo) == 16,
              "Finder records are 16 bytes");

// ----- Catalog information -----

typedef UInt32 FSCatalogInfoBitmap;
enum : FSCatalogInfoBitmap {
    kFSCatInfoNone = 0x00000000,
    kFSCatInfoNodeFlags = 0x00000002,    // nodeFlags
    kFSCatInfoVolume = 0x00000004,       // volume
    kFSCatInfoParentDirID = 0x00000008,  // parentDirID
    kFSCatInfoNodeID = 0x00000010,       // nodeID: a folder's id, a file's inode number
    kFSCatInfoCreateDate = 0x00000020,   // the birth time where the file system keeps one, else the modification time
    kFSCatInfoContentMod = 0x00000040,   // modification time
    kFSCatInfoAttrMod = 0x00000080,      // status change time
    kFSCatInfoAccessDate = 0x00000100,   // access time
    kFSCatInfoFinderInfo = 0x00000800,   // finderInfo
    kFSCatInfoFinderXInfo = 0x00001000,  // extFinderInfo
    kFSCatInfoDataSizes = 0x00004000,    // dataLogicalSize, dataPhysicalSize (0 for a folder)
    kFSCatInfoRsrcSizes = 0x00008000,    // rsrcLogicalSize, rsrcPhysicalSize (0 for a folder)
    kFSCatInfoGettableInfo = kFSCatInfoNodeFlags | kFSCatInfoVolume | kFSCatInfoParentDirID | kFSCatInfoNodeID |
                             kFSCatInfoCreateDate | kFSCatInfoContentMod | kFSCatInfoAttrMod |
                             kFSCatInfoAccessDate | kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo |
                             kFSCatInfoDataSizes | kFSCatInfoRsrcSizes,
    // What FSSetCatalogInfo and the create calls change. Linux keeps no settable creation date.
    kFSCatInfoSettableInfo = kFSCatInfoContentMod | kFSCatInfoAccessDate | kFSCatInfoFinderInfo | kFSCatInfoFinderXInfo,
};

enum : UInt16 {
    kFSNodeLockedMask = 0x0001,  // nobody may write the object (no write permission bit)
    kFSNodeIsDirectoryMask = 0x0010,
};

struct FSCatalogInfo {
    UInt16 nodeFlags;
    FSVolumeRefNum volume;
    long parentDirID;
    long nodeID;
    UTCDateTime createDate;
    UTCDateTime contentModDate;
    UTCDateTime attributeModDate;
    UTCDateTime accessDate;
    UInt8 finderInfo[16];     // FileInfo or FolderInfo, fields in host byte order
    UInt8 extFinderInfo[16];  // ExtendedFileInfo or ExtendedFolderInfo, host byte order
    UInt64 dataLogicalSize;   // bytes of the file's content
    UInt64 dataPhysicalSize;  // bytes allocated on disk
    UInt64 rsrcLogicalSize;
    UInt64 rsrcPhysicalSize;
};
typedef FSCatalogInfo *FSCatalogInfoPtr;

// ----- References -----

// Makes a reference to the object at `path` (UTF-8, absolute or relative to the working
// folder; symbolic links are followed). *isDirectory (when asked) tells a folder.
// paramErr for null arguments; fnfErr when nothing is there (or a folder on the way is
// missing); dirNFErr when a component on the way is not a folder; afpAccessDenied when a
// folder may not be searched; pathTooLongErr for a path the system does not take.
OSStatus FSPathMakeRef(const UInt8 *path, FSRef *ref, Boolean *isDirectory);

// Writes the reference's path, null-terminated, into `path`. pathTooLongErr (and an empty
// string when there is room for one) when the path and its terminator exceed maxPathSize:
// nothing is ever written past the buffer. errFSBadFSRef, fnfErr as above.
OSStatus FSRefMakePath(const FSRef *ref, UInt8 *path, UInt32 maxPathSize);

// A reference to the object `name` in the folder parentRef (see "Names" above). fnfErr when
// there is none, errFSNotAFolder when parentRef is not a folder, errFSMissingName for an
// empty name, bdNamErr / errFSNameTooLong for a name that is not one name, paramErr for null
// arguments. textEncodingHint is not needed (names are Unicode).
OSErr FSMakeFSRefUnicode(const FSRef *parentRef, UniCharCount nameLength, const UniChar *name,
                         TextEncoding textEncodingHint, FSRef *newRef);

// noErr when the referenced object still exists (also the validity test: kFSCatInfoNone and
// null outputs). Fills what is asked: the catalog fields of `whichInfo`, the name (the last
// component of the path, invalid UTF-8 bytes shown as U+FFFD; a volume root answers its
// volume name), the parent folder's reference (a zero-filled record for "/"), the object's
// FSSpec. errFSBadInfoBitmap for catalog bits not listed above; errFSBadFSRef, fnfErr as
// above. On an error the outputs are left alone.
OSErr FSGetCatalogInfo(const FSRef *ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo *catalogInfo,
                       HFSUniStr255 *outName, FSSpec *fsSpec, FSRef *parentRef);

// Changes the catalog fields of `whichInfo` (kFSCatInfoSettableInfo only, else
// errFSBadInfoBitmap): modification and access times, Finder information.
// errFSOperationNotSupported when the file system keeps no extended attributes (Finder
// information), the mapped system error when a change is refused.
OSErr FSSetCatalogInfo(const FSRef *ref, FSCatalogInfoBitmap whichInfo, const FSCatalogInfo *catalogInfo);

// Creates an empty file (mode 0666 less the umask) or a folder (0777 less the umask) named
// `name` in parentRef and applies the settable catalog information asked for; when that
// fails the new object is removed again and the error answered. newRef, newSpec and
// newDirID (a folder's id) are filled when not null. dupFNErr when the name (or its other
// normalisation form) exists; errors of FSMakeFSRefUnicode and the mapped system errors.
OSErr FSCreateFileUnicode(const FSRef *parentRef, UniCharCount nameLength, const UniChar *name,
                          FSCatalogInfoBitmap whichInfo, const FSCatalogInfo *catalogInfo, FSRef *newRef,
                          FSSpec *newSpec);
OSErr FSCreateDirectoryUnicode(const FSRef *parentRef, UniCharCount nameLength, const UniChar *name,
                               FSCatalogInfoBitmap whichInfo, const FSCatalogInfo *catalogInfo, FSRef *newRef,
                               FSSpec *newSpec, long *newDirID);

// Deletes a file, or a folder that is empty (fBsyErr when it is not). The reference is no
// longer valid afterwards.
OSErr FSDeleteObject(const FSRef *ref);

// Renames the object within its folder and answers the new reference in *newRef (when not
// null); the old reference is no longer valid. dupFNErr when another object has the name;
// paramErr for a volume root; name errors as for FSMakeFSRefUnicode.
OSErr FSRenameUnicode(const FSRef *ref, UniCharCount nameLength, const UniChar *name, TextEncoding textEncodingHint,
                      FSRef *newRef);

// A file URL of the referenced object (a directory URL for a folder), or null when the
// reference is not valid. The caller releases it.
CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, const FSRef *ref);

// ----- Specifications -----

// Makes the FSSpec of `name` (a Pascal string: one name, or the long-name form of an
// FSSpec's name; empty for the folder itself) in the folder dirID of the volume vRefNum.
// vRefNum 0 is the volume of the working folder, or else the volume this process met the
// folder id on; dirID 0 is the working folder (vRefNum 0) or the volume's root, and the
// names in fsRtParID are the volume's name (or empty) for its root. noErr when the object
// exists; fnfErr, with *spec filled in, when the folder exists but holds no such name.
// paramErr for null arguments, nsvErr for an unknown volume, dirNFErr for an unknown or
// missing folder, bdNamErr for a name with '/' or NUL, ".", "..", or a long-name form this
// process did not make. *spec is left alone on any other error.
OSErr FSMakeFSSpec(short vRefNum, long dirID, ConstStr255Param name, FSSpec *spec);

// A reference to the object an FSSpec names. fnfErr when there is none; the errors
// of FSMakeFSSpec for an FSSpec this layer did not make.
OSErr FSpMakeFSRef(const FSSpec *spec, FSRef *ref);

// Type and creator (with the rest of the Finder information) of a file; notAFileErr for a
// folder. FSpSetFInfo keeps the extended information; errFSOperationNotSupported as for
// FSSetCatalogInfo.
OSErr FSpGetFInfo(const FSSpec *spec, FInfo *fndrInfo);
OSErr FSpSetFInfo(const FSSpec *spec, const FInfo *fndrInfo);

// Creates an empty file with the given type and creator; dupFNErr when the name exists.
// The script is not needed (names are UTF-8).
OSErr FSpCreate(const FSSpec *spec, OSType creator, OSType fileType, ScriptCode scriptTag);

// Renames the object within its folder; dupFNErr when the new name exists.
OSErr FSpRename(const FSSpec *spec, ConstStr255Param newName);

// Writes everything cached for the volume to its disk (syncfs). volName is not consulted;
// nsvErr for an unknown volume.
OSErr FlushVol(ConstStr63Param volName, FSVolumeRefNum vRefNum);

// ----- Parameter blocks -----

struct HFileInfo {
    void *qLink;
    void *ioCompletion;
    OSErr ioResult;
    StringPtr ioNamePtr;  // room for a Str255: names are answered in full (up to 255 bytes)
    FSVolumeRefNum ioVRefNum;
    SInt16 ioFRefNum;
    SInt8 ioFVersNum;
    SInt8 filler1;
    SInt16 ioFDirIndex;  // 0: the item ioNamePtr in ioDirID; < 0: the folder ioDirID itself
    SInt8 ioFlAttrib;    // kioFlAttribDirMask for a folder, kioFlAttribLockedMask
    SInt8 ioACUser;
    FInfo ioFlFndrInfo;
    long ioDirID;  // in: the folder; out: the item's id (a file's inode number)
    UInt16 ioFlStBlk;
    long ioFlLgLen;
    long ioFlPyLen;
    UInt16 ioFlRStBlk;
    long ioFlRLgLen;
    long ioFlRPyLen;
    UInt32 ioFlCrDat;  // local time, seconds since 1904
    UInt32 ioFlMdDat;
    UInt32 ioFlBkDat;
    FXInfo ioFlXFndrInfo;
    long ioFlParID;
    long ioFlClpSiz;
};

struct DirInfo {
    void *qLink;
    void *ioCompletion;
    OSErr ioResult;
    StringPtr ioNamePtr;
    FSVolumeRefNum ioVRefNum;
    SInt16 ioFRefNum;
    SInt8 ioFVersNum;
    SInt8 filler1;
    SInt16 ioFDirIndex;
    SInt8 ioFlAttrib;
    SInt8 ioACUser;
    DInfo ioDrUsrWds;
    long ioDrDirID;
    UInt16 ioDrNmFls;  // items in the folder (at most 65535)
    SInt16 filler3[23];
    UInt32 ioDrCrDat;
    UInt32 ioDrMdDat;
    UInt32 ioDrBkDat;
    DXInfo ioDrFndrInfo;
    long ioDrParID;
};

// The fields of the two forms that callers read through either one lie at the same places.
static_assert(offsetof(HFileInfo, ioDirID) == offsetof(DirInfo, ioDrDirID) &&
                  offsetof(HFileInfo, ioFlCrDat) == offsetof(DirInfo, ioDrCrDat) &&
                  offsetof(HFileInfo, ioFlMdDat) == offsetof(DirInfo, ioDrMdDat) &&
                  offsetof(HFileInfo, ioFlParID) == offsetof(DirInfo, ioDrParID),
              "HFileInfo and DirInfo agree");

union CInfoPBRec {
    HFileInfo hFileInfo;
    DirInfo dirInfo;
};
typedef CInfoPBRec *CInfoPBPtr;

enum : SInt8 {
    kioFlAttribLockedMask = 0x01,
    kioFlAttribDirMask = 0x10,
};

// Catalog information of a file or folder (ioFDirIndex 0: ioNamePtr in the folder ioDirID;
// negative: the folder ioDirID itself, its name answered in ioNamePtr when not null). A
// folder fills dirInfo, a file hFileInfo; ioResult holds the status too. paramErr for a
// positive index (items by index are not provided) or a null block; nsvErr, dirNFErr,
// fnfErr as for FSMakeFSSpec.
OSErr PBGetCatInfoSync(CInfoPBPtr paramBlock);

struct FSRefParam {
    void *qLink;
    void *ioCompletion;
    OSErr ioResult;
    ConstStringPtr ioNamePtr;  // a name in ioDirID (empty or null: the folder itself)
    FSVolumeRefNum ioVRefNum;
    long ioDirID;
    FSRef *newRef;
};
typedef FSRefParam *FSRefParamPtr;

// PBMakeFSRefSync: the reference of ioNamePtr in the folder ioDirID of ioVRefNum, into
// *newRef; the errors of FSMakeFSSpec and FSpMakeFSRef, also in ioResult.
OSErr PBMakeFSRefSync(FSRefParam *paramBlock);

// ----- Forks -----
//
// An open fork is known by a reference number, valid in every thread of the process until
// it is closed. Reference numbers are 1..32767; they are taken in turn, so a number closed
// just now is not at once given to the next fork opened. The data fork is read and written
// in the file; a resource fork is read when opened and written through to its attribute by
// every write.

typedef SInt16 FSIORefNum;

// Access asked for when opening.
enum : SInt8 {
    fsCurPerm = 0,   // read and write when allowed, else read only
    fsRdPerm = 1,
    fsWrPerm = 2,
    fsRdWrPerm = 3,
    fsRdWrShPerm = 4,  // read and write
};

// Position modes (the low two bits; cache hints above them are ignored).
enum : UInt16 {
    fsAtMark = 0,
    fsFromStart = 1,
    fsFromLEOF = 2,
    fsFromMark = 3,
};

// The name of the data fork (empty) and of the resource fork ("RESOURCE_FORK").
OSErr FSGetDataForkName(HFSUniStr255 *dataForkName);
OSErr FSGetResourceForkName(HFSUniStr255 *resourceForkName);

// Opens a fork of a file, its mark at the start. errFSBadForkName for a name that is neither
// fork's, notAFileErr for a folder (or anything but a plain file), afpAccessDenied when the
// access asked for is not allowed, paramErr for null arguments or an unknown permission,
// tmfoErr when every reference number is taken, errFSBadFSRef / fnfErr as above.
OSErr FSOpenFork(const FSRef *ref, UniCharCount forkNameLength, const UniChar *forkName, SInt8 permissions,
                 FSIORefNum *forkRefNum);

// Every file has its data fork: creating it answers errFSForkExists. The resource fork is
// created empty; errFSForkExists when the file has one already.
OSErr FSCreateFork(const FSRef *ref, UniCharCount forkNameLength, const UniChar *forkName);

// Deleting the data fork empties the file; deleting the resource fork removes it (noErr
// also when there was none).
OSErr FSDeleteFork(const FSRef *ref, UniCharCount forkNameLength, const UniChar *forkName);

// Reads (writes) requestCount bytes at the position given by positionMode and
// positionOffset and leaves the mark after them; *actualCount (when not null) tells how
// many. Reading stops at the end of the fork with eofErr. posErr for a position before the
// start, wrPermErr / permErr for a fork not opened for writing / reading, rfNumErr for a
// number that is not open, errFSBadPosMode, paramErr for a null buffer.
OSErr FSReadFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset, ByteCount requestCount,
                 void *buffer, ByteCount *actualCount);
OSErr FSWriteFork(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset, ByteCount requestCount,
                  const void *buffer, ByteCount *actualCount);

OSErr FSGetForkPosition(FSIORefNum forkRefNum, SInt64 *position);
// Moves the mark; posErr before the start, eofErr past the end (the mark then stays).
OSErr FSSetForkPosition(FSIORefNum forkRefNum, UInt16 positionMode, SInt64 positionOffset);
OSErr FSGetForkSize(FSIORefNum forkRefNum, SInt64 *forkSize);
// Closes the fork; its number is no longer valid. rfNumErr when it is not open.
OSErr FSCloseFork(FSIORefNum forkRefNum);

// The classic calls on the data fork of the file an FSSpec names.
//
// FSpOpenDF: as FSOpenFork of the data fork. paramErr for null arguments or an unknown
// permission; fnfErr, dirNFErr, afpAccessDenied, wPrErr, notAFileErr, tmfoErr, bdNamErr,
// nsvErr as for FSMakeFSSpec.
OSErr FSpOpenDF(const FSSpec *spec, SInt8 permission, FSIORefNum *refNum);
// The fork's length in bytes in *logEOF. rfNumErr for a number that is not open, paramErr
// for a null output.
OSErr GetEOF(FSIORefNum refNum, long *logEOF);
// Reads up to *count bytes at the mark; *count becomes the number read. eofErr when the end
// came first, permErr for a fork opened for writing only, paramErr for a null count, a
// negative count or a null buffer.
OSErr FSRead(FSIORefNum refNum, long *count, void *buffer);
// Closes any fork.
OSErr FSClose(FSIORefNum refNum);

// ----- Mount points -----

namespace lumora::carbon {

// The mount point of the file system that holds `path` (an existing object, absolute or
// relative to the working folder): the longest mount point in /proc/self/mountinfo above
// the object's canonical path that is on the object's device, else the topmost folder above
// it on the same device. fnfErr (and the mapped errors) when the object is not there.
// This is what a full path is built on where the Mac wrote "/Volumes/" and the volume name.
OSErr MountPointOf(const std::string &path, std::string &mountPoint);

// The mount point (root folder) of a volume. nsvErr for an unknown volume.
OSErr VolumeMountPoint(FSVolumeRefNum vRefNum, std::string &mountPoint);

}  // namespace lumora::carbon
