// Compression settings, their standard compression component and session options.
#include <QCam/QImageCompressionSessionOptions.h>
#include <QCam/QImageCompressionSettings.h>
#include <QCam/QStandardCompressionComponent.h>

#include <CocoaFoundation/NSDictionaryPropertyListArchiving.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSUserDefaults.h>
#include <QuickTime/FixMath.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QStringList>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "support/CompressionDialogDriver.h"

namespace {

QApplication *Application() {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "QCamTests";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return application;
}

const QString kKey = QImageCompressionSettings::defaultPreferencesKey();

// Counts the notices of one key path and keeps the last change.
class Observer : public QObject, public NSKeyValueObserver {
    Q_OBJECT
public:
    int notices = 0;
    QVariantMap last;
    void observeValueForKeyPath(const QString &, QObject *, const QVariantMap &change, void *) override {
        ++notices;
        last = change;
    }
};

struct CompressionSettings : ::testing::Test {
    void SetUp() override {
        Application();
        NSUserDefaults::standardUserDefaults().removeObject(kKey);
    }
    void TearDown() override { NSUserDefaults::standardUserDefaults().removeObject(kKey); }
};

TEST(QStandardCompressionComponent, FourCharCodeAndCodecNames) {
    EXPECT_EQ(QStandardCompressionComponent::codecTypeFourCharCode(MakeFourCharCode("avc1")), "('avc1')");
    EXPECT_EQ(QStandardCompressionComponent::codecTypeFourCharCode(MakeFourCharCode("rle ")), "('rle ')");
    EXPECT_EQ(QStandardCompressionComponent::codecNameForCodecType(MakeFourCharCode("rle ")), "Animation");
    EXPECT_EQ(QStandardCompressionComponent::codecNameForCodecType(MakeFourCharCode("jpeg")), "Photo - JPEG");
    EXPECT_EQ(QStandardCompressionComponent::codecNameForCodecType(MakeFourCharCode("zzzz")), "");
    EXPECT_EQ(QStandardCompressionComponent::codecNameForCodecType(0), "");
}

TEST_F(CompressionSettings, FreshSettingsHoldTheDefaults) {
    QImageCompressionSettings settings;
    ASSERT_NE(settings.component(), nullptr);
    EXPECT_EQ(settings.timeScale(), 1000000);
    EXPECT_EQ(settings.outputFrameSize(), QSizeF(0, 0));
    EXPECT_EQ(settings.codecType(), MakeFourCharCode("rle "));
    EXPECT_EQ(settings.codecTypeName(), "Animation");
    EXPECT_EQ(settings.codecTypeFourCharCode(), "('rle ')");
    SCSpatialSettings spatial{};
    EXPECT_TRUE(settings.component()->getSpatialSettings(&spatial));
    EXPECT_EQ(spatial.depth, 32);
    EXPECT_EQ(spatial.spatialQuality, codecMaxQuality);
    EXPECT_EQ(settings.preferencesKey(), "QImageCompressionSettings");
    EXPECT_FALSE(settings.component()->settingsSummary().isEmpty());
    EXPECT_EQ(settings.sessionOptions(), nullptr);
}

TEST_F(CompressionSettings, InputSizeFillsOnlyAnOutputSizeThatIsStillZero) {
    QImageCompressionSettings settings;
    settings.setInputFrameSize(QSizeF(640.9, 480));
    EXPECT_EQ(settings.inputFrameSize(), QSizeF(640, 480));
    EXPECT_EQ(settings.outputFrameSize(), QSizeF(640, 480));
    settings.setInputFrameSize(QSizeF(320, 240));
    EXPECT_EQ(settings.outputFrameSize(), QSizeF(640, 480));

    QImageCompressionSettings half;
    half.setOutputFrameHeight(100);
    half.setInputFrameSize(QSizeF(64, 48));
    EXPECT_EQ(half.outputFrameSize(), QSizeF(64, 100));

    const struct {
        double length;
        uint pixels;
    } cases[] = {{-5, 0}, {std::nan(""), 0}, {1e12, std::numeric_limits<uint>::max()}, {0.99, 0}};
    for (const auto &c : cases) {
        settings.setOutputFrameSize(QSizeF(c.length, c.length));
        EXPECT_EQ(settings.outputFrameWidth(), c.pixels) << c.length;
    }
}

// The frame rate travels as 16.16 fixed point; rates the component refuses change nothing.
TEST_F(CompressionSettings, FrameRateIsKeptAsFixedPoint) {
    QImageCompressionSettings settings;
    const struct {
        double set;
        double read;
    } cases[] = {
        {12.5, 12.5}, {29.97, Fix2X(X2Fix(29.97))}, {1000, 1000}, {0, 1000}, {-1, 1000}, {1001, 1000},
        {std::nan(""), 1000}, {1.0 / 65536, 1.0 / 65536},
    };
    for (const auto &c : cases) {
        settings.setFrameRate(c.set);
        EXPECT_DOUBLE_EQ(settings.frameRate(), c.read) << c.set;
    }
    EXPECT_NEAR(Fix2X(X2Fix(29.97)), 29.97, 1.0 / 65536);
}

TEST_F(CompressionSettings, SettingTheFrameRateNotifiesObservers) {
    QImageCompressionSettings settings;
    Observer observer;
    NSKeyValueCoding::addObserver(&settings, &observer, "frameRate",
                                  NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld);
    settings.setFrameRate(24);
    EXPECT_EQ(observer.notices, 1);
    EXPECT_DOUBLE_EQ(observer.last.value(NSKeyValueChangeNewKey).toDouble(), 24);
    settings.setFrameRate(24);
    settings.setFrameRate(0);
    EXPECT_EQ(observer.notices, 1);
    NSKeyValueCoding::removeObserver(&settings, &observer, "frameRate");
}

TEST_F(CompressionSettings, SettingsDataRoundTripKeepsSizesAndCodecSettings) {
    QImageCompressionSettings settings;
    settings.setInputFrameSize(QSizeF(640, 480));
    settings.component()->setCodecType(MakeFourCharCode("jpeg"));
    settings.setFrameRate(15);
    SCSpatialSettings spatial{};
    settings.component()->getSpatialSettings(&spatial);
    spatial.spatialQuality = 700;
    ASSERT_TRUE(settings.component()->setSpatialSettings(spatial));

    const QByteArray data = settings.settingsDataWithOutputFrameSize(QSizeF(320, 240));
    std::unique_ptr<QImageCompressionSettings> copy = QImageCompressionSettings::compressionSettingsWithSettingsData(data);
    EXPECT_EQ(copy->inputFrameSize(), QSizeF(640, 480));
    EXPECT_EQ(copy->outputFrameSize(), QSizeF(320, 240));
    EXPECT_EQ(copy->codecType(), MakeFourCharCode("jpeg"));
    EXPECT_DOUBLE_EQ(copy->frameRate(), 15);
    SCSpatialSettings copied{};
    copy->component()->getSpatialSettings(&copied);
    EXPECT_EQ(copied.spatialQuality, 700u);
    EXPECT_EQ(copy->timeScale(), QImageCompressionSettings::defaultTimeScale());
    EXPECT_EQ(copy->sessionOptions(), nullptr);
    EXPECT_EQ(copy->settingsData(), settings.settingsDataWithOutputFrameSize(QSizeF(320, 240)));

    std::unique_ptr<QImageCompressionSettings> current = settings.compressionSettings();
    EXPECT_EQ(current->outputFrameSize(), QSizeF(640, 480));
    const QVariantMap dictionary = settings.settingsDictionaryWithOutputFrameSize(QSizeF(1, 2));
    EXPECT_EQ(dictionary.value("kOutputFrameSizeKey").toMap(), (QVariantMap{{"Width", 1.0}, {"Height", 2.0}}));
    EXPECT_TRUE(dictionary.contains("kComponentDataKey"));
}

// Outside data that is not settings data is refused whole: the settings stay as they were,
// and settings made from it hold a fresh component's defaults.
TEST_F(CompressionSettings, CorruptSettingsDataIsRefusedWithoutHarm) {
    QImageCompressionSettings good;
    good.setInputFrameSize(QSizeF(64, 48));
    good.component()->setCodecType(MakeFourCharCode("mp4v"));
    const QVariantMap base = good.settingsDictionaryWithOutputFrameSize(QSizeF(64, 48));
    auto archived = [](QVariantMap dictionary, const char *key, const QVariant &value) {
        if (value.isValid())
            dictionary.insert(key, value);
        else
            dictionary.remove(key);
        return PropertyListArchiving::propertyListData(dictionary, "kPropertyListDataKey");
    };
    QByteArray componentBytes = base.value("kComponentDataKey").toByteArray();
    componentBytes[3] = char(componentBytes[3] + 1);  // the container's size no longer matches
    const struct {
        const char *what;
        QByteArray data;
    } refused[] = {
        {"empty", QByteArray()},
        {"not a property list", QByteArray("\x00\x01garbage", 9)},
        {"a property list, no archive", QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\"><string>x</string></plist>")},
        {"another root key", PropertyListArchiving::propertyListData(base, "otherKey")},
        {"component data as text", archived(base, "kComponentDataKey", QString("rle "))},
        {"corrupt component data", archived(base, "kComponentDataKey", componentBytes)},
    };
    QImageCompressionSettings settings;
    ASSERT_TRUE(settings.setSettingsData(good.settingsData()));
    for (const auto &c : refused) {
        EXPECT_FALSE(settings.setSettingsData(c.data)) << c.what;
        EXPECT_EQ(settings.codecType(), MakeFourCharCode("mp4v")) << c.what;
        EXPECT_EQ(settings.inputFrameSize(), QSizeF(64, 48)) << c.what;
        QImageCompressionSettings fresh(c.data);
        EXPECT_EQ(fresh.codecType(), MakeFourCharCode("rle ")) << c.what;
        EXPECT_EQ(fresh.inputFrameSize(), QSizeF(0, 0)) << c.what;
    }
    // Sizes that are absent or not size dictionaries read as 0 x 0.
    QVariantMap odd = base;
    odd.insert("kInputFrameSizeKey", QVariantMap{{"Width", "wide"}, {"Height", 3}});
    odd.remove("kOutputFrameSizeKey");
    EXPECT_TRUE(settings.setSettingsData(PropertyListArchiving::propertyListData(odd, "kPropertyListDataKey")));
    EXPECT_EQ(settings.inputFrameSize(), QSizeF(0, 0));
    EXPECT_EQ(settings.outputFrameSize(), QSizeF(0, 0));
}

