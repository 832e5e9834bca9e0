#include <CoreQ/QFramework.h>

#include <gtest/gtest.h>

#include <string>

#include <Carbon/Carbon.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "support/TestFolders.h"

namespace {

FSRef RefOf(const std::string &path) {
    FSRef ref{};
    EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.c_str()), &ref, nullptr), noErr) << path;
    return ref;
}

class QFrameworkTest : public corex_test::DebugLogFileTest {
protected:
    bool Logged(const char *text) { return LogText().find(text) != std::string::npos; }
};

TEST_F(QFrameworkTest, DataReferencesThroughTheLoadedFramework) {
    lumora::test::ScopedFolder folder("qframework");
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("clip.mov"), "x"));
    const FSRef folderRef = RefOf(folder.path());
    Handle dataRef = nullptr;
    OSType type = 0;
    ASSERT_EQ(QFramework::NewDataReferenceFromFSRefCFString(&folderRef, CFSTR("later.mov"), 0, &dataRef, &type), noErr);
    EXPECT_NE(dataRef, nullptr);
    EXPECT_NE(type, 0u);
    EXPECT_TRUE(QFramework::QuickTime().IsFrameworkLoaded());
    DisposeHandle(dataRef);

    // The framework's own errors are passed on and reported.
    EXPECT_EQ(QFramework::NewDataReferenceFromFSRefCFString(&folderRef, CFSTR("a/b"), 0, &dataRef, &type), paramErr);
    EXPECT_TRUE(Logged(" code : result==noErr"));

    const FSRef fileRef = RefOf(folder.file("clip.mov"));
    ASSERT_EQ(QFramework::NewDataReferenceFromFSRef(&fileRef, 0, &dataRef, &type), noErr);
    EXPECT_NE(dataRef, nullptr);
    DisposeHandle(dataRef);
}

TEST_F(QFrameworkTest, AFrameworkWithoutTheFunctionIsAnError) {
    // System.framework loads but has none of the QuickTime functions.
    T_CFBaseDLL<I_CFBundleDLL> system(CFSTR("System.framework"));
    lumora::test::ScopedFolder folder("qframework-missing");
    const FSRef folderRef = RefOf(folder.path());
    Handle dataRef = reinterpret_cast<Handle>(0x1);  // stale values the call must not leave behind
    OSType type = 0x2;
    EXPECT_EQ(QFramework::NewDataReferenceFromFSRefCFString(system, &folderRef, CFSTR("clip.mov"), 0, &dataRef, &type),
              paramErr);
    EXPECT_EQ(dataRef, nullptr);
    EXPECT_EQ(type, 0u);
    EXPECT_TRUE(Logged(" code : newDataReference"));

    TimeValue64 time = 5, duration = 6;
    EXPECT_FALSE(QFramework::SampleNumToMediaDecodeTime(system, nullptr, 1, &time, &duration));
    EXPECT_EQ(time, 0);
    EXPECT_EQ(duration, 0);
}

TEST_F(QFrameworkTest, AFrameworkThatDoesNotLoadFailsEveryCall) {
    T_CFBaseDLL<I_CFBundleDLL> missing(CFSTR("NoSuchQuickTime.framework"));
    lumora::test::ScopedFolder folder("qframework-unloaded");
    const FSRef folderRef = RefOf(folder.path());
    Handle dataRef = nullptr;
    OSType type = 0;
    EXPECT_EQ(QFramework::NewDataReferenceFromFSRefCFString(missing, &folderRef, CFSTR("clip.mov"), 0, &dataRef, &type),
              paramErr);
    EXPECT_TRUE(Logged(" code : sQuickTime.LoadSystemFramework()"));
    EXPECT_TRUE(Logged(" code : sQuickTime.IsLoaded()"));
    EXPECT_EQ(QFramework::NewDataReferenceFromFSRef(missing, &folderRef, 0, &dataRef, &type), paramErr);
    EXPECT_EQ(dataRef, nullptr);
    TimeValue64 time = 0, duration = 0;
    EXPECT_FALSE(QFramework::SampleNumToMediaDecodeTime(missing, nullptr, 1, &time, &duration));
}

TEST_F(QFrameworkTest, SampleTimeErrorsAreReported) {
    TimeValue64 time = 5, duration = 6;
    EXPECT_FALSE(QFramework::SampleNumToMediaDecodeTime(nullptr, 1, &time, &duration));
    EXPECT_EQ(time, 0);
    EXPECT_EQ(duration, 0);
    EXPECT_TRUE(Logged(" code : fOk = (error==noErr)"));
    EXPECT_TRUE(Logged("=SampleNumToMediaDecodeTime()\n"));
}

}  // namespace
