// Private to the Foundation layer: libplist trees and their checked parsing, shared by the
// property-list serialisation and the keyed archives.
#pragma once

#include <Foundation/NSPropertyList.h>

#include <plist/plist.h>

#include <QDateTime>

#include <memory>

namespace lumora::foundation {

struct PlistDeleter {
    void operator()(void *node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// Seconds between the Unix epoch and the property-list epoch (2001-01-01T00:00:00Z).
inline constexpr qint64 kReferenceDateOffset = 978307200;

// The libplist tree of the data after the depth and structure checks; null and the error text
// when the data cannot be read.
PlistPtr ParsePlist(const QByteArray &data, NSPropertyListSerialization::Format *format, QString *error);

// Plain conversions (no UIDs); null / the error text for a value of another type.
PlistPtr PlistFromVariant(const QVariant &value, QString *error, int depth = 0);
QVariant VariantFromPlist(plist_t node, QString *error, int depth = 0);

// The XML text of a tree.
QByteArray XmlFromPlist(plist_t node);

QString StringOf(plist_t node);
// Numbers as QVariant (bool, qlonglong, qulonglong above 2^63-1, or double); null for other
// nodes.
QVariant NumberOf(plist_t node);

}  // namespace lumora::foundation
