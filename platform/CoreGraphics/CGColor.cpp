// Colour spaces (tagged values, no colour management) and colours.
#include <CoreGraphics/CGInternal.h>

#include <CoreFoundation/CFInternal.h>

#include <algorithm>

namespace {

LUMORA_CF_CONSTANT_STRING(gGenericRGB, "kCGColorSpaceGenericRGB");
LUMORA_CF_CONSTANT_STRING(gGenericRGBLinear, "kCGColorSpaceGenericRGBLinear");
LUMORA_CF_CONSTANT_STRING(gSRGB, "kCGColorSpaceSRGB");
LUMORA_CF_CONSTANT_STRING(gAdobeRGB1998, "kCGColorSpaceAdobeRGB1998");

double Clamp01(double v) { return v > 0 ? (v < 1 ? v : 1) : 0; }  // NaN becomes 0

}  // namespace

constinit const CFStringRef kCGColorSpaceGenericRGB = &gGenericRGB.object;
constinit const CFStringRef kCGColorSpaceGenericRGBLinear = &gGenericRGBLinear.object;
constinit const CFStringRef kCGColorSpaceSRGB = &gSRGB.object;
constinit const CFStringRef kCGColorSpaceAdobeRGB1998 = &gAdobeRGB1998.object;

// ---- colour spaces

CFTypeID CGColorSpaceGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CGColorSpace");
    return type;
}

CGColorSpace::CGColorSpace(CGColorSpaceModel model, CFStringRef name)
    : cf::Object(CGColorSpaceGetTypeID()), mModel(model), mName(name ? static_cast<CFStringRef>(CFRetain(name)) : nullptr) {}

CGColorSpace::~CGColorSpace() {
    if (mName) CFRelease(mName);
}

bool CGColorSpace::isEqual(const cf::Object &other) const {
    const auto &space = static_cast<const CGColorSpace &>(other);
    if (mModel != space.mModel) return false;
    if (!mName || !space.mName) return !mName && !space.mName;
    return CFEqual(mName, space.mName);
}

CGColorSpaceRef CGColorSpaceCreateDeviceGray(void) { return new CGColorSpace(kCGColorSpaceModelMonochrome, nullptr); }

CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void) { return new CGColorSpace(kCGColorSpaceModelRGB, nullptr); }

CGColorSpaceRef CGColorSpaceCreateWithName(CFStringRef name) {
    if (!name || CFGetTypeID(name) != CFStringGetTypeID()) return nullptr;
    for (CFStringRef known : {kCGColorSpaceGenericRGB, kCGColorSpaceGenericRGBLinear, kCGColorSpaceSRGB,
                              kCGColorSpaceAdobeRGB1998}) {
        if (CFEqual(name, known)) return new CGColorSpace(kCGColorSpaceModelRGB, known);
    }
    return nullptr;
}

CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space) {
    if (space) CFRetain(space);
    return space;
}

void CGColorSpaceRelease(CGColorSpaceRef space) {
    if (space) CFRelease(space);
}

CGColorSpaceModel CGColorSpaceGetModel(CGColorSpaceRef space) {
    return space ? space->mModel : kCGColorSpaceModelUnknown;
}

size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef space) {
    if (!space) return 0;
    return space->mModel == kCGColorSpaceModelMonochrome ? 1 : 3;
}

CFStringRef CGColorSpaceCopyName(CGColorSpaceRef space) {
    return space && space->mName ? static_cast<CFStringRef>(CFRetain(space->mName)) : nullptr;
}

// ---- colours

CFTypeID CGColorGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CGColor");
    return type;
}

CGColor::CGColor(CGColorSpaceRef space, const CGFloat *components)
    : cf::Object(CGColorGetTypeID()), mSpace(CGColorSpaceRetain(space)) {
    mCount = CGColorSpaceGetNumberOfComponents(space) + 1;
    std::copy(components, components + mCount, mComponents);
}

CGColor::~CGColor() { CGColorSpaceRelease(mSpace); }

cgimpl::Color CGColor::rgba() const {
    cgimpl::Color c;
    if (mCount == 2) {
        c.r = c.g = c.b = Clamp01(mComponents[0]);
        c.a = Clamp01(mComponents[1]);
    } else {
        c.r = Clamp01(mComponents[0]);
        c.g = Clamp01(mComponents[1]);
        c.b = Clamp01(mComponents[2]);
        c.a = Clamp01(mComponents[3]);
    }
    return c;
}

CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat *components) {
    if (!space || !components) return nullptr;
    return new CGColor(space, components);
}

CGColorRef CGColorCreateGenericRGB(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
    CGColorSpaceRef space = CGColorSpaceCreateWithName(kCGColorSpaceGenericRGB);
    const CGFloat components[4] = {red, green, blue, alpha};
    CGColorRef color = CGColorCreate(space, components);
    CGColorSpaceRelease(space);
    return color;
}

CGColorRef CGColorCreateGenericGray(CGFloat gray, CGFloat alpha) {
    CGColorSpaceRef space = CGColorSpaceCreateDeviceGray();
    const CGFloat components[2] = {gray, alpha};
    CGColorRef color = CGColorCreate(space, components);
    CGColorSpaceRelease(space);
    return color;
}

CGColorRef CGColorRetain(CGColorRef color) {
    if (color) CFRetain(color);
    return color;
}

void CGColorRelease(CGColorRef color) {
    if (color) CFRelease(color);
}

size_t CGColorGetNumberOfComponents(CGColorRef color) { return color ? color->mCount : 0; }

const CGFloat *CGColorGetComponents(CGColorRef color) { return color ? color->mComponents : nullptr; }

CGFloat CGColorGetAlpha(CGColorRef color) { return color ? color->mComponents[color->mCount - 1] : 0; }

CGColorSpaceRef CGColorGetColorSpace(CGColorRef color) { return color ? color->mSpace : nullptr; }
