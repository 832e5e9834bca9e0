// The squishy Core Image buttons on the offscreen platform, driven by synthetic mouse events:
// the bump's radius and centre, what a release does for each class (one action per press),
// naming and renaming the faces, the filtered faces, and the main-thread rule.
#include <CocoaQZ/CIControls/NUCIButton.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

class ButtonActionRecorder : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void buttonAction(QObject *sender) {
        ++count;
        last = sender;
    }
    int count = 0;
    QObject *last = nullptr;
};

namespace {

TEST(SquishyButtonBump, RadiusFormula) {
    struct Row {
        double w, h, amount, radius;
    } rows[] = {
        {100, 100, 1.0, 45.0},                          // ((100 + 100) / 2 + 100) / 2 x 0.45
        {100, 40, 1.0, ((70.0 + 40.0) / 2) * 0.45},     // 24.75
        {40, 100, 0.75, ((70.0 + 40.0) / 2) * 0.45 * 0.75},
        {200, 96, 2.0, ((148.0 + 96.0) / 2) * 0.45 * 2.0},
        {64, 64, 0.0, 0.0},
    };
    for (const Row &row : rows)
        EXPECT_DOUBLE_EQ(NUCISquishyButton::bumpRadius(CGSizeMake(row.w, row.h), row.amount), row.radius)
            << row.w << " x " << row.h << " at " << row.amount;
}

TEST(SquishyButtonBump, CentreStaysInTheMiddleTenth) {
    struct Row {
        QPointF point;
        double scale;
        CGPoint centre;  // face pixels, origin bottom-left
    } rows[] = {
        {{50, 25}, 1.0, {50, 25}},       // the middle
        {{0, 0}, 1.0, {45, 27.5}},       // top-left corner: x 0.45, y 0.45 from the top
        {{100, 50}, 1.0, {55, 22.5}},    // bottom-right corner
        {{-30, 400}, 1.0, {45, 22.5}},   // far outside
        {{52, 26}, 1.0, {52, 24}},       // within the tenth: followed
        {{0, 0}, 2.0, {90, 55}},         // at twice the pixels
    };
    for (const Row &row : rows) {
        const CGPoint centre = NUCISquishyButton::bumpCentre(row.point, QSizeF(100, 50), row.scale);
        EXPECT_NEAR(centre.x, row.centre.x, 1e-9) << row.point.x() << ", " << row.point.y();
        EXPECT_NEAR(centre.y, row.centre.y, 1e-9) << row.point.x() << ", " << row.point.y();
    }
}

// A move with the left button held.
void Drag(QWidget &widget, QPoint point) {
    QMouseEvent move(QEvent::MouseMove, QPointF(point), widget.mapToGlobal(QPointF(point)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &move);
}

struct ButtonFixture : riradi_test::WithApplication {
    QWidget host;
    ButtonActionRecorder recorder;

    // Presses at `down`, drags through `moves`, releases at `up` (button coordinates).
    static void Press(NUCISquishyButton &button, QPoint down, const std::vector<QPoint> &moves, QPoint up) {
        QTest::mousePress(&button, Qt::LeftButton, {}, down);
        for (const QPoint &p : moves) Drag(button, p);
        QTest::mouseRelease(&button, Qt::LeftButton, {}, up);
        riradi_test::RunPendingEvents();
    }
};

std::unique_ptr<NUCISquishyButton> Make(const std::string &kind, QWidget *host) {
    if (kind == "squishy") return std::make_unique<NUCISquishyButton>(host);
    if (kind == "NUCIButton") return std::make_unique<NUCIButton>(host);
    if (kind == "70s square") return std::make_unique<NU70sHardwareSquareButton>(host);
    if (kind == "70s square LED") return std::make_unique<NU70sHardwareSquareButtonWithGreenLED>(host);
    if (kind == "70s round") return std::make_unique<NU70sHardwareRoundButton>(host);
    if (kind == "70s record") return std::make_unique<NU70sHardwareRecordButton>(host);
    return nullptr;
}

TEST(SquishyButtonRelease, ClickAndActionTable) {
    ButtonFixture f;
    f.host.resize(200, 200);
    const QPoint middle(30, 20);
    struct Row {
        const char *kind;
        const char *what;
        std::vector<QPoint> moves;
        QPoint up;
        int actions, clicks;
    } rows[] = {
        {"NUCIButton", "inside", {}, middle, 1, 1},
        {"NUCIButton", "below", {{30, 70}}, {30, 70}, 0, 0},
        {"NUCIButton", "above", {{30, -10}}, {30, -10}, 0, 0},
        {"NUCIButton", "right", {{90, 20}}, {90, 20}, 0, 0},
        {"NUCIButton", "left", {{-5, 20}}, {-5, 20}, 0, 0},
        {"NUCIButton", "out and back", {{30, 90}, {120, 20}, {31, 21}}, {31, 21}, 1, 1},
        {"NUCIButton", "on the far edge", {}, {60, 40}, 1, 1},
        {"squishy", "inside", {}, middle, 1, 1},
        {"squishy", "below", {}, {30, 41}, 0, 0},
        {"70s square", "inside", {}, middle, 1, 0},
        {"70s square", "below", {}, {30, 60}, 0, 0},
        {"70s round", "inside", {}, middle, 1, 0},
        {"70s round", "above", {}, {30, -20}, 0, 0},
        {"70s square LED", "inside", {}, middle, 1, 1},
        {"70s record", "inside", {}, middle, 1, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.kind) + ", release " + row.what);
        auto button = Make(row.kind, &f.host);
        button->setGeometry(10, 10, 60, 40);
        button->setTarget(&f.recorder);
        button->setAction("buttonAction:");
        if (auto *named = qobject_cast<NUCIButton *>(button.get())) named->setTitle(QStringLiteral("Play"));
        button->show();
        QSignalSpy clicks(button.get(), &QAbstractButton::clicked);
        f.recorder.count = 0;
        f.recorder.last = nullptr;
        ButtonFixture::Press(*button, middle, row.moves, row.up);
        EXPECT_EQ(f.recorder.count, row.actions);
        EXPECT_EQ(clicks.count(), row.clicks);
        if (row.actions > 0) EXPECT_EQ(f.recorder.last, button.get());
        EXPECT_EQ(button->buttonDownImage(), nullptr);
    }
}

TEST(SquishyButtonRelease, NUCIButtonClickTogglesItsStateOnce) {
    ButtonFixture f;
    NUCIButton button(&f.host);
    button.setGeometry(0, 0, 48, 48);
    button.setTitle(QStringLiteral("Play"));
    button.setTarget(&f.recorder);
    button.setAction("buttonAction:");
    ButtonFixture::Press(button, {24, 24}, {}, {24, 24});
    EXPECT_EQ(button.state(), 1);
    ButtonFixture::Press(button, {24, 24}, {}, {24, 24});
    EXPECT_EQ(button.state(), 0);
    EXPECT_EQ(f.recorder.count, 2);
}

TEST(SquishyButtonPress, HeldButtonSquishesUnderTheMouse) {
    ButtonFixture f;
    NUCIButton button(&f.host);
    button.setGeometry(0, 0, 100, 50);
    button.setTitle(QStringLiteral("Play"));
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(1, 1));  // (0, 0) would mean the middle
    ASSERT_NE(button.buttonDownImage(), nullptr);
    const CIFilterRef &bump = button.buttonDownFilter();
    ASSERT_NE(bump, nullptr);
    EXPECT_EQ(bump->imageForKey(kCIInputImageKey), button.buttonDownImage());
    EXPECT_DOUBLE_EQ(bump->numberForKey("inputScale"), -0.25);
    const double scale = button.scaleForRetinaDisplay();
    EXPECT_NEAR(bump->vectorForKey("inputCenter").X(), 45 * scale, 1e-9);
    EXPECT_NEAR(bump->vectorForKey("inputCenter").Y(), 27.5 * scale, 1e-9);
    Drag(button, QPoint(99, 49));
    EXPECT_NEAR(bump->vectorForKey("inputCenter").X(), 55 * scale, 1e-9);
    EXPECT_NEAR(bump->vectorForKey("inputCenter").Y(), 22.5 * scale, 1e-9);
    // The face while held: the squished picture of the face, as large as the face.
    const CGRect extent = bump->outputImage()->extent();
    EXPECT_EQ(extent.size.width, 100 * scale);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(99, 49));
    EXPECT_EQ(button.buttonDownImage(), nullptr);
}

