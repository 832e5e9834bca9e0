// Fonts by family name, through fontconfig: a family that is not installed (say
// "Lucida Grande") falls back to fontconfig's best match for it, in the end the default
// sans-serif face. Sizes are in user-space units (points, one pixel at the identity CTM).
#pragma once

#include <CoreFoundation/CFString.h>
#include <CoreGraphics/CGAffineTransform.h>

typedef const struct __CTFont *CTFontRef;

CFTypeID CTFontGetTypeID(void);

// A size of 0 (or less) means 12; a null name means the default sans-serif family. The
// matrix must be null or the identity (null otherwise).
CTFontRef CTFontCreateWithName(CFStringRef name, CGFloat size, const CGAffineTransform *matrix);
CGFloat CTFontGetSize(CTFontRef font);
// The family of the face that actually draws the text (after fallback). Created.
CFStringRef CTFontCopyFamilyName(CTFontRef font);
