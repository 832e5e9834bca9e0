// The payload installer end to end: a temporary application bundle with its payloads and the
// test build of the install helper, installing into temporary local Library folders.
#include <gtest/gtest.h>

#include <LumoraApp/AuthDittoBundlePayloadController.h>
#include <LumoraApp/AuthDittoTool.h>
#include <LumoraApp/AuthDittoToolController.h>

#include <QVariant>
#include <cstdlib>
#include <unistd.h>

#include "LumoraInstallHelper/HelperTestSupport.h"

namespace {

using lumora::test::PictureOfTree;
using lumora::test::PutBundle;
using lumora::test::PutFile;
using lumora::test::ScopedFolder;

class PayloadInstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::geteuid(), 0u) << "the helper's privileged run needs root";
        if (const char *value = std::getenv("LUMORA_LOCAL_LIBRARY")) mSavedLocal = value;
        ::setenv("LUMORA_LOCAL_LIBRARY", library().c_str(), 1);
        ASSERT_TRUE(PutBundle(bundle("PlugIns/Lumora2.VDIG.component"), "com.tarvex.Lumora2.VDIG", "2.0"));
        ASSERT_TRUE(PutBundle(bundle("PlugIns/Lumora2Input.plugin"), "com.tarvex.Lumora2Input", "2.0"));
        ASSERT_TRUE(PutFile(bundle("Resources/Lumora Live.qtz"), "composition", 0644));
        ASSERT_TRUE(lumora::test::MakeFolders(bundle("Helpers")));
        ASSERT_EQ(::symlink(LUMORA_INSTALL_HELPER_TESTABLE, bundle("Helpers/LumoraInstallHelper").c_str()), 0);
        mController.setPayloadBundlePath(QString::fromStdString(mRoot.file("Lumora.app")));
    }
    void TearDown() override {
        if (mSavedLocal.empty()) ::unsetenv("LUMORA_LOCAL_LIBRARY");
        else ::setenv("LUMORA_LOCAL_LIBRARY", mSavedLocal.c_str(), 1);
    }

    std::string library() const { return mRoot.file("Local/Library"); }
    std::string bundle(const std::string &path) const { return mRoot.file("Lumora.app/Contents/" + path); }

    ScopedFolder mRoot{"payload-installer"};
    std::string mSavedLocal;
    AuthDittoToolController mController;
};

TEST_F(PayloadInstallerTest, LocationsAndDestinations) {
    const struct {
        const char *location;
        const char *payload;
        std::string destination;  // "" for none
    } cases[] = {
        {"Library.QuickTime", "/a/Lumora2.VDIG.component", library() + "/QuickTime/Lumora2.VDIG.component"},
        {"Library.CoreMediaIO", "X.plugin", library() + "/CoreMediaIO/Plug-Ins/DAL/X.plugin"},
        {"Library.CoreImage", "/a/b/Lumora2Input.plugin", library() + "/Graphics/Image Units/Lumora2Input.plugin"},
        {"Library.QuartzComposer", "P.plugin", library() + "/Graphics/Quartz Composer Plug-Ins/P.plugin"},
        {"Library.Compositions", "/a/Lumora Live.qtz", library() + "/Compositions/Lumora Live.qtz"},
        {"System.Library.KEXT", "/a/K.kext", ""},
        {"Library.Nowhere", "/a/X.plugin", ""},
        {"", "/a/X.plugin", ""},
        {"Library.QuickTime", "", ""},
        {"Library.QuickTime", "/", ""},
        {"Library.QuickTime", "/a/.", ""},
        {"Library.QuickTime", "/a/..", ""},
        {"Library.QuickTime", "..", ""},
        {"Library.QuickTime", "/a/X.component/", ""},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(AuthDittoTool::destinationWithLocationName(c.location, c.payload), c.destination)
            << c.location << " " << c.payload;
    }
}

