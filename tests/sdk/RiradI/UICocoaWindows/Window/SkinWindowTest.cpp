// Skinned windows on the X11 display: the look drawn from a PDF named by the window title, the
// about box closed by a single click and moved by a drag.
#include <UICocoaWindows/PDFSkinAboutBox.h>
#include <UICocoaWindows/PDFSkinAboutBoxView.h>
#include <UICocoaWindows/PDFSkinView.h>
#include <UICocoaWindows/PDFSkinViewScaled.h>
#include <UICocoaWindows/PDFSkinWindow.h>

#include "../../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTest>
#include <QWindow>

#include <cstdlib>

namespace {

void RegisterSkin() {
    const QString path = QDir(QString::fromLocal8Bit(std::getenv("LUMORA_TEST_DATA"))).filePath("fixtures/skin.pdf");
    NSImage::setName(QStringLiteral("Skin.pdf"), NSImage::imageWithContentsOfFile(path));
}

void SendMouse(QWidget &window, QEvent::Type type, QPointF global, Qt::MouseButton button, Qt::MouseButtons buttons) {
    const QPointF local = window.mapFromGlobal(global);
    QMouseEvent event(type, local, local, global, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(window.windowHandle(), &event);
    QCoreApplication::processEvents();
}

bool Shown(QWidget &window) {
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

}  // namespace

TEST(PDFSkinWindow, SkinIsDrawnFromTheImageNamedByTheTitle) {
    if (std::getenv("DISPLAY") == nullptr) GTEST_FAIL() << "the gui tests run on an X display (xvfb-run)";
    riradi_test::WindowApplication();
    RegisterSkin();

    PDFSkinWindow window(QRect(100, 100, 60, 30));
    window.setWindowTitle(QStringLiteral("Skin.pdf"));
    PDFSkinView view(&window);
    view.setGeometry(0, 0, 60, 30);
    view.awakeFromNib();
    ASSERT_TRUE(view.skinImage());
    ASSERT_TRUE(Shown(window));
    EXPECT_TRUE(window.canBecomeKeyWindow());
    riradi_test::SaveScreenshot(&window, QStringLiteral("PDFSkinWindow"));

    // The 40 x 20 page at the view's bottom-left corner: red left half, blue top right.
    const QImage drawn = view.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(drawn.pixelColor(5, 20), QColor(255, 0, 0));
    EXPECT_EQ(drawn.pixelColor(30, 12), QColor(0, 0, 255));
    EXPECT_EQ(drawn.pixelColor(30, 25).alpha(), 0);
    EXPECT_EQ(drawn.pixelColor(50, 5).alpha(), 0);

    // Scaled: the whole page fills the bounds.
    PDFSkinViewScaled scaled(&window);
    scaled.setGeometry(0, 0, 60, 30);
    scaled.awakeFromNib();
    const QImage stretched = scaled.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(stretched.pixelColor(10, 25), QColor(255, 0, 0));
    EXPECT_EQ(stretched.pixelColor(50, 3), QColor(0, 0, 255));
    EXPECT_EQ(stretched.pixelColor(50, 25).alpha(), 0);

    // A title that names no image: nothing but the clear background.
    PDFSkinWindow plain(QRect(300, 100, 20, 20));
    plain.setWindowTitle(QStringLiteral("NoSuchSkin.pdf"));
    PDFSkinView empty(&plain);
    empty.setGeometry(0, 0, 20, 20);
    empty.awakeFromNib();
    EXPECT_FALSE(empty.skinImage());
    const QImage clear = empty.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(clear.pixelColor(10, 10).alpha(), 0);
}

TEST(PDFSkinAboutBox, SingleClickClosesAndDragMoves) {
    if (std::getenv("DISPLAY") == nullptr) GTEST_FAIL() << "the gui tests run on an X display (xvfb-run)";
    riradi_test::WindowApplication();
    RegisterSkin();

    PDFSkinAboutBox box(QRect(200, 200, 40, 20));
    box.setWindowTitle(QStringLiteral("Skin.pdf"));
    PDFSkinAboutBoxView view(&box);
    view.setGeometry(0, 0, 40, 20);
    view.awakeFromNib();
    EXPECT_TRUE(view.acceptsFirstMouse(nullptr));
    ASSERT_TRUE(Shown(box));

    const QPoint before = box.frameGeometry().topLeft();
    const QPointF start = box.mapToGlobal(QPointF(10, 10));
    SendMouse(box, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    SendMouse(box, QEvent::MouseMove, start + QPointF(15, 8), Qt::NoButton, Qt::LeftButton);
    SendMouse(box, QEvent::MouseMove, start + QPointF(30, 16), Qt::NoButton, Qt::LeftButton);
    SendMouse(box, QEvent::MouseButtonRelease, start + QPointF(30, 16), Qt::LeftButton, Qt::NoButton);
    for (int i = 0; i < 100 && box.frameGeometry().topLeft() == before; ++i) QTest::qWait(10);
    EXPECT_EQ(box.frameGeometry().topLeft(), before + QPoint(30, 16));
    EXPECT_TRUE(box.isVisible()) << "a drag does not close the about box";

    const QPointF at = box.mapToGlobal(QPointF(10, 10));
    SendMouse(box, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    SendMouse(box, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(box.isVisible());
}
