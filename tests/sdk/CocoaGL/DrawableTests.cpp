// The drawable categories: rectangles of the bounds in the unit cube, erasing, textured quads
// (coordinates, flips, quad matrices), the masked quad through the mask program, quads through
// a program, the stand-in colours of textures that cannot be drawn, the missing context, and
// reading the viewport back as ARGB rows. Everything is drawn into a small framebuffer of the
// test's own and read back pixel by pixel.
#include <CocoaGL/protocol_NSOGLDrawable.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "sdk/CoreG/GLTestSupport.h"

namespace {

using namespace category_protocol_NSOGLDrawable;
using coreg_test::PixelAt;

constexpr int kWidth = 4;
constexpr int kHeight = 2;
constexpr NSOGLDrawableRect kWhole{-0.5f, -0.5f, 1.0f, 1.0f};

// 0xAABBGGRR, as PixelAt answers and as R, G, B, A bytes are in memory.
constexpr uint32_t RGBA(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255) {
    return r | (g << 8) | (b << 16) | (a << 24);
}

// Each channel within one step.
::testing::AssertionResult Near(uint32_t actual, uint32_t expected) {
    for (int shift = 0; shift < 32; shift += 8) {
        const int a = int((actual >> shift) & 0xFF), e = int((expected >> shift) & 0xFF);
        if (std::abs(a - e) > 1)
        {
            char text[64];
            std::snprintf(text, sizeof text, "0x%08X is not 0x%08X", unsigned(actual), unsigned(expected));
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

class TestDrawable : public protocol_NSOGLDrawable {
public:
    CGLContextObj renderContext() const override { return mContext; }
    CGRect renderBounds() const override { return mBounds; }

    CGLContextObj mContext = nullptr;
    CGRect mBounds = CGRectMake(0, 0, kWidth, kHeight);
};

// A program that records its use and draws nothing of its own.
struct FakeProgram {
    bool canBeEnabled = true;
    int enabled = 0;
    int disabled = 0;
    bool shaderCanBeEnabled() const { return canBeEnabled; }
    void enable() { ++enabled; }
    void disable() { ++disabled; }
};

// A framebuffer of kWidth x kHeight bound in the test's context, with the viewport over it.
class DrawableTest : public coreg_test::GLContextTest {
protected:
    void SetUp() override {
        GLContextTest::SetUp();
        mDrawable.mContext = mContext;
        glGenTextures(1, &mTarget);
        glBindTexture(GL_TEXTURE_2D, mTarget);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glBindTexture(GL_TEXTURE_2D, 0);
        glGenFramebuffers(1, &mFramebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, mFramebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, mTarget, 0);
        ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
        glViewport(0, 0, kWidth, kHeight);
    }
    void TearDown() override {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &mFramebuffer);
        glDeleteTextures(1, &mTarget);
        GLContextTest::TearDown();
    }

    // A texture of the size and target with the pixels (0xAABBGGRR, texture row 0 first).
    static std::unique_ptr<NSOGLTextureBase> Texture(int width, int height, const std::vector<uint32_t> &pixels,
                                                     GLenum target = GL_TEXTURE_RECTANGLE_EXT) {
        auto texture = std::make_unique<NSOGLTextureBase>();
        texture->initWithTextureTarget(target, GLuint(width), GLuint(height));
        EXPECT_TRUE(texture->textureUpdateFromPixelData(pixels.data(), std::size_t(width) * 4, 32, 4, true));
        return texture;
    }
    // The 4 x 2 picture used by most tests: every pixel different.
    static std::vector<uint32_t> Picture() {
        std::vector<uint32_t> pixels;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) pixels.push_back(RGBA(uint32_t(40 + 60 * x), uint32_t(30 + 150 * y), 90));
        return pixels;
    }
    // Every pixel of the framebuffer, bottom row first.
    static std::vector<uint32_t> Framebuffer() {
        std::vector<uint32_t> pixels;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) pixels.push_back(PixelAt(x, y));
        return pixels;
    }
    void ExpectFramebuffer(const std::vector<uint32_t> &expected) {
        const std::vector<uint32_t> actual = Framebuffer();
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_TRUE(Near(actual[i], expected[i])) << "pixel (" << i % kWidth << ", " << i / kWidth << ")";
    }
    void ExpectEverywhere(uint32_t expected) { ExpectFramebuffer(std::vector<uint32_t>(kWidth * kHeight, expected)); }

    // Begins the unit cube erased to transparent black, without blending (so the pixels are
    // what was drawn).
    void Begin() {
        const QColor clear(0, 0, 0, 0);
        drawableOrthoCubeViewBeginEraseColor(&mDrawable, true, &clear);
        glDisable(GL_BLEND);
    }
    void End() { drawableOrthoCubeViewEnd(&mDrawable); }

    TestDrawable mDrawable;
    GLuint mFramebuffer = 0;
    GLuint mTarget = 0;
    coreg_test::DebugLogCapture mLog;
};

TEST(DrawableCoordinates, RectanglesOfTheBoundsInTheUnitCube) {
    ASSERT_TRUE(import_protocol_NSOGLDrawable());
    struct Case {
        CGRect bounds;
        CGRect rect;
        NSOGLDrawableRect expected;
    };
    const Case cases[] = {
        {CGRectMake(0, 0, 640, 480), CGRectMake(0, 0, 640, 480), {-0.5f, -0.5f, 1, 1}},
        {CGRectMake(0, 0, 640, 480), CGRectMake(320, 240, 160, 120), {0, 0, 0.25f, 0.25f}},
        {CGRectMake(100, 50, 200, 100), CGRectMake(100, 50, 100, 100), {-0.5f, -0.5f, 0.5f, 1}},
        // Bounds without area have no unit cube: the rectangle stays as it is.
        {CGRectMake(0, 0, 0, 480), CGRectMake(1, 2, 3, 4), {1, 2, 3, 4}},
    };
    TestDrawable drawable;
    for (const Case &c : cases) {
        drawable.mBounds = c.bounds;
        const NSOGLDrawableRect r = drawableRectFromRenderBoundsRect(&drawable, c.rect);
        EXPECT_FLOAT_EQ(r.x, c.expected.x);
        EXPECT_FLOAT_EQ(r.y, c.expected.y);
        EXPECT_FLOAT_EQ(r.width, c.expected.width);
        EXPECT_FLOAT_EQ(r.height, c.expected.height);
    }
    // An object that is no drawable keeps the rectangle.
    const NSOGLDrawableRect r = drawableRectFromRenderBoundsRect(nullptr, CGRectMake(5, 6, 7, 8));
    EXPECT_EQ(r.x, 5);
    EXPECT_EQ(r.height, 8);
}

TEST_F(DrawableTest, ErasingColours) {
    struct Case {
        const char *name;
        void (*erase)(const protocol_NSOGLDrawable *);
        uint32_t expected;
    };
    const Case cases[] = {
        {"black", [](const protocol_NSOGLDrawable *d) { drawableEraseBlack(d); }, RGBA(0, 0, 0, 255)},
        // 0.001 of alpha is no step of an 8-bit buffer.
        {"transparent", [](const protocol_NSOGLDrawable *d) { drawableEraseTransparent(d); }, RGBA(0, 0, 0, 0)},
        {"colour", [](const protocol_NSOGLDrawable *d) { drawableEraseColor(d, QColor(255, 128, 0, 64)); },
         RGBA(255, 128, 0, 64)},
        {"invalid colour", [](const protocol_NSOGLDrawable *d) { drawableEraseColor(d, QColor()); },
         RGBA(0, 0, 0, 255)},
        {"components", [](const protocol_NSOGLDrawable *d) { drawableErase_R(d, 0, 1, 0, 1); }, RGBA(0, 255, 0)},
        {"cube, black", [](const protocol_NSOGLDrawable *d) { drawableOrthoCubeViewBegin(d); }, RGBA(0, 0, 0, 255)},
        {"cube, no colour",
         [](const protocol_NSOGLDrawable *d) { drawableOrthoCubeViewBeginEraseColor(d, true, nullptr); },
         RGBA(0, 0, 0, 0)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        drawableErase_R(&mDrawable, 0.2f, 0.4f, 0.6f, 0.8f);
        c.erase(&mDrawable);
        ExpectEverywhere(c.expected);
        GLint depth = 0;
        glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
        if (depth > 1) End();
    }
    // Beginning without erasing keeps the pixels.
    drawableEraseColor(&mDrawable, QColor(10, 20, 30));
    drawableOrthoCubeViewBegin(&mDrawable, false);
    ExpectEverywhere(RGBA(10, 20, 30));
    End();
}

TEST_F(DrawableTest, TransparentKeepsATraceOfAlphaInAFloatBuffer) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, 1, 1, 0, GL_RGBA, GL_FLOAT, nullptr);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glClampColor(GL_CLAMP_READ_COLOR, GL_FALSE);
    drawableEraseTransparent(&mDrawable);
    float pixel[4] = {1, 1, 1, 1};
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_FLOAT, pixel);
    EXPECT_EQ(pixel[0], 0.0f);
    EXPECT_NEAR(pixel[3], 0.001f, 1e-6);
    EXPECT_GT(pixel[3], 0.0f);
    glDeleteTextures(1, &texture);
}

