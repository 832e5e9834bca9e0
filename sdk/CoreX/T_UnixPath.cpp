// The one implementation of the path classes' string operations (see T_UnixPath.h).
#include <CoreX/T_UnixPath.h>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CoreUnixPath.h>
#include <CoreX/LUnixPath.h>

using namespace CoreUnixPathRules;

bool import_T_UnixPath() { return import_CoreMachDebugLog(); }

template <class Path>
bool T_UnixPath<Path>::Reported(Outcome outcome, const char *function, int line) {
    const char *text = Path::FaultText(outcome.fault);
    if (text != nullptr) _CoreMachDebugVerifyCheck(false, function, __FILE__, line, text);
    return outcome.ok;
}

// The operation's result, its fault reported as a failed check of the calling function.
#define REPORTED(outcome) Reported((outcome), __func__, __LINE__)

template <class Path>
bool T_UnixPath<Path>::Construct(const char *in_unix_path) {
    if (in_unix_path == nullptr) mPath.clear();
    else mPath.assign(in_unix_path);
    return !mPath.empty();
}

template <class Path>
bool T_UnixPath<Path>::IsRootPath(const char *in_path) {
    return IsRootForm(in_path);
}

// ----- trailing slash -----

template <class Path>
bool T_UnixPath<Path>::AddTrailingSlash(std::string &inout_path) {
    return CoreUnixPathRules::AddTrailingSlash(inout_path);
}

template <class Path>
bool T_UnixPath<Path>::RemoveTrailingSlash(std::string &inout_path) {
    return CoreUnixPathRules::RemoveTrailingSlash(inout_path);
}

// ----- names, parents and extensions -----

template <class Path>
bool T_UnixPath<Path>::GetPathParent(const std::string &path, std::string &parent_path) {
    return CoreUnixPathRules::GetParent(path, parent_path);
}

template <class Path>
bool T_UnixPath<Path>::GetParent(std::string &parent_path) const {
    return GetPathParent(mPath, parent_path);
}

template <class Path>
bool T_UnixPath<Path>::GetPathJustName(const std::string &path, std::string &out_name) {
    return REPORTED(CoreUnixPathRules::GetJustName(path, out_name));
}

template <class Path>
bool T_UnixPath<Path>::GetJustName(std::string &out_name) const {
    return GetPathJustName(mPath, out_name);
}

template <class Path>
bool T_UnixPath<Path>::AddPathExtension(std::string &inout_path, const char *in_extension) {
    return REPORTED(AddExtension(inout_path, in_extension));
}

template <class Path>
bool T_UnixPath<Path>::HasValidFileExtension(const std::string &path) {
    return REPORTED(HasValidExtension(path));
}

template <class Path>
bool T_UnixPath<Path>::GetPathExtension(const std::string &path, std::string &out_extension) {
    return REPORTED(CoreUnixPathRules::GetExtension(path, out_extension));
}

template <class Path>
bool T_UnixPath<Path>::GetExtension(std::string &out_extension) const {
    return GetPathExtension(mPath, out_extension);
}

template <class Path>
bool T_UnixPath<Path>::HasPathExtension(const std::string &path, const char *in_extension) {
    return REPORTED(CoreUnixPathRules::HasExtension<Path>(path, in_extension));
}

template <class Path>
bool T_UnixPath<Path>::HasExtension(const char *in_extension) const {
    return HasValidFileExtension(mPath) && HasPathExtension(mPath, in_extension);
}

template <class Path>
bool T_UnixPath<Path>::ReplacePathExtension(std::string &inout_path, const char *in_extension) {
    return REPORTED(CoreUnixPathRules::ReplaceExtension<Path>(inout_path, in_extension));
}

template <class Path>
bool T_UnixPath<Path>::ReplaceExtension(const char *in_extension) {
    return ReplacePathExtension(mPath, in_extension);
}

// ----- qualification -----

template <class Path>
bool T_UnixPath<Path>::IsFullyQualified(const char *in_path) {
    return REPORTED(NotNull(in_path)) && CoreUnixPathRules::IsFullyQualified(in_path);
}

template <class Path>
bool T_UnixPath<Path>::IsPartiallyQualified(const char *in_path) {
    return REPORTED(NotNull(in_path)) && CoreUnixPathRules::IsPartiallyQualified(in_path);
}

template <class Path>
bool T_UnixPath<Path>::IsQualified(const char *in_path) {
    return REPORTED(NotNull(in_path)) && CoreUnixPathRules::IsQualified(in_path);
}

template <class Path>
bool T_UnixPath<Path>::IsJustName(const char *in_path) {
    return CoreUnixPathRules::IsJustName(in_path);
}

template <class Path>
bool T_UnixPath<Path>::IsFullyQualified() const {
    return REPORTED(NotEmpty(mPath)) && IsFullyQualified(mPath.c_str());
}

template <class Path>
bool T_UnixPath<Path>::IsPartiallyQualified() const {
    return REPORTED(NotEmpty(mPath)) && IsPartiallyQualified(mPath.c_str());
}

template <class Path>
bool T_UnixPath<Path>::IsQualified() const {
    return REPORTED(NotEmpty(mPath)) && IsQualified(mPath.c_str());
}

template <class Path>
bool T_UnixPath<Path>::IsJustName() const {
    return REPORTED(NotEmpty(mPath)) && !IsQualified();
}

// ----- pairs -----

template <class Path>
bool T_UnixPath<Path>::GetPathBasePartAndNamePart(const std::string &path, std::string &out_base_part,
                                                  std::string &out_name_part) {
    return REPORTED(SplitBaseAndName(path, out_base_part, out_name_part));
}

template <class Path>
bool T_UnixPath<Path>::GetFirstPair(std::string &base, std::string &name) const {
    return REPORTED(FirstPair<Path>(mPath, base, name));
}

template <class Path>
bool T_UnixPath<Path>::GetNextPair(std::string &base, std::string &name) const {
    return REPORTED(NextPair<Path>(mPath, base, name));
}

template class T_UnixPath<CoreUnixPath>;
template class T_UnixPath<LUnixPath>;
