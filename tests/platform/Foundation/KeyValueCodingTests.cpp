#include <gtest/gtest.h>

#include <Foundation/NSException.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObject.h>

#include <QPointer>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <utility>
#include <vector>

// A plain Qt control, as a widget would be: properties with NOTIFY, a getter method and a
// setter method that are not properties.
class KvcSlider : public QObject {
    Q_OBJECT
    Q_PROPERTY(float floatValue READ floatValue WRITE setFloatValue NOTIFY floatValueChanged)
    Q_PROPERTY(QString title MEMBER mTitle NOTIFY titleChanged)
public:
    float floatValue() const { return mValue; }
    void setFloatValue(float value) {
        if (value == mValue) return;
        mValue = value;
        emit floatValueChanged();
    }
    Q_INVOKABLE int tickCount() const { return 7; }
    Q_INVOKABLE void setTickLabel(const QString &label) { mTickLabel = label; }

    float mValue = 0.5f;
    QString mTitle = QStringLiteral("Amount");
    QString mTickLabel;
signals:
    void floatValueChanged();
    void titleChanged();
};

class KvcController : public NSObject {
    Q_OBJECT
    Q_PROPERTY(KvcSlider *outletSlider MEMBER mSlider NOTIFY outletSliderChanged)
    Q_PROPERTY(QObject *emptyOutlet MEMBER mEmpty)
    Q_PROPERTY(QVariantMap settings MEMBER mSettings NOTIFY settingsChanged)
    Q_PROPERTY(int count MEMBER mCount NOTIFY countChanged)
    Q_PROPERTY(QString fullTitle READ fullTitle)
    Q_PROPERTY(int manualValue READ manualValue WRITE setManualValue)
public:
    QString fullTitle() const { return (mSlider ? mSlider->mTitle : QString()) + u'/' + QString::number(mCount); }
    int manualValue() const { return mManual; }
    void setManualValue(int value) {
        willChangeValueForKey(QStringLiteral("manualValue"));
        mManual = value;
        didChangeValueForKey(QStringLiteral("manualValue"));
    }

    QVariant valueForUndefinedKey(const QString &key) override {
        if (key.startsWith(u"extra")) return mExtra.value(key);
        return NSObject::valueForUndefinedKey(key);
    }
    void setValueForUndefinedKey(const QVariant &value, const QString &key) override {
        if (key.startsWith(u"extra")) return void(mExtra.insert(key, value));
        NSObject::setValueForUndefinedKey(value, key);
    }
    QSet<QString> keyPathsForValuesAffectingValueForKey(const QString &key) const override {
        if (key == u"fullTitle") return {QStringLiteral("outletSlider.title"), QStringLiteral("count")};
        return {};
    }

    KvcSlider *mSlider = nullptr;
    QObject *mEmpty = nullptr;
    QVariantMap mSettings;
    int mCount = 3;
    int mManual = 0;
    QVariantMap mExtra;
signals:
    void outletSliderChanged();
    void settingsChanged();
    void countChanged();
};

// Records what it is told.
class KvcObserver : public NSObject {
    Q_OBJECT
public:
    struct Note {
        QString keyPath;
        QObject *object;
        QVariantMap change;
        void *context;
    };
    void observeValueForKeyPath(const QString &keyPath, QObject *object, const QVariantMap &change,
                                void *context) override {
        mNotes.push_back(Note{keyPath, object, change, context});
        if (mOnNote) mOnNote();
    }
    std::vector<Note> mNotes;
    std::function<void()> mOnNote;
};

// A value whose getter runs a hook (once armed): user code that observing calls.
class KvcHookedSource : public NSObject {
    Q_OBJECT
    Q_PROPERTY(int level READ level NOTIFY levelChanged)
    Q_PROPERTY(int mirror READ mirror)
public:
    int level() const {
        if (std::function<void()> hook = std::exchange(mOnRead, nullptr)) hook();
        return mLevel;
    }
    int mirror() const { return mLevel; }
    QSet<QString> keyPathsForValuesAffectingValueForKey(const QString &key) const override {
        if (key == u"mirror" && mOnDependencies) std::exchange(mOnDependencies, nullptr)();
        return key == u"mirror" ? QSet<QString>{QStringLiteral("level")} : QSet<QString>{};
    }
    mutable std::function<void()> mOnRead;
    mutable std::function<void()> mOnDependencies;
    int mLevel = 1;
signals:
    void levelChanged();
};

