#include <CoreImage/CIKernelTranslator.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/gl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using namespace CoreImage;

namespace {

using Kind = CIKernelParameterKind;

// The tint stage's kernels as the system keeps them (CR LF line ends, tab-led lines).
const char *kBorrowChroma =
    "const vec3 rgb_y = vec3(0.257,   0.504, 0.098);\r\n"
    "const vec3 rgb_u = vec3(-0.148, -0.291, 0.439);\r\n"
    "const vec3 rgb_v = vec3(0.439, -0.368, -0.071);\r\n"
    "const vec3 yuv_r = vec3(1.0000, 0.0000, 1.4022 );\r\n"
    "const vec3 yuv_g = vec3( 1.0000, -0.3457, -0.7145);\r\n"
    "const vec3 yuv_b = vec3(1.0000,  1.7710,  0.0000);\r\n"
    "kernel vec4 QCIBorrowChromaFilterKernel(sampler inputImage, sampler inputMaskImage, float inputAmountNormal)\r\n"
    "{\r\n"
    "float tintAmount = clamp(inputAmountNormal,0.0,1.0);\r\n"
    "vec4 pixel = unpremultiply(sample(inputImage, samplerCoord(inputImage)));\r\n"
    "vec4 tintPixel = unpremultiply(sample(inputMaskImage, samplerCoord(inputMaskImage)));\r\n"
    "vec3 pel = pixel.rgb;\r\n"
    "vec3 tel = tintPixel.xyz;\r\n"
    "vec3 tint_yuv = vec3(dot(tel,rgb_y),dot(tel,rgb_u),dot(tel,rgb_v));\r\n"
    "vec3 pixel_yuv = vec3(dot(pel,rgb_y),dot(pel,rgb_u),dot(pel,rgb_v));\r\n"
    "\tpixel_yuv.y = tint_yuv.y;\r\n"
    "\tpixel_yuv.z = tint_yuv.z;\r\n"
    "\tpel.r = dot(pixel_yuv,yuv_r);\r\n"
    "\tpel.g = dot(pixel_yuv,yuv_g);\r\n"
    "\tpel.b = dot(pixel_yuv,yuv_b);\r\n"
    "float tint_alpha = tintPixel.a;\r\n"
    "float pixel_alpha = pixel.a;\r\n"
    "vec4 tintedPixel = vec4(pel.r,pel.g,pel.b,1.0);\r\n"
    "\treturn mix(pixel,tintedPixel,pixel_alpha*tintAmount*tint_alpha);\r\n"
    "}\r\n";

const char *kInvertGreyAlphaMask =
    "kernel vec4 QCIInvertGreyAlphaMaskKernel(sampler inputImage, sampler inputMaskImage, float inputAmount)\r\n"
    "{\r\n"
    "vec4 pixel = unpremultiply(sample(inputImage, samplerCoord(inputImage)));\r\n"
    "vec4 maskPixel = sample(inputMaskImage, samplerCoord(inputMaskImage));\r\n"
    "float averageMask = 0.33333*(maskPixel.r+maskPixel.g+maskPixel.b);\r\n"
    "float inverted = 1.0-clamp(averageMask,0.0,1.0);\r\n"
    "\treturn pixel*inverted;\r\n"
    "}\r\n";

const char *kMakeGreyAlphaMask =
    "kernel vec4 QCIMakeGreyAlphaMaskKernel(sampler inputImage, sampler inputMaskImage, float inputAmount)\r\n"
    "{\r\n"
    "vec4 pixel = unpremultiply(sample(inputImage, samplerCoord(inputImage)));\r\n"
    "vec4 maskPixel = sample(inputMaskImage, samplerCoord(inputMaskImage));\r\n"
    "float avgMask = 0.33333*(maskPixel.r+maskPixel.g+maskPixel.b);\r\n"
    "\tpixel *= avgMask;\r\n"
    "\treturn pixel;\r\n"
    "}\r\n";

const char *kPassThrough = "kernel vec4 QCIDynamicImageFilter(sampler inputImage)\n"
                           "{\n"
                           "\treturn sample(inputImage, samplerCoord(inputImage));\n"
                           "}\n";

// Kernels in the manner of the built-in filters: a colour parameter, a table, helpers with
// sampler parameters, compare, extents and transforms, several kernels in one text.
const char *kBuiltInStyle = R"(// colour kernels
/* exposure: multiply by 2^ev */
kernel vec4 exposureAdjust(sampler image, float ev)
{
    vec4 p = sample(image, samplerCoord(image));
    return vec4(p.rgb * pow(2.0, ev), p.a);
}
vec4 fetch(sampler s, vec2 offset) { return sample(s, samplerTransform(s, destCoord() + offset)); }
kernel vec4 multiplyBlend(sampler image, sampler background, __color tint)
{
    vec4 a = fetch(image, vec2(0.0));
    vec4 b = fetch(background, vec2(0.0));
    return a * b * tint;
}
kernel vec4 tableLookup(sampler image, __table sampler table, vec2 scale, vec3 weights, vec4 fallback)
{
    vec4 p = unpremultiply(sample(image, samplerCoord(image)));
    vec4 extent = samplerExtent(table);
    float x = extent.x + dot(p.rgb, weights) * (extent.z - 1.0) * scale.x;
    vec4 t = sample(table, vec2(x + 0.5, extent.y + 0.5));
    return compare(vec4(p.a - 0.5), fallback, premultiply(vec4(t.rgb, p.a)));
}
kernel vec4 generator(void)
{
    return vec4(fract(destCoord() / 16.0), 0.0, 1.0);
}
)";

