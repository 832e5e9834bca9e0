#include <UIParamMapping/NSUIParamMapping.h>

#include <AppKit/NSButton.h>
#include <Foundation/NSException.h>
#include <UICocoaColor/NSColorWellWithAlpha.h>
#include <UICocoaColor/UFColorWheelController.h>
#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QComboBox>
#include <QSlider>

#include <memory>
#include <vector>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

using Log = std::vector<QString>;

// A control of the camera view's kind: named getters and setters of its own, each call of a
// setter logged as "<name>=<value>".
class FakeControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool timeMirrored READ timeMirrored WRITE setTimeMirrored)
    Q_PROPERTY(double inputEffectTime READ inputEffectTime WRITE setInputEffectTime)
public:
    FakeControl(Log *log, QString name) : mLog(log), mName(std::move(name)) {}

    Q_INVOKABLE QString nameParamValue() const { return mText; }
    Q_INVOKABLE void setNameParamValue(const QString &text) { record(text); }
    Q_INVOKABLE QString compositionRefinesParamValue() const { return mText; }
    Q_INVOKABLE void setCompositionRefinesParamValue(const QString &text) { record(text); }
    Q_INVOKABLE QString applicationVersion() const { return QStringLiteral("2.0.4"); }
    Q_INVOKABLE void setReadOnlyParam(const QVariant &value) { record(value.toString()); }
    Q_INVOKABLE void setFilterStringValue(const QString &text) { record(text); }
    Q_INVOKABLE QVariant nilParamValue() const { return QVariant(); }
    Q_INVOKABLE void setRaisingParam(const QString &) {
        NSException::raise(NSInvalidArgumentException, QStringLiteral("bad value"));
    }

    bool timeMirrored() const { return mMirrored; }
    void setTimeMirrored(bool mirrored) {
        mMirrored = mirrored;
        record(mirrored ? QStringLiteral("YES") : QStringLiteral("NO"));
    }
    double inputEffectTime() const { return mTime; }
    void setInputEffectTime(double time) {
        mTime = time;
        record(QString::number(time));
    }

    QString mText = QStringLiteral("text");

private:
    void record(const QString &value) {
        mText = value;
        mLog->push_back(mName + QLatin1Char('=') + value);
    }
    Log *mLog;
    QString mName;
    bool mMirrored = false;
    double mTime = 0.25;
};

// A control with the NSControl values as properties.
class ValueControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(int intValue MEMBER intValue)
    Q_PROPERTY(float floatValue MEMBER floatValue)
    Q_PROPERTY(double doubleValue MEMBER doubleValue)
    Q_PROPERTY(QObject *target MEMBER target)
    Q_PROPERTY(QByteArray action MEMBER action)
public:
    int intValue = 0;
    float floatValue = 0;
    double doubleValue = 0;
    QObject *target = nullptr;
    QByteArray action;
};

// The segmented control of the control kit, as far as the mapping needs it.
class NSSegmentedControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(int selectedSegment MEMBER selectedSegment)
public:
    int selectedSegment = 0;
};

class ActionTarget : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void controlChanged(QObject *sender) { senders.push_back(sender); }
    std::vector<QObject *> senders;
};

