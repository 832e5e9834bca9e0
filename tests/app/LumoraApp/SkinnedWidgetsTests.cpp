// The application's skinned widgets: the constants each class sets (as tables), the release
// decisions of the record and round push buttons, the slider's lozenge, the window and panel
// properties, and the input stack's renderer waiting for the GPU.
#include <LumoraApp/LumoraButtons.h>
#include <LumoraApp/LumoraFBORenderer.h>
#include <LumoraApp/LumoraSlider.h>
#include <LumoraApp/LumoraWindow.h>

#include <CoreGraphics/CGWindowCompositing.h>
#include <UICocoaViews/NSUIGradientView.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include <memory>
#include <string>

#include "sdk/RiradI/RiradITestApplication.h"

class SkinnedActionRecorder : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void pressed(QObject *) { ++count; }
    int count = 0;
};

namespace {

void ExpectRect(CGRect r, double x, double y, double w, double h) {
    EXPECT_NEAR(r.origin.x, x, 1e-9);
    EXPECT_NEAR(r.origin.y, y, 1e-9);
    EXPECT_NEAR(r.size.width, w, 1e-9);
    EXPECT_NEAR(r.size.height, h, 1e-9);
}

TEST(LumoraButtonImages, ConstantsTable) {
    riradi_test::Application();
    const CGRect shape = CGRectMake(10, 20, 50, 50);  // the base symbol square: 45 at (12.5, 22.5)
    struct Row {
        const char *name;
        NUCIButtonImageClass cls;
        CGRect symbol;
    } rows[] = {
        {"NOLED", &NUCIButtonImageClassOf<LumoraNOLEDButtonImage>, CGRectMake(12.5, 22.5, 36, 36)},
        {"Large", &NUCIButtonImageClassOf<LumoraLargeButtonImage>, CGRectMake(12.5, 22.5, 45, 45)},
        {"LED", &NUCIButtonImageClassOf<LumoraLEDButtonImage>, CGRectMake(12.5, 22.5, 36, 36)},
        {"Record", &NUCIButtonImageClassOf<LumoraRecordButtonImage>, CGRectMake(14.75, 24.75, 40.5, 40.5)},
        {"Round", &NUCIButtonImageClassOf<LumoraRoundButtonImage>, CGRectMake(12.5, 22.5, 45, 45)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const auto face = row.cls();
        for (int state : {0, 1, 2}) {
            EXPECT_DOUBLE_EQ(face->backgroundImageOpacityForState(state), 0.9);
            EXPECT_EQ(face->filterWithDefaultsForState(state), nullptr);
        }
        const CGRect symbol = face->imageRectWithinBackgroundShapeRect(shape);
        ExpectRect(symbol, row.symbol.origin.x, row.symbol.origin.y, row.symbol.size.width, row.symbol.size.height);
    }
}

TEST(LumoraButtons, ClassesAndFiltersTable) {
    riradi_test::Application();
    struct Row {
        const char *name;
        std::shared_ptr<NUCIButton> button;
        NUCIButtonImageClass faces;
    } rows[] = {
        {"square", std::make_shared<LumoraSquareButton>(), &NUCIButtonImageClassOf<LumoraNOLEDButtonImage>},
        {"large", std::make_shared<LumoraLargeButton>(), &NUCIButtonImageClassOf<LumoraLargeButtonImage>},
        {"LED", std::make_shared<LumoraLEDButton>(), &NUCIButtonImageClassOf<LumoraLEDButtonImage>},
        {"record", std::make_shared<LumoraRecordButton>(), &NUCIButtonImageClassOf<LumoraRecordButtonImage>},
        {"round", std::make_shared<LumoraRoundButton>(), &NUCIButtonImageClassOf<LumoraRoundButtonImage>},
        {"round push", std::make_shared<LumoraRoundPushButton>(), &NUCIButtonImageClassOf<NUCIRoundButtonImage>},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.button->buttonImageClass(), row.faces);
        row.button->resize(40, 40);
        row.button->setTitle(QStringLiteral("Play"));
        EXPECT_EQ(row.button->buttonOnStateFilter(), nullptr);  // no glow anywhere
        EXPECT_EQ(row.button->buttonOffStateFilter(), nullptr);
    }
}

TEST(LumoraButtons, RecordClicksAndRoundPushOnlyActs) {
    riradi_test::Application();
    QWidget host;
    SkinnedActionRecorder recorder;
    struct Row {
        const char *name;
        std::shared_ptr<NUCIButton> button;
        QPointF up;
        int actions, clicks;
    } rows[] = {
        {"record inside", std::make_shared<LumoraRecordButton>(&host), {20, 20}, 1, 1},
        {"record below", std::make_shared<LumoraRecordButton>(&host), {20, 60}, 0, 0},
        {"round push inside", std::make_shared<LumoraRoundPushButton>(&host), {20, 20}, 1, 0},
        {"round push above", std::make_shared<LumoraRoundPushButton>(&host), {20, -3}, 0, 0},
        {"square inside", std::make_shared<LumoraSquareButton>(&host), {20, 20}, 1, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        row.button->setGeometry(0, 0, 40, 40);
        row.button->setTitle(QStringLiteral("Record"));
        row.button->setTarget(&recorder);
        row.button->setAction("pressed:");
        int clicks = 0;
        QObject::connect(row.button.get(), &QAbstractButton::clicked, [&clicks] { ++clicks; });
        recorder.count = 0;
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(20, 20), row.button->mapToGlobal(QPointF(20, 20)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(row.button.get(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, row.up, row.button->mapToGlobal(row.up), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(row.button.get(), &release);
        riradi_test::RunPendingEvents();
        EXPECT_EQ(recorder.count, row.actions);
        EXPECT_EQ(clicks, row.clicks);
    }
}

TEST(LumoraSlider, FainterLozenge) {
    riradi_test::Application();
    LumoraSlider slider;
    slider.ensurePolished();
    EXPECT_FLOAT_EQ(slider.cell()->lozengeAlpha(), 0.05f);
    EXPECT_FLOAT_EQ(slider.cell()->lozengeMargin(), 2.0f);
    EXPECT_FLOAT_EQ(slider.cell()->lozengeGrey(), 0.75f);
    NSUISelfLabelingSlider plain;
    plain.ensurePolished();
    EXPECT_FLOAT_EQ(plain.cell()->lozengeAlpha(), 0.125f);
}

TEST(LumoraWindows, WindowProperties) {
    riradi_test::Application();
    LumoraWindow window(QRect(10, 20, 300, 200));
    EXPECT_EQ(window.geometry(), QRect(10, 20, 300, 200));
    EXPECT_EQ(LumoraWindowProperties::alphaValue(&window), 0.99999f);
    EXPECT_EQ(double(LumoraWindowProperties::alphaValue(&window)), 0.9999899864196777);
    EXPECT_LT(window.windowOpacity(), 1.0);  // Qt's nearest step below, not quite opaque
    EXPECT_GT(window.windowOpacity(), 0.99);
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor::fromRgbF(0.9f, 0.9f, 0.9f, 1.0f));
    EXPECT_TRUE(window.autoFillBackground());
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::NoDropShadowWindowHint));
    EXPECT_TRUE(LumoraWindowProperties::isMovableByWindowBackground(&window));
    // Translucent only with a compositing manager (never on the offscreen platform's machine
    // without a display).
    EXPECT_EQ(window.testAttribute(Qt::WA_TranslucentBackground), CGWindowServerIsCompositing());

    auto *gradient = new NSUIGradientView(&window);
    gradient->setObjectName(QStringLiteral("contentView"));
    window.awakeFromNib();
    EXPECT_EQ(gradient->startColor(), LumoraWindow::windowBackgroundColorTwo());
    EXPECT_EQ(gradient->endColor(), LumoraWindow::windowBackgroundColor());
}

TEST(LumoraWindows, PanelProperties) {
    riradi_test::Application();
    LumoraPanel panel;
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::Tool));
    EXPECT_EQ(panel.palette().color(QPalette::Window), QColor::fromRgbF(0.95f, 0.95f, 0.95f, 0.995f));
    EXPECT_EQ(LumoraWindowProperties::alphaValue(&panel), 0.99999f);
    EXPECT_LT(panel.windowOpacity(), 1.0);
    EXPECT_TRUE(LumoraWindowProperties::isMovableByWindowBackground(&panel));

