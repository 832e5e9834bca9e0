// What the contexts of one share group keep between renders: the kernels' programs and the
// pool of textures. Internal to the Core Image layer (CIContext.cpp, CIRenderCache.cpp).
//
// Every call is made with a context of the group current on the calling thread and under
// the cache's own lock (CIRenderCache::lock()); the last context of the group to let go of
// the cache deletes its GL objects with itself current.
#pragma once

#include <CoreImage/CIKernel.h>
#include <OpenGL/OpenGL.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace CoreImage {

struct CIProgram {
    GLuint program = 0;
    std::string error;  // why it did not compile or link; program is then 0
    GLint destOrigin = -1;
    struct Parameter {
        GLint value = -1;
        GLint transform = -1;
        GLint extent = -1;
        GLint unit = -1;  // texture unit of a sampler
    };
    std::vector<Parameter> parameters;
};

class CIRenderCache {
public:
    // The cache of the share group of `context` (made on first use). The caller keeps the
    // reference while it may render.
    static std::shared_ptr<CIRenderCache> forContext(CGLContextObj context);
    ~CIRenderCache();

    std::recursive_mutex &lock() { return m_mutex; }

    // The program of a kernel, compiled and linked on first use; `compiled` is set when this
    // call compiled it. A program that failed keeps its error and is not tried again.
    const CIProgram &program(const CIKernel &kernel, bool *compiled);

    // A rectangle texture of that size (GL_RGBA8, no filtering set), from the pool or new
    // (`allocated` then set). Give it back with releaseTexture when the render is over.
    GLuint acquireTexture(GLsizei width, GLsizei height, bool *allocated);
    void releaseTexture(GLuint texture, GLsizei width, GLsizei height);

    // Sampler objects: linear and nearest filtering, edges clamped.
    GLuint linearSampler() const { return m_linear; }
    GLuint nearestSampler() const { return m_nearest; }

private:
    CIRenderCache(CGLContextObj context, uint64_t group);

    std::recursive_mutex m_mutex;
    CGLContextObj m_context;  // a context of the group, retained: current when the cache goes
    uint64_t m_group;
    std::map<uint64_t, CIProgram> m_programs;
    std::multimap<std::pair<GLsizei, GLsizei>, GLuint> m_free;
    std::vector<GLuint> m_allTextures;
    GLuint m_linear = 0, m_nearest = 0;
};

} // namespace CoreImage
