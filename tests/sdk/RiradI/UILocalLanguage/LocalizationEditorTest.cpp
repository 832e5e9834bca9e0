// The row editor of the selected language: rows from the selected bookmark's code string,
// editing, writing back and reverting, and what a bookmark without a code string does to it.
#include <UILocalLanguage/UILocalizationEditorArrayController.h>

#include <CocoaFoundation/NSUIDNDArrayController.h>
#include <Foundation/NSKeyValueCoding.h>
#include <UIParamMapping/NSUIDesignCodes.h>

#include <gtest/gtest.h>

#include <functional>

#include <QTableView>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

QVariantMap Bookmark(const QString &name, const QString &code) {
    return {{"presetNameString", name}, {"presetCodeString", code}};
}

QString Code(const QVariantMap &settings) { return NSUIDesignCodes::codeStringFromDictionary(settings); }

QString CodeOfRow(NSArrayController &controller, int row) {
    return controller.content().at(row).toMap().value("presetCodeString").toString();
}

// A bookmarks array controller of three languages and an editor that follows it.
class LocalizationEditor : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        bookmarks.setContent({Bookmark("French", Code(french)), Bookmark("Empty", ""),
                              Bookmark("German", Code(german))});
        bookmarks.setSelectionIndexes({0});
        editor.setOutletArrayController(&bookmarks);
        editor.setOutletTableView(&table);
        editor.awakeFromNib();
    }

    QStringList RowIDs() const {
        QStringList ids;
        for (int row = 0; row < editor.numberOfRowsInTableView(); ++row)
            ids << editor.tableViewObjectValue("propertyKeyPath", row).toString();
        return ids;
    }

    const QVariantMap french{{"b.title", "Titre"}, {"A.ok", "D'accord"}, {"c.cancel", "Annuler"}};
    const QVariantMap german{{"b.title", "Titel"}};
    NSUIDNDArrayController bookmarks;
    QTableView table;
    UILocalizationEditorArrayController editor;
};

TEST_F(LocalizationEditor, SelectionBuildsSortedRowsAndTheTableShowsThem) {
    EXPECT_EQ(RowIDs(), (QStringList{"A.ok", "b.title", "c.cancel"}));
    EXPECT_EQ(editor.tableViewObjectValue("propertyKeyValue", 1).toString(), "Titre");
    EXPECT_EQ(editor.tableViewObjectValue("propertyKeyValue", 7).toString(), "");
    EXPECT_EQ(table.model(), &editor);
    EXPECT_EQ(editor.headerData(0, Qt::Horizontal).toString(), "String ID");
    EXPECT_EQ(editor.arrangedObjectsDictionary(), french);
    EXPECT_EQ(editor.arrangedObjectsStringValueSaved(), Code(french));
    EXPECT_FALSE(editor.arrangedObjectsDirty());
    EXPECT_TRUE(editor.canUpdateValues());

    bookmarks.setSelectionIndexes({2});
    EXPECT_EQ(RowIDs(), QStringList{"b.title"});
}

TEST_F(LocalizationEditor, OnlyTextsAreEditableAndEditingMarksDirty) {
    int stateChanges = 0;
    QObject::connect(&editor, &UILocalizationEditorArrayController::editorStateChanged, [&] { ++stateChanges; });
    EXPECT_FALSE(editor.tableViewSetObjectValue("x.renamed", "propertyKeyPath", 0));
    EXPECT_FALSE(editor.arrangedObjectsDirty());
    EXPECT_FALSE(editor.flags(editor.index(0, 0)).testFlag(Qt::ItemIsEditable));
    EXPECT_TRUE(editor.flags(editor.index(0, 1)).testFlag(Qt::ItemIsEditable));

    // Through the Qt model, as the table's delegate edits.
    EXPECT_TRUE(editor.setData(editor.index(1, 1), "Le titre", Qt::EditRole));
    EXPECT_TRUE(editor.arrangedObjectsDirty());
    EXPECT_GE(stateChanges, 1);
    EXPECT_EQ(editor.arrangedObjectsDictionary().value("b.title").toString(), "Le titre");
    // The bookmark is untouched until the update.
    EXPECT_EQ(CodeOfRow(bookmarks, 0), Code(french));
}

