#include <CoreG/GL/namespace_OpenGL_ReadPixels.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "GLTestSupport.h"

extern char **environ;

namespace {

using Bytes = std::vector<unsigned char>;

// ---- the conversion, byte by byte

struct Case {
    const char *name;
    int rows;
    unsigned rowBytes;
    bool flip;
    bool mirrored;
    Bytes input;
    Bytes expected;
};

// Pixels written B,G,R,A. Rows of the tables below are one per line.
const Case kCases[] = {
    {"one pixel", 1, 4, false, false, {0x10, 0x20, 0x30, 0x40}, {0x40, 0x30, 0x20, 0x10}},
    {"two pixels", 1, 8, false, false,
     {0x01, 0x02, 0x03, 0x04, 0x11, 0x12, 0x13, 0x14},
     {0x04, 0x03, 0x02, 0x01, 0x14, 0x13, 0x12, 0x11}},
    // (B1 G1 R1 A1, B2 G2 R2 A2) → (255 R2 G2 B2, 255 R1 G1 B1)
    {"mirrored", 1, 8, false, true,
     {0xB1, 0xC1, 0xD1, 0xA1, 0xB2, 0xC2, 0xD2, 0xA2},
     {0xFF, 0xD2, 0xC2, 0xB2, 0xFF, 0xD1, 0xC1, 0xB1}},
    {"flipped, 3 rows", 3, 4, true, false,
     {0x00, 0x01, 0x02, 0x03,
      0x10, 0x11, 0x12, 0x13,
      0x20, 0x21, 0x22, 0x23},
     {0x23, 0x22, 0x21, 0x20,
      0x13, 0x12, 0x11, 0x10,
      0x03, 0x02, 0x01, 0x00}},
    {"flipped, 2 rows", 2, 4, true, false,
     {0x00, 0x01, 0x02, 0x03,
      0x10, 0x11, 0x12, 0x13},
     {0x13, 0x12, 0x11, 0x10,
      0x03, 0x02, 0x01, 0x00}},
    {"flipped, 1 row", 1, 8, true, false,
     {0x00, 0x01, 0x02, 0x03, 0x10, 0x11, 0x12, 0x13},
     {0x03, 0x02, 0x01, 0x00, 0x13, 0x12, 0x11, 0x10}},
    {"flipped, 0 rows", 0, 4, true, false, {0x00, 0x01, 0x02, 0x03}, {0x00, 0x01, 0x02, 0x03}},
    {"not flipped, 3 rows", 3, 4, false, false,
     {0x00, 0x01, 0x02, 0x03,
      0x10, 0x11, 0x12, 0x13,
      0x20, 0x21, 0x22, 0x23},
     {0x03, 0x02, 0x01, 0x00,
      0x13, 0x12, 0x11, 0x10,
      0x23, 0x22, 0x21, 0x20}},
    {"mirrored and flipped", 2, 8, true, true,
     {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
      0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17},
     {0xFF, 0x16, 0x15, 0x14, 0xFF, 0x12, 0x11, 0x10,
      0xFF, 0x06, 0x05, 0x04, 0xFF, 0x02, 0x01, 0x00}},
    {"mirrored and flipped, odd rows", 3, 8, true, true,
     {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07,
      0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
      0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27},
     {0xFF, 0x26, 0x25, 0x24, 0xFF, 0x22, 0x21, 0x20,
      0xFF, 0x16, 0x15, 0x14, 0xFF, 0x12, 0x11, 0x10,
      0xFF, 0x06, 0x05, 0x04, 0xFF, 0x02, 0x01, 0x00}},
    // Row bytes past the last whole pixel stay where they are, also when rows move.
    {"padded rows, flipped", 2, 6, true, false,
     {0x00, 0x01, 0x02, 0x03, 0xE0, 0xE1,
      0x10, 0x11, 0x12, 0x13, 0xF0, 0xF1},
     {0x13, 0x12, 0x11, 0x10, 0xE0, 0xE1,
      0x03, 0x02, 0x01, 0x00, 0xF0, 0xF1}},
    {"rows narrower than a pixel", 2, 3, true, true,
     {0x00, 0x01, 0x02, 0x10, 0x11, 0x12}, {0x00, 0x01, 0x02, 0x10, 0x11, 0x12}},
};

TEST(SwizzleFramebufferToARGB, ConvertsAsTheTableSays) {
    for (const Case &c : kCases) {
        Bytes pixels = c.input;
        OpenGL::SwizzleFramebufferToARGB(pixels.data(), c.rows, c.rowBytes, c.flip, c.mirrored);
        EXPECT_EQ(pixels, c.expected) << c.name;
    }
}

TEST(SwizzleFramebufferToARGB, NullPixelsAndNegativeRowsChangeNothing) {
    OpenGL::SwizzleFramebufferToARGB(nullptr, 4, 16, true, true);
    Bytes pixels = {1, 2, 3, 4};
    OpenGL::SwizzleFramebufferToARGB(pixels.data(), -1, 4, true, false);
    OpenGL::SwizzleFramebufferToARGB(pixels.data(), 1, 0, false, false);
    EXPECT_EQ(pixels, (Bytes{1, 2, 3, 4}));
}

// Every size the vector loops split differently (whole vectors, remainders, none), against
// the rule written out pixel by pixel.
TEST(SwizzleFramebufferToARGB, AgreesWithTheRuleAtEverySize) {
    for (int rows = 1; rows <= 5; ++rows)
        for (unsigned width = 1; width <= 41; ++width)
            for (unsigned padding : {0u, 1u, 3u})  // bytes past the last whole pixel
                for (int flags = 0; flags < 4; ++flags) {
                    const bool flip = (flags & 1) != 0;
                    const bool mirrored = (flags & 2) != 0;
                    const unsigned rowBytes = width * 4 + padding;
                    Bytes input(size_t(rows) * rowBytes);
                    for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<unsigned char>(i * 7 + 13);
                    Bytes expected = input;
                    for (int y = 0; y < rows; ++y)
                        for (unsigned x = 0; x < width; ++x) {
                            const int fromRow = flip ? rows - 1 - y : y;
                            const unsigned fromX = mirrored ? width - 1 - x : x;
                            const unsigned char *from = &input[size_t(fromRow) * rowBytes + fromX * 4];
                            unsigned char *to = &expected[size_t(y) * rowBytes + x * 4];
                            to[0] = mirrored ? 255 : from[3];
                            to[1] = from[2];
                            to[2] = from[1];
                            to[3] = from[0];
                        }
                    Bytes pixels = input;
                    OpenGL::SwizzleFramebufferToARGB(pixels.data(), rows, rowBytes, flip, mirrored);
                    ASSERT_EQ(pixels, expected) << rows << " rows, " << width << " pixels + " << padding
                                                << ", flip " << flip << ", mirrored " << mirrored;
                }
}

// ---- what OpenGL hands back

class SwizzleReadBack : public coreg_test::GLContextTest {};

// A 2 x 2 framebuffer object: the bottom row red (alpha 0.5), the top row blue, the top
// right pixel green. Read back as B,G,R,A bottom row first, then flipped: the top row first,
// in A,R,G,B.
TEST_F(SwizzleReadBack, GivesTopRowFirstARGB) {
    GLuint framebuffer = 0, colour = 0;
    glGenFramebuffersEXT(1, &framebuffer);
    glGenRenderbuffersEXT(1, &colour);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, colour);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA8, 2, 2);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_RENDERBUFFER_EXT, colour);
    ASSERT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
    glViewport(0, 0, 2, 2);
    glEnable(GL_SCISSOR_TEST);
    const struct {
        GLint x, y;
        GLsizei width;
        GLfloat r, g, b, a;
    } fills[] = {{0, 0, 2, 1, 0, 0, 128 / 255.0f}, {0, 1, 2, 0, 0, 1, 1}, {1, 1, 1, 0, 1, 0, 1}};
    for (const auto &fill : fills) {
        glScissor(fill.x, fill.y, fill.width, 1);
        glClearColor(fill.r, fill.g, fill.b, fill.a);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    glDisable(GL_SCISSOR_TEST);

    Bytes pixels(16, 0xEE);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, 2, 2, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    OpenGL::SwizzleFramebufferToARGB(pixels.data(), 2, 8, true, false);
    EXPECT_EQ(pixels, (Bytes{255, 0, 0, 255, 255, 0, 255, 0,  // blue, green
                             128, 255, 0, 0, 128, 255, 0, 0})); // red at alpha 128

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteRenderbuffersEXT(1, &colour);
    glDeleteFramebuffersEXT(1, &framebuffer);
}

