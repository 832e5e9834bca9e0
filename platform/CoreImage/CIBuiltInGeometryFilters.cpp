// The geometry filters: CICrop and CIAffineTransform fold into the image's sampler (no pass);
// CIBumpDistortion is one kernel.
//
// The bump: inside the circle of radius R about the centre c, the point p shows the image at
//     c + (p - c) * (1 - s * (1 - u)^2),   u = |p - c|^2 / R^2
// and outside it the image is untouched. The factor is 1 with a zero slope at the rim, so the
// bump joins the rest smoothly; at the centre the image is magnified 1 / (1 - s) times (s > 0,
// a bulge) or shrunk (s < 0, a dent). For s in [-1, 1] the map never folds over itself. The
// read points stay inside the circle; the extent is the input's.
#include <CoreImage/CIBuiltInFilterSupport.h>

namespace CoreImage::BuiltIn {
namespace {

const char *kGeometryKernels = R"(
kernel vec4 ciBumpDistortion(sampler image, vec2 center, float radius, float scale)
{
    vec2 d = destCoord() - center;
    float u = dot(d, d) / (radius * radius);
    float v = 1.0 - u;
    float f = u < 1.0 ? 1.0 - scale * v * v : 1.0;
    return sample(image, samplerTransform(image, center + d * f));
}
)";

CIKernelRef GeometryKernel(std::string_view name) {
    static const std::vector<CIKernelRef> kernels = TranslateBuiltInKernels(kGeometryKernels);
    return KernelNamed(kernels, name);
}

class Crop final : public Filter {
public:
    Crop()
        : Filter({ImageInput(), VectorInput("inputRectangle", kCIAttributeTypeRectangle, "Rectangle",
                                            CIVector::vectorWithCGRect(CIRectInfinite))}) {}
    CIImageRef outputImage() const override {
        CIImageRef input = image();
        auto rect = vector("inputRectangle", 4);
        if (!input || !rect) return nullptr;
        return input->imageByCroppingToRect(rect->CGRectValue());
    }
};

// A transform that cannot be inverted gives an empty image (as CIImage's transform does).
class AffineTransform final : public Filter {
public:
    AffineTransform() : Filter({ImageInput(), TransformInput("inputTransform", "Transform")}) {}
    CIImageRef outputImage() const override {
        CIImageRef input = image();
        auto t = transform("inputTransform");
        if (!input || !t) return nullptr;
        return input->imageByApplyingTransform(*t);
    }
};

class BumpDistortion final : public Filter {
public:
    BumpDistortion()
        : Filter({ImageInput(),
                  VectorInput("inputCenter", kCIAttributeTypePosition, "Center", CIVector{150, 150}),
                  NumberInput("inputRadius", kCIAttributeTypeDistance, "Radius", 300,
                              {.min = 0, .sliderMin = 0, .sliderMax = 600}),
                  NumberInput("inputScale", kCIAttributeTypeScalar, "Scale", 0.5,
                              {.sliderMin = -1, .sliderMax = 1, .identity = 0})}) {}
    CIImageRef outputImage() const override {
        CIImageRef input = image();
        auto center = vector("inputCenter", 2);
        auto radius = number("inputRadius"), scale = number("inputScale");
        CIKernelRef kernel = GeometryKernel("ciBumpDistortion");
        if (!input || !center || !radius || !scale || !kernel) return nullptr;
        if (*radius <= 0 || *scale == 0) return input;
        const double r = *radius;
        const CGRect circle = CGRectMake(center->X() - r, center->Y() - r, 2 * r, 2 * r);
        CIApplyOptions options;
        options.extent = input->extent();
        options.roi = [circle](size_t, CGRect destRect) {
            const CGRect grown = Grow(destRect, 1, 1);
            return CGRectIsNull(CGRectIntersection(destRect, circle)) ? grown : Union(grown, Grow(circle, 1, 1));
        };
        return kernel->apply({CISampler(input), CIVector{center->X(), center->Y()}, r, *scale}, std::move(options));
    }
};

} // namespace

void AddGeometryFilters(std::vector<CIBuiltInFilterRegistration> &out) {
    out.push_back(Registration<Crop>("CICrop", "Crop",
                                     {kCICategoryGeometryAdjustment, kCICategoryVideo, kCICategoryStillImage}));
    out.push_back(Registration<AffineTransform>("CIAffineTransform", "Affine Transform",
                                                {kCICategoryGeometryAdjustment, kCICategoryVideo,
                                                 kCICategoryStillImage}));
    out.push_back(Registration<BumpDistortion>("CIBumpDistortion", "Bump Distortion",
                                               {kCICategoryDistortionEffect, kCICategoryVideo,
                                                kCICategoryStillImage}));
}

} // namespace CoreImage::BuiltIn
