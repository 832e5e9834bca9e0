// Times: seconds and descriptions of valid, invalid and special times.
#include <CoreMedia/CMTime.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

std::string Describe(CMTime time) {
    CFStringRef description = CMTimeCopyDescription(nullptr, time);
    char text[128] = "";
    CFStringGetCString(description, text, sizeof text, kCFStringEncodingUTF8);
    CFRelease(description);
    return text;
}

TEST(CMTime, SecondsAndDescriptions) {
    struct Case {
        const char *name;
        CMTime time;
        double seconds;  // NaN: not a number
        const char *description;
    } cases[] = {
        {"a frame at 30 fps", CMTimeMake(20, 600), 20.0 / 600, "{20/600 = 0.033}"},
        {"negative", CMTimeMake(-3, 2), -1.5, "{-3/2 = -1.500}"},
        {"zero", kCMTimeZero, 0, "{0/1 = 0.000}"},
        {"no timescale", CMTimeMake(5, 0), NAN, "{INVALID}"},
        {"a negative timescale", CMTimeMake(5, -1), NAN, "{INVALID}"},
        {"invalid", kCMTimeInvalid, NAN, "{INVALID}"},
        {"indefinite", CMTime{0, 1, kCMTimeFlags_Valid | kCMTimeFlags_Indefinite, 0}, NAN, "{INDEFINITE}"},
        {"plus infinity", CMTime{0, 1, kCMTimeFlags_Valid | kCMTimeFlags_PositiveInfinity, 0}, INFINITY, "{+INFINITY}"},
        {"minus infinity", CMTime{0, 1, kCMTimeFlags_Valid | kCMTimeFlags_NegativeInfinity, 0}, -INFINITY,
         "{-INFINITY}"},
    };
    for (const Case &c : cases) {
        const double seconds = CMTimeGetSeconds(c.time);
        if (std::isnan(c.seconds)) EXPECT_TRUE(std::isnan(seconds)) << c.name;
        else EXPECT_DOUBLE_EQ(seconds, c.seconds) << c.name;
        EXPECT_EQ(Describe(c.time), c.description) << c.name;
    }
}

} // namespace
