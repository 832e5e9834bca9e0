#include <CocoaFoundation/NSDictionaryPropertyListArchiving.h>
#include <CocoaFoundation/NSUIKeyPathsPresetsController.h>
#include <CocoaFoundation/NSUITableViewArrayController.h>
#include <CocoaFoundation/PersistentKeyPaths.h>

#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSUserDefaults.h>

#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QColor>
#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QTableView>

#include <unistd.h>

#include "../RiradITestApplication.h"
#include "support/TestFolders.h"

namespace {

// A settings object with a naming source's answers.
class Source : public NSObject {
    Q_OBJECT
    Q_PROPERTY(double amount MEMBER amount)
    Q_PROPERTY(QString label MEMBER label)
    Q_PROPERTY(int hidden MEMBER hidden)
public:
    double amount = 0.25;
    QString label = "first";
    int hidden = 1;
    QVariant keyPaths = QVariant::fromValue(QSet<QString>{"amount", "label"});
    QString name;
    QStringList calls;

    Q_INVOKABLE QVariant favoritesKeyPathsForSerialization(QObject *) { return keyPaths; }
    Q_INVOKABLE QVariant favoritesNameForNewBookmark(QObject *) { return name.isEmpty() ? QVariant() : QVariant(name); }
    Q_INVOKABLE void favoritesWillChangeKeyPathValues(QObject *) { calls << "will"; }
    Q_INVOKABLE void favoritesDidChangeKeyPathValues(QObject *) { calls << "did"; }
    Q_INVOKABLE void favoritesResetKeyPathValuesToDefault(QObject *) { calls << "reset"; }
};

class Delegate : public QObject {
    Q_OBJECT
public:
    QObject *source = nullptr;
    QString key;
    Q_INVOKABLE QObject *favoritesSourceObjectWithKeyPaths(QObject *) { return source; }
    Q_INVOKABLE QVariant favoritesSerializationKey(QObject *) { return key.isEmpty() ? QVariant() : QVariant(key); }
};

// An archivable class of the program that a presets file must not bring in.
class ForeignCoding : public NSCoding {
public:
    void encodeWithCoder(NSCoder &coder) const override { coder.encodeObject(QStringLiteral("x"), "x"); }
    bool initWithCoder(NSCoder &) override { return true; }
};
NS_REGISTER_CODING_CLASS(ForeignCoding);

int PresetNumber(const NSUIKeyPathPreset &preset) {
    const QString name = preset.presetName();
    EXPECT_TRUE(name.startsWith("Preset ")) << name.toStdString();
    return name.mid(7).toInt();
}

QVariant PresetRow(const QString &name, const QVariantMap &values,
                   std::shared_ptr<NSUIKeyPathPreset> preset = std::make_shared<NSUIKeyPathPreset>()) {
    preset->setPresetName(name);
    preset->setKeyPathValues(values);
    return QVariant::fromValue(NSCodingObject(preset));
}

QStringList Names(const QVariantList &presets) {
    QStringList names;
    for (const QVariant &row : presets) {
        NSUIKeyPathPreset *preset = NSUIKeyPathPreset::presetOfRow(row);
        names << (preset ? preset->presetName() : QStringLiteral("<not a preset>"));
    }
    return names;
}

QString SupportFile(const QString &key) {
    return DirectoryLocations::applicationSupportDirectoryFileName(key + ".plist").toLocalFile();
}

TEST(NSUIKeyPathPreset, NamesNewPresetsWithOneCounterAcrossThePrograms) {
    riradi_test::Application();
    NSUIKeyPathPreset first;
    first.initWithSource(nullptr);
    const auto second = NSUIKeyPathPreset::presetWithSource(nullptr);
    const auto colour = NSUIKeyPathPreset::presetWithSource(nullptr, &NSUIColorKeyPathPreset::staticMetaObject);
    ASSERT_TRUE(second && colour);
    EXPECT_EQ(PresetNumber(*second), PresetNumber(first) + 1);
    EXPECT_EQ(PresetNumber(*colour), PresetNumber(first) + 2);
    EXPECT_TRUE(first.keyPathValues().isEmpty());
    EXPECT_EQ(first.presetButtonText(), QString(QChar(0x2588)));
    EXPECT_EQ(colour->description(), QStringLiteral("NSUIColorKeyPathPreset.%1[0]").arg(colour->presetName()));
    // Only preset classes make presets.
    EXPECT_EQ(NSUIKeyPathPreset::presetWithSource(nullptr, &QObject::staticMetaObject), nullptr);

    // A naming source names the preset; the counter still advances.
    Source source;
    source.name = "Evening";
    const auto named = NSUIKeyPathPreset::presetWithSource(&source);
    EXPECT_EQ(named->presetName(), "Evening");
    const auto after = NSUIKeyPathPreset::presetWithSource(nullptr);
    EXPECT_EQ(PresetNumber(*after), PresetNumber(first) + 4);
}

TEST(NSUIKeyPathPreset, CapturesAndAppliesOnlyTheSourcesKeyPaths) {
    riradi_test::Application();
    Source source;
    const auto preset = NSUIKeyPathPreset::presetWithSource(&source);
    EXPECT_EQ(preset->keyPathValues(), (QVariantMap{{"amount", 0.25}, {"label", "first"}}));

    // Applying: bracketed, listed key paths only (a stored value the source no longer lists
    // stays unapplied).
    preset->setKeyPathValues({{"amount", 0.75}, {"label", "second"}, {"hidden", 9}});
    source.keyPaths = QVariant::fromValue(QSet<QString>{"amount"});
    preset->applyPresetToSource(&source);
    EXPECT_DOUBLE_EQ(source.amount, 0.75);
    EXPECT_EQ(source.label, "first");
    EXPECT_EQ(source.hidden, 1);
    EXPECT_EQ(source.calls, (QStringList{"will", "did"}));

    // No key paths, an empty set, or an answer that is no set: nothing captured; empty or nil
    // answers apply nothing at all, another non-empty answer only brackets.
    struct Case {
        QVariant keyPaths;
        QStringList calls;
    };
    const Case cases[] = {
        {QVariant(), {}},
        {QVariant::fromValue(QSet<QString>{}), {}},
        {QVariant(QStringList{"amount"}), {"will", "did"}},
    };
    for (const Case &c : cases) {
        source.keyPaths = c.keyPaths;
        source.calls.clear();
        source.amount = 0.5;
        EXPECT_TRUE(NSUIKeyPathPreset::presetWithSource(&source)->keyPathValues().isEmpty());
        preset->applyPresetToSource(&source);
        EXPECT_DOUBLE_EQ(source.amount, 0.5);
        EXPECT_EQ(source.calls, c.calls);
    }
    preset->applyPresetToSource(nullptr);  // no source: nothing
}

TEST(NSUIColorKeyPathPreset, ReadsTheSchemeColoursUnderTheirFlatKeys) {
    NSUIColorKeyPathPreset preset;
    preset.setKeyPathValues({{"colorScheme.dominantColor", QColor(Qt::red)},
                             {"colorScheme.secondaryColor", QColor(Qt::green)},
                             {"colorScheme.tertiaryColor", QColor(Qt::blue)}});
    EXPECT_EQ(preset.dominantColor(), QVariant(QColor(Qt::red)));
    EXPECT_EQ(preset.secondaryColor(), QVariant(QColor(Qt::green)));
    EXPECT_EQ(preset.tertiaryColor(), QVariant(QColor(Qt::blue)));
    // Through key-value coding too, as a table column reads it.
    EXPECT_EQ(NSKeyValueCoding::valueForKey(&preset, "dominantColor"), QVariant(QColor(Qt::red)));
    EXPECT_EQ(preset.dominantHeader(), QString(3, QChar(0x2588)));
    EXPECT_EQ(preset.columnHeader(), QString(3, QChar(0x2588)));
    EXPECT_FALSE(NSUIColorKeyPathPreset().dominantColor().isValid());
}

struct PresetsFixture : riradi_test::WithApplication, ::testing::Test {
    PresetsFixture() {
        key = QStringLiteral("PresetsTest%1_%2").arg(getpid()).arg(++sCount);
        delegate.source = &source;
        delegate.key = key;
        controller.setDelegate(&delegate);
        controller.setOutletArrayController(&arrayController);
        controller.setOutletTableView(&table);
        arrayController.setColumnBindings({{"editPresetName", "presetName", true}, {"button", "presetButtonText", false}});
    }
    ~PresetsFixture() override {
        NSUserDefaults::standardUserDefaults().removeObject(key);
        QFile::remove(SupportFile(key));
    }
    // What a later launch reads: the list under the key in the defaults and in the file.
    QStringList StoredNames() {
        const auto stored = NSUIKeyPathsPresetsController::presetsDictionaryWithData(
            NSUserDefaults::standardUserDefaults().dataForKey(key), PersistentKeyPaths::kPersistentObjectsArchiveKey);
        return stored ? Names(stored->value("keyPathPresetsArray").toList()) : QStringList{"<none>"};
    }
    QStringList FileNames() {
        QFile file(SupportFile(key));
        if (!file.open(QIODevice::ReadOnly)) return {"<no file>"};
        const auto stored = NSUIKeyPathsPresetsController::presetsDictionaryWithData(
            file.readAll(), PropertyListArchiving::kDefaultKey);
        return stored ? Names(stored->value("keyPathPresetsArray").toList()) : QStringList{"<none>"};
    }

