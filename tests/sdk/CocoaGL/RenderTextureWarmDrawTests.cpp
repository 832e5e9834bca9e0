// A warm render (the second and later of a render texture through a cached program) compiles
// no program and makes no GL object: the cache's compile counter stays put and no texture,
// framebuffer, renderbuffer, buffer, shader or program name is generated during it.
//
// GL object creation is counted by entry points of this test program that stand in front of
// the GL library's (the code under test is linked into this program) and pass every call on.
#include <CocoaGL/NSOGLRenderTextureFBOWithShader.h>
#include <CocoaGL/NSOGLSharingContext.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>

#include <gtest/gtest.h>

#include <atomic>
#include <dlfcn.h>

#include "RenderTextureTestSupport.h"

namespace {

std::atomic<unsigned> gObjectsMade{0};

template <typename Function>
Function Next(const char *name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

void glGenTextures(GLsizei n, GLuint *names) {
    static const auto next = Next<void (*)(GLsizei, GLuint *)>("glGenTextures");
    gObjectsMade += unsigned(n > 0 ? n : 0);
    next(n, names);
}
void glGenFramebuffersEXT(GLsizei n, GLuint *names) {
    static const auto next = Next<void (*)(GLsizei, GLuint *)>("glGenFramebuffersEXT");
    gObjectsMade += unsigned(n > 0 ? n : 0);
    next(n, names);
}
void glGenFramebuffers(GLsizei n, GLuint *names) {
    static const auto next = Next<void (*)(GLsizei, GLuint *)>("glGenFramebuffers");
    gObjectsMade += unsigned(n > 0 ? n : 0);
    next(n, names);
}
void glGenRenderbuffersEXT(GLsizei n, GLuint *names) {
    static const auto next = Next<void (*)(GLsizei, GLuint *)>("glGenRenderbuffersEXT");
    gObjectsMade += unsigned(n > 0 ? n : 0);
    next(n, names);
}
void glGenRenderbuffers(GLsizei n, GLuint *names) {
    static const auto next = Next<void (*)(GLsizei, GLuint *)>("glGenRenderbuffers");
    gObjectsMade += unsigned(n > 0 ? n : 0);
    next(n, names);
}
void glGenBuffers(GLsizei n, GLuint *names) {
    static const auto next = Next<void (*)(GLsizei, GLuint *)>("glGenBuffers");
    gObjectsMade += unsigned(n > 0 ? n : 0);
    next(n, names);
}
GLhandleARB glCreateShaderObjectARB(GLenum type) {
    static const auto next = Next<GLhandleARB (*)(GLenum)>("glCreateShaderObjectARB");
    ++gObjectsMade;
    return next(type);
}
GLhandleARB glCreateProgramObjectARB() {
    static const auto next = Next<GLhandleARB (*)()>("glCreateProgramObjectARB");
    ++gObjectsMade;
    return next();
}
GLuint glCreateShader(GLenum type) {
    static const auto next = Next<GLuint (*)(GLenum)>("glCreateShader");
    ++gObjectsMade;
    return next(type);
}
GLuint glCreateProgram() {
    static const auto next = Next<GLuint (*)()>("glCreateProgram");
    ++gObjectsMade;
    return next();
}

}  // extern "C"

namespace {

using namespace rendertex_test;

TEST(RenderTextureWarmDraw, SecondDrawCompilesAndMakesNothing) {
    ASSERT_TRUE(import_NSOGLRenderTextureFBOWithShader());
    const auto root = NSOGLSharingContext::rootSharingContext();
    ASSERT_NE(root, nullptr);
    const auto cache = NSOGLSLShaderProgramCache::shaderCacheWithSourceCodeClass(MemorySourceCode::Get());
    ASSERT_NE(cache, nullptr);

    std::shared_ptr<NSOGLTextureBase> source;
    std::shared_ptr<NSOGLRenderTextureFBOWithShader> texture;
    const unsigned beforeMaking = gObjectsMade.load();
    {
        OpenGL::CGLContextStateLock scope(root->CGLContextObj());
        source = NewSourceTexture(64, 48);
        texture = NSOGLRenderTextureFBOWithShader::textureWithShaderSourceClass(MemorySourceCode::Get(), "copy", 64, 48);
        CGLSetCurrentContext(nullptr);
    }
    ASSERT_NE(texture, nullptr);
    // The counting stands in front of the calls of the code under test.
    EXPECT_GE(gObjectsMade.load() - beforeMaking, 3u);  // source, surface texture, framebuffer...

    texture->setShaderProgram(cache->shaderProgramWithName("copy"));
    ASSERT_NE(texture->shaderProgram(), nullptr);
    EXPECT_EQ(cache->compiledProgramCount(), 1u);
    texture->setSourceTexture(source);
    texture->renderScene();  // cold

    const unsigned compiled = cache->compiledProgramCount();
    const unsigned made = gObjectsMade.load();
    texture->setShaderProgram(cache->shaderProgramWithName("copy"));  // a warm lookup
    texture->renderScene();
    texture->renderScene(false);
    EXPECT_EQ(cache->compiledProgramCount(), compiled);
    EXPECT_EQ(gObjectsMade.load(), made);
    EXPECT_EQ(SurfacePixels(texture->surface())[0], SourcePixel(0, 0));

    OpenGL::CGLContextStateLock scope(root->CGLContextObj());
    texture.reset();
    source.reset();
    CGLSetCurrentContext(nullptr);
}

}  // namespace
