// What snapshots and recording cost the camera view's frame loop, on 640 x 480 frames of the
// test image through an inverting composition:
//
//   FloorFrameMemcpy        a plain copy of one 640 x 480 BGRA frame (1.2 MB): the floor of a
//                           snapshot, which must copy the frame before the save is queued.
//   SnapshotOnFrameLoop     what a snapshot does on the frame loop: the render buffer read
//                           back through the snapshot texture and its pixels copied (the save
//                           itself runs on a background queue and is not timed).
//   FrameStep               one whole frame step, not recording.
//   FrameStepRecording      the same while the recorder records: the frame also read back
//                           through the recording texture and handed to the frame writer,
//                           which takes a copy of the pixels (compression runs off the loop).
#include <benchmark/benchmark.h>

#include <LumoraApp/LumoraLayerViewNibbler.h>
#include <LumoraApp/LumoraRecorder.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/NSUILumoraView.h>
#include <LumoraApp/QTZInputController.h>

#include <AppKit/NSButton.h>
#include <CocoaGL/NSOGLTextureMatrixController.h>
#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGDataProvider.h>
#include <USecuritySandbox/USandboxUserFolder.h>

#include <QApplication>
#include <QDir>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

QApplication *Application() {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "SnapshotRecordingBench";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return application;
}

QByteArray InvertComposition() {
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
        "<key>rootPatch</key><dict><key>class</key><string>QCPatch</string><key>state</key><dict>"
        "<key>nodes</key><array>"
        "<dict><key>key</key><string>Clear</string><key>class</key><string>QCClear</string><key>state</key><dict>"
        "<key>layer</key><integer>0</integer></dict></dict>"
        "<dict><key>key</key><string>Input</string><key>class</key><string>QCSplitter</string><key>state</key><dict>"
        "<key>portClass</key><string>QCGLImagePort</string></dict></dict>"
        "<dict><key>key</key><string>Invert</string><key>class</key><string>QCImageKernel</string><key>state</key>"
        "<dict><key>source</key><string>kernel vec4 invert(sampler image) {\n"
        "  vec4 p = sample(image, samplerCoord(image));\n  return vec4(p.a - p.rgb, p.a);\n}</string></dict></dict>"
        "<dict><key>key</key><string>Billboard</string><key>class</key><string>QCBillboard</string><key>state</key>"
        "<dict><key>layer</key><integer>1</integer><key>inputValues</key><dict><key>inputScale</key><real>2</real>"
        "</dict></dict></dict></array><key>connections</key><dict>"
        "<key>a</key><dict><key>sourceNode</key><string>Input</string><key>sourcePort</key><string>output</string>"
        "<key>destinationNode</key><string>Invert</string><key>destinationPort</key><string>image</string></dict>"
        "<key>b</key><dict><key>sourceNode</key><string>Invert</string><key>sourcePort</key><string>outputImage</string>"
        "<key>destinationNode</key><string>Billboard</string><key>destinationPort</key><string>inputImage</string></dict>"
        "</dict><key>publishedInputPorts</key><array><dict><key>key</key><string>cameraImage</string><key>node</key>"
        "<string>Input</string><key>port</key><string>input</string></dict></array>"
        "</dict></dict></dict></plist>";
    return QByteArray::fromStdString(xml);
}

// A frame writer that keeps a copy of each frame's pixels (what the asynchronous recorder does on
// the loop before it compresses elsewhere).
class CopyingFrames : public QMovieFrameRecorderProtocol {
public:
    bool beginRecordingMovieFileURL(const QUrl &) override { return recording = true; }
    bool addFrameImageRef(CGImageRef image, double) override {
        CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
        if (data == nullptr) return false;
        ++frames;
        CFRelease(data);
        return true;
    }
    double getFrameDurationNow() override { return 1.0 / 30; }
    bool isRecordingMovie() override { return recording; }
    bool endRecordingMovie() override {
        const bool was = recording;
        recording = false;
        return was;
    }
    bool recording = false;
    int64_t frames = 0;
};

