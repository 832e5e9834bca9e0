#include <CoreX/CFTypeRefClass.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFString.h>
#include <CoreX/TCFNumber.h>
#include <CoreX/TCFString.h>

namespace {

// A CFNumber held for the length of a test.
class Number {
public:
    template <class T>
    Number(CFNumberType type, T value) : mRef(CFNumberCreate(nullptr, type, &value)) {}
    ~Number() { CFRelease(mRef); }
    Number(const Number &) = delete;
    Number &operator=(const Number &) = delete;
    CFNumberRef get() const { return mRef; }

private:
    CFNumberRef mRef;
};

template <class T>
std::string Read(const void *reference) {
    T value{};
    if (!CFTypeRefClass::ConvertTo(reference, value)) return "false";
    return std::to_string(value);
}

TEST(CFTypeRefClassNumbers, EachTypeReadsWithItsOwnWidth) {
    const Number negative64(kCFNumberSInt64Type, SInt64(-5000000000LL));
    const Number large64(kCFNumberSInt64Type, SInt64(LLONG_MAX));
    const Number minusThree(kCFNumberSInt16Type, SInt16(-3));
    const Number ushortMax(kCFNumberIntType, 65535);
    const Number uintLarge(kCFNumberSInt64Type, SInt64(4000000000LL));
    const Number half(kCFNumberDoubleType, 2.5);
    const Number quarter(kCFNumberFloatType, 0.25f);

    struct Case {
        const char *name;
        std::string value, expected;
    };
    const Case cases[] = {
        {"long, negative beyond 32 bits", Read<long>(negative64.get()), "-5000000000"},
        {"long, the largest", Read<long>(large64.get()), std::to_string(LLONG_MAX)},
        {"unsigned long", Read<unsigned long>(large64.get()), std::to_string(LLONG_MAX)},
        {"int cannot hold 64 bits", Read<int>(negative64.get()), "false"},
        {"int", Read<int>(minusThree.get()), "-3"},
        {"short", Read<short>(minusThree.get()), "-3"},
        {"unsigned short, the largest", Read<unsigned short>(ushortMax.get()), "65535"},
        {"unsigned int beyond INT_MAX", Read<unsigned int>(uintLarge.get()), "4000000000"},
        {"unsigned short cannot be negative", Read<unsigned short>(minusThree.get()), "false"},
        {"unsigned long cannot be negative", Read<unsigned long>(negative64.get()), "false"},
        {"unsigned int cannot hold a fraction", Read<unsigned int>(half.get()), "false"},
        {"unsigned short cannot hold 4000000000", Read<unsigned short>(uintLarge.get()), "false"},
        {"double", Read<double>(half.get()), std::to_string(2.5)},
        {"float", Read<float>(quarter.get()), std::to_string(0.25f)},
        {"double to int loses the fraction", Read<int>(half.get()), "false"},
        {"null", Read<double>(nullptr), "false"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value, c.expected);
    }
}

TEST(CFTypeRefClassNumbers, TCFNumberGetValue) {
    const Number number(kCFNumberSInt32Type, SInt32(-7));
    const TCFNumber wrapped(number.get(), kCFTypeRef_Borrowed);
    long asLong = 0;
    EXPECT_TRUE(wrapped.GetValue(asLong));
    EXPECT_EQ(asLong, -7);
    signed char asChar = 0;
    EXPECT_TRUE(wrapped.GetValue(asChar));
    EXPECT_EQ(asChar, -7);
    long long asLongLong = 0;
    EXPECT_TRUE(wrapped.GetValue(asLongLong));
    EXPECT_EQ(asLongLong, -7);

    const TCFNumber empty;
    double value = 1.0;
    EXPECT_FALSE(empty.GetValue(value));
    EXPECT_EQ(CFGetRetainCount(number.get()), 1);
}

TEST(CFTypeRefClassTypes, MismatchesThrowTypeException) {
    CFStringRef string = CFStringCreateWithCString(nullptr, "1", kCFStringEncodingUTF8);
    const Number number(kCFNumberIntType, 1);
    double value = 0;
    EXPECT_THROW(CFTypeRefClass::ConvertTo(string, value), CFTypeRefClass::TypeException);
    EXPECT_THROW(TCFNumber(reinterpret_cast<CFNumberRef>(string), kCFTypeRef_Borrowed), CFTypeRefClass::TypeException);
    EXPECT_THROW(CFTypeRefClass::ThrowIfNotTypeMatch(nullptr, CFStringGetTypeID()), CFTypeRefClass::TypeException);
    EXPECT_THROW(CFTypeRefClass::ThrowIfNotTypeMatch(number.get(), CFStringGetTypeID()), CFTypeRefClass::TypeException);
    EXPECT_EQ(CFTypeRefClass::ThrowIfNotTypeMatch(string, CFStringGetTypeID()), CFStringGetTypeID());
    EXPECT_EQ(CFGetRetainCount(string), 1);
    try {
        CFTypeRefClass::ThrowIfNotTypeMatch(number.get(), CFStringGetTypeID());
    } catch (const std::exception &exception) {  // caught as the standard base
        SUCCEED();
    }
    CFRelease(string);
}

TEST(CFTypeRefClassTypes, TypeIDsOfTheWrappedTypes) {
    EXPECT_EQ(T_CFTypeID<CFStringRef>::TypeID(), CFStringGetTypeID());
    EXPECT_EQ(T_CFTypeID<CFNumberRef>::TypeID(), CFNumberGetTypeID());
    EXPECT_EQ(T_CFTypeID<CFBooleanRef>::TypeID(), CFBooleanGetTypeID());
    const T_CFTypeRef<CFBooleanRef> boolean(kCFBooleanTrue, kCFTypeRef_Borrowed);
    EXPECT_TRUE(boolean.IsTypeValid());
}

TEST(CFTypeRefClassText, DescriptionsAndText) {
    std::string text;
    EXPECT_TRUE(CFTypeRefClass::GetTypeDescription(CFStringGetTypeID(), text));
    EXPECT_EQ(text, "CFString");
    EXPECT_TRUE(CFTypeRefClass::GetTypeDescription(CFNumberGetTypeID(), text));
    EXPECT_EQ(text, "CFNumber");

    const Number number(kCFNumberSInt32Type, SInt32(-42));
    EXPECT_TRUE(CFTypeRefClass::GetDescription(number.get(), text));
    EXPECT_EQ(text, "-42");
    EXPECT_TRUE(CFTypeRefClass::ConvertTo(number.get(), text));  // not a string: its description
    EXPECT_EQ(text, "-42");

    const TCFString accented("h\xC3\xA9llo");
    EXPECT_TRUE(CFTypeRefClass::ConvertTo(accented.Get(), text));
    EXPECT_EQ(text, "h\xC3\xA9llo");

    EXPECT_FALSE(CFTypeRefClass::ConvertTo(nullptr, text));
    EXPECT_EQ(text, "");
    EXPECT_FALSE(CFTypeRefClass::GetDescription(nullptr, text));
}

}  // namespace
