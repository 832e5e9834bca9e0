#include <UIParamMapping/NSUIBookmarksTarget.h>
#include <UIParamMapping/NSUIDesignCodes.h>
#include <UIParamMapping/NSUIPersistentPrefs.h>

#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSUserDefaults.h>

#include <functional>
#include <vector>

#include <gtest/gtest.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

// A target that keeps what it is given and answers fixed settings.
class Target : public QObject, public protocol_NSUIBookmarksTarget {
    Q_OBJECT
public:
    bool setSettingsDictionary(const QVariantMap &settings) override {
        applied.push_back(settings);
        return answer;
    }
    QVariantMap currentSettingsDictionary(bool includeAllParameters) override {
        QVariantMap settings{{"bookmark.version", 1}, {"name", "a=b; c"}};
        if (includeAllParameters) settings.insert("extra", 0.5);
        return settings;
    }
    std::vector<QVariantMap> applied;
    bool answer = true;
};

class TextField : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QString stringValue() const { return text; }
    Q_INVOKABLE void setStringValue(const QString &value) { text = value; }
    QString text;
};

class TableWithSource : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject *dataSource MEMBER dataSource)
public:
    QObject *dataSource = nullptr;
};

TEST(BookmarksTarget, DefaultsOfEveryTarget) {
    protocol_NSUIBookmarksTarget plain;
    EXPECT_FALSE(plain.setSettingsDictionary({{"a", "1"}}));
    EXPECT_EQ(plain.currentSettingsDictionary(true), (QVariantMap{{"com.tarvex.version", 1}}));
    EXPECT_EQ(plain.currentSettingsDictionaryName(),
              "NSObject(protocol_NSUIBookmarksTarget)::currentSettingsDictionaryName");
    EXPECT_EQ(plain.emptySettingsDictionaryScript(),
              "com.tarvex.bookmark.begin;\r\ncom.tarvex.version=1;\r\ncom.tarvex.bookmark.end;\r\n");
}

TEST(BookmarksTarget, ScriptsTravelBothWays) {
    Target target;
    const QString script = target.currentSettingsDictionaryScript();
    EXPECT_EQ(script, "com.tarvex.bookmark.begin;\r\nbookmark.version=1;\r\nname=a\\=b\\; c;\r\n"
                      "com.tarvex.bookmark.end;\r\n");
    EXPECT_TRUE(target.currentSettingsDictionaryScript(true).contains("extra=0.5;"));

    EXPECT_TRUE(target.setSettingsDictionaryScript(script));
    ASSERT_EQ(target.applied.size(), 1u);
    EXPECT_EQ(target.applied[0], (QVariantMap{{"bookmark.version", "1"}, {"name", "a=b; c"}}));

    // A text without entries passes an empty dictionary and answers the target's answer.
    target.answer = false;
    EXPECT_FALSE(target.setSettingsDictionaryScript("no entries"));
    EXPECT_TRUE(target.applied.back().isEmpty());
    EXPECT_FALSE(target.setSettingsDictionaryScript(QString()));
    EXPECT_EQ(target.applied.size(), 2u);

    TextField field;
    target.pushSettingsDictionaryScriptTo(&field);
    EXPECT_EQ(field.text, script);
    target.pushSettingsDictionaryScriptTo(nullptr);

    field.text = "x=1;";
    target.takeSettingsDictionaryScriptFrom(&field);
    EXPECT_EQ(target.applied.back(), (QVariantMap{{"x", "1"}}));
    TableWithSource table;
    target.takeSettingsDictionaryScriptFrom(&table);  // no data source: nothing
    EXPECT_EQ(target.applied.size(), 3u);
    table.dataSource = &field;
    field.text = "y=2;";
    target.takeSettingsDictionaryScriptFrom(&table);
    EXPECT_EQ(target.applied.back(), (QVariantMap{{"y", "2"}}));
    field.text.clear();
    target.takeSettingsDictionaryScriptFrom(&field);  // empty text: nothing
    QObject mute;
    target.takeSettingsDictionaryScriptFrom(&mute);
    EXPECT_EQ(target.applied.size(), 4u);
}

