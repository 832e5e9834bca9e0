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

// ----- reports -----

namespace {

// This class's words for the faults the shared operations find (null: not reported).
const char *FaultText(Fault fault) {
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

bool Reported(Outcome outcome, const char *function, int line) {
    const char *text = FaultText(outcome.fault);
    if (text != nullptr) _CoreMachDebugVerifyCheck(false, function, __FILE__, line, text);
    return outcome.ok;
}

}  // namespace

// The operation's result, its fault reported as a failed check of the calling function.
#define REPORTED(outcome) Reported((outcome), __func__, __LINE__)

// ----- trailing slash -----

bool CoreUnixPath::AddTrailingSlash(std::string &inout_path) { return CoreUnixPathRules::AddTrailingSlash(inout_path); }

bool CoreUnixPath::RemoveTrailingSlash(std::string &inout_path) {
    return CoreUnixPathRules::RemoveTrailingSlash(inout_path);
}

// ----- names, parents and extensions -----

bool CoreUnixPath::GetPathParent(const std::string &path, std::string &parent_path) {
    return CoreUnixPathRules::GetParent(path, parent_path);
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
    return REPORTED(CoreUnixPathRules::GetJustName(path, out_name));
}

bool CoreUnixPath::GetJustName(std::string &out_name) const { return GetPathJustName(mPath, out_name); }

bool CoreUnixPath::AddPathExtension(std::string &inout_path, const char *in_extension) {
    return REPORTED(AddExtension(inout_path, in_extension));
}

bool CoreUnixPath::HasValidFileExtension(const std::string &path) { return REPORTED(HasValidExtension(path)); }

bool CoreUnixPath::GetPathExtension(const std::string &path, std::string &out_extension) {
    return REPORTED(CoreUnixPathRules::GetExtension(path, out_extension));
}

bool CoreUnixPath::GetExtension(std::string &out_extension) const { return GetPathExtension(mPath, out_extension); }

bool CoreUnixPath::HasPathExtension(const std::string &path, const char *in_extension) {
    return REPORTED(CoreUnixPathRules::HasExtension<CoreUnixPath>(path, in_extension));
}

bool CoreUnixPath::HasExtension(const char *in_extension) const {
    return HasValidFileExtension(mPath) && HasPathExtension(mPath, in_extension);
}

bool CoreUnixPath::ReplacePathExtension(std::string &inout_path, const char *in_extension) {
    return REPORTED(CoreUnixPathRules::ReplaceExtension<CoreUnixPath>(inout_path, in_extension));
}

bool CoreUnixPath::ReplaceExtension(const char *in_extension) { return ReplacePathExtension(mPath, in_extension); }

// ----- qualification -----

bool CoreUnixPath::IsFullyQualified(const char *in_path) {
    return REPORTED(NotNull(in_path)) && CoreUnixPathRules::IsFullyQualified(in_path);
}

bool CoreUnixPath::IsPartiallyQualified(const char *in_path) {
    return REPORTED(NotNull(in_path)) && CoreUnixPathRules::IsPartiallyQualified(in_path);
}

bool CoreUnixPath::IsQualified(const char *in_path) {
    return REPORTED(NotNull(in_path)) && CoreUnixPathRules::IsQualified(in_path);
}

bool CoreUnixPath::IsJustName(const char *in_path) { return CoreUnixPathRules::IsJustName(in_path); }

bool CoreUnixPath::IsFullyQualified() const { return REPORTED(NotEmpty(mPath)) && IsFullyQualified(mPath.c_str()); }

bool CoreUnixPath::IsPartiallyQualified() const {
    return REPORTED(NotEmpty(mPath)) && IsPartiallyQualified(mPath.c_str());
}

bool CoreUnixPath::IsQualified() const { return REPORTED(NotEmpty(mPath)) && IsQualified(mPath.c_str()); }

bool CoreUnixPath::IsJustName() const { return REPORTED(NotEmpty(mPath)) && !IsQualified(); }

// ----- pairs -----

bool CoreUnixPath::GetPathBasePartAndNamePart(const std::string &path, std::string &out_base_part,
                                              std::string &out_name_part) {
    return REPORTED(SplitBaseAndName(path, out_base_part, out_name_part));
}

bool CoreUnixPath::GetFirstPair(std::string &base, std::string &name) const {
    return REPORTED(FirstPair<CoreUnixPath>(mPath, base, name));
}

bool CoreUnixPath::GetNextPair(std::string &base, std::string &name) const {
    return REPORTED(NextPair<CoreUnixPath>(mPath, base, name));
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
