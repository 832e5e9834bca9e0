// The languages' bookmarks controller: the published languages' feed and its menu, the launch
// download, new and completed languages, and a language picked, edited, applied and shared
// through its settings text. Downloads go to a server on the loopback interface only.
#include <UILocalLanguage/UILocalLanguageController.h>
#include <UILocalLanguage/UILocalizationBookmarksController.h>
#include <UILocalLanguage/UILocalizationEditorArrayController.h>

#include <CocoaFoundation/NSUIDNDArrayController.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSUserDefaults.h>
#include <UIParamMapping/ATOM_FEED.h>
#include <UIParamMapping/NSUIDesignCodes.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QMenu>
#include <QTemporaryDir>

#include "sdk/RiradI/RiradITestApplication.h"
#include "sdk/RiradI/UIParamMapping/FeedTestServer.h"

namespace {

using feed_test::FeedTestServer;
using feed_test::Response;

UILocalLanguageController *Language() { return UILocalLanguageController::language(); }

QString Code(const QVariantMap &settings) { return NSUIDesignCodes::codeStringFromDictionary(settings); }
QVariantMap Settings(const QString &code) {
    const auto codes = NSUIDesignCodes::codesWithCodeString(code);
    return codes ? codes->codeDictionary() : QVariantMap();
}

// The controller reading its feed from the test server (when one is given).
class ServedLanguages : public UILocalizationBookmarksController {
public:
    QString servedURL;
    QString designsURL() const override { return servedURL.isNull() ? UILocalizationBookmarksController::designsURL() : servedURL; }
};

const QVariantMap kGerman{{"app.title", "Titel"}, {"app.ok", "OK"}};
const QVariantMap kFrench{{"app.title", "Titre"}};

// The language menu as the panel has it, a languages list, and the controller wired to them
// with the interface-language controller as its target. Nothing stored from earlier tests.
class LocalizationBookmarks : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ATOM_FEED::setDownloadLimits(3000, 64 * 1024);
        NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
        defaults.removeObject(controller.designFeedUserSerializationKey());
        defaults.removeObject(controller.presetDataSerializationKey());
        Language()->setSettingsDictionary({});
        menu.addAction("Check for Published Languages");
        first = menu.addSeparator();
        last = menu.addSeparator();
        menu.addAction("Below");
        controller.setOutletLocalizationMenu(&menu);
        controller.setOutletRemoteLanguagesMenuSeparator(first);
        controller.setOutletRemoteLanguagesLastSeparator(last);
        controller.setOutletArrayController(&languages);
        controller.setOutletLocalLanguageController(Language());
        controller.setOutletTarget(Language());
        controller.awakeFromNib();
        server.Set("/languages.xml",
                   Response{200, feed_test::AtomDocument({{"Deutsch", Code(kGerman).toHtmlEscaped().toUtf8()},
                                                          {"Fran\xC3\xA7" "ais", Code(kFrench).toHtmlEscaped().toUtf8()}})});
        controller.servedURL = server.URL("/languages.xml");
    }
    void TearDown() override {
        EXPECT_TRUE(feed_test::WaitUntil([] { return ATOM_FEED_HTTP_GET::runningBackgroundGets() == 0; }));
        Language()->setSettingsDictionary({});
    }

    QStringList MenuTitles() const {
        QStringList titles;
        for (QAction *item : menu.actions()) titles << (item->isSeparator() ? QStringLiteral("-") : item->text());
        return titles;
    }
    QAction *MenuItem(const QString &title) const {
        for (QAction *item : menu.actions())
            if (item->text() == title) return item;
        return nullptr;
    }
    // The language menu's titles around the published languages.
    static QStringList Framed(const QStringList &published) {
        return QStringList{"Check for Published Languages", "-"} + published + QStringList{"-", "Below"};
    }
    QVariantMap Bookmark(int row) const { return languages.content().value(row).toMap(); }

    FeedTestServer server;
    QMenu menu;
    QAction *first = nullptr;
    QAction *last = nullptr;
    NSUIDNDArrayController languages;
    ServedLanguages controller;
};

