// GLSL programs and their cache: one compile per name and source class on the root sharing
// context, programs shared with the pool's contexts, typed uniform setters reaching the
// shader, enable and disable under the program's lock, failures answering null and logged;
// the application's built-in shader table and the mask kernels' texts.
#include <CocoaGL/NSOGLSLShaderProgram.h>
#include <CocoaGL/NSOGLSharingContext.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <CoreGraphics/CGColor.h>
#include <Foundation/NSException.h>

#include <QColor>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

#include "ShaderProgramTestSupport.h"
#include "sdk/CoreG/GLTestSupport.h"

namespace {

using shader_test::MemorySourceClass;
using shader_test::SmallTarget;

// 0xAABBGGRR from four bytes.
constexpr uint32_t RGBA(uint32_t r, uint32_t g, uint32_t b, uint32_t a) { return r | g << 8 | b << 16 | a << 24; }

// Each byte within one of the other's.
::testing::AssertionResult Near(uint32_t actual, uint32_t expected) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = static_cast<int>((actual >> shift) & 0xFF), e = static_cast<int>((expected >> shift) & 0xFF);
        if (a - e > 1 || e - a > 1) {
            char text[64];
            std::snprintf(text, sizeof text, "0x%08X, expected 0x%08X", actual, expected);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

// A test whose programs come from its own cache of an in-memory source class and draw into
// a 2 x 2 target of a pool context.
class ShaderProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        mSources.add("red", "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }");
        mSources.add("float", "uniform float u;\nvoid main() { gl_FragColor = vec4(u, 0.0, 0.0, 1.0); }");
        mSources.add("broken", "void main() { gl_FragColor = no_such_thing; }");
        mCache = NSOGLSLShaderProgramCache::shaderCacheWithSourceCodeClass(&mSources);
    }
    void TearDown() override { mCache.reset(); }

    MemorySourceClass mSources;
    std::shared_ptr<NSOGLSLShaderProgramCache> mCache;
};

TEST_F(ShaderProgramTest, CacheCompilesEachNameOnceOnTheRoot) {
    ASSERT_NE(NSOGLSharingContext::rootSharingContext(), nullptr);
    CGLContextObj saved = CGLGetCurrentContext();
    CGLContextObj before = fbo_test::NewContext();
    CGLSetCurrentContext(before);
    const auto first = mCache->shaderProgramWithName("red");
    const auto second = mCache->shaderProgramWithName("red");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);  // two programs of their own...
    EXPECT_EQ(first->shaderProgramObject(), second->shaderProgramObject());  // ...on one object
    EXPECT_EQ(first->shaderProgramName(), "red");
    EXPECT_EQ(mCache->compiledProgramCount(), 1u);
    EXPECT_EQ(mSources.lookups(), 2);  // "red.vs" and "red.fs", once
    EXPECT_EQ(CGLGetCurrentContext(), before);  // the root was current for the compile only
    CGLSetCurrentContext(saved);
    CGLReleaseContext(before);

    // A warm lookup compiles nothing; another name compiles once more.
    EXPECT_EQ(mCache->shaderProgramObjectWithName("red"), first->shaderProgramObject());
    ASSERT_NE(mCache->shaderProgramWithName("float"), nullptr);
    EXPECT_EQ(mCache->compiledProgramCount(), 2u);
    EXPECT_EQ(mCache->map_shaderName_to_shaderProgramObject().size(), 2u);

    // Another cache of the same class compiles its own.
    const auto other = NSOGLSLShaderProgramCache::shaderCacheWithSourceCodeClass(&mSources);
    const auto third = other->shaderProgramWithName("red");
    ASSERT_NE(third, nullptr);
    EXPECT_NE(third->shaderProgramObject(), first->shaderProgramObject());
    EXPECT_EQ(other->compiledProgramCount(), 1u);
}

// Lookups racing from many threads compile the name once and all get the one object.
TEST_F(ShaderProgramTest, RacingLookupsCompileOnce) {
    std::array<std::shared_ptr<NSOGLSLShaderProgramObject>, 6> seen;
    std::vector<std::thread> threads;
    for (auto &slot : seen) threads.emplace_back([this, &slot] { slot = mCache->shaderProgramObjectWithName("red"); });
    for (std::thread &thread : threads) thread.join();
    for (const auto &object : seen) EXPECT_EQ(object, seen[0]);
    EXPECT_EQ(mCache->compiledProgramCount(), 1u);
    EXPECT_TRUE(seen[0]->validProgramObject());
}

