#include <CoreX/CoreRefPath.h>

#include <cstring>

#include <CoreX/CoreMachDebugLog.h>

bool import_CoreRefPath() { return import_CoreMachDebugLog(); }

CoreRefPath::CoreRefPath() { Clear(); }

void CoreRefPath::Clear() {
    std::memset(&mFSRef, 0, sizeof mFSRef);
    std::memset(mUnixPath, 0, sizeof mUnixPath);
}

bool CoreRefPath::Construct(const char *in_unix_path) {
    Clear();
    if (!VERIFY(in_unix_path!=NULL)) return false;
    FSRef file_ref;
    if (!VERIFY(noErr==FSPathMakeRef(reinterpret_cast<const UInt8 *>(in_unix_path), &file_ref, NULL))) return false;
    return Construct(file_ref);
}

bool CoreRefPath::Construct(const FSRef &in_file_ref) {
    const FSRef file_ref = in_file_ref;  // in_file_ref may be this record's own reference
    Clear();
    if (!VERIFY(noErr==FSRefMakePath(&file_ref, reinterpret_cast<UInt8 *>(mUnixPath), sizeof mUnixPath))) {
        Clear();
        return false;
    }
    mFSRef = file_ref;
    return true;
}