const ParamMappingRow kTable[] = {
    {3, 0, "bookmark.refines", "compositionRefinesParamValue", "setCompositionRefinesParamValue:", nullptr},
    {1, 2, "requires.version", "applicationVersion", "setReadOnlyParam:", nullptr},
    {2, 2, "camera.broadcast.enabled", "writeOnlyParam", "setReadOnlyParam:", nullptr},
    {3, 1, "camera.background.picture.menu", "nameParamValue", "setNameParamValue:", nullptr},
    {3, 2, "camera.background.picture.path", "nameParamValue", "setNameParamValue:", nullptr},
    {3, 2, "camera.background.color.rgba", "color4DParam", "setColor4DParam:", nullptr},
    {3, 2, "camera.interpolation.mirror", "timeMirrored", "setTimeMirrored:", "BOOL"},
    {3, 2, "camera.interpolation.time", "inputEffectTime", "setInputEffectTime:", "NSNumber"},
    {2, 3, "camera.filter.vertical.values", "writeOnlyParam", "setFilterStringValue:", nullptr},
    {3, 4, "camera.filter.vertical.savesamplevalues", "nameParamValue", "setNameParamValue:", nullptr},
    {3, 1, "video.input.tint.picture.menu", "nameParamValue", "setNameParamValue:", nullptr},
    {3, 2, "video.input.tint.amount", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "video.input.tint.level", "floatParam", "setFloatParam:", "float"},
    {3, 4, "video.input.tint.color.one", "color4DParam", "setColor4DParam:", nullptr},
    {3, 2, "video.input.tint", "nameParamValue", "setNameParamValue:", nullptr},
    {3, 2, "camera.unbound.amount", "floatParam", "setFloatParam:", nullptr},
    {3, 2, "camera.unbound.mirror", "timeMirrored", "setTimeMirrored:", "BOOL"},
    {3, 2, "camera.nil.value", "nilParamValue", "setNameParamValue:", "NSNumber"},
    {3, 2, "camera.raising", "nameParamValue", "setRaisingParam:", nullptr},
    {0, 0, nullptr, nullptr, nullptr, nullptr},
};

class ParamMappingTest : public ::testing::Test, riradi_test::WithApplication {
protected:
    void SetUp() override {
        riradi_test::Application();
        NSParamMapping::setColorParamsLocked(false);
        for (const char *name : {"bookmark.refines", "requires.version", "camera.broadcast.enabled",
                                 "camera.background.picture.menu", "camera.background.picture.path",
                                 "camera.interpolation.mirror", "camera.interpolation.time",
                                 "camera.filter.vertical.values", "camera.filter.vertical.savesamplevalues",
                                 "video.input.tint.picture.menu", "video.input.tint", "camera.nil.value",
                                 "camera.raising"}) {
            controls.push_back(std::make_unique<FakeControl>(&log, QString::fromUtf8(name)));
            mapping.SetParamControl(QString::fromUtf8(name), controls.back().get());
        }
        background.setColor(QColor::fromRgbF(0.5, 0.5, 0.5, 1.0));
        tint.setColor(QColor::fromRgbF(1, 0, 0, 1));
        tintAmount.floatValue = 0.75f;
        tintLevel.floatValue = 0.5f;
        mapping.SetParamControl("camera.background.color.rgba", &background);
        mapping.SetParamControl("video.input.tint.color.one", &tint);
        mapping.SetParamControl("video.input.tint.amount", &tintAmount);
        mapping.SetParamControl("video.input.tint.level", &tintLevel);
    }
    void TearDown() override { NSParamMapping::setColorParamsLocked(false); }

    qsizetype Position(const QString &entry) const {
        const auto found = std::find(log.begin(), log.end(), entry);
        return found == log.end() ? -1 : found - log.begin();
    }

    Log log;
    std::vector<std::unique_ptr<FakeControl>> controls;
    NSColorWell background;
    NSColorWell tint;
    ValueControl tintAmount;
    ValueControl tintLevel;
    ParamMapping mapping{kTable};
};

