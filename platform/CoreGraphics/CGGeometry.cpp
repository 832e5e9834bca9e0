#include <CoreGraphics/CGGeometry.h>

#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFString.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr CGFloat kInfinity = std::numeric_limits<CGFloat>::infinity();
}  // namespace

constinit const CGPoint CGPointZero = {0, 0};
constinit const CGSize CGSizeZero = {0, 0};
constinit const CGRect CGRectZero = {{0, 0}, {0, 0}};
constinit const CGRect CGRectNull = {{kInfinity, kInfinity}, {0, 0}};

CGFloat CGRectGetMinX(CGRect r) { return r.size.width < 0 ? r.origin.x + r.size.width : r.origin.x; }
CGFloat CGRectGetMaxX(CGRect r) { return r.size.width < 0 ? r.origin.x : r.origin.x + r.size.width; }
CGFloat CGRectGetMidX(CGRect r) { return r.origin.x + r.size.width * 0.5; }
CGFloat CGRectGetMinY(CGRect r) { return r.size.height < 0 ? r.origin.y + r.size.height : r.origin.y; }
CGFloat CGRectGetMaxY(CGRect r) { return r.size.height < 0 ? r.origin.y : r.origin.y + r.size.height; }
CGFloat CGRectGetMidY(CGRect r) { return r.origin.y + r.size.height * 0.5; }
CGFloat CGRectGetWidth(CGRect r) { return std::fabs(r.size.width); }
CGFloat CGRectGetHeight(CGRect r) { return std::fabs(r.size.height); }

bool CGPointEqualToPoint(CGPoint a, CGPoint b) { return a.x == b.x && a.y == b.y; }
bool CGSizeEqualToSize(CGSize a, CGSize b) { return a.width == b.width && a.height == b.height; }

CGRect CGRectStandardize(CGRect r) {
    if (CGRectIsNull(r)) return CGRectNull;
    return CGRectMake(CGRectGetMinX(r), CGRectGetMinY(r), CGRectGetWidth(r), CGRectGetHeight(r));
}

bool CGRectEqualToRect(CGRect a, CGRect b) {
    if (CGRectIsNull(a) || CGRectIsNull(b)) return CGRectIsNull(a) && CGRectIsNull(b);
    const CGRect sa = CGRectStandardize(a);
    const CGRect sb = CGRectStandardize(b);
    return CGPointEqualToPoint(sa.origin, sb.origin) && CGSizeEqualToSize(sa.size, sb.size);
}

bool CGRectIsNull(CGRect r) { return std::isinf(r.origin.x) || std::isinf(r.origin.y); }

bool CGRectIsEmpty(CGRect r) { return CGRectIsNull(r) || r.size.width == 0 || r.size.height == 0; }

CGRect CGRectInset(CGRect rect, CGFloat dx, CGFloat dy) {
    if (CGRectIsNull(rect)) return CGRectNull;
    CGRect r = CGRectStandardize(rect);
    r.origin.x += dx;
    r.origin.y += dy;
    r.size.width -= 2 * dx;
    r.size.height -= 2 * dy;
    if (r.size.width < 0 || r.size.height < 0) return CGRectNull;
    return r;
}

