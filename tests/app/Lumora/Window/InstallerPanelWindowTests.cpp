// The "Install Plug-ins" panel on the X server, with a temporary application bundle whose
// install helper is a stand-in script (it copies or deletes in the temporary local Library
// folder, asks for no rights and takes a moment, as a password dialog would):
//  - a row per payload with its title, versions, state, Install and Remove, each control with
//    a tooltip and an accessible name, the enabled buttons reached by Tab in reading order;
//  - Install then Remove change the state, the buttons and the files in the Library folder,
//    while the event loop runs and the panel shows it is busy;
//  - an out-of-date copy is "Out of date" and Update replaces it;
//  - a failing helper's message shows in the payload's row and the buttons are usable again;
//  - Escape closes the panel; its place and size come back in the next panel.
#include <Lumora/LumoraInstallerPanel.h>

#include <Foundation/NSUserDefaults.h>
#include <LumoraApp/AuthDittoBundlePayloadController.h>
#include <LumoraApp/AuthDittoToolController.h>
#include <LumoraApp/LumoraStartup.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>

#include "sdk/RiradI/RiradITestApplication.h"

#include "support/EventLoop.h"

#include "MainNibTest.h"

namespace {

bool PutFile(const QString &path, const QByteArray &contents) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size();
}

bool PutBundle(const QString &path, const QString &identifier, const QString &name, const QString &version) {
    const QString plist = QStringLiteral(
                              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
                              "\t<key>CFBundleIdentifier</key>\n\t<string>%1</string>\n"
                              "\t<key>CFBundleName</key>\n\t<string>%2</string>\n"
                              "\t<key>CFBundleVersion</key>\n\t<string>%3</string>\n</dict>\n</plist>\n")
                              .arg(identifier, name, version);
    return PutFile(path + "/Contents/Info.plist", plist.toUtf8());
}

// The stand-in for LumoraInstallHelper: [own path, "install" or "delete", location, payload].
// A failure says so on standard error as the real helper does, and exits with 74.
constexpr char kFakeHelper[] = R"sh(#!/bin/sh
sleep 0.3
case "$3" in
  Library.QuickTime) sub=QuickTime ;;
  Library.CoreImage) sub="Graphics/Image Units" ;;
  Library.Compositions) sub=Compositions ;;
  *) echo "LumoraInstallHelper error: no location $3" >&2; exit 64 ;;
esac
dir="$LUMORA_LOCAL_LIBRARY/$sub"
dest="$dir/$(basename "$4")"
case "$2" in
  install) if ! { mkdir -p "$dir" && cp -R "$4" "$dest"; } 2>/dev/null; then
             echo "LumoraInstallHelper error: cannot copy into $dir" >&2; exit 74; fi ;;
  delete) rm -rf "$dest" || exit 74 ;;
  *) exit 64 ;;
esac
exit 0
)sh";

template <typename T>
T *Named(QWidget *root, const QString &name) {
    return root->findChild<T *>(name);
}

// The payloads the form names, where they sit in the bundle and where they are installed.
const struct Payload {
    const char *object;
    const char *file;
    const char *bundled;    // in the bundle's Contents
    const char *installed;  // in the Library folder
} kPayloads[] = {
    {"vdigPayload", "Lumora2.VDIG.component", "PlugIns", "QuickTime"},
    {"imageUnitPayload", "CILumora2Input.plugin", "PlugIns", "Graphics/Image Units"},
    {"gradientsPayload", "com.tarvex.Gradients.qtz", "Resources", "Compositions"},
    {"tintMaskPayload", "com.tarvex.TintMask.qtz", "Resources", "Compositions"},
};

