#include "NSDatazer.h"

#include <CoreX/CoreMachDebugLog.h>

#include <limits>
#include <new>

namespace NSDatazer {

bool transformData(QByteArray &data) {
    if (data.isEmpty()) return true;
    char *bytes = data.data();
    const qsizetype count = data.size();
    for (qsizetype index = 0; index < count; ++index) {
        const auto byte = static_cast<unsigned char>(bytes[index]);
        bytes[index] = static_cast<char>(static_cast<unsigned char>((byte << 4) | (byte >> 4)));
    }
    return true;
}

void transform(QByteArray &data) { transformData(data); }

QByteArray dataWithNSDataBytes(const void *bytes, std::size_t length) {
    QByteArray result;
    const bool sizeOk = length <= static_cast<std::size_t>(std::numeric_limits<qsizetype>::max()) &&
                        (bytes != nullptr || length == 0);
    if (sizeOk) {
        try {
            result = QByteArray(static_cast<const char *>(bytes), static_cast<qsizetype>(length));
            if (result.isNull()) result = QByteArray("", 0);
        } catch (const std::bad_alloc &) {
            result = QByteArray();
        }
    }
    const bool made = !result.isNull();
    VERIFY_TEXT(made, " code : result!=nil");
    return result;
}

QByteArray dataWithNSDatazerBytes(const void *bytes, std::size_t length) {
    QByteArray result = dataWithNSDataBytes(bytes, length);
    transformData(result);
    return result;
}

QByteArray dataWithNSData(const QByteArray &data) {
    QByteArray copy(data.constData(), data.size());
    return copy;
}

}  // namespace NSDatazer

bool import_NSDatazer() { return import_CoreMachDebugLog(); }
