// Booleans and numbers.
#pragma once

#include <CoreFoundation/CFBase.h>

typedef const struct __CFBoolean *CFBooleanRef;

// The two boolean objects (immortal, usable before main).
extern const CFBooleanRef kCFBooleanTrue;
extern const CFBooleanRef kCFBooleanFalse;

CFTypeID CFBooleanGetTypeID(void);
// False for a null reference.
Boolean CFBooleanGetValue(CFBooleanRef boolean);

enum CFNumberType : CFIndex {
    kCFNumberSInt8Type = 1,
    kCFNumberSInt16Type = 2,
    kCFNumberSInt32Type = 3,
    kCFNumberSInt64Type = 4,
    kCFNumberFloat32Type = 5,
    kCFNumberFloat64Type = 6,
    kCFNumberCharType = 7,      // char
    kCFNumberShortType = 8,     // short
    kCFNumberIntType = 9,       // int
    kCFNumberLongType = 10,     // long (64 bits on Linux)
    kCFNumberLongLongType = 11, // long long
    kCFNumberFloatType = 12,    // float
    kCFNumberDoubleType = 13,   // double
    kCFNumberCFIndexType = 14,  // CFIndex
    kCFNumberNSIntegerType = 15,// long
    kCFNumberCGFloatType = 16,  // double
    kCFNumberMaxType = 16,
};

typedef const struct __CFNumber *CFNumberRef;

CFTypeID CFNumberGetTypeID(void);

// Reads a value of the given type from valuePtr. Null for an unknown type or a null pointer.
CFNumberRef CFNumberCreate(CFAllocatorRef allocator, CFNumberType theType, const void *valuePtr);
// The stored form: kCFNumberSInt8/16/32/64Type or kCFNumberFloat32/64Type, by the size and
// kind of the type the number was created with.
CFNumberType CFNumberGetType(CFNumberRef number);
Boolean CFNumberIsFloatType(CFNumberRef number);
// Stores the value converted to theType at valuePtr. False when the conversion loses
// anything (range, fraction or precision); the converted value is stored all the same
// (integers wrap to the target width, floating-point values are truncated towards zero
// and clamped to the target's range, NaN becomes 0).
Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void *valuePtr);
// Compares the values exactly, across integer and floating-point numbers; NaN sorts before
// every other value. context is unused.
CFComparisonResult CFNumberCompare(CFNumberRef number, CFNumberRef otherNumber, void *context);
