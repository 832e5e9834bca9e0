// The localisation panel on the X11 display: it opens from its nib with every control, follows
// the selected language, relabels bound controls after a language change, and keeps its frame
// across a restart.
#include <UILocalLanguage/UILocalLanguageBinding.h>
#include <UILocalLanguage/UILocalLanguageController.h>
#include <UILocalLanguage/UILocalLanguageNSSegmentedControl.h>
#include <UILocalLanguage/UILocalizationPanelController.h>

#include <Foundation/NSUserDefaults.h>
#include <UIParamMapping/NSUIDesignCodes.h>

#include <UIParamMapping/ATOM_FEED.h>

#include "../../RiradITestApplication.h"
#include "sdk/RiradI/UIParamMapping/FeedTestServer.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <cstdlib>
#include <memory>

// The AddressSanitizer suppressions of this program, read at start-up.
extern "C" const char *__asan_default_options() { return "suppressions=" LUMORA_ASAN_SUPPRESSIONS; }

namespace {

using riradi_test::WindowApplication;

class LocalizationPanelWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) GTEST_FAIL() << "the gui tests run on an X display (xvfb-run)";
        WindowApplication();
        UILocalLanguageController::language()->setSettingsDictionary({});
    }
    void TearDown() override { UILocalLanguageController::language()->setSettingsDictionary({}); }
};

TEST_F(LocalizationPanelWindow, OpensFromItsNibWithEveryControlAndFollowsTheSelectedLanguage) {
    UILocalizationPanelController *controller = UILocalizationPanelController::sharedController();
    ASSERT_NE(controller, nullptr);
    controller->awakeFromNib();
    controller->awakeFromNib();  // loads once
    UILocalizationPanel *panel = controller->localizationPanelWindow();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->windowFlags().testFlag(Qt::Tool));
    UILocalizationNibbler *nibbler = panel->localizationNibbler();
    ASSERT_NE(nibbler, nullptr);
    EXPECT_EQ(nibbler->constructed(), 1u);

    const char *controls[] = {"outletLanguagesTableView",     "outletEditorTableView",        "outletUpdateButton",
                              "outletRevertButton",           "outletNewLanguageButton",      "outletCompleteLanguageButton",
                              "outletRemoveLanguageButton",   "outletRemoteLanguagesButton"};
    for (const char *name : controls) {
        auto *widget = panel->findChild<QWidget *>(name);
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_FALSE(widget->toolTip().isEmpty()) << name;
        EXPECT_FALSE(widget->accessibleName().isEmpty()) << name;
    }
    // The published languages sit between the two separators of the language menu.
    auto *remote = panel->findChild<QToolButton *>("outletRemoteLanguagesButton");
    ASSERT_EQ(remote->menu(), nibbler->localizationMenu());
    EXPECT_TRUE(nibbler->remoteLanguagesMenuSeparator()->isSeparator());
    EXPECT_TRUE(nibbler->remoteLanguagesLastSeparator()->isSeparator());

    // Two languages; the editor shows the selected one and writes edits back from the button.
    NSUIDNDArrayController *languages = nibbler->languagesArrayController();
    const QVariantMap french{{"app.title", "Titre"}, {"app.ok", "D'accord"}};
    languages->setContent({QVariantMap{{"presetNameString", "Fran\u00e7ais"},
                                       {"presetCodeString", NSUIDesignCodes::codeStringFromDictionary(french)}},
                           QVariantMap{{"presetNameString", "Empty"}, {"presetCodeString", ""}}});
    languages->setSelectionIndexes({0});
    controller->localizationPanel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    QTableView *editorTable = nibbler->editorTableView();
    EXPECT_EQ(editorTable->model()->rowCount(), 2);
    EXPECT_EQ(editorTable->model()->index(1, 0).data().toString(), "app.title");
    EXPECT_TRUE(nibbler->updateButton()->isEnabled());
    riradi_test::SaveScreenshot(panel, "UILocalizationPanel");

    editorTable->model()->setData(editorTable->model()->index(1, 1), "Le titre");
    QTest::mouseClick(nibbler->updateButton(), Qt::LeftButton);
    EXPECT_EQ(NSUIDesignCodes::codesWithCodeString(languages->content().at(0).toMap().value("presetCodeString").toString())
                  ->codeDictionary()
                  .value("app.title")
                  .toString(),
              "Le titre");

    // Selecting the language without texts empties the editor and disables its buttons.
    nibbler->languagesTableView()->selectRow(1);
    EXPECT_EQ(languages->selectionIndexes(), NSIndexSet{1});
    EXPECT_EQ(editorTable->model()->rowCount(), 0);
    EXPECT_FALSE(nibbler->updateButton()->isEnabled());
    EXPECT_FALSE(nibbler->revertButton()->isEnabled());

    QTest::keyClick(panel, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !panel->isVisible(); }));
}

