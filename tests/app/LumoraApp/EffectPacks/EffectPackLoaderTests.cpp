// The effect-pack loader over a PlugIns folder of test packs and over the application's own
// packs, and the effect stepper's mapping between its value and the effects pop-up.
#include "FakeCameraView.h"

#include <LumoraApp/LumoraStepperController.h>
#include <LumoraApp/QFXBundleController.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace {

QApplication *Application() {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "EffectPackLoaderTests";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return application;
}

QStringList TestPackPaths() { return QFXBundleController::qfxBundlePathsInFolder(LUMORA_TEST_PLUGINS); }

// ---- The loader

TEST(EffectPackLoader, FindsThePacksOfAFolderDeeplyInNameOrder) {
    const QStringList paths = TestPackPaths();
    QStringList names;
    for (const QString &path : paths) names.append(QDir(path).dirName());
    EXPECT_EQ(names, QStringList({"APack.qfxbundle", "BPack.qfxbundle", "CNoFactory.qfxbundle", "DBroken.qfxbundle",
                                  "ENull.qfxbundle", "FNoExecutable.qfxbundle"}));
    EXPECT_TRUE(paths.value(0).startsWith(LUMORA_TEST_PLUGINS "/"));

    QTemporaryDir folder;
    ASSERT_TRUE(QDir(folder.path()).mkpath("Deeper/Z.qfxbundle"));
    ASSERT_TRUE(QDir(folder.path()).mkpath("Y.qfxbundle"));
    ASSERT_TRUE(QDir(folder.path()).mkpath("X.bundle"));
    std::ofstream(folder.filePath("W.qfxbundlex").toStdString()) << "";
    EXPECT_EQ(QFXBundleController::qfxBundlePathsInFolder(folder.path()),
              QStringList({folder.path() + "/Deeper/Z.qfxbundle", folder.path() + "/Y.qfxbundle"}));
    EXPECT_TRUE(QFXBundleController::qfxBundlePathsInFolder(folder.path() + "/absent").isEmpty());
}

TEST(EffectPackLoader, LoadsTheGoodPacksInOrderAndSkipsTheOthers) {
    QFXBundleController loader;
    RecordingDelegate delegate;
    loader.setDelegate(&delegate);
    loader.loadBundlesAtPaths(TestPackPaths());
    // CNoFactory, ENull and FNoExecutable give no pack object.
    EXPECT_EQ(loader.fxbundles().size(), 3u);
    EXPECT_EQ(loader.compositionFileNames(), QStringList({"Solid.qtz", "Shared.qtz", "Shared.qtz", "Extra.qtz", "Fine.qtz",
                                                          "Broken.qtz", "Missing.qtz"}));
    const QStringList names = {"Solid", "Shared", "Shared", "Extra", "Fine", "Broken", "Missing"};
    EXPECT_EQ(loader.compositionNames(), names);
    EXPECT_EQ(delegate.calls, 1);
    EXPECT_EQ(delegate.names, names);
}

TEST(EffectPackLoader, ReportsAMissingFactoryAndCompositionsThatDoNotOpenAtLoad) {
    QFXBundleController loader;
    loader.loadBundlesAtPaths(TestPackPaths());
    const QStringList reports = loader.loadReports();
    ASSERT_EQ(reports.size(), 3) << reports.join("\n").toStdString();
    EXPECT_EQ(reports[0], "CNoFactory: no CopyQFXBundleObject");
    EXPECT_TRUE(reports[1].startsWith("DBroken: the composition Broken.qtz does not open: ")) << reports[1].toStdString();
    EXPECT_TRUE(reports[2].startsWith("DBroken: the composition Missing.qtz does not open: ")) << reports[2].toStdString();
    // A later load starts its reports afresh.
    loader.loadBundlesAtPaths({});
    EXPECT_TRUE(loader.loadReports().isEmpty());
}

TEST(EffectPackLoader, AnswersCompositionDataByNameFromTheFirstPackThatHasIt) {
    QFXBundleController loader;
    loader.loadBundlesAtPaths(TestPackPaths());
    struct Case {
        const char *name;
        const char *contains;  // null: no data
    } cases[] = {
        {"Solid", "A solid"},
        {"Shared", "A shared"},  // APack comes before BPack
        {"Extra", "B extra"},
        {"Fine", "QCClear"},
        {"Broken", "not a composition"},  // listed, so handed out; it was reported at load
        {"Shared.qtz", nullptr},          // "Shared.qtz.qtz"
        {"shared", nullptr},
        {"Unknown", nullptr},
        {"", nullptr},
    };
    for (const Case &c : cases) {
        const QByteArray data = loader.compositionDataWithCompositionName(c.name);
        if (c.contains == nullptr) {
            EXPECT_TRUE(data.isNull()) << c.name;
        } else {
            EXPECT_TRUE(data.contains(c.contains)) << c.name << ": " << data.left(200).toStdString();
        }
    }
}

TEST(EffectPackLoader, WithoutPacksTheNamesAreEmptyAndTheDelegateIsStillTold) {
    QTemporaryDir empty;
    for (const QStringList &paths : {QStringList(), QFXBundleController::qfxBundlePathsInFolder(empty.path()),
                                     QFXBundleController::qfxBundlePathsInFolder(empty.path() + "/absent")}) {
        QFXBundleController loader;
        RecordingDelegate delegate;
        delegate.names = {"stale"};
        loader.setDelegate(&delegate);
        loader.loadBundlesAtPaths(paths);
        EXPECT_EQ(delegate.calls, 1);
        EXPECT_TRUE(delegate.names.isEmpty());
        EXPECT_TRUE(loader.compositionNames().isEmpty());
        EXPECT_TRUE(loader.compositionDataWithCompositionName("Solid").isNull());
    }
}