    auto *gradient = new NSUIGradientView(&panel);
    panel.awakeFromNib();
    EXPECT_EQ(gradient->startColor(), LumoraPanel::systemGrayColor());
    EXPECT_EQ(gradient->endColor(), LumoraPanel::panelBackgroundColor());

    // A content view that is no gradient view keeps its own colours.
    LumoraPanel other;
    auto *plain = new QWidget(&other);
    QPalette own = plain->palette();
    own.setColor(QPalette::Window, Qt::darkCyan);
    plain->setPalette(own);
    other.awakeFromNib();
    EXPECT_EQ(plain->palette().color(QPalette::Window), QColor(Qt::darkCyan));
    EXPECT_TRUE(LumoraWindowProperties::isMovableByWindowBackground(&other));
}

TEST(LumoraFBORenderer, EveryRenderWaitsForTheGPU) {
    const auto renderer = LumoraFBORenderer::rendererWithWidthPixels(32, 16);
    ASSERT_NE(renderer, nullptr);
    const CIImageRef red =
        CIImage::imageWithColor(CIColor::colorWithRed(1, 0, 0, 1))->imageByCroppingToRect(CGRectMake(0, 0, 32, 16));
    EXPECT_TRUE(renderer->renderToSurfaceWithBlock([&](const CIContextRef &context) {
        return context->drawImage(red, renderer->rendererBounds(), red->extent());
    }));
    EXPECT_EQ(renderer->finishCount(), 2u);
    const CIImageRef frame = renderer->surfaceCIImage();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(CGRectEqualToRect(frame->extent(), CGRectMake(0, 0, 32, 16)));
}

}  // namespace

#include "SkinnedWidgetsTests.moc"
