// Whole-text conversions between UTF-8, UTF-16 and UTF-32 (the rules are in CFStringUTF.h).
#include <CoreFoundation/CFStringUTF.h>

namespace cf::utf {

namespace {

const unsigned char *BytesOf(std::string_view text) { return reinterpret_cast<const unsigned char *>(text.data()); }

}  // namespace

bool AppendUTF8AsUTF16(std::string_view bytes, std::u16string &out, OnInvalid onInvalid) {
    out.reserve(out.size() + bytes.size());
    const unsigned char *at = BytesOf(bytes);
    std::size_t left = bytes.size();
    while (left > 0) {
        if (*at < 0x80) {  // the common case first
            out.push_back(char16_t(*at++));
            --left;
            continue;
        }
        const Decoded decoded = DecodeUTF8(at, left);
        char16_t units[2];
        if (decoded.verdict == Verdict::Valid) {
            out.append(units, EncodeUTF16(decoded.value, units));
        } else {
            if (onInvalid == OnInvalid::Fail) return false;
            out.push_back(char16_t(kReplacement));
        }
        at += decoded.length;
        left -= decoded.length;
    }
    return true;
}

bool AppendUTF16AsUTF8(std::u16string_view units, std::string &out, OnInvalid onInvalid) {
    out.reserve(out.size() + units.size());
    std::size_t i = 0;
    while (i < units.size()) {
        if (units[i] < 0x80) {
            out.push_back(char(units[i++]));
            continue;
        }
        const Decoded decoded = DecodeUTF16(units.data() + i, units.size() - i);
        unsigned char bytes[4];
        std::size_t count;
        if (decoded.verdict == Verdict::Valid) {
            count = EncodeUTF8(decoded.value, bytes);
        } else {
            if (onInvalid == OnInvalid::Fail) return false;
            count = EncodeUTF8(kReplacement, bytes);
        }
        out.append(reinterpret_cast<const char *>(bytes), count);
        i += decoded.length;
    }
    return true;
}

bool AppendUTF32AsUTF16(std::u32string_view values, std::u16string &out, OnInvalid onInvalid) {
    out.reserve(out.size() + values.size());
    for (const char32_t value : values) {
        char16_t units[2];
        std::size_t count = EncodeUTF16(value, units);
        if (count == 0) {
            if (onInvalid == OnInvalid::Fail) return false;
            count = EncodeUTF16(kReplacement, units);
        }
        out.append(units, count);
    }
    return true;
}

bool AppendUTF16AsUTF32(std::u16string_view units, std::u32string &out, OnInvalid onInvalid) {
    out.reserve(out.size() + units.size());
    std::size_t i = 0;
    while (i < units.size()) {
        const Decoded decoded = DecodeUTF16(units.data() + i, units.size() - i);
        if (decoded.verdict == Verdict::Valid) {
            out.push_back(decoded.value);
        } else {
            if (onInvalid == OnInvalid::Fail) return false;
            out.push_back(kReplacement);
        }
        i += decoded.length;
    }
    return true;
}

bool IsValidUTF8(std::string_view bytes) {
    const unsigned char *at = BytesOf(bytes);
    std::size_t left = bytes.size();
    while (left > 0) {
        const Decoded decoded = DecodeUTF8(at, left);
        if (decoded.verdict != Verdict::Valid) return false;
        at += decoded.length;
        left -= decoded.length;
    }
    return true;
}

bool IsValidUTF16(std::u16string_view units) {
    std::size_t i = 0;
    while (i < units.size()) {
        const Decoded decoded = DecodeUTF16(units.data() + i, units.size() - i);
        if (decoded.verdict != Verdict::Valid) return false;
        i += decoded.length;
    }
    return true;
}

}  // namespace cf::utf
