#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFPropertyListXML.h>

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFError.h>
#include <CoreFoundation/CFNumber.h>

#include <plist/plist.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <utility>
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
CFTypeRef ObjectOf(plist_t node, int depth, bool mutableContainers, const char **why) {
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
            CFTypeRef item = ObjectOf(plist_array_get_item(node, i), depth + 1, mutableContainers, why);
            if (item == nullptr) return nullptr;
            items.emplace_back(item);
        }
        if (mutableContainers) {
            CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, CFIndex(size), &kCFTypeArrayCallBacks);
            for (const CFHolder &item : items) CFArrayAppendValue(array, item.get());
            return array;
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
            CFTypeRef value = ObjectOf(item, depth + 1, mutableContainers, why);
            if (value == nullptr) return nullptr;
            CFHolder valueHolder(value);
            CFDictionarySetValue(building, key.get(), value);  // a repeated key: the last one wins
        }
        if (mutableContainers) return holder.release();
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
    CFTypeRef result = ObjectOf(root, 0, false, &why);
    if (result == nullptr) SetError(errorString, why);
    return result;
}

namespace {

// The Cocoa domain's codes for a list that cannot be read or written.
constexpr CFIndex kReadCorruptError = 3840;
constexpr CFIndex kWriteInvalidError = 3851;

void SetError(CFErrorRef *error, CFIndex code, const char *text) {
    if (error == nullptr) return;
    CFHolder description(CFStringCreateWithCString(kCFAllocatorDefault, text, kCFStringEncodingUTF8));
    const void *keys[] = {kCFErrorLocalizedDescriptionKey};
    const void *values[] = {description.get()};
    CFHolder userInfo(CFDictionaryCreate(kCFAllocatorDefault, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                                         &kCFTypeDictionaryValueCallBacks));
    *error = CFErrorCreate(kCFAllocatorDefault, kCFErrorDomainCocoa, code,
                           static_cast<CFDictionaryRef>(userInfo.get()));
}

// The UTF-8 text of a string for writing; false when it has none (a lone surrogate) or it
// holds a NUL, which neither format keeps whole through libplist.
bool WritableText(CFStringRef string, std::string &text) {
    const CFIndex length = CFStringGetLength(string);
    CFIndex used = 0;
    if (CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false, nullptr, 0, &used) != length)
        return false;
    text.assign(size_t(used), '\0');
    CFStringGetBytes(string, CFRangeMake(0, length), kCFStringEncodingUTF8, 0, false,
                     reinterpret_cast<UInt8 *>(text.data()), used, &used);
    return text.find('\0') == std::string::npos;
}