TEST(EffectPackLoader, LoadsTheApplicationsPacksInTheCatalogueOrder) {
    QFXBundleController loader;
    loader.loadBundlesAtPaths(QFXBundleController::qfxBundlePathsInFolder(LUMORA_APP_PLUGINS));
    EXPECT_TRUE(loader.loadReports().isEmpty()) << loader.loadReports().join("\n").toStdString();
    QStringList names = loader.compositionNames();
    ASSERT_FALSE(names.isEmpty());
    // L2Color is the first pack by name; L2Geometry's nine follow its six.
    EXPECT_EQ(names.first(), "L2ColorThermal");
    EXPECT_EQ(names.indexOf("L2DisplacementXScribbler"), names.indexOf("L2ColorSolarize") + 1);
    EXPECT_EQ(names.removeDuplicates(), 0) << "every effect has a name of its own";
    for (const QString &name : names) EXPECT_FALSE(loader.compositionDataWithCompositionName(name).isEmpty()) << name.toStdString();
}

// ---- The stepper

// The application exists before the fixture's widgets.
struct WithApplication {
    WithApplication() { Application(); }
};

struct StepperTest : ::testing::Test, WithApplication {
    // The pop-up's own two items, then the five effects A..E the loader adds.
    void SetUp() override {
        popup.addItems({"iSight", "Presets"});
        stepper.setEffectsPopupButton(&popup);
        stepper.outletLumoraView = &view;
        stepper.qfxbundleDidFinishLoadingCompositions(nullptr, {"A", "B", "C", "D", "E"});
    }
    QComboBox popup;
    FakeCameraView view;
    LumoraStepperController stepper;
};

TEST_F(StepperTest, TheLoaderAddsOneItemPerNameAndTheBoundsFollowTheMenu) {
    ASSERT_EQ(popup.count(), 7);
    EXPECT_EQ(popup.itemText(2), "A");
    EXPECT_EQ(popup.itemText(6), "E");
    EXPECT_EQ(stepper.lumoraStepperMinimumValue(), 0);
    EXPECT_EQ(stepper.lumoraStepperMaximumValue(), 4) << "the last item's stepper index: count - 3";

    QComboBox small;
    small.addItems({"iSight", "Presets"});
    LumoraStepperController bare;
    EXPECT_EQ(bare.lumoraStepperMaximumValue(), 0) << "no pop-up";
    bare.setEffectsPopupButton(&small);
    EXPECT_EQ(bare.lumoraStepperMaximumValue(), 0) << "no effects";
    bare.outletLumoraView = &view;
    bare.setLumoraStepperIndex(0);
    EXPECT_TRUE(view.calls.isEmpty()) << "nothing to open";
}

TEST_F(StepperTest, AValueOpensTheItemItPointsAtAndNothingOutsideTheBounds) {
    struct Case {
        int value;
        const char *opened;  // null: nothing changes
    } cases[] = {
        {4, "A"}, {0, "E"}, {2, "C"}, {3, "B"}, {1, "D"}, {5, nullptr}, {-1, nullptr}, {100, nullptr},
    };
    stepper.outletLumoraView = nullptr;
    stepper.setLumoraStepperIndex(4);
    EXPECT_EQ(popup.currentIndex(), 0) << "no camera view: nothing";
    stepper.outletLumoraView = &view;
    for (const Case &c : cases) {
        const int before = popup.currentIndex();
        view.calls.clear();
        stepper.setLumoraStepperIndex(c.value);
        if (c.opened == nullptr) {
            EXPECT_TRUE(view.calls.isEmpty()) << "value " << c.value;
            EXPECT_EQ(popup.currentIndex(), before) << "value " << c.value;
            continue;
        }
        EXPECT_EQ(view.calls, QStringList({QString("set ") + c.opened, QString("open ") + c.opened + " privately"}))
            << "value " << c.value;
        EXPECT_EQ(popup.currentText(), c.opened) << "value " << c.value;
        EXPECT_EQ(stepper.lumoraStepperIndex(), c.value) << "reads back";
    }
}

TEST_F(StepperTest, TheSelectionReadsAsAValueWithinTheBounds) {
    struct Case {
        int selected;  // pop-up item, -1 none
        int value;
    } cases[] = {
        {-1, 4}, {0, 4}, {1, 4},  // the pop-up's own items read as the first effect
        {2, 4},  {3, 3}, {5, 1}, {6, 0},
    };
    for (const Case &c : cases) {
        popup.setCurrentIndex(c.selected);
        EXPECT_EQ(stepper.lumoraStepperIndex(), c.value) << "item " << c.selected;
        EXPECT_GE(stepper.stepperIndex(), 0) << "item " << c.selected;
        EXPECT_LE(stepper.stepperIndex(), stepper.stepperMaximumValue()) << "item " << c.selected;
    }
}

TEST_F(StepperTest, AnExceptionFromTheCameraViewAbandonsTheChange) {
    popup.setCurrentIndex(2);
    view.throwOnOpen = true;
    stepper.setLumoraStepperIndex(0);
    EXPECT_EQ(view.calls, QStringList({"set E"}));
    EXPECT_EQ(popup.currentIndex(), 2) << "the selection stays";
}

TEST_F(StepperTest, ChoosingAnEffectItemOpensItByItsTitle) {
    emit popup.activated(4);
    EXPECT_EQ(view.calls, QStringList({"open title C"}));
    view.calls.clear();
    emit popup.activated(0);  // the pop-up's own item is not the stepper's
    EXPECT_TRUE(view.calls.isEmpty());
    stepper.qfxbundleMenuChangedCompositionName(nullptr, "B");
    EXPECT_EQ(view.calls, QStringList({"open B privately"}));
}

}  // namespace
