// One frame of every effect of the packs, as the application plays it: the composition
// rewritten for the camera, the camera a 640 x 480 texture of the test picture, rendered into a
// 640 x 480 framebuffer on a CGL context, then glFinish (real time per frame).
//
//   Floor/iSight                 the plain camera composition: the frame's fixed cost
//   Effect/<Pack>/<Name>         each effect at amount 0.75, time and frequency 0.5, the clock
//                                moving on by 1/30 s per frame. Each iteration renders a
//                                frame of "iSight" and then one of the effect, and only the
//                                effect's frame is timed; the counters floor_ms (the iSight
//                                frames' mean) and x_floor (effect / iSight) come from the
//                                same moments, so a machine whose load changes during the
//                                run still gives a fair ratio.
//
// The budget is 6 ms per frame on llvmpipe in the optimised build, for every effect.
#include <effectsheet/EffectRendering.h>

#include <CoreGraphics/CGDataProvider.h>
#include <CoreGraphics/CGImage.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/gl.h>
#include <OpenGL/glext.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <fstream>
#include <sstream>
#include <string>

using namespace effectsheet;

namespace {

// One context with a 640 x 480 framebuffer and the camera texture, made once.
struct Stage {
    CGLPixelFormatObj format = nullptr;
    CGLContextObj context = nullptr;
    GLuint target = 0, framebuffer = 0, camera = 0;
    CIImageRef cameraImage;
    std::string error;

    Stage() {
        const CGLPixelFormatAttribute attributes[] = {kCGLPFAColorSize, CGLPixelFormatAttribute(24), kCGLPFAAlphaSize,
                                                      CGLPixelFormatAttribute(8), CGLPixelFormatAttribute(0)};
        GLint count = 0;
        if (CGLChoosePixelFormat(attributes, &format, &count) != kCGLNoError ||
            CGLCreateContext(format, nullptr, &context) != kCGLNoError || CGLSetCurrentContext(context) != kCGLNoError) {
            error = "no CGL context";
            return;
        }
        const Picture picture = ReadPNG(LUMORA_APP_RESOURCES "/cameraImage.png", &error);
        if (picture.empty()) return;
        // A rectangle texture holding the picture top row first.
        glGenTextures(1, &camera);
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, camera);
        glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA8, picture.width, picture.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     picture.rgba.data());
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
        cameraImage = CIImage::imageWithTexture(camera, CGSizeMake(picture.width, picture.height), true);
        glGenTextures(1, &target);
        glBindTexture(GL_TEXTURE_2D, target);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 640, 480, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);
        glViewport(0, 0, 640, 480);
        if (cameraImage == nullptr) error = "no camera image";
    }
};

Stage &TheStage() {
    static Stage stage;
    return stage;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::unique_ptr<EffectRenderer> Renderer(benchmark::State &state, const std::string &path) {
    std::string error;
    auto renderer = EffectRenderer::Make(ReadFile(path), TheStage().cameraImage, &error, TheStage().context, TheStage().format);
    if (!renderer) state.SkipWithError((path + ": " + error).c_str());
    return renderer;
}

void Frame(benchmark::State &state, std::string path) {
    Stage &stage = TheStage();
    if (!stage.error.empty()) {
        state.SkipWithError(stage.error.c_str());
        return;
    }
    CGLSetCurrentContext(stage.context);
    glBindFramebuffer(GL_FRAMEBUFFER, stage.framebuffer);
    glViewport(0, 0, 640, 480);
    const bool isFloor = path == LUMORA_APP_RESOURCES "/iSight.qtz";
    auto renderer = Renderer(state, path);
    auto floor = isFloor ? nullptr : Renderer(state, LUMORA_APP_RESOURCES "/iSight.qtz");
    if (!renderer || (!isFloor && !floor)) return;
    EffectSettings settings;
    settings.amount = 0.75;
    settings.time = 0.5;
    settings.frequency = 0.5;
    std::string error;
    // Warm: programs compiled, textures pooled.
    for (int i = 0; i < 3; ++i) {
        renderer->render(settings, &error);
        if (floor) floor->render(settings, &error);
    }
    glFinish();
    using Clock = std::chrono::steady_clock;
    double floorSeconds = 0, effectSeconds = 0;
    for (auto _ : state) {
        settings.renderTime += 1.0 / 30.0;
        const auto start = Clock::now();
        if (floor) {
            floor->render(settings, &error);
            glFinish();
        }
        const auto middle = Clock::now();
        if (!renderer->render(settings, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        glFinish();
        const double seconds = std::chrono::duration<double>(Clock::now() - middle).count();
        state.SetIterationTime(seconds);
        effectSeconds += seconds;
        floorSeconds += std::chrono::duration<double>(middle - start).count();
    }
    if (floor && state.iterations() > 0 && floorSeconds > 0) {
        state.counters["floor_ms"] = 1e3 * floorSeconds / double(state.iterations());
        state.counters["x_floor"] = effectSeconds / floorSeconds;
    }
}

const bool registered = [] {
    benchmark::RegisterBenchmark("Floor/iSight", Frame, std::string(LUMORA_APP_RESOURCES "/iSight.qtz"))
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
    for (const CatalogueEntry &e : Catalogue()) {
        std::string name = e.fileName;
        name = name.substr(0, name.size() - 4);
        benchmark::RegisterBenchmark(("Effect/" + std::string(e.pack) + "/" + name).c_str(), Frame, std::string(e.builtPath))
            ->Unit(benchmark::kMillisecond)
            ->UseManualTime();
    }
    return true;
}();

}  // namespace
