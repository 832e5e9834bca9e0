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

class CoreRefPath;

class CoreUnixPath {
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
    bool Construct(const char *in_unix_path);
    // The string's UTF-8 bytes; false (and reported) for null or a failed conversion.
    bool Construct(CFStringRef unix_file_path);
    // The URL's file-system path in POSIX style.
    bool Construct(CFURLRef unix_file_url);
    // The current directory (at most 1024 bytes).
    bool getcwd();

    void Empty() { mPath.clear(); }
    bool IsEmpty() const { return mPath.empty(); }
    operator const char *() const { return mPath.c_str(); }
    const std::string &str() const { return mPath; }

    static bool IsRootPath(const char *in_path);
    bool IsRoot() const { return IsRootPath(mPath.c_str()); }

    // Trailing slash: Add makes "" into "/" and leaves a path ending in "/" alone (false);
    // Remove takes exactly one trailing "/" (false when there is none).
    static bool AddTrailingSlash(std::string &inout_path);
    static bool RemoveTrailingSlash(std::string &inout_path);
    bool RemoveTrailingSlash() { return RemoveTrailingSlash(mPath); }

    // Names, parents and extensions. Each getter first empties its out-string.
    // Parent: /a/b/ and /a/b give /a/; /a, / and a have none (false, no report).
    static bool GetPathParent(const std::string &path, std::string &parent_path);
    bool GetParent(std::string &parent_path) const;
    bool GetParent(CoreUnixPath &out_parent_path) const;
    // Last name: /a/b/ gives b; /b, b and /a// have none (false, no report).
    static bool GetPathJustName(const std::string &path, std::string &out_name);
    bool GetJustName(std::string &out_name) const;
    // Appends "." (unless the extension starts with one) and the extension.
    static bool AddPathExtension(std::string &inout_path, const char *in_extension);
    static bool HasValidFileExtension(const std::string &path);
    static bool GetPathExtension(const std::string &path, std::string &out_extension);
    bool GetExtension(std::string &out_extension) const;
    // Case-insensitive (C locale) comparison; a leading "." of in_extension is skipped.
    static bool HasPathExtension(const std::string &path, const char *in_extension);
    bool HasExtension(const char *in_extension) const;
    // Replaces the extension, or adds one to a path that has none.
    static bool ReplacePathExtension(std::string &inout_path, const char *in_extension);
    bool ReplaceExtension(const char *in_extension);

    // Qualification; a null path is reported (IsJustName: false without a report), and
    // the member forms report an empty path.
    static bool IsFullyQualified(const char *in_path);
    static bool IsPartiallyQualified(const char *in_path);
    static bool IsQualified(const char *in_path);
    static bool IsJustName(const char *in_path);
    bool IsFullyQualified() const;
    bool IsPartiallyQualified() const;
    bool IsQualified() const;
    bool IsJustName() const;

    // Base part and name part at the first "/": a/b/c gives a/ and b/c, /a/b gives / and
    // a/b, a gives a and "".
    static bool GetPathBasePartAndNamePart(const std::string &path, std::string &out_base_part,
                                           std::string &out_name_part);
    // The walk over a path's folder levels: /a/b/c gives (/, a/b/c), (/a/, b/c), (/a/b/, c),
    // then false. A path that is just a name gives ("./", name), then false.
    bool GetFirstPair(std::string &base, std::string &name) const;
    bool GetNextPair(std::string &base, std::string &name) const;

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
    std::string mPath;
};

bool import_CoreUnixPath();
