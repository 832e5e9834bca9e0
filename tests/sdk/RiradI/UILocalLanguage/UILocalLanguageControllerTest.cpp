#include <UILocalLanguage/UILocalLanguageBinding.h>
#include <UILocalLanguage/UILocalLanguageController.h>
#include <UILocalLanguage/UILocalLanguageStringID.h>

#include <CocoaFoundation/PersistentKeyPaths.h>
#include <CocoaFoundation/UPersistentObjectsController.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSObject.h>

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>

#include <algorithm>
#include <memory>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

// Static string IDs, entered before main. The second entry of one ID replaces the first.
const UILocalLanguageStringID kReplacedFirst("test.static.replaced", "first text");
const UILocalLanguageStringID kReplacedSecond("test.static.replaced", "second text");
const UILocalLanguageStringID kFrench("test.static.french", "Fran\xC3\xA7" "ais");
const UILocalLanguageStringID kStaticBeforeBinding("test.static.bound", "from the table");

UILocalLanguageController *Controller() { return UILocalLanguageController::language(); }

// Records every key-value notification it gets, with the text the controller gives then.
class Recorder : public NSObject {
public:
    explicit Recorder(std::vector<QString> *events) : mEvents(events) {}
    void observeValueForKeyPath(const QString &keyPath, QObject *, const QVariantMap &change, void *) override {
        mEvents->push_back(QStringLiteral("kvo %1=%2").arg(keyPath, change.value(NSKeyValueChangeNewKey).toString()));
    }

private:
    std::vector<QString> *mEvents;
};

class UILocalLanguageControllerTest : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ASSERT_NE(Controller(), nullptr);
        Controller()->setSettingsDictionary({});
    }
    void TearDown() override { Controller()->setSettingsDictionary({}); }
};

TEST_F(UILocalLanguageControllerTest, OneSharedInstanceUnderEveryName) {
    UILocalLanguageController *shared = Controller();
    EXPECT_EQ(UILocalLanguageController::language(), shared);
    EXPECT_EQ(UNibSingleton::allocInit<UILocalLanguageController>(), shared);
    EXPECT_EQ(UNibSingleton::allocInit<UFLocalLanguageController>(), shared);
    EXPECT_EQ(NSClassCreateInstance(NSClassFromString("UFLocalLanguageController")), shared);
    EXPECT_EQ(UILocalLanguageController::instanceKey(), "UILocalLanguageController");
}

TEST_F(UILocalLanguageControllerTest, StaticTableEntersDefaultsAndTheLaterEntryWins) {
    EXPECT_EQ(UILocalLanguageStringTable::defaultTexts().at("test.static.replaced"), "second text");
    EXPECT_EQ(Controller()->nibDefaults().value("test.static.replaced").toString(), "second text");
    EXPECT_EQ(UILocalLanguageStringWithID(kReplacedFirst), "second text");

    // The accessors convert from and to UTF-8, in the selected language too.
    EXPECT_EQ(UILocalLanguageStringWithID(kFrench), QString::fromUtf8("Fran\xC3\xA7" "ais"));
    EXPECT_EQ(UILocalLanguageStringWithIDUTF8(kFrench), "Fran\xC3\xA7" "ais");
    Controller()->setSettingsDictionary({{"test.static.french", QString::fromUtf8("Franz\xC3\xB6sisch")}});
    EXPECT_EQ(UILocalLanguageStringWithIDUTF8(kFrench), "Franz\xC3\xB6sisch");
}

TEST_F(UILocalLanguageControllerTest, LookupPrecedence) {
    UILocalLanguageController::registerDefaultValue("default both", "precedence.both");
    UILocalLanguageController::registerDefaultValue("default only", "precedence.defaultOnly");
    UILocalLanguageController::registerDefaultValue("default of emptied", "precedence.emptied");
    Controller()->setSettingsDictionary({{"precedence.both", "selected both"},
                                         {"precedence.selectionOnly", "selected only"},
                                         {"precedence.emptied", ""}});
    struct Case {
        const char *stringID;
        QString selected;  // with the selection above
        QString reset;     // after resetting to the US English defaults
    };
    const Case cases[] = {
        {"precedence.both", "selected both", "default both"},
        {"precedence.defaultOnly", "default only", "default only"},
        {"precedence.selectionOnly", "selected only", QString()},
        {"precedence.emptied", "", "default of emptied"},  // an empty selected text still wins
        {"precedence.none", QString(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stringID);
        const QString text = UILocalLanguageController::stringWithID(c.stringID);
        EXPECT_EQ(text, c.selected);
        EXPECT_EQ(text.isNull(), c.selected.isNull());
    }
    Controller()->actionResetLanguageToDefaultUSEnglishLocalization(nullptr);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stringID);
        const QString text = UILocalLanguageController::stringWithID(c.stringID);
        EXPECT_EQ(text, c.reset);
        EXPECT_EQ(text.isNull(), c.reset.isNull());
    }
    // A key path naming a value of the controller answers that value.
    EXPECT_EQ(Controller()->valueForKeyPath("current").toMap(), Controller()->nibDefaults());
}

