// The 1-D filters panel on the X server, joined to the main nib's camera view, render buffer and
// MIDI controller:
//  - the two editors are the ones the render buffer, the camera view and the MIDI controller
//    know; the vertical curve view is vertical, the horizontal one is not;
//  - every control has a tooltip and an accessible name and is reached by Tab in reading order;
//  - the function picker and the sliders, used from the keyboard, change the render buffer's
//    filter image and amount and the camera view's bookmark text; a bookmark applied to the
//    camera view shows in the controls, also when the bookmarks were read before the panel
//    was joined;
//  - Escape closes it whatever control has the focus;
//  - its place, size and visibility survive terminate and the next launch; a stored frame that
//    is no frame is ignored; joined to nothing it still works, without amounts.
#include <Lumora/LumoraFiltersPanel.h>
#include <Lumora/LumoraMainNib.h>

#include <CocoaGL/NSOGL1DTextureView.h>
#include <CoreGraphics/CGDataProvider.h>
#include <CoreGraphics/CGImage.h>
#include <Foundation/NSApplication.h>
#include <Foundation/NSNotification.h>
#include <Foundation/NSUserDefaults.h>
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/LumoraStartup.h>
#include <LumoraApp/NSUILumoraView.h>
#include <LumoraApp/QMIDIController.h>
#include <QuickTime/TestCamera.h>
#include <UIParamMapping/NSUIDesignCodes.h>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

#include <cstdlib>
#include <vector>

#include "sdk/RiradI/RiradITestApplication.h"

#include "support/EventLoop.h"

#include "MainNibTest.h"

namespace {

void ClearStoredKeys() {
    for (const char *key : {LumoraFiltersPanel::kFrameKey, LumoraFiltersPanel::kVisibleKey})
        NSUserDefaults::standardUserDefaults().removeObject(QString::fromLatin1(key));
}

template <typename T>
T *Named(QObject *root, const QString &name) {
    return root->findChild<T *>(name);
}

// The bytes of the filter image the render buffer hands the composition.
std::vector<uint8_t> ImageBytes(NSOGLTexture1DViewNibbler *filter) {
    CGImageRef image = filter != nullptr ? filter->textureImage1D() : nullptr;
    if (image == nullptr) return {};
    CFDataRef data = CGDataProviderCopyData(CGImageGetDataProvider(image));
    if (data == nullptr) return {};
    std::vector<uint8_t> bytes(CFDataGetBytePtr(data), CFDataGetBytePtr(data) + CFDataGetLength(data));
    CFRelease(data);
    return bytes;
}

bool AllEqual(const std::vector<uint8_t> &bytes) {
    for (uint8_t byte : bytes)
        if (byte != bytes.front()) return false;
    return true;
}

// The main nib with its panel, joined at load.
struct Studio {
    LumoraMainNib nib;
    LumoraFiltersPanel *panel = nullptr;
    NSUILumoraView *view = nullptr;
    LumoraRenderBuffer *buffer = nullptr;

    // With bookmarksFirst the camera view's bookmarks are read, then the panel is joined again.
    bool load(bool bookmarksFirst = false) {
        if (!nib.load()) return false;
        view = nib.renderView();
        buffer = view != nullptr ? view->lumoraBuffer() : nullptr;
        panel = nib.filtersPanel();
        if (buffer == nullptr || panel == nullptr) return false;
        if (bookmarksFirst) {
            view->currentSettingsDictionary(true);
            panel->join(buffer, view, nib.midiController());
        }
        return true;
    }
    QWidget *window() const { return panel->widget(); }
    bool show() const {
        window()->show();
        window()->activateWindow();
        return QTest::qWaitForWindowExposed(window());
    }
    // The value the camera view's bookmark text gives the key, read back from the text.
    QString bookmarkValue(const QString &key) const {
        const auto codes = NSUIDesignCodes::codesWithCodeString(view->currentSettingsDictionaryScript(true));
        if (!codes) return QStringLiteral("(no text)");
        const QVariantMap settings = codes->codeDictionary();
        return settings.contains(key) ? settings.value(key).toString() : QStringLiteral("(none)");
    }
};

const char *const kSections[] = {"vertical", "horizontal"};
const char *const kControls[] = {"FunctionPopup",       "AmplitudeSlider",     "FrequencyCoarseSlider", "FrequencyFineSlider",
                                 "PhaseSlider",         "QuantizationStepper", "AmountSlider"};

class FiltersPanelWindow : public MainNibTest {
protected:
    void SetUp() override {
        MainNibTest::SetUp();
        if (IsSkipped()) return;
        ClearStoredKeys();
    }
    void TearDown() override { ClearStoredKeys(); }
};

TEST_F(FiltersPanelWindow, TheEditorsAreTheOnesTheBufferTheViewAndTheMIDIKnow) {
    Studio studio;
    ASSERT_TRUE(studio.load());
    QWidget *window = studio.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isWindow());
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(window->windowTitle(), "1-D Filters");
    EXPECT_FALSE(window->isVisible()) << "the panel waits for its menu item";

