#include <UICocoaColor/NSUIColorWheelView.h>
#include <UICocoaColor/NSUIColorWheelViewNibbler.h>
#include <UICocoaColor/UFColorSchemeController.h>
#include <UICocoaColor/UFColorWheelController.h>

#include <AppKit/NSBitmapImageRep.h>
#include <CocoaFoundation/NSUIKeyPathsPresetsController.h>
#include <CocoaFoundation/NSUITableViewArrayController.h>
#include <CocoaFoundation/UPersistentObjectsController.h>
#include <Foundation/NSUserDefaults.h>
#include <dispatch/dispatch.h>

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

constexpr float kPi = 3.1415927f;
constexpr float kTurn = kUFColorWheelTwoPi;
constexpr uint kNone = UFColorWheelController::kNoSelectedSlice;

void Drain() {
    for (int round = 0; round < 4; ++round) {
        dispatch_main_queue_drain();
        riradi_test::RunPendingEvents();
    }
}

// Records the notices of a wheel controller.
class Delegate : public QObject {
    Q_OBJECT
public:
    int notices = 0;
    Q_INVOKABLE void colorWheelControllerDidChange(QObject *) { ++notices; }
};

struct ColorWheel : riradi_test::WithApplication, ::testing::Test {
    void SetUp() override { Drain(); }
    void TearDown() override { Drain(); }
};

TEST_F(ColorWheel, SlicesCoverTheTurnClockwiseFromTheTop) {
    struct Case {
        uint asked;
        uint made;
    };
    for (const Case c : {Case{0, 3}, Case{2, 3}, Case{3, 3}, Case{6, 6}, Case{12, 12}}) {
        UFColorWheelController wheel;
        wheel.setNumberOfSlices(c.asked);
        ASSERT_EQ(wheel.numberOfSlices(), c.made) << c.asked;
        EXPECT_FLOAT_EQ(wheel.hueSliceWidthRadians(), kTurn / c.made);
        const auto &slices = wheel.hueSlices();
        EXPECT_FLOAT_EQ(slices.front().fromPolar().theta, 0.0f);
        EXPECT_FLOAT_EQ(slices.back().toPolar().theta, kTurn);
        for (std::size_t k = 1; k < slices.size(); ++k)
            EXPECT_FLOAT_EQ(slices[k].fromPolar().theta, slices[k - 1].toPolar().theta);
    }
    UFColorWheelController wheel;  // six slices
    const UFColorWheelHueSlice &first = wheel.hueSlices()[0];
    EXPECT_FLOAT_EQ(first.toPolar().theta, kPi / 3);
    // From the top towards the right: (r sin θ, r cos θ).
    EXPECT_NEAR(first.from().x, 0.0, 1e-6);
    EXPECT_NEAR(first.from().y, 0.5, 1e-6);
    EXPECT_NEAR(first.to().x, 0.5 * std::sin(kPi / 3), 1e-6);
    EXPECT_NEAR(first.to().y, 0.5 * std::cos(kPi / 3), 1e-6);
    EXPECT_FLOAT_EQ(first.colorHueNormalValue(), 1.0f / 12);
    const CGPoint mapped = UFColorWheelHueSlice::translateUnitPoint(CGPointMake(0.5, -0.5), CGRectMake(10, 20, 100, 50));
    EXPECT_DOUBLE_EQ(mapped.x, 110);
    EXPECT_DOUBLE_EQ(mapped.y, 20);
}

TEST_F(ColorWheel, HitTestFindsTheSliceByAngleOnly) {
    UFColorWheelController wheel;
    struct Case {
        UFPolarPoint point;
        uint slice;
    };
    for (const Case c : {Case{{0.2f, 0.0f}, 0}, Case{{0.2f, kPi / 3 - 0.001f}, 0}, Case{{0.2f, kPi / 3}, 1},
                         Case{{0.2f, kPi / 2}, 1}, Case{{5.0f, kPi}, 3}, Case{{0.0f, 4.0f}, 3},
                         Case{{0.4f, kTurn - 0.001f}, 5}, Case{{0.4f, kTurn}, kNone}})
        EXPECT_EQ(wheel.sliceIndexFromHitTestAtUnitPolarPoint(c.point), c.slice) << c.point.r << " " << c.point.theta;

    // Unit points (y up) to polar points, the angle clockwise from the top in [0, 2π).
    struct Unit {
        CGPoint point;
        float r;
        float theta;
    };
    for (const Unit u : {Unit{{0, 0.25}, 0.25f, 0}, Unit{{0.25, 0}, 0.25f, kPi / 2}, Unit{{0, -0.25}, 0.25f, kPi},
                         Unit{{-0.25, 0}, 0.25f, 3 * kPi / 2}, Unit{{-3, 4}, 5.0f, kTurn - std::atan2(3.0f, 4.0f)}}) {
        const UFPolarPoint polar = NSUIColorWheelView::mouseHitTestUnitPoint(u.point);
        EXPECT_NEAR(polar.r, u.r, 1e-5);
        EXPECT_NEAR(polar.theta, u.theta, 1e-5) << u.point.x << " " << u.point.y;
        EXPECT_GE(polar.theta, 0.0f);
        EXPECT_LT(polar.theta, kTurn);
    }
}