TEST_F(ParamMappingTest, LooksUpRowsWithoutRegardToCase) {
    EXPECT_EQ(mapping.Count(), 19u);
    EXPECT_EQ(ParamMapping(nullptr).Count(), 0u);
    const ParamMapping::Param row = mapping.FindParam("VIDEO.INPUT.TINT.AMOUNT");
    EXPECT_EQ(row.name, "video.input.tint.amount");
    EXPECT_EQ(row.kind, 3);
    EXPECT_EQ(row.pass, 2);
    EXPECT_EQ(row.control, &tintAmount);
    EXPECT_EQ(row.getter, "floatParam");
    EXPECT_EQ(mapping.FindParam("camera.interpolation.mirror").transformer,
              NSUIParamTransformer::transformerNamed("BOOLParamTransformer"));

    // A name not in the table binds nothing and reads nil.
    ValueControl stray;
    mapping.SetParamControl("no.such.param", &stray);
    EXPECT_EQ(mapping.GetParamControl("no.such.param"), nullptr);
    EXPECT_FALSE(mapping.GetParamValueByName("no.such.param").isValid());
    EXPECT_TRUE(mapping.FindParam(QString()).name.isEmpty());
    mapping.SetParamControl("camera.unbound.amount", nullptr);
    EXPECT_EQ(mapping.GetParamControl("camera.unbound.amount"), nullptr);

    EXPECT_EQ(mapping.GetParamValueByName("requires.version"), QVariant("2.0.4"));
    EXPECT_FALSE(mapping.GetParamValueByName("camera.broadcast.enabled").isValid());  // write-only
    EXPECT_FALSE(mapping.GetParamValueByName("camera.unbound.amount").isValid());
}

TEST_F(ParamMappingTest, SetsPassByPassWhateverTheDictionaryOrder) {
    mapping.SetParamsFromDictionary({
        {"video.input.tint.color.one", "rgba(0,0,1,1)"},
        {"camera.filter.vertical.savesamplevalues", "on"},
        {"camera.filter.vertical.values", "0 0.5 1"},
        {"camera.background.picture.path", "/pictures/a.png"},
        {"camera.background.picture.menu", "Pictures"},
        {"bookmark.refines", "defaults"},
        {"camera.interpolation.mirror", "TRUE"},
        {"camera.interpolation.time", "0.5"},
    });
    const Log expected = {
        "bookmark.refines=defaults",                    // pass 0
        "camera.background.picture.menu=Pictures",      // pass 1
        "camera.background.picture.path=/pictures/a.png",  // pass 2, in key order
        "camera.interpolation.mirror=YES",
        "camera.interpolation.time=0.5",
        "camera.filter.vertical.values=0 0.5 1",        // pass 3
        "camera.filter.vertical.savesamplevalues=on",   // pass 4
    };
    EXPECT_EQ(log, expected);
    EXPECT_NEAR(tint.getColor4D().blue, 1.0f, 1e-3);  // colours in pass 4
    EXPECT_NEAR(tint.getColor4D().red, 0.0f, 1e-3);
}

TEST_F(ParamMappingTest, KindsDecideWhatIsSetAndWhatIsRead) {
    mapping.SetParamsFromDictionary({{"REQUIRES.VERSION", "9.9"},
                                     {"camera.broadcast.enabled", "1"},
                                     {"camera.unbound.amount", "0.5"},
                                     {"unknown.key", "x"},
                                     {"VIDEO.INPUT.TINT.AMOUNT", "0.25"}});
    EXPECT_EQ(log, Log({"camera.broadcast.enabled=1"}));  // read-only never set, write-only set
    EXPECT_FLOAT_EQ(tintAmount.floatValue, 0.25f);

    QVariantMap settings;
    mapping.AddParamsToDictionary(settings);
    EXPECT_EQ(settings.value("requires.version"), QVariant("2.0.4"));
    EXPECT_EQ(settings.value("bookmark.refines"), QVariant("text"));
    EXPECT_EQ(settings.value("camera.interpolation.mirror"), QVariant("false"));
    EXPECT_EQ(settings.value("camera.interpolation.time"), QVariant("0.25"));
    EXPECT_EQ(settings.value("video.input.tint.amount").toFloat(), 0.25f);
    EXPECT_EQ(settings.value("video.input.tint.level"), QVariant("0.500000"));
    EXPECT_EQ(settings.value("camera.background.color.rgba"), QVariant("rgba(0.5,0.5,0.5,1.0)"));
    EXPECT_EQ(settings.value("video.input.tint.color.one"), QVariant("rgba(1.0,0.0,0.0,1.0)"));
    // Write-only, unbound and nil rows store nothing: no "(null)", "false" or "0.000000".
    for (const char *absent : {"camera.broadcast.enabled", "camera.filter.vertical.values",
                               "camera.unbound.amount", "camera.unbound.mirror", "camera.nil.value"})
        EXPECT_FALSE(settings.contains(absent)) << absent;
    for (auto it = settings.begin(); it != settings.end(); ++it)
        EXPECT_NE(it.value().toString(), "(null)") << it.key().toStdString();
}