TEST(SquishyButtonPress, DisabledSquishingIgnoresThePress) {
    ButtonFixture f;
    NUCIButton button(&f.host);
    button.setGeometry(0, 0, 48, 48);
    button.setTitle(QStringLiteral("Play"));
    button.setTarget(&f.recorder);
    button.setAction("buttonAction:");
    button.setSquishyEnabled(false);
    QSignalSpy clicks(&button, &QAbstractButton::clicked);
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(24, 24));
    EXPECT_EQ(button.buttonDownImage(), nullptr);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(24, 24));
    riradi_test::RunPendingEvents();
    EXPECT_EQ(f.recorder.count, 0);
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_EQ(button.state(), 0);
}

TEST(CIButtonFaces, NamingAndRenaming) {
    riradi_test::Application();
    NUCIRoundGradientButton button;
    button.resize(64, 48);
    EXPECT_FALSE(button.isButtonNamed(QString()));
    button.setTitle(QStringLiteral("Play"));
    EXPECT_EQ(button.buttonImageName(), "Play");
    EXPECT_TRUE(button.isButtonNamed(QStringLiteral("PLAY")));
    const auto off = button.buttonOffImage(), on = button.buttonOnImage();
    ASSERT_NE(off, nullptr);
    ASSERT_NE(on, nullptr);
    EXPECT_EQ(off->size().width, 64);
    EXPECT_EQ(off->size().height, 48);
    EXPECT_EQ(button.cell()->image(), off);
    EXPECT_EQ(button.cell()->alternateImage(), on);
    EXPECT_TRUE(button.cell()->title().isEmpty());
    EXPECT_EQ(button.cell()->imagePosition(), NSImageOnly);
    EXPECT_FALSE(button.cell()->isBordered());
    // The face class's squishiness, and the bump's radius with it.
    EXPECT_FLOAT_EQ(button.squishyAmountNormal(), 0.75f);
    const double scale = button.scaleForRetinaDisplay();
    EXPECT_NEAR(button.buttonDownFilter()->numberForKey("inputRadius"),
                NUCISquishyButton::bumpRadius(CGSizeMake(64 * scale, 48 * scale), 0.75), 1e-9);

    button.setTitle(QStringLiteral("play"));  // the same name: the faces stay
    EXPECT_EQ(button.buttonOffImage(), off);
    EXPECT_EQ(button.buttonImageName(), "Play");
    button.resize(100, 100);  // not remade on resizing
    EXPECT_EQ(button.buttonOffImage(), off);
    button.setTitle(QStringLiteral("Stop"));
    EXPECT_NE(button.buttonOffImage(), off);
    EXPECT_EQ(button.buttonOffImage()->size().width, 100);

    // An image renames with its name.
    auto named = std::make_shared<NSImage>(NSMakeSize(4, 4));
    named->setName(QStringLiteral("Record"));
    button.setImage(named);
    EXPECT_EQ(button.buttonImageName(), "Record");
    named->setName(QString());
}