namespace {

using NSKeyValueCoding::valueForKeyPath;
using NSKeyValueCoding::setValueForKeyPath;

struct KvcFixture : ::testing::Test {
    KvcSlider slider;
    KvcSlider otherSlider;
    KvcController controller;
    void SetUp() override {
        controller.mSlider = &slider;
        controller.mSettings = {{QStringLiteral("volume"), 0.8},
                                {QStringLiteral("nested"), QVariantMap{{QStringLiteral("deep"), QStringLiteral("x")}}},
                                {QStringLiteral("control"), NSKeyValueCoding::variantFromObject(&slider)}};
        controller.mExtra = {{QStringLiteral("extraThing"), 42}};
        otherSlider.mValue = 0.125f;
    }
};

// What a get or a set should give: a value, nil, or an exception of that name.
struct Outcome {
    QVariant value;
    const char *exception = nullptr;
};

Outcome Nil() { return Outcome{}; }
Outcome Raises(const char *name) { return Outcome{QVariant(), name}; }

TEST_F(KvcFixture, KeyPathsGetOverObjectsAndMaps) {
    const QVariant map = QVariantMap{{QStringLiteral("a"), QVariantMap{{QStringLiteral("b"), 1}}},
                                     {QStringLiteral("slider"), NSKeyValueCoding::variantFromObject(&slider)}};
    const QVariant controllerValue = NSKeyValueCoding::variantFromObject(&controller);
    struct Case {
        QVariant target;
        QString keyPath;
        Outcome expected;
    } cases[] = {
        {controllerValue, "count", {3}},
        {controllerValue, "outletSlider.floatValue", {0.5f}},
        {controllerValue, "outletSlider.tickCount", {7}},        // getter method
        {controllerValue, "settings.volume", {0.8}},              // map inside an object
        {controllerValue, "settings.nested.deep", {"x"}},         // map inside a map
        {controllerValue, "settings.control.title", {"Amount"}},  // object inside a map
        {controllerValue, "settings.missing.deep", Nil()},        // nil in the middle
        {controllerValue, "emptyOutlet.floatValue", Nil()},       // null outlet in the middle
        {controllerValue, "extraThing", {42}},                    // undefined-key hook
        {controllerValue, "noSuchKey", Raises(NSUnknownKeyException)},
        {controllerValue, "outletSlider.noSuchKey", Raises(NSUnknownKeyException)},  // plain QObject
        {controllerValue, "count.value", Raises(NSUnknownKeyException)},            // a number mid-path
        {map, "a.b", {1}},
        {map, "a.c", Nil()},
        {map, "slider.floatValue", {0.5f}},
        {map, "a.b.c", Raises(NSUnknownKeyException)},
        {QVariant(), "a.b", Nil()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.keyPath.toStdString());
        if (c.expected.exception != nullptr) {
            try {
                valueForKeyPath(c.target, c.keyPath);
                ADD_FAILURE() << "no exception";
            } catch (const NSException &error) {
                EXPECT_EQ(error.name(), QLatin1String(c.expected.exception));
            }
            continue;
        }
        const QVariant value = valueForKeyPath(c.target, c.keyPath);
        if (!c.expected.value.isValid()) EXPECT_TRUE(NSKeyValueCoding::isNil(value)) << value.typeName();
        else EXPECT_EQ(value, c.expected.value);
    }
    EXPECT_EQ(controller.valueForKeyPath(QStringLiteral("outletSlider.title")), QVariant(QStringLiteral("Amount")));
}

TEST_F(KvcFixture, KeyPathsSetOverObjectsAndMaps) {
    QObject stranger;
    struct Case {
        QString keyPath;
        QVariant value;
        const char *exception;
        std::function<bool()> check;
    } cases[] = {
        {"count", 5, nullptr, [&] { return controller.mCount == 5; }},
        {"count", QStringLiteral("12"), nullptr, [&] { return controller.mCount == 12; }},  // converted
        {"count", QVariantList{1}, NSInvalidArgumentException, [&] { return controller.mCount == 12; }},
        {"outletSlider.floatValue", 0.25, nullptr, [&] { return slider.mValue == 0.25f; }},
        {"outletSlider.tickLabel", QStringLiteral("max"), nullptr, [&] { return slider.mTickLabel == u"max"; }},
        {"settings.volume", 0.1, nullptr, [&] { return controller.mSettings.value("volume") == 0.1; }},
        {"settings.nested.added", 1, nullptr,
         [&] { return controller.mSettings.value("nested").toMap().value("added") == 1; }},
        {"settings.volume", QVariant(), nullptr, [&] { return !controller.mSettings.contains("volume"); }},
        {"settings.control.title", QStringLiteral("Mix"), nullptr, [&] { return slider.mTitle == u"Mix"; }},
        {"settings.missing.key", 1, nullptr, [&] { return !controller.mSettings.contains("missing"); }},
        {"emptyOutlet.floatValue", 1, nullptr, [] { return true; }},  // nil in the middle: nothing
        {"extraOther", 3, nullptr, [&] { return controller.mExtra.value("extraOther") == 3; }},
        {"noSuchKey", 1, NSUnknownKeyException, [] { return true; }},
        {"fullTitle", QStringLiteral("x"), NSUnknownKeyException, [] { return true; }},  // read-only
        {"count.value", 1, NSUnknownKeyException, [] { return true; }},
        {"outletSlider", NSKeyValueCoding::variantFromObject(&otherSlider), nullptr,
         [&] { return controller.mSlider == &otherSlider; }},
        {"outletSlider", NSKeyValueCoding::variantFromObject(&stranger), NSInvalidArgumentException,
         [&] { return controller.mSlider == &otherSlider; }},
        {"outletSlider", QVariant(), nullptr, [&] { return controller.mSlider == nullptr; }},
    };
    QObject *target = &controller;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.keyPath.toStdString());
        try {
            setValueForKeyPath(target, c.value, c.keyPath);
            EXPECT_EQ(c.exception, nullptr) << "no exception";
        } catch (const NSException &error) {
            EXPECT_EQ(error.name(), QLatin1String(c.exception != nullptr ? c.exception : "none"));
        }
        EXPECT_TRUE(c.check());
    }

    // The same on a map at the root; nil removes.
    QVariantMap map{{QStringLiteral("a"), QVariantMap{{QStringLiteral("b"), 1}}}};
    setValueForKeyPath(map, 2, QStringLiteral("a.b"));
    setValueForKeyPath(map, 3, QStringLiteral("c"));
    setValueForKeyPath(map, 4, QStringLiteral("x.y"));
    EXPECT_EQ(map, (QVariantMap{{QStringLiteral("a"), QVariantMap{{QStringLiteral("b"), 2}}}, {QStringLiteral("c"), 3}}));
    setValueForKeyPath(map, QVariant(), QStringLiteral("a.b"));
    EXPECT_TRUE(map.value(QStringLiteral("a")).toMap().isEmpty());
}

