// The application's built-in shader table (its four files by name, its two programs drawing
// a BGRA image) and the mask kernels' texts.
#include <CocoaGL/LumoraShaderSourceCode.h>
#include <CocoaGL/NSOGLSLShaderProgram.h>
#include <CocoaGL/NSOGLSharingContext.h>
#include <CocoaGL/QCIDynamicFilterSources.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ShaderProgramTestSupport.h"

namespace {

TEST(LumoraShaderSourceCode, ServesTheFourFilesByName) {
    for (const char *file : LumoraShaderSourceCode::kShaderFileNames) {
        SCOPED_TRACE(file);
        EXPECT_NE(LumoraShaderSourceCode::stringDataForShaderFileName(file).find("void main()"), std::string::npos);
    }
    EXPECT_EQ(LumoraShaderSourceCode::sourceCodeFromResource("CGImageRenderTexture_nop_BGRA", "gs"), "");
    EXPECT_EQ(LumoraShaderSourceCode::stringDataForShaderFileName("CGImageRenderTexture_nop_BGRA"), "");
    EXPECT_EQ(LumoraShaderSourceCode::stringDataForShaderFileName(""), "");
    const auto source = LumoraShaderSourceCode::shaderSourceCodeWithShaderName("CGImageRenderTexture_nop_BGRA");
    EXPECT_EQ(source->vertexShader(), LumoraShaderSourceCode::stringDataForShaderFileName("CGImageRenderTexture_nop_BGRA.vs"));
    EXPECT_EQ(source->fragmentShader(), LumoraShaderSourceCode::stringDataForShaderFileName("CGImageRenderTexture_nop_BGRA.fs"));
}

// The two built-in programs draw a BGRA rectangle texture unchanged and reordered.
TEST(LumoraShaderSourceCode, BuiltInProgramsDrawTheImage) {
    const auto cache = NSOGLSLShaderProgramCache::shaderCacheWithSourceCodeClass(LumoraShaderSourceCode::sourceCodeClass());
    const auto nop = cache->shaderProgramWithName("CGImageRenderTexture_nop_BGRA");
    const auto swizzle = cache->shaderProgramWithName("CGImageRenderTexture_swizzle_BGRA_to_ARGB");
    ASSERT_NE(nop, nullptr);
    ASSERT_NE(swizzle, nullptr);
    EXPECT_EQ(cache->shaderProgramWithName("CGImageRenderTexture_unknown"), nullptr);

    const auto pool = NSOGLSharingContext::offscreenPoolContext();
    const OpenGL::CGLContextStateLock scope(pool.get());
    // Two pixels, bytes B G R A in memory.
    const uint8_t image[8] = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x70, 0x80};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, texture);
    glTexParameteri(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_RECTANGLE_EXT, 0, GL_RGBA8, 2, 1, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, image);

    fbo_test::PlainFramebuffer framebuffer(2, 1, 0);
    framebuffer.Attach();
    glViewport(0, 0, 2, 1);
    const auto draw = [](NSOGLSLShaderProgram &program) {
        program.enable();
        program.setTextureSampler("texture0", 0);
        shader_test::DrawFullQuad(2, 1);
        program.disable();
        uint8_t out[8] = {};
        glReadPixels(0, 0, 2, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, out);
        return std::vector<uint8_t>(out, out + 8);
    };
    EXPECT_EQ(draw(*nop), std::vector<uint8_t>(image, image + 8));
    EXPECT_EQ(draw(*swizzle), (std::vector<uint8_t>{0x40, 0x30, 0x20, 0x10, 0x80, 0x70, 0x60, 0x50}));
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, 0);
    glDeleteTextures(1, &texture);
}

// The mask kernels' texts: CR LF line ends and the kernel each filter compiles.
TEST(QCIDynamicFilterSources, KernelTexts) {
    const struct {
        const char *text;
        const char *kernel;
        int lines;
    } kernels[] = {
        {QCIBorrowChromaFilter_dynamicFilterSourceCode(), "kernel vec4 QCIBorrowChromaFilterKernel(", 25},
        {QCIInvertGreyAlphaMask_dynamicFilterSourceCode(), "kernel vec4 QCIInvertGreyAlphaMaskKernel(", 8},
        {QCIMakeGreyAlphaMask_dynamicFilterSourceCode(), "kernel vec4 QCIMakeGreyAlphaMaskKernel(", 8},
    };
    for (const auto &k : kernels) {
        SCOPED_TRACE(k.kernel);
        const std::string text = k.text;
        EXPECT_NE(text.find(k.kernel), std::string::npos);
        int lines = 0;
        for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; ++at, ++lines)
            EXPECT_EQ(text[at - 1], '\r') << at;
        EXPECT_EQ(lines, k.lines);
        EXPECT_EQ(text.back(), '\n');
    }
}

}  // namespace
