// NSNeXTControl: the built-in NeXT-look pictures (NSImage_NSNextRetinaImage.h) as images for
// the effect renderer, whose y runs up from the bottom: the picture's rows in reverse order
// (flipped vertically: a = 1, b = 0, c = 0, d = -1, tx = 0, ty = the height), as premultiplied
// ARGB Core Graphics images.
#pragma once

#include <AppKit/NSImage.h>

#include <CoreGraphics/CoreGraphics.h>

#include <QString>

class NSNeXTControl {
public:
    // controlImageCreate of nextRetinaImageNamed.
    static CGImageRef controlImageNamedCreate(const QString &name);
    // The image's first bitmap flipped vertically; null for a null image or one without a
    // bitmap it can read. The caller releases it.
    static CGImageRef controlImageCreate(const NSImage *image);
};

bool import_NSNeXTControl();
