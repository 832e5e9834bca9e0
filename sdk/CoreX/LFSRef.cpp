#include <CoreX/LFSRef.h>

#include <climits>
#include <cstring>
#include <unistd.h>
#include <vector>

#include <CoreX/CFBaseDLL.h>
#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/LAlias.h>
#include <CoreX/LFSRefFunctions.h>
#include <CoreX/LFileFork.h>
#include <CoreX/LHFSUnicodeName.h>
#include <CoreX/LUnixPath.h>

bool import_LFSRef() {
    return import_CoreMachDebugLog() && import_LFSRefFunctions() && import_LHFSUnicodeName() && import_LUnixPath() &&
           import_LFileFork() && import_LAlias();
}

namespace {

// `relative` below `folder` (an absolute path as references answer it).
std::string JoinPath(const std::string &folder, const std::string &relative) {
    if (relative.empty()) return folder;
    if (!folder.empty() && folder.back() == '/') return folder + relative;
    return folder + "/" + relative;
}

// A single name: not empty, no "/", not "." or "..".
bool IsOneName(const char *in_name) {
    return in_name != nullptr && in_name[0] != 0 && std::strchr(in_name, '/') == nullptr &&
           std::strcmp(in_name, ".") != 0 && std::strcmp(in_name, "..") != 0;
}

std::string PString(ConstStr255Param in_pstring) {
    return std::string(reinterpret_cast<const char *>(in_pstring + 1), in_pstring[0]);
}

const char *StateText(UInt16 state) {
    switch (state) {
    case LFSRef::State_Invalid: return "State_Invalid '0'";
    case LFSRef::State_Exists: return "State_Exists '1'";
    case LFSRef::State_HasLatentPath: return "State_HasLatentPath '2'";
    case LFSRef::State_ExistsWithLatentPath: return "State_ExistsWithLatentPath '3'";
    default: return "????";
    }
}

}  // namespace

// ----- construction -----

LFSRef::LFSRef() { Clear(); }

LFSRef::~LFSRef() = default;

void LFSRef::Clear() {
    mState = State_Invalid;
    std::memset(&mFSRef, 0, sizeof mFSRef);
    mLatentPath.clear();
}

bool LFSRef::Construct(const FSRef *theFileRef) {
    // theFileRef may be this object's own reference.
    const FSRef file_ref = theFileRef != nullptr ? *theFileRef : FSRef();
    Clear();
    if (!VERIFY(theFileRef)) return false;
    if (!VERIFY_TEXT(bool_FSRef_IsValid(file_ref), " code : bool_FSRef_IsValid(*theFileRef)")) return false;
    mFSRef = file_ref;
    mState = State_Exists;
    return true;
}

bool LFSRef::Construct(const FSRef *parentRef, const char *in_name) {
    const std::string name = in_name != nullptr ? in_name : "";
    if (!VERIFY(Construct(parentRef))) return false;
    if (!name.empty()) {
        mLatentPath = name;
        mState |= State_HasLatentPath;
    }
    return true;
}

bool LFSRef::Construct(const FSRef *parentRef, const std::string &in_name) {
    return Construct(parentRef, in_name.c_str());
}

bool LFSRef::Construct(const FSRef *parentRef, const HFSUniStr255 &unicode_subpath) {
    std::string subpath;
    const LHFSUnicodeName unicode_name(unicode_subpath);
    bool fOk;
    VERIFY(fOk = unicode_name.GetUnixPath(subpath));
    if (!fOk) {
        Clear();
        return false;
    }
    return Construct(parentRef, subpath.c_str());
}

bool LFSRef::Construct(const char *in_unix_path) {
    Clear();
    if (!VERIFY(bool_FSRef_MakeLatentFromPath(in_unix_path,mFSRef,mLatentPath))) {
        Clear();
        return false;
    }
    mState = mLatentPath.empty() ? State_Exists : State_ExistsWithLatentPath;
    return true;
}

bool LFSRef::Construct_cwd() {
    Clear();
    std::vector<char> path_buffer(PATH_MAX, 0);
    if (!VERIFY(SystemFramework::getcwd(path_buffer.data(), path_buffer.size()))) return false;
    bool fOk;
    VERIFY(fOk = Construct(path_buffer.data()));
    return fOk;
}