TEST_F(ParamMappingTest, PrefixSelectsRowsWithoutRegardToCase) {
    QVariantMap settings{{"kept", "1"}};
    mapping.AddParamsWithPrefixToDictionary(&settings, "VIDEO.INPUT.TINT.");
    QStringList keys = settings.keys();
    EXPECT_EQ(keys, QStringList({"kept", "video.input.tint.amount", "video.input.tint.color.one",
                                 "video.input.tint.level", "video.input.tint.picture.menu"}));
    // "video.input.tint" is shorter than the prefix and does not match.
    mapping.AddParamsWithPrefixToDictionary(nullptr, "video.");
    QVariantMap untouched;
    mapping.AddParamsWithPrefixToDictionary(&untouched, QString());
    EXPECT_TRUE(untouched.isEmpty());
    mapping.AddParamsWithPrefixToDictionary(&untouched, "camera.unbound.");
    EXPECT_TRUE(untouched.isEmpty());
}

TEST_F(ParamMappingTest, ASetterThatRaisesDoesNotStopTheOthers) {
    mapping.SetParamsFromDictionary({{"camera.raising", "x"}, {"video.input.tint", "after"}});
    EXPECT_EQ(log, Log({"video.input.tint=after"}));
}

TEST_F(ParamMappingTest, AControlThatGoesAwayIsUnbound) {
    {
        ValueControl shortLived;
        mapping.SetParamControl("camera.unbound.amount", &shortLived);
        EXPECT_EQ(mapping.GetParamControl("camera.unbound.amount"), &shortLived);
    }
    EXPECT_EQ(mapping.GetParamControl("camera.unbound.amount"), nullptr);
    mapping.SetParamsFromDictionary({{"camera.unbound.amount", "0.5"}});
    QVariantMap settings;
    mapping.AddParamsToDictionary(settings);
    EXPECT_FALSE(settings.contains("camera.unbound.amount"));
}

TEST(NSUIParamTransformers, ConvertBothWays) {
    const NSUIParamTransformer *boolean = NSUIParamTransformer::transformerForTypeWord("BOOL");
    const NSUIParamTransformer *number = NSUIParamTransformer::transformerForTypeWord("NSNumber");
    const NSUIParamTransformer *real = NSUIParamTransformer::transformerForTypeWord("float");
    ASSERT_TRUE(boolean && number && real);
    EXPECT_STREQ(boolean->className(), "BOOLParamTransformer");
    EXPECT_EQ(NSUIParamTransformer::transformerForTypeWord("nosuch"), nullptr);
    EXPECT_EQ(NSUIParamTransformer::transformerForTypeWord(nullptr), nullptr);

    const struct {
        const NSUIParamTransformer *transformer;
        QVariant in;
        QVariant toParam;
    } toParam[] = {
        {boolean, true, "true"},      {boolean, false, "false"},    {boolean, 2, "true"},
        {boolean, 0.0, "false"},      {boolean, QVariant(), QVariant()},
        {number, 0.25, "0.25"},       {number, 7, "7"},             {number, QVariant(), QVariant()},
        {real, 0.5f, "0.500000"},     {real, 2, "2.000000"},        {real, QVariant(), QVariant()},
    };
    for (const auto &c : toParam)
        EXPECT_EQ(c.transformer->paramValueFromObjectValue(c.in), c.toParam)
            << c.transformer->className() << " " << c.in.toString().toStdString();

    EXPECT_EQ(boolean->objectValueFromParamValue("TRUE"), QVariant(true));
    EXPECT_EQ(boolean->objectValueFromParamValue("yes"), QVariant(false));
    EXPECT_EQ(boolean->objectValueFromParamValue(QVariant()), QVariant(false));
    EXPECT_DOUBLE_EQ(number->objectValueFromParamValue("2.5").toDouble(), 2.5);
    EXPECT_DOUBLE_EQ(number->objectValueFromParamValue(QVariant()).toDouble(), 0.0);
    EXPECT_FLOAT_EQ(real->objectValueFromParamValue("1.5").toFloat(), 1.5f);
    EXPECT_FLOAT_EQ(real->objectValueFromParamValue(QVariant()).toFloat(), 0.0f);
}