TEST_F(ColorWheel, ClicksInTheViewSelectTheSliceUnderThem) {
    UFColorWheelController wheel;
    NSUIColorWheelView view;
    view.resize(200, 100);  // not square: only the angle about the centre counts
    view.setColorWheel(&wheel);
    struct Case {
        QPointF normalized;  // Qt's: y down
        uint slice;
    };
    for (const Case c : {Case{{0.5, 0.05}, 0}, Case{{0.95, 0.5}, 1}, Case{{0.48, 0.95}, 3}, Case{{0.52, 0.95}, 2}, Case{{0.05, 0.5}, 4},
                         Case{{0.49, 0.01}, 5}, Case{{2.0, 0.5}, 1}})
        {
        view.mouseSelectionEvent(c.normalized);
        EXPECT_EQ(wheel.selectedSliceIndex(), c.slice) << c.normalized.x() << " " << c.normalized.y();
    }
}

// The marks and colours of each scheme, six slices, slice 1 selected (θ = π/2), contrast 0.5.
TEST_F(ColorWheel, SchemesPlaceTheMarksAndColours) {
    const float theta = kPi / 2;
    const float w = kPi / 3;
    const float third = UFColorWheelController::kThirdOfATurn;
    struct Case {
        uint scheme;
        const char *summary;
        std::vector<float> marks;
        float tertiaryGrey;  // < 0: the tertiary colour is the third mark's hue
        bool desaturated, greyControl, contrastControl;
    };
    const Case cases[] = {
        {0, "Analogous", {theta, theta - w, theta + w}, -1, false, false, true},
        {1, "Triadic", {theta, theta - third, theta + third}, -1, false, false, true},
        {2, "Complementary", {theta, theta - kPi}, 0.5f, false, true, true},
        {3, "Split", {theta, theta + kPi - w, theta + kPi + w}, -1, false, false, true},
        {4, "Black & White", {theta, theta - kPi}, 0.5f, true, true, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.summary);
        UFColorWheelController wheel;
        UFColorSchemeController scheme;
        Delegate delegate;
        wheel.setOutletColorSchemeController(&scheme);
        wheel.setDelegate(&delegate);
        wheel.setHueCombination(c.scheme);
        wheel.setSelectedSliceIndex(1);
        EXPECT_EQ(wheel.schemeSummary(), c.summary);
        EXPECT_EQ(wheel.needsDesaturatedColorWheel(), c.desaturated);
        EXPECT_EQ(wheel.needsBlackWhiteGreyControl(), c.greyControl);
        EXPECT_EQ(wheel.needsColorContrastControl(), c.contrastControl);
        // Recomputed one turn later, the delegate told one turn after that.
        EXPECT_EQ(scheme.dominantColor(), QColor(Qt::blue));
        Drain();
        EXPECT_GE(delegate.notices, 1);
        EXPECT_GE(wheel.colorChangedCount(), 1u);
        ASSERT_EQ(wheel.selectedHues().size(), c.marks.size());
        for (std::size_t i = 0; i < c.marks.size(); ++i) EXPECT_FLOAT_EQ(wheel.selectedHues()[i], c.marks[i]) << i;

        const auto hueOf = [](float angle) { return UFColorWheelController::hueValueFromHueColorAngleRadians(angle); };
        if (c.scheme == 4) {
            // Greys of saturation 0.01 whose brightness is the hue.
            EXPECT_NEAR(scheme.dominantColor().hsvSaturationF(), 0.01, 0.005);
            EXPECT_NEAR(scheme.dominantColor().valueF(), hueOf(c.marks[0]), 0.005);
            EXPECT_NEAR(scheme.secondaryColor().valueF(), hueOf(c.marks[1]), 0.005);
        } else {
            EXPECT_NEAR(scheme.dominantColor().hsvHueF(), hueOf(c.marks[0]), 0.001);
            EXPECT_NEAR(scheme.secondaryColor().hsvHueF(), hueOf(c.marks[1]), 0.001);
        }
        if (c.tertiaryGrey >= 0) {
            EXPECT_EQ(scheme.tertiaryColor().hsvSaturationF(), 0.0);
            EXPECT_NEAR(scheme.tertiaryColor().valueF(), c.tertiaryGrey, 0.005);
        } else {
            EXPECT_NEAR(scheme.tertiaryColor().hsvHueF(), hueOf(c.marks[2]), 0.001);
        }
    }
    // The triadic secondary is stored negative and wrapped for its hue.
    EXPECT_NEAR(UFColorWheelController::hueValueFromHueColorAngleRadians(theta - third),
                (theta - third + kTurn) / kTurn, 1e-6);
    UFColorWheelController wheel;
    wheel.setHueCombination(9);
    EXPECT_EQ(wheel.schemeSummary(), "ColorWheel");
}