// Loading stored preferences answers YES when it took them, NO otherwise.
TEST_F(CompressionSettings, PreferencesLoadAnswersWhetherItTookThem) {
    QStandardCompressionComponent saved;
    saved.setCodecType(MakeFourCharCode("mjpa"));
    saved.setFrameRate(20);
    EXPECT_FALSE(saved.savePreferencesWithKey(""));
    ASSERT_TRUE(saved.savePreferencesWithKey(kKey));

    QStandardCompressionComponent loaded;
    EXPECT_TRUE(loaded.loadPreferencesWithKey(kKey));
    EXPECT_EQ(loaded.codecType(), MakeFourCharCode("mjpa"));
    EXPECT_DOUBLE_EQ(loaded.frameRate(), 20);
    EXPECT_FALSE(loaded.loadPreferencesWithKey(""));
    EXPECT_FALSE(loaded.loadPreferencesWithKey("nothing stored here"));

    // A defaults value that is not the component's settings is refused and changes nothing.
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    for (const QVariant &value : {QVariant(QByteArray("\0\0\0\x08scdi", 8)), QVariant(QString("rle ")),
                                  QVariant(QByteArray(100, '\xff'))}) {
        defaults.setObject(value, kKey);
        EXPECT_FALSE(loaded.loadPreferencesWithKey(kKey));
        EXPECT_EQ(loaded.codecType(), MakeFourCharCode("mjpa"));
    }

    // The nib object reads the user's choice at construction.
    ASSERT_TRUE(saved.savePreferencesWithKey(kKey));
    QImageCompressionSettings nib;
    EXPECT_EQ(nib.codecType(), MakeFourCharCode("mjpa"));
}