class ColorParamTest : public ::testing::Test, riradi_test::WithApplication {
protected:
    void SetUp() override {
        riradi_test::Application();
        NSParamMapping::setColorParamsLocked(false);
    }
    void TearDown() override { NSParamMapping::setColorParamsLocked(false); }
    NSColorWell well;
};

TEST_F(ColorParamTest, WritesComponentsWithOneDecimal) {
    well.setColor(QColor::fromRgbF(0.5, 0.5, 0.5, 1));
    EXPECT_EQ(NSParamMapping::sendGetter(&well, "color4DParam"), QVariant("rgba(0.5,0.5,0.5,1.0)"));
    well.setColor(QColor::fromRgbF(0.2, 1, 0, 0.5));
    EXPECT_EQ(NSParamMapping::sendGetter(&well, "color3DParam"), QVariant("rgb(0.2,1.0,0.0)"));
    EXPECT_EQ(NSParamMapping::sendGetter(&well, "color4DParam"), QVariant("rgba(0.2,1.0,0.0,0.5)"));
}

TEST_F(ColorParamTest, ParsesWithDefaultsForMissingFields) {
    const struct {
        const char *selector;
        QVariant text;
        color_4D expected;
    } cases[] = {
        {"setColor4DParam:", "rgba(1,0,0)", {1, 0, 0, 1}},
        {"setColor4DParam:", "rgba(0.2,0.4,0.6,0.8)", {0.2f, 0.4f, 0.6f, 0.8f}},
        {"setColor4DParam:", "rgba( 0.5, 0.5,1,0.25)", {0.5f, 0.5f, 1, 0.25f}},
        {"setColor4DParam:", "rgba(1.0f,1.0f,1.0f,1.0f)", {1, 1, 1, 1}},
        {"setColor4DParam:", "rgba(0.0f,0.0f,0.0f,1.0f)", {0, 0, 0, 1}},
        {"setColor4DParam:", "rgba(0.2,x,1,0)", {0.2f, 0, 0, 1}},
        {"setColor4DParam:", "rgb(1,1,1,1)", {0, 0, 0, 1}},
        {"setColor4DParam:", "", {0, 0, 0, 1}},
        {"setColor4DParam:", QVariant(), {0, 0, 0, 1}},  // no text: reported, defaults
        {"setColor3DParam:", "rgb(0,1,0.5)", {0, 1, 0.5f, 1}},
        {"setColor3DParam:", "rgb(0.5f,1.0F,0.25f)", {0.5f, 1, 0.25f, 1}},
        {"setColor3DParam:", "rgb(1", {1, 0, 0, 1}},
        {"setColor3DParam:", "rgba(1,1,1)", {0, 0, 0, 1}},
    };
    for (const auto &c : cases) {
        well.setColor(QColor::fromRgbF(0.3, 0.3, 0.3, 0.5));
        ASSERT_TRUE(NSParamMapping::sendSetter(&well, c.selector, c.text));
        const color_4D got = well.getColor4D();
        const std::string what = std::string(c.selector) + " " + c.text.toString().toStdString();
        EXPECT_NEAR(got.red, c.expected.red, 2e-3) << what;
        EXPECT_NEAR(got.green, c.expected.green, 2e-3) << what;
        EXPECT_NEAR(got.blue, c.expected.blue, 2e-3) << what;
        EXPECT_NEAR(got.alpha, c.expected.alpha, 2e-3) << what;
    }
}

