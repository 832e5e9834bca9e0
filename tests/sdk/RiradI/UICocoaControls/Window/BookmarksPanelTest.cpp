// The bookmarks panel on the X11 display: made from its nib with every control named, its
// buttons reaching the controller, Escape closing it, and its list and frame surviving a
// restart through the user defaults.
#include <UICocoaControls/NSUIBookmarksPanel.h>

#include <UIParamMapping/NSUIBookmarksTarget.h>

#include <Foundation/NSUserDefaults.h>

#include "../../RiradITestApplication.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include <cstdlib>

// The program's AddressSanitizer suppressions are named once, in FineSliderWindowTest.cpp.

namespace {

class Target : public QObject, public protocol_NSUIBookmarksTarget {
    Q_OBJECT
public:
    bool setSettingsDictionary(const QVariantMap &given) override {
        if (!given.isEmpty()) settings = given;
        return true;
    }
    QVariantMap currentSettingsDictionary(bool) override { return settings; }
    QString currentSettingsDictionaryName() override { return "My Warm"; }
    QVariantMap settings{{"level", "0.5"}};
};

class OnDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_FAIL() << "the gui tests run on an X display (xvfb-run)";
        riradi_test::WindowApplication();
        NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
        defaults.removeObject("NSUIBookmarksControllerpresetDataSerializationKey");
        defaults.removeObject("NSUIBookmarksPanelFrame");
    }
};

QStringList Names(const QVariantList &rows) {
    QStringList names;
    for (const QVariant &row : rows) names << row.toMap().value("presetNameString").toString();
    return names;
}

TEST_F(OnDisplay, ThePanelShowsEveryControlAndKeepsItsStateAcrossARestart) {
    Target target;
    auto panel = std::make_unique<NSUIBookmarksPanel>();
    panel->awakeFromNib();
    panel->setmBookmarkTargetObject(&target);
    ASSERT_NE(panel->outletBookmarksController(), nullptr);
    EXPECT_EQ(panel->mBookmarkTableView(), panel->outletTableView());
    EXPECT_EQ(panel->mBookmarkSettingsText(), panel->outletScriptEditorView());
    ASSERT_NE(panel->presetsArrayController(), nullptr);
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::Tool));

    // Every control, with a tooltip and an accessible name, in reading order for Tab.
    const char *controls[] = {"outletTableView",        "outletAddCurrentButton", "outletAddEmptyButton",
                              "outletDuplicateButton",  "outletRemoveButton",     "outletScriptEditorView",
                              "outletReadButton",       "outletApplyButton",      "outletCopyButton",
                              "outletPasteButton",      "outletImportButton",     "outletExportButton"};
    QStringList expected;
    for (const char *name : controls) {
        auto *control = panel->findChild<QWidget *>(name);
        ASSERT_NE(control, nullptr) << name;
        EXPECT_FALSE(control->toolTip().isEmpty()) << name;
        EXPECT_FALSE(control->accessibleName().isEmpty()) << name;
        EXPECT_NE(control->focusPolicy() & Qt::TabFocus, 0) << name;
        expected << name;
    }
    QStringList chain;
    QWidget *first = panel->findChild<QWidget *>(controls[0]);
    QWidget *at = first;
    do {
        if (expected.contains(at->objectName()) && !chain.contains(at->objectName())) chain << at->objectName();
        at = at->nextInFocusChain();
    } while (at != first && at != nullptr);
    EXPECT_EQ(chain, expected) << "Tab follows the reading order";

    panel->setGeometry(120, 90, 480, 540);
    panel->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.get()));

    // The buttons reach the controller: two bookmarks, the second duplicated.
    panel->findChild<QAbstractButton *>("outletAddCurrentButton")->click();
    panel->findChild<QAbstractButton *>("outletAddEmptyButton")->click();
    panel->findChild<QAbstractButton *>("outletDuplicateButton")->click();
    EXPECT_EQ(Names(panel->presetsArrayController()->arrangedObjects()),
              (QStringList{"My Warm", "My Bookmark", "My Bookmark 1"}));
    panel->presetsArrayController()->setSelectionIndexes(NSIndexSet{0});
    QTest::qWait(20);
    EXPECT_TRUE(panel->outletScriptEditorView()->string().contains("level=0.5;"));
    riradi_test::SaveScreenshot(panel.get(), "NSUIBookmarksPanel");

    // Escape closes the panel, which keeps its state.
    const QRect frame = panel->geometry();
    QTest::keyClick(panel->outletTableView(), Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());
    panel.reset();

    // The next launch reads the stored file.
    NSUserDefaults onDisk(NSUserDefaults::standardUserDefaults().applicationIdentifier());
    EXPECT_FALSE(onDisk.dataForKey("NSUIBookmarksControllerpresetDataSerializationKey").isEmpty());
    EXPECT_FALSE(onDisk.stringForKey("NSUIBookmarksPanelFrame").isEmpty());
    NSUIBookmarksPanel next;
    next.awakeFromNib();
    EXPECT_EQ(Names(next.presetsArrayController()->arrangedObjects()),
              (QStringList{"My Warm", "My Bookmark", "My Bookmark 1"}));
    EXPECT_EQ(next.geometry(), frame);
}

}  // namespace

#include "BookmarksPanelTest.moc"