TEST_F(LocalizationEditor, UpdateWritesTheRowsIntoTheSelectedBookmarkAndRevertWritesTheSavedText) {
    editor.tableViewSetObjectValue("Le titre", "propertyKeyValue", 1);
    editor.updateValues();
    QVariantMap edited = french;
    edited["b.title"] = "Le titre";
    EXPECT_EQ(CodeOfRow(bookmarks, 0), Code(edited));
    EXPECT_EQ(bookmarks.selectionIndexes(), NSIndexSet{0});
    // The bookmark's change rebuilt the rows.
    EXPECT_FALSE(editor.arrangedObjectsDirty());
    EXPECT_EQ(editor.arrangedObjectsStringValueSaved(), Code(edited));
    EXPECT_EQ(CodeOfRow(bookmarks, 2), Code(german));

    // An edit not written back is reverted; the bookmark keeps the text the rows came from.
    editor.tableViewSetObjectValue("Annulé", "propertyKeyValue", 2);
    editor.revertValues();
    EXPECT_EQ(CodeOfRow(bookmarks, 0), Code(edited));
    EXPECT_EQ(editor.arrangedObjectsDictionary(), edited);
    EXPECT_FALSE(editor.arrangedObjectsDirty());

    // A change of the bookmark made elsewhere is followed, and revert restores what the
    // rows were built from, not what the caller last passed in.
    {
        QString external = Code(german);
        QVariantList content = bookmarks.content();
        QVariantMap row = content[0].toMap();
        row["presetCodeString"] = external;
        content[0] = row;
        bookmarks.setContent(content);
        external.replace("Titel", "XXXXX");
    }
    EXPECT_EQ(editor.arrangedObjectsDictionary(), german);
    editor.tableViewSetObjectValue("Neu", "propertyKeyValue", 0);
    editor.updateValues();
    editor.revertValues();
    EXPECT_EQ(CodeOfRow(bookmarks, 0), Code({{"b.title", "Neu"}}));
}

TEST_F(LocalizationEditor, ABookmarkWithoutCodeStringClearsTheRowsAndCannotBeWrittenOrReverted) {
    struct Case {
        const char *name;
        std::function<void(NSArrayController &)> select;
    };
    const Case cases[] = {
        {"empty code string", [](NSArrayController &b) { b.setSelectionIndexes({1}); }},
        {"no selection", [](NSArrayController &b) { b.setSelectionIndexes({}); }},
        {"two different languages", [](NSArrayController &b) { b.setSelectionIndexes({0, 2}); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        bookmarks.setContent({Bookmark("French", Code(french)), Bookmark("Empty", ""),
                              Bookmark("German", Code(german))});
        bookmarks.setSelectionIndexes({0});
        editor.tableViewSetObjectValue("Le titre", "propertyKeyValue", 1);

        c.select(bookmarks);
        EXPECT_EQ(editor.numberOfRowsInTableView(), 0);
        EXPECT_FALSE(editor.canUpdateValues());
        EXPECT_FALSE(editor.canRevertValues());
        EXPECT_TRUE(editor.arrangedObjectsStringValueSaved().isNull());

        // Neither the French rows nor a nil text reach the selected bookmarks.
        editor.updateValues();
        editor.revertValues();
        EXPECT_EQ(CodeOfRow(bookmarks, 0), Code(french));
        EXPECT_EQ(CodeOfRow(bookmarks, 1), "");
        EXPECT_EQ(CodeOfRow(bookmarks, 2), Code(german));
    }
    // Selecting a language again shows it.
    bookmarks.setSelectionIndexes({2});
    EXPECT_EQ(editor.arrangedObjectsDictionary(), german);
    EXPECT_TRUE(editor.canUpdateValues());
}

TEST_F(LocalizationEditor, ScriptConversions) {
    EXPECT_TRUE(UILocalizationEditorArrayController::dictionaryFromScript(QString()).isEmpty());
    EXPECT_TRUE(UILocalizationEditorArrayController::dictionaryFromScript("not a code string").isEmpty());
    EXPECT_EQ(UILocalizationEditorArrayController::dictionaryFromScript(Code(french)), french);
    EXPECT_EQ(UILocalizationEditorArrayController::scriptFromDictionary(french), Code(french));
    EXPECT_EQ(editor.stringValue(), Code(french));
    // Texts with the code string's own separators survive the round trip through the rows.
    const QVariantMap tricky{{"a.key", "x=1; y\\2\r\nz"}};
    editor.setArrangedObjectsStringValue(Code(tricky));
    EXPECT_EQ(editor.arrangedObjectsDictionary(), tricky);
}

}  // namespace
