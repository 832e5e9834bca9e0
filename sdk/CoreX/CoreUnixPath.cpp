#include <CoreX/CoreUnixPath.h>

#include <cstring>
#include <unistd.h>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CoreRefPath.h>
#include <CoreX/TCFString.h>

using CoreUnixPathRules::Fault;
using CoreUnixPathRules::SharedFaultText;

bool import_CoreUnixPath() {
    return import_CoreMachDebugLog() && import_TCFString() && import_CoreRefPath() && import_T_UnixPath();
}

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

// ----- reports -----

const char *CoreUnixPath::FaultText(Fault fault) {
    switch (fault) {
    case Fault::kRootPath: return " code : !IsRootPath(path.c_str())";
    case Fault::kRootPathToChange: return " code : !IsRootPath(inout_path.c_str())";
    case Fault::kNoExtensionDot: return " code : int(rfound_dot_at)>0";
    case Fault::kExtensionInFolderName: return " code : rfound_dot_at>rfound_slash_at";
    case Fault::kExtensionStartsName: return " code : rfound_dot_at>rfound_slash_at+1";
    case Fault::kNoExtensionToCompare: return " code : GetPathExtension(path, s_extension)";
    case Fault::kNewExtensionNotAdded: return " code : AddPathExtension(new_path,in_extension)";
    case Fault::kExtensionNotAdded: return " code : CoreUnixPath::AddPathExtension(inout_path,in_extension)";
    case Fault::kNullPath: return " code : CoreUnixPath_NotNull";
    default: return SharedFaultText(fault);
    }
}

// ----- parents -----

bool CoreUnixPath::GetParent(CoreUnixPath &out_parent_path) const {
    std::string parent_path;
    if (!VERIFY(GetParent(parent_path))) return false;
    bool fOk;
    VERIFY(fOk=out_parent_path.Construct(parent_path.c_str()));
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