TEST_F(ColorParamTest, LockedColoursOnlyTakeTheAlpha) {
    NSParamMapping::setColorParamsLocked(true);
    EXPECT_TRUE(NSParamMapping::colorParamsLocked());
    well.setColor(QColor::fromRgbF(1, 0, 0, 1));
    NSParamMapping::sendSetter(&well, "setColor4DParam:", "rgba(0,1,0,0.5)");
    EXPECT_EQ(NSParamMapping::sendGetter(&well, "color4DParam"), QVariant("rgba(1.0,0.0,0.0,0.5)"));
    NSParamMapping::sendSetter(&well, "setColor3DParam:", "rgb(0,0,1)");
    EXPECT_EQ(NSParamMapping::sendGetter(&well, "color4DParam"), QVariant("rgba(1.0,0.0,0.0,0.5)"));
}

TEST_F(ColorParamTest, TheColorizerSchemeIsTheWheelsHueCombinationAndHonoursTheLock) {
    static const ParamMappingRow table[] = {{kParamMappingReadWrite, 4, "color.scheme", "colorSchemeParam",
                                             "setColorSchemeParam:", nullptr},
                                            {0, 0, nullptr, nullptr, nullptr, nullptr}};
    ParamMapping mapping(table);
    UFColorWheelController wheel;
    mapping.SetParamControl("color.scheme", &wheel);
    EXPECT_EQ(mapping.GetParamValueByName("color.scheme"), QVariant(0));

    mapping.SetParamsFromDictionary({{"color.scheme", "3"}});
    EXPECT_EQ(wheel.hueCombination(), 3u);
    const uint counted = wheel.colorChangedCount();
    dispatch_main_queue_drain();  // setting the scheme recomputes the colours
    EXPECT_GT(wheel.colorChangedCount(), counted);
    QVariantMap read;
    mapping.AddParamsToDictionary(read);
    EXPECT_EQ(read.value("color.scheme"), QVariant(3));

    NSParamMapping::setColorParamsLocked(true);
    mapping.SetParamsFromDictionary({{"color.scheme", "1"}});
    EXPECT_EQ(wheel.hueCombination(), 3u);
    dispatch_main_queue_drain();
}

