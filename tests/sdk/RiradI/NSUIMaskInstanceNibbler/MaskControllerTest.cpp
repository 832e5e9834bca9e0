#include "MaskDesignerTestSupport.h"

#include <NSUIMaskInstanceNibbler/NSUIContextMaskOperatorTypeSlider.h>
#include <NSUIMaskInstanceNibbler/NSUIContextMaskScreenTypeSlider.h>
#include <NSUIMaskInstanceNibbler/NSUIContextMaskShapeTypeSlider.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskControllerView.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskInstance.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskReference.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using mask_test::ChangeCounter;
using mask_test::MaskBytes;
using mask_test::Move;
using Layer = NSUIMaskCompositeLayers::Layer;

class MaskControllerTest : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        ASSERT_TRUE(import_NSUIMaskInstanceNibbler());
        mask_test::WireSliders(mask);
        mask.setTarget(&counter);
        mask.maskControlsReset(nullptr);
        mask.shapeParam2Slider()->setDoubleValue(0.5);
        mask.shapeParam3Slider()->setDoubleValue(0.5);
        // A shape that reads all four parameters and a screen, both visible.
        mask.shapeTypeSlider()->setIntValue(16);
        mask.screenTypeSlider()->setIntValue(3);
        mask.updateMaskContext(true);
        counter.count = 0;
    }

    NSUIMaskInstance mask;
    ChangeCounter counter;
};

TEST_F(MaskControllerTest, ControllersWithoutCompositeReportAndDoNothing) {
    NSUIMaskController plain;
    mask_test::WireSliders(plain);
    NSUIMaskReference reference;
    mask_test::WireSliders(reference);
    for (NSUIMaskController *controller : {&plain, static_cast<NSUIMaskController *>(&reference)}) {
        SCOPED_TRACE(controller->metaObject()->className());
        ClearLog();
        EXPECT_TRUE(controller->isPrivateNullContext());
        EXPECT_EQ(controller->maskDimensions().width, 320);
        EXPECT_EQ(controller->maskDimensions().height, 240);
        EXPECT_FALSE(controller->setMaskDimensions(CGSizeMake(64, 48)));
        EXPECT_FALSE(controller->isContextConstructed());
        EXPECT_FALSE(controller->updateMaskContext(false));
        controller->setMaskShapeDirty(true);
        EXPECT_TRUE(controller->isMaskShapeDirty());  // the stored flag
        EXPECT_FALSE(controller->isMaskScreenDirty());
        const std::string log = LogText();
        EXPECT_NE(log.find("&sCompositeMask!=&_CompositeMask"), std::string::npos) << log;
        EXPECT_NE(log.find("[self isContextConstructed]"), std::string::npos) << log;
    }
    // A reference drives the composite it is given.
    reference.setCompositeMask(mask.compositeMask());
    EXPECT_FALSE(reference.isPrivateNullContext());
    EXPECT_TRUE(reference.isContextConstructed());
    reference.shapeTypeSlider()->setIntValue(3);
    EXPECT_TRUE(reference.updateMaskContext(false));
    EXPECT_EQ(NSUIMaskCompositeLayers::StoredShape(*mask.compositeMask()).type, 3);
}

TEST_F(MaskControllerTest, TypeSlidersReadTheirRanges) {
    EXPECT_EQ(mask.shapeTypeSlider()->numberOfTickMarks(), 19);
    EXPECT_EQ(mask.shapeTypeSlider()->maxValue(), 18);
    EXPECT_EQ(mask.screenTypeSlider()->numberOfTickMarks(), 20);
    EXPECT_EQ(mask.screenTypeSlider()->maxValue(), 19);
    NSUIContextMaskOperatorTypeSlider op;
    op.awakeFromNib();
    EXPECT_EQ(op.numberOfTickMarks(), 12);
    EXPECT_EQ(op.maxValue(), 11);

    struct Case {
        const char *name;
        std::function<void()> set;
        std::function<int()> read;
        int expected;
    } cases[] = {
        {"screen beyond 19", [&] { mask.screenTypeSlider()->setDoubleValue(25); },
         [&] { return mask.screenTypeSlider()->screenType(); }, 19},
        {"negative shape", [&] { mask.shapeTypeSlider()->setDoubleValue(-3); },
         [&] { return mask.shapeTypeSlider()->shapeType(); }, 0},
        {"shape 7.6", [&] { mask.shapeTypeSlider()->setDoubleValue(7.6); },
         [&] { return mask.currentShapeType(); }, 7},
        {"operator not limited", [&] { op.setOperatorType(15); }, [&] { return op.operatorType(); }, 15},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.set();
        EXPECT_EQ(c.read(), c.expected);
    }
}