TEST_F(UILocalLanguageControllerTest, RequestedKeyPathsRecordEveryAsk) {
    EXPECT_TRUE(UILocalLanguageController::stringWithID("requested.unknown.id").isNull());
    EXPECT_TRUE(Controller()->requestedKeyPaths().contains("requested.unknown.id"));

    EXPECT_FALSE(Controller()->valueForKey("requestedSingleKey").isValid());
    EXPECT_FALSE(NSKeyValueCoding::valueForKey(Controller(), "current").isValid());
    EXPECT_TRUE(Controller()->requestedKeyPaths().contains("requestedSingleKey"));
    EXPECT_EQ(Controller()->valueForUndefinedKey("zz").toString(), "valueForUndefinedKey:zz");

    // Binding walks the ID from its root key: both are asked.
    QLabel label("text");
    UILocalLanguageBinding::bind(&label, "text", "requestedroot.label");
    EXPECT_TRUE(Controller()->requestedKeyPaths().contains("requestedroot"));
    EXPECT_TRUE(Controller()->requestedKeyPaths().contains("requestedroot.label"));
}

TEST_F(UILocalLanguageControllerTest, FirstRecordedDefaultWins) {
    // Defaults last as long as the process: fresh IDs for each run of the test.
    static int run = 0;
    const QString prefix = QStringLiteral("first%1.").arg(++run);
    EXPECT_TRUE(UILocalLanguageController::registerDefaultValue("registered", prefix + "registered"));
    EXPECT_FALSE(UILocalLanguageController::registerDefaultValue("again", prefix + "registered"));
    EXPECT_EQ(UILocalLanguageController::stringWithIDDefaultValue(prefix + "registered", "later"), "registered");
    EXPECT_EQ(UILocalLanguageController::stringWithIDDefaultValue(prefix + "asked", "asked"), "asked");
    EXPECT_FALSE(Controller()->recordKeyPath(prefix + "nil", QVariant()));

    // Two elements binding one ID with different texts: the first one's text is the default,
    // and both show it.
    QLabel first("Open");
    QPushButton second("Open the file");
    UILocalLanguageBinding::bind(&first, "text", prefix + "bound.open");
    UILocalLanguageBinding::bind(&second, "text", prefix + "bound.open");
    EXPECT_EQ(Controller()->nibDefaults().value(prefix + "bound.open").toString(), "Open");
    EXPECT_EQ(second.text(), "Open");

    // The static table is recorded before any element binds.
    QLabel bound("from the nib");
    UILocalLanguageBinding::bind(&bound, "text", "test.static.bound");
    EXPECT_EQ(bound.text(), "from the table");
}

TEST_F(UILocalLanguageControllerTest, CaptureAsksTitleStringValueThenTheBoundProperty) {
    QGroupBox box("Group title");
    QLineEdit edit;
    edit.setText("typed");
    edit.setPlaceholderText("Search");
    QLabel label("Keep me");
    UILocalLanguageBinding::bind(&box, "title", "capture.box");
    UILocalLanguageBinding::bind(&edit, "placeholderText", "capture.edit");
    // The last component names a slot that answers nothing: it is never sent.
    UILocalLanguageBinding::bind(&label, "text", "capture.clear");
    // The last component names a property of the element: its value is the default.
    QLabel named("label text");
    named.setObjectName("objectNameValue");
    UILocalLanguageBinding::bind(&named, "text", "capture.objectName");

    const QVariantMap defaults = Controller()->nibDefaults();
    EXPECT_EQ(defaults.value("capture.box").toString(), "Group title");
    EXPECT_EQ(defaults.value("capture.edit").toString(), "Search");
    EXPECT_EQ(defaults.value("capture.clear").toString(), "Keep me");
    EXPECT_EQ(label.text(), "Keep me");
    EXPECT_EQ(defaults.value("capture.objectName").toString(), "objectNameValue");
    EXPECT_EQ(edit.text(), "typed");
}