bool LFSRef::Construct(const FSSpec &in_file_spec, ConstStr255Param in_name) {
    const FSSpec file_spec = in_file_spec;
    Clear();
    FSRef file_ref;
    if (in_name == nullptr) {
        if (FSpMakeFSRef(&file_spec, &file_ref) == noErr) return Construct(&file_ref);
        FSRefParam pb;
        std::memset(&pb, 0, sizeof pb);
        pb.ioVRefNum = file_spec.vRefNum;
        pb.ioDirID = file_spec.parID;
        pb.ioNamePtr = const_cast<StringPtr>(file_spec.name);
        pb.newRef = &file_ref;
        if (PBMakeFSRefSync(&pb) == noErr) return Construct(&file_ref);
    }

    // The folder the FSSpec names or stands in, and a name below it.
    FSVolumeRefNum volumeID = 0;
    long folderID = 0;
    bool fIsFolder = false;
    if (!VERIFY(bool_FSSpec_GetVolumeFolderID(in_file_spec, volumeID, folderID, &fIsFolder))) return false;
    if (!VERIFY(bool_FSRef_ConstructVolumeFolderName(mFSRef, volumeID, folderID))) {
        Clear();
        return false;
    }
    mState = State_Exists;
    bool fOk = true;
    if (in_name != nullptr) {
        fOk = AddJustName(in_name);
    } else if (!fIsFolder && file_spec.name[0] > 0) {
        // The long-name form of an FSSpec (a NUL inside the name) holds no name that
        // could be created here.
        if (!VERIFY(std::memchr(file_spec.name + 1, 0, file_spec.name[0]) == nullptr)) fOk = false;
        else fOk = AddJustName(file_spec.name);
    }
    if (!fOk) Clear();
    return fOk;
}

bool LFSRef::Construct(const LFSRef &copyOf, bool normalize) {
    if (&copyOf != this) *this = copyOf;
    if (normalize) Normalize();
    return !IsState(State_Invalid);
}

bool LFSRef::Construct(const Data &in_data) {
    Clear();
    const UInt16 state = in_data.state;
    if (!VERIFY(state<=State_ExistsWithLatentPath)) return false;
    if (in_data.latent_path.length > 0) {
        LHFSUnicodeName unicodeName;
        if (!VERIFY(unicodeName.Construct(in_data.latent_path)) || !VERIFY(unicodeName.GetUnixPath(mLatentPath))) {
            Clear();
            return false;
        }
    }
    // The latent bit and the latent path go together.
    if (!VERIFY(((state & State_HasLatentPath) != 0) == !mLatentPath.empty())) {
        Clear();
        return false;
    }
    mFSRef = in_data.fsref;
    mState = state;
    return !IsState(State_Invalid);
}

bool LFSRef::FindExistingFolder(OSType location, short domain) {
    Clear();
    FSRef tempFolderRef;
    const OSErr err = FSFindFolder(domain, location, kDontCreateFolder, &tempFolderRef);
    if (!VERIFY(err==noErr)) return false;
    bool fOk;
    VERIFY(fOk = Construct(&tempFolderRef));
    return fOk;
}

// ----- queries -----

bool LFSRef::Normalize() {
    if (IsState(State_Invalid)) return false;
    if (IsState(State_Exists)) return bool_FSRef_IsValid(mFSRef);  // a vanished item is no error
    LHFSUnicodeName latent_path;
    if (!VERIFY((mLatentPath.length()>0) && latent_path.Construct(mLatentPath.c_str()))) return false;
    // The latent path may hold several names; the item is looked up by its whole path.
    std::string folder_path;
    if (!bool_FSRef_GetUnixPath(mFSRef, folder_path)) return false;
    FSRef normalizedRef;
    if (!bool_FSRef_ConstructFromPath(normalizedRef, JoinPath(folder_path, mLatentPath).c_str())) return false;
    bool fOk;
    VERIFY(fOk = Construct(&normalizedRef));
    return fOk;
}

bool LFSRef::GetNormalizedRef(FSRef &out_file_ref) const {
    std::memset(&out_file_ref, 0, sizeof out_file_ref);
    LFSRef theNormalizedRef(*this);
    if (!VERIFY(theNormalizedRef.Normalize() && theNormalizedRef.IsState(State_Exists))) return false;
    out_file_ref = theNormalizedRef.mFSRef;
    return true;
}

