#include <gtest/gtest.h>

#include <Foundation/NSAttributedString.h>
#include <Foundation/NSException.h>
#include <Foundation/NSKeyedArchiver.h>
#include <Foundation/NSPropertyList.h>
#include <Foundation/NSValueTransformer.h>

#include <QColor>
#include <QFile>
#include <QTimeZone>

#include <climits>
#include <cstring>
#include <limits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

// An archivable class of the program.
class ArchivePreset : public NSCoding {
public:
    void encodeWithCoder(NSCoder &coder) const override {
        coder.encodeObject(mName, QStringLiteral("name"));
        coder.encodeDouble(mAmount, QStringLiteral("amount"));
        coder.encodeBool(mEnabled, QStringLiteral("enabled"));
        coder.encodeInteger(mIndex, QStringLiteral("index"));
        coder.encodeObject(mColor, QStringLiteral("color"));
        coder.encodeObject(mLinked ? QVariant::fromValue<NSCodingObject>(mLinked) : QVariant(), QStringLiteral("linked"));
    }
    bool initWithCoder(NSCoder &coder) override {
        if (!coder.containsValueForKey(QStringLiteral("name"))) return false;
        mName = coder.decodeObject(QStringLiteral("name")).toString();
        mAmount = coder.decodeDouble(QStringLiteral("amount"));
        mEnabled = coder.decodeBool(QStringLiteral("enabled"));
        mIndex = coder.decodeInteger(QStringLiteral("index"));
        mColor = coder.decodeObject(QStringLiteral("color")).value<QColor>();
        const QVariant linked = coder.decodeObject(QStringLiteral("linked"));
        if (linked.isValid()) mLinked = linked.value<NSCodingObject>();
        return true;
    }
    QString mName;
    double mAmount = 0;
    bool mEnabled = false;
    qint64 mIndex = 0;
    QColor mColor;
    NSCodingObject mLinked;
};
NS_REGISTER_CODING_CLASS(ArchivePreset);

