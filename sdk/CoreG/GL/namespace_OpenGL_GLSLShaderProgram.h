// A GLSL program of a vertex and a fragment shader, through the ARB shader objects.
//
// Every shader source is compiled with a header of definitions describing the running
// OpenGL implementation before it, so that one text can adapt to the hardware:
//     /* GL_VENDOR='...' */  /* GL_RENDERER='...' */
//     #define __GL_VENDOR_NVIDIA_CORPORATION 0 ... #define __GL_VENDOR_UNKNOWN 1
//     #define __GL_RENDERER_LLVMPIPE__LLVM_15_0_6__256_BITS_ 1
//     #define __GL_SHADING_LANGUAGE_VERSION_ARB 450, __GL_ARB_fragment_shader 1, limits...
// All operations need the context that owns the objects to be current.
#pragma once

#include <OpenGL/glext.h>

#include <string>

namespace OpenGL {

class GLSLShaderProgram {
public:
    // A new empty program, owned by the caller (delete it).
    static GLSLShaderProgram *Create();

    GLSLShaderProgram() = default;
    ~GLSLShaderProgram();
    GLSLShaderProgram(const GLSLShaderProgram &) = delete;
    GLSLShaderProgram &operator=(const GLSLShaderProgram &) = delete;

    // Deletes the program object and forgets the compiled texts.
    void Clear();

    GLhandleARB GetProgramObject() const { return mProgram; }
    bool HasValidProgramObjectCached() const { return mProgram != 0 && mValidated; }
    bool HasVertexAndFragmentShaderAttached() const { return mVertexAttached && mFragmentAttached; }

    // True when the current context lacks one of the shader extensions (each missing one is
    // logged) or no context is current. Callers compile only when this answers false.
    static bool CheckExtensions();

    // Compiles the sources (either may be null, not both), links them into a program that
    // replaces the previous one, and validates it. A source that fails to compile makes no
    // program. True when a linked and validated program exists.
    bool CompileLinkProgram(const char *vertexSource, const char *fragmentSource);

    // -1 without a valid program.
    GLint UniformLocation(const char *name) const;

    // As HasValidProgramObjectCached and HasVertexAndFragmentShaderAttached, reporting the
    // first that fails through the debug log.
    bool ValidateVerbose() const;

    // The preprocessed vertex and fragment texts of the last compile.
    const std::string &VertexSourceCompiled() const { return mVertexSource; }
    const std::string &FragmentSourceCompiled() const { return mFragmentSource; }

    // Appends to `out` the text a source is compiled as: the header of the current
    // context, a blank line and the source (a leading #version line goes first, where GLSL
    // requires it). Answers out's characters.
    static const char *PreprocessShaderSource(std::string &out, const char *source);

    // The header for the given vendor, renderer and shading-language version texts (null
    // when the query failed), with the limits of the current context.
    static std::string ImplementationHeader(const char *vendor, const char *renderer, const char *languageVersion);

private:
    static GLhandleARB CompileShader(GLenum type, const char *source, GLint &compiled, std::string &preprocessed);
    static GLhandleARB CompileShaderChecked(GLenum type, const char *source, GLint &compiled,
                                            std::string &preprocessed);
    GLhandleARB CreateProgram(GLhandleARB vertexShader, GLhandleARB fragmentShader);
    static bool LinkProgram(GLhandleARB program);
    bool ValidateProgram();
    static void LogInfo(GLhandleARB object, const char *format);

    GLhandleARB mProgram = 0;
    bool mValidated = false;
    bool mFragmentAttached = false;
    bool mVertexAttached = false;
    std::string mVertexSource;
    std::string mFragmentSource;
};

}  // namespace OpenGL
