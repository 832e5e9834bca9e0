#include "QtzPropertyList.h"

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFString.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>

namespace qtzbuild {

PlistValue PlistValue::String(std::string text) {
    PlistValue v;
    v.kind = Kind::String;
    v.text = std::move(text);
    return v;
}

PlistValue PlistValue::Integer(int64_t value) {
    PlistValue v;
    v.kind = Kind::Integer;
    v.integer = value;
    return v;
}

PlistValue PlistValue::Real(double value) {
    PlistValue v;
    v.kind = Kind::Real;
    v.real = value;
    return v;
}

PlistValue PlistValue::Boolean(bool value) {
    PlistValue v;
    v.kind = Kind::Boolean;
    v.boolean = value;
    return v;
}

PlistValue PlistValue::Data(std::string bytes) {
    PlistValue v;
    v.kind = Kind::Data;
    v.text = std::move(bytes);
    return v;
}

PlistValue PlistValue::Array(std::vector<PlistValue> items) {
    PlistValue v;
    v.kind = Kind::Array;
    v.items = std::move(items);
    return v;
}

PlistValue PlistValue::Dictionary() {
    PlistValue v;
    v.kind = Kind::Dictionary;
    return v;
}

PlistValue *PlistValue::find(const std::string &key) {
    if (kind != Kind::Dictionary) return nullptr;
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key) return &items[i];
    return nullptr;
}

const PlistValue *PlistValue::find(const std::string &key) const { return const_cast<PlistValue *>(this)->find(key); }

void PlistValue::set(const std::string &key, PlistValue value) {
    if (PlistValue *existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    keys.push_back(key);
    items.push_back(std::move(value));
}

bool PlistValue::remove(const std::string &key) {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key) {
            keys.erase(keys.begin() + std::ptrdiff_t(i));
            items.erase(items.begin() + std::ptrdiff_t(i));
            return true;
        }
    return false;
}

namespace {

std::string TextOf(CFStringRef string) {
    const CFIndex length = CFStringGetLength(string);
    const CFIndex capacity = CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8) + 1;
    std::string text(size_t(capacity), '\0');
    if (!CFStringGetCString(string, text.data(), capacity, kCFStringEncodingUTF8)) return {};
    text.resize(std::char_traits<char>::length(text.c_str()));
    return text;
}

bool Convert(CFTypeRef object, PlistValue *out, std::string *error) {
    const CFTypeID type = CFGetTypeID(object);
    if (type == CFStringGetTypeID()) {
        *out = PlistValue::String(TextOf(static_cast<CFStringRef>(object)));
    } else if (type == CFNumberGetTypeID()) {
        const auto number = static_cast<CFNumberRef>(object);
        if (CFNumberIsFloatType(number)) {
            double real = 0;
            CFNumberGetValue(number, kCFNumberFloat64Type, &real);
            *out = PlistValue::Real(real);
        } else {
            int64_t integer = 0;
            CFNumberGetValue(number, kCFNumberSInt64Type, &integer);
            *out = PlistValue::Integer(integer);
        }
    } else if (type == CFBooleanGetTypeID()) {
        *out = PlistValue::Boolean(CFBooleanGetValue(static_cast<CFBooleanRef>(object)));
    } else if (type == CFDataGetTypeID()) {
        const auto data = static_cast<CFDataRef>(object);
        const UInt8 *bytes = CFDataGetBytePtr(data);
        *out = PlistValue::Data(bytes ? std::string(reinterpret_cast<const char *>(bytes), size_t(CFDataGetLength(data)))
                                      : std::string());
    } else if (type == CFArrayGetTypeID()) {
        const auto array = static_cast<CFArrayRef>(object);
        *out = PlistValue::Array();
        const CFIndex count = CFArrayGetCount(array);
        out->items.resize(size_t(count));
        for (CFIndex i = 0; i < count; ++i)
            if (!Convert(CFArrayGetValueAtIndex(array, i), &out->items[size_t(i)], error)) return false;
    } else if (type == CFDictionaryGetTypeID()) {
        const auto dictionary = static_cast<CFDictionaryRef>(object);
        *out = PlistValue::Dictionary();
        const CFIndex count = CFDictionaryGetCount(dictionary);
        std::vector<const void *> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
        CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
        for (CFIndex i = 0; i < count; ++i) {
            if (!keys[size_t(i)] || CFGetTypeID(keys[size_t(i)]) != CFStringGetTypeID()) {
                *error = "a dictionary key that is not a string";
                return false;
            }
            PlistValue value;
            if (!Convert(values[size_t(i)], &value, error)) return false;
            out->keys.push_back(TextOf(static_cast<CFStringRef>(keys[size_t(i)])));
            out->items.push_back(std::move(value));
        }
    } else {
        *error = "a value of a type property lists do not have";
        return false;
    }
    return true;
}

// The length of the UTF-8 sequence at `p` (0 when it is not one).
size_t Utf8Length(const unsigned char *p, size_t left) {
    const unsigned char c = p[0];
    size_t n;
    uint32_t code;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) n = 2, code = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, code = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, code = c & 0x07;
    else return 0;
    if (left < n) return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        code = code << 6 | (p[i] & 0x3F);
    }
    if ((n == 3 && code < 0x800) || (n == 4 && (code < 0x10000 || code > 0x10FFFF)) || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return n;
}

