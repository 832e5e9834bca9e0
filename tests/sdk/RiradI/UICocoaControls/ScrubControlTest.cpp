// The scrub strip beside a movie slider: its value at rest and while the mouse is held, driven
// by synthetic mouse events, with and without a movie; and the segmented controls' tints and
// selected segment as the parameter mapping reaches it.
#include <UICocoaControls/NSUIClearSegmentedControl.h>
#include <UICocoaControls/NSUIGraphiteSegmentedControl.h>
#include <UICocoaControls/NSUIMovieSlider.h>
#include <UICocoaControls/NSUIScrubControl.h>
#include <UICocoaControls/NSUISliderBase.h>

#include <AppKit/NSNib.h>
#include <Foundation/NSKeyValueCoding.h>
#include <Foundation/NSObjCRuntime.h>
#include <QuickTime/Movies.h>
#include <UIParamMapping/NSUIParamMapping.h>

#include "../RiradITestApplication.h"
#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"
#include "support/TestFolders.h"
#include "support/media/TestMedia.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace lumora::test;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The owner of a scrub control: records the control's value at each action and, with a movie
// slider, seeks its movie there.
class ScrubOwner : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE void scrubbed(QObject *sender) {
        auto *scrub = qobject_cast<NSUIScrubControl *>(sender);
        ASSERT_NE(scrub, nullptr);
        values.push_back(scrub->normalValue());
        if (seek != nullptr) seek->setMovieTimeToNormalValue(scrub->normalValue());
    }
    std::vector<double> values;
    NSUIMovieSlider *seek = nullptr;
};

struct Strip : riradi_test::WithApplication {
    explicit Strip(int height = 100) {
        scrub.resize(20, height);
        scrub.setGrossSlider(&slider);
        scrub.setTarget(&owner);
        scrub.setAction("scrubbed:");
        scrub.awakeFromNib();
    }
    void send(QEvent::Type type, QPointF point, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, point, scrub.mapToGlobal(point), Qt::LeftButton, held, modifiers);
        QApplication::sendEvent(&scrub, &event);
    }
    void press(double y, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        send(QEvent::MouseButtonPress, {10, y}, modifiers);
    }
    void drag(double y) { send(QEvent::MouseMove, {10, y}); }
    void release(double y) { send(QEvent::MouseButtonRelease, {10, y}); }

    NSUIMovieSlider slider;
    NSUIScrubControl scrub;
    ScrubOwner owner;
};

// Qt y 0 is the strip's top edge: +0.01 on the knob's position; its bottom edge (y = height)
// -0.01; the middle exactly the knob. Drags beyond the strip hold at the ends; the result is
// not clamped to [0, 1]; a strip without height reads its fine value as 0.
TEST(ScrubControl, ValueWhileHeldFromMouseHeight) {
    ASSERT_TRUE(import_NSUIScrubControl());
    struct Case {
        const char *what;
        double knob;
        int height;
        double pressY;
        std::optional<double> dragY;
        double held;
    } const cases[] = {
        {"middle", 0.5, 100, 50, {}, 0.5},
        {"top", 0.5, 100, 0, {}, 0.51},
        {"bottom", 0.5, 100, 100, {}, 0.49},
        {"a quarter down", 0.5, 100, 25, {}, 0.505},
        {"dragged above", 0.5, 100, 50, -40, 0.51},
        {"dragged below", 0.5, 100, 50, 160, 0.49},
        {"knob at 1, near the top", 1.0, 100, 1, {}, 1.0098},
        {"knob at 0, bottom", 0.0, 100, 100, {}, -0.01},
        {"no height", 0.5, 0, 0, {}, 0.49},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        Strip strip(c.height);
        strip.slider.setNormalValue(c.knob);
        EXPECT_DOUBLE_EQ(strip.scrub.normalValue(), c.knob);  // at rest: the slider's value
        EXPECT_DOUBLE_EQ(strip.scrub.fineNormalValue(), 0.5);

        strip.press(c.pressY);
        if (c.dragY) strip.drag(*c.dragY);
        ASSERT_FALSE(strip.owner.values.empty());
        EXPECT_NEAR(strip.owner.values.back(), c.held, 1e-6);
        EXPECT_NEAR(strip.scrub.normalValue(), c.held, 1e-6);
        EXPECT_TRUE(strip.scrub.mouseDownInSelf());
        EXPECT_DOUBLE_EQ(strip.scrub.grossNormalValue(), c.knob);
        // The knob does not move: the owner decides.
        EXPECT_DOUBLE_EQ(strip.slider.normalSliderValue(), c.knob);

        strip.release(c.dragY.value_or(c.pressY));
        EXPECT_NEAR(strip.owner.values.back(), c.held, 1e-6);  // the release scrubs too
        const std::size_t actions = strip.owner.values.size();
        // Back at rest: the slider's value, the fine value 0.5, and nothing more is delivered.
        EXPECT_FALSE(strip.scrub.mouseDownInSelf());
        EXPECT_DOUBLE_EQ(strip.scrub.normalValue(), c.knob);
        EXPECT_DOUBLE_EQ(strip.scrub.fineNormalValue(), 0.5);
        EXPECT_DOUBLE_EQ(strip.scrub.grossNormalValue(), 0);
        riradi_test::RunPendingEvents();
        strip.drag(10);
        EXPECT_EQ(strip.owner.values.size(), actions);
    }
    // The middle is exact, not merely near.
    Strip strip;
    strip.slider.setNormalValue(0.3);
    strip.press(50);
    EXPECT_EQ(strip.scrub.normalValue(), strip.slider.normalSliderValue());
    strip.release(50);
}

