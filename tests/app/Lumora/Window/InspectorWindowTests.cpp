// The inspector of the main nib on the X server:
//  - it loads with every control on its outlet of the layer panel, the matrix form as the
//    layer's matrix controller, and is the panel the delegate and the camera view know;
//  - every control has a tooltip and an accessible name and is reached by Tab in reading order;
//  - its controls change what the camera window shows (pixels read from the window): the
//    camera mirror turns the test chart around, the background colour shows where the layer
//    is not drawn, and only while "draw colour" is on; the picture chosen in the backgrounds
//    pop-up is drawn while "draw picture" is on;
//  - launch / terminate / launch through the delegate brings back the panel's state (layer
//    panel, matrix form, place, size, visibility) from the user defaults;
//  - Escape closes it whatever control has the focus.
#include <Lumora/LumoraMainNib.h>

#include "WindowPixels.h"

#include <Foundation/NSApplication.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSUserDefaults.h>
#include <LumoraApp/AppInspector.h>
#include <LumoraApp/LumMatrixController.h>
#include <LumoraApp/LumoraLayerViewNibbler.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/LumoraStartup.h>
#include <LumoraApp/NSUILumoraView.h>
#include <QuickTime/TestCamera.h>
#include <UICocoaColor/NSColorWellWithAlpha.h>
#include <UICocoaControls/NSUIImageViewParam.h>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "sdk/RiradI/RiradITestApplication.h"

#include "support/EventLoop.h"

#include "MainNibTest.h"

namespace {

using namespace window_pixels;

// The keys the panel keeps, removed before and after each test.
QStringList StoredKeys() {
    QStringList keys{AppInspector::kFrameKey,         AppInspector::kVisibleKey,        "outletBackgroundColorWell",
                     "outletBackgroundColorDraw",     "outletBackgroundImageDraw",      "outletLayerQuickFlipX",
                     "outletLayerQuickFlipY",         "outletBackgroundsPopupButton"};
    for (const LumMatrixController::DefaultsRow &row : LumMatrixController::defaultsTable()) keys << row.key;
    return keys;
}

void ClearStoredKeys() {
    for (const QString &key : StoredKeys()) NSUserDefaults::standardUserDefaults().removeObject(key);
}

template <typename T>
T *Named(QObject *root, const char *name) {
    return root->findChild<T *>(QString::fromLatin1(name));
}

// Chooses the background picture of that title in the backgrounds pop-up, as a user does.
void ChooseBackground(QWidget *inspector, const QString &title) {
    auto *backgrounds = Named<QComboBox>(inspector, "backgroundsPopupButton");
    const int index = backgrounds->findText(title);
    if (index < 0) return;
    backgrounds->setCurrentIndex(index);
    emit backgrounds->activated(index);
}

class InspectorWindow : public MainNibTest {
protected:
    void SetUp() override {
        MainNibTest::SetUp();
        if (IsSkipped()) return;
        ClearStoredKeys();
    }
    void TearDown() override { ClearStoredKeys(); }