class Writer {
public:
    bool write(const PlistValue &value, int depth) {
        if (depth > kCFPropertyListMaxDepth) return fail("nesting deeper than property lists are read");
        switch (value.kind) {
        case PlistValue::Kind::String:
            return element("string", value.text, depth);
        case PlistValue::Kind::Integer:
            indent(depth), out += "<integer>" + std::to_string(value.integer) + "</integer>\n";
            return true;
        case PlistValue::Kind::Real: {
            if (!std::isfinite(value.real)) return fail("a real that is not a finite number");
            char digits[64];
            const auto result = std::to_chars(digits, digits + sizeof digits, value.real);
            indent(depth), out += "<real>" + std::string(digits, result.ptr) + "</real>\n";
            return true;
        }
        case PlistValue::Kind::Boolean:
            indent(depth), out += value.boolean ? "<true/>\n" : "<false/>\n";
            return true;
        case PlistValue::Kind::Data:
            indent(depth), out += "<data>" + Base64(value.text) + "</data>\n";
            return true;
        case PlistValue::Kind::Array:
            if (value.items.empty()) return indent(depth), out += "<array/>\n", true;
            indent(depth), out += "<array>\n";
            for (const PlistValue &item : value.items)
                if (!write(item, depth + 1)) return false;
            indent(depth), out += "</array>\n";
            return true;
        case PlistValue::Kind::Dictionary: {
            if (value.keys.size() != value.items.size()) return fail("a dictionary whose keys and values differ in number");
            if (value.items.empty()) return indent(depth), out += "<dict/>\n", true;
            std::vector<size_t> order(value.keys.size());
            std::iota(order.begin(), order.end(), size_t(0));
            std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return value.keys[a] < value.keys[b]; });
            for (size_t i = 1; i < order.size(); ++i)
                if (value.keys[order[i]] == value.keys[order[i - 1]])
                    return fail("the key \"" + value.keys[order[i]] + "\" twice in one dictionary");
            indent(depth), out += "<dict>\n";
            for (size_t i : order) {
                if (!element("key", value.keys[i], depth + 1) || !write(value.items[i], depth + 1)) return false;
            }
            indent(depth), out += "</dict>\n";
            return true;
        }
        }
        return fail("a value of no known kind");
    }

    std::string out;
    std::string error;

private:
    bool fail(std::string message) {
        error = std::move(message);
        return false;
    }
    void indent(int depth) { out.append(size_t(depth), '\t'); }

    bool element(const char *tag, const std::string &text, int depth) {
        indent(depth);
        out += "<";
        out += tag;
        out += ">";
        const auto *p = reinterpret_cast<const unsigned char *>(text.data());
        for (size_t i = 0; i < text.size();) {
            const unsigned char c = p[i];
            switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '\r': out += "&#13;"; break;  // a raw one would be read back as a newline
            case '\t':
            case '\n': out += char(c); break;
            default:
                if (c < 0x20 || c == 0x7F)
                    return fail("a text holding the control character " + std::to_string(int(c)) +
                                ", which XML cannot carry");
                if (c >= 0x80) {
                    const size_t n = Utf8Length(p + i, text.size() - i);
                    if (n == 0) return fail("a text that is not UTF-8");
                    out.append(text, i, n);
                    i += n;
                    continue;
                }
                out += char(c);
            }
            ++i;
        }
        out += "</";
        out += tag;
        out += ">\n";
        return true;
    }

    static std::string Base64(const std::string &bytes) {
        static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string text;
        size_t i = 0;
        for (; i + 2 < bytes.size(); i += 3) {
            const uint32_t n = uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8 | uint8_t(bytes[i + 2]);
            text += alphabet[n >> 18], text += alphabet[n >> 12 & 63], text += alphabet[n >> 6 & 63], text += alphabet[n & 63];
        }
        if (bytes.size() - i == 1) {
            const uint32_t n = uint32_t(uint8_t(bytes[i])) << 16;
            text += alphabet[n >> 18], text += alphabet[n >> 12 & 63], text += "==";
        } else if (bytes.size() - i == 2) {
            const uint32_t n = uint32_t(uint8_t(bytes[i])) << 16 | uint32_t(uint8_t(bytes[i + 1])) << 8;
            text += alphabet[n >> 18], text += alphabet[n >> 12 & 63], text += alphabet[n >> 6 & 63], text += '=';
        }
        return text;
    }
};

}  // namespace

bool ReadPropertyList(const std::string &xml, PlistValue *out, std::string *error) {
    CFDataRef data = CFDataCreate(nullptr, reinterpret_cast<const UInt8 *>(xml.data()), CFIndex(xml.size()));
    if (!data) return *error = "out of memory", false;
    CFStringRef why = nullptr;
    CFPropertyListRef plist = CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, &why);
    CFRelease(data);
    if (!plist) {
        *error = "not an XML property list";
        if (why) {
            *error += " (" + TextOf(why) + ")";
            CFRelease(why);
        }
        return false;
    }
    const bool ok = Convert(plist, out, error);
    CFRelease(plist);
    return ok;
}

bool WritePropertyList(const PlistValue &value, std::string *xml, std::string *error) {
    Writer writer;
    writer.out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                 "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                 "<plist version=\"1.0\">\n";
    if (!writer.write(value, 0)) {
        *error = writer.error;
        return false;
    }
    writer.out += "</plist>\n";
    *xml = std::move(writer.out);
    return true;
}

}  // namespace qtzbuild