TEST_F(ColorWheel, ContrastAndGreyShadeTheColours) {
    struct Case {
        float contrast;
        float domS, domV, secS, secV;
    };
    for (const Case c : {Case{0.0f, 0.5f, 1.0f, 1.0f, 0.5f}, Case{1.0f, 1.0f, 0.5f, 0.5f, 1.0f},
                         Case{0.5f, 1.0f, 1.0f, 1.0f, 1.0f}, Case{-3.0f, 0.5f, 1.0f, 1.0f, 0.5f}}) {
        UFColorWheelController wheel;
        wheel.setColorSchemeContrastNormalValue(c.contrast);
        const QColor dominant = wheel.dominantHueColorWithHueNormalValue(0.25f);
        const QColor secondary = wheel.secondaryHueColorWithHueNormalValue(0.25f);
        EXPECT_NEAR(dominant.hsvSaturationF(), c.domS, 0.005) << c.contrast;
        EXPECT_NEAR(dominant.valueF(), c.domV, 0.005) << c.contrast;
        EXPECT_NEAR(secondary.hsvSaturationF(), c.secS, 0.005) << c.contrast;
        EXPECT_NEAR(secondary.valueF(), c.secV, 0.005) << c.contrast;
    }
    UFColorWheelController wheel;
    for (const float grey : {0.0f, 0.25f, 1.0f, 7.0f}) {
        wheel.setColorSchemeGreyLevelNormalValue(grey);
        EXPECT_NEAR(wheel.userSelectedHueComplementaryColorForTwoColorSchemes().valueF(), std::min(grey, 1.0f), 0.005);
    }
}

TEST_F(ColorWheel, AnIndexPastTheSlicesSelectsNothing) {
    UFColorWheelController wheel;
    EXPECT_EQ(wheel.selectedSliceIndex(), kNone);
    EXPECT_EQ(wheel.selectedSlice(), nullptr);
    wheel.setSelectedSliceIndex(5);
    EXPECT_FLOAT_EQ(wheel.selectedColorHueAngleRadians(), 11 * kPi / 6);
    wheel.setNumberOfSlices(3);
    EXPECT_EQ(wheel.selectedSliceIndex(), 5u);
    EXPECT_EQ(wheel.selectedSlice(), nullptr);
    EXPECT_FLOAT_EQ(wheel.selectedColorHueAngleRadians(), 0.0f);
    Drain();
    EXPECT_FLOAT_EQ(wheel.selectedHues()[0], 0.0f);
    // Marks: only 0 to 2, and only those that exist.
    wheel.setCenterAngleRadians(1.5f, 3);
    wheel.setCenterAngleRadians(1.5f, 2);
    EXPECT_EQ(wheel.selectedHues(), (std::vector<float>{0.0f, -wheel.hueSliceWidthRadians(), 1.5f}));
}

