// Text encodings: the 32-bit TextEncoding value (base, variant, format), scripts, languages
// and regions, and the mapping between a script (with its region) and a text encoding.
//
// The Mac encodings this layer converts (Text Encoding Converter, Unicode Converter) are
// those ICU has tables for: MacRoman, MacGreek, MacCyrillic, MacUkrainian,
// MacCentralEurRoman and MacTurkish, plus Unicode (UTF-16 in host byte order, UTF-8). The
// other Mac encodings are known by number (UpgradeScriptInfoToTextEncoding answers them) but
// creating a converter for them answers kTextUnsupportedEncodingErr.
#pragma once

#include <Carbon/MacErrors.h>

typedef UInt32 TextEncoding;
typedef UInt32 TextEncodingBase;
typedef UInt32 TextEncodingVariant;
typedef UInt32 TextEncodingFormat;
typedef SInt16 ScriptCode;
typedef SInt16 LangCode;
typedef SInt16 RegionCode;
typedef UInt32 OptionBits;
typedef unsigned long ItemCount;
typedef unsigned long ByteOffset;
typedef void *LogicalAddress;
typedef const void *ConstLogicalAddress;
typedef unsigned long UniCharCount;
typedef UInt8 *TextPtr;
typedef const UInt8 *ConstTextPtr;

// Base encodings.
enum : TextEncodingBase {
    kTextEncodingMacRoman = 0,
    kTextEncodingMacJapanese = 1,
    kTextEncodingMacChineseTrad = 2,
    kTextEncodingMacKorean = 3,
    kTextEncodingMacArabic = 4,
    kTextEncodingMacHebrew = 5,
    kTextEncodingMacGreek = 6,
    kTextEncodingMacCyrillic = 7,
    kTextEncodingMacThai = 21,
    kTextEncodingMacChineseSimp = 25,
    kTextEncodingMacCentralEurRoman = 29,
    kTextEncodingMacTurkish = 35,
    kTextEncodingMacCroatian = 36,
    kTextEncodingMacIcelandic = 37,
    kTextEncodingMacRomanian = 38,
    kTextEncodingMacFarsi = 0x8C,
    kTextEncodingMacUkrainian = 0x98,
    kTextEncodingUnicodeDefault = 0x0100,
    kTextEncodingUnicodeV2_0 = 0x0103,
};

// Variants of the Unicode bases.
enum : TextEncodingVariant {
    kTextEncodingDefaultVariant = 0,
    kUnicodeNoSubset = 0,
    kUnicodeCanonicalDecompVariant = 2,  // fully decomposed (NFD)
    kUnicodeHFSPlusDecompVariant = 8,    // decomposed as HFS Plus stores names (see UnicodeConverter.h)
};

// Formats of the Unicode bases.
enum : TextEncodingFormat {
    kTextEncodingDefaultFormat = 0,
    kUnicode16BitFormat = 0,  // UTF-16 in the host's byte order
    kUnicodeUTF8Format = 2,
};

// Scripts (the script codes are also the base encodings of the scripts).
enum : ScriptCode {
    smSystemScript = -1,  // the system's script: smRoman here
    smRoman = 0,
    smJapanese = 1,
    smTradChinese = 2,
    smKorean = 3,
    smArabic = 4,
    smHebrew = 5,
    smGreek = 6,
    smCyrillic = 7,
    smThai = 21,
    smSimpChinese = 25,
    smCentralEuroRoman = 29,
    kTextScriptDontCare = -128,
};

enum : LangCode {
    kTextLanguageDontCare = -128,
};

// Regions (the Script Manager's region codes).
enum : RegionCode {
    verUS = 0,
    verFrance = 1,
    verBritain = 2,
    verGermany = 3,
    verItaly = 4,
    verNetherlands = 5,
    verFlemish = 6,
    verSweden = 7,
    verSpain = 8,
    verDenmark = 9,
    verPortugal = 10,
    verFrCanada = 11,
    verNorway = 12,
    verIsrael = 13,
    verJapan = 14,
    verAustralia = 15,
    verArabic = 16,
    verFinland = 17,
    verFrSwiss = 18,
    verGrSwiss = 19,
    verGreece = 20,
    verIceland = 21,
    verTurkey = 24,
    verItalianSwiss = 36,
    verRomania = 39,
    verLithuania = 41,
    verPoland = 42,
    verHungary = 43,
    verEstonia = 44,
    verLatvia = 45,
    verIran = 48,
    verRussia = 49,
    verIreland = 50,
    verKorea = 51,
    verChina = 52,
    verTaiwan = 53,
    verThailand = 54,
    verCzech = 56,
    verSlovak = 57,
    verUkraine = 62,
    verSlovenian = 66,
    verCroatia = 68,
    verBrazil = 71,
    verBulgaria = 72,
    verCatalonia = 73,
    verAustria = 92,
    kTextRegionDontCare = -128,
};

// The encoding made of its three parts (variant and format of a base that has none are 0).
TextEncoding CreateTextEncoding(TextEncodingBase encodingBase, TextEncodingVariant encodingVariant,
                                TextEncodingFormat encodingFormat);
TextEncodingBase GetTextEncodingBase(TextEncoding encoding);
TextEncodingVariant GetTextEncodingVariant(TextEncoding encoding);
TextEncodingFormat GetTextEncodingFormat(TextEncoding encoding);

// The text encoding of a script in a region: the script's base encoding, or the region's
// own variant of it (Icelandic, Turkish, Croatian and Romanian for smRoman, Ukrainian for
// smCyrillic, Farsi for smArabic). iTextScriptID kTextScriptDontCare takes the region's
// script; smSystemScript is smRoman. Language and font name are not consulted.
// paramErr when the region is not one of the script's regions, or the script or region is
// not known, or for a null output (left alone on every error).
OSStatus UpgradeScriptInfoToTextEncoding(ScriptCode iTextScriptID, LangCode iTextLanguageID,
                                         RegionCode iRegionID, ConstStr255Param iTextFontname,
                                         TextEncoding *oEncoding);

// The script of an encoding (a region variant answers its script). *oTextLanguageID is
// kTextLanguageDontCare and oTextFontname, when given, the empty name. paramErr for an
// encoding without a script (Unicode) or an unknown base; null outputs are skipped.
OSStatus RevertTextEncodingToScriptInfo(TextEncoding iEncoding, ScriptCode *oTextScriptID,
                                        LangCode *oTextLanguageID, Str255 oTextFontname);
