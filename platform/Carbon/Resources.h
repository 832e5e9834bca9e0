// Resource Manager: typed, numbered resources kept in a file's resource fork.
//
// A resource fork (user.com.apple.ResourceFork, see Files.h) holds our own map, big-endian:
//   "LRsF", version (2 bytes, 1), count (4 bytes), then for each resource:
//   type (4), id (2), attributes (1), name length (1), name bytes, data length (4), data.
// A fork that is empty has no map (FSpOpenResFile answers eofErr); anything else that is
// not such a map answers mapReadErr. Types and ids are unique within a file.
//
// Open resource files form a chain; the current one (CurResFile) is the file opened last,
// or the one UseResFile chose. Get1Resource looks in the current file only. Changes
// (AddResource, RemoveResource, SetResInfo) are kept in memory and written when asked
// (WriteResource, UpdateResFile) and when the file is closed. A resource handle stays the
// Resource Manager's until DetachResource or RemoveResource gives it to the caller;
// CloseResFile disposes of the handles that are still its own. Every call leaves its status
// in ResError() (per thread).
#pragma once

#include <Carbon/Files.h>
#include <Carbon/MacMemory.h>

typedef SInt16 ResFileRefNum;
typedef SInt16 ResID;
typedef SInt16 ResAttributes;

// The status of the calling thread's last Resource Manager call.
OSErr ResError(void);

// Creates the resource fork of the file (the file first, with type and creator, when it
// does not exist) holding an empty map. dupFNErr when the file has a non-empty resource
// fork already; the File Manager's errors otherwise. The script is not needed.
void FSpCreateResFile(const FSSpec *spec, OSType creator, OSType fileType, ScriptCode scriptTag);

// Opens the resource fork of the file for reading (fsRdPerm) or reading and writing (any
// other permission) and makes it the current resource file; a file already open answers its
// number again. -1 on failure: fnfErr, eofErr (no resource fork), mapReadErr, the File
// Manager's errors.
ResFileRefNum FSpOpenResFile(const FSSpec *spec, SInt8 permission);

// Writes what changed (when the file was opened for writing), disposes of the resource
// handles that were not detached and closes the file. resFNotFound for a number that is not
// open.
void CloseResFile(ResFileRefNum refNum);

// Makes an open file the current one (resFNotFound otherwise, and the current file stays).
void UseResFile(ResFileRefNum refNum);
// The current resource file; -1 (resFNotFound) when none is open.
ResFileRefNum CurResFile(void);

// The resource of the current file; its handle is the same on every call until it is
// detached, removed or its file closed. Null with resNotFound, or resFNotFound when no file
// is open.
Handle Get1Resource(ResType theType, ResID theID);

// Adds the data of theData to the current file as a new resource; the handle becomes the
// resource's. addResFailed for a handle that is already a resource or is no handle, or a
// type and id the file has; resAttrErr for a file opened read-only; resFNotFound.
void AddResource(Handle theData, ResType theType, ResID theID, ConstStr255Param name);

// Takes the resource out of its file's map (written at the next update); the handle becomes
// the caller's. rmvResFailed for a handle that is not a resource, resAttrErr for a
// read-only file.
void RemoveResource(Handle theResource);

// The handle becomes the caller's; the resource stays in its file. resNotFound for a
// handle that is not a resource.
void DetachResource(Handle theResource);

// Changes the resource's id and, when name is not null, its name. addResFailed when
// another resource of the type has the id; resAttrErr for a read-only file; resNotFound.
void SetResInfo(Handle theResource, ResID theID, ConstStr255Param name);

// Writes the resource's file now (the resource's current data and the whole map).
// resNotFound for a handle that is not a resource, resAttrErr for a read-only file, the
// File Manager's errors.
void WriteResource(Handle theResource);

// Writes the file's resources and map when anything changed.
void UpdateResFile(ResFileRefNum refNum);
