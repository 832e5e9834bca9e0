// The application's shader sources: the GLSL texts compiled into the kit (Qt resources under
// "/shaders") instead of shader files in the bundle. A program cache or program given
// LumoraShaderSourceCode::sourceCodeClass() takes its texts from this table:
//
//   "CGImageRenderTexture_nop_BGRA.vs" / ".fs"               the BGRA image unchanged
//   "CGImageRenderTexture_swizzle_BGRA_to_ARGB.vs" / ".fs"   the same with the channels
//                                                            reordered (B G R A -> A R G B)
//
// Both programs sample a rectangle texture on unit 0 (sampler "texture0") at the texture
// coordinates of unit 0 under the texture matrix, and place vertices with the fixed-function
// matrices (compatibility profile).
#pragma once

#include <CocoaGL/NSOGLShaderSourceCode.h>

#include <array>
#include <string>

class LumoraShaderSourceCode : public NSOGLShaderSourceCode {
public:
    // The file names of the table, in its order.
    static constexpr std::array<const char *, 4> kShaderFileNames = {
        "CGImageRenderTexture_swizzle_BGRA_to_ARGB.vs",
        "CGImageRenderTexture_swizzle_BGRA_to_ARGB.fs",
        "CGImageRenderTexture_nop_BGRA.vs",
        "CGImageRenderTexture_nop_BGRA.fs",
    };

    // The class object: its sourceCodeFromResource answers stringDataForShaderFileName of
    // "<name>.<extension>".
    static NSOGLShaderSourceCodeClassRef sourceCodeClass();

    static std::optional<std::string> sourceCodeFromResource(const std::string &name, const std::string &extension) {
        return sourceCodeClass()->sourceCodeFromResource(name, extension);
    }
    static std::shared_ptr<NSOGLShaderSourceCode> shaderSourceCodeWithShaderName(const std::string &name) {
        return sourceCodeClass()->shaderSourceCodeWithShaderName(name);
    }

    // The text of a file of the table; the empty string for any other name.
    static std::string stringDataForShaderFileName(const std::string &fileName);
};

bool import_LumoraShaderSourceCode();
