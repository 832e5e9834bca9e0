// Gestalt: facts about the running system by selector. The system presents itself as
// version 10.9.0, so code that compares versions takes its modern paths.
#pragma once

#include <Carbon/MacErrors.h>

enum : OSType {
    gestaltSystemVersion = MakeFourCharCode("sysv"),       // 0x1090: major, minor, patch nibbles
    gestaltSystemVersionMajor = MakeFourCharCode("sys1"),  // 10
    gestaltSystemVersionMinor = MakeFourCharCode("sys2"),  // 9
    gestaltSystemVersionBugFix = MakeFourCharCode("sys3"), // 0
};

// noErr and the answer in *response; gestaltUndefSelectorErr for any other selector,
// paramErr for a null response (which is left alone).
OSErr Gestalt(OSType selector, SInt32 *response);
