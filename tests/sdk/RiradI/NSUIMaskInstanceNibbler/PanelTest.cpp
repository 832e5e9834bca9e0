#include "MaskDesignerTestSupport.h"

#include <AppKit/NSNib.h>
#include <CocoaFoundation/UPersistentObjectsController.h>
#include <Foundation/NSUserDefaults.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskInstance640x480.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskReference.h>
#include <UICocoaControls/NSUIBigControlsView.h>
#include <UICocoaControls/NSUIBigLinearSliderPanel.h>
#include <UIParamMapping/NSUIBookmarksTarget.h>
#include <UIParamMapping/NSUIParamMapping.h>

#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QTimer>

#include <memory>

namespace {

using mask_test::MaskBytes;
using mask_test::Move;

constexpr char kPrefix[] = "video.input.mask.";

// The application's parameter names of the mask.
const ParamMappingRow kMaskRows[] = {
    {3, 0, "video.input.mask.screen.type", "intValue", "setIntValue", "NSNumber"},
    {3, 1, "video.input.mask.screen.opacity", "floatValue", "setFloatValue", "float"},
    {3, 1, "video.input.mask.screen.phase", "floatValue", "setFloatValue", "float"},
    {3, 1, "video.input.mask.screen.param.0", "floatValue", "setFloatValue", "float"},
    {3, 1, "video.input.mask.screen.param.1", "floatValue", "setFloatValue", "float"},
    {3, 1, "video.input.mask.screen.param.2", "floatValue", "setFloatValue", "float"},
    {3, 0, "video.input.mask.shape.type", "intValue", "setIntValue", "NSNumber"},
    {3, 1, "video.input.mask.shape.opacity", "floatValue", "setFloatValue", "float"},
    {3, 1, "video.input.mask.shape.rotation", "floatValue", "setFloatValue", "float"},
    {3, 1, "video.input.mask.shape.param.0", "floatValue", "setFloatValue", "float"},
    {3, 1, "video.input.mask.shape.param.1", "floatValue", "setFloatValue", "float"},
    {3, 1, "video.input.mask.shape.param.2", "floatValue", "setFloatValue", "float"},
    {3, 1, "video.input.mask.shape.param.3", "floatValue", "setFloatValue", "float"},
    {3, 1, "video.input.mask.operator", "intValue", "setIntValue", "NSNumber"},
    {0, 0, nullptr, nullptr, nullptr, nullptr},
};

// A bookmark target over a mask, as the tint stage of the application is: settings read and
// applied through the parameter mapping, which sets the sliders without their actions.
class MaskBookmarks : public protocol_NSUIBookmarksTarget {
public:
    explicit MaskBookmarks(NSUIMaskController &mask) : mMask(mask), mMapping(kMaskRows) {
        const std::pair<const char *, QObject *> bindings[] = {
            {"screen.type", mask.screenTypeSlider()},       {"screen.opacity", mask.screenOpacitySlider()},
            {"screen.phase", mask.screenAngleSlider()},     {"screen.param.0", mask.screenParam0Slider()},
            {"screen.param.1", mask.screenParam1Slider()},  {"screen.param.2", mask.screenParam2Slider()},
            {"shape.type", mask.shapeTypeSlider()},         {"shape.opacity", mask.shapeOpacitySlider()},
            {"shape.rotation", mask.shapeAngleSlider()},    {"shape.param.0", mask.shapeParam0Slider()},
            {"shape.param.1", mask.shapeParam1Slider()},    {"shape.param.2", mask.shapeParam2Slider()},
            {"shape.param.3", mask.shapeParam3Slider()},    {"operator", mask.combineOperatorSlider()}};
        for (const auto &[name, control] : bindings)
            mMapping.SetParamControl(QLatin1String(kPrefix) + QLatin1String(name), control);
    }
    bool setSettingsDictionary(const QVariantMap &settings) override {
        mMapping.SetParamsFromDictionary(settings);
        return true;
    }
    QVariantMap currentSettingsDictionary(bool includeAllParameters) override {
        QVariantMap settings = emptySettingsDictionary();
        mMask.addControlParamsForPrefix(mMapping, settings, QLatin1String(kPrefix), includeAllParameters);
        return settings;
    }

private:
    NSUIMaskController &mMask;
    ParamMapping mMapping;
};

struct WiredMask : riradi_test::WithApplication {
    WiredMask() {
        EXPECT_TRUE(import_NSUIMaskInstanceNibbler());
        mask_test::WireSliders(mask);
        mask.maskControlsReset(nullptr);
    }
    NSUIMaskInstance mask;
};

TEST(MaskBookmarks, SettingsHoldTheLayersThatAreOn) {
    WiredMask w;
    MaskBookmarks bookmarks(w.mask);
    QVariantMap off = bookmarks.currentSettingsDictionary(false);
    off.remove(QStringLiteral("com.tarvex.version"));
    EXPECT_EQ(off, (QVariantMap{{"video.input.mask.refines", "defaults"},
                                {"video.input.mask.screen.type", 0},
                                {"video.input.mask.shape.type", 0}}));
    // Every parameter when asked for all of them.
    EXPECT_EQ(bookmarks.currentSettingsDictionary(true).size(), 1 + 1 + 14);

    Move(w.mask.shapeTypeSlider(), 16);
    const QVariantMap shapeOnly = bookmarks.currentSettingsDictionary(false);
    EXPECT_TRUE(shapeOnly.contains("video.input.mask.shape.param.3"));
    EXPECT_TRUE(shapeOnly.contains("video.input.mask.operator"));
    EXPECT_FALSE(shapeOnly.contains("video.input.mask.screen.param.0"));
}

// A bookmark that differs from the panel only in shape parameters 2 and 3 (which only some
// shapes read) brings back its own mask, byte for byte.
TEST(MaskBookmarks, RoundTripRestoresTheSameMaskBytes) {
    WiredMask w;
    NSUIMaskInstance &mask = w.mask;
    MaskBookmarks bookmarks(mask);
    Move(mask.shapeTypeSlider(), 16);
    Move(mask.shapeParam0Slider(), 0.25);
    Move(mask.shapeParam1Slider(), 0.75);
    Move(mask.shapeParam2Slider(), 0.875);
    Move(mask.shapeParam3Slider(), 0.125);
    Move(mask.shapeAngleSlider(), 45);
    Move(mask.screenTypeSlider(), 3);
    Move(mask.screenParam2Slider(), 0.625);
    Move(mask.combineOperatorSlider(), 1);
    Move(mask.screenOpacitySlider(), 0.5);
    const std::vector<uint8_t> bookmarked = MaskBytes(mask);
    const QString script = bookmarks.currentSettingsDictionaryScript(false);

    Move(mask.shapeParam2Slider(), 0.25);
    Move(mask.shapeParam3Slider(), 0.5);
    ASSERT_NE(MaskBytes(mask), bookmarked);

    ASSERT_TRUE(bookmarks.setSettingsDictionaryScript(script));
    EXPECT_EQ(mask.shapeParam2Slider()->doubleValue(), 0.875);
    mask.updateMaskContext();  // as the preview does when it draws next
    EXPECT_EQ(MaskBytes(mask), bookmarked);

    // And from a bookmark of other shape settings back to a plain one.
    Move(mask.shapeTypeSlider(), 17);
    Move(mask.shapeParam2Slider(), 0.0);
    ASSERT_TRUE(bookmarks.setSettingsDictionaryScript(script));
    mask.updateMaskContext();
    EXPECT_EQ(MaskBytes(mask), bookmarked);
}

TEST(MaskSliderHandOff, SlidersAreLentToTheBigControls) {
    WiredMask w;
    auto load = [](const char *name) {
        QList<QObject *> top;
        auto nib = NSNib::initWithNibNamed(QLatin1String(name));
        EXPECT_TRUE(nib != nullptr && nib->instantiateNibWithOwner(nullptr, &top) && !top.isEmpty()) << name;
        return std::unique_ptr<QObject>(top.isEmpty() ? nullptr : top.first());
    };
    const auto panel = load("NSUIBigLinearSliderPanel");
    const auto overlay = load("NSUIBigControlsView");
    ASSERT_NE(NSUIBigLinearSliderPanel::sharedPanel(), nullptr);
    ASSERT_NE(NSUIBigControlsView::sharedBigControlsView(), nullptr);

    Move(w.mask.shapeParam2Slider(), 0.3);
    EXPECT_EQ(NSUIBigLinearSliderPanel::sharedPanel()->attachedSlider(), w.mask.shapeParam2Slider());
    Move(w.mask.combineOperatorSlider(), 2);
    EXPECT_EQ(NSUIBigLinearSliderPanel::sharedPanel()->attachedSlider(), w.mask.combineOperatorSlider());

    // A circular slider goes to the big dial.
    w.mask.shapeAngleSlider()->setProperty("sliderType", 1);
    Move(w.mask.shapeAngleSlider(), 90);
    EXPECT_EQ(NSUIBigControlsView::sharedBigControlsView()->sliderView()->synchronizedSlider(),
              w.mask.shapeAngleSlider());
    EXPECT_EQ(NSUIBigLinearSliderPanel::sharedPanel()->attachedSlider(), w.mask.combineOperatorSlider());
}

TEST(MaskInstanceController, TypesNamesAndRefresh) {
    WiredMask w;
    NSUIMaskInstanceController controller;
    controller.setOutletMaskInstance(&w.mask);
    EXPECT_EQ(NSUIMaskInstanceController::shapeTypeNames().size(), 19);
    EXPECT_EQ(NSUIMaskInstanceController::shapeTypeNames().at(18), "Celtique");
    EXPECT_EQ(NSUIMaskInstanceController::screenTypeNames().size(), 20);
    EXPECT_EQ(NSUIMaskInstanceController::screenTypeNames().at(19), "Square Blocks");

    // Setting a type moves the slider and repaints through the slider's action.
    NSKeyValueCoding::setValueForKey(&controller, 12, QStringLiteral("shapeType"));
    EXPECT_EQ(w.mask.shapeTypeSlider()->intValue(), 12);
    EXPECT_EQ(NSUIMaskCompositeLayers::StoredShape(*w.mask.compositeMask()).type, 12);
    controller.setScreenType(QStringLiteral("5"));
    EXPECT_EQ(NSUIMaskCompositeLayers::StoredScreen(*w.mask.compositeMask()).type, 5);
    controller.setScreenType(QStringLiteral("spiral"));
    EXPECT_EQ(controller.screenType(), QVariant(5));

    // The refresher starts once, after awakeFromNib has returned, and stops on request.
    controller.awakeFromNib();
    EXPECT_FALSE(controller.isRefreshing());
    dispatch_main_queue_drain();
    riradi_test::RunPendingEvents();
    EXPECT_TRUE(controller.isRefreshing());
    controller.beginRefreshing();
    EXPECT_EQ(controller.findChildren<QTimer *>().size(), 1);
    controller.endRefreshing();
    EXPECT_FALSE(controller.isRefreshing());

    NSUIMaskInstanceController empty;
    EXPECT_FALSE(empty.shapeType().isValid());
    empty.setShapeType(3);  // no instance: nothing happens
}

TEST(MaskInstanceNibs, InstancesBuildTheirCompositeAtTheirSize) {
    WiredMask w;
    const QByteArray form = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>Masks</class><widget class="QWidget" name="root">
 <widget class="NSUIMaskInstance640x480" name="large"/>
 <widget class="NSUIMaskInstance320x240" name="small"/>
 <widget class="NSUIMaskInstance" name="plain"/>
 <widget class="NSUIMaskReference" name="reference"/>
</widget></ui>)";
    QList<QObject *> top;
    ASSERT_TRUE(NSNib::initWithNibData(form, "Masks")->instantiateNibWithOwner(nullptr, &top));
    std::unique_ptr<QObject> root(top.first());
    const struct {
        const char *name;
        CGFloat width, height;
        bool ownComposite;
    } cases[] = {{"large", 640, 480, true}, {"small", 320, 240, true}, {"plain", 320, 240, true},
                 {"reference", 320, 240, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto *controller = root->findChild<NSUIMaskController *>(QLatin1String(c.name));
        ASSERT_NE(controller, nullptr);
        EXPECT_EQ(controller->maskDimensions().width, c.width);
        EXPECT_EQ(controller->maskDimensions().height, c.height);
        EXPECT_EQ(controller->isPrivateNullContext(), !c.ownComposite);
    }
}

// The panel from its nib, on the offscreen platform.
struct PanelFixture : riradi_test::WithApplication {
    PanelFixture() {
        EXPECT_TRUE(import_NSUIMaskInstanceNibbler());
        UPersistentObjectsController::sharedPersistentObjectsController()->setWasLaunched(true);
    }
    static std::unique_ptr<NSUIMaskInstanceNibbler> OpenPanel() {
        auto panel = std::make_unique<NSUIMaskInstanceNibbler>();
        panel->awakeFromNib();
        dispatch_main_queue_drain();  // the restore of a late registration
        riradi_test::RunPendingEvents();
        return panel;
    }
};

TEST(MaskDesignerPanel, NibWiresTheDesigner) {
    PanelFixture fixture;
    NSUserDefaults::standardUserDefaults().removeObject(QStringLiteral("NSUIMaskInstanceNibbler"));
    auto panel = PanelFixture::OpenPanel();
    NSUIMaskInstance *mask = panel->outletMaskInstance();
    ASSERT_NE(mask, nullptr);
    for (QObject *slider : std::initializer_list<QObject *>{
             mask->shapeTypeSlider(), mask->shapeAngleSlider(), mask->shapeParam0Slider(), mask->shapeParam1Slider(),
             mask->shapeParam2Slider(), mask->shapeParam3Slider(), mask->shapeOpacitySlider(),
             mask->screenTypeSlider(), mask->screenAngleSlider(), mask->screenParam0Slider(),
             mask->screenParam1Slider(), mask->screenParam2Slider(), mask->screenOpacitySlider(),
             mask->combineOperatorSlider()})
        EXPECT_NE(slider, nullptr);
    EXPECT_EQ(mask->shapeTypeSlider()->maxValue(), 18);
    EXPECT_EQ(mask->target(), panel->outletMaskView());
    EXPECT_TRUE(mask->isContextConstructed());

    // The pop-ups list the type names and set the types.
    QComboBox *shapes = panel->outletShapeTypePopUp();
    ASSERT_NE(shapes, nullptr);
    EXPECT_EQ(shapes->count(), 19);
    EXPECT_EQ(panel->outletScreenTypePopUp()->count(), 20);
    shapes->activated(11);
    EXPECT_EQ(mask->currentShapeType(), 11);
    EXPECT_EQ(NSUIMaskCompositeLayers::StoredShape(*mask->compositeMask()).type, 11);
    // ... and follow the sliders at the refresher's next tick.
    Move(mask->screenTypeSlider(), 7);
    panel->maskInstanceController()->bindingsRefreshTimer(nullptr);
    EXPECT_EQ(panel->outletScreenTypePopUp()->currentIndex(), 7);

    // The segmented control swaps the pages.
    NSUIMaskInstancePlaceholder *pages = panel->outletPlaceholder();
    ASSERT_NE(pages, nullptr);
    EXPECT_EQ(pages->selectedSegment(), 0);
    EXPECT_FALSE(pages->outletMaskViewShape()->isHidden());
    EXPECT_TRUE(pages->outletMaskViewScreen()->isHidden());
    pages->outletSelectedMask()->setCurrentIndex(1);
    EXPECT_TRUE(pages->outletMaskViewShape()->isHidden());
    EXPECT_FALSE(pages->outletMaskViewScreen()->isHidden());
    EXPECT_EQ(pages->outletMaskViewScreen()->parentWidget(), pages);
    panel.reset();
    NSUserDefaults::standardUserDefaults().removeObject(QStringLiteral("NSUIMaskInstanceNibbler"));
}

TEST(MaskDesignerPanel, StateSurvivesARestart) {
    PanelFixture fixture;
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    defaults.removeObject(QStringLiteral("NSUIMaskInstanceNibbler"));
    std::vector<uint8_t> bytes;
    {
        auto panel = PanelFixture::OpenPanel();
        NSUIMaskInstance *mask = panel->outletMaskInstance();
        Move(mask->shapeTypeSlider(), 16);
        Move(mask->shapeParam2Slider(), 0.875);
        Move(mask->shapeParam3Slider(), 0.125);
        Move(mask->shapeAngleSlider(), 30);
        Move(mask->screenTypeSlider(), 17);
        Move(mask->screenParam1Slider(), 0.25);
        Move(mask->combineOperatorSlider(), 3);
        panel->outletPlaceholder()->setSelectedSegment(1);
        bytes = MaskBytes(*mask);
    }  // closing the panel saves it
    ASSERT_TRUE(defaults.synchronize());
    NSUserDefaults stored(defaults.applicationIdentifier());
    EXPECT_TRUE(stored.objectForKey(QStringLiteral("NSUIMaskInstanceNibbler")).isValid());

    auto panel = PanelFixture::OpenPanel();
    NSUIMaskInstance *mask = panel->outletMaskInstance();
    EXPECT_EQ(mask->currentShapeType(), 16);
    EXPECT_EQ(mask->shapeParam2Slider()->doubleValue(), 0.875);
    EXPECT_EQ(mask->shapeAngleSlider()->doubleValue(), 30);
    EXPECT_EQ(mask->currentScreenType(), 17);
    EXPECT_EQ(mask->combineOperatorSlider()->operatorType(), 3);
    EXPECT_EQ(panel->outletPlaceholder()->selectedSegment(), 1);
    EXPECT_FALSE(panel->outletPlaceholder()->outletMaskViewScreen()->isHidden());
    EXPECT_EQ(panel->outletShapeTypePopUp()->currentIndex(), 16);
    EXPECT_EQ(MaskBytes(*mask), bytes);
    panel.reset();
    defaults.removeObject(QStringLiteral("NSUIMaskInstanceNibbler"));
}

}  // namespace
