#include <Carbon/Gestalt.h>

OSErr Gestalt(OSType selector, SInt32 *response) {
    if (response == nullptr) return paramErr;
    switch (selector) {
    case gestaltSystemVersion: *response = 0x1090; return noErr;
    case gestaltSystemVersionMajor: *response = 10; return noErr;
    case gestaltSystemVersionMinor: *response = 9; return noErr;
    case gestaltSystemVersionBugFix: *response = 0; return noErr;
    default: return gestaltUndefSelectorErr;
    }
}
