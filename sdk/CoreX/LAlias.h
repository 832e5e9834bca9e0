// Alias records: LAliasBase owns an alias handle (made here, adopted, or read from an 'alis'
// resource of the current resource file); LAliasRef resolves it to a file reference and
// LAliasSpec to a classic FSSpec.
//
// An alias still resolves after its item was renamed or moved within its volume. Failed
// calls are reported through the debug log and answered as false (or the error code).
#pragma once

#include <string>

#include <Carbon/Carbon.h>

class TCFString;

class LAliasBase {
public:
    enum : ResType { kAliasResourceType = MakeFourCharCode("alis") };

    LAliasBase() = default;
    virtual ~LAliasBase();
    LAliasBase(const LAliasBase &) = delete;
    LAliasBase &operator=(const LAliasBase &) = delete;

    // The 'alis' resource of that id in the current resource file (Get1Resource).
    bool Construct(short in_resource_id);
    // Adopts the handle (the object disposes it).
    bool Construct(AliasHandle in_alias);

    // Resource Manager calls on the alias resource.
    bool RemoveResource();
    bool DetachResource();
    bool SetResInfo(short in_resource_id, ConstStr255Param in_name);

    AliasHandle GetAliasHandle() const { return mhAlias; }
    // Hands the handle to the caller, who disposes it; the object has none afterwards.
    AliasHandle DetachAliasHandle();
    bool IsResource() const { return mIsResource; }

protected:
    void DisposeAlias();

    AliasHandle mhAlias = nullptr;
    // The handle belongs to the Resource Manager (until detached or removed): never
    // disposed here.
    bool mIsResource = false;
};

class LAliasRef : public LAliasBase {
public:
    LAliasRef();
    using LAliasBase::Construct;

    // An alias of a valid reference: relative to fromFile when given, else minimal.
    bool Construct(const FSRef &inRef, const FSRef *fromFile = nullptr);
    // Resolves the alias; paramErr without a handle.
    OSErr ResolveWasChanged(bool &wasChanged);
    bool IsResolved() const;
    bool GetFileRef(FSRef &out_file_ref) const;
    // The resolved item's path.
    bool GetUnixPath(std::string &out_unix_path) const;
    bool GetUnixPath(TCFString &out_unix_path) const;

private:
    FSRef mRef;
};

class LAliasSpec : public LAliasBase {
public:
    LAliasSpec();
    using LAliasBase::Construct;

    // An alias of the item an FSSpec names (relative to fromFile when given).
    bool Construct(const FSSpec *inSpec, const FSSpec *fromFile = nullptr);
    OSErr ResolveWasChanged(bool &wasChanged);
    bool IsResolved() const { return mResolved; }
    bool GetFileSpec(FSSpec &out_file_spec) const;
    bool GetFileRef(FSRef &out_file_ref) const;
    bool GetUnixPath(std::string &out_unix_path) const;
    bool GetUnixPath(TCFString &out_unix_path) const;

private:
    FSSpec mSpec;
    bool mResolved = false;
};

bool import_LAlias();