TEST(NSUIPersistentPrefs, LoadsStoredValuesOfTheExpectedKindOnly) {
    NSUserDefaultSaveObject("prefs.count", 12);
    EXPECT_EQ(NSUserDefaultLoadKind("prefs.count", 3), 12);
    EXPECT_DOUBLE_EQ(NSUserDefaultLoadKind("prefs.count", 0.5), 12.0);
    EXPECT_EQ(NSUserDefaultLoadKind("prefs.count", QStringLiteral("default")), "default");
    EXPECT_EQ(NSUserDefaultLoadKind("prefs.missing", 3), 3);

    NSUserDefaults::standardUserDefaults().setObject(QStringLiteral("text"), "prefs.text");
    EXPECT_EQ(NSUserDefaultLoadKind("prefs.text", 5), 5);  // a string where a number is expected
    EXPECT_EQ(NSUserDefaultLoadKind("prefs.text", QStringLiteral("d")), "text");

    // A null key is reported; nothing is stored and the default comes back.
    NSUserDefaultSaveObject(nullptr, 1);
    EXPECT_EQ(NSUserDefaultLoadKind(nullptr, 4), 4);
    NSUserDefaultSaveObject("prefs.menu", nullptr);
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults().objectForKey("prefs.menu").isValid());
}

class MenuItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString title MEMBER title)
public:
    QString title;
};

class ExclusiveMenu : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject *exclusiveSelection MEMBER exclusiveSelection)
public:
    QObject *exclusiveSelection = nullptr;
};

TEST(NSUIPersistentPrefs, SavesTheTitleOfTheMenusSelection) {
    ExclusiveMenu menu;
    NSUserDefaultSaveObject("prefs.menu.title", &menu);  // no selection: nothing
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults().objectForKey("prefs.menu.title").isValid());
    MenuItem item;
    item.title = "Large";
    menu.exclusiveSelection = &item;
    NSUserDefaultSaveObject("prefs.menu.title", &menu);
    EXPECT_EQ(NSUserDefaultLoadKind("prefs.menu.title", QString()), "Large");
    // Saved for good: a fresh reader of the file sees it.
    NSUserDefaults reader(NSUserDefaults::standardUserDefaults().applicationIdentifier());
    EXPECT_EQ(reader.stringForKey("prefs.menu.title"), "Large");
}


// Any value is stored as it is; a nil value, a null menu and a menu without a selected title
// are each reported as "inObject" and store nothing.
class NSUIPersistentPrefsReports : public corex_test::DebugLogFileTest {};

TEST_F(NSUIPersistentPrefsReports, StoresValuesAndReportsWhatHasNone) {
    NSUserDefaultSaveObject("prefs.object", QVariant(QStringLiteral("plain")));
    EXPECT_EQ(NSUserDefaultLoadKind("prefs.object", QString()), "plain");
    NSUserDefaultSaveObject("prefs.object", QVariant(2.5));
    EXPECT_DOUBLE_EQ(NSUserDefaultLoadKind("prefs.object", 0.0), 2.5);
    EXPECT_EQ(LogText(), "");

    ExclusiveMenu menu;
    const std::vector<std::function<void()>> nothingToStore = {
        [] { NSUserDefaultSaveObject("prefs.object", QVariant()); },
        [] { NSUserDefaultSaveObject("prefs.object", static_cast<QObject *>(nullptr)); },
        [&] { NSUserDefaultSaveObject("prefs.object", &menu); },
    };
    for (std::size_t index = 0; index < nothingToStore.size(); ++index) {
        SCOPED_TRACE(index);
        ClearLog();
        nothingToStore[index]();
        EXPECT_NE(LogText().find("VERIFY FAILED: inObject in "), std::string::npos) << LogText();
        EXPECT_DOUBLE_EQ(NSUserDefaultLoadKind("prefs.object", 0.0), 2.5);
    }
}

}  // namespace

#include "BookmarksTargetTest.moc"
