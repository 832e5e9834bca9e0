// GLSL programs: the implementation header for many vendor and renderer strings, a real
// compile, link, validate and draw on the running driver, and the failure reports.
#include <CoreG/GL/namespace_OpenGL_GLSLShaderProgram.h>

#include <memory>

#include "GLTestSupport.h"

namespace {

using coreg_test::Count;
using coreg_test::DebugLogCapture;
using OpenGL::GLSLShaderProgram;

constexpr const char *kVertex =
    "void main() {\n"
    "    gl_Position = ftransform();\n"
    "}\n";
constexpr const char *kFragment =
    "uniform vec4 colour;\n"
    "void main() {\n"
    "    gl_FragColor = colour;\n"
    "}\n";

class GLSLShaderProgramTest : public coreg_test::GLContextTest {
protected:
    DebugLogCapture mLog;
};

// Compiles a fragment shader of `text` directly; the info log on failure.
std::string CompileError(const std::string &text) {
    const GLhandleARB shader = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
    const GLcharARB *source = text.c_str();
    glShaderSourceARB(shader, 1, &source, nullptr);
    glCompileShaderARB(shader);
    GLint compiled = 0;
    glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
    std::string log;
    if (compiled == 0) {
        char buffer[4096] = {};
        glGetInfoLogARB(shader, sizeof buffer, nullptr, buffer);
        log = buffer[0] != '\0' ? buffer : "failed";
    }
    glDeleteObjectARB(shader);
    return log;
}

struct HeaderCase {
    const char *vendor;
    const char *renderer;
    const char *version;
    const char *flagOn;          // the vendor flag that is 1
    const char *rendererMacro;
    const char *versionLine;     // null: no version definition
};

// Every header compiles in front of a shader that uses its definitions, whatever characters
// the implementation's strings hold.
TEST_F(GLSLShaderProgramTest, HeaderCompilesForEveryVendorAndRenderer) {
    const HeaderCase cases[] = {
        {"NVIDIA Corporation", "NVIDIA GeForce GTX 680MX OpenGL Engine", "1.20", "__GL_VENDOR_NVIDIA_CORPORATION 1",
         "__GL_RENDERER_NVIDIA_GEFORCE_GTX_680MX_OPENGL_ENGINE 1", "__GL_SHADING_LANGUAGE_VERSION_ARB 120"},
        {"Intel Inc.", "Intel HD Graphics 4000 OpenGL Engine", "1.20", "__GL_VENDOR_INTEL 1",
         "__GL_RENDERER_INTEL_HD_GRAPHICS_4000_OPENGL_ENGINE 1", "__GL_SHADING_LANGUAGE_VERSION_ARB 120"},
        {"ATI Technologies Inc.", "AMD Radeon HD 6970M OpenGL Engine", "1.40", "__GL_VENDOR_ATI_TECHNOLOGIES 1",
         "__GL_RENDERER_AMD_RADEON_HD_6970M_OPENGL_ENGINE 1", "__GL_SHADING_LANGUAGE_VERSION_ARB 140"},
        {"Mesa/X.org", "llvmpipe (LLVM 15.0.6, 256 bits)", "4.50", "__GL_VENDOR_UNKNOWN 1",
         "__GL_RENDERER_LLVMPIPE__LLVM_15_0_6__256_BITS_ 1", "__GL_SHADING_LANGUAGE_VERSION_ARB 450"},
        {"Vendor */ #error", "Render\xC3\xA9r */ #error x", "4.60 - build 1", "__GL_VENDOR_UNKNOWN 1",
         "__GL_RENDERER_RENDER__R_____ERROR_X 1", "__GL_SHADING_LANGUAGE_VERSION_ARB 460"},
        {nullptr, nullptr, nullptr, "__GL_VENDOR_UNKNOWN 1", "__GL_RENDERER_ 1", nullptr},
    };
    const std::string uses =
        "void main() {\n"
        "#if __GL_VENDOR_UNKNOWN + __GL_VENDOR_NVIDIA_CORPORATION + __GL_VENDOR_INTEL != 1 && !__GL_VENDOR_ATI_TECHNOLOGIES\n"
        "#error vendor flags\n"
        "#endif\n"
        "    gl_FragColor = vec4(float(__GL_ARB_fragment_shader), float(__GL_MAX_TEXTURE_IMAGE_UNITS_ARB), 0.0, 1.0);\n"
        "}\n";
    for (const HeaderCase &c : cases) {
        SCOPED_TRACE(c.renderer != nullptr ? c.renderer : "(no strings)");
        const std::string header = GLSLShaderProgram::ImplementationHeader(c.vendor, c.renderer, c.version);
        EXPECT_NE(header.find(std::string("#define ") + c.flagOn + "\r\n"), std::string::npos) << header;
        EXPECT_EQ(Count(header, " 1\r\n#define __GL_VENDOR"), c.flagOn == std::string("__GL_VENDOR_UNKNOWN 1") ? 0u : 1u)
            << "one vendor flag at most";
        EXPECT_NE(header.find(std::string("#define ") + c.rendererMacro + "\r\n"), std::string::npos) << header;
        if (c.versionLine != nullptr)
            EXPECT_NE(header.find(std::string("#define ") + c.versionLine + "\r\n"), std::string::npos) << header;
        else
            EXPECT_EQ(header.find("__GL_SHADING_LANGUAGE_VERSION_ARB"), std::string::npos);
        EXPECT_EQ(Count(header, "/* GL_VENDOR="), c.vendor != nullptr ? 1u : 0u);
        EXPECT_NE(header.find("#define __GL_MAX_VERTEX_ATTRIBS_ARB "), std::string::npos);
        EXPECT_EQ(CompileError(header + "\r\n" + uses), "");
    }
}

TEST_F(GLSLShaderProgramTest, HeaderLinesLongerThanTheLineBufferStayWhole) {
    const std::string renderer(70000, 'r');
    const std::string header = GLSLShaderProgram::ImplementationHeader("Vendor", renderer.c_str(), "1.20");
    EXPECT_NE(header.find("/* GL_RENDERER='" + renderer + "' */\r\n"), std::string::npos);
    EXPECT_NE(header.find("#define __GL_RENDERER_" + std::string(70000, 'R') + " 1\r\n"), std::string::npos);
}

// Compiled, linked and validated on the running driver, the program draws its uniform.
TEST_F(GLSLShaderProgramTest, CompilesLinksValidatesAndDraws) {
    ASSERT_FALSE(GLSLShaderProgram::CheckExtensions());
    std::unique_ptr<GLSLShaderProgram> program(GLSLShaderProgram::Create());
    EXPECT_EQ(program->UniformLocation("colour"), -1) << "before a link";
    ASSERT_TRUE(program->CompileLinkProgram(kVertex, kFragment)) << mLog.Text();
    EXPECT_NE(program->GetProgramObject(), 0u);
    EXPECT_TRUE(program->HasValidProgramObjectCached());
    EXPECT_TRUE(program->HasVertexAndFragmentShaderAttached());
    EXPECT_TRUE(program->ValidateVerbose());
    EXPECT_EQ(program->VertexSourceCompiled().find("/* GL_VENDOR="), 0u);
    EXPECT_NE(program->FragmentSourceCompiled().find(std::string("\r\n\r\n") + kFragment), std::string::npos);
    const GLint colour = program->UniformLocation("colour");
    ASSERT_GE(colour, 0);
    EXPECT_EQ(program->UniformLocation("missing"), -1);

    GLuint texture = 0, framebuffer = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, texture, 0);
    glViewport(0, 0, 4, 4);
    glUseProgramObjectARB(program->GetProgramObject());
    glUniform4fARB(colour, 0.2f, 0.4f, 0.6f, 1.0f);
    glBegin(GL_QUADS);
    glVertex2f(-1, -1);
    glVertex2f(1, -1);
    glVertex2f(1, 1);
    glVertex2f(-1, 1);
    glEnd();
    glUseProgramObjectARB(0);
    EXPECT_EQ(coreg_test::PixelAt(2, 2), 0xFF996633u);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &framebuffer);
    glDeleteTextures(1, &texture);

    program->Clear();
    EXPECT_EQ(program->GetProgramObject(), 0u);
    EXPECT_EQ(program->VertexSourceCompiled(), "");
    EXPECT_EQ(program->UniformLocation("colour"), -1);
}