class CIKernelGLTest : public ::testing::Test {
protected:
    void SetUp() override {
        const CGLPixelFormatAttribute attributes[] = {kCGLPFAAccelerated, CGLPixelFormatAttribute(0)};
        GLint count = 0;
        ASSERT_EQ(CGLChoosePixelFormat(attributes, &mFormat, &count), kCGLNoError);
        ASSERT_EQ(CGLCreateContext(mFormat, nullptr, &mContext), kCGLNoError);
        ASSERT_EQ(CGLSetCurrentContext(mContext), kCGLNoError);
    }
    void TearDown() override {
        for (GLuint program : mPrograms) glDeleteProgram(program);
        CGLSetCurrentContext(nullptr);
        CGLReleaseContext(mContext);
        CGLReleasePixelFormat(mFormat);
    }

    // The kernel's program, or 0 with the compiler's or linker's log.
    GLuint Build(const CIKernelSource &kernel, std::string &log) {
        static const char *vertex = "#version 120\nvoid main() { gl_Position = gl_Vertex; }\n";
        GLuint shaders[2] = {glCreateShader(GL_VERTEX_SHADER), glCreateShader(GL_FRAGMENT_SHADER)};
        const char *fragment = kernel.fragmentShader.c_str();
        glShaderSource(shaders[0], 1, &vertex, nullptr);
        glShaderSource(shaders[1], 1, &fragment, nullptr);
        GLuint program = glCreateProgram();
        bool ok = true;
        for (GLuint shader : shaders) {
            glCompileShader(shader);
            GLint status = GL_FALSE;
            glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
            if (status != GL_TRUE) {
                ok = false;
                char text[4096] = {};
                glGetShaderInfoLog(shader, sizeof text, nullptr, text);
                log += text;
            }
            glAttachShader(program, shader);
        }
        if (ok) {
            glLinkProgram(program);
            GLint status = GL_FALSE;
            glGetProgramiv(program, GL_LINK_STATUS, &status);
            if (status != GL_TRUE) {
                ok = false;
                char text[4096] = {};
                glGetProgramInfoLog(program, sizeof text, nullptr, text);
                log += text;
            }
        }
        for (GLuint shader : shaders) glDeleteShader(shader);
        if (!ok) {
            glDeleteProgram(program);
            return 0;
        }
        mPrograms.push_back(program);
        return program;
    }

    CGLPixelFormatObj mFormat = nullptr;
    CGLContextObj mContext = nullptr;
    std::vector<GLuint> mPrograms;
};

