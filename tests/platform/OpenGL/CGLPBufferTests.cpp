// Pixel buffers and offscreen memory: what CGL accepts, drawing into them from any thread of
// the context, copying a pixel buffer into a texture of another context of the share group,
// and the pixels that offscreen memory receives.
#include <OpenGL/NSOpenGL.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

CGLContextObj NewContext(CGLContextObj share = nullptr) {
    const CGLPixelFormatAttribute attributes[] = {kCGLPFAColorSize, CGLPixelFormatAttribute(24), kCGLPFAPBuffer,
                                                  CGLPixelFormatAttribute(0)};
    CGLPixelFormatObj format = nullptr;
    GLint count = 0;
    EXPECT_EQ(CGLChoosePixelFormat(attributes, &format, &count), kCGLNoError);
    CGLContextObj context = nullptr;
    EXPECT_EQ(CGLCreateContext(format, share, &context), kCGLNoError);
    CGLReleasePixelFormat(format);
    return context;
}

// Clears the current drawable to `clear` and draws a quad of `quad` over its left half (the
// viewport is the drawable's, the projection the identity).
void DrawScene(const float (&clear)[3], const float (&quad)[3]) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_RECTANGLE_EXT);
    glClearColor(clear[0], clear[1], clear[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glColor4f(quad[0], quad[1], quad[2], 1.0f);
    glBegin(GL_QUADS);
    glVertex2f(-1.0f, -1.0f);
    glVertex2f(0.0f, -1.0f);
    glVertex2f(0.0f, 1.0f);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
    glFlush();
}

// One pixel of the current read framebuffer as bytes R, G, B, A.
std::vector<uint8_t> Pixel(GLint x, GLint y) {
    std::vector<uint8_t> rgba(4, 0);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    return rgba;
}

const std::vector<uint8_t> kRed = {255, 0, 0, 255};
const std::vector<uint8_t> kBlue = {0, 0, 255, 255};
constexpr float kRedColor[3] = {1, 0, 0};
constexpr float kBlueColor[3] = {0, 0, 1};

class PBufferTest : public ::testing::Test {
protected:
    void TearDown() override {
        CGLSetCurrentContext(nullptr);
        for (CGLContextObj context : mContexts) CGLReleaseContext(context);
    }
    CGLContextObj Make(CGLContextObj share = nullptr) {
        mContexts.push_back(NewContext(share));
        return mContexts.back();
    }
    std::vector<CGLContextObj> mContexts;
};

}  // namespace

TEST(CGLPBuffer, CreateChecksItsArgumentsAndDescribesWhatItMade) {
    struct Case {
        GLsizei width, height;
        GLenum target, format;
        GLint maxLevel;
        CGLError expected;
    };
    const Case cases[] = {
        {640, 480, GL_TEXTURE_RECTANGLE_EXT, GL_RGBA, 0, kCGLNoError},
        {256, 128, GL_TEXTURE_2D, GL_RGB, 8, kCGLNoError},
        {64, 64, GL_TEXTURE_CUBE_MAP, GL_RGBA, 6, kCGLNoError},
        {0, 480, GL_TEXTURE_RECTANGLE_EXT, GL_RGBA, 0, kCGLBadValue},
        {640, -1, GL_TEXTURE_RECTANGLE_EXT, GL_RGBA, 0, kCGLBadValue},
        {16385, 16, GL_TEXTURE_2D, GL_RGBA, 0, kCGLBadValue},
        {640, 480, GL_TEXTURE_3D, GL_RGBA, 0, kCGLBadValue},
        {640, 480, GL_TEXTURE_RECTANGLE_EXT, GL_RGBA8, 0, kCGLBadValue},
        {640, 480, GL_TEXTURE_RECTANGLE_EXT, GL_RGBA, 1, kCGLBadValue},  // rectangles have one level
        {256, 128, GL_TEXTURE_2D, GL_RGBA, 9, kCGLBadValue},             // more levels than sizes
        {256, 128, GL_TEXTURE_2D, GL_RGBA, -1, kCGLBadValue},
        {64, 32, GL_TEXTURE_CUBE_MAP, GL_RGBA, 0, kCGLBadValue},  // cube faces are square
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " target " << c.target << " level "
                                        << c.maxLevel);
        CGLPBufferObj pbuffer = reinterpret_cast<CGLPBufferObj>(1);
        ASSERT_EQ(CGLCreatePBuffer(c.width, c.height, c.target, c.format, c.maxLevel, &pbuffer), c.expected);
        if (c.expected != kCGLNoError) {
            EXPECT_EQ(pbuffer, nullptr);
            continue;
        }
        GLsizei width = 0, height = 0;
        GLenum target = 0, format = 0;
        GLint level = -1;
        EXPECT_EQ(CGLDescribePBuffer(pbuffer, &width, &height, &target, &format, &level), kCGLNoError);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
        EXPECT_EQ(target, c.target);
        EXPECT_EQ(format, c.format);
        EXPECT_EQ(level, c.maxLevel);
        EXPECT_EQ(CGLRetainPBuffer(pbuffer), pbuffer);
        EXPECT_EQ(CGLGetPBufferRetainCount(pbuffer), 2u);
        CGLReleasePBuffer(pbuffer);
        EXPECT_EQ(CGLDestroyPBuffer(pbuffer), kCGLNoError);
    }
    EXPECT_EQ(CGLCreatePBuffer(16, 16, GL_TEXTURE_2D, GL_RGBA, 0, nullptr), kCGLBadAddress);
    EXPECT_EQ(CGLDescribePBuffer(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr), kCGLBadAddress);
}

