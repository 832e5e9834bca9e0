// The byte rules that CoreUnixPath and LUnixPath share. Pure string tests; no reports.
// Internal to the path classes.
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

}  // namespace CoreUnixPathRules
