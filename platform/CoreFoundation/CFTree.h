// Trees: a value per node and an ordered list of child trees. Each tree retains its value
// and its children. The layer builds trees itself (the XML parser of CFXMLParser.h); callers
// read them.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef struct __CFTree *CFTreeRef;

CFTypeID CFTreeGetTypeID(void);

// 0 for null or a reference that is not a tree.
CFIndex CFTreeGetChildCount(CFTreeRef tree);
// The child (not retained for the caller), or null outside the children.
CFTreeRef CFTreeGetChildAtIndex(CFTreeRef tree, CFIndex idx);
