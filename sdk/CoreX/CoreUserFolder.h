// CoreUserFolder: a standard folder of a file-system domain, optionally with a sub-folder
// below it; both are created on first use. The folder is handed out as a file reference,
// a CFURL or a CoreUnixPath.
//
// The sub-folder name is not copied: it must outlive the object (callers pass string
// constants). Nothing throws; failures are reported through the debug log.
#pragma once

#include <Carbon/Carbon.h>
#include <CoreFoundation/CFURL.h>

class CoreUnixPath;

class CoreUserFolder {
public:
    // Finds (creating when needed) the folder once; a failure is reported.
    CoreUserFolder(OSType inFindFolderLocation, short inFindFolderDomain);
    CoreUserFolder(const char *inSubFolderName, OSType inFindFolderLocation, short inFindFolderDomain);

    // The folder of the type in the domain (created when missing), or the sub-folder of
    // that name in it (one name; created when missing).
    static bool FSRefOfFoundFolder(FSRef &out_foundFolderRef, OSType inFindFolderLocation, short inFindFolderDomain,
                                   const char *inSubFolderName);

    bool GetFileRef(FSRef &out_file_ref) const;
    // A new URL of the folder; the caller releases it. Null on failure.
    CFURLRef GetURLRef() const;
    bool GetUnixPath(CoreUnixPath &out_unix_path) const;

private:
    const char *mSubFolderName;
    OSType mFindFolderLocation;
    short mFindFolderDomain;
};

bool import_CoreUserFolder();
