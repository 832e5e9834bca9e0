// The design feed menu, the bookmarks panel's launch (refresh when the toggle is on or nothing is
// cached, the last design restored), the design browser (stepping without wrap, the pop-up rebuilt
// after a feed update), the texture-matrix defaults, the background box and the nibs.
#include <LumoraApp/AppInspector.h>
#include <LumoraApp/CamBackgroundBox.h>
#include <LumoraApp/LumBrowseController.h>
#include <LumoraApp/LumMatrixController.h>
#include <LumoraApp/LumoraBookmarksPanel.h>
#include <LumoraApp/LumoraDesignFeedMenu.h>
#include <LumoraApp/LumoraLayerViewNibbler.h>

#include <AppKit/NSImage.h>
#include <AppKit/NSImageView.h>
#include <AppKit/NSNib.h>
#include <Foundation/NSUserDefaults.h>
#include <UICocoaControls/NSSlider.h>
#include <UICocoaControls/NSUIImageViewParam.h>
#include <UICocoaMenus/NSMenuItemQt.h>
#include <UIParamMapping/ATOM_FEED.h>
#include <UIParamMapping/NSUIBookmarksTarget.h>
#include <UIParamMapping/NSUIDesignCodes.h>

#include <gtest/gtest.h>

#include <QImage>
#include <QMenu>
#include <QPushButton>

#include <memory>

#include "sdk/RiradI/RiradITestApplication.h"
#include "sdk/RiradI/UIParamMapping/FeedTestServer.h"

namespace {

using feed_test::WaitUntil;

// The camera view as far as bookmarks go: it records every settings dictionary applied.
class RecordingTarget : public QObject, public protocol_NSUIBookmarksTarget {
    Q_OBJECT
public:
    bool setSettingsDictionary(const QVariantMap &settings) override {
        applied.push_back(settings.value(QStringLiteral("design")).toString());
        return true;
    }
    std::vector<QString> applied;
};

// A design's settings text, marked with its name.
QString DesignCode(const QString &name, const QString &requiresVersion = QString()) {
    QVariantMap settings{{QStringLiteral("design"), name}};
    if (!requiresVersion.isNull()) settings.insert(QStringLiteral("requires.version"), requiresVersion);
    return NSUIDesignCodes::codeStringFromDictionary(settings);
}

// Designs as a feed keeps them: {name: feed entry}.
QVariantMap FeedDesigns(const QStringList &names) {
    QVariantMap designs;
    for (const QString &name : names)
        designs.insert(name, ATOM_FEED_ITEM::toVariant(ATOM_FEED_ITEM::atomFeedItemWithTitle(name, DesignCode(name))));
    return designs;
}

// An Atom document of designs: (name, required version or null).
QByteArray AtomDesigns(const QList<QPair<QString, QString>> &designs) {
    QList<QPair<QByteArray, QByteArray>> entries;
    for (const auto &[name, version] : designs)
        entries.append({name.toUtf8(), DesignCode(name, version).toHtmlEscaped().toUtf8()});
    return feed_test::AtomDocument(entries);
}

// The panel reading its feeds from the local server.
class ServedBookmarksPanel : public LumoraBookmarksPanel {
    Q_OBJECT
public:
    QString designsURL() const override { return designs; }
    QString moreDesignsURL() const override { return more; }
    QString designs;
    QString more;
};

const char *const kDefaultsKeys[] = {"Dedorodurero", "menuDesignsCheckNewDesignsOnStartup:", "LumoraBookmarksPanel"};

void ClearDefaults() {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    for (const char *key : kDefaultsKeys) defaults.removeObject(QString::fromLatin1(key));
    for (const LumMatrixController::DefaultsRow &row : LumMatrixController::defaultsTable())
        defaults.removeObject(QString::fromLatin1(row.key));
}

bool WaitForDownloads() {
    return WaitUntil([] { return ATOM_FEED_HTTP_GET::runningBackgroundGets() == 0; });
}

// The menus and panels of one launch of the application, as the main nib would link them.
struct Launch {
    explicit Launch(feed_test::FeedTestServer &server) {
        panel.designs = server.URL(QStringLiteral("/designs"));
        panel.more = server.URL(QStringLiteral("/more"));
        menu.addAction(QStringLiteral("Refresh designs"));
        check = menu.addAction(QStringLiteral("Check for new designs on start-up"));
        separator = menu.addSeparator();
        popUp = new QPushButton(&panel);
        browse.setPresetsPanel(&panel);
        browse.setDesignPopupObject(popUp);
        browse.awakeFromNib();
        panel.setOutletBookmarkMenu(&menu);
        panel.setOutletCheckNewDesignsOnStartup(check);
        panel.setOutletDedorodureroDesignsMenuSeparator(separator);
        panel.setOutletBrowseController(&browse);
        panel.awakeFromNib();
        panel.setmBookmarkTargetObject(&target);
    }
    ~Launch() { WaitForDownloads(); }

