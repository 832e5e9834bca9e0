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
    // An error names a line of the text.
    size_t lines = 1;
    for (size_t i = 0; i < size; ++i)
        if (data[i] == '\n' || (data[i] == '\r' && (i + 1 == size || data[i + 1] != '\n'))) ++lines;
    if (translation.error.has_value() && (translation.error->line < 1 || size_t(translation.error->line) > lines))
        __builtin_trap();
    for (const CoreImage::CIKernelSource &kernel : translation.kernels)
        if (kernel.fragmentShader.empty() || kernel.name.empty()) __builtin_trap();
    (void)CoreImage::CIKernelLogLines(text);
    return 0;
}