TEST_F(LocalizationBookmarks, FeedAddressesCategoryAndKeys) {
    UILocalizationBookmarksController plain;
    plain.setBlogspotDomain("languages-blog");
    plain.setBlogspotLabelPrimary("uilumora2");
    plain.setBlogspotLabelSecondary("uiglobal");
    plain.setFeedburnerSameLabel(true);
    EXPECT_EQ(plain.designsURL(), "http://feeds.feedburner.com/uilumora2");
    EXPECT_EQ(plain.moreDesignsURL(), "http://feeds.feedburner.com/uiglobal");
    plain.setFeedburnerSameLabel(false);
    EXPECT_EQ(plain.designsURL(), "http://languages-blog.blogspot.com/feeds/posts/default/-/uilumora2?max-results=1000");
    EXPECT_EQ(plain.designFeedCategory(), "UILocalizationBookmarksController");
    EXPECT_EQ(plain.designFeedUserSerializationKey(), "UILocalizationBookmarksControllerdesignFeedUserKey");
    EXPECT_EQ(plain.defaultXMLExportFileName(), "UILocalizationBookmarksController");
    // Before launch there is no feed: nothing to list, refresh or choose.
    EXPECT_EQ(plain.localizationsAtomFeed(), nullptr);
    EXPECT_TRUE(plain.designNames().isEmpty());
    plain.actionRefreshDynamicMenuWithRemotePresets();
    plain.selectRemotePresetDesignWithName("Deutsch");
    EXPECT_EQ(ATOM_FEED_HTTP_GET::runningBackgroundGets(), 0);
}

// A first launch (no languages saved) fetches the list; once languages are saved, launch shows
// them at once and leaves fetching to the user. The fetch never holds up the main thread.
TEST_F(LocalizationBookmarks, LaunchDownloadsOnlyWhenThereAreNoLanguagesYet) {
    struct Case {
        const char *name;
        QVariantMap saved;
        int downloads;
        QStringList itemsAtLaunch;
        QStringList itemsAfterwards;
    };
    const Case cases[] = {
        {"nothing saved", {}, 1, {}, {"Deutsch", "Fran\u00e7ais"}},
        {"a language saved",
         {{"Italiano", ATOM_FEED_ITEM::toVariant(ATOM_FEED_ITEM::atomFeedItemWithTitle("Italiano", "x=y;"))}},
         0,
         {"Italiano"},
         {"Italiano"}},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        const QString path = QStringLiteral("/launch-%1.xml").arg(test.downloads);
        server.Set(path, Response{200, feed_test::AtomDocument({{"Deutsch", "a=b;"}, {"Fran\xC3\xA7" "ais", "c=d;"}}), 500});
        ServedLanguages launched;
        launched.servedURL = server.URL(path);
        launched.setOutletRemoteLanguagesMenuSeparator(first);
        launched.setOutletRemoteLanguagesLastSeparator(last);
        NSUserDefaults::standardUserDefaults().removeObject(launched.designFeedUserSerializationKey());
        if (!test.saved.isEmpty())
            ASSERT_TRUE(NSUIDesignFeed::setPrefsDesignsDictionary(test.saved, launched.designFeedUserSerializationKey()));

        QElapsedTimer timer;
        timer.start();
        launched.applicationDidFinishLaunching(NSNotification());
        EXPECT_LT(timer.elapsed(), 300) << "the server answers after 500 ms";
        ASSERT_NE(launched.localizationsAtomFeed(), nullptr);
        EXPECT_EQ(launched.localizationsAtomFeed()->delegate(), &launched);
        EXPECT_EQ(MenuTitles(), Framed(test.itemsAtLaunch));
        EXPECT_EQ(ATOM_FEED_HTTP_GET::runningBackgroundGets(), test.downloads);

        // A second launch notice makes no second feed.
        UILocalizationDesignFeedMenu *feed = launched.localizationsAtomFeed();
        launched.applicationDidFinishLaunching(NSNotification());
        EXPECT_EQ(launched.localizationsAtomFeed(), feed);

        EXPECT_TRUE(feed_test::WaitUntil([&] {
            return ATOM_FEED_HTTP_GET::runningBackgroundGets() == 0 && launched.designNames() == test.itemsAfterwards;
        }));
        feed_test::WaitUntil([] { return false; }, 100);
        EXPECT_EQ(server.Hits(path), test.downloads);
        EXPECT_EQ(MenuTitles(), Framed(test.itemsAfterwards));
        NSUserDefaults::standardUserDefaults().removeObject(launched.designFeedUserSerializationKey());
    }
}

