// The image unit loader, with the test unit of plugin/ (see LumoraTestUnit.cpp): the unit
// installed in the build tree's local Library, and copies of its executable in bundles made
// by the tests.
#include <CoreImage/CoreImage.h>

#include <Carbon/Folders.h>
#include <CoreFoundation/CFData.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/TestFolders.h"

namespace {

using lumora::test::ScopedFolder;

CFURLRef URLOf(const std::string &path) {
    return CFURLCreateFromFileSystemRepresentation(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(path.data()),
                                                   CFIndex(path.size()), true);
}

bool Load(const std::string &path, bool allowExecutableCode = true) {
    CFURLRef url = URLOf(path);
    const bool loaded = CIPlugIn::loadPlugIn(url, allowExecutableCode);
    CFRelease(url);
    return loaded;
}

std::vector<std::string> Registered() { return CIFilter::filterNamesInCategories({}); }

// The registered names that begin with `prefix`.
std::vector<std::string> RegisteredStartingWith(const std::string &prefix) {
    std::vector<std::string> names;
    for (const std::string &name : Registered())
        if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
    return names;
}

std::string InfoPlist(const std::string &principalClass) {
    std::string plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                        "\t<key>CFBundleIdentifier</key>\n\t<string>org.lumora.test.unit</string>\n";
    if (!principalClass.empty())
        plist += "\t<key>NSPrincipalClass</key>\n\t<string>" + principalClass + "</string>\n";
    return plist + "</dict>\n</plist>\n";
}

enum class Executable { None, TestUnit, Text };

// Makes folder/Name.plugin with an Info.plist (unless `info` is null) and an executable.
std::string MakeBundle(const std::string &folder, const std::string &name, const char *info, Executable executable) {
    namespace fs = std::filesystem;
    const std::string bundle = folder + "/" + name + ".plugin";
    fs::create_directories(bundle + "/Contents/Linux");
    if (info != nullptr) {
        EXPECT_TRUE(lumora::test::WriteFile(bundle + "/Contents/Info.plist", info));
    }
    const std::string program = bundle + "/Contents/Linux/" + name;
    if (executable == Executable::TestUnit) {
        fs::copy_file(LUMORA_TEST_IMAGE_UNIT_EXECUTABLE, program, fs::copy_options::overwrite_existing);
    } else if (executable == Executable::Text) {
        EXPECT_TRUE(lumora::test::WriteFile(program, "#!/bin/sh\necho not a shared object\n"));
    }
    return bundle;
}

std::string CountingBundle(const std::string &folder, const std::string &name) {
    return MakeBundle(folder, name, InfoPlist("LumoraTestCountingUnit").c_str(), Executable::TestUnit);
}

}  // namespace

// The installed unit loads, runs its init function before its principal class (which refuses
// otherwise) and registers its filter, which takes inputs like any filter.
TEST(CIPlugIn, LoadsAnImageUnitAndRegistersItsFilter) {
    ASSERT_TRUE(Load(LUMORA_TEST_IMAGE_UNIT));
    CIFilterRef filter = CIFilter::filterWithName("LumoraTestTint");
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->inputKeys(), (std::vector<std::string>{"inputImage", "inputColor"}));
    EXPECT_EQ(filter->colorForKey("inputColor"), CIColor::colorWithRed(1.0, 0.5, 0.25, 1.0));
    EXPECT_EQ(filter->outputImage(), nullptr) << "no input image yet";
    filter->setValue(CIImage::imageWithColor(CIColor::colorWithRed(1, 1, 1, 1))->imageByCroppingToRect(CGRectMake(0, 0, 3, 2)),
                     kCIInputImageKey);
    CIImageRef output = filter->outputImage();
    ASSERT_NE(output, nullptr) << CIKernel::lastApplyError();
    EXPECT_TRUE(CGRectEqualToRect(output->extent(), CGRectMake(0, 0, 3, 2)));
    const auto categories = CIFilter::filterNamesInCategories({kCICategoryColorEffect});
    EXPECT_NE(std::find(categories.begin(), categories.end(), "LumoraTestTint"), categories.end());
    EXPECT_TRUE(Load(LUMORA_TEST_IMAGE_UNIT)) << "a loaded unit stays loaded";
}

