// URLs. File URLs are the ones the system works with: they are made from POSIX paths or
// "file://" strings and answer their path, components and file-system representation.
// Other absolute URLs keep only their string.
#pragma once

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFString.h>

typedef const struct __CFURL *CFURLRef;

enum CFURLPathStyle : CFIndex {
    kCFURLPOSIXPathStyle = 0,
};

CFTypeID CFURLGetTypeID(void);

// A file URL for a POSIX path (UTF-8 on disk). A relative path is taken relative to the
// current folder at the time of the call. A path ending in "/" is a directory path.
CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef allocator, CFStringRef filePath, CFURLPathStyle pathStyle,
                                       Boolean isDirectory);
// The same from the bytes of a path (bufLen bytes, no terminator needed; any bytes but 0).
CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef allocator, const UInt8 *buffer, CFIndex bufLen,
                                                 Boolean isDirectory);
// Parses an absolute URL string. "file:" URLs (with an empty or "localhost" host) have their
// path percent-decoded. Null for a relative string, characters not allowed in a URL, a bad
// percent escape or a file path that is not absolute. baseURL is not used.
CFURLRef CFURLCreateWithString(CFAllocatorRef allocator, CFStringRef URLString, CFURLRef baseURL);

// The URL's string (not a copy).
CFStringRef CFURLGetString(CFURLRef anURL);
// The bytes of the path and a terminating zero. False for a non-file URL or when the
// buffer is too small.
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8 *buffer, CFIndex maxBufLen);
// The path without a trailing "/" (except "/" itself). Null for a non-file URL or a path
// that is not UTF-8.
CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle);
// The last path component ("/" for the root).
CFStringRef CFURLCopyLastPathComponent(CFURLRef url);
Boolean CFURLHasDirectoryPath(CFURLRef anURL);
CFURLRef CFURLCreateCopyAppendingPathComponent(CFAllocatorRef allocator, CFURLRef url, CFStringRef pathComponent,
                                               Boolean isDirectory);
// The parent folder as a directory URL; the root stays the root.
CFURLRef CFURLCreateCopyDeletingLastPathComponent(CFAllocatorRef allocator, CFURLRef url);