bool LFSRef::GetCatalogInfo(FSCatalogInfoBitmap whichInfo, FSCatalogInfo &out_info) const {
    std::memset(&out_info, 0, sizeof out_info);
    LFSRef normalized(*this);
    if (!normalized.Normalize() || !normalized.IsState(State_Exists)) return false;
    return FSGetCatalogInfo(&normalized.mFSRef, whichInfo, &out_info, nullptr, nullptr, nullptr) == noErr;
}

bool LFSRef::GetUnixPath(std::string &out_unix_path) const {
    out_unix_path.clear();
    if (IsState(State_Invalid)) return false;
    if (!VERIFY(HasState(State_Exists))) return false;
    std::string path_part;
    if (!VERIFY(bool_FSRef_GetUnixPath(mFSRef, path_part))) return false;
    out_unix_path = HasState(State_HasLatentPath) ? JoinPath(path_part, mLatentPath) : path_part;
    return true;
}

const char *LFSRef::GetUnixPath() const {
    thread_local std::string s_unix_path;
    if (!GetUnixPath(s_unix_path)) s_unix_path.clear();
    return s_unix_path.c_str();
}

bool LFSRef::GetUnixPath(LUnixPath &out_unix_path) const {
    out_unix_path.Empty();
    std::string s_unix_path;
    if (!VERIFY(GetUnixPath(s_unix_path))) return false;
    bool fOk;
    VERIFY(fOk=out_unix_path.Construct(s_unix_path.c_str()));
    return fOk;
}

bool LFSRef::GetJustName(std::string &out_name) const {
    out_name.clear();
    LUnixPath unix_path;
    return GetUnixPath(unix_path) && unix_path.GetJustName(out_name);
}

bool LFSRef::HasExtension(const char *in_extension) const {
    LUnixPath unix_path;
    return GetUnixPath(unix_path) && unix_path.HasExtension(in_extension);
}

bool LFSRef::FileExists() const {
    FSCatalogInfo info;
    return GetCatalogInfo(kFSCatInfoNodeFlags, info) && (info.nodeFlags & kFSNodeIsDirectoryMask) == 0;
}

bool LFSRef::IsFolder() const {
    FSCatalogInfo info;
    return GetCatalogInfo(kFSCatInfoNodeFlags, info) && (info.nodeFlags & kFSNodeIsDirectoryMask) != 0;
}

bool LFSRef::GetDateTimeCreated(UTCDateTime &out_date) const {
    std::memset(&out_date, 0, sizeof out_date);
    FSCatalogInfo info;
    if (!VERIFY(GetCatalogInfo(kFSCatInfoCreateDate, info))) return false;
    out_date = info.createDate;
    return true;
}

bool LFSRef::GetDateTimeModified(UTCDateTime &out_date) const {
    std::memset(&out_date, 0, sizeof out_date);
    FSCatalogInfo info;
    if (!VERIFY(GetCatalogInfo(kFSCatInfoContentMod, info))) return false;
    out_date = info.contentModDate;
    return true;
}

bool LFSRef::GetFileTypeCreator(OSType &out_type, OSType &out_creator) const {
    out_type = 0;
    out_creator = 0;
    if (!VERIFY(FileExists())) return false;
    FSCatalogInfo info;
    if (!VERIFY(GetCatalogInfo(kFSCatInfoFinderInfo, info))) return false;
    FileInfo finder_info;
    std::memcpy(&finder_info, info.finderInfo, sizeof finder_info);
    out_type = finder_info.fileType;
    out_creator = finder_info.fileCreator;
    return true;
}

bool LFSRef::SetFileTypeCreator(OSType in_filetype, OSType in_creator) {
    if (!VERIFY(FileExists())) return false;
    FSRef file_ref;
    if (!GetNormalizedRef(file_ref)) return false;
    FSCatalogInfo info;
    std::memset(&info, 0, sizeof info);
    if (!VERIFY(noErr==FSGetCatalogInfo(&file_ref, kFSCatInfoFinderInfo, &info, NULL, NULL, NULL))) return false;
    FileInfo finder_info;
    std::memcpy(&finder_info, info.finderInfo, sizeof finder_info);
    finder_info.fileType = in_filetype;
    finder_info.fileCreator = in_creator;
    std::memcpy(info.finderInfo, &finder_info, sizeof finder_info);
    return VERIFY(noErr==FSSetCatalogInfo(&file_ref, kFSCatInfoFinderInfo, &info));
}

// ----- changes -----

