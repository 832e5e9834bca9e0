#include <gtest/gtest.h>

#include <CoreFoundation/CFRuntime.h>
#include <CoreFoundation/CoreFoundation.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "CFTestSupport.h"

using cftest::Owned;

namespace {

// Any value of any CFNumberType, held as the bytes of that type.
struct Value {
    CFNumberType type;
    unsigned char bytes[8] = {};

    template <class T>
    static Value Of(CFNumberType type, T value) {
        Value made{type};
        static_assert(sizeof(T) <= sizeof made.bytes);
        std::memcpy(made.bytes, &value, sizeof value);
        return made;
    }
};

bool IsFloating(CFNumberType type) {
    return type == kCFNumberFloat32Type || type == kCFNumberFloat64Type || type == kCFNumberFloatType ||
           type == kCFNumberDoubleType || type == kCFNumberCGFloatType;
}

size_t SizeOf(CFNumberType type) {
    switch (type) {
    case kCFNumberSInt8Type:
    case kCFNumberCharType: return 1;
    case kCFNumberSInt16Type:
    case kCFNumberShortType: return 2;
    case kCFNumberSInt32Type:
    case kCFNumberIntType:
    case kCFNumberFloat32Type:
    case kCFNumberFloatType: return 4;
    default: return 8;
    }
}

// The value read back as a long double (exact for every 64-bit integer on this platform).
long double Read(const unsigned char *bytes, CFNumberType type) {
    if (IsFloating(type)) {
        if (SizeOf(type) == 4) {
            float value;
            std::memcpy(&value, bytes, 4);
            return value;
        }
        double value;
        std::memcpy(&value, bytes, 8);
        return value;
    }
    switch (SizeOf(type)) {
    case 1: return static_cast<SInt8>(bytes[0]);
    case 2: {
        SInt16 value;
        std::memcpy(&value, bytes, 2);
        return value;
    }
    case 4: {
        SInt32 value;
        std::memcpy(&value, bytes, 4);
        return value;
    }
    default: {
        SInt64 value;
        std::memcpy(&value, bytes, 8);
        return value;
    }
    }
}

TEST(CFNumber, EveryTypeKeepsItsValue) {
    const Value values[] = {
        Value::Of(kCFNumberSInt8Type, SInt8(-128)),
        Value::Of(kCFNumberSInt16Type, SInt16(-32000)),
        Value::Of(kCFNumberSInt32Type, SInt32(-2000000000)),
        Value::Of(kCFNumberSInt64Type, SInt64(-9000000000000000000LL)),
        Value::Of(kCFNumberFloat32Type, Float32(-1.5f)),
        Value::Of(kCFNumberFloat64Type, Float64(1e300)),
        Value::Of(kCFNumberCharType, char(-7)),
        Value::Of(kCFNumberShortType, short(-300)),
        Value::Of(kCFNumberIntType, int(-70000)),
        Value::Of(kCFNumberLongType, long(0x123456789ABCDEFL)),
        Value::Of(kCFNumberLongLongType, (long long)(std::numeric_limits<long long>::min())),
        Value::Of(kCFNumberFloatType, 3.25f),
        Value::Of(kCFNumberDoubleType, -0.1),
        Value::Of(kCFNumberCFIndexType, CFIndex(std::numeric_limits<CFIndex>::max())),
        Value::Of(kCFNumberNSIntegerType, long(-1)),
        Value::Of(kCFNumberCGFloatType, 2.5),
    };
    const CFNumberType stored[] = {kCFNumberSInt8Type,   kCFNumberSInt16Type,  kCFNumberSInt32Type, kCFNumberSInt64Type,
                                   kCFNumberFloat32Type, kCFNumberFloat64Type, kCFNumberSInt8Type,  kCFNumberSInt16Type,
                                   kCFNumberSInt32Type,  kCFNumberSInt64Type,  kCFNumberSInt64Type, kCFNumberFloat32Type,
                                   kCFNumberFloat64Type, kCFNumberSInt64Type,  kCFNumberSInt64Type, kCFNumberFloat64Type};
    for (size_t i = 0; i < std::size(values); ++i) {
        const Value &value = values[i];
        SCOPED_TRACE(value.type);
        Owned<CFNumberRef> number(CFNumberCreate(nullptr, value.type, value.bytes));
        ASSERT_TRUE(number);
        EXPECT_EQ(CFGetTypeID(number), CFNumberGetTypeID());
        EXPECT_EQ(CFNumberGetType(number), stored[i]);
        EXPECT_EQ(bool(CFNumberIsFloatType(number)), IsFloating(value.type));
        unsigned char back[8] = {};
        EXPECT_TRUE(CFNumberGetValue(number, value.type, back));
        EXPECT_EQ(std::memcmp(back, value.bytes, SizeOf(value.type)), 0);
    }
    const int anything = 1;
    EXPECT_EQ(CFNumberCreate(nullptr, CFNumberType(0), &anything), nullptr);
    EXPECT_EQ(CFNumberCreate(nullptr, CFNumberType(17), &anything), nullptr);
    EXPECT_EQ(CFNumberCreate(nullptr, kCFNumberIntType, nullptr), nullptr);
}

TEST(CFNumber, ConversionsReportLoss) {
    const struct {
        Value source;
        CFNumberType target;
        bool exact;
        long double stored;
    } cases[] = {
        {Value::Of(kCFNumberSInt32Type, SInt32(300)), kCFNumberSInt8Type, false, 44},  // wraps
        {Value::Of(kCFNumberSInt32Type, SInt32(-5)), kCFNumberCharType, true, -5},
        {Value::Of(kCFNumberSInt64Type, SInt64(1) << 40), kCFNumberSInt32Type, false, 0},
        {Value::Of(kCFNumberSInt64Type, SInt64(-40000)), kCFNumberShortType, false, 25536},
        {Value::Of(kCFNumberSInt16Type, SInt16(-2)), kCFNumberLongLongType, true, -2},
        {Value::Of(kCFNumberSInt64Type, (SInt64(1) << 53) + 1), kCFNumberFloat64Type, false, 9007199254740992.0L},
        {Value::Of(kCFNumberSInt64Type, (SInt64(1) << 24) + 1), kCFNumberFloat32Type, false, 16777216.0L},
        {Value::Of(kCFNumberSInt64Type, std::numeric_limits<SInt64>::max()), kCFNumberDoubleType, false,
         9223372036854775808.0L},
        {Value::Of(kCFNumberSInt64Type, SInt64(1) << 60), kCFNumberDoubleType, true, 1152921504606846976.0L},
        {Value::Of(kCFNumberFloat64Type, 1.5), kCFNumberSInt32Type, false, 1},
        {Value::Of(kCFNumberFloat64Type, -1.5), kCFNumberIntType, false, -1},
        {Value::Of(kCFNumberFloat64Type, 3.0), kCFNumberSInt8Type, true, 3},
        {Value::Of(kCFNumberFloat64Type, 1e20), kCFNumberSInt64Type, false, 9223372036854775807.0L},
        {Value::Of(kCFNumberFloat64Type, -1e20), kCFNumberSInt16Type, false, -32768},
        {Value::Of(kCFNumberFloat64Type, 0.1), kCFNumberFloat32Type, false, 0.1f},
        {Value::Of(kCFNumberFloat64Type, 0.5), kCFNumberFloatType, true, 0.5},
        {Value::Of(kCFNumberFloat64Type, 1e300), kCFNumberFloat32Type, false, std::numeric_limits<float>::infinity()},
        {Value::Of(kCFNumberFloat32Type, 1.25f), kCFNumberCGFloatType, true, 1.25},
        {Value::Of(kCFNumberFloat64Type, std::nan("")), kCFNumberSInt32Type, false, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << c.source.type << " -> " << c.target << " " << double(c.stored));
        Owned<CFNumberRef> number(CFNumberCreate(nullptr, c.source.type, c.source.bytes));
        unsigned char out[8] = {};
        EXPECT_EQ(bool(CFNumberGetValue(number, c.target, out)), c.exact);
        EXPECT_EQ(Read(out, c.target), c.stored);
    }
}

TEST(CFNumber, CompareEqualAndHashAcrossKinds) {
    auto make = [](auto value, CFNumberType type) { return CFNumberCreate(nullptr, type, &value); };
    Owned<CFNumberRef> one(make(SInt32(1), kCFNumberSInt32Type));
    Owned<CFNumberRef> oneReal(make(1.0, kCFNumberDoubleType));
    Owned<CFNumberRef> twoAndHalf(make(2.5, kCFNumberDoubleType));
    Owned<CFNumberRef> two(make(SInt64(2), kCFNumberSInt64Type));
    Owned<CFNumberRef> biggest(make(std::numeric_limits<SInt64>::max(), kCFNumberSInt64Type));
    Owned<CFNumberRef> twoTo63(make(9223372036854775808.0, kCFNumberDoubleType));
    Owned<CFNumberRef> notANumber(make(std::nan(""), kCFNumberDoubleType));

    EXPECT_EQ(CFNumberCompare(one, oneReal, nullptr), kCFCompareEqualTo);
    EXPECT_TRUE(CFEqual(one, oneReal));
    EXPECT_EQ(CFHash(one), CFHash(oneReal));
    EXPECT_EQ(CFNumberCompare(two, twoAndHalf, nullptr), kCFCompareLessThan);
    EXPECT_EQ(CFNumberCompare(twoAndHalf, two, nullptr), kCFCompareGreaterThan);
    // INT64_MAX rounds up to 2^63 as a double; the exact comparison still tells them apart.
    EXPECT_EQ(CFNumberCompare(biggest, twoTo63, nullptr), kCFCompareLessThan);
    EXPECT_EQ(CFNumberCompare(notANumber, one, nullptr), kCFCompareLessThan);
    EXPECT_EQ(CFNumberCompare(notANumber, notANumber, nullptr), kCFCompareEqualTo);

    Owned<CFStringRef> description(CFCopyDescription(twoAndHalf));
    EXPECT_EQ(cftest::Text(description), "2.5");
}

TEST(CFBoolean, ConstantsAndValues) {
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
    EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
    EXPECT_FALSE(CFBooleanGetValue(nullptr));
    EXPECT_EQ(CFGetTypeID(kCFBooleanTrue), CFBooleanGetTypeID());
    EXPECT_EQ(CFBooleanGetTypeID(), CFTypeID(cf::kBooleanTypeID));
    CFRelease(CFRetain(kCFBooleanTrue));
    CFRelease(kCFBooleanTrue);  // immortal: releases are ignored
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
    EXPECT_FALSE(CFEqual(kCFBooleanTrue, kCFBooleanFalse));
    Owned<CFStringRef> name(CFCopyTypeIDDescription(CFBooleanGetTypeID()));
    EXPECT_EQ(cftest::Text(name), "CFBoolean");
}

}  // namespace
