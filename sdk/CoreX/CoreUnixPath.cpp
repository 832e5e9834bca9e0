#include <CoreX/CoreUnixPath.h>

#include <cstring>
#include <unistd.h>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CoreRefPath.h>
#include <CoreX/CoreUnixPathRules.h>
#include <CoreX/TCFString.h>

using namespace CoreUnixPathRules;

bool import_CoreUnixPath() { return import_CoreMachDebugLog() && import_TCFString() && import_CoreRefPath(); }

// ----- construction -----

CoreUnixPath::CoreUnixPath(const char *in_unix_path) { Construct(in_unix_path); }

CoreUnixPath::CoreUnixPath(CFStringRef unix_file_path) { Construct(unix_file_path); }

CoreUnixPath::CoreUnixPath(CFURLRef unix_file_url) { Construct(unix_file_url); }

CoreUnixPath::CoreUnixPath(const CoreRefPath &copyOf) { VERIFY(Construct(copyOf.GetUnixPath())); }

CoreUnixPath::~CoreUnixPath() = default;

CoreUnixPath &CoreUnixPath::operator=(const CoreRefPath &copyOf) {
    VERIFY(Construct(copyOf.GetUnixPath()));
    return *this;
}

bool CoreUnixPath::Construct(const char *in_unix_path) {
    if (in_unix_path == nullptr) mPath.clear();
    else mPath.assign(in_unix_path);
    return !mPath.empty();
}

bool CoreUnixPath::Construct(CFStringRef unix_file_path) {
    mPath.clear();
    if (!VERIFY(unix_file_path)) return false;
    bool fOk = false;
    try {
        VERIFY(fOk = TCFString(unix_file_path, kCFTypeRef_Borrowed).GetValue(mPath));
    } catch (...) {
        // Not a string.
        VERIFY(fOk = false);
    }
    if (!fOk) mPath.clear();
    return fOk;
}

bool CoreUnixPath::Construct(CFURLRef unix_file_url) {
    mPath.clear();
    if (!VERIFY(unix_file_url)) return false;
    CFStringRef posix_file_path = CFURLCopyFileSystemPath(unix_file_url, kCFURLPOSIXPathStyle);
    if (!VERIFY(posix_file_path)) return false;
    bool fOk;
    VERIFY(fOk = Construct(posix_file_path));
    CFRelease(posix_file_path);
    return fOk;
}

bool CoreUnixPath::getcwd() {
    struct {
        char buffer[1025];
    } cwd;
    std::memset(cwd.buffer, 0, sizeof cwd.buffer);
    if (!VERIFY(::getcwd(cwd.buffer,sizeof(cwd.buffer)))) return false;
    bool fOk;
    VERIFY(fOk = Construct(cwd.buffer));
    return fOk;
}

bool CoreUnixPath::IsRootPath(const char *in_path) { return IsRootForm(in_path); }

// ----- trailing slash -----

bool CoreUnixPath::AddTrailingSlash(std::string &inout_path) { return CoreUnixPathRules::AddTrailingSlash(inout_path); }

bool CoreUnixPath::RemoveTrailingSlash(std::string &inout_path) {
    return CoreUnixPathRules::RemoveTrailingSlash(inout_path);
}

// ----- names, parents and extensions -----

