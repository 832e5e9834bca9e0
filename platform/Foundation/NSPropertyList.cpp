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

}  // namespace

PlistPtr ParsePlist(const QByteArray &data, NSPropertyListSerialization::Format *format, QString *error) {
    if (data.isEmpty()) return SetError(error, QStringLiteral("no property-list data")), nullptr;
    if (data.size() > std::numeric_limits<int32_t>::max())
        return SetError(error, QStringLiteral("property-list data too large")), nullptr;
    const bool binary = data.startsWith("bplist00");
    if (binary) {
        const char *why = nullptr;
        if (!cf::plist::BinaryStructureSound(reinterpret_cast<const unsigned char *>(data.constData()),
                                             size_t(data.size()), NSPropertyListSerialization::kMaxDepth, &why))
            return SetError(error, QString::fromUtf8(why)), nullptr;
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