    static AppInspector *InspectorOf(const LumoraMainNib &nib) { return qobject_cast<AppInspector *>(nib.inspector()); }
};

TEST_F(InspectorWindow, EveryControlIsOnItsOutletAndTheInspectorIsTheOneTheOthersKnow) {
    LumoraMainNib nib;
    ASSERT_TRUE(nib.load());
    AppInspector *inspector = InspectorOf(nib);
    ASSERT_NE(inspector, nullptr);
    EXPECT_TRUE(inspector->isWindow());
    EXPECT_TRUE(inspector->windowFlags().testFlag(Qt::Tool));
    EXPECT_FALSE(inspector->isVisible()) << "the panel waits for its menu item";
    EXPECT_EQ(nib.delegate()->outletAppInspector.data(), inspector);
    NSUILumoraView *view = nib.renderView();
    EXPECT_EQ(view->outletInspector.data(), inspector);
    LumoraLayerViewNibbler *layer = inspector->lumoraLayerController();
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(view->outletLumoraLayerController.data(), layer);
    EXPECT_EQ(view->lumoraBuffer()->layerController(), layer);
    EXPECT_EQ(layer->delegate(), view->lumoraBuffer()) << "the background picture takes the buffer's size";

    const struct {
        const char *outlet;
        const char *control;
        const char *className;
    } outlets[] = {
        {"outletBackgroundColorDraw", "backgroundColorDraw", "LumMatrixSwitch"},
        {"outletBackgroundColorWell", "backgroundColorWell", "NSColorWellWithAlpha"},
        {"outletBackgroundImageDraw", "backgroundImageDraw", "LumMatrixSwitch"},
        {"outletBackgroundsPopupButton", "backgroundsPopupButton", "QComboBox"},
        {"outletBackgroundImageView", "backgroundImageView", "NSUIImageViewParam"},
        {"outletLayerQuickFlipX", "layerQuickFlipX", "LumMatrixSwitch"},
        {"outletLayerQuickFlipY", "layerQuickFlipY", "LumMatrixSwitch"},
        {"_cameraFlipX", "cameraFlipX", "LumMatrixSwitch"},
        {"outletLayerDrawButton", "textureEnabledSwitch", "LumMatrixSwitch"},
        {"outletLayerMatrixController", "normalMatrixController", "LumMatrixController"},
    };
    for (const auto &o : outlets) {
        auto *control = layer->property(o.outlet).value<QObject *>();
        ASSERT_NE(control, nullptr) << o.outlet;
        EXPECT_EQ(control->objectName(), o.control) << o.outlet;
        EXPECT_STREQ(control->metaObject()->className(), o.className) << o.outlet;
        EXPECT_TRUE(inspector->isAncestorOf(qobject_cast<QWidget *>(control))) << o.outlet << " is in the panel";
    }
    // The matrix form with all its switches and sliders, sending its changes to the layer.
    LumMatrixController *matrix = inspector->matrixController();
    ASSERT_NE(matrix, nullptr);
    for (const LumMatrixController::DefaultsRow &row : LumMatrixController::defaultsTable())
        EXPECT_NE(matrix->property(row.key).value<QObject *>(), nullptr) << row.key;
    EXPECT_EQ(matrix->target(), layer);
    // The picture view tells the layer of a new picture; the pop-up is its presets.
    auto *picture = qobject_cast<NSUIImageViewParam *>(layer->outletBackgroundImageView.data());
    EXPECT_EQ(picture->target(), layer);
    EXPECT_EQ(picture->action(), "backgroundImageViewChanged:");
    EXPECT_EQ(picture->presets(), layer->outletBackgroundsPopupButton.data());
    // The application's test chart beside the program is one of the backgrounds.
    auto *backgrounds = qobject_cast<QComboBox *>(layer->outletBackgroundsPopupButton.data());
    EXPECT_GE(backgrounds->findText(QStringLiteral("cameraImage")), 1);
}

TEST_F(InspectorWindow, EveryControlHasATipANameAndATabStopInReadingOrder) {
    LumoraMainNib nib;
    ASSERT_TRUE(nib.load());
    AppInspector *inspector = InspectorOf(nib);
    ASSERT_NE(inspector, nullptr);
    inspector->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(inspector));
    ChooseBackground(inspector, QStringLiteral("cameraImage"));
    riradi_test::SaveScreenshot(inspector, QStringLiteral("AppInspector"));

    QList<QWidget *> controls;
    for (QWidget *widget : inspector->findChildren<QWidget *>())
        if (widget->isVisibleTo(inspector) && (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QComboBox *>(widget) ||
                                               qobject_cast<QAbstractSlider *>(widget)))
            controls << widget;
    ASSERT_GE(controls.size(), 7 + 3 + 7 + 1) << "background, flips, matrix switches, sliders, reset";
    for (QWidget *control : controls) {
        EXPECT_FALSE(control->toolTip().isEmpty()) << control->objectName().toStdString();
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
        EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus) << control->objectName().toStdString();
    }
    ExpectTabChainInReadingOrder(inspector, controls);
}

