// The built program, the one scripts/run starts, run as another process on the X server with
// the test camera: it shows the camera window with the live picture within seconds and ends
// cleanly (exit status 0, under the sanitizers of the test build: no leak, no error) on SIGTERM
// and on SIGINT, also with a user-defaults file that cannot be read and a file to open that
// does not exist. Without a display it says so and exits with status 2.
#include "WindowPixels.h"

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include <csignal>
#include <cstdlib>

namespace {

using namespace window_pixels;

int64_t Number(CFDictionaryRef info, CFStringRef key) {
    int64_t value = 0;
    if (const auto number = static_cast<CFNumberRef>(CFDictionaryGetValue(info, key)))
        CFNumberGetValue(number, kCFNumberSInt64Type, &value);
    return value;
}

// The largest on-screen window of the process, or 0.
CGWindowID WindowOf(qint64 pid) {
    CFArrayRef list = CGWindowListCopyWindowInfo(kCGWindowListOptionOnScreenOnly, kCGNullWindowID);
    if (list == nullptr) return 0;
    CGWindowID found = 0;
    for (CFIndex i = 0; i < CFArrayGetCount(list); ++i) {
        const auto info = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(list, i));
        if (Number(info, kCGWindowOwnerPID) == pid && found == 0) found = CGWindowID(Number(info, kCGWindowNumber));
    }
    CFRelease(list);
    return found;
}

QProcessEnvironment ProgramEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LUMORA_TEST_CAMERA", "1");
    // Qt's keyboard set-up trips strict_string_checks inside libxkbcommon-x11 (as in the
    // window tests); everything else the sanitizers check as they do for the tests.
    QString asan = environment.value("ASAN_OPTIONS");
    if (!asan.isEmpty()) asan += ':';
    environment.insert("ASAN_OPTIONS", asan + "suppressions=" LUMORA_ASAN_SUPPRESSIONS);
    return environment;
}

class Program : public ::testing::Test {
protected:
    void SetUp() override {
        const char *display = std::getenv("DISPLAY");
        if (display == nullptr || *display == '\0') GTEST_SKIP() << "needs an X display (scripts/test runs this under Xvfb)";
    }
};

TEST_F(Program, ShowsTheLivePictureAndEndsCleanlyOnASignal) {
    const QString defaults = QDir(qEnvironmentVariable("XDG_CONFIG_HOME", QDir::homePath() + "/.config"))
                                 .filePath("com.tarvex.Lumora2.plist");
    const struct {
        const char *name;
        int signal;
        bool unreadableDefaults;
        QStringList arguments;
    } cases[] = {
        {"SIGTERM", SIGTERM, false, {}},
        {"SIGINT, unreadable defaults, a file that is not there", SIGINT, true, {"/nonexistent/design.qtz"}},
    };
    for (const auto &c : cases) {
        QDir().mkpath(QFileInfo(defaults).path());
        QFile::remove(defaults);
        if (c.unreadableDefaults) {
            QFile file(defaults);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("<plist><dict><key>broken");
        }
        QProcess program;
        program.setProcessEnvironment(ProgramEnvironment());
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(LUMORA_PROGRAM), c.arguments);
        ASSERT_TRUE(program.waitForStarted(10000)) << c.name;

        CGWindowID window = 0;
        QElapsedTimer timer;
        timer.start();
        while (window == 0 && timer.elapsed() < 30000 && program.state() == QProcess::Running) {
            QThread::msleep(100);
            window = WindowOf(program.processId());
        }
        ASSERT_NE(window, 0u) << c.name << ": no window";
        // The bars of the test camera, moving: frames are drawn.
        WindowPixels first, later;
        int bars = 0;
        while (timer.elapsed() < 40000) {
            QThread::msleep(300);
            first = Capture(window);
            bars = first.width > 0 ? BarColoursSeen(first, QRect(0, first.height / 4, first.width, first.height / 2)) : 0;
            if (bars >= 5) break;
        }
        EXPECT_GE(bars, 5) << c.name;
        QThread::msleep(300);
        later = Capture(window);
        EXPECT_NE(first.pixels, later.pixels) << c.name << ": the picture is live";

        ::kill(pid_t(program.processId()), c.signal);
        ASSERT_TRUE(program.waitForFinished(30000)) << c.name;
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << c.name;
        EXPECT_EQ(program.exitCode(), 0) << c.name;
    }
    QFile::remove(defaults);
}

TEST_F(Program, WithoutADisplayItSaysSoAndExits) {
    QProcessEnvironment environment = ProgramEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(LUMORA_PROGRAM), {});
    ASSERT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 2);
    EXPECT_TRUE(program.readAllStandardError().contains("no display")) << "a clear message";
}

}  // namespace
