// A window's frame as text and back: the text of a frame sets that frame; text that is not a
// frame (hand-edited or damaged defaults) leaves the window where it is.
#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>

#include <AppKit/NSWindow.h>

namespace {

void OffscreenApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "AppKitTests";
    static char *argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

TEST(NSWindowFrame, TheTextOfAFrameGivesItBackAndOtherTextChangesNothing) {
    OffscreenApplication();
    QWidget window;
    window.setGeometry(40, 50, 300, 200);
    EXPECT_EQ(NSWindow::stringWithSavedFrame(&window), "40 50 300 200");
    const QRect kept(40, 50, 300, 200);
    const struct {
        const char *text;
        bool taken;
        QRect frame;
    } cases[] = {
        {"10 20 640 480", true, {10, 20, 640, 480}},
        {"  -5   7 320 240 ", true, {-5, 7, 320, 240}},
        {"10 20 640", false, kept},
        {"10 20 640 480 5", false, kept},
        {"10 20 six 480", false, kept},
        {"10 20 0 480", false, kept},
        {"10 20 640 -1", false, kept},
        {"10 20 10001 480", false, kept},
        {"10 20 99999999999 480", false, kept},
        {"", false, kept},
    };
    for (const auto &c : cases) {
        window.setGeometry(kept);
        EXPECT_EQ(NSWindow::setFrameFromString(&window, QString::fromLatin1(c.text)), c.taken) << c.text;
        EXPECT_EQ(window.geometry(), c.frame) << c.text;
    }
    EXPECT_FALSE(NSWindow::setFrameFromString(nullptr, QStringLiteral("1 2 3 4")));
}

}  // namespace