TEST_F(DrawableTest, UnitCubeSetsUpAndPutsBack) {
    GLint projectionDepth = 0, modelViewDepth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &projectionDepth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelViewDepth);
    drawableOrthoCubeViewBegin(&mDrawable, true);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint value = 0;
    glGetIntegerv(GL_BLEND_SRC_RGB, &value);
    EXPECT_EQ(value, GL_SRC_ALPHA);
    glGetIntegerv(GL_BLEND_DST_RGB, &value);
    EXPECT_EQ(value, GL_ONE_MINUS_SRC_ALPHA);
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &value);
    EXPECT_EQ(value, projectionDepth + 1);
    float projection[16] = {};
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_FLOAT_EQ(projection[0], 2.0f);    // -0.5..0.5 onto -1..1
    EXPECT_FLOAT_EQ(projection[10], -2.0f);  // depth too
    // A colour quad over the right half.
    drawableDrawQuadColor_R(&mDrawable, {0, -0.5f, 0.5f, 1}, 0, 0, 1, 1);
    End();
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &value);
    EXPECT_EQ(value, projectionDepth);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &value);
    EXPECT_EQ(value, modelViewDepth);
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    EXPECT_TRUE(Near(PixelAt(0, 0), RGBA(0, 0, 0, 255)));
    EXPECT_TRUE(Near(PixelAt(3, 1), RGBA(0, 0, 255, 255)));
}

