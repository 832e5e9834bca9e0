// Hexadecimal text (the 1-D filter sample values of settings) read from arbitrary text: the
// bytes read have the length the text promises, and they are written and read back unchanged.
#include "FuzzSupport.h"

#include <CocoaFoundation/NSData_HexEncoding.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray bytes = HexEncoding::dataWithHexEncodedString(text);
    const qsizetype length = text.size();
    LUMORA_CHECK(bytes.size() == (length < 2 || length % 2 != 0 ? 0 : length / 2));

    const QString written = HexEncoding::hexEncodedString(bytes);
    LUMORA_CHECK(written.size() == bytes.size() * 2);
    LUMORA_CHECK(HexEncoding::dataWithHexEncodedString(written) == bytes);
    // Text of hexadecimal digits only comes back as written, in upper case.
    bool digitsOnly = !bytes.isEmpty();
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        digitsOnly = digitsOnly && ((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F'));
    }
    if (digitsOnly) LUMORA_CHECK(written == text.toUpper());
    return 0;
}