TEST_F(PayloadInstallerTest, FindsPayloadsAndTheShippedHelperInTheBundle) {
    EXPECT_EQ(mController.authDittoToolHelperName(), "LumoraInstallHelper");
    EXPECT_EQ(mController.authDittoToolHelperPath().toStdString(), bundle("Helpers/LumoraInstallHelper"));
    EXPECT_EQ(mController.mainBundlePayloadPathForPayloadName("Lumora2.VDIG.component").toStdString(),
              bundle("PlugIns/Lumora2.VDIG.component"));
    // Resources comes before PlugIns.
    ASSERT_TRUE(PutFile(bundle("PlugIns/Lumora Live.qtz"), "other"));
    EXPECT_EQ(mController.mainBundlePayloadPathForPayloadName("Lumora Live.qtz").toStdString(),
              bundle("Resources/Lumora Live.qtz"));
    for (const char *name : {"", ".", "..", "../Info.plist", "Missing.plugin"}) {
        EXPECT_TRUE(mController.mainBundlePayloadPathForPayloadName(name).isEmpty()) << name;
    }
}

TEST_F(PayloadInstallerTest, InstallsChecksAndRemovesEachPayloadKind) {
    const struct {
        const char *file;
        const char *location;
        const char *sourceSummary;
    } kinds[] = {
        {"Lumora2.VDIG.component", "Library.QuickTime", "Lumora2 2.0"},
        {"Lumora2Input.plugin", "Library.CoreImage", "Lumora2Input 2.0"},
        {"Lumora Live.qtz", "Library.Compositions", ""},
    };
    for (const auto &kind : kinds) {
        SCOPED_TRACE(kind.file);
        const tagBundlePayload payload{kind.file, kind.location};
        EXPECT_FALSE(mController.bundlePayloadIsInstalled(payload));
        EXPECT_EQ(mController.bundlePayloadSystemVersionSummary(payload), "NOT INSTALLED");
        EXPECT_EQ(mController.bundlePayloadSourceVersionSummary(payload), kind.sourceSummary);
        // Removing what is not installed does nothing.
        EXPECT_FALSE(mController.bundlePayloadInstallYESRemoveNO(payload, false));

        ASSERT_TRUE(mController.bundlePayloadInstallYESRemoveNO(payload, true)) << mController.lastFailure().toStdString();
        EXPECT_TRUE(mController.bundlePayloadIsInstalled(payload));
        EXPECT_TRUE(mController.bundlePayloadInstalledWithExtendedVerification(payload));
        EXPECT_EQ(mController.bundlePayloadSystemVersionSummary(payload),
                  QString(kind.sourceSummary) + " (IS UP TO DATE)");
        // Installing what is installed does nothing.
        EXPECT_FALSE(mController.bundlePayloadInstallYESRemoveNO(payload, true));
        EXPECT_TRUE(mController.lastFailure().isEmpty());

        ASSERT_TRUE(mController.bundlePayloadInstallYESRemoveNO(payload, false)) << mController.lastFailure().toStdString();
        EXPECT_FALSE(mController.bundlePayloadIsInstalled(payload));
    }
}

TEST_F(PayloadInstallerTest, AnotherVersionNeedsUpdating) {
    const tagBundlePayload component{"Lumora2.VDIG.component", "Library.QuickTime"};
    ASSERT_TRUE(PutBundle(library() + "/QuickTime/Lumora2.VDIG.component", "com.tarvex.Lumora2.VDIG", "1.0"));
    EXPECT_TRUE(mController.bundlePayloadIsInstalled(component));
    EXPECT_FALSE(mController.bundlePayloadInstalledWithExtendedVerification(component));
    EXPECT_EQ(mController.bundlePayloadSystemVersionSummary(component), "Lumora2 1.0 (NEEDS UPDATING)");
    // Another identifier with the same version is not this payload either.
    ASSERT_TRUE(PutBundle(library() + "/QuickTime/Lumora2.VDIG.component", "org.other.VDIG", "2.0"));
    EXPECT_FALSE(mController.bundlePayloadInstalledWithExtendedVerification(component));

    const tagBundlePayload composition{"Lumora Live.qtz", "Library.Compositions"};
    ASSERT_TRUE(PutFile(library() + "/Compositions/Lumora Live.qtz", "older composition"));
    EXPECT_FALSE(mController.bundlePayloadInstalledWithExtendedVerification(composition));
}

