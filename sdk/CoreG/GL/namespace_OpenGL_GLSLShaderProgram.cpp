#include <CoreG/GL/namespace_OpenGL_GLSLShaderProgram.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <CoreX/CoreMachDebugLog.h>
#include <OpenGL/glu.h>

#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace OpenGL {

namespace {

// Each header line is formatted through one buffer of this size; a longer line is
// formatted again at its full length.
constexpr size_t kLineBufferSize = 65535;

void AppendFormat(std::string &out, const char *format, ...) __attribute__((format(printf, 2, 3)));
void AppendFormat(std::string &out, const char *format, ...) {
    char buffer[kLineBufferSize];
    va_list arguments;
    va_start(arguments, format);
    va_list again;
    va_copy(again, arguments);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (length >= 0 && static_cast<size_t>(length) < sizeof buffer) {
        out.append(buffer, static_cast<size_t>(length));
    } else if (length >= 0) {
        std::string line(static_cast<size_t>(length) + 1, '\0');
        std::vsnprintf(line.data(), line.size(), format, again);
        out.append(line.data(), static_cast<size_t>(length));
    }
    va_end(again);
}

// Upper case, and every character that cannot stand in a macro name turned into "_".
std::string Normalise(const char *text) {
    std::string normal;
    for (const char *at = text != nullptr ? text : ""; *at != '\0'; ++at) {
        const unsigned char c = static_cast<unsigned char>(*at);
        const bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        normal += word ? static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) : '_';
    }
    return normal;
}

// A string as it may stand inside a comment: "*/" would end the comment early.
std::string CommentSafe(const char *text) {
    std::string safe;
    for (const char *at = text; *at != '\0'; ++at) {
        safe += *at;
        if (*at == '*' && at[1] == '/') safe += ' ';
    }
    return safe;
}

void AppendComment(std::string &out, const char *name, const char *value) {
    if (value != nullptr) AppendFormat(out, "/* %s='%s' */\r\n", name, CommentSafe(value).c_str());
}

const char *GLString(GLenum name) {
    DiscardGLErrors();
    const GLubyte *value = glGetString(name);
    const bool failed = glGetError() != GL_NO_ERROR;
    DiscardGLErrors();
    return failed ? nullptr : reinterpret_cast<const char *>(value);
}

struct Limit {
    const char *name;
    GLenum value;
};
constexpr Limit kLimits[] = {
    {"GL_MAX_VARYING_FLOATS_ARB", 0x8B4B},
    {"GL_MAX_TEXTURE_COORDS_ARB", 0x8871},
    {"GL_MAX_TEXTURE_IMAGE_UNITS_ARB", 0x8872},
    {"GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS_ARB", 0x8B4D},
    {"GL_MAX_FRAGMENT_UNIFORM_COMPONENTS_ARB", 0x8B49},
    {"GL_MAX_VERTEX_UNIFORM_COMPONENTS_ARB", 0x8B4A},
    {"GL_MAX_VERTEX_ATTRIBS_ARB", 0x8869},
};

constexpr const char *kKnownVendors[] = {"Apple",           "Matrox Graphics",        "NVIDIA Corporation",
                                         "ATI Technologies", "Advanced Micro Devices", "Intel"};

constexpr const char *kRequiredExtensions[] = {"GL_ARB_shader_objects", "GL_ARB_shading_language_100",
                                               "GL_ARB_vertex_shader", "GL_ARB_fragment_shader"};

// The length of a leading "#version ..." line (with its line end), 0 when the source does
// not start with one. Only white space may come before it.
size_t LeadingVersionLine(const char *source) {
    const char *at = source;
    while (*at == ' ' || *at == '\t' || *at == '\r' || *at == '\n') ++at;
    if (*at != '#') return 0;
    const char *directive = at + 1;
    while (*directive == ' ' || *directive == '\t') ++directive;
    if (std::strncmp(directive, "version", 7) != 0) return 0;
    const char *end = std::strchr(directive, '\n');
    return end != nullptr ? static_cast<size_t>(end + 1 - source) : std::strlen(source);
}

constinit std::atomic<bool> sHeaderLogged{false};

}  // namespace

GLSLShaderProgram *GLSLShaderProgram::Create() { return new GLSLShaderProgram; }

GLSLShaderProgram::~GLSLShaderProgram() { Clear(); }

void GLSLShaderProgram::Clear() {
    if (mProgram != 0) {
        glDeleteObjectARB(mProgram);
        DiscardGLErrors();
    }
    mProgram = 0;
    mValidated = false;
    mVertexAttached = false;
    mFragmentAttached = false;
    mVertexSource.clear();
    mFragmentSource.clear();
}

