#include <CoreX/LUnixPath.h>

#include <cstring>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CoreUnixPathRules.h>

using namespace CoreUnixPathRules;

bool import_LUnixPath() { return import_CoreMachDebugLog(); }

LUnixPath::LUnixPath(const char *in_unix_path) { Construct(in_unix_path); }

LUnixPath::~LUnixPath() = default;

bool LUnixPath::Construct(const char *in_unix_path) {
    if (in_unix_path == nullptr) mPath.clear();
    else mPath.assign(in_unix_path);
    return !mPath.empty();
}

bool LUnixPath::IsRootPath(const char *in_path) { return IsRootForm(in_path); }

bool LUnixPath::AddTrailingSlash(std::string &inout_path) { return CoreUnixPathRules::AddTrailingSlash(inout_path); }

bool LUnixPath::RemoveTrailingSlash(std::string &inout_path) {
    return CoreUnixPathRules::RemoveTrailingSlash(inout_path);
}

// ----- names, parents and extensions -----

bool LUnixPath::GetPathParent(const std::string &path, std::string &parent_path) {
    parent_path.clear();
    if (IsRootPath(path.c_str())) return false;
    std::string path_copy = path;
    RemoveTrailingSlash(path_copy);
    const long rfound_slash_at = LastOf(path_copy, '/');
    if (rfound_slash_at <= 0) return false;
    parent_path.assign(path_copy, 0, static_cast<std::size_t>(rfound_slash_at));
    AddTrailingSlash(parent_path);
    return true;
}

bool LUnixPath::GetParent(std::string &parent_path) const { return GetPathParent(mPath, parent_path); }

bool LUnixPath::GetPathJustName(const std::string &path, std::string &out_name) {
    out_name.clear();
    if (!VERIFY(!LUnixPath::IsRootPath(path.c_str()))) return false;
    std::string path_copy = path;
    RemoveTrailingSlash(path_copy);
    const long rfound_slash_at = LastOf(path_copy, '/');
    if (rfound_slash_at <= 0) return false;
    out_name.assign(path_copy, static_cast<std::size_t>(rfound_slash_at) + 1, std::string::npos);
    return !out_name.empty();
}

bool LUnixPath::GetJustName(std::string &out_name) const { return GetPathJustName(mPath, out_name); }

bool LUnixPath::AddPathExtension(std::string &inout_path, const char *in_extension) {
    if (!VERIFY(!LUnixPath::IsRootPath(inout_path.c_str()))) return false;
    if (!VERIFY(in_extension && in_extension[0] && std::strcmp(in_extension, ".") != 0)) return false;
    if (in_extension[0] != '.') inout_path += '.';
    inout_path += in_extension;
    return true;
}

bool LUnixPath::HasValidFileExtension(const std::string &path) {
    long rfound_dot_at = -1;
    const Extension found = ExtensionOf(path, rfound_dot_at);
    if (found == Extension::kInFolderName) {
        const long rfound_slash_at = LastOf(path, '/');
        VERIFY(rfound_dot_at>rfound_slash_at);
    }
    return found == Extension::kPresent;
}

bool LUnixPath::GetPathExtension(const std::string &path, std::string &out_extension) {
    out_extension.clear();
    if (!VERIFY(!LUnixPath::IsRootPath(path.c_str()))) return false;
    long rfound_dot_at = -1;
    if (ExtensionOf(path, rfound_dot_at) != Extension::kPresent) return false;
    out_extension.assign(path, static_cast<std::size_t>(rfound_dot_at) + 1, std::string::npos);
    return true;
}

bool LUnixPath::GetExtension(std::string &out_extension) const { return GetPathExtension(mPath, out_extension); }

bool LUnixPath::HasPathExtension(const std::string &path, const char *in_extension) {
    std::string s_extension;
    if (!GetPathExtension(path, s_extension)) return false;
    return SameExtension(s_extension, in_extension);
}

bool LUnixPath::HasExtension(const char *in_extension) const {
    return HasValidFileExtension(mPath) && HasPathExtension(mPath, in_extension);
}

