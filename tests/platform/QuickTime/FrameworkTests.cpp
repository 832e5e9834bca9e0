#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include <Carbon/Carbon.h>
#include <CoreFoundation/CFBundle.h>
#include <QuickTime/QuickTime.h>

#include "support/media/TestMedia.h"
#include "support/TestFolders.h"

using namespace lumora::test;

namespace {

// QuickTime.framework from the system Frameworks folder, as code that loads it by name does.
class FrameworkTest : public ::testing::Test {
protected:
    void SetUp() override {
        FSRef folder{};
        ASSERT_EQ(FSFindFolder(kSystemDomain, kFrameworksFolderType, kDontCreateFolder, &folder), noErr);
        CFURLRef folderURL = CFURLCreateFromFSRef(nullptr, &folder);
        ASSERT_NE(folderURL, nullptr);
        CFURLRef url = CFURLCreateCopyAppendingPathComponent(nullptr, folderURL, CFSTR("QuickTime.framework"), true);
        CFRelease(folderURL);
        mBundle = CFBundleCreate(nullptr, url);
        CFRelease(url);
        ASSERT_NE(mBundle, nullptr);
        CFErrorRef error = nullptr;
        ASSERT_TRUE(CFBundleLoadExecutableAndReturnError(mBundle, &error));
    }
    void TearDown() override {
        if (mBundle != nullptr) CFRelease(mBundle);
    }
    template <class Function>
    Function Lookup(CFStringRef name) {
        return reinterpret_cast<Function>(CFBundleGetFunctionPointerForName(mBundle, name));
    }
    CFBundleRef mBundle = nullptr;
};

using NewDataReferenceFn = OSErr (*)(const FSRef *, CFStringRef, UInt32, Handle *, OSType *);
using SampleTimeFn = void (*)(Media, SInt64, TimeValue64 *, TimeValue64 *);
using MoviesErrorFn = OSErr (*)();

}  // namespace

TEST_F(FrameworkTest, DataReferencesThroughTheFramework) {
    auto newDataReference = Lookup<NewDataReferenceFn>(CFSTR("QTNewDataReferenceFromFSRefCFString"));
    ASSERT_NE(newDataReference, nullptr);
    lumora::test::ScopedFolder folder("framework");
    const FSRef folderRef = RefOf(folder.path());
    Handle viaFramework = nullptr, direct = nullptr;
    OSType typeViaFramework = 0, directType = 0;
    // The FSRef was made by the program's Carbon layer: the framework must see the same one.
    ASSERT_EQ(newDataReference(&folderRef, CFSTR("clip.mov"), 0, &viaFramework, &typeViaFramework), noErr);
    ASSERT_EQ(QTNewDataReferenceFromFSRefCFString(&folderRef, CFSTR("clip.mov"), 0, &direct, &directType), noErr);
    EXPECT_EQ(typeViaFramework, directType);
    ASSERT_EQ(GetHandleSize(viaFramework), GetHandleSize(direct));
    EXPECT_EQ(std::memcmp(*viaFramework, *direct, size_t(GetHandleSize(direct))), 0);
    DisposeHandle(viaFramework);  // a handle made through the framework is an ordinary handle
    DisposeHandle(direct);
    EXPECT_EQ(newDataReference(&folderRef, CFSTR("a/b"), 0, &viaFramework, &typeViaFramework), paramErr);
}

TEST_F(FrameworkTest, SharesTheMovieToolboxOfTheProgram) {
    auto sampleTime = Lookup<SampleTimeFn>(CFSTR("SampleNumToMediaDecodeTime"));
    auto moviesError = Lookup<MoviesErrorFn>(CFSTR("GetMoviesError"));
    ASSERT_NE(sampleTime, nullptr);
    ASSERT_NE(moviesError, nullptr);

    lumora::test::ScopedFolder folder("framework-movie");
    const std::string path = folder.file("clip.mov");
    ASSERT_TRUE(WriteMovie(path, "mjpeg", 10, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}}));
    const FSRef ref = RefOf(path);
    Handle dataRef = nullptr;
    OSType type = 0;
    ASSERT_EQ(QTNewDataReferenceFromFSRef(&ref, 0, &dataRef, &type), noErr);
    Movie movie = nullptr;
    ASSERT_EQ(NewMovieFromDataRef(&movie, 0, nullptr, dataRef, type), noErr);
    DisposeHandle(dataRef);
    Media media = GetTrackMedia(GetMovieIndTrackType(movie, 1, VideoMediaType, movieTrackMediaType));
    ASSERT_NE(media, nullptr);

    TimeValue64 time = -1, duration = -1;
    sampleTime(media, 2, &time, &duration);
    EXPECT_EQ(GetMoviesError(), noErr);
    EXPECT_EQ(moviesError(), noErr);
    EXPECT_EQ(time, duration);
    EXPECT_GT(duration, 0);
    // The status the framework's call leaves is the one the program reads, either way.
    sampleTime(media, 99, &time, &duration);
    EXPECT_EQ(GetMoviesError(), invalidSampleNum);
    EXPECT_EQ(moviesError(), invalidSampleNum);
    DisposeMovie(movie);
}

TEST_F(FrameworkTest, ExportsOnlyItsEntryPoints) {
    EXPECT_EQ(Lookup<void *>(CFSTR("NewHandle")), nullptr);
    EXPECT_EQ(Lookup<void *>(CFSTR("QTNewGWorld")), nullptr);
    EXPECT_EQ(Lookup<void *>(CFSTR("LumoraQuickTimeImplementation")), nullptr);
}
