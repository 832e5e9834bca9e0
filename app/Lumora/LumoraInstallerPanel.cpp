#include "LumoraInstallerPanel.h"

#include <AppKit/NSNib.h>
#include <AppKit/NSWindow.h>
#include <Foundation/NSException.h>
#include <Foundation/NSUserDefaults.h>
#include <LumoraApp/AuthDittoBundlePayloadController.h>
#include <LumoraApp/AuthDittoToolController.h>

#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <QThread>
#include <QWidget>

namespace {

// What the form wrote on a payload object beside its own properties (the row's words, kept by
// its placeholder widget).
QString FormString(const QObject *payload, const char *name) {
    const QObject *holder = payload->parent();
    return holder != nullptr ? holder->property(name).toString() : QString();
}

QString Title(const AuthDittoBundlePayloadController *payload) {
    const QString title = FormString(payload, "PayloadTitle");
    return title.isEmpty() ? payload->fileName() : title;
}

// A summary without the controller's " (IS UP TO DATE)" / " (NEEDS UPDATING)": the state
// column says that.
// A single file (a composition) has no version: it is the same file or another one.
QString InstalledVersion(const AuthDittoBundlePayloadController *payload, bool upToDate) {
    if (!payload->payloadInstalled()) return LumoraInstallerPanel::tr("none");
    QString summary = payload->payloadSystemSummary();
    const int at = summary.lastIndexOf(QLatin1String(" ("));
    if (at >= 0) summary.truncate(at);
    if (!summary.isEmpty()) return summary;
    return upToDate ? LumoraInstallerPanel::tr("the same file") : LumoraInstallerPanel::tr("another version of the file");
}

QString BundledVersion(const AuthDittoBundlePayloadController *payload) {
    const QString summary = payload->payloadSourceSummary();
    return summary.isEmpty() ? LumoraInstallerPanel::tr("this version's file") : summary;
}

}  // namespace

LumoraInstallerPanel::LumoraInstallerPanel(QObject *parent) : QObject(parent) {
    // The form's classes are made by name.
    if (!import_AuthDittoToolController() || !import_AuthDittoBundlePayloadController()) return;
    std::unique_ptr<NSNib> nib = NSNib::initWithNibNamed(QStringLiteral("InstallerPanel"));
    QList<QObject *> top;
    if (nib == nullptr || !nib->instantiateNibWithOwner(nullptr, &top) || top.isEmpty()) {
        NSLog(QStringLiteral("LumoraInstallerPanel: the form \"InstallerPanel\" does not load"));
        qDeleteAll(top);
        return;
    }
    auto *window = qobject_cast<QWidget *>(top.takeFirst());
    qDeleteAll(top);
    if (window == nullptr) return;
    mWindow.reset(window);
    mWindow->setWindowFlags(Qt::Tool);
    mToolController = mWindow->findChild<AuthDittoToolController *>(QStringLiteral("authDittoToolController"));
    mBusyIndicator = mWindow->findChild<QProgressBar *>(QStringLiteral("busyIndicator"));
    mStatus = mWindow->findChild<QLabel *>(QStringLiteral("statusLabel"));
    if (mBusyIndicator != nullptr) mBusyIndicator->hide();
    if (auto *close = mWindow->findChild<QPushButton *>(QStringLiteral("closeButton")))
        connect(close, &QPushButton::clicked, mWindow.get(), &QWidget::close);
    buildRows();
    // The payloads started refreshing at awakeFromNib: only while the panel is shown.
    for (const Row &row : mRows)
        if (row.payload) row.payload->endRefreshing();
    mWindow->installEventFilter(this);
    restoreFrame();
}

LumoraInstallerPanel::~LumoraInstallerPanel() {
    if (mWorker != nullptr) {
        mWorker->wait();
        delete mWorker;
    }
    if (mWindow != nullptr) {
        mWindow->removeEventFilter(this);
        storeFrame();
    }
}

QList<AuthDittoBundlePayloadController *> LumoraInstallerPanel::payloads() const {
    QList<AuthDittoBundlePayloadController *> list;
    for (const Row &row : mRows)
        if (row.payload) list << row.payload.data();
    return list;
}