// A second compile replaces the program and compiles only its own text.
TEST_F(GLSLShaderProgramTest, RecompileReplacesTheProgram) {
    GLSLShaderProgram program;
    ASSERT_TRUE(program.CompileLinkProgram(kVertex, kFragment));
    const GLhandleARB first = program.GetProgramObject();
    const char *other = "uniform vec4 tint;\nvoid main() { gl_FragColor = tint * 0.5; }\n";
    ASSERT_TRUE(program.CompileLinkProgram(kVertex, other)) << mLog.Text();
    EXPECT_EQ(Count(program.FragmentSourceCompiled(), "/* GL_VENDOR="), 1u);
    EXPECT_EQ(Count(program.VertexSourceCompiled(), "/* GL_VENDOR="), 1u);
    EXPECT_GE(program.UniformLocation("tint"), 0);
    EXPECT_EQ(program.UniformLocation("colour"), -1);
    EXPECT_FALSE(glIsProgram(first)) << "the first program was deleted";
}

TEST_F(GLSLShaderProgramTest, VersionLineStaysFirst) {
    GLSLShaderProgram program;
    const char *vertex = "\n#version 120\nvoid main() { gl_Position = ftransform(); }\n";
    ASSERT_TRUE(program.CompileLinkProgram(vertex, kFragment)) << mLog.Text();
    EXPECT_EQ(program.VertexSourceCompiled().find("\n#version 120\n"), 0u);
    EXPECT_NE(program.VertexSourceCompiled().find("/* GL_VENDOR="), std::string::npos);
}

