#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFPropertyListXML.h>

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFNumber.h>

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace {

struct PlistDeleter {
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

struct CFDeleter {
    void operator()(CFTypeRef object) const { CFRelease(object); }
};
using CFHolder = std::unique_ptr<const void, CFDeleter>;

// libplist keeps an integer as 64 bits and a sign flag that only its XML writer shows: a
// value above 2^63-1 is either negative (fits an SInt64) or a large unsigned value (does not).
bool IsNegativeInteger(plist_t node) {
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    const bool negative = xml != nullptr && std::strstr(xml, "<integer>-") != nullptr;
    plist_to_xml_free(xml);
    return negative;
}

CFStringRef StringFromUTF8(const char *text, size_t length) {
    if (text == nullptr) return CFStringCreateWithBytes(kCFAllocatorDefault, nullptr, 0, kCFStringEncodingUTF8, false);
    if (length > size_t(std::numeric_limits<CFIndex>::max())) return nullptr;
    return CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(text), CFIndex(length),
                                   kCFStringEncodingUTF8, false);
}

// The Core Foundation object of a node (created), or null with the reason.
CFTypeRef ObjectOf(plist_t node, int depth, const char **why) {
    if (depth > kCFPropertyListMaxDepth) return *why = "property list nested too deep", nullptr;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t flag = 0;
        plist_get_bool_val(node, &flag);
        return CFRetain(flag != 0 ? kCFBooleanTrue : kCFBooleanFalse);
    }
    case PLIST_UINT: {
        uint64_t number = 0;
        plist_get_uint_val(node, &number);
        if (number > uint64_t(std::numeric_limits<int64_t>::max()) && !IsNegativeInteger(node))
            return *why = "integer above 2^63-1", nullptr;
        const int64_t value = int64_t(number);
        return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &value);
    }
    case PLIST_REAL: {
        double number = 0;
        plist_get_real_val(node, &number);
        return CFNumberCreate(kCFAllocatorDefault, kCFNumberDoubleType, &number);
    }
    case PLIST_STRING: {
        // With its length: libplist's copying getter aborts on a NUL inside the string (the
        // whole text was checked for NUL bytes, so this is a second guard).
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        if (text != nullptr && std::memchr(text, 0, size_t(length)) != nullptr)
            return *why = "string with a NUL character", nullptr;
        CFStringRef string = StringFromUTF8(text, size_t(length));
        if (string == nullptr) *why = "string that is not UTF-8";
        return string;
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        const char *bytes = plist_get_data_ptr(node, &length);
        if (length > uint64_t(std::numeric_limits<CFIndex>::max())) return *why = "data too large", nullptr;
        return CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes), CFIndex(length));
    }
    case PLIST_ARRAY: {
        const uint32_t size = plist_array_get_size(node);
        std::vector<CFHolder> items;
        items.reserve(size);
        for (uint32_t i = 0; i < size; ++i) {
            CFTypeRef item = ObjectOf(plist_array_get_item(node, i), depth + 1, why);
            if (item == nullptr) return nullptr;
            items.emplace_back(item);
        }
        std::vector<const void *> values;
        values.reserve(size);
        for (const CFHolder &item : items) values.push_back(item.get());
        return CFArrayCreate(kCFAllocatorDefault, values.data(), CFIndex(values.size()), &kCFTypeArrayCallBacks);
    }
    case PLIST_DICT: {
        CFMutableDictionaryRef building = CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
        CFHolder holder(building);
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        std::unique_ptr<void, decltype(&std::free)> iteratorHolder(iterator, &std::free);
        for (;;) {
            char *keyText = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, &keyText, &item);
            std::unique_ptr<char, decltype(&std::free)> keyHolder(keyText, &std::free);
            if (item == nullptr) break;
            CFHolder key(StringFromUTF8(keyText, keyText != nullptr ? std::strlen(keyText) : 0));
            if (!key) return *why = "key that is not UTF-8", nullptr;
            CFTypeRef value = ObjectOf(item, depth + 1, why);
            if (value == nullptr) return nullptr;
            CFHolder valueHolder(value);
            CFDictionarySetValue(building, key.get(), value);  // a repeated key: the last one wins
        }
        // Immutable, as asked.
        const CFIndex count = CFDictionaryGetCount(building);
        std::vector<const void *> keys(static_cast<size_t>(count));
        std::vector<const void *> values(static_cast<size_t>(count));
        CFDictionaryGetKeysAndValues(building, keys.data(), values.data());
        return CFDictionaryCreate(kCFAllocatorDefault, keys.data(), values.data(), count,
                                  &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    }
    case PLIST_DATE: return *why = "dates are not read", nullptr;
    case PLIST_UID: return *why = "a UID outside a keyed archive", nullptr;
    default: return *why = "unknown property-list value", nullptr;
    }
}