TEST_F(CompressionSettings, AwakeFromNibMakesOnePassSessionOptions) {
    QImageCompressionSettings settings;
    settings.awakeFromNib();
    QImageCompressionSessionOptions *options = settings.sessionOptions();
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->codecQuality(), codecMaxQuality);
    EXPECT_EQ(options->codecDepth(), 32u);
    EXPECT_EQ(options->maxKeyFrameInterval(), 30);
    EXPECT_TRUE(options->allowTemporalCompression());
    EXPECT_TRUE(options->allowFrameReordering());
    EXPECT_TRUE(options->allowFrameTimeChanges());
    EXPECT_TRUE(options->frameDurationsNeeded());
    EXPECT_TRUE(options->allowAsyncCompletion());
    EXPECT_EQ(NSKeyValueCoding::objectFromVariant(NSKeyValueCoding::valueForKey(&settings, "sessionOptions")),
              options);

    // Later options go to the same object.
    settings.component()->setCodecType(MakeFourCharCode("jpeg"));
    SCSpatialSettings spatial{};
    settings.component()->getSpatialSettings(&spatial);
    spatial.spatialQuality = 256;
    settings.component()->setSpatialSettings(spatial);
    settings.awakeFromNib();
    EXPECT_EQ(settings.sessionOptions(), options);
    EXPECT_EQ(options->codecQuality(), 256u);
}

