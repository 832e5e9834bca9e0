// Image destinations: writing CGImages to files. A destination is made for a file URL and a
// type identifier, takes its images with CGImageDestinationAddImage and writes the file at
// CGImageDestinationFinalize, through Qt's image writers. Types: "public.jpeg",
// "public.png", "public.tiff" and "com.microsoft.bmp" (kUTTypeJPEG...); a file holds one
// image (the first added). Images of any layout the Core Graphics layer reads are written;
// JPEG and BMP drop the alpha channel (drawn over black, as premultiplied colour stands).
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CGImage.h>
#include <ImageIO/CGImageSource.h>

typedef struct CGImageDestination *CGImageDestinationRef;

extern const CFStringRef kUTTypeJPEG;
extern const CFStringRef kUTTypePNG;
extern const CFStringRef kUTTypeTIFF;
extern const CFStringRef kUTTypeBMP;

// A destination writing `count` images (only 1 is supported) of `type` to the file `url`
// (owned by the caller; release with CFRelease); null for a URL that is not a file URL, an
// unknown type or another count. Options are ignored.
CGImageDestinationRef CGImageDestinationCreateWithURL(CFURLRef url, CFStringRef type, size_t count,
                                                      CFDictionaryRef options);
// Keeps a reference on `image`; images past the destination's count are ignored.
void CGImageDestinationAddImage(CGImageDestinationRef idst, CGImageRef image, CFDictionaryRef properties);
// Writes the file; false when no image was added, the file cannot be written or the
// destination was finalised already.
bool CGImageDestinationFinalize(CGImageDestinationRef idst);