void SetError(CFStringRef *errorString, const char *text) {
    if (errorString != nullptr) *errorString = CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8);
}

}  // namespace

CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef, CFDataRef xmlData, CFOptionFlags mutabilityOption,
                                                  CFStringRef *errorString) {
    if (errorString != nullptr) *errorString = nullptr;
    if (xmlData == nullptr) return SetError(errorString, "no property-list data"), nullptr;
    if (mutabilityOption != kCFPropertyListImmutable)
        return SetError(errorString, "only immutable property lists are read"), nullptr;
    const CFIndex length = CFDataGetLength(xmlData);
    const char *text = reinterpret_cast<const char *>(CFDataGetBytePtr(xmlData));
    if (length <= 0 || text == nullptr) return SetError(errorString, "no property-list data"), nullptr;
    if (uint64_t(length) > uint64_t(std::numeric_limits<int32_t>::max()))
        return SetError(errorString, "property-list data too large"), nullptr;
    // XML allows no NUL in any form; libplist would keep one in a string or key and abort.
    if (std::memchr(text, 0, size_t(length)) != nullptr)
        return SetError(errorString, "XML property list with a NUL byte"), nullptr;
    if (!cf::plist::XMLDepthWithin(text, text + length, kCFPropertyListMaxDepth))
        return SetError(errorString, "property list nested too deep"), nullptr;
    plist_t root = nullptr;
    plist_from_xml(text, uint32_t(length), &root);
    if (root == nullptr) return SetError(errorString, "the data is not an XML property list"), nullptr;
    PlistPtr tree(root);
    const char *why = "the data is not an XML property list";
    CFTypeRef result = ObjectOf(root, 0, &why);
    if (result == nullptr) SetError(errorString, why);
    return result;
}

namespace {

bool IsNameEnd(char c) { return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

bool cf::plist::XMLDepthWithin(const char *p, const char *const end, int limit) {
    int depth = 0;
    while (p < end) {
        const char *open = static_cast<const char *>(std::memchr(p, '<', size_t(end - p)));
        if (open == nullptr) break;
        p = open + 1;
        if (end - p >= 3 && std::memcmp(p, "!--", 3) == 0) {
            const char *close = p + 3;
            while (close + 3 <= end && std::memcmp(close, "-->", 3) != 0) ++close;
            p = close + 3;
            continue;
        }
        const bool closing = p < end && *p == '/';
        if (closing) ++p;
        size_t length = 0;
        if (end - p > 5 && std::memcmp(p, "array", 5) == 0 && IsNameEnd(p[5])) length = 5;
        else if (end - p > 4 && std::memcmp(p, "dict", 4) == 0 && IsNameEnd(p[4])) length = 4;
        if (length == 0) continue;
        p += length;
        if (closing) {
            depth = depth > 0 ? depth - 1 : 0;
            continue;
        }
        const char *close = static_cast<const char *>(std::memchr(p, '>', size_t(end - p)));
        if (close == nullptr) return true;  // truncated: the parser refuses it
        if (close[-1] != '/' && ++depth > limit) return false;
        p = close + 1;
    }
    return true;
}