    NSOGLTexture1DViewNibbler *vertical = studio.panel->verticalFilter();
    NSOGLTexture1DViewNibbler *horizontal = studio.panel->horizontalFilter();
    ASSERT_NE(vertical, nullptr);
    ASSERT_NE(horizontal, nullptr);
    EXPECT_EQ(studio.buffer->y1DTextureView(), vertical);
    EXPECT_EQ(studio.buffer->x1DTextureView(), horizontal);
    EXPECT_EQ(studio.view->outletVerticalImageFilter.data(), vertical);
    EXPECT_EQ(studio.view->outletHorizontalImageFilter.data(), horizontal);
    QMIDIController *midi = studio.nib.midiController();
    ASSERT_NE(midi, nullptr);
    EXPECT_EQ(midi->outletVerticalFilter(), vertical);
    EXPECT_EQ(midi->outletHorizontalFilter(), horizontal);

    ASSERT_TRUE(studio.show());
    EXPECT_TRUE(vertical->textureView()->isVertical());
    EXPECT_FALSE(horizontal->textureView()->isVertical());
    for (const char *section : kSections)
        for (const char *control : kControls) {
            const QString name = QLatin1String(section) + QLatin1String(control);
            QWidget *widget = Named<QWidget>(window, name);
            ASSERT_NE(widget, nullptr) << name.toStdString();
            EXPECT_TRUE(widget->isVisible()) << name.toStdString();
            EXPECT_TRUE(widget->isEnabled()) << name.toStdString();
        }
    EXPECT_EQ(Named<QComboBox>(window, "verticalFunctionPopup")->count(), 8);
}

TEST_F(FiltersPanelWindow, EveryControlHasATipANameAndATabStopInReadingOrder) {
    Studio studio;
    ASSERT_TRUE(studio.load());
    QWidget *window = studio.window();
    // Curves worth looking at in the picture.
    Named<QComboBox>(window, "verticalFunctionPopup")->setCurrentIndex(2);
    Named<QComboBox>(window, "horizontalFunctionPopup")->setCurrentIndex(4);
    ASSERT_TRUE(studio.show());
    Spin(100);
    riradi_test::SaveScreenshot(window, QStringLiteral("LumoraFiltersPanel"));

    QList<QWidget *> controls;
    for (QWidget *widget : window->findChildren<QWidget *>())
        if (widget->isVisibleTo(window) && (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QComboBox *>(widget) ||
                                            qobject_cast<QAbstractSlider *>(widget) || qobject_cast<QAbstractSpinBox *>(widget)))
            controls << widget;
    EXPECT_EQ(controls.size(), 2 * std::size(kControls));
    for (QWidget *control : controls) {
        EXPECT_FALSE(control->toolTip().isEmpty()) << control->objectName().toStdString();
        EXPECT_FALSE(control->accessibleName().isEmpty()) << control->objectName().toStdString();
        EXPECT_TRUE(control->focusPolicy() & Qt::TabFocus) << control->objectName().toStdString();
    }
    // The curves are described too, though the mouse draws them.
    for (NSOGLTexture1DViewNibbler *filter : {studio.panel->verticalFilter(), studio.panel->horizontalFilter()}) {
        EXPECT_FALSE(filter->textureView()->toolTip().isEmpty());
        EXPECT_FALSE(filter->textureView()->accessibleName().isEmpty());
    }
    const QList<QWidget *> chain = ExpectTabChainInReadingOrder(window, controls);
    // And Tab really moves the focus along it.
    chain.first()->setFocus(Qt::TabFocusReason);
    for (qsizetype i = 1; i < chain.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), chain[i]) << i;
    }
}

