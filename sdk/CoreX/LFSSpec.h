// LFSSpec: the classic FSSpec (volume, folder id, name of up to 63 bytes) with
// member operations.
//
// An FSSpec names a place: it need not name an existing item (a name that may be
// created in an existing folder). The empty FSSpec (all zero) names nothing.
// Failed calls are reported through the debug log and answered as false.
#pragma once

#include <string>

#include <Carbon/Carbon.h>

class LFSSpec : public FSSpec {
public:
    LFSSpec();
    explicit LFSSpec(const FSRef &in_file_ref);
    // A standard folder that exists (never created).
    LFSSpec(OSType folderType, short domain);
    LFSSpec(const FSSpec &copyOf);
    LFSSpec(const LFSSpec &copyOf);
    LFSSpec &operator=(const FSSpec &copyOf);
    LFSSpec &operator=(const LFSSpec &copyOf);

    bool Construct(const FSSpec &copyOf);
    bool Construct(const FSRef &in_file_ref);
    bool Construct(OSType folderType, short domain);

    bool IsEmpty() const;
    bool Exists() const;
    bool IsFolder() const;
    // Copies a length-prefixed name into the name field: at most 63 characters.
    void SetName(ConstStr255Param in_name);

    bool GetFileRef(FSRef &out_file_ref) const;
    // The folder the FSSpec is in; the root folder of a volume has none.
    bool GetParentFolder(LFSSpec &out_folder) const;
    bool GetParentFolderRef(FSRef &out_folder_ref) const;
    // The folder id of an FSSpec that names a folder.
    bool GetFolderID(long &out_folder_id) const;
    // The same name in another folder.
    bool ReplaceFolder(const LFSSpec &in_folder);

    // A new empty file `in_name` (UTF-8) in the folder this FSSpec names.
    bool CreateFile(const char *in_name, LFSSpec &out_new_file) const;
    // The resource file of the file, opened for reading and writing; the file (with type and
    // creator) and its resource fork are created when missing. -1 on failure.
    ResFileRefNum CreateFileWithResFork(OSType creator, OSType fileType) const;
    bool GetFInfo(FInfo &out_info) const;
    bool SetFInfo(const FInfo &in_info) const;
    // Renames the item; the FSSpec follows it.
    bool Rename(ConstStr255Param in_new_name);
    // Writes what the system caches for the volume to its disk.
    bool FlushVolume() const;

    // A new alias of the existing item (relative to fromFile when given); the caller
    // disposes it. Null on failure.
    AliasHandle AsNewAliasHandle(const FSSpec *fromFile = nullptr) const;
    // The FSSpec becomes the item the alias resolves to.
    bool ResolveAlias(AliasHandle inAlias, bool &wasChanged);

    // The POSIX path of the folder the FSSpec is in, ending in "/": its folders
    // from the catalogue, up to the volume's root, on the volume's mount point.
    bool GetFullPath_unix(std::string &out_unix_path) const;
    // The folder's path and the name.
    bool GetUnixPath(std::string &out_unix_path) const;

    void Trace(const char *in_label) const;
};

bool import_LFSSpec();