TEST_F(MaskControllerTest, ShapeAngleFollowsTheRotationConstants) {
    mask.setCoreGraphicsMaskDefaults();
    mask.shapeAngleSlider()->setDoubleValue(200);
    EXPECT_FLOAT_EQ(mask.shapeAngleDegrees(), 380);
    EXPECT_TRUE(mask.updateMaskContext(false));
    EXPECT_FLOAT_EQ(NSUIMaskCompositeLayers::StoredShape(*mask.compositeMask()).angleDegrees, 20);

    mask.setQuickDrawMaskDefaults();
    mask.shapeAngleSlider()->setDoubleValue(30);
    EXPECT_FLOAT_EQ(mask.shapeAngleDegrees(), -30);
    EXPECT_TRUE(mask.updateMaskContext(false));
    EXPECT_FLOAT_EQ(NSUIMaskCompositeLayers::StoredShape(*mask.compositeMask()).angleDegrees, 330);

    // A nib that leaves the multiplier 0 gets 1.
    NSUIMaskInstance other;
    other.setShapeRotationMultConst(0);
    mask_test::WireSliders(other);
    EXPECT_EQ(other.shapeRotationMultConst(), 1);
}

// Every setting that reaches the painters, changed without an action (a binding, the
// parameter mapping, restored defaults), is found by its change test and repainted.
TEST_F(MaskControllerTest, ChangeTestsFindEverySettingSetWithoutAction) {
    struct Case {
        const char *name;
        std::function<void()> set;
        bool shape, screen, combiner;
    } cases[] = {
        {"shape type", [&] { mask.shapeTypeSlider()->setIntValue(17); }, true, false, false},
        {"shape angle", [&] { mask.shapeAngleSlider()->setDoubleValue(45); }, true, false, false},
        {"shape parameter 0", [&] { mask.shapeParam0Slider()->setDoubleValue(0.25); }, true, false, false},
        {"shape parameter 1", [&] { mask.shapeParam1Slider()->setDoubleValue(0.75); }, true, false, false},
        {"shape parameter 2", [&] { mask.shapeParam2Slider()->setDoubleValue(0.9); }, true, false, false},
        {"shape parameter 3", [&] { mask.shapeParam3Slider()->setDoubleValue(0.1); }, true, false, false},
        {"screen type", [&] { mask.screenTypeSlider()->setIntValue(16); }, false, true, false},
        {"screen angle", [&] { mask.screenAngleSlider()->setDoubleValue(90); }, false, true, false},
        {"screen parameter 0", [&] { mask.screenParam0Slider()->setDoubleValue(0.2); }, false, true, false},
        {"screen parameter 1", [&] { mask.screenParam1Slider()->setDoubleValue(0.3); }, false, true, false},
        {"screen parameter 2", [&] { mask.screenParam2Slider()->setDoubleValue(0.8); }, false, true, false},
        {"shape opacity", [&] { mask.shapeOpacitySlider()->setDoubleValue(0.5); }, false, false, true},
        {"screen opacity", [&] { mask.screenOpacitySlider()->setDoubleValue(0.4); }, false, false, true},
        {"operator", [&] { mask.combineOperatorSlider()->setOperatorType(1); }, false, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(mask.isMaskDirty());
        c.set();
        EXPECT_EQ(mask.isMaskShapeDirty(), c.shape);
        EXPECT_EQ(mask.isMaskScreenDirty(), c.screen);
        EXPECT_EQ(mask.isMaskOperatorDirty(), c.combiner);
        EXPECT_TRUE(mask.isMaskDirty());
        EXPECT_TRUE(mask.updateMaskContext(false));
        EXPECT_EQ(MaskBytes(mask), mask_test::ExpectedBytes(mask));
        EXPECT_FALSE(mask.isMaskDirty());
    }
    EXPECT_EQ(LogText().find("VERIFY FAILED"), std::string::npos) << LogText();
}

TEST_F(MaskControllerTest, UpdateRepaintsOnlyWhatChangedAndAnnouncesMerges) {
    CoreGraphics::CompositeMask &composite = *mask.compositeMask();
    // Nothing changed: no merge, no notice.
    EXPECT_FALSE(mask.updateMaskContext(false));
    mask.updateMaskContext();
    EXPECT_EQ(counter.count, 0);
    // The operator flag alone is no change.
    mask.setMaskOperatorDirty(true);
    EXPECT_FALSE(mask.isMaskOperatorDirty());
    EXPECT_FALSE(mask.updateMaskContext(false));

    // An operator action merges without repainting either layer.
    NSUIMaskCompositeLayers::ClearLayer(composite, Layer::Shape);
    NSUIMaskCompositeLayers::ClearLayer(composite, Layer::Screen);
    Move(mask.combineOperatorSlider(), 2);
    EXPECT_EQ(counter.count, 1);
    EXPECT_EQ(counter.last, &mask);
    EXPECT_EQ(NSUIMaskCompositeLayers::StoredOperator(composite), 2);
    const auto cleared = std::vector<uint8_t>(320 * 240, 0);
    EXPECT_EQ(NSUIMaskCompositeLayers::Bytes(composite, Layer::Shape), cleared);
    EXPECT_EQ(NSUIMaskCompositeLayers::Bytes(composite, Layer::Screen), cleared);

    // A shape action repaints the shape even without a new value (the flag), not the screen.
    mask.shapeTypeSlider()->sendAction();
    EXPECT_EQ(counter.count, 2);
    EXPECT_NE(NSUIMaskCompositeLayers::Bytes(composite, Layer::Shape), cleared);
    EXPECT_EQ(NSUIMaskCompositeLayers::Bytes(composite, Layer::Screen), cleared);
    // A screen action repaints the screen.
    mask.screenParam0Slider()->sendAction();
    EXPECT_EQ(counter.count, 3);
    EXPECT_NE(NSUIMaskCompositeLayers::Bytes(composite, Layer::Screen), cleared);
    EXPECT_EQ(MaskBytes(mask), mask_test::ExpectedBytes(mask));

    // Forced: both layers and a merge, though nothing changed.
    NSUIMaskCompositeLayers::ClearLayer(composite, Layer::Shape);
    EXPECT_TRUE(mask.updateMaskContext(true));
    EXPECT_EQ(MaskBytes(mask), mask_test::ExpectedBytes(mask));

    // Inversion takes effect at the next merge.
    mask.setMaskInverted(true);
    Move(mask.shapeOpacitySlider(), 0.5);
    EXPECT_EQ(MaskBytes(mask), mask_test::ExpectedBytes(mask));

    // A new size rebuilds and leaves nothing pending.
    mask.setMaskDirty(true);
    EXPECT_TRUE(mask.setMaskDimensions(CGSizeMake(64, 48)));
    EXPECT_EQ(mask.maskDimensions().width, 64);
    EXPECT_EQ(mask.maskDimensions().height, 48);
    EXPECT_EQ(MaskBytes(mask).size(), 64u * 48u);
}

TEST_F(MaskControllerTest, ResetLeavesShapeParameters2And3) {
    Move(mask.shapeParam0Slider(), 0.1);
    Move(mask.shapeParam2Slider(), 0.2);
    Move(mask.shapeParam3Slider(), 0.3);
    Move(mask.shapeAngleSlider(), 40);
    Move(mask.combineOperatorSlider(), 4);
    Move(mask.shapeOpacitySlider(), 0.25);
    Move(mask.screenParam2Slider(), 0.9);
    counter.count = 0;
    mask.buttonResetBoxControls(nullptr);  // the box's reset button
    EXPECT_EQ(mask.currentShapeType(), 0);
    EXPECT_EQ(mask.currentScreenType(), 0);
    EXPECT_EQ(mask.combineOperatorSlider()->operatorType(), 0);
    EXPECT_EQ(mask.shapeOpacitySlider()->doubleValue(), 1);
    EXPECT_EQ(mask.screenOpacitySlider()->doubleValue(), 1);
    EXPECT_EQ(mask.shapeAngleSlider()->doubleValue(), 0);
    EXPECT_EQ(mask.shapeParam0Slider()->doubleValue(), 0.5);
    EXPECT_EQ(mask.screenParam2Slider()->doubleValue(), 0.5);
    EXPECT_EQ(mask.shapeParam2Slider()->doubleValue(), 0.2);
    EXPECT_EQ(mask.shapeParam3Slider()->doubleValue(), 0.3);
    EXPECT_EQ(counter.count, 1);
    EXPECT_FALSE(mask.isMaskDirty());
    EXPECT_EQ(MaskBytes(mask), mask_test::ExpectedBytes(mask));
}

TEST_F(MaskControllerTest, ViewFollowsTheMaskAndPassesItsActionOn) {
    NSUIMaskControllerView view;
    view.resize(160, 120);
    view.setMaskController(&mask);
    ChangeCounter viewTarget;
    view.setTarget(&viewTarget);
    view.setAction("maskContextChanged:");
    mask.setTarget(&view);
    EXPECT_EQ(view.bounds().size.width, 160);
    Move(mask.shapeParam1Slider(), 0.3);
    EXPECT_EQ(view.bounds().size.width, 320);
    EXPECT_EQ(view.bounds().size.height, 240);
    EXPECT_EQ(viewTarget.count, 1);
    EXPECT_EQ(viewTarget.last, &mask);

    // Without controller the view draws only the checkerboard and reports.
    NSUIMaskControllerView lonely;
    lonely.resize(20, 20);
    ClearLog();
    EXPECT_FALSE(lonely.grab().isNull());
    EXPECT_NE(LogText().find("_MaskController"), std::string::npos);
}

TEST(MaskControllerView, CheckerboardSquaresStartAtTheOrigin) {
    const auto squares = NSUIMaskControllerView::checkerboardSquares(CGRectMake(5, 7, 100, 40));
    ASSERT_EQ(squares.size(), 4u * 21u);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 21; ++column) {
            const CGRect &square = squares[row * 21 + column];
            EXPECT_EQ(square.origin.x, column * 10.0);
            EXPECT_EQ(square.origin.y, row * 10.0);
            EXPECT_EQ(square.size.width, 10);
        }
    }
    EXPECT_EQ(NSUIMaskControllerView::checkerboardGray(0, 0), 0.8);
    EXPECT_EQ(NSUIMaskControllerView::checkerboardGray(10, 0), 0.5);
    EXPECT_EQ(NSUIMaskControllerView::checkerboardGray(10, 10), 0.8);
    EXPECT_TRUE(NSUIMaskControllerView::checkerboardSquares(CGRectMake(0, 0, 0, 0)).empty());
}

TEST_F(MaskControllerTest, PreviewIsWhiteWhereTheMaskLetsPaintThrough) {
    // A transparent composite (shape and screen off) lets the white fill through everywhere.
    Move(mask.shapeTypeSlider(), 0);
    Move(mask.screenTypeSlider(), 0);
    NSUIMaskControllerView view;
    view.setMaskController(&mask);
    view.resize(64, 48);
    const QImage picture = view.grab().toImage();
    EXPECT_EQ(QColor(picture.pixel(32, 24)), QColor(Qt::white));
}

}  // namespace
