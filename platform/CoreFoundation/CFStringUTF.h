// The one definition of UTF-8, UTF-16 and UTF-32 in the system. Every layer that converts
// between the three (Core Foundation strings, Core Text, the Carbon text converters, the
// foundation library's strings) uses these functions, so they agree on what is invalid:
//
//   - a code point is a Unicode scalar value: U+0000-U+D7FF or U+E000-U+10FFFF; a surrogate
//     value (U+D800-U+DFFF) on its own and any value past U+10FFFF are invalid;
//   - UTF-8 is the shortest form of a scalar value in 1 to 4 bytes: overlong forms, encoded
//     surrogates (so also CESU-8, which pairs two of them), lead bytes 0xF5-0xFF (five- and
//     six-byte forms) and stray continuation bytes are invalid;
//   - UTF-16 is a unit outside D800-DFFF, or a high surrogate followed by a low one.
//
// What a caller does with an invalid sequence (fail, or put U+FFFD in its place) is its own
// contract; a lossy caller replaces each maximal invalid subpart by one U+FFFD, as ICU does.
// Usable by every layer: no object, no allocation in the per-character functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cf::utf {

constexpr char32_t kReplacement = 0xFFFD;

constexpr bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
constexpr bool IsSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }
// A Unicode scalar value: what UTF-8, UTF-16 and UTF-32 may carry.
constexpr bool IsScalar(char32_t value) { return value <= 0x10FFFF && !IsSurrogate(value); }

enum class Verdict : std::uint8_t {
    Valid,      // `value` holds the code point
    Invalid,    // `length` units form a maximal invalid subpart
    Truncated,  // a valid beginning cut by the end of the input (`length` units)
};

struct Decoded {
    char32_t value;
    std::size_t length;  // units taken (at least 1 for non-empty input)
    Verdict verdict;
};

// The code point at the start of `length` (> 0) bytes of UTF-8.
constexpr Decoded DecodeUTF8(const unsigned char *bytes, std::size_t length) {
    const unsigned char lead = bytes[0];
    if (lead < 0x80) return {lead, 1, Verdict::Valid};
    std::size_t trail;
    char32_t value;
    unsigned char low = 0x80, high = 0xBF;  // the range of the next byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1, value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trail = 2, value = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong three-byte form
        if (lead == 0xED) high = 0x9F;  // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trail = 3, value = lead & 0x07;
        if (lead == 0xF0) low = 0x90;   // no overlong four-byte form
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return {0, 1, Verdict::Invalid};  // a continuation byte, C0/C1 (overlong), F5-FF
    }
    for (std::size_t k = 1; k <= trail; ++k) {
        if (k >= length) return {0, k, Verdict::Truncated};
        const unsigned char byte = bytes[k];
        if (byte < low || byte > high) return {0, k, Verdict::Invalid};
        value = value << 6 | (byte & 0x3F);
        low = 0x80, high = 0xBF;
    }
    return {value, trail + 1, Verdict::Valid};
}

// The code point at the start of `length` (> 0) UTF-16 units (any 16-bit unit type).
template <class Unit>
constexpr Decoded DecodeUTF16(const Unit *units, std::size_t length) {
    const char32_t unit = static_cast<char32_t>(static_cast<std::uint16_t>(units[0]));
    if (!IsSurrogate(unit)) return {unit, 1, Verdict::Valid};
    if (IsLowSurrogate(unit)) return {0, 1, Verdict::Invalid};
    if (length < 2) return {0, 1, Verdict::Truncated};
    const char32_t next = static_cast<char32_t>(static_cast<std::uint16_t>(units[1]));
    if (!IsLowSurrogate(next)) return {0, 1, Verdict::Invalid};
    return {0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), 2, Verdict::Valid};
}

// UTF-8 of a code point into out[0..3]: the byte count, 0 when it is no scalar value.
constexpr std::size_t EncodeUTF8(char32_t value, unsigned char *out) {
    if (!IsScalar(value)) return 0;
    if (value < 0x80) {
        out[0] = static_cast<unsigned char>(value);
        return 1;
    }
    if (value < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | value >> 6);
        out[1] = static_cast<unsigned char>(0x80 | (value & 0x3F));
        return 2;
    }
    if (value < 0x10000) {
        out[0] = static_cast<unsigned char>(0xE0 | value >> 12);
        out[1] = static_cast<unsigned char>(0x80 | ((value >> 6) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | (value & 0x3F));
        return 3;
    }
    out[0] = static_cast<unsigned char>(0xF0 | value >> 18);
    out[1] = static_cast<unsigned char>(0x80 | ((value >> 12) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | ((value >> 6) & 0x3F));
    out[3] = static_cast<unsigned char>(0x80 | (value & 0x3F));
    return 4;
}

// UTF-16 of a code point into out[0..1]: the unit count, 0 when it is no scalar value.
template <class Unit>
constexpr std::size_t EncodeUTF16(char32_t value, Unit *out) {
    if (!IsScalar(value)) return 0;
    if (value < 0x10000) {
        out[0] = static_cast<Unit>(value);
        return 1;
    }
    value -= 0x10000;
    out[0] = static_cast<Unit>(0xD800 + (value >> 10));
    out[1] = static_cast<Unit>(0xDC00 + (value & 0x3FF));
    return 2;
}

// What a whole-text conversion does with an invalid sequence.
enum class OnInvalid { Fail, Replace };

// Whole texts, appended to `out`. False at the first invalid sequence under Fail (`out`
// then holds what came before it); always true under Replace (U+FFFD per maximal invalid
// subpart, a truncated end included).
bool AppendUTF8AsUTF16(std::string_view bytes, std::u16string &out, OnInvalid onInvalid);
bool AppendUTF16AsUTF8(std::u16string_view units, std::string &out, OnInvalid onInvalid);
bool AppendUTF32AsUTF16(std::u32string_view values, std::u16string &out, OnInvalid onInvalid);
bool AppendUTF16AsUTF32(std::u16string_view units, std::u32string &out, OnInvalid onInvalid);

// Whether the text is valid as a whole.
bool IsValidUTF8(std::string_view bytes);
bool IsValidUTF16(std::u16string_view units);

}  // namespace cf::utf
