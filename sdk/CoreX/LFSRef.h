// LFSRef: a file reference with a state and a latent path.
//
// The latent path is this layer's own idea: a reference to an existing folder plus the
// relative UTF-8 path of an item below it that need not exist yet. States:
//   State_Invalid               nothing (zero reference, no latent path)
//   State_Exists                the reference names an existing item
//   State_ExistsWithLatentPath  the reference names an existing folder; the item is the
//                               latent path below it
// Normalising turns a latent reference whose item now exists into State_Exists. Queries
// about the item (FileExists, IsFolder, dates, Finder information, Delete) work on a
// normalised copy and leave the object as it is.
//
// Nothing throws; failed checks are reported through the debug log and answered as false
// (or null). An object whose construction failed is invalid. An object belongs to one
// thread at a time; GetUnixPath() returning a C string uses a buffer of the calling thread.
#pragma once

#include <cstdio>
#include <string>

#include <Carbon/Carbon.h>

class LUnixPath;

// The flat form of an LFSRef (594 bytes; a plain copy duplicates it).
struct LFSRefData {
    FSRef fsref;               // offset 0
    HFSUniStr255 latent_path;  // offset 80: empty when there is no latent path
    UInt16 state;              // offset 592
};
static_assert(sizeof(LFSRefData) == 594, "the LFSRef data record is 594 bytes");

class LFSRef {
public:
    enum : UInt16 {
        State_Invalid = 0,
        State_Exists = 1,
        State_HasLatentPath = 2,
        State_ExistsWithLatentPath = 3,
    };
    typedef LFSRefData Data;

    LFSRef();
    LFSRef(const LFSRef &copyOf) = default;
    LFSRef &operator=(const LFSRef &copyOf) = default;
    virtual ~LFSRef();

    // ----- construction (each form first makes the object invalid) -----
    // An existing item.
    bool Construct(const FSRef *theFileRef);
    // The item `in_name` (a relative path) below an existing folder. An empty name gives
    // the folder itself.
    bool Construct(const FSRef *parentRef, const char *in_name);
    bool Construct(const FSRef *parentRef, const std::string &in_name);
    bool Construct(const FSRef *parentRef, const HFSUniStr255 &unicode_subpath);
    // The deepest existing folder on the way of the path with the rest as latent path
    // (the full path itself is not resolved: /a/b/c gives /a/b/ and "c").
    bool Construct(const char *in_unix_path);
    bool Construct_cwd();
    // The item a classic FSSpec names: an existing item, or its folder plus its
    // name. With in_name (a length-prefixed name), in_name below the folder the
    // FSSpec names (or stands in).
    bool Construct(const FSSpec &in_file_spec, ConstStr255Param in_name = nullptr);
    bool Construct(const LFSRef &copyOf, bool normalize);
    bool Construct(const Data &in_data);
    // A standard folder that already exists.
    bool FindExistingFolder(OSType location, short domain);

    // ----- state -----
    bool HasState(UInt16 bits) const { return (mState & bits) == bits; }
    bool IsState(UInt16 state) const { return mState == state; }
    UInt16 GetState() const { return mState; }
    // The reference (of the item, or of the folder of a latent path).
    const FSRef &GetFSRef() const { return mFSRef; }

    // ----- queries -----
    bool Normalize();
    bool GetNormalizedRef(FSRef &out_file_ref) const;
    // The item's path: the folder's path, "/" and the latent path when there is one.
    bool GetUnixPath(std::string &out_unix_path) const;
    // The same in the calling thread's buffer, valid until its next call ("" on failure).
    const char *GetUnixPath() const;
    bool GetUnixPath(LUnixPath &out_unix_path) const;
    bool GetJustName(std::string &out_name) const;
    bool HasExtension(const char *in_extension) const;
    bool FileExists() const;
    bool IsFolder() const;
    bool GetDateTimeCreated(UTCDateTime &out_date) const;
    bool GetDateTimeModified(UTCDateTime &out_date) const;
    bool GetFileTypeCreator(OSType &out_type, OSType &out_creator) const;
    bool SetFileTypeCreator(OSType in_filetype, OSType in_creator);

    // ----- changes -----
    // Create the latent item in its folder; the object then names it (State_Exists).
    bool CreateFile(FSCatalogInfoBitmap whichInfo = kFSCatInfoNone, const FSCatalogInfo *catalogInfo = nullptr);
    bool CreateFolder(FSCatalogInfoBitmap whichInfo = kFSCatInfoNone, const FSCatalogInfo *catalogInfo = nullptr);
    // A new file with this type and creator; refuses an existing file.
    bool CreateFile(OSType in_filetype, OSType in_creator);
    // An existing file keeps its data but loses its resource fork and gets the new type
    // and creator; a missing file is created.
    bool RecreateFile(OSType in_filetype, OSType in_creator);
    bool Delete();
    bool DeleteFile();
    bool DeleteFolder();
    // Deletes the file; the object becomes the latent reference of the same path.
    bool FileDelete();
    // Renames the item (one name) and follows it.
    bool RenameFile(const char *in_filename);

    bool HasLatentPath() const { return HasState(State_HasLatentPath) && !mLatentPath.empty(); }
    bool GetLatentPath(LUnixPath &out_latent_path) const;
    // The item as its folder plus latent name, also for an existing item.
    bool GetLatentRef(LFSRef &out_latent_ref) const;
    // For a reference without latent path: in_name (and "/" in_sub_name) below it.
    bool AddJustName(ConstStr255Param in_name, ConstStr255Param in_sub_name = nullptr);
    // Rebuild the object from its latent form with another last name, extension or folder.
    bool ReplaceJustName(const char *in_name);
    bool ReplaceExtension(const char *in_extension);
    bool AddExtension(const char *in_extension);
    bool ReplaceFolder(const FSRef &in_folder_ref);
    // Turns the object into its latent form (folder plus name).
    bool MakeRefWithLatentPath();
    // The folder the item is in.
    bool GetParentFolder(LFSRef &out_parent_folder) const;

    // Normalised copies of both give equal paths.
    bool operator==(const LFSRef &rhs) const;
    bool operator!=(const LFSRef &rhs) const { return !(*this == rhs); }

    bool GetFileSpec(FSSpec &out_file_spec) const;
    // A new alias of the existing item (relative to fromFile when given); the caller
    // disposes it. Null on failure.
    AliasHandle AsNewAliasHandle(const FSRef *fromFile = nullptr) const;
    // The object becomes the item the alias resolves to.
    bool ResolveAlias(AliasHandle inAlias, const FSRef *fromRoot, bool &wasChanged);

    std::FILE *fopen(const char *in_mode) const;
    // For a folder: changes the current directory to it.
    bool chdir() const;

    bool GetData(Data &out_data) const;
    void Trace(const char *in_label) const;

private:
    void Clear();
    // The folder and latent path of the item, as a copy.
    bool LatentParts(FSRef &out_folder_ref, std::string &out_latent_path) const;
    bool GetCatalogInfo(FSCatalogInfoBitmap whichInfo, FSCatalogInfo &out_info) const;

    UInt16 mState;
    FSRef mFSRef;
    std::string mLatentPath;
};

bool import_LFSRef();