class InstallerPanelWindow : public MainNibTest {
protected:
    void SetUp() override {
        MainNibTest::SetUp();
        if (IsSkipped()) return;
        NSUserDefaults::standardUserDefaults().removeObject(LumoraInstallerPanel::kFrameKey);
        ASSERT_TRUE(mRoot.isValid());
        if (const char *value = std::getenv("LUMORA_LOCAL_LIBRARY")) mSavedLocal = value;
        ::setenv("LUMORA_LOCAL_LIBRARY", library().toLocal8Bit().constData(), 1);

        ASSERT_TRUE(PutBundle(contents("PlugIns/Lumora2.VDIG.component"), "com.tarvex.Lumora2.VDIG", "Lumora2", "2.0"));
        ASSERT_TRUE(PutBundle(contents("PlugIns/CILumora2Input.plugin"), "com.tarvex.CILumora2Input", "CILumora2Input", "2.0"));
        ASSERT_TRUE(PutFile(contents("Resources/com.tarvex.Gradients.qtz"), "gradients"));
        ASSERT_TRUE(PutFile(contents("Resources/com.tarvex.TintMask.qtz"), "tint mask"));
        const QString helper = contents("Helpers/LumoraInstallHelper");
        ASSERT_TRUE(PutFile(helper, kFakeHelper));
        QFile::setPermissions(helper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void TearDown() override {
        NSUserDefaults::standardUserDefaults().removeObject(LumoraInstallerPanel::kFrameKey);
        if (mSavedLocal.isEmpty()) ::unsetenv("LUMORA_LOCAL_LIBRARY");
        else ::setenv("LUMORA_LOCAL_LIBRARY", mSavedLocal.constData(), 1);
    }

    QString library() const { return mRoot.filePath(QStringLiteral("Local/Library")); }
    QString contents(const QString &path) const { return mRoot.filePath(QStringLiteral("Lumora.app/Contents/") + path); }
    QString installedPath(const Payload &payload) const {
        return library() + QLatin1Char('/') + payload.installed + QLatin1Char('/') + payload.file;
    }

    // A panel on the temporary bundle, shown.
    std::unique_ptr<LumoraInstallerPanel> OpenPanel() {
        auto panel = std::make_unique<LumoraInstallerPanel>();
        if (panel->widget() == nullptr || panel->toolController() == nullptr) return nullptr;
        panel->toolController()->setPayloadBundlePath(mRoot.filePath(QStringLiteral("Lumora.app")));
        panel->show();
        if (!QTest::qWaitForWindowExposed(panel->widget())) return nullptr;
        return panel;
    }

    static QString StateOf(QWidget *window, const Payload &payload) {
        return Named<QLabel>(window, QString::fromLatin1(payload.object) + "State")->text();
    }
    static QPushButton *Button(QWidget *window, const Payload &payload, const char *which) {
        return Named<QPushButton>(window, QString::fromLatin1(payload.object) + which);
    }

    QTemporaryDir mRoot;
    QByteArray mSavedLocal;
};

TEST_F(InstallerPanelWindow, EveryPayloadHasItsRowWithTipsNamesAndTabStops) {
    auto panel = OpenPanel();
    ASSERT_NE(panel, nullptr);
    QWidget *window = panel->widget();
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(window->windowTitle(), "Install Plug-ins");
    riradi_test::SaveScreenshot(window, QStringLiteral("InstallerPanel"));

    const QList<AuthDittoBundlePayloadController *> payloads = panel->payloads();
    ASSERT_EQ(payloads.size(), qsizetype(std::size(kPayloads)));
    QList<QWidget *> controls;
    for (qsizetype i = 0; i < payloads.size(); ++i) {
        const Payload &payload = kPayloads[i];
        SCOPED_TRACE(payload.file);
        // The form's strings reached the payload object, which asks the form's tool controller.
        EXPECT_EQ(payloads[i]->objectName(), payload.object);
        EXPECT_EQ(payloads[i]->fileName(), payload.file);
        EXPECT_EQ(payloads[i]->authDittoToolController(), panel->toolController());
        EXPECT_TRUE(payloads[i]->isRefreshing()) << "refreshes while shown";
        EXPECT_EQ(payloads[i]->payloadInstalledLocation(), installedPath(payload));

        for (const char *part : {"Title", "Versions", "State", "Failure"})
            ASSERT_NE(Named<QLabel>(window, QString::fromLatin1(payload.object) + part), nullptr) << part;
        EXPECT_EQ(StateOf(window, payload), "Not installed");
        EXPECT_FALSE(Named<QLabel>(window, QString::fromLatin1(payload.object) + "Failure")->isVisible());
        EXPECT_TRUE(Named<QLabel>(window, QString::fromLatin1(payload.object) + "Versions")->text().contains("Installed: none"));
        QPushButton *install = Button(window, payload, "Install");
        QPushButton *remove = Button(window, payload, "Remove");
        ASSERT_NE(install, nullptr);
        ASSERT_NE(remove, nullptr);
        EXPECT_EQ(install->text(), "Install");
        EXPECT_TRUE(install->isEnabled());
        EXPECT_FALSE(remove->isEnabled()) << "nothing to remove";
        controls << install << remove;
    }
    EXPECT_TRUE(Named<QLabel>(window, "vdigPayloadVersions")->text().contains("In Lumora: Lumora2 2.0"));
    controls << Named<QPushButton>(window, "closeButton");

    for (QWidget *control : controls) {
        EXPECT_FALSE(control->toolTip().isEmpty()) << control->objectName().toStdString();
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
        EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus) << control->objectName().toStdString();
    }
    // Tab goes through the controls top to bottom, left to right.
    QList<QWidget *> chain;
    for (QWidget *widget = window->nextInFocusChain(); widget != window; widget = widget->nextInFocusChain())
        if (controls.contains(widget) && !chain.contains(widget)) chain << widget;
    EXPECT_EQ(chain, controls);
    // And by keyboard, the first Install is reached and pressed with the space bar.
    QPushButton *first = Button(window, kPayloads[0], "Install");
    window->activateWindow();
    first->setFocus(Qt::TabFocusReason);
    QTest::keyClick(first, Qt::Key_Space);
    EXPECT_TRUE(panel->isBusy());
    EXPECT_TRUE(SpinUntil([&] { return !panel->isBusy(); }, 10000));
    EXPECT_EQ(StateOf(window, kPayloads[0]), "Installed");
}

TEST_F(InstallerPanelWindow, InstallThenRemoveChangeTheStateAndTheLibraryFolder) {
    auto panel = OpenPanel();
    ASSERT_NE(panel, nullptr);
    QWidget *window = panel->widget();
    auto *busy = Named<QProgressBar>(window, "busyIndicator");
    ASSERT_NE(busy, nullptr);
    for (const Payload &payload : kPayloads) {
        SCOPED_TRACE(payload.file);
        const QString installed = installedPath(payload);
        ASSERT_FALSE(QFileInfo::exists(installed));

        // The helper takes a while; the event loop goes on meanwhile and the panel shows it works.
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start(20);
        QTest::mouseClick(Button(window, payload, "Install"), Qt::LeftButton);
        EXPECT_TRUE(panel->isBusy());
        EXPECT_TRUE(busy->isVisible());
        EXPECT_EQ(window->cursor().shape(), Qt::BusyCursor);
        for (const Payload &other : kPayloads) {
            EXPECT_FALSE(Button(window, other, "Install")->isEnabled()) << other.file << ": one helper at a time";
            EXPECT_FALSE(Button(window, other, "Remove")->isEnabled()) << other.file;
        }
        ASSERT_TRUE(SpinUntil([&] { return !panel->isBusy(); }, 10000));
        EXPECT_GT(ticks, 1) << "the event loop ran while the helper worked";
        EXPECT_FALSE(busy->isVisible());
        EXPECT_NE(window->cursor().shape(), Qt::BusyCursor);

        EXPECT_TRUE(QFileInfo::exists(installed));
        EXPECT_EQ(StateOf(window, payload), "Installed");
        EXPECT_FALSE(Button(window, payload, "Install")->isEnabled()) << "up to date";
        EXPECT_TRUE(Button(window, payload, "Remove")->isEnabled());

        QTest::mouseClick(Button(window, payload, "Remove"), Qt::LeftButton);
        ASSERT_TRUE(SpinUntil([&] { return !panel->isBusy(); }, 10000));
        EXPECT_FALSE(QFileInfo::exists(installed));
        EXPECT_EQ(StateOf(window, payload), "Not installed");
        EXPECT_TRUE(Button(window, payload, "Install")->isEnabled());
        EXPECT_FALSE(Button(window, payload, "Remove")->isEnabled());
    }
    // What is done outside the panel shows within the refresh (once a second).
    ASSERT_TRUE(PutFile(library() + "/Compositions/com.tarvex.Gradients.qtz", "gradients"));
    EXPECT_TRUE(SpinUntil([&] { return StateOf(window, kPayloads[2]) == "Installed"; }, 5000));
}

TEST_F(InstallerPanelWindow, AnOutOfDateCopyIsUpdated) {
    const Payload &vdig = kPayloads[0];
    ASSERT_TRUE(PutBundle(installedPath(vdig), "com.tarvex.Lumora2.VDIG", "Lumora2", "1.0"));
    ASSERT_TRUE(PutFile(installedPath(vdig) + "/Contents/stale", "left from 1.0"));
    const Payload &tintMask = kPayloads[3];
    ASSERT_TRUE(PutFile(installedPath(tintMask), "an older tint mask"));
    auto panel = OpenPanel();
    ASSERT_NE(panel, nullptr);
    QWidget *window = panel->widget();
    for (const Payload *payload : {&vdig, &tintMask}) {
        SCOPED_TRACE(payload->file);
        EXPECT_EQ(StateOf(window, *payload), "Out of date");
        QPushButton *update = Button(window, *payload, "Install");
        EXPECT_EQ(update->text(), "Update");
        EXPECT_TRUE(update->isEnabled());
        EXPECT_TRUE(Button(window, *payload, "Remove")->isEnabled());
    }
    EXPECT_TRUE(Named<QLabel>(window, "vdigPayloadVersions")->text().contains("Installed: Lumora2 1.0"));
    riradi_test::SaveScreenshot(window, QStringLiteral("InstallerPanelOutOfDate"));

    for (const Payload *payload : {&vdig, &tintMask}) {
        QTest::mouseClick(Button(window, *payload, "Install"), Qt::LeftButton);
        ASSERT_TRUE(SpinUntil([&] { return !panel->isBusy(); }, 15000));
        EXPECT_EQ(StateOf(window, *payload), "Installed") << payload->file;
    }
    EXPECT_FALSE(QFileInfo::exists(installedPath(vdig) + "/Contents/stale")) << "the old copy went first";
    QFile copy(installedPath(tintMask));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), "tint mask");
}

