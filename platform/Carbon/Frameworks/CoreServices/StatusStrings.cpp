// The executable of CoreServices.framework: the names and short descriptions of common
// status codes, looked up by name at run time (GetMacOSStatusErrorString and
// GetMacOSStatusCommentString). Unknown codes answer "" (never null).
#include <Carbon/MacErrors.h>

namespace {

struct StatusText {
    OSStatus status;
    const char *name;
    const char *comment;
};

#define LUMORA_STATUS(code, comment) {code, #code, comment}

// Codes with no constant in the layers' headers are written as numbers, the name as text.
constexpr StatusText kStatusTexts[] = {
    LUMORA_STATUS(noErr, "No error"),
    LUMORA_STATUS(unimpErr, "Unimplemented routine"),
    LUMORA_STATUS(dirFulErr, "Directory full"),
    LUMORA_STATUS(dskFulErr, "Disk or volume full"),
    LUMORA_STATUS(nsvErr, "No such volume"),
    LUMORA_STATUS(ioErr, "I/O error"),
    LUMORA_STATUS(bdNamErr, "Bad file name"),
    {-38, "fnOpnErr", "File not open"},
    LUMORA_STATUS(eofErr, "End of file"),
    LUMORA_STATUS(posErr, "Tried to position before the start of the file"),
    LUMORA_STATUS(tmfoErr, "Too many files open"),
    LUMORA_STATUS(fnfErr, "File not found"),
    LUMORA_STATUS(wPrErr, "Volume is write-protected"),
    LUMORA_STATUS(fLckdErr, "File is locked"),
    {-46, "vLckdErr", "Volume is locked"},
    LUMORA_STATUS(fBsyErr, "File is busy"),
    LUMORA_STATUS(dupFNErr, "Duplicate file name"),
    LUMORA_STATUS(opWrErr, "File already open for writing"),
    LUMORA_STATUS(paramErr, "Error in a parameter"),
    LUMORA_STATUS(rfNumErr, "Bad reference number"),
    LUMORA_STATUS(permErr, "Permission denied"),
    LUMORA_STATUS(memFullErr, "Not enough memory"),
    LUMORA_STATUS(nilHandleErr, "Handle was null"),
    LUMORA_STATUS(dirNFErr, "Directory not found"),
    LUMORA_STATUS(userCanceledErr, "User cancelled"),
    LUMORA_STATUS(resNotFound, "Resource not found"),
    LUMORA_STATUS(resFNotFound, "Resource file not found"),
    LUMORA_STATUS(errFSBadFSRef, "Bad file reference"),
    LUMORA_STATUS(errFSBadInfoBitmap, "Catalog information not available"),
    LUMORA_STATUS(errFSNameTooLong, "File name too long"),
    {-2000, "couldNotResolveDataRef", "Could not resolve the data reference"},
    LUMORA_STATUS(pathTooLongErr, "Path too long"),
    {-3000, "invalidComponentID", "Invalid component"},
    {-4960, "coreFoundationUnknownErr", "Unknown Core Foundation error"},
    LUMORA_STATUS(afpAccessDenied, "Insufficient access privileges"),
    LUMORA_STATUS(gestaltUndefSelectorErr, "Undefined Gestalt selector"),
    {-9400, "noDeviceForChannel", "No device for the channel"},
    {-60005, "errAuthorizationDenied", "Authorization denied"},
    {-60006, "errAuthorizationCanceled", "Authorization cancelled by the user"},
    {OSStatus(0x80008001), "badComponentInstance", "Invalid component instance"},
    {OSStatus(0x80008002), "badComponentSelector", "Component does not implement the selector"},
};

#undef LUMORA_STATUS

const StatusText *Find(OSStatus status) {
    for (const StatusText &entry : kStatusTexts)
        if (entry.status == status) return &entry;
    return nullptr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const char *GetMacOSStatusErrorString(OSStatus status) {
    const StatusText *entry = Find(status);
    return entry != nullptr ? entry->name : "";
}

extern "C" __attribute__((visibility("default"))) const char *GetMacOSStatusCommentString(OSStatus status) {
    const StatusText *entry = Find(status);
    return entry != nullptr ? entry->comment : "";
}