TEST_F(DrawableTest, TexturedQuadCoordinatesAndFlips) {
    const std::vector<uint32_t> picture = Picture();
    auto at = [&](int x, int y) { return picture[std::size_t(y * kWidth + x)]; };
    struct Case {
        GLenum target;
        bool flipHorizontal, flipVertical;
    };
    const Case cases[] = {
        {GL_TEXTURE_RECTANGLE_EXT, false, false}, {GL_TEXTURE_RECTANGLE_EXT, true, false},
        {GL_TEXTURE_RECTANGLE_EXT, false, true},  {GL_TEXTURE_RECTANGLE_EXT, true, true},
        {GL_TEXTURE_2D, false, false},            {GL_TEXTURE_2D, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.target << " flipH " << c.flipHorizontal << " flipV "
                                        << c.flipVertical);
        const auto texture = Texture(kWidth, kHeight, picture, c.target);
        texture->setFlipHorizontal(c.flipHorizontal);
        texture->setFlipVertical(c.flipVertical);
        Begin();
        drawableDrawQuadTexture(&mDrawable, kWhole, texture.get());
        End();
        std::vector<uint32_t> expected;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                expected.push_back(at(c.flipHorizontal ? kWidth - 1 - x : x, c.flipVertical ? kHeight - 1 - y : y));
        ExpectFramebuffer(expected);
        // The binding and the target's enable are put back.
        GLint bound = -1;
        glGetIntegerv(texture->textureBindingQuery(), &bound);
        EXPECT_EQ(bound, 0);
        EXPECT_FALSE(glIsEnabled(c.target));
    }
}