TEST_F(LocalizationBookmarks, APublishedLanguageIsChosenFromTheMenuAndSavedAtQuit) {
    // Saved languages: no download at launch; the user asks for the list.
    ASSERT_TRUE(NSUIDesignFeed::setPrefsDesignsDictionary(
        {{"Old", ATOM_FEED_ITEM::toVariant(ATOM_FEED_ITEM::atomFeedItemWithTitle("Old", "app.title=Alt;"))}},
        controller.designFeedUserSerializationKey()));
    controller.applicationDidFinishLaunching(NSNotification());
    EXPECT_EQ(server.Hits("/languages.xml"), 0);
    EXPECT_EQ(MenuTitles(), Framed({"Old"}));
    // A download replaces the published languages.
    controller.actionRefreshDynamicMenuWithRemotePresets();
    ASSERT_TRUE(feed_test::WaitUntil([&] { return MenuItem("Deutsch") != nullptr; }));
    EXPECT_EQ(controller.designNames(), (QStringList{"Deutsch", "Fran\u00e7ais"}));
    EXPECT_EQ(MenuTitles(), Framed({"Deutsch", "Fran\u00e7ais"}));

    int changes = 0;
    const auto token = NSNotificationCenter::defaultCenter().addObserverForName(
        UILocalLanguageControllerDidChangeLanguage, nullptr, [&](const NSNotification &) { ++changes; });
    MenuItem("Deutsch")->trigger();
    EXPECT_EQ(Language()->current(), kGerman);
    EXPECT_EQ(UILocalLanguageController::stringWithID("app.title"), "Titel");
    EXPECT_EQ(changes, 1);
    // A name the feed does not have leaves the language alone; so does a null name.
    controller.selectRemotePresetDesignWithName("Klingon");
    controller.selectRemotePresetDesignWithName(QString());
    controller.actionSelectRemotePresetFromDynamicMenu(nullptr);
    EXPECT_EQ(Language()->current(), kGerman);
    EXPECT_EQ(changes, 1);
    NSNotificationCenter::defaultCenter().removeObserver(token);

    // Quitting keeps the downloaded languages and the bookmarks.
    controller.actionCreatePresetUsingUSEnglishDefaultsAsTemplate();
    controller.applicationWillTerminate(NSNotification());
    const auto saved = NSUIDesignFeed::designsDictionaryFromPrefs(controller.designFeedUserSerializationKey());
    ASSERT_TRUE(saved.has_value());
    EXPECT_EQ(saved->keys(), (QStringList{"Deutsch", "Fran\u00e7ais"}));
    ServedLanguages restarted;
    restarted.loadPresetsFromUserDefaults();
    EXPECT_EQ(restarted.presetsArray().size(), 1);
}

