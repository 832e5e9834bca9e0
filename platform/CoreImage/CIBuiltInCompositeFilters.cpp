// The compositing filters over premultiplied colours, the image S over (or with) the
// background D; the output covers both extents.
//   CISourceOverCompositing   S + D (1 - Sa)
//   CIMultiplyBlendMode       S D + S (1 - Da) + D (1 - Sa)   (alpha: Sa + Da - Sa Da)
#include <CoreImage/CIBuiltInFilterSupport.h>

namespace CoreImage::BuiltIn {
namespace {

const char *kCompositeKernels = R"(
kernel vec4 ciSourceOver(sampler image, sampler background)
{
    vec4 s = sample(image, samplerCoord(image));
    vec4 d = sample(background, samplerCoord(background));
    return s + d * (1.0 - s.a);
}
kernel vec4 ciMultiplyBlend(sampler image, sampler background)
{
    vec4 s = sample(image, samplerCoord(image));
    vec4 d = sample(background, samplerCoord(background));
    vec3 c = s.rgb * d.rgb + s.rgb * (1.0 - d.a) + d.rgb * (1.0 - s.a);
    return vec4(c, s.a + d.a - s.a * d.a);
}
)";

CIKernelRef CompositeKernel(std::string_view name) {
    static const std::vector<CIKernelRef> kernels = TranslateBuiltInKernels(kCompositeKernels);
    return KernelNamed(kernels, name);
}

class Composite : public Filter {
public:
    explicit Composite(const char *kernelName)
        : Filter({ImageInput(), ImageInput("inputBackgroundImage", "Background Image")}), m_kernelName(kernelName) {}
    CIImageRef outputImage() const override {
        CIImageRef source = image(), background = image("inputBackgroundImage");
        CIKernelRef kernel = CompositeKernel(m_kernelName);
        if (!source || !background || !kernel) return nullptr;
        CIApplyOptions options;
        options.extent = Union(source->extent(), background->extent());
        options.roi = [](size_t, CGRect destRect) { return destRect; };
        return kernel->apply({CISampler(source), CISampler(background)}, std::move(options));
    }

private:
    const char *m_kernelName;
};

class SourceOverCompositing final : public Composite {
public:
    SourceOverCompositing() : Composite("ciSourceOver") {}
};

class MultiplyBlendMode final : public Composite {
public:
    MultiplyBlendMode() : Composite("ciMultiplyBlend") {}
};

} // namespace

void AddCompositeFilters(std::vector<CIBuiltInFilterRegistration> &out) {
    out.push_back(Registration<MultiplyBlendMode>("CIMultiplyBlendMode", "Multiply Blend Mode",
                                                  {kCICategoryCompositeOperation, kCICategoryVideo,
                                                   kCICategoryStillImage, kCICategoryInterlaced,
                                                   kCICategoryNonSquarePixels}));
    out.push_back(Registration<SourceOverCompositing>("CISourceOverCompositing", "Source Over Compositing",
                                                      {kCICategoryCompositeOperation, kCICategoryVideo,
                                                       kCICategoryStillImage, kCICategoryInterlaced,
                                                       kCICategoryNonSquarePixels}));
}

} // namespace CoreImage::BuiltIn
