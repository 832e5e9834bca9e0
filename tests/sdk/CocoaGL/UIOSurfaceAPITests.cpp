// The IOSurface use counts reached by name in IOSurface.framework: they are the counts of the
// program's own surfaces (the framework forwards to the layer linked into the program), and
// an unavailable framework or function makes every call a silent no-op.
#include <CocoaGL/UIOSurfaceAPI.h>

#include <IOSurface/IOSurface.h>

#include <gtest/gtest.h>

namespace {

// A small private surface (released at the end of the scope).
class Surface {
public:
    Surface() {
        CFMutableDictionaryRef properties =
            CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        const std::pair<CFStringRef, int> numbers[] = {
            {kIOSurfaceWidth, 16}, {kIOSurfaceHeight, 8}, {kIOSurfaceBytesPerElement, 4}};
        for (const auto &[key, value] : numbers) {
            CFNumberRef number = CFNumberCreate(nullptr, kCFNumberIntType, &value);
            CFDictionarySetValue(properties, key, number);
            CFRelease(number);
        }
        mSurface = IOSurfaceCreate(properties);
        CFRelease(properties);
    }
    ~Surface() {
        if (mSurface != nullptr) CFRelease(mSurface);
    }
    Surface(const Surface &) = delete;
    Surface &operator=(const Surface &) = delete;

    IOSurfaceRef Get() const { return mSurface; }

private:
    IOSurfaceRef mSurface = nullptr;
};

TEST(UIOSurfaceAPI, CountsTheSurfaceTheLayerCounts) {
    Surface surface;
    ASSERT_NE(surface.Get(), nullptr);
    IOSurfaceRef s = surface.Get();

    EXPECT_EQ(UIOSurfaceAPI::surfaceGetUseCount(s), 0);
    EXPECT_FALSE(UIOSurfaceAPI::surfaceIsInUse(s));
    EXPECT_TRUE(UIOSurfaceAPI::IOSurfaceFramework().IsFrameworkLoaded());

    UIOSurfaceAPI::surfaceIncrementUseCount(s);
    UIOSurfaceAPI::surfaceIncrementUseCount(s);
    EXPECT_EQ(IOSurfaceGetUseCount(s), 2);
    EXPECT_EQ(UIOSurfaceAPI::surfaceGetUseCount(s), 2);
    EXPECT_TRUE(UIOSurfaceAPI::surfaceIsInUse(s));

    // A count the layer changes directly is the one the framework reads.
    IOSurfaceIncrementUseCount(s);
    EXPECT_EQ(UIOSurfaceAPI::surfaceGetUseCount(s), 3);

    for (int expected : {2, 1, 0, 0}) {  // never below zero
        UIOSurfaceAPI::surfaceDecrementUseCount(s);
        EXPECT_EQ(IOSurfaceGetUseCount(s), expected);
        EXPECT_EQ(UIOSurfaceAPI::surfaceGetUseCount(s), expected);
    }
    EXPECT_FALSE(UIOSurfaceAPI::surfaceIsInUse(s));
    EXPECT_FALSE(IOSurfaceIsInUse(s));
}

TEST(UIOSurfaceAPI, ANullSurfaceDoesNothing) {
    UIOSurfaceAPI::surfaceIncrementUseCount(nullptr);
    UIOSurfaceAPI::surfaceDecrementUseCount(nullptr);
    EXPECT_EQ(UIOSurfaceAPI::surfaceGetUseCount(nullptr), 0);
    EXPECT_FALSE(UIOSurfaceAPI::surfaceIsInUse(nullptr));
}

TEST(UIOSurfaceAPI, AnUnavailableFrameworkOrFunctionMakesEveryCallANoOp) {
    // A framework that does not exist, and one that loads but has none of the functions.
    T_CFBaseDLL<I_CFBundleDLL> missing(CFSTR("NoSuchIOSurface.framework"));
    T_CFBaseDLL<I_CFBundleDLL> system(CFSTR("System.framework"));
    for (T_CFBaseDLL<I_CFBundleDLL> *framework : {&missing, &system}) {
        SCOPED_TRACE(framework == &missing ? "missing framework" : "framework without the functions");
        Surface surface;
        ASSERT_NE(surface.Get(), nullptr);
        IOSurfaceIncrementUseCount(surface.Get());

        EXPECT_TRUE(UIOSurfaceAPI::surfaceIsInUse(surface.Get()));
        EXPECT_FALSE(UIOSurfaceAPI::surfaceIsInUse(*framework, surface.Get()));
        EXPECT_EQ(UIOSurfaceAPI::surfaceGetUseCount(*framework, surface.Get()), 0);
        UIOSurfaceAPI::surfaceIncrementUseCount(*framework, surface.Get());
        EXPECT_EQ(IOSurfaceGetUseCount(surface.Get()), 1);
        UIOSurfaceAPI::surfaceDecrementUseCount(*framework, surface.Get());
        EXPECT_EQ(IOSurfaceGetUseCount(surface.Get()), 1);
    }
    EXPECT_FALSE(missing.IsFrameworkLoaded());
    EXPECT_TRUE(system.IsFrameworkLoaded());
}

}  // namespace
