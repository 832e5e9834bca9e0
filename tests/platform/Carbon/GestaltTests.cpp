#include <gtest/gtest.h>

#include <Carbon/Gestalt.h>

TEST(Gestalt, AnswersTheSystemVersion) {
    const struct {
        OSType selector;
        OSErr status;
        SInt32 response;
    } cases[] = {
        {gestaltSystemVersion, noErr, 0x1090},
        {gestaltSystemVersionMajor, noErr, 10},
        {gestaltSystemVersionMinor, noErr, 9},
        {gestaltSystemVersionBugFix, noErr, 0},
        {MakeFourCharCode("qtim"), gestaltUndefSelectorErr, -1},  // the response is left alone
        {0, gestaltUndefSelectorErr, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.selector);
        SInt32 response = -1;
        EXPECT_EQ(Gestalt(c.selector, &response), c.status);
        EXPECT_EQ(response, c.response);
    }
    EXPECT_EQ(Gestalt(gestaltSystemVersion, nullptr), paramErr);
}
