#include "AuthDittoBundlePayloadController.h"

#include <Foundation/NSObjCRuntime.h>

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

NS_REGISTER_CLASS(AuthDittoBundlePayloadController);

AuthDittoBundlePayloadController::AuthDittoBundlePayloadController(QObject *parent) : QObject(parent) {}

AuthDittoBundlePayloadController::~AuthDittoBundlePayloadController() { endRefreshing(); }

tagBundlePayload AuthDittoBundlePayloadController::bundlePayload() const {
    return {mFileName.toStdString(), mSystemLocation.toStdString()};
}

QString AuthDittoBundlePayloadController::payloadSystemSummary() const {
    return mToolController ? mToolController->bundlePayloadSystemVersionSummary(bundlePayload()) : QString();
}

QString AuthDittoBundlePayloadController::payloadSourceSummary() const {
    return mToolController ? mToolController->bundlePayloadSourceVersionSummary(bundlePayload()) : QString();
}

QString AuthDittoBundlePayloadController::payloadInstalledLocation() const {
    return mToolController ? mToolController->bundlePayloadSystemInstallationPath(bundlePayload()) : QString();
}

QString AuthDittoBundlePayloadController::payloadInstalledLocationFolder() const {
    const QString location = payloadInstalledLocation();
    return location.isEmpty() ? QString() : QFileInfo(location).path();
}

bool AuthDittoBundlePayloadController::payloadInstalled() const {
    return mToolController && mToolController->bundlePayloadIsInstalled(bundlePayload());
}

bool AuthDittoBundlePayloadController::payloadInstalledAndUpToDate() const {
    return mToolController && mToolController->bundlePayloadInstalledWithExtendedVerification(bundlePayload());
}

bool AuthDittoBundlePayloadController::setPayloadInstalled(bool installed) {
    if (!mToolController) return false;
    const bool done = mToolController->bundlePayloadInstallYESRemoveNO(bundlePayload(), installed);
    payloadInstallDidEnd(done, done ? QString() : mToolController->lastFailure());
    return done;
}

void AuthDittoBundlePayloadController::payloadInstallDidEnd(bool done, const QString &failure) {
    const QString kept = done ? QString() : failure;
    if (kept != mFailure) {
        mFailure = kept;
        emit payloadFailureChanged();
    }
    emit payloadInstalledAndUpToDateChanged();
    emit payloadSystemSummaryChanged();
    emit payloadInstalledChanged();
}

void AuthDittoBundlePayloadController::installPayload() {
    if (!setPayloadInstalled(true)) showFailure();
}

void AuthDittoBundlePayloadController::removePayload() {
    if (!setPayloadInstalled(false)) showFailure();
}

void AuthDittoBundlePayloadController::showFailure() {
    if (mFailure.isEmpty() || qobject_cast<QApplication *>(QCoreApplication::instance()) == nullptr) return;
    QMessageBox::warning(nullptr, tr("Plug-in installation"), mFailure);
}

void AuthDittoBundlePayloadController::awakeFromNib() { beginRefreshing(); }

void AuthDittoBundlePayloadController::beginRefreshing() {
    if (mBindingsRefresher != nullptr) return;
    mBindingsRefresher = new QTimer(this);
    mBindingsRefresher->setInterval(1000);
    connect(mBindingsRefresher, &QTimer::timeout, this, &AuthDittoBundlePayloadController::bindingsRefreshTimer);
    mBindingsRefresher->start();
}

void AuthDittoBundlePayloadController::endRefreshing() {
    if (mBindingsRefresher == nullptr) return;
    mBindingsRefresher->stop();
    delete mBindingsRefresher;
    mBindingsRefresher = nullptr;
}

void AuthDittoBundlePayloadController::bindingsRefreshTimer() {
    emit payloadInstalledAndUpToDateChanged();
    emit payloadSystemSummaryChanged();
    emit payloadSourceSummaryChanged();
    emit payloadInstalledLocationChanged();
    emit payloadInstalledLocationFolderChanged();
    emit payloadInstalledChanged();
}

bool import_AuthDittoBundlePayloadController() { return true; }