TEST_F(PBufferTest, ContextHoldsItsPixelBufferAndChecksFaceLevelAndScreen) {
    CGLContextObj context = Make();
    CGLPBufferObj rectangle = nullptr, cube = nullptr;
    ASSERT_EQ(CGLCreatePBuffer(32, 16, GL_TEXTURE_RECTANGLE_EXT, GL_RGBA, 0, &rectangle), kCGLNoError);
    ASSERT_EQ(CGLCreatePBuffer(32, 32, GL_TEXTURE_CUBE_MAP, GL_RGBA, 0, &cube), kCGLNoError);

    EXPECT_EQ(CGLSetPBuffer(context, rectangle, 0, 1, 0), kCGLBadValue);
    EXPECT_EQ(CGLSetPBuffer(context, rectangle, 0, 0, 1), kCGLBadValue);
    EXPECT_EQ(CGLSetPBuffer(context, rectangle, GL_TEXTURE_CUBE_MAP_POSITIVE_X, 0, 0), kCGLBadValue);
    EXPECT_EQ(CGLSetPBuffer(context, cube, 0, 0, 0), kCGLBadValue);
    EXPECT_EQ(CGLSetPBuffer(context, nullptr, 0, 0, 0), kCGLBadAddress);
    EXPECT_EQ(CGLSetPBuffer(nullptr, rectangle, 0, 0, 0), kCGLBadContext);

    CGLPBufferObj attached = nullptr;
    GLenum face = 1;
    GLint level = 1, screen = 1;
    EXPECT_EQ(CGLGetPBuffer(context, &attached, &face, &level, &screen), kCGLNoError);
    EXPECT_EQ(attached, nullptr);

    ASSERT_EQ(CGLSetPBuffer(context, cube, GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, 0, 0), kCGLNoError);
    EXPECT_EQ(CGLGetPBufferRetainCount(cube), 2u);
    EXPECT_EQ(CGLGetPBuffer(context, &attached, &face, &level, &screen), kCGLNoError);
    EXPECT_EQ(attached, cube);
    EXPECT_EQ(face, static_cast<GLenum>(GL_TEXTURE_CUBE_MAP_NEGATIVE_Y));

    ASSERT_EQ(CGLSetPBuffer(context, rectangle, 0, 0, 0), kCGLNoError);  // replaces the cube
    EXPECT_EQ(CGLGetPBufferRetainCount(cube), 1u);
    EXPECT_EQ(CGLGetPBufferRetainCount(rectangle), 2u);
    EXPECT_EQ(CGLClearDrawable(context), kCGLNoError);
    EXPECT_EQ(CGLGetPBufferRetainCount(rectangle), 1u);
    EXPECT_EQ(CGLGetPBuffer(context, &attached, &face, &level, &screen), kCGLNoError);
    EXPECT_EQ(attached, nullptr);

    // A context's end lets its pixel buffer go.
    CGLContextObj other = NewContext();
    ASSERT_EQ(CGLSetPBuffer(other, rectangle, 0, 0, 0), kCGLNoError);
    EXPECT_EQ(CGLGetPBufferRetainCount(rectangle), 2u);
    CGLReleaseContext(other);
    EXPECT_EQ(CGLGetPBufferRetainCount(rectangle), 1u);
    CGLReleasePBuffer(rectangle);
    CGLReleasePBuffer(cube);
}

