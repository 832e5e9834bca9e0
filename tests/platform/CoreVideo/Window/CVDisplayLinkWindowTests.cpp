// A display link whose callback draws into a window and swaps its buffers, on the X server:
// the link keeps the display's period whether the swap waits for the refresh (swap interval
// 1 honoured) or not (the link's own timer paces), and says which of the two it saw.
#include <CoreVideo/CoreVideo.h>
#include <OpenGL/OpenGL.h>
#include <OpenGL/gl.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Flags that ASAN_OPTIONS does not set keep these values.
extern "C" const char *__asan_default_options() { return "suppressions=" LUMORA_ASAN_SUPPRESSIONS; }

namespace {

using namespace std::chrono_literals;

class NativeView : public QWidget {
public:
    NativeView() {
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_NoSystemBackground);
        setFixedSize(64, 64);
    }
    QPaintEngine *paintEngine() const override { return nullptr; }

protected:
    void paintEvent(QPaintEvent *) override {}
};

double Seconds(uint64_t hostTime) { return double(hostTime) / CVGetHostClockFrequency(); }

// Draws a colour and swaps on the link's thread; records when each refresh began and how long
// each swap took.
struct Drawing {
    CGLContextObj context = nullptr;
    std::mutex mutex;
    std::vector<uint64_t> entered;
    std::vector<double> swaps;
    std::atomic<int> failures{0};

    static CVReturn Callback(CVDisplayLinkRef, const CVTimeStamp *, const CVTimeStamp *, CVOptionFlags,
                             CVOptionFlags *, void *userInfo) {
        auto *self = static_cast<Drawing *>(userInfo);
        const uint64_t entered = CVGetCurrentHostTime();
        if (CGLSetCurrentContext(self->context) != kCGLNoError) {
            ++self->failures;
            return kCVReturnSuccess;
        }
        glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        const uint64_t before = CVGetCurrentHostTime();
        if (CGLFlushDrawable(self->context) != kCGLNoError) ++self->failures;
        const uint64_t after = CVGetCurrentHostTime();
        std::lock_guard<std::mutex> guard(self->mutex);
        self->entered.push_back(entered);
        self->swaps.push_back(Seconds(after - before));
        return kCVReturnSuccess;
    }
};

}  // namespace

TEST(CVDisplayLinkWindow, KeepsThePeriodWhileSwappingAWindow) {
    const char *display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        GTEST_SKIP() << "needs an X display (scripts/test runs this under Xvfb)";
    }
    static int argc = 1;
    static char name[] = "CoreVideoWindowTests";
    static char *argv[] = {name, nullptr};
    QApplication application(argc, argv);

    const CGLPixelFormatAttribute attributes[] = {
        kCGLPFADoubleBuffer, kCGLPFAColorSize, CGLPixelFormatAttribute(24), kCGLPFAAlphaSize,
        CGLPixelFormatAttribute(8), CGLPixelFormatAttribute(0)};
    CGLPixelFormatObj format = nullptr;
    GLint count = 0;
    ASSERT_EQ(CGLChoosePixelFormat(attributes, &format, &count), kCGLNoError);
    Drawing drawing;
    ASSERT_EQ(CGLCreateContext(format, nullptr, &drawing.context), kCGLNoError);

    auto view = std::make_unique<NativeView>();
    view->show();
    QElapsedTimer timer;
    timer.start();
    while (!(view->windowHandle() && view->windowHandle()->isExposed()) && timer.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_TRUE(view->windowHandle() && view->windowHandle()->isExposed());
    ASSERT_EQ(CGLSetNativeWindow(drawing.context, view->winId()), kCGLNoError);

    CVDisplayLinkRef link = nullptr;
    ASSERT_EQ(CVDisplayLinkCreateWithActiveCGDisplays(&link), kCVReturnSuccess);
    ASSERT_EQ(CVDisplayLinkSetCurrentCGDisplayFromOpenGLContext(link, drawing.context, format), kCVReturnSuccess);
    ASSERT_EQ(CVDisplayLinkSetOutputCallback(link, Drawing::Callback, &drawing), kCVReturnSuccess);
    const CVTime nominal = CVDisplayLinkGetNominalOutputVideoRefreshPeriod(link);
    const double period = double(nominal.timeValue) / nominal.timeScale;
    const double rate = CGDisplayRefreshRate(CVDisplayLinkGetCurrentCGDisplay(link));

    ASSERT_EQ(CVDisplayLinkStart(link), kCVReturnSuccess);
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(CVDisplayLinkStop(link), kCVReturnSuccess);
    CVDisplayLinkRelease(link);  // the thread has ended: its EGL context went back

    std::lock_guard<std::mutex> guard(drawing.mutex);
    EXPECT_EQ(drawing.failures, 0);
    ASSERT_GE(drawing.entered.size(), 10u);
    const double span = Seconds(drawing.entered.back() - drawing.entered.front());
    const double measured = double(drawing.entered.size() - 1) / span;
    double swapTotal = 0;
    for (double swap : drawing.swaps) swapTotal += swap;
    const double meanSwap = swapTotal / double(drawing.swaps.size());
    const bool swapPaces = meanSwap > period * 0.5;
    std::printf("display link on X11: display refresh %.3f Hz (0: not known), period %.3f ms, %.2f refreshes/s, "
                "mean swap %.3f ms: paced by %s\n",
                rate, period * 1e3, measured, meanSwap * 1e3, swapPaces ? "the swap (interval 1)" : "the link's timer");
    EXPECT_NEAR(measured, 1.0 / period, 0.1 / period);

    CGLReleaseContext(drawing.context);  // its window surface goes before the window
    CGLReleasePixelFormat(format);
    view.reset();
}
