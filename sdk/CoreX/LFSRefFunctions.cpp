#include <CoreX/LFSRefFunctions.h>

#include <climits>
#include <cstring>
#include <vector>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/LHFSUnicodeName.h>
#include <CoreX/LUnixPath.h>

bool import_LFSRefFunctions() { return import_CoreMachDebugLog() && import_LHFSUnicodeName() && import_LUnixPath(); }

bool bool_FSRef_IsValid(const FSRef &fileRef) {
    return FSGetCatalogInfo(&fileRef, kFSCatInfoNone, nullptr, nullptr, nullptr, nullptr) == noErr;
}

bool bool_FSRef_ConstructFromPath(FSRef &out_file_ref, const char *in_unix_path, bool *out_is_directory) {
    std::memset(&out_file_ref, 0, sizeof out_file_ref);
    if (out_is_directory != nullptr) *out_is_directory = false;
    if (in_unix_path == nullptr || in_unix_path[0] == 0) return false;
    Boolean isDirectory = false;
    FSRef file_ref;
    if (FSPathMakeRef(reinterpret_cast<const UInt8 *>(in_unix_path), &file_ref, &isDirectory) != noErr) return false;
    out_file_ref = file_ref;
    if (out_is_directory != nullptr) *out_is_directory = isDirectory != 0;
    return true;
}

bool bool_FSRef_GetUnixPath(const FSRef &fileRef, char *out_unix_path, std::size_t buffer_size) {
    if (out_unix_path == nullptr || buffer_size == 0) return false;
    out_unix_path[0] = 0;
    if (buffer_size > UINT32_MAX) buffer_size = UINT32_MAX;
    const OSStatus status = FSRefMakePath(&fileRef, reinterpret_cast<UInt8 *>(out_unix_path), UInt32(buffer_size));
    if (status != noErr) out_unix_path[0] = 0;
    return status == noErr;
}

bool bool_FSRef_GetUnixPath(const FSRef &fileRef, std::string &out_unix_path) {
    out_unix_path.clear();
    std::vector<char> path_buffer(PATH_MAX, 0);
    if (!bool_FSRef_GetUnixPath(fileRef, path_buffer.data(), path_buffer.size())) return false;
    out_unix_path.assign(path_buffer.data());
    return true;
}

bool bool_FSRef_IsFolder(const FSRef &fileRef) {
    FSCatalogInfo info;
    std::memset(&info, 0, sizeof info);
    return FSGetCatalogInfo(&fileRef, kFSCatInfoNodeFlags, &info, nullptr, nullptr, nullptr) == noErr &&
           (info.nodeFlags & kFSNodeIsDirectoryMask) != 0;
}

bool bool_FSRef_MakeLatentFromPath(const char *in_unix_path, FSRef &out_folder_ref, std::string &out_latent_path) {
    std::memset(&out_folder_ref, 0, sizeof out_folder_ref);
    out_latent_path.clear();
    if (!VERIFY(in_unix_path!=NULL)) return false;
    const LUnixPath unix_path(in_unix_path);
    if (unix_path.IsEmpty()) return false;

    // The deepest base that resolves wins, with the name part that follows it.
    FSRef found_ref;
    std::string found_latent_path;
    bool found = false;
    bool out_is_directory = false;
    std::string base;
    std::string name;
    for (bool more = unix_path.GetFirstPair(base, name); more; more = unix_path.GetNextPair(base, name)) {
        FSRef base_ref;
        bool is_directory = false;
        if (!bool_FSRef_ConstructFromPath(base_ref, base.c_str(), &is_directory)) continue;
        found_ref = base_ref;
        found_latent_path = name;
        out_is_directory = is_directory;
        found = true;
    }
    if (!found) return false;
    if (!VERIFY(out_is_directory)) return false;
    out_folder_ref = found_ref;
    out_latent_path = found_latent_path;
    return true;
}

bool bool_FSRef_RenameUnicode(const FSRef &fileRef, const HFSUniStr255 &in_name, FSRef *newFileRef) {
    FSRef renamed;
    const OSErr err = FSRenameUnicode(&fileRef, in_name.length, in_name.unicode, kTextEncodingUnicodeDefault, &renamed);
    if (err != noErr) return false;
    if (newFileRef != nullptr) *newFileRef = renamed;
    return true;
}

bool bool_FSSpec_MakeFSRef(const FSSpec &in_file_spec, FSRef &out_file_ref) {
    return FSpMakeFSRef(&in_file_spec, &out_file_ref) == noErr;
}

bool bool_FSSpec_GetVolumeFolderID(const FSSpec &in_file_spec, FSVolumeRefNum &out_volume_id, long &out_folder_id,
                                   bool *out_is_folder) {
    if (out_is_folder != nullptr) *out_is_folder = false;
    FSRef item_ref;
    const OSErr err = FSpMakeFSRef(&in_file_spec, &item_ref);
    if (err == noErr) {
        FSCatalogInfo info;
        std::memset(&info, 0, sizeof info);
        if (FSGetCatalogInfo(&item_ref, kFSCatInfoNodeFlags | kFSCatInfoVolume | kFSCatInfoNodeID, &info, nullptr,
                             nullptr, nullptr) != noErr)
            return false;
        if ((info.nodeFlags & kFSNodeIsDirectoryMask) != 0) {
            out_volume_id = info.volume;
            out_folder_id = long(info.nodeID);
            if (out_is_folder != nullptr) *out_is_folder = true;
            return true;
        }
    } else if (err != fnfErr) {
        return false;
    }
    // A file, or nothing of that name: the FSSpec's folder.
    out_volume_id = in_file_spec.vRefNum;
    out_folder_id = in_file_spec.parID;
    return true;
}

bool bool_FSRef_ConstructVolumeFolderName(FSRef &out_file_ref, FSVolumeRefNum volume_id, long folder_id) {
    std::memset(&out_file_ref, 0, sizeof out_file_ref);
    FSRefParam pb;
    std::memset(&pb, 0, sizeof pb);
    FSRef folder_ref;
    pb.ioVRefNum = volume_id;
    pb.ioDirID = folder_id;
    pb.ioNamePtr = nullptr;
    pb.newRef = &folder_ref;
    if (PBMakeFSRefSync(&pb) != noErr) return false;
    if (!bool_FSRef_IsFolder(folder_ref)) return false;
    out_file_ref = folder_ref;
    return true;
}

OSErr FSRef_ConstructFromParentAndRelativeName(FSRef &out_Ref, const FSRef *parent, const HFSUniStr255 &relative) {
    std::memset(&out_Ref, 0, sizeof out_Ref);
    if (parent == nullptr) return paramErr;
    FSRef found;
    const OSErr result = FSMakeFSRefUnicode(parent, relative.length, relative.unicode, kTextEncodingUnicodeDefault, &found);
    if (result == noErr) out_Ref = found;
    return result;
}

bool FSRef_ConstructFromParentAndRelativeName(FSRef &out_Ref, const FSRef *parent, const char *relative_path) {
    std::memset(&out_Ref, 0, sizeof out_Ref);
    if (parent == nullptr || relative_path == nullptr) return false;
    LHFSUnicodeName relative;
    if (!VERIFY(relative_path && relative.Construct(relative_path))) return false;
    OSErr result;
    return VERIFY(noErr==(result = FSRef_ConstructFromParentAndRelativeName(out_Ref, parent, relative)));
}
