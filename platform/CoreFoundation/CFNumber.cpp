// Booleans and numbers. A number keeps a 64-bit integer or a double, and the size of the
// type it was created with.
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFRuntime.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

// ---------------------------------------------------------------------------------------
// Booleans

struct __CFBoolean final : cf::Object {
    constexpr explicit __CFBoolean(bool value) : cf::Object(cf::kBooleanTypeID, true), mValue(value) {}
    std::string description() const override { return mValue ? "true" : "false"; }
    const bool mValue;
};

namespace {
constinit cf::Constant<__CFBoolean> gTrue{true};
constinit cf::Constant<__CFBoolean> gFalse{false};
}  // namespace

const CFBooleanRef kCFBooleanTrue = &gTrue.object;
const CFBooleanRef kCFBooleanFalse = &gFalse.object;

CFTypeID CFBooleanGetTypeID(void) { return cf::kBooleanTypeID; }

Boolean CFBooleanGetValue(CFBooleanRef boolean) {
    const auto *object = cf::As<const __CFBoolean>(boolean, cf::kBooleanTypeID);
    return object != nullptr && object->mValue;
}

// ---------------------------------------------------------------------------------------
// Numbers

namespace {

struct Kind {
    bool floating = false;
    int size = 0;  // bytes; 0 for an unknown type
};

Kind KindOf(CFNumberType type) {
    switch (type) {
    case kCFNumberSInt8Type: return {false, 1};
    case kCFNumberSInt16Type: return {false, 2};
    case kCFNumberSInt32Type: return {false, 4};
    case kCFNumberSInt64Type: return {false, 8};
    case kCFNumberFloat32Type: return {true, 4};
    case kCFNumberFloat64Type: return {true, 8};
    case kCFNumberCharType: return {false, int(sizeof(char))};
    case kCFNumberShortType: return {false, int(sizeof(short))};
    case kCFNumberIntType: return {false, int(sizeof(int))};
    case kCFNumberLongType: return {false, int(sizeof(long))};
    case kCFNumberLongLongType: return {false, int(sizeof(long long))};
    case kCFNumberFloatType: return {true, int(sizeof(float))};
    case kCFNumberDoubleType: return {true, int(sizeof(double))};
    case kCFNumberCFIndexType: return {false, int(sizeof(CFIndex))};
    case kCFNumberNSIntegerType: return {false, int(sizeof(long))};
    case kCFNumberCGFloatType: return {true, int(sizeof(double))};
    }
    return {};
}

CFNumberType StoredType(Kind kind) {
    if (kind.floating) return kind.size == 4 ? kCFNumberFloat32Type : kCFNumberFloat64Type;
    switch (kind.size) {
    case 1: return kCFNumberSInt8Type;
    case 2: return kCFNumberSInt16Type;
    case 4: return kCFNumberSInt32Type;
    default: return kCFNumberSInt64Type;
    }
}

template <class T>
T Load(const void *from) {
    T value;
    std::memcpy(&value, from, sizeof value);
    return value;
}

template <class T>
void Store(void *to, T value) {
    std::memcpy(to, &value, sizeof value);
}

constexpr double kTwoTo63 = 9223372036854775808.0;

// An integral double within [-2^63, 2^63) converts to SInt64 exactly.
bool FitsSInt64(double value) { return value >= -kTwoTo63 && value < kTwoTo63; }

// Stores an integer in a signed target of `size` bytes (wrapping); true when it fits.
bool StoreInteger(SInt64 value, int size, void *to) {
    switch (size) {
    case 1: Store(to, SInt8(value)); return value >= INT8_MIN && value <= INT8_MAX;
    case 2: Store(to, SInt16(value)); return value >= INT16_MIN && value <= INT16_MAX;
    case 4: Store(to, SInt32(value)); return value >= INT32_MIN && value <= INT32_MAX;
    default: Store(to, value); return true;
    }
}

}  // namespace

struct __CFNumber final : cf::Object {
    __CFNumber(Kind kind, SInt64 integer, double real)
        : cf::Object(CFNumberGetTypeID()), mKind(kind), mInteger(integer), mReal(real) {}

    bool isEqual(const cf::Object &other) const override {
        return CFNumberCompare(this, static_cast<const __CFNumber *>(&other), nullptr) == kCFCompareEqualTo;
    }

    CFHashCode hash() const override {
        // Equal values hash alike, whether integer or floating point.
        if (!mKind.floating) return CFHashCode(mInteger);
        if (std::isnan(mReal)) return 0;
        if (std::trunc(mReal) == mReal && FitsSInt64(mReal)) return CFHashCode(SInt64(mReal));
        SInt64 bits;
        std::memcpy(&bits, &mReal, sizeof bits);
        return CFHashCode(bits);
    }

    std::string description() const override {
        char text[64];
        const auto result = mKind.floating ? std::to_chars(text, text + sizeof text, mReal)
                                           : std::to_chars(text, text + sizeof text, mInteger);
        return std::string(text, result.ptr);
    }

    const Kind mKind;
    const SInt64 mInteger;  // integer numbers
    const double mReal;     // floating-point numbers
};