TEST_F(FiltersPanelWindow, TheKeyboardChangesTheBufferAndTheBookmark) {
    Studio studio;
    ASSERT_TRUE(studio.load());
    QWidget *window = studio.window();
    ASSERT_TRUE(studio.show());
    const struct {
        const char *section;
        NSOGLTexture1DViewNibbler *filter;
        double (*amount)(LumoraRenderBuffer *);
    } sections[] = {
        {"vertical", studio.panel->verticalFilter(),
         [](LumoraRenderBuffer *buffer) { return buffer->inputEffectTex1DYAmount().toDouble(); }},
        {"horizontal", studio.panel->horizontalFilter(),
         [](LumoraRenderBuffer *buffer) { return buffer->inputEffectTex1DXAmount().toDouble(); }},
    };
    for (const auto &s : sections) {
        SCOPED_TRACE(s.section);
        const QString prefix = QLatin1String(s.section);
        const QString key = QStringLiteral("camera.filter.%1.").arg(prefix);
        // A fresh filter: the flat function, 256 samples of one grey.
        std::vector<uint8_t> flat = ImageBytes(s.filter);
        ASSERT_EQ(flat.size(), 256u);
        EXPECT_TRUE(AllEqual(flat));
        EXPECT_EQ(studio.bookmarkValue(key + "function.type"), "0");

        // Down twice on the function picker: sin(x).
        auto *function = Named<QComboBox>(window, prefix + "FunctionPopup");
        function->setFocus(Qt::TabFocusReason);
        QTest::keyClick(function, Qt::Key_Down);
        QTest::keyClick(function, Qt::Key_Down);
        EXPECT_EQ(function->currentText(), "sin(x)");
        EXPECT_TRUE(SpinUntil([&] { return !AllEqual(ImageBytes(s.filter)); }, 5000)) << "the wave reaches the image";
        EXPECT_EQ(studio.bookmarkValue(key + "function.type"), "2");

        // The amplitude to nothing: a flat curve again.
        auto *amplitude = Named<QSlider>(window, prefix + "AmplitudeSlider");
        amplitude->setFocus(Qt::TabFocusReason);
        QTest::keyClick(amplitude, Qt::Key_Home);
        EXPECT_TRUE(SpinUntil([&] { return AllEqual(ImageBytes(s.filter)); }, 5000));
        EXPECT_EQ(studio.bookmarkValue(key + "function.amplitude"), "0.000000");
        QTest::keyClick(amplitude, Qt::Key_End);
        EXPECT_EQ(studio.bookmarkValue(key + "function.amplitude"), "1.000000");

        // Four samples at quantization 2.
        auto *quantization = Named<QSpinBox>(window, prefix + "QuantizationStepper");
        quantization->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 6; ++i) QTest::keyClick(quantization, Qt::Key_Down);
        EXPECT_EQ(quantization->value(), 2);
        EXPECT_EQ(ImageBytes(s.filter).size(), 4u);
        EXPECT_EQ(studio.bookmarkValue(key + "quantization"), "2");

        // The amount: Home, End and a page down from there.
        auto *amount = Named<QSlider>(window, prefix + "AmountSlider");
        amount->setFocus(Qt::TabFocusReason);
        QTest::keyClick(amount, Qt::Key_Home);
        EXPECT_DOUBLE_EQ(s.amount(studio.buffer), 0.0);
        QTest::keyClick(amount, Qt::Key_End);
        EXPECT_DOUBLE_EQ(s.amount(studio.buffer), 1.0);
        QTest::keyClick(amount, Qt::Key_PageDown);
        EXPECT_NEAR(s.amount(studio.buffer), 0.9, 1e-6);
        EXPECT_NEAR(studio.bookmarkValue(key + "amount").toDouble(), 0.9, 1e-6);
    }

    // A bookmark applied to the camera view shows in the controls.
    ASSERT_TRUE(studio.view->setSettingsDictionary({{"camera.filter.horizontal.function.type", "3"},
                                                    {"camera.filter.horizontal.function.phase", "0.25"},
                                                    {"camera.filter.horizontal.quantization", "5"},
                                                    {"camera.filter.vertical.amount", "0.3"}}));
    EXPECT_TRUE(SpinUntil([&] { return Named<QComboBox>(window, "horizontalFunctionPopup")->currentText() == "saw(x)"; }, 5000));
    EXPECT_EQ(Named<QSlider>(window, "horizontalPhaseSlider")->value(), 250);
    EXPECT_EQ(Named<QSpinBox>(window, "horizontalQuantizationStepper")->value(), 5);
    EXPECT_TRUE(SpinUntil([&] { return Named<QSlider>(window, "verticalAmountSlider")->value() == 300; }, 5000));
}

