// Compositions come from effect packs, the Library folders and whoever put a file there: any
// bytes must open as a composition or be refused with a reason, and a composition that opens
// must play a frame (or fail it cleanly), never misbehave.
#include "FuzzSupport.h"

#include <QuartzComposer/QCRenderer.h>

#include <OpenGL/OpenGL.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

// One tiny picture for every input, on one context: the frame's work, not its pixels, is
// under test, and a renderer with a context of its own would compile every program again.
struct Target {
    CGLPixelFormatObj format = nullptr;
    CGLContextObj context = nullptr;
    GLuint texture = 0, framebuffer = 0;

    Target() {
        const CGLPixelFormatAttribute attributes[] = {kCGLPFAColorSize, CGLPixelFormatAttribute(24), kCGLPFAAlphaSize,
                                                      CGLPixelFormatAttribute(8), CGLPixelFormatAttribute(0)};
        GLint count = 0;
        if (CGLChoosePixelFormat(attributes, &format, &count) != kCGLNoError ||
            CGLCreateContext(format, nullptr, &context) != kCGLNoError || CGLSetCurrentContext(context) != kCGLNoError)
            return;
        glGenTextures(1, &texture);
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 8, 6, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static Target *target = new Target;  // kept for the process
    std::string error;
    QCCompositionRef composition = QCComposition::compositionWithBytes(data, size, &error);
    LUMORA_CHECK((composition == nullptr) == !error.empty());
    if (!composition || !target->framebuffer) return 0;
    std::unique_ptr<QCRenderer> renderer =
        QCRenderer::rendererWithCGLContext(target->context, target->format, nullptr, composition, &error);
    if (!renderer) return 0;
    CGLSetCurrentContext(target->context);
    glBindFramebuffer(GL_FRAMEBUFFER, target->framebuffer);
    glViewport(0, 0, 8, 6);
    if (!renderer->renderAtTime(0.25)) LUMORA_CHECK(!renderer->lastError().empty());
    for (const std::string &key : renderer->outputKeys()) (void)renderer->valueForOutputKey(key);
    return 0;
}
