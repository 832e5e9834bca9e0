#include "AuthDittoToolController.h"

#include <Foundation/NSObjCRuntime.h>
#include <Foundation/NSPropertyList.h>

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QVariantMap>

NS_REGISTER_CLASS(AuthDittoToolController);

namespace {

std::string Local8(const QString &text) { return text.toStdString(); }
QString FromLocal8(const std::string &text) { return QString::fromStdString(text); }

// The Info.plist dictionary of the bundle at the path; empty when it is no bundle.
QVariantMap BundleInfo(const QString &path) {
    QFile file(path + "/Contents/Info.plist");
    if (path.isEmpty() || file.size() > (1 << 20) || !file.open(QIODevice::ReadOnly)) return {};
    return NSPropertyListSerialization::propertyListWithData(file.readAll()).toMap();
}

bool SameFileContents(const QString &first, const QString &second) {
    QFile a(first), b(second);
    if (!QFileInfo(first).isFile() || !QFileInfo(second).isFile() || a.size() != b.size()) return false;
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly)) return false;
    while (!a.atEnd()) {
        if (a.read(1 << 16) != b.read(1 << 16)) return false;
    }
    return true;
}

}  // namespace

AuthDittoToolController::AuthDittoToolController(QObject *parent)
    : QObject(parent), mHelperName(QStringLiteral("LumoraInstallHelper")) {}

AuthDittoToolController::~AuthDittoToolController() = default;

QString AuthDittoToolController::mainBundlePayloadPathForPayloadName(const QString &name) const {
    const std::string bundle = Local8(mBundlePath);
    const std::string file = Local8(name);
    for (const std::string &path : {AuthDittoTool::mainBundlePayloadPathForResourceName(file, bundle),
                                    AuthDittoTool::mainBundlePayloadPathForPlugInName(file, bundle),
                                    AuthDittoTool::mainBundlePayloadPathForHelperName(file, bundle)}) {
        if (!path.empty()) return FromLocal8(path);
    }
    return {};
}

QString AuthDittoToolController::authDittoToolHelperPath() const {
    return FromLocal8(AuthDittoTool::mainBundlePayloadPathForHelperName(Local8(mHelperName), Local8(mBundlePath)));
}

QString AuthDittoToolController::bundlePayloadSourcePath(const tagBundlePayload &payload) const {
    return mainBundlePayloadPathForPayloadName(FromLocal8(payload.FileName));
}

QString AuthDittoToolController::bundlePayloadSystemInstallationPath(const tagBundlePayload &payload) const {
    return FromLocal8(AuthDittoTool::destinationWithLocationName(payload.SystemLocation, payload.FileName));
}

bool AuthDittoToolController::bundlePayloadIsInstalled(const tagBundlePayload &payload) const {
    const QString path = bundlePayloadSystemInstallationPath(payload);
    return !path.isEmpty() && QFileInfo::exists(path);
}

bool AuthDittoToolController::bundlePayloadInstalledWithExtendedVerification(const tagBundlePayload &payload) const {
    if (!bundlePayloadIsInstalled(payload)) return false;
    const QString source = bundlePayloadSourcePath(payload);
    const QString installed = bundlePayloadSystemInstallationPath(payload);
    if (source.isEmpty()) return false;
    if (QFileInfo(source).isFile()) return SameFileContents(source, installed);
    const QVariantMap mine = BundleInfo(source);
    const QVariantMap theirs = BundleInfo(installed);
    const QString identifier = mine.value(QStringLiteral("CFBundleIdentifier")).toString();
    const QString version = mine.value(QStringLiteral("CFBundleVersion")).toString();
    return !identifier.isEmpty() && !version.isEmpty() &&
           theirs.value(QStringLiteral("CFBundleIdentifier")).toString() == identifier &&
           theirs.value(QStringLiteral("CFBundleVersion")).toString() == version;
}

QString AuthDittoToolController::bundleVersionSummaryString(const QString &path) {
    const QVariantMap info = BundleInfo(path);
    const QString name = info.value(QStringLiteral("CFBundleName")).toString();
    const QString version = info.value(QStringLiteral("CFBundleVersion")).toString();
    if (name.isEmpty() || version.isEmpty()) return {};
    return QStringLiteral("%1 %2").arg(name, version);
}

