#include <CoreX/LFSSpec.h>

#include <cstring>

#include <CoreX/CoreException.h>
#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/LAlias.h>
#include <CoreX/LFSRefFunctions.h>
#include <CoreX/LHFSUnicodeName.h>

bool import_LFSSpec() {
    return import_CoreMachDebugLog() && import_CoreException() && import_LAlias() && import_LFSRefFunctions() &&
           import_LHFSUnicodeName();
}

namespace {

// Folders walked up from an FSSpec before the walk gives up (a path of PATH_MAX
// bytes has fewer).
enum : int { kMaxFolderDepth = 4096 };

// The characters of a length-prefixed name up to its first NUL (the short form of a long
// name).
std::string NameText(ConstStr255Param name, std::size_t field) {
    const std::size_t length = name[0] < field ? name[0] : field;
    const char *characters = reinterpret_cast<const char *>(name + 1);
    return std::string(characters, ::strnlen(characters, length));
}

// A name field holding the long-name form (its first bytes, a NUL and an id).
bool IsLongNameForm(const FSSpec &fileSpec) {
    const std::size_t length = fileSpec.name[0] < sizeof fileSpec.name - 1 ? fileSpec.name[0] : sizeof fileSpec.name - 1;
    return std::memchr(fileSpec.name + 1, 0, length) != nullptr;
}

}  // namespace

// ----- construction -----

LFSSpec::LFSSpec() : FSSpec() { std::memset(static_cast<FSSpec *>(this), 0, sizeof(FSSpec)); }

LFSSpec::LFSSpec(const FSRef &in_file_ref) : LFSSpec() { VERIFY(Construct(in_file_ref)); }

LFSSpec::LFSSpec(OSType folderType, short domain) : LFSSpec() { VERIFY(Construct(folderType, domain)); }

LFSSpec::LFSSpec(const FSSpec &copyOf) : LFSSpec() { Construct(copyOf); }

LFSSpec::LFSSpec(const LFSSpec &copyOf) : FSSpec() { Construct(copyOf); }

LFSSpec &LFSSpec::operator=(const FSSpec &copyOf) {
    VERIFY(Construct(copyOf));
    return *this;
}

LFSSpec &LFSSpec::operator=(const LFSSpec &copyOf) {
    VERIFY(Construct(copyOf));
    return *this;
}

bool LFSSpec::Construct(const FSSpec &copyOf) {
    if (&copyOf != static_cast<const FSSpec *>(this)) std::memcpy(static_cast<FSSpec *>(this), &copyOf, sizeof(FSSpec));
    return true;
}

bool LFSSpec::Construct(const FSRef &in_file_ref) {
    FSSpec file_spec;
    OSErr err;
    if (!VERIFY((err = FSGetCatalogInfo(&in_file_ref, kFSCatInfoNone, NULL, NULL, &file_spec, NULL))==noErr)) {
        std::memset(static_cast<FSSpec *>(this), 0, sizeof(FSSpec));
        return false;
    }
    return Construct(file_spec);
}

bool LFSSpec::Construct(OSType folderType, short domain) {
    FSRef folder_ref;
    const OSErr err = FSFindFolder(domain, folderType, kDontCreateFolder, &folder_ref);
    if (!VERIFY(err==noErr)) {
        std::memset(static_cast<FSSpec *>(this), 0, sizeof(FSSpec));
        return false;
    }
    return Construct(folder_ref);
}

// ----- queries -----

bool LFSSpec::IsEmpty() const { return vRefNum == 0 && parID == 0 && name[0] == 0; }

bool LFSSpec::Exists() const {
    FSRef file_ref;
    return !IsEmpty() && FSpMakeFSRef(this, &file_ref) == noErr;
}

bool LFSSpec::IsFolder() const {
    FSRef file_ref;
    return !IsEmpty() && FSpMakeFSRef(this, &file_ref) == noErr && bool_FSRef_IsFolder(file_ref);
}

void LFSSpec::SetName(ConstStr255Param in_name) {
    std::memset(name, 0, sizeof name);
    if (in_name == nullptr) return;
    const std::size_t length = in_name[0] < sizeof name - 1 ? in_name[0] : sizeof name - 1;
    name[0] = static_cast<unsigned char>(length);
    std::memcpy(name + 1, in_name + 1, length);
}

