#include <CoreImage/CIRenderCache.h>

#include <algorithm>
#include <cstdio>

namespace CoreImage {

namespace {

struct Registry {
    std::mutex mutex;
    std::map<uint64_t, std::weak_ptr<CIRenderCache>> caches;
};

Registry &TheRegistry() {
    static Registry *registry = new Registry;  // lives to the end of the process
    return *registry;
}

uint64_t GroupOf(CGLContextObj context) {
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(CGLGetShareGroup(context)));
}

const char *kVertexShader = "#version 120\nvoid main() { gl_Position = gl_Vertex; }\n";

// Compiles one shader; 0 and the log on failure.
GLuint Compile(GLenum type, const std::string &source, std::string *log) {
    const GLuint shader = glCreateShader(type);
    const char *text = source.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE) return shader;
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string text_(size_t(std::max(length, 1)), '\0');
    glGetShaderInfoLog(shader, length, nullptr, text_.data());
    *log = text_.c_str();
    glDeleteShader(shader);
    return 0;
}

// The kernel's compile log in its own lines: "line N: message" for each message that names
// one, else the log as it is.
std::string KernelError(const CIKernel &kernel, const std::string &log) {
    std::string out;
    for (const CIKernelError &e : CIKernelLogLines(log)) {
        if (!out.empty()) out += "; ";
        out += "line " + std::to_string(e.line) + ": " + e.message;
    }
    if (out.empty()) out = log;
    return "kernel '" + kernel.name() + "' does not compile: " + out;
}

} // namespace

std::shared_ptr<CIRenderCache> CIRenderCache::forContext(CGLContextObj context) {
    const uint64_t group = GroupOf(context);
    if (group == 0) return nullptr;
    Registry &registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    if (auto cache = registry.caches[group].lock()) return cache;
    std::shared_ptr<CIRenderCache> cache(new CIRenderCache(context, group));
    registry.caches[group] = cache;
    return cache;
}

CIRenderCache::CIRenderCache(CGLContextObj context, uint64_t group)
    : m_context(CGLRetainContext(context)), m_group(group) {}

CIRenderCache::~CIRenderCache() {
    {
        Registry &registry = TheRegistry();
        std::lock_guard lock(registry.mutex);
        auto it = registry.caches.find(m_group);
        if (it != registry.caches.end() && it->second.expired()) registry.caches.erase(it);
    }
    CGLContextObj previous = CGLGetCurrentContext();
    if (previous) CGLRetainContext(previous);
    if (CGLSetCurrentContext(m_context) == kCGLNoError) {
        for (auto &[identity, program] : m_programs)
            if (program.program) glDeleteProgram(program.program);
        if (!m_allTextures.empty()) glDeleteTextures(GLsizei(m_allTextures.size()), m_allTextures.data());
        if (m_linear) glDeleteSamplers(1, &m_linear);
        if (m_nearest) glDeleteSamplers(1, &m_nearest);
        CGLSetCurrentContext(previous);
    }
    if (previous) CGLReleaseContext(previous);
    CGLReleaseContext(m_context);
}

const CIProgram &CIRenderCache::program(const CIKernel &kernel, bool *compiled) {
    *compiled = false;
    auto found = m_programs.find(kernel.identity());
    if (found != m_programs.end()) return found->second;
    CIProgram &entry = m_programs[kernel.identity()];
    *compiled = true;
    std::string log;
    const GLuint vertex = Compile(GL_VERTEX_SHADER, kVertexShader, &log);
    const GLuint fragment = vertex ? Compile(GL_FRAGMENT_SHADER, kernel.fragmentShader(), &log) : 0;
    if (!vertex || !fragment) {
        entry.error = vertex ? KernelError(kernel, log) : "the vertex shader does not compile: " + log;
        if (vertex) glDeleteShader(vertex);
        std::fprintf(stderr, "Core Image: %s\n", entry.error.c_str());
        return entry;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (ok != GL_TRUE) {
        GLint length = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
        std::string text(size_t(std::max(length, 1)), '\0');
        glGetProgramInfoLog(program, length, nullptr, text.data());
        entry.error = "kernel '" + kernel.name() + "' does not link: " + std::string(text.c_str());
        std::fprintf(stderr, "Core Image: %s\n", entry.error.c_str());
        glDeleteProgram(program);
        return entry;
    }
    entry.program = program;
    entry.destOrigin = glGetUniformLocation(program, kCIKernelDestOriginUniform);
    GLint unit = 0;
    for (const CIKernelParameter &p : kernel.parameters()) {
        CIProgram::Parameter parameter;
        parameter.value = glGetUniformLocation(program, p.valueUniform().c_str());
        if (p.isSampler()) {
            parameter.transform = glGetUniformLocation(program, p.transformUniform().c_str());
            parameter.extent = glGetUniformLocation(program, p.extentUniform().c_str());
            parameter.unit = unit++;
        }
        entry.parameters.push_back(parameter);
    }
    // The sampler uniforms name their units once and for all.
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    glUseProgram(program);
    for (const CIProgram::Parameter &parameter : entry.parameters)
        if (parameter.unit >= 0 && parameter.value >= 0) glUniform1i(parameter.value, parameter.unit);
    glUseProgram(GLuint(previous));
    return entry;
}

GLuint CIRenderCache::acquireTexture(GLsizei width, GLsizei height, bool *allocated) {
    *allocated = false;
    auto it = m_free.find({width, height});
    if (it != m_free.end()) {
        const GLuint texture = it->second;
        m_free.erase(it);
        return texture;
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE, &previous);
    glBindTexture(GL_TEXTURE_RECTANGLE, texture);
    glTexImage2D(GL_TEXTURE_RECTANGLE, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_RECTANGLE, GLuint(previous));
    m_allTextures.push_back(texture);
    *allocated = true;
    if (!m_linear) {
        glGenSamplers(1, &m_linear);
        glGenSamplers(1, &m_nearest);
        for (GLuint sampler : {m_linear, m_nearest}) {
            const GLint filter = sampler == m_linear ? GL_LINEAR : GL_NEAREST;
            glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, filter);
            glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, filter);
            glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        }
    }
    return texture;
}

void CIRenderCache::releaseTexture(GLuint texture, GLsizei width, GLsizei height) {
    // A pool kept small: renders of ever new sizes do not pile textures up.
    constexpr size_t kMaxFree = 32;
    if (m_free.size() >= kMaxFree) {
        glDeleteTextures(1, &texture);
        m_allTextures.erase(std::find(m_allTextures.begin(), m_allTextures.end(), texture));
        return;
    }
    m_free.emplace(std::make_pair(width, height), texture);
}

} // namespace CoreImage