// The unit's filter renders: premultiplied pixels times the tint colour.
TEST(CIPlugIn, TheUnitsFilterRenders) {
    ASSERT_TRUE(Load(LUMORA_TEST_IMAGE_UNIT));
    CIFilterRef filter = CIFilter::filterWithName("LumoraTestTint");
    ASSERT_NE(filter, nullptr);
    const uint8_t pixels[] = {255, 255, 255, 255, 200, 100, 40, 255, 128, 128, 128, 128};  // RGBA, premultiplied
    CFDataRef data = CFDataCreate(kCFAllocatorDefault, pixels, sizeof pixels);
    filter->setValue(CIImage::imageWithBitmapData(data, sizeof pixels, CGSizeMake(3, 1), kCIFormatRGBA8), kCIInputImageKey);
    CFRelease(data);
    CIContextRef context = CIContext::offscreenContext();
    ASSERT_NE(context, nullptr);
    uint8_t out[12] = {};
    ASSERT_TRUE(context->render(filter->outputImage(), out, sizeof out, CGRectMake(0, 0, 3, 1), kCIFormatRGBA8))
        << context->lastError();
    const uint8_t expected[] = {255, 128, 64, 255, 200, 50, 10, 255, 128, 64, 32, 128};
    for (size_t i = 0; i < sizeof out; ++i) EXPECT_NEAR(out[i], expected[i], 1) << "byte " << i;
}

// Every broken bundle answers false with one line on standard error, registers nothing, runs
// none of its code, and the process goes on.
TEST(CIPlugIn, BrokenBundlesAreNotLoaded) {
    ScopedFolder folder("units");
    const std::string counting = InfoPlist("LumoraTestCountingUnit");
    const std::string noClass = InfoPlist("");
    const std::string noFactory = InfoPlist("LumoraTestMissingUnit");
    const std::string badClass = InfoPlist("not a name()");
    const std::string refusing = InfoPlist("LumoraTestRefusingUnit");
    const std::string throwing = InfoPlist("LumoraTestThrowingUnit");
    const struct {
        const char *name;
        const char *info;
        Executable executable;
        const char *says;  // in the log line
    } cases[] = {
        {"NoInfo", nullptr, Executable::TestUnit, "no Contents/Info.plist"},
        {"BadInfo", "this is no property list", Executable::TestUnit, "not a property list"},
        {"NoExecutable", counting.c_str(), Executable::None, "no executable"},
        {"NoClass", noClass.c_str(), Executable::TestUnit, "no principal class"},
        {"BadClass", badClass.c_str(), Executable::TestUnit, "not a valid name"},
        {"NoFactory", noFactory.c_str(), Executable::TestUnit, "does not export LumoraTestMissingUnit_create"},
        {"NotSharedObject", counting.c_str(), Executable::Text, "cannot be loaded"},
        {"Refusing", refusing.c_str(), Executable::TestUnit, "declined to load"},
        {"Throwing", throwing.c_str(), Executable::TestUnit, "threw an exception"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bundle = MakeBundle(folder.path(), c.name, c.info, c.executable);
        const auto before = Registered();
        for (int attempt = 0; attempt < 2; ++attempt) {
            testing::internal::CaptureStderr();
            EXPECT_FALSE(Load(bundle));
            const std::string log = testing::internal::GetCapturedStderr();
            EXPECT_NE(log.find("Core Image: image unit "), std::string::npos) << log;
            EXPECT_NE(log.find(std::string(c.name) + ".plugin not loaded: "), std::string::npos) << log;
            EXPECT_NE(log.find(c.says), std::string::npos) << log;
            EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
        }
        EXPECT_EQ(Registered(), before);
    }

    testing::internal::CaptureStderr();
    EXPECT_FALSE(Load(folder.file("Missing.plugin")));
    EXPECT_FALSE(Load(folder.file("NoExecutable.plugin/Contents/Info.plist")));
    EXPECT_FALSE(CIPlugIn::loadPlugIn(nullptr, true));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Missing.plugin not loaded: no bundle folder there"), std::string::npos) << log;
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
    EXPECT_TRUE(Load(LUMORA_TEST_IMAGE_UNIT)) << "loading goes on working";
}

// A bundle's code runs once per process, however its path is spelled and however many
// threads ask at once; a refused call with allowExecutableCode false runs nothing.
TEST(CIPlugIn, EachBundleLoadsAtMostOnce) {
    ScopedFolder folder("units");
    const std::string once = CountingBundle(folder.path(), "CountedOnce");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(Load(once, false));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("executable code is not allowed"), std::string::npos);
    EXPECT_TRUE(RegisteredStartingWith("CountedOnce.").empty());
    EXPECT_TRUE(Load(once));
    EXPECT_TRUE(Load(once + "/"));
    EXPECT_TRUE(Load(folder.path() + "/./CountedOnce.plugin"));
    EXPECT_EQ(RegisteredStartingWith("CountedOnce."), std::vector<std::string>{"CountedOnce.1"});

    const std::string threaded = CountingBundle(folder.path(), "CountedThreads");
    std::vector<std::thread> threads;
    std::vector<char> loaded(8, 0);
    for (size_t i = 0; i < loaded.size(); ++i) threads.emplace_back([&, i] { loaded[i] = Load(threaded); });
    for (std::thread &t : threads) t.join();
    EXPECT_EQ(std::count(loaded.begin(), loaded.end(), 1), 8);
    EXPECT_EQ(RegisteredStartingWith("CountedThreads."), std::vector<std::string>{"CountedThreads.1"});

    // A unit that asks for itself while it loads gets false (one log line), then loads.
    const std::string reentrant =
        MakeBundle(folder.path(), "Reentrant", InfoPlist("LumoraTestReentrantUnit").c_str(), Executable::TestUnit);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(Load(reentrant));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Reentrant.plugin not loaded: it is loading already"), std::string::npos) << log;
    EXPECT_EQ(RegisteredStartingWith("Reentrant."), std::vector<std::string>{"Reentrant.inner-0"});
    EXPECT_TRUE(Load(reentrant));
}