TEST_F(CIKernelGLTest, SystemAndBuiltInStyleKernelsCompileAndLink) {
    for (const char *text : {kBorrowChroma, kInvertGreyAlphaMask, kMakeGreyAlphaMask, kPassThrough, kBuiltInStyle}) {
        const CIKernelTranslation translation = CITranslateKernels(text);
        ASSERT_FALSE(translation.error.has_value()) << translation.error->line << ": " << translation.error->message;
        ASSERT_FALSE(translation.kernels.empty());
        for (const CIKernelSource &kernel : translation.kernels) {
            std::string log;
            EXPECT_NE(Build(kernel, log), 0u) << kernel.name << "\n" << log << "\n" << kernel.fragmentShader;
        }
    }
}

// A fault inside a kernel body is the compiler's to find; its log names the kernel text's line.
TEST_F(CIKernelGLTest, CompilerLogSpeaksOfTheKernelTextsLines) {
    struct Case {
        const char *text;
        int line;
    } cases[] = {
        {"kernel vec4 a(sampler s)\r\n{\r\n  vec4 p = sample(s, samplerCoord(s));\r\n  return p +;\r\n}\r\n", 4},
        {"const float k = 2.0;\n\n/* a comment\n   of two lines */\nkernel vec4 b(float x,\n              vec2 y)\n{\n"
         "  return vec4(x * k);\n  undefinedName = 1.0;\n}\n",
         9},
        {"kernel vec4 first(float x) { return vec4(x); }\nkernel vec4 second(float y)\n{\n  return y;\n}\n", 4},
    };
    for (const Case &c : cases) {
        const CIKernelTranslation translation = CITranslateKernels(c.text);
        ASSERT_FALSE(translation.error.has_value()) << c.text;
        const CIKernelSource &kernel = translation.kernels.back();
        std::string log;
        EXPECT_EQ(Build(kernel, log), 0u) << c.text;
        const std::vector<CIKernelError> lines = CIKernelLogLines(log);
        ASSERT_FALSE(lines.empty()) << log;
        EXPECT_EQ(lines.front().line, c.line) << log;
    }
}

// Renders the kernel's program over a width x height destination; RGBA floats, bottom row first.
std::vector<float> Render(GLuint program, int width, int height) {
    GLuint target = 0, framebuffer = 0;
    glGenTextures(1, &target);
    glBindTexture(GL_TEXTURE_2D, target);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, target, 0);
    EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), GLenum(GL_FRAMEBUFFER_COMPLETE_EXT));
    glViewport(0, 0, width, height);
    glUseProgram(program);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    glUseProgram(0);
    std::vector<float> pixels(size_t(width) * size_t(height) * 4);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_FLOAT, pixels.data());
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &framebuffer);
    glDeleteTextures(1, &target);
    return pixels;
}

// A rectangle texture of RGBA bytes, nearest filtering, on the given unit.
GLuint RectangleTexture(GLenum unit, int width, int height, const std::vector<uint8_t> &bytes) {
    GLuint texture = 0;
    glActiveTexture(unit);
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_RECTANGLE_EXT, texture);
    glTexParameteri(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_RECTANGLE_EXT, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_RECTANGLE_EXT, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    glActiveTexture(GL_TEXTURE0);
    return texture;
}

// Sets a sampler's uniforms: texture unit, a translation by (dx, dy) from working space to
// the texture's pixels, and the texture's extent.
void SetSampler(GLuint program, const CIKernelParameter &p, int unit, float dx, float dy, int width, int height) {
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, p.valueUniform().c_str()), unit);
    const float transform[9] = {1, 0, 0, 0, 1, 0, dx, dy, 1}; // column-major
    glUniformMatrix3fv(glGetUniformLocation(program, p.transformUniform().c_str()), 1, GL_FALSE, transform);
    glUniform4f(glGetUniformLocation(program, p.extentUniform().c_str()), 0, 0, float(width), float(height));
    glUseProgram(0);
}

