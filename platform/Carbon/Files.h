// File Manager: references to files and folders (FSRef) and the calls that make and read them.
//
// An FSRef names one existing file system object. It is an opaque 80-byte record that
// holds the object's absolute, symbolic-link-free path (as an id into a process-wide table
// of paths, so paths of any length fit) and the object's device and inode numbers. A
// reference stays valid while an object with those numbers is found at that path: once
// the object is deleted, moved or replaced, the calls answer fnfErr. A zero-filled record
// is no reference (errFSBadFSRef).
#pragma once

#include <Carbon/MacErrors.h>
#include <CoreFoundation/CFURL.h>

struct FSRef {
    UInt8 hidden[80];
};
typedef FSRef *FSRefPtr;

typedef SInt16 FSVolumeRefNum;

// A file name as UTF-16.
struct HFSUniStr255 {
    UInt16 length;
    UniChar unicode[255];
};

// The classic file specification: a folder and a name in it.
//
// All files are on one volume, kFSSpecVolumeRefNum. parID is the folder's id in the same
// process-wide path table that FSRefs use, so an id stays meaningful for the life of the
// process; ids are made by FSGetCatalogInfo and FSMakeFSSpec and mean nothing to another
// process. The name is the file name's own bytes (UTF-8 on Linux). A name longer than 63
// bytes is stored as its first bytes (at most 54, cut at a character boundary), a NUL byte
// and eight hexadecimal digits: the id of the file's full path in the table. No Linux name
// holds a NUL, so the two forms cannot be confused, and code that reads the name as a C
// string sees the shortened name. An empty name stands for the folder parID itself (the
// root folder's own specification). A specification names a path: unlike an FSRef it does
// not follow its file when the file or a folder above it is renamed.
struct FSSpec {
    short vRefNum;
    long parID;
    Str63 name;
};
typedef FSSpec *FSSpecPtr;

enum : short { kFSSpecVolumeRefNum = -1 };

// The catalog information this layer provides; the fields filled are chosen by the bitmap.
typedef UInt32 FSCatalogInfoBitmap;
enum : FSCatalogInfoBitmap {
    kFSCatInfoNone = 0x00000000,
    kFSCatInfoNodeFlags = 0x00000002,  // nodeFlags
    kFSCatInfoDataSizes = 0x00004000,  // dataLogicalSize, dataPhysicalSize (0 for a folder)
};

enum : UInt16 {
    kFSNodeIsDirectoryMask = 0x0010,
};

struct FSCatalogInfo {
    UInt16 nodeFlags;
    UInt64 dataLogicalSize;   // bytes of the file's content
    UInt64 dataPhysicalSize;  // bytes allocated on disk
};

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

// noErr when the referenced object still exists (also the validity test: kFSCatInfoNone and
// null outputs). Fills what is asked: the catalog fields of `whichInfo`, the name (the last
// component of the path, empty for the root folder), the parent folder's reference (a
// zero-filled record for the root folder), the object's FSSpec. errFSBadInfoBitmap for
// catalog bits not listed above; errFSBadFSRef, fnfErr as above. On an error the outputs are
// left alone.
OSErr FSGetCatalogInfo(const FSRef *ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo *catalogInfo,
                       HFSUniStr255 *outName, FSSpec *fsSpec, FSRef *parentRef);

// A file URL of the referenced object (a directory URL for a folder), or null when the
// reference is not valid. The caller releases it.
CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, const FSRef *ref);

// Makes the specification of `name` (a Pascal string: one name, or the long-name form of an
// FSSpec's name; empty for the folder itself) in the folder dirID (an FSSpec's parID) of the
// volume vRefNum (0 for the default volume or kFSSpecVolumeRefNum). noErr when the object
// exists; fnfErr, with *spec filled in, when the folder exists but holds no such name.
// paramErr for null arguments, nsvErr for another volume, dirNFErr for an unknown or missing
// folder, bdNamErr for a name with '/' or NUL, ".", "..", or a long-name form that does not
// belong to that folder. *spec is left alone on any other error.
OSErr FSMakeFSSpec(short vRefNum, long dirID, ConstStr255Param name, FSSpec *spec);

// A reference to the object a specification names. fnfErr when there is none; the errors of
// FSMakeFSSpec for a specification this layer did not make.
OSErr FSpMakeFSRef(const FSSpec *spec, FSRef *ref);

// ----- Reading data forks -----
//
// A file's data fork is its content. An open fork is known by a reference number, valid in
// every thread of the process until FSClose. Reference numbers are 1..32767; they are taken
// in turn, so a number closed just now is not at once given to the next file opened.

typedef SInt16 FSIORefNum;

// Access asked for in FSpOpenDF.
enum : SInt8 {
    fsCurPerm = 0,   // read and write when allowed, else read only
    fsRdPerm = 1,
    fsWrPerm = 2,
    fsRdWrPerm = 3,
};

// Opens the data fork of the file `spec` names, its mark at the start, and answers its
// reference number in *refNum (left alone on an error). paramErr for null arguments or an
// unknown permission; fnfErr, dirNFErr, afpAccessDenied (no permission), wPrErr (writing on
// a read-only volume), notAFileErr (a folder or anything but a plain file), tmfoErr (too
// many open), bdNamErr, nsvErr as for FSMakeFSSpec.
OSErr FSpOpenDF(const FSSpec *spec, SInt8 permission, FSIORefNum *refNum);

// The fork's length in bytes in *logEOF. rfNumErr for a number that is not open, paramErr for
// a null output.
OSErr GetEOF(FSIORefNum refNum, long *logEOF);

// Reads up to *count bytes at the fork's mark into buffer and moves the mark past them;
// *count becomes the number of bytes read. eofErr when the end of the fork came first
// (*count then tells what was read), ioErr or the mapped system error when reading failed.
// rfNumErr for a number that is not open, permErr for a fork opened for writing only,
// paramErr for a null count, a negative count or a null buffer.
OSErr FSRead(FSIORefNum refNum, long *count, void *buffer);

// Closes the fork; its number is no longer valid. rfNumErr when it is not open (closed
// already, or never opened).
OSErr FSClose(FSIORefNum refNum);
