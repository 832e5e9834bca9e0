// NSData(HexEncoding): binary data as hexadecimal text and back, as the 1-D filter settings
// keep their sample values.
//
// The text has two characters per byte, high nibble first, from "0123456789ABCDEF", with no
// separator and no prefix. Reading takes upper- and lower-case digits; any other character
// (a byte of a non-ASCII character too) counts as the digit 0, so reading never fails.
#pragma once

#include <QByteArray>
#include <QString>

namespace HexEncoding {

// The upper-case hexadecimal text of the data; empty for empty data.
QString hexEncodedString(const QByteArray &data);

// The bytes of hexadecimal text: empty for text of fewer than 2 characters or of an odd
// number of characters (counted in UTF-16 units). Otherwise length / 2 bytes, each made of two
// consecutive bytes of the text's UTF-8 form, the first giving the high nibble.
QByteArray dataWithHexEncodedString(const QString &string);

}  // namespace HexEncoding

bool import_NSData_HexEncoding();
