// The UTF edge cases every layer that converts UTF must judge alike (the rule is
// CoreFoundation/CFStringUTF.h). Shared by the Core Foundation, Carbon and CoreX tests.
#pragma once

#include <string>

namespace utf_cases {

struct UTF8Case {
    const char *name;
    std::string bytes;
    std::u32string text;  // the code points when valid
    bool valid;
};

inline std::string B(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values) bytes.push_back(static_cast<char>(value));
    return bytes;
}

inline const UTF8Case kUTF8Cases[] = {
    {"ASCII", "ab", U"ab", true},
    {"two bytes", B({0xC3, 0xA9}), U"\u00E9", true},
    {"U+D7FF, below the surrogates", B({0xED, 0x9F, 0xBF}), U"\uD7FF", true},
    {"U+E000, above the surrogates", B({0xEE, 0x80, 0x80}), U"\uE000", true},
    {"U+FFFF", B({0xEF, 0xBF, 0xBF}), U"\uFFFF", true},
    {"U+10000", B({0xF0, 0x90, 0x80, 0x80}), U"\U00010000", true},
    {"U+10FFFF, the last code point", B({0xF4, 0x8F, 0xBF, 0xBF}), U"\U0010FFFF", true},
    {"0x110000, past the last code point", B({0xF4, 0x90, 0x80, 0x80}), U"", false},
    {"F5, a lead byte past U+10FFFF", B({0xF5, 0x80, 0x80, 0x80}), U"", false},
    {"an encoded high surrogate", B({'a', 0xED, 0xA0, 0x80}), U"", false},
    {"an encoded low surrogate", B({0xED, 0xBF, 0xBF}), U"", false},
    {"CESU-8 (a pair of encoded surrogates)", B({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}), U"", false},
    {"overlong two bytes (C0 AF)", B({0xC0, 0xAF}), U"", false},
    {"overlong two bytes (C1 BF)", B({0xC1, 0xBF}), U"", false},
    {"overlong three bytes", B({0xE0, 0x80, 0xAF}), U"", false},
    {"overlong four bytes", B({0xF0, 0x80, 0x80, 0xAF}), U"", false},
    {"overlong NUL", B({0xC0, 0x80}), U"", false},
    {"five bytes", B({0xF8, 0x88, 0x80, 0x80, 0x80}), U"", false},
    {"six bytes", B({0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}), U"", false},
    {"a stray continuation byte", B({'a', 0x80}), U"", false},
    {"a bad continuation", B({0xC3, 0x28}), U"", false},
    {"cut inside a character", B({'a', 0xE2, 0x82}), U"", false},
    {"FE", B({0xFE}), U"", false},
};

struct UTF16Case {
    const char *name;
    std::u16string units;
    std::u32string text;  // the code points when valid
    bool valid;
};

inline const UTF16Case kUTF16Cases[] = {
    {"BMP", u"a\u00E9\uFFFF", U"a\u00E9\uFFFF", true},
    {"a pair", {0xD83D, 0xDE00}, U"\U0001F600", true},
    {"U+10FFFF", {0xDBFF, 0xDFFF}, U"\U0010FFFF", true},
    {"a lone high surrogate at the end", {'a', 0xD800}, U"", false},
    {"a lone high surrogate before a letter", {0xDBFF, 'b'}, U"", false},
    {"a lone low surrogate", {'a', 0xDC00, 'b'}, U"", false},
    {"a reversed pair", {0xDE00, 0xD83D}, U"", false},
    {"two high surrogates", {0xD83D, 0xD83D, 0xDE00}, U"", false},
};

struct UTF32Case {
    const char *name;
    char32_t value;
    bool valid;
};

inline const UTF32Case kUTF32Cases[] = {
    {"U+0041", 0x41, true},         {"U+D7FF", 0xD7FF, true},         {"U+D800", 0xD800, false},
    {"U+DFFF", 0xDFFF, false},      {"U+E000", 0xE000, true},         {"U+10FFFF", 0x10FFFF, true},
    {"0x110000", 0x110000, false},  {"0xFFFFFFFF", 0xFFFFFFFF, false},
};

}  // namespace utf_cases
