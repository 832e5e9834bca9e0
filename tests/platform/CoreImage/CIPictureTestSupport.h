// Small premultiplied pictures for the Core Image tests: made in memory, handed to Core Image
// as RGBAf bitmap data, rendered back through a context, and read with the same sampling rules
// as a kernel's sample() (for C++ references of kernels).
#pragma once

#include <CoreFoundation/CFData.h>
#include <CoreImage/CoreImage.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace ci_test {

using RGBA = std::array<double, 4>; // premultiplied red, green, blue, alpha

inline RGBA Premultiply(RGBA c) { return {c[0] * c[3], c[1] * c[3], c[2] * c[3], c[3]}; }
inline RGBA Unpremultiply(RGBA c) { return c[3] > 0 ? RGBA{c[0] / c[3], c[1] / c[3], c[2] / c[3], c[3]} : c; }

// The colour as an 8-bit texture keeps it: each component rounded to a multiple of 1/255.
inline RGBA Quantize(RGBA c) {
    for (double &v : c) v = std::round(std::clamp(v, 0.0, 1.0) * 255) / 255;
    return c;
}

// A picture of width x height premultiplied pixels; (x, y) is the pixel whose centre is
// (x + 0.5, y + 0.5) of the plane, y up.
struct Picture {
    int width = 0, height = 0;
    std::vector<RGBA> pixels;

    Picture() = default;
    Picture(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h), RGBA{0, 0, 0, 0}) {}
    RGBA &operator()(int x, int y) { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    // Transparent black outside.
    RGBA at(int x, int y) const {
        if (x < 0 || y < 0 || x >= width || y >= height) return {0, 0, 0, 0};
        return pixels[size_t(y) * size_t(width) + size_t(x)];
    }
    // What sample() answers at the point (x, y) of the picture's pixels: linear filtering
    // between pixel centres with the texture unit's 8 bits of sub-texel precision (weights
    // rounded to 1/256, as llvmpipe filters), the edge pixels repeated within the picture,
    // transparent black outside it.
    RGBA sample(double x, double y) const {
        if (!(x >= 0 && y >= 0 && x < width && y < height)) return {0, 0, 0, 0};
        const double u = x - 0.5, v = y - 0.5;
        const double fx = std::floor(u), fy = std::floor(v);
        const double ax = std::round((u - fx) * 256) / 256, ay = std::round((v - fy) * 256) / 256;
        auto edge = [&](double i, int n) { return std::clamp(int(i), 0, n - 1); };
        const int x0 = edge(fx, width), x1 = edge(fx + 1, width), y0 = edge(fy, height), y1 = edge(fy + 1, height);
        RGBA out{};
        for (int k = 0; k < 4; ++k) {
            const double bottom = at(x0, y0)[k] * (1 - ax) + at(x1, y0)[k] * ax;
            const double top = at(x0, y1)[k] * (1 - ax) + at(x1, y1)[k] * ax;
            out[k] = bottom * (1 - ay) + top * ay;
        }
        return out;
    }

    // The picture as an RGBAf bitmap-data image covering (0, 0, width, height) (the data's
    // first row is the top).
    CIImageRef image() const {
        std::vector<float> floats;
        floats.reserve(pixels.size() * 4);
        for (int y = height - 1; y >= 0; --y)
            for (int x = 0; x < width; ++x)
                for (double v : at(x, y)) floats.push_back(float(v));
        CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(floats.data()),
                                      CFIndex(floats.size() * sizeof(float)));
        CIImageRef out =
            CIImage::imageWithBitmapData(data, size_t(width) * 16, CGSizeMake(width, height), kCIFormatRGBAf);
        CFRelease(data);
        return out;
    }
};

// `bounds` (whole pixels) of the image rendered by the context into RGBAf; nothing when the
// render fails (the context's error is then reported).
inline std::optional<Picture> Render(CIContext &context, const CIImageRef &image, CGRect bounds) {
    const int w = int(bounds.size.width), h = int(bounds.size.height);
    std::vector<float> bitmap(size_t(w) * size_t(h) * 4, -1.0f);
    if (!context.render(image, bitmap.data(), size_t(w) * 16, bounds, kCIFormatRGBAf)) {
        ADD_FAILURE() << "render failed: " << context.lastError();
        return std::nullopt;
    }
    Picture out(w, h);
    for (int row = 0; row < h; ++row) {
        const int y = h - 1 - row; // the bitmap's first row is the top
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < 4; ++k) out(x, y)[k] = bitmap[(size_t(row) * size_t(w) + size_t(x)) * 4 + size_t(k)];
    }
    return out;
}

// Where a picture of `bounds` differs from the reference (a function of the plane's pixel
// (x, y)) by more than `tolerance` in any component: a description of the first few places,
// "" when it never does.
inline std::string Differences(const Picture &actual, CGRect bounds, const std::function<RGBA(int, int)> &reference,
                               double tolerance) {
    std::ostringstream out;
    int count = 0;
    for (int y = 0; y < actual.height; ++y) {
        for (int x = 0; x < actual.width; ++x) {
            const int px = x + int(bounds.origin.x), py = y + int(bounds.origin.y);
            const RGBA want = reference(px, py), got = actual.at(x, y);
            bool differs = false;
            for (int k = 0; k < 4; ++k) differs = differs || !(std::fabs(want[k] - got[k]) <= tolerance);
            if (!differs) continue;
            if (count++ < 6)
                out << "(" << px << "," << py << ") got " << got[0] << " " << got[1] << " " << got[2] << " " << got[3]
                    << " want " << want[0] << " " << want[1] << " " << want[2] << " " << want[3] << "\n";
        }
    }
    if (count > 6) out << "... " << count << " pixels in all\n";
    return out.str();
}

} // namespace ci_test
