#include <UIParamMapping/NSUIDesignCodes.h>

#include <gtest/gtest.h>

#include <QDateTime>

namespace {

QString Lines(std::initializer_list<const char *> lines) {
    QString text;
    for (const char *line : lines) text += QString::fromUtf8(line) + QStringLiteral("\r\n");
    return text;
}

QVariantMap Parse(const QString &text, bool *stored = nullptr) {
    NSUIDesignCodes codes(QString(), NSUIDesignCodes::kDefaultTitle, NSUIDesignCodes::kDefaultIdentifier);
    const bool result = codes.setCodeString(text);
    if (stored) *stored = result;
    return codes.codeDictionary();
}

TEST(NSUIDesignCodesWriter, WritesSortedLinesBetweenMarkers) {
    EXPECT_EQ(NSUIDesignCodes::codeStringFromDictionary({{"b", 2}, {"A", "x y"}}),
              Lines({"com.tarvex.bookmark.begin;", "A=x y;", "b=2;", "com.tarvex.bookmark.end;"}));
    EXPECT_EQ(NSUIDesignCodes::codeStringFromDictionary({{"b", 2}, {"A", 1}, {"a", 3}}),
              Lines({"com.tarvex.bookmark.begin;", "A=1;", "a=3;", "b=2;", "com.tarvex.bookmark.end;"}));
    EXPECT_EQ(NSUIDesignCodes::codeStringFromDictionary({}, "x"), Lines({"x.begin;", "x.end;"}));
    EXPECT_EQ(NSUIDesignCodes::codeStringFromDictionary({}, ""), Lines({".begin;", ".end;"}));
    EXPECT_EQ(NSUIDesignCodes::beginCodeMarker("id"), "id.begin;\r\n");
    EXPECT_EQ(NSUIDesignCodes::endCodeMarker("id"), "id.end;\r\n");
    // A value that cannot be had is reported and left out.
    EXPECT_EQ(NSUIDesignCodes::codeStringFromDictionary({{"gone", QVariant()}, {"k", "v"}}, "i"),
              Lines({"i.begin;", "k=v;", "i.end;"}));
}

TEST(NSUIDesignCodesWriter, WritesNonStringValuesAsText) {
    const struct {
        QVariant value;
        const char *text;
    } cases[] = {
        {QVariant(1), "1"},
        {QVariant(true), "1"},
        {QVariant(false), "0"},
        {QVariant(0.25), "0.25"},
        {QVariant(-3LL), "-3"},
        {QVariant(QVariantList{1, "a;b"}), "[1,\"a\\;b\"]"},
        {QVariant(QVariantMap{{"k", "v=w"}}), "{\"k\":\"v\\=w\"}"},
        {QVariant(QByteArray("\x01\xff", 2)), "<01 ff>"},
    };
    for (const auto &c : cases) {
        const QString code = NSUIDesignCodes::codeStringFromDictionary({{"key", c.value}}, "i");
        EXPECT_EQ(code, Lines({"i.begin;", (std::string("key=") + c.text + ";").c_str(), "i.end;"}))
            << c.value.typeName();
    }
}

TEST(NSUIDesignCodesReader, ReadsStatementsAsTheyAlwaysWere) {
    const struct {
        QString text;
        QVariantMap expected;
        bool stored;
    } cases[] = {
        {Lines({"com.tarvex.bookmark.begin;", "x=1;", "y=2;", "com.tarvex.bookmark.end;"}),
         {{"x", "1"}, {"y", "2"}}, true},
        {"x=1;y=2", {{"x", "1"}, {"y", "2"}}, true},
        {"a=b=c;", {}, false},
        {"k= v ;", {{"k", " v "}}, true},
        {"x=1\r\n2;", {{"x", "12"}}, true},
        {"x=1\r2\n3;", {{"x", "123"}}, true},
        {Lines({"com.tarvex.bookmark.begin;", "com.tarvex.bookmark.end;"}), {}, false},
        {"=;", {{"", ""}}, true},
        {"k=1;k=2;", {{"k", "2"}}, true},
        {"other.begin;z=9;other.end;", {{"z", "9"}}, true},
        // Legacy text with backslashes that are no escape reads unchanged.
        {"path=C:\\temp\\x;re=a\\d+;", {{"path", "C:\\temp\\x"}, {"re", "a\\d+"}}, true},
        {"end=back\\", {{"end", "back\\"}}, true},
        {"", {}, false},
    };
    for (const auto &c : cases) {
        bool stored = false;
        EXPECT_EQ(Parse(c.text, &stored), c.expected) << c.text.toStdString();
        EXPECT_EQ(stored, c.stored) << c.text.toStdString();
    }
}

TEST(NSUIDesignCodesReader, NullTextKeepsTheDictionary) {
    NSUIDesignCodes codes("a=1;", "t", "i");
    EXPECT_FALSE(codes.setCodeString(QString()));
    EXPECT_EQ(codes.codeDictionary(), (QVariantMap{{"a", "1"}}));
    EXPECT_FALSE(codes.setCodeString("nothing here"));
    EXPECT_TRUE(codes.codeDictionary().isEmpty());
}

TEST(NSUIDesignCodesRoundTrip, EveryDictionaryComesBackAsStrings) {
    const QVariantMap cases[] = {
        {},
        {{"bookmark.version", 1}, {"camera.interpolation.time", 0.5}},
        {{"a=b", "c=d"}, {"semi;colon", "x;y;"}, {"trailing\\", "\\"}},
        {{"lines", "one\r\ntwo\nthree\rfour"}, {"crlf", "\r\n"}},
        {{"text", QString::fromUtf8("Grüße – 日本語 ✓")}, {QString::fromUtf8("clé"), "é=è;"}},
        {{"escapes", "\\;\\=\\r\\n"}, {"empty", ""}, {"", "empty key"}},
        {{"b", "2"}, {"A", "x y"}, {"a", "3"}},
    };
    for (const QVariantMap &dictionary : cases) {
        QVariantMap asStrings;
        for (auto it = dictionary.begin(); it != dictionary.end(); ++it)
            asStrings.insert(it.key(), NSUIDesignCodes::valueString(it.value()));
        const auto codes = NSUIDesignCodes::codesWithCodeDictionary(dictionary);
        ASSERT_NE(codes, nullptr);
        EXPECT_EQ(codes->codeDictionary(), asStrings);
        const QString text = codes->codeString();
        EXPECT_EQ(Parse(text), asStrings);
        // The text keeps its line structure: one line per entry plus the markers.
        EXPECT_EQ(text.count(QStringLiteral("\r\n")), dictionary.size() + 2);
        EXPECT_EQ(text.count(QLatin1Char('\r')), dictionary.size() + 2);
    }
}

TEST(NSUIDesignCodes, ConstructorsAndAccessors) {
    auto codes = NSUIDesignCodes::codesWithCodeString("x=1;");
    EXPECT_EQ(codes->title(), "Bookmark");
    EXPECT_EQ(codes->identifier(), "com.tarvex.bookmark");
    EXPECT_EQ(codes->objectForKey("x"), QVariant("1"));
    EXPECT_FALSE(codes->objectForKey("y").isValid());
    EXPECT_EQ(codes->description(), "<NSUIDesignCodes title:Bookmark>");

    auto titled = NSUIDesignCodes::codesWithCodeString("nothing", "Mine", "org.x");
    ASSERT_NE(titled, nullptr);
    EXPECT_TRUE(titled->codeDictionary().isEmpty());
    EXPECT_EQ(titled->beginCodeMarker(), "org.x.begin;\r\n");
    titled->setCodeDictionary({{"n", 3}});
    EXPECT_EQ(titled->codeDictionary(), (QVariantMap{{"n", "3"}}));
    EXPECT_EQ(titled->codeString(), Lines({"org.x.begin;", "n=3;", "org.x.end;"}));
}

TEST(NSUIDesignCodesRequirements, BooleanVersionAndNumberTests) {
    NSUIDesignCodes codes("yes=yes;two=2;zero=0;v=2.1;v5=2.0.5;v4=2.0.4;n=10;f=2.5;", "t", "i");
    EXPECT_TRUE(codes.hasBooleanValue("yes", false));
    EXPECT_FALSE(codes.hasBooleanValue("yes", true));
    EXPECT_TRUE(codes.hasBooleanValue("two", true));
    EXPECT_TRUE(codes.hasBooleanValue("zero", false));
    EXPECT_FALSE(codes.hasBooleanValue("absent", false));
    EXPECT_FALSE(codes.hasBooleanValue("absent", true));

    EXPECT_TRUE(codes.isVersionRequiredAndNotMet("v5", "2.0.4"));
    EXPECT_TRUE(codes.isVersionRequiredAndNotMet("v", "2.0.4"));  // 2.1 is newer than 2.0.4
    EXPECT_FALSE(codes.isVersionRequiredAndNotMet("v4", "2.0.4"));
    EXPECT_FALSE(codes.isVersionRequiredAndNotMet("v4", "2.1"));
    EXPECT_FALSE(codes.isVersionRequiredAndNotMet("absent", "0"));

    EXPECT_TRUE(codes.isDoubleValueRequiredAndNotMet("n", 2));  // 10 is more than 2
    EXPECT_FALSE(codes.isDoubleValueRequiredAndNotMet("n", 10));
    EXPECT_FALSE(codes.isDoubleValueRequiredAndNotMet("f", 2.5));
    EXPECT_TRUE(codes.isDoubleValueRequiredAndNotMet("f", 2.4));
    EXPECT_FALSE(codes.isDoubleValueRequiredAndNotMet("absent", -1));
}

}  // namespace