// The pixel buffer's context draws into it; a context of the share group copies it into a
// texture and draws with that texture.
TEST_F(PBufferTest, RenderedImageBecomesATextureOfAnotherContext) {
    auto sharing = std::make_shared<NSOpenGLContext>(Make());
    auto rendering = std::make_shared<NSOpenGLContext>(Make(sharing->CGLContextObj()));
    auto pixelBuffer = NSOpenGLPixelBuffer::initWithTextureTarget(GL_TEXTURE_RECTANGLE_EXT, GL_RGBA, 0, 64, 32);
    ASSERT_NE(pixelBuffer, nullptr);
    EXPECT_EQ(pixelBuffer->pixelsWide(), 64);
    EXPECT_EQ(pixelBuffer->pixelsHigh(), 32);
    EXPECT_EQ(pixelBuffer->textureTarget(), static_cast<GLenum>(GL_TEXTURE_RECTANGLE_EXT));

    ASSERT_TRUE(rendering->setPixelBuffer(pixelBuffer, 0, 0, 0));  // not current yet
    EXPECT_EQ(rendering->pixelBuffer(), pixelBuffer);
    ASSERT_EQ(CGLSetCurrentContext(rendering->CGLContextObj()), kCGLNoError);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 64);
    EXPECT_EQ(viewport[3], 32);
    DrawScene(kBlueColor, kRedColor);
    EXPECT_EQ(Pixel(5, 5), kRed);
    EXPECT_EQ(Pixel(50, 5), kBlue);

    // In the sharing context: the texture takes the image, then a quad drawn with it into a
    // framebuffer of that context shows it.
    ASSERT_EQ(CGLSetCurrentContext(sharing->CGLContextObj()), kCGLNoError);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, texture);
    glTexParameteri(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    ASSERT_TRUE(sharing->setTextureImageToPixelBuffer(pixelBuffer.get(), GL_FRONT_LEFT));
    EXPECT_FALSE(sharing->setTextureImageToPixelBuffer(pixelBuffer.get(), GL_AUX0));
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE_EXT, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 64);

    GLuint target = 0, framebuffer = 0;
    glGenTextures(1, &target);
    glBindTexture(GL_TEXTURE_2D, target);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 64, 32, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
    ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glViewport(0, 0, 64, 32);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_TEXTURE_RECTANGLE_EXT);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(64, 0);
    glVertex2f(1, -1);
    glTexCoord2f(64, 32);
    glVertex2f(1, 1);
    glTexCoord2f(0, 32);
    glVertex2f(-1, 1);
    glEnd();
    glDisable(GL_TEXTURE_RECTANGLE_EXT);
    glFinish();
    EXPECT_EQ(Pixel(5, 5), kRed);
    EXPECT_EQ(Pixel(60, 30), kBlue);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    GLuint textures[2] = {texture, target};
    glDeleteTextures(2, textures);

    // A new frame replaces the texture's image at the next copy only.
    ASSERT_EQ(CGLSetCurrentContext(rendering->CGLContextObj()), kCGLNoError);
    DrawScene(kRedColor, kBlueColor);
    EXPECT_EQ(Pixel(50, 5), kRed);
}

