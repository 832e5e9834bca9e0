// The Core Image kernel language translated to GLSL 1.20 fragment shaders.
//
// A kernel text holds one or more `kernel vec4 name(parameters) { ... }` definitions, with
// constants and helper functions around them. Each kernel becomes a fragment shader of its
// own (compatibility profile, rectangle textures) whose parameters are uniforms:
//   sampler X          sampler2DRect ci_tex_X, mat3 ci_transform_X (working space to the
//                      texture's pixels), vec4 ci_extent_X (x, y, width, height in pixels;
//                      sample answers transparent black outside it)
//   __table sampler X  the same; sample clamps to the extent instead (the caller leaves
//                      the texture unfiltered)
//   float/vec2/vec3/vec4 X   a uniform of that type named X
//   __color X          a vec4 uniform named X
// plus vec2 ci_destOrigin, the working-space point of the destination's lower-left pixel.
// The shader's own lines carry the kernel text's line numbers (#line), so the compiler's
// log speaks of the kernel's lines; CIKernelLogLines reads them back.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace CoreImage {

enum class CIKernelParameterKind { Sampler, TableSampler, Float, Vec2, Vec3, Vec4, Color };

struct CIKernelParameter {
    std::string name;
    CIKernelParameterKind kind = CIKernelParameterKind::Float;

    bool isSampler() const {
        return kind == CIKernelParameterKind::Sampler || kind == CIKernelParameterKind::TableSampler;
    }
    // The uniforms of the parameter: its value (or texture), and for samplers the transform
    // and the extent.
    std::string valueUniform() const { return isSampler() ? "ci_tex_" + name : name; }
    std::string transformUniform() const { return "ci_transform_" + name; }
    std::string extentUniform() const { return "ci_extent_" + name; }
};

bool operator==(const CIKernelParameter &a, const CIKernelParameter &b);

inline constexpr const char *kCIKernelDestOriginUniform = "ci_destOrigin";

struct CIKernelSource {
    std::string name;
    std::vector<CIKernelParameter> parameters;
    std::string fragmentShader;
    int line = 0; // line of the kernel's `kernel` keyword (1-based)
};

struct CIKernelError {
    int line = 0; // 1-based line of the kernel text
    std::string message;
};

struct CIKernelTranslation {
    std::vector<CIKernelSource> kernels; // empty when error is set
    std::optional<CIKernelError> error;
};

// Translates every kernel of the text. Structural faults (no kernel, a kernel not answering
// vec4, an unknown parameter type, unbalanced brackets...) give an error at the line where
// they are; faults inside kernel bodies are the GLSL compiler's to find.
CIKernelTranslation CITranslateKernels(std::string_view text);

// The messages of a GLSL compiler log that name a line ("0:12(5): error: ...", "0(12) :
// error ...", "ERROR: 0:12: ..."), with that line, which is the kernel text's own.
std::vector<CIKernelError> CIKernelLogLines(std::string_view log);

} // namespace CoreImage
