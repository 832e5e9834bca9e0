// Attribute keys of attributed strings that the text layer reads.
#pragma once

#include <CoreFoundation/CFString.h>

// A CTFontRef. Without it the text is drawn in the default sans-serif family at 12.
extern const CFStringRef kCTFontAttributeName;
// A CGColorRef. Without it (and without the next key) the text is black.
extern const CFStringRef kCTForegroundColorAttributeName;
// A CFBoolean: when true the text is filled with the context's fill colour and stroked with
// its stroke colour, whatever kCTForegroundColorAttributeName says.
extern const CFStringRef kCTForegroundColorFromContextAttributeName;