bool LFSRef::CreateFile(FSCatalogInfoBitmap whichInfo, const FSCatalogInfo *catalogInfo) {
    if (!VERIFY(HasState(State_Exists))) return false;
    if (!VERIFY(HasState(State_HasLatentPath))) return false;
    LHFSUnicodeName unicode_name;
    if (!VERIFY(IsOneName(mLatentPath.c_str()) && unicode_name.Construct(mLatentPath.c_str()))) return false;
    FSRef newFSRef;
    const OSErr err = FSCreateFileUnicode(&mFSRef, unicode_name.length, unicode_name.unicode, whichInfo, catalogInfo,
                                          &newFSRef, NULL);
    if (VERIFY_OSERR(err) != noErr) return false;
    bool fOk;
    VERIFY(fOk = Construct(&newFSRef));
    return fOk;
}

bool LFSRef::CreateFolder(FSCatalogInfoBitmap whichInfo, const FSCatalogInfo *catalogInfo) {
    if (!VERIFY(HasState(State_Exists))) return false;
    if (!VERIFY(HasState(State_HasLatentPath))) return false;
    LHFSUnicodeName unicode_name;
    if (!VERIFY(IsOneName(mLatentPath.c_str()) && unicode_name.Construct(mLatentPath.c_str()))) return false;
    FSRef newFSRef;
    const OSErr err = FSCreateDirectoryUnicode(&mFSRef, unicode_name.length, unicode_name.unicode, whichInfo,
                                               catalogInfo, &newFSRef, NULL, NULL);
    if (VERIFY_OSERR(err) != noErr) return false;
    bool fOk;
    VERIFY(fOk = Construct(&newFSRef));
    return fOk;
}

bool LFSRef::CreateFile(OSType in_filetype, OSType in_creator) {
    if (!VERIFY(!FileExists())) return false;
    FSCatalogInfo info;
    std::memset(&info, 0, sizeof info);
    FileInfo finder_info;
    std::memset(&finder_info, 0, sizeof finder_info);
    finder_info.fileType = in_filetype;
    finder_info.fileCreator = in_creator;
    std::memcpy(info.finderInfo, &finder_info, sizeof finder_info);
    if (!CreateFile(kFSCatInfoFinderInfo, &info)) return false;
    return SetFileTypeCreator(in_filetype, in_creator);
}

bool LFSRef::RecreateFile(OSType in_filetype, OSType in_creator) {
    if (FileExists()) {
        FSRef file_ref;
        if (!GetNormalizedRef(file_ref)) return false;
        if (!LFileFork::DeleteResourceFork(&file_ref)) return false;
        return SetFileTypeCreator(in_filetype, in_creator);
    }
    bool fOk;
    VERIFY(fOk = CreateFile(in_filetype,in_creator));
    return fOk;
}

bool LFSRef::Delete() {
    FSRef item_ref;
    if (!GetNormalizedRef(item_ref)) return false;
    return VERIFY_OSERR(FSDeleteObject(&item_ref)) == noErr;
}

bool LFSRef::DeleteFile() { return FileExists() && Delete(); }

bool LFSRef::DeleteFolder() { return IsFolder() && Delete(); }

bool LFSRef::FileDelete() {
    LFSRef latent_ref;
    if (!VERIFY(GetLatentRef(latent_ref))) return false;
    if (!DeleteFile()) return false;
    *this = latent_ref;
    return true;
}

bool LFSRef::RenameFile(const char *in_filename) {
    if (!VERIFY(Normalize() && IsState(State_Exists))) return false;
    LHFSUnicodeName unicode_name;
    if (!VERIFY(IsOneName(in_filename) && unicode_name.Construct(in_filename))) return false;
    FSRef newFileRef;
    if (!VERIFY(bool_FSRef_RenameUnicode(mFSRef, unicode_name, &newFileRef))) return false;
    return Construct(&newFileRef);
}

bool LFSRef::GetLatentPath(LUnixPath &out_latent_path) const {
    out_latent_path.Empty();
    bool fOk;
    if (!VERIFY(fOk = (mLatentPath.length()>0))) return false;
    return out_latent_path.Construct(mLatentPath.c_str());
}

bool LFSRef::LatentParts(FSRef &out_folder_ref, std::string &out_latent_path) const {
    LFSRef latent_ref;
    if (!GetLatentRef(latent_ref)) return false;
    out_folder_ref = latent_ref.mFSRef;
    out_latent_path = latent_ref.mLatentPath;
    return true;
}

