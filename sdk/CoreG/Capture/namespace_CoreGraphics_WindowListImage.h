// The image of one window, as frame sharing captures it.
#pragma once

#include <CoreGraphics/CoreGraphics.h>

namespace CoreGraphics {

// A new opaque image of the window at its own bounds (the caller releases it), or null when
// the window does not exist or is not on screen: CGWindowListCreateImageFromArray with
// CGRectNull, a one-element array of the window id and kCGWindowImageShouldBeOpaque.
CGImageRef CreateWindowListImage(CGWindowID windowID);

}  // namespace CoreGraphics

bool import_namespace_CoreGraphics_WindowListImage();