// The libplist node of a Core Foundation value, or null with the reason.
PlistPtr NodeOf(CFTypeRef object, int depth, const char **why) {
    // Deeper than any list that can be read; a container holding itself ends here too.
    if (depth > kCFPropertyListMaxDepth) return *why = "property list nested too deep", nullptr;
    if (object == nullptr) return *why = "a null value in the property list", nullptr;
    const CFTypeID type = CFGetTypeID(object);
    if (type == CFStringGetTypeID()) {
        std::string text;
        if (!WritableText(static_cast<CFStringRef>(object), text))
            return *why = "a string with a NUL or a lone surrogate", nullptr;
        return PlistPtr(plist_new_string(text.c_str()));
    }
    if (type == CFBooleanGetTypeID()) return PlistPtr(plist_new_bool(CFBooleanGetValue(static_cast<CFBooleanRef>(object)) ? 1 : 0));
    if (type == CFNumberGetTypeID()) {
        auto number = static_cast<CFNumberRef>(object);
        if (CFNumberIsFloatType(number)) {
            double value = 0;
            CFNumberGetValue(number, kCFNumberDoubleType, &value);
            return PlistPtr(plist_new_real(value));
        }
        SInt64 value = 0;
        CFNumberGetValue(number, kCFNumberSInt64Type, &value);
        return PlistPtr(plist_new_uint(uint64_t(value)));  // a negative value is written as one
    }
    if (type == CFDataGetTypeID()) {
        auto data = static_cast<CFDataRef>(object);
        return PlistPtr(plist_new_data(reinterpret_cast<const char *>(CFDataGetBytePtr(data)),
                                       uint64_t(CFDataGetLength(data))));
    }
    if (type == CFArrayGetTypeID()) {
        auto array = static_cast<CFArrayRef>(object);
        PlistPtr node(plist_new_array());
        const CFIndex count = CFArrayGetCount(array);
        for (CFIndex i = 0; i < count; ++i) {
            PlistPtr item = NodeOf(CFArrayGetValueAtIndex(array, i), depth + 1, why);
            if (!item) return nullptr;
            plist_array_append_item(node.get(), item.release());
        }
        return node;
    }
    if (type == CFDictionaryGetTypeID()) {
        auto dictionary = static_cast<CFDictionaryRef>(object);
        const CFIndex count = CFDictionaryGetCount(dictionary);
        std::vector<const void *> keys(static_cast<size_t>(count)), values(static_cast<size_t>(count));
        CFDictionaryGetKeysAndValues(dictionary, keys.data(), values.data());
        std::vector<std::pair<std::string, const void *>> entries;
        entries.reserve(keys.size());
        for (size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == nullptr || CFGetTypeID(keys[i]) != CFStringGetTypeID())
                return *why = "a dictionary key that is not a string", nullptr;
            std::string key;
            if (!WritableText(static_cast<CFStringRef>(keys[i]), key))
                return *why = "a key with a NUL or a lone surrogate", nullptr;
            entries.emplace_back(std::move(key), values[i]);
        }
        // Keys in order, so that the same dictionary is always written the same way.
        std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
        PlistPtr node(plist_new_dict());
        for (const auto &[key, value] : entries) {
            PlistPtr item = NodeOf(value, depth + 1, why);
            if (!item) return nullptr;
            plist_dict_set_item(node.get(), key.c_str(), item.release());
        }
        return node;
    }
    return *why = "a value that is not a property-list type", nullptr;
}

}  // namespace

CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef, CFDataRef data, CFOptionFlags options,
                                               CFPropertyListFormat *format, CFErrorRef *error) {
    if (error != nullptr) *error = nullptr;
    if (data == nullptr || CFGetTypeID(data) != CFDataGetTypeID())
        return SetError(error, kReadCorruptError, "no property-list data"), nullptr;
    if (options != kCFPropertyListImmutable && options != kCFPropertyListMutableContainers)
        return SetError(error, kReadCorruptError, "mutable leaves are not provided"), nullptr;
    const CFIndex length = CFDataGetLength(data);
    const char *bytes = reinterpret_cast<const char *>(CFDataGetBytePtr(data));
    if (length <= 0 || bytes == nullptr) return SetError(error, kReadCorruptError, "no property-list data"), nullptr;
    if (uint64_t(length) > uint64_t(std::numeric_limits<int32_t>::max()))
        return SetError(error, kReadCorruptError, "property-list data too large"), nullptr;
    const bool binary = length >= 8 && std::memcmp(bytes, "bplist00", 8) == 0;
    const char *why = nullptr;
    if (binary) {
        if (!cf::plist::BinaryStructureSound(reinterpret_cast<const unsigned char *>(bytes), size_t(length),
                                             kCFPropertyListMaxDepth, &why))
            return SetError(error, kReadCorruptError, why), nullptr;
    } else if (std::memchr(bytes, 0, size_t(length)) != nullptr) {
        // XML allows no NUL in any form; libplist would keep one in a string or key and abort.
        return SetError(error, kReadCorruptError, "XML property list with a NUL byte"), nullptr;
    } else if (!cf::plist::XMLDepthWithin(bytes, bytes + length, kCFPropertyListMaxDepth)) {
        return SetError(error, kReadCorruptError, "property list nested too deep"), nullptr;
    }
    plist_t root = nullptr;
    if (binary) plist_from_bin(bytes, uint32_t(length), &root);
    else plist_from_xml(bytes, uint32_t(length), &root);
    if (root == nullptr) return SetError(error, kReadCorruptError, "the data is not a property list"), nullptr;
    PlistPtr tree(root);
    why = "the data is not a property list";
    CFTypeRef result = ObjectOf(root, 0, options == kCFPropertyListMutableContainers, &why);
    if (result == nullptr) return SetError(error, kReadCorruptError, why), nullptr;
    if (format != nullptr) *format = binary ? kCFPropertyListBinaryFormat_v1_0 : kCFPropertyListXMLFormat_v1_0;
    return result;
}