// ---- no scan-line buffer

#if defined(__SANITIZE_ADDRESS__)
#define LUMORA_HAS_ALLOCATION_LIMIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMORA_HAS_ALLOCATION_LIMIT 1
#endif
#endif

// The sanitizer's allocator can refuse large blocks: the test runs again in a child whose
// malloc answers null above 1 MiB, with the pixels (2 MiB rows) mapped outside malloc.
TEST(SwizzleFramebufferToARGB, WithoutAScanLineBufferReportsAndLeavesThePixels) {
#ifndef LUMORA_HAS_ALLOCATION_LIMIT
    GTEST_SKIP() << "the allocation limit needs the sanitizer build (scripts/test)";
#else
    if (std::getenv("LUMORA_SWIZZLE_CHILD") == nullptr) {
        std::vector<std::string> environment;
        for (char **entry = environ; *entry != nullptr; ++entry)
            if (std::string(*entry).rfind("ASAN_OPTIONS=", 0) != 0) environment.push_back(*entry);
        const char *options = std::getenv("ASAN_OPTIONS");
        environment.push_back(std::string("ASAN_OPTIONS=") + (options != nullptr ? options : "") +
                              ":allocator_may_return_null=1:max_allocation_size_mb=1");
        environment.push_back("LUMORA_SWIZZLE_CHILD=1");
        std::vector<char *> envp;
        for (std::string &text : environment) envp.push_back(text.data());
        envp.push_back(nullptr);
        std::string program = "/proc/self/exe";
        std::string filter = "--gtest_filter=SwizzleFramebufferToARGB.WithoutAScanLineBufferReportsAndLeavesThePixels";
        char *argv[] = {program.data(), filter.data(), nullptr};
        const std::string output = lumora::test::HomeFolder() + "/swizzle-child-" + std::to_string(::getpid());
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        pid_t child = -1;
        const int spawned = ::posix_spawn(&child, "/proc/self/exe", &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_EQ(spawned, 0);
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        const std::string text = lumora::test::ReadFile(output);
        ::unlink(output.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
        EXPECT_NE(text.find("[  PASSED  ] 1 test"), std::string::npos) << text;
        return;
    }

    // In the child.
    constexpr unsigned kRowBytes = 2u << 20;
    constexpr int kRows = 2;
    void *mapped = ::mmap(nullptr, size_t(kRows) * kRowBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    auto *pixels = static_cast<unsigned char *>(mapped);
    for (size_t i = 0; i < size_t(kRows) * kRowBytes; ++i) pixels[i] = static_cast<unsigned char>(i * 3);
    ASSERT_EQ(std::malloc(kRowBytes), nullptr);  // the limit is in force

    coreg_test::DebugLogCapture log;
    OpenGL::SwizzleFramebufferToARGB(pixels, kRows, kRowBytes, true, false);
    OpenGL::SwizzleFramebufferToARGB(pixels, kRows, kRowBytes, false, true);
    for (size_t i = 0; i < size_t(kRows) * kRowBytes; ++i)
        ASSERT_EQ(pixels[i], static_cast<unsigned char>(i * 3)) << i;
    const std::string text = log.Text();
    EXPECT_NE(text.find("VERIFY FAILED:  code : one_scanline_buffer in /Code/sdk/CoreG/namespace_OpenGL_ReadPixels:119 "
                        "(T_swizzle_framebuffer_GL_BGRX_to_XXXX)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("VERIFY FAILED:  code : one_scanline_buffer in /Code/sdk/CoreG/namespace_OpenGL_ReadPixels:138 "
                        "(T_swizzle_framebuffer_GL_BGRX_to_XXXX)\n"),
              std::string::npos)
        << text;
    ::munmap(mapped, size_t(kRows) * kRowBytes);
#endif
}

}  // namespace
