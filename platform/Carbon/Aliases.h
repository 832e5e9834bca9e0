// Alias Manager: records that find a file or folder again after it was renamed or moved.
//
// An alias is a Handle (MacMemory.h) holding our own record, big-endian:
//   offset  size
//   0       4     userType (0)
//   4       2     aliasSize: the record's length in bytes
//   6       4     "LAls"
//   10      2     version (2; version 1 records, without the birth time, are still read)
//   12      2     flags: 1 = the target is a folder
//   14      8     device number of the target
//   22      8     inode number of the target
//   30      8     birth time of the target in nanoseconds since 1970 (0 when unknown)
//   38      2     length of the absolute path
//   40      2     length of the relative path (0 in a minimal alias)
//   42            the target's absolute path (UTF-8), then the relative path from the
//                 folder of fromFile ("../" steps then names)
// The target is its device, inode and (when known) birth time, so a newer object that
// reuses the inode number is never taken for it. Resolving tries, in order: the recorded
// path when it still holds the target; the target on the recorded device, searched below the nearest existing folder of
// the recorded path, then below the root of that folder's volume (breadth first, without
// following links or leaving the volume, at most 4096 folders each); the relative path from
// fromFile, when both sides have one; the recorded path holding another object of the same
// kind (a file replaced by a new one). Whatever was found other than the first way is
// written back into the record (the handle grows when needed) and *wasChanged is true.
// aliasSize lets a record travel inside other data (an 'alis' resource).
#pragma once

#include <Carbon/Files.h>
#include <Carbon/MacMemory.h>

struct AliasRecord;  // opaque
typedef AliasRecord *AliasPtr;
typedef AliasPtr *AliasHandle;

// A new alias of `target` (an existing object), relative to fromFile when it is not null.
// paramErr for null arguments, the errors of FSGetCatalogInfo for target, memFullErr.
OSErr FSNewAlias(const FSRef *fromFile, const FSRef *target, AliasHandle *inAlias);
OSErr FSNewAliasMinimal(const FSRef *target, AliasHandle *inAlias);

// Finds the alias's target (see above). fnfErr when it cannot be found, paramErr for a
// null argument or a handle that holds no alias record (*target is left alone then).
OSErr FSResolveAlias(const FSRef *fromFile, AliasHandle alias, FSRef *target, Boolean *wasChanged);

// The same with FSSpecs: the FSSpecs must name existing objects (fnfErr).
OSErr NewAlias(const FSSpec *fromFile, const FSSpec *target, AliasHandle *alias);
OSErr ResolveAlias(const FSSpec *fromFile, AliasHandle alias, FSSpec *target, Boolean *wasChanged);
