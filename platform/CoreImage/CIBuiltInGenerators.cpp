// The generators; their images have no bounds (an infinite extent).
//   CIConstantColorGenerator   the colour everywhere.
//   CILinearGradient           t = clamp(dot(p - p0, p1 - p0) / |p1 - p0|^2, 0, 1): colour 0 on
//                              the side of point 0, colour 1 past point 1; equal points give
//                              colour 0 everywhere.
//   CIRadialGradient           t = clamp((|p - c| - r0) / (r1 - r0), 0, 1): colour 0 within
//                              radius 0, colour 1 beyond radius 1 (r1 < r0 turns it inside
//                              out); equal radii give a sharp circle, colour 0 inside.
// The gradients mix the premultiplied colours: out = mix(premul(c0), premul(c1), t).
#include <CoreImage/CIBuiltInFilterSupport.h>

namespace CoreImage::BuiltIn {
namespace {

const char *kGeneratorKernels = R"(
kernel vec4 ciLinearGradient(vec2 point0, vec2 point1, vec4 color0, vec4 color1)
{
    vec2 d = point1 - point0;
    float dd = dot(d, d);
    float t = dd > 0.0 ? clamp(dot(destCoord() - point0, d) / dd, 0.0, 1.0) : 0.0;
    return mix(premultiply(color0), premultiply(color1), t);
}
kernel vec4 ciRadialGradient(vec2 center, float radius0, float radius1, vec4 color0, vec4 color1)
{
    float r = distance(destCoord(), center);
    float span = radius1 - radius0;
    float t = span != 0.0 ? clamp((r - radius0) / span, 0.0, 1.0) : (r < radius0 ? 0.0 : 1.0);
    return mix(premultiply(color0), premultiply(color1), t);
}
)";

CIKernelRef GeneratorKernel(std::string_view name) {
    static const std::vector<CIKernelRef> kernels = TranslateBuiltInKernels(kGeneratorKernels);
    return KernelNamed(kernels, name);
}

CIColor White() { return CIColor::colorWithRed(1, 1, 1, 1); }
CIColor Black() { return CIColor::colorWithRed(0, 0, 0, 1); }

class ConstantColorGenerator final : public Filter {
public:
    ConstantColorGenerator() : Filter({ColorInput("inputColor", "Color", CIColor::colorWithRed(1, 0, 0, 1))}) {}
    CIImageRef outputImage() const override {
        auto c = color("inputColor");
        if (!c) return nullptr;
        return CIImage::imageWithColor(*c);
    }
};

class LinearGradient final : public Filter {
public:
    LinearGradient()
        : Filter({VectorInput("inputPoint0", kCIAttributeTypePosition, "Point 0", CIVector{0, 0}),
                  VectorInput("inputPoint1", kCIAttributeTypePosition, "Point 1", CIVector{200, 200}),
                  ColorInput("inputColor0", "Color 0", White()), ColorInput("inputColor1", "Color 1", Black())}) {}
    CIImageRef outputImage() const override {
        auto p0 = vector("inputPoint0", 2), p1 = vector("inputPoint1", 2);
        auto c0 = color("inputColor0"), c1 = color("inputColor1");
        CIKernelRef kernel = GeneratorKernel("ciLinearGradient");
        if (!p0 || !p1 || !c0 || !c1 || !kernel) return nullptr;
        return kernel->apply(
            {CIVector{p0->X(), p0->Y()}, CIVector{p1->X(), p1->Y()}, ColorVector(*c0), ColorVector(*c1)});
    }
};

class RadialGradient final : public Filter {
public:
    RadialGradient()
        : Filter({VectorInput("inputCenter", kCIAttributeTypePosition, "Center", CIVector{150, 150}),
                  NumberInput("inputRadius0", kCIAttributeTypeDistance, "Radius 0", 5,
                              {.min = 0, .sliderMin = 0, .sliderMax = 800}),
                  NumberInput("inputRadius1", kCIAttributeTypeDistance, "Radius 1", 100,
                              {.min = 0, .sliderMin = 0, .sliderMax = 800}),
                  ColorInput("inputColor0", "Color 0", White()), ColorInput("inputColor1", "Color 1", Black())}) {}
    CIImageRef outputImage() const override {
        auto center = vector("inputCenter", 2);
        auto r0 = number("inputRadius0"), r1 = number("inputRadius1");
        auto c0 = color("inputColor0"), c1 = color("inputColor1");
        CIKernelRef kernel = GeneratorKernel("ciRadialGradient");
        if (!center || !r0 || !r1 || !c0 || !c1 || !kernel) return nullptr;
        return kernel->apply({CIVector{center->X(), center->Y()}, *r0, *r1, ColorVector(*c0), ColorVector(*c1)});
    }
};

} // namespace

void AddGenerators(std::vector<CIBuiltInFilterRegistration> &out) {
    out.push_back(Registration<ConstantColorGenerator>("CIConstantColorGenerator", "Constant Color",
                                                       {kCICategoryGenerator, kCICategoryVideo,
                                                        kCICategoryStillImage}));
    out.push_back(Registration<LinearGradient>("CILinearGradient", "Linear Gradient",
                                               {kCICategoryGradient, kCICategoryVideo, kCICategoryStillImage}));
    out.push_back(Registration<RadialGradient>("CIRadialGradient", "Radial Gradient",
                                               {kCICategoryGradient, kCICategoryVideo, kCICategoryStillImage}));
}

} // namespace CoreImage::BuiltIn
