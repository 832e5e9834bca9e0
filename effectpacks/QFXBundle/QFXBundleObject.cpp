#include "QFXBundleObject.h"

#include <cstdio>
#include <limits>
#include <new>

namespace {

// The name list, made once before the pack is first used and kept for the process.
const QStringList &NameList() {
    static const QStringList names = [] {
        QStringList list;
        for (uint32_t i = 0; i < QFX_JOIN(QFX_PACK_NAME, CompositionCount); ++i)
            list.append(QString::fromUtf8(QFX_JOIN(QFX_PACK_NAME, CompositionTable)[i].fileName));
        return list;
    }();
    return names;
}

}  // namespace

namespace NSDataPack {

bool transformData(QByteArray &data) {
    if (data.isEmpty()) return true;
    QFXSwapNibbles(reinterpret_cast<unsigned char *>(data.data()), size_t(data.size()));
    return true;
}

bool transform(QByteArray &data) { return transformData(data); }

QByteArray dataWithNSDataBytes(const void *bytes, std::size_t length) {
    QByteArray result;
    if (length <= size_t(std::numeric_limits<qsizetype>::max()) && (bytes != nullptr || length == 0)) {
        try {
            result = QByteArray(static_cast<const char *>(bytes), qsizetype(length));
            if (result.isNull()) result = QByteArray("", 0);
        } catch (const std::bad_alloc &) {
            result = QByteArray();
        }
    }
    if (result.isNull()) std::fprintf(stderr, "%s: code : result!=nil\n", __func__);
    return result;
}

QByteArray dataWithNSData(const QByteArray &data) { return dataWithNSDataBytes(data.constData(), size_t(data.size())); }

QByteArray dataWithNSDatazerBytes(const void *bytes, std::size_t length) {
    QByteArray result = dataWithNSDataBytes(bytes, length);
    transformData(result);
    return result;
}

}  // namespace NSDataPack

QStringList QFXBundleObjectPack::compositionFileNames() const { return QStringList(NameList()); }

QByteArray QFXBundleObjectPack::compositionDataForCompositionFileName(const QString &fileName) const {
    QByteArray result("", 0);  // empty, never null
    if (fileName.isEmpty()) return result;
    const QFXCompositionRecord *table = QFX_JOIN(QFX_PACK_NAME, CompositionTable);
    for (uint32_t i = 0; i < QFX_JOIN(QFX_PACK_NAME, CompositionCount); ++i) {
        if (QString::fromUtf8(table[i].fileName) != fileName) continue;
        QByteArray copy = NSDataPack::dataWithNSDatazerBytes(table[i].bytes, table[i].length);
        if (!copy.isNull()) result = copy;
        return result;
    }
    return result;
}

QString QFXBundleObjectPack::compositionFileNameWithName(const QString &name) {
    return QString(name).replace(QStringLiteral("_qtz"), QStringLiteral(".qtz"));
}

QString QFXBundleObjectPack::compositionNameWithFileName(const QString &fileName) {
    return QString(fileName).replace(QStringLiteral(".qtz"), QStringLiteral("_qtz"));
}

QFXBundleProtocol *CopyQFXBundleObject(void) { return new (std::nothrow) QFXBundleObjectPack(); }