std::vector<uint8_t> Pattern(int width, int height, unsigned seed) {
    std::vector<uint8_t> bytes(size_t(width) * size_t(height) * 4);
    for (size_t i = 0; i < bytes.size(); i += 4) {
        seed = seed * 1103515245u + 12345u;
        const uint8_t alpha = uint8_t(64 + (seed >> 24) % 192);
        for (size_t c = 0; c < 3; ++c) bytes[i + c] = uint8_t(((seed >> (8 * c)) & 0xFF) * alpha / 255); // premultiplied
        bytes[i + 3] = alpha;
    }
    return bytes;
}

// The invert-grey-alpha-mask kernel over a 7x5 image and a mask placed 2 pixels to the right:
// against the same arithmetic in C++; outside the mask's extent the mask is transparent black.
TEST_F(CIKernelGLTest, MaskKernelRendersLikeItsReference) {
    const int w = 7, h = 5, maskShift = 2;
    const CIKernelTranslation translation = CITranslateKernels(kInvertGreyAlphaMask);
    ASSERT_EQ(translation.kernels.size(), 1u);
    const CIKernelSource &kernel = translation.kernels[0];
    std::string log;
    const GLuint program = Build(kernel, log);
    ASSERT_NE(program, 0u) << log;
    const std::vector<uint8_t> image = Pattern(w, h, 7), mask = Pattern(w, h, 99);
    const GLuint textures[2] = {RectangleTexture(GL_TEXTURE0, w, h, image), RectangleTexture(GL_TEXTURE1, w, h, mask)};
    SetSampler(program, kernel.parameters[0], 0, 0, 0, w, h);
    SetSampler(program, kernel.parameters[1], 1, float(-maskShift), 0, w, h);
    const std::vector<float> out = Render(program, w, h);
    glDeleteTextures(2, textures);

    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint8_t *p = &image[size_t(y * w + x) * 4];
            float m[4] = {0, 0, 0, 0};
            if (x - maskShift >= 0)
                for (int c = 0; c < 4; ++c) m[c] = mask[size_t(y * w + x - maskShift) * 4 + size_t(c)] / 255.0f;
            const float inverted = 1.0f - std::clamp(0.33333f * (m[0] + m[1] + m[2]), 0.0f, 1.0f);
            const float a = p[3] / 255.0f;
            for (int c = 0; c < 4; ++c) {
                const float unpremultiplied = c == 3 ? a : (p[c] / 255.0f) / a;
                EXPECT_NEAR(out[size_t(y * w + x) * 4 + size_t(c)], std::min(1.0f, unpremultiplied * inverted), 1.0f / 255)
                    << x << "," << y << " channel " << c;
            }
        }
    }
}

// A colour parameter, a table looked up with clamping, compare and the destination origin.
TEST_F(CIKernelGLTest, TableAndColourKernelRendersLikeItsReference) {
    const char *text = "kernel vec4 k(sampler image, __table sampler table, __color tint)\n"
                        "{\n"
                        "  vec4 p = sample(image, samplerCoord(image));\n"
                        "  vec4 t = sample(table, vec2(p.r * 8.0, 0.5));\n"
                        "  return compare(vec4(destCoord().x - 10.0), t * tint, p);\n"
                        "}\n";
    const int w = 6, h = 3, tableWidth = 4;
    const float origin[2] = {8, 20}; // working-space point of the destination's lower-left pixel
    const CIKernelTranslation translation = CITranslateKernels(text);
    ASSERT_EQ(translation.kernels.size(), 1u);
    const CIKernelSource &kernel = translation.kernels[0];
    std::string log;
    const GLuint program = Build(kernel, log);
    ASSERT_NE(program, 0u) << log;
    const std::vector<uint8_t> image = Pattern(w, h, 3), table = Pattern(tableWidth, 1, 5);
    const GLuint textures[2] = {RectangleTexture(GL_TEXTURE0, w, h, image),
                                RectangleTexture(GL_TEXTURE1, tableWidth, 1, table)};
    SetSampler(program, kernel.parameters[0], 0, -origin[0], -origin[1], w, h);
    SetSampler(program, kernel.parameters[1], 1, 0, 0, tableWidth, 1);
    const float tint[4] = {0.5f, 1.0f, 0.25f, 1.0f};
    glUseProgram(program);
    glUniform4fv(glGetUniformLocation(program, kernel.parameters[2].valueUniform().c_str()), 1, tint);
    glUniform2fv(glGetUniformLocation(program, kCIKernelDestOriginUniform), 1, origin);
    glUseProgram(0);
    const std::vector<float> out = Render(program, w, h);
    glDeleteTextures(2, textures);

    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint8_t *p = &image[size_t(y * w + x) * 4];
            const float destX = origin[0] + float(x) + 0.5f;
            // The table clamps: columns beyond its last give its last.
            const int column = std::clamp(int(std::floor(p[0] / 255.0f * 8.0f)), 0, tableWidth - 1);
            for (int c = 0; c < 4; ++c) {
                const float expected = destX - 10.0f < 0 ? table[size_t(column) * 4 + size_t(c)] / 255.0f * tint[c]
                                                         : p[c] / 255.0f;
                EXPECT_NEAR(out[size_t(y * w + x) * 4 + size_t(c)], expected, 1.0f / 255) << x << "," << y << " " << c;
            }
        }
    }
}

} // namespace

