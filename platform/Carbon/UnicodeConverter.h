// Unicode Converter: text in one encoding to Unicode and back, with the conversion
// described by a UnicodeMapping.
//
// Conversions run over ICU. Text becoming Unicode is decomposed when the Unicode side asks
// for it:
//   kUnicodeCanonicalDecompVariant    full canonical decomposition (NFD), or, with the
//                                     mapping version kUnicodeUseHFSPlusMapping, the HFS
//                                     Plus decomposition;
//   kUnicodeHFSPlusDecompVariant      the HFS Plus decomposition.
// The HFS Plus decomposition is the canonical decomposition of Unicode 3.2 (the version
// HFS Plus names follow), leaving alone U+2000-U+2FFF, U+F900-U+FAFF and U+2F800-U+2FAFF as
// HFS Plus does: ICU's NFD filtered to the characters of Unicode 3.2 outside those ranges.
// Unicode becoming text is composed first (the same filter, composing), so decomposed input
// maps onto the precomposed characters of the legacy encodings.
//
// Conversions convert whole characters (a base character with its combining marks counts as
// one): *oSourceRead tells how many input bytes were converted, and the output holds exactly
// their conversion. Results:
//   noErr                          all the input was converted;
//   kTECOutputBufferFullStatus     the output buffer filled first;
//   kTECUnmappableElementErr       a character the output encoding cannot hold, and no
//                                  kUnicodeUseFallbacksMask (with it the character becomes
//                                  "?" (or U+FFFD) and the result is kTECUsedFallbacksStatus);
//   kTextMalformedInputErr         input bytes that are not valid in the input encoding;
//   kTextUndefinedElementErr       a byte the input encoding leaves undefined, without
//                                  fallbacks;
//   kTECPartialCharErr             the input ends inside a character;
//   paramErr                       null arguments, a Unicode length that is not whole
//                                  units, or offsets asked for (offset arrays are not
//                                  provided: pass 0 and null).
// kUnicodeLooseMappingsMask lets ICU use its fallback (loose) mappings where a character
// has no exact equivalent.
#pragma once

#include <Carbon/TextCommon.h>

typedef SInt32 UnicodeMapVersion;
enum : UnicodeMapVersion {
    kUnicodeUseLatestMapping = -1,
    kUnicodeUseHFSPlusMapping = 4,
};

struct UnicodeMapping {
    TextEncoding unicodeEncoding;  // a Unicode base (kTextEncodingUnicodeDefault ...)
    TextEncoding otherEncoding;
    UnicodeMapVersion mappingVersion;
};
typedef UnicodeMapping *UnicodeMappingPtr;
typedef const UnicodeMapping *ConstUnicodeMappingPtr;

typedef struct OpaqueTextToUnicodeInfo *TextToUnicodeInfo;
typedef struct OpaqueUnicodeToTextInfo *UnicodeToTextInfo;

// Control flags.
enum : OptionBits {
    kUnicodeUseFallbacksMask = 1u << 0,
    kUnicodeLooseMappingsMask = 1u << 5,
};

// A converter from otherEncoding to unicodeEncoding. paramErr for null arguments or a
// Unicode side that is not Unicode, kTextUnsupportedEncodingErr for an encoding (or a
// Unicode variant or format) this layer does not convert. *oInfo is set only on success.
OSStatus CreateTextToUnicodeInfo(ConstUnicodeMappingPtr iUnicodeMapping, TextToUnicodeInfo *oTextToUnicodeInfo);
// The same from `iEncoding` to UTF-16 (kTextEncodingUnicodeDefault, no decomposition).
OSStatus CreateTextToUnicodeInfoByEncoding(TextEncoding iEncoding, TextToUnicodeInfo *oTextToUnicodeInfo);
// A converter from unicodeEncoding to otherEncoding.
OSStatus CreateUnicodeToTextInfo(ConstUnicodeMappingPtr iUnicodeMapping, UnicodeToTextInfo *oUnicodeToTextInfo);
OSStatus CreateUnicodeToTextInfoByEncoding(TextEncoding iEncoding, UnicodeToTextInfo *oUnicodeToTextInfo);
// Disposes of the converter and sets *io to null. paramErr for a null pointer or a null
// converter.
OSStatus DisposeTextToUnicodeInfo(TextToUnicodeInfo *ioTextToUnicodeInfo);
OSStatus DisposeUnicodeToTextInfo(UnicodeToTextInfo *ioUnicodeToTextInfo);

// Converts iSourceLen bytes of text into at most iOutputBufLen bytes of Unicode (UTF-16
// units, or UTF-8 bytes when the Unicode side is UTF-8). See above for the results.
OSStatus ConvertFromTextToUnicode(TextToUnicodeInfo iTextToUnicodeInfo, ByteCount iSourceLen,
                                  ConstLogicalAddress iSourceStr, OptionBits iControlFlags, ItemCount iOffsetCount,
                                  const ByteOffset iOffsetArray[], ItemCount *oOffsetCount,
                                  ByteOffset oOffsetArray[], ByteCount iOutputBufLen, ByteCount *oSourceRead,
                                  ByteCount *oUnicodeLen, UniChar oUnicodeStr[]);

// Converts iUnicodeLen bytes of Unicode into at most iOutputBufLen bytes of text.
OSStatus ConvertFromUnicodeToText(UnicodeToTextInfo iUnicodeToTextInfo, ByteCount iUnicodeLen,
                                  const UniChar iUnicodeStr[], OptionBits iControlFlags, ItemCount iOffsetCount,
                                  const ByteOffset iOffsetArray[], ItemCount *oOffsetCount,
                                  ByteOffset oOffsetArray[], ByteCount iOutputBufLen, ByteCount *oInputRead,
                                  ByteCount *oOutputLen, LogicalAddress oOutputStr);
