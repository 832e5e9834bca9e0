#include <Foundation/NSPropertyList.h>
#include <Foundation/NSNumber.h>

#include "PropertyListInternal.h"

#include <CoreFoundation/CFPropertyListXML.h>

#include <QTimeZone>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <limits>
#include <vector>

namespace lumora::foundation {

namespace {

void SetError(QString *error, const QString &text) {
    if (error != nullptr) *error = text;
}

uint64_t BigEndian(const unsigned char *bytes, size_t size) {
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i) value = (value << 8) | bytes[i];
    return value;
}

// A binary property list whose offsets and references stay inside the data, whose objects form
// no cycle, whose containers nest within the limit and expand to a bounded tree, and whose
// strings and integers libplist reads whole.
bool BinaryStructureSound(const QByteArray &data, int limit, QString *error) {
    const auto *bytes = reinterpret_cast<const unsigned char *>(data.constData());
    const size_t size = size_t(data.size());
    if (size < 8 + 32) return SetError(error, QStringLiteral("binary property list: truncated")), false;
    const unsigned char *trailer = bytes + size - 32;
    const size_t offsetSize = trailer[6];
    const size_t referenceSize = trailer[7];
    const uint64_t count = BigEndian(trailer + 8, 8);
    const uint64_t top = BigEndian(trailer + 16, 8);
    const uint64_t tableOffset = BigEndian(trailer + 24, 8);
    const uint64_t tableEnd = size - 32;
    if (offsetSize < 1 || offsetSize > 8 || referenceSize < 1 || referenceSize > 8 || count == 0 || top >= count ||
        tableOffset < 8 || tableOffset > tableEnd || count > (tableEnd - tableOffset) / offsetSize)
        return SetError(error, QStringLiteral("binary property list: bad trailer")), false;

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
            return SetError(error, QStringLiteral("binary property list: reference outside the data")), false;
        switch (valueCheck(offset)) {
        case Object::kSound: break;
        case Object::kOutside:
            return SetError(error, QStringLiteral("binary property list: a value outside the data")), false;
        case Object::kWideInteger:
            return SetError(error, QStringLiteral("binary property list: an integer beyond 64 bits")), false;
        case Object::kNul:
            return SetError(error, QStringLiteral("binary property list: a string or key with a NUL character")),
                   false;
        }
        Frame frame{index, {}, 0, 0};
        if (!children(offset, frame.children))
            return SetError(error, QStringLiteral("binary property list: reference outside the data")), false;
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
            if (state[child] == kOnPath) return SetError(error, QStringLiteral("binary property list: cycle")), false;
            if (state[child] == kDone) {
                frame.height = std::max(frame.height, height[child] + 1);
                continue;
            }
            if (int(path.size()) > limit) return SetError(error, QStringLiteral("property list nested too deep")), false;
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
        if (height[index] > limit) return SetError(error, QStringLiteral("property list nested too deep")), false;
        if (nodes > maxNodes)
            return SetError(error, QStringLiteral("binary property list: shared containers expand too far")), false;
        if (!path.empty()) path.back().height = std::max(path.back().height, height[index] + 1);
    }
    return true;
}

}  // namespace

PlistPtr ParsePlist(const QByteArray &data, NSPropertyListSerialization::Format *format, QString *error) {
    if (data.isEmpty()) return SetError(error, QStringLiteral("no property-list data")), nullptr;
    if (data.size() > std::numeric_limits<int32_t>::max())
        return SetError(error, QStringLiteral("property-list data too large")), nullptr;
    const bool binary = data.startsWith("bplist00");
    if (binary) {
        if (!BinaryStructureSound(data, NSPropertyListSerialization::kMaxDepth, error)) return nullptr;
    } else if (data.contains('\0')) {
        // XML allows no NUL in any form; libplist would keep it in a string or key and abort.
        return SetError(error, QStringLiteral("XML property list with a NUL byte")), nullptr;
    } else if (!cf::plist::XMLDepthWithin(data.constData(), data.constData() + data.size(),
                                            NSPropertyListSerialization::kMaxDepth)) {
        return SetError(error, QStringLiteral("property list nested too deep")), nullptr;
    }
    plist_t root = nullptr;
    if (binary) plist_from_bin(data.constData(), uint32_t(data.size()), &root);
    else plist_from_xml(data.constData(), uint32_t(data.size()), &root);
    if (root == nullptr) return SetError(error, QStringLiteral("the data is not a property list")), nullptr;
    if (format != nullptr)
        *format = binary ? NSPropertyListSerialization::NSPropertyListBinaryFormat_v1_0
                         : NSPropertyListSerialization::NSPropertyListXMLFormat_v1_0;
    return PlistPtr(root);
}

