// A CGL context drawing into a native X11 window: a Qt top-level widget with a native
// window, drawn by a context that shares with a root context, shows a texture made on the
// root context. Checked in the back buffer and, after the swap, in the X server's copy of
// the window.
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

#include <cstdlib>
#include <memory>
#include <thread>

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
        mWidget->show();
        QElapsedTimer timer;
        timer.start();
        while (!(mWidget->windowHandle() && mWidget->windowHandle()->isExposed()) && timer.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        ASSERT_TRUE(mWidget->windowHandle() && mWidget->windowHandle()->isExposed());
    }

    void TearDown() override {
        CGLSetCurrentContext(nullptr);
        CGLReleaseContext(mView);  // its window surface goes before the window
        CGLReleaseContext(mRoot);
        CGLReleasePixelFormat(mFormat);
        mWidget.reset();
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
    GLuint mTexture = 0;
};

QApplication *WindowSurface::sApplication = nullptr;

// The centres of the quadrants, GL's bottom-left origin, in texel order.
constexpr int kCentres[4][2] = {{16, 16}, {48, 16}, {16, 48}, {48, 48}};

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

}  // namespace