TEST_F(UILocalLanguageControllerTest, OneNotificationPairPerChangeAroundTheRootKeySends) {
    std::vector<QString> events;
    Recorder recorder(&events);
    Controller()->setSettingsDictionary({{"n.u", "old n"}});
    Controller()->addObserver(&recorder, "m.t", NSKeyValueObservingOptionNew);
    Controller()->addObserver(&recorder, "n.u", NSKeyValueObservingOptionNew);
    Controller()->addObserver(&recorder, "o.v", NSKeyValueObservingOptionNew);  // root key not affected

    NSNotificationCenter &center = NSNotificationCenter::defaultCenter();
    const auto will = center.addObserverForName(UILocalLanguageControllerWillChangeLanguage, Controller(),
                                                [&](const NSNotification &) {
        events.push_back("will n.u=" + UILocalLanguageController::stringWithID("n.u"));
    });
    const auto did = center.addObserverForName(UILocalLanguageControllerDidChangeLanguage, Controller(),
                                               [&](const NSNotification &) {
        events.push_back("did m.t=" + UILocalLanguageController::stringWithID("m.t"));
    });
    EXPECT_TRUE(Controller()->setSettingsDictionary({{"m.t", "new m"}}));
    center.removeObserver(will);
    center.removeObserver(did);
    Controller()->removeObserver(&recorder, "m.t");
    Controller()->removeObserver(&recorder, "n.u");
    Controller()->removeObserver(&recorder, "o.v");

    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events.front(), "will n.u=old n");
    EXPECT_EQ(events.back(), "did m.t=new m");
    std::vector<QString> sends(events.begin() + 1, events.end() - 1);
    std::sort(sends.begin(), sends.end());
    EXPECT_EQ(sends, (std::vector<QString>{"kvo m.t=new m", "kvo n.u="}));
}

TEST_F(UILocalLanguageControllerTest, RootKeys) {
    EXPECT_EQ(UILocalLanguageController::rootKeyForKeyPath("app.string.x"), "app");
    EXPECT_EQ(UILocalLanguageController::rootKeyForKeyPath("single"), "single");
    EXPECT_EQ(UILocalLanguageController::rootKeyForKeyPath(""), "");
    EXPECT_EQ(UILocalLanguageController::rootKeysForAllKeyPaths({"a.b", "a.c", "d"}), (QSet<QString>{"a", "d"}));
    EXPECT_EQ(UILocalLanguageController::selectorFromKeyPath("a.b.title"), "title");
    EXPECT_EQ(UILocalLanguageController::selectorFromKeyPath("title"), "title");
    EXPECT_TRUE(UILocalLanguageController::selectorFromKeyPath("").isNull());
}

