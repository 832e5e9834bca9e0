// One 640 x 480 kernel pass, a chain of three, and the floor the GPU path has to beat: the same
// colour-controls kernel as a plain C++ loop over the frame on one core. Each GL iteration
// draws into a framebuffer texture and ends with glFinish, so the figure is the whole frame.
#include <benchmark/benchmark.h>

#include <CoreImage/CoreImage.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

const char *kColorControls = R"(
kernel vec4 colorControls(sampler image, float saturation, float brightness, float contrast)
{
    vec4 p = unpremultiply(sample(image, samplerCoord(image)));
    float luma = dot(p.rgb, vec3(0.2125, 0.7154, 0.0721));
    vec3 c = mix(vec3(luma), p.rgb, saturation) + brightness;
    c = (c - 0.5) * contrast + 0.5;
    return premultiply(vec4(clamp(c, 0.0, 1.0), p.a));
}
)";

// The kernel above as C++ over premultiplied BGRA bytes.
void ColorControlsLoop(const uint8_t *in, uint8_t *out, size_t pixels, float saturation, float brightness,
                       float contrast) {
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t *p = in + i * 4;
        const float a = p[3] / 255.0f;
        const float inv = a > 0 ? 1.0f / (a * 255.0f) : 0.0f;
        const float b = p[0] * inv, g = p[1] * inv, r = p[2] * inv;
        const float luma = 0.2125f * r + 0.7154f * g + 0.0721f * b;
        float rgb[3] = {r, g, b};
        uint8_t *q = out + i * 4;
        for (int k = 0; k < 3; ++k) {
            float c = luma + (rgb[k] - luma) * saturation + brightness;
            c = std::clamp((c - 0.5f) * contrast + 0.5f, 0.0f, 1.0f);
            q[2 - k] = uint8_t(c * a * 255.0f + 0.5f);
        }
        q[3] = p[3];
    }
}

std::vector<uint8_t> Frame() {
    std::vector<uint8_t> bytes(size_t(kWidth) * kHeight * 4);
    for (size_t i = 0; i < bytes.size(); i += 4) {
        bytes[i] = uint8_t(i * 7), bytes[i + 1] = uint8_t(i * 3), bytes[i + 2] = uint8_t(i / 5), bytes[i + 3] = 255;
    }
    return bytes;
}

// A context, a source texture holding the frame and a framebuffer texture to draw into.
struct Scene {
    CIContextRef context;
    GLuint source = 0, target = 0, framebuffer = 0;
    CIImageRef image;
    CIKernelRef kernel;

    bool make() {
        context = CIContext::offscreenContext();
        if (!context || CGLSetCurrentContext(context->CGLContext()) != kCGLNoError) return false;
        const std::vector<uint8_t> frame = Frame();
        glGenTextures(1, &source);
        glBindTexture(GL_TEXTURE_RECTANGLE, source);
        glTexImage2D(GL_TEXTURE_RECTANGLE, 0, GL_RGBA8, kWidth, kHeight, 0, GL_BGRA, GL_UNSIGNED_BYTE, frame.data());
        glGenTextures(1, &target);
        glBindTexture(GL_TEXTURE_RECTANGLE, target);
        glTexImage2D(GL_TEXTURE_RECTANGLE, 0, GL_RGBA8, kWidth, kHeight, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_RECTANGLE, target, 0);
        image = CIImage::imageWithTexture(source, CGSizeMake(kWidth, kHeight), false);
        kernel = CIKernel::kernelsWithString(kColorControls).front();
        return true;
    }
    CIImageRef apply(const CIImageRef &input, double saturation) const {
        return kernel->apply({CISampler(input), saturation, 0.05, 1.1}, {input->definition(), {}, nullptr});
    }
    bool draw(const CIImageRef &out) const {
        const CGRect bounds = CGRectMake(0, 0, kWidth, kHeight);
        const bool ok = context->drawImage(out, bounds, bounds);
        glFinish();
        return ok;
    }
    ~Scene() {
        if (!context) return;
        glDeleteFramebuffers(1, &framebuffer);
        glDeleteTextures(1, &source);
        glDeleteTextures(1, &target);
        CGLSetCurrentContext(nullptr);
    }
};

void BM_KernelPass640x480(benchmark::State &state) {
    Scene scene;
    if (!scene.make()) return state.SkipWithError("no OpenGL context");
    scene.draw(scene.apply(scene.image, 0.5));  // compiles the program
    double saturation = 0.5;
    for (auto _ : state) {
        saturation = saturation > 1.5 ? 0.5 : saturation + 0.01;
        if (!scene.draw(scene.apply(scene.image, saturation))) return state.SkipWithError("render failed");
    }
    const CIContextStatistics s = scene.context->statistics();
    state.counters["compiles"] = double(s.programsCompiled);
    state.counters["textures"] = double(s.texturesAllocated);
}
BENCHMARK(BM_KernelPass640x480)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ThreeKernelChain640x480(benchmark::State &state) {
    Scene scene;
    if (!scene.make()) return state.SkipWithError("no OpenGL context");
    auto chain = [&](double saturation) {
        return scene.apply(scene.apply(scene.apply(scene.image, saturation), 1.1), 0.9);
    };
    scene.draw(chain(0.5));
    double saturation = 0.5;
    for (auto _ : state) {
        saturation = saturation > 1.5 ? 0.5 : saturation + 0.01;
        if (!scene.draw(chain(saturation))) return state.SkipWithError("render failed");
    }
    const CIContextStatistics s = scene.context->statistics();
    state.counters["compiles"] = double(s.programsCompiled);
    state.counters["textures"] = double(s.texturesAllocated);
}
BENCHMARK(BM_ThreeKernelChain640x480)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FloorColorControlsCppLoop640x480(benchmark::State &state) {
    const std::vector<uint8_t> in = Frame();
    std::vector<uint8_t> out(in.size());
    float saturation = 0.5f;
    for (auto _ : state) {
        saturation = saturation > 1.5f ? 0.5f : saturation + 0.01f;
        ColorControlsLoop(in.data(), out.data(), size_t(kWidth) * kHeight, saturation, 0.05f, 1.1f);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FloorColorControlsCppLoop640x480)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