TEST_F(DrawableTest, TexturedQuadInARectangleOfTheBounds) {
    const uint32_t left = RGBA(200, 10, 10), right = RGBA(10, 200, 10);
    const auto texture = Texture(2, 1, {left, right});
    Begin();
    // Pixels (2, 1) and (3, 1): the top right quarter.
    drawableDrawQuadTexture(&mDrawable, drawableRectFromRenderBoundsRect(&mDrawable, CGRectMake(2, 1, 2, 1)),
                            texture.get());
    End();
    const uint32_t none = RGBA(0, 0, 0, 0);
    ExpectFramebuffer({none, none, none, none, none, none, left, right});
}

TEST_F(DrawableTest, QuadMatricesAreApplied) {
    const std::vector<uint32_t> picture = Picture();
    std::vector<uint32_t> turned(picture.rbegin(), picture.rend());  // half a turn: (x, y) from (W-1-x, H-1-y)
    NSOGLNormalMatrix halfTurn;
    halfTurn.angle_z = 0.5f;
    struct Case {
        const char *name;
        std::shared_ptr<NSOGLQuadMatrixProtocol> matrix;
        std::vector<uint32_t> expected;
    };
    const Case cases[] = {
        {"none", nullptr, picture},
        {"identity", NSOGLNormalQuadMatrix::identityMatrix(), picture},
        {"model-view half turn", NSOGLNormalQuadMatrix::matrixWithModelViewMatrix(&halfTurn), turned},
        {"texture half turn", NSOGLNormalQuadMatrix::matrixWithTextureMatrix(&halfTurn), turned},
    };
    const auto texture = Texture(kWidth, kHeight, picture);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        GLint modelViewDepth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &modelViewDepth);
        Begin();
        drawableDrawQuadTextureQuadMatrix(&mDrawable, kWhole, texture.get(), c.matrix.get());
        // The quad's matrices are its own: the caller's are back.
        float modelView[16] = {};
        glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
        EXPECT_FLOAT_EQ(modelView[0], 1.0f);
        float textureMatrix[16] = {};
        glGetFloatv(GL_TEXTURE_MATRIX, textureMatrix);
        EXPECT_FLOAT_EQ(textureMatrix[0], 1.0f);
        End();
        ExpectFramebuffer(c.expected);
        GLint depth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, modelViewDepth);
    }
}

TEST_F(DrawableTest, TexturesThatCannotBeDrawnShowAColour) {
    const auto good = Texture(kWidth, kHeight, Picture());
    auto cube = Texture(kWidth, kHeight, Picture(), GL_TEXTURE_2D);
    cube->setTextureTarget(GL_TEXTURE_CUBE_MAP);
    NSOGLTextureBase never;  // no texture object
    const uint32_t red = RGBA(255, 0, 0), blue = RGBA(0, 0, 255);
    FakeProgram program;
    FakeProgram disabled{false};
    struct Case {
        const char *name;
        std::function<void()> draw;
        uint32_t expected;
    };
    const Case cases[] = {
        {"null", [&] { drawableDrawQuadTexture(&mDrawable, kWhole, nullptr); }, red},
        {"never made", [&] { drawableDrawQuadTexture(&mDrawable, kWhole, &never); }, red},
        {"cube map", [&] { drawableDrawQuadTexture(&mDrawable, kWhole, cube.get()); }, red},
        {"masked, null", [&] { drawableDrawQuadTextureMaskTexture(&mDrawable, kWhole, nullptr, good.get()); }, blue},
        {"masked, cube map",
         [&] { drawableDrawQuadTextureMaskTexture(&mDrawable, kWhole, cube.get(), good.get()); }, blue},
        {"masked, no mask", [&] { drawableDrawQuadTextureMaskTexture(&mDrawable, kWhole, good.get(), nullptr); },
         blue},
        {"program, null texture",
         [&] {
             category_protocol_NSOGLDrawable_NSOGLSLShaderProgram::drawableDrawQuadTextureTextureMatrixShaderProgram(
                 &mDrawable, kWhole, nullptr, nullptr, &program);
         },
         blue},
        {"program cannot be enabled",
         [&] {
             category_protocol_NSOGLDrawable_NSOGLSLShaderProgram::drawableDrawQuadTextureQuadMatrixShaderProgram(
                 &mDrawable, kWhole, good.get(), nullptr, &disabled);
         },
         blue},
        {"no program",
         [&] {
             category_protocol_NSOGLDrawable_NSOGLSLShaderProgram::drawableDrawQuadTextureQuadMatrixShaderProgram(
                 &mDrawable, kWhole, good.get(), nullptr, static_cast<FakeProgram *>(nullptr));
         },
         blue},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Begin();
        c.draw();
        End();
        ExpectEverywhere(c.expected);
    }
    EXPECT_EQ(program.enabled, 0);
    EXPECT_EQ(disabled.enabled, 0);
}

