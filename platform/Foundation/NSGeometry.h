// Sizes in points or pixels, as the image classes and their users pass them.
#pragma once

struct NSSize {
    double width;
    double height;
};

inline constexpr NSSize NSMakeSize(double width, double height) { return NSSize{width, height}; }

inline constexpr bool NSEqualSizes(NSSize a, NSSize b) { return a.width == b.width && a.height == b.height; }