// New languages: from the US English texts, or the current language completed with them.
TEST_F(LocalizationBookmarks, NewAndCompletedLanguages) {
    UILocalLanguageController::registerDefaultValue("Apply", "test.l10n.apply");
    UILocalLanguageController::registerDefaultValue("Cancel", "test.l10n.cancel");
    const QVariantMap english = Language()->defaultsDictionaryForUSEnglishLocalization();
    ASSERT_TRUE(english.contains("test.l10n.apply"));
    // A language that has every text but two, and one of its own.
    QVariantMap partial = english;
    partial.remove("test.l10n.apply");
    partial.remove("test.l10n.cancel");
    partial.insert("app.string.localization.usenglish", "Anglais (US)");
    QVariantMap completed = partial;
    completed.insert("test.l10n.apply", "Apply");
    completed.insert("test.l10n.cancel", "Cancel");
    const QString uiFor = Language()->currentSettingsDictionaryName();

    enum Action { NewFromEnglish, AddMissing };
    struct Case {
        const char *name;
        Action action;
        bool languageController;
        QVariantMap selected;
        bool adds;
        QString bookmarkName;
        QString code;
    };
    const Case cases[] = {
        {"new, US English selected", NewFromEnglish, true, {}, true, "English (US)", Code(english)},
        {"new, named in the current language", NewFromEnglish, true, partial, true, "Anglais (US)", Code(english)},
        {"new without language controller", NewFromEnglish, false, {}, true, "English (US)", ""},
        {"completing a language lacking two texts", AddMissing, true, partial, true, uiFor, Code(completed)},
        {"completing US English adds every text", AddMissing, true, {}, true, uiFor, Code(english)},
        {"completing without language controller", AddMissing, false, partial, false, {}, {}},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        languages.setContent({});
        Language()->setSettingsDictionary(test.selected);
        controller.setOutletLocalLanguageController(test.languageController ? Language() : nullptr);
        if (test.action == NewFromEnglish) controller.actionCreatePresetUsingUSEnglishDefaultsAsTemplate();
        else controller.actionAddMissingUIElementsToCustomLanguage();
        ASSERT_EQ(languages.content().size(), test.adds ? 1 : 0);
        if (!test.adds) continue;
        EXPECT_EQ(Bookmark(0).value("presetNameString").toString(), test.bookmarkName);
        EXPECT_EQ(Bookmark(0).value("presetCodeString").toString(), test.code);
    }
}

// A language goes from the US English texts through the row editor into a bookmark, is applied
// to the interface, and travels as a file to another list.
TEST_F(LocalizationBookmarks, PickEditApplyAndShareALanguageThroughItsSettingsText) {
    UILocalLanguageController::registerDefaultValue("Open", "test.l10n.open");
    UILocalizationEditorArrayController editor;
    editor.setOutletArrayController(&languages);
    editor.awakeFromNib();
    controller.actionCreatePresetUsingUSEnglishDefaultsAsTemplate();
    languages.setSelectionIndexes({0});

    int row = -1;
    for (int r = 0; r < editor.numberOfRowsInTableView(); ++r)
        if (editor.tableViewObjectValue("propertyKeyPath", r).toString() == "test.l10n.open") row = r;
    ASSERT_GE(row, 0);
    ASSERT_TRUE(editor.tableViewSetObjectValue("\u00d6ffnen", "propertyKeyValue", row));
    editor.updateValues();
    const QString code = Bookmark(0).value("presetCodeString").toString();
    EXPECT_EQ(Settings(code).value("test.l10n.open").toString(), "\u00d6ffnen");

    controller.applyLanguageToControllerTarget(code);
    EXPECT_EQ(UILocalLanguageController::stringWithID("test.l10n.open"), "\u00d6ffnen");

    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath("languages.plist");
    ASSERT_TRUE(controller.exportPresetsToFile(file));
    NSUIDNDArrayController otherList;
    UILocalizationBookmarksController other;
    other.setOutletArrayController(&otherList);
    QStringList skipped;
    QString error;
    ASSERT_TRUE(other.importPresetsFromFile(file, &skipped, &error)) << error.toStdString();
    EXPECT_TRUE(skipped.isEmpty());
    ASSERT_EQ(otherList.content().size(), 1);
    EXPECT_EQ(otherList.content().at(0).toMap().value("presetCodeString").toString(), code);
    EXPECT_EQ(otherList.content().at(0).toMap().value("presetNameString").toString(), "English (US)");
}

}  // namespace
