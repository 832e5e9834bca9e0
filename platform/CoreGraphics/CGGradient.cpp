// Gradients, drawn as axial shadings whose function blends between the gradient's stops.
#include <CoreGraphics/CGGradient.h>

#include <CoreGraphics/CGInternal.h>

#include <algorithm>
#include <cmath>
#include <vector>

struct CGGradient final : cf::Object {
    CGGradient() : cf::Object(CGGradientGetTypeID()) {}
    ~CGGradient() override { CGColorSpaceRelease(mSpace); }

    struct Stop {
        CGFloat location;
        std::vector<CGFloat> rgba;  // the space's components followed by alpha
    };

    // The colour at a location, blended between the two stops around it.
    void evaluate(CGFloat t, CGFloat *out) const {
        const size_t n = mStops.front().rgba.size();
        const auto above = std::find_if(mStops.begin(), mStops.end(), [t](const Stop &s) { return s.location > t; });
        if (above == mStops.begin() || above == mStops.end()) {
            const Stop &end = above == mStops.begin() ? mStops.front() : mStops.back();
            std::copy(end.rgba.begin(), end.rgba.end(), out);
            return;
        }
        const Stop &lo = *(above - 1), &hi = *above;
        const CGFloat f = (t - lo.location) / (hi.location - lo.location);
        for (size_t i = 0; i < n; ++i) out[i] = lo.rgba[i] + (hi.rgba[i] - lo.rgba[i]) * f;
    }

    CGColorSpaceRef mSpace = nullptr;  // retained
    std::vector<Stop> mStops;          // sorted by location
};

CFTypeID CGGradientGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CGGradient");
    return type;
}

CGGradientRef CGGradientCreateWithColorComponents(CGColorSpaceRef space, const CGFloat *components,
                                                  const CGFloat *locations, size_t count) {
    const size_t n = CGColorSpaceGetNumberOfComponents(space) + 1;
    if (!space || !components || count == 0 || n < 2) return nullptr;
    auto *gradient = new CGGradient;
    gradient->mSpace = CGColorSpaceRetain(space);
    for (size_t i = 0; i < count; ++i) {
        CGFloat location = locations ? locations[i] : (count == 1 ? 0 : CGFloat(i) / CGFloat(count - 1));
        if (!std::isfinite(location)) location = 0;
        gradient->mStops.push_back({std::clamp<CGFloat>(location, 0, 1),
                                    std::vector<CGFloat>(components + i * n, components + (i + 1) * n)});
    }
    std::stable_sort(gradient->mStops.begin(), gradient->mStops.end(),
                     [](const CGGradient::Stop &a, const CGGradient::Stop &b) { return a.location < b.location; });
    return gradient;
}

CGGradientRef CGGradientRetain(CGGradientRef gradient) {
    if (gradient) CFRetain(gradient);
    return gradient;
}

void CGGradientRelease(CGGradientRef gradient) {
    if (gradient) CFRelease(gradient);
}

namespace {

void EvaluateGradient(void *info, const CGFloat *in, CGFloat *out) {
    static_cast<const CGGradient *>(info)->evaluate(in[0], out);
}

void ReleaseGradient(void *info) { CGGradientRelease(static_cast<CGGradientRef>(info)); }

}  // namespace

void CGContextDrawLinearGradient(CGContextRef c, CGGradientRef gradient, CGPoint startPoint, CGPoint endPoint,
                                 CGGradientDrawingOptions options) {
    if (!c || !gradient) return;
    const size_t n = gradient->mStops.front().rgba.size();
    const CGFloat domain[2] = {0, 1};
    std::vector<CGFloat> range;
    for (size_t i = 0; i < n; ++i) range.insert(range.end(), {0, 1});
    const CGFunctionCallbacks callbacks = {0, EvaluateGradient, ReleaseGradient};
    CGFunctionRef function = CGFunctionCreate(CGGradientRetain(gradient), 1, domain, n, range.data(), &callbacks);
    if (!function) {
        CGGradientRelease(gradient);
        return;
    }
    CGShadingRef shading = CGShadingCreateAxial(gradient->mSpace, startPoint, endPoint, function,
                                                (options & kCGGradientDrawsBeforeStartLocation) != 0,
                                                (options & kCGGradientDrawsAfterEndLocation) != 0);
    CGContextDrawShading(c, shading);
    CGShadingRelease(shading);
    CGFunctionRelease(function);
}
