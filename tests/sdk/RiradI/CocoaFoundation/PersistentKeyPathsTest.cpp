#include <CocoaFoundation/NSDictionaryPropertyListArchiving.h>
#include <CocoaFoundation/PersistentKeyPaths.h>

#include <Foundation/NSException.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSObject.h>
#include <Foundation/NSPropertyList.h>
#include <Foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

#include <QColor>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPoint>

#include "support/TestFolders.h"

namespace {

using namespace PersistentKeyPaths;

class Model : public NSObject {
    Q_OBJECT
    Q_PROPERTY(double amount MEMBER amount)
    Q_PROPERTY(QString label MEMBER label)
    Q_PROPERTY(QString renamed MEMBER renamed)
    Q_PROPERTY(QVariantMap options MEMBER options)
public:
    double amount = 0.5;
    QString label;  // nil-like: an empty string is a value, a null QVariant is not
    QString renamed;
    QVariantMap options{{"depth", 3}};
};

TEST(PersistentKeyPaths, BuildsTheDictionaryOfTheListedKeyPaths) {
    Model model;
    model.label = "x";
    QObject plain;
    const QVariantMap dictionary = persistentDictionaryWithValuesForKeyPaths(
        &model, {"amount", "label", "options.depth", "options.missing", "noSuchKey"});
    // The missing map entry is nil and left out; the undefined key raises, is logged and left out.
    EXPECT_EQ(dictionary, (QVariantMap{{"amount", 0.5}, {"label", "x"}, {"options.depth", 3}}));
    EXPECT_TRUE(persistentDictionaryWithValuesForKeyPaths(nullptr, {"amount"}).isEmpty());
    EXPECT_EQ(persistentPlistFileExtension(), "plist");
}

TEST(PersistentKeyPaths, AppliesListedAndRenamedKeysOnly) {
    Model model;
    const QVariantMap stored{{"amount", 0.9}, {"gone", "removed property"}, {"oldName", "moved"},
                             {"options.depth", 7}, {"noSuchKey", 1}};
    const QVariantMap updated{{"oldName", "renamed"}};
    EXPECT_EQ(setPersistentDictionary(&model, stored, {"amount", "options.depth", "noSuchKey"}, &updated), 3);
    EXPECT_DOUBLE_EQ(model.amount, 0.9);
    EXPECT_EQ(model.renamed, "moved");  // set at the new key path though "oldName" is not listed
    EXPECT_EQ(model.options.value("depth"), QVariant(7));
    EXPECT_EQ(setPersistentDictionary(&model, {}, {"amount"}), 0);
    EXPECT_EQ(setPersistentDictionary(nullptr, stored, {"amount"}), 0);
}

TEST(PersistentKeyPaths, SavesUnderTheRecordKeyAndKeepsOldRecordsForEmptyDictionaries) {
    Model model;
    model.amount = 0.125;
    ASSERT_TRUE(persistentObjectSaveKeyPaths(&model, {"amount"}, "ModelRecord").has_value());

    const QByteArray data = NSUserDefaults::standardUserDefaults().dataForKey("ModelRecord");
    ASSERT_TRUE(data.startsWith("<?xml"));
    const QVariantMap plist = NSPropertyListSerialization::propertyListWithData(data).toMap();
    EXPECT_TRUE(plist.value("$top").toMap().contains("UPersistentObjectsController"));
    // The record key and the defaults-file key do not read each other's data.
    EXPECT_FALSE(PropertyListArchiving::dictionaryWithPropertyListData(data).has_value());

    // Nothing to save: false, and the older record stays.
    EXPECT_FALSE(savePersistentObjectData({}, "ModelRecord"));
    EXPECT_FALSE(persistentObjectSaveKeyPaths(nullptr, {"amount"}, "ModelRecord").has_value());
    EXPECT_FALSE(persistentObjectSaveKeyPaths(&model, {"amount"}, QString()).has_value());
    Model fresh;
    const auto loaded = persistentObjectLoadKeyPaths(&fresh, {"amount"}, "ModelRecord");
    ASSERT_TRUE(loaded.has_value());
    EXPECT_DOUBLE_EQ(fresh.amount, 0.125);
    EXPECT_TRUE(loadPersistentObjectDataForKey("NoRecordHere").isEmpty());

    // A value that cannot be archived: nothing is saved.
    EXPECT_FALSE(savePersistentObjectData({{"object", QVariant::fromValue<QObject *>(&model)}}, "ModelRecord"));
    EXPECT_DOUBLE_EQ(loadPersistentObjectDataForKey("ModelRecord").value("amount").toDouble(), 0.125);
}

TEST(PersistentKeyPaths, DefaultsFilesAreSavedAtomicallyAndImportedWithChecks) {
    const QVariantMap values{{"camera.zoom", 2.5}, {"tint", QColor(Qt::red)}, {"list", QVariantList{1, "a"}}};
    ASSERT_TRUE(persistentObjectSaveDefaultValues(values, "ImportTest"));
    const QString path = DirectoryLocations::applicationSupportDirectoryFileName("ImportTest.plist").toLocalFile();
    EXPECT_TRUE(path.startsWith(QString::fromStdString(lumora::test::HomeFolder())));
    EXPECT_TRUE(path.endsWith("/" + DirectoryLocations::applicationIdentifier() + "/ImportTest.plist"));
    const auto imported = persistentObjectImportValuesFromFile(path);
    ASSERT_TRUE(imported.has_value());
    EXPECT_EQ(imported->value("camera.zoom"), QVariant(2.5));
    EXPECT_EQ(imported->value("tint").value<QColor>(), QColor(Qt::red));
    EXPECT_EQ(imported->value("list").toList().size(), 2);

    // Files that are unreadable for one reason or another give nothing.
    lumora::test::ScopedFolder folder("imports");
    const QByteArray archive = PropertyListArchiving::propertyListData({{"a", 1}});
    QByteArray foreignClass = archive;
    foreignClass.replace("<string>NSDictionary</string>", "<string>NSFileWrapper</string>");
    const struct {
        const char *name;
        QByteArray content;
    } unreadable[] = {
        {"array-root.plist", NSKeyedArchiver::archivedDataWithRootObject(
                                 QVariantList{1, 2}, PropertyListArchiving::kDefaultKey)},
        {"string-root.plist", NSKeyedArchiver::archivedDataWithRootObject(
                                  QStringLiteral("text"), PropertyListArchiving::kDefaultKey)},
        {"other-key.plist", PropertyListArchiving::propertyListData({{"a", 1}}, "UPersistentObjectsController")},
        {"plain-plist.plist", NSPropertyListSerialization::dataWithPropertyList(QVariantMap{{"a", 1}})},
        {"truncated.plist", archive.left(archive.size() / 2)},
        {"foreign-class.plist", foreignClass},
        {"empty.plist", QByteArray()},
        {"garbage.plist", QByteArray("\x00\x01garbage", 9)},
    };
    for (const auto &c : unreadable) {
        const std::string file = folder.file(c.name);
        ASSERT_TRUE(lumora::test::WriteFile(file, c.content.toStdString()));
        EXPECT_FALSE(persistentObjectImportValuesFromFile(QString::fromStdString(file)).has_value()) << c.name;
    }
    EXPECT_FALSE(persistentObjectImportValuesFromFile(QString::fromStdString(folder.file("missing.plist"))).has_value());

    // No bundle resource of that name: empty defaults.
    EXPECT_TRUE(persistentObjectDefaultValuesForPersistentDataKey("NoSuchDefaults").isEmpty());
    EXPECT_TRUE(persistentObjectDefaultValuesForPersistentDataKey(QString()).isEmpty());
}

TEST(DirectoryLocations, FindsOrCreatesTheSupportFolder) {
    QString error = "stale";
    const QString path = DirectoryLocations::findOrCreateDirectory(DirectoryLocations::NSApplicationSupportDirectory,
                                                                   DirectoryLocations::NSUserDomainMask,
                                                                   "Nested/Folder", &error);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(QDir(path).exists());
    EXPECT_TRUE(path.endsWith("/Nested/Folder"));
    EXPECT_TRUE(DirectoryLocations::findOrCreateDirectory(5, 1, QString(), &error).isNull());
    EXPECT_EQ(error, "No path found for directory in domain.");
    EXPECT_TRUE(DirectoryLocations::applicationSupportDirectory().toLocalFile().endsWith("/"));
}

TEST(PropertyListArchiving, RoundTripsEverySupportedValue) {
    const QVariantMap dictionary{
        {"string", QString::fromUtf8("Grüße")},
        {"integer", 42},
        {"real", 0.25},
        {"bool", true},
        {"data", QByteArray("\x00\xff", 2)},
        {"date", QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC)},
        {"array", QVariantList{1, "two", QVariantList{3}}},
        {"nested", QVariantMap{{"inner", "value"}}},
        {"color", QColor::fromRgbF(0.5, 0.25, 1, 0.75)},
    };
    const QByteArray data = PropertyListArchiving::propertyListData(dictionary);
    EXPECT_TRUE(data.startsWith("<?xml"));
    const auto back = PropertyListArchiving::dictionaryWithPropertyListData(data);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->value("string"), dictionary.value("string"));
    EXPECT_EQ(back->value("integer").toLongLong(), 42);
    EXPECT_DOUBLE_EQ(back->value("real").toDouble(), 0.25);
    EXPECT_TRUE(back->value("bool").toBool());
    EXPECT_EQ(back->value("data").toByteArray(), QByteArray("\x00\xff", 2));
    EXPECT_EQ(back->value("date").toDateTime(), dictionary.value("date").toDateTime());
    EXPECT_EQ(back->value("array").toList().size(), 3);
    EXPECT_EQ(back->value("nested").toMap().value("inner"), QVariant("value"));
    const QColor color = back->value("color").value<QColor>();
    EXPECT_NEAR(color.alphaF(), 0.75, 1e-3);
    EXPECT_NEAR(color.greenF(), 0.25, 1e-3);

    EXPECT_FALSE(PropertyListArchiving::dictionaryWithPropertyListData(data, "UPersistentObjectsController"));
    EXPECT_THROW(PropertyListArchiving::dictionaryWithPropertyListData(QByteArray("not a plist")), NSException);
    EXPECT_TRUE(PropertyListArchiving::propertyListData({{"bad", QVariant::fromValue(QPoint(1, 2))}}).isEmpty());
}

}  // namespace

#include "PersistentKeyPathsTest.moc"
