// CIVector: one to four numbers, the value of a kernel's vec2/vec3/vec4 parameter and of the
// position and size inputs of filters.
#pragma once

#include <CoreGraphics/CGGeometry.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <initializer_list>

class CIVector {
public:
    CIVector() = default;
    CIVector(std::initializer_list<CGFloat> values) {
        for (CGFloat v : values) {
            if (m_count == m_values.size()) break;
            m_values[m_count++] = v;
        }
    }
    static CIVector vectorWithX(CGFloat x) { return CIVector{x}; }
    static CIVector vectorWithX(CGFloat x, CGFloat y) { return CIVector{x, y}; }
    static CIVector vectorWithX(CGFloat x, CGFloat y, CGFloat z) { return CIVector{x, y, z}; }
    static CIVector vectorWithX(CGFloat x, CGFloat y, CGFloat z, CGFloat w) { return CIVector{x, y, z, w}; }
    static CIVector vectorWithCGPoint(CGPoint p) { return CIVector{p.x, p.y}; }
    static CIVector vectorWithCGRect(CGRect r) { return CIVector{r.origin.x, r.origin.y, r.size.width, r.size.height}; }

    size_t count() const { return m_count; }
    // The value at `index`; 0 past the count.
    CGFloat valueAtIndex(size_t index) const { return index < m_count ? m_values[index] : 0; }
    CGFloat X() const { return valueAtIndex(0); }
    CGFloat Y() const { return valueAtIndex(1); }
    CGFloat Z() const { return valueAtIndex(2); }
    CGFloat W() const { return valueAtIndex(3); }
    CGPoint CGPointValue() const { return CGPointMake(X(), Y()); }
    CGRect CGRectValue() const { return CGRectMake(X(), Y(), Z(), W()); }
    bool operator==(const CIVector &other) const {
        return m_count == other.m_count && std::equal(m_values.begin(), m_values.begin() + m_count, other.m_values.begin());
    }

private:
    std::array<CGFloat, 4> m_values{};
    size_t m_count = 0;
};