    void DidFinishLaunching() {
        panel.applicationDidFinishLaunching(NSNotification());
        WaitForDownloads();
        WaitUntil([] { return false; }, 50);  // the queued restore and any replies
    }
    // The titles after the designs separator of the bookmark menu and of the pop-up.
    QStringList MenuDesigns() const { return After(&menu, separator); }
    QStringList PopUpDesigns() const { return After(browse.designMenu(), browse.designSeparator()); }
    static QStringList After(const QMenu *menu, const QAction *separator) {
        QStringList titles;
        if (menu == nullptr) return titles;
        const QList<QAction *> items = menu->actions();
        for (qsizetype at = items.indexOf(separator) + 1; at > 0 && at < items.size(); ++at)
            titles.append(items[at]->text());
        return titles;
    }
    QAction *MenuItem(const QString &title) const {
        for (QAction *item : menu.actions())
            if (item->text() == title) return item;
        return nullptr;
    }

    RecordingTarget target;
    ServedBookmarksPanel panel;
    LumBrowseController browse;
    QMenu menu;
    QAction *check = nullptr;
    QAction *separator = nullptr;
    QPushButton *popUp = nullptr;
};

class DesignFeeds : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ASSERT_TRUE(import_LumoraBookmarksPanel());
        ASSERT_TRUE(import_LumMatrixController());
        ASSERT_TRUE(import_CamBackgroundBox());
        ASSERT_TRUE(import_AppInspector());
        ClearDefaults();
    }
    void TearDown() override { ClearDefaults(); }

    static void CacheDesigns(const QStringList &names) {
        ASSERT_TRUE(NSUIDesignFeed::setPrefsDesignsDictionary(FeedDesigns(names), QStringLiteral("Dedorodurero")));
    }
    static void StoreCheckOnStartup(int state) {
        NSUserDefaults::standardUserDefaults().setObject(QVariant(qlonglong(state)),
                                                         QStringLiteral("menuDesignsCheckNewDesignsOnStartup:"));
    }

    feed_test::FeedTestServer server;
};

// ---- The design feed menu

TEST_F(DesignFeeds, DesignsNeedingALaterVersionThanTheApplicationAreHidden) {
    const std::unique_ptr<LumoraDesignFeedMenu> feed = LumoraDesignFeedMenu::designFeedMenuWithCategory(
        QStringLiteral("Test Designs"), QString(), QString(), QString());
    ASSERT_NE(feed, nullptr);
    EXPECT_TRUE(feed->filterDesignsByRequirements());
    struct Case {
        const char *name;
        const char *needs;  // null: the design states no version
        bool shown;
    };
    const Case cases[] = {{"None", nullptr, true},     {"Same", "2.0.4", true},     {"Older", "2.0.3", true},
                          {"Major", "1.9.9", true},    {"Patch", "2.0.4.1", false}, {"Minor", "2.1", false},
                          {"Next", "3", false}};
    QVariantMap builtin;
    for (const Case &c : cases) {
        QVariantMap settings{{"design", c.name}};
        if (c.needs != nullptr) settings.insert(QStringLiteral("requires.version"), c.needs);
        builtin.insert(QString::fromLatin1(c.name), settings);
    }
    feed->setBuiltinDesignDictionary(builtin);
    const QStringList names = feed->filteredDesignNames();
    for (const Case &c : cases) EXPECT_EQ(names.contains(QString::fromLatin1(c.name)), c.shown) << c.name;
}

// ---- Launch of the bookmarks panel

