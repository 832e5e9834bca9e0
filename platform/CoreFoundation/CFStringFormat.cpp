// printf-style formatting of strings. Every C conversion is handed to snprintf with the
// argument type its length modifier names; the object and Unicode conversions (%@, %C, %S,
// %lc, %ls) are done here.
#include <CoreFoundation/CFInternal.h>
#include <CoreFoundation/CFStringUTF.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <sys/types.h>

namespace cf {

namespace {

// Widths and numeric precisions beyond this are taken as a formatting error rather than a
// request for gigabytes of padding.
constexpr long long kMaximumPadding = 1 << 20;

enum class Length { None, HH, H, L, LL, BigL, J, Z, T };

const char *LengthText(Length length, bool floating) {
    switch (length) {
    case Length::HH: return "hh";
    case Length::H: return "h";
    case Length::L: return "l";
    case Length::LL: return "ll";
    case Length::BigL: return floating ? "L" : "ll";  // q and L on integers are long long
    case Length::J: return "j";
    case Length::Z: return "z";
    case Length::T: return "t";
    case Length::None: break;
    }
    return "";
}

// Text from the C library: UTF-8, or ISO Latin 1 when it is not UTF-8.
void AppendBytes(std::u16string &out, const char *bytes, size_t length) {
    const size_t mark = out.size();
    if (encoding::Decode(reinterpret_cast<const UInt8 *>(bytes), length, kCFStringEncodingUTF8, false, out)) return;
    out.resize(mark);
    for (size_t i = 0; i < length; ++i) out.push_back(static_cast<unsigned char>(bytes[i]));
}

template <class T>
bool Print(std::u16string &out, const std::string &spec, T value) {
    char small[256];
    const int size = std::snprintf(small, sizeof small, spec.c_str(), value);
    if (size < 0) return false;
    if (size_t(size) < sizeof small) {
        AppendBytes(out, small, size_t(size));
        return true;
    }
    std::string large(size_t(size) + 1, '\0');
    if (std::snprintf(large.data(), large.size(), spec.c_str(), value) != size) return false;
    AppendBytes(out, large.data(), size_t(size));
    return true;
}

// A wide character (%lc, %ls); one that is no Unicode scalar value becomes U+FFFD.
void AppendCodePoint(std::u16string &out, UInt32 codePoint) {
    const char32_t value = codePoint;
    utf::AppendUTF32AsUTF16(std::u32string_view(&value, 1), out, utf::OnInvalid::Replace);
}

struct Spec {
    std::string flags;
    bool hasWidth = false;
    long long width = 0;
    bool hasPrecision = false;
    long long precision = 0;
    Length length = Length::None;
    char conversion = 0;

    bool leftAligned() const { return flags.find('-') != std::string::npos; }

    std::string text() const {
        const bool floating = std::string_view("fFeEgGaA").find(conversion) != std::string_view::npos;
        std::string made = "%" + flags;
        if (hasWidth) made += std::to_string(width);
        if (hasPrecision) made += "." + std::to_string(precision);
        made += LengthText(length, floating);
        made += conversion;
        return made;
    }