TEST_F(DrawableTest, ColourQuadsAndTheirDefault) {
    struct Case {
        const char *name;
        std::optional<QColor> color;
        uint32_t expected;  // over opaque white, blended by the source's alpha
    };
    const Case cases[] = {
        {"colour", QColor(0, 255, 0), RGBA(0, 255, 0)},
        {"none: half black", std::nullopt, RGBA(128, 128, 128, 191)},
        {"invalid: half black", QColor(), RGBA(128, 128, 128, 191)},
    };
    const QColor white(255, 255, 255);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        drawableOrthoCubeViewBeginEraseColor(&mDrawable, true, &white);
        drawableDrawQuadColor(&mDrawable, kWhole, c.color ? &*c.color : nullptr);
        End();
        ExpectEverywhere(c.expected);
    }
}

TEST_F(DrawableTest, TwoDimensionalTextureAfterAColourQuad) {
    // A colour quad leaves the rectangle target enabled with no texture; it outranks the 2-D
    // target and would switch texturing off for the 2-D texture drawn next.
    const auto texture = Texture(kWidth, kHeight, Picture(), GL_TEXTURE_2D);
    Begin();
    drawableDrawQuadColor_R(&mDrawable, kWhole, 1, 0, 0, 1);
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_RECTANGLE_EXT));
    drawableDrawQuadTexture(&mDrawable, kWhole, texture.get());
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_RECTANGLE_EXT));
    End();
    ExpectFramebuffer(Picture());
}

TEST_F(DrawableTest, MaskMultipliesEveryChannelByTheMasksRed) {
    const uint32_t image = RGBA(200, 100, 50, 255);
    const auto texture = Texture(kWidth, kHeight, std::vector<uint32_t>(kWidth * kHeight, image));
    // Red varies by column; green and blue must not matter.
    const uint32_t reds[kWidth] = {255, 128, 0, 64};
    std::vector<uint32_t> maskPixels;
    for (int y = 0; y < kHeight; ++y)
        for (uint32_t red : reds) maskPixels.push_back(RGBA(red, 0, 255, 255));
    const auto mask = Texture(kWidth, kHeight, maskPixels);
    auto expected = [&](bool turned) {
        std::vector<uint32_t> pixels;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const uint32_t r = reds[turned ? kWidth - 1 - x : x];
                pixels.push_back(RGBA(200 * r / 255, 100 * r / 255, 50 * r / 255, r));
            }
        return pixels;
    };
    NSOGLNormalMatrix halfTurn;
    halfTurn.angle_z = 0.5f;
    struct Case {
        const char *name;
        const NSOGLNormalMatrix *maskMatrix;
        bool turned;
    };
    // The first masked quad of this context's share group makes the program and draws
    // through it at once.
    const Case cases[] = {{"first", nullptr, false}, {"again", nullptr, false}, {"mask turned", &halfTurn, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Begin();
        drawableDrawQuadTextureMaskTextureMaskMatrix(&mDrawable, kWhole, texture.get(), mask.get(), c.maskMatrix);
        EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
        GLint unit = 0;
        glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
        EXPECT_EQ(unit, GL_TEXTURE0);
        End();
        ExpectFramebuffer(expected(c.turned));
    }
    EXPECT_EQ(mLog.Text(), "");
}