// The fine value is held within [0, 1], NaN as 0, and setting it delivers nothing.
TEST(ScrubControl, SetNormalValueHoldsTheFineValue) {
    Strip strip;
    struct Case {
        double in, fine, combined;
    } const cases[] = {{0.25, 0.25, -0.005}, {2, 1, 0.01}, {-1, 0, -0.01}, {kNaN, 0, -0.01}, {kInf, 1, 0.01}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.in);
        strip.scrub.setNormalValue(c.in);
        EXPECT_DOUBLE_EQ(strip.scrub.fineNormalValue(), c.fine);
        EXPECT_NEAR(strip.scrub.combinedNormalValue(), c.combined, 1e-9);
        EXPECT_DOUBLE_EQ(strip.scrub.normalValue(), strip.slider.normalValue());  // not held: at rest
    }
    EXPECT_TRUE(strip.owner.values.empty());
    // As key-value coding reaches it.
    NSKeyValueCoding::setValueForKey(&strip.scrub, 0.75, "normalValue");
    EXPECT_DOUBLE_EQ(strip.scrub.fineNormalValue(), 0.75);

    // Without a movie slider the control reads 0 and takes 0 at the press.
    NSUIScrubControl lone;
    lone.resize(20, 100);
    EXPECT_EQ(lone.normalValue(), 0);
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(10, 0), lone.mapToGlobal(QPointF(10, 0)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&lone, &event);
    EXPECT_NEAR(lone.normalValue(), 0.01, 1e-9);
    lone.modalMouseCancel();
    EXPECT_EQ(lone.normalValue(), 0);
}

// Every step of the press scrubs; with the option key only the press and the release do. A
// press of another button starts nothing.
TEST(ScrubControl, ActionsPerStep) {
    Strip strip;
    strip.press(50);
    strip.drag(40);
    strip.drag(30);
    strip.release(30);
    // Begin, two drags, the release's own step, Up, End.
    EXPECT_EQ(strip.owner.values.size(), 6u);

    Strip option;
    option.press(50, Qt::AltModifier);
    option.drag(40);
    option.drag(30);
    riradi_test::RunPendingEvents();
    option.release(0);
    ASSERT_EQ(option.owner.values.size(), 3u);  // Begin, Up, End
    EXPECT_NEAR(option.owner.values[0], 0, 1e-9);  // the knob is at 0
    EXPECT_NEAR(option.owner.values[2], 0.01, 1e-9);

    Strip right;
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(10, 0), right.scrub.mapToGlobal(QPointF(10, 0)),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(&right.scrub, &event);
    EXPECT_TRUE(right.owner.values.empty());
    EXPECT_FALSE(right.scrub.mouseDownInSelf());
}