    // Text produced here, cut to the precision and padded with blanks to the width.
    void place(std::u16string &out, std::u16string_view text) const {
        if (hasPrecision && size_t(precision) < text.size()) text = text.substr(0, size_t(precision));
        const size_t fill = hasWidth && size_t(width) > text.size() ? size_t(width) - text.size() : 0;
        if (!leftAligned()) out.append(fill, u' ');
        out.append(text);
        if (leftAligned()) out.append(fill, u' ');
    }
};

bool IsFlag(char16_t c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0' || c == '\''; }
bool IsDigit(char16_t c) { return c >= '0' && c <= '9'; }

// Reads digits into value; false when the number is out of bounds.
bool ReadNumber(std::u16string_view format, size_t &i, long long &value) {
    value = 0;
    while (i < format.size() && IsDigit(format[i])) {
        value = value * 10 + (format[i++] - '0');
        if (value > kMaximumPadding) return false;
    }
    return true;
}

bool PrintSigned(std::u16string &out, const Spec &spec, va_list *args) {
    const std::string text = spec.text();
    switch (spec.length) {
    case Length::L: return Print(out, text, va_arg(*args, long));
    case Length::LL:
    case Length::BigL: return Print(out, text, va_arg(*args, long long));
    case Length::J: return Print(out, text, va_arg(*args, intmax_t));
    case Length::Z: return Print(out, text, va_arg(*args, ssize_t));
    case Length::T: return Print(out, text, va_arg(*args, ptrdiff_t));
    default: return Print(out, text, va_arg(*args, int));  // hh and h are passed as int
    }
}

bool PrintUnsigned(std::u16string &out, const Spec &spec, va_list *args) {
    const std::string text = spec.text();
    switch (spec.length) {
    case Length::L: return Print(out, text, va_arg(*args, unsigned long));
    case Length::LL:
    case Length::BigL: return Print(out, text, va_arg(*args, unsigned long long));
    case Length::J: return Print(out, text, va_arg(*args, uintmax_t));
    case Length::Z: return Print(out, text, va_arg(*args, size_t));
    case Length::T: return Print(out, text, va_arg(*args, ptrdiff_t));
    default: return Print(out, text, va_arg(*args, unsigned));
    }
}

void PlaceObject(std::u16string &out, const Spec &spec, CFTypeRef object) {
    if (object == nullptr) {
        spec.place(out, u"(null)");
    } else if (String(object) != nullptr) {
        spec.place(out, Units(static_cast<CFStringRef>(object)));
    } else {
        CFStringRef description = CFCopyDescription(object);
        spec.place(out, Units(description));
        CFRelease(description);
    }
}

bool Format(std::u16string &out, std::u16string_view format, va_list *args) {
    size_t i = 0;
    while (i < format.size()) {
        if (format[i] != '%') {
            out.push_back(format[i++]);
            continue;
        }
        const size_t start = i++;
        Spec spec;
        while (i < format.size() && IsFlag(format[i])) spec.flags.push_back(char(format[i++]));
        if (i < format.size() && format[i] == '*') {
            ++i;
            const int width = va_arg(*args, int);
            spec.hasWidth = true;
            spec.width = width < 0 ? -static_cast<long long>(width) : width;
            if (width < 0) spec.flags.push_back('-');
            if (spec.width > kMaximumPadding) return false;
        } else if (i < format.size() && IsDigit(format[i])) {
            spec.hasWidth = true;
            if (!ReadNumber(format, i, spec.width)) return false;
        }
        if (i < format.size() && format[i] == '.') {
            ++i;
            spec.hasPrecision = true;
            if (i < format.size() && format[i] == '*') {
                ++i;
                const int precision = va_arg(*args, int);
                spec.hasPrecision = precision >= 0;  // a negative precision is taken as omitted
                spec.precision = precision;
            } else if (!ReadNumber(format, i, spec.precision)) {
                return false;
            }
        }
        if (i < format.size()) {
            switch (format[i]) {
            case 'h':
                ++i;
                spec.length = Length::H;
                if (i < format.size() && format[i] == 'h') ++i, spec.length = Length::HH;
                break;
            case 'l':
                ++i;
                spec.length = Length::L;
                if (i < format.size() && format[i] == 'l') ++i, spec.length = Length::LL;
                break;
            case 'q':
            case 'L': ++i, spec.length = Length::BigL; break;
            case 'j': ++i, spec.length = Length::J; break;
            case 'z': ++i, spec.length = Length::Z; break;
            case 't': ++i, spec.length = Length::T; break;
            default: break;
            }
        }
        if (i >= format.size()) {  // the format ends inside a conversion
            out.append(format.substr(start));
            break;
        }
        const char16_t conversion = format[i++];
        spec.conversion = conversion < 0x80 ? char(conversion) : '\0';
        const bool textual = std::u16string_view(u"sS@").find(conversion) != std::u16string_view::npos;
        if (spec.hasPrecision && !textual && spec.precision > kMaximumPadding) return false;

        bool printed = true;
        switch (spec.conversion) {
        case 'd':
        case 'i': printed = PrintSigned(out, spec, args); break;
        case 'u':
        case 'o':
        case 'x':
        case 'X': printed = PrintUnsigned(out, spec, args); break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            printed = spec.length == Length::BigL ? Print(out, spec.text(), va_arg(*args, long double))
                                                  : Print(out, spec.text(), va_arg(*args, double));
            break;
        case 'c':
            if (spec.length == Length::L) {
                std::u16string text;
                AppendCodePoint(text, UInt32(va_arg(*args, wint_t)));
                spec.place(out, text);
            } else {
                printed = Print(out, spec.text(), va_arg(*args, int));
            }
            break;
        case 'C': {
            const char16_t unit = char16_t(va_arg(*args, int));
            spec.place(out, std::u16string_view(&unit, 1));
            break;
        }
        case 's':
            if (spec.length == Length::L) {
                const wchar_t *wide = va_arg(*args, const wchar_t *);
                std::u16string text;
                if (wide == nullptr) text = u"(null)";
                for (size_t k = 0; wide != nullptr && !(spec.hasPrecision && k >= size_t(spec.precision)); ++k) {
                    if (wide[k] == 0) break;
                    AppendCodePoint(text, UInt32(wide[k]));
                }
                spec.place(out, text);
            } else {
                const char *text = va_arg(*args, const char *);
                printed = Print(out, spec.text(), text != nullptr ? text : "(null)");
            }
            break;
        case 'S': {
            const UniChar *units = va_arg(*args, const UniChar *);
            std::u16string_view text = u"(null)";
            if (units != nullptr) {
                size_t length = 0;
                while (!(spec.hasPrecision && length >= size_t(spec.precision)) && units[length] != 0) ++length;
                text = std::u16string_view(reinterpret_cast<const char16_t *>(units), length);
            }
            spec.place(out, text);
            break;
        }
        case 'p': printed = Print(out, spec.text(), va_arg(*args, void *)); break;
        case '@': PlaceObject(out, spec, va_arg(*args, CFTypeRef)); break;
        case 'n': (void)va_arg(*args, void *); break;  // never writes through the caller's pointer
        case '%': out.push_back(u'%'); break;
        default: out.append(format.substr(start, i - start)); break;  // unknown: kept as written
        }
        if (!printed) return false;
    }
    return true;
}

}  // namespace

bool AppendFormat(std::u16string &out, std::u16string_view format, va_list arguments) {
    va_list args;
    va_copy(args, arguments);
    const bool formatted = Format(out, format, &args);
    va_end(args);
    return formatted;
}

}  // namespace cf