bool LFSSpec::GetFileRef(FSRef &out_file_ref) const {
    OSErr err;
    return VERIFY(noErr==(err=::FSpMakeFSRef(this,&out_file_ref)));
}

bool LFSSpec::GetParentFolder(LFSSpec &out_folder) const {
    if (!VERIFY(!IsEmpty() && parID!=fsRtParID)) return false;
    FSRef folder_ref;
    if (!VERIFY(bool_FSRef_ConstructVolumeFolderName(folder_ref, vRefNum, parID))) return false;
    return out_folder.Construct(folder_ref);
}

bool LFSSpec::GetParentFolderRef(FSRef &out_folder_ref) const {
    LFSSpec folder;
    return GetParentFolder(folder) && folder.GetFileRef(out_folder_ref);
}

bool LFSSpec::GetFolderID(long &out_folder_id) const {
    out_folder_id = 0;
    FSRef folder_ref;
    if (!VERIFY(GetFileRef(folder_ref))) return false;
    FSCatalogInfo info;
    std::memset(&info, 0, sizeof info);
    OSErr err;
    if (!VERIFY((err = FSGetCatalogInfo(&folder_ref, kFSCatInfoNodeFlags | kFSCatInfoNodeID, &info, NULL, NULL,
                                        NULL))==noErr))
        return false;
    if (!VERIFY((info.nodeFlags & kFSNodeIsDirectoryMask) != 0)) return false;
    out_folder_id = info.nodeID;
    return true;
}

bool LFSSpec::ReplaceFolder(const LFSSpec &in_folder) {
    long folder_id = 0;
    if (!VERIFY(in_folder.GetFolderID(folder_id))) return false;
    FSSpec moved;
    const OSErr err = FSMakeFSSpec(in_folder.vRefNum, folder_id, name, &moved);
    if (!VERIFY(err==noErr || err==fnfErr)) return false;
    return Construct(moved);
}

// ----- changes -----

bool LFSSpec::CreateFile(const char *in_name, LFSSpec &out_new_file) const {
    const LFSSpec &folderSpec = *this;
    FSRef parentRef;
    if (!VERIFY(folderSpec.IsFolder() && folderSpec.GetFileRef(parentRef))) return false;
    LHFSUnicodeName unicode_name;
    if (!VERIFY(in_name && unicode_name.Construct(in_name))) return false;
    FSSpec new_spec;
    OSErr err;
    if (!VERIFY((err = FSCreateFileUnicode(&parentRef, unicode_name.length, unicode_name.unicode, kFSCatInfoNone, NULL,
                                           NULL, &new_spec))==noErr))
        return false;
    return out_new_file.Construct(new_spec);
}

ResFileRefNum LFSSpec::CreateFileWithResFork(OSType creator, OSType fileType) const {
    if (!VERIFY(!IsEmpty())) return -1;
    ResFileRefNum resFile = FSpOpenResFile(this, fsRdWrPerm);
    if (resFile == -1) {
        // No resource fork (or no file): make them, then open.
        if (!Exists()) FSpCreate(this, creator, fileType, smSystemScript);
        FSpCreateResFile(this, creator, fileType, smSystemScript);
        resFile = FSpOpenResFile(this, fsRdWrPerm);
    }
    VERIFY((resFile!=-1));
    return resFile;
}

bool LFSSpec::GetFInfo(FInfo &out_info) const {
    std::memset(&out_info, 0, sizeof out_info);
    OSErr err;
    return VERIFY((err = FSpGetFInfo(this, &out_info))==noErr);
}

bool LFSSpec::SetFInfo(const FInfo &in_info) const {
    OSErr err;
    return VERIFY((err = FSpSetFInfo(this, &in_info))==noErr);
}

bool LFSSpec::Rename(ConstStr255Param in_new_name) {
    OSErr err;
    if (!VERIFY(in_new_name && (err = FSpRename(this, in_new_name))==noErr)) return false;
    FSSpec renamed;
    if (!VERIFY((err = FSMakeFSSpec(vRefNum, parID, in_new_name, &renamed))==noErr)) return false;
    return Construct(renamed);
}