CFDataRef CFPropertyListCreateData(CFAllocatorRef, CFPropertyListRef propertyList, CFPropertyListFormat format,
                                   CFOptionFlags, CFErrorRef *error) {
    if (error != nullptr) *error = nullptr;
    if (format != kCFPropertyListXMLFormat_v1_0 && format != kCFPropertyListBinaryFormat_v1_0)
        return SetError(error, kWriteInvalidError, "only XML and binary property lists are written"), nullptr;
    const char *why = "the value is not a property list";
    PlistPtr root = NodeOf(propertyList, 0, &why);
    if (!root) return SetError(error, kWriteInvalidError, why), nullptr;
    char *bytes = nullptr;
    uint32_t length = 0;
    const bool xml = format == kCFPropertyListXMLFormat_v1_0;
    if (xml) plist_to_xml(root.get(), &bytes, &length);
    else plist_to_bin(root.get(), &bytes, &length);
    if (bytes == nullptr) return SetError(error, kWriteInvalidError, "the property list could not be written"), nullptr;
    CFDataRef result = CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8 *>(bytes), CFIndex(length));
    if (xml) plist_to_xml_free(bytes);
    else plist_to_bin_free(bytes);
    return result;
}

namespace {

uint64_t BigEndian(const unsigned char *bytes, size_t size) {
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i) value = (value << 8) | bytes[i];
    return value;
}

}  // namespace