CGRect CGRectIntegral(CGRect rect) {
    if (CGRectIsNull(rect)) return CGRectNull;
    const CGRect r = CGRectStandardize(rect);
    const CGFloat x0 = std::floor(r.origin.x);
    const CGFloat y0 = std::floor(r.origin.y);
    const CGFloat x1 = std::ceil(r.origin.x + r.size.width);
    const CGFloat y1 = std::ceil(r.origin.y + r.size.height);
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

CGRect CGRectIntersection(CGRect a, CGRect b) {
    if (CGRectIsNull(a) || CGRectIsNull(b)) return CGRectNull;
    const CGFloat x0 = std::max(CGRectGetMinX(a), CGRectGetMinX(b));
    const CGFloat y0 = std::max(CGRectGetMinY(a), CGRectGetMinY(b));
    const CGFloat x1 = std::min(CGRectGetMaxX(a), CGRectGetMaxX(b));
    const CGFloat y1 = std::min(CGRectGetMaxY(a), CGRectGetMaxY(b));
    if (!(x1 >= x0) || !(y1 >= y0)) return CGRectNull;
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

CGRect CGRectUnion(CGRect a, CGRect b) {
    if (CGRectIsNull(a)) return CGRectIsNull(b) ? CGRectNull : CGRectStandardize(b);
    if (CGRectIsNull(b)) return CGRectStandardize(a);
    const CGFloat x0 = std::min(CGRectGetMinX(a), CGRectGetMinX(b));
    const CGFloat y0 = std::min(CGRectGetMinY(a), CGRectGetMinY(b));
    const CGFloat x1 = std::max(CGRectGetMaxX(a), CGRectGetMaxX(b));
    const CGFloat y1 = std::max(CGRectGetMaxY(a), CGRectGetMaxY(b));
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

CGRect CGRectOffset(CGRect rect, CGFloat dx, CGFloat dy) {
    if (CGRectIsNull(rect)) return rect;
    rect.origin.x += dx;
    rect.origin.y += dy;
    return rect;
}

bool CGRectContainsRect(CGRect outer, CGRect inner) {
    if (CGRectIsNull(outer) || CGRectIsNull(inner)) return false;
    return CGRectGetMinX(inner) >= CGRectGetMinX(outer) && CGRectGetMinY(inner) >= CGRectGetMinY(outer) &&
           CGRectGetMaxX(inner) <= CGRectGetMaxX(outer) && CGRectGetMaxY(inner) <= CGRectGetMaxY(outer);
}

bool CGRectContainsPoint(CGRect rect, CGPoint p) {
    if (CGRectIsNull(rect)) return false;
    return p.x >= CGRectGetMinX(rect) && p.x < CGRectGetMaxX(rect) && p.y >= CGRectGetMinY(rect) &&
           p.y < CGRectGetMaxY(rect);
}

namespace {
// The keys of a rectangle's dictionary, in the order X, Y, Width, Height.
CFStringRef RectKey(int i) {
    static const CFStringRef keys[4] = {CFSTR("X"), CFSTR("Y"), CFSTR("Width"), CFSTR("Height")};
    return keys[i];
}
}  // namespace

CFDictionaryRef CGRectCreateDictionaryRepresentation(CGRect rect) {
    const CGFloat values[4] = {rect.origin.x, rect.origin.y, rect.size.width, rect.size.height};
    const void *keys[4];
    const void *numbers[4] = {};
    bool made = true;
    for (int i = 0; i < 4; ++i) {
        keys[i] = RectKey(i);
        numbers[i] = CFNumberCreate(nullptr, kCFNumberCGFloatType, &values[i]);
        made = made && numbers[i] != nullptr;
    }
    CFDictionaryRef dict = made ? CFDictionaryCreate(nullptr, keys, numbers, 4, &kCFTypeDictionaryKeyCallBacks,
                                                     &kCFTypeDictionaryValueCallBacks)
                                : nullptr;
    for (const void *number : numbers)
        if (number != nullptr) CFRelease(number);
    return dict;
}

bool CGRectMakeWithDictionaryRepresentation(CFDictionaryRef dict, CGRect *rect) {
    if (dict == nullptr || rect == nullptr || CFGetTypeID(dict) != CFDictionaryGetTypeID()) return false;
    CGFloat values[4];
    for (int i = 0; i < 4; ++i) {
        const void *value = CFDictionaryGetValue(dict, RectKey(i));
        if (value == nullptr || CFGetTypeID(value) != CFNumberGetTypeID()) return false;
        CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberCGFloatType, &values[i]);
        if (!std::isfinite(values[i])) return false;
    }
    *rect = CGRectMake(values[0], values[1], values[2], values[3]);
    return true;
}
