// Property lists: QVariant trees of strings (QString), numbers (bool, integers, floating
// point), data (QByteArray), dates (QDateTime), arrays (QVariantList) and dictionaries
// (QVariantMap; QVariantHash is written as a dictionary too). Written as XML property lists;
// read from XML or binary ones (libplist).
//
// Reading answers integers as qlonglong (unsigned ones above 2^63-1 as qulonglong, so 2^64-1
// stays 2^64-1 in both forms and when written back), reals as double, dictionaries as
// QVariantMap and arrays as QVariantList. XML dates carry whole seconds (UTC). Input is
// checked before it is parsed: nesting deeper than kMaxDepth, a binary list whose references
// leave the data or form a cycle, and anything libplist refuses give a null QVariant and an
// error text; nothing throws.
//
// No string or dictionary key holds a NUL character, in either direction: writing one fails,
// and reading refuses the whole list ("... NUL ..." in the error), never cutting the text
// short (XML data with any NUL byte; a binary list with an ASCII or UTF-16 string holding
// one).
#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

class NSPropertyListSerialization {
public:
    enum Format { NSPropertyListXMLFormat_v1_0 = 100, NSPropertyListBinaryFormat_v1_0 = 200 };

    static constexpr int kMaxDepth = 512;

    // The XML property list of the value; empty data and the error text when the value (or
    // anything in it) is not a property-list type.
    static QByteArray dataWithPropertyList(const QVariant &plist, QString *error = nullptr);

    // The property list in the data; a null QVariant and the error text when it cannot be read.
    static QVariant propertyListWithData(const QByteArray &data, Format *format = nullptr, QString *error = nullptr);

    // True when the value is a property list (every element of a property-list type).
    static bool propertyListIsValid(const QVariant &plist);
};