TEST_F(DrawableTest, MaskProgramIsMadeOnceAndBoundAfter) {
    GLint first = 0, second = 0;
    drawableEnableMaskFragmentShader(&mDrawable);
    EXPECT_TRUE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
    glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &first);
    EXPECT_TRUE(glIsProgramARB(GLuint(first)));
    glBindProgramARB(GL_FRAGMENT_PROGRAM_ARB, 0);
    glDisable(GL_FRAGMENT_PROGRAM_ARB);
    drawableEnableMaskFragmentShader(&mDrawable);
    EXPECT_TRUE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
    glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &second);
    EXPECT_EQ(second, first);
    glDisable(GL_FRAGMENT_PROGRAM_ARB);

    // Another share group makes its own.
    CGLContextObj other = coreg_test::NewContext();
    TestDrawable drawable;
    drawable.mContext = other;
    drawableEnableMaskFragmentShader(&drawable);
    ASSERT_EQ(CGLGetCurrentContext(), mContext);
    CGLSetCurrentContext(other);
    GLint bound = 0;
    glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &bound);
    EXPECT_TRUE(glIsProgramARB(GLuint(bound)));
    GLint native = 0;
    glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_INSTRUCTIONS_ARB, &native);
    EXPECT_GT(native, 0);
    CGLSetCurrentContext(mContext);
    CGLReleaseContext(other);
}

TEST_F(DrawableTest, CreatingAMaskProgram) {
    struct Case {
        const char *name;
        const char *text;
        bool made;
        const char *logged;
    };
    const Case cases[] = {
        {"kit's text", kNSOGLDrawableMaskFragmentProgramText, true, nullptr},
        {"no text", nullptr, false, "VERIFY FAILED:  code : shaderProgramText in "},
        {"refused text", "!!ARBvp1.0\r\nEND\r\n", false, "OpenGL Error: "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        mLog.Clear();
        const GLuint program = drawableCreateMaskFragmentShader(&mDrawable, c.text);
        EXPECT_EQ(program != kNoMaskFragmentProgram, c.made);
        if (c.made) {
            EXPECT_TRUE(glIsProgramARB(program));
            GLint bound = 0;
            glGetProgramivARB(GL_FRAGMENT_PROGRAM_ARB, GL_PROGRAM_BINDING_ARB, &bound);
            EXPECT_EQ(GLuint(bound), program);
            glDeleteProgramsARB(1, &program);
        }
        if (c.logged != nullptr)
            EXPECT_NE(mLog.Text().find(c.logged), std::string::npos) << mLog.Text();
        else
            EXPECT_EQ(mLog.Text(), "");
    }
}

TEST_F(DrawableTest, QuadThroughAProgram) {
    const auto texture = Texture(kWidth, kHeight, Picture());
    FakeProgram program;
    Begin();
    category_protocol_NSOGLDrawable_NSOGLSLShaderProgram::drawableDrawQuadTextureTextureMatrixShaderProgram(
        &mDrawable, kWhole, texture.get(), nullptr, &program);
    End();
    EXPECT_EQ(program.enabled, 1);
    EXPECT_EQ(program.disabled, 1);
    ExpectFramebuffer(Picture());
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_RECTANGLE_EXT));
}

