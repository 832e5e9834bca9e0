// Image sources: images decoded from bytes in memory, through Qt's image readers. PNG and
// JPEG are read (chosen by the bytes' signature, whatever else Qt could read); a source holds
// one image. The pixels come out as 8-bit BGRA memory (premultiplied, or with a skipped
// alpha byte for opaque images), the first row the top, in the device RGB space. EXIF
// orientation is not applied.
#pragma once

#include <CoreFoundation/CoreFoundation.h>
#include <CoreGraphics/CGImage.h>

typedef struct CGImageSource *CGImageSourceRef;

CFTypeID CGImageSourceGetTypeID(void);

// A source over a copy of `data` (owned by the caller; release with CFRelease); null for null
// data. Bytes that are no image still make a source, whose count is 0. Options are ignored.
CGImageSourceRef CGImageSourceCreateWithData(CFDataRef data, CFDictionaryRef options);
// The images in the source: 1 when the bytes start as a PNG or JPEG whose header Qt reads
// (at most 16384 pixels a side), else 0.
size_t CGImageSourceGetCount(CGImageSourceRef isrc);
// The image at `index` decoded (owned by the caller), or null when the index is past the
// count or the bytes do not decode. Data cut short may decode to a partial picture when the
// format's decoder fills the rest (JPEG does). Options are ignored.
CGImageRef CGImageSourceCreateImageAtIndex(CGImageSourceRef isrc, size_t index, CFDictionaryRef options);