struct Loop {
    std::unique_ptr<QTZInputController> input = std::make_unique<QTZInputController>();
    std::unique_ptr<LumoraLayerViewNibbler> panel = std::make_unique<LumoraLayerViewNibbler>();
    std::unique_ptr<LumoraRenderBuffer> buffer = std::make_unique<LumoraRenderBuffer>();
    std::unique_ptr<NSUILumoraView> view = std::make_unique<NSUILumoraView>();

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
        view->openCompositionPrivateData(InvertComposition());
        if (!view->isCompositionOpenPrivate()) return state.SkipWithError("the composition does not open"), false;
        view->applicationDidFinishLaunching(NSNotification());
        if (!view->snapshotTexture() || !view->recordingTexture()) return state.SkipWithError("no read-back"), false;
        view->renderCameraInputOnMainThread(nullptr);  // compiles the programs
        return true;
    }
    ~Loop() {
        view->applicationWillTerminate(NSNotification());
        view.reset();
        buffer.reset();
    }
};

// One camera view for the whole program, as in the application (made at the first use, never
// torn down).
Loop *SharedLoop(benchmark::State &state) {
    static Loop *loop = nullptr;
    static bool made = false;
    if (!made) {
        made = true;
        auto *candidate = new Loop;
        if (candidate->make(state)) loop = candidate;
    }
    if (loop == nullptr) state.SkipWithError("no camera view");
    return loop;
}

void BM_FloorFrameMemcpy640x480(benchmark::State &state) {
    std::vector<uint8_t> frame(640 * 480 * 4), copy(640 * 480 * 4);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = uint8_t(i * 7);
    for (auto _ : state) {
        std::memcpy(copy.data(), frame.data(), frame.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_FloorFrameMemcpy640x480)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_SnapshotOnFrameLoop640x480(benchmark::State &state) {
    Application();
    Loop *loop = SharedLoop(state);
    if (loop == nullptr) return;
    for (auto _ : state) {
        const QImage picture = loop->view->snapCurrentNSBitmapImageRep();
        if (picture.isNull()) return state.SkipWithError("nothing read back");
        benchmark::DoNotOptimize(picture.constBits());
    }
}
BENCHMARK(BM_SnapshotOnFrameLoop640x480)->Unit(benchmark::kMicrosecond)->UseRealTime();

void FrameStep(benchmark::State &state, bool recording) {
    Application();
    Loop *loop = SharedLoop(state);
    if (loop == nullptr) return;
    const QString movies = QDir::tempPath() + "/SnapshotRecordingBench-movies";
    QDir().mkpath(movies);
    std::unique_ptr<USandboxUserFolder> folder(USandboxUserFolder::sandboxPrefsFolderWithFolderURL(QUrl::fromLocalFile(movies)));
    if (!folder) return state.SkipWithError("no movies folder");
    CopyingFrames frames;
    LumoraRecorder recorder;
    recorder.outletMoviesFolder = folder.get();
    recorder.outletStillFrameRecorder = &frames;
    loop->view->outletLumoraRecorder = &recorder;
    if (recording) recorder.startStopRecording(nullptr);
    if (recording && !recorder.isRecording()) return state.SkipWithError("the recorder did not start");
    for (auto _ : state) loop->view->renderCameraInputOnMainThread(nullptr);
    state.counters["recorded_frames"] = double(frames.frames);
    frames.recording = false;
    loop->view->outletLumoraRecorder = nullptr;
    QDir(movies).removeRecursively();
}

void BM_FrameStep640x480(benchmark::State &state) { FrameStep(state, false); }
BENCHMARK(BM_FrameStep640x480)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_FrameStepRecording640x480(benchmark::State &state) { FrameStep(state, true); }
BENCHMARK(BM_FrameStepRecording640x480)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
