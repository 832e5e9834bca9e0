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

// ----- reports -----

namespace {

// This class's words for the faults the shared operations find (null: not reported).
const char *FaultText(Fault fault) {
    switch (fault) {
    case Fault::kRootPath: return " code : !LUnixPath::IsRootPath(path.c_str())";
    case Fault::kRootPathToChange: return " code : !LUnixPath::IsRootPath(inout_path.c_str())";
    // A path without an extension is no fault here.
    case Fault::kNoExtensionDot:
    case Fault::kExtensionInFolderName:
    case Fault::kExtensionStartsName:
    case Fault::kNoExtensionToCompare: return nullptr;
    case Fault::kNewExtensionNotAdded: return " code : LUnixPath::AddPathExtension(new_path,in_extension)";
    case Fault::kExtensionNotAdded: return " code : LUnixPath::AddPathExtension(inout_path,in_extension)";
    case Fault::kNullPath: return " code : LUnixPath_NotNull";
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

bool LUnixPath::AddTrailingSlash(std::string &inout_path) { return CoreUnixPathRules::AddTrailingSlash(inout_path); }

bool LUnixPath::RemoveTrailingSlash(std::string &inout_path) {
    return CoreUnixPathRules::RemoveTrailingSlash(inout_path);
}

// ----- names, parents and extensions -----

bool LUnixPath::GetPathParent(const std::string &path, std::string &parent_path) {
    return CoreUnixPathRules::GetParent(path, parent_path);
}

bool LUnixPath::GetParent(std::string &parent_path) const { return GetPathParent(mPath, parent_path); }

bool LUnixPath::GetPathJustName(const std::string &path, std::string &out_name) {
    return REPORTED(CoreUnixPathRules::GetJustName(path, out_name));
}

bool LUnixPath::GetJustName(std::string &out_name) const { return GetPathJustName(mPath, out_name); }

bool LUnixPath::AddPathExtension(std::string &inout_path, const char *in_extension) {
    return REPORTED(AddExtension(inout_path, in_extension));
}

bool LUnixPath::HasValidFileExtension(const std::string &path) { return REPORTED(HasValidExtension(path)); }

bool LUnixPath::GetPathExtension(const std::string &path, std::string &out_extension) {
    return REPORTED(CoreUnixPathRules::GetExtension(path, out_extension));
}

bool LUnixPath::GetExtension(std::string &out_extension) const { return GetPathExtension(mPath, out_extension); }

bool LUnixPath::HasPathExtension(const std::string &path, const char *in_extension) {
    return REPORTED(CoreUnixPathRules::HasExtension<LUnixPath>(path, in_extension));
}

bool LUnixPath::HasExtension(const char *in_extension) const {
    return HasValidFileExtension(mPath) && HasPathExtension(mPath, in_extension);
}

bool LUnixPath::ReplacePathExtension(std::string &inout_path, const char *in_extension) {
    return REPORTED(CoreUnixPathRules::ReplaceExtension<LUnixPath>(inout_path, in_extension));
}

bool LUnixPath::ReplaceExtension(const char *in_extension) { return ReplacePathExtension(mPath, in_extension); }

// ----- qualification -----

bool LUnixPath::IsFullyQualified(const char *in_path) {
    return REPORTED(NotNull(in_path)) && CoreUnixPathRules::IsFullyQualified(in_path);
}

bool LUnixPath::IsPartiallyQualified(const char *in_path) {
    return REPORTED(NotNull(in_path)) && CoreUnixPathRules::IsPartiallyQualified(in_path);
}

bool LUnixPath::IsQualified(const char *in_path) {
    return REPORTED(NotNull(in_path)) && CoreUnixPathRules::IsQualified(in_path);
}

bool LUnixPath::IsJustName(const char *in_path) { return CoreUnixPathRules::IsJustName(in_path); }

bool LUnixPath::IsFullyQualified() const { return REPORTED(NotEmpty(mPath)) && IsFullyQualified(mPath.c_str()); }

bool LUnixPath::IsPartiallyQualified() const {
    return REPORTED(NotEmpty(mPath)) && IsPartiallyQualified(mPath.c_str());
}

bool LUnixPath::IsQualified() const { return REPORTED(NotEmpty(mPath)) && IsQualified(mPath.c_str()); }

bool LUnixPath::IsJustName() const { return REPORTED(NotEmpty(mPath)) && !IsQualified(); }

// ----- pairs -----

bool LUnixPath::GetPathBasePartAndNamePart(const std::string &path, std::string &out_base_part,
                                              std::string &out_name_part) {
    return REPORTED(SplitBaseAndName(path, out_base_part, out_name_part));
}

bool LUnixPath::GetFirstPair(std::string &base, std::string &name) const {
    return REPORTED(FirstPair<LUnixPath>(mPath, base, name));
}

bool LUnixPath::GetNextPair(std::string &base, std::string &name) const {
    return REPORTED(NextPair<LUnixPath>(mPath, base, name));
}
