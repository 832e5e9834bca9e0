#include <CoreX/LAlias.h>

#include <cstring>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/LFSRefFunctions.h>
#include <CoreX/TCFString.h>

bool import_LAlias() { return import_CoreMachDebugLog() && import_LFSRefFunctions() && import_TCFString(); }

namespace alias_paths {

// The path answers of both alias kinds, each through its own GetFileRef. Named as the
// members that call them, so that their reports name the same function.
template <class Alias>
bool GetUnixPath(const Alias &alias, std::string &out_unix_path) {
    out_unix_path.clear();
    FSRef file_ref_resolved;
    if (!VERIFY(alias.GetFileRef(file_ref_resolved))) return false;
    bool fOk;
    VERIFY(fOk=bool_FSRef_GetUnixPath(file_ref_resolved,out_unix_path));
    return fOk;
}

template <class Alias>
bool GetUnixPath(const Alias &alias, TCFString &out_unix_path) {
    std::string s_utf8_unix_path;
    if (!alias.GetUnixPath(s_utf8_unix_path)) {
        out_unix_path.destruct();
        return false;
    }
    bool fOk;
    VERIFY(fOk=out_unix_path.SetValue(s_utf8_unix_path));
    return fOk;
}

}  // namespace alias_paths

// ----- LAliasBase -----

LAliasBase::~LAliasBase() { DisposeAlias(); }

void LAliasBase::DisposeAlias() {
    // A resource handle stays the Resource Manager's: its file disposes of it when closed.
    if (mhAlias != nullptr && !mIsResource) ::DisposeHandle(reinterpret_cast<Handle>(mhAlias));
    mhAlias = nullptr;
    mIsResource = false;
}

bool LAliasBase::Construct(short in_resource_id) {
    DisposeAlias();
    Handle resource = ::Get1Resource(kAliasResourceType, in_resource_id);
    if (resource == nullptr) {
        const OSErr err = ResError();
        VERIFY_OSERR(err != noErr ? err : OSErr(resNotFound));
        return false;
    }
    mhAlias = reinterpret_cast<AliasHandle>(resource);
    mIsResource = true;
    return true;
}

bool LAliasBase::Construct(AliasHandle in_alias) {
    if (in_alias == mhAlias) return in_alias != nullptr;
    DisposeAlias();
    mhAlias = in_alias;
    return mhAlias != nullptr;
}

AliasHandle LAliasBase::DetachAliasHandle() {
    if (mIsResource && !DetachResource()) return nullptr;
    AliasHandle alias = mhAlias;
    mhAlias = nullptr;
    return alias;
}

bool LAliasBase::RemoveResource() {
    if (!VERIFY(mhAlias && mIsResource)) return false;
    ::RemoveResource(reinterpret_cast<Handle>(mhAlias));
    OSErr result;
    if (VERIFY_OSERR(result = ResError()) != noErr) return false;
    // No longer a resource: the handle is ours to dispose.
    mIsResource = false;
    return true;
}

bool LAliasBase::DetachResource() {
    if (!VERIFY(mhAlias && mIsResource)) return false;
    ::DetachResource(reinterpret_cast<Handle>(mhAlias));
    if (VERIFY_OSERR(ResError()) != noErr) return false;
    mIsResource = false;
    return true;
}

bool LAliasBase::SetResInfo(short in_resource_id, ConstStr255Param in_name) {
    if (!VERIFY(mhAlias && mIsResource)) return false;
    ::SetResInfo(reinterpret_cast<Handle>(mhAlias), in_resource_id, in_name);
    return VERIFY_OSERR(ResError()) == noErr;
}

// ----- LAliasRef -----

LAliasRef::LAliasRef() { std::memset(&mRef, 0, sizeof mRef); }

