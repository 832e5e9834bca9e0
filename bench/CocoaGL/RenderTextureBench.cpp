// A 640 x 480 texture drawn through a named program (from the program cache) into a render
// texture's IOSurface framebuffer on a pool context, the surface complete on return (the
// render's flush is a sync point that writes the frame into the surface's memory), against
// the floor: in one context, a plain glTexImage2D upload of the frame and one textured quad
// into a plain framebuffer object, then glFinish.
#include <benchmark/benchmark.h>

#include <CocoaGL/NSOGLRenderTextureFBOWithShader.h>
#include <CocoaGL/NSOGLSharingContext.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <vector>

#include "../../tests/sdk/CocoaGL/RenderTextureTestSupport.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

void BM_RenderTextureThroughNamedProgram(benchmark::State &state) {
    const auto root = NSOGLSharingContext::rootSharingContext();
    const auto cache = NSOGLSLShaderProgramCache::shaderCacheWithSourceCodeClass(rendertex_test::MemorySourceCode::Get());
    std::shared_ptr<NSOGLTextureBase> source;
    std::shared_ptr<NSOGLRenderTextureFBOWithShader> texture;
    {
        OpenGL::CGLContextStateLock scope(root->CGLContextObj());
        source = rendertex_test::NewSourceTexture(kWidth, kHeight);
        texture = NSOGLRenderTextureFBOWithShader::textureWithShaderSourceClass(rendertex_test::MemorySourceCode::Get(),
                                                                                "copy", kWidth, kHeight);
        CGLSetCurrentContext(nullptr);
    }
    if (texture == nullptr) {
        state.SkipWithError("no render texture");
        return;
    }
    texture->setShaderProgram(cache->shaderProgramWithName("copy"));
    texture->setSourceTexture(source);
    texture->renderScene();  // warm
    for (auto _ : state) texture->renderScene();
    OpenGL::CGLContextStateLock scope(root->CGLContextObj());
    texture.reset();
    source.reset();
    CGLSetCurrentContext(nullptr);
}
BENCHMARK(BM_RenderTextureThroughNamedProgram)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FloorUploadAndQuadIntoPlainFBO(benchmark::State &state) {
    const CGLPixelFormatAttribute attributes[] = {kCGLPFAColorSize, CGLPixelFormatAttribute(24),
                                                  CGLPixelFormatAttribute(0)};
    CGLPixelFormatObj format = nullptr;
    GLint count = 0;
    CGLChoosePixelFormat(attributes, &format, &count);
    CGLContextObj context = nullptr;
    CGLCreateContext(format, nullptr, &context);
    CGLReleasePixelFormat(format);
    if (context == nullptr) {
        state.SkipWithError("no context");
        return;
    }
    CGLSetCurrentContext(context);
    std::vector<uint32_t> frame(std::size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) frame[std::size_t(y) * kWidth + std::size_t(x)] = rendertex_test::SourcePixel(x, y);
    GLuint textures[2] = {};
    glGenTextures(2, textures);
    glBindTexture(GL_TEXTURE_2D, textures[1]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
    GLuint framebuffer = 0;
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, textures[1], 0);
    glViewport(0, 0, kWidth, kHeight);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, textures[0]);
    glTexParameteri(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glEnable(GL_TEXTURE_RECTANGLE_EXT);
    for (auto _ : state) {
        glTexImage2D(GL_TEXTURE_RECTANGLE_EXT, 0, GL_RGBA8, kWidth, kHeight, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     frame.data());
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(-1, -1);
        glTexCoord2f(kWidth, 0);
        glVertex2f(1, -1);
        glTexCoord2f(kWidth, kHeight);
        glVertex2f(1, 1);
        glTexCoord2f(0, kHeight);
        glVertex2f(-1, 1);
        glEnd();
        glFinish();
    }
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &framebuffer);
    glDeleteTextures(2, textures);
    CGLSetCurrentContext(nullptr);
    CGLReleaseContext(context);
}
BENCHMARK(BM_FloorUploadAndQuadIntoPlainFBO)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
