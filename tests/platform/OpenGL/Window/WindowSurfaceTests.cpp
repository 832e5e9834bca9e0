// A CGL context drawing into a native X11 window: a Qt top-level widget with a native
// window, drawn by a context that shares with a root context, shows a texture made on the
// root context. Checked in the back buffer and, after the swap, in the X server's copy of
// the window. Attaching windows: once per window, without holding up other threads while
// the X server is busy, and from two threads at once.
#include <OpenGL/OpenGL.h>
#include <OpenGL/glext.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>
#include <vector>

// Flags that ASAN_OPTIONS does not set keep these values.
extern "C" const char *__asan_default_options() { return "suppressions=" LUMORA_ASAN_SUPPRESSIONS; }

namespace {

constexpr int kSize = 64;

// A widget that leaves its native window to OpenGL: Qt paints nothing into it.
class NativeView : public QWidget {
public:
    NativeView() {
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFixedSize(kSize, kSize);
    }
    QPaintEngine *paintEngine() const override { return nullptr; }

protected:
    void paintEvent(QPaintEvent *) override {}
};

// Texel order: bottom left, bottom right, top left, top right (RGBA bytes).
constexpr uint32_t kTexels[4] = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu};
// The same colours as Qt's 0xAARRGGBB.
constexpr QRgb kColours[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};

// The centres of the quadrants, GL's bottom-left origin, in texel order.
constexpr int kCentres[4][2] = {{16, 16}, {48, 16}, {16, 48}, {48, 48}};

// Holds the X server for one client of its own while alive: requests of every other client
// (the OpenGL layer's among them) wait until it lets go.
class ServerGrab {
public:
    ServerGrab() : mConnection(xcb_connect(nullptr, nullptr)) {
        xcb_grab_server(mConnection);
        std::free(xcb_get_input_focus_reply(mConnection, xcb_get_input_focus(mConnection), nullptr));
    }
    ~ServerGrab() {
        xcb_ungrab_server(mConnection);
        xcb_flush(mConnection);
        xcb_disconnect(mConnection);
    }
    ServerGrab(const ServerGrab &) = delete;
    ServerGrab &operator=(const ServerGrab &) = delete;
    bool Held() const { return xcb_connection_has_error(mConnection) == 0; }

private:
    xcb_connection_t *mConnection;
};

// Shows a native view and waits until the X server has its window.
void ShowAndWait(QWidget &view) {
    view.show();
    QElapsedTimer timer;
    timer.start();
    while (!(view.windowHandle() && view.windowHandle()->isExposed()) && timer.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
}

class WindowSurface : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const char *display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') return;
        static int argc = 1;
        static char name[] = "OpenGLWindowTests";
        static char *argv[] = {name, nullptr};
        sApplication = new QApplication(argc, argv);
    }
    static void TearDownTestSuite() {
        delete sApplication;
        sApplication = nullptr;
    }

    void SetUp() override {
        if (sApplication == nullptr) GTEST_SKIP() << "needs an X display (scripts/test runs this under Xvfb)";
        const CGLPixelFormatAttribute attributes[] = {
            kCGLPFANoRecovery, kCGLPFAAccelerated, kCGLPFADoubleBuffer, kCGLPFABackingStore,
            kCGLPFAColorSize,  CGLPixelFormatAttribute(24), kCGLPFAAlphaSize, CGLPixelFormatAttribute(8),
            kCGLPFADepthSize,  CGLPixelFormatAttribute(8),  CGLPixelFormatAttribute(0)};
        GLint count = 0;
        ASSERT_EQ(CGLChoosePixelFormat(attributes, &mFormat, &count), kCGLNoError);
        ASSERT_EQ(CGLCreateContext(mFormat, nullptr, &mRoot), kCGLNoError);
        ASSERT_EQ(CGLCreateContext(mFormat, mRoot, &mView), kCGLNoError);

        ASSERT_EQ(CGLSetCurrentContext(mRoot), kCGLNoError);
        glGenTextures(1, &mTexture);
        glBindTexture(GL_TEXTURE_2D, mTexture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, kTexels);
        glFinish();
        ASSERT_EQ(CGLSetCurrentContext(nullptr), kCGLNoError);

        mWidget = std::make_unique<NativeView>();
        ShowAndWait(*mWidget);
        ASSERT_TRUE(mWidget->windowHandle() && mWidget->windowHandle()->isExposed());
    }

    void TearDown() override {
        CGLSetCurrentContext(nullptr);
        for (CGLContextObj context : mOthers) CGLReleaseContext(context);
        CGLReleaseContext(mView);  // its window surface goes before the window
        CGLReleaseContext(mRoot);
        CGLReleasePixelFormat(mFormat);
        mWidget.reset();
    }

    // A second context sharing with the root, released by TearDown.
    CGLContextObj MakeContext() {
        CGLContextObj context = nullptr;
        EXPECT_EQ(CGLCreateContext(mFormat, mRoot, &context), kCGLNoError);
        mOthers.push_back(context);
        return context;
    }

    // The texture drawn into the current context's window and swapped: true when the back
    // buffer has the top-right texel and the swap worked.
    bool DrawsIntoItsWindow(CGLContextObj context) {
        if (CGLSetCurrentContext(context) != kCGLNoError) return false;
        DrawTexture();
        uint32_t pixel = 0;
        glReadPixels(kCentres[3][0], kCentres[3][1], 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &pixel);
        const bool swapped = CGLFlushDrawable(context) == kCGLNoError;
        CGLSetCurrentContext(nullptr);
        return swapped && pixel == kTexels[3];
    }

    // Draws the root context's texture over the whole window with the current context.
    void DrawTexture() {
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 1, 0, 1, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, mTexture);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(0, 0);
        glTexCoord2f(1, 0);
        glVertex2f(1, 0);
        glTexCoord2f(1, 1);
        glVertex2f(1, 1);
        glTexCoord2f(0, 1);
        glVertex2f(0, 1);
        glEnd();
        glDisable(GL_TEXTURE_2D);
    }

    static QApplication *sApplication;
    std::unique_ptr<NativeView> mWidget;
    CGLPixelFormatObj mFormat = nullptr;
    CGLContextObj mRoot = nullptr;
    CGLContextObj mView = nullptr;
    std::vector<CGLContextObj> mOthers;
    GLuint mTexture = 0;
};

