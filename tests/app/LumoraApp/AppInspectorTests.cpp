// The inspector nib on its own: the launch and terminate notices reach the layer panel and,
// through it, the matrix form (their controls restored from and stored into the user
// defaults); the backgrounds are the pictures of a folder by name.
#include <LumoraApp/AppInspector.h>

#include <AppKit/NSNib.h>
#include <Foundation/NSUserDefaults.h>
#include <LumoraApp/LumMatrixController.h>
#include <LumoraApp/LumoraLayerViewNibbler.h>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

class InspectorNib : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ASSERT_TRUE(import_AppInspector());
        Clear();
        auto nib = NSNib::initWithNibNamed(QStringLiteral("AppInspector"));
        ASSERT_NE(nib, nullptr);
        QList<QObject *> top;
        ASSERT_TRUE(nib->instantiateNibWithOwner(nullptr, &top));
        mInspector.reset(qobject_cast<AppInspector *>(top.first()));
        ASSERT_NE(mInspector, nullptr);
    }
    void TearDown() override {
        mInspector.reset();
        Clear();
    }
    static void Clear() {
        NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
        for (const char *key : {"outletLayerQuickFlipY", "outletBackgroundColorDraw", AppInspector::kFrameKey, AppInspector::kVisibleKey})
            defaults.removeObject(QString::fromLatin1(key));
        for (const LumMatrixController::DefaultsRow &row : LumMatrixController::defaultsTable())
            defaults.removeObject(QString::fromLatin1(row.key));
    }
    QObject *Control(const char *name) const { return mInspector->findChild<QObject *>(QString::fromLatin1(name)); }

    std::unique_ptr<AppInspector> mInspector;
};

TEST_F(InspectorNib, LaunchAndTerminateReachTheLayerPanelAndItsMatrixForm) {
    ASSERT_NE(mInspector->matrixController(), nullptr);
    EXPECT_EQ(mInspector->lumoraLayerController()->layerMatrixController(), mInspector->matrixController());
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    defaults.setInteger(1, QStringLiteral("outletLayerQuickFlipY"));
    defaults.setInteger(0, QStringLiteral("outletTextureEnabled"));
    defaults.setObject(QStringLiteral("0.3"), QStringLiteral("outletMatrixScaleSlider"));
    mInspector->applicationDidFinishLaunching(NSNotification());
    EXPECT_TRUE(qobject_cast<QAbstractButton *>(Control("layerQuickFlipY"))->isChecked());
    EXPECT_FALSE(qobject_cast<QAbstractButton *>(Control("textureEnabledSwitch"))->isChecked());
    EXPECT_DOUBLE_EQ(Control("scaleSlider")->property("doubleValue").toDouble(), 0.3);
    EXPECT_FALSE(mInspector->lumoraLayerController()->layerTextureEnabled());

    qobject_cast<QAbstractButton *>(Control("backgroundColorDraw"))->setChecked(false);
    Control("translateXSlider")->setProperty("doubleValue", 0.75);
    mInspector->applicationWillTerminate(NSNotification());
    EXPECT_EQ(defaults.integerForKey(QStringLiteral("outletBackgroundColorDraw")), 0);
    EXPECT_EQ(defaults.stringForKey(QStringLiteral("outletMatrixTranslateXSlider")), "0.75");
    EXPECT_EQ(defaults.integerForKey(QString::fromLatin1(AppInspector::kVisibleKey)), 0) << "never shown";
    EXPECT_TRUE(defaults.stringForKey(QString::fromLatin1(AppInspector::kFrameKey)).isEmpty()) << "never placed";
}

TEST(InspectorBackgrounds, ThePicturesOfTheFolderByNameOnceEach) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    for (const char *file : {"Hollywood Sign.png", "Hollywood Sign.jpg", "beach.JPEG", "cameraImage.png", "notes.txt",
                             "moon.tiff", "composition.qtz", "archive.tar.png"}) {
        QFile out(QDir(folder.path()).filePath(QString::fromLatin1(file)));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("folder.png")));
    EXPECT_EQ(AppInspector::backgroundPictureNames(folder.path()),
              (QStringList{"archive.tar", "beach", "cameraImage", "Hollywood Sign", "moon"}));
    EXPECT_TRUE(AppInspector::backgroundPictureNames(QString()).isEmpty());
    EXPECT_TRUE(AppInspector::backgroundPictureNames(folder.path() + QStringLiteral("/missing")).isEmpty());
}

}  // namespace
