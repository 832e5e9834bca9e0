// CIKernel: a kernel of the Core Image kernel language, translated to GLSL once when it is
// made, and applied to arguments to make an image (a recipe; nothing runs until a context
// renders it).
//
//     auto kernels = CIKernel::kernelsWithString(text);        // one per `kernel` in the text
//     CIImageRef out = kernels[0]->apply({CISampler(image), 0.5f}, {});
//
// Programs are compiled by the context that renders, once per kernel and share group.
#pragma once

#include <CoreImage/CIColor.h>
#include <CoreImage/CIImage.h>
#include <CoreImage/CIKernelTranslator.h>
#include <CoreImage/CISampler.h>
#include <CoreImage/CIVector.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

class CIKernel;
using CIKernelRef = std::shared_ptr<const CIKernel>;

// One argument of an apply, in the order of the kernel's parameters: a sampler for a
// `sampler`/`__table sampler`, a number for a `float`, a vector of the parameter's size for a
// `vec2`/`vec3`/`vec4`, a colour for a `__color`.
using CIKernelArgument = std::variant<CISampler, double, CIVector, CIColor>;

// The region of interest: the rectangle of the sampler's image (in its plane) that the kernel
// reads to draw `destRect` of its output. Without one a kernel may read all of each sampler's
// image (its whole extent, or `destRect` for an image without bounds).
using CIKernelROIFunction = std::function<CGRect(size_t samplerIndex, CGRect destRect)>;

// kCIApplyOptionDefinition: the domain where the output is defined (the rectangle, or a
// sampler's definition); kCIApplyOptionExtent: the extent given outright. The output's extent
// is the extent when given, else the definition, else infinite.
struct CIApplyOptions {
    std::optional<CGRect> definition;
    std::optional<CGRect> extent;
    CIKernelROIFunction roi;
};

class CIKernel : public std::enable_shared_from_this<CIKernel> {
public:
    // The kernels of the text, in order; empty when the text has none or does not translate
    // (`error` then says why, with the text's own line).
    static std::vector<CIKernelRef> kernelsWithString(std::string_view text,
                                                      CoreImage::CIKernelError *error = nullptr);

    const std::string &name() const { return m_source.name; }
    const std::vector<CoreImage::CIKernelParameter> &parameters() const { return m_source.parameters; }
    const std::string &fragmentShader() const { return m_source.fragmentShader; }
    // A number no other kernel of the process has: the key of the program caches.
    uint64_t identity() const { return m_identity; }
    // Whether every read of the kernel is sample(s, samplerCoord(s)): the point of the sampler
    // under the destination pixel (a texel centre when the sampler moves by whole pixels). A
    // kernel that computes where it reads (a distortion, a helper taking a sampler) reads
    // between texels.
    bool readsOnlyUnderItsPixels() const { return m_readsOnlyUnderItsPixels; }

    // The image of the kernel over the arguments; null when the arguments do not match the
    // parameters (count, kinds, vector sizes; a sampler without an image is allowed and reads
    // as transparent black).
    CIImageRef apply(std::vector<CIKernelArgument> arguments, CIApplyOptions options = {}) const;
    // Why the last failed apply on this thread failed ("" after a success).
    static const std::string &lastApplyError();

    // Kernels are made by kernelsWithString (an apply needs the kernel shared).
    explicit CIKernel(CoreImage::CIKernelSource source);

private:
    CoreImage::CIKernelSource m_source;
    uint64_t m_identity;
    bool m_readsOnlyUnderItsPixels;
};

// What an image made by a kernel apply holds (its source): the kernel, the arguments, and the
// region of interest.
struct CIKernelApplication {
    CIKernelRef kernel;
    std::vector<CIKernelArgument> arguments;
    CIKernelROIFunction roi;
};
