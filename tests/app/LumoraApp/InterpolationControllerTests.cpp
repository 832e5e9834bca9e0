// Effect tweening: the automatic effect time as a table of elapsed times (sweep, mirror, the
// first frame, the automatic time off), the defaults after launch, and the number key paths.
#include <LumoraApp/LumoraInterpolationController.h>

#include <Foundation/NSKeyValueCoding.h>

#include <gtest/gtest.h>

namespace {

struct SweepCase {
    const char *name;
    bool automatic, mirrored;
    double first, now;  // master time of the first frame, then of the frame under test
    double expected;
};

const SweepCase kSweeps[] = {
    {"first frame starts at 0", true, true, 100.0, 100.0, 0.0},
    {"rising half, mirrored", true, true, 10.0, 14.0, 0.5},
    {"end of the rise, mirrored", true, true, 10.0, 18.0, 1.0},
    {"falling half, mirrored", true, true, 10.0, 22.0, 0.5},
    {"second period over, mirrored", true, true, 10.0, 26.0, 0.0},
    {"third period rises again, mirrored", true, true, 0.0, 18.0, 0.25},
    {"sweep restarts at 8 s", true, false, 10.0, 18.0, 0.0},
    {"sweep, second period", true, false, 0.0, 14.0, 0.75},
    {"sweep, a quarter", true, false, 0.0, 2.0, 0.25},
    {"automatic time off keeps the slider", false, true, 0.0, 12.0, 0.3},
    {"automatic time off, unmirrored", false, false, 0.0, 4.0, 0.3},
};

TEST(InterpolationControllerTest, TheAutomaticEffectTime) {
    for (const SweepCase &c : kSweeps) {
        SCOPED_TRACE(c.name);
        LumoraInterpolationController controller;
        controller.setAutomaticEffectTime(c.automatic);
        controller.setTimeMirrored(c.mirrored);
        controller.setInputEffectTimeNormal(0.3);
        EXPECT_TRUE(NSKeyValueCoding::isNil(controller.patchTime()));
        controller.setMasterTimeSeconds(c.first);
        EXPECT_DOUBLE_EQ(controller.patchTime().toDouble(), c.first) << "the first frame sets the patch time";
        controller.setMasterTimeSeconds(c.now);
        EXPECT_DOUBLE_EQ(controller.patchTime().toDouble(), c.first) << "and it is never moved again";
        EXPECT_DOUBLE_EQ(controller.inputEffectTimeNormal(), c.expected);
        EXPECT_DOUBLE_EQ(controller.inputEffectAmountNormal(), 0.0) << "only the time moves";
    }
}

TEST(InterpolationControllerTest, LaunchResetsTheDefaults) {
    LumoraInterpolationController controller;
    controller.setInputEffectAmountNormal(0.9);
    controller.setInputEffectParameterNormal(0.1);
    controller.setInputEffectTimeNormal(0.7);
    controller.applicationDidFinishLaunching(NSNotification("NSApplicationDidFinishLaunchingNotification", nullptr));
    EXPECT_DOUBLE_EQ(controller.inputEffectAmountNormal(), 0.5);
    EXPECT_DOUBLE_EQ(controller.inputEffectParameterNormal(), 0.5);
    EXPECT_DOUBLE_EQ(controller.inputEffectTimeNormal(), 0.0);
    EXPECT_TRUE(controller.automaticEffectTime());
    EXPECT_TRUE(controller.timeMirrored());
    controller.applicationWillTerminate(NSNotification("NSApplicationWillTerminateNotification", nullptr));
    EXPECT_DOUBLE_EQ(controller.inputEffectAmountNormal(), 0.5);
}

TEST(InterpolationControllerTest, TheNumberKeyPathsAndTheirNotifications) {
    LumoraInterpolationController controller;
    int amountChanges = 0;
    QObject::connect(&controller, &LumoraInterpolationController::inputEffectAmountChanged,
                     [&amountChanges] { ++amountChanges; });
    NSKeyValueCoding::setValueForKeyPath(&controller, QVariant(0.25), "inputEffectAmount");
    NSKeyValueCoding::setValueForKeyPath(&controller, QVariant(QStringLiteral("0.75")), "inputEffectParameter");
    NSKeyValueCoding::setValueForKeyPath(&controller, QVariant(0.125f), "inputEffectTime");
    EXPECT_DOUBLE_EQ(controller.inputEffectAmountNormal(), 0.25);
    EXPECT_DOUBLE_EQ(controller.inputEffectParameterNormal(), 0.75);
    EXPECT_DOUBLE_EQ(controller.inputEffectTimeNormal(), 0.125);
    EXPECT_EQ(amountChanges, 1);
    EXPECT_DOUBLE_EQ(NSKeyValueCoding::valueForKeyPath(&controller, "inputEffectAmount").toDouble(), 0.25);
    NSKeyValueCoding::setValueForKeyPath(&controller, QVariant(), "inputEffectAmount");
    EXPECT_DOUBLE_EQ(controller.inputEffectAmountNormal(), 0.0) << "nil is a number of value 0";
}

}  // namespace
