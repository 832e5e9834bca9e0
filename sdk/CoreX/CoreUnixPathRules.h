// The byte rules and path operations that CoreUnixPath and LUnixPath share. Pure string
// work; no reports: an operation answers its result and what it found wrong (a Fault), and
// each class reports that fault in its own words, or not at all. Internal to the path classes.
#pragma once

#include <cstring>
#include <string>

namespace CoreUnixPathRules {

constexpr const char *kRootString = "/";

// Exactly two bytes ending in a slash ("./", "~/"); "/" alone is not a root form.
inline bool IsRootForm(const char *path) {
    return path != nullptr && path[0] != 0 && path[1] == '/' && path[2] == 0;
}
inline bool IsFullyQualified(const char *path) { return path[0] == '/'; }
inline bool IsPartiallyQualified(const char *path) {
    return path[0] != 0 && path[0] != '/' && std::strchr(path, '/') != nullptr;
}
inline bool IsQualified(const char *path) {
    return path[0] != 0 && (IsFullyQualified(path) || IsPartiallyQualified(path));
}
inline bool IsJustName(const char *path) {
    return path != nullptr && path[0] != 0 && !IsFullyQualified(path) && !IsPartiallyQualified(path);
}

// Positions as the path operations test them: not found is -1.
inline long LastOf(const std::string &path, char c) {
    const std::size_t at = path.rfind(c);
    return at == std::string::npos ? -1 : static_cast<long>(at);
}
inline long FirstOf(const std::string &path, char c) {
    const std::size_t at = path.find(c);
    return at == std::string::npos ? -1 : static_cast<long>(at);
}

inline bool AddTrailingSlash(std::string &path) {
    if (path.empty()) {
        path = kRootString;
        return true;
    }
    if (path.back() == '/') return false;
    path += '/';
    return true;
}

inline bool RemoveTrailingSlash(std::string &path) {
    if (path.empty() || path.back() != '/') return false;
    path.pop_back();
    return true;
}

// How the last "." of a path stands to its last name.
enum class Extension {
    kPresent,        // after the first byte of the last name
    kNoDot,          // no ".", or only at position 0 of the path
    kInFolderName,   // the last "." is before (or at) the last "/"
    kLeadingDot,     // the last name starts with its only "." (a hidden name such as a/.profile)
};

inline Extension ExtensionOf(const std::string &path, long &dot_at) {
    dot_at = LastOf(path, '.');
    const long slash_at = LastOf(path, '/');
    if (dot_at < 1) return Extension::kNoDot;
    if (dot_at <= slash_at) return Extension::kInFolderName;
    if (slash_at >= 0 && dot_at == slash_at + 1) return Extension::kLeadingDot;
    return Extension::kPresent;
}

// Lower-case comparison in the C locale of an extension with the wanted one (a leading "."
// of the wanted one skipped).
inline bool SameExtension(const std::string &extension, const char *wanted) {
    if (wanted == nullptr) return false;
    if (wanted[0] == '.') ++wanted;
    const std::size_t wanted_length = std::strlen(wanted);
    if (wanted_length != extension.size()) return false;
    for (std::size_t i = 0; i < wanted_length; ++i) {
        char a = extension[i];
        char b = wanted[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

// ----- operations -----

// What an operation found wrong with what it was given.
enum class Fault {
    kNone,
    kRootPath,                // the path asked about is a root form
    kRootPathToChange,        // the path to change is a root form
    kBadExtension,            // the extension to add is null, empty or "."
    kDotInFolderName,         // HasValidFileExtension: the last "." is in a folder name
    kNoExtensionDot,          // GetPathExtension: no "." after the first byte
    kExtensionInFolderName,   // GetPathExtension: the last "." is in a folder name
    kExtensionStartsName,     // GetPathExtension: the last name starts with its only "."
    kNoExtensionToCompare,    // HasPathExtension: the path has no extension
    kNewExtensionNotAdded,    // ReplacePathExtension: the old extension is off, the new one not on
    kExtensionNotAdded,       // ReplacePathExtension: no old extension, and the new one not on
    kNullPath,                // a null C string
    kEmptyPath,               // a member asked about an empty path
    kEmptyPathToSplit,        // GetPathBasePartAndNamePart of ""
    kSlashAtStart,            // GetPathBasePartAndNamePart: a partial path starting with "/"
    kNoWalkToContinue,        // GetNextPair: empty path or base
    kBaseNotStart,            // GetNextPair: the base is not the start of the path
};

struct Outcome {
    bool ok = false;
    Fault fault = Fault::kNone;
};

inline Outcome Checked(bool ok, Fault fault_if_not) { return {ok, ok ? Fault::kNone : fault_if_not}; }

// The report text both classes use for a fault (null: the class words it itself, or the
// fault is not reported).
inline const char *SharedFaultText(Fault fault) {
    switch (fault) {
    case Fault::kBadExtension:
        return " code : in_extension && in_extension[0] && std::strcmp(in_extension, \".\") != 0";
    case Fault::kDotInFolderName: return " code : rfound_dot_at>rfound_slash_at";
    case Fault::kEmptyPath: return " code : !IsEmpty()";
    case Fault::kEmptyPathToSplit: return " code : path_length";
    case Fault::kSlashAtStart: return " code : int(found_slash_at)>0";
    case Fault::kNoWalkToContinue: return " code : !IsEmpty() && (base_length>0)";
    case Fault::kBaseNotStart: return " code : base_length<mPath.length() && mPath.compare(0, base_length, base)==0";
    default: return nullptr;
    }
}

inline Outcome NotNull(const char *path) { return Checked(path != nullptr, Fault::kNullPath); }
inline Outcome NotEmpty(const std::string &path) { return Checked(!path.empty(), Fault::kEmptyPath); }

// Parent: /a/b/ and /a/b give /a/; /a, / and a have none (false, no fault).
inline bool GetParent(const std::string &path, std::string &parent_path) {
    parent_path.clear();
    if (IsRootForm(path.c_str())) return false;
    std::string path_copy = path;
    RemoveTrailingSlash(path_copy);
    const long rfound_slash_at = LastOf(path_copy, '/');
    if (rfound_slash_at <= 0) return false;
    parent_path.assign(path_copy, 0, static_cast<std::size_t>(rfound_slash_at));
    AddTrailingSlash(parent_path);
    return true;
}

// Last name: /a/b/ gives b; /b, b and /a// have none (false, no fault).
inline Outcome GetJustName(const std::string &path, std::string &out_name) {
    out_name.clear();
    if (IsRootForm(path.c_str())) return {false, Fault::kRootPath};
    std::string path_copy = path;
    RemoveTrailingSlash(path_copy);
    const long rfound_slash_at = LastOf(path_copy, '/');
    if (rfound_slash_at <= 0) return {};
    out_name.assign(path_copy, static_cast<std::size_t>(rfound_slash_at) + 1, std::string::npos);
    // "/a//" has a parent but no name.
    return {!out_name.empty(), Fault::kNone};
}

inline Outcome AddExtension(std::string &inout_path, const char *in_extension) {
    if (IsRootForm(inout_path.c_str())) return {false, Fault::kRootPathToChange};
    if (!(in_extension && in_extension[0] && std::strcmp(in_extension, ".") != 0)) return {false, Fault::kBadExtension};
    if (in_extension[0] != '.') inout_path += '.';
    inout_path += in_extension;
    return {true, Fault::kNone};
}

inline Outcome HasValidExtension(const std::string &path) {
    long rfound_dot_at = -1;
    const Extension found = ExtensionOf(path, rfound_dot_at);
    return {found == Extension::kPresent, found == Extension::kInFolderName ? Fault::kDotInFolderName : Fault::kNone};
}

inline Outcome GetExtension(const std::string &path, std::string &out_extension) {
    out_extension.clear();
    if (IsRootForm(path.c_str())) return {false, Fault::kRootPath};
    long rfound_dot_at = -1;
    switch (ExtensionOf(path, rfound_dot_at)) {
    case Extension::kNoDot: return {false, Fault::kNoExtensionDot};
    case Extension::kInFolderName: return {false, Fault::kExtensionInFolderName};
    case Extension::kLeadingDot: return {false, Fault::kExtensionStartsName};
    case Extension::kPresent: break;
    }
    out_extension.assign(path, static_cast<std::size_t>(rfound_dot_at) + 1, std::string::npos);
    return {true, Fault::kNone};
}

// The operations below go through the class's own operations (Path::...), which report
// their own faults.

template <class Path>
Outcome HasExtension(const std::string &path, const char *in_extension) {
    std::string s_extension;
    if (!Path::GetPathExtension(path, s_extension)) return {false, Fault::kNoExtensionToCompare};
    return {SameExtension(s_extension, in_extension), Fault::kNone};
}

template <class Path>
Outcome ReplaceExtension(std::string &inout_path, const char *in_extension) {
    if (IsRootForm(inout_path.c_str())) return {false, Fault::kRootPathToChange};
    if (!Path::HasValidFileExtension(inout_path))
        return Checked(Path::AddPathExtension(inout_path, in_extension), Fault::kExtensionNotAdded);
    std::string new_path(inout_path, 0, static_cast<std::size_t>(LastOf(inout_path, '.')));
    if (!Path::AddPathExtension(new_path, in_extension)) return {false, Fault::kNewExtensionNotAdded};
    inout_path = new_path;
    return {true, Fault::kNone};
}

// Base part and name part at the first "/": a/b/c gives a/ and b/c, /a/b gives / and a/b,
// a gives a and "".
inline Outcome SplitBaseAndName(const std::string &path, std::string &out_base_part, std::string &out_name_part) {
    out_base_part.clear();
    out_name_part.clear();
    if (path.empty()) return {false, Fault::kEmptyPathToSplit};
    if (IsFullyQualified(path.c_str())) {
        out_base_part = kRootString;
        out_name_part.assign(path, 1, std::string::npos);
        return {true, Fault::kNone};
    }
    if (!IsPartiallyQualified(path.c_str())) {
        out_base_part = path;
        return {true, Fault::kNone};
    }
    const long found_slash_at = FirstOf(path, '/');
    if (!(int(found_slash_at) > 0)) return {false, Fault::kSlashAtStart};
    out_base_part.assign(path, 0, static_cast<std::size_t>(found_slash_at));
    AddTrailingSlash(out_base_part);
    out_name_part.assign(path, static_cast<std::size_t>(found_slash_at) + 1, std::string::npos);
    return {true, Fault::kNone};
}

template <class Path>
Outcome FirstPair(const std::string &path, std::string &base, std::string &name) {
    base.clear();
    name.clear();
    if (path.empty()) return {false, Fault::kEmptyPath};
    if (IsJustName(path.c_str())) {
        base = "./";
        name = path;
        return {true, Fault::kNone};
    }
    return {Path::GetPathBasePartAndNamePart(path, base, name), Fault::kNone};
}

template <class Path>
Outcome NextPair(const std::string &path, std::string &base, std::string &name) {
    const std::size_t base_length = base.length();
    if (path.empty() || base_length == 0) return {false, Fault::kNoWalkToContinue};
    if (!IsPartiallyQualified(name.c_str())) return {};
    // The base must be the start of this path (it is, for pairs this walk produced).
    if (!(base_length < path.length() && path.compare(0, base_length, base) == 0)) return {false, Fault::kBaseNotStart};
    std::string next_base;
    std::string next_name;
    const bool fOk = Path::GetPathBasePartAndNamePart(path.substr(base_length), next_base, next_name);
    base += next_base;
    name = next_name;
    return {fOk, Fault::kNone};
}

}  // namespace CoreUnixPathRules
