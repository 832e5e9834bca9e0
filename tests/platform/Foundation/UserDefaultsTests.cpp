#include <gtest/gtest.h>

#include <Foundation/NSException.h>
#include <Foundation/NSUserDefaults.h>

#include <QColor>
#include <QDateTime>
#include <QTimeZone>

#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "support/TestFolders.h"

namespace {

using lumora::test::ReadFile;
using lumora::test::WriteFile;
using namespace std::string_literals;

std::string ConfigFile(const char *identifier) {
    return std::string(std::getenv("XDG_CONFIG_HOME")) + "/" + identifier + ".plist";
}

TEST(FoundationUserDefaults, TypedValuesSurviveSynchronizeInTheConfigFolder) {
    const QDateTime when = QDateTime::fromSecsSinceEpoch(1700000000, QTimeZone::utc());
    {
        NSUserDefaults defaults(QStringLiteral("org.lumora.roundtrip"));
        EXPECT_EQ(defaults.filePath().toStdString(), ConfigFile("org.lumora.roundtrip"));
        defaults.setObject(QStringLiteral("Grün"), QStringLiteral("string"));
        defaults.setBool(true, QStringLiteral("bool"));
        defaults.setInteger(-12, QStringLiteral("integer"));
        defaults.setFloat(0.5f, QStringLiteral("float"));
        defaults.setDouble(2.25, QStringLiteral("double"));
        defaults.setObject(QByteArray("\0\1", 2), QStringLiteral("data"));
        defaults.setObject(QVariantList{1, QStringLiteral("x")}, QStringLiteral("array"));
        defaults.setObject(QVariantMap{{QStringLiteral("k"), 2}}, QStringLiteral("dictionary"));
        defaults.setObject(when, QStringLiteral("date"));
        defaults.setObject(qulonglong(UINT64_MAX), QStringLiteral("unsigned"));
        defaults.setObject(1, QStringLiteral("removed"));
        defaults.removeObject(QStringLiteral("removed"));
        defaults.setObject(1, QStringLiteral("niled"));
        defaults.setObject(QVariant(), QStringLiteral("niled"));
        EXPECT_THROW(defaults.setObject(QColor(Qt::red), QStringLiteral("colour")), NSException);
        EXPECT_FALSE(defaults.objectForKey(QStringLiteral("colour")).isValid());
        EXPECT_TRUE(defaults.synchronize());
    }
    EXPECT_EQ(ReadFile(ConfigFile("org.lumora.roundtrip")).rfind("<?xml", 0), 0u);

    NSUserDefaults again(QStringLiteral("org.lumora.roundtrip"));
    EXPECT_EQ(again.stringForKey(QStringLiteral("string")), QStringLiteral("Grün"));
    EXPECT_TRUE(again.boolForKey(QStringLiteral("bool")));
    EXPECT_EQ(again.integerForKey(QStringLiteral("integer")), -12);
    EXPECT_EQ(again.floatForKey(QStringLiteral("float")), 0.5f);
    EXPECT_EQ(again.doubleForKey(QStringLiteral("double")), 2.25);
    EXPECT_EQ(again.dataForKey(QStringLiteral("data")), QByteArray("\0\1", 2));
    EXPECT_EQ(again.arrayForKey(QStringLiteral("array")), (QVariantList{qlonglong(1), QStringLiteral("x")}));
    EXPECT_EQ(again.dictionaryForKey(QStringLiteral("dictionary")), (QVariantMap{{QStringLiteral("k"), qlonglong(2)}}));
    EXPECT_EQ(again.objectForKey(QStringLiteral("date")).toDateTime(), when);
    EXPECT_EQ(again.objectForKey(QStringLiteral("unsigned")), QVariant(qulonglong(UINT64_MAX)));
    EXPECT_EQ(again.integerForKey(QStringLiteral("unsigned")), 0) << "out of range, as for a real";
    EXPECT_FALSE(again.objectForKey(QStringLiteral("removed")).isValid());
    EXPECT_FALSE(again.objectForKey(QStringLiteral("niled")).isValid());
}

TEST(FoundationUserDefaults, TypedGettersAndRegisteredDefaults) {
    NSUserDefaults defaults(QStringLiteral("org.lumora.getters"));
    defaults.setObject(QStringLiteral("42"), QStringLiteral("text42"));
    defaults.setObject(QStringLiteral("YES"), QStringLiteral("yes"));
    defaults.setObject(QStringLiteral("words"), QStringLiteral("words"));
    defaults.setObject(3, QStringLiteral("three"));
    defaults.setObject(QVariantList{}, QStringLiteral("list"));
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("text42")), 42);
    EXPECT_EQ(defaults.doubleForKey(QStringLiteral("text42")), 42.0);
    EXPECT_TRUE(defaults.boolForKey(QStringLiteral("yes")));
    EXPECT_FALSE(defaults.boolForKey(QStringLiteral("words")));
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("words")), 0);
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("three")), QStringLiteral("3"));
    EXPECT_TRUE(defaults.stringForKey(QStringLiteral("list")).isNull());
    EXPECT_TRUE(defaults.dataForKey(QStringLiteral("three")).isEmpty());
    EXPECT_TRUE(defaults.dictionaryForKey(QStringLiteral("list")).isEmpty());

    defaults.registerDefaults({{QStringLiteral("three"), 4}, {QStringLiteral("fallback"), 5}});
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("three")), 3) << "stored values come first";
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("fallback")), 5);
    EXPECT_EQ(defaults.dictionaryRepresentation().value(QStringLiteral("fallback")), QVariant(5));
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(ReadFile(ConfigFile("org.lumora.getters")).find("fallback"), std::string::npos)
        << "registered defaults are not written";
    EXPECT_THROW(NSUserDefaults(QStringLiteral("../escape")), NSException);
}

