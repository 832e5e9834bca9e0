// LumoraInstallerPanel: the "Install Plug-ins" tool window, where the user installs the
// plug-ins the application carries for every user of the machine, or removes them.
//
// Nib "InstallerPanel": the panel's root with an introduction, the grid "payloadRows", the
// busy indicator, the status line and the Close button; its plain objects are the tool
// controller and one AuthDittoBundlePayloadController per payload, in the order of the rows.
// Each payload object carries, written in the form, FileName and SystemLocation (see
// AuthDittoTool.h) and the row's title and purpose (PayloadTitle, PayloadPurpose).
//
// A row per payload, named after its object ("<object>Title", "Purpose", "Versions", "State",
// "Install", "Remove", "Failure"): the title and what it is for; the version in the
// application and the installed one; the state "Not installed", "Installed" or "Out of date";
// Install (Update when out of date: the old copy is removed, then the new one installed) and
// Remove, each enabled only when the state allows it and no helper is running; the failure
// text of the last install or removal of that payload that failed.
//
// The tool controller waits for the install helper until it exits, and the helper may wait
// for the administrator's password: the panel runs that wait on a worker thread with a tool
// controller of its own (same bundle, same helper), shows the busy indicator, a busy cursor
// and what it is doing, and keeps every Install and Remove disabled until the helper is done.
// Closing the panel does not stop the helper; destroying it waits for the helper.
//
// The place and size are kept in the standard user defaults when the panel is hidden and
// restored when it is made: "InstallerPanelFrame" string "x y width height" (a side outside
// 1..10000 is ignored). Escape closes the panel, whatever control has the focus.
//
// Main thread; a QApplication must exist.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>

#include <LumoraApp/AuthDittoToolController.h>

class AuthDittoBundlePayloadController;
class QLabel;
class QProgressBar;
class QPushButton;
class QThread;
class QWidget;

class LumoraInstallerPanel : public QObject {
    Q_OBJECT

public:
    static constexpr char kFrameKey[] = "InstallerPanelFrame";

    explicit LumoraInstallerPanel(QObject *parent = nullptr);
    ~LumoraInstallerPanel() override;

    // The panel's window; null when its form did not load (logged).
    QWidget *widget() const { return mWindow.get(); }
    // Shows the panel and brings it to the front.
    void show();

    // The form's tool controller and payloads (for a bundle other than the application's, the
    // tool controller's payloadBundlePath).
    AuthDittoToolController *toolController() const { return mToolController.data(); }
    QList<AuthDittoBundlePayloadController *> payloads() const;
    // Whether an install or removal is running.
    bool isBusy() const { return mWorker != nullptr; }

    // What the row's buttons do: installs (or updates) / removes the payload of that index.
    // Nothing while another one runs or when the state does not allow it.
    void installPayload(int index);
    void removePayload(int index);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Row {
        QPointer<AuthDittoBundlePayloadController> payload;
        QLabel *versions = nullptr;
        QLabel *state = nullptr;
        QPushButton *install = nullptr;
        QPushButton *remove = nullptr;
        QLabel *failure = nullptr;
    };

    void buildRows();
    void refreshRow(const Row &row);
    void refreshRows();
    void run(int index, bool install);
    void workerDone(int index, bool install, bool done, const QString &failure);
    void restoreFrame();
    void storeFrame();

    std::unique_ptr<QWidget> mWindow;
    QPointer<AuthDittoToolController> mToolController;
    QList<Row> mRows;
    QProgressBar *mBusyIndicator = nullptr;
    QLabel *mStatus = nullptr;
    QThread *mWorker = nullptr;
};
