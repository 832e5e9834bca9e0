#include <CoreImage/CIKernel.h>

#include <atomic>
#include <cmath>
#include <iterator>
#include <regex>

namespace {

std::atomic<uint64_t> gNextKernelIdentity{1};

std::string &LastApplyError() {
    thread_local std::string error;
    return error;
}

size_t VectorSize(CoreImage::CIKernelParameterKind kind) {
    switch (kind) {
    case CoreImage::CIKernelParameterKind::Vec2: return 2;
    case CoreImage::CIKernelParameterKind::Vec3: return 3;
    case CoreImage::CIKernelParameterKind::Vec4: return 4;
    default: return 0;
    }
}

// Why the argument does not fit the parameter, or "".
std::string Mismatch(const CoreImage::CIKernelParameter &parameter, const CIKernelArgument &argument) {
    using Kind = CoreImage::CIKernelParameterKind;
    const std::string what = "parameter '" + parameter.name + "'";
    switch (parameter.kind) {
    case Kind::Sampler:
    case Kind::TableSampler:
        return std::holds_alternative<CISampler>(argument) ? "" : what + " takes a sampler";
    case Kind::Float:
        if (!std::holds_alternative<double>(argument)) return what + " takes a number";
        return std::isfinite(std::get<double>(argument)) ? "" : what + " takes a finite number";
    case Kind::Vec2:
    case Kind::Vec3:
    case Kind::Vec4: {
        const CIVector *v = std::get_if<CIVector>(&argument);
        if (!v || v->count() != VectorSize(parameter.kind))
            return what + " takes a vector of " + std::to_string(VectorSize(parameter.kind));
        for (size_t i = 0; i < v->count(); ++i)
            if (!std::isfinite(v->valueAtIndex(i))) return what + " takes finite numbers";
        return "";
    }
    case Kind::Color:
        return std::holds_alternative<CIColor>(argument) ? "" : what + " takes a colour";
    }
    return what + " has an unknown kind";
}

} // namespace

// Counts the reads of the kernel's own text (after the prelude) against those of the form
// sample(s, samplerCoord(s)).
static bool ReadsOnlyUnderItsPixels(const std::string &shader) {
    const size_t text = shader.find("#line 0\n");  // the kernel text follows the prelude
    if (text == std::string::npos) return false;
    static const std::regex anyRead(R"(\bsample\s*\()");
    static const std::regex ownRead(R"(\bsample\s*\(\s*([A-Za-z_]\w*)\s*,\s*samplerCoord\s*\(\s*\1\s*\)\s*\))");
    const auto begin = shader.begin() + long(text);
    const auto reads = std::distance(std::sregex_iterator(begin, shader.end(), anyRead), std::sregex_iterator());
    const auto own = std::distance(std::sregex_iterator(begin, shader.end(), ownRead), std::sregex_iterator());
    return reads == own;
}

CIKernel::CIKernel(CoreImage::CIKernelSource source)
    : m_source(std::move(source)), m_identity(gNextKernelIdentity.fetch_add(1, std::memory_order_relaxed)),
      m_readsOnlyUnderItsPixels(ReadsOnlyUnderItsPixels(m_source.fragmentShader)) {}

std::vector<CIKernelRef> CIKernel::kernelsWithString(std::string_view text, CoreImage::CIKernelError *error) {
    CoreImage::CIKernelTranslation translation = CoreImage::CITranslateKernels(text);
    std::vector<CIKernelRef> kernels;
    if (translation.error) {
        if (error) *error = *translation.error;
        return kernels;
    }
    for (CoreImage::CIKernelSource &source : translation.kernels)
        kernels.push_back(std::make_shared<const CIKernel>(std::move(source)));
    if (error) *error = {};
    return kernels;
}

const std::string &CIKernel::lastApplyError() { return LastApplyError(); }

CIImageRef CIKernel::apply(std::vector<CIKernelArgument> arguments, CIApplyOptions options) const {
    std::string &error = LastApplyError();
    if (arguments.size() != m_source.parameters.size()) {
        error = "kernel '" + name() + "' takes " + std::to_string(m_source.parameters.size()) + " arguments, not " +
                std::to_string(arguments.size());
        return nullptr;
    }
    for (size_t i = 0; i < arguments.size(); ++i) {
        error = Mismatch(m_source.parameters[i], arguments[i]);
        if (!error.empty()) {
            error = "kernel '" + name() + "': " + error;
            return nullptr;
        }
    }
    CIKernelRef self = weak_from_this().lock();
    if (!self) {
        error = "kernel '" + name() + "' was not made by kernelsWithString";
        return nullptr;
    }
    error.clear();
    CGRect domain = CIRectInfinite;
    if (options.extent) domain = *options.extent;
    else if (options.definition) domain = *options.definition;
    auto application = std::make_shared<CIKernelApplication>();
    application->kernel = std::move(self);
    application->arguments = std::move(arguments);
    application->roi = std::move(options.roi);
    return CIImage::imageWithKernelApplication(std::move(application), domain);
}
