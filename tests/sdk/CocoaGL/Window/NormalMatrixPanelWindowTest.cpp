// The texture-matrix panel on the X11 display: shown from its nib, a slider dragged with the
// mouse reaches the target, the reset button puts every value back; with a picture.
#include <CocoaGL/NSOGLNormalMatrixController.h>

#include <AppKit/NSNib.h>
#include <UICocoaControls/NSSlider.h>

#include "sdk/RiradI/RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTest>

#include <memory>

// Qt's keyboard set-up on X11 trips strict_string_checks inside libxkbcommon-x11.
extern "C" const char *__asan_default_options() { return "suppressions=" LUMORA_ASAN_SUPPRESSIONS; }

namespace {

class MatrixOwner : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void matrixChanged(QObject *) { ++actions; }
    int actions = 0;
};

TEST(NormalMatrixPanelWindow, SlidersAndResetWithTheMouse) {
    riradi_test::WindowApplication();
    ASSERT_TRUE(import_NSOGLNormalMatrixController());
    auto nib = NSNib::initWithNibNamed(QStringLiteral("NSOGLNormalMatrixController"));
    ASSERT_NE(nib, nullptr);
    QList<QObject *> top;
    ASSERT_TRUE(nib->instantiateNibWithOwner(nullptr, &top));
    std::unique_ptr<NSOGLNormalMatrixController> panel(qobject_cast<NSOGLNormalMatrixController *>(top.first()));
    ASSERT_NE(panel, nullptr);
    MatrixOwner owner;
    panel->setTarget(&owner);
    panel->setAction("matrixChanged:");
    panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));
    riradi_test::SaveScreenshot(panel.get(), QStringLiteral("NSOGLNormalMatrixController"));

    // A click near the right end of the rotation slider's groove moves it up.
    auto *angle = qobject_cast<NSSlider *>(panel->matrixAngleSlider());
    ASSERT_NE(angle, nullptr);
    const QPoint right(angle->width() - 4, angle->height() / 2);
    QTest::mouseClick(angle, Qt::LeftButton, Qt::NoModifier, right);
    riradi_test::RunPendingEvents();
    EXPECT_GT(panel->matrixAngleZNormal(), 0.0f);
    EXPECT_GE(owner.actions, 1);

    auto *reset = panel->findChild<QAbstractButton *>(QStringLiteral("resetButton"));
    ASSERT_NE(reset, nullptr);
    const int before = owner.actions;
    QTest::mouseClick(reset, Qt::LeftButton);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(panel->matrixAngleZNormal(), 0.0f);
    EXPECT_EQ(panel->matrixScaleNormal(), 0.5f);
    EXPECT_EQ(owner.actions, before + 1);
}

}  // namespace

#include "NormalMatrixPanelWindowTest.moc"
