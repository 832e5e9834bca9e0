// MAC_fopen: opens a C stream on a file and stamps the file's Finder type and creator.
//
// In every form the creator comes before the type. The forms with outResFile also open the
// file's resource fork as a resource file (or, for a file reference, answer -1 for it).
// A null stream means the file could not be opened.
#pragma once

#include <cstdio>

#include <Carbon/Carbon.h>

class LFSRef;
class XFileName;

// fopen on the FSSpec's path; when the stream opens, the file gets the type and
// creator (a failure to stamp them is ignored).
std::FILE *MAC_fopen(const FSSpec *theSpec, const char *open_mode, OSType creator, OSType file_type);
// The same after opening the resource fork: read access for "r", write access for "w",
// "a" or "+". When it cannot be opened and the mode has no "r", the file and its resource
// fork are created first. *outResFile is the resource file, or -1 with a null stream on
// failure; a null outResFile skips the resource fork.
std::FILE *MAC_fopen(const FSSpec *theSpec, const char *open_mode, OSType creator, OSType file_type,
                     short *outResFile);
// fopen on the reference's path, then SetFileTypeCreator (a failure is reported).
std::FILE *MAC_fopen(const LFSRef &ref, const char *open_mode, OSType creator, OSType file_type);
// No resource fork is opened through a reference: *outResFile is -1 (reported).
std::FILE *MAC_fopen(const LFSRef &ref, const char *open_mode, OSType creator, OSType file_type,
                     short *outResFile);
std::FILE *MAC_fopen(const XFileName &filename, const char *open_mode, OSType creator, OSType file_type);
std::FILE *MAC_fopen(const XFileName &filename, const char *open_mode, OSType creator, OSType file_type,
                     short *outResFile);

bool import_MAC_fopen();
