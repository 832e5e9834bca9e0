// A frame of a three-kernel composition (a generated source, a colour matrix, a five-tap blur
// and a vignette, drawn by a billboard) played into a composition pixel-buffer renderer.
//
//   Frame/640x480     the source 640 x 480 into a 640 x 480 pixel buffer: renderSceneForTime
//                     then glFinish, with the pixel-buffer context current and locked.
//   Frame/overhead    the same graph, passes, programs and uniforms with a 1 x 1 source into
//                     the smallest pixel buffer (16 x 16): what a frame costs outside the
//                     pixel work (graph evaluation, recipe building, uniforms, binds, draws).
//   TextureUpdate     the full frame as the application asks for it: textureUpdateWithTime,
//                     which renders, flushes and copies the pixel buffer into the texture.
//
// Each reports real time per frame and the calling thread's CPU time; llvmpipe rasterises
// on threads of its own, so the calling thread's CPU time is the time spent outside the
// rasteriser.
#include <benchmark/benchmark.h>

#include <CocoaQZ/QuartzCore/NSOGLQCRendererPBuffer.h>

#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <OpenGL/glext.h>

#include <memory>
#include <string>

namespace {

std::string Node(const std::string &key, const std::string &className, const std::string &state) {
    return "<dict><key>key</key><string>" + key + "</string><key>class</key><string>" + className +
           "</string><key>state</key><dict>" + state + "</dict></dict>";
}

std::string Wire(const std::string &name, const std::string &from, const std::string &to, const std::string &port) {
    return "<key>" + name + "</key><dict><key>sourceNode</key><string>" + from +
           "</string><key>sourcePort</key><string>outputImage</string><key>destinationNode</key><string>" + to +
           "</string><key>destinationPort</key><string>" + port + "</string></dict>";
}

std::string Kernel(const std::string &source) {
    std::string escaped;
    for (char c : source) {
        if (c == '<') escaped += "&lt;";
        else if (c == '&') escaped += "&amp;";
        else if (c == '>') escaped += "&gt;";
        else escaped += c;
    }
    return "<key>source</key><string>" + escaped + "</string>";
}

// The composition with a source of `width` x `height` pixels.
std::string ThreeKernelComposition(int width, int height) {
    const std::string extent = "<key>extent</key><array><real>0</real><real>0</real><real>" + std::to_string(width) +
                               "</real><real>" + std::to_string(height) + "</real></array>";
    const std::string nodes =
        Node("Clear", "QCClear", "") +
        Node("Source", "QCImageKernel",
             Kernel("kernel vec4 source() {\n"
                    "  vec2 d = destCoord();\n"
                    "  return vec4(fract(d.x / 64.0), fract(d.y / 48.0), fract((d.x + d.y) / 100.0), 1.0);\n}") +
                 extent) +
        Node("Matrix", "QCImageKernel",
             Kernel("kernel vec4 colourMatrix(sampler image, float amount) {\n"
                    "  vec4 p = sample(image, samplerCoord(image));\n"
                    "  vec3 grey = vec3(dot(p.rgb, vec3(0.299, 0.587, 0.114)));\n"
                    "  return vec4(mix(p.rgb, grey, amount), p.a);\n}") +
                 "<key>inputValues</key><dict><key>amount</key><real>0.5</real></dict>") +
        Node("Blur", "QCImageKernel",
             Kernel("kernel vec4 blur(sampler image) {\n"
                    "  vec2 c = samplerCoord(image);\n"
                    "  return (sample(image, c) * 4.0 + sample(image, c + vec2(1.0, 0.0)) +\n"
                    "          sample(image, c - vec2(1.0, 0.0)) + sample(image, c + vec2(0.0, 1.0)) +\n"
                    "          sample(image, c - vec2(0.0, 1.0))) / 8.0;\n}")) +
        Node("Vignette", "QCImageKernel",
             Kernel("kernel vec4 vignette(sampler image, float radius) {\n"
                    "  vec4 p = sample(image, samplerCoord(image));\n"
                    "  vec2 d = destCoord() / samplerExtent(image).zw - 0.5;\n"
                    "  return vec4(p.rgb * clamp(1.0 - dot(d, d) / radius, 0.0, 1.0), p.a);\n}") +
                 "<key>inputValues</key><dict><key>radius</key><real>0.5</real></dict>") +
        Node("Billboard", "QCBillboard", "<key>layer</key><integer>1</integer>");
    const std::string wires = Wire("a", "Source", "Matrix", "image") + Wire("b", "Matrix", "Blur", "image") +
                              Wire("c", "Blur", "Vignette", "image") + Wire("d", "Vignette", "Billboard", "inputImage");
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
           "<key>rootPatch</key><dict><key>class</key><string>QCPatch</string><key>state</key><dict>"
           "<key>nodes</key><array>" + nodes + "</array><key>connections</key><dict>" + wires + "</dict>"
           "</dict></dict></dict></plist>";
}

std::shared_ptr<NSOGLQCRendererPBuffer> MakeRenderer(benchmark::State &state, GLuint width, GLuint height,
                                                     int sourceWidth, int sourceHeight) {
    auto renderer = std::make_shared<NSOGLQCRendererPBuffer>();
    if (!renderer->initWithTextureTarget(GL_TEXTURE_RECTANGLE_ARB, width, height)) {
        state.SkipWithError("no pixel-buffer renderer");
        return nullptr;
    }
    const std::string xml = ThreeKernelComposition(sourceWidth, sourceHeight);
    if (!renderer->openCompositionComposition(QCComposition::compositionWithBytes(xml.data(), xml.size()))) {
        state.SkipWithError("the composition does not open");
        return nullptr;
    }
    return renderer;
}

// renderSceneForTime then glFinish, with the pixel-buffer context current and locked.
void RenderFrames(benchmark::State &state, NSOGLQCRendererPBuffer &renderer) {
    const auto context = renderer.pixelBufferContext();
    const OpenGL::CGLContextStateLock scope(context.get());
    double time = 0;
    if (!renderer.renderSceneForTime(time)) {
        state.SkipWithError("the frame does not render");
        return;
    }
    glFinish();
    for (auto _ : state) {
        time += 1.0 / 30;
        renderer.renderSceneForTime(time);
        glFinish();
    }
}

void BM_Frame640x480(benchmark::State &state) {
    if (auto renderer = MakeRenderer(state, 640, 480, 640, 480)) RenderFrames(state, *renderer);
}
BENCHMARK(BM_Frame640x480)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FrameOverhead(benchmark::State &state) {
    if (auto renderer = MakeRenderer(state, 16, 16, 1, 1)) RenderFrames(state, *renderer);
}
BENCHMARK(BM_FrameOverhead)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TextureUpdate640x480(benchmark::State &state) {
    auto renderer = MakeRenderer(state, 640, 480, 640, 480);
    if (!renderer) return;
    double time = 0;
    for (auto _ : state) {
        time += 1.0 / 30;
        renderer->textureUpdateWithTime(time);
    }
}
BENCHMARK(BM_TextureUpdate640x480)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