TEST_F(DrawableTest, WithoutAContextNothingIsDrawn) {
    const auto texture = Texture(kWidth, kHeight, Picture());
    drawableEraseColor(&mDrawable, QColor(10, 20, 30));
    TestDrawable none;  // answers no context
    FakeProgram program;
    std::vector<uint32_t> buffer(kWidth * kHeight, 0xEEEEEEEE);
    const std::function<void(const protocol_NSOGLDrawable *)> operations[] = {
        [](const protocol_NSOGLDrawable *d) { drawableEraseBlack(d); },
        [](const protocol_NSOGLDrawable *d) { drawableOrthoCubeViewBegin(d); },
        [](const protocol_NSOGLDrawable *d) { drawableOrthoCubeViewEnd(d); },
        [](const protocol_NSOGLDrawable *d) { drawableDrawQuadColor_R(d, kWhole, 1, 1, 1, 1); },
        [&](const protocol_NSOGLDrawable *d) { drawableDrawQuadTexture(d, kWhole, texture.get()); },
        [&](const protocol_NSOGLDrawable *d) { drawableDrawQuadTexture(d, kWhole, nullptr); },
        [&](const protocol_NSOGLDrawable *d) {
            drawableDrawQuadTextureMaskTexture(d, kWhole, texture.get(), texture.get());
        },
        [&](const protocol_NSOGLDrawable *d) {
            category_protocol_NSOGLDrawable_NSOGLSLShaderProgram::drawableDrawQuadTextureQuadMatrixShaderProgram(
                d, kWhole, texture.get(), nullptr, &program);
        },
        [](const protocol_NSOGLDrawable *d) { drawableEnableMaskFragmentShader(d); },
        [&](const protocol_NSOGLDrawable *d) {
            EXPECT_FALSE(category_protocol_NSOGLDrawable_NSOGLReadPixels::
                             drawableGrabOpenGLViewportContentsTo_ARGB_BufferSize(
                                 d, NSMakeSize(kWidth, kHeight), buffer.data(), kWidth * 4, false));
        },
    };
    for (const protocol_NSOGLDrawable *drawable : {static_cast<const protocol_NSOGLDrawable *>(&none),
                                                   static_cast<const protocol_NSOGLDrawable *>(nullptr)}) {
        for (std::size_t i = 0; i < std::size(operations); ++i) {
            SCOPED_TRACE(testing::Message() << "operation " << i << (drawable ? "" : ", no drawable"));
            mLog.Clear();
            operations[i](drawable);
            EXPECT_NE(mLog.Text().find("VERIFY FAILED:  code : cgl_ctx!=NULL in "), std::string::npos);
            EXPECT_EQ(CGLGetCurrentContext(), mContext);
        }
    }
    EXPECT_EQ(program.enabled, 0);
    EXPECT_FALSE(glIsEnabled(GL_FRAGMENT_PROGRAM_ARB));
    EXPECT_EQ(buffer, std::vector<uint32_t>(kWidth * kHeight, 0xEEEEEEEE));
    ExpectEverywhere(RGBA(10, 20, 30));
}

TEST_F(DrawableTest, DrawingUsesTheDrawablesContextAndPutsTheCallersBack) {
    // The test's framebuffer belongs to mContext; another context is current when drawing.
    CGLContextObj other = coreg_test::NewContext();
    ASSERT_EQ(CGLSetCurrentContext(other), kCGLNoError);
    drawableEraseColor(&mDrawable, QColor(0, 0, 255));
    EXPECT_EQ(CGLGetCurrentContext(), other);
    CGLSetCurrentContext(mContext);
    ExpectEverywhere(RGBA(0, 0, 255));
    CGLReleaseContext(other);
}

// ---- Reading back ------------------------------------------------------------------------------

using category_protocol_NSOGLDrawable_NSOGLReadPixels::drawableGrabOpenGLViewportContentsTo_ARGB_BufferSize;

// A, R, G, B bytes of a pixel given as 0xAABBGGRR.
std::vector<uint8_t> ARGB(uint32_t rgba) {
    return {uint8_t(rgba >> 24), uint8_t(rgba), uint8_t(rgba >> 8), uint8_t(rgba >> 16)};
}

