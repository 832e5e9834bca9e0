// The colour filters: CIColorControls, CIExposureAdjust, CIWhitePointAdjust, CIColorInvert.
// Each is one kernel over the unpremultiplied colour, clamped to [0, 1] and premultiplied
// again; alpha is kept. The output's extent is the input's.
#include <CoreImage/CIBuiltInFilterSupport.h>

namespace CoreImage::BuiltIn {
namespace {

const char *kColorKernels = R"(
// Saturation mixes the colour with its grey (Rec. 709 luma), extrapolating above 1; brightness
// is added; contrast scales about mid grey: ((c - 0.5) * contrast + 0.5).
kernel vec4 ciColorControls(sampler image, float saturation, float brightness, float contrast)
{
    vec4 p = unpremultiply(sample(image, samplerCoord(image)));
    float luma = dot(p.rgb, vec3(0.2125, 0.7154, 0.0721));
    vec3 c = mix(vec3(luma), p.rgb, saturation);
    c = c + brightness;
    c = (c - 0.5) * contrast + 0.5;
    return premultiply(vec4(clamp(c, 0.0, 1.0), p.a));
}
// The colour times 2^ev, as a change of exposure by ev stops.
kernel vec4 ciExposureAdjust(sampler image, float ev)
{
    vec4 p = unpremultiply(sample(image, samplerCoord(image)));
    return premultiply(vec4(clamp(p.rgb * exp2(ev), 0.0, 1.0), p.a));
}
// White becomes the given colour and every colour is scaled alike (a diagonal, von Kries
// adaptation): c * white.rgb.
kernel vec4 ciWhitePointAdjust(sampler image, vec4 white)
{
    vec4 p = unpremultiply(sample(image, samplerCoord(image)));
    return premultiply(vec4(clamp(p.rgb * white.rgb, 0.0, 1.0), p.a));
}
kernel vec4 ciColorInvert(sampler image)
{
    vec4 p = unpremultiply(sample(image, samplerCoord(image)));
    return premultiply(vec4(clamp(1.0 - p.rgb, 0.0, 1.0), p.a));
}
)";

CIKernelRef ColorKernel(std::string_view name) {
    static const std::vector<CIKernelRef> kernels = TranslateBuiltInKernels(kColorKernels);
    return KernelNamed(kernels, name);
}

// The kernel over the image and the other arguments, defined where the image is.
CIImageRef ApplyPerPixel(std::string_view kernelName, const CIImageRef &image, std::vector<CIKernelArgument> rest) {
    CIKernelRef kernel = ColorKernel(kernelName);
    if (!kernel || !image) return nullptr;
    std::vector<CIKernelArgument> arguments{CISampler(image)};
    arguments.insert(arguments.end(), rest.begin(), rest.end());
    CIApplyOptions options;
    options.extent = image->extent();
    options.roi = [](size_t, CGRect destRect) { return destRect; };
    return kernel->apply(std::move(arguments), std::move(options));
}

class ColorControls final : public Filter {
public:
    ColorControls()
        : Filter({ImageInput(),
                  NumberInput("inputSaturation", kCIAttributeTypeScalar, "Saturation", 1,
                              {.min = 0, .sliderMin = 0, .sliderMax = 2, .identity = 1}),
                  NumberInput("inputBrightness", kCIAttributeTypeScalar, "Brightness", 0,
                              {.min = -1, .sliderMin = -1, .sliderMax = 1, .identity = 0}),
                  NumberInput("inputContrast", kCIAttributeTypeScalar, "Contrast", 1,
                              {.min = 0, .sliderMin = 0.25, .sliderMax = 4, .identity = 1})}) {}
    CIImageRef outputImage() const override {
        auto saturation = number("inputSaturation"), brightness = number("inputBrightness"),
             contrast = number("inputContrast");
        if (!saturation || !brightness || !contrast) return nullptr;
        return ApplyPerPixel("ciColorControls", image(), {*saturation, *brightness, *contrast});
    }
};

class ExposureAdjust final : public Filter {
public:
    ExposureAdjust()
        : Filter({ImageInput(), NumberInput("inputEV", kCIAttributeTypeScalar, "EV", 0,
                                            {.sliderMin = -10, .sliderMax = 10, .identity = 0})}) {}
    CIImageRef outputImage() const override {
        auto ev = number("inputEV");
        if (!ev) return nullptr;
        return ApplyPerPixel("ciExposureAdjust", image(), {*ev});
    }
};

class WhitePointAdjust final : public Filter {
public:
    WhitePointAdjust()
        : Filter({ImageInput(), ColorInput("inputColor", "Color", CIColor::colorWithRed(1, 1, 1, 1))}) {}
    CIImageRef outputImage() const override {
        auto white = color("inputColor");
        if (!white) return nullptr;
        return ApplyPerPixel("ciWhitePointAdjust", image(), {ColorVector(*white)});
    }
};

class ColorInvert final : public Filter {
public:
    ColorInvert() : Filter({ImageInput()}) {}
    CIImageRef outputImage() const override { return ApplyPerPixel("ciColorInvert", image(), {}); }
};

} // namespace

void AddColorFilters(std::vector<CIBuiltInFilterRegistration> &out) {
    out.push_back(Registration<ColorControls>("CIColorControls", "Color Controls",
                                              {kCICategoryColorAdjustment, kCICategoryVideo, kCICategoryStillImage,
                                               kCICategoryInterlaced, kCICategoryNonSquarePixels}));
    out.push_back(Registration<ExposureAdjust>("CIExposureAdjust", "Exposure Adjust",
                                               {kCICategoryColorAdjustment, kCICategoryVideo, kCICategoryStillImage,
                                                kCICategoryInterlaced, kCICategoryNonSquarePixels}));
    out.push_back(Registration<WhitePointAdjust>("CIWhitePointAdjust", "White Point Adjust",
                                                 {kCICategoryColorAdjustment, kCICategoryVideo,
                                                  kCICategoryStillImage, kCICategoryInterlaced,
                                                  kCICategoryNonSquarePixels}));
    out.push_back(Registration<ColorInvert>("CIColorInvert", "Color Invert",
                                            {kCICategoryColorEffect, kCICategoryVideo, kCICategoryStillImage,
                                             kCICategoryInterlaced, kCICategoryNonSquarePixels}));
}

} // namespace CoreImage::BuiltIn