TEST(QImageCompressionSessionOptions, AccessorsKeepTheirValues) {
    std::unique_ptr<QImageCompressionSessionOptions> options = QImageCompressionSessionOptions::sessionOptions();
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->maxKeyFrameInterval(), 30);
    options->setCodecDepth(24);
    options->setCodecQuality(codecHighQuality);
    options->setAverageDataRate(125000);
    options->setImageCodecSettings("codec bytes");
    options->setMaxKeyFrameInterval(10);
    options->setAllowFrameReordering(false);
    options->setAllowAsyncCompletion(false);
    EXPECT_EQ(options->codecDepth(), 24u);
    EXPECT_EQ(options->codecQuality(), codecHighQuality);
    EXPECT_EQ(options->averageDataRate(), 125000);
    EXPECT_EQ(options->imageCodecSettings(), "codec bytes");
    EXPECT_EQ(options->maxKeyFrameInterval(), 10);
    EXPECT_FALSE(options->allowFrameReordering());
    EXPECT_FALSE(options->allowAsyncCompletion());
    options->setCodecQuality(codecLosslessQuality + 1);  // refused and reported
    EXPECT_EQ(options->codecQuality(), codecHighQuality);
    options->setImageCodecSettings({});
    EXPECT_TRUE(options->imageCodecSettings().isEmpty());

    // Options shared with another wrapper are the same options.
    QImageCompressionSessionOptions shared(options->options());
    EXPECT_EQ(shared.codecDepth(), 24u);

    QImageCompressionSessionOptions none;
    EXPECT_EQ(none.options(), nullptr);
    EXPECT_EQ(none.codecQuality(), 0u);
    EXPECT_FALSE(none.allowTemporalCompression());
}

// --- The settings dialog ---

QStringList PresentOfferedNames() {
    QStringList names;
    for (OSType type : {MakeFourCharCode("rle "), MakeFourCharCode("avc1"), MakeFourCharCode("mp4v"),
                        MakeFourCharCode("jpeg"), MakeFourCharCode("mjpa"), MakeFourCharCode("mjpb")}) {
        const QString name = QStandardCompressionComponent::codecNameForCodecType(type);
        if (!name.isEmpty()) names << name;
    }
    return names;
}

// The dialog offers the six compressors FFmpeg has, in order; the accepted choice is
// announced to observers of "frameRate" and stored in the user defaults.
TEST_F(CompressionSettings, DialogChoiceIsAnnouncedAndStored) {
    QImageCompressionSettings settings;
    Observer observer;
    NSKeyValueCoding::addObserver(&settings, &observer, "frameRate",
                                  NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld);
    const double before = settings.frameRate();
    QStringList shown;
    lumora::test::WhenCompressionDialogShows([&](QDialog &dialog) {
        shown = lumora::test::CompressionDialogCodecNames(dialog);
        lumora::test::ChooseInCompressionDialog(dialog, MakeFourCharCode("mp4v"), 512, 24.0);
        dialog.accept();
    });
    settings.actionDisplaySettingsDialog(nullptr);
    EXPECT_EQ(shown, PresentOfferedNames());
    EXPECT_GE(shown.size(), 5);
    EXPECT_EQ(settings.codecType(), MakeFourCharCode("mp4v"));
    EXPECT_DOUBLE_EQ(settings.frameRate(), 24);
    ASSERT_EQ(observer.notices, 1);
    EXPECT_DOUBLE_EQ(observer.last.value(NSKeyValueChangeOldKey).toDouble(), before);
    EXPECT_DOUBLE_EQ(observer.last.value(NSKeyValueChangeNewKey).toDouble(), 24);

    QImageCompressionSettings next;
    EXPECT_EQ(next.codecType(), MakeFourCharCode("mp4v"));
    EXPECT_DOUBLE_EQ(next.frameRate(), 24);
    NSKeyValueCoding::removeObserver(&settings, &observer, "frameRate");
}

TEST_F(CompressionSettings, CancelledDialogChangesAndStoresNothing) {
    QImageCompressionSettings settings;
    lumora::test::WhenCompressionDialogShows([&](QDialog &dialog) {
        lumora::test::ChooseInCompressionDialog(dialog, MakeFourCharCode("jpeg"), 100, 5.0);
        dialog.reject();
    });
    settings.actionDisplaySettingsDialog(nullptr);
    EXPECT_EQ(settings.codecType(), MakeFourCharCode("rle "));
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults().objectForKey(kKey).isValid());
}

}  // namespace

#include "CompressionSettingsTest.moc"
