// Helpers of the GLSL program tests and measurements: a source-code class answering from
// texts held in memory (counting what it was asked), and drawing a full quad into a small
// framebuffer of the test's own to read the program's output back.
#pragma once

#include <CocoaGL/NSOGLSLShaderProgram.h>

#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "FramebufferTestSupport.h"

namespace shader_test {

// A vertex shader placing the quad with the fixed-function matrices.
inline constexpr char kPlainVertexShader[] = "void main()\n{\n\tgl_Position = ftransform();\n}\n";

// A source-code class whose files are texts in memory ("<name>.vs", "<name>.fs"). A name
// given only a fragment text gets kPlainVertexShader. The object must outlive every cache
// and program made with it.
class MemorySourceClass : public NSOGLShaderSourceCodeClass {
public:
    void add(const std::string &name, const std::string &fragment, const std::string &vertex = kPlainVertexShader) {
        mFiles[name + ".vs"] = vertex;
        mFiles[name + ".fs"] = fragment;
    }
    const char *className() const override { return "MemorySourceClass"; }
    std::optional<std::string> sourceCodeFromResource(const std::string &name,
                                                      const std::string &extension) const override {
        ++mLookups;
        const auto found = mFiles.find(name + "." + extension);
        if (found == mFiles.end()) return std::nullopt;
        return found->second;
    }
    // How many files were asked for.
    int lookups() const { return mLookups.load(); }

private:
    std::map<std::string, std::string> mFiles;
    mutable std::atomic<int> mLookups{0};
};

// Draws a quad over the whole viewport with the current program and texture unit 0 holding
// coordinates (0, 0)-(s, t).
inline void DrawFullQuad(float s = 1, float t = 1) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_BLEND);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0);
    glVertex2f(-1, -1);
    glTexCoord2f(s, 0);
    glVertex2f(1, -1);
    glTexCoord2f(s, t);
    glVertex2f(1, 1);
    glTexCoord2f(0, t);
    glVertex2f(-1, 1);
    glEnd();
    glFinish();
}

// A 2 x 2 framebuffer of the test's own, bound with its viewport while alive (the current
// context must stay current).
struct SmallTarget {
    fbo_test::PlainFramebuffer framebuffer{2, 2, 0};
    SmallTarget() {
        framebuffer.Attach();
        glViewport(0, 0, 2, 2);
    }
    ~SmallTarget() { glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0); }
    // The RGBA bytes of a pixel as 0xAABBGGRR.
    uint32_t pixel(int x = 0, int y = 0) const { return fbo_test::PixelAt(x, y); }
};

}  // namespace shader_test
