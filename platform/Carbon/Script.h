// Script Manager: the system's script and region, read from the locale of the process
// environment (LC_ALL, else LC_CTYPE, else LANG, as language_TERRITORY). A locale this
// layer does not know (and "C" / "POSIX") is the United States region, verUS.
#pragma once

#include <Carbon/TextCommon.h>

enum : short {
    smSysScript = 18,    // the system script: the region's script
    smRegionCode = 40,   // the system region
};

// The value of a Script Manager variable; 0 for a selector that is not provided.
long GetScriptManagerVariable(short selector);
