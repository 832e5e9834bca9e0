// What the families of built-in filters share: the input descriptions, typed and checked
// reads of the inputs, and the kernels. Internal to the Core Image layer.
#pragma once

#include <CoreImage/CIBuiltInFilters.h>
#include <CoreImage/CIFilter.h>
#include <CoreImage/CIKernel.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CoreImage::BuiltIn {

// Input descriptions.
CIInputAttributes ImageInput(const char *key = kCIInputImageKey, const char *displayName = "Image");
struct Range {
    std::optional<double> min = {}, max = {}, sliderMin = {}, sliderMax = {}, identity = {};
};
CIInputAttributes NumberInput(const char *key, const char *type, const char *displayName, double defaultValue,
                              Range range);
CIInputAttributes VectorInput(const char *key, const char *type, const char *displayName, CIVector defaultValue);
CIInputAttributes ColorInput(const char *key, const char *displayName, CIColor defaultValue);
CIInputAttributes TransformInput(const char *key, const char *displayName);

// A built-in filter: its inputs are a fixed table; the reads check the values.
class Filter : public CIFilter {
public:
    std::vector<CIInputAttributes> customAttributes() const final { return m_inputs; }

protected:
    explicit Filter(std::vector<CIInputAttributes> inputs) : m_inputs(std::move(inputs)) {}

    // The image, or null when it is missing or the value is no image.
    CIImageRef image(const char *key = kCIInputImageKey) const;
    // The number clamped to the input's range; nothing when it is missing, not a number or not
    // finite.
    std::optional<double> number(const char *key) const;
    // The vector when it has at least `count` components, all finite.
    std::optional<CIVector> vector(const char *key, size_t count) const;
    // The colour when its components are finite.
    std::optional<CIColor> color(const char *key) const;
    // The transform when its coefficients are finite.
    std::optional<CGAffineTransform> transform(const char *key) const;

private:
    std::vector<CIInputAttributes> m_inputs;
};

// The kernel of that name in the text's kernels, or null (a built-in text that fails to
// translate logs its error once).
CIKernelRef KernelNamed(const std::vector<CIKernelRef> &kernels, std::string_view name);
std::vector<CIKernelRef> TranslateBuiltInKernels(const char *text);

// A colour as the vec4 a kernel takes (unpremultiplied; the kernels premultiply).
CIVector ColorVector(const CIColor &color);
// The rectangle grown by dx and dy on each side; null stays null.
CGRect Grow(CGRect rect, double dx, double dy);
// The smallest rectangle holding both; a null one adds nothing.
CGRect Union(CGRect a, CGRect b);

// The Gaussian blur of the image with standard deviation `sigma` pixels, as two passes
// (horizontal, then vertical); the image itself for sigma below 0.01. Shared by the blur and
// the bloom.
CIImageRef GaussianBlur(const CIImageRef &image, double sigma);
// How far from its centre the blur of `sigma` reads: ceil(3 sigma) pixels.
double GaussianReach(double sigma);

// The families' registrations.
void AddColorFilters(std::vector<CIBuiltInFilterRegistration> &out);
void AddBlurFilters(std::vector<CIBuiltInFilterRegistration> &out);
void AddGeometryFilters(std::vector<CIBuiltInFilterRegistration> &out);
void AddCompositeFilters(std::vector<CIBuiltInFilterRegistration> &out);
void AddGenerators(std::vector<CIBuiltInFilterRegistration> &out);

// One registration of the filter class T under `name`.
template <class T>
CIBuiltInFilterRegistration Registration(const char *name, const char *displayName,
                                         std::vector<std::string> categories) {
    categories.emplace_back(kCICategoryBuiltIn);
    return CIBuiltInFilterRegistration{
        name, [](const std::string &) -> CIFilterRef { return std::make_shared<T>(); },
        CIFilterClassAttributes{displayName, std::move(categories)}};
}

} // namespace CoreImage::BuiltIn
