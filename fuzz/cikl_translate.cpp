// Kernel texts come from image units and compositions: translation of any text to GLSL
// (no GL involved) must answer kernels or an error and never misbehave.
#include <CoreImage/CIKernelTranslator.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const CoreImage::CIKernelTranslation translation = CoreImage::CITranslateKernels(text);
    if (translation.error.has_value() == !translation.kernels.empty()) __builtin_trap();
    for (const CoreImage::CIKernelSource &kernel : translation.kernels)
        if (kernel.fragmentShader.empty() || kernel.name.empty()) __builtin_trap();
    (void)CoreImage::CIKernelLogLines(text);
    return 0;
}
