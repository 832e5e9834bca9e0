#include <CocoaFoundation/NSDatazer.h>

#include <gtest/gtest.h>

namespace {

TEST(NSDatazer, SwapsTheHalvesOfEveryByteAndIsItsOwnInverse) {
    QByteArray data("\x12\xAB\xF0", 3);
    EXPECT_TRUE(NSDatazer::transformData(data));
    EXPECT_EQ(data, QByteArray("\x21\xBA\x0F", 3));
    NSDatazer::transform(data);
    EXPECT_EQ(data, QByteArray("\x12\xAB\xF0", 3));

    QByteArray all;
    for (int byte = 0; byte < 256; ++byte) all.append(static_cast<char>(byte));
    QByteArray twice = all;
    NSDatazer::transformData(twice);
    EXPECT_NE(twice, all);
    NSDatazer::transformData(twice);
    EXPECT_EQ(twice, all);

    QByteArray empty;
    EXPECT_TRUE(NSDatazer::transformData(empty));
    EXPECT_TRUE(empty.isEmpty());
}

TEST(NSDatazer, FactoriesCopyAndTransformOnlyWhenAsked) {
    const unsigned char stored[] = {0x21, 0xBA, 0x0F};
    const QByteArray plain = NSDatazer::dataWithNSDataBytes(stored, sizeof stored);
    EXPECT_EQ(plain, QByteArray("\x21\xBA\x0F", 3));
    const QByteArray decoded = NSDatazer::dataWithNSDatazerBytes(stored, sizeof stored);
    EXPECT_EQ(decoded, QByteArray("\x12\xAB\xF0", 3));
    EXPECT_EQ(stored[0], 0x21);  // the source bytes are not touched

    QByteArray source("abc");
    QByteArray copy = NSDatazer::dataWithNSData(source);
    NSDatazer::transformData(copy);
    EXPECT_EQ(source, QByteArray("abc"));

    const QByteArray none = NSDatazer::dataWithNSDataBytes(nullptr, 0);
    EXPECT_FALSE(none.isNull());
    EXPECT_TRUE(none.isEmpty());
}

}  // namespace
