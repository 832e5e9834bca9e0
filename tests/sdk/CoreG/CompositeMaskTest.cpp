// The composite mask: defaults, sizes, the parallel rebuild, the merge of its layers, the
// point probe, and two composites rebuilding at the same time.
#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

#include <CoreG/Masks/namespace_CoreGraphics_CompositeMask.h>

#include "MaskTestSupport.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

using namespace CoreGraphics;
using coreg_mask_test::Bytes;
using coreg_mask_test::Params;

namespace {

std::string Report(int line, const char *function, const char *text) {
    return std::string("VERIFY FAILED:  code : ") + text +
           " in /Code/sdk/CoreG/namespace_CoreGraphics_CompositeMask:" + std::to_string(line) + " (" + function + ")\n";
}

// The composite of a screen and a shape painted and merged one after the other.
std::vector<uint8_t> Expected(int width, int height, int screenType, const MaskParams &screenParams, float screenOpacity,
                              int shapeType, const MaskParams &shapeParams, float shapeOpacity, int op) {
    MaskContext screen, shape, out;
    EXPECT_TRUE(screen.Construct(width, height) && shape.Construct(width, height) && out.Construct(width, height));
    screen.MakeMaskScreen(screenType, &screenParams);
    shape.MakeMaskShape(shapeType, &shapeParams);
    EXPECT_TRUE(out.MergeMasks(screen, &screenOpacity, shape, &shapeOpacity, op, false));
    return Bytes(out);
}

class CompositeMaskTest : public corex_test::DebugLogFileTest {};

TEST_F(CompositeMaskTest, DefaultsAndReset) {
    CompositeMask composite;
    EXPECT_EQ(composite.mScreenType, 0);
    EXPECT_EQ(composite.mShapeType, 0);
    EXPECT_EQ(float(composite.mScreenOpacity), 1);
    EXPECT_EQ(float(composite.mShapeOpacity), 1);
    EXPECT_EQ(composite.mOperator, 0);
    EXPECT_EQ(float(composite.mShapeParams.Param[2]), 0.5f);
    EXPECT_FALSE(composite.IsConstructed());

    composite.mScreenType = 3;
    composite.mShapeType = 7;
    composite.mScreenOpacity = 0.25f;
    composite.mShapeOpacity = -2.0f;  // kept in 0..1
    EXPECT_EQ(float(composite.mShapeOpacity), 0);
    composite.mShapeParams.Param[0] = 0.9f;
    composite.mScreenParams.AngleDegrees[0] = 45.0f;
    composite.mOperator = 4;
    composite.ResetParameters();
    EXPECT_EQ(composite.mScreenType, 0);
    EXPECT_EQ(composite.mShapeType, 0);
    EXPECT_EQ(float(composite.mScreenOpacity), 1);
    EXPECT_EQ(float(composite.mShapeOpacity), 1);
    EXPECT_EQ(float(composite.mShapeParams.Param[0]), 0.5f);
    EXPECT_EQ(float(composite.mScreenParams.AngleDegrees[0]), 0);
    EXPECT_EQ(composite.mOperator, 0);
}

TEST_F(CompositeMaskTest, UpdateOfTwoEmptyLayersIsTransparent) {
    CompositeMask composite;
    ASSERT_TRUE(composite.Construct(CGSizeMake(32.7, 24.2)));
    EXPECT_EQ(composite.mImageWidth, 32u);
    EXPECT_EQ(composite.mShapeContext.mImageHeight, 24u);
    EXPECT_EQ(composite.mScreenContext.mImageWidth, 32u);
    coreg_mask_test::Fill(composite, 99);
    EXPECT_TRUE(composite.Update());
    EXPECT_EQ(Bytes(composite), std::vector<uint8_t>(32 * 24, 0));
    EXPECT_EQ(LogText(), "");
}

TEST_F(CompositeMaskTest, SetMaskDimensionsRebuildsAtANewSize) {
    CompositeMask composite;
    ASSERT_TRUE(composite.Construct(320, 240));
    composite.mScreenType = 16;  // lines
    composite.mShapeType = 3;    // circle
    composite.mScreenParams = Params(0, 0.2f, 0.2f, 1);
    composite.mShapeOpacity = 0.5f;
    ASSERT_TRUE(composite.Update());

    // Same size: nothing happens, even with update.
    coreg_mask_test::Fill(composite, 7);
    EXPECT_FALSE(composite.SetMaskDimensions(CGSizeMake(320, 240), true));
    EXPECT_EQ(Bytes(composite), std::vector<uint8_t>(320 * 240, 7));

    EXPECT_TRUE(composite.SetMaskDimensions(CGSizeMake(640, 480), true));
    for (const MaskContext *mask : {static_cast<MaskContext *>(&composite), &composite.mShapeContext,
                                    &composite.mScreenContext}) {
        EXPECT_EQ(mask->mImageWidth, 640u);
        EXPECT_EQ(mask->mImageHeight, 480u);
    }
    EXPECT_EQ(Bytes(composite),
              Expected(640, 480, 16, composite.mScreenParams, 1, 3, composite.mShapeParams, 0.5f, 0));
    // Both layers show: a line's grey (255) and the shape's opaque outside at half (127),
    // and the circle's inside (0) where no line runs.
    EXPECT_GT(coreg_mask_test::CountIf(composite, [](uint8_t b) { return b == 255; }), 0u);
    EXPECT_GT(coreg_mask_test::CountIf(composite, [](uint8_t b) { return b == 127; }), 0u);
    EXPECT_GT(coreg_mask_test::CountIf(composite, [](uint8_t b) { return b == 0; }), 0u);

    // Without update the new masks are only constructed.
    EXPECT_TRUE(composite.SetMaskDimensions(CGSizeMake(100, 50), false));
    EXPECT_EQ(composite.mShapeContext.mImageWidth, 100u);
    EXPECT_EQ(LogText(), "");

    EXPECT_FALSE(composite.SetMaskDimensions(CGSizeMake(0, 50), true));
    EXPECT_EQ(LogText(), Report(110, "SetMaskDimensions", "fReconstructed = Construct(inDimensions)"));
}

TEST_F(CompositeMaskTest, MergeLayers) {
    CompositeMask composite;
    ASSERT_TRUE(composite.Construct(60, 40));
    composite.mScreenType = 12;
    composite.mShapeType = 9;
    composite.mShapeOpacity = 0.5f;
    composite.mScreenOpacity = 0.75f;
    composite.mOperator = 10;  // the shape
    ASSERT_TRUE(composite.Update());
    // Operator 10 copies the shape scaled by its opacity.
    std::vector<uint8_t> shape = Bytes(composite.mShapeContext);
    for (uint8_t &b : shape) b = uint8_t(b * 0.5f);
    EXPECT_EQ(Bytes(composite), shape);
    ASSERT_TRUE(composite.MergeLayers(0, false));  // 0: mOperator
    EXPECT_EQ(Bytes(composite), shape);
    // An explicit operator and inversion; 8 takes the screen at its opacity (truncated).
    ASSERT_TRUE(composite.MergeLayers(8, true));
    std::vector<uint8_t> screen = Bytes(composite.mScreenContext);
    for (uint8_t &b : screen) b = uint8_t(255 - int(b * 0.75f));
    EXPECT_EQ(Bytes(composite), screen);
    // Layers of another size are refused.
    ASSERT_TRUE(composite.mShapeContext.Construct(10, 10));
    EXPECT_FALSE(composite.MergeLayers(0, false));
    EXPECT_FALSE(composite.Update());
}

// The probe combines the layers in the merge's order, so it agrees with the merged bytes
// (opacities 1) at every pixel, for every operator.
TEST_F(CompositeMaskTest, OpacityAtAgreesWithTheMergedMask) {
    CompositeMask composite;
    ASSERT_TRUE(composite.Construct(16, 16));  // positions c/16 are exact: each probe hits one pixel
    composite.mScreenType = 13;
    composite.mShapeType = 1;
    for (int op = 0; op <= 11; ++op) {
        composite.mOperator = op;
        ASSERT_TRUE(composite.Update());
        for (uint32_t row = 0; row < 16; ++row) {
            for (uint32_t column = 0; column < 16; ++column) {
                const float fx = float(column) / 16, fy = float(15 - row) / 16;
                EXPECT_EQ(composite.OpacityAt(fx, fy, -1), composite.mImageDataBytes[row * 16 + column] / 255.0f)
                    << "op " << op << " at " << column << ", " << row;
            }
        }
    }
    // A layer of type 0 counts as 0 whatever its bytes; an explicit operator overrides.
    composite.mShapeType = 0;
    coreg_mask_test::Fill(composite.mShapeContext, 200);
    coreg_mask_test::Fill(composite.mScreenContext, 60);
    EXPECT_EQ(composite.OpacityAt(0.5f, 0.5f, 0), 60 / 255.0f);
    EXPECT_EQ(composite.OpacityAt(0.5f, 0.5f, 9), 195 / 255.0f);
    EXPECT_EQ(composite.OpacityAt(0.5f, 0.5f, 11), 1.0f);
}

TEST_F(CompositeMaskTest, ConstructionFailures) {
    CompositeMask composite;
    EXPECT_FALSE(composite.Construct(0, 10));  // the composite's own mask: not reported
    EXPECT_EQ(LogText(), "");
    EXPECT_FALSE(composite.Construct(CGSizeMake(std::nan(""), 10)));
    EXPECT_EQ(LogText(), "");
    ASSERT_TRUE(composite.Construct(8, 8));
    composite.DestructAll();
    EXPECT_FALSE(composite.IsConstructed());
    EXPECT_FALSE(composite.mShapeContext.IsConstructed());
    EXPECT_FALSE(composite.mScreenContext.IsConstructed());
    EXPECT_TRUE(composite.Update());  // nothing to paint or merge
}

// Two composites rebuilding at the same time on two threads, each through the global queue:
// the results equal those of a rebuild on its own. The concurrent rebuilds come first, so
// that they are the first users of the shared tables (ctest runs each test in a process of
// its own). Also run under ThreadSanitizer.
TEST(CompositeMask, TwoCompositesUpdateAtOnce) {
    struct Setting {
        int screenType, shapeType, op;
    };
    const Setting settings[2] = {{3, 13, 0}, {4, 16, 2}};  // spiral and parabola share the ramp table
    const auto rebuild = [&](int i, CompositeMask &composite) {
        if (!composite.Construct(160, 120)) return false;
        composite.mScreenType = settings[i].screenType;
        composite.mShapeType = settings[i].shapeType;
        composite.mOperator = settings[i].op;
        return composite.Update();
    };
    std::vector<uint8_t> together[2][3];
    std::atomic<int> failures{0};
    std::latch start(2);
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
        threads.emplace_back([&, i] {
            CompositeMask composite;
            start.arrive_and_wait();  // both rebuild from the same moment
            for (int round = 0; round < 3; ++round) {
                if (!rebuild(i, composite)) ++failures;
                together[i][round] = Bytes(composite);
            }
        });
    }
    for (std::thread &thread : threads) thread.join();
    EXPECT_EQ(failures.load(), 0);
    for (int i = 0; i < 2; ++i) {
        CompositeMask alone;
        ASSERT_TRUE(rebuild(i, alone));
        for (int round = 0; round < 3; ++round) EXPECT_EQ(together[i][round], Bytes(alone)) << i << " " << round;
    }
}

}  // namespace