TEST(FoundationUserDefaults, SynchronizeReplacesTheFileAtomically) {
    const std::string path = ConfigFile("org.lumora.atomic");
    NSUserDefaults defaults(QStringLiteral("org.lumora.atomic"));
    defaults.setObject(QStringLiteral("first"), QStringLiteral("value"));
    ASSERT_TRUE(defaults.synchronize());
    const std::string before = ReadFile(path);

    // A reader that has the old file open keeps reading the whole old file: the new one is
    // written beside it and renamed over it, never rewritten in place.
    const int oldFile = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(oldFile, 0);
    defaults.setObject(QString(5000, u'x'), QStringLiteral("value"));
    ASSERT_TRUE(defaults.synchronize());
    std::string seen(before.size() + 100, '\0');
    const ssize_t got = ::pread(oldFile, seen.data(), seen.size(), 0);
    ::close(oldFile);
    seen.resize(size_t(got > 0 ? got : 0));
    EXPECT_EQ(seen, before);
    EXPECT_NE(ReadFile(path).find(std::string(5000, 'x')), std::string::npos);

    // A folder that cannot be made fails the write and keeps the change for the next one.
    const std::string config = std::getenv("XDG_CONFIG_HOME");
    const std::string blocker = lumora::test::HomeFolder() + "/not-a-folder";
    ASSERT_TRUE(WriteFile(blocker, "file"));
    ::setenv("XDG_CONFIG_HOME", (blocker + "/config").c_str(), 1);
    defaults.setObject(QStringLiteral("third"), QStringLiteral("value"));
    EXPECT_FALSE(defaults.synchronize());
    ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(NSUserDefaults(QStringLiteral("org.lumora.atomic")).stringForKey(QStringLiteral("value")), QStringLiteral("third"));
}

TEST(FoundationUserDefaults, UnreadableFileStartsEmptyAndIsReplaced) {
    const std::string path = ConfigFile("org.lumora.broken");
    ::mkdir(std::getenv("XDG_CONFIG_HOME"), 0700);
    const std::string broken[] = {
        "<?xml version=\"1.0\"?><plist><dict><key>a</key>",                          // truncated
        "<plist><dict><key>a</key><string>x\0y</string></dict></plist>"s,  // NUL in a string
        "<plist><dict><key>a\0</key><integer>1</integer></dict></plist>"s,  // NUL in a key
    };
    for (const std::string &contents : broken) {
        SCOPED_TRACE(contents);
        ASSERT_TRUE(lumora::test::WriteFile(path, contents));
        NSUserDefaults defaults(QStringLiteral("org.lumora.broken"));
        EXPECT_FALSE(defaults.objectForKey(QStringLiteral("a")).isValid());
        defaults.setInteger(1, QStringLiteral("b"));
        ASSERT_TRUE(defaults.synchronize());
        EXPECT_EQ(NSUserDefaults(QStringLiteral("org.lumora.broken")).integerForKey(QStringLiteral("b")), 1);
    }

    // The standard defaults live in the same folder, under the program's identifier.
    EXPECT_TRUE(NSUserDefaults::standardUserDefaults().filePath().startsWith(QString::fromLocal8Bit(std::getenv("XDG_CONFIG_HOME")) + u'/'));
    EXPECT_EQ(&NSUserDefaults::standardUserDefaults(), &NSUserDefaults::standardUserDefaults());
}

}  // namespace