TEST_F(FiltersPanelWindow, JoinedAfterTheBookmarksWereReadTheFiltersStillTravelWithThem) {
    Studio studio;
    ASSERT_TRUE(studio.load(true));
    for (const char *section : kSections) {
        const QString prefix = QLatin1String(section);
        Named<QComboBox>(studio.window(), prefix + "FunctionPopup")->setCurrentIndex(3);
        EXPECT_EQ(studio.bookmarkValue(QStringLiteral("camera.filter.%1.function.type").arg(prefix)), "3") << section;
    }
    ASSERT_TRUE(studio.view->setSettingsDictionary({{"camera.filter.vertical.function.type", "5"}}));
    EXPECT_TRUE(SpinUntil([&] { return Named<QComboBox>(studio.window(), "verticalFunctionPopup")->currentIndex() == 5; }, 5000));
}

TEST_F(FiltersPanelWindow, EscapeClosesThePanelWhateverHasTheFocus) {
    Studio studio;
    ASSERT_TRUE(studio.load());
    QWidget *window = studio.window();
    for (const char *name : {"verticalFunctionPopup", "verticalPhaseSlider", "verticalQuantizationStepper",
                             "horizontalAmountSlider", "horizontalFilter"}) {
        ASSERT_TRUE(studio.show());
        QWidget *control = Named<QWidget>(window, QLatin1String(name));
        ASSERT_NE(control, nullptr) << name;
        control->setFocus(Qt::TabFocusReason);
        QTest::keyClick(control, Qt::Key_Escape);
        EXPECT_TRUE(SpinUntil([window] { return !window->isVisible(); }, 2000)) << name;
    }
    // Other keys leave it open.
    ASSERT_TRUE(studio.show());
    QTest::keyClick(Named<QWidget>(window, "verticalPhaseSlider"), Qt::Key_A);
    Spin(50);
    EXPECT_TRUE(window->isVisible());
}

void Post(const char *name) { NSNotificationCenter::defaultCenter().postNotificationName(QString::fromLatin1(name), nullptr); }

TEST_F(FiltersPanelWindow, ThePlaceSizeAndVisibilitySurviveTerminateAndTheNextLaunch) {
    const QRect frame(160, 110, 560, 720);
    {
        LumoraFiltersPanel panel;
        Post(NSApplicationDidFinishLaunchingNotification);
        EXPECT_FALSE(panel.widget()->isVisible()) << "closed on a fresh installation";
        panel.widget()->setGeometry(frame);
        panel.widget()->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.widget()));
        Post(NSApplicationWillTerminateNotification);
    }
    LumoraFiltersPanel panel;
    Post(NSApplicationDidFinishLaunchingNotification);
    ASSERT_TRUE(panel.widget()->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.widget()));
    EXPECT_EQ(panel.widget()->geometry(), frame);
    // Closed at quit, it stays closed at the next launch.
    panel.widget()->close();
    Post(NSApplicationWillTerminateNotification);
    EXPECT_EQ(NSUserDefaults::standardUserDefaults().integerForKey(QString::fromLatin1(LumoraFiltersPanel::kVisibleKey)), 0);
}

TEST_F(FiltersPanelWindow, AStoredFrameThatIsNoFrameIsIgnored) {
    const char *const frames[] = {"", "1 2 3", "a b c d", "10 10 0 300", "10 10 300 -5", "10 10 20000 300", "1 2 3 4 5"};
    const QSize natural = LumoraFiltersPanel().widget()->size();
    for (const char *stored : frames) {
        NSUserDefaults::standardUserDefaults().setObject(QString::fromLatin1(stored), QString::fromLatin1(LumoraFiltersPanel::kFrameKey));
        LumoraFiltersPanel panel;
        Post(NSApplicationDidFinishLaunchingNotification);
        EXPECT_EQ(panel.widget()->size(), natural) << stored;
    }
}

TEST_F(FiltersPanelWindow, JoinedToNothingTheCurvesStillWorkWithoutAmounts) {
    LumoraFiltersPanel panel;
    panel.join(nullptr, nullptr, nullptr);
    QWidget *window = panel.widget();
    EXPECT_FALSE(Named<QSlider>(window, "verticalAmountSlider")->isEnabled());
    EXPECT_FALSE(Named<QSlider>(window, "horizontalAmountSlider")->isEnabled());
    Named<QComboBox>(window, "horizontalFunctionPopup")->setCurrentIndex(1);
    EXPECT_TRUE(SpinUntil([&] { return !AllEqual(ImageBytes(panel.horizontalFilter())); }, 5000));
}

}  // namespace