TEST_F(UILocalLanguageControllerTest, LanguageChangeRetitlesBoundElements) {
    QLabel label("Hello");
    QPushButton button("Quit");
    QGroupBox box("Options");
    QStandardItemModel model(0, 2);
    model.setHorizontalHeaderLabels({"Name", "Size"});
    UILocalLanguageTableColumn column(&model, 1);
    UILocalLanguageTableColumn missing(&model, 5);
    QMenu menu("Language");
    QMenu submenu("Language");
    UILocalLanguageNSMenuItem item("Language", &menu);
    item.setMenu(&submenu);
    menu.addAction(&item);
    auto gone = std::make_unique<QLabel>("Gone");

    UILocalLanguageBinding::bind(&label, "text", "change.label.hello");
    UILocalLanguageBinding::bind(&button, "text", "change.button.quit");
    UILocalLanguageBinding::bind(&box, "title", "change.box.options");
    UILocalLanguageBinding::bind(&column, "headerTitle", "change.column.size");
    UILocalLanguageBinding::bind(&missing, "headerTitle", "change.column.missing");
    UILocalLanguageBinding::bind(&item, "title", "change.menu.language");
    UILocalLanguageBinding::bind(gone.get(), "text", "change.label.gone");
    gone.reset();  // its binding goes with it

    EXPECT_EQ(Controller()->nibDefaults().value("change.column.size").toString(), "Size");
    EXPECT_EQ(Controller()->nibDefaults().value("change.column.missing").toString(), "");

    Controller()->setSettingsDictionary({{"change.label.hello", "Bonjour"},
                                         {"change.button.quit", "Quitter"},
                                         {"change.box.options", "Réglages"},
                                         {"change.column.size", "Taille"},
                                         {"change.column.missing", "Rien"},
                                         {"change.menu.language", "Langue"},
                                         {"change.label.gone", "Parti"}});
    EXPECT_EQ(label.text(), "Bonjour");
    EXPECT_EQ(button.text(), "Quitter");
    EXPECT_EQ(box.title(), QString::fromUtf8("Réglages"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Taille");
    EXPECT_EQ(column.headerTitle(), "Taille");
    EXPECT_EQ(missing.headerTitle(), "");
    EXPECT_EQ(item.text(), "Langue");
    EXPECT_EQ(menu.title(), "Langue");
    EXPECT_EQ(submenu.title(), "Langue");

    // A shared selection whose text is no text leaves the element as it is.
    Controller()->setSettingsDictionary({{"change.label.hello", QVariantMap{{"x", 1}}}});
    EXPECT_EQ(label.text(), "Bonjour");

    // Back to the defaults the elements showed when they bound.
    Controller()->actionResetLanguageToDefaultUSEnglishLocalization(nullptr);
    EXPECT_EQ(label.text(), "Hello");
    EXPECT_EQ(button.text(), "Quit");
    EXPECT_EQ(box.title(), "Options");
    EXPECT_EQ(column.headerTitle(), "Size");
    EXPECT_EQ(submenu.title(), "Language");

    // An unbound element no longer follows.
    UILocalLanguageBinding::unbind(&label, "text");
    EXPECT_EQ(UILocalLanguageBinding::bindingOf(&label, "text"), nullptr);
    Controller()->setSettingsDictionary({{"change.label.hello", "Hallo"}, {"change.button.quit", "Beenden"}});
    EXPECT_EQ(label.text(), "Hello");
    EXPECT_EQ(button.text(), "Beenden");
}

TEST_F(UILocalLanguageControllerTest, BookmarkTargetOperations) {
    UILocalLanguageController::registerDefaultValue("Save", "bookmark.save");
    EXPECT_TRUE(Controller()->setSettingsDictionaryScript("com.tarvex.bookmark.begin;\r\nbookmark.save=Sichern;\r\n"
                                                          "com.tarvex.bookmark.end;\r\n"));
    EXPECT_EQ(UILocalLanguageController::stringWithID("bookmark.save"), "Sichern");
    EXPECT_EQ(Controller()->currentSettingsDictionary(true), (QVariantMap{{"bookmark.save", "Sichern"}}));
    EXPECT_EQ(Controller()->currentSettingsDictionaryName(), "UI for " + UILocalLanguageController::currentLocaleID());
    EXPECT_TRUE(Controller()->defaultsForUSEnglishLocalization().contains("bookmark.save=Save;\r\n"));
    EXPECT_EQ(Controller()->defaultValueForKeyPathInCurrentLocale("bookmark.save"), QVariant());
}

TEST_F(UILocalLanguageControllerTest, SelectionPersistsUnderTheInstanceKey) {
    UPersistentObjectsController *registry = UPersistentObjectsController::sharedPersistentObjectsController();
    const std::vector<QObject *> members = registry->objects();
    EXPECT_NE(std::find(members.begin(), members.end(), Controller()), members.end());
    EXPECT_EQ(Controller()->persistenceObjectKey(), "UILocalLanguageController");
    EXPECT_EQ(Controller()->persistentObjectKeyPaths(), QSet<QString>{"persistentSettings"});

    Controller()->setSettingsDictionary({{"persist.title", "Titel"}});
    Controller()->persistentObjectSaveData();
    EXPECT_EQ(PersistentKeyPaths::loadPersistentObjectDataForKey("UILocalLanguageController"),
              (QVariantMap{{"persistentSettings", QVariantMap{{"persist.title", "Titel"}}}}));

    QLabel label("Title");
    UILocalLanguageBinding::bind(&label, "text", "persist.title");
    Controller()->setSettingsDictionary({});
    EXPECT_EQ(label.text(), "Title");
    Controller()->persistentObjectLoadData();
    EXPECT_EQ(Controller()->current(), (QVariantMap{{"persist.title", "Titel"}}));
    EXPECT_EQ(label.text(), "Titel");
}

}  // namespace