TEST_F(InspectorWindow, EscapeClosesThePanelWhateverHasTheFocus) {
    LumoraMainNib nib;
    ASSERT_TRUE(nib.load());
    AppInspector *inspector = InspectorOf(nib);
    ASSERT_NE(inspector, nullptr);
    for (const char *name : {"backgroundColorDraw", "backgroundsPopupButton", "cameraFlipX", "scaleSlider", "resetButton"}) {
        inspector->show();
        inspector->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(inspector));
        QWidget *control = Named<QWidget>(inspector, name);
        ASSERT_NE(control, nullptr) << name;
        control->setFocus(Qt::TabFocusReason);
        QTest::keyClick(control, Qt::Key_Escape);
        EXPECT_TRUE(SpinUntil([inspector] { return !inspector->isVisible(); }, 2000)) << name;
    }
    // Other keys leave it open.
    inspector->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(inspector));
    QTest::keyClick(Named<QWidget>(inspector, "cameraFlipX"), Qt::Key_A);
    Spin(50);
    EXPECT_TRUE(inspector->isVisible());
}

TEST_F(InspectorWindow, TheStateSurvivesTerminateAndTheNextLaunch) {
    const QRect frame(140, 120, 380, 700);
    {
        LumoraMainNib nib;
        ASSERT_TRUE(nib.load());
        AppInspector *inspector = InspectorOf(nib);
        ASSERT_NE(inspector, nullptr);
        nib.delegate()->applicationDidFinishLaunching(NSNotification());
        // A fresh installation: the defaults.
        EXPECT_TRUE(Named<QAbstractButton>(inspector, "backgroundColorDraw")->isChecked());
        EXPECT_FALSE(Named<QAbstractButton>(inspector, "backgroundImageDraw")->isChecked());
        EXPECT_TRUE(Named<QAbstractButton>(inspector, "layerQuickFlipX")->isChecked());
        EXPECT_FALSE(Named<QAbstractButton>(inspector, "layerQuickFlipY")->isChecked());
        EXPECT_TRUE(Named<QAbstractButton>(inspector, "textureEnabledSwitch")->isChecked());
        EXPECT_DOUBLE_EQ(Named<QObject>(inspector, "scaleSlider")->property("doubleValue").toDouble(), 0.5);
        EXPECT_FALSE(inspector->isVisible());

        Named<NSColorWell>(inspector, "backgroundColorWell")->setColor(QColor::fromRgbF(1, 0, 0, 0.5));
        Named<QAbstractButton>(inspector, "backgroundColorDraw")->setChecked(false);
        Named<QAbstractButton>(inspector, "backgroundImageDraw")->setChecked(true);
        Named<QAbstractButton>(inspector, "layerQuickFlipX")->setChecked(false);
        Named<QAbstractButton>(inspector, "layerQuickFlipY")->setChecked(true);
        Named<QComboBox>(inspector, "backgroundsPopupButton")->setCurrentText(QStringLiteral("cameraImage"));
        Named<QAbstractButton>(inspector, "textureEnabledSwitch")->setChecked(false);
        Named<QAbstractButton>(inspector, "textureFlippedYSwitch")->setChecked(true);
        Named<QObject>(inspector, "scaleSlider")->setProperty("doubleValue", 0.25);
        Named<QObject>(inspector, "angleZSlider")->setProperty("doubleValue", 0.75);
        inspector->setGeometry(frame);
        inspector->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(inspector));
        nib.delegate()->applicationWillTerminate(NSNotification());
    }
    LumoraMainNib nib;
    ASSERT_TRUE(nib.load());
    AppInspector *inspector = InspectorOf(nib);
    ASSERT_NE(inspector, nullptr);
    nib.delegate()->applicationDidFinishLaunching(NSNotification());
    EXPECT_EQ(Named<NSColorWell>(inspector, "backgroundColorWell")->color().rgba(), QColor::fromRgbF(1, 0, 0, 0.5).rgba());
    EXPECT_FALSE(Named<QAbstractButton>(inspector, "backgroundColorDraw")->isChecked());
    EXPECT_TRUE(Named<QAbstractButton>(inspector, "backgroundImageDraw")->isChecked());
    EXPECT_FALSE(Named<QAbstractButton>(inspector, "layerQuickFlipX")->isChecked());
    EXPECT_TRUE(Named<QAbstractButton>(inspector, "layerQuickFlipY")->isChecked());
    EXPECT_EQ(Named<QComboBox>(inspector, "backgroundsPopupButton")->currentText(), "cameraImage");
    EXPECT_FALSE(Named<QAbstractButton>(inspector, "textureEnabledSwitch")->isChecked());
    EXPECT_TRUE(Named<QAbstractButton>(inspector, "textureFlippedYSwitch")->isChecked());
    EXPECT_DOUBLE_EQ(Named<QObject>(inspector, "scaleSlider")->property("doubleValue").toDouble(), 0.25);
    EXPECT_DOUBLE_EQ(Named<QObject>(inspector, "angleZSlider")->property("doubleValue").toDouble(), 0.75);
    // What the layer answers follows the restored controls.
    LumoraLayerViewNibbler *layer = inspector->lumoraLayerController();
    EXPECT_FALSE(layer->layerTextureEnabled());
    EXPECT_TRUE(layer->layerFlippedVertical());
    EXPECT_FALSE(layer->layerBackgroundEnabled());
    EXPECT_TRUE(layer->layerBackgroundImageEnabled());
    // The panel is back where it was, open.
    ASSERT_TRUE(inspector->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(inspector));
    EXPECT_EQ(inspector->geometry(), frame);
    // Closed at quit, it stays closed at the next launch.
    inspector->close();
    nib.delegate()->applicationWillTerminate(NSNotification());
    EXPECT_EQ(NSUserDefaults::standardUserDefaults().integerForKey(QString::fromLatin1(AppInspector::kVisibleKey)), 0);
}

