// System version codes: the display code keeps its old packing; the order code is what
// comparisons use, and it grows with every version.
#include <gtest/gtest.h>

#include <LumoraApp/AuthDittoTool.h>

namespace {

TEST(AuthDittoSystem, DisplayCodes) {
    const struct {
        const char *version;
        unsigned code;
    } cases[] = {
        {"10.9.5", 0x1095}, {"10.10.0", 0x10A0}, {"11.0.1", 0x1001}, {"10.6.6", 0x1066},
        {"10.16.0", 0x1000}, {"9.2.2", 0x1060},   {"10.6", 0},        {"10.6.6.1", 0},
        {"", 0},             {"10..1", 0},        {"a.b.c", 0},       {"-1.0.0", 0},
        {"10.6.6 ", 0},      {"99999999999.0.0", 0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(AuthDittoSystem::systemVersionWithSystemVersionString(c.version), c.code) << c.version;
    }
    AuthDittoSystem system;
    EXPECT_EQ(system.systemMinimumRequiredUINT32(), 0x1066u);
}

TEST(AuthDittoSystem, ComparisonsFollowTheVersionOrder) {
    const struct {
        const char *running;
        const char *required;
        bool atLeast;
    } cases[] = {
        {"10.9.0", "10.6.6", true},  {"10.6.6", "10.6.6", true},   {"10.6.5", "10.6.6", false},
        {"10.10.0", "10.9.5", true}, {"10.16.0", "10.6.0", true},  {"11.0.1", "10.6.0", true},
        {"11.0.1", "10.15.7", true}, {"12.0.0", "11.9.9", true},   {"10.6.15", "10.6.16", false},
        {"10.6.16", "10.6.15", true}, {"9.9.9", "10.0.0", false},  {"10.0.0", "9.9.9", true},
        {"10.6", "10.6.0", false},   {"10.9.0", "garbage", false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(AuthDittoSystem::systemVersionIsAtLeast(c.running, c.required), c.atLeast)
            << c.running << " >= " << c.required;
    }
}

TEST(AuthDittoSystem, RunningSystemMeetsTheFixedChecks) {
    // The system presents itself as 10.9.0.
    EXPECT_EQ(AuthDittoSystem::runningSystemVersionString(), "10.9.0");
    AuthDittoSystem system;
    EXPECT_TRUE(system.systemMeetsMinimumRequirement());
    system.systemMinimumRequired = "11.0.1";
    EXPECT_FALSE(system.systemMeetsMinimumRequirement());
    EXPECT_TRUE(AuthDittoSystem::systemSnowLeopardOrLater());
    EXPECT_TRUE(AuthDittoSystem::systemMountainLionFinalOrLater());
    EXPECT_TRUE(AuthDittoSystem::systemMavericksOrLater());
}

}  // namespace
