#include <CoreX/MAC_fopen.h>

#include <cstring>
#include <string>

#include <CoreX/CoreMachDebugLog.h>
#include <CoreX/LFSRef.h>
#include <CoreX/LFSSpec.h>
#include <CoreX/XFileName.h>

bool import_MAC_fopen() { return import_CoreMachDebugLog() && import_LFSRef() && import_LFSSpec(); }

namespace {

// The resource file permission a stream mode asks for.
SInt8 ResourcePermission(const char *open_mode) {
    SInt8 permission = 0;
    if (std::strchr(open_mode, 'r') != nullptr) permission |= fsRdPerm;
    if (std::strchr(open_mode, 'w') != nullptr || std::strchr(open_mode, 'a') != nullptr) permission |= fsWrPerm;
    if (std::strchr(open_mode, '+') != nullptr) permission |= fsRdWrPerm;
    return permission;
}

}  // namespace

std::FILE *MAC_fopen(const FSSpec *theSpec, const char *open_mode, OSType creator, OSType file_type) {
    if (!VERIFY(theSpec && open_mode)) return nullptr;
    const LFSSpec fileSpec(*theSpec);
    std::string unix_path;
    if (!fileSpec.GetUnixPath(unix_path)) return nullptr;
    std::FILE *file = std::fopen(unix_path.c_str(), open_mode);
    if (file != nullptr) {
        // Stamp type and creator; a file system without Finder information keeps none.
        FInfo finder_info;
        if (FSpGetFInfo(theSpec, &finder_info) == noErr) {
            finder_info.fdType = file_type;
            finder_info.fdCreator = creator;
            FSpSetFInfo(theSpec, &finder_info);
        }
    }
    return file;
}

std::FILE *MAC_fopen(const FSSpec *theSpec, const char *open_mode, OSType creator, OSType file_type,
                     short *outResFile) {
    if (outResFile == nullptr) return MAC_fopen(theSpec, open_mode, creator, file_type);
    *outResFile = -1;
    if (!VERIFY(theSpec && open_mode)) return nullptr;
    const SInt8 permission = ResourcePermission(open_mode);
    ResFileRefNum resFile = FSpOpenResFile(theSpec, permission);
    if (resFile == -1 && std::strchr(open_mode, 'r') == nullptr) {
        FSpCreate(theSpec, creator, file_type, smSystemScript);
        FSpCreateResFile(theSpec, creator, file_type, smSystemScript);
        resFile = FSpOpenResFile(theSpec, permission);
    }
    if (resFile == -1) return nullptr;
    std::FILE *file = MAC_fopen(theSpec, open_mode, creator, file_type);
    if (file == nullptr) {
        // No stream: the resource file is not left open behind the caller's back.
        CloseResFile(resFile);
        return nullptr;
    }
    *outResFile = resFile;
    return file;
}

std::FILE *MAC_fopen(const LFSRef &ref, const char *open_mode, OSType creator, OSType file_type) {
    if (!VERIFY(open_mode)) return nullptr;
    std::FILE *file = ref.fopen(open_mode);
    if (file != nullptr) {
        LFSRef stamped(ref);
        VERIFY(stamped.SetFileTypeCreator(file_type,creator));
    }
    return file;
}

std::FILE *MAC_fopen(const LFSRef &ref, const char *open_mode, OSType creator, OSType file_type,
                     short *outResFile) {
    if (outResFile != nullptr) {
        *outResFile = -1;
        VERIFY(*outResFile!=-1);
    }
    return MAC_fopen(ref, open_mode, creator, file_type);
}

std::FILE *MAC_fopen(const XFileName &filename, const char *open_mode, OSType creator, OSType file_type) {
    FSRef theFileRef;
    LFSRef ref;
    if (filename.GetSystemRepresentation(theFileRef)) ref.Construct(&theFileRef);
    else ref = filename.GetFileRef();  // a file that does not exist yet
    return MAC_fopen(ref, open_mode, creator, file_type);
}

std::FILE *MAC_fopen(const XFileName &filename, const char *open_mode, OSType creator, OSType file_type,
                     short *outResFile) {
    FSRef theFileRef;
    LFSRef ref;
    if (filename.GetSystemRepresentation(theFileRef)) ref.Construct(&theFileRef);
    else ref = filename.GetFileRef();
    return MAC_fopen(ref, open_mode, creator, file_type, outResFile);
}
