// AuthDittoBundlePayloadController: one plug-in payload of the installer panel. FileName and
// SystemLocation are set in the panel's file, and so is its tool controller (the outlet
// authDittoToolController); the state properties ask the tool controller and are announced as
// changed once a second, so that the panel's controls re-read them.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "AuthDittoToolController.h"

class QTimer;

class AuthDittoBundlePayloadController : public QObject {
    Q_OBJECT
    Q_PROPERTY(AuthDittoToolController *authDittoToolController READ authDittoToolController WRITE
                   setAuthDittoToolController)
    Q_PROPERTY(QString FileName READ fileName WRITE setFileName)
    Q_PROPERTY(QString SystemLocation READ systemLocation WRITE setSystemLocation)
    Q_PROPERTY(QString payloadSystemSummary READ payloadSystemSummary NOTIFY payloadSystemSummaryChanged)
    Q_PROPERTY(QString payloadSourceSummary READ payloadSourceSummary NOTIFY payloadSourceSummaryChanged)
    Q_PROPERTY(QString payloadInstalledLocation READ payloadInstalledLocation NOTIFY payloadInstalledLocationChanged)
    Q_PROPERTY(QString payloadInstalledLocationFolder READ payloadInstalledLocationFolder NOTIFY
                   payloadInstalledLocationFolderChanged)
    Q_PROPERTY(bool payloadInstalled READ payloadInstalled WRITE setPayloadInstalled NOTIFY payloadInstalledChanged)
    Q_PROPERTY(bool payloadInstalledAndUpToDate READ payloadInstalledAndUpToDate NOTIFY
                   payloadInstalledAndUpToDateChanged)
    Q_PROPERTY(QString payloadFailure READ payloadFailure NOTIFY payloadFailureChanged)

public:
    Q_INVOKABLE explicit AuthDittoBundlePayloadController(QObject *parent = nullptr);
    ~AuthDittoBundlePayloadController() override;

    AuthDittoToolController *authDittoToolController() const { return mToolController; }
    void setAuthDittoToolController(AuthDittoToolController *controller) { mToolController = controller; }
    QString fileName() const { return mFileName; }
    void setFileName(const QString &name) { mFileName = name; }
    QString systemLocation() const { return mSystemLocation; }
    void setSystemLocation(const QString &location) { mSystemLocation = location; }

    tagBundlePayload bundlePayload() const;
    QString payloadSystemSummary() const;
    QString payloadSourceSummary() const;
    QString payloadInstalledLocation() const;
    QString payloadInstalledLocationFolder() const;
    bool payloadInstalled() const;
    bool payloadInstalledAndUpToDate() const;
    // What the last install or removal that failed reported; empty after a success.
    QString payloadFailure() const { return mFailure; }

    // Installs (true) or removes (false) the payload; false when nothing was done or the
    // helper failed (then payloadFailure says why).
    bool setPayloadInstalled(bool installed);
    // How an install or removal run elsewhere ended (the panel runs the helper on a worker
    // thread, with a tool controller of its own): keeps the failure text and announces the
    // changes as setPayloadInstalled does.
    void payloadInstallDidEnd(bool done, const QString &failure);

    Q_INVOKABLE void awakeFromNib();
    void beginRefreshing();
    void endRefreshing();
    bool isRefreshing() const { return mBindingsRefresher != nullptr; }

public slots:
    // The panel's buttons: a failure is shown to the user in a warning.
    void installPayload();
    void removePayload();
    void bindingsRefreshTimer();

signals:
    void payloadSystemSummaryChanged();
    void payloadSourceSummaryChanged();
    void payloadInstalledLocationChanged();
    void payloadInstalledLocationFolderChanged();
    void payloadInstalledChanged();
    void payloadInstalledAndUpToDateChanged();
    void payloadFailureChanged();

private:
    void showFailure();

    QPointer<AuthDittoToolController> mToolController;
    QString mFileName;
    QString mSystemLocation;
    QString mFailure;
    QTimer *mBindingsRefresher = nullptr;
};

bool import_AuthDittoBundlePayloadController();