// A program compiled on the root draws in a pool context of its share group.
TEST_F(ShaderProgramTest, CachedProgramDrawsInAPoolContext) {
    const auto program = mCache->shaderProgramWithName("float");
    ASSERT_NE(program, nullptr);
    const auto pool = NSOGLSharingContext::offscreenPoolContext();
    ASSERT_NE(pool, NSOGLSharingContext::rootSharingContext());
    const OpenGL::CGLContextStateLock scope(pool.get());
    const SmallTarget target;
    program->enable();
    EXPECT_TRUE(program->shaderEnabled());
    program->setUniformFloatValue("u", 0.5f);
    shader_test::DrawFullQuad();
    program->disable();
    EXPECT_FALSE(program->shaderEnabled());
    EXPECT_TRUE(Near(target.pixel(), RGBA(128, 0, 0, 255)));
    EXPECT_TRUE(Near(target.pixel(1, 1), RGBA(128, 0, 0, 255)));
}

// Each setter, its shader and the colour the quad gets.
struct UniformCase {
    const char *name;
    const char *fragment;
    std::function<void(NSOGLSLShaderProgram &)> set;
    uint32_t expected;
};

TEST_F(ShaderProgramTest, TypedSettersReachTheShader) {
    static const float m2[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    static const float m3[9] = {0, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f};
    static float m4[16];
    for (int i = 0; i < 16; ++i) m4[i] = static_cast<float>(i) / 16.0f;
    static const float v2[2] = {0.25f, 0.75f}, v3[3] = {0.2f, 0.4f, 0.6f}, v4[4] = {0.8f, 0.6f, 0.4f, 0.2f};
    static const QColor invalid, halfRed(255, 0, 0, 128), green(0, 255, 0);
    const UniformCase cases[] = {
        {"float", "uniform float u;\nvoid main() { gl_FragColor = vec4(u, 0.0, 0.0, 1.0); }",
         [](NSOGLSLShaderProgram &p) { p.setUniformFloatValue("u", 0.25f); }, RGBA(64, 0, 0, 255)},
        {"int", "uniform int u;\nvoid main() { gl_FragColor = vec4(float(u) / 4.0, 0.0, 0.0, 1.0); }",
         [](NSOGLSLShaderProgram &p) { p.setUniformUnsignedValue("u", 3); }, RGBA(191, 0, 0, 255)},
        {"size", "uniform vec2 u;\nvoid main() { gl_FragColor = vec4(u, 0.0, 1.0); }",
         [](NSOGLSLShaderProgram &p) { p.setUniformSizeValue("u", NSSize{0.25, 0.75}); }, RGBA(64, 191, 0, 255)},
        {"vec2", "uniform vec2 u;\nvoid main() { gl_FragColor = vec4(u.y, u.x, 0.0, 1.0); }",
         [](NSOGLSLShaderProgram &p) { p.setUniformVec2Value("u", v2); }, RGBA(191, 64, 0, 255)},
        {"vec3", "uniform vec3 u;\nvoid main() { gl_FragColor = vec4(u, 1.0); }",
         [](NSOGLSLShaderProgram &p) { p.setUniformVec3Value("u", v3); }, RGBA(51, 102, 153, 255)},
        {"vec4", "uniform vec4 u;\nvoid main() { gl_FragColor = u; }",
         [](NSOGLSLShaderProgram &p) { p.setUniformVec4Value("u", v4); }, RGBA(204, 153, 102, 51)},
        {"rgb", "uniform vec3 u;\nvoid main() { gl_FragColor = vec4(u, 1.0); }",
         [](NSOGLSLShaderProgram &p) { p.setUniformRgbColorValue("u", v3); }, RGBA(51, 102, 153, 255)},
        {"rgba", "uniform vec4 u;\nvoid main() { gl_FragColor = u; }",
         [](NSOGLSLShaderProgram &p) { p.setUniformRgbaColorValue("u", v4); }, RGBA(204, 153, 102, 51)},
        // Column-major, not transposed: u[column][row].
        {"mat2", "uniform mat2 u;\nvoid main() { gl_FragColor = vec4(u[0][1], u[1][0], 0.0, 1.0); }",
         [](NSOGLSLShaderProgram &p) { p.setUniformMatrix2Value("u", m2); }, RGBA(51, 77, 0, 255)},
        {"mat3", "uniform mat3 u;\nvoid main() { gl_FragColor = vec4(u[0][2], u[2][0], u[1][1], 1.0); }",
         [](NSOGLSLShaderProgram &p) { p.setUniformMatrix3Value("u", m3); }, RGBA(51, 153, 102, 255)},
        {"mat4", "uniform mat4 u;\nvoid main() { gl_FragColor = vec4(u[0][3], u[3][0], u[2][1], 1.0); }",
         [](NSOGLSLShaderProgram &p) { p.setUniformMatrix4Value("u", m4); }, RGBA(48, 191, 143, 255)},
        {"colorRGBA", "uniform vec4 u;\nvoid main() { gl_FragColor = u; }",
         [](NSOGLSLShaderProgram &p) { p.setUniformColorValueRGBA("u", &halfRed); }, RGBA(255, 0, 0, 128)},
        {"colorRGB", "uniform vec3 u;\nvoid main() { gl_FragColor = vec4(u, 0.5); }",
         [](NSOGLSLShaderProgram &p) { p.setUniformColorValueRGB("u", &green); }, RGBA(0, 255, 0, 128)},
        // A colour without RGB components counts as white.
        {"colorInvalid", "uniform vec3 u;\nvoid main() { gl_FragColor = vec4(u, 0.5); }",
         [](NSOGLSLShaderProgram &p) { p.setUniformColorValueRGB("u", &invalid); }, RGBA(255, 255, 255, 128)},
        // A null colour sets nothing: the uniform keeps its initial 0.
        {"colorNull", "uniform vec4 u;\nvoid main() { gl_FragColor = u + vec4(0.0, 0.0, 0.0, 1.0); }",
         [](NSOGLSLShaderProgram &p) { p.setUniformColorValue("u", nullptr); }, RGBA(0, 0, 0, 255)},
        {"cgGrey", "uniform vec4 u;\nvoid main() { gl_FragColor = u; }",
         [](NSOGLSLShaderProgram &p) {
             CGColorRef grey = CGColorCreateGenericGray(0.5, 1.0);
             p.setUniformCgColorValue("u", grey);
             CGColorRelease(grey);
         },
         RGBA(128, 128, 128, 255)},
        {"cgRGB", "uniform vec4 u;\nvoid main() { gl_FragColor = u; }",
         [](NSOGLSLShaderProgram &p) {
             CGColorRef colour = CGColorCreateGenericRGB(0.2, 0.4, 0.6, 0.8);
             p.setUniformCgColorValue("u", colour);
             CGColorRelease(colour);
         },
         RGBA(51, 102, 153, 204)},
    };
    for (const UniformCase &c : cases) mSources.add(c.name, c.fragment);

    const auto pool = NSOGLSharingContext::offscreenPoolContext();
    const OpenGL::CGLContextStateLock scope(pool.get());
    const SmallTarget target;
    for (const UniformCase &c : cases) {
        SCOPED_TRACE(c.name);
        const auto program = mCache->shaderProgramWithName(c.name);
        ASSERT_NE(program, nullptr);
        program->enable();
        c.set(*program);
        shader_test::DrawFullQuad();
        program->disable();
        EXPECT_TRUE(Near(target.pixel(), c.expected));
    }
}

// Setters before enable and after disable change nothing; an unknown uniform is ignored.
TEST_F(ShaderProgramTest, SettersOutsideEnableChangeNothing) {
    const auto program = mCache->shaderProgramWithName("float");
    ASSERT_NE(program, nullptr);
    const auto pool = NSOGLSharingContext::offscreenPoolContext();
    const OpenGL::CGLContextStateLock scope(pool.get());
    const SmallTarget target;
    program->setUniformFloatValue("u", 0.75f);  // not enabled yet
    program->enable();
    shader_test::DrawFullQuad();
    EXPECT_TRUE(Near(target.pixel(), RGBA(0, 0, 0, 255)));
    program->setUniformFloatValue("u", 0.25f);
    program->setUniformFloatValue("nothing", 1.0f);
    program->setUniformFloatValue(nullptr, 1.0f);
    program->setUniformVec4Value("u", nullptr);
    program->disable();
    program->setUniformFloatValue("u", 0.75f);  // after disable
    program->enable();
    shader_test::DrawFullQuad();
    program->disable();
    EXPECT_TRUE(Near(target.pixel(), RGBA(64, 0, 0, 255)));
}

class RecordingDelegate : public protocol_NSOGLSLShaderProgramDelegate {
public:
    void shaderProgramEnabled(NSOGLSLShaderProgram *program, bool enabled) override {
        calls.push_back(enabled);
        lastProgram = program;
        if (throwing) throw NSException(NSGenericException, "from the delegate");
    }
    std::vector<bool> calls;
    NSOGLSLShaderProgram *lastProgram = nullptr;
    bool throwing = false;
};

// Enable holds the program's lock until disable, tells the delegate, and an NSException of
// the delegate neither escapes nor leaves the lock held.
TEST_F(ShaderProgramTest, EnableHoldsTheLockAndTellsTheDelegate) {
    RecordingDelegate delegate;
    const auto program = mCache->shaderProgramWithName("red", &delegate);
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(program->delegate(), &delegate);
    const auto root = NSOGLSharingContext::rootSharingContext();
    const OpenGL::CGLContextStateLock scope(root.get());
    const auto othersCanLock = [&program] {
        bool locked = false;
        std::thread([&] {
            locked = program->shaderLock()->tryLock();
            if (locked) program->shaderLock()->unlock();
        }).join();
        return locked;
    };
    program->enable();
    program->enable();  // again inside its own section
    EXPECT_FALSE(othersCanLock());
    program->disable();
    EXPECT_FALSE(othersCanLock());
    program->disable();
    EXPECT_TRUE(othersCanLock());
    EXPECT_EQ(delegate.calls, (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(delegate.lastProgram, program.get());

    delegate.throwing = true;
    program->enable();
    EXPECT_TRUE(program->shaderEnabled());
    program->disable();
    EXPECT_FALSE(program->shaderEnabled());
    EXPECT_TRUE(othersCanLock());
}

// A text that does not compile, a missing text and an unknown name give no program, are
// logged, and are not compiled again.
TEST_F(ShaderProgramTest, FailuresGiveNullAndAreLogged) {
    const coreg_test::DebugLogCapture log;
    EXPECT_EQ(mCache->shaderProgramWithName("broken"), nullptr);
    EXPECT_NE(log.Text().find("Failed to compile shader"), std::string::npos) << log.Text();
    const auto broken = mCache->shaderProgramObjectWithName("broken");
    ASSERT_NE(broken, nullptr);  // kept, so that it is not compiled again
    EXPECT_FALSE(broken->validProgramObject());
    EXPECT_EQ(mCache->compiledProgramCount(), 1u);

    log.Clear();
    EXPECT_EQ(mCache->shaderProgramWithName("absent"), nullptr);
    EXPECT_NE(log.Text().find(" code : self.shaderSource.vertexShaderCode!=NULL"), std::string::npos) << log.Text();

    // A program on the failed object stays disabled and its setters do nothing.
    const auto program = NSOGLSLShaderProgram::shaderProgramWithResourceName("broken", broken);
    ASSERT_NE(program, nullptr);
    EXPECT_FALSE(program->shaderCanBeEnabled());
    log.Clear();
    EXPECT_FALSE(program->shaderCanBeEnabledVerbose());
    EXPECT_NE(log.Text().find(" code : self.shaderProgramObject.programID!=NULL"), std::string::npos) << log.Text();
    EXPECT_NE(log.Text().find("-[NSOGLSLShaderProgram shaderCanBeEnabledVerbose]"), std::string::npos);
    const auto root = NSOGLSharingContext::rootSharingContext();
    const OpenGL::CGLContextStateLock scope(root.get());
    program->enable();
    EXPECT_FALSE(program->shaderEnabled());
    program->setUniformFloatValue("u", 1.0f);
    program->disable();

    NSOGLSLShaderProgram empty;
    log.Clear();
    EXPECT_FALSE(empty.shaderCanBeEnabledVerbose());
    EXPECT_NE(log.Text().find(" code : self.shaderProgramObject!=nil"), std::string::npos) << log.Text();
    EXPECT_EQ(empty.uniformLocation("u"), -1);
}

// Without a current context nothing compiles: the object stays without source.
TEST(ShaderProgramObject, WithoutContextNothingCompiles) {
    CGLContextObj saved = CGLGetCurrentContext();
    CGLSetCurrentContext(nullptr);
    MemorySourceClass sources;
    sources.add("red", "void main() { gl_FragColor = vec4(1.0); }");
    const auto object = NSOGLSLShaderProgramObject::shaderProgramObjectWithResourceName("red", &sources);
    EXPECT_EQ(object->shaderSource(), nullptr);
    EXPECT_EQ(object->programID(), 0u);
    EXPECT_FALSE(object->validProgramObject());
    EXPECT_EQ(sources.lookups(), 0);
    CGLSetCurrentContext(saved);
}

// Programs of their own (not the cache's) compile with the current context and can be made
// from texts.
TEST(ShaderProgramObject, ProgramsOfTheirOwn) {
    MemorySourceClass sources;
    sources.add("red", "void main() { gl_FragColor = vec4(1.0, 0.0, 0.0, 1.0); }");
    const auto pool = NSOGLSharingContext::offscreenPoolContext();
    const OpenGL::CGLContextStateLock scope(pool.get());
    const auto program = NSOGLSLShaderProgram::shaderProgramWithResourceName("red", &sources);
    ASSERT_NE(program, nullptr);
    EXPECT_NE(program->shaderProgramObject(), nullptr);
    EXPECT_EQ(NSOGLSLShaderProgram::shaderProgramWithResourceName("missing", &sources), nullptr);

    const auto object = NSOGLSLShaderProgramObject::shaderProgramObjectWithVertexShader(
        shader_test::kPlainVertexShader, "void main() { gl_FragColor = vec4(0.0, 0.0, 1.0, 1.0); }");
    ASSERT_TRUE(object->validProgramObject());
    EXPECT_FALSE(object->shaderSource()->codeChanged());  // cleared by the compile
    const SmallTarget target;
    const auto blue = NSOGLSLShaderProgram::shaderProgramWithResourceName("blue", object);
    blue->enable();
    shader_test::DrawFullQuad();
    blue->disable();
    EXPECT_TRUE(Near(target.pixel(), RGBA(0, 0, 255, 255)));
}

// The base source class reads "<name>.vs" and "<name>.fs" from the main bundle's resources
// (a bare tool's folder).
TEST(ShaderSourceCode, ReadsTheMainBundlesResources) {
    char exe[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(length, 0);
    std::string folder(exe, static_cast<size_t>(length));
    folder.resize(folder.rfind('/'));
    const std::string name = "ShaderSourceCodeTest" + std::to_string(::getpid());
    const std::string vs = folder + "/" + name + ".vs", fs = folder + "/" + name + ".fs";
    FILE *file = std::fopen(vs.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("vertex text", file);
    std::fclose(file);

    const auto source = NSOGLShaderSourceCode::shaderSourceCodeWithShaderName(name);
    ::unlink(vs.c_str());
    ASSERT_NE(source, nullptr);
    EXPECT_STREQ(source->vertexShaderCode(), "vertex text");
    EXPECT_EQ(source->fragmentShaderCode(), nullptr);  // no such resource
    EXPECT_EQ(source->fragmentShader(), std::nullopt);
    EXPECT_TRUE(source->codeChanged());
    EXPECT_EQ(NSOGLShaderSourceCode::sourceCodeFromResource(name, "fs"), std::nullopt);
    EXPECT_EQ(NSOGLSLShaderProgram::defaultSourceCodeClass(), NSOGLShaderSourceCode::sourceCodeClass());
    EXPECT_EQ(NSOGLSLShaderProgram::sharedProgramCache()->sourceCodeClass(), NSOGLShaderSourceCode::sourceCodeClass());
    EXPECT_EQ(NSOGLSLShaderProgram::sharedProgramCache(), NSOGLSLShaderProgram::sharedProgramCache());
}

}  // namespace