QString AuthDittoToolController::bundlePayloadSourceVersionSummary(const tagBundlePayload &payload) const {
    return bundleVersionSummaryString(bundlePayloadSourcePath(payload));
}

QString AuthDittoToolController::bundlePayloadSystemVersionSummary(const tagBundlePayload &payload) const {
    if (!bundlePayloadIsInstalled(payload)) return QStringLiteral("NOT INSTALLED");
    const QString summary = bundleVersionSummaryString(bundlePayloadSystemInstallationPath(payload));
    return (bundlePayloadInstalledWithExtendedVerification(payload) ? QStringLiteral("%1 (IS UP TO DATE)")
                                                                    : QStringLiteral("%1 (NEEDS UPDATING)"))
        .arg(summary);
}

bool AuthDittoToolController::bundlePayloadInstallYESRemoveNO(const tagBundlePayload &payload, bool install) {
    mLastFailure.clear();
    const bool installed = bundlePayloadIsInstalled(payload);
    if (install == installed) return false;
    return this->install(install, payload);
}

bool AuthDittoToolController::install(bool install, const tagBundlePayload &payload) {
    mLastFailure.clear();
    const QString file = FromLocal8(payload.FileName);
    if (AuthDittoTool::locationWithName(payload.SystemLocation) == nullptr) {
        mLastFailure = tr("\"%1\" cannot be installed: \"%2\" is no known location.")
                           .arg(file, FromLocal8(payload.SystemLocation));
        return false;
    }
    const QString source = bundlePayloadSourcePath(payload);
    if (source.isEmpty()) {
        mLastFailure = tr("The application holds no \"%1\".").arg(file);
        return false;
    }
    const QString helper = authDittoToolHelperPath();
    if (helper.isEmpty()) {
        mLastFailure = tr("The install helper \"%1\" is missing from the application.").arg(mHelperName);
        return false;
    }
    return launchHelperWithArguments({helper, install ? QStringLiteral("install") : QStringLiteral("delete"),
                                      FromLocal8(payload.SystemLocation), source});
}

bool AuthDittoToolController::launchHelperWithArguments(const QStringList &arguments) {
    if (arguments.isEmpty()) return false;
    QProcess task;
    task.setProgram(arguments.first());
    task.setArguments(arguments);
    task.setProcessChannelMode(QProcess::SeparateChannels);
    task.setStandardInputFile(QProcess::nullDevice());
    task.setStandardOutputFile(QProcess::nullDevice());
    task.start();
    return sleepUntilTaskExits(&task);
}

bool AuthDittoToolController::sleepUntilTaskExits(QProcess *task) {
    if (task == nullptr) return false;
    const QString program = QFileInfo(task->program()).fileName();
    if (!task->waitForStarted(-1)) {
        mLastFailure = tr("The install helper could not be started: %1").arg(task->errorString());
        return false;
    }
    // The helper may wait for the user to answer the administrator password dialog.
    task->waitForFinished(-1);
    const QString log = QString::fromLocal8Bit(task->readAllStandardError());
    if (task->exitStatus() == QProcess::NormalExit && task->exitCode() == 0) {
        mLastFailure.clear();
        return true;
    }
    QStringList errors;
    for (const QString &line : log.split(QLatin1Char('\n'))) {
        const int at = line.indexOf(QLatin1String("LumoraInstallHelper error: "));
        if (at >= 0) errors << line.mid(at + int(qstrlen("LumoraInstallHelper error: ")));
    }
    mLastFailure = task->exitStatus() == QProcess::NormalExit
                       ? tr("%1 failed with status %2.").arg(program).arg(task->exitCode())
                       : tr("%1 ended abnormally.").arg(program);
    if (!errors.isEmpty()) mLastFailure += QLatin1Char('\n') + errors.join(QLatin1Char('\n'));
    return false;
}

bool import_AuthDittoToolController() { return true; }
