// The effect pack object, built once per pack from this same source: QFX_PACK_NAME names the
// pack (L2Geometry, Mopsyart, ...), and the class and the data-transform functions carry that
// name (QFXBundleObjectL2Geometry, NSDataL2Geometry::transformData), so that several packs can
// live in one process beside the application's own transform (RiradI's NSDatazer).
//
// The pack's compositions come from the source qtzbuild generates for it (QFXPackTable.h):
// `<Pack>CompositionTable`, in the pack's order, each composition stored with the two 4-bit
// halves of every byte exchanged. The pack hands out an untransformed copy.
#pragma once

#include <LumoraApp/QFXBundleProtocol.h>
#include <qtzbuild/QFXPackTable.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>

#ifndef QFX_PACK_NAME
#error "QFX_PACK_NAME names the pack this source is built for"
#endif

#define QFX_JOIN_(a, b) a##b
#define QFX_JOIN(a, b) QFX_JOIN_(a, b)
#define QFXBundleObjectPack QFX_JOIN(QFXBundleObject, QFX_PACK_NAME)
#define NSDataPack QFX_JOIN(NSData, QFX_PACK_NAME)

// Through a second macro, so that QFX_PACK_NAME is expanded before it is pasted.
#define QFX_DECLARE_TABLE(Pack) QFX_PACK_TABLE_DECLARATIONS(Pack)
QFX_DECLARE_TABLE(QFX_PACK_NAME)

// The pack's data transform: each byte's 4-bit halves exchanged, its own inverse.
namespace NSDataPack {
// In place; always true.
bool transformData(QByteArray &data);
bool transform(QByteArray &data);
// A new copy of the bytes; a null QByteArray (and the report " code : result!=nil" on
// standard error) when the copy cannot be made.
QByteArray dataWithNSDataBytes(const void *bytes, std::size_t length);
QByteArray dataWithNSData(const QByteArray &data);
// A copy of the bytes, transformed.
QByteArray dataWithNSDatazerBytes(const void *bytes, std::size_t length);
}  // namespace NSDataPack

class QFXBundleObjectPack final : public QFXBundleProtocol {
public:
    // The pack's file names, in its table's order (the same list every call).
    QStringList compositionFileNames() const override;
    // The first table record whose file name equals the argument exactly: its bytes with the
    // transform undone; empty data for an unknown or empty name.
    QByteArray compositionDataForCompositionFileName(const QString &fileName) const override;

    // "L2PolarWarp_qtz" -> "L2PolarWarp.qtz": every "_qtz" replaced.
    static QString compositionFileNameWithName(const QString &name);
    // "L2PolarWarp.qtz" -> "L2PolarWarp_qtz": every ".qtz" replaced.
    static QString compositionNameWithFileName(const QString &fileName);
};

// The factory the application looks up: a new pack object that the caller owns.
extern "C" __attribute__((visibility("default"))) QFXBundleProtocol *CopyQFXBundleObject(void);