bool cf::plist::BinaryStructureSound(const unsigned char *bytes, size_t size, int limit, const char **why) {
    auto SetError = [why](const char *text) {
        if (why != nullptr) *why = text;
    };
    if (size < 8 + 32) return SetError("binary property list: truncated"), false;
    const unsigned char *trailer = bytes + size - 32;
    const size_t offsetSize = trailer[6];
    const size_t referenceSize = trailer[7];
    const uint64_t count = BigEndian(trailer + 8, 8);
    const uint64_t top = BigEndian(trailer + 16, 8);
    const uint64_t tableOffset = BigEndian(trailer + 24, 8);
    const uint64_t tableEnd = size - 32;
    if (offsetSize < 1 || offsetSize > 8 || referenceSize < 1 || referenceSize > 8 || count == 0 || top >= count ||
        tableOffset < 8 || tableOffset > tableEnd || count > (tableEnd - tableOffset) / offsetSize)
        return SetError("binary property list: bad trailer"), false;

    // The count of an object's items (characters, bytes, references) and where they begin;
    // false when the count leaves the data.
    auto itemsOf = [&](uint64_t offset, uint64_t &items, uint64_t &position) {
        items = bytes[offset] & 0xF;
        position = offset + 1;
        if (items != 0xF) return true;
        if (position >= tableOffset || (bytes[position] >> 4) != 1) return false;
        const size_t width = size_t(1) << (bytes[position] & 0xF);
        ++position;
        if (width > 8 || position + width > tableOffset) return false;
        items = BigEndian(bytes + position, width);
        position += width;
        return items <= size;
    };

    // libplist cuts an ASCII string at a NUL and keeps it in a UTF-16 one, where its getters
    // then abort the process: such strings (and keys, which are strings here) are refused.
    // It also keeps only the low half of a 16-byte integer: one that needs more than 64 bits
    // is refused.
    enum class Object { kSound, kOutside, kNul, kWideInteger };
    auto valueCheck = [&](uint64_t offset) {
        const unsigned kind = bytes[offset] >> 4;
        if (bytes[offset] == 0x14) {
            if (tableOffset - offset < 17) return Object::kOutside;
            for (int i = 1; i <= 8; ++i)
                if (bytes[offset + i] != 0) return Object::kWideInteger;
            return Object::kSound;
        }
        if (kind != 0x5 && kind != 0x6) return Object::kSound;
        uint64_t characters = 0;
        uint64_t position = 0;
        if (!itemsOf(offset, characters, position)) return Object::kOutside;
        const uint64_t length = kind == 0x6 ? characters * 2 : characters;
        if (length > tableOffset - position) return Object::kOutside;
        const unsigned char *text = bytes + position;
        if (kind == 0x5) return std::memchr(text, 0, size_t(length)) != nullptr ? Object::kNul : Object::kSound;
        for (uint64_t i = 0; i < length; i += 2)
            if (text[i] == 0 && text[i + 1] == 0) return Object::kNul;
        return Object::kSound;
    };

    // The objects an object refers to; false when it leaves the data.
    auto children = [&](uint64_t offset, std::vector<uint64_t> &out) {
        out.clear();
        const unsigned kind = bytes[offset] >> 4;
        if (kind != 0xA && kind != 0xC && kind != 0xD) return true;
        uint64_t items = 0;
        uint64_t position = 0;
        if (!itemsOf(offset, items, position)) return false;
        const uint64_t references = kind == 0xD ? items * 2 : items;
        if (references > (tableOffset - position) / referenceSize) return false;
        for (uint64_t i = 0; i < references; ++i) {
            const uint64_t reference = BigEndian(bytes + position + i * referenceSize, referenceSize);
            if (reference >= count) return false;
            out.push_back(reference);
        }
        return true;
    };

    enum : unsigned char { kUnseen, kOnPath, kDone };
    std::vector<unsigned char> state(count, kUnseen);
    std::vector<int> height(count, 0);  // containers below and including the object
    // libplist copies an object at every reference to it, so containers shared along a chain
    // grow exponentially (40 levels of [a, a] in a 100-byte file). Unshared, a list has at
    // most one node per byte; sharing may add a bounded number on top.
    const uint64_t maxNodes = size + (uint64_t(1) << 20);
    std::vector<uint64_t> expanded(count, 0);  // nodes of the object once libplist copied it
    struct Frame {
        uint64_t index;
        std::vector<uint64_t> children;
        size_t next = 0;
        int height = 0;
    };
    std::vector<Frame> path;
    auto enter = [&](uint64_t index) {
        const uint64_t offset = BigEndian(bytes + tableOffset + index * offsetSize, offsetSize);
        if (offset < 8 || offset >= tableOffset)
            return SetError("binary property list: reference outside the data"), false;
        switch (valueCheck(offset)) {
        case Object::kSound: break;
        case Object::kOutside:
            return SetError("binary property list: a value outside the data"), false;
        case Object::kWideInteger:
            return SetError("binary property list: an integer beyond 64 bits"), false;
        case Object::kNul:
            return SetError("binary property list: a string or key with a NUL character"),
                   false;
        }
        Frame frame{index, {}, 0, 0};
        if (!children(offset, frame.children))
            return SetError("binary property list: reference outside the data"), false;
        const unsigned kind = bytes[offset] >> 4;
        frame.height = (kind == 0xA || kind == 0xC || kind == 0xD) ? 1 : 0;
        state[index] = kOnPath;
        path.push_back(std::move(frame));
        return true;
    };
    if (!enter(top)) return false;
    while (!path.empty()) {
        Frame &frame = path.back();
        if (frame.next < frame.children.size()) {
            const uint64_t child = frame.children[frame.next++];
            if (state[child] == kOnPath) return SetError("binary property list: cycle"), false;
            if (state[child] == kDone) {
                frame.height = std::max(frame.height, height[child] + 1);
                continue;
            }
            if (int(path.size()) > limit) return SetError("property list nested too deep"), false;
            if (!enter(child)) return false;
            continue;
        }
        const uint64_t index = frame.index;
        height[index] = frame.height;
        uint64_t nodes = 1;
        for (uint64_t child : frame.children) nodes = std::min(nodes + expanded[child], maxNodes + 1);
        expanded[index] = nodes;
        state[index] = kDone;
        path.pop_back();
        if (height[index] > limit) return SetError("property list nested too deep"), false;
        if (nodes > maxNodes)
            return SetError("binary property list: shared containers expand too far"), false;
        if (!path.empty()) path.back().height = std::max(path.back().height, height[index] + 1);
    }
    return true;
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
