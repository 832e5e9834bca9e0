#include <gtest/gtest.h>

#include <vector>

#include <QuickTime/QuickTime.h>

TEST(GWorlds, LayoutPerPixelFormat) {
    const struct {
        OSType format;
        short pixelSize;
        long rowBytes;  // for a width of 5
    } cases[] = {
        {k32ARGBPixelFormat, 32, 32},       {k32BGRAPixelFormat, 32, 32}, {k24RGBPixelFormat, 24, 16},
        {k16BE555PixelFormat, 16, 16},      {k8IndexedGrayPixelFormat, 8, 16},
        {k2vuyPixelFormat, 16, 16},  // three pairs
        {kYUVSPixelFormat, 16, 16},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.format);
        const Rect bounds{10, 20, 13, 25};  // 5 x 3 at (20, 10)
        GWorldPtr world = nullptr;
        ASSERT_EQ(QTNewGWorld(&world, c.format, &bounds, nullptr, nullptr, 0), noErr);
        PixMapHandle pm = GetGWorldPixMap(world);
        ASSERT_NE(pm, nullptr);
        EXPECT_TRUE(LockPixels(pm));
        EXPECT_EQ(GetPixRowBytes(pm), c.rowBytes);
        EXPECT_EQ(QTGetPixMapHandleRowBytes(pm), c.rowBytes);
        EXPECT_EQ((**pm).pixelFormat, c.format);
        EXPECT_EQ((**pm).pixelSize, c.pixelSize);
        EXPECT_EQ(GetPixDepth(pm), c.pixelSize);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(GetPixBaseAddr(pm)) % 16, 0u);
        Rect port;
        GetPortBounds(world, &port);
        EXPECT_TRUE(EqualRect(&port, &bounds));
        // Every byte of every row is writable (AddressSanitizer checks).
        std::fill(GetPixBaseAddr(pm), GetPixBaseAddr(pm) + 3 * GetPixRowBytes(pm), char(0x5A));
        UnlockPixels(pm);
        DisposeGWorld(world);
    }
}

TEST(GWorlds, FromPointerAliasesTheMemory) {
    std::vector<UInt8> pixels(240 * 320, 0);
    const Rect bounds{0, 0, 240, 320};
    GWorldPtr world = nullptr;
    ASSERT_EQ(QTNewGWorldFromPtr(&world, k8IndexedGrayPixelFormat, &bounds, nullptr, nullptr, 0, pixels.data(), 320),
              noErr);
    PixMapHandle pm = GetGWorldPixMap(world);
    EXPECT_EQ(GetPixBaseAddr(pm), reinterpret_cast<Ptr>(pixels.data()));
    EXPECT_EQ(GetPixRowBytes(pm), 320);
    GetPixBaseAddr(pm)[320 * 5 + 7] = 99;
    EXPECT_EQ(pixels[320 * 5 + 7], 99);
    DisposeGWorld(world);
    EXPECT_EQ(pixels[320 * 5 + 7], 99);  // the caller's memory is left alone
}

TEST(GWorlds, RefusesBadArguments) {
    std::vector<UInt8> pixels(64 * 64);
    const Rect good{0, 0, 4, 4};
    const Rect empty{0, 0, 0, 4};
    const Rect inverted{5, 5, 0, 0};
    GWorldPtr world = reinterpret_cast<GWorldPtr>(1);
    EXPECT_EQ(QTNewGWorld(&world, MakeFourCharCode("abcd"), &good, nullptr, nullptr, 0), cDepthErr);
    EXPECT_EQ(world, nullptr);
    EXPECT_EQ(QTNewGWorld(&world, k32ARGBPixelFormat, &empty, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(QTNewGWorld(&world, k32ARGBPixelFormat, &inverted, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(QTNewGWorld(&world, k32ARGBPixelFormat, nullptr, nullptr, nullptr, 0), paramErr);
    EXPECT_EQ(QTNewGWorld(&world, k32ARGBPixelFormat, &good, nullptr, nullptr, 1UL << 8), paramErr);
    EXPECT_EQ(QTNewGWorld(nullptr, k32ARGBPixelFormat, &good, nullptr, nullptr, 0), paramErr);
    // Rows too short for the format (4:2:2 rows hold whole pairs: 3 pixels need 8 bytes).
    EXPECT_EQ(QTNewGWorldFromPtr(&world, k32ARGBPixelFormat, &good, nullptr, nullptr, 0, pixels.data(), 15), paramErr);
    const Rect odd{0, 0, 2, 3};
    EXPECT_EQ(QTNewGWorldFromPtr(&world, k2vuyPixelFormat, &odd, nullptr, nullptr, 0, pixels.data(), 6), paramErr);
    EXPECT_EQ(QTNewGWorldFromPtr(&world, k2vuyPixelFormat, &odd, nullptr, nullptr, 0, pixels.data(), 8), noErr);
    DisposeGWorld(world);
    EXPECT_EQ(QTNewGWorldFromPtr(&world, k32ARGBPixelFormat, &good, nullptr, nullptr, 0, nullptr, 16), paramErr);
    EXPECT_EQ(QTNewGWorldFromPtr(&world, k32ARGBPixelFormat, &good, nullptr, nullptr, 0, pixels.data(), -16), paramErr);
}

TEST(GWorlds, CurrentWorldIsPerThreadAndForgottenOnDispose) {
    const Rect bounds{0, 0, 2, 2};
    GWorldPtr world = nullptr;
    ASSERT_EQ(QTNewGWorld(&world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0), noErr);
    SetGWorld(world, nullptr);
    CGrafPtr port = nullptr;
    GDHandle device = reinterpret_cast<GDHandle>(1);
    GetGWorld(&port, &device);
    EXPECT_EQ(port, world);
    EXPECT_EQ(device, nullptr);
    DisposeGWorld(world);
    GetGWorld(&port, nullptr);
    EXPECT_EQ(port, nullptr);
}

TEST(Rects, Helpers) {
    Rect r;
    SetRect(&r, 1, 2, 11, 22);  // left, top, right, bottom
    EXPECT_EQ(r.top, 2);
    EXPECT_EQ(r.left, 1);
    EXPECT_EQ(r.bottom, 22);
    EXPECT_EQ(r.right, 11);
    OffsetRect(&r, 5, -2);
    const Rect moved{0, 6, 20, 16};
    EXPECT_TRUE(EqualRect(&r, &moved));
    EXPECT_FALSE(EmptyRect(&r));
    SetRect(&r, 3, 3, 3, 9);
    EXPECT_TRUE(EmptyRect(&r));
}