TEST_F(DesignFeeds, TheFeedsAreTheDesignBlogsTwoLabelsOverHTTPS) {
    LumoraBookmarksPanel panel;
    const QUrl designs(panel.designsURL());
    const QUrl more(panel.moreDesignsURL());
    EXPECT_EQ(designs.scheme(), "https");
    EXPECT_EQ(more.scheme(), "https");
    EXPECT_EQ(designs.host(), "lumoradesigns.blogspot.com");
    EXPECT_TRUE(designs.path().endsWith("/lumorafree")) << designs.toString().toStdString();
    EXPECT_TRUE(more.path().endsWith("/lumorapaid")) << more.toString().toStdString();
    panel.open_wide_for_GDATA_FEEDS();
    ASSERT_NE(panel.dedorodureroDesignsFeed(), nullptr);
    EXPECT_EQ(panel.dedorodureroDesignsFeed()->categoryName(), "Info Dedorodurero");
    EXPECT_EQ(panel.dedorodureroDesignsFeed()->prefsKey(), "Dedorodurero");
    EXPECT_EQ(panel.dedorodureroDesignsFeed()->feedURL(), panel.designsURL());
    EXPECT_EQ(panel.dedorodureroDesignsFeed()->updateURL(), panel.moreDesignsURL());
}

TEST_F(DesignFeeds, LaunchRefreshesWhenTheToggleIsOnOrNothingIsCached) {
    struct Case {
        const char *what;
        int storedToggle;  // -1: never stored
        bool cached;
        bool refreshes;
    };
    const Case cases[] = {{"toggle off, designs cached", 0, true, false},
                          {"toggle never stored, designs cached", -1, true, false},
                          {"toggle on, designs cached", 1, true, true},
                          {"toggle off, nothing cached", 0, false, true},
                          {"toggle on, nothing cached", 1, false, true}};
    server.Set(QStringLiteral("/designs"), {200, AtomDesigns({{"Served", QString()}})});
    for (const Case &c : cases) {
        ClearDefaults();
        if (c.storedToggle >= 0) StoreCheckOnStartup(c.storedToggle);
        if (c.cached) CacheDesigns({"Alpha", "Beta"});
        const int before = server.Hits(QStringLiteral("/designs"));
        Launch launch(server);
        launch.DidFinishLaunching();
        EXPECT_EQ(server.Hits(QStringLiteral("/designs")) > before, c.refreshes) << c.what;
        EXPECT_EQ(launch.panel.checksNewDesignsOnStartup(), c.storedToggle == 1) << c.what;
        if (c.cached && !c.refreshes)
            EXPECT_EQ(launch.MenuDesigns(), QStringList({"Alpha", "Beta"})) << c.what;
    }
}

TEST_F(DesignFeeds, TheLastChosenDesignIsAppliedAgainAtTheNextLaunch) {
    CacheDesigns({"Alpha", "Beta", "Gamma"});
    {
        Launch first(server);
        first.DidFinishLaunching();
        EXPECT_TRUE(first.target.applied.empty()) << "nothing chosen yet";
        QAction *beta = first.MenuItem(QStringLiteral("Beta"));
        ASSERT_NE(beta, nullptr);
        beta->trigger();
        EXPECT_EQ(first.target.applied, std::vector<QString>{"Beta"});
        EXPECT_EQ(first.panel.lastFeedDesignSelected(), "Beta");
        first.panel.applicationWillTerminate(NSNotification());
        first.panel.persistentObjectSaveData();
    }
    Launch second(server);
    second.panel.persistentObjectLoadData();
    EXPECT_EQ(second.panel.lastFeedDesignSelected(), "Beta");
    second.DidFinishLaunching();
    EXPECT_EQ(second.target.applied, std::vector<QString>{"Beta"});
    EXPECT_EQ(server.Hits(QStringLiteral("/designs")), 0) << "designs were cached and the toggle is off";
}

TEST_F(DesignFeeds, ADesignTheFeedNoLongerListsIsNotAppliedAsAnEmptyLook) {
    CacheDesigns({"Alpha"});
    Launch launch(server);
    launch.panel.setLastFeedDesignSelected(QStringLiteral("Withdrawn"));
    launch.DidFinishLaunching();
    EXPECT_TRUE(launch.target.applied.empty());
    QAction stray(QStringLiteral("Withdrawn"));
    launch.panel.menuDedorodureroDesignsSelectItem(&stray);
    EXPECT_TRUE(launch.target.applied.empty());
    EXPECT_EQ(launch.panel.lastFeedDesignSelected(), "Withdrawn") << "the remembered choice is kept";

    // A stored entry applies its content; missing arguments or entries apply nothing.
    launch.panel.selectDictionaryDesign(FeedDesigns({"Stored"}), QStringLiteral("Stored"));
    launch.panel.selectDictionaryDesign(FeedDesigns({"Stored"}), QStringLiteral("Missing"));
    launch.panel.selectDictionaryDesign({}, QStringLiteral("Stored"));
    EXPECT_EQ(launch.target.applied, std::vector<QString>{"Stored"});
}

