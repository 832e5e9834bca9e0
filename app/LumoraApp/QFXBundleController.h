// QFXBundleController: loads the effect packs and answers for their compositions.
//
// An object of the main nib. When the nib is loaded (awakeFromNib, main thread) it loads every
// pack of the application's PlugIns folder once: each "<Pack>.qfxbundle" found by a deep
// enumeration of that folder (in name order), made a bundle and loaded, its executable opened
// with dlopen and its factory CopyQFXBundleObject looked up with dlsym and called; the pack
// object it returns is kept (QFXBundleProtocol.h). Packs are never unloaded.
//
// Failures do not stop the loading: a folder that is not a bundle, a bundle without an
// executable, an executable that does not load, or a factory that answers null skips the pack
// silently; an executable without the factory is reported (the VERIFY reporter's text
// " code : NSIsSymbolNameDefinedInImage(mach_image, kBundleFactoryFn)") and skipped. Every
// composition of a loaded pack is opened by the composition engine once, at load: one that
// does not open is reported by pack and name at once, not when the user picks it (it stays in
// the lists, and opening it later fails as before). loadReports() keeps these reports.
//
// Then the delegate (an object implementing QFXBundleControllerDelegate, not owned) is told
// the composition names, in pack order and within a pack in the pack's order. Key-value
// observers of "compositionNames" and "compositionFileNames" see one change around the load.
#pragma once

#include <LumoraApp/QFXBundleProtocol.h>

#include <CoreFoundation/CFBundle.h>
#include <Foundation/NSObject.h>

#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QFXBundleController;

// The loader's delegate (an optional operation).
class QFXBundleControllerDelegate {
public:
    virtual ~QFXBundleControllerDelegate() = default;
    virtual void qfxbundleDidFinishLoadingCompositions(QFXBundleController *loader, const QStringList &compositionNames) = 0;
};

class QFXBundleController : public NSObject {
    Q_OBJECT
    Q_PROPERTY(QObject *delegate READ delegate WRITE setDelegate)
    Q_PROPERTY(QStringList compositionFileNames READ compositionFileNames)
    Q_PROPERTY(QStringList compositionNames READ compositionNames)

public:
    Q_INVOKABLE explicit QFXBundleController(QObject *parent = nullptr);
    ~QFXBundleController() override;

    QObject *delegate() const { return mDelegate; }
    void setDelegate(QObject *delegate) { mDelegate = delegate; }

    // The full paths of the ".qfxbundle" entries under the main bundle's PlugIns folder (a deep
    // enumeration, in name order); empty when there is no such folder.
    static QStringList qfxBundlePaths();
    // The same under any folder.
    static QStringList qfxBundlePathsInFolder(const QString &folder);

    // Loads the packs of qfxBundlePaths().
    Q_INVOKABLE void awakeFromNib();
    // Loads the packs at the paths, in order, replacing what was loaded before (the earlier
    // bundles stay in the process), then tells the delegate.
    void loadBundlesAtPaths(const QStringList &paths);

    // Every pack's composition file names, in pack order.
    QStringList compositionFileNames() const;
    // The same without their extension.
    QStringList compositionNames() const;
    // The data of "<name>.qtz" from the first pack that lists that file name; null data when
    // none does.
    QByteArray compositionDataWithCompositionName(const QString &name) const;

    // The pack objects and the bundles, in load order.
    const std::vector<std::shared_ptr<QFXBundleProtocol>> &fxbundles() const { return mFxbundles; }
    void setFxbundles(std::vector<std::shared_ptr<QFXBundleProtocol>> fxbundles) { mFxbundles = std::move(fxbundles); }
    const std::vector<CFBundleRef> &bundles() const { return mBundles; }
    // Retains the new bundles and releases the old ones.
    void setBundles(const std::vector<CFBundleRef> &bundles);

    // The reports of the last load, one line each.
    QStringList loadReports() const { return mLoadReports; }

private:
    void report(const QString &line);

    QPointer<QObject> mDelegate;
    std::vector<std::shared_ptr<QFXBundleProtocol>> mFxbundles;
    std::vector<CFBundleRef> mBundles;  // retained
    QStringList mLoadReports;
};

bool import_QFXBundleController();
