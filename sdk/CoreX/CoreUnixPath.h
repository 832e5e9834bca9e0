// CoreUnixPath: one POSIX path held as its bytes (UTF-8), with pure string operations on
// paths (parent, last name, extension, qualification, base/name pairs) and a few thin
// file-system calls.
//
// The class never normalises: "." and ".." stay, repeated slashes stay, "~" is not
// expanded, and only the file-system calls touch the file system. Positions are byte
// positions. Nothing throws; failed checks are reported through the debug log and answered
// as false, and a path keeps its value unless an operation says it is emptied.
//
// Terms (byte tests on the string):
//   root form            exactly two bytes ending in "/" ("./", "~/"); "/" is not one
//   fully qualified      starts with "/"
//   partially qualified  does not start with "/" (nor is empty) and holds a "/"
//   qualified            not empty, and fully or partially qualified
//   just a name          not empty and holds no "/"
//
// Extensions: a path has an extension when the last "." of its last name is neither that
// name's first byte nor missing: "/a.b/c" (the dot is in a folder name), ".profile" and
// "a/.profile" (hidden names) have none.
#pragma once

#include <string>

#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>
#include <CoreX/T_UnixPath.h>

class CoreRefPath;

// The string operations (declared and documented here, implemented once in T_UnixPath for
// this class and LUnixPath) and the Core Foundation and file-system parts of its own.
class CoreUnixPath : public T_UnixPath<CoreUnixPath> {
public:
    CoreUnixPath() = default;
    CoreUnixPath(const char *in_unix_path);
    CoreUnixPath(const CoreUnixPath &copyOf) = default;
    explicit CoreUnixPath(CFStringRef unix_file_path);
    explicit CoreUnixPath(CFURLRef unix_file_url);
    explicit CoreUnixPath(const CoreRefPath &copyOf);
    virtual ~CoreUnixPath();

    CoreUnixPath &operator=(const CoreUnixPath &copyOf) = default;
    CoreUnixPath &operator=(const CoreRefPath &copyOf);

    // A copy of the string (a null pointer empties the path). True when not empty.
    using T_UnixPath::Construct;
    // The string's UTF-8 bytes; false (and reported) for null or a failed conversion.
    bool Construct(CFStringRef unix_file_path);
    // The URL's file-system path in POSIX style.
    bool Construct(CFURLRef unix_file_url);
    // The current directory (at most 1024 bytes).
    bool getcwd();

    // The shared operations (T_UnixPath.h):
    //
    // Trailing slash: AddTrailingSlash makes "" into "/" and leaves a path ending in "/"
    // alone (false); RemoveTrailingSlash takes exactly one trailing "/" (false when there is
    // none).
    //
    // Names, parents and extensions. Each getter first empties its out-string.
    // Parent (GetPathParent, GetParent): /a/b/ and /a/b give /a/; /a, / and a have none
    // (false, no report). Last name (GetPathJustName): /a/b/ gives b; /b, b and /a// have
    // none (false, no report). AddPathExtension appends "." (unless the extension starts
    // with one) and the extension. HasPathExtension compares case-insensitively (C locale)
    // and skips a leading "." of in_extension. ReplacePathExtension replaces the extension,
    // or adds one to a path that has none.
    //
    // Qualification (IsFullyQualified, IsPartiallyQualified, IsQualified, IsJustName): a
    // null path is reported (IsJustName: false without a report), and the member forms
    // report an empty path.
    //
    // GetPathBasePartAndNamePart splits at the first "/": a/b/c gives a/ and b/c, /a/b gives
    // / and a/b, a gives a and "". GetFirstPair/GetNextPair walk a path's folder levels:
    // /a/b/c gives (/, a/b/c), (/a/, b/c), (/a/b/, c), then false; a path that is just a
    // name gives ("./", name), then false.
    using T_UnixPath::GetParent;
    bool GetParent(CoreUnixPath &out_parent_path) const;

    // File-system calls on NUL-terminated paths (false for null).
    static bool FileExists(const char *in_path);
    static bool FileExistsRead(const char *in_path);
    static bool FileExistsReadWrite(const char *in_path);
    static bool FileDelete(const char *in_path);
    static bool FolderDelete(const char *in_path);
    // A symbolic link at in_to_path pointing at in_from_path (which must be readable;
    // false without a report when it is not). Both lose one trailing "/" first.
    static bool MakeSymbolicLinkFromTo(const char *in_from_path, const char *in_to_path);
    bool chdir() const;

private:
    friend class T_UnixPath<CoreUnixPath>;
    // This class's words for the faults the shared operations find (null: not reported).
    static const char *FaultText(CoreUnixPathRules::Fault fault);
};

bool import_CoreUnixPath();