namespace {

// libplist keeps a flag beside an integer's 64 bits: a value above 2^63-1 is unsigned or the
// two's complement of a negative one. plist_new_uint always makes the second; its XML reader
// makes the first from the decimal text, and its XML writer shows which a node is.
PlistPtr UnsignedNode(uint64_t value) {
    if (value <= uint64_t(std::numeric_limits<int64_t>::max())) return PlistPtr(plist_new_uint(value));
    const QByteArray xml = "<integer>" + QByteArray::number(qulonglong(value)) + "</integer>";
    plist_t node = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &node);
    return PlistPtr(node);
}

bool IsNegative(plist_t node) {
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    const bool negative = xml != nullptr && QByteArrayView(xml, length).contains("<integer>-");
    plist_to_xml_free(xml);
    return negative;
}

}  // namespace

PlistPtr PlistFromVariant(const QVariant &value, QString *error, int depth) {
    if (depth > NSPropertyListSerialization::kMaxDepth)
        return SetError(error, QStringLiteral("property list nested too deep")), nullptr;
    const int type = value.metaType().id();
    if (NSIsWholeNumberType(type)) {
        // Only the 64-bit unsigned types hold values above 2^63-1; the rest fit a signed value.
        if (type != QMetaType::ULong && type != QMetaType::ULongLong)
            return PlistPtr(plist_new_uint(uint64_t(value.toLongLong())));
        PlistPtr node = UnsignedNode(value.toULongLong());
        if (!node) SetError(error, QStringLiteral("integer not representable"));
        return node;
    }
    switch (type) {
    case QMetaType::Bool: return PlistPtr(plist_new_bool(value.toBool() ? 1 : 0));
    case QMetaType::Float:
    case QMetaType::Double: return PlistPtr(plist_new_real(value.toDouble()));
    case QMetaType::QString: {
        const QByteArray text = value.toString().toUtf8();
        if (text.contains('\0')) return SetError(error, QStringLiteral("string with a NUL character")), nullptr;
        return PlistPtr(plist_new_string(text.constData()));
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return PlistPtr(plist_new_data(bytes.constData(), uint64_t(bytes.size())));
    }
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime();
        if (!date.isValid()) return SetError(error, QStringLiteral("invalid date")), nullptr;
        const qint64 milliseconds = date.toMSecsSinceEpoch() - kReferenceDateOffset * 1000;
        const qint64 seconds = milliseconds >= 0 ? milliseconds / 1000 : -((-milliseconds + 999) / 1000);
        if (seconds < std::numeric_limits<int32_t>::min() || seconds > std::numeric_limits<int32_t>::max())
            return SetError(error, QStringLiteral("date out of the property-list range")), nullptr;
        return PlistPtr(plist_new_date(int32_t(seconds), 0));
    }
    case QMetaType::QStringList:
    case QMetaType::QVariantList: {
        PlistPtr array(plist_new_array());
        for (const QVariant &element : value.toList()) {
            PlistPtr item = PlistFromVariant(element, error, depth + 1);
            if (!item) return nullptr;
            plist_array_append_item(array.get(), item.release());
        }
        return array;
    }
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        PlistPtr dictionary(plist_new_dict());
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            const QByteArray key = it.key().toUtf8();
            if (key.contains('\0')) return SetError(error, QStringLiteral("key with a NUL character")), nullptr;
            PlistPtr item = PlistFromVariant(it.value(), error, depth + 1);
            if (!item) return nullptr;
            plist_dict_set_item(dictionary.get(), key.constData(), item.release());
        }
        return dictionary;
    }
    default:
        return SetError(error, QStringLiteral("a %1 is not a property-list value")
                                   .arg(value.isValid() ? QString::fromLatin1(value.metaType().name())
                                                        : QStringLiteral("nil"))),
               nullptr;
    }
}

