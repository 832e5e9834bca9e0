#include <CocoaFoundation/NSDictionaryPropertyListArchiving.h>
#include <CocoaFoundation/PersistentKeyPaths.h>
#include <CocoaFoundation/UNibSingleton.h>
#include <CocoaFoundation/UPersistentObjectsController.h>

#include <Foundation/NSApplication.h>
#include <Foundation/NSException.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSUserDefaults.h>

#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QColor>

namespace {

// A panel that persists three properties and an entry of a map property.
class Panel : public NSObject, public UPersistentObject {
    Q_OBJECT
    Q_PROPERTY(double amount MEMBER amount)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(QColor tint MEMBER tint)
    Q_PROPERTY(QVariantMap settings MEMBER settings)
public:
    explicit Panel(QString key) : mKey(std::move(key)) {}

    QSet<QString> persistentObjectKeyPaths() const override {
        return {"amount", "name", "tint", "settings.level"};
    }
    QString persistenceObjectKey() const override { return mKey; }
    void persistentObjectLoadData() override {
        ++loads;
        UPersistentObject::persistentObjectLoadData();
    }
    void persistentObjectSaveData() override {
        ++saves;
        UPersistentObject::persistentObjectSaveData();
    }

    double amount = 0;
    QString name;
    QColor tint;
    QVariantMap settings;
    int loads = 0;
    int saves = 0;

private:
    QString mKey;
};

// A panel whose load and save raise.
class ThrowingPanel : public Panel {
    Q_OBJECT
public:
    using Panel::Panel;
    void persistentObjectLoadData() override {
        ++loads;
        NSException::raise(NSInternalInconsistencyException, QStringLiteral("cannot load"));
    }
    void persistentObjectSaveData() override {
        ++saves;
        throw std::runtime_error("cannot save");
    }
};

// A panel whose restore brings up another panel that registers itself (a nib loaded
// while the launch pass runs).
class SpawningPanel : public Panel {
    Q_OBJECT
public:
    using Panel::Panel;
    void persistentObjectLoadData() override {
        Panel::persistentObjectLoadData();
        spawned = std::make_unique<Panel>("PanelG");
        UPersistentObjectsController::registerPersistentObjectShared(spawned.get(), true);
    }
    std::unique_ptr<Panel> spawned;
};

void PostWillFinishLaunching() {
    NSNotificationCenter::defaultCenter().postNotificationName(NSApplicationWillFinishLaunchingNotification, nullptr);
}
void PostWillTerminate() {
    NSNotificationCenter::defaultCenter().postNotificationName(NSApplicationWillTerminateNotification, nullptr);
}

QVariantMap Stored(const QString &key) { return PersistentKeyPaths::loadPersistentObjectDataForKey(key); }

void Fill(Panel &panel, double amount, const QString &name) {
    panel.amount = amount;
    panel.name = name;
    panel.tint = QColor::fromRgbF(1, 0.5, 0, 1);
    panel.settings = {{"level", amount * 2}, {"other", "not persisted"}};
}

class PersistentObjectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        controller = UPersistentObjectsController::sharedPersistentObjectsController();
        ASSERT_NE(controller, nullptr);
        controller->setWasLaunched(false);
        dispatch_main_queue_drain();
    }
    void TearDown() override {
        for (QObject *object : controller->objects()) controller->unregisterPersistentObject(object);
        dispatch_main_queue_drain();
    }
    UPersistentObjectsController *controller = nullptr;
};

TEST_F(PersistentObjectsTest, RestoresAtLaunchAndSavesAtQuit) {
    {
        Panel earlier("PanelA");
        Fill(earlier, 0.75, "saved");
        earlier.persistentObjectSaveData();
    }
    Panel panel("PanelA");
    controller->registerPersistentObject(&panel);
    controller->registerPersistentObject(&panel);  // stored once
    EXPECT_EQ(controller->objects(), std::vector<QObject *>{&panel});
    EXPECT_EQ(panel.loads, 0);  // no restore before launch

    PostWillFinishLaunching();
    EXPECT_TRUE(controller->wasLaunched());
    EXPECT_EQ(panel.loads, 1);
    EXPECT_DOUBLE_EQ(panel.amount, 0.75);
    EXPECT_EQ(panel.name, "saved");
    EXPECT_EQ(panel.tint, QColor::fromRgbF(1, 0.5, 0, 1));
    EXPECT_DOUBLE_EQ(panel.settings.value("level").toDouble(), 1.5);
    EXPECT_FALSE(panel.settings.contains("other"));

    panel.amount = 0.25;
    panel.name = "changed";
    PostWillTerminate();
    EXPECT_EQ(panel.saves, 1);
    const QVariantMap stored = Stored("PanelA");
    EXPECT_DOUBLE_EQ(stored.value("amount").toDouble(), 0.25);
    EXPECT_EQ(stored.value("name"), QVariant("changed"));
    EXPECT_EQ(stored.value("settings.level").toDouble(), 1.5);
    EXPECT_EQ(stored.size(), 4);
}

