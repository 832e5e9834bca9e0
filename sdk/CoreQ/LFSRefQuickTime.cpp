#include <CoreQ/LFSRefQuickTime.h>

#include <string>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/LUnixPath.h>
#include <CoreX/TCFString.h>

bool import_LFSRefQuickTime() { return import_LFSRef() && import_TCFString(); }

OSErr GetQuickTimeDataRef(const LFSRef &ref, Handle &dataRef, OSType &dataRefType) {
    dataRef = nullptr;
    dataRefType = 0;
    if (ref.IsState(LFSRef::State_Exists))
        return QFramework::NewDataReferenceFromFSRef(&ref.GetFSRef(), 0, &dataRef, &dataRefType);
    if (!VERIFY(ref.IsState(LFSRef::State_ExistsWithLatentPath))) return paramErr;

    // The folder the item is in (a latent path may hold folders of its own) and its name.
    LFSRef folder;
    LUnixPath latent_path;
    if (!VERIFY(ref.GetParentFolder(folder) && folder.IsState(LFSRef::State_Exists) &&
                ref.GetLatentPath(latent_path)))
        return paramErr;
    std::string name = latent_path.str();
    LUnixPath::RemoveTrailingSlash(name);
    const std::size_t slash = name.rfind('/');
    if (slash != std::string::npos) name.erase(0, slash + 1);
    const TCFString file_name(name);
    if (!VERIFY(file_name.IsValid())) return paramErr;
    return QFramework::NewDataReferenceFromFSRefCFString(&folder.GetFSRef(), file_name.Get(), 0, &dataRef,
                                                         &dataRefType);
}
