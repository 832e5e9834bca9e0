#include "NSOGLShaderSourceCode.h"

#include <CoreFoundation/CFBundle.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFURL.h>

#include <climits>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

// A CFString of UTF-8 text, released with the holder.
struct CFStringHolder {
    CFStringRef string;
    explicit CFStringHolder(const std::string &text)
        : string(CFStringCreateWithBytes(nullptr, reinterpret_cast<const UInt8 *>(text.data()),
                                         static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8, false)) {}
    ~CFStringHolder() {
        if (string != nullptr) CFRelease(string);
    }
    CFStringHolder(const CFStringHolder &) = delete;
    CFStringHolder &operator=(const CFStringHolder &) = delete;
};

}  // namespace

const char *NSOGLShaderSourceCodeClass::className() const { return "NSOGLShaderSourceCode"; }

std::optional<std::string> NSOGLShaderSourceCodeClass::sourceCodeFromResource(const std::string &name,
                                                                              const std::string &extension) const {
    CFBundleRef bundle = CFBundleGetMainBundle();
    if (bundle == nullptr) return std::nullopt;
    const CFStringHolder resource(name), type(extension);
    if (resource.string == nullptr || type.string == nullptr) return std::nullopt;
    CFURLRef url = CFBundleCopyResourceURL(bundle, resource.string, type.string, nullptr);
    if (url == nullptr) return std::nullopt;
    UInt8 path[PATH_MAX];
    const bool found = CFURLGetFileSystemRepresentation(url, true, path, sizeof path);
    CFRelease(url);
    if (!found) return std::nullopt;
    std::ifstream file(reinterpret_cast<const char *>(path), std::ios::binary);
    if (!file) return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) return std::nullopt;
    return text.str();
}

std::shared_ptr<NSOGLShaderSourceCode> NSOGLShaderSourceCodeClass::shaderSourceCodeWithShaderName(
    const std::string &name) const {
    auto vertex = sourceCodeFromResource(name, "vs");
    auto fragment = sourceCodeFromResource(name, "fs");
    return NSOGLShaderSourceCode::shaderSourceCodeWithVertexShader(std::move(vertex), std::move(fragment));
}

NSOGLShaderSourceCode::NSOGLShaderSourceCode(std::optional<std::string> vertexShader,
                                             std::optional<std::string> fragmentShader)
    : mCodeChanged(true), mVertexShader(std::move(vertexShader)), mFragmentShader(std::move(fragmentShader)) {}

NSOGLShaderSourceCodeClassRef NSOGLShaderSourceCode::sourceCodeClass() {
    static const NSOGLShaderSourceCodeClass sClass;
    return &sClass;
}

std::shared_ptr<NSOGLShaderSourceCode> NSOGLShaderSourceCode::shaderSourceCodeWithVertexShader(
    std::optional<std::string> vertexShader, std::optional<std::string> fragmentShader) {
    return std::make_shared<NSOGLShaderSourceCode>(std::move(vertexShader), std::move(fragmentShader));
}

std::optional<std::string> NSOGLShaderSourceCode::vertexShader() const { return mVertexShader; }
std::optional<std::string> NSOGLShaderSourceCode::fragmentShader() const { return mFragmentShader; }

const char *NSOGLShaderSourceCode::vertexShaderCode() const {
    return mVertexShader ? mVertexShader->c_str() : nullptr;
}

const char *NSOGLShaderSourceCode::fragmentShaderCode() const {
    return mFragmentShader ? mFragmentShader->c_str() : nullptr;
}

bool NSOGLShaderSourceCode::codeChanged() const {
    const std::lock_guard lock(mMutex);
    return mCodeChanged;
}

void NSOGLShaderSourceCode::setCodeChanged(bool codeChanged) {
    const std::lock_guard lock(mMutex);
    mCodeChanged = codeChanged;
}

bool import_NSOGLShaderSourceCode() { return true; }
