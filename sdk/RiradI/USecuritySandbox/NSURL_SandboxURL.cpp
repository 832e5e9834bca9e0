#include <USecuritySandbox/NSURL_SandboxURL.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <climits>
#include <sys/stat.h>

bool import_NSURL_SandboxURL() { return true; }

namespace SandboxURL {

QByteArray standardBookmarkDataForSandboxURL(const QUrl &url) {
    if (!url.isLocalFile()) return {};
    const QString path = QDir::cleanPath(url.toLocalFile());
    if (!QDir::isAbsolutePath(path)) return {};
    return QFile::encodeName(path);
}

QByteArray securityBookmarkDataForSandboxURL(const QUrl &url) { return standardBookmarkDataForSandboxURL(url); }

QByteArray bookmarkDataForSandboxURL(const QUrl &url) {
    const QByteArray security = securityBookmarkDataForSandboxURL(url);
    return security.isNull() ? standardBookmarkDataForSandboxURL(url) : security;
}

QUrl resolvedURLWithSecurityBookmarkData(const QByteArray &data, unsigned) {
    if (data.isEmpty() || data.size() >= PATH_MAX || data[0] != '/' || data.contains('\0')) return {};
    struct stat info;
    if (::stat(data.constData(), &info) != 0) return {};
    return QUrl::fromLocalFile(QFile::decodeName(data));
}

QUrl sandboxURLWithSecurityBookmarkData(const QByteArray &data) {
    return resolvedURLWithSecurityBookmarkData(data, kBookmarkResolutionWithoutMounting);
}

bool sandboxURLBeginSecurityAccess(const QUrl &) { return false; }
bool sandboxURLEndSecurityAccess(const QUrl &) { return false; }

QString sandboxURLFilePath(const QUrl &url) {
    if (!url.isLocalFile()) return {};
    const QString path = url.toLocalFile();
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? path : resolved;
}

QString localizedDisplaySandboxURLFilePath(const QUrl &url) {
    return localizedDisplayPathWithSandboxFilePath(sandboxURLFilePath(url));
}

QString localizedDisplayPathWithSandboxFilePath(const QString &path) {
    if (path.isEmpty()) return QStringLiteral("");
    const QStorageInfo volume(path);
    QString root = volume.isValid() ? volume.rootPath() : QStringLiteral("/");
    QString name = volume.isValid() ? volume.name() : QString();
    if (name.isEmpty()) name = root == "/" ? QStringLiteral("/") : QFileInfo(root).fileName();
    QString below = QDir(root).relativeFilePath(QDir::cleanPath(path));
    if (below == ".") below.clear();
    return name + ":" + below;
}

}  // namespace SandboxURL
