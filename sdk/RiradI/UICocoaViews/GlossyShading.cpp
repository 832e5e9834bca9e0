#include "GlossyShading.h"

#include "PlatformColors.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

struct Hsb {
    double hue, saturation, brightness;
};

// Hue from 0 to 1 (0 for greys), saturation and brightness as AppKit answers them.
Hsb HsbOf(double r, double g, double b) {
    const double max = std::max({r, g, b}), min = std::min({r, g, b});
    const double delta = max - min;
    Hsb hsb{0, max > 0 ? delta / max : 0, max};
    if (delta > 0) {
        double h;
        if (max == r)
            h = (g - b) / delta;
        else if (max == g)
            h = 2 + (b - r) / delta;
        else
            h = 4 + (r - g) / delta;
        h /= 6;
        hsb.hue = h < 0 ? h + 1 : h;
    }
    return hsb;
}

void RgbOf(Hsb hsb, double out[3]) {
    double h = hsb.hue - std::floor(hsb.hue);  // hues wrap around the circle
    const double s = std::clamp(hsb.saturation, 0.0, 1.0), v = std::clamp(hsb.brightness, 0.0, 1.0);
    h *= 6;
    const int sector = std::min(int(h), 5);
    const double f = h - sector;
    const double p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    const double table[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
    std::copy(table[sector], table[sector] + 3, out);
}

Hsb HsbOf(const QColor &color) {
    const QColor rgb = color.toRgb();
    return HsbOf(rgb.redF(), rgb.greenF(), rgb.blueF());
}

}  // namespace

GlossyShadingInfo GlossyShadingInfoMake(const QColor &color, CGFloat gloss) {
    GlossyShadingInfo info{};
    info.falloff = 1.2f;
    info.falloffFloor = std::exp(-1.2f);
    info.falloffScale = 1.0f / (1.0f - info.falloffFloor);

    float *base = info.baseRGBA;
    if (color.isValid()) {
        const QColor rgb = color.toRgb();
        base[0] = rgb.redF(), base[1] = rgb.greenF(), base[2] = rgb.blueF(), base[3] = rgb.alphaF();
    } else {
        base[0] = base[1] = base[2] = 0.5f, base[3] = 1;
    }

    Hsb hsb = HsbOf(base[0], base[1], base[2]);
    Hsb target = HsbOf(PlatformColors::yellow());
    if (hsb.saturation < 0.001) {
        hsb.hue = target.hue;
        hsb.saturation = 0.2;
    }
    if (hsb.hue > 0.95)
        hsb.hue -= 1;
    else if (hsb.hue > 0.7)
        target = HsbOf(PlatformColors::magenta());
    const double m = (std::cos((hsb.hue - target.hue) * 1.4 * std::numbers::pi) + 1) * 0.3;
    double tint[3];
    RgbOf({target.hue * m + hsb.hue * (1 - m), hsb.saturation, target.brightness * m + hsb.brightness * (1 - m)},
          tint);
    if (base[0] == base[1] && base[1] == base[2]) tint[0] = tint[1] = tint[2] = std::max({tint[0], tint[1], tint[2]});
    for (int i = 0; i < 3; ++i) info.tintRGBA[i] = float(tint[i]);
    info.tintRGBA[3] = base[3];

    const float luminance = std::pow(0.299f * base[0] + 0.587f * base[1] + 0.114f * base[2], 0.2f);
    info.highlightTop = float(0.6 * gloss) * luminance;
    info.highlightMid = float(0.2 * gloss) * luminance;
    return info;
}

void GlossyShadingEvaluate(void *info, const CGFloat *in, CGFloat *out) {
    const GlossyShadingInfo &g = *static_cast<const GlossyShadingInfo *>(info);
    const float t = float(in[0]);
    if (t < 0.5f) {
        const float k = (std::exp(-2 * g.falloff * t) - g.falloffFloor) * g.falloffScale;
        const float v = (g.highlightMid - g.highlightTop) * (1 - k) + g.highlightTop;
        for (int i = 0; i < 4; ++i) out[i] = g.baseRGBA[i] * (1 - v) + v;
    } else {
        const float k = (std::exp(-g.falloff * (2 - 2 * t)) - g.falloffFloor) * g.falloffScale;
        for (int i = 0; i < 4; ++i) out[i] = g.tintRGBA[i] * k + g.baseRGBA[i] * (1 - k);
    }
}

void FillGlossyShading(CGContextRef context, const QColor &color, CGRect rect, CGFloat gloss, CFStringRef spaceName) {
    if (context == nullptr) return;
    GlossyShadingInfo info = GlossyShadingInfoMake(color, gloss);
    const CGFloat domain[2] = {0, 1};
    const CGFloat range[8] = {0, 1, 0, 1, 0, 1, 0, 1};
    const CGFunctionCallbacks callbacks = {0, GlossyShadingEvaluate, nullptr};
    CGFunctionRef function = CGFunctionCreate(&info, 1, domain, 4, range, &callbacks);
    if (function == nullptr) return;
    CGColorSpaceRef space = spaceName != nullptr ? CGColorSpaceCreateWithName(spaceName) : nullptr;
    const CGFloat x = rect.origin.x, y = rect.origin.y, h = rect.size.height;
    CGShadingRef shading = CGShadingCreateAxial(space, CGPointMake(x, y + h), CGPointMake(x, y), function, false, false);
    if (shading != nullptr) {
        CGContextSaveGState(context);
        CGContextClipToRect(context, rect);
        CGContextDrawShading(context, shading);
        CGContextRestoreGState(context);
    }
    CGShadingRelease(shading);
    CGColorSpaceRelease(space);
    CGFunctionRelease(function);
}

bool import_GlossyShading() { return true; }
