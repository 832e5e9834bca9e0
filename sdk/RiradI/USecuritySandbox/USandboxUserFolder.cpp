#include <USecuritySandbox/USandboxUserFolder.h>

#include <QDir>
#include <QFileInfo>

#include <string>

#include <Carbon/Carbon.h>
#include <CoreX/CoreMachDebugLog.h>
#include <Foundation/NSUserDefaults.h>
#include <USecuritySandbox/NSURL_SandboxURL.h>
#include <USecuritySandbox/USecurityAppSandbox.h>

bool import_USandboxUserFolder() {
    return import_CoreMachDebugLog() && import_NSURL_SandboxURL() && import_USecurityAppSandbox();
}

NS_REGISTER_CLASS(USandboxUserFolder);
NS_REGISTER_CLASS(USandboxMoviesFolder);
NS_REGISTER_CLASS(USandboxPicturesFolder);
NS_REGISTER_CLASS(USandboxDocumentsFolder);
NS_REGISTER_CLASS(USandboxTemporaryFolder);

namespace {

// The user's folder of a type when it exists, else the home folder.
QString UserFolderOrHome(OSType folderType) {
    std::string path;
    if (lumora::carbon::FolderPath(kUserDomain, folderType, path) == noErr) {
        const QString folder = QFile::decodeName(QByteArray::fromStdString(path));
        if (QFileInfo(folder).isDir()) return folder;
    }
    return USandboxUserFolder::defaultFolderPath();
}

bool IsOneName(const QString &name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains(QChar(0));
}

}  // namespace

USandboxUserFolder::USandboxUserFolder(QObject *parent) : USandboxUserFolder(defaultFolderPath(), parent) {}

USandboxUserFolder::USandboxUserFolder(const QString &defaultFolder, QObject *parent) : NSObject(parent) {
    if (!defaultFolder.isEmpty()) initWithFolderPath(defaultFolder);
}

USandboxUserFolder::~USandboxUserFolder() {
    // Ends access on the URL; no observer is told any more.
    SandboxURL::sandboxURLEndSecurityAccess(mSecurityURL);
}

void USandboxUserFolder::initWithFolderPath(const QString &path) {
    setSandboxBookmarkData(sandboxBookmarkDataWithFolderURL(QUrl::fromLocalFile(path)));
}

USandboxUserFolder *USandboxUserFolder::sandboxPrefsFolderWithFolderURL(const QUrl &url, QObject *parent) {
    return sandboxPrefsFolderWithSandboxBookmarkData(sandboxBookmarkDataWithFolderURL(url), parent);
}

USandboxUserFolder *USandboxUserFolder::sandboxPrefsFolderWithSandboxBookmarkData(const QByteArray &data,
                                                                                  QObject *parent) {
    auto *folder = new USandboxUserFolder(QString(), parent);
    if (!data.isNull()) folder->setSandboxBookmarkData(data);
    return folder;
}

USandboxUserFolder *USandboxUserFolder::sandboxPrefsFolderWithUserDefaultsKey(const QString &key, QObject *parent) {
    return sandboxPrefsFolderWithSandboxBookmarkData(NSUserDefaults::standardUserDefaults().dataForKey(key), parent);
}

QByteArray USandboxUserFolder::sandboxBookmarkDataWithFolderURL(const QUrl &url) {
    return SandboxURL::securityBookmarkDataForSandboxURL(url);
}

QUrl USandboxUserFolder::folderURLWithSandboxBookmarkData(const QByteArray &data) {
    return SandboxURL::sandboxURLWithSecurityBookmarkData(data);
}

QString USandboxUserFolder::defaultFolderPath() { return QDir::homePath(); }

QString USandboxUserFolder::serializationKey() const { return className() + "UserDefaultsKey"; }

QString USandboxUserFolder::folderPath() const {
    return mSecurityURL.isLocalFile() ? mSecurityURL.toLocalFile() : QString();
}

