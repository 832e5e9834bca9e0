#include "NSData_HexEncoding.h"

#include <array>
#include <cstdint>

namespace HexEncoding {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

// The value of each byte as a hexadecimal digit; 0 for everything else.
constexpr std::array<uint8_t, 256> kValues = [] {
    std::array<uint8_t, 256> values{};
    for (int digit = 0; digit < 10; ++digit) values['0' + digit] = uint8_t(digit);
    for (int digit = 0; digit < 6; ++digit) {
        values['a' + digit] = uint8_t(10 + digit);
        values['A' + digit] = uint8_t(10 + digit);
    }
    return values;
}();

}  // namespace

QString hexEncodedString(const QByteArray &data) {
    if (data.isEmpty()) return QString();
    QByteArray text(data.size() * 2, Qt::Uninitialized);
    char *out = text.data();
    for (const char c : data) {
        const auto byte = static_cast<uint8_t>(c);
        *out++ = kDigits[byte >> 4];
        *out++ = kDigits[byte & 0x0F];
    }
    return QString::fromLatin1(text);
}

QByteArray dataWithHexEncodedString(const QString &string) {
    const qsizetype length = string.size();
    if (length < 2 || length % 2 != 0) return QByteArray();
    // The UTF-8 form is never shorter than the UTF-16 length, so every pair read is there.
    const QByteArray utf8 = string.toUtf8();
    const qsizetype count = length / 2;
    if (utf8.size() < length) return QByteArray();
    QByteArray data(count, Qt::Uninitialized);
    const auto *in = reinterpret_cast<const uint8_t *>(utf8.constData());
    for (qsizetype index = 0; index < count; ++index)
        data[index] = static_cast<char>((kValues[in[2 * index]] << 4) | kValues[in[2 * index + 1]]);
    return data;
}

}  // namespace HexEncoding

bool import_NSData_HexEncoding() { return true; }