bool LFSRef::GetLatentRef(LFSRef &out_latent_ref) const {
    out_latent_ref.Clear();
    if (IsState(State_Invalid)) return false;
    if (HasState(State_HasLatentPath)) {
        out_latent_ref = *this;
        return true;
    }
    // An existing item: its folder and its name, from its path (the root has neither).
    std::string item_path;
    if (!VERIFY(bool_FSRef_GetUnixPath(mFSRef, item_path))) return false;
    const std::size_t slash = item_path.rfind('/');
    if (slash == std::string::npos || slash + 1 >= item_path.size()) return false;
    FSRef parentRef;
    if (!VERIFY(bool_FSRef_ConstructFromPath(parentRef, slash == 0 ? "/" : item_path.substr(0, slash).c_str())))
        return false;
    return out_latent_ref.Construct(&parentRef, item_path.substr(slash + 1));
}

bool LFSRef::AddJustName(ConstStr255Param in_name, ConstStr255Param in_sub_name) {
    if (!VERIFY(mLatentPath.length()==0)) return false;
    if (!VERIFY((in_name!=0) && (in_name[0]>0))) return false;
    if (!VERIFY(HasState(State_Exists))) return false;
    std::string latent_path = PString(in_name);
    if (in_sub_name != nullptr && in_sub_name[0] > 0) latent_path += "/" + PString(in_sub_name);
    mLatentPath = latent_path;
    mState |= State_HasLatentPath;
    return true;
}

bool LFSRef::ReplaceJustName(const char *in_name) {
    if (!VERIFY(IsOneName(in_name))) return false;
    FSRef folder_ref;
    std::string latent_path;
    if (!VERIFY(LatentParts(folder_ref, latent_path))) return false;
    std::string new_latent_path;
    if (!LUnixPath::GetPathParent(latent_path, new_latent_path)) new_latent_path.clear();
    new_latent_path += in_name;
    return Construct(&folder_ref, new_latent_path);
}

bool LFSRef::ReplaceExtension(const char *in_extension) {
    if (!VERIFY(!IsFolder())) return false;
    FSRef folder_ref;
    std::string latent_path;
    if (!VERIFY(LatentParts(folder_ref, latent_path))) return false;
    if (!VERIFY(LUnixPath::ReplacePathExtension(latent_path, in_extension))) return false;
    return Construct(&folder_ref, latent_path);
}

bool LFSRef::AddExtension(const char *in_extension) {
    if (!VERIFY(!IsFolder())) return false;
    FSRef folder_ref;
    std::string latent_path;
    if (!VERIFY(LatentParts(folder_ref, latent_path))) return false;
    if (!VERIFY(LUnixPath::AddPathExtension(latent_path, in_extension))) return false;
    return Construct(&folder_ref, latent_path);
}

bool LFSRef::ReplaceFolder(const FSRef &in_folder_ref) {
    if (!VERIFY(bool_FSRef_IsFolder(in_folder_ref))) return false;
    FSRef folder_ref;
    std::string latent_path;
    if (!VERIFY(LatentParts(folder_ref, latent_path))) return false;
    return Construct(&in_folder_ref, latent_path);
}

bool LFSRef::MakeRefWithLatentPath() {
    LFSRef latent_ref;
    if (!VERIFY(GetLatentRef(latent_ref))) return false;
    *this = latent_ref;
    return true;
}

bool LFSRef::GetParentFolder(LFSRef &out_parent_folder) const {
    out_parent_folder.Clear();
    FSRef folder_ref;
    std::string latent_path;
    if (!LatentParts(folder_ref, latent_path)) return false;
    // A latent path of several names: the folder is the latent path's parent below it.
    std::string latent_parent;
    if (LUnixPath::GetPathParent(latent_path, latent_parent)) {
        LUnixPath::RemoveTrailingSlash(latent_parent);
        if (!out_parent_folder.Construct(&folder_ref, latent_parent)) return false;
        out_parent_folder.Normalize();
        return true;
    }
    return out_parent_folder.Construct(&folder_ref);
}

bool LFSRef::operator==(const LFSRef &rhs) const {
    LFSRef lhs_normalized(*this);
    LFSRef rhs_normalized(rhs);
    lhs_normalized.Normalize();
    rhs_normalized.Normalize();
    std::string lhs_path;
    std::string rhs_path;
    return lhs_normalized.GetUnixPath(lhs_path) && rhs_normalized.GetUnixPath(rhs_path) && lhs_path == rhs_path;
}