bool LUnixPath::ReplacePathExtension(std::string &inout_path, const char *in_extension) {
    if (!VERIFY(!LUnixPath::IsRootPath(inout_path.c_str()))) return false;
    if (HasValidFileExtension(inout_path)) {
        std::string new_path(inout_path, 0, static_cast<std::size_t>(LastOf(inout_path, '.')));
        if (!VERIFY(LUnixPath::AddPathExtension(new_path,in_extension))) return false;
        inout_path = new_path;
        return true;
    }
    bool fOk;
    VERIFY(fOk = LUnixPath::AddPathExtension(inout_path,in_extension));
    return fOk;
}

bool LUnixPath::ReplaceExtension(const char *in_extension) { return ReplacePathExtension(mPath, in_extension); }

// ----- qualification -----

bool LUnixPath::IsFullyQualified(const char *in_path) {
    const bool LUnixPath_NotNull = in_path != nullptr;
    if (!VERIFY(LUnixPath_NotNull)) return false;
    return CoreUnixPathRules::IsFullyQualified(in_path);
}

bool LUnixPath::IsPartiallyQualified(const char *in_path) {
    const bool LUnixPath_NotNull = in_path != nullptr;
    if (!VERIFY(LUnixPath_NotNull)) return false;
    return CoreUnixPathRules::IsPartiallyQualified(in_path);
}

bool LUnixPath::IsQualified(const char *in_path) {
    const bool LUnixPath_NotNull = in_path != nullptr;
    if (!VERIFY(LUnixPath_NotNull)) return false;
    return CoreUnixPathRules::IsQualified(in_path);
}

bool LUnixPath::IsJustName(const char *in_path) { return CoreUnixPathRules::IsJustName(in_path); }

bool LUnixPath::IsFullyQualified() const {
    if (!VERIFY(!IsEmpty())) return false;
    return IsFullyQualified(mPath.c_str());
}

bool LUnixPath::IsPartiallyQualified() const {
    if (!VERIFY(!IsEmpty())) return false;
    return IsPartiallyQualified(mPath.c_str());
}

bool LUnixPath::IsQualified() const {
    if (!VERIFY(!IsEmpty())) return false;
    return IsQualified(mPath.c_str());
}

bool LUnixPath::IsJustName() const {
    if (!VERIFY(!IsEmpty())) return false;
    return !IsQualified();
}

// ----- pairs -----

bool LUnixPath::GetPathBasePartAndNamePart(const std::string &path, std::string &out_base_part,
                                           std::string &out_name_part) {
    out_base_part.clear();
    out_name_part.clear();
    const std::size_t path_length = path.length();
    if (!VERIFY(path_length)) return false;
    if (CoreUnixPathRules::IsFullyQualified(path.c_str())) {
        out_base_part = kRootString;
        out_name_part.assign(path, 1, std::string::npos);
        return true;
    }
    if (!CoreUnixPathRules::IsPartiallyQualified(path.c_str())) {
        out_base_part = path;
        return true;
    }
    const long found_slash_at = FirstOf(path, '/');
    if (!VERIFY(int(found_slash_at)>0)) return false;
    out_base_part.assign(path, 0, static_cast<std::size_t>(found_slash_at));
    AddTrailingSlash(out_base_part);
    out_name_part.assign(path, static_cast<std::size_t>(found_slash_at) + 1, std::string::npos);
    return true;
}

bool LUnixPath::GetFirstPair(std::string &base, std::string &name) const {
    base.clear();
    name.clear();
    if (!VERIFY(!IsEmpty())) return false;
    if (CoreUnixPathRules::IsJustName(mPath.c_str())) {
        base = "./";
        name = mPath;
        return true;
    }
    return GetPathBasePartAndNamePart(mPath, base, name);
}

bool LUnixPath::GetNextPair(std::string &base, std::string &name) const {
    const std::size_t base_length = base.length();
    if (!VERIFY(!IsEmpty() && (base_length>0))) return false;
    if (!CoreUnixPathRules::IsPartiallyQualified(name.c_str())) return false;
    if (!VERIFY(base_length<mPath.length() && mPath.compare(0, base_length, base)==0)) return false;
    std::string next_base;
    std::string next_name;
    const bool fOk = GetPathBasePartAndNamePart(mPath.substr(base_length), next_base, next_name);
    base += next_base;
    name = next_name;
    return fOk;
}
