#include <USecuritySandbox/USecurityAppSandbox.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include <Carbon/Carbon.h>
#include <CoreX/CoreMachDebugLog.h>

bool import_USecurityAppSandbox() { return import_CoreMachDebugLog(); }

const char *const USecurityAppSandbox::kDeveloperTeamID = "T7LUMORA42";

namespace {

std::string Encoded(const QString &path) { return QFile::encodeName(path).toStdString(); }
QString Decoded(const std::string &path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// A real folder (not a symbolic link) that this user owns and nobody else may enter.
bool IsPrivateFolder(const std::string &path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() && (info.st_mode & 077) == 0;
}

// Makes a private folder at the path unless something is there, then checks what is there.
bool MakePrivateFolder(const std::string &path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        CoreMachDebugLog("USecurityAppSandbox: cannot make the private folder %s (errno %d)", path.c_str(), errno);
        return false;
    }
    if (!IsPrivateFolder(path)) {
        CoreMachDebugLog("USecurityAppSandbox: %s is not a private folder of this user (a link, another owner or "
                         "open to others): refused", path.c_str());
        return false;
    }
    return true;
}

bool IsAbsoluteVariable(const char *value) { return value != nullptr && value[0] == '/'; }

bool IsOneName(const QString &name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains(QChar(0));
}

}  // namespace

QString USecurityAppSandbox::identifierStringWithTeamIDGroupID(const QString &groupID) {
    return QStringLiteral("%1.%2").arg(QString::fromLatin1(kDeveloperTeamID), groupID);
}

QString USecurityAppSandbox::groupContainersFolderPath() {
    std::string frameworks;
    if (!VERIFY(lumora::carbon::FolderPath(kUserDomain, kFrameworksFolderType, frameworks) == noErr)) return {};
    const QString library = QFileInfo(Decoded(frameworks)).path();
    const QString folder = library + "/Group Containers";
    if (!folderPathExistsOrCreatedSuccessfully(folder)) return {};
    return folder;
}

QString USecurityAppSandbox::groupContainerTeamIDFolderPath(const QString &groupID) {
    const QString containers = groupContainersFolderPath();
    if (containers.isNull() || !VERIFY(IsOneName(groupID))) return {};
    return QStringLiteral("%1/%2").arg(containers, identifierStringWithTeamIDGroupID(groupID));
}

QString USecurityAppSandbox::processTemporaryFolderPath() {
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (IsAbsoluteVariable(runtime) && IsPrivateFolder(runtime)) return Decoded(runtime);
    const char *tmp = std::getenv("TMPDIR");
    const std::string base = IsAbsoluteVariable(tmp) ? tmp : "/tmp";
    const std::string folder = base + "/lumora-" + std::to_string(::geteuid());
    if (!MakePrivateFolder(folder)) return {};
    return Decoded(folder);
}

QString USecurityAppSandbox::temporaryTeamIDFolderPath(const QString &groupID) {
    if (!VERIFY(IsOneName(groupID))) return {};
    const QString temporary = processTemporaryFolderPath();
    if (temporary.isNull()) return {};
    const QString folder = temporary + "/" + identifierStringWithTeamIDGroupID(groupID);
    if (!MakePrivateFolder(Encoded(folder))) return {};
    return folder;
}

bool USecurityAppSandbox::folderPathExistsOrCreatedSuccessfully(const QString &path) {
    if (path.isEmpty()) return false;
    const QFileInfo info(path);
    if (info.exists()) return info.isDir();
    return QDir().mkpath(path) && QFileInfo(path).isDir();
}

QUrl USecurityAppSandbox::secureGroupSharedFolderURL(const QString &groupID) {
    const QString folder = groupContainerTeamIDFolderPath(groupID);
    if (folder.isNull() || !folderPathExistsOrCreatedSuccessfully(folder)) return {};
    return QUrl::fromLocalFile(folder);
}

QUrl USecurityAppSandbox::secureTemporaryFolderURL(const QString &groupID) {
    const QString folder = temporaryTeamIDFolderPath(groupID);
    if (folder.isNull()) return {};
    return QUrl::fromLocalFile(folder);
}
