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

// The classic file specification. Not produced by this layer (see FSGetCatalogInfo).
struct FSSpec {
    short vRefNum;
    long parID;
    Str63 name;
};
typedef FSSpec *FSSpecPtr;

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
// zero-filled record for the root folder). errFSBadInfoBitmap for catalog bits not listed
// above; unimpErr when an FSSpec is asked for; errFSBadFSRef, fnfErr as above. On an error
// the outputs are left alone.
OSErr FSGetCatalogInfo(const FSRef *ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo *catalogInfo,
                       HFSUniStr255 *outName, FSSpec *fsSpec, FSRef *parentRef);

// A file URL of the referenced object (a directory URL for a folder), or null when the
// reference is not valid. The caller releases it.
CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, const FSRef *ref);