TEST_F(InstallerPanelWindow, AFailingHelperShowsItsMessageInTheRow) {
    // A file where the image units' folder goes: the helper cannot copy.
    ASSERT_TRUE(PutFile(library() + "/Graphics", "not a folder"));
    auto panel = OpenPanel();
    ASSERT_NE(panel, nullptr);
    QWidget *window = panel->widget();
    const Payload &unit = kPayloads[1];
    QTest::mouseClick(Button(window, unit, "Install"), Qt::LeftButton);
    ASSERT_TRUE(SpinUntil([&] { return !panel->isBusy(); }, 10000));

    auto *failure = Named<QLabel>(window, "imageUnitPayloadFailure");
    EXPECT_TRUE(failure->isVisible());
    EXPECT_TRUE(failure->text().contains("failed with status 74")) << failure->text().toStdString();
    EXPECT_TRUE(failure->text().contains("cannot copy into")) << failure->text().toStdString();
    EXPECT_TRUE(Named<QLabel>(window, "statusLabel")->text().contains("could not be installed"));
    EXPECT_EQ(StateOf(window, unit), "Not installed");
    EXPECT_TRUE(Button(window, unit, "Install")->isEnabled()) << "the user may try again";
    EXPECT_FALSE(Named<QLabel>(window, "vdigPayloadFailure")->isVisible()) << "only the row that failed";
    riradi_test::SaveScreenshot(window, QStringLiteral("InstallerPanelFailure"));

    // Once the cause is gone, the next try succeeds and the message goes.
    ASSERT_TRUE(QFile::remove(library() + "/Graphics"));
    QTest::mouseClick(Button(window, unit, "Install"), Qt::LeftButton);
    ASSERT_TRUE(SpinUntil([&] { return !panel->isBusy(); }, 10000));
    EXPECT_EQ(StateOf(window, unit), "Installed");
    EXPECT_FALSE(failure->isVisible());
    EXPECT_TRUE(Named<QLabel>(window, "statusLabel")->text().contains("is installed"));
}

