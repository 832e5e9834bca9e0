#include <CoreX/CoreUserFolder.h>

#include <cstring>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/CoreUnixPath.h>
#include <CoreX/LFSRef.h>

bool import_CoreUserFolder() { return import_CoreMachDebugLog() && import_CoreUnixPath() && import_LFSRef(); }

CoreUserFolder::CoreUserFolder(OSType inFindFolderLocation, short inFindFolderDomain)
    : CoreUserFolder(nullptr, inFindFolderLocation, inFindFolderDomain) {}

CoreUserFolder::CoreUserFolder(const char *inSubFolderName, OSType inFindFolderLocation, short inFindFolderDomain)
    : mSubFolderName(inSubFolderName), mFindFolderLocation(inFindFolderLocation),
      mFindFolderDomain(inFindFolderDomain) {
    FSRef foundFolderRef;
    VERIFY(GetFileRef(foundFolderRef));
}

bool CoreUserFolder::FSRefOfFoundFolder(FSRef &out_foundFolderRef, OSType inFindFolderLocation,
                                        short inFindFolderDomain, const char *inSubFolderName) {
    std::memset(&out_foundFolderRef, 0, sizeof out_foundFolderRef);
    FSRef foundFolderRef;
    if (VERIFY_OSERR(FSFindFolder(inFindFolderDomain, inFindFolderLocation, kCreateFolder, &foundFolderRef)) != noErr)
        return false;
    if (inSubFolderName == nullptr) {
        out_foundFolderRef = foundFolderRef;
        return true;
    }

    LFSRef nestedFolder;
    if (!VERIFY(nestedFolder.Construct(&foundFolderRef, inSubFolderName))) return false;
    if (!nestedFolder.IsFolder()) {
        // Another process may create it at the same time: then it is there all the same.
        const bool created = nestedFolder.CreateFolder();
        if (!VERIFY(created || nestedFolder.IsFolder())) return false;
    }
    bool fOk;
    VERIFY(fOk = nestedFolder.GetNormalizedRef(out_foundFolderRef));
    return fOk;
}

bool CoreUserFolder::GetFileRef(FSRef &out_file_ref) const {
    bool fOk;
    VERIFY(fOk = FSRefOfFoundFolder(out_file_ref, mFindFolderLocation, mFindFolderDomain, mSubFolderName));
    return fOk;
}

CFURLRef CoreUserFolder::GetURLRef() const {
    FSRef foundFolderRef;
    if (!VERIFY(GetFileRef(foundFolderRef))) return nullptr;
    CFURLRef resultURL;
    VERIFY(resultURL = ::CFURLCreateFromFSRef(kCFAllocatorDefault,&foundFolderRef));
    return resultURL;
}

bool CoreUserFolder::GetUnixPath(CoreUnixPath &out_unix_path) const {
    out_unix_path.Empty();
    CFURLRef urlRef = GetURLRef();
    if (!VERIFY(urlRef)) return false;
    const bool fOk = out_unix_path.Construct(urlRef);
    CFRelease(urlRef);
    return fOk;
}