TEST_F(PersistentObjectsTest, AThrowingObjectDoesNotStopTheOthers) {
    {
        Panel earlier("PanelB");
        Fill(earlier, 3, "before");
        earlier.persistentObjectSaveData();
    }
    ThrowingPanel first("ThrowingFirst");
    Panel panel("PanelB");
    ThrowingPanel last("ThrowingLast");
    controller->registerPersistentObject(&first);
    controller->registerPersistentObject(&panel);
    controller->registerPersistentObject(&last);

    PostWillFinishLaunching();
    EXPECT_EQ(first.loads, 1);
    EXPECT_EQ(panel.loads, 1);
    EXPECT_EQ(last.loads, 1);
    EXPECT_EQ(panel.name, "before");

    panel.name = "after";
    PostWillTerminate();
    EXPECT_EQ(first.saves, 1);
    EXPECT_EQ(panel.saves, 1);
    EXPECT_EQ(last.saves, 1);
    EXPECT_EQ(Stored("PanelB").value("name"), QVariant("after"));
}

TEST_F(PersistentObjectsTest, AnUndecodableRecordDoesNotStopTheOthers) {
    NSUserDefaults::standardUserDefaults().setObject(QByteArray("not an archive"), "Broken");
    {
        Panel earlier("PanelC");
        Fill(earlier, 5, "good");
        earlier.persistentObjectSaveData();
    }
    Panel broken("Broken");
    Panel good("PanelC");
    controller->registerPersistentObject(&broken);
    controller->registerPersistentObject(&good);
    PostWillFinishLaunching();
    EXPECT_EQ(good.name, "good");
    EXPECT_TRUE(broken.name.isEmpty());
    EXPECT_THROW(Stored("Broken"), NSException);
}

TEST_F(PersistentObjectsTest, LateRegistrationRestoresOnTheMainQueue) {
    {
        Panel earlier("PanelD");
        Fill(earlier, 2, "late");
        earlier.persistentObjectSaveData();
    }
    // Registered with restore before launch: restored by the launch pass only.
    Panel early("PanelD");
    controller->registerPersistentObject(&early, true);
    EXPECT_EQ(dispatch_main_queue_drain(), 0);
    PostWillFinishLaunching();
    EXPECT_EQ(early.loads, 1);
    EXPECT_EQ(dispatch_main_queue_drain(), 0);
    EXPECT_EQ(early.loads, 1);

    // After launch: restored on the main queue, after the registering call has returned.
    Panel late("PanelD");
    controller->registerPersistentObject(&late, true);
    EXPECT_EQ(late.loads, 0);
    EXPECT_EQ(dispatch_main_queue_drain(), 1);
    EXPECT_EQ(late.loads, 1);
    EXPECT_EQ(late.name, "late");

    // Without the flag nothing is scheduled.
    Panel quiet("PanelD");
    controller->registerPersistentObject(&quiet, false);
    EXPECT_EQ(dispatch_main_queue_drain(), 0);
    EXPECT_EQ(quiet.loads, 0);

    // An object destroyed before its turn is not touched.
    {
        Panel gone("PanelD");
        controller->registerPersistentObject(&gone, true);
    }
    EXPECT_EQ(dispatch_main_queue_drain(), 1);
}