bool LFSRef::GetFileSpec(FSSpec &out_file_spec) const {
    std::memset(&out_file_spec, 0, sizeof out_file_spec);
    LFSRef normalized(*this);
    if (normalized.Normalize() && normalized.IsState(State_Exists))
        return VERIFY(noErr==FSGetCatalogInfo(&normalized.mFSRef, kFSCatInfoNone, NULL, NULL, &out_file_spec, NULL));

    // A latent item: its folder and its name.
    if (!HasLatentPath()) return false;
    if (!VERIFY(IsOneName(mLatentPath.c_str()) && mLatentPath.size()<=255)) return false;
    FSCatalogInfo info;
    std::memset(&info, 0, sizeof info);
    if (!VERIFY(noErr==FSGetCatalogInfo(&mFSRef, kFSCatInfoVolume | kFSCatInfoNodeID, &info, NULL, NULL, NULL)))
        return false;
    Str255 name;
    name[0] = static_cast<unsigned char>(mLatentPath.size());
    std::memcpy(name + 1, mLatentPath.data(), mLatentPath.size());
    FSSpec file_spec;
    const OSErr err = FSMakeFSSpec(info.volume, long(info.nodeID), name, &file_spec);
    if (!VERIFY(err==noErr || err==fnfErr)) return false;
    out_file_spec = file_spec;
    return true;
}

AliasHandle LFSRef::AsNewAliasHandle(const FSRef *fromFile) const {
    FSRef item_ref;
    if (!GetNormalizedRef(item_ref)) return nullptr;
    LAliasRef alias;
    if (!VERIFY(alias.Construct(item_ref, fromFile))) return nullptr;
    return alias.DetachAliasHandle();
}

bool LFSRef::ResolveAlias(AliasHandle inAlias, const FSRef *fromRoot, bool &wasChanged) {
    wasChanged = false;
    if (!VERIFY(inAlias)) return false;
    FSRef resolved_ref;
    Boolean changed = false;
    if (VERIFY_OSERR(::FSResolveAlias(fromRoot, inAlias, &resolved_ref, &changed)) != noErr) return false;
    wasChanged = changed != 0;
    return Construct(&resolved_ref);
}

std::FILE *LFSRef::fopen(const char *in_mode) const {
    std::string unix_path;
    if (!VERIFY(in_mode!=NULL) || !GetUnixPath(unix_path)) return nullptr;
    return std::fopen(unix_path.c_str(), in_mode);
}

bool LFSRef::chdir() const {
    if (!VERIFY(IsFolder())) return false;
    std::string unix_path;
    if (!GetUnixPath(unix_path)) return false;
    bool fOk;
    VERIFY(fOk = (0==::chdir(unix_path.c_str())));
    return fOk;
}

bool LFSRef::GetData(Data &out_data) const {
    std::memset(&out_data, 0, sizeof out_data);
    if (!mLatentPath.empty()) {
        LHFSUnicodeName unicodeName;
        if (!VERIFY(unicodeName.Construct(mLatentPath.c_str()))) return false;
        std::memcpy(&out_data.latent_path, static_cast<const HFSUniStr255 *>(&unicodeName), sizeof(HFSUniStr255));
    }
    out_data.fsref = mFSRef;
    out_data.state = mState;
    return true;
}

void LFSRef::Trace(const char *in_label) const {
    std::string ref_path;
    if (!bool_FSRef_GetUnixPath(mFSRef, ref_path)) ref_path = "(no item)";
    std::string ref_bytes;
    static const char kHex[] = "0123456789abcdef";
    const UInt8 *bytes = reinterpret_cast<const UInt8 *>(&mFSRef);
    for (std::size_t i = 0; i < sizeof mFSRef; ++i) {
        ref_bytes += kHex[bytes[i] >> 4];
        ref_bytes += kHex[bytes[i] & 15];
    }
    CoreMachDebugLog("%s\n LFSRef contents = { mState:%s\nmLatentPath:%s\nmFSRef:%s\nmFSRef:%s \n}\n",
                     in_label != nullptr ? in_label : "", StateText(mState),
                     mLatentPath.empty() ? "(empty)" : mLatentPath.c_str(), ref_path.c_str(), ref_bytes.c_str());
}