void LumoraInstallerPanel::buildRows() {
    QWidget *rows = mWindow->findChild<QWidget *>(QStringLiteral("payloadRows"));
    auto *grid = rows != nullptr ? qobject_cast<QGridLayout *>(rows->layout()) : nullptr;
    if (grid == nullptr) {
        NSLog(QStringLiteral("LumoraInstallerPanel: the form has no grid \"payloadRows\""));
        return;
    }
    QWidget *previous = nullptr;
    int line = 0;
    const QList<AuthDittoBundlePayloadController *> found = mWindow->findChildren<AuthDittoBundlePayloadController *>();
    for (AuthDittoBundlePayloadController *payload : found) {
        const QString name = payload->objectName();
        const QString title = Title(payload);
        const int index = int(mRows.size());

        if (index > 0) {
            auto *rule = new QFrame(rows);
            rule->setFrameShape(QFrame::HLine);
            rule->setFrameShadow(QFrame::Sunken);
            grid->addWidget(rule, line++, 0, 1, 5);
        }
        Row row;
        row.payload = payload;
        auto *heading = new QLabel(rows);
        heading->setObjectName(name + QStringLiteral("Title"));
        heading->setTextFormat(Qt::RichText);
        heading->setText(QStringLiteral("<b>%1</b><br>%2<br><small>%3</small>")
                             .arg(title.toHtmlEscaped(), FormString(payload, "PayloadPurpose").toHtmlEscaped(),
                                  payload->fileName().toHtmlEscaped()));
        heading->setWordWrap(true);
        heading->setAccessibleName(title);
        heading->setToolTip(tr("%1 (%2)").arg(payload->fileName(), payload->systemLocation()));
        grid->addWidget(heading, line, 0);

        row.versions = new QLabel(rows);
        row.versions->setObjectName(name + QStringLiteral("Versions"));
        row.versions->setAccessibleName(tr("%1 versions").arg(title));
        grid->addWidget(row.versions, line, 1);

        row.state = new QLabel(rows);
        row.state->setObjectName(name + QStringLiteral("State"));
        row.state->setAccessibleName(tr("%1 state").arg(title));
        row.state->setToolTip(tr("Whether the plug-in is installed, and the same as the one in Lumora"));
        grid->addWidget(row.state, line, 2);

        row.install = new QPushButton(tr("Install"), rows);
        row.install->setObjectName(name + QStringLiteral("Install"));
        row.install->setAutoDefault(false);
        grid->addWidget(row.install, line, 3);
        row.remove = new QPushButton(tr("Remove"), rows);
        row.remove->setObjectName(name + QStringLiteral("Remove"));
        row.remove->setAutoDefault(false);
        row.remove->setAccessibleName(tr("Remove %1").arg(title));
        grid->addWidget(row.remove, line, 4);
        ++line;

        row.failure = new QLabel(rows);
        row.failure->setObjectName(name + QStringLiteral("Failure"));
        row.failure->setWordWrap(true);
        row.failure->setTextFormat(Qt::RichText);
        row.failure->setTextInteractionFlags(Qt::TextSelectableByMouse);
        row.failure->setAccessibleName(tr("%1 failure").arg(title));
        row.failure->hide();
        grid->addWidget(row.failure, line++, 0, 1, 5);

        connect(row.install, &QPushButton::clicked, this, [this, index] { installPayload(index); });
        connect(row.remove, &QPushButton::clicked, this, [this, index] { removePayload(index); });
        // The payload announces its state once a second while refreshing, and after each run.
        connect(payload, &AuthDittoBundlePayloadController::payloadInstalledChanged, this, [this, index] {
            if (index < mRows.size()) refreshRow(mRows.at(index));
        });

        // Tab: each row's Install then Remove, top to bottom, then Close.
        if (previous != nullptr) QWidget::setTabOrder(previous, row.install);
        QWidget::setTabOrder(row.install, row.remove);
        previous = row.remove;
        mRows.append(row);
    }
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 2);
    if (auto *close = mWindow->findChild<QPushButton *>(QStringLiteral("closeButton")); close && previous)
        QWidget::setTabOrder(previous, close);
    if (mRows.isEmpty()) NSLog(QStringLiteral("LumoraInstallerPanel: the form names no payload"));
    refreshRows();
}

void LumoraInstallerPanel::refreshRows() {
    for (const Row &row : mRows) refreshRow(row);
}

void LumoraInstallerPanel::refreshRow(const Row &row) {
    AuthDittoBundlePayloadController *payload = row.payload.data();
    if (payload == nullptr) return;
    const bool installed = payload->payloadInstalled();
    const bool upToDate = installed && payload->payloadInstalledAndUpToDate();
    const QString title = Title(payload);
    const bool usable = mToolController != nullptr && !isBusy();

    row.versions->setText(tr("In Lumora: %1\nInstalled: %2").arg(BundledVersion(payload), InstalledVersion(payload, upToDate)));
    row.versions->setToolTip(payload->payloadInstalledLocation());
    row.state->setText(!installed ? tr("Not installed") : upToDate ? tr("Installed") : tr("Out of date"));

    const QString folder = payload->payloadInstalledLocationFolder();
    row.install->setText(installed ? tr("Update") : tr("Install"));
    row.install->setAccessibleName(installed ? tr("Update %1").arg(title) : tr("Install %1").arg(title));
    row.install->setToolTip(installed ? tr("Replace the installed %1 with the one in Lumora").arg(title)
                                      : tr("Install %1 for every user, in %2").arg(title, folder));
    row.install->setEnabled(usable && !upToDate);
    row.remove->setToolTip(tr("Remove %1 from %2").arg(title, folder));
    row.remove->setEnabled(usable && installed);

    const QString failure = payload->payloadFailure();
    QString lines = failure.toHtmlEscaped();
    lines.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    row.failure->setText(failure.isEmpty() ? QString()
                                           : QStringLiteral("<b>%1</b> %2").arg(tr("The last attempt failed:"), lines));
    row.failure->setToolTip(failure);
    row.failure->setVisible(!failure.isEmpty());
}

