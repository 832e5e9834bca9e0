// T_UnixPath<Path>: the path value and its string operations, written once for the two path
// classes (CoreUnixPath and LUnixPath derive from it with themselves as Path). The rules and
// terms are those of CoreUnixPath.h. The classes differ only in how they report a fault: each
// gives its own words through a private static `FaultText(CoreUnixPathRules::Fault)` (null:
// not reported), and CoreUnixPath adds construction from Core Foundation objects and the
// file-system calls.
#pragma once

#include <string>

#include <CoreX/CoreUnixPathRules.h>

template <class Path>
class T_UnixPath {
public:
    // A copy of the string (a null pointer empties the path). True when not empty.
    bool Construct(const char *in_unix_path);

    void Empty() { mPath.clear(); }
    bool IsEmpty() const { return mPath.empty(); }
    operator const char *() const { return mPath.c_str(); }
    const std::string &str() const { return mPath; }

    static bool IsRootPath(const char *in_path);
    bool IsRoot() const { return IsRootPath(mPath.c_str()); }

    static bool AddTrailingSlash(std::string &inout_path);
    static bool RemoveTrailingSlash(std::string &inout_path);
    bool RemoveTrailingSlash() { return RemoveTrailingSlash(mPath); }

    static bool GetPathParent(const std::string &path, std::string &parent_path);
    bool GetParent(std::string &parent_path) const;
    static bool GetPathJustName(const std::string &path, std::string &out_name);
    bool GetJustName(std::string &out_name) const;
    static bool AddPathExtension(std::string &inout_path, const char *in_extension);
    static bool HasValidFileExtension(const std::string &path);
    static bool GetPathExtension(const std::string &path, std::string &out_extension);
    bool GetExtension(std::string &out_extension) const;
    static bool HasPathExtension(const std::string &path, const char *in_extension);
    bool HasExtension(const char *in_extension) const;
    static bool ReplacePathExtension(std::string &inout_path, const char *in_extension);
    bool ReplaceExtension(const char *in_extension);

    static bool IsFullyQualified(const char *in_path);
    static bool IsPartiallyQualified(const char *in_path);
    static bool IsQualified(const char *in_path);
    static bool IsJustName(const char *in_path);
    bool IsFullyQualified() const;
    bool IsPartiallyQualified() const;
    bool IsQualified() const;
    bool IsJustName() const;

    static bool GetPathBasePartAndNamePart(const std::string &path, std::string &out_base_part,
                                           std::string &out_name_part);
    bool GetFirstPair(std::string &base, std::string &name) const;
    bool GetNextPair(std::string &base, std::string &name) const;

protected:
    T_UnixPath() = default;
    T_UnixPath(const T_UnixPath &) = default;
    T_UnixPath &operator=(const T_UnixPath &) = default;
    ~T_UnixPath() = default;

    std::string mPath;

private:
    // The outcome's result, its fault reported in Path's words as a failed check of `function`.
    static bool Reported(CoreUnixPathRules::Outcome outcome, const char *function, int line);
};

bool import_T_UnixPath();