bool LFSSpec::FlushVolume() const {
    OSErr err;
    return VERIFY((err = FlushVol(NULL, vRefNum))==noErr);
}

AliasHandle LFSSpec::AsNewAliasHandle(const FSSpec *fromFile) const {
    if (!VERIFY(!IsEmpty() && Exists())) return nullptr;
    LAliasSpec alias;
    if (!alias.Construct(this, fromFile)) return nullptr;
    return alias.DetachAliasHandle();
}

bool LFSSpec::ResolveAlias(AliasHandle inAlias, bool &wasChanged) {
    wasChanged = false;
    if (!VERIFY(inAlias)) return false;
    FSSpec resolved;
    Boolean changed = false;
    OSErr theErr;
    if (!VERIFY((theErr = ::ResolveAlias(NULL, inAlias, &resolved, &changed))==noErr)) return false;
    wasChanged = changed != 0;
    return Construct(resolved);
}

// ----- paths -----

bool LFSSpec::GetFullPath_unix(std::string &out_unix_path) const {
    out_unix_path.clear();
    if (!VERIFY(!IsEmpty())) return false;
    // The folders from the FSSpec's folder up to (not including) the volume root,
    // whose mount point stands where the Mac wrote "/Volumes/" and the volume's name.
    std::string folders;
    bool fOk = true;
    try {
        if (parID == fsRtParID) throw CoreException("OSErr: %d", int(dirNFErr));  // the root folder itself
        long folder_id = parID;
        for (int depth = 0; folder_id != fsRtDirID; ++depth) {
            if (depth >= kMaxFolderDepth) throw CoreException("OSErr: %d", int(dirNFErr));
            Str255 folder_name;
            folder_name[0] = 0;
            CInfoPBRec pb;
            std::memset(&pb, 0, sizeof pb);
            pb.dirInfo.ioNamePtr = folder_name;
            pb.dirInfo.ioVRefNum = vRefNum;
            pb.dirInfo.ioFDirIndex = -1;
            pb.dirInfo.ioDrDirID = folder_id;
            const OSErr err = PBGetCatInfoSync(&pb);
            if (err != noErr) throw CoreException("OSErr: %d", int(err));
            folders.insert(0, NameText(folder_name, sizeof folder_name - 1) + "/");
            folder_id = pb.dirInfo.ioDrParID;
        }
    } catch (const CoreException &exception) {
        CoreMachDebugLog("LFSSpec::GetFullPath_unix %s\n", exception.what());
        fOk = false;
    }
    std::string mount_point;
    if (!VERIFY(lumora::carbon::VolumeMountPoint(vRefNum, mount_point)==noErr)) fOk = false;
    if (mount_point.empty() || mount_point.back() != '/') mount_point += '/';
    out_unix_path = mount_point + folders;
    return fOk;
}

bool LFSSpec::GetUnixPath(std::string &out_unix_path) const {
    out_unix_path.clear();
    if (!VERIFY(!IsEmpty())) return false;
    if (parID == fsRtParID) {
        // The root folder of a volume.
        return VERIFY(lumora::carbon::VolumeMountPoint(vRefNum, out_unix_path)==noErr);
    }
    if (IsLongNameForm(*this)) {
        // The full name is known only through the item itself.
        FSRef file_ref;
        if (!VERIFY(GetFileRef(file_ref))) return false;
        return VERIFY(bool_FSRef_GetUnixPath(file_ref, out_unix_path));
    }
    std::string unix_path;
    bool fOk;
    VERIFY(fOk=GetFullPath_unix(unix_path));
    if (!fOk) return false;
    if (unix_path.empty() || unix_path.back() != '/') unix_path += '/';
    out_unix_path = unix_path + NameText(name, sizeof name - 1);
    return true;
}

void LFSSpec::Trace(const char *in_label) const {
    std::string unix_path;
    GetUnixPath(unix_path);
    CoreMachDebugLog("LFSSpec::Trace (%s) vRefNum:%d parID:%ld name:'%s'\nPATH:'%s'\n", in_label ? in_label : "",
                     int(vRefNum), parID, NameText(name, sizeof name - 1).c_str(), unix_path.c_str());
}