// Each hue mark is a whole round dot about its centre, a third of the way out.
TEST_F(ColorWheel, HueMarksAreRoundDots) {
    UFColorWheelController wheel;
    wheel.setSelectedHues({0.0f, kPi / 2, -2.0f});
    const CGRect rect = CGRectMake(10, 20, 300, 300);
    const UFPath marks = wheel.bezierPathForSelectedHuesWithinRect(rect);
    double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
    for (std::size_t i = 0; i < wheel.selectedHues().size(); ++i) {
        const float angle = wheel.selectedHues()[i];
        const CGPoint centre = UFColorWheelHueSlice::translateUnitPoint(
            CGPointMake(0.333 * std::sin(angle), 0.333 * std::cos(angle)), rect);
        const double radius = i == 0 ? 6.6666 : 3.3333;
        minX = std::min(minX, centre.x - radius);
        minY = std::min(minY, centre.y - radius);
        maxX = std::max(maxX, centre.x + radius);
        maxY = std::max(maxY, centre.y + radius);
        for (int step = 0; step < 16; ++step) {
            const double a = step * M_PI / 8 + 0.05;
            const CGPoint inside = CGPointMake(centre.x + 0.9 * radius * std::cos(a), centre.y + 0.9 * radius * std::sin(a));
            const CGPoint outside = CGPointMake(centre.x + 1.2 * radius * std::cos(a), centre.y + 1.2 * radius * std::sin(a));
            EXPECT_TRUE(CGPathContainsPoint(marks.get(), nullptr, inside, false)) << i << " " << step;
            EXPECT_FALSE(CGPathContainsPoint(marks.get(), nullptr, outside, false)) << i << " " << step;
        }
    }
    const CGRect box = CGPathGetBoundingBox(marks.get());
    EXPECT_NEAR(box.origin.x, minX, 0.01);
    EXPECT_NEAR(box.origin.y, minY, 0.01);
    EXPECT_NEAR(box.origin.x + box.size.width, maxX, 0.01);
    EXPECT_NEAR(box.origin.y + box.size.height, maxY, 0.01);
}

TEST_F(ColorWheel, SliceOutlinesAreStraightWedgesEnlargedWhenSelected) {
    UFColorWheelController wheel;
    const CGRect rect = CGRectMake(0, 0, 200, 200);
    const UFColorWheelHueSlice &slice = wheel.hueSlices()[1];
    const UFPath plain = slice.bezierPathWithinRect(rect, false);
    const UFPath selected = slice.bezierPathWithinRect(rect, true);
    // The rim point at the slice's middle angle lies inside neither edge of a hexagon.
    const auto at = [](double r, double a) { return CGPointMake(100 + r * std::sin(a), 100 + r * std::cos(a)); };
    EXPECT_TRUE(CGPathContainsPoint(plain.get(), nullptr, at(80, kPi / 2), false));
    EXPECT_FALSE(CGPathContainsPoint(plain.get(), nullptr, at(99, kPi / 2), false));  // the flat edge is at 86.6
    EXPECT_TRUE(CGPathContainsPoint(selected.get(), nullptr, at(89, kPi / 2), false));
    EXPECT_FALSE(CGPathContainsPoint(plain.get(), nullptr, at(50, 0.1), false));
}

QImage PreviewOf(UFColorWheelController &wheel) {
    NSUIColorWheelViewNibbler nibbler;
    nibbler.setNibblerController(&wheel);
    const std::shared_ptr<NSImage> image = nibbler.colorWheelPreviewImage();
    nibbler.setNibblerController(nullptr);
    if (image == nullptr || image->representations().empty()) return QImage();
    return image->representations().front()->toQImage().convertToFormat(QImage::Format_ARGB32);
}

TEST_F(ColorWheel, ThePreviewDrawsTheSlicesWithoutChrome) {
    UFColorWheelController wheel;
    wheel.setSelectedSliceIndex(0);
    Drain();
    const QImage colour = PreviewOf(wheel);
    ASSERT_EQ(colour.size(), QSize(128, 128));
    // Rows run from the top: slice 0 (hue 1/12, orange) just right of the top.
    const QColor topRight = colour.pixelColor(64 + 12, 64 - 30);
    EXPECT_NEAR(topRight.hsvHueF(), 1.0 / 12, 0.01);
    EXPECT_EQ(topRight.alpha(), 255);
    // No mark is drawn: the dominant mark's centre shows the slice's colour.
    EXPECT_NE(colour.pixelColor(64 + 11, 64 - 38), QColor(Qt::black));
    EXPECT_EQ(colour.pixelColor(1, 1).alpha(), 0);  // transparent outside the wheel

    // Black and white: greys whose brightness grows clockwise from the top.
    wheel.setHueCombination(UFColorWheelController::kHueCombinationBlackAndWhite);
    const QImage grey = PreviewOf(wheel);
    double last = -1;
    for (int k = 0; k < 6; ++k) {
        const double a = (k + 0.5) * kPi / 3;
        const QColor pixel = grey.pixelColor(64 + int(40 * std::sin(a)), 64 - int(40 * std::cos(a)));
        EXPECT_EQ(pixel.red(), pixel.green());
        EXPECT_EQ(pixel.green(), pixel.blue());
        EXPECT_NEAR(pixel.valueF(), (k + 0.5) / 6, 0.01) << k;
        EXPECT_GT(pixel.valueF(), last);
        last = pixel.valueF();
    }
}

