// The bookmarks controller over an array controller, a table and an editor (offscreen): taking,
// applying, duplicating and reading bookmarks, the clipboard, export and import files (with
// equal names and hostile files), and the list in the user defaults.
#include <UICocoaControls/NSUIBookmarksController.h>
#include <UICocoaControls/NSUITextViewTakesStringValue.h>

#include <CocoaFoundation/NSDictionaryPropertyListArchiving.h>
#include <UIParamMapping/ATOM_FEED.h>
#include <UIParamMapping/NSUIBookmarksTarget.h>
#include <UIParamMapping/NSUIDesignFeed.h>

#include <Foundation/NSPropertyList.h>
#include <Foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QTableView>

#include "../RiradITestApplication.h"
#include "support/TestFolders.h"

namespace {

// A target whose settings are one map: it answers them and takes what it is given.
class Target : public QObject, public protocol_NSUIBookmarksTarget {
    Q_OBJECT
public:
    bool setSettingsDictionary(const QVariantMap &given) override {
        applied.push_back(given);
        if (!given.isEmpty()) settings = given;
        return true;
    }
    QVariantMap currentSettingsDictionary(bool) override { return settings; }
    QString currentSettingsDictionaryName() override { return "My " + design; }

    QVariantMap settings{{"level", "0.5"}};
    QString design = "Warm";
    std::vector<QVariantMap> applied;
};

// A controller whose file dialogs answer set paths and whose reports are kept.
class Controller : public NSUIBookmarksController {
    Q_OBJECT
public:
    QString exportPath;
    QString importPath;
    QStringList reports;

protected:
    QString chooseExportFile() override { return exportPath; }
    QString chooseImportFile() override { return importPath; }
    void reportFileProblem(const QString &title, const QString &message) override { reports << title + ": " + message; }
};

class OtherController : public NSUIBookmarksController {
    Q_OBJECT
};

QVariantMap Preset(const QString &name, const QString &code) {
    return {{"presetNameString", name}, {"presetCodeString", code}};
}

QStringList Names(const QVariantList &list) {
    QStringList names;
    for (const QVariant &row : list) names << row.toMap().value("presetNameString").toString();
    return names;
}

QString Code(const QVariantMap &settings) { return protocol_NSUIBookmarksTarget::scriptFromDictionary(settings); }

class BookmarksControllerTest : public riradi_test::WithApplication, public ::testing::Test {
protected:
    void SetUp() override {
        NSUserDefaults::standardUserDefaults().removeObject(controller.presetDataSerializationKey());
        controller.setOutletArrayController(&arrayController);
        controller.setOutletTableView(&table);
        controller.setoutletTextView(&editor);
        controller.setOutletTarget(&target);
    }
    // The rows shown, in order.
    QStringList Rows() const { return Names(arrayController.arrangedObjects()); }
    void Select(qsizetype row) { arrayController.setSelectionIndexes(NSIndexSet{row}); }