TEST(CIButtonFaces, NamedBeforeItHadAnyArea) {
    riradi_test::Application();
    NUCIButton button;
    button.resize(0, 0);
    button.setTitle(QStringLiteral("Play"));
    EXPECT_EQ(button.buttonOffImage(), nullptr);
    button.resize(32, 32);
    (void)button.grab();  // drawn at its first real size
    ASSERT_NE(button.buttonOffImage(), nullptr);
    EXPECT_EQ(button.buttonOffImage()->size().width, 32);
}

TEST(CIButtonFaces, FilteredFacesKeepTheFaceSize) {
    riradi_test::Application();
    NU70sHardwareSquareButton button;
    button.resize(48, 40);
    button.setTitle(QStringLiteral("Play"));
    ASSERT_NE(button.buttonOnStateFilter(), nullptr);
    EXPECT_EQ(button.buttonOffStateFilter(), nullptr);
    const CIImageRef off = button.filteredButtonImageForState(0);
    const CIImageRef on = button.filteredButtonImageForState(1);
    ASSERT_NE(off, nullptr);
    ASSERT_NE(on, nullptr);
    // The glow grows the picture; the crop brings it back to the face.
    EXPECT_TRUE(CGRectEqualToRect(off->extent(), CGRectMake(0, 0, 48, 40)));
    EXPECT_TRUE(CGRectEqualToRect(on->extent(), CGRectMake(0, 0, 48, 40)));
    // The 70s square button is momentary: no state is shown.
    EXPECT_EQ(button.cell()->showsStateBy(), NSNoCellMask);
}

TEST(CIButtonFaces, DrawingStateChangesOnTheMainThread) {
    riradi_test::Application();
    NUCIButton button;
    button.resize(32, 32);
    button.setTitle(QStringLiteral("Play"));
    const auto off = button.buttonOffImage();
    std::thread other([&] { button.setButtonImageName(QStringLiteral("Stop")); });
    other.join();
    EXPECT_EQ(button.buttonImageName(), "Play");
    EXPECT_EQ(button.buttonOffImage(), off);
    riradi_test::RunPendingEvents();
    EXPECT_EQ(button.buttonImageName(), "Stop");
    EXPECT_NE(button.buttonOffImage(), off);
}

TEST(CIButtonFaces, MissingCellOrNameIsReported) {
    riradi_test::Application();
    NUCIButton button;
    button.resize(32, 32);
    button.setTitle(QStringLiteral("Play"));
    const auto off = button.buttonOffImage();
    corex_test::CapturedOutput errors(STDERR_FILENO);
    button.setButtonCellImages(QString());
    EXPECT_FALSE(NUCIButton::clearButtonCellAttributes(nullptr));
    const std::string text = errors.Finish();
    EXPECT_NE(text.find("imageName"), std::string::npos) << text;
    EXPECT_NE(text.find("buttonCell"), std::string::npos) << text;
    EXPECT_EQ(button.buttonOffImage(), off);
}

}  // namespace

#include "CIButtonTests.moc"