QApplication *WindowSurface::sApplication = nullptr;

TEST_F(WindowSurface, SharedContextShowsTheRootTextureInTheWindow) {
    ASSERT_EQ(CGLSetNativeWindow(mView, mWidget->winId()), kCGLNoError);
    ASSERT_EQ(CGLSetCurrentContext(mView), kCGLNoError);
    DrawTexture();
    for (int i = 0; i < 4; ++i) {
        uint32_t pixel = 0;
        glReadPixels(kCentres[i][0], kCentres[i][1], 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &pixel);
        EXPECT_EQ(pixel, kTexels[i]) << "back buffer, quadrant " << i;
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(CGLFlushDrawable(mView), kCGLNoError);
    glFinish();

    const QImage shown = QApplication::primaryScreen()->grabWindow(mWidget->winId()).toImage();
    ASSERT_EQ(shown.width(), kSize);
    ASSERT_EQ(shown.height(), kSize);
    for (int i = 0; i < 4; ++i) {
        const QRgb pixel = shown.pixel(kCentres[i][0], kSize - 1 - kCentres[i][1]);
        EXPECT_EQ(pixel, kColours[i]) << "window, quadrant " << i;
    }

    // Detached, the context draws nowhere and a swap only flushes.
    EXPECT_EQ(CGLSetNativeWindow(mView, 0), kCGLNoError);
    EXPECT_EQ(CGLFlushDrawable(mView), kCGLNoError);
}

// Another thread that makes the window's context current at the same time gets a shadow:
// it shares the textures but cannot swap the window, nor change it.
TEST_F(WindowSurface, SecondThreadHasAShadowWithoutTheWindow) {
    ASSERT_EQ(CGLSetNativeWindow(mView, mWidget->winId()), kCGLNoError);
    ASSERT_EQ(CGLSetCurrentContext(mView), kCGLNoError);
    std::thread([&] {
        ASSERT_EQ(CGLSetCurrentContext(mView), kCGLNoError);
        EXPECT_TRUE(glIsTexture(mTexture));
        EXPECT_EQ(CGLFlushDrawable(mView), kCGLBadDrawable);
        EXPECT_EQ(CGLSetNativeWindow(mView, 0), kCGLBadState);
    }).join();
    DrawTexture();
    EXPECT_EQ(CGLFlushDrawable(mView), kCGLNoError);

    // Another window replaces the first while the context is current here.
    NativeView other;
    other.show();
    EXPECT_EQ(CGLSetNativeWindow(mView, other.winId()), kCGLNoError);
    DrawTexture();
    uint32_t pixel = 0;
    glReadPixels(kCentres[3][0], kCentres[3][1], 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &pixel);
    EXPECT_EQ(pixel, kTexels[3]);
    EXPECT_EQ(CGLFlushDrawable(mView), kCGLNoError);
    EXPECT_EQ(CGLSetNativeWindow(mView, 0), kCGLNoError);  // before the window goes
}

// A context used before it has a window (to make textures, say) then draws into the
// window it gets: the image reaches the X server.
TEST_F(WindowSurface, ContextUsedBeforeItsWindowDrawsIntoIt) {
    ASSERT_EQ(CGLSetCurrentContext(mView), kCGLNoError);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();
    ASSERT_EQ(CGLSetCurrentContext(nullptr), kCGLNoError);

    ASSERT_EQ(CGLSetNativeWindow(mView, mWidget->winId()), kCGLNoError);
    EXPECT_TRUE(DrawsIntoItsWindow(mView));
    const QImage shown = QApplication::primaryScreen()->grabWindow(mWidget->winId()).toImage();
    ASSERT_EQ(shown.width(), kSize);
    EXPECT_EQ(shown.pixel(kCentres[3][0], kSize - 1 - kCentres[3][1]), kColours[3]);
    EXPECT_EQ(CGLSetNativeWindow(mView, 0), kCGLNoError);
}

// An X window takes one EGL surface: setting the window the context already has keeps it,
// and another context gets the window once the first has let it go.
TEST_F(WindowSurface, AWindowIsTheDrawableOfOneContext) {
    const unsigned long window = mWidget->winId();
    ASSERT_EQ(CGLSetNativeWindow(mView, window), kCGLNoError);
    EXPECT_EQ(CGLSetNativeWindow(mView, window), kCGLNoError) << "set again";
    ASSERT_EQ(CGLSetCurrentContext(mView), kCGLNoError);
    EXPECT_EQ(CGLSetNativeWindow(mView, window), kCGLNoError) << "set again while current";
    EXPECT_TRUE(DrawsIntoItsWindow(mView));

    CGLContextObj other = MakeContext();
    EXPECT_EQ(CGLSetNativeWindow(other, window), kCGLBadWindow) << "still the first context's";
    ASSERT_EQ(CGLSetNativeWindow(mView, 0), kCGLNoError);
    ASSERT_EQ(CGLSetNativeWindow(other, window), kCGLNoError);
    EXPECT_TRUE(DrawsIntoItsWindow(other));
    EXPECT_EQ(CGLSetNativeWindow(other, 0), kCGLNoError);
}

// The surface is made while the X server is held by another client: meanwhile another
// thread makes the context current at once (the layer waits for the server without holding
// the context). The surface made for nothing is destroyed: the window is free afterwards.
TEST_F(WindowSurface, MakingTheSurfaceHoldsUpNoOtherThread) {
    const unsigned long window = mWidget->winId();
    std::promise<void> letGo;
    std::future<CGLError> setting;
    std::future<CGLError> current;
    std::thread user;
    {
        ServerGrab grab;
        ASSERT_TRUE(grab.Held());
        setting = std::async(std::launch::async, [&] { return CGLSetNativeWindow(mView, window); });
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // it waits for the server
        std::promise<CGLError> made;
        current = made.get_future();
        user = std::thread([&, made = std::move(made), wait = letGo.get_future()]() mutable {
            made.set_value(CGLSetCurrentContext(mView));
            wait.wait();
            CGLSetCurrentContext(nullptr);
        });
        EXPECT_EQ(current.wait_for(std::chrono::seconds(5)), std::future_status::ready)
            << "making the context current waited for the X server";
    }
    EXPECT_EQ(current.get(), kCGLNoError);
    EXPECT_EQ(setting.get(), kCGLBadState) << "the context became current on another thread meanwhile";
    letGo.set_value();
    user.join();

    ASSERT_EQ(CGLSetNativeWindow(mView, window), kCGLNoError) << "the window was left free";
    EXPECT_TRUE(DrawsIntoItsWindow(mView));
    EXPECT_EQ(CGLSetNativeWindow(mView, 0), kCGLNoError);
}

// Two threads set windows on one context at once: both succeed, one window stays, and the
// surface of the other is not left behind (each window takes a surface again afterwards).
TEST_F(WindowSurface, TwoThreadsSettingWindowsAtOnceLeaveOne) {
    NativeView second;
    ShowAndWait(second);
    const unsigned long windows[2] = {mWidget->winId(), second.winId()};
    CGLContextObj other = MakeContext();
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        std::future<CGLError> results[2];
        {
            ServerGrab grab;  // both calls wait for the server, then go on together
            ASSERT_TRUE(grab.Held());
            for (int i = 0; i < 2; ++i)
                results[i] = std::async(std::launch::async, [&, i] { return CGLSetNativeWindow(mView, windows[i]); });
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        EXPECT_EQ(results[0].get(), kCGLNoError);
        EXPECT_EQ(results[1].get(), kCGLNoError);
        EXPECT_TRUE(DrawsIntoItsWindow(mView));
        ASSERT_EQ(CGLSetNativeWindow(mView, 0), kCGLNoError);
        for (const unsigned long window : windows) EXPECT_EQ(CGLSetNativeWindow(other, window), kCGLNoError);
        ASSERT_EQ(CGLSetNativeWindow(other, 0), kCGLNoError);
    }
}

}  // namespace
