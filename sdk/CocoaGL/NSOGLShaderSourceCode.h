// The source code of a GLSL program: a vertex and a fragment shader text.
//
// A source-code class decides where the texts of a named program come from. Its class side
// is an NSOGLShaderSourceCodeClass object (one per class, living for the process):
// sourceCodeFromResource answers the text of one shader file, and shaderSourceCodeWithShaderName
// asks it for "<name>.vs" and "<name>.fs". The base class reads the main bundle's resources;
// a subclass replaces sourceCodeFromResource to answer from elsewhere (LumoraShaderSourceCode
// answers from the texts compiled into the kit).
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

// What a program object compiles: the texts as UTF-8 C strings (null for a missing text)
// and a flag that the texts changed since the last compile.
class protocol_NSOGLShaderSourceCode {
public:
    virtual ~protocol_NSOGLShaderSourceCode() = default;
    virtual const char *vertexShaderCode() const = 0;
    virtual const char *fragmentShaderCode() const = 0;
    virtual bool codeChanged() const = 0;
    virtual void setCodeChanged(bool codeChanged) = 0;
};

class NSOGLShaderSourceCode;

// The class side of a source-code class. Compare classes by the address of this object.
class NSOGLShaderSourceCodeClass {
public:
    virtual ~NSOGLShaderSourceCodeClass() = default;

    // The class's name, for logs.
    virtual const char *className() const;

    // The text of the shader file name.extension; nullopt when there is none. The base class
    // reads the main bundle's resource of that name and type.
    virtual std::optional<std::string> sourceCodeFromResource(const std::string &name,
                                                              const std::string &extension) const;

    // A new source of the texts sourceCodeFromResource answers for (name, "vs") and
    // (name, "fs").
    std::shared_ptr<NSOGLShaderSourceCode> shaderSourceCodeWithShaderName(const std::string &name) const;
};

using NSOGLShaderSourceCodeClassRef = const NSOGLShaderSourceCodeClass *;

class NSOGLShaderSourceCode : public protocol_NSOGLShaderSourceCode {
public:
    // No texts.
    NSOGLShaderSourceCode() = default;
    // Stores both texts and sets codeChanged.
    NSOGLShaderSourceCode(std::optional<std::string> vertexShader, std::optional<std::string> fragmentShader);

    // The class object of NSOGLShaderSourceCode.
    static NSOGLShaderSourceCodeClassRef sourceCodeClass();

    // The class methods, sent to NSOGLShaderSourceCode's class object.
    static std::optional<std::string> sourceCodeFromResource(const std::string &name, const std::string &extension) {
        return sourceCodeClass()->sourceCodeFromResource(name, extension);
    }
    static std::shared_ptr<NSOGLShaderSourceCode> shaderSourceCodeWithShaderName(const std::string &name) {
        return sourceCodeClass()->shaderSourceCodeWithShaderName(name);
    }
    static std::shared_ptr<NSOGLShaderSourceCode> shaderSourceCodeWithVertexShader(
        std::optional<std::string> vertexShader, std::optional<std::string> fragmentShader);

    std::optional<std::string> vertexShader() const;
    std::optional<std::string> fragmentShader() const;

    // The texts stay unchanged for the object's life, so the pointers stay valid with it.
    const char *vertexShaderCode() const override;
    const char *fragmentShaderCode() const override;
    bool codeChanged() const override;
    void setCodeChanged(bool codeChanged) override;

private:
    mutable std::mutex mMutex;
    bool mCodeChanged = false;
    const std::optional<std::string> mVertexShader;
    const std::optional<std::string> mFragmentShader;
};

bool import_NSOGLShaderSourceCode();