TEST_F(DesignFeeds, TheCheckOnStartupToggleFlipsAndIsKeptAcrossLaunches) {
    CacheDesigns({"Alpha"});
    {
        Launch first(server);
        first.DidFinishLaunching();
        EXPECT_FALSE(first.panel.checksNewDesignsOnStartup());
        first.check->trigger();
        EXPECT_TRUE(first.panel.checksNewDesignsOnStartup());
        first.check->trigger();
        first.check->trigger();
        EXPECT_TRUE(first.panel.checksNewDesignsOnStartup());
        first.panel.applicationWillTerminate(NSNotification());
    }
    server.Set(QStringLiteral("/designs"), {200, AtomDesigns({{"Alpha", QString()}})});
    Launch second(server);
    second.DidFinishLaunching();
    EXPECT_TRUE(second.panel.checksNewDesignsOnStartup());
    EXPECT_EQ(server.Hits(QStringLiteral("/designs")), 1);
}

// ---- The design browser

TEST_F(DesignFeeds, SteppingStopsAtTheEndsAndAppliesTheDesignAgain) {
    CacheDesigns({"Alpha", "Beta", "Gamma"});
    Launch launch(server);
    launch.DidFinishLaunching();
    ASSERT_EQ(launch.PopUpDesigns(), QStringList({"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(launch.browse.designName(), "") << "nothing selected yet";

    launch.browse.setDesignName(QStringLiteral("Beta"));
    EXPECT_EQ(launch.popUp->text(), "Beta");
    EXPECT_TRUE(launch.target.applied.empty()) << "setting the name performs nothing";

    struct Step {
        int by;
        const char *expected;
    };
    const Step steps[] = {{+1, "Gamma"}, {+1, "Gamma"}, {-1, "Beta"}, {-1, "Alpha"}, {-1, "Alpha"}};
    std::vector<QString> expectedApplied;
    for (const Step &step : steps) {
        if (step.by > 0) launch.browse.nextDesign(nullptr);
        else launch.browse.prevDesign(nullptr);
        EXPECT_EQ(launch.browse.designName(), step.expected);
        expectedApplied.push_back(QString::fromLatin1(step.expected));
    }
    EXPECT_EQ(launch.target.applied, expectedApplied) << "the last and first designs are applied again";
    EXPECT_EQ(launch.panel.lastFeedDesignSelected(), "Alpha");

    // A name the list does not hold selects nothing: no step, nothing applied.
    launch.browse.setDesignName(QStringLiteral("Unknown"));
    EXPECT_EQ(launch.browse.designName(), "");
    EXPECT_EQ(launch.popUp->text(), "Unknown");
    launch.browse.nextDesign(nullptr);
    launch.browse.reloadDesign(nullptr);
    EXPECT_EQ(launch.target.applied.size(), expectedApplied.size());
}

TEST_F(DesignFeeds, AFeedUpdateRebuildsTheMenusAndKeepsTheDesignShown) {
    server.Set(QStringLiteral("/designs"),
               {200, AtomDesigns({{"Beta", QString()}, {"Alpha", QString()}, {"Future", QStringLiteral("9.0")}})});
    server.Set(QStringLiteral("/more"), {200, AtomDesigns({})});
    Launch launch(server);
    launch.DidFinishLaunching();  // nothing cached: downloads
    ASSERT_TRUE(WaitUntil([&] { return launch.PopUpDesigns().size() == 2; }));
    EXPECT_EQ(launch.PopUpDesigns(), QStringList({"Alpha", "Beta"})) << "sorted; the later version's design hidden";
    EXPECT_EQ(launch.MenuDesigns(), QStringList({"Alpha", "Beta"}));
    EXPECT_TRUE(launch.popUp->isVisibleTo(&launch.panel));

    launch.browse.setDesignName(QStringLiteral("Beta"));
    server.Set(QStringLiteral("/designs"),
               {200, AtomDesigns({{"Beta", QString()}, {"Alpha", QString()}})});
    server.Set(QStringLiteral("/more"), {200, AtomDesigns({{"Gamma", QString()}})});
    launch.panel.menuDesignsRefreshWebFeeds(nullptr);
    ASSERT_TRUE(WaitUntil([&] { return launch.PopUpDesigns().size() == 3; }));
    EXPECT_EQ(launch.PopUpDesigns(), QStringList({"Alpha", "Beta", "Gamma"})) << "the update feed lies over the designs";
    EXPECT_EQ(launch.MenuDesigns(), QStringList({"Alpha", "Beta", "Gamma"}));
    EXPECT_EQ(launch.browse.designName(), "Beta");

    // Choosing from the rebuilt pop-up applies that design.
    launch.browse.designMenu()->actions().last()->trigger();
    EXPECT_EQ(launch.target.applied, std::vector<QString>{"Gamma"});

    // The designs are kept for the next launch.
    launch.panel.applicationWillTerminate(NSNotification());
    const std::optional<QVariantMap> saved = NSUIDesignFeed::designsDictionaryFromPrefs(QStringLiteral("Dedorodurero"));
    ASSERT_TRUE(saved.has_value());
    EXPECT_TRUE(saved->contains(QStringLiteral("Gamma")));
}

TEST_F(DesignFeeds, TheBrowserWithoutPopUpMenuOrFeedChangesNothing) {
    LumBrowseController bare;
    EXPECT_EQ(bare.designName(), "");
    bare.rebuildDesignNamePopUpButtonMenu();
    bare.nextDesign(nullptr);
    bare.reloadDesign(nullptr);

    Launch launch(server);  // no launch: no feed
    launch.browse.rebuildDesignNamePopUpButtonMenu();
    EXPECT_TRUE(launch.PopUpDesigns().isEmpty());
    launch.browse.nextDesign(nullptr);
    EXPECT_TRUE(launch.target.applied.empty());
}

// ---- The texture-matrix panel

TEST_F(DesignFeeds, TheMatrixDefaultsTable) {
    struct Row {
        const char *key;
        bool isSwitch;
        int switchDefault;
        const char *sliderDefault;
    };
    const Row expected[] = {{"outletTextureEnabled", true, 1, ""},          {"outletTextureFlippedX", true, 0, ""},
                            {"outletTextureFlippedY", true, 0, ""},         {"outletMatrixScaleSlider", false, 0, "0.5"},
                            {"outletMatrixAngleZSlider", false, 0, "0.0"},  {"outletMatrixAngleXSlider", false, 0, "0.0"},
                            {"outletMatrixAngleYSlider", false, 0, "0.0"},  {"outletMatrixTranslateXSlider", false, 0, "0.5"},
                            {"outletMatrixTranslateYSlider", false, 0, "0.5"}, {"outletMatrixTranslateZSlider", false, 0, "0.5"}};
    const auto &table = LumMatrixController::defaultsTable();
    ASSERT_EQ(table.size(), std::size(expected));
    for (std::size_t at = 0; at < table.size(); ++at) {
        EXPECT_STREQ(table[at].key, expected[at].key);
        EXPECT_EQ(table[at].isSwitch, expected[at].isSwitch) << expected[at].key;
        if (expected[at].isSwitch) EXPECT_EQ(table[at].switchDefault, expected[at].switchDefault) << expected[at].key;
        else EXPECT_EQ(table[at].sliderDefault, QString::fromLatin1(expected[at].sliderDefault)) << expected[at].key;
    }
}

std::unique_ptr<LumMatrixController> MatrixFromNib() {
    auto nib = NSNib::initWithNibNamed(QStringLiteral("LumMatrixController"));
    if (!nib) return nullptr;
    QList<QObject *> top;
    if (!nib->instantiateNibWithOwner(nullptr, &top) || top.isEmpty()) return nullptr;
    return std::unique_ptr<LumMatrixController>(qobject_cast<LumMatrixController *>(top.first()));
}

TEST_F(DesignFeeds, AFreshInstallationStartsWithTheMatrixDefaults) {
    std::unique_ptr<LumMatrixController> matrix = MatrixFromNib();
    ASSERT_NE(matrix, nullptr);
    for (const auto &row : LumMatrixController::defaultsTable()) ASSERT_NE(matrix->property(row.key).value<QObject *>(), nullptr) << row.key;
    // Scramble the panel, then launch with nothing stored.
    matrix->setProperty("outletTextureEnabled", matrix->property("outletTextureEnabled"));
    qobject_cast<QAbstractButton *>(matrix->_textureEnabled())->setChecked(false);
    qobject_cast<QAbstractButton *>(matrix->_textureFlippedX())->setChecked(true);
    qobject_cast<NSSlider *>(matrix->matrixAngleSlider())->setDoubleValue(0.7);
    qobject_cast<NSSlider *>(matrix->matrixScaleSlider())->setDoubleValue(0.9);
    matrix->applicationDidFinishLaunching(NSNotification());
    EXPECT_TRUE(matrix->textureEnabled());
    EXPECT_FALSE(matrix->textureFlippedX());
    EXPECT_FALSE(matrix->textureFlippedY());
    EXPECT_DOUBLE_EQ(qobject_cast<NSSlider *>(matrix->matrixScaleSlider())->doubleValue(), 0.5);
    EXPECT_DOUBLE_EQ(qobject_cast<NSSlider *>(matrix->matrixAngleSlider())->doubleValue(), 0.0);
    EXPECT_DOUBLE_EQ(qobject_cast<NSSlider *>(matrix->matrixTranslateXSlider())->doubleValue(), 0.5);
    EXPECT_NEAR(matrix->matrixTranslateYNormal(), 0.5f, 1e-6f);

    const std::shared_ptr<NSOGLNormalQuadMatrix> quad = matrix->layerQuadMatrices();
    ASSERT_NE(quad, nullptr);
    EXPECT_TRUE(quad->textureMatrixApply());
    EXPECT_TRUE(quad->modelViewMatrixApply());
}

TEST_F(DesignFeeds, TheMatrixPanelIsStoredAtQuitAndHostileValuesLoadAsDefaults) {
    {
        std::unique_ptr<LumMatrixController> matrix = MatrixFromNib();
        ASSERT_NE(matrix, nullptr);
        qobject_cast<QAbstractButton *>(matrix->_textureFlippedY())->setChecked(true);
        qobject_cast<NSSlider *>(matrix->matrixAngleXSlider())->setDoubleValue(0.25);
        matrix->applicationWillTerminate(NSNotification());
    }
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("outletTextureFlippedY")).toInt(), 1);
    EXPECT_EQ(defaults.objectForKey(QStringLiteral("outletMatrixAngleXSlider")).toString(), "0.25");
    // Outside data: texts that are no finite number and values of another kind.
    defaults.setObject(QStringLiteral("nan"), QStringLiteral("outletMatrixAngleZSlider"));
    defaults.setObject(QStringLiteral("inf"), QStringLiteral("outletMatrixTranslateXSlider"));
    defaults.setObject(QStringLiteral("wide"), QStringLiteral("outletMatrixScaleSlider"));
    defaults.setObject(QVariant(qlonglong(9)), QStringLiteral("outletMatrixTranslateZSlider"));
    defaults.setObject(QStringLiteral("on"), QStringLiteral("outletTextureEnabled"));

    std::unique_ptr<LumMatrixController> matrix = MatrixFromNib();
    ASSERT_NE(matrix, nullptr);
    matrix->applicationDidFinishLaunching(NSNotification());
    EXPECT_TRUE(matrix->textureFlippedY());
    EXPECT_TRUE(matrix->textureEnabled());
    EXPECT_DOUBLE_EQ(qobject_cast<NSSlider *>(matrix->matrixAngleXSlider())->doubleValue(), 0.25);
    EXPECT_DOUBLE_EQ(qobject_cast<NSSlider *>(matrix->matrixAngleSlider())->doubleValue(), 0.0);
    EXPECT_DOUBLE_EQ(qobject_cast<NSSlider *>(matrix->matrixTranslateXSlider())->doubleValue(), 0.5);
    EXPECT_DOUBLE_EQ(qobject_cast<NSSlider *>(matrix->matrixScaleSlider())->doubleValue(), 0.5);
    EXPECT_DOUBLE_EQ(qobject_cast<NSSlider *>(matrix->matrixTranslateZSlider())->doubleValue(), 0.5);
}

// ---- The background box and the inspector

class ImageReceiver : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void backgroundChanged(QObject *sender) { senders.push_back(sender); }
    std::vector<QObject *> senders;
};