TEST(CIKernelTranslator, ParameterTables) {
    struct Case {
        const char *text;
        std::vector<std::string> names;
        std::vector<std::vector<CIKernelParameter>> parameters;
    } cases[] = {
        {kBorrowChroma,
         {"QCIBorrowChromaFilterKernel"},
         {{{"inputImage", Kind::Sampler}, {"inputMaskImage", Kind::Sampler}, {"inputAmountNormal", Kind::Float}}}},
        {kPassThrough, {"QCIDynamicImageFilter"}, {{{"inputImage", Kind::Sampler}}}},
        {kBuiltInStyle,
         {"exposureAdjust", "multiplyBlend", "tableLookup", "generator"},
         {{{"image", Kind::Sampler}, {"ev", Kind::Float}},
          {{"image", Kind::Sampler}, {"background", Kind::Sampler}, {"tint", Kind::Color}},
          {{"image", Kind::Sampler},
           {"table", Kind::TableSampler},
           {"scale", Kind::Vec2},
           {"weights", Kind::Vec3},
           {"fallback", Kind::Vec4}},
          {}}},
        {"kernel vec4 k(\n__table\nsampler t ) { return vec4(0.0); }", {"k"}, {{{"t", Kind::TableSampler}}}},
    };
    for (const Case &c : cases) {
        const CIKernelTranslation translation = CITranslateKernels(c.text);
        ASSERT_FALSE(translation.error.has_value()) << translation.error->message;
        ASSERT_EQ(translation.kernels.size(), c.names.size());
        for (size_t i = 0; i < c.names.size(); ++i) {
            EXPECT_EQ(translation.kernels[i].name, c.names[i]);
            EXPECT_EQ(translation.kernels[i].parameters, c.parameters[i]) << c.names[i];
        }
    }
}

TEST(CIKernelTranslator, KernelLinesAndUniforms) {
    const CIKernelTranslation translation = CITranslateKernels(kBuiltInStyle);
    ASSERT_EQ(translation.kernels.size(), 4u);
    EXPECT_EQ(translation.kernels[0].line, 3);
    EXPECT_EQ(translation.kernels[1].line, 9);
    const std::string &shader = translation.kernels[1].fragmentShader;
    for (const char *declaration : {"uniform sampler2DRect ci_tex_image;", "uniform mat3 ci_transform_background;",
                                    "uniform vec4 ci_extent_background;", "uniform vec4 tint;", "uniform vec2 ci_destOrigin;"})
        EXPECT_NE(shader.find(declaration), std::string::npos) << declaration;
    // The other kernels are left out, their lines kept.
    EXPECT_EQ(shader.find("exposureAdjust"), std::string::npos);
    EXPECT_EQ(shader.find("tableLookup"), std::string::npos);
}