    static inline int sCount = 0;
    QString key;
    Source source;
    Delegate delegate;
    QTableView table;
    NSUISynchronizedArrayController arrayController;
    NSUIKeyPathsPresetsController controller;
};

TEST_F(PresetsFixture, SavesEveryChangeUnderTheDelegatesKey) {
    controller.awakeFromNib();
    EXPECT_EQ(controller.delegateFavoritesSerializationKey(), key);
    EXPECT_EQ(arrayController.delegate(), &controller);
    EXPECT_EQ(arrayController.synchronizationKey(), key);
    EXPECT_EQ(table.model(), &arrayController);
    EXPECT_TRUE(controller.keyPathPresetsArray().isEmpty());

    source.name = "Morning";
    controller.actionAddKeyPathPreset();
    source.name = "Night";
    controller.actionAddKeyPathPreset();
    EXPECT_EQ(Names(controller.keyPathPresetsArray()), (QStringList{"Morning", "Night"}));
    EXPECT_EQ(StoredNames(), (QStringList{"Morning", "Night"}));
    EXPECT_EQ(FileNames(), (QStringList{"Morning", "Night"}));
    // Inserted presets are not selected, but the selection is never empty.
    EXPECT_EQ(controller.arraySelectionIndexes(), NSIndexSet{0});
    EXPECT_EQ(controller.selectedKeyPathPreset()->presetName(), "Morning");

    // Applying the selected preset; resetting through the source.
    source.amount = 0.9;
    controller.actionApplyKeyPathPreset();
    EXPECT_DOUBLE_EQ(source.amount, 0.25);
    controller.actionDefaultNoKeyPathPreset();
    EXPECT_EQ(source.calls.last(), "reset");

    controller.setArraySelectionIndexes({1});
    EXPECT_EQ(controller.indexSetForSelectedObject(), NSIndexSet{1});
    controller.actionRemoveKeyPathPreset();
    EXPECT_EQ(StoredNames(), QStringList{"Morning"});
    EXPECT_EQ(FileNames(), QStringList{"Morning"});
}

TEST_F(PresetsFixture, ReadsTheFactoryListOnlyWhenNothingIsStored) {
    // The factory list: a bundle resource "<key>.plist" (a bare tool's resources are its folder).
    const QString factoryPath = QCoreApplication::applicationDirPath() + "/" + key + ".plist";
    const QVariantMap factory{{"keyPathPresetsArray", QVariantList{PresetRow("Factory A", {{"amount", 0.1}}),
                                                                   PresetRow("Factory B", {})}}};
    ASSERT_TRUE(lumora::test::WriteFile(factoryPath.toStdString(),
                                        PropertyListArchiving::propertyListData(factory).toStdString()));
    struct RemoveFactory {
        QString path;
        ~RemoveFactory() { QFile::remove(path); }
    } removeFactory{factoryPath};

    controller.awakeFromNib();
    EXPECT_EQ(Names(controller.keyPathPresetsArray()), (QStringList{"Factory A", "Factory B"}));
    EXPECT_EQ(StoredNames(), QStringList{"<none>"});  // nothing written before a change

    // The user empties the list: it stays empty at the next launch.
    controller.setArraySelectionIndexes({0, 1});
    controller.actionRemoveKeyPathPreset();
    EXPECT_EQ(StoredNames(), QStringList{});
    EXPECT_EQ(FileNames(), QStringList{});

    NSUISynchronizedArrayController relaunchedArray;
    NSUIKeyPathsPresetsController relaunched;
    relaunched.setDelegate(&delegate);
    relaunched.setOutletArrayController(&relaunchedArray);
    relaunched.awakeFromNib();
    EXPECT_TRUE(relaunched.keyPathPresetsArray().isEmpty());
}

TEST_F(PresetsFixture, ImportsAGoodArchiveAndReportsHostileOnes) {
    controller.awakeFromNib();
    source.name = "Mine";
    controller.actionAddKeyPathPreset();
    lumora::test::ScopedFolder folder("imports");

    auto Write = [&folder](const char *name, const QByteArray &data) {
        const std::string path = folder.file(name);
        EXPECT_TRUE(lumora::test::WriteFile(path, data.toStdString()));
        return QString::fromStdString(path);
    };
    // A colour preset among plain ones, with a colour value.
    auto colour = std::make_shared<NSUIColorKeyPathPreset>();
    const QVariantMap good{{"keyPathPresetsArray",
                            QVariantList{PresetRow("Imported", {{"amount", 0.6}}),
                                         PresetRow("Colours", {{"colorScheme.dominantColor", QColor(Qt::red)}}, colour)}}};
    const QByteArray goodData = PropertyListArchiving::propertyListData(good);
    ASSERT_FALSE(goodData.isEmpty());

    // Hostile or broken files.
    QByteArray foreignClass = goodData;
    foreignClass.replace("NSUIColorKeyPathPreset", "NSUIColorKeyPathPresetX");
    struct Bad {
        const char *name;
        QByteArray data;
    };
    const Bad bad[] = {
        {"garbage.plist", QByteArray("\x00\x01garbage<plist", 15)},
        {"empty.plist", QByteArray()},
        {"truncated.plist", goodData.left(goodData.size() / 2)},
        {"array-root.plist", NSKeyedArchiver::archivedDataWithRootObject(QVariantList{1, 2},
                                                                          PropertyListArchiving::kDefaultKey)},
        {"other-root-key.plist", PropertyListArchiving::propertyListData(good, "SomethingElse")},
        {"no-list.plist", PropertyListArchiving::propertyListData({{"keyPathPresetsArray", "text"}})},
        {"not-presets.plist",
         PropertyListArchiving::propertyListData({{"keyPathPresetsArray", QVariantList{PresetRow("ok", {}), "text"}}})},
        {"unknown-class.plist", foreignClass},
        {"disallowed-class.plist",
         PropertyListArchiving::propertyListData(
             {{"keyPathPresetsArray",
               QVariantList{PresetRow("ok", {{"inner", QVariant::fromValue(NSCodingObject(std::make_shared<ForeignCoding>()))}})}}})},
    };
    for (const Bad &b : bad) {
        QString error;
        EXPECT_FALSE(controller.importPresetsFromFile(Write(b.name, b.data), &error)) << b.name;
        EXPECT_FALSE(error.isEmpty()) << b.name;
        EXPECT_EQ(Names(controller.keyPathPresetsArray()), QStringList{"Mine"}) << b.name;
        EXPECT_EQ(StoredNames(), QStringList{"Mine"}) << b.name;
    }
    QString error;
    EXPECT_FALSE(controller.importPresetsFromFile(QString::fromStdString(folder.file("missing.plist")), &error));
    EXPECT_FALSE(error.isEmpty());

    // The good file replaces the list and is saved at once.
    EXPECT_TRUE(controller.importPresetsFromFile(Write("good.plist", goodData), &error)) << error.toStdString();
    EXPECT_EQ(Names(controller.keyPathPresetsArray()), (QStringList{"Imported", "Colours"}));
    EXPECT_EQ(StoredNames(), (QStringList{"Imported", "Colours"}));
    EXPECT_EQ(FileNames(), (QStringList{"Imported", "Colours"}));
    auto *imported = qobject_cast<NSUIColorKeyPathPreset *>(
        NSUIKeyPathPreset::presetOfRow(controller.keyPathPresetsArray().at(1)));
    ASSERT_NE(imported, nullptr);
    EXPECT_EQ(imported->dominantColor().value<QColor>(), QColor(Qt::red));
}

TEST_F(PresetsFixture, DoubleClickEditsTheNameOrAppliesThePreset) {
    controller.awakeFromNib();
    controller.actionAddKeyPathPreset();
    source.amount = 0.8;
    table.show();

    const int nameColumn = arrayController.columnWithIdentifier("editPresetName");
    const int buttonColumn = arrayController.columnWithIdentifier("button");
    controller.actionTableDoubleClicked(-1, buttonColumn);  // below the last row: nothing
    EXPECT_DOUBLE_EQ(source.amount, 0.8);
    controller.actionTableDoubleClicked(0, nameColumn);  // edits the name
    auto *editor = qobject_cast<QLineEdit *>(table.indexWidget(arrayController.index(0, nameColumn)));
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->selectedText(), editor->text());  // the name, selected
    EXPECT_DOUBLE_EQ(source.amount, 0.8);
    controller.actionTableDoubleClicked(0, buttonColumn);  // applies
    EXPECT_DOUBLE_EQ(source.amount, 0.25);
}

