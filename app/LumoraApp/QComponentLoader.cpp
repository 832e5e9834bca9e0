#include "QComponentLoader.h"

#include <Carbon/Files.h>
#include <CoreX/CoreMachDebugLog.h>
#include <QuickTime/Components.h>

#include <climits>
#include <sys/stat.h>

namespace {

// The path of a folder URL joined with the name, when a file (or bundle folder) exists there.
QString ExistingChild(CFURLRef folder, const QString &name) {
    if (folder == nullptr) return QString();
    UInt8 path[PATH_MAX];
    const bool ok = CFURLGetFileSystemRepresentation(folder, true, path, sizeof path);
    if (!ok) return QString();
    const QString candidate = QString::fromUtf8(reinterpret_cast<const char *>(path)) + "/" + name;
    struct stat info;
    if (::stat(candidate.toUtf8().constData(), &info) != 0) return QString();
    return candidate;
}

}  // namespace

CFBundleRef QComponentLoader::wrapperBundle() {
    CFBundleRef bundle = CFBundleGetMainBundle();
    VERIFY_TEXT(bundle != nullptr, "Failed to get class bundle.");
    return bundle;
}

QString QComponentLoader::componentPathNameInBundle(CFBundleRef bundle, const QString &componentName) {
    if (bundle == nullptr || componentName.isEmpty() || componentName.contains('/')) return QString();
    CFURLRef resources = CFBundleCopyResourcesDirectoryURL(bundle);
    QString path = ExistingChild(resources, componentName);
    if (resources != nullptr) CFRelease(resources);
    if (!path.isEmpty()) return path;
    CFURLRef plugIns = CFBundleCopyBuiltInPlugInsURL(bundle);
    path = ExistingChild(plugIns, componentName);
    if (plugIns != nullptr) CFRelease(plugIns);
    return path;
}

QString QComponentLoader::wrapperComponentPathName(const QString &componentName) {
    return componentPathNameInBundle(wrapperBundle(), componentName);
}

bool QComponentLoader::registerComponentName(const QString &componentName) {
    const QString path = wrapperComponentPathName(componentName);
    if (path.isEmpty()) return false;
    return registerComponentPathName(path);
}

bool QComponentLoader::registerComponentPathName(const QString &componentPathName) {
    const QByteArray path = componentPathName.toUtf8();
    if (path.isEmpty()) return false;
    FSRef componentFileRef;
    Boolean isDirectoryUnused = false;
    const OSStatus made = FSPathMakeRef(reinterpret_cast<const UInt8 *>(path.constData()), &componentFileRef,
                                        &isDirectoryUnused);
    if (_CoreMachDebugVerifyOSerrCheck(
            made, __func__, __FILE__, __LINE__,
            " code : FSRef_ConstructFromPath(componentFileRef,componentFilePath,&isDirectoryUnused)") != noErr)
        return false;
    const Boolean componentIsGlobal = false;
    const OSErr registered = RegisterComponentFileRef(&componentFileRef, componentIsGlobal);
    return _CoreMachDebugVerifyOSerrCheck(registered, __func__, __FILE__, __LINE__,
                                          " code : RegisterComponentFileRef(&componentFileRef,componentIsGlobal)") ==
           noErr;
}

bool import_QComponentLoader() { return true; }