namespace {

// Numbers come back as bool, qlonglong or double: compare through those.
QVariant Normalised(const QVariant &value) {
    switch (value.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong: return QVariant(value.toLongLong());
    case QMetaType::Float: return QVariant(value.toDouble());
    case QMetaType::QVariantList: {
        QVariantList list;
        for (const QVariant &element : value.toList()) list.append(Normalised(element));
        return list;
    }
    case QMetaType::QVariantMap: {
        QVariantMap map;
        const QVariantMap source = value.toMap();
        for (auto it = source.cbegin(); it != source.cend(); ++it) map.insert(it.key(), Normalised(it.value()));
        return map;
    }
    default: return value;
    }
}

QDateTime Utc(qint64 milliseconds) { return QDateTime::fromMSecsSinceEpoch(milliseconds, QTimeZone::utc()); }

// The values both forms carry (property lists have no colours).
std::vector<std::pair<const char *, QVariant>> PlistValues() {
    return {
        {"string", QStringLiteral("Grün <&> \"quoted\"")},
        {"empty string", QString("")},
        {"line breaks", QStringLiteral("a=b;\r\nc\td\r")},
        {"true", true},
        {"false", false},
        {"integer", 42},
        {"negative", -7},
        {"int64", qlonglong(INT64_MAX)},
        {"real", 0.1},
        {"data", QByteArray("\0\1\2\xff", 4)},
        {"date", Utc(1700000000000)},
        {"old date", Utc(-100000)},
        {"array", QVariantList{1, QStringLiteral("two"), QVariantList{3.5}}},
        {"empty array", QVariantList{}},
        {"dictionary", QVariantMap{{QStringLiteral("a"), 1}, {QStringLiteral("b.c"), QVariantMap{{QStringLiteral("d"), true}}}}},
        {"empty dictionary", QVariantMap{}},
    };
}

TEST(FoundationPropertyList, XmlRoundTripsEveryType) {
    for (const auto &[name, value] : PlistValues()) {
        SCOPED_TRACE(name);
        QString error;
        const QByteArray data = NSPropertyListSerialization::dataWithPropertyList(value, &error);
        ASSERT_TRUE(data.startsWith("<?xml")) << error.toStdString();
        NSPropertyListSerialization::Format format{};
        const QVariant back = NSPropertyListSerialization::propertyListWithData(data, &format, &error);
        EXPECT_EQ(format, NSPropertyListSerialization::NSPropertyListXMLFormat_v1_0);
        EXPECT_EQ(Normalised(back), Normalised(value)) << error.toStdString();
    }
    QString error;
    EXPECT_TRUE(NSPropertyListSerialization::dataWithPropertyList(QVariant::fromValue(QColor(Qt::red)), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(NSPropertyListSerialization::propertyListIsValid(QVariantList{QVariant()}));
}

// A binary property list: objects given as raw encodings, one-byte references.
QByteArray BinaryPlist(const std::vector<std::string> &objects, uint8_t top = 0) {
    std::string bytes = "bplist00";
    std::vector<size_t> offsets;
    for (const std::string &object : objects) {
        offsets.push_back(bytes.size());
        bytes += object;
    }
    const size_t table = bytes.size();
    for (size_t offset : offsets) bytes += char(offset);
    std::string trailer(32, '\0');
    trailer[6] = 1;
    trailer[7] = 1;
    trailer[15] = char(objects.size());
    trailer[23] = char(top);
    trailer[31] = char(table);
    return QByteArray::fromStdString(bytes + trailer);
}

// A binary property list of arrays each holding the next (two-byte references).
QByteArray NestedBinaryPlist(int levels) {
    std::string bytes = "bplist00";
    std::vector<uint32_t> offsets;
    for (int i = 0; i < levels; ++i) {
        offsets.push_back(uint32_t(bytes.size()));
        if (i + 1 == levels) {
            bytes += '\xA0';
            continue;
        }
        bytes += '\xA1';
        bytes += char((i + 1) >> 8);
        bytes += char((i + 1) & 0xFF);
    }
    const uint32_t table = uint32_t(bytes.size());
    for (uint32_t offset : offsets)
        for (int shift = 24; shift >= 0; shift -= 8) bytes += char((offset >> shift) & 0xFF);
    std::string trailer(32, '\0');
    trailer[6] = 4;
    trailer[7] = 2;
    trailer[14] = char(levels >> 8);
    trailer[15] = char(levels & 0xFF);
    for (int i = 0; i < 4; ++i) trailer[28 + i] = char((table >> (24 - 8 * i)) & 0xFF);
    return QByteArray::fromStdString(bytes + trailer);
}

// Arrays each holding the next one twice: a few bytes that expand to 2^levels nodes.
QByteArray SharedBinaryPlist(int levels) {
    std::vector<std::string> objects;
    for (int i = 1; i <= levels; ++i) objects.push_back(std::string("\xA2") + char(i) + char(i));
    objects.push_back(std::string("\x10\x01", 2));
    return BinaryPlist(objects);
}

TEST(FoundationPropertyList, ReadsBinaryListsAndRefusesHostileInput) {
    // {"k": [1, "x"]}: dict(1) keys 1 values 2; "k"; array(2) 3 4; int 1; "x".
    const QByteArray good = BinaryPlist({std::string("\xD1\x01\x02", 3), "\x51k", std::string("\xA2\x03\x04", 3),
                                         std::string("\x10\x01", 2), "\x51x"});
    NSPropertyListSerialization::Format format{};
    QString error;
    const QVariant value = NSPropertyListSerialization::propertyListWithData(good, &format, &error);
    EXPECT_EQ(format, NSPropertyListSerialization::NSPropertyListBinaryFormat_v1_0);
    EXPECT_EQ(Normalised(value),
              (QVariantMap{{QStringLiteral("k"), QVariantList{qlonglong(1), QStringLiteral("x")}}})) << error.toStdString();

    const QByteArray xml = NSPropertyListSerialization::dataWithPropertyList(QVariantMap{{QStringLiteral("a"), 1}});
    QByteArray deepXml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < 100000; ++i) deepXml += "<array>";
    for (int i = 0; i < 100000; ++i) deepXml += "</array>";
    deepXml += "</plist>";
    struct Case {
        const char *name;
        QByteArray data;
    } hostile[] = {
        {"empty", QByteArray()},
        {"garbage", QByteArray("not a property list")},
        {"truncated XML", xml.left(xml.size() / 2)},
        {"XML nested too deep", deepXml},
        {"binary nested too deep", NestedBinaryPlist(5000)},
        {"self-referring array", BinaryPlist({std::string("\xA1\x00", 2)})},
        {"cycle of two", BinaryPlist({std::string("\xA1\x01", 2), std::string("\xA1\x00", 2)})},
        {"reference past the end", BinaryPlist({std::string("\xA1\x05", 2)})},
        {"count past the end", BinaryPlist({std::string("\xAF\x10\x7F\x00", 4)})},
        {"truncated binary", good.left(good.size() - 5)},
        {"shared arrays expanding exponentially", SharedBinaryPlist(40)},
    };
    for (const Case &c : hostile) {
        SCOPED_TRACE(c.name);
        QString why;
        EXPECT_FALSE(NSPropertyListSerialization::propertyListWithData(c.data, nullptr, &why).isValid());
        EXPECT_FALSE(why.isEmpty());
    }
    EXPECT_TRUE(NSPropertyListSerialization::propertyListWithData(NestedBinaryPlist(400)).isValid());
    EXPECT_TRUE(NSPropertyListSerialization::propertyListWithData(SharedBinaryPlist(10)).isValid());
}

// A string or key holding a NUL is refused, whole file, in either form: libplist aborts the
// process on such XML and UTF-16 strings and cuts ASCII ones short. The files are the
// minimised inputs.
TEST(FoundationPropertyList, StringsAndKeysWithNulAreRefused) {
    const char *files[] = {"xml-string-nul.plist",       "xml-key-nul.plist",
                           "binary-string-nul.plist",    "binary-key-nul.plist",
                           "binary-utf16-string-nul.plist", "binary-utf16-key-nul.plist"};
    for (const char *name : files) {
        SCOPED_TRACE(name);
        const char *folder = std::getenv("LUMORA_TEST_DATA");  // this folder, set by ctest
        ASSERT_NE(folder, nullptr);
        QFile file(QString::fromLocal8Bit(folder) + QStringLiteral("/data/") + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray data = file.readAll();
        QString error;
        EXPECT_FALSE(NSPropertyListSerialization::propertyListWithData(data, nullptr, &error).isValid());
        EXPECT_TRUE(error.contains(QLatin1String("NUL"))) << error.toStdString();
        try {
            NSKeyedUnarchiver unarchiver(data, NSKeyedUnarchiver::propertyListClasses());
            ADD_FAILURE() << "read as an archive";
        } catch (const NSException &exception) {
            EXPECT_EQ(exception.name(), QLatin1String(NSInvalidUnarchiveOperationException));
        }
    }
    // Writing refuses them too, and the same text without the NUL reads.
    QString error;
    EXPECT_TRUE(NSPropertyListSerialization::dataWithPropertyList(QString::fromUtf8("a\0b", 3), &error).isEmpty());
    EXPECT_TRUE(NSPropertyListSerialization::dataWithPropertyList(
                    QVariantMap{{QString::fromUtf8("a\0b", 3), 1}}, &error).isEmpty());
    EXPECT_EQ(NSPropertyListSerialization::propertyListWithData("<dict><key>ab</key><string>\xc3\xa9x</string></dict>"),
              QVariant(QVariantMap{{QStringLiteral("ab"), QString::fromUtf8("\xc3\xa9x")}}));
}

// Integers above 2^63-1 are unsigned (qulonglong) and stay so, read from either form and
// written back; the others are qlonglong. Binary lists mark them by a 16-byte encoding.
TEST(FoundationPropertyList, LargeUnsignedIntegersKeepTheirValue) {
    const std::string zeros(8, '\0');
    struct Case {
        const char *text;
        std::string binary;
        QVariant expected;
    } cases[] = {
        {"18446744073709551615", "\x14" + zeros + std::string(8, '\xFF'), QVariant(qulonglong(UINT64_MAX))},
        {"9223372036854775808", "\x14" + zeros + std::string("\x80", 1) + std::string(7, '\0'),
         QVariant(qulonglong(1) << 63)},
        {"9223372036854775807", "\x13\x7F" + std::string(7, '\xFF'), QVariant(qlonglong(INT64_MAX))},
        {"4294967296", std::string("\x13\x00\x00\x00\x01", 5) + std::string(4, '\0'), QVariant(qlonglong(1) << 32)},
        {"-1", "\x13" + std::string(8, '\xFF'), QVariant(qlonglong(-1))},
        {"-9223372036854775808", "\x13\x80" + std::string(7, '\0'), QVariant(qlonglong(INT64_MIN))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        const QByteArray xml = QByteArray("<plist version=\"1.0\"><array><integer>") + c.text + "</integer></array></plist>";
        for (const QByteArray &data : {xml, BinaryPlist({std::string("\xA1\x01", 2), c.binary})}) {
            QString error;
            const QVariant read = NSPropertyListSerialization::propertyListWithData(data, nullptr, &error).toList().value(0);
            EXPECT_EQ(read.metaType(), c.expected.metaType()) << error.toStdString();
            EXPECT_EQ(read, c.expected);
            const QByteArray written = NSPropertyListSerialization::dataWithPropertyList(QVariantList{read}, &error);
            EXPECT_TRUE(written.contains(QByteArray("<integer>") + c.text + "</integer>")) << written.toStdString();
            const QVariant back = NSPropertyListSerialization::propertyListWithData(written).toList().value(0);
            EXPECT_EQ(back.metaType(), c.expected.metaType());
            EXPECT_EQ(back, c.expected);
        }
    }
    // Written from any unsigned type; a keyed archive keeps them too.
    EXPECT_TRUE(NSPropertyListSerialization::dataWithPropertyList(QVariant::fromValue<unsigned long>(ULONG_MAX))
                    .contains("<integer>18446744073709551615</integer>"));
    const QVariant archived = NSKeyedUnarchiver::unarchivedObjectOfClass(
        QStringLiteral("NSNumber"), {}, NSKeyedArchiver::archivedDataWithRootObject(QVariant(qulonglong(UINT64_MAX))));
    EXPECT_EQ(archived.metaType(), QMetaType::fromType<qulonglong>());
    EXPECT_EQ(archived.toULongLong(), UINT64_MAX);
    // More than 64 bits is refused, not cut to the low half.
    QString error;
    EXPECT_FALSE(NSPropertyListSerialization::propertyListWithData(
                     BinaryPlist({"\x14" + std::string(7, '\0') + "\x01" + std::string(8, '\xFF')}), nullptr, &error)
                     .isValid());
    EXPECT_TRUE(error.contains(QLatin1String("64 bits"))) << error.toStdString();
}

// A binary list holds any double as a date; whatever is read can be written again (a
// defaults file with one absurd date must not make every later save fail).
TEST(FoundationPropertyList, EveryDateReadCanBeWrittenAgain) {
    const auto date = [](double seconds) {
        std::string bytes = "\x33";
        uint64_t bits;
        std::memcpy(&bits, &seconds, sizeof bits);
        for (int shift = 56; shift >= 0; shift -= 8) bytes += char(bits >> shift);
        return BinaryPlist({std::string("\xA1\x01", 2), bytes});
    };
    const struct {
        double seconds;
        qint64 expected;  // milliseconds since 2001-01-01
    } cases[] = {
        {0, 0},
        {86400.5, 86400500},
        {-86400, -86400000},
        // Beyond 32-bit seconds libplist's own conversion decides the value; only that it can
        // be written again is checked.
        {1e12, -1},
        {-1e12, -1},
        {1e300, -1},
        {-1e300, -1},
        {std::numeric_limits<double>::quiet_NaN(), -1},
        {std::numeric_limits<double>::infinity(), -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.seconds);
        QString error;
        const QVariant read = NSPropertyListSerialization::propertyListWithData(date(c.seconds), nullptr, &error);
        ASSERT_TRUE(read.isValid()) << error.toStdString();
        const QDateTime value = read.toList().value(0).toDateTime();
        ASSERT_TRUE(value.isValid());
        if (c.expected != -1) EXPECT_EQ(value.toMSecsSinceEpoch() - 978307200000LL, c.expected);
        EXPECT_TRUE(NSPropertyListSerialization::propertyListIsValid(read));
        EXPECT_FALSE(NSPropertyListSerialization::dataWithPropertyList(read, &error).isEmpty()) << error.toStdString();
    }
}

// ---- Keyed archives -----------------------------------------------------------------------

QStringList AllClasses() {
    return NSKeyedUnarchiver::propertyListClasses() + QStringList{QStringLiteral("NSColor"), QStringLiteral("ArchivePreset")};
}

TEST(FoundationKeyedArchive, RoundTripsEveryTypeUnderItsKey) {
    auto values = PlistValues();
    values.emplace_back("colour", QColor::fromRgbF(1.0f, 0.5f, 0.25f, 0.75f));
    values.emplace_back("nil", QVariant());
    for (const auto &[name, value] : values) {
        SCOPED_TRACE(name);
        const QByteArray data = NSKeyedArchiver::archivedDataWithRootObject(value, QStringLiteral("UPersistentObjectsController"));
        ASSERT_TRUE(data.startsWith("<?xml"));
        NSKeyedUnarchiver unarchiver(data, AllClasses());
        EXPECT_EQ(Normalised(unarchiver.decodeObject(QStringLiteral("UPersistentObjectsController"))), Normalised(value));
        EXPECT_FALSE(unarchiver.decodeObject(QStringLiteral("root")).isValid()) << "another key holds nothing";
    }

    // The layout.
    const QByteArray data = NSKeyedArchiver::archivedDataWithRootObject(QVariantMap{{QStringLiteral("k"), QStringLiteral("v")}});
    for (const char *piece : {"<key>$archiver</key>", "<string>NSKeyedArchiver</string>", "<key>$version</key>",
                              "<integer>100000</integer>", "<key>$top</key>", "<key>CF$UID</key>",
                              "<string>$null</string>", "<key>$classname</key>", "<string>NSDictionary</string>"})
        EXPECT_TRUE(data.contains(piece)) << piece;
}

TEST(FoundationKeyedArchive, ArchivableClassesKeepTheirValuesAndSharing) {
    auto shared = std::make_shared<ArchivePreset>();
    shared->mName = QStringLiteral("shared");
    auto preset = std::make_shared<ArchivePreset>();
    preset->mName = QStringLiteral("Warm");
    preset->mAmount = 0.625;
    preset->mEnabled = true;
    preset->mIndex = -3;
    preset->mColor = QColor(Qt::blue);
    preset->mLinked = shared;
    const QVariantList list{QVariant::fromValue<NSCodingObject>(preset), QVariant::fromValue<NSCodingObject>(shared)};
    const QByteArray data = NSKeyedArchiver::archivedDataWithRootObject(list);

    const QVariantList back = NSKeyedUnarchiver::unarchivedObjectOfClass(QStringLiteral("NSArray"), AllClasses(), data).toList();
    ASSERT_EQ(back.size(), 2);
    auto first = std::dynamic_pointer_cast<ArchivePreset>(back[0].value<NSCodingObject>());
    ASSERT_TRUE(first);
    EXPECT_EQ(first->mName, QStringLiteral("Warm"));
    EXPECT_EQ(first->mAmount, 0.625);
    EXPECT_TRUE(first->mEnabled);
    EXPECT_EQ(first->mIndex, -3);
    EXPECT_EQ(first->mColor, QColor(Qt::blue));
    EXPECT_EQ(first->mLinked, back[1].value<NSCodingObject>()) << "one object referred to twice stays one";
    EXPECT_EQ(NSKeyedUnarchiver::classNameOfValue(back[0]), QStringLiteral("ArchivePreset"));

    auto loop = std::make_shared<ArchivePreset>();
    loop->mName = QStringLiteral("loop");
    loop->mLinked = loop;
    EXPECT_THROW(NSKeyedArchiver::archivedDataWithRootObject(QVariant::fromValue<NSCodingObject>(loop)), NSException);
    loop->mLinked.reset();
    QObject notArchivable;
    EXPECT_THROW(NSKeyedArchiver::archivedDataWithRootObject(QVariant::fromValue(&notArchivable)), NSException);
}

// An archive of hand-written objects ($objects after "$null"), top {"root": UID rootUid}.
QByteArray Archive(const QStringList &objects, int rootUid = 1) {
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                     "<key>$archiver</key><string>NSKeyedArchiver</string>"
                     "<key>$version</key><integer>100000</integer>"
                     "<key>$top</key><dict><key>root</key><dict><key>CF$UID</key><integer>" +
                     QByteArray::number(rootUid) + "</integer></dict></dict><key>$objects</key><array><string>$null</string>";
    for (const QString &object : objects) xml += object.toUtf8();
    return xml + "</array></dict></plist>";
}

QString Uid(int uid) { return QStringLiteral("<dict><key>CF$UID</key><integer>%1</integer></dict>").arg(uid); }
QString Class(const char *name) {
    return QStringLiteral("<dict><key>$classname</key><string>%1</string><key>$classes</key><array><string>%1</string>"
                          "</array></dict>")
        .arg(QLatin1String(name));
}
QString ArrayOf(const QList<int> &uids, int classUid) {
    QString refs;
    for (int uid : uids) refs += Uid(uid);
    return QStringLiteral("<dict><key>NS.objects</key><array>%1</array><key>$class</key>%2</dict>").arg(refs, Uid(classUid));
}

TEST(FoundationKeyedArchive, HostileArchivesFailCleanly) {
    const QStringList plistClasses = NSKeyedUnarchiver::propertyListClasses();
    const QByteArray good = NSKeyedArchiver::archivedDataWithRootObject(
        QVariantMap{{QStringLiteral("tint"), QColor(Qt::red)}, {QStringLiteral("n"), 1}});
    QStringList deep;  // arrays each holding the next, then the class
    const int levels = 1000;
    for (int i = 1; i <= levels; ++i) deep << ArrayOf(i < levels ? QList<int>{i + 1} : QList<int>{}, levels + 1);
    deep << Class("NSArray");
    const QString dictionaryWithNumberKey =
        QStringLiteral("<dict><key>NS.keys</key><array>%1</array><key>NS.objects</key><array>%1</array>"
                       "<key>$class</key>%2</dict>")
            .arg(Uid(2), Uid(3));
    struct Case {
        const char *name;
        QByteArray data;
        QString rootClass;
    } cases[] = {
        {"class outside the allow-list", good, "NSDictionary"},  // NSColor is not allowed
        {"registered class outside the allow-list",
         Archive({QStringLiteral("<dict><key>name</key>%1<key>$class</key>%2</dict>").arg(Uid(2), Uid(3)),
                  "<string>x</string>", Class("ArchivePreset")}),
         "NSDictionary"},
        {"unknown class", Archive({QStringLiteral("<dict><key>$class</key>%1</dict>").arg(Uid(2)), Class("EvilClass")}),
         "NSDictionary"},
        {"UID past the end", Archive({ArrayOf({7}, 2), Class("NSArray")}), "NSArray"},
        {"root UID past the end", Archive({"<string>x</string>"}, 9), "NSString"},
        {"class UID past the end", Archive({ArrayOf({}, 40)}), "NSArray"},
        {"cycle", Archive({ArrayOf({1}, 2), Class("NSArray")}), "NSArray"},
        {"non-dictionary root", Archive({ArrayOf({}, 2), Class("NSArray")}), "NSDictionary"},
        {"dictionary key that is not a string", Archive({dictionaryWithNumberKey, "<integer>5</integer>", Class("NSDictionary")}),
         "NSDictionary"},
        {"truncated XML", good.left(good.size() * 2 / 3), "NSDictionary"},
        {"deep nesting", Archive(deep), "NSArray"},
        {"a plain property list", NSPropertyListSerialization::dataWithPropertyList(QVariantMap{}), "NSDictionary"},
        {"no $null", Archive({}).replace("<string>$null</string>", "<string>x</string>"), "NSString"},
        {"wrong archiver", Archive({"<string>x</string>"}).replace("NSKeyedArchiver", "Other"), "NSString"},
        {"integer past qint64",
         Archive({QStringLiteral("<dict><key>name</key>%1<key>index</key><integer>18446744073709551615</integer>"
                                 "<key>$class</key>%2</dict>")
                      .arg(Uid(2), Uid(3)),
                  "<string>x</string>", Class("ArchivePreset")}),
         "ArchivePreset"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            NSKeyedUnarchiver::unarchivedObjectOfClass(c.rootClass, plistClasses, c.data);
            ADD_FAILURE() << "decoded";
        } catch (const NSException &error) {
            EXPECT_EQ(error.name(), QLatin1String(NSInvalidUnarchiveOperationException)) << error.what();
        }
    }
    // A sound archive with the colour allowed, and a missing key, decode.
    EXPECT_TRUE(NSKeyedUnarchiver::unarchivedObjectOfClass(QStringLiteral("NSDictionary"),
                                                           plistClasses + QStringList{QStringLiteral("NSColor")}, good)
                    .isValid());
    EXPECT_FALSE(NSKeyedUnarchiver::unarchivedObjectOfClass(QStringLiteral("NSDictionary"), plistClasses, good,
                                                            QStringLiteral("other"))
                     .isValid());
}

// ---- Value transformers and attributed strings ---------------------------------------------

class UpperTransformer : public NSValueTransformer {
public:
    bool allowsReverseTransformation() const override { return true; }
    QVariant transformedValue(const QVariant &value) const override { return value.toString().toUpper(); }
    QVariant reverseTransformedValue(const QVariant &value) const override { return value.toString().toLower(); }
};

TEST(FoundationValueTransformer, RegisteredByName) {
    EXPECT_EQ(NSValueTransformer::valueTransformerForName(QStringLiteral("upper")), nullptr);
    auto upper = std::make_shared<UpperTransformer>();
    NSValueTransformer::setValueTransformer(upper, QStringLiteral("upper"));
    auto found = NSValueTransformer::valueTransformerForName(QStringLiteral("upper"));
    ASSERT_EQ(found, upper);
    EXPECT_EQ(found->transformedValue(QStringLiteral("ab")), QVariant(QStringLiteral("AB")));
    EXPECT_EQ(found->reverseTransformedValue(QStringLiteral("AB")), QVariant(QStringLiteral("ab")));
    NSValueTransformer::setValueTransformer(std::make_shared<NSValueTransformer>(), QStringLiteral("upper"));
    auto plain = NSValueTransformer::valueTransformerForName(QStringLiteral("upper"));
    EXPECT_NE(plain, upper);
    EXPECT_EQ(plain->transformedValue(3), QVariant(3));
    EXPECT_THROW(plain->reverseTransformedValue(3), NSException);
    NSValueTransformer::setValueTransformer(nullptr, QStringLiteral("upper"));
    EXPECT_EQ(NSValueTransformer::valueTransformerForName(QStringLiteral("upper")), nullptr);
}

TEST(FoundationAttributedString, RunsAndRestyledCopies) {
    const QVariantMap bold{{QStringLiteral("weight"), 700}};
    const QVariantMap mono{{NSFontAttributeName, QStringLiteral("monospace")}};
    const NSAttributedString original(QStringLiteral("Hello world"), bold);
    const QVariant carried = QVariant::fromValue(original);

    // Restyling an immutable string means restyling a copy; the original stays.
    NSMutableAttributedString styled(*attributedStringFromVariant(carried));
    styled.addAttributes(mono, NSMakeRange(0, styled.length()));
    styled.setAttributes(bold, NSMakeRange(6, 5));
    NSRange run;
    EXPECT_EQ(styled.attributesAtIndex(0, &run), (QVariantMap{{QStringLiteral("weight"), 700}, {NSFontAttributeName, QStringLiteral("monospace")}}));
    EXPECT_EQ(run, NSMakeRange(0, 6));
    EXPECT_EQ(styled.attributesAtIndex(10, &run), bold);
    EXPECT_EQ(run, NSMakeRange(6, 5));
    EXPECT_EQ(original.attributesAtIndex(0, &run), bold);
    EXPECT_EQ(run, NSMakeRange(0, 11));

    styled.addAttribute(NSFontAttributeName, QStringLiteral("monospace"), NSMakeRange(6, 5));
    styled.attributesAtIndex(0, &run);
    EXPECT_EQ(run, NSMakeRange(0, 11)) << "equal neighbouring runs merge";
    styled.replaceCharactersInRange(NSMakeRange(0, 5), QStringLiteral("Goodbye"));
    EXPECT_EQ(styled.string(), QStringLiteral("Goodbye world"));
    styled.removeAttribute(NSFontAttributeName, NSMakeRange(0, 7));
    EXPECT_EQ(styled.attributesAtIndex(0), bold);
    EXPECT_EQ(styled.attributeAtIndex(NSFontAttributeName, 8), QVariant(QStringLiteral("monospace")));
    EXPECT_TRUE(attributedStringFromVariant(QVariant::fromValue(styled)).has_value());
    EXPECT_FALSE(attributedStringFromVariant(QStringLiteral("plain")).has_value());

    for (NSRange bad : {NSMakeRange(-1, 1), NSMakeRange(10, 4), NSMakeRange(0, -1)})
        EXPECT_THROW(styled.setAttributes(bold, bad), NSException);
    EXPECT_THROW(original.attributesAtIndex(11), NSException);
    EXPECT_THROW(NSAttributedString().attributesAtIndex(0), NSException);
}

}  // namespace