// Faults of the text's structure come back with the line where they are.
TEST(CIKernelTranslator, ErrorsNameTheKernelTextsLine) {
    struct Case {
        const char *text;
        int line;
        const char *message;
    } cases[] = {
        {"", 1, "no kernel"},
        {"vec4 helper(vec4 x) { return x; }\n", 1, "no kernel"},
        {"\r\n\r\nkernel vec4 k(sampler s,\r\n  matrix m)\r\n{ return vec4(0.0); }\r\n", 4, "unknown parameter type 'matrix'"},
        {"kernel vec4 k(__color c, __table float t) { return c; }", 1, "__table applies to a sampler"},
        {"\nkernel vec3 k(float x) { return vec3(x); }", 2, "answers vec4"},
        {"kernel vec4 (float x) { return vec4(x); }", 1, "kernel name expected"},
        {"kernel vec4 k(float x float y) { return vec4(x); }", 1, "',' or ')' expected"},
        {"kernel vec4 k(float x, float x) { return vec4(x); }", 1, "named twice"},
        {"kernel vec4 k(float x)\n\n{\n return vec4(x);\n", 3, "never closed"},
        {"kernel vec4 k(float x)\n return vec4(x);\n", 2, "'{' expected"},
        {"kernel vec4 k(float x) { return vec4(x); }\n}\n", 2, "unbalanced"},
        {"kernel vec4 k(float x) { return vec4(x); }\n\n/* open", 3, "unterminated comment"},
        {"kernel vec4 k(float x", 1, "expected"},
        {"kernel vec4 main(float x) { return vec4(x); }", 1, "reserved kernel name"},
        {"kernel vec4 k(float x) { return vec4(x); }\nkernel vec4 k(float y) { return vec4(y); }", 2, "defined twice"},
        {"void f() {\nkernel vec4 k(float x) { return vec4(x); }\n}", 2, "inside another definition"},
        {"kernel vec4 k(float gl_x) { return vec4(0.0); }", 1, "reserved parameter name"},
        {"kernel vec4 k(sampler image,\n sampler sample) { return vec4(0.0); }", 2, "reserved parameter name 'sample'"},
        {"kernel vec4 destCoord() { return vec4(0.0); }", 1, "reserved kernel name"},
    };
    for (const Case &c : cases) {
        const CIKernelTranslation translation = CITranslateKernels(c.text);
        ASSERT_TRUE(translation.error.has_value()) << c.text;
        EXPECT_TRUE(translation.kernels.empty());
        EXPECT_EQ(translation.error->line, c.line) << c.text;
        EXPECT_NE(translation.error->message.find(c.message), std::string::npos) << translation.error->message;
    }
}

TEST(CIKernelTranslator, LogLinesOfTheCommonCompilerFormats) {
    const std::vector<CIKernelError> lines =
        CIKernelLogLines("0:12(5): error: syntax error, unexpected '+'\n"
                         "0(7) : error C0000: syntax error\n"
                         "ERROR: 0:3: 'x' : undeclared identifier\n"
                         "a line without a place\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].line, 12);
    EXPECT_EQ(lines[0].message, "error: syntax error, unexpected '+'");
    EXPECT_EQ(lines[1].line, 7);
    EXPECT_EQ(lines[1].message, "error C0000: syntax error");
    EXPECT_EQ(lines[2].line, 3);
}

// Every kernel's shader carries the text around it: many kernels in a large text are refused
// rather than answered with shaders without end.
TEST(CIKernelTranslator, ManyKernelsInALargeTextAreRefused) {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "const float g" + std::to_string(i) + " = 1.0;\n";
    std::string kernels;
    for (int i = 0; i < 2000; ++i) kernels += "kernel vec4 k" + std::to_string(i) + "() { return vec4(0.0); }\n";
    const CIKernelTranslation refused = CITranslateKernels(text + kernels);
    ASSERT_TRUE(refused.error.has_value());
    EXPECT_NE(refused.error->message.find("too large"), std::string::npos);
    EXPECT_TRUE(refused.kernels.empty());
    // The same text with fewer kernels translates.
    EXPECT_EQ(CITranslateKernels(text + kernels.substr(0, kernels.find("kernel vec4 k100("))).kernels.size(), 100u);
}