struct FailureCase {
    const char *name;
    const char *vertex;
    const char *fragment;
};

// A source that fails to compile makes no program, and its preprocessed text is logged.
TEST_F(GLSLShaderProgramTest, FailedCompileMakesNoProgramAndLogsTheText) {
    const char *broken = "void main() { gl_Position = undefined_thing; }\n";
    const FailureCase cases[] = {
        {"vertex only", broken, nullptr},
        {"with a good fragment shader", broken, kFragment},
    };
    for (const FailureCase &c : cases) {
        SCOPED_TRACE(c.name);
        mLog.Clear();
        GLSLShaderProgram program;
        EXPECT_FALSE(program.CompileLinkProgram(c.vertex, c.fragment));
        EXPECT_EQ(program.GetProgramObject(), 0u);
        EXPECT_FALSE(program.HasValidProgramObjectCached());
        EXPECT_EQ(program.UniformLocation("colour"), -1);
        const std::string log = mLog.Text();
        EXPECT_NE(log.find("namespace_OpenGL_GLSLShaderProgram compilation log:\n"), std::string::npos);
        EXPECT_NE(log.find("namespace_OpenGL_GLSLShaderProgram WARNING: Failed to compile shader!\n"
                           "preprocessedShaderSourceCode=" +
                           program.VertexSourceCompiled() + "\n"),
                  std::string::npos)
            << log;
        EXPECT_NE(program.VertexSourceCompiled().find("__GL_RENDERER_"), std::string::npos);
    }
}

TEST_F(GLSLShaderProgramTest, FragmentOnlyProgramIsReportedByValidateVerbose) {
    GLSLShaderProgram program;
    ASSERT_TRUE(program.CompileLinkProgram(nullptr, kFragment)) << mLog.Text();
    EXPECT_TRUE(program.HasValidProgramObjectCached());
    EXPECT_FALSE(program.HasVertexAndFragmentShaderAttached());
    mLog.Clear();
    EXPECT_FALSE(program.ValidateVerbose());
    const std::string log = mLog.Text();
    EXPECT_EQ(log.rfind("VERIFY FAILED:  code : HasVertexAndFragmentShaderAttached() in ", 0), 0u) << log;
    EXPECT_NE(log.find("namespace_OpenGL_GLSLShaderProgram.cpp:"), std::string::npos);
    EXPECT_EQ(log.substr(log.size() - 18), "(ValidateVerbose)\n");
    EXPECT_EQ(Count(log, "VERIFY FAILED"), 1u);

    GLSLShaderProgram empty;
    mLog.Clear();
    EXPECT_FALSE(empty.ValidateVerbose());
    EXPECT_EQ(mLog.Text().rfind("VERIFY FAILED:  code : HasValidProgramObjectCached() in ", 0), 0u);
    EXPECT_FALSE(empty.CompileLinkProgram(nullptr, nullptr));
}

TEST(GLSLShaderProgram, WithoutAContextTheExtensionsAreMissing) {
    ASSERT_EQ(CGLSetCurrentContext(nullptr), kCGLNoError);
    EXPECT_TRUE(GLSLShaderProgram::CheckExtensions());
}

}  // namespace
