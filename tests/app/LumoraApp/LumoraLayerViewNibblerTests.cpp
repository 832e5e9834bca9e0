// The background layer panel of the camera view: its state restored from the user defaults at
// launch (stored values of the wrong kind give the defaults), stored at quit and shown again at
// the next launch, the camera mirror in the horizontal flip, and a pop-up without a menu.
#include <LumoraApp/LumoraLayerViewNibbler.h>

#include <AppKit/NSButton.h>
#include <Foundation/NSUserDefaults.h>
#include <UICocoaColor/NSColorWellWithAlpha.h>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>

#include <memory>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

const char *const kKeys[] = {"outletBackgroundColorWell", "outletBackgroundColorDraw", "outletBackgroundImageDraw",
                             "outletLayerQuickFlipX",     "outletLayerQuickFlipY",     "outletBackgroundsPopupButton"};

class LayerPanelDefaults : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ASSERT_TRUE(import_LumoraLayerViewNibbler());
        Clear();
        mPanel = std::make_unique<LumoraLayerViewNibbler>();
        mPanel->outletBackgroundColorWell = mWell = new NSColorWell(mPanel.get());
        mPanel->outletBackgroundColorDraw = mColorDraw = new QCheckBox(mPanel.get());
        mPanel->outletBackgroundImageDraw = mImageDraw = new QCheckBox(mPanel.get());
        mPanel->outletLayerQuickFlipX = mFlipX = new QCheckBox(mPanel.get());
        mPanel->outletLayerQuickFlipY = mFlipY = new QCheckBox(mPanel.get());
        mPanel->_cameraFlipX = mCameraFlip = new QCheckBox(mPanel.get());
        mPanel->outletBackgroundsPopupButton = mBackgrounds = new QComboBox(mPanel.get());
        mBackgrounds->addItems({"Beach", "Hollywood Sign", "Moon"});
    }
    void TearDown() override {
        mPanel.reset();
        Clear();
    }
    static void Clear() {
        for (const char *key : kKeys) NSUserDefaults::standardUserDefaults().removeObject(QString::fromLatin1(key));
    }

    std::unique_ptr<LumoraLayerViewNibbler> mPanel;
    NSColorWell *mWell = nullptr;
    QCheckBox *mColorDraw = nullptr, *mImageDraw = nullptr, *mFlipX = nullptr, *mFlipY = nullptr, *mCameraFlip = nullptr;
    QComboBox *mBackgrounds = nullptr;
};

TEST_F(LayerPanelDefaults, LaunchWithoutStoredValuesShowsTheDefaults) {
    mColorDraw->setChecked(false);
    mImageDraw->setChecked(true);
    mFlipX->setChecked(false);
    mFlipY->setChecked(true);
    mWell->setColor(QColor(255, 0, 0));
    mPanel->applicationDidFinishLaunching(NSNotification());
    EXPECT_TRUE(mColorDraw->isChecked());
    EXPECT_FALSE(mImageDraw->isChecked());
    EXPECT_TRUE(mFlipX->isChecked());
    EXPECT_FALSE(mFlipY->isChecked());
    EXPECT_EQ(mBackgrounds->currentText(), "Hollywood Sign");
    EXPECT_EQ(mWell->color().rgba(), QColor(0, 0, 0).rgba());
}

TEST_F(LayerPanelDefaults, StoredValuesOfTheWrongKindGiveTheDefaults) {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    defaults.setObject(QStringLiteral("yes"), QStringLiteral("outletLayerQuickFlipY"));
    defaults.setObject(QVariant(qlonglong(3)), QStringLiteral("outletBackgroundsPopupButton"));
    defaults.setObject(QVariant(qlonglong(7)), QStringLiteral("outletBackgroundColorWell"));
    mFlipY->setChecked(true);
    mPanel->applicationDidFinishLaunching(NSNotification());
    EXPECT_FALSE(mFlipY->isChecked());
    EXPECT_EQ(mBackgrounds->currentText(), "Hollywood Sign");
    EXPECT_EQ(mWell->color().rgba(), QColor(0, 0, 0).rgba());
}

TEST_F(LayerPanelDefaults, WhatIsStoredAtQuitIsWhatTheNextLaunchShows) {
    mPanel->applicationDidFinishLaunching(NSNotification());
    mFlipY->setChecked(true);
    mFlipX->setChecked(false);
    mImageDraw->setChecked(true);
    mBackgrounds->setCurrentIndex(2);
    mWell->setColor(QColor(0, 0, 255));
    mPanel->applicationWillTerminate(NSNotification());
    EXPECT_EQ(NSUserDefaults::standardUserDefaults().integerForKey(QStringLiteral("outletLayerQuickFlipY")), 1);

    LumoraLayerViewNibbler next;
    QCheckBox flipX, flipY, colorDraw, imageDraw;
    QComboBox backgrounds;
    backgrounds.addItems({"Beach", "Hollywood Sign", "Moon"});
    NSColorWell well;
    next.outletLayerQuickFlipX = &flipX;
    next.outletLayerQuickFlipY = &flipY;
    next.outletBackgroundColorDraw = &colorDraw;
    next.outletBackgroundImageDraw = &imageDraw;
    next.outletBackgroundsPopupButton = &backgrounds;
    next.outletBackgroundColorWell = &well;
    next.applicationDidFinishLaunching(NSNotification());
    EXPECT_TRUE(flipY.isChecked());
    EXPECT_FALSE(flipX.isChecked());
    EXPECT_TRUE(imageDraw.isChecked());
    EXPECT_TRUE(colorDraw.isChecked());
    EXPECT_EQ(backgrounds.currentText(), "Moon");
    EXPECT_EQ(well.color().blue(), 255);
    EXPECT_EQ(well.color().red(), 0);
}

TEST_F(LayerPanelDefaults, APopUpWithoutAMenuIsSkippedAndTheRestStillLoadsAndStores) {
    QObject notAPopUp;
    mPanel->outletBackgroundsPopupButton = &notAPopUp;
    NSUserDefaults::standardUserDefaults().setObject(QStringLiteral("Beach"),
                                                     QStringLiteral("outletBackgroundsPopupButton"));
    mPanel->applicationDidFinishLaunching(NSNotification());
    EXPECT_TRUE(mFlipX->isChecked());
    mFlipY->setChecked(true);
    mPanel->applicationWillTerminate(NSNotification());
    EXPECT_EQ(NSUserDefaults::standardUserDefaults().stringForKey(QStringLiteral("outletBackgroundsPopupButton")),
              "Beach");
    EXPECT_EQ(NSUserDefaults::standardUserDefaults().integerForKey(QStringLiteral("outletLayerQuickFlipY")), 1);
}

TEST_F(LayerPanelDefaults, TheCameraMirrorFlipsTheLayerHorizontally) {
    struct Case {
        bool quickFlip, cameraFlip, flipped;
    };
    for (const Case &c : {Case{false, false, false}, Case{true, false, true}, Case{false, true, true},
                          Case{true, true, true}}) {
        mFlipX->setChecked(c.quickFlip);
        mCameraFlip->setChecked(c.cameraFlip);
        EXPECT_EQ(mPanel->cameraFlippedHorizontal(), c.cameraFlip);
        EXPECT_EQ(mPanel->layerFlippedHorizontal(), c.flipped) << c.quickFlip << " " << c.cameraFlip;
    }
    mPanel->_cameraFlipX = nullptr;
    EXPECT_FALSE(mPanel->cameraFlippedHorizontal());
}

}  // namespace