QString StringOf(plist_t node) {
    if (plist_get_node_type(node) == PLIST_STRING) {
        // With its length: libplist's copying getter aborts on a NUL inside the string.
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        return text != nullptr ? QString::fromUtf8(text, qsizetype(length)) : QString();
    }
    // A key has no length getter; ParsePlist refused every key with a NUL, and
    // PlistFromVariant makes none.
    char *text = nullptr;
    plist_get_key_val(node, &text);
    const QString result = QString::fromUtf8(text != nullptr ? text : "");
    std::free(text);
    return result;
}

QVariant NumberOf(plist_t node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t flag = 0;
        plist_get_bool_val(node, &flag);
        return QVariant(flag != 0);
    }
    case PLIST_UINT: {
        uint64_t number = 0;
        plist_get_uint_val(node, &number);
        if (number > uint64_t(std::numeric_limits<int64_t>::max()) && !IsNegative(node))
            return QVariant(qulonglong(number));
        return QVariant(qlonglong(int64_t(number)));
    }
    case PLIST_REAL: {
        double number = 0;
        plist_get_real_val(node, &number);
        return QVariant(number);
    }
    default: return QVariant();
    }
}

QVariant VariantFromPlist(plist_t node, QString *error, int depth) {
    if (depth > NSPropertyListSerialization::kMaxDepth)
        return SetError(error, QStringLiteral("property list nested too deep")), QVariant();
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN:
    case PLIST_UINT:
    case PLIST_REAL: return NumberOf(node);
    case PLIST_STRING:
    case PLIST_KEY: return StringOf(node);
    case PLIST_DATA: {
        char *bytes = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        QByteArray result(bytes, qsizetype(length));
        std::free(bytes);
        return result;
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        // libplist keeps whole seconds in 32 bits; for a date beyond them (a binary list holds
        // any double) both parts are whatever its conversion made. Such a date is kept at the
        // nearest one a property list can hold, so that what was read can be written again.
        qint64 milliseconds = qint64(seconds) * 1000 + std::clamp<int32_t>(microseconds, -999999, 999999) / 1000;
        milliseconds = std::clamp<qint64>(milliseconds, qint64(std::numeric_limits<int32_t>::min()) * 1000,
                                          qint64(std::numeric_limits<int32_t>::max()) * 1000 + 999);
        return QDateTime::fromMSecsSinceEpoch(milliseconds + kReferenceDateOffset * 1000, QTimeZone::utc());
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t size = plist_array_get_size(node);
        list.reserve(size);
        for (uint32_t i = 0; i < size; ++i) {
            QVariant element = VariantFromPlist(plist_array_get_item(node, i), error, depth + 1);
            if (!element.isValid()) return QVariant();
            list.append(std::move(element));
        }
        return list;
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        bool failed = false;
        for (;;) {
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, nullptr, &item);
            if (item == nullptr) break;
            QVariant element = VariantFromPlist(item, error, depth + 1);
            if (!element.isValid()) {
                failed = true;
                break;
            }
            map.insert(StringOf(plist_dict_item_get_key(item)), std::move(element));
        }
        std::free(iterator);
        if (failed) return QVariant();
        return map;
    }
    case PLIST_UID: return SetError(error, QStringLiteral("a UID outside a keyed archive")), QVariant();
    default: return SetError(error, QStringLiteral("unknown property-list node")), QVariant();
    }
}

QByteArray XmlFromPlist(plist_t node) {
    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    QByteArray result(xml, qsizetype(length));
    plist_to_xml_free(xml);
    return result;
}

}  // namespace lumora::foundation

using namespace lumora::foundation;

QByteArray NSPropertyListSerialization::dataWithPropertyList(const QVariant &plist, QString *error) {
    PlistPtr root = PlistFromVariant(plist, error);
    if (!root) return QByteArray();
    return XmlFromPlist(root.get());
}

QVariant NSPropertyListSerialization::propertyListWithData(const QByteArray &data, Format *format, QString *error) {
    PlistPtr root = ParsePlist(data, format, error);
    if (!root) return QVariant();
    return VariantFromPlist(root.get(), error);
}

bool NSPropertyListSerialization::propertyListIsValid(const QVariant &plist) {
    QString ignored;
    return PlistFromVariant(plist, &ignored) != nullptr;
}