TEST_F(InstallerPanelWindow, EscapeClosesAndThePlaceAndSizeComeBack) {
    const QRect frame(160, 140, 820, 520);
    {
        auto panel = OpenPanel();
        ASSERT_NE(panel, nullptr);
        QWidget *window = panel->widget();
        window->setGeometry(frame);
        Spin(100);
        for (const char *name : {"vdigPayloadInstall", "tintMaskPayloadInstall", "closeButton"}) {
            panel->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
            auto *control = Named<QWidget>(window, name);
            control->setFocus(Qt::TabFocusReason);
            QTest::keyClick(control, Qt::Key_Escape);
            EXPECT_TRUE(SpinUntil([window] { return !window->isVisible(); }, 2000)) << name;
        }
        EXPECT_FALSE(panel->payloads().first()->isRefreshing()) << "no refresh while hidden";
        EXPECT_EQ(NSUserDefaults::standardUserDefaults().stringForKey(LumoraInstallerPanel::kFrameKey),
                  QStringLiteral("%1 %2 %3 %4").arg(window->x()).arg(window->y()).arg(window->width()).arg(window->height()));
    }
    LumoraInstallerPanel next;
    ASSERT_NE(next.widget(), nullptr);
    EXPECT_FALSE(next.payloads().first()->isRefreshing()) << "not shown yet";
    EXPECT_EQ(next.widget()->size(), frame.size());
    // A stored frame that makes no sense is ignored.
    NSUserDefaults::standardUserDefaults().setObject(QStringLiteral("10 10 0 99999"), LumoraInstallerPanel::kFrameKey);
    LumoraInstallerPanel odd;
    ASSERT_NE(odd.widget(), nullptr);
    EXPECT_GT(odd.widget()->width(), 0);
    EXPECT_NE(odd.widget()->height(), 99999);
}

}  // namespace