bool GLSLShaderProgram::CheckExtensions() {
    const GLubyte *extensions = glGetString(GL_EXTENSIONS);
    DiscardGLErrors();
    if (extensions == nullptr) return true;
    bool missing = false;
    for (const char *name : kRequiredExtensions) {
        if (gluCheckExtension(reinterpret_cast<const GLubyte *>(name), extensions)) continue;
        CoreMachDebugLog(">> GLSLShader WARNING: \"%s\" extension is not available!", name);
        missing = true;
    }
    return missing;
}

std::string GLSLShaderProgram::ImplementationHeader(const char *vendor, const char *renderer,
                                                    const char *languageVersion) {
    std::string header;
    AppendComment(header, "GL_VENDOR", vendor);
    AppendComment(header, "GL_RENDERER", renderer);

    const std::string normalVendor = Normalise(vendor);
    bool known = false;
    for (const char *name : kKnownVendors) {
        const std::string normalName = Normalise(name);
        const bool found = normalVendor.find(normalName) != std::string::npos;
        known = known || found;
        AppendFormat(header, "#define __GL_VENDOR_%s %d\r\n", normalName.c_str(), found ? 1 : 0);
    }
    AppendFormat(header, "#define __GL_VENDOR_UNKNOWN %d\r\n", known ? 0 : 1);
    AppendFormat(header, "#define __GL_RENDERER_%s 1\r\n", Normalise(renderer).c_str());

    AppendComment(header, "GL_SHADING_LANGUAGE_VERSION_ARB", languageVersion);
    if (languageVersion != nullptr) {
        // Rounded: "1.40" read as a float is 1.39999998.
        const double version = std::strtof(languageVersion, nullptr);
        AppendFormat(header, "#define __%s %d\r\n", "GL_SHADING_LANGUAGE_VERSION_ARB",
                     static_cast<int>(std::lround(version * 100.0)));
    }
    for (const char *name : {"GL_ARB_shading_language_100", "GL_ARB_fragment_shader", "GL_ARB_vertex_shader"})
        AppendFormat(header, "#define __%s %d\r\n", name, 1);

    for (const Limit &limit : kLimits) {
        DiscardGLErrors();
        GLint value = 0;
        glGetIntegerv(limit.value, &value);
        if (glGetError() != GL_NO_ERROR) {
            DiscardGLErrors();
            continue;
        }
        AppendFormat(header, "#define __%s %d\r\n", limit.name, value);
    }
    return header;
}

const char *GLSLShaderProgram::PreprocessShaderSource(std::string &out, const char *source) {
    const std::string header = ImplementationHeader(GLString(GL_VENDOR), GLString(GL_RENDERER),
                                                    GLString(GL_SHADING_LANGUAGE_VERSION_ARB));
    if (!sHeaderLogged.exchange(true)) CoreMachDebugLog("namespace_OpenGL_GLSLShaderProgram\n%s\n", header.c_str());
    const char *text = source != nullptr ? source : "";
    const size_t version = LeadingVersionLine(text);
    out.append(text, version);
    if (version > 0 && out.back() != '\n') out += "\r\n";
    out += header;
    out += "\r\n";
    out += text + version;
    return out.c_str();
}

void GLSLShaderProgram::LogInfo(GLhandleARB object, const char *format) {
    GLint length = 0;
    glGetObjectParameterivARB(object, GL_OBJECT_INFO_LOG_LENGTH_ARB, &length);
    DiscardGLErrors();
    if (length <= 0) return;
    std::vector<GLcharARB> text(static_cast<size_t>(length) * 2, '\0');
    GLsizei written = 0;
    glGetInfoLogARB(object, static_cast<GLsizei>(text.size()), &written, text.data());
    DiscardGLErrors();
    if (written > 0) CoreMachDebugLog(format, text.data());
}

GLhandleARB GLSLShaderProgram::CompileShader(GLenum type, const char *source, GLint &compiled,
                                             std::string &preprocessed) {
    DiscardGLErrors();
    compiled = 0;
    preprocessed.clear();  // the text of this compile only
    if (source == nullptr) return 0;
    const GLhandleARB shader = glCreateShaderObjectARB(type);
    DiscardGLErrors();
    if (shader == 0) return 0;
    const GLcharARB *text = PreprocessShaderSource(preprocessed, source);
    glShaderSourceARB(shader, 1, &text, nullptr);
    glCompileShaderARB(shader);
    DiscardGLErrors();
    LogInfo(shader, "namespace_OpenGL_GLSLShaderProgram compilation log:\n%s\n");
    glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
    DiscardGLErrors();
    if (compiled == 0)
        CoreMachDebugLog("namespace_OpenGL_GLSLShaderProgram WARNING: Failed to compile shader!\n"
                         "preprocessedShaderSourceCode=%s\n",
                         preprocessed.c_str());
    return shader;
}