// New, Add Missing Texts and the published languages' menu reach the panel's languages
// controller, which the panel sets up for the languages blog at launch. Launch downloads nothing
// here, because languages are saved already; the list is then fetched from a local server.
TEST_F(LocalizationPanelWindow, ThePanelsControlsReachItsLanguagesController) {
    UILocalizationPanelController *panelController = UILocalizationPanelController::sharedController();
    ASSERT_NE(panelController, nullptr);
    panelController->awakeFromNib();
    UILocalizationPanel *panel = panelController->localizationPanelWindow();
    ASSERT_NE(panel, nullptr);
    UILocalizationNibbler *nibbler = panel->localizationNibbler();
    auto *controller = qobject_cast<UILocalizationBookmarksController *>(nibbler->bookmarksController());
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(controller, nibbler->localizationBookmarksController());
    EXPECT_EQ(controller->outletTarget(), UILocalLanguageController::language());
    EXPECT_EQ(controller->outletLocalLanguageController(), UILocalLanguageController::language());
    NSUIDNDArrayController *languages = nibbler->languagesArrayController();
    EXPECT_EQ(controller->outletArrayController(), languages);
    languages->setContent({});

    ASSERT_TRUE(NSUIDesignFeed::setPrefsDesignsDictionary(
        {{"Italiano", ATOM_FEED_ITEM::toVariant(ATOM_FEED_ITEM::atomFeedItemWithTitle("Italiano", "app.title=Titolo;"))}},
        controller->designFeedUserSerializationKey()));
    panel->applicationDidFinishLaunching(NSNotification());
    EXPECT_EQ(controller->blogspotDomain(), kUILocalizationBlogspotDomain);
    EXPECT_EQ(controller->blogspotLabelPrimary(), "uilumora2");
    EXPECT_EQ(controller->blogspotLabelSecondary(), "uiglobal");
    EXPECT_TRUE(controller->feedburnerSameLabel());
    ASSERT_NE(controller->localizationsAtomFeed(), nullptr);
    EXPECT_EQ(ATOM_FEED_HTTP_GET::runningBackgroundGets(), 0);

    panelController->localizationPanel();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    QMenu *menu = nibbler->localizationMenu();
    const auto item = [menu](const QString &title) -> QAction * {
        for (QAction *action : menu->actions())
            if (action->text() == title) return action;
        return nullptr;
    };
    ASSERT_NE(item("Italiano"), nullptr);
    item("Italiano")->trigger();
    EXPECT_EQ(UILocalLanguageController::stringWithID("app.title"), "Titolo");

    QTest::mouseClick(panel->findChild<QPushButton *>("outletNewLanguageButton"), Qt::LeftButton);
    ASSERT_EQ(languages->content().size(), 1);
    EXPECT_EQ(languages->content().at(0).toMap().value("presetNameString").toString(), "English (US)");
    QTest::mouseClick(panel->findChild<QPushButton *>("outletCompleteLanguageButton"), Qt::LeftButton);
    ASSERT_EQ(languages->content().size(), 2);
    const QVariantMap completed = NSUIDesignCodes::codesWithCodeString(
        languages->content().at(1).toMap().value("presetCodeString").toString())->codeDictionary();
    EXPECT_EQ(completed.value("app.title").toString(), "Titolo");
    EXPECT_EQ(completed.value("app.string.localization.usenglish").toString(), "English (US)");

    // The menu's refresh item fetches the published languages (here from the local server).
    feed_test::FeedTestServer server;
    server.Set("/languages.xml", feed_test::Response{200, feed_test::AtomDocument({{"Svenska", "app.title=Titel;"}})});
    controller->localizationsAtomFeed()->setFeedURL(server.URL("/languages.xml"));
    nibbler->refreshRemoteLanguagesItem()->trigger();
    EXPECT_TRUE(feed_test::WaitUntil([&] { return item("Svenska") != nullptr; }));
    EXPECT_EQ(server.Hits("/languages.xml"), 1);

    // Quitting saves the languages and the published ones.
    panel->applicationWillTerminate(NSNotification());
    EXPECT_EQ(NSUIDesignFeed::designsDictionaryFromPrefs(controller->designFeedUserSerializationKey())->keys(),
              QStringList{"Svenska"});
    languages->setContent({});
    panel->close();
}

TEST_F(LocalizationPanelWindow, ALanguageChangeRelabelsBoundControls) {
    QWidget window;
    auto *label = new QLabel("Mode", &window);
    auto *segments = new UILocalLanguageNSSegmentedControl(&window);
    segments->setLabels({"Camera", "Movie"});
    segments->setLocalizedSegmentKeyPaths({"win.mode.segment.0.label", "win.mode.segment.1.label"});
    segments->move(0, 30);
    ASSERT_NE(UILocalLanguageBinding::bind(label, "text", "win.mode.title"), nullptr);
    segments->awakeFromNib();
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    UILocalLanguageController::language()->setSettingsDictionary(
        {{"win.mode.title", "Modus"}, {"win.mode.segment.0.label", "Kamera"}, {"win.mode.segment.1.label", "Film"}});
    EXPECT_EQ(label->text(), "Modus");
    EXPECT_EQ(segments->labels(), (QStringList{"Kamera", "Film"}));
    EXPECT_EQ(segments->segmentButton(0)->text(), "Kamera");

    UILocalLanguageController::language()->setSettingsDictionary({});
    EXPECT_EQ(label->text(), "Mode");
    EXPECT_EQ(segments->labels(), (QStringList{"Camera", "Movie"}));
}

TEST_F(LocalizationPanelWindow, FrameAndOpenStateSurviveARestart) {
    {
        UILocalizationPanel panel;
        panel.setGeometry(140, 160, 500, 420);
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
        panel.persistentObjectSaveData();
    }
    NSUserDefaults::standardUserDefaults().synchronize();
    UILocalizationPanel restored;
    restored.persistentObjectLoadData();
    EXPECT_EQ(restored.panelFrame(), "140 160 500 420");
    EXPECT_TRUE(restored.isVisible());
    // A damaged value leaves the frame alone.
    restored.setPanelFrame("1 2 x 4");
    restored.setPanelFrame("1 2 0 4");
    EXPECT_EQ(restored.panelFrame(), "140 160 500 420");
}

}  // namespace