bool LAliasRef::Construct(const FSRef &inRef, const FSRef *fromFile) {
    std::memset(&mRef, 0, sizeof mRef);
    if (!VERIFY(bool_FSRef_IsValid(inRef))) return false;
    AliasHandle hNewAlias = nullptr;
    OSErr result = paramErr;
    if (fromFile != nullptr) VERIFY(noErr==(result=::FSNewAlias(fromFile,&inRef, &hNewAlias)));
    else VERIFY(noErr==(result=::FSNewAliasMinimal(&inRef,&hNewAlias)));
    if (result != noErr) return false;
    return VERIFY((result==noErr) && LAliasBase::Construct(hNewAlias));
}

OSErr LAliasRef::ResolveWasChanged(bool &wasChanged) {
    wasChanged = false;
    if (mhAlias == nullptr) return paramErr;
    Boolean changed = false;
    FSRef resolved;
    OSErr result;
    VERIFY_OSERR(result = ::FSResolveAlias(NULL,mhAlias,&resolved,&changed));
    if (result == noErr) {
        mRef = resolved;
        wasChanged = changed != 0;
    } else {
        std::memset(&mRef, 0, sizeof mRef);
    }
    return result;
}

bool LAliasRef::IsResolved() const { return bool_FSRef_IsValid(mRef); }

bool LAliasRef::GetFileRef(FSRef &out_file_ref) const {
    std::memset(&out_file_ref, 0, sizeof out_file_ref);
    if (!VERIFY(IsResolved())) return false;
    out_file_ref = mRef;
    return true;
}

bool LAliasRef::GetUnixPath(std::string &out_unix_path) const { return alias_paths::GetUnixPath(*this, out_unix_path); }

bool LAliasRef::GetUnixPath(TCFString &out_unix_path) const { return alias_paths::GetUnixPath(*this, out_unix_path); }

// ----- LAliasSpec -----

LAliasSpec::LAliasSpec() { std::memset(&mSpec, 0, sizeof mSpec); }

bool LAliasSpec::Construct(const FSSpec *inSpec, const FSSpec *fromFile) {
    std::memset(&mSpec, 0, sizeof mSpec);
    mResolved = false;
    if (!VERIFY(inSpec)) return false;
    AliasHandle hNewAlias = nullptr;
    const OSErr result = ::NewAlias(fromFile, inSpec, &hNewAlias);
    if (!VERIFY(result==noErr)) return false;
    return LAliasBase::Construct(hNewAlias);
}

OSErr LAliasSpec::ResolveWasChanged(bool &wasChanged) {
    wasChanged = false;
    if (mhAlias == nullptr) return paramErr;
    Boolean changed = false;
    FSSpec resolved;
    OSErr theErr;
    VERIFY_OSERR(theErr = ::ResolveAlias(NULL, mhAlias, &resolved, &changed));
    mResolved = theErr == noErr;
    if (mResolved) {
        mSpec = resolved;
        wasChanged = changed != 0;
    } else {
        std::memset(&mSpec, 0, sizeof mSpec);
    }
    return theErr;
}

bool LAliasSpec::GetFileSpec(FSSpec &out_file_spec) const {
    std::memset(&out_file_spec, 0, sizeof out_file_spec);
    if (!VERIFY(IsResolved())) return false;
    out_file_spec = mSpec;
    return true;
}

bool LAliasSpec::GetFileRef(FSRef &out_file_ref) const {
    std::memset(&out_file_ref, 0, sizeof out_file_ref);
    FSSpec file_spec_resolved;
    if (!VERIFY(GetFileSpec(file_spec_resolved))) return false;
    bool fOk;
    VERIFY(fOk = bool_FSSpec_MakeFSRef(file_spec_resolved,out_file_ref));
    return fOk;
}

bool LAliasSpec::GetUnixPath(std::string &out_unix_path) const {
    return alias_paths::GetUnixPath(*this, out_unix_path);
}

bool LAliasSpec::GetUnixPath(TCFString &out_unix_path) const { return alias_paths::GetUnixPath(*this, out_unix_path); }
