// The camera view's frame loop on 640 x 480 frames of the test image, through a composition of
// three kernels (a colour matrix, a five-tap blur and a vignette over "cameraImage"):
//
//   FrameStep          one whole frame step as a render-timer tick makes it: the test image
//                      through the effect input controller, drawn flipped into the input stack,
//                      read back as the render buffer's camera frame, the composition rendered
//                      into the render buffer and its texture finished (glFinish).
//   FloorUploadDraw    a plain GL frame: the 640 x 480 BGRA frame uploaded into a rectangle
//                      texture and drawn as one quad into a 640 x 480 framebuffer, glFinish.
//   FloorComposition   the render buffer's update alone, its camera image set once.
//   LoopAt30fps        the loop in real time at 30 frames per second (the render timer at four
//                      times the rate): composed frames per second, the CPU time of the whole
//                      process as a share of one core, and the 1/30 s periods in which no frame
//                      was composed ("dropped"). LUMORA_FRAME_LOOP_SECONDS sets the length
//                      (5 s by default; 60 for the minute run).
//
// Each reports real time; "process_cpu_ms" is the CPU time of every thread of the process per
// frame (llvmpipe rasterises on threads of its own).
#include <benchmark/benchmark.h>

#include <LumoraApp/LumoraLayerViewNibbler.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/NSUILumoraView.h>
#include <LumoraApp/QTZInputController.h>
#include <LumoraApp/UCoreFnSampler.h>

#include <AppKit/NSButton.h>
#include <CocoaGL/NSOGLSharingContext.h>
#include <CocoaGL/NSOGLTextureMatrixController.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <OpenGL/gl.h>
#include <OpenGL/glext.h>

#include <QApplication>
#include <QElapsedTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

QApplication *Application() {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "LumoraAppBench";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return application;
}

double ProcessCPUSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

std::string Node(const std::string &key, const std::string &className, const std::string &state) {
    return "<dict><key>key</key><string>" + key + "</string><key>class</key><string>" + className +
           "</string><key>state</key><dict>" + state + "</dict></dict>";
}

std::string Wire(const std::string &name, const std::string &from, const std::string &fromPort, const std::string &to,
                 const std::string &toPort) {
    return "<key>" + name + "</key><dict><key>sourceNode</key><string>" + from + "</string><key>sourcePort</key><string>" +
           fromPort + "</string><key>destinationNode</key><string>" + to +
           "</string><key>destinationPort</key><string>" + toPort + "</string></dict>";
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

QByteArray ThreeKernelCameraComposition() {
    const std::string nodes =
        Node("Clear", "QCClear", "<key>layer</key><integer>0</integer>") +
        Node("Input", "QCSplitter", "<key>portClass</key><string>QCGLImagePort</string>") +
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
        Node("Billboard", "QCBillboard",
             "<key>layer</key><integer>1</integer><key>inputValues</key><dict><key>inputScale</key><real>2</real>"
             "</dict>");
    const std::string wires = Wire("a", "Input", "output", "Matrix", "image") +
                              Wire("b", "Matrix", "outputImage", "Blur", "image") +
                              Wire("c", "Blur", "outputImage", "Vignette", "image") +
                              Wire("d", "Vignette", "outputImage", "Billboard", "inputImage");
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>rootPatch</key><dict><key>class</key><string>QCPatch</string><key>state</key><dict>"
        "<key>nodes</key><array>" + nodes + "</array><key>connections</key><dict>" + wires + "</dict>"
        "<key>publishedInputPorts</key><array><dict><key>key</key><string>cameraImage</string><key>node</key>"
        "<string>Input</string><key>port</key><string>input</string></dict></array>"
        "</dict></dict></dict></plist>";
    return QByteArray::fromStdString(xml);
}

// A view that notes when each frame was composed.
class TimedView : public NSUILumoraView {
public:
    using NSUILumoraView::NSUILumoraView;
    void renderLumoraBufferSync() override {
        NSUILumoraView::renderLumoraBufferSync();
        composed.push_back(std::chrono::steady_clock::now());
    }
    std::vector<std::chrono::steady_clock::time_point> composed;
};

// The objects of the main window that the frame loop runs through.
struct Loop {
    std::unique_ptr<QTZInputController> input = std::make_unique<QTZInputController>();
    std::unique_ptr<LumoraLayerViewNibbler> panel = std::make_unique<LumoraLayerViewNibbler>();
    std::unique_ptr<LumoraRenderBuffer> buffer = std::make_unique<LumoraRenderBuffer>();
    std::unique_ptr<TimedView> view = std::make_unique<TimedView>();

    bool make(benchmark::State &state) {
        if (!import_NSUILumoraView()) return state.SkipWithError("no camera view"), false;
        if (!input->cameraTestImage()) return state.SkipWithError("no cameraImage.png beside the program"), false;
        if (!buffer->isInitialized()) return state.SkipWithError("no render buffer"), false;
        auto *textureOn = new NSButton(panel.get());
        textureOn->setState(1);
        auto *matrix = new NSOGLTextureMatrixController(panel.get());
        matrix->set_textureEnabled(textureOn);
        panel->setLayerMatrixController(matrix);
        buffer->setLayerController(panel.get());
        view->resize(640, 480);
        view->outletInputController = input.get();
        view->outletLumoraBuffer = buffer.get();
        view->outletLumoraLayerController = panel.get();
        view->openCompositionPrivateData(ThreeKernelCameraComposition());
        if (!view->isCompositionOpenPrivate()) return state.SkipWithError("the composition does not open"), false;
        view->setInputStackRenderer(CIContextFBORenderer::rendererWithWidthPixels(640, 480));
        if (!view->inputStackRenderer()) return state.SkipWithError("no input stack"), false;
        view->renderCameraInputOnMainThread(nullptr);  // compiles the programs
        return true;
    }
    ~Loop() {
        view.reset();
        buffer.reset();
    }
};

void BM_FrameStep640x480(benchmark::State &state) {
    Application();
    Loop loop;
    if (!loop.make(state)) return;
    UCoreFnSampler sampler;  // the stages' own times, as counters
    const double cpu = ProcessCPUSeconds();
    for (auto _ : state) loop.view->renderCameraInputOnMainThread(nullptr);
    for (const UCoreFunction &function : sampler.functions())
        state.counters[function.functionName().toStdString()] =
            function.sampledTime() * 1e3 / std::max<uint32_t>(function.sampleCount(), 1);
    state.counters["process_cpu_ms"] =
        benchmark::Counter((ProcessCPUSeconds() - cpu) * 1e3 / double(state.iterations()));
    state.counters["frames"] = double(loop.view->composed.size());
}
BENCHMARK(BM_FrameStep640x480)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FloorUploadDraw640x480(benchmark::State &state) {
    Application();
    const auto root = NSOGLSharingContext::rootSharingContext();
    if (!root) return state.SkipWithError("no root sharing context");
    const OpenGL::CGLContextStateLock scope(root.get());
    std::vector<uint8_t> frame(640 * 480 * 4);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i * 7);
    GLuint textures[2] = {0, 0}, framebuffer = 0;
    glGenTextures(2, textures);
    for (GLuint texture : textures) {
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, texture);
        glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA8, 640, 480, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    }
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_RECTANGLE_ARB, textures[1], 0);
    glViewport(0, 0, 640, 480);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 640, 0, 480, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_TEXTURE_RECTANGLE_ARB);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, textures[0]);
    for (auto _ : state) {
        glTexSubImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, 0, 0, 640, 480, GL_BGRA, GL_UNSIGNED_BYTE, frame.data());
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0), glVertex2f(0, 0);
        glTexCoord2f(640, 0), glVertex2f(640, 0);
        glTexCoord2f(640, 480), glVertex2f(640, 480);
        glTexCoord2f(0, 480), glVertex2f(0, 480);
        glEnd();
        glFinish();
    }
    glDisable(GL_TEXTURE_RECTANGLE_ARB);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDeleteFramebuffersEXT(1, &framebuffer);
    glDeleteTextures(2, textures);
}
BENCHMARK(BM_FloorUploadDraw640x480)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FloorComposition640x480(benchmark::State &state) {
    Application();
    Loop loop;
    if (!loop.make(state)) return;
    const auto root = NSOGLSharingContext::rootSharingContext();
    double time = 0;
    for (auto _ : state) {
        time += 1.0 / 120;
        const OpenGL::CGLContextStateLock scope(root.get());
        loop.buffer->lock();
        loop.buffer->textureUpdateWithTime(time);
        loop.buffer->unlock();
        glFinish();
    }
}
BENCHMARK(BM_FloorComposition640x480)->Unit(benchmark::kMillisecond)->UseRealTime();

