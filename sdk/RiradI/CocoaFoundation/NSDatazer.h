// NSMutableData(NSDatazer): the program's own reversible byte transform.
//
// Every byte has its two 4-bit halves exchanged (a rotation by four bits), so applying the
// transform twice gives the first bytes back: the same call encodes and decodes. Blocks
// that the program keeps in this form (built-in shader sources, interface images) are
// turned into usable bytes with dataWithNSDatazerBytes.
#pragma once

#include <QByteArray>

#include <cstddef>

namespace NSDatazer {

// Transforms the data in place; empty data stays unchanged. Always true.
bool transformData(QByteArray &data);
// The same.
void transform(QByteArray &data);

// A new copy of the bytes, untransformed. A null QByteArray (and a report) when the copy
// cannot be allocated.
QByteArray dataWithNSDataBytes(const void *bytes, std::size_t length);
// A copy of the bytes, then transformed.
QByteArray dataWithNSDatazerBytes(const void *bytes, std::size_t length);
// An untransformed copy.
QByteArray dataWithNSData(const QByteArray &data);

}  // namespace NSDatazer

bool import_NSDatazer();