// loadAllPlugIns loads the "*.plugin" bundles of each domain's Graphics/Image Units folder,
// and scans each folder once.
TEST(CIPlugIn, LoadAllPlugInsScansTheLibraryFoldersOnce) {
    std::string userLibrary;
    ASSERT_EQ(lumora::carbon::FolderPath(kUserDomain, kDomainLibraryFolderType, userLibrary), noErr);
    const std::string userUnits = userLibrary + "/Graphics/Image Units";
    CountingBundle(userUnits, "CountedUser");
    const std::string ignored = MakeBundle(userUnits, "CountedIgnored", InfoPlist("LumoraTestCountingUnit").c_str(),
                                           Executable::TestUnit);
    std::filesystem::rename(ignored, userUnits + "/CountedIgnored.bundle");

    CIPlugIn::loadAllPlugIns();
    EXPECT_NE(CIFilter::filterWithName("LumoraTestTint"), nullptr) << "the local Library's unit";
    EXPECT_EQ(RegisteredStartingWith("CountedUser."), std::vector<std::string>{"CountedUser.1"});
    EXPECT_TRUE(RegisteredStartingWith("CountedIgnored.").empty()) << "only .plugin folders are units";

    CountingBundle(userUnits, "CountedLate");
    CIPlugIn::loadAllPlugIns();
    EXPECT_TRUE(RegisteredStartingWith("CountedLate.").empty()) << "the folder was scanned already";
    EXPECT_EQ(RegisteredStartingWith("CountedUser."), std::vector<std::string>{"CountedUser.1"});
    EXPECT_TRUE(Load(userUnits + "/CountedLate.plugin"));
    EXPECT_EQ(RegisteredStartingWith("CountedLate."), std::vector<std::string>{"CountedLate.1"});
    lumora::test::RemoveTree(userLibrary + "/Graphics");
}