TEST_F(PresetsFixture, KeepsTwoListsOfTheSameKeyTogether) {
    controller.awakeFromNib();
    NSUISynchronizedArrayController otherArray;
    NSUIKeyPathsPresetsController other;
    other.setDelegate(&delegate);
    other.setOutletArrayController(&otherArray);
    other.awakeFromNib();

    source.name = "Shared";
    controller.actionAddKeyPathPreset();
    dispatch_main_queue_drain();
    EXPECT_EQ(Names(other.keyPathPresetsArray()), QStringList{"Shared"});
}

TEST(NSUIKeyPathsPresetsController, DefaultsAndPresetClassByName) {
    riradi_test::Application();
    NSUIKeyPathsPresetsController controller;
    NSUITableViewArrayController array;
    controller.setOutletArrayController(&array);
    EXPECT_EQ(controller.favoritesSerializationKey(), "NSUIKeyPathsPresetsController");
    EXPECT_EQ(controller.delegateFavoritesSerializationKey(), "NSUIKeyPathsPresetsController");
    EXPECT_EQ(controller.delegateSourceObject(), nullptr);
    EXPECT_EQ(controller.outletKeyPathPresetClass(), "NSUIKeyPathPreset");
    controller.setOutletKeyPathPresetClass("NoSuchClass");
    controller.setOutletKeyPathPresetClass("NSUIKeyPathsPresetsController");  // a class, but no preset
    EXPECT_EQ(controller.outletKeyPathPresetClass(), "NSUIKeyPathPreset");
    controller.setOutletKeyPathPresetClass("NSUIColorKeyPathPreset");
    EXPECT_EQ(controller.outletKeyPathPresetClass(), "NSUIColorKeyPathPreset");
    EXPECT_EQ(array.objectClass(), &NSUIColorKeyPathPreset::staticMetaObject);
    controller.setOutletFavoritesSerializationKey("Mine");
    EXPECT_EQ(controller.delegateFavoritesSerializationKey(), "Mine");
    EXPECT_FALSE(controller.hasSelection());
    EXPECT_EQ(controller.indexSetForSelectedObject(), NSIndexSet{0});
}

}  // namespace

#include "KeyPathPresetsTest.moc"