TEST_F(InspectorWindow, AStoredFrameThatIsNoFrameIsIgnored) {
    const char *const frames[] = {"", "1 2 3", "a b c d", "10 10 0 300", "10 10 300 -5", "10 10 20000 300", "1 2 3 4 5"};
    for (const char *stored : frames) {
        NSUserDefaults::standardUserDefaults().setObject(QString::fromLatin1(stored), QString::fromLatin1(AppInspector::kFrameKey));
        LumoraMainNib nib;
        ASSERT_TRUE(nib.load());
        AppInspector *inspector = InspectorOf(nib);
        ASSERT_NE(inspector, nullptr);
        const QSize before = inspector->size();
        nib.delegate()->applicationDidFinishLaunching(NSNotification());
        EXPECT_EQ(inspector->size(), before) << stored;
        nib.delegate()->applicationWillTerminate(NSNotification());
    }
}

// The main window run with its inspector: launch, the test chart as the source, then the steps
// given, each on a picture of the camera view once a few more frames have been shown.
struct Step {
    std::function<void(AppInspector *)> change;
    WindowPixels shot;
};

bool RunWithInspector(std::vector<Step> &steps, QRect *viewArea) {
    NSApplication application;
    LumoraMainNib nib;
    if (!nib.load()) return false;
    AppController *delegate = nib.delegate();
    AppInspector *inspector = qobject_cast<AppInspector *>(nib.inspector());
    if (inspector == nullptr) return false;
    delegate->observeApplication();
    const QString chart = QCoreApplication::applicationDirPath() + QStringLiteral("/cameraImage.png");
    bool chartOpen = false;
    NSNotificationCenter::ObserverToken token = NSNotificationCenter::defaultCenter().addObserverForName(
        QString::fromLatin1(NSApplicationDidFinishLaunchingNotification), nullptr, [&](const NSNotification &) {
            nib.didFinishLaunching();
            chartOpen = nib.openSourceFile(chart);
        });
    NSUILumoraView *view = nib.renderView();
    QWidget *window = nib.mainWindow();
    window->show();
    if (!QTest::qWaitForWindowExposed(window) || !SpinUntil([view] { return view->hasWindowSurface(); }, 5000)) return false;
    QTimer::singleShot(0, [&] {
        SpinUntil([view] { return view->displayLinkFrameCount() >= 20; }, 20000);
        *viewArea = QRect(view->mapTo(window, QPoint(0, 0)), view->size());
        for (Step &step : steps) {
            if (step.change) step.change(inspector);
            const uint64_t now = view->displayLinkFrameCount();
            SpinUntil([view, now] { return view->displayLinkFrameCount() >= now + 8; }, 10000);
            Spin(200);
            step.shot = Capture(CGWindowID(window->winId()));
        }
        delegate->windowShouldClose(window);
    });
    application.run();
    NSNotificationCenter::defaultCenter().removeObserver(token);
    nib.close();
    return chartOpen;
}

bool Near(uint32_t pixel, uint32_t colour, int tolerance = 48) {
    for (int shift : {16, 8, 0})
        if (std::abs(int(pixel >> shift & 255) - int(colour >> shift & 255)) > tolerance) return false;
    return true;
}

