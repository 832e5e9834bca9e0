// A colour as four premultiplied-free components (red, green, blue, alpha); the values are the
// sRGB values as given, without colour management.
#pragma once

#include <CoreGraphics/CGBase.h>

class CIColor {
public:
    CIColor() = default;
    static CIColor colorWithRed(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha = 1.0) {
        return CIColor(red, green, blue, alpha);
    }
    CGFloat red() const { return m_red; }
    CGFloat green() const { return m_green; }
    CGFloat blue() const { return m_blue; }
    CGFloat alpha() const { return m_alpha; }
    bool operator==(const CIColor &) const = default;

private:
    CIColor(CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha)
        : m_red(red), m_green(green), m_blue(blue), m_alpha(alpha) {}
    CGFloat m_red = 0, m_green = 0, m_blue = 0, m_alpha = 0;
};