TEST_F(PayloadInstallerTest, FailuresAreReportedNotTakenForSuccess) {
    // The helper's failure status comes back, with what it said.
    ASSERT_TRUE(PutFile(library() + "/Graphics", "a file where a folder goes"));
    const tagBundlePayload plugin{"Lumora2Input.plugin", "Library.CoreImage"};
    EXPECT_FALSE(mController.bundlePayloadInstallYESRemoveNO(plugin, true));
    EXPECT_TRUE(mController.lastFailure().contains("failed with status 74")) << mController.lastFailure().toStdString();
    EXPECT_TRUE(mController.lastFailure().contains("Graphics")) << mController.lastFailure().toStdString();

    // An unknown location is refused before any helper runs.
    const auto before = PictureOfTree(mRoot.path());
    EXPECT_FALSE(mController.bundlePayloadInstallYESRemoveNO({"Lumora2.VDIG.component", "Library.Nowhere"}, true));
    EXPECT_TRUE(mController.lastFailure().contains("no known location")) << mController.lastFailure().toStdString();
    EXPECT_FALSE(mController.bundlePayloadInstallYESRemoveNO({"K.kext", "System.Library.KEXT"}, true));
    EXPECT_EQ(PictureOfTree(mRoot.path()), before);

    // A payload the bundle does not hold.
    EXPECT_FALSE(mController.bundlePayloadInstallYESRemoveNO({"Missing.plugin", "Library.CoreImage"}, true));
    EXPECT_TRUE(mController.lastFailure().contains("Missing.plugin")) << mController.lastFailure().toStdString();

    // No helper in the bundle: reported, nothing started.
    ASSERT_EQ(::unlink(bundle("Helpers/LumoraInstallHelper").c_str()), 0);
    EXPECT_TRUE(mController.authDittoToolHelperPath().isEmpty());
    EXPECT_FALSE(mController.bundlePayloadInstallYESRemoveNO({"Lumora2.VDIG.component", "Library.QuickTime"}, true));
    EXPECT_TRUE(mController.lastFailure().contains("LumoraInstallHelper")) << mController.lastFailure().toStdString();

    // A task that cannot start, and an empty argument list.
    EXPECT_FALSE(mController.launchHelperWithArguments({mRoot.file("no-such-program").c_str()}));
    EXPECT_FALSE(mController.lastFailure().isEmpty());
    EXPECT_FALSE(mController.launchHelperWithArguments({}));
    EXPECT_FALSE(mController.sleepUntilTaskExits(nullptr));
}

TEST_F(PayloadInstallerTest, PayloadControllerShowsStateAndFailures) {
    AuthDittoBundlePayloadController payload;
    payload.setAuthDittoToolController(&mController);
    payload.setProperty("FileName", QString("Lumora2.VDIG.component"));
    payload.setProperty("SystemLocation", QString("Library.QuickTime"));
    EXPECT_EQ(payload.property("payloadSystemSummary").toString(), "NOT INSTALLED");
    EXPECT_EQ(payload.property("payloadSourceSummary").toString(), "Lumora2 2.0");
    EXPECT_EQ(payload.property("payloadInstalledLocation").toString().toStdString(),
              library() + "/QuickTime/Lumora2.VDIG.component");
    EXPECT_EQ(payload.property("payloadInstalledLocationFolder").toString().toStdString(), library() + "/QuickTime");

    int installedChanged = 0;
    QObject::connect(&payload, &AuthDittoBundlePayloadController::payloadInstalledChanged, [&] { ++installedChanged; });
    ASSERT_TRUE(payload.setProperty("payloadInstalled", true));
    EXPECT_TRUE(payload.property("payloadInstalled").toBool());
    EXPECT_TRUE(payload.property("payloadInstalledAndUpToDate").toBool());
    EXPECT_GE(installedChanged, 1);
    EXPECT_TRUE(payload.payloadFailure().isEmpty());

    // A removal the helper fails shows up as the payload's failure.
    ASSERT_EQ(::unlink(bundle("Helpers/LumoraInstallHelper").c_str()), 0);
    EXPECT_FALSE(payload.setPayloadInstalled(false));
    EXPECT_TRUE(payload.payloadFailure().contains("LumoraInstallHelper"));
    EXPECT_TRUE(payload.property("payloadInstalled").toBool());

    // The refresher announces every state property.
    payload.awakeFromNib();
    EXPECT_TRUE(payload.isRefreshing());
    int summaryChanged = 0;
    QObject::connect(&payload, &AuthDittoBundlePayloadController::payloadSystemSummaryChanged, [&] { ++summaryChanged; });
    payload.bindingsRefreshTimer();
    EXPECT_EQ(summaryChanged, 1);
    payload.endRefreshing();
    EXPECT_FALSE(payload.isRefreshing());
}

}  // namespace