TEST_F(DesignFeeds, TheBackgroundBoxShowsNamedPicturesAndReportsTheChange) {
    auto nib = NSNib::initWithNibNamed(QStringLiteral("CamBackgroundBox"));
    ASSERT_NE(nib, nullptr);
    QList<QObject *> top;
    ASSERT_TRUE(nib->instantiateNibWithOwner(nullptr, &top));
    std::unique_ptr<CamBackgroundBox> box(qobject_cast<CamBackgroundBox *>(top.first()));
    ASSERT_NE(box, nullptr);
    auto *view = qobject_cast<NSImageView *>(box->imageView());
    ASSERT_NE(view, nullptr);
    ImageReceiver receiver;
    view->setProperty("target", QVariant::fromValue<QObject *>(&receiver));
    view->setProperty("action", QByteArray("backgroundChanged:"));

    QImage pixels(4, 4, QImage::Format_ARGB32);
    pixels.fill(Qt::red);
    const std::shared_ptr<NSImage> picture = NSImage::imageWithQImage(pixels);
    ASSERT_TRUE(NSImage::setName(QStringLiteral("Feeds Test Background"), picture));

    EXPECT_FALSE(box->setImageNamed(QString()));
    EXPECT_FALSE(box->setImageNamed(QStringLiteral("No Such Background")));
    EXPECT_EQ(view->image(), nullptr);

    QMenu backgrounds;
    QAction *good = backgrounds.addAction(QStringLiteral("Feeds Test Background"));
    QAction *bad = backgrounds.addAction(QStringLiteral("No Such Background"));
    box->setImageNamedBySenderTitle(good);
    EXPECT_EQ(view->image(), picture);
    EXPECT_EQ(receiver.senders, std::vector<QObject *>{view});
    EXPECT_EQ(NSMenuItemQt::state(good), NSOnState);

    box->setImageNamedBySenderTitle(bad);
    EXPECT_EQ(receiver.senders.size(), 1u) << "a failure reports no change";
    EXPECT_EQ(NSMenuItemQt::state(bad), NSOnState) << "the item is marked either way";
    EXPECT_EQ(NSMenuItemQt::state(good), NSOffState);

    CamBackgroundBox bare;
    EXPECT_FALSE(bare.setImageNamed(QStringLiteral("Feeds Test Background"))) << "no image view";
    bare.imageChanged(nullptr);
    NSImage::setName(QStringLiteral("Feeds Test Background"), nullptr);
}