QString USandboxUserFolder::folderName() const {
    const QString path = folderPath();
    return path.isNull() ? QString() : QFileInfo(path).fileName();
}

QString USandboxUserFolder::localizedDisplayFolderPath() const {
    const QString path = folderPath();
    return path.isNull() ? QStringLiteral("") : SandboxURL::localizedDisplaySandboxURLFilePath(mSecurityURL);
}

void USandboxUserFolder::setSandboxURL(const QUrl &url) {
    SandboxURL::sandboxURLEndSecurityAccess(mSecurityURL);
    mSecurityURL = url;
    SandboxURL::sandboxURLBeginSecurityAccess(mSecurityURL);
    emit securityURLChanged();
}

void USandboxUserFolder::setSandboxBookmarkData(const QByteArray &data) {
    if (data == mPrivateSandboxData && data.isNull() == mPrivateSandboxData.isNull()) return;
    mPrivateSandboxData = data;
    const QUrl resolved = data.isNull() ? QUrl() : folderURLWithSandboxBookmarkData(data);
    emit sandboxBookmarkDataChanged();
    setSandboxURL(resolved);
}

void USandboxUserFolder::setSandboxURLForSandboxBookmarkData(const QUrl &url, const QByteArray &data) {
    setSandboxURL(url);
    mPrivateSandboxData = data;
    emit sandboxBookmarkDataChanged();
}

void USandboxUserFolder::serializeSaveDataWithKey(const QString &key) {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    defaults.setObject(mPrivateSandboxData.isNull() ? QVariant() : QVariant(mPrivateSandboxData), key);
    VERIFY(defaults.synchronize());
}

void USandboxUserFolder::serializeLoadDataWithKey(const QString &key) {
    NSUserDefaults &defaults = NSUserDefaults::standardUserDefaults();
    if (!defaults.objectForKey(key).isValid()) return;
    setSandboxBookmarkData(defaults.dataForKey(key));
}

QUrl USandboxUserFolder::createFileURLWithFileName(const QString &name) {
    if (!VERIFY(IsOneName(name))) return {};
    const QUrl folder = folderURLWithSandboxBookmarkData(mPrivateSandboxData);
    if (!folder.isLocalFile() || !QFileInfo(folder.toLocalFile()).isDir()) return {};
    return QUrl::fromLocalFile(QDir(folder.toLocalFile()).filePath(name));
}

void USandboxUserFolder::releaseFileURLWithFileName(const QUrl &) {}

QSet<QString> USandboxUserFolder::keyPathsForValuesAffectingValueForKey(const QString &key) const {
    if (key == "folderURL" || key == "sandboxURL" || key == "folderPath" || key == "folderName" ||
        key == "localizedDisplayFolderPath")
        return {QStringLiteral("securityURL")};
    return NSObject::keyPathsForValuesAffectingValueForKey(key);
}

USandboxMoviesFolder::USandboxMoviesFolder(QObject *parent) : USandboxUserFolder(defaultFolderPath(), parent) {}
QString USandboxMoviesFolder::defaultFolderPath() { return UserFolderOrHome(kMovieDocumentsFolderType); }

USandboxPicturesFolder::USandboxPicturesFolder(QObject *parent) : USandboxUserFolder(defaultFolderPath(), parent) {}
QString USandboxPicturesFolder::defaultFolderPath() { return UserFolderOrHome(kPictureDocumentsFolderType); }

USandboxDocumentsFolder::USandboxDocumentsFolder(QObject *parent) : USandboxUserFolder(defaultFolderPath(), parent) {}
QString USandboxDocumentsFolder::defaultFolderPath() { return UserFolderOrHome(kDocumentsFolderType); }

USandboxTemporaryFolder::USandboxTemporaryFolder(QObject *parent) : USandboxUserFolder(defaultFolderPath(), parent) {}
QString USandboxTemporaryFolder::defaultFolderPath() { return USecurityAppSandbox::processTemporaryFolderPath(); }