TEST_F(PBufferTest, PixelBufferBelongsToTheShareGroupThatFirstUsedIt) {
    CGLContextObj first = Make();
    CGLContextObj stranger = Make();
    CGLPBufferObj pbuffer = nullptr;
    ASSERT_EQ(CGLCreatePBuffer(16, 16, GL_TEXTURE_2D, GL_RGBA, 0, &pbuffer), kCGLNoError);
    ASSERT_EQ(CGLSetPBuffer(first, pbuffer, 0, 0, 0), kCGLNoError);
    ASSERT_EQ(CGLSetCurrentContext(first), kCGLNoError);  // makes its objects in first's group
    EXPECT_EQ(CGLSetPBuffer(stranger, pbuffer, 0, 0, 0), kCGLBadMatch);
    EXPECT_EQ(CGLTexImagePBuffer(stranger, pbuffer, GL_FRONT), kCGLBadMatch);
    EXPECT_EQ(CGLGetCurrentContext(), first);  // the caller's context is current again
    CGLReleasePBuffer(pbuffer);
}

// A context current on a second thread (a shadow EGL context) draws into the pixel buffer too,
// and a pixel buffer detached on one thread stops being drawn into on the others.
TEST_F(PBufferTest, EveryThreadOfTheContextDrawsIntoThePixelBuffer) {
    CGLContextObj context = Make();
    CGLPBufferObj pbuffer = nullptr;
    ASSERT_EQ(CGLCreatePBuffer(8, 8, GL_TEXTURE_RECTANGLE_EXT, GL_RGBA, 0, &pbuffer), kCGLNoError);
    ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);  // this thread has the primary
    ASSERT_EQ(CGLSetPBuffer(context, pbuffer, 0, 0, 0), kCGLNoError);
    DrawScene(kBlueColor, kBlueColor);
    glFinish();

    std::vector<uint8_t> seen;
    std::thread([&] {
        ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);
        DrawScene(kRedColor, kRedColor);
        glFinish();
        seen = Pixel(4, 4);
        CGLSetCurrentContext(nullptr);
    }).join();
    EXPECT_EQ(seen, kRed);
    glFinish();
    EXPECT_EQ(Pixel(4, 4), kRed);
    CGLReleasePBuffer(pbuffer);
}

// Offscreen memory receives the drawn pixels at CGLFlushDrawable: bytes B, G, R, A, the top
// row first, within the caller's row length.
TEST_F(PBufferTest, OffscreenMemoryReceivesTheDrawingTopRowFirst) {
    CGLContextObj context = Make();
    constexpr GLsizei kWidth = 6, kHeight = 4;
    constexpr GLint kRowBytes = kWidth * 4 + 8;
    std::vector<uint8_t> memory(static_cast<size_t>(kRowBytes) * kHeight, 0xEE);
    EXPECT_EQ(CGLSetOffScreen(context, kWidth, kHeight, kWidth * 4 - 1, memory.data()), kCGLBadValue);
    EXPECT_EQ(CGLSetOffScreen(context, 0, kHeight, kRowBytes, memory.data()), kCGLBadValue);
    EXPECT_EQ(CGLSetOffScreen(context, kWidth, kHeight, kRowBytes, nullptr), kCGLBadAddress);
    ASSERT_EQ(CGLSetOffScreen(context, kWidth, kHeight, kRowBytes, memory.data()), kCGLNoError);
    ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);

    // Blue, with red over the bottom half.
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 0, 0, 1);
    glRectf(-1, -1, 1, 0);
    ASSERT_EQ(CGLFlushDrawable(context), kCGLNoError);

    const uint8_t blue[4] = {255, 0, 0, 255}, red[4] = {0, 0, 255, 255};
    for (GLsizei y = 0; y < kHeight; ++y) {
        const uint8_t *row = memory.data() + static_cast<size_t>(y) * kRowBytes;
        for (GLsizei x = 0; x < kWidth; ++x)
            EXPECT_EQ(std::memcmp(row + 4 * x, y < kHeight / 2 ? blue : red, 4), 0) << x << "," << y;
        for (GLint pad = kWidth * 4; pad < kRowBytes; ++pad) EXPECT_EQ(row[pad], 0xEE);  // untouched
    }
    EXPECT_EQ(CGLClearDrawable(context), kCGLNoError);
    GLint binding = -1;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &binding);
    EXPECT_EQ(binding, 0);
}
