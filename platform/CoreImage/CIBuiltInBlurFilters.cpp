// CIGaussianBlur and CIBloom.
//
// The blur of radius r is the Gaussian of standard deviation r pixels, cut at its reach
// R = ceil(3 r), as two separable passes: horizontal, then vertical. Each pass weighs the
// taps -R..R by exp(-i^2 / (2 r^2)) and divides by the sum of the weights; outside the
// image the taps read transparent black, so edges fade out. The extent grows by R on each
// side; each pass reads R pixels (and one for the filtering) around what it draws.
//
// The bloom adds the blur of the image (radius r) to the image as a screen, weighted by the
// intensity k, on each premultiplied component c (alpha too):
//     out = c + k * blur(c) * (1 - c)
// which stays a valid premultiplied colour for k in [0, 1]; the extent is the blur's.
#include <CoreImage/CIBuiltInFilterSupport.h>

#include <cmath>

namespace CoreImage::BuiltIn {
namespace {

const char *kBlurKernels = R"(
// One direction of the blur: `step` is (1, 0) or (0, 1).
kernel vec4 ciGaussianBlur1D(sampler image, vec2 step, float sigma, float reach)
{
    vec2 p = destCoord();
    float k = -0.5 / (sigma * sigma);
    vec4 sum = vec4(0.0);
    float total = 0.0;
    for (float i = -reach; i <= reach; i += 1.0) {
        float w = exp(k * i * i);
        sum += w * sample(image, samplerTransform(image, p + i * step));
        total += w;
    }
    return sum / total;
}
kernel vec4 ciBloomCombine(sampler image, sampler blurred, float intensity)
{
    vec4 c = sample(image, samplerCoord(image));
    vec4 b = sample(blurred, samplerCoord(blurred));
    vec4 o = clamp(c + intensity * b * (1.0 - c), 0.0, 1.0);
    return vec4(min(o.rgb, vec3(o.a)), o.a);
}
)";

CIKernelRef BlurKernel(std::string_view name) {
    static const std::vector<CIKernelRef> kernels = TranslateBuiltInKernels(kBlurKernels);
    return KernelNamed(kernels, name);
}

constexpr double kSmallestSigma = 0.01;

CIImageRef BlurPass(const CIImageRef &image, double sigma, double reach, bool horizontal) {
    CIKernelRef kernel = BlurKernel("ciGaussianBlur1D");
    if (!kernel || !image) return nullptr;
    const double dx = horizontal ? reach : 0, dy = horizontal ? 0 : reach;
    CIApplyOptions options;
    options.extent = Grow(image->extent(), dx, dy);
    options.roi = [dx, dy](size_t, CGRect destRect) { return Grow(destRect, dx + 1, dy + 1); };
    return kernel->apply({CISampler(image), horizontal ? CIVector{1, 0} : CIVector{0, 1}, sigma, reach},
                         std::move(options));
}

class GaussianBlurFilter final : public Filter {
public:
    GaussianBlurFilter()
        : Filter({ImageInput(), NumberInput("inputRadius", kCIAttributeTypeDistance, "Radius", 10,
                                            {.min = 0, .sliderMin = 0, .sliderMax = 100, .identity = 0})}) {}
    CIImageRef outputImage() const override {
        auto radius = number("inputRadius");
        if (!radius) return nullptr;
        return GaussianBlur(image(), *radius);
    }
};

class Bloom final : public Filter {
public:
    Bloom()
        : Filter({ImageInput(),
                  NumberInput("inputRadius", kCIAttributeTypeDistance, "Radius", 10,
                              {.min = 0, .sliderMin = 0, .sliderMax = 100}),
                  NumberInput("inputIntensity", kCIAttributeTypeScalar, "Intensity", 0.5,
                              {.min = 0, .max = 1, .sliderMin = 0, .sliderMax = 1, .identity = 0})}) {}
    CIImageRef outputImage() const override {
        auto radius = number("inputRadius"), intensity = number("inputIntensity");
        CIImageRef input = image();
        CIKernelRef kernel = BlurKernel("ciBloomCombine");
        if (!radius || !intensity || !input || !kernel) return nullptr;
        CIImageRef blurred = GaussianBlur(input, *radius);
        if (!blurred) return nullptr;
        CIApplyOptions options;
        options.extent = Union(input->extent(), blurred->extent());
        options.roi = [](size_t, CGRect destRect) { return destRect; };
        return kernel->apply({CISampler(input), CISampler(blurred), *intensity}, std::move(options));
    }
};

} // namespace

double GaussianReach(double sigma) { return std::ceil(3 * sigma); }

CIImageRef GaussianBlur(const CIImageRef &image, double sigma) {
    if (!image || !std::isfinite(sigma)) return nullptr;
    if (sigma < kSmallestSigma) return image;
    const double reach = GaussianReach(sigma);
    return BlurPass(BlurPass(image, sigma, reach, true), sigma, reach, false);
}

void AddBlurFilters(std::vector<CIBuiltInFilterRegistration> &out) {
    out.push_back(Registration<GaussianBlurFilter>("CIGaussianBlur", "Gaussian Blur",
                                                   {kCICategoryBlur, kCICategoryVideo, kCICategoryStillImage}));
    out.push_back(
        Registration<Bloom>("CIBloom", "Bloom", {kCICategoryStylize, kCICategoryVideo, kCICategoryStillImage}));
}

} // namespace CoreImage::BuiltIn