// The strip: a half-transparent grey capsule 2 in from its top and bottom edges, with a centre
// line 1 in from them.
TEST(ScrubControl, Drawing) {
    Strip strip;
    QImage image(strip.scrub.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    strip.scrub.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    image = image.convertToFormat(QImage::Format_RGBA8888);
    EXPECT_EQ(qAlpha(image.pixel(5, 50)), 128);
    EXPECT_NEAR(qRed(image.pixel(5, 50)), 128, 2);
    EXPECT_EQ(qAlpha(image.pixel(10, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(5, 1)), 0);
    EXPECT_EQ(qAlpha(image.pixel(8, 3)), 128);
    EXPECT_EQ(qAlpha(image.pixel(10, 99)), 0);
    // The centre line doubles the capsule's alpha on its pixel column (x 9.5 ... 10.5: half of
    // columns 9 and 10).
    EXPECT_GT(qAlpha(image.pixel(10, 50)), qAlpha(image.pixel(5, 50)));
    EXPECT_EQ(qAlpha(image.pixel(0, 50)), 128);  // an upright capsule as wide as the strip
    EXPECT_EQ(qAlpha(image.pixel(0, 2)), 0);     // with round ends
}

// With a real movie: at rest the control reads the movie; a press takes the knob (not the movie)
// and the owner seeks the movie around it.
class ScrubMovieTest : public corex_test::DebugLogFileTest, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        DebugLogFileTest::SetUp();
        EnterMovies();
        const std::string path = mFolder.file("colours.mov");
        ASSERT_TRUE(WriteMovie(path, "mpeg4", 10, {kRed, kGreen, kBlue, kWhite}));
        ASSERT_TRUE(OpenMovieInWorld(path, &mMovie, &mWorld));
    }
    void TearDown() override {
        strip.slider.clearMovie();
        if (mMovie != nullptr) DisposeMovie(mMovie);
        if (mWorld != nullptr) DisposeGWorld(mWorld);
        DebugLogFileTest::TearDown();
    }
    double MovieFraction() const { return double(GetMovieTime(mMovie, nullptr)) / GetMovieDuration(mMovie); }

    ScopedFolder mFolder{"scrub"};
    Movie mMovie = nullptr;
    GWorldPtr mWorld = nullptr;
    Strip strip;
};

TEST_F(ScrubMovieTest, ScrubsTheMovieAroundTheKnob) {
    constexpr double kTick = 1.0 / 240;  // the movie clock's resolution over 0.4 seconds
    ASSERT_TRUE(strip.slider.setMovie(mMovie));
    strip.owner.seek = &strip.slider;
    strip.slider.setNormalValue(0.5);               // knob and movie
    strip.slider.setMovieTimeToNormalValue(0.25);   // the movie alone
    EXPECT_NEAR(strip.scrub.normalValue(), 0.25, kTick);
    EXPECT_NEAR(NSKeyValueCoding::valueForKey(&strip.scrub, "normalValue").toDouble(), 0.25, kTick);

    strip.press(50);
    EXPECT_DOUBLE_EQ(strip.owner.values.back(), 0.5);
    EXPECT_NEAR(MovieFraction(), 0.5, kTick);
    strip.drag(0);
    EXPECT_NEAR(MovieFraction(), 0.51, kTick);
    strip.drag(100);
    EXPECT_NEAR(MovieFraction(), 0.49, kTick);
    strip.release(0);
    EXPECT_NEAR(MovieFraction(), 0.51, kTick);

    // At rest again: the movie's position; the knob stayed.
    EXPECT_NEAR(strip.scrub.normalValue(), 0.51, kTick);
    EXPECT_DOUBLE_EQ(strip.slider.normalSliderValue(), 0.5);
    EXPECT_EQ(LogText(), "");
}

// The segmented controls take their tints from their nib's awakeFromNib; the parameter mapping
// finds them by their NSSegmentedControl class and reads and sets the selected segment.
TEST(SegmentedControls, TintsAndSelectedSegment) {
    ASSERT_TRUE(import_NSUIClearSegmentedControl());
    ASSERT_TRUE(import_NSUIGraphiteSegmentedControl());
    riradi_test::Application();
    struct Case {
        const char *name;
        int tint;
    } const cases[] = {{"NSUIClearSegmentedControl", NSClearControlTint},
                       {"NSUIGraphiteSegmentedControl", NSGraphiteControlTint}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<QObject> object(NSClassCreateInstance(NSClassFromString(c.name)));
        auto *control = qobject_cast<NSSegmentedControl *>(object.get());
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(NSKeyValueCoding::valueForKey(control, "controlTint").toInt(), 0);
        ASSERT_TRUE(respondsToSelector(control, "awakeFromNib"));
        performSelector(control, "awakeFromNib");
        EXPECT_EQ(NSKeyValueCoding::valueForKey(control, "controlTint").toInt(), c.tint);
        EXPECT_EQ(control->palette().color(QPalette::Highlight), NSUISliderBase::highlightForTint(c.tint));

        control->setLabels({"A", "B", "C"});
        ScrubOwner target;  // any object answering the action
        struct Step {
            QVariant set;
            int selected;
        } const steps[] = {{2, 2}, {QStringLiteral("1"), 1}, {7, -1}, {-1, -1}, {0, 0}};
        for (const Step &s : steps) {
            EXPECT_TRUE(NSParamMapping::sendSetter(control, "setIntParam:", s.set));
            EXPECT_EQ(control->selectedSegment(), s.selected);
            EXPECT_EQ(NSParamMapping::sendGetter(control, "intParam").toInt(), s.selected);
        }
    }
}

}  // namespace

#include "ScrubControlTest.moc"
