// Core Graphics base types: CGFloat and the integer kinds the drawing calls use.
//
// The Core Graphics layer draws with cairo (paths, images, shadings), poppler-glib (PDF pages)
// and pango-cairo (text). Every object (context, image, colour space, path...) is a Core
// Foundation object (cf::Object), so CFRetain/CFRelease/CFGetTypeID work on all of them.
#pragma once

#include <cstddef>
#include <cstdint>

#include <CoreFoundation/CFBase.h>

typedef double CGFloat;

#define CGFLOAT_MIN 2.2250738585072014e-308
#define CGFLOAT_MAX 1.7976931348623157e+308
