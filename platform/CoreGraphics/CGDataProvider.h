// Data providers: a block of bytes that images and PDF documents read, never copied.
#pragma once

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGBase.h>

typedef struct CGDataProvider *CGDataProviderRef;

// Called exactly once, when the last reference to the provider goes away.
typedef void (*CGDataProviderReleaseDataCallback)(void *info, const void *data, size_t size);

CFTypeID CGDataProviderGetTypeID(void);

// A provider over the caller's bytes. Null when data is null; the callback is then not
// called and the bytes stay the caller's.
CGDataProviderRef CGDataProviderCreateWithData(void *info, const void *data, size_t size,
                                               CGDataProviderReleaseDataCallback releaseData);
// A provider over the bytes of a CFData, which it retains. Null for null data.
CGDataProviderRef CGDataProviderCreateWithCFData(CFDataRef data);

CGDataProviderRef CGDataProviderRetain(CGDataProviderRef provider);
void CGDataProviderRelease(CGDataProviderRef provider);

// A new CFData holding a copy of the bytes at this moment.
CFDataRef CGDataProviderCopyData(CGDataProviderRef provider);
