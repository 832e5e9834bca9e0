#include <CocoaFoundation/NSObject_MultipleKVO.h>

#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObject.h>

#include <gtest/gtest.h>

#include <QStringList>

namespace {

// Values changed without a signal: only manual announcements reach observers.
class Quiet : public NSObject {
    Q_OBJECT
    Q_PROPERTY(int width MEMBER width)
    Q_PROPERTY(int height MEMBER height)
    Q_PROPERTY(int depth MEMBER depth)
public:
    int width = 1;
    int height = 2;
    int depth = 3;
};

// Records every notice as "key:old->new".
class Recorder : public QObject, public NSKeyValueObserver {
    Q_OBJECT
public:
    QStringList notices;
    void observeValueForKeyPath(const QString &keyPath, QObject *, const QVariantMap &change, void *) override {
        notices << QString("%1:%2->%3")
                       .arg(keyPath, change.value(NSKeyValueChangeOldKey).toString(),
                            change.value(NSKeyValueChangeNewKey).toString());
    }
};

struct MultipleKVOFixture : ::testing::Test {
    Quiet object;
    Recorder recorder;
    void SetUp() override {
        for (const char *key : {"width", "height", "depth"})
            NSKeyValueCoding::addObserver(&object, &recorder, key,
                                          NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld);
    }
};

// A change of several values between the two announcements reaches the observers of each
// announced key once, with the value before and after; keys outside the set stay silent.
TEST_F(MultipleKVOFixture, AnnouncesEveryKeyOfTheSetWithItsOldAndNewValue) {
    const QSet<QString> keys{"width", "height"};
    MultipleKVO::willChangeValueForMultipleKeys(&object, keys);
    object.width = 640;
    object.height = 480;
    object.depth = 32;
    MultipleKVO::didChangeValueForMultipleKeys(&object, keys);
    recorder.notices.sort();
    EXPECT_EQ(recorder.notices, (QStringList{"height:2->480", "width:1->640"}));
}

TEST_F(MultipleKVOFixture, AnEmptySetOrNoObjectAnnouncesNothing) {
    MultipleKVO::willChangeValueForMultipleKeys(&object, {});
    object.width = 5;
    MultipleKVO::didChangeValueForMultipleKeys(&object, {});
    MultipleKVO::willChangeValueForMultipleKeys(nullptr, {"width"});
    MultipleKVO::didChangeValueForMultipleKeys(nullptr, {"width"});
    EXPECT_TRUE(recorder.notices.isEmpty());
}

}  // namespace

#include "MultipleKVOTest.moc"