CFTypeID CFNumberGetTypeID(void) {
    static const CFTypeID type = cf::RegisterType("CFNumber");
    return type;
}

namespace {
const __CFNumber *Number(CFNumberRef number) { return cf::As<const __CFNumber>(number, CFNumberGetTypeID()); }
}  // namespace

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType theType, const void *valuePtr) {
    const Kind kind = KindOf(theType);
    if (kind.size == 0 || valuePtr == nullptr) return nullptr;
    if (kind.floating) {
        const double value = kind.size == 4 ? double(Load<float>(valuePtr)) : Load<double>(valuePtr);
        return new __CFNumber(kind, 0, value);
    }
    SInt64 value = 0;
    switch (kind.size) {
    case 1: value = Load<SInt8>(valuePtr); break;
    case 2: value = Load<SInt16>(valuePtr); break;
    case 4: value = Load<SInt32>(valuePtr); break;
    default: value = Load<SInt64>(valuePtr); break;
    }
    return new __CFNumber(kind, value, 0.0);
}

CFNumberType CFNumberGetType(CFNumberRef number) {
    const __CFNumber *object = Number(number);
    return object ? StoredType(object->mKind) : CFNumberType(0);
}

Boolean CFNumberIsFloatType(CFNumberRef number) {
    const __CFNumber *object = Number(number);
    return object != nullptr && object->mKind.floating;
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void *valuePtr) {
    const __CFNumber *object = Number(number);
    const Kind target = KindOf(theType);
    if (object == nullptr || target.size == 0 || valuePtr == nullptr) return false;

    if (!object->mKind.floating) {
        const SInt64 value = object->mInteger;
        if (!target.floating) return StoreInteger(value, target.size, valuePtr);
        if (target.size == 4) {
            const float converted = float(value);
            Store(valuePtr, converted);
            return FitsSInt64(converted) && SInt64(converted) == value;
        }
        const double converted = double(value);
        Store(valuePtr, converted);
        return FitsSInt64(converted) && SInt64(converted) == value;
    }

    const double value = object->mReal;
    if (target.floating) {
        if (target.size == 8) {
            Store(valuePtr, value);
            return true;
        }
        if (std::isnan(value)) {
            Store(valuePtr, std::numeric_limits<float>::quiet_NaN());
            return true;
        }
        if (std::isfinite(value) && std::fabs(value) > double(std::numeric_limits<float>::max())) {
            const float infinity = std::numeric_limits<float>::infinity();
            Store(valuePtr, value > 0 ? infinity : -infinity);
            return false;
        }
        const float converted = float(value);
        Store(valuePtr, converted);
        return double(converted) == value;
    }

    // Floating point to integer: truncated towards zero, clamped to the target's range.
    const double limit = std::ldexp(1.0, target.size * 8 - 1);  // 2^(bits-1)
    SInt64 converted;
    bool exact;
    if (std::isnan(value)) {
        converted = 0, exact = false;
    } else if (value < -limit) {
        converted = target.size == 8 ? INT64_MIN : SInt64(-limit), exact = false;
    } else if (value >= limit) {
        converted = target.size == 8 ? INT64_MAX : SInt64(limit) - 1, exact = false;
    } else {
        const double whole = std::trunc(value);
        converted = SInt64(whole), exact = whole == value;
    }
    StoreInteger(converted, target.size, valuePtr);
    return exact;
}

CFComparisonResult CFNumberCompare(CFNumberRef number, CFNumberRef otherNumber, void *) {
    const __CFNumber *a = Number(number);
    const __CFNumber *b = Number(otherNumber);
    if (a == nullptr || b == nullptr) {
        if (a == b) return kCFCompareEqualTo;
        return a ? kCFCompareGreaterThan : kCFCompareLessThan;
    }
    auto order = [](auto x, auto y) {
        return x < y ? kCFCompareLessThan : (y < x ? kCFCompareGreaterThan : kCFCompareEqualTo);
    };
    if (!a->mKind.floating && !b->mKind.floating) return order(a->mInteger, b->mInteger);
    if (a->mKind.floating && b->mKind.floating) {
        const bool nanA = std::isnan(a->mReal), nanB = std::isnan(b->mReal);
        if (nanA || nanB) return order(!nanA, !nanB);  // NaN first
        return order(a->mReal, b->mReal);
    }
    // An integer against a double, exactly (no rounding of the integer to double).
    const bool flipped = a->mKind.floating;
    const SInt64 integer = flipped ? b->mInteger : a->mInteger;
    const double real = flipped ? a->mReal : b->mReal;
    CFComparisonResult result;
    if (std::isnan(real)) {
        result = kCFCompareGreaterThan;
    } else if (real >= kTwoTo63) {
        result = kCFCompareLessThan;
    } else if (real < -kTwoTo63) {
        result = kCFCompareGreaterThan;
    } else {
        const double whole = std::floor(real);
        result = order(integer, SInt64(whole));
        if (result == kCFCompareEqualTo && whole != real) result = kCFCompareLessThan;  // real has a fraction above
    }
    if (flipped) result = CFComparisonResult(-result);
    return result;
}