class FrameRate : public QObject {
    Q_OBJECT
    Q_PROPERTY(double frameRate READ frameRate CONSTANT)
public:
    double frameRate() const { return 30.0; }
};

void BM_LoopAt30fps(benchmark::State &state) {
    Application();
    Loop loop;
    if (!loop.make(state)) return;
    const char *seconds = std::getenv("LUMORA_FRAME_LOOP_SECONDS");
    const int length = seconds != nullptr && std::atoi(seconds) > 0 ? std::atoi(seconds) : 5;
    FrameRate rate;
    loop.view->outletCompressionSettings = &rate;
    for (auto _ : state) {
        loop.view->composed.clear();
        const double cpu = ProcessCPUSeconds();
        const auto start = std::chrono::steady_clock::now();
        loop.view->renderSceneTimerInitialize();
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < length * 1000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.counters["cpu_share_of_one_core"] = (ProcessCPUSeconds() - cpu) / wall;
        state.counters["composed_per_s"] = double(loop.view->composed.size()) / wall;
        // A 1/30 s period of the run in which no frame was composed is a dropped frame.
        const auto period = std::chrono::duration<double>(1.0 / 30);
        const size_t periods = size_t(wall * 30);
        std::vector<bool> hit(periods, false);
        for (const auto &t : loop.view->composed) {
            const size_t index = size_t((t - start) / period);
            if (index < periods) hit[index] = true;
        }
        size_t dropped = 0;
        for (bool h : hit) dropped += h ? 0 : 1;
        // The rate over the first and the last fifth of the run: a loop that slows down shows here.
        const double fifth = wall / 5;
        size_t first = 0, last = 0;
        for (const auto &t : loop.view->composed) {
            const double at = std::chrono::duration<double>(t - start).count();
            if (at < fifth) ++first;
            else if (at >= wall - fifth) ++last;
        }
        state.counters["first_fifth_per_s"] = double(first) / fifth;
        state.counters["last_fifth_per_s"] = double(last) / fifth;
        state.counters["periods"] = double(periods);
        state.counters["dropped"] = double(dropped);
    }
    loop.view->applicationWillTerminate(NSNotification());
}
BENCHMARK(BM_LoopAt30fps)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

}  // namespace

#include "FrameLoopBench.moc"