    Target target;
    NSArrayController arrayController;
    QTableView table;
    NSUITextViewTakesStringValue editor;
    Controller controller;
    lumora::test::ScopedFolder folder{"bookmarks"};
};

TEST_F(BookmarksControllerTest, EachClassKeepsItsListUnderItsOwnKey) {
    EXPECT_EQ(controller.presetDataSerializationKey(), "ControllerpresetDataSerializationKey");
    NSUIBookmarksController base;
    EXPECT_EQ(base.presetDataSerializationKey(), "NSUIBookmarksControllerpresetDataSerializationKey");
    EXPECT_EQ(OtherController().presetDataSerializationKey(), "OtherControllerpresetDataSerializationKey");
    EXPECT_EQ(base.defaultXMLExportFileName(), "NSUIBookmarksController");
    EXPECT_EQ(base.presetNameDefaultValue(), "My Bookmark");
    EXPECT_FALSE(base.hasPresetsArray());
}

TEST_F(BookmarksControllerTest, TakesAndAppliesTheTargetsSettings) {
    controller.awakeFromNib();  // nothing stored: a first launch
    controller.actionAddNewPresetForCurrentPreset();
    controller.actionAddNewPresetForEmptyPreset();
    ASSERT_EQ(Rows(), (QStringList{"My Warm", "My Bookmark"}));
    const QVariantList rows = arrayController.arrangedObjects();
    EXPECT_EQ(rows[0].toMap().value("presetCodeString"), Code({{"level", "0.5"}}));
    EXPECT_EQ(rows[1].toMap().value("presetCodeString"), target.emptySettingsDictionaryScript());

    // The editor shows the selected bookmark, and applying it sets the target.
    Select(0);
    EXPECT_EQ(editor.string(), Code({{"level", "0.5"}}).replace("\r\n", "\n")) << "the editor's line breaks";
    target.settings = {{"level", "0.9"}};
    controller.actionPresetScriptApply();
    EXPECT_EQ(target.settings, (QVariantMap{{"level", "0.5"}}));

    // Editing the text edits the bookmark (its lines ended by CR LF again).
    editor.setString(Code({{"level", "0.1"}}));
    EXPECT_EQ(controller.selectedPreset()->value("presetCodeString"), Code({{"level", "0.1"}}));

    controller.applyPresetScriptToBookmarkTarget(Code({{"level", "0.7"}}));
    EXPECT_EQ(target.settings, (QVariantMap{{"level", "0.7"}}));
    const size_t applied = target.applied.size();
    controller.applyPresetScriptToBookmarkTarget(QString());
    EXPECT_EQ(target.applied.size(), applied) << "a null text applies nothing";

    // Without a target nothing is made or applied.
    controller.setOutletTarget(nullptr);
    controller.actionAddNewPresetForCurrentPreset();
    controller.actionPresetScriptApply();
    EXPECT_EQ(arrayController.arrangedObjects().size(), 2);
}

TEST_F(BookmarksControllerTest, DuplicateAndReadKeepTheirPlaceOnAFirstLaunch) {
    controller.awakeFromNib();
    ASSERT_FALSE(controller.hasPresetsArray()) << "nothing was stored";
    for (const char *name : {"A", "B", "C", "D"}) controller.addNewPresetForScript(Code({{"n", name}}), name);

    Select(0);
    controller.actionDuplicateCurrentPreset();
    EXPECT_EQ(Rows(), (QStringList{"A", "A 1", "B", "C", "D"}));
    EXPECT_EQ(arrayController.selectionIndex(), 1);
    controller.actionDuplicateCurrentPreset();
    EXPECT_EQ(Rows(), (QStringList{"A", "A 1", "A 1 1", "B", "C", "D"}));

    // Reading the target into the fourth bookmark keeps it fourth and keeps its name.
    Select(3);
    target.settings = {{"level", "read"}};
    controller.actionPresetScriptRead();
    EXPECT_EQ(Rows(), (QStringList{"A", "A 1", "A 1 1", "B", "C", "D"}));
    EXPECT_EQ(arrayController.arrangedObjects()[3].toMap().value("presetCodeString"), Code({{"level", "read"}}));
    EXPECT_EQ(arrayController.arrangedObjects()[4].toMap().value("presetCodeString"), Code({{"n", "C"}}));

    // No selection: both do nothing.
    arrayController.setAvoidsEmptySelection(false);
    arrayController.setSelectionIndexes(NSIndexSet());
    controller.actionDuplicateCurrentPreset();
    controller.actionPresetScriptRead();
    EXPECT_EQ(Rows().size(), 6);

    Select(5);
    controller.actionDeleteCurrentPreset();
    EXPECT_EQ(Rows(), (QStringList{"A", "A 1", "A 1 1", "B", "C"}));
}

TEST_F(BookmarksControllerTest, CopiesAndPastesSettingsAsText) {
    controller.awakeFromNib();
    QClipboard *clipboard = QGuiApplication::clipboard();
    controller.actionCopyToPasteboardAsText();
    EXPECT_EQ(clipboard->text(), Code({{"level", "0.5"}}));

    clipboard->setText(QString());
    controller.actionPasteFromPasteboardAsText();
    EXPECT_TRUE(Rows().isEmpty()) << "empty text adds nothing";

    clipboard->setText("any text at all");
    controller.actionPasteFromPasteboardAsText();
    ASSERT_EQ(Rows(), QStringList{"My Bookmark"});
    EXPECT_EQ(arrayController.arrangedObjects()[0].toMap().value("presetCodeString"), "any text at all");
}

TEST_F(BookmarksControllerTest, ExportKeepsBookmarksWithEqualNames) {
    controller.awakeFromNib();
    controller.addNewPresetForScript("a1", "A");
    controller.addNewPresetForScript("a2", "A");
    controller.addNewPresetForScript("a3", "A 2");  // the name a renamed copy would take
    controller.addNewPresetForScript("a4", "A");
    controller.addNewPresetForScriptDictionary(NSUIBookmarksController::newPresetWithScript("u", QString()));
    controller.addNewPresetForScript("m", "My Bookmark");

    const QVariantMap named = controller.allPresetsDictionaryWithNamedPresets();
    QVariantMap codes;
    for (auto entry = named.cbegin(); entry != named.cend(); ++entry) {
        EXPECT_EQ(entry.value().toMap().value("presetNameString"), entry.key()) << "the file's names agree";
        codes.insert(entry.key(), entry.value().toMap().value("presetCodeString"));
    }
    EXPECT_EQ(codes, (QVariantMap{{"A", "a1"}, {"A 3", "a2"}, {"A 2", "a3"}, {"A 4", "a4"}, {"My Bookmark 2", "u"},
                                  {"My Bookmark", "m"}}));

    // Through the export action and back through the import action into a fresh list.
    controller.exportPath = QString::fromStdString(folder.file("exported"));
    controller.actionExportXML();
    const QString written = controller.exportPath + ".plist";
    ASSERT_TRUE(QFile::exists(written)) << "the file type is added";

    NSArrayController otherRows;
    Controller other;
    other.setOutletArrayController(&otherRows);
    other.importPath = written;
    other.actionImportXML();
    EXPECT_TRUE(other.reports.isEmpty()) << other.reports.join("\n").toStdString();
    QVariantMap imported;
    for (const QVariant &row : otherRows.arrangedObjects())
        imported.insert(row.toMap().value("presetNameString").toString(), row.toMap().value("presetCodeString"));
    EXPECT_EQ(imported, codes);
}

TEST_F(BookmarksControllerTest, ImportTakesOnlyBookmarks) {
    controller.awakeFromNib();
    controller.addNewPresetForScript("kept", "Existing");
    const QString path = QString::fromStdString(folder.file("hostile.plist"));
    const QVariantMap designs{
        {"good", Preset("Good", "g")},
        {"number", 5},
        {"numberName", QVariantMap{{"presetNameString", 5}, {"presetCodeString", "x"}}},
        {"noCode", QVariantMap{{"presetNameString", "x"}}},
        {"listCode", QVariantMap{{"presetNameString", "x"}, {"presetCodeString", QVariantList{"a"}}}},
        {"extra", QVariantMap{{"presetNameString", "Extra"}, {"presetCodeString", "e"}, {"other", "dropped"}}},
        {"feedEntry", ATOM_FEED_ITEM::toVariant(ATOM_FEED_ITEM::atomFeedItemWithTitle("T", "c"))},
    };
    ASSERT_TRUE(NSUIDesignFeed::saveDesigns(designs, QUrl::fromLocalFile(path)));

    controller.importPath = path;
    controller.actionImportXML();
    EXPECT_EQ(Rows(), (QStringList{"Existing", "Extra", "Good"}));
    EXPECT_EQ(arrayController.arrangedObjects()[1].toMap(), Preset("Extra", "e")) << "only the two entries";
    ASSERT_EQ(controller.reports.size(), 1);
    for (const char *skipped : {"\"number\"", "\"numberName\"", "\"noCode\"", "\"listCode\"", "\"feedEntry\""})
        EXPECT_TRUE(controller.reports[0].contains(skipped)) << skipped;
    EXPECT_TRUE(controller.reports[0].contains("5 entries")) << controller.reports[0].toStdString();

    // Damaged, foreign and missing files: a clear error and nothing changes.
    struct Case {
        const char *name;
        std::string content;
    };
    const Case cases[] = {
        {"garbage.plist", "\x01\x02 not a property list"},
        {"truncated.plist", PropertyListArchiving::propertyListData(designs).left(200).toStdString()},
        {"plain-list.plist", NSPropertyListSerialization::dataWithPropertyList(QVariantList{Preset("x", "y")}).toStdString()},
    };
    for (const Case &file : cases) {
        controller.reports.clear();
        controller.importPath = QString::fromStdString(folder.file(file.name));
        ASSERT_TRUE(lumora::test::WriteFile(folder.file(file.name), file.content));
        controller.actionImportXML();
        EXPECT_EQ(Rows(), (QStringList{"Existing", "Extra", "Good"})) << file.name;
        ASSERT_EQ(controller.reports.size(), 1) << file.name;
        EXPECT_TRUE(controller.reports[0].startsWith("Import failed: Nothing was imported")) << file.name;
    }
    QString error;
    EXPECT_FALSE(controller.importPresetsFromFile(QString::fromStdString(folder.file("missing.plist")), nullptr, &error));
    EXPECT_TRUE(error.contains("cannot be read")) << error.toStdString();

    controller.reports.clear();
    controller.importPath.clear();
    controller.actionImportXML();
    EXPECT_TRUE(controller.reports.isEmpty()) << "a cancelled dialog does nothing";
}

TEST_F(BookmarksControllerTest, TheListSurvivesInTheUserDefaults) {
    controller.awakeFromNib();
    controller.addNewPresetForScript("a", "A");
    controller.addNewPresetForScript("b", "B");
    ASSERT_TRUE(controller.savePresetsToUserDefaults());

    // A later launch: the stored file read by a defaults object of its own, then a new controller.
    NSUserDefaults onDisk(NSUserDefaults::standardUserDefaults().applicationIdentifier());
    EXPECT_FALSE(onDisk.dataForKey("ControllerpresetDataSerializationKey").isEmpty());
    NSArrayController rows;
    Controller next;
    next.setOutletArrayController(&rows);
    next.awakeFromNib();
    EXPECT_EQ(Names(rows.arrangedObjects()), (QStringList{"A", "B"}));

    // An emptied list stays empty.
    arrayController.setContent({});
    ASSERT_TRUE(controller.savePresetsToUserDefaults());
    next.loadPresetsFromUserDefaults();
    EXPECT_TRUE(next.hasPresetsArray());
    EXPECT_TRUE(next.presetsArray().isEmpty());

    // Rows that are no bookmarks are left out; unreadable data clears the loaded list.
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    defaults.setObject(NSPropertyListSerialization::dataWithPropertyList(
                           QVariantList{Preset("ok", "1"), 7, QVariantMap{{"presetNameString", "no code"}}}),
                       "ControllerpresetDataSerializationKey");
    next.loadPresetsFromUserDefaults();
    EXPECT_EQ(Names(next.presetsArray()), QStringList{"ok"});
    defaults.setObject(QByteArray("<plist><array><dict>"), "ControllerpresetDataSerializationKey");
    next.loadPresetsFromUserDefaults();
    EXPECT_FALSE(next.hasPresetsArray());
    defaults.setObject(QString("text"), "ControllerpresetDataSerializationKey");
    next.setPresetsArray({Preset("x", "y")});
    next.loadPresetsFromUserDefaults();
    EXPECT_FALSE(next.hasPresetsArray());
    defaults.removeObject("ControllerpresetDataSerializationKey");
    next.setPresetsArray({Preset("x", "y")});
    next.loadPresetsFromUserDefaults();
    EXPECT_EQ(Names(next.presetsArray()), QStringList{"x"}) << "nothing stored leaves the list as it was";

    NSUIBookmarksController bare;
    EXPECT_FALSE(bare.savePresetsToUserDefaults()) << "no array controller";
}

}  // namespace

#include "BookmarksControllerTest.moc"
