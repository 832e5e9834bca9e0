// The reference functions of the Carbon file layer: thin wrappers of File Manager calls
// answering bool, shared by LFSRef, LFSSpec, the alias classes and the numbered-file and
// user-folder classes. They report nothing unless said; their callers check them.
#pragma once

#include <cstddef>
#include <string>

#include <Carbon/Carbon.h>

// The reference names an item that still exists (FSGetCatalogInfo succeeds). No report.
bool bool_FSRef_IsValid(const FSRef &fileRef);

// The existing item at a path (symbolic links followed); *out_is_directory tells a folder.
// No report: a missing item is an ordinary answer.
bool bool_FSRef_ConstructFromPath(FSRef &out_file_ref, const char *in_unix_path,
                                  bool *out_is_directory = nullptr);

// The item's absolute POSIX path; false for a reference that is not valid or a path that
// does not fit (PATH_MAX bytes, or buffer_size with its terminator; the buffer then holds
// ""). No report: callers report.
bool bool_FSRef_GetUnixPath(const FSRef &fileRef, std::string &out_unix_path);
bool bool_FSRef_GetUnixPath(const FSRef &fileRef, char *out_unix_path, std::size_t buffer_size);

// Folder and name: whether the item is a folder (no report).
bool bool_FSRef_IsFolder(const FSRef &fileRef);

// The deepest existing folder on the way of a path and the rest of the path below it, by
// walking the path's folder levels; the full path itself is never resolved, so /a/b/c
// gives the folder /a/b/ and "c" even when c exists. False when no level resolves or the
// deepest one is not a folder (reported: "out_is_directory").
bool bool_FSRef_MakeLatentFromPath(const char *in_unix_path, FSRef &out_folder_ref, std::string &out_latent_path);

// Renames the item in its folder; *newFileRef (when not null) names it afterwards.
bool bool_FSRef_RenameUnicode(const FSRef &fileRef, const HFSUniStr255 &in_name, FSRef *newFileRef);

bool bool_FSSpec_MakeFSRef(const FSSpec &in_file_spec, FSRef &out_file_ref);

// The volume and the folder an FSSpec stands in: the named item itself when it is
// an existing folder (*out_is_folder true), else the FSSpec's parent folder.
bool bool_FSSpec_GetVolumeFolderID(const FSSpec &in_file_spec, FSVolumeRefNum &out_volume_id, long &out_folder_id,
                                   bool *out_is_folder);

// The folder `folder_id` of the volume.
bool bool_FSRef_ConstructVolumeFolderName(FSRef &out_file_ref, FSVolumeRefNum volume_id, long folder_id);

// The item `relative` (one name) in the folder `parent`: FSMakeFSRefUnicode's status.
OSErr FSRef_ConstructFromParentAndRelativeName(FSRef &out_Ref, const FSRef *parent, const HFSUniStr255 &relative);
// The same from UTF-8; false for a null parent or name, a name that makes no HFS name, or
// an item that does not exist (reported).
bool FSRef_ConstructFromParentAndRelativeName(FSRef &out_Ref, const FSRef *parent, const char *relative_path);

bool import_LFSRefFunctions();