// The colour most of a small square shows (its median pixel by brightness is enough here).
uint32_t Middle(const WindowPixels &shot, QPoint centre) {
    std::vector<uint32_t> pixels;
    for (int y = centre.y() - 3; y <= centre.y() + 3; ++y)
        for (int x = centre.x() - 3; x <= centre.x() + 3; ++x) pixels.push_back(shot.at(x, y));
    std::nth_element(pixels.begin(), pixels.begin() + pixels.size() / 2, pixels.end(), [](uint32_t a, uint32_t b) {
        return (a >> 16 & 255) + (a >> 8 & 255) + (a & 255) < (b >> 16 & 255) + (b >> 8 & 255) + (b & 255);
    });
    return pixels[pixels.size() / 2];
}

// How many of the test chart's 75 % bar colours (yellow, cyan, green, magenta, red, blue) the
// area shows.
int ChartColoursSeen(const WindowPixels &shot, const QRect &area) {
    int seen = 0;
    for (uint32_t bar : {0xBFBF00u, 0x00BFBFu, 0x00BF00u, 0xBF00BFu, 0xBF0000u, 0x0000BFu}) {
        bool found = false;
        for (int y = area.top(); y <= area.bottom() && !found; y += 4)
            for (int x = area.left(); x <= area.right() && !found; x += 2) found = Near(shot.at(x, y), bar, 32);
        seen += found ? 1 : 0;
    }
    return seen;
}

TEST_F(InspectorWindow, TheControlsChangeWhatTheCameraWindowShows) {
    const auto click = [](const char *name) {
        return [name](AppInspector *inspector) { Named<QAbstractButton>(inspector, name)->click(); };
    };
    std::vector<Step> steps = {
        {click("layerQuickFlipX"), {}},          // 0: the chart, the quick flip (on at launch) off
        {click("cameraFlipX"), {}},              // 1: mirrored
        {[](AppInspector *inspector) {           // 2: no layer, a red background
             Named<QAbstractButton>(inspector, "textureEnabledSwitch")->click();
             Named<NSColorWell>(inspector, "backgroundColorWell")->setColor(QColor(255, 0, 0));
         },
         {}},
        {click("backgroundColorDraw"), {}},      // 3: no colour drawn
        {[](AppInspector *inspector) {           // 4: the chart as the background picture
             ChooseBackground(inspector, QStringLiteral("cameraImage"));
             Named<QAbstractButton>(inspector, "backgroundImageDraw")->click();
         },
         {}},
    };
    QRect area;
    ASSERT_TRUE(RunWithInspector(steps, &area)) << "the window runs and the chart opens as the source";
    for (const Step &step : steps) ASSERT_GT(step.shot.width, area.right()) << "every step has its picture";
    // The chart's upper bars: white at one end, blue at the other.
    const int y = area.top() + area.height() / 3;
    const QPoint left(area.left() + area.width() / 20, y), right(area.right() - area.width() / 20, y);
    const uint32_t white = 0xBFBFBF, blue = 0x0000BF;  // 75 % bars
    const uint32_t left0 = Middle(steps[0].shot, left), right0 = Middle(steps[0].shot, right);
    ASSERT_TRUE((Near(left0, white) && Near(right0, blue)) || (Near(left0, blue) && Near(right0, white)))
        << std::hex << left0 << " " << right0;
    EXPECT_TRUE(Near(Middle(steps[1].shot, left), right0)) << "the mirror swaps the ends";
    EXPECT_TRUE(Near(Middle(steps[1].shot, right), left0));
    // Without the layer the background colour fills the view while it is drawn.
    const QPoint centre = area.center();
    EXPECT_TRUE(Near(Middle(steps[2].shot, centre), 0xFF0000)) << std::hex << Middle(steps[2].shot, centre);
    EXPECT_FALSE(Near(Middle(steps[3].shot, centre), 0xFF0000)) << std::hex << Middle(steps[3].shot, centre);
    EXPECT_GE(ChartColoursSeen(steps[0].shot, area), 5);
    EXPECT_LE(ChartColoursSeen(steps[3].shot, area), 1);
    // The picture chosen in the pop-up is drawn behind the (absent) layer.
    EXPECT_GE(ChartColoursSeen(steps[4].shot, area), 5);
}

}  // namespace
