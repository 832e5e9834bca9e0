// CoreUnicode::string_t<CharT, SourceT>: a null-terminated array of CharT made from a
// null-terminated array of SourceT.
//
//   string_t<unsigned short, wchar_t>  narrows wide text to UTF-16: a character above
//                                      U+FFFF becomes a surrogate pair; a value that is
//                                      no Unicode scalar value (a surrogate, or past
//                                      U+10FFFF) becomes U+FFFD.
//   string_t<wchar_t, unsigned short>  widens UTF-16 to wide text (32-bit wchar_t): a
//                                      surrogate pair becomes one character; an unpaired
//                                      surrogate becomes U+FFFD.
// Both follow the system's one definition of UTF-16 and UTF-32 (CoreFoundation/CFStringUTF.h).
#pragma once

#include <cstddef>
#include <vector>

#include <CoreFoundation/CFStringUTF.h>

static_assert(sizeof(wchar_t) == 4, "wide text is UTF-32 on this platform");

namespace CoreUnicode {

template <class CharT, class SourceT>
class string_t;

namespace detail {

// The holder both conversions share: frees the old array, keeps the new one.
template <class CharT>
class buffer_t {
public:
    buffer_t() = default;
    buffer_t(const buffer_t &) = delete;
    buffer_t &operator=(const buffer_t &) = delete;
    ~buffer_t() { delete[] mString; }

    // The characters, ended by 0; null before the first assign and after a null one.
    const CharT *c_str() const { return mString; }
    // Characters before the terminator.
    std::size_t length() const { return mLength; }

protected:
    void Replace(const std::vector<CharT> &units) {
        CharT *made = new CharT[units.size() + 1];
        for (std::size_t i = 0; i < units.size(); ++i) made[i] = units[i];
        made[units.size()] = 0;
        delete[] mString;
        mString = made;
        mLength = units.size();
    }
    void Clear() {
        delete[] mString;
        mString = nullptr;
        mLength = 0;
    }

    CharT *mString = nullptr;
    std::size_t mLength = 0;
};

}  // namespace detail

template <>
class string_t<unsigned short, wchar_t> : public detail::buffer_t<unsigned short> {
public:
    string_t() = default;
    explicit string_t(const wchar_t *source) { assign(source); }

    // False (and no array) for a null source.
    bool assign(const wchar_t *source) {
        if (source == nullptr) {
            Clear();
            return false;
        }
        std::vector<unsigned short> units;
        for (const wchar_t *p = source; *p != 0; ++p) {
            unsigned short pair[2];
            std::size_t count = cf::utf::EncodeUTF16(static_cast<char32_t>(static_cast<unsigned>(*p)), pair);
            if (count == 0) count = cf::utf::EncodeUTF16(cf::utf::kReplacement, pair);
            units.insert(units.end(), pair, pair + count);
        }
        Replace(units);
        return true;
    }
};

template <>
class string_t<wchar_t, unsigned short> : public detail::buffer_t<wchar_t> {
public:
    string_t() = default;
    explicit string_t(const unsigned short *source) { assign(source); }

    // False (and no array) for a null source.
    bool assign(const unsigned short *source) {
        if (source == nullptr) {
            Clear();
            return false;
        }
        std::vector<wchar_t> characters;
        std::size_t length = 0;
        while (source[length] != 0) ++length;
        for (std::size_t i = 0; i < length;) {
            const cf::utf::Decoded character = cf::utf::DecodeUTF16(source + i, length - i);
            characters.push_back(static_cast<wchar_t>(
                character.verdict == cf::utf::Verdict::Valid ? character.value : cf::utf::kReplacement));
            i += character.length;
        }
        Replace(characters);
        return true;
    }
};

}  // namespace CoreUnicode
