// AuthDittoToolController: answers what the installer panel asks about a payload (installed,
// up to date, version summaries) and installs or removes it by running the install helper the
// bundle ships (Contents/Helpers/LumoraInstallHelper, see helper/LumoraInstallHelper) and
// waiting for it.
//
// The helper is started with an argument list, never a shell line: [helper path, helper path,
// "install" or "delete", location name, payload path]. It asks for administrator rights
// itself. The install or removal succeeded only when the helper exits with status 0; anything
// else leaves lastFailure() saying what failed (the helper's "LumoraInstallHelper error:"
// lines and its status), for the panel to show.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include "AuthDittoTool.h"

class QProcess;

class AuthDittoToolController : public QObject {
    Q_OBJECT

public:
    Q_INVOKABLE explicit AuthDittoToolController(QObject *parent = nullptr);
    ~AuthDittoToolController() override;

    // The helper's file name inside the bundle; "LumoraInstallHelper".
    QString authDittoToolHelperName() const { return mHelperName; }
    void setAuthDittoToolHelperName(const QString &name) { mHelperName = name; }
    // The bundle that holds the payloads and the helper; empty for the application's own.
    QString payloadBundlePath() const { return mBundlePath; }
    void setPayloadBundlePath(const QString &path) { mBundlePath = path; }

    // The first that exists of the bundle's Resources, PlugIns and Helpers file of the name;
    // empty when none.
    QString mainBundlePayloadPathForPayloadName(const QString &name) const;
    // The helper's path in the bundle; empty when the bundle has none.
    QString authDittoToolHelperPath() const;
    QString bundlePayloadSourcePath(const tagBundlePayload &payload) const;
    // Where the payload is installed; empty for an unknown location.
    QString bundlePayloadSystemInstallationPath(const tagBundlePayload &payload) const;
    bool bundlePayloadIsInstalled(const tagBundlePayload &payload) const;
    // Installed and the same as the copy in the bundle: for a bundle the same identifier and
    // version (CFBundleIdentifier, CFBundleVersion), for a single file the same bytes.
    bool bundlePayloadInstalledWithExtendedVerification(const tagBundlePayload &payload) const;
    // "<CFBundleName> <CFBundleVersion>" of the bundle at the path; "" when it is no bundle
    // or lacks either.
    static QString bundleVersionSummaryString(const QString &path);
    QString bundlePayloadSourceVersionSummary(const tagBundlePayload &payload) const;
    // "NOT INSTALLED", or the installed copy's summary with " (IS UP TO DATE)" or
    // " (NEEDS UPDATING)".
    QString bundlePayloadSystemVersionSummary(const tagBundlePayload &payload) const;

    // Installs (true) a payload that is not installed, or removes (false) one that is;
    // otherwise does nothing and answers false. True when the helper succeeded.
    bool bundlePayloadInstallYESRemoveNO(const tagBundlePayload &payload, bool install);
    bool install(bool install, const tagBundlePayload &payload);
    // Starts the program arguments[0] with all of `arguments` as its arguments and waits for
    // it; true only when it ran and exited with status 0.
    bool launchHelperWithArguments(const QStringList &arguments);
    // Waits for the started task to end; true only when it exited normally with status 0.
    bool sleepUntilTaskExits(QProcess *task);

    // What the last install or removal that failed reported; empty after a success.
    QString lastFailure() const { return mLastFailure; }

private:
    QString mHelperName;
    QString mBundlePath;
    QString mLastFailure;
};

bool import_AuthDittoToolController();
