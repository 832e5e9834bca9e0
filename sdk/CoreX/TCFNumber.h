// TCFNumber: a CFNumberRef wrapper that reads the number as a C++ numeric type.
//
// Each signed or floating-point type is read with the CFNumberType of its own width: long
// as the 64-bit C long (kCFNumberLongType), int as SInt32, short as SInt16. Core Foundation
// has no unsigned types, so unsigned short, unsigned int and unsigned long are read as SInt64
// and succeed when the value lies in their range (65535 reads as an unsigned short; -1 and
// 2.5 do not read as any unsigned type).
#pragma once

#include <limits>
#include <type_traits>

#include <CoreFoundation/CFNumber.h>
#include <CoreX/T_CFTypeRef.h>

template <class T>
struct T_CFNumberType;

#define CORE_DEFINE_CFNUMBERTYPE(Type, NumberType)                 \
    template <>                                                    \
    struct T_CFNumberType<Type> {                                  \
        static constexpr CFNumberType kNumberType = NumberType;    \
    };

CORE_DEFINE_CFNUMBERTYPE(double, kCFNumberDoubleType)
CORE_DEFINE_CFNUMBERTYPE(float, kCFNumberFloatType)
CORE_DEFINE_CFNUMBERTYPE(long, kCFNumberLongType)
CORE_DEFINE_CFNUMBERTYPE(int, kCFNumberSInt32Type)
CORE_DEFINE_CFNUMBERTYPE(short, kCFNumberSInt16Type)
CORE_DEFINE_CFNUMBERTYPE(signed char, kCFNumberSInt8Type)
CORE_DEFINE_CFNUMBERTYPE(char, kCFNumberCharType)
CORE_DEFINE_CFNUMBERTYPE(long long, kCFNumberLongLongType)

#undef CORE_DEFINE_CFNUMBERTYPE

class TCFNumber : public T_CFTypeRef<CFNumberRef> {
public:
    using T_CFTypeRef<CFNumberRef>::T_CFTypeRef;

    // False when the reference is null or not a CFNumber, or when the value does not fit T
    // exactly; value receives the converted number all the same.
    template <class T>
    bool GetValue(T &value) const {
        if (!IsTypeValid()) return false;
        if constexpr (std::is_integral_v<T> && std::is_unsigned_v<T>) {
            static_assert(sizeof(T) <= sizeof(SInt64));
            SInt64 wide = 0;
            const bool exact = CFNumberGetValue(mValueRef, kCFNumberSInt64Type, &wide);
            value = static_cast<T>(wide);
            return exact && wide >= 0 &&
                   static_cast<UInt64>(wide) <= static_cast<UInt64>(std::numeric_limits<T>::max());
        } else {
            return CFNumberGetValue(mValueRef, T_CFNumberType<T>::kNumberType, &value);
        }
    }
};