// The wheel's settings and favourites are saved when the nibbler goes and restored into the
// next one.
TEST_F(ColorWheel, TheSettingsAndFavouritesPersist) {
    NSUserDefaults::standardUserDefaults().removeObject("NSUIColorWheelViewNibbler");
    NSUserDefaults::standardUserDefaults().removeObject("NSUIColorWheelViewNibbler.colorWheel");
    UPersistentObjectsController *registry = UPersistentObjectsController::sharedPersistentObjectsController();
    registry->setWasLaunched(true);
    {
        // The favourites' list and table come from the host's nib.
        NSUITableViewArrayController presets;
        NSUIKeyPathsPresetsController favorites;
        favorites.setOutletArrayController(&presets);
        NSUIColorWheelViewNibbler nibbler;
        nibbler.setFavorites(&favorites);
        nibbler.awakeFromNib();
        ASSERT_NE(nibbler.colorWheel(), nullptr);
        ASSERT_NE(qobject_cast<NSUIColorWheelView *>(nibbler.nibblerView()), nullptr);
        Drain();
        UFColorWheelController *wheel = nibbler.colorWheel();
        wheel->setHueCombination(UFColorWheelController::kHueCombinationTriadic);
        wheel->setNumberOfSlices(8);
        wheel->setSelectedSliceIndex(3);
        wheel->setColorSchemeContrastNormalValue(0.25f);
        wheel->setColorSchemeGreyLevelNormalValue(0.75f);
        Drain();
        nibbler.favorites()->actionAddKeyPathPreset();
        ASSERT_EQ(nibbler.favorites()->keyPathPresetsArray().size(), 1);
        EXPECT_EQ(NSUIKeyPathPreset::presetOfRow(nibbler.favorites()->keyPathPresetsArray().front())->presetName(),
                  "Triadic");
    }
    // The wheel's record and the favourites' list are kept apart.
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults().dataForKey("NSUIColorWheelViewNibbler.colorWheel").isEmpty());
    EXPECT_FALSE(NSUserDefaults::standardUserDefaults().dataForKey("NSUIColorWheelViewNibbler").isEmpty());
    const QColor savedDominant = UFColorSchemeController::sharedColorSchemeController()->dominantColor();
    UFColorSchemeController::sharedColorSchemeController()->setDominantColor(Qt::white);

    NSUITableViewArrayController presets;
    NSUIKeyPathsPresetsController favorites;
    favorites.setOutletArrayController(&presets);
    NSUIColorWheelViewNibbler restored;
    restored.setFavorites(&favorites);
    restored.awakeFromNib();
    Drain();
    UFColorWheelController *wheel = restored.colorWheel();
    EXPECT_EQ(wheel->hueCombination(), 1u);
    EXPECT_EQ(wheel->numberOfSlices(), 8u);
    EXPECT_EQ(wheel->selectedSliceIndex(), 3u);
    EXPECT_FLOAT_EQ(wheel->colorSchemeContrastNormalValue(), 0.25f);
    EXPECT_FLOAT_EQ(wheel->colorSchemeGreyLevelNormalValue(), 0.75f);
    EXPECT_NEAR(UFColorSchemeController::sharedColorSchemeController()->dominantColor().hsvHueF(),
                savedDominant.hsvHueF(), 0.002);
    EXPECT_FLOAT_EQ(wheel->selectedHues()[0], 3.5f * kTurn / 8);  // recomputed after the restore
    ASSERT_EQ(restored.favorites()->keyPathPresetsArray().size(), 1);

    // Applying the favourite puts its values back and tells the nibbler's delegate.
    Delegate delegate;
    restored.setDelegate(&delegate);
    wheel->setSelectedSliceIndex(0);
    wheel->setHueCombination(0);
    NSUIKeyPathPreset::presetOfRow(restored.favorites()->keyPathPresetsArray().front())->applyPresetToSource(&restored);
    restored.favoritesDidChangeKeyPathValues(nullptr);
    Drain();
    EXPECT_EQ(wheel->hueCombination(), 1u);
    EXPECT_EQ(wheel->selectedSliceIndex(), 3u);
    EXPECT_GE(delegate.notices, 1);
    registry->setWasLaunched(false);
}

}  // namespace

#include "ColorWheelTest.moc"