// ---- Observing --------------------------------------------------------------------------------

TEST_F(KvcFixture, ObserversFollowNotifySignalsAlongThePath) {
    KvcObserver observer;
    int context = 0;
    controller.addObserver(&observer, QStringLiteral("outletSlider.floatValue"),
                           NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld, &context);
    slider.setFloatValue(0.75f);
    ASSERT_EQ(observer.mNotes.size(), 1u);
    const KvcObserver::Note &note = observer.mNotes[0];
    EXPECT_EQ(note.keyPath, QStringLiteral("outletSlider.floatValue"));
    EXPECT_EQ(note.object, &controller);
    EXPECT_EQ(note.context, &context);
    EXPECT_EQ(note.change.value(NSKeyValueChangeOldKey), QVariant(0.5f));
    EXPECT_EQ(note.change.value(NSKeyValueChangeNewKey), QVariant(0.75f));
    EXPECT_EQ(note.change.value(NSKeyValueChangeKindKey), QVariant(NSKeyValueChangeSetting));

    // A new object in the middle of the path is followed; the old one is let go.
    controller.setValueForKey(NSKeyValueCoding::variantFromObject(&otherSlider), QStringLiteral("outletSlider"));
    ASSERT_EQ(observer.mNotes.size(), 2u);
    EXPECT_EQ(observer.mNotes[1].change.value(NSKeyValueChangeNewKey), QVariant(0.125f));
    slider.setFloatValue(0.9f);
    EXPECT_EQ(observer.mNotes.size(), 2u);
    otherSlider.setFloatValue(0.3f);
    ASSERT_EQ(observer.mNotes.size(), 3u);
    EXPECT_EQ(observer.mNotes[2].change.value(NSKeyValueChangeOldKey), QVariant(0.125f));

    controller.removeObserver(&observer, QStringLiteral("outletSlider.floatValue"));
    otherSlider.setFloatValue(0.4f);
    EXPECT_EQ(observer.mNotes.size(), 3u);
}

TEST_F(KvcFixture, ManualChangesDependentKeysAndTheInitialValue) {
    KvcObserver observer;
    controller.addObserver(&observer, QStringLiteral("manualValue"),
                           NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld | NSKeyValueObservingOptionInitial);
    ASSERT_EQ(observer.mNotes.size(), 1u);  // initial: the new value only
    EXPECT_EQ(observer.mNotes[0].change.value(NSKeyValueChangeNewKey), QVariant(0));
    EXPECT_FALSE(observer.mNotes[0].change.contains(NSKeyValueChangeOldKey));
    controller.setManualValue(9);
    ASSERT_EQ(observer.mNotes.size(), 2u);
    EXPECT_EQ(observer.mNotes[1].change.value(NSKeyValueChangeOldKey), QVariant(0));
    EXPECT_EQ(observer.mNotes[1].change.value(NSKeyValueChangeNewKey), QVariant(9));

    KvcObserver dependent;
    controller.addObserver(&dependent, QStringLiteral("fullTitle"), NSKeyValueObservingOptionNew);
    controller.setValueForKey(5, QStringLiteral("count"));
    slider.setProperty("title", QStringLiteral("Gain"));
    ASSERT_EQ(dependent.mNotes.size(), 2u);
    EXPECT_EQ(dependent.mNotes[0].change.value(NSKeyValueChangeNewKey), QVariant(QStringLiteral("Amount/5")));
    EXPECT_EQ(dependent.mNotes[1].change.value(NSKeyValueChangeNewKey), QVariant(QStringLiteral("Gain/5")));
}