bool CoreUnixPath::GetPathParent(const std::string &path, std::string &parent_path) {
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

bool CoreUnixPath::GetParent(std::string &parent_path) const { return GetPathParent(mPath, parent_path); }

bool CoreUnixPath::GetParent(CoreUnixPath &out_parent_path) const {
    std::string parent_path;
    if (!VERIFY(GetParent(parent_path))) return false;
    bool fOk;
    VERIFY(fOk=out_parent_path.Construct(parent_path.c_str()));
    return fOk;
}

bool CoreUnixPath::GetPathJustName(const std::string &path, std::string &out_name) {
    out_name.clear();
    if (!VERIFY(!IsRootPath(path.c_str()))) return false;
    std::string path_copy = path;
    RemoveTrailingSlash(path_copy);
    const long rfound_slash_at = LastOf(path_copy, '/');
    if (rfound_slash_at <= 0) return false;
    out_name.assign(path_copy, static_cast<std::size_t>(rfound_slash_at) + 1, std::string::npos);
    // "/a//" has a parent but no name.
    return !out_name.empty();
}

bool CoreUnixPath::GetJustName(std::string &out_name) const { return GetPathJustName(mPath, out_name); }

bool CoreUnixPath::AddPathExtension(std::string &inout_path, const char *in_extension) {
    if (!VERIFY(!IsRootPath(inout_path.c_str()))) return false;
    if (!VERIFY(in_extension && in_extension[0] && std::strcmp(in_extension, ".") != 0)) return false;
    if (in_extension[0] != '.') inout_path += '.';
    inout_path += in_extension;
    return true;
}

bool CoreUnixPath::HasValidFileExtension(const std::string &path) {
    long rfound_dot_at = -1;
    const Extension found = ExtensionOf(path, rfound_dot_at);
    if (found == Extension::kInFolderName) {
        const long rfound_slash_at = LastOf(path, '/');
        VERIFY(rfound_dot_at>rfound_slash_at);
    }
    return found == Extension::kPresent;
}

bool CoreUnixPath::GetPathExtension(const std::string &path, std::string &out_extension) {
    out_extension.clear();
    if (!VERIFY(!IsRootPath(path.c_str()))) return false;
    long rfound_dot_at = -1;
    const Extension found = ExtensionOf(path, rfound_dot_at);
    const long rfound_slash_at = LastOf(path, '/');
    if (!VERIFY(int(rfound_dot_at)>0)) return false;
    if (!VERIFY(rfound_dot_at>rfound_slash_at)) return false;
    if (!VERIFY(rfound_dot_at>rfound_slash_at+1)) return false;
    if (found != Extension::kPresent) return false;
    out_extension.assign(path, static_cast<std::size_t>(rfound_dot_at) + 1, std::string::npos);
    return true;
}

bool CoreUnixPath::GetExtension(std::string &out_extension) const { return GetPathExtension(mPath, out_extension); }

bool CoreUnixPath::HasPathExtension(const std::string &path, const char *in_extension) {
    std::string s_extension;
    if (!VERIFY(GetPathExtension(path, s_extension))) return false;
    return SameExtension(s_extension, in_extension);
}

bool CoreUnixPath::HasExtension(const char *in_extension) const {
    return HasValidFileExtension(mPath) && HasPathExtension(mPath, in_extension);
}

bool CoreUnixPath::ReplacePathExtension(std::string &inout_path, const char *in_extension) {
    if (!VERIFY(!IsRootPath(inout_path.c_str()))) return false;
    if (HasValidFileExtension(inout_path)) {
        std::string new_path(inout_path, 0, static_cast<std::size_t>(LastOf(inout_path, '.')));
        if (!VERIFY(AddPathExtension(new_path,in_extension))) return false;
        inout_path = new_path;
        return true;
    }
    bool fOk;
    VERIFY(fOk = CoreUnixPath::AddPathExtension(inout_path,in_extension));
    return fOk;
}

bool CoreUnixPath::ReplaceExtension(const char *in_extension) { return ReplacePathExtension(mPath, in_extension); }

// ----- qualification -----

bool CoreUnixPath::IsFullyQualified(const char *in_path) {
    const bool CoreUnixPath_NotNull = in_path != nullptr;
    if (!VERIFY(CoreUnixPath_NotNull)) return false;
    return CoreUnixPathRules::IsFullyQualified(in_path);
}

bool CoreUnixPath::IsPartiallyQualified(const char *in_path) {
    const bool CoreUnixPath_NotNull = in_path != nullptr;
    if (!VERIFY(CoreUnixPath_NotNull)) return false;
    return CoreUnixPathRules::IsPartiallyQualified(in_path);
}

bool CoreUnixPath::IsQualified(const char *in_path) {
    const bool CoreUnixPath_NotNull = in_path != nullptr;
    if (!VERIFY(CoreUnixPath_NotNull)) return false;
    return CoreUnixPathRules::IsQualified(in_path);
}

bool CoreUnixPath::IsJustName(const char *in_path) { return CoreUnixPathRules::IsJustName(in_path); }

bool CoreUnixPath::IsFullyQualified() const {
    if (!VERIFY(!IsEmpty())) return false;
    return IsFullyQualified(mPath.c_str());
}

bool CoreUnixPath::IsPartiallyQualified() const {
    if (!VERIFY(!IsEmpty())) return false;
    return IsPartiallyQualified(mPath.c_str());
}

bool CoreUnixPath::IsQualified() const {
    if (!VERIFY(!IsEmpty())) return false;
    return IsQualified(mPath.c_str());
}

bool CoreUnixPath::IsJustName() const {
    if (!VERIFY(!IsEmpty())) return false;
    return !IsQualified();
}

// ----- pairs -----

bool CoreUnixPath::GetPathBasePartAndNamePart(const std::string &path, std::string &out_base_part,
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

bool CoreUnixPath::GetFirstPair(std::string &base, std::string &name) const {
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

bool CoreUnixPath::GetNextPair(std::string &base, std::string &name) const {
    const std::size_t base_length = base.length();
    if (!VERIFY(!IsEmpty() && (base_length>0))) return false;
    if (!CoreUnixPathRules::IsPartiallyQualified(name.c_str())) return false;
    // The base must be the start of this path (it is, for pairs this walk produced).
    if (!VERIFY(base_length<mPath.length() && mPath.compare(0, base_length, base)==0)) return false;
    std::string next_base;
    std::string next_name;
    const bool fOk = GetPathBasePartAndNamePart(mPath.substr(base_length), next_base, next_name);
    base += next_base;
    name = next_name;
    return fOk;
}

// ----- file-system calls -----

bool CoreUnixPath::FileExists(const char *in_path) { return in_path != nullptr && ::access(in_path, F_OK) == 0; }

bool CoreUnixPath::FileExistsRead(const char *in_path) { return in_path != nullptr && ::access(in_path, R_OK) == 0; }

bool CoreUnixPath::FileExistsReadWrite(const char *in_path) {
    return in_path != nullptr && ::access(in_path, R_OK | W_OK) == 0;
}

bool CoreUnixPath::FileDelete(const char *in_path) {
    if (!VERIFY(in_path!=NULL)) return false;
    bool fOk;
    VERIFY(fOk = (0==unlink(in_path)));
    return fOk;
}

bool CoreUnixPath::FolderDelete(const char *in_path) {
    if (!VERIFY(in_path!=NULL)) return false;
    bool fOk;
    VERIFY(fOk = (0==rmdir(in_path)));
    return fOk;
}

bool CoreUnixPath::MakeSymbolicLinkFromTo(const char *in_from_path, const char *in_to_path) {
    if (in_from_path == nullptr || in_to_path == nullptr) return false;
    if (::access(in_from_path, R_OK) != 0) return false;
    std::string from_path = in_from_path;
    std::string to_path = in_to_path;
    RemoveTrailingSlash(from_path);
    RemoveTrailingSlash(to_path);
    const int posix_result = ::symlink(from_path.c_str(), to_path.c_str());
    bool fOk;
    VERIFY(fOk = (0==posix_result));
    return fOk;
}

bool CoreUnixPath::chdir() const {
    if (!VERIFY(!IsEmpty())) return false;
    bool fOk;
    VERIFY(fOk = (0==::chdir(mPath.c_str())));
    return fOk;
}
