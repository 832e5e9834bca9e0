// QFXBundleProtocol: what an effect pack hands the application.
//
// An effect pack is a loadable bundle "<Pack>.qfxbundle" in the application's PlugIns folder.
// Its executable exports the C function CopyQFXBundleObject, which returns a new pack object
// the caller owns (it deletes it through the virtual destructor, or keeps it for the life of
// the process); the application asks that object for composition names and data. Every pack
// is built from effectpacks/QFXBundle with its own compositions; the pack and the
// application share only this header and Qt Core's value types.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QFXBundleProtocol {
public:
    virtual ~QFXBundleProtocol() = default;
    // The pack's composition file names ("L2PolarWarp.qtz"), in the pack's order; a new list
    // each call.
    virtual QStringList compositionFileNames() const = 0;
    // The composition file's bytes, or empty data when the name is unknown (compared
    // exactly, case included).
    virtual QByteArray compositionDataForCompositionFileName(const QString &fileName) const = 0;
};

// The factory every pack exports, and its symbol name.
extern "C" {
typedef QFXBundleProtocol *(*QFXBundleFactoryFunction)(void);
}
inline constexpr char kBundleFactoryFn[] = "CopyQFXBundleObject";
