#include <CoreX/CoreSystem.h>

#include <gtest/gtest.h>

namespace {

TEST(CoreSystem, VersionIsTheGestaltSystemVersion) {
    EXPECT_EQ(CoreSystem::GetVersion(), 0x1090);
    EXPECT_EQ(CoreSystem::GetVersion(), 0x1090);
}

TEST(CoreSystem, ComparesWithRevisions) {
    struct Case {
        SInt32 revision;
        bool earlier;
        bool atLeast;
    };
    const Case cases[] = {
        {0x1068, false, true}, {0x1070, false, true}, {0x1090, false, true},
        {0x1091, true, false}, {0x10A0, true, false},
    };
    for (const Case &revisionCase : cases) {
        SCOPED_TRACE(revisionCase.revision);
        EXPECT_EQ(CoreSystem::IsEarlierThanRevision(CoreSystemName(revisionCase.revision)), revisionCase.earlier);
        EXPECT_EQ(CoreSystem::IsAtLeast(CoreSystemName(revisionCase.revision)), revisionCase.atLeast);
    }
}

TEST(CoreSystem, SystemFrameworkHasFunction) {
    EXPECT_TRUE(CoreSystem::SystemFrameworkHasFunction(CFSTR("CoreServices.framework"),
                                                       CFSTR("GetMacOSStatusErrorString")));
    EXPECT_TRUE(CoreSystem::SystemFrameworkHasFunction(CFSTR("System.framework"), CFSTR("getcwd")));
    EXPECT_FALSE(CoreSystem::SystemFrameworkHasFunction(CFSTR("CoreServices.framework"), CFSTR("NoSuchFunction")));
    EXPECT_FALSE(CoreSystem::SystemFrameworkHasFunction(CFSTR("NoSuch.framework"), CFSTR("getcwd")));
    EXPECT_FALSE(CoreSystem::SystemFrameworkHasFunction(nullptr, CFSTR("getcwd")));
    EXPECT_FALSE(CoreSystem::SystemFrameworkHasFunction(CFSTR("System.framework"), nullptr));
}

}  // namespace
