// The drawn button faces: their geometry, the look each class gives each state (as tables),
// and faces drawn with Core Graphics checked by pixels.
#include <CocoaQZ/CIControls/NUCIButtonImage.h>
#include <CocoaQZ/CIControls/NUCIControlImage.h>

#include <AppKit/NSImage.h>

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <memory>
#include <string>
#include <vector>

#include "sdk/RiradI/RiradITestApplication.h"

namespace {

void ExpectRect(CGRect r, double x, double y, double w, double h, double tolerance = 1e-3) {
    EXPECT_NEAR(r.origin.x, x, tolerance);
    EXPECT_NEAR(r.origin.y, y, tolerance);
    EXPECT_NEAR(r.size.width, w, tolerance);
    EXPECT_NEAR(r.size.height, h, tolerance);
}

// The face's pixel at (x, y) counted from the bottom-left corner, straight (not premultiplied).
QColor FacePixel(const NSImage &face, int x, int y) {
    const QImage picture = face.representations().front()->toQImage().convertToFormat(QImage::Format_ARGB32);
    return picture.pixelColor(x, picture.height() - 1 - y);
}

TEST(ButtonFaceGeometry, HundredByFortyFace) {
    const CGFloat margin = 3.0;
    const CGRect opaque = NUCIButtonImage::opaqueBoundsWithinButtonRect(CGRectMake(0, 0, 100, 40), margin);
    ExpectRect(opaque, 3, 3, 94, 34);
    const CGRect withMargin = NUCIButtonImage::rectWithMargin(opaque, margin);
    ExpectRect(withMargin, 4.5, 4.5, 91, 31);
    const CGRect shape = NUCIButtonImage::centredSquare(withMargin, 0.98);
    ExpectRect(shape, 34.81, 4.81, 30.38, 30.38);
    NUCIButtonImage face;
    ExpectRect(face.imageRectWithinBackgroundShapeRect(shape), 34.81 + (30.38 - 27.342) / 2,
               4.81 + (30.38 - 27.342) / 2, 27.342, 27.342);
}

TEST(ButtonFaceGeometry, CornerRadiusFollowsTheShapeSquare) {
    struct Case {
        double faceSide, shapeSide, radius;
    } cases[] = {{74, 63.7, 8}, {75, 64.68, 12}, {40, 30.38, 8}, {128, 116.62, 12}};
    for (const Case &c : cases) {
        const CGRect opaque = NUCIButtonImage::opaqueBoundsWithinButtonRect(CGRectMake(0, 0, c.faceSide, c.faceSide), 3);
        const CGRect shape = NUCIButtonImage::centredSquare(NUCIButtonImage::rectWithMargin(opaque, 3), 0.98);
        EXPECT_NEAR(shape.size.width, c.shapeSide, 1e-3) << c.faceSide;
        EXPECT_EQ(NUCIRoundRectButtonImage::roundRectCornerRadiusForButtonSizePixels(shape.size), c.radius)
            << c.faceSide;
    }
}

struct LookRow {
    const char *name;
    NUCIButtonImageClass cls;
    double grey;               // backgroundGreyChannelValue
    double squishiness;        // recommendedSquishiness
    bool onUsesTint;           // state 1 fill is the control tint (else the off fill)
    double opacityOn;          // image opacity in state 1 (state 0 is 0.77 for all)
    bool glowWhenOn;           // a "CIBloom" filter in state 1
};

TEST(ButtonFaceLook, PerClassAndStateTable) {
    riradi_test::Application();
    const NUCIRGBA tint = NUCIControlTintColor();
    const LookRow rows[] = {
        {"flat", &NUCIButtonImageClassOf<NUCIButtonImage>, 0.8, 1.0, true, 0.66, false},
        {"round", &NUCIButtonImageClassOf<NUCIRoundButtonImage>, 0.8, 1.0, true, 0.66, false},
        {"round rect", &NUCIButtonImageClassOf<NUCIRoundRectButtonImage>, 0.8, 1.0, true, 0.66, false},
        {"round gradient", &NUCIButtonImageClassOf<NUCIRoundGradientButtonImage>, 0.4, 0.75, true, 0.66, false},
        {"round rect gradient", &NUCIButtonImageClassOf<NUCIRoundRectGradientButtonImage>, 0.35, 0.75, true, 0.66,
         false},
        {"70s square", &NUCIButtonImageClassOf<NU70sHardwareButtonImage>, 0.35, 0.75, false, 0.77, true},
        {"70s square LED", &NUCIButtonImageClassOf<NU70sHardwareButtonImageWithGreenLED>, 0.35, 0.75, false, 0.77,
         true},
        {"70s round", &NUCIButtonImageClassOf<NU70sHardwareRoundButtonImage>, 0.4, 0.75, false, 0.77, false},
        {"70s record", &NUCIButtonImageClassOf<NU70sHardwareRecordButtonImage>, 0.4, 0.75, false, 0.77, false},
        {"70s record square", &NUCIButtonImageClassOf<NU70sHardwareRecordButtonImageWithSquareLED>, 0.4, 0.75, false,
         0.77, false},
    };
    for (const LookRow &row : rows) {
        SCOPED_TRACE(row.name);
        const auto face = row.cls();
        const double g = row.grey;
        EXPECT_DOUBLE_EQ(face->backgroundGreyChannelValue(), g);
        EXPECT_DOUBLE_EQ(face->recommendedSquishiness(), row.squishiness);
        EXPECT_EQ(face->backgroundFillColorForState(0), (NUCIRGBA{g, g, g, 0.9}));
        EXPECT_EQ(face->backgroundFillColorForState(1),
                  row.onUsesTint ? (NUCIRGBA{tint.red, tint.green, tint.blue, 1.0}) : (NUCIRGBA{g, g, g, 0.9}));
        EXPECT_EQ(face->backgroundEraseColor(), (NUCIRGBA{g, g, g, 1.0}));
        for (int state : {0, 1, 2}) {
            EXPECT_EQ(face->backgroundStrokeColorForState(state), (NUCIRGBA{0.1, 0.1, 0.1, 0.9}));
            EXPECT_DOUBLE_EQ(face->backgroundStrokeWidthForState(state), 0.125);
        }
        EXPECT_DOUBLE_EQ(face->backgroundImageOpacityForState(0), 0.77);
        EXPECT_DOUBLE_EQ(face->backgroundImageOpacityForState(1), row.opacityOn);
        EXPECT_DOUBLE_EQ(face->transparentMarginWidthPixels(), 3.0);
        EXPECT_EQ(face->filterWithDefaultsForState(0), nullptr);
        const CIFilterRef on = face->filterWithDefaultsForState(1);
        if (row.glowWhenOn) {
            ASSERT_NE(on, nullptr);
            EXPECT_EQ(on->name(), "CIBloom");
            EXPECT_DOUBLE_EQ(on->numberForKey("inputRadius"), 1.1);
            EXPECT_DOUBLE_EQ(on->numberForKey("inputIntensity"), 0.9);
        } else {
            EXPECT_EQ(on, nullptr);
        }
        EXPECT_EQ(face->defaultGradientRangeForState(0), (std::pair<CGFloat, CGFloat>{0.28, 0.52}));
        EXPECT_EQ(face->defaultGradientRangeForState(1), (std::pair<CGFloat, CGFloat>{0.35, 0.65}));
        EXPECT_EQ(face->defaultGradientRangeForState(2), (std::pair<CGFloat, CGFloat>{0.35, 0.65}));
    }
    EXPECT_EQ(NUCIButtonImage::glowingButtonsFilterWithDefaultsForState(0), nullptr);
    EXPECT_EQ(NUCIButtonImage::glowingButtonsFilterWithDefaultsForState(2), nullptr);
}

TEST(ButtonFaceLook, LightsTable) {
    const CGRect square = CGRectMake(10, 20, 50, 50);
    struct Row {
        const char *name;
        NUCIButtonImageClass cls;
        NUCIRGBA on;
        CGRect light;
    } rows[] = {
        {"default", &NUCIButtonImageClassOf<NUCIButtonImage>, {0.1, 0.85, 0.1, 1.0}, CGRectMake(31, 41, 8, 8)},
        {"green LED", &NUCIButtonImageClassOf<NU70sHardwareButtonImageWithGreenLED>, {0.1, 0.85, 0.1, 1.0},
         CGRectMake(10 + 50 - 10, 20 + 50 - 10, 8, 8)},
        {"record", &NUCIButtonImageClassOf<NU70sHardwareRecordButtonImage>, {0.85, 0.1, 0.1, 1.0},
         CGRectMake(25, 35, 20, 20)},
        {"record square", &NUCIButtonImageClassOf<NU70sHardwareRecordButtonImageWithSquareLED>,
         {0.85, 0.1, 0.1, 1.0}, CGRectMake(25, 35, 20, 20)},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const auto face = row.cls();
        EXPECT_EQ(face->lightEmittingDiodeColorForState(1), row.on);
        EXPECT_EQ(face->lightEmittingDiodeColorForState(0), (NUCIRGBA{0.3, 0.3, 0.3, 0.5}));
        ExpectRect(face->lightEmittingDiodePositionForRect(square), row.light.origin.x, row.light.origin.y,
                   row.light.size.width, row.light.size.height);
    }
}

TEST(ButtonFaceDrawing, FlatFaceFillsItsSquareAndShowsItsSymbolThroughIt) {
    riradi_test::Application();
    // A red 10 x 10 picture as the symbol.
    QImage red(10, 10, QImage::Format_ARGB32);
    red.fill(QColor(255, 0, 0));
    ASSERT_TRUE(NSImage::setName(QStringLiteral("FaceTestSymbol"), NSImage::imageWithQImage(red)));

    const auto face = NUCIButtonImage::imageNamed(&NUCIButtonImageClassOf<NUCIButtonImage>,
                                                  QStringLiteral("FaceTestSymbol"), NSMakeSize(100, 40), 0);
    ASSERT_NE(face, nullptr);
    ASSERT_EQ(face->representations().size(), 1u);
    EXPECT_EQ(face->size().width, 100);
    // Outside the shape square: clear.
    EXPECT_EQ(FacePixel(*face, 10, 20).alpha(), 0);
    EXPECT_EQ(FacePixel(*face, 90, 20).alpha(), 0);
    // In the square, away from the symbol: grey 0.8 at alpha 0.9.
    const QColor fill = FacePixel(*face, 62, 30);
    EXPECT_NEAR(fill.alpha(), 230, 2);
    EXPECT_NEAR(fill.red(), 204, 3);
    EXPECT_EQ(fill.red(), fill.blue());
    // The symbol starts at the symbol square's origin (36.3, 6.3), unscaled: red shows there.
    const QColor symbol = FacePixel(*face, 41, 11);
    EXPECT_GT(symbol.red(), 200);
    EXPECT_LT(symbol.green(), 80);
    // ... and stops after its 10 pixels.
    EXPECT_EQ(FacePixel(*face, 52, 11).red(), FacePixel(*face, 52, 11).green());
    NSImage::setName(QStringLiteral("FaceTestSymbol"), nullptr);
}

TEST(ButtonFaceDrawing, OnFaceTakesTheTintAndAMissingSymbolIsLeftOut) {
    riradi_test::Application();
    const NUCIRGBA tint = NUCIControlTintColor();
    const auto face = NUCIButtonImage::imageNamed(&NUCIButtonImageClassOf<NUCIRoundButtonImage>,
                                                  QStringLiteral("no such symbol"), NSMakeSize(64, 64), 1);
    ASSERT_NE(face, nullptr);
    const QColor centre = FacePixel(*face, 32, 32);
    EXPECT_EQ(centre.alpha(), 255);
    EXPECT_NEAR(centre.redF(), tint.red, 0.02);
    EXPECT_NEAR(centre.greenF(), tint.green, 0.02);
    EXPECT_NEAR(centre.blueF(), tint.blue, 0.02);
    EXPECT_EQ(FacePixel(*face, 5, 5).alpha(), 0);  // a round face's corner is clear
}

TEST(ButtonFaceDrawing, GradientFacesDarkenTowardsTheBottom) {
    riradi_test::Application();
    for (NUCIButtonImageClass cls : {&NUCIButtonImageClassOf<NUCIRoundGradientButtonImage>,
                                     &NUCIButtonImageClassOf<NUCIRoundRectGradientButtonImage>,
                                     &NUCIButtonImageClassOf<NU70sHardwareButtonImage>}) {
        const auto face = NUCIButtonImage::imageNamed(cls, QString(), NSMakeSize(64, 64), 0);
        ASSERT_NE(face, nullptr);
        const QColor low = FacePixel(*face, 32, 12), high = FacePixel(*face, 32, 52);
        EXPECT_EQ(low.alpha(), 255);
        EXPECT_EQ(high.alpha(), 255);
        // The off range runs from grey 0.28 at the bottom to 0.52 at the top.
        EXPECT_GT(high.red() - low.red(), 30);
        EXPECT_NEAR(FacePixel(*face, 32, 32).redF(), 0.40, 0.05);
    }
    // The 70s face is the same off face in state 1: the glow filter, not the drawing, lights it.
    const auto on = NUCIButtonImage::imageNamed(&NUCIButtonImageClassOf<NU70sHardwareButtonImage>, QString(),
                                                NSMakeSize(64, 64), 1);
    EXPECT_LT(FacePixel(*on, 32, 12).red(), FacePixel(*on, 32, 52).red());
}

TEST(ButtonFaceDrawing, LightsShowTheirState) {
    riradi_test::Application();
    const NSSize size = NSMakeSize(64, 64);
    // Shape square: 0.98 x 55 = 53.9 at (5.05, 5.05); the light 0.16 x 53.9 = 8.6 at its top right.
    const double side = 0.16 * 53.9, x = 5.05 + 53.9 - 1.25 * side + side / 2, y = x;
    const auto off = NUCIButtonImage::imageNamed(&NUCIButtonImageClassOf<NU70sHardwareButtonImageWithGreenLED>,
                                                 QString(), size, 0);
    const auto on = NUCIButtonImage::imageNamed(&NUCIButtonImageClassOf<NU70sHardwareButtonImageWithGreenLED>,
                                                QString(), size, 1);
    const QColor lit = FacePixel(*on, int(x), int(y)), dark = FacePixel(*off, int(x), int(y));
    EXPECT_GT(lit.green(), 180);
    EXPECT_LT(lit.red(), 80);
    EXPECT_LT(dark.green(), 150);
    // The record light: red in the middle when on.
    const auto record = NUCIButtonImage::imageNamed(&NUCIButtonImageClassOf<NU70sHardwareRecordButtonImage>,
                                                    QString(), size, 1);
    const QColor middle = FacePixel(*record, 32, 32);
    EXPECT_GT(middle.red(), 180);
    EXPECT_LT(middle.green(), 80);
}

TEST(ButtonFaceDrawing, FacesThatCannotBeMade) {
    EXPECT_EQ(NUCIButtonImage::imageNamed(&NUCIButtonImageClassOf<NUCIButtonImage>, "x", NSMakeSize(0, 10), 0),
              nullptr);
    EXPECT_EQ(NUCIButtonImage::imageNamed(&NUCIButtonImageClassOf<NUCIButtonImage>, "x", NSMakeSize(1e9, 10), 0),
              nullptr);
    EXPECT_EQ(NUCIButtonImage::imageNamed(nullptr, "x", NSMakeSize(10, 10), 0), nullptr);
}

// A control image that records what it was asked to draw.
struct RecordingControlImage : NUCIControlImage {
    void drawInRect(CGRect rect, int state) override {
        drawnRect = rect;
        drawnState = state;
    }
    CGRect drawnRect = CGRectNull;
    int drawnState = -1;
};

TEST(ControlImage, DrawnOnceWithTheWholeRectangle) {
    const auto image = NUCIControlImage::imageWithSize<RecordingControlImage>(NSMakeSize(24, 12), 1);
    ASSERT_NE(image, nullptr);
    ExpectRect(image->drawnRect, 0, 0, 24, 12);
    EXPECT_EQ(image->drawnState, 1);
    EXPECT_EQ(image->representations().size(), 1u);
    CGImageRef mask = image->createMaskImageFromMaskContext();
    ASSERT_NE(mask, nullptr);
    EXPECT_EQ(CGImageGetWidth(mask), 24u);
    CGImageRelease(mask);
    EXPECT_EQ(NUCIControlImage::imageWithSize<RecordingControlImage>(NSMakeSize(0, 0), 1), nullptr);
}

}  // namespace
