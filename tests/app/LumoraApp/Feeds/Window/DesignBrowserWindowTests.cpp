// The design browser and the camera layer matrix panel shown from their nibs: the browser's
// buttons step through the designs with the mouse, every control is reached by the keyboard in
// reading order and has a name and a tooltip; the matrix panel's switches reach its target.
#include <LumoraApp/LumBrowseController.h>
#include <LumoraApp/LumMatrixController.h>
#include <LumoraApp/LumoraBookmarksPanel.h>

#include <AppKit/NSNib.h>
#include <Foundation/NSUserDefaults.h>
#include <UIParamMapping/NSUIBookmarksTarget.h>
#include <UIParamMapping/NSUIDesignCodes.h>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QTest>

#include <memory>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

class RecordingTarget : public QObject, public protocol_NSUIBookmarksTarget {
    Q_OBJECT
public:
    bool setSettingsDictionary(const QVariantMap &settings) override {
        applied.push_back(settings.value(QStringLiteral("design")).toString());
        return true;
    }
    std::vector<QString> applied;
};

class MatrixOwner : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void matrixChanged(QObject *) { ++changes; }
    int changes = 0;
};

template <typename T> std::unique_ptr<T> FromNib(const char *name) {
    auto nib = NSNib::initWithNibNamed(QString::fromLatin1(name));
    if (!nib) return nullptr;
    QList<QObject *> top;
    if (!nib->instantiateNibWithOwner(nullptr, &top) || top.isEmpty()) return nullptr;
    return std::unique_ptr<T>(qobject_cast<T *>(top.first()));
}

TEST(DesignBrowserWindow, ButtonsStepThroughTheDesignsAndTheKeyboardReachesEveryControl) {
    riradi_test::WindowApplication();
    ASSERT_TRUE(import_LumoraBookmarksPanel());
    QVariantMap designs;
    for (const char *name : {"Alpha", "Beta", "Gamma"})
        designs.insert(name, ATOM_FEED_ITEM::toVariant(ATOM_FEED_ITEM::atomFeedItemWithTitle(
                                 name, NSUIDesignCodes::codeStringFromDictionary({{"design", name}}))));
    ASSERT_TRUE(NSUIDesignFeed::setPrefsDesignsDictionary(designs, QStringLiteral("Dedorodurero")));
    NSUserDefaults::standardUserDefaults().setObject(QVariant(qlonglong(0)),
                                                     QStringLiteral("menuDesignsCheckNewDesignsOnStartup:"));

    std::unique_ptr<LumBrowseController> browse = FromNib<LumBrowseController>("LumBrowseController");
    ASSERT_NE(browse, nullptr);
    LumoraBookmarksPanel panel;
    RecordingTarget target;
    browse->setPresetsPanel(&panel);
    panel.setOutletBrowseController(browse.get());
    panel.awakeFromNib();
    panel.setmBookmarkTargetObject(&target);
    // Launched without the design menu: the browser alone shows the designs.
    panel.applicationDidFinishLaunching(NSNotification());
    riradi_test::RunPendingEvents();
    ASSERT_EQ(panel.designNames(), QStringList({"Alpha", "Beta", "Gamma"}));
    browse->setDesignName(QStringLiteral("Alpha"));

    browse->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(browse.get()));
    riradi_test::SaveScreenshot(browse.get(), QStringLiteral("LumBrowseController"));

    auto *next = qobject_cast<QAbstractButton *>(browse->nextButton());
    auto *prev = qobject_cast<QAbstractButton *>(browse->prevButton());
    ASSERT_NE(next, nullptr);
    ASSERT_NE(prev, nullptr);
    QTest::mouseClick(next, Qt::LeftButton);
    QTest::mouseClick(next, Qt::LeftButton);
    QTest::mouseClick(next, Qt::LeftButton);
    QTest::mouseClick(prev, Qt::LeftButton);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(target.applied, (std::vector<QString>{"Beta", "Gamma", "Gamma", "Beta"}));
    EXPECT_EQ(browse->designPopup()->text(), "Beta");

    // Reading order by the keyboard; every control named and explained.
    const std::vector<QWidget *> order = {prev, browse->designPopup(), next,
                                          qobject_cast<QWidget *>(browse->reloadButton())};
    for (std::size_t at = 0; at < order.size(); ++at) {
        ASSERT_NE(order[at], nullptr);
        EXPECT_FALSE(order[at]->accessibleName().isEmpty()) << order[at]->objectName().toStdString();
        EXPECT_FALSE(order[at]->toolTip().isEmpty()) << order[at]->objectName().toStdString();
        EXPECT_NE(order[at]->focusPolicy() & Qt::TabFocus, 0) << order[at]->objectName().toStdString();
        if (at + 1 == order.size()) break;
        // Tab goes to the next control that takes the keyboard focus.
        QWidget *tabbed = order[at]->nextInFocusChain();
        while (tabbed != nullptr && tabbed != order[at] && !(tabbed->focusPolicy() & Qt::TabFocus))
            tabbed = tabbed->nextInFocusChain();
        EXPECT_EQ(tabbed, order[at + 1]) << order[at]->objectName().toStdString();
    }
    // The reload button by the keyboard applies the design shown again.
    auto *reload = qobject_cast<QAbstractButton *>(browse->reloadButton());
    QTest::keyClick(reload, Qt::Key_Space);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(target.applied.back(), "Beta");
    EXPECT_EQ(target.applied.size(), 5u);
    NSUserDefaults::standardUserDefaults().removeObject(QStringLiteral("Dedorodurero"));
}

TEST(DesignBrowserWindow, TheMatrixPanelsSwitchesReachItsTarget) {
    riradi_test::WindowApplication();
    ASSERT_TRUE(import_LumMatrixController());
    std::unique_ptr<LumMatrixController> matrix = FromNib<LumMatrixController>("LumMatrixController");
    ASSERT_NE(matrix, nullptr);
    MatrixOwner owner;
    matrix->setTarget(&owner);
    matrix->setAction("matrixChanged:");
    matrix->applicationDidFinishLaunching(NSNotification());
    matrix->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(matrix.get()));
    riradi_test::SaveScreenshot(matrix.get(), QStringLiteral("LumMatrixController"));

    auto *flipX = qobject_cast<QAbstractButton *>(matrix->_textureFlippedX());
    ASSERT_NE(flipX, nullptr);
    EXPECT_FALSE(matrix->textureFlippedX());
    QTest::mouseClick(flipX, Qt::LeftButton, Qt::NoModifier, QPoint(6, flipX->height() / 2));
    riradi_test::RunPendingEvents();
    EXPECT_TRUE(matrix->textureFlippedX());
    EXPECT_EQ(owner.changes, 1);
    for (QObject *control : {matrix->_textureEnabled(), matrix->_textureFlippedX(), matrix->_textureFlippedY()}) {
        auto *widget = qobject_cast<QWidget *>(control);
        ASSERT_NE(widget, nullptr);
        EXPECT_FALSE(widget->accessibleName().isEmpty());
        EXPECT_NE(widget->focusPolicy() & Qt::TabFocus, 0);
    }
}

}  // namespace

#include "DesignBrowserWindowTests.moc"
