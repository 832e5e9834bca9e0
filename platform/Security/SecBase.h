// Status codes of the Security layer.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

enum {
    errSecSuccess = 0,
    errSecParam = -50,                    // a null or invalid argument
    errSecAllocate = -108,                // out of memory
    errSecCSBadResource = -67054,         // a file of the signature cannot be read
    errSecCSStaticCodeNotFound = -67068,  // no program or bundle at the path
    errSecCSInvalidFlags = -67070,        // flags this layer does not provide
};