GLhandleARB GLSLShaderProgram::CompileShaderChecked(GLenum type, const char *source, GLint &compiled,
                                                    std::string &preprocessed) {
    const GLhandleARB shader = CompileShader(type, source, compiled, preprocessed);
    if (shader != 0 && compiled == 0) {
        glDeleteObjectARB(shader);
        DiscardGLErrors();
        return 0;
    }
    return shader;
}

bool GLSLShaderProgram::LinkProgram(GLhandleARB program) {
    if (program == 0) return false;
    glLinkProgramARB(program);
    DiscardGLErrors();
    LogInfo(program, ">> GLSLShader Program link log:\n%s\n");
    GLint linked = 0;
    glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    DiscardGLErrors();
    return linked != 0;
}

GLhandleARB GLSLShaderProgram::CreateProgram(GLhandleARB vertexShader, GLhandleARB fragmentShader) {
    mVertexAttached = false;
    mFragmentAttached = false;
    GLhandleARB program = 0;
    if (vertexShader != 0 || fragmentShader != 0) {
        program = glCreateProgramObjectARB();
        DiscardGLErrors();
    }
    if (program != 0) {
        if (vertexShader != 0) {
            glAttachObjectARB(program, vertexShader);
            mVertexAttached = true;
        }
        if (fragmentShader != 0) {
            glAttachObjectARB(program, fragmentShader);
            mFragmentAttached = true;
        }
        DiscardGLErrors();
        if (!(mVertexAttached || mFragmentAttached) || !LinkProgram(program)) {
            glDeleteObjectARB(program);
            program = 0;
            mVertexAttached = false;
            mFragmentAttached = false;
        }
    }
    // Attached shaders live on with the program.
    if (vertexShader != 0) glDeleteObjectARB(vertexShader);
    if (fragmentShader != 0) glDeleteObjectARB(fragmentShader);
    DiscardGLErrors();
    return program;
}

bool GLSLShaderProgram::ValidateProgram() {
    if (mProgram == 0) return true;
    glValidateProgramARB(mProgram);
    DiscardGLErrors();
    GLint valid = 0;
    glGetObjectParameterivARB(mProgram, GL_OBJECT_VALIDATE_STATUS_ARB, &valid);
    DiscardGLErrors();
    if (valid == 0) {
        LogInfo(mProgram, ">> GLSLShader ERROR: In validating program object!\n%s");
        return false;
    }
    return true;
}

bool GLSLShaderProgram::CompileLinkProgram(const char *vertexSource, const char *fragmentSource) {
    if (vertexSource == nullptr && fragmentSource == nullptr) return HasValidProgramObjectCached();
    GLint vertexCompiled = 0, fragmentCompiled = 0;
    const GLhandleARB vertexShader =
        CompileShaderChecked(GL_VERTEX_SHADER_ARB, vertexSource, vertexCompiled, mVertexSource);
    const GLhandleARB fragmentShader =
        CompileShaderChecked(GL_FRAGMENT_SHADER_ARB, fragmentSource, fragmentCompiled, mFragmentSource);

    GLhandleARB program = 0;
    const bool allCompiled = (vertexSource == nullptr || vertexShader != 0) &&
                             (fragmentSource == nullptr || fragmentShader != 0);
    if (allCompiled) {
        program = CreateProgram(vertexShader, fragmentShader);
    } else {
        // A program without the shader that failed would draw something else than asked.
        if (vertexShader != 0) glDeleteObjectARB(vertexShader);
        if (fragmentShader != 0) glDeleteObjectARB(fragmentShader);
        mVertexAttached = false;
        mFragmentAttached = false;
    }
    if (mProgram != 0) glDeleteObjectARB(mProgram);
    DiscardGLErrors();
    mProgram = program;
    mValidated = mProgram != 0 && ValidateProgram();
    return HasValidProgramObjectCached();
}

GLint GLSLShaderProgram::UniformLocation(const char *name) const {
    if (!HasValidProgramObjectCached() || name == nullptr) return -1;
    const GLint location = glGetUniformLocationARB(mProgram, name);
    DiscardGLErrors();
    return location;
}

bool GLSLShaderProgram::ValidateVerbose() const {
    if (!VERIFY(HasValidProgramObjectCached())) return false;
    if (!VERIFY(HasVertexAndFragmentShaderAttached())) return false;
    return true;
}

}  // namespace OpenGL
