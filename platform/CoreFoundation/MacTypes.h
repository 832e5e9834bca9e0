// The basic scalar types and the length-prefixed string types shared by every layer.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef float Float32;
typedef double Float64;

typedef unsigned char Boolean;
typedef UInt16 UniChar;
typedef UInt32 UTF32Char;
typedef UInt32 UnicodeScalarValue;
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef FourCharCode ResType;
typedef SInt16 OSErr;
typedef SInt32 OSStatus;
typedef unsigned long ByteCount;
typedef long Size;
typedef char *Ptr;
typedef Ptr *Handle;
typedef SInt32 Fixed;

typedef unsigned char Str255[256];
typedef unsigned char Str63[64];
typedef unsigned char Str31[32];
typedef unsigned char *StringPtr;
typedef const unsigned char *ConstStringPtr;
typedef const unsigned char *ConstStr255Param;

enum : SInt16 { noErr = 0 };

// Common status codes used across the layers.
enum : SInt16 {
    paramErr = -50,
    memFullErr = -108,
    nilHandleErr = -109,
    fnfErr = -43,
    dirNFErr = -120,
    ioErr = -36,
    eofErr = -39,
    permErr = -54,
    dupFNErr = -48,
    bdNamErr = -37,
    nsvErr = -35,
    unimpErr = -4,
};

// A four-character code from its text, most significant character first ('appl').
constexpr FourCharCode MakeFourCharCode(const char (&text)[5]) {
    return (FourCharCode(UInt8(text[0])) << 24) | (FourCharCode(UInt8(text[1])) << 16) |
           (FourCharCode(UInt8(text[2])) << 8) | FourCharCode(UInt8(text[3]));
}