void LumoraInstallerPanel::show() {
    if (mWindow == nullptr) return;
    mWindow->show();
    mWindow->raise();
    mWindow->activateWindow();
}

void LumoraInstallerPanel::installPayload(int index) { run(index, true); }
void LumoraInstallerPanel::removePayload(int index) { run(index, false); }

void LumoraInstallerPanel::run(int index, bool install) {
    if (isBusy() || mToolController == nullptr || index < 0 || index >= mRows.size()) return;
    AuthDittoBundlePayloadController *payload = mRows.at(index).payload.data();
    if (payload == nullptr) return;
    const bool installed = payload->payloadInstalled();
    // Update: the helper copies over what is there, so the old copy goes first.
    const bool update = install && installed && !payload->payloadInstalledAndUpToDate();
    if (install ? installed && !update : !installed) return;

    struct Outcome {
        bool done = false;
        QString failure;
    };
    auto outcome = std::make_shared<Outcome>();
    const QString bundle = mToolController->payloadBundlePath();
    const QString helper = mToolController->authDittoToolHelperName();
    const tagBundlePayload what = payload->bundlePayload();
    mWorker = QThread::create([outcome, bundle, helper, what, install, update] {
        AuthDittoToolController tool;
        tool.setPayloadBundlePath(bundle);
        tool.setAuthDittoToolHelperName(helper);
        bool done = !update || tool.bundlePayloadInstallYESRemoveNO(what, false);
        if (done) done = tool.bundlePayloadInstallYESRemoveNO(what, install);
        outcome->done = done;
        outcome->failure = done ? QString() : tool.lastFailure();
    });
    connect(mWorker, &QThread::finished, this,
            [this, index, install, outcome] { workerDone(index, install, outcome->done, outcome->failure); });

    const QString title = Title(payload);
    if (mStatus != nullptr)
        mStatus->setText((update ? tr("Updating %1…") : install ? tr("Installing %1…") : tr("Removing %1…")).arg(title) +
                         QLatin1Char(' ') + tr("The helper may ask for an administrator's password."));
    if (mBusyIndicator != nullptr) mBusyIndicator->show();
    mWindow->setCursor(Qt::BusyCursor);
    refreshRows();
    mWorker->start();
}

void LumoraInstallerPanel::workerDone(int index, bool install, bool done, const QString &failure) {
    if (mWorker != nullptr) {
        mWorker->wait();
        delete mWorker;
        mWorker = nullptr;
    }
    mWindow->unsetCursor();
    if (mBusyIndicator != nullptr) mBusyIndicator->hide();
    AuthDittoBundlePayloadController *payload = index < mRows.size() ? mRows.at(index).payload.data() : nullptr;
    if (payload == nullptr) return;
    const QString title = Title(payload);
    if (mStatus != nullptr) {
        if (done) mStatus->setText(install ? tr("%1 is installed.").arg(title) : tr("%1 is removed.").arg(title));
        else if (!failure.isEmpty()) mStatus->setText(tr("%1 could not be %2; see its row.").arg(title, install ? tr("installed") : tr("removed")));
        else mStatus->clear();
    }
    // Announces the new state: every row refreshes (the buttons are usable again).
    payload->payloadInstallDidEnd(done, failure);
    refreshRows();
}

bool LumoraInstallerPanel::eventFilter(QObject *watched, QEvent *event) {
    if (watched == mWindow.get()) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            // A key event rather than a shortcut: a tool window is not always the active window.
            auto *key = static_cast<QKeyEvent *>(event);
            if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
                mWindow->close();
                return true;
            }
            break;
        }
        case QEvent::Show:
            for (const Row &row : mRows)
                if (row.payload) row.payload->beginRefreshing();
            refreshRows();
            break;
        case QEvent::Hide:
            for (const Row &row : mRows)
                if (row.payload) row.payload->endRefreshing();
            storeFrame();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void LumoraInstallerPanel::restoreFrame() { NSWindow::setFrameUsingName(mWindow.get(), QString::fromLatin1(kFrameKey)); }

void LumoraInstallerPanel::storeFrame() {
    NSWindow::saveFrameUsingName(mWindow.get(), QString::fromLatin1(kFrameKey));
    NSUserDefaults::standardUserDefaults().synchronize();
}
