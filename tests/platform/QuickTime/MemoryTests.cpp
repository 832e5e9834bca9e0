#include <gtest/gtest.h>

#include <cstring>

#include <QuickTime/QuickTime.h>

TEST(Handles, SizesAndClearing) {
    Handle h = NewHandleClear(64);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(GetHandleSize(h), 64);
    for (int i = 0; i < 64; ++i) EXPECT_EQ((*h)[i], 0);
    DisposeHandle(h);

    Handle empty = NewHandle(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_NE(*empty, nullptr);  // a master pointer even for no bytes
    EXPECT_EQ(GetHandleSize(empty), 0);
    DisposeHandle(empty);

    EXPECT_EQ(NewHandle(-1), nullptr);
    EXPECT_EQ(MemError(), paramErr);
    EXPECT_EQ(NewHandle(Size(1) << 40), nullptr);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(GetHandleSize(nullptr), 0);
    EXPECT_EQ(MemError(), nilHandleErr);
}

TEST(Handles, ResizeKeepsContent) {
    Handle h = NewHandle(4);
    ASSERT_NE(h, nullptr);
    std::memcpy(*h, "abcd", 4);
    SetHandleSize(h, 100000);
    ASSERT_EQ(MemError(), noErr);
    EXPECT_EQ(GetHandleSize(h), 100000);
    EXPECT_EQ(std::memcmp(*h, "abcd", 4), 0);
    SetHandleSize(h, 2);
    EXPECT_EQ(GetHandleSize(h), 2);
    EXPECT_EQ(std::memcmp(*h, "ab", 2), 0);
    SetHandleSize(h, -5);
    EXPECT_EQ(MemError(), paramErr);
    EXPECT_EQ(GetHandleSize(h), 2);
    DisposeHandle(h);
}

TEST(Handles, LockedHandlesNeverMove) {
    Handle h = NewHandle(16);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(HGetState(h) & kHandleLockedMask, 0);
    HLock(h);
    EXPECT_NE(HGetState(h) & kHandleLockedMask, 0);
    Ptr before = *h;
    SetHandleSize(h, 8);  // shrinking stays in place
    EXPECT_EQ(MemError(), noErr);
    EXPECT_EQ(*h, before);
    SetHandleSize(h, 16);  // back within the room it has
    EXPECT_EQ(MemError(), noErr);
    SetHandleSize(h, 1 << 20);  // would have to move
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(GetHandleSize(h), 16);
    EXPECT_EQ(*h, before);

    const SInt8 state = HGetState(h);
    HUnlock(h);
    EXPECT_EQ(HGetState(h) & kHandleLockedMask, 0);
    SetHandleSize(h, 1 << 20);
    EXPECT_EQ(MemError(), noErr);
    HSetState(h, state);
    EXPECT_NE(HGetState(h) & kHandleLockedMask, 0);
    DisposeHandle(h);
}

TEST(Handles, CopiesAndAppends) {
    Handle h = nullptr;
    ASSERT_EQ(PtrToHand("xyz", &h, 3), noErr);
    Handle copy = h;
    ASSERT_EQ(HandToHand(&copy), noErr);
    ASSERT_NE(copy, h);
    (*h)[0] = 'X';
    EXPECT_EQ((*copy)[0], 'x');
    ASSERT_EQ(PtrAndHand("12", copy, 2), noErr);
    EXPECT_EQ(GetHandleSize(copy), 5);
    EXPECT_EQ(std::memcmp(*copy, "xyz12", 5), 0);
    EXPECT_EQ(PtrToHand(nullptr, &h, 3), paramErr);
    DisposeHandle(h);
    DisposeHandle(copy);
}

TEST(Pointers, NewAndDispose) {
    Ptr p = NewPtrClear(10);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[9], 0);
    DisposePtr(p);
    EXPECT_EQ(NewPtr(-1), nullptr);
    EXPECT_EQ(MemError(), paramErr);
}

TEST(FixedPoint, Conversions) {
    EXPECT_EQ(Long2Fix(1), fixed1);
    EXPECT_EQ(Long2Fix(-2), -2 * fixed1);
    EXPECT_EQ(Long2Fix(40000), INT32_MAX);  // saturates
    EXPECT_EQ(Fix2Long(X2Fix(2.5)), 3);
    EXPECT_EQ(Fix2Long(X2Fix(-2.5)), -3);
    EXPECT_EQ(FixedToInt(X2Fix(-0.5)), -1);
    EXPECT_EQ(FixRatio(1, 2), fixed1 / 2);
    EXPECT_EQ(FixRatio(1, 0), 0x7FFFFFFF);
    EXPECT_EQ(X2Fix(1e12), INT32_MAX);
    EXPECT_EQ(X2Fix(0.0 / 0.0), 0);
    EXPECT_DOUBLE_EQ(Fix2X(X2Fix(0.75)), 0.75);
    EXPECT_EQ(FixMul(X2Fix(1.5), X2Fix(2.0)), X2Fix(3.0));
}