TEST_F(KvcFixture, ObserversMayLeaveDuringDeliveryAndDestroyedOnesAreForgotten) {
    KvcObserver leaving;
    KvcObserver staying;
    leaving.mOnNote = [&] { controller.removeObserver(&leaving, QStringLiteral("count")); };
    controller.addObserver(&leaving, QStringLiteral("count"));
    controller.addObserver(&staying, QStringLiteral("count"));
    controller.setValueForKey(4, QStringLiteral("count"));
    controller.setValueForKey(6, QStringLiteral("count"));
    EXPECT_EQ(leaving.mNotes.size(), 1u);
    EXPECT_EQ(staying.mNotes.size(), 2u);

    {
        KvcObserver shortLived;
        controller.addObserver(&shortLived, QStringLiteral("count"));
    }
    controller.setValueForKey(7, QStringLiteral("count"));  // no call into the destroyed observer
    EXPECT_EQ(staying.mNotes.size(), 3u);

    // An observed object that goes away ends its observations.
    auto temporary = std::make_unique<KvcController>();
    temporary->addObserver(&staying, QStringLiteral("count"));
    temporary.reset();
    controller.setValueForKey(8, QStringLiteral("count"));
    EXPECT_EQ(staying.mNotes.size(), 4u);

    QObject notAnObserver;
    EXPECT_THROW(controller.addObserver(&notAnObserver, QStringLiteral("count")), NSException);
}

// Observing reads values and dependent keys by calling the object's own code. That code may
// wait for another thread that changes an observed value; the registry must not be locked
// while it runs, or both threads wait for ever. Each case arms one such wait and runs one
// entry point; the wait is bounded, so a regression fails instead of hanging.
TEST_F(KvcFixture, UserCodeRunsOutsideTheObservingLock) {
    struct Case {
        const char *name;
        const char *keyPath;
        bool armDependencies;  // wait inside keyPathsForValuesAffectingValueForKey, else in the getter
        bool observedBefore;   // the observation exists before the wait is armed
        std::function<void(KvcHookedSource &, KvcObserver &, const char *)> run;
    };
    const auto observe = [](KvcHookedSource &source, KvcObserver &observer, const char *keyPath) {
        source.addObserver(&observer, QString::fromLatin1(keyPath), NSKeyValueObservingOptionNew);
    };
    const std::vector<Case> cases = {
        {"getter while adding", "level", false, false, observe},
        {"dependencies while adding", "mirror", true, false, observe},
        {"getter on a NOTIFY signal", "level", false, true,
         [](KvcHookedSource &source, KvcObserver &, const char *) { emit source.levelChanged(); }},
        {"dependencies on a NOTIFY signal", "mirror", true, true,
         [](KvcHookedSource &source, KvcObserver &, const char *) { emit source.levelChanged(); }},
        {"getter on willChange", "level", false, true,
         [](KvcHookedSource &source, KvcObserver &, const char *) {
             source.willChangeValueForKey(QStringLiteral("level"));
         }},
        {"getter on didChange", "level", false, true,
         [](KvcHookedSource &source, KvcObserver &, const char *) {
             source.didChangeValueForKey(QStringLiteral("level"));
         }},
    };
    for (const Case &testCase : cases) {
        SCOPED_TRACE(testCase.name);
        KvcHookedSource source;
        KvcObserver observer;
        KvcObserver otherObserver;
        controller.addObserver(&otherObserver, QStringLiteral("manualValue"), NSKeyValueObservingOptionNew);
        if (testCase.observedBefore) observe(source, observer, testCase.keyPath);

        std::future<void> other;
        bool finishedInTime = false;
        std::function<void()> wait = [&] {
            other = std::async(std::launch::async, [&] { controller.setManualValue(controller.mManual + 1); });
            finishedInTime = other.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        };
        (testCase.armDependencies ? source.mOnDependencies : source.mOnRead) = wait;
        testCase.run(source, observer, testCase.keyPath);
        other.wait();  // a regression ends here, once the lock is let go
        EXPECT_TRUE(finishedInTime);
        EXPECT_EQ(otherObserver.mNotes.size(), 1u);
        controller.removeObserver(&otherObserver, QStringLiteral("manualValue"));
    }
}

}  // namespace

#include "KeyValueCodingTests.moc"
