// Conversions between UTF-16 units and the encodings the system uses.
//
// UTF-8 and UTF-16 follow the one definition of CFStringUTF.h; ASCII and NonLossyASCII are
// converted here. The single-byte encodings are table driven: Mac Roman, Windows Latin 1
// and ISO Latin 1 tables are read once from ICU ("macintosh", "windows-1252",
// "ISO-8859-1"), the same source the Carbon text converters use, so both layers give every
// byte the same character (Mac Roman 0xC6 is U+2206 INCREMENT, 0xF0 the Apple logo U+F8FF).
// NeXTSTEP Latin, which ICU lacks, has its own table below.
#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFStringUTF.h>

#include <array>
#include <bit>
#include <cstring>
#include <unordered_map>

#include <unicode/ucnv.h>

namespace cf::encoding {

namespace {

constexpr UniChar kNoCharacter = 0xFFFF;  // a byte without a character in a table

// A single-byte encoding: one character per byte, ASCII below 0x80 in every table here.
struct ByteTable {
    bool available = false;
    std::array<UniChar, 256> toUnicode{};
    std::unordered_map<UniChar, UInt8> fromUnicode;

    void finish() {
        for (int byte = 0; byte < 256; ++byte)  // the lowest byte wins for a character twice present
            if (toUnicode[byte] != kNoCharacter) fromUnicode.emplace(toUnicode[byte], UInt8(byte));
        available = true;
    }
};

// The table of an ICU converter: every byte that decodes to one UTF-16 unit by an exact
// (round-trip) mapping.
ByteTable TableFromICU(const char *name) {
    ByteTable table;
    table.toUnicode.fill(kNoCharacter);
    UErrorCode error = U_ZERO_ERROR;
    UConverter *converter = ucnv_open(name, &error);
    if (U_FAILURE(error)) return table;  // not available
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &error);
    ucnv_setFallback(converter, false);
    for (int byte = 0; byte < 256; ++byte) {
        const char in = static_cast<char>(byte);
        UChar out[4];
        error = U_ZERO_ERROR;
        ucnv_resetToUnicode(converter);
        const int32_t length = ucnv_toUChars(converter, out, 4, &in, 1, &error);
        if (U_SUCCESS(error) && length == 1 && !utf::IsSurrogate(out[0]) && out[0] != 0xFFFD)
            table.toUnicode[byte] = UniChar(out[0]);
    }
    ucnv_close(converter);
    return table;
}

const ByteTable &MacRomanTable() {
    static const ByteTable table = [] {
        ByteTable made = TableFromICU("macintosh");
        made.finish();
        return made;
    }();
    return table;
}

const ByteTable &WindowsLatin1Table() {
    static const ByteTable table = [] {
        ByteTable made = TableFromICU("windows-1252");
        // Windows leaves 0x81, 0x8D, 0x8F, 0x90 and 0x9D unassigned; ICU carries them over as
        // the C1 controls of the same value, which are no characters of this encoding.
        for (int byte = 0x80; byte < 0xA0; ++byte)
            if (made.toUnicode[byte] == UniChar(byte)) made.toUnicode[byte] = kNoCharacter;
        made.finish();
        return made;
    }();
    return table;
}

const ByteTable &ISOLatin1Table() {
    static const ByteTable table = [] {
        ByteTable made = TableFromICU("ISO-8859-1");
        made.finish();
        return made;
    }();
    return table;
}

// NeXTSTEP Latin, bytes 0x80-0xFF (0xFE and 0xFF have no character). ASCII below.
constexpr UniChar kNextStepHigh[128] = {
    0x00A0, 0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C7,  // 0x80
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF,  // 0x88
    0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D9,  // 0x90
    0x00DA, 0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00B5, 0x00D7, 0x00F7,  // 0x98
    0x00A9, 0x00A1, 0x00A2, 0x00A3, 0x2044, 0x00A5, 0x0192, 0x00A7,  // 0xA0
    0x00A4, 0x0027, 0x201C, 0x00AB, 0x2039, 0x203A, 0xFB01, 0xFB02,  // 0xA8
    0x00AE, 0x2013, 0x2020, 0x2021, 0x00B7, 0x00A6, 0x00B6, 0x2022,  // 0xB0
    0x201A, 0x201E, 0x201D, 0x00BB, 0x2026, 0x2030, 0x00AC, 0x00BF,  // 0xB8
    0x00B9, 0x0060, 0x00B4, 0x02C6, 0x02DC, 0x00AF, 0x02D8, 0x02D9,  // 0xC0
    0x00A8, 0x00B2, 0x02DA, 0x00B8, 0x00B3, 0x02DD, 0x02DB, 0x02C7,  // 0xC8
    0x2014, 0x00B1, 0x00BC, 0x00BD, 0x00BE, 0x00E0, 0x00E1, 0x00E2,  // 0xD0
    0x00E3, 0x00E4, 0x00E5, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB,  // 0xD8
    0x00EC, 0x00C6, 0x00ED, 0x00AA, 0x00EE, 0x00EF, 0x00F0, 0x00F1,  // 0xE0
    0x0141, 0x00D8, 0x0152, 0x00BA, 0x00F2, 0x00F3, 0x00F4, 0x00F5,  // 0xE8
    0x00F6, 0x00E6, 0x00F9, 0x00FA, 0x00FB, 0x0131, 0x00FC, 0x00FD,  // 0xF0
    0x0142, 0x00F8, 0x0153, 0x00DF, 0x00FE, 0x00FF, kNoCharacter, kNoCharacter,  // 0xF8
};

const ByteTable &NextStepTable() {
    static const ByteTable table = [] {
        ByteTable made;
        for (int byte = 0; byte < 128; ++byte) made.toUnicode[byte] = UniChar(byte);
        for (int byte = 128; byte < 256; ++byte) made.toUnicode[byte] = kNextStepHigh[byte - 128];
        made.finish();
        return made;
    }();
    return table;
}

const ByteTable *TableFor(CFStringEncoding encoding) {
    switch (encoding) {
    case kCFStringEncodingMacRoman: return &MacRomanTable();
    case kCFStringEncodingWindowsLatin1: return &WindowsLatin1Table();
    case kCFStringEncodingISOLatin1: return &ISOLatin1Table();
    case kCFStringEncodingNextStepLatin: return &NextStepTable();
    default: return nullptr;
    }
}

enum class ByteOrder { Little, Big };
constexpr ByteOrder kHostOrder = std::endian::native == std::endian::little ? ByteOrder::Little : ByteOrder::Big;

UniChar ReadUnit(const UInt8 *bytes, ByteOrder order) {
    return order == ByteOrder::Little ? UniChar(bytes[0] | bytes[1] << 8) : UniChar(bytes[0] << 8 | bytes[1]);
}

void WriteUnit(UInt8 *bytes, UniChar unit, ByteOrder order) {
    if (order == ByteOrder::Little) {
        bytes[0] = UInt8(unit);
        bytes[1] = UInt8(unit >> 8);
    } else {
        bytes[0] = UInt8(unit >> 8);
        bytes[1] = UInt8(unit);
    }
}

int HexValue(UInt8 c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool DecodeNonLossyASCII(const UInt8 *bytes, size_t length, std::u16string &out) {
    size_t i = 0;
    while (i < length) {
        const UInt8 c = bytes[i];
        if (c >= 0x80) return false;
        if (c != '\\') {
            out.push_back(c);
            ++i;
            continue;
        }
        if (i + 1 >= length) return false;
        const UInt8 next = bytes[i + 1];
        if (next == '\\') {
            out.push_back(u'\\');
            i += 2;
        } else if (next == 'u') {
            if (length - i < 6) return false;
            UniChar unit = 0;
            for (size_t k = 2; k < 6; ++k) {
                const int digit = HexValue(bytes[i + k]);
                if (digit < 0) return false;
                unit = UniChar(unit << 4 | digit);
            }
            out.push_back(unit);
            i += 6;
        } else if (next >= '0' && next <= '3') {
            if (length - i < 4) return false;
            UniChar unit = 0;
            for (size_t k = 1; k < 4; ++k) {
                const UInt8 digit = bytes[i + k];
                if (digit < '0' || digit > '7') return false;
                unit = UniChar(unit << 3 | (digit - '0'));
            }
            out.push_back(unit);
            i += 4;
        } else {
            return false;
        }
    }
    return true;
}

// Encodes the character at units[index] into bytes; consumed receives the units it takes
// (2 for a surrogate pair). False when the encoding cannot represent it; a lone surrogate
// has no form in any encoding but NonLossyASCII.
bool EncodeCharacter(std::u16string_view units, size_t index, CFStringEncoding encoding, UInt8 *bytes,
                     size_t &count, size_t &consumed) {
    const UniChar unit = units[index];
    const utf::Decoded character = utf::DecodeUTF16(units.data() + index, units.size() - index);
    const bool pair = character.verdict == utf::Verdict::Valid && character.length == 2;
    consumed = pair ? 2 : 1;
    switch (encoding) {
    case kCFStringEncodingUTF8:
        if (character.verdict != utf::Verdict::Valid) return false;
        count = utf::EncodeUTF8(character.value, bytes);
        return true;
    case kCFStringEncodingUnicode:
    case kCFStringEncodingUTF16BE:
    case kCFStringEncodingUTF16LE: {
        if (character.verdict != utf::Verdict::Valid) return false;
        const ByteOrder order = encoding == kCFStringEncodingUnicode ? kHostOrder
                                : encoding == kCFStringEncodingUTF16BE ? ByteOrder::Big
                                                                        : ByteOrder::Little;
        WriteUnit(bytes, unit, order);
        if (pair) WriteUnit(bytes + 2, units[index + 1], order);
        count = 2 * consumed;
        return true;
    }
    case kCFStringEncodingASCII:
        if (unit >= 0x80) return false;
        bytes[0] = UInt8(unit), count = 1;
        return true;
    case kCFStringEncodingNonLossyASCII: {
        count = 0;
        for (size_t k = 0; k < consumed; ++k) {
            const UniChar each = units[index + k];
            if (each == '\\') {
                bytes[count++] = '\\', bytes[count++] = '\\';
            } else if (each < 0x80) {
                bytes[count++] = UInt8(each);
            } else if (each < 0x100) {
                bytes[count++] = '\\';
                bytes[count++] = UInt8('0' + (each >> 6));
                bytes[count++] = UInt8('0' + ((each >> 3) & 7));
                bytes[count++] = UInt8('0' + (each & 7));
            } else {
                static constexpr char kHex[] = "0123456789abcdef";
                bytes[count++] = '\\', bytes[count++] = 'u';
                for (int shift = 12; shift >= 0; shift -= 4) bytes[count++] = UInt8(kHex[(each >> shift) & 0xF]);
            }
        }
        return true;
    }
    default: {
        const ByteTable *table = TableFor(encoding);
        if (table == nullptr || pair) return false;
        const auto found = table->fromUnicode.find(unit);
        if (found == table->fromUnicode.end()) return false;
        bytes[0] = found->second, count = 1;
        return true;
    }
    }
}

}  // namespace

bool IsAvailable(CFStringEncoding encoding) {
    switch (encoding) {
    case kCFStringEncodingUTF8:
    case kCFStringEncodingUnicode:
    case kCFStringEncodingUTF16BE:
    case kCFStringEncodingUTF16LE:
    case kCFStringEncodingASCII:
    case kCFStringEncodingNonLossyASCII:
        return true;
    default: {
        const ByteTable *table = TableFor(encoding);
        return table != nullptr && table->available;
    }
    }
}

bool IsASCIICompatible(CFStringEncoding encoding) {
    switch (encoding) {
    case kCFStringEncodingUTF8:
    case kCFStringEncodingASCII:
    case kCFStringEncodingMacRoman:
    case kCFStringEncodingWindowsLatin1:
    case kCFStringEncodingISOLatin1:
    case kCFStringEncodingNextStepLatin:
        return true;
    default:
        return false;  // NonLossyASCII doubles the backslash
    }
}

bool IsUTF16(CFStringEncoding encoding) {
    return encoding == kCFStringEncodingUnicode || encoding == kCFStringEncodingUTF16BE ||
           encoding == kCFStringEncodingUTF16LE;
}

CFIndex MaximumBytesPerUnit(CFStringEncoding encoding) {
    if (!IsAvailable(encoding)) return 0;
    if (encoding == kCFStringEncodingUTF8) return 3;  // a surrogate pair takes 4 bytes for 2 units
    if (IsUTF16(encoding)) return 2;
    if (encoding == kCFStringEncodingNonLossyASCII) return 6;  // \uXXXX
    return 1;
}

bool Decode(const UInt8 *bytes, size_t length, CFStringEncoding encoding, bool external, std::u16string &out) {
    if (length == 0) return IsAvailable(encoding);
    switch (encoding) {
    case kCFStringEncodingUTF8:
        if (external && length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
            bytes += 3;
            length -= 3;
        }
        return utf::AppendUTF8AsUTF16(std::string_view(reinterpret_cast<const char *>(bytes), length), out,
                                      utf::OnInvalid::Fail);
    case kCFStringEncodingUnicode:
    case kCFStringEncodingUTF16BE:
    case kCFStringEncodingUTF16LE: {
        if (length % 2 != 0) return false;
        ByteOrder order = encoding == kCFStringEncodingUnicode ? kHostOrder
                          : encoding == kCFStringEncodingUTF16BE ? ByteOrder::Big
                                                                  : ByteOrder::Little;
        if (encoding == kCFStringEncodingUnicode && external) {
            if (bytes[0] == 0xFE && bytes[1] == 0xFF) {
                order = ByteOrder::Big, bytes += 2, length -= 2;
            } else if (bytes[0] == 0xFF && bytes[1] == 0xFE) {
                order = ByteOrder::Little, bytes += 2, length -= 2;
            }
        }
        const size_t start = out.size();
        out.reserve(start + length / 2);
        for (size_t i = 0; i < length; i += 2) out.push_back(ReadUnit(bytes + i, order));
        return utf::IsValidUTF16(std::u16string_view(out).substr(start));  // no lone surrogate
    }
    case kCFStringEncodingASCII:
        for (size_t i = 0; i < length; ++i) {
            if (bytes[i] >= 0x80) return false;
            out.push_back(bytes[i]);
        }
        return true;
    case kCFStringEncodingNonLossyASCII:
        return DecodeNonLossyASCII(bytes, length, out);
    default: {
        const ByteTable *table = TableFor(encoding);
        if (table == nullptr || !table->available) return false;
        out.reserve(out.size() + length);
        for (size_t i = 0; i < length; ++i) {
            const UniChar unit = table->toUnicode[bytes[i]];
            if (unit == kNoCharacter) return false;
            out.push_back(unit);
        }
        return true;
    }
    }
}

EncodeResult Encode(std::u16string_view units, CFStringEncoding encoding, UInt8 lossByte, bool external,
                    UInt8 *buffer, CFIndex capacity) {
    EncodeResult result;
    if (!IsAvailable(encoding)) return result;
    if (external && (encoding == kCFStringEncodingUnicode)) {  // a byte-order mark first
        if (buffer != nullptr) {
            if (capacity < 2) return result;
            WriteUnit(buffer, 0xFEFF, kHostOrder);
        }
        result.bytes = 2;
    }
    size_t index = 0;
    while (index < units.size()) {
        UInt8 bytes[16];
        size_t count = 0, consumed = 1;
        if (!EncodeCharacter(units, index, encoding, bytes, count, consumed)) {
            if (lossByte == 0) break;
            if (IsUTF16(encoding)) {  // the loss character is one whole unit
                WriteUnit(bytes, lossByte,
                          encoding == kCFStringEncodingUnicode ? kHostOrder
                          : encoding == kCFStringEncodingUTF16BE ? ByteOrder::Big
                                                                  : ByteOrder::Little);
                count = 2;
            } else {
                bytes[0] = lossByte, count = 1;
            }
        }
        if (buffer != nullptr) {
            if (CFIndex(count) > capacity - result.bytes) break;
            std::memcpy(buffer + result.bytes, bytes, count);
        }
        result.bytes += CFIndex(count);
        result.units += CFIndex(consumed);
        index += consumed;
    }
    return result;
}

UniChar FoldCase(UniChar c) {
    if (c < 0x80) return (c >= 'A' && c <= 'Z') ? UniChar(c + 32) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return UniChar(c + 32);
    if (c >= 0x100 && c <= 0x17F) {  // Latin Extended-A: upper case at the even (or odd) place of each pair
        if (c == 0x130) return u'i';
        if (c == 0x178) return 0xFF;
        if ((c <= 0x137 || (c >= 0x14A && c <= 0x177)) && c % 2 == 0) return UniChar(c + 1);
        if (((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) && c % 2 == 1) return UniChar(c + 1);
        return c;
    }
    if (c >= 0x370 && c <= 0x3FF) {  // Greek
        if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return UniChar(c + 32);
        if (c == 0x386) return 0x3AC;
        if (c >= 0x388 && c <= 0x38A) return UniChar(c + 37);
        if (c == 0x38C) return 0x3CC;
        if (c == 0x38E || c == 0x38F) return UniChar(c + 63);
        if (c == 0x3C2) return 0x3C3;  // final sigma
        return c;
    }
    if (c >= 0x400 && c <= 0x4FF) {  // Cyrillic
        if (c <= 0x40F) return UniChar(c + 80);
        if (c <= 0x42F) return UniChar(c + 32);
        if (((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF)) && c % 2 == 0) return UniChar(c + 1);
        return c;
    }
    if (c >= 0xFF21 && c <= 0xFF3A) return UniChar(c + 32);  // full-width Latin
    return c;
}

}  // namespace cf::encoding
