// Memory Manager handles and pointers: provided by the Carbon layer, which the File and
// Resource Managers build on too.
#pragma once

#include <Carbon/MacMemory.h>