TEST_F(DesignFeeds, TheNibsConnectTheirOutlets) {
    auto browseNib = NSNib::initWithNibNamed(QStringLiteral("LumBrowseController"));
    ASSERT_NE(browseNib, nullptr);
    QList<QObject *> top;
    ASSERT_TRUE(browseNib->instantiateNibWithOwner(nullptr, &top));
    std::unique_ptr<LumBrowseController> browse(qobject_cast<LumBrowseController *>(top.first()));
    ASSERT_NE(browse, nullptr);
    EXPECT_NE(browse->designPopup(), nullptr);
    EXPECT_NE(browse->designMenu(), nullptr) << "the pop-up gets its menu at awakeFromNib";
    EXPECT_NE(browse->designSeparator(), nullptr);
    EXPECT_NE(browse->nextButton(), nullptr);
    EXPECT_NE(browse->prevButton(), nullptr);
    EXPECT_NE(browse->reloadButton(), nullptr);

    auto inspectorNib = NSNib::initWithNibNamed(QStringLiteral("AppInspector"));
    ASSERT_NE(inspectorNib, nullptr);
    top.clear();
    ASSERT_TRUE(inspectorNib->instantiateNibWithOwner(nullptr, &top));
    std::unique_ptr<AppInspector> inspector(qobject_cast<AppInspector *>(top.first()));
    ASSERT_NE(inspector, nullptr);
    EXPECT_NE(inspector->lumoraLayerController(), nullptr);
    EXPECT_FALSE(inspector->windowFlags() & Qt::WindowStaysOnTopHint);
}

}  // namespace

#include "DesignFeedsTests.moc"