TEST_F(DrawableTest, ReadingTheViewportBackAsARGBRows) {
    const std::vector<uint32_t> picture = Picture();  // bottom row first
    const auto texture = Texture(kWidth, kHeight, picture);
    Begin();
    drawableDrawQuadTexture(&mDrawable, kWhole, texture.get());
    End();
    struct Case {
        std::size_t rowBytes;
        bool flipHorizontal;
    };
    const Case cases[] = {{kWidth * 4, false}, {kWidth * 4, true}, {kWidth * 4 + 8, false}, {kWidth * 4 + 3, true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "row bytes " << c.rowBytes << " flip " << c.flipHorizontal);
        std::vector<uint8_t> buffer(c.rowBytes * kHeight, 0xEE);
        ASSERT_TRUE(drawableGrabOpenGLViewportContentsTo_ARGB_BufferSize(&mDrawable, NSMakeSize(kWidth, kHeight),
                                                                          buffer.data(), c.rowBytes,
                                                                          c.flipHorizontal));
        for (int row = 0; row < kHeight; ++row) {
            // Row 0 is the top of the viewport.
            const int y = kHeight - 1 - row;
            for (int x = 0; x < kWidth; ++x) {
                const int source = c.flipHorizontal ? kWidth - 1 - x : x;
                std::vector<uint8_t> expected = ARGB(picture[std::size_t(y * kWidth + source)]);
                if (c.flipHorizontal) expected[0] = 255;
                const uint8_t *at = buffer.data() + std::size_t(row) * c.rowBytes + std::size_t(x) * 4;
                EXPECT_EQ(std::vector<uint8_t>(at, at + 4), expected) << "row " << row << " x " << x;
            }
            // The padding is the caller's.
            for (std::size_t pad = kWidth * 4; pad < c.rowBytes; ++pad)
                EXPECT_EQ(buffer[std::size_t(row) * c.rowBytes + pad], 0xEE);
        }
    }
}

TEST_F(DrawableTest, ReadingBackRefusesWhatDoesNotFit) {
    drawableEraseColor(&mDrawable, QColor(1, 2, 3));
    std::vector<uint8_t> buffer(kWidth * 4 * kHeight + 64, 0xEE);
    const std::vector<uint8_t> untouched = buffer;
    struct Case {
        const char *name;
        NSSize size;
        void *data;
        std::size_t rowBytes;
        bool reported;
    };
    const Case cases[] = {
        {"one pixel wider", NSMakeSize(kWidth + 1, kHeight), buffer.data(), (kWidth + 1) * 4, false},
        {"one pixel lower", NSMakeSize(kWidth, kHeight - 1), buffer.data(), kWidth * 4, false},
        {"no buffer", NSMakeSize(kWidth, kHeight), nullptr, kWidth * 4, false},
        {"no row bytes", NSMakeSize(kWidth, kHeight), buffer.data(), 0, false},
        {"rows too short", NSMakeSize(kWidth, kHeight), buffer.data(), kWidth * 4 - 4, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        mLog.Clear();
        EXPECT_FALSE(drawableGrabOpenGLViewportContentsTo_ARGB_BufferSize(&mDrawable, c.size, c.data, c.rowBytes,
                                                                           false));
        EXPECT_EQ(buffer, untouched);
        EXPECT_EQ(mLog.Text().find("VERIFY FAILED") != std::string::npos, c.reported) << mLog.Text();
    }
}

TEST_F(DrawableTest, ReadingBackTakesTheViewportsOwnPixelsAndKeepsThePackState) {
    drawableEraseColor(&mDrawable, QColor(255, 0, 0));
    glViewport(2, 0, 2, 2);
    glEnable(GL_SCISSOR_TEST);
    glScissor(2, 0, 2, 2);
    drawableEraseColor(&mDrawable, QColor(0, 255, 0));
    glDisable(GL_SCISSOR_TEST);
    // A pack buffer and pack state of the caller's.
    GLuint pack = 0;
    glGenBuffers(1, &pack);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, pack);
    glBufferData(GL_PIXEL_PACK_BUFFER, 1024, nullptr, GL_STREAM_READ);
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glPixelStorei(GL_PACK_ROW_LENGTH, 7);
    std::vector<uint8_t> buffer(2 * 4 * 2, 0);
    ASSERT_TRUE(
        drawableGrabOpenGLViewportContentsTo_ARGB_BufferSize(&mDrawable, NSMakeSize(2, 2), buffer.data(), 8, false));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + i * 4, buffer.begin() + i * 4 + 4), ARGB(RGBA(0, 255, 0)));
    GLint value = 0;
    glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &value);
    EXPECT_EQ(GLuint(value), pack);
    glGetIntegerv(GL_PACK_ALIGNMENT, &value);
    EXPECT_EQ(value, 8);
    glGetIntegerv(GL_PACK_ROW_LENGTH, &value);
    EXPECT_EQ(value, 7);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glDeleteBuffers(1, &pack);
}

}  // namespace