TEST_F(PersistentObjectsTest, UnregisteringSavesMembersOnly) {
    Panel panel("PanelE");
    Fill(panel, 9, "leaving");
    controller->unregisterPersistentObject(&panel);  // not a member: nothing saved
    EXPECT_EQ(panel.saves, 0);
    controller->registerPersistentObject(&panel);
    controller->unregisterPersistentObject(&panel);
    EXPECT_EQ(panel.saves, 1);
    EXPECT_EQ(Stored("PanelE").value("name"), QVariant("leaving"));
    EXPECT_TRUE(controller->objects().empty());
    controller->unregisterPersistentObject(&panel);
    EXPECT_EQ(panel.saves, 1);

    UPersistentObjectsController::registerPersistentObjectShared(nullptr);
    UPersistentObjectsController::unregisterPersistentObjectShared(nullptr);
    QObject plain;  // no key paths: never registered, never saved
    controller->registerPersistentObject(&plain);
    EXPECT_FALSE(controller->conformsPersistentObject(&plain));
    EXPECT_TRUE(controller->objects().empty());
}

TEST_F(PersistentObjectsTest, AnObjectWithOnlyNilValuesKeepsTheOlderRecord) {
    {
        Panel earlier("PanelF");
        Fill(earlier, 1, "kept");
        earlier.persistentObjectSaveData();
    }
    class NilPanel : public Panel {
    public:
        using Panel::Panel;
        QSet<QString> persistentObjectKeyPaths() const override { return {"settings.level", "settings.gone"}; }
    } nilPanel("PanelF");
    controller->registerPersistentObject(&nilPanel);
    PostWillTerminate();
    EXPECT_EQ(nilPanel.saves, 1);
    EXPECT_EQ(Stored("PanelF").value("name"), QVariant("kept"));
}

TEST_F(PersistentObjectsTest, RegistrationDuringAPassWaitsForTheMainQueue) {
    SpawningPanel spawner("PanelG");
    controller->registerPersistentObject(&spawner);
    PostWillFinishLaunching();
    ASSERT_NE(spawner.spawned, nullptr);
    EXPECT_EQ(spawner.spawned->loads, 0);  // not part of the running pass
    EXPECT_EQ(controller->objects().size(), 2u);
    EXPECT_EQ(dispatch_main_queue_drain(), 1);
    EXPECT_EQ(spawner.spawned->loads, 1);
    controller->unregisterPersistentObject(spawner.spawned.get());
}

// ---- Nib singletons ----

class Shared : public UNibSingleton {
    Q_OBJECT
public:
    static int onces;
    static int everies;

protected:
    void initOnceInstance() override { ++onces; }
    void initEveryInstance() override { ++everies; }
};
int Shared::onces = 0;
int Shared::everies = 0;

class SharedAlias : public UNibSingleton {
    Q_OBJECT
public:
    static QString instanceKey() { return QStringLiteral("Shared"); }
};

class NibShared : public UNibSingleton {
    Q_OBJECT
};
NS_REGISTER_NIB_SINGLETON(NibShared);

TEST(UNibSingleton, EveryCreationPathGivesTheOneInstance) {
    EXPECT_EQ(UNibSingleton::sharedInstance<Shared>(), nullptr);
    UNibSingleton *fromFirstNib = UNibSingleton::allocInit<Shared>();
    UNibSingleton *fromSecondNib = UNibSingleton::allocInit<Shared>();
    EXPECT_EQ(fromFirstNib, fromSecondNib);
    EXPECT_EQ(UNibSingleton::sharedInstance<Shared>(), fromFirstNib);
    EXPECT_EQ(Shared::onces, 1);
    EXPECT_EQ(Shared::everies, 2);
    EXPECT_TRUE(UNibSingleton::sharedInstanceWasInitialized("Shared"));

    // A class answering another class's key shares that class's instance.
    EXPECT_EQ(UNibSingleton::allocInit<SharedAlias>(), fromFirstNib);
    EXPECT_EQ(UNibSingleton::sharedInstance<SharedAlias>(), nullptr);  // it is a Shared
    EXPECT_EQ(Shared::everies, 3);

    // A second registration for a key is ignored.
    UNibSingleton::setSharedInstance("Shared", nullptr);
    EXPECT_EQ(UNibSingleton::sharedInstanceForKey("Shared"), fromFirstNib);

    // The class registry answers the shared instance too.
    QObject *made = NSClassCreateInstance(NSClassFromString("NibShared"));
    EXPECT_EQ(made, UNibSingleton::sharedInstance<NibShared>());
    EXPECT_EQ(NSClassCreateInstance(NSClassFromString("NibShared")), made);

    EXPECT_EQ(UPersistentObjectsController::sharedPersistentObjectsController(),
              UNibSingleton::allocInit<UPersistentObjectsController>());
}

}  // namespace

#include "PersistentObjectsTest.moc"
