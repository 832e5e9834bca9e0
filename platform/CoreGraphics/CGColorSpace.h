// Colour spaces: device grey and RGB, and the named RGB spaces as tagged values.
//
// There is no colour management: a colour or pixel is drawn with its component values as
// they are, whatever space it is tagged with. The tag travels with images and contexts so
// that code which asks (CGColorSpaceCopyName) sees what it set.
#pragma once

#include <CoreFoundation/CFString.h>
#include <CoreGraphics/CGBase.h>

typedef struct CGColorSpace *CGColorSpaceRef;

enum CGColorSpaceModel : int32_t {
    kCGColorSpaceModelUnknown = -1,
    kCGColorSpaceModelMonochrome = 0,
    kCGColorSpaceModelRGB = 1,
};

// Names accepted by CGColorSpaceCreateWithName.
extern const CFStringRef kCGColorSpaceGenericRGB;
extern const CFStringRef kCGColorSpaceGenericRGBLinear;
extern const CFStringRef kCGColorSpaceSRGB;
extern const CFStringRef kCGColorSpaceAdobeRGB1998;

CFTypeID CGColorSpaceGetTypeID(void);

CGColorSpaceRef CGColorSpaceCreateDeviceGray(void);
CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void);
// Null for a name that is not one of the names above.
CGColorSpaceRef CGColorSpaceCreateWithName(CFStringRef name);

CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space);
void CGColorSpaceRelease(CGColorSpaceRef space);

CGColorSpaceModel CGColorSpaceGetModel(CGColorSpaceRef space);
// Colour components without alpha: 1 for grey, 3 for RGB; 0 for null.
size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef space);
// The name a space was created with (retained), or null for the device spaces.
CFStringRef CGColorSpaceCopyName(CGColorSpaceRef space);