TEST(NSParamMappingVocabulary, ControlFamilies) {
    riradi_test::Application();
    ValueControl control;
    ActionTarget target;
    control.intValue = 258;  // low byte 2
    EXPECT_EQ(NSParamMapping::sendGetter(&control, "intParam"), QVariant(258));
    EXPECT_EQ(NSParamMapping::sendGetter(&control, "boolParam"), QVariant("true"));
    control.intValue = 256;  // low byte 0
    EXPECT_EQ(NSParamMapping::sendGetter(&control, "boolParam"), QVariant("false"));
    NSParamMapping::sendSetter(&control, "setBoolParam:", "True");
    EXPECT_EQ(control.intValue, 1);
    NSParamMapping::sendSetter(&control, "setBoolParam:", "yes");
    EXPECT_EQ(control.intValue, 0);
    NSParamMapping::sendSetter(&control, "setIntParam:", "42abc");
    EXPECT_EQ(control.intValue, 42);
    NSParamMapping::sendSetter(&control, "setIntParam:", QVariant());
    EXPECT_EQ(control.intValue, 0);
    NSParamMapping::sendSetter(&control, "setFloatParam:", "0.5");
    EXPECT_FLOAT_EQ(control.floatValue, 0.5f);
    NSParamMapping::sendSetter(&control, "setDoubleParam:", "0.125");
    EXPECT_DOUBLE_EQ(control.doubleValue, 0.125);
    EXPECT_DOUBLE_EQ(NSParamMapping::sendGetter(&control, "doubleParam").toDouble(), 0.125);
    EXPECT_EQ(NSParamMapping::sendGetter(&control, "writeOnlyParam"), QVariant(""));
    EXPECT_TRUE(NSParamMapping::sendSetter(&control, "setReadOnlyParam:", "ignored"));
    EXPECT_FALSE(NSParamMapping::sendSetter(&control, "setNoSuchParam:", "x"));
    EXPECT_FALSE(NSParamMapping::sendGetter(&control, "noSuchParam").isValid());

    // Sliders and spin boxes answer through their value.
    QSlider slider;
    slider.setRange(0, 100);
    NSParamMapping::sendSetter(&slider, "setIntParam:", "40");
    EXPECT_EQ(slider.value(), 40);
    EXPECT_EQ(NSParamMapping::sendGetter(&slider, "intParam"), QVariant(40));

    // Pop-up buttons and segmented controls select, then fire their action.
    QComboBox popUp;
    popUp.addItems({"a", "b", "c"});
    int activated = -1;
    QObject::connect(&popUp, &QComboBox::activated, [&](int index) { activated = index; });
    NSParamMapping::sendSetter(&popUp, "setIntParam:", "2");
    EXPECT_EQ(popUp.currentIndex(), 2);
    EXPECT_EQ(activated, 2);
    EXPECT_EQ(NSParamMapping::sendGetter(&popUp, "intParam"), QVariant(2));

    NSSegmentedControl segments;
    NSParamMapping::sendSetter(&segments, "setIntParam:", 3);
    EXPECT_EQ(segments.selectedSegment, 3);
    EXPECT_EQ(NSParamMapping::sendGetter(&segments, "intParam"), QVariant(3));

    control.target = &target;
    control.action = "controlChanged:";
    NSParamMapping::paramTargetActionWithObject(&control, &control);
    ASSERT_EQ(target.senders.size(), 1u);
    EXPECT_EQ(target.senders[0], &control);
    control.action.clear();
    NSParamMapping::paramTargetActionWithObject(&control, &control);
    EXPECT_EQ(target.senders.size(), 1u);
}


// A button takes part as its state in text; setting it fires the cell's action with the
// button once, and a button without a target or action just changes state.
TEST(NSParamMappingVocabulary, ButtonStateIsTextAndSettingItFiresTheAction) {
    riradi_test::Application();
    NSButton button;
    ActionTarget target;
    struct Case {
        const char *text;
        int state;
    };
    for (const Case &c : {Case{"1", 1}, Case{"0", 0}, Case{"-1", -1}, Case{"7x", 1}, Case{"", 0}}) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(NSParamMapping::sendSetter(&button, "setButtonStateParam:", QString::fromLatin1(c.text)));
        EXPECT_EQ(button.state(), c.state);
        EXPECT_EQ(NSParamMapping::sendGetter(&button, "buttonStateParam"), QVariant(QString::number(c.state)));
    }
    EXPECT_TRUE(target.senders.empty());

    button.cell()->setTarget(&target);
    button.cell()->setAction("controlChanged:");
    NSParamMapping::sendSetter(&button, "setButtonStateParam:", "1");
    ASSERT_EQ(target.senders.size(), 1u);
    EXPECT_EQ(target.senders[0], &button);
    EXPECT_EQ(button.state(), 1);

    button.cell()->setAction(QByteArray());
    NSParamMapping::sendSetter(&button, "setButtonStateParam:", "0");
    EXPECT_EQ(target.senders.size(), 1u);
    EXPECT_EQ(button.state(), 0);
}

}  // namespace

#include "NSUIParamMappingTest.moc"
