#include <CocoaFoundation/NSData_HexEncoding.h>

#include <gtest/gtest.h>

namespace {

TEST(HexEncoding, EncodesTwoUpperCaseDigitsPerByteAndReadsThemBack) {
    EXPECT_EQ(HexEncoding::hexEncodedString(QByteArray("\x00\xAB\xFF", 3)), "00ABFF");
    EXPECT_TRUE(HexEncoding::hexEncodedString(QByteArray()).isEmpty());

    QByteArray all;
    for (int byte = 0; byte < 256; ++byte) all.append(static_cast<char>(byte));
    const QString text = HexEncoding::hexEncodedString(all);
    ASSERT_EQ(text.size(), 512);
    EXPECT_TRUE(text.startsWith("000102"));
    EXPECT_TRUE(text.endsWith("FDFEFF"));
    EXPECT_EQ(HexEncoding::dataWithHexEncodedString(text), all);
    EXPECT_EQ(HexEncoding::dataWithHexEncodedString(text.toLower()), all);
}

TEST(HexEncoding, ReadingNeverFails) {
    const struct {
        const char *name;
        QString text;
        QByteArray bytes;
    } cases[] = {
        {"lower case", "00abff", QByteArray("\x00\xAB\xFF", 3)},
        {"mixed case", "aBcD", QByteArray("\xAB\xCD", 2)},
        {"one character", "0", QByteArray()},
        {"odd length", "ABC", QByteArray()},
        {"empty", "", QByteArray()},
        {"foreign digits count as zero", "zz", QByteArray("\x00", 1)},
        {"one foreign digit", "g1", QByteArray("\x01", 1)},
        {"separators are digits too", "0A 0B", QByteArray()},
        {"prefix", "0x1F", QByteArray("\x00\x1F", 2)},
        // Two UTF-16 units make one byte, read from the first two bytes of the UTF-8 form.
        {"non-ASCII", QString::fromUtf8("\xC3\xA9" "5"), QByteArray("\x00", 1)},
        {"non-ASCII, even", QString::fromUtf8("\xC3\xA9" "\xC3\xA9"), QByteArray("\x00", 1)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(HexEncoding::dataWithHexEncodedString(c.text), c.bytes);
    }
}

}  // namespace
