#include <CoreQ/LFSRefQuickTime.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include <CoreFoundation/CFString.h>
#include <Carbon/MacMemory.h>
#include <QuickTime/Movies.h>

#include "support/TestFolders.h"

namespace {

// The data reference QuickTime makes for an absolute path, to compare with.
std::string ReferenceBytes(Handle dataRef) {
    if (dataRef == nullptr) return std::string();
    return std::string(*dataRef, std::size_t(GetHandleSize(dataRef)));
}

std::string PathReference(const std::string &path) {
    CFStringRef text = CFStringCreateWithCString(nullptr, path.c_str(), kCFStringEncodingUTF8);
    Handle dataRef = nullptr;
    OSType type = 0;
    const OSErr err = QTNewDataReferenceFromFullPathCFString(text, kQTPOSIXPathStyle, 0, &dataRef, &type);
    CFRelease(text);
    EXPECT_EQ(err, noErr);
    EXPECT_EQ(type, AliasDataHandlerSubType);
    const std::string bytes = ReferenceBytes(dataRef);
    DisposeHandle(dataRef);
    return bytes;
}

TEST(LFSRefQuickTime, ExistingAndLatentItems) {
    lumora::test::ScopedFolder folder("lfsref-quicktime");
    char resolved[PATH_MAX];
    ASSERT_NE(::realpath(folder.path().c_str(), resolved), nullptr);
    const std::string root = resolved;
    ASSERT_TRUE(lumora::test::WriteFile(root + "/clip.mov", "x"));
    ASSERT_EQ(::mkdir((root + "/sub").c_str(), 0700), 0);

    struct Case {
        const char *name;
        std::string path;
        bool normalize;
    };
    const Case cases[] = {
        {"existing", root + "/clip.mov", true},
        {"existing, latent form", root + "/clip.mov", false},
        {"not yet written", root + "/Lumora_000.mov", false},
        {"latent path with a folder", root + "/sub/later.mov", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LFSRef ref;
        ASSERT_TRUE(ref.Construct(c.path.c_str()));
        if (c.normalize) {
            ASSERT_TRUE(ref.Normalize());
        }
        Handle dataRef = nullptr;
        OSType type = 0;
        ASSERT_EQ(GetQuickTimeDataRef(ref, dataRef, type), noErr);
        EXPECT_EQ(type, AliasDataHandlerSubType);
        EXPECT_EQ(ReferenceBytes(dataRef), PathReference(c.path));
        DisposeHandle(dataRef);
    }

    // Without its folder, or without a reference, there is no data reference.
    LFSRef missingFolder;
    ASSERT_TRUE(missingFolder.Construct((root + "/nowhere/clip.mov").c_str()));
    Handle dataRef = reinterpret_cast<Handle>(0x1);
    OSType type = 1;
    EXPECT_EQ(GetQuickTimeDataRef(missingFolder, dataRef, type), paramErr);
    EXPECT_EQ(dataRef, nullptr);
    EXPECT_EQ(type, 0u);
    EXPECT_EQ(GetQuickTimeDataRef(LFSRef(), dataRef, type), paramErr);
}

}  // namespace
