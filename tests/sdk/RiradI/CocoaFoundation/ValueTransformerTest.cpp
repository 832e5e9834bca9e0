#include <CocoaFoundation/NSAttributedString_NSCFString_ValueTransformer.h>

#include <Foundation/NSAttributedString.h>
#include <Foundation/NSKeyValueCoding.h>

#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

class StringHolder : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QString string() const { return QStringLiteral("held string"); }
};

class StringValueHolder : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE QString stringValue() const { return QStringLiteral("held value"); }
};

class Opaque : public QObject {
    Q_OBJECT
};

class ValueTransformerTest : public ::testing::Test, riradi_test::WithApplication {
protected:
    NSAttributedString_NSCFString_ValueTransformer transformer;

    static NSAttributedString Forward(const NSValueTransformer &t, const QVariant &value) {
        const QVariant result = t.transformedValue(value);
        EXPECT_EQ(result.metaType(), QMetaType::fromType<NSMutableAttributedString>());
        return attributedStringFromVariant(result).value_or(NSAttributedString());
    }
    static void ExpectStyled(const NSAttributedString &text) {
        NSRange run;
        const QVariant font = text.attributeAtIndex(NSFontAttributeName, 0, &run);
        ASSERT_TRUE(font.canConvert<QFont>());
        EXPECT_TRUE(QFontInfo(font.value<QFont>()).fixedPitch());
        EXPECT_EQ(run, NSMakeRange(0, text.length()));
    }
};

TEST_F(ValueTransformerTest, ForwardGivesStyledAttributedStrings) {
    EXPECT_TRUE(transformer.allowsReverseTransformation());
    EXPECT_EQ(NSAttributedString_NSCFString_ValueTransformer::transformedValueClass(),
              QMetaType::fromType<NSMutableAttributedString>());
    EXPECT_FALSE(transformer.transformedValue(QVariant()).isValid());

    StringHolder holder;
    StringValueHolder valueHolder;
    Opaque opaque;
    const struct {
        QVariant value;
        QString text;
    } cases[] = {
        {QStringLiteral("plain text"), "plain text"},
        {2.5, "2.5"},
        {42, "42"},
        {NSKeyValueCoding::variantFromObject(&holder), "held string"},
        {NSKeyValueCoding::variantFromObject(&valueHolder), "held value"},
    };
    for (const auto &c : cases) {
        const NSAttributedString text = Forward(transformer, c.value);
        EXPECT_EQ(text.string(), c.text);
        ExpectStyled(text);
    }
    const QString framed = Forward(transformer, NSKeyValueCoding::variantFromObject(&opaque)).string();
    EXPECT_TRUE(framed.startsWith("!!!<"));
    EXPECT_TRUE(framed.endsWith("(Opaque)!!!"));
    const QString data = Forward(transformer, QByteArray("xy")).string();
    EXPECT_TRUE(data.startsWith("!!!") && data.endsWith("(QByteArray)!!!")) << data.toStdString();
}

TEST_F(ValueTransformerTest, AnImmutableAttributedStringIsRestyledAsACopy) {
    const NSAttributedString original("bold words", {{"NSBold", true}});
    const QVariant value = QVariant::fromValue(original);
    const NSAttributedString styled = Forward(transformer, value);
    EXPECT_EQ(styled.string(), "bold words");
    ExpectStyled(styled);
    EXPECT_FALSE(styled.attributeAtIndex("NSBold", 0).isValid());
    // The value handed in is unchanged.
    EXPECT_EQ(attributedStringFromVariant(value)->attributeAtIndex("NSBold", 0), QVariant(true));
    EXPECT_FALSE(attributedStringFromVariant(value)->attributeAtIndex(NSFontAttributeName, 0).isValid());
}

TEST_F(ValueTransformerTest, ReverseGivesPlainStrings) {
    StringHolder holder;
    StringValueHolder valueHolder;
    Opaque opaque;
    EXPECT_FALSE(transformer.reverseTransformedValue(QVariant()).isValid());
    EXPECT_EQ(transformer.reverseTransformedValue(QVariant::fromValue(NSMutableAttributedString("edited"))),
              QVariant("edited"));
    EXPECT_EQ(transformer.reverseTransformedValue(QStringLiteral("as is")), QVariant("as is"));
    EXPECT_EQ(transformer.reverseTransformedValue(NSKeyValueCoding::variantFromObject(&holder)),
              QVariant("held string"));
    EXPECT_EQ(transformer.reverseTransformedValue(NSKeyValueCoding::variantFromObject(&valueHolder)),
              QVariant("held value"));
    EXPECT_EQ(transformer.reverseTransformedValue(3), QVariant("3"));
    const QString framed = transformer.reverseTransformedValue(NSKeyValueCoding::variantFromObject(&opaque)).toString();
    EXPECT_TRUE(framed.startsWith("###<") && framed.endsWith("(Opaque)###")) << framed.toStdString();
}

TEST_F(ValueTransformerTest, RegistersUnderItsName) {
    NSAttributedString_NSCFString_ValueTransformer::registerValueTransformer();
    const auto registered = NSValueTransformer::valueTransformerForName("attributedStringFromCoreFoundationString");
    ASSERT_NE(registered, nullptr);
    EXPECT_EQ(Forward(*registered, QStringLiteral("x")).string(), "x");
    EXPECT_EQ(&NSAttributedString_NSCFString_ValueTransformer::defaultTextAttributes(),
              &NSAttributedString_NSCFString_ValueTransformer::defaultTextAttributes());
}

}  // namespace

#include "ValueTransformerTest.moc"
