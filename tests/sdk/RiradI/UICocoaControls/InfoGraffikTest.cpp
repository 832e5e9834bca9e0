// Info-graphic buttons: the shapes and pictures drawn for a button's size, read back pixel by
// pixel from the offscreen pictures; naming a picture by title or image; the family's kinds and
// cell settings; a toggle taking its pictures from a nib's title.
#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include <unistd.h>

#include <UICocoaControls/NSUINfoGraffik.h>
#include <UICocoaControls/NSUINfoGraffikRadio.h>
#include <UICocoaControls/NSUINfoGraffikRound.h>
#include <UICocoaControls/NSUINfoGraffikRoundPushOnPushOff.h>
#include <UICocoaControls/NSUINfoGraffikRoundRect.h>
#include <UICocoaControls/NSUINfoGraffikToggle.h>

#include "sdk/RiradI/RiradITestApplication.h"
#include "support/media/TestMedia.h"

namespace {

// Opaque red for the off state, opaque green for the on state, at a chosen picture opacity.
class Colours : public QObject, public NSUIToolButtonDelegate {
public:
    std::optional<QColor> toolButtonFillColorForState(NSUIToolButton *, int state) override {
        return state == NSControlStateValueOn ? QColor(0, 255, 0) : QColor(255, 0, 0, 64);
    }
    std::optional<double> toolButtonImageOpacityForState(NSUIToolButton *, int) override { return opacity; }
    double opacity = 1.0;
};

// A picture of one colour, named (and so found by NSImage::imageNamed).
std::shared_ptr<NSImage> NamedSquare(const QString &name, int side, QColor color) {
    QImage picture(side, side, QImage::Format_RGBA8888);
    picture.fill(color);
    std::shared_ptr<NSImage> image = NSImage::imageWithQImage(picture);
    image->setName(name);
    return image;
}

QImage Pixels(const std::shared_ptr<NSImage> &image) {
    if (image == nullptr || image->representations().empty()) return {};
    return image->representations().front()->toQImage().convertToFormat(QImage::Format_RGBA8888);
}

class InfoGraffikTest : public ::testing::Test, public riradi_test::WithApplication {
protected:
    Colours colours;
};

// Pixels given y up from the picture's bottom edge, as the shapes are laid out.
struct PixelCase {
    const char *what;
    int kind;
    int width, height;
    int x, yUp;
    bool filled;
};

TEST_F(InfoGraffikTest, ShapesFollowKindSizeAndMargin) {
    const PixelCase cases[] = {
        // Kind 3, 32 x 32: a circle of 28 (margin 2) centred at (16, 16).
        {"round centre", 3, 32, 32, 16, 16, true},
        {"round left edge inside", 3, 32, 32, 3, 15, true},
        {"round margin", 3, 32, 32, 1, 15, false},
        {"round corner outside the circle", 3, 32, 32, 4, 4, false},
        // Kind 2, 100 x 40: a 36 x 36 rounded square at (31, 1): the centred square moved by -1.
        {"rounded square left column", 2, 100, 40, 31, 20, true},
        {"left of the rounded square", 2, 100, 40, 30, 20, false},
        {"rounded square right column", 2, 100, 40, 66, 20, true},
        {"right of the rounded square", 2, 100, 40, 67, 20, false},
        {"rounded square bottom row", 2, 100, 40, 49, 1, true},
        {"below the rounded square", 2, 100, 40, 49, 0, false},
        {"rounded square top row", 2, 100, 40, 49, 36, true},
        {"above the rounded square", 2, 100, 40, 49, 37, false},
        // Corner radius 8 up to 64 points: 3.5 points in from the corner is inside ...
        {"radius 8 corner", 2, 40, 40, 4, 4, true},
        // ... and 12 above: 2.5 points in is outside.
        {"radius 12 corner", 2, 80, 80, 3, 3, false},
        {"radius 12 side", 2, 80, 80, 4, 40, true},
        // Kind 0 keeps no margin; the same size of kind 2 does.
        {"kind 0 edge", 0, 20, 20, 0, 10, true},
        {"kind 2 edge", 2, 20, 20, 0, 10, false},
        // Kind 1: a circle too.
        {"kind 1 corner", 1, 32, 32, 4, 4, false},
        {"kind 1 centre", 1, 32, 32, 16, 16, true},
    };
    NSUIToolButton button;
    for (const PixelCase &c : cases) {
        SCOPED_TRACE(c.what);
        const auto image = NSUINfoGraffikImage::buttonImageForSizeState(&button, "NoSuchPicture",
                                                                        NSMakeSize(c.width, c.height), 0, c.kind);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->size().width, c.width);
        const QImage pixels = Pixels(image);
        ASSERT_EQ(pixels.size(), QSize(c.width, c.height));
        const QColor pixel = pixels.pixelColor(c.x, c.height - 1 - c.yUp);
        if (c.filled) {
            // The off fill (light grey 0.75) drawn opaque, whatever its own alpha.
            EXPECT_EQ(pixel.alpha(), 255);
            EXPECT_NEAR(pixel.red(), 191, 1);
        } else {
            EXPECT_EQ(pixel.alpha(), 0);
        }
    }
}

TEST_F(InfoGraffikTest, PictureAreaOfRoundKinds) {
    // A 32 x 32 round button: the circle spans x 2 to 30 at mid height. The picture's square is
    // 25.2 points for kind 3 (origin 3.4) and 22.4 for kind 1 (origin 4.8); a named picture is
    // placed at that origin at its own size.
    const auto blue = NamedSquare("InfoTestBlue", 30, QColor(0, 0, 255));
    NSUIToolButton button;
    auto blueAt = [&](int kind, int x) {
        const QImage pixels = Pixels(NSUINfoGraffikImage::buttonImageForSizeState(&button, "InfoTestBlue",
                                                                                 NSMakeSize(32, 32), 0, kind));
        const QColor pixel = pixels.pixelColor(x, 16);
        return pixel == QColor(0, 0, 255);
    };
    EXPECT_FALSE(blueAt(3, 3));
    EXPECT_TRUE(blueAt(3, 4));
    EXPECT_FALSE(blueAt(1, 4));
    EXPECT_TRUE(blueAt(1, 5));
    blue->setName(QString());
}

TEST_F(InfoGraffikTest, NamedPictureShowsOnlyOverTheShapeAtTheOpacity) {
    const auto square = NamedSquare("InfoTestRed", 16, QColor(255, 0, 0));
    NSUIToolButton button;
    button.setDelegate(&colours);
    // Kind 2, 32 x 32: the rounded square at (1, 1) with radius 8; the picture at (2, 2).
    for (double opacity : {1.0, 0.5}) {
        colours.opacity = opacity;
        const QImage pixels = Pixels(NSUINfoGraffikImage::buttonImageForSizeState(&button, "InfoTestRed",
                                                                                  NSMakeSize(32, 32), 1, 2));
        const QColor inside = pixels.pixelColor(10, 31 - 10);
        EXPECT_EQ(inside.red(), 255) << opacity;
        EXPECT_EQ(inside.green(), 0) << opacity;
        EXPECT_NEAR(inside.alphaF(), opacity, 0.01);
        // The picture's corner lies outside the rounded corner: nothing shows there.
        EXPECT_EQ(pixels.pixelColor(2, 31 - 2).alpha(), 0) << opacity;
        // Beyond the picture, the on fill.
        EXPECT_EQ(pixels.pixelColor(25, 31 - 25), QColor(0, 255, 0)) << opacity;
    }
    square->setName(QString());
}

TEST_F(InfoGraffikTest, PdfResourceWinsOverAnImageOfTheSameName) {
    // The test program is a bare tool: its folder holds its resources.
    char program[4096];
    const ssize_t length = ::readlink("/proc/self/exe", program, sizeof(program) - 1);
    ASSERT_GT(length, 0);
    std::string folder(program, size_t(length));
    folder.erase(folder.rfind('/'));
    const QString name = QString("InfoTestPdf%1").arg(::getpid());
    const std::string file = folder + "/" + name.toStdString() + ".pdf";
    ASSERT_TRUE(lumora::test::WriteBlackPagePDF(file, 10, 10));
    const auto image = NamedSquare(name, 30, QColor(255, 0, 0));

    NSUIToolButton button;
    const QImage pixels =
        Pixels(NSUINfoGraffikImage::buttonImageForSizeState(&button, name, NSMakeSize(32, 32), 0, 2));
    ::unlink(file.c_str());
    image->setName(QString());
    EXPECT_EQ(pixels.pixelColor(16, 16), QColor(0, 0, 0));
}

TEST_F(InfoGraffikTest, NoPictureForAnEmptySize) {
    NSUIToolButton button;
    EXPECT_EQ(NSUINfoGraffikImage::buttonImageForSizeState(&button, "x", NSMakeSize(0, 20), 0, 2), nullptr);
    EXPECT_EQ(NSUINfoGraffikImage::buttonImageForSizeState(&button, "x", NSMakeSize(-5, 20), 0, 2), nullptr);
    EXPECT_EQ(NSUINfoGraffikImage::buttonImageForSizeState(&button, "x", NSMakeSize(NAN, 20), 0, 2), nullptr);
    // Nothing is drawn without a current context (no crash).
    NSUINfoGraffikImage::drawButton(&button, "x", CGRectMake(0, 0, 10, 10), 0, 2, 2);
    NSUINfoGraffikImage::drawButton(nullptr, "x", CGRectMake(0, 0, 10, 10), 0, 2, 2);
}

TEST_F(InfoGraffikTest, ColourQueries) {
    NSUIToolButton button;
    const color_4D on = NSUINfoGraffikImage::fillColorForState(&button, 1);
    const color_4D off = NSUINfoGraffikImage::fillColorForState(&button, 0);
    const color_4D stroke = NSUINfoGraffikImage::strokeColorForState(&button, 0);
    EXPECT_FLOAT_EQ(on.red, 0.1f);
    EXPECT_FLOAT_EQ(on.alpha, 1.0f);
    EXPECT_FLOAT_EQ(off.alpha, 0.5f);
    EXPECT_FLOAT_EQ(stroke.alpha, 0.8f);
    EXPECT_FLOAT_EQ(NSUINfoGraffikImage::highlightColor(&button).alpha, 0.8f);
}

TEST_F(InfoGraffikTest, TitleNamesThePicturesOnceIgnoringCase) {
    NSUINfoGraffikRoundRect button;
    button.resize(40, 30);
    button.setDelegate(&colours);
    EXPECT_EQ(button.image(), nullptr);
    button.setTitle("Play");
    EXPECT_EQ(button.buttonName(), "Play");
    EXPECT_TRUE(button.isButtonNamed("PLAY"));
    EXPECT_EQ(button.cell()->title(), QString());  // the title is never shown
    const std::shared_ptr<NSImage> off = button.image();
    const std::shared_ptr<NSImage> on = button.alternateImage();
    ASSERT_NE(off, nullptr);
    ASSERT_NE(on, nullptr);
    EXPECT_EQ(off->size().width, 40);
    // Off from the off fill, on from the on fill (centre of the 26-point square).
    EXPECT_EQ(Pixels(off).pixelColor(20, 15), QColor(255, 0, 0));
    EXPECT_EQ(Pixels(on).pixelColor(20, 15), QColor(0, 255, 0));

    // The same name in another case, and a resize: nothing is remade.
    button.setTitle("play");
    button.resize(60, 30);
    EXPECT_EQ(button.image(), off);
    EXPECT_EQ(button.buttonName(), "Play");

    // A new name: remade for the size of that moment.
    button.setTitle("Stop");
    ASSERT_NE(button.image(), off);
    EXPECT_EQ(button.image()->size().width, 60);

    // An image names the picture by its name; a nil name keeps the pictures.
    const auto named = NamedSquare("InfoTestNamed", 2, Qt::white);
    button.setImage(named);
    EXPECT_EQ(button.buttonName(), "InfoTestNamed");
    const std::shared_ptr<NSImage> kept = button.image();
    button.setImage(nullptr);
    EXPECT_EQ(button.buttonName(), QString());
    EXPECT_FALSE(button.isButtonNamed(QString()));
    EXPECT_EQ(button.image(), kept);
    named->setName(QString());
}

TEST_F(InfoGraffikTest, FamilyKindsAndCellSettings) {
    struct Case {
        const char *what;
        std::unique_ptr<NSUIToolButton> button;
        int kind;
        int buttonType;
    };
    Case cases[] = {
        {"base", std::make_unique<NSUINfoGraffik>(), 0, NSMomentaryPushInButton},
        {"round", std::make_unique<NSUINfoGraffikRound>(), 3, NSMomentaryPushInButton},
        {"round rect", std::make_unique<NSUINfoGraffikRoundRect>(), 2, NSMomentaryPushInButton},
        {"toggle", std::make_unique<NSUINfoGraffikToggle>(), 0, NSMomentaryPushInButton},
        {"radio", std::make_unique<NSUINfoGraffikRadio>(), 1, NSMomentaryPushInButton},
        {"push on push off", std::make_unique<NSUINfoGraffikRoundPushOnPushOff>(), 4, NSPushOnPushOffButton},
    };
    for (Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.button->buttonKind(), c.kind);
        EXPECT_EQ(c.button->cell()->cellAttribute(NSCellLightsByContents), 1);
        EXPECT_EQ(c.button->cell()->buttonType(), c.buttonType);
        EXPECT_FALSE(c.button->cell()->isBordered());
        EXPECT_EQ(c.button->cell()->imagePosition(), NSImageOnly);
    }
    NSUINfoGraffik base;
    base.setButtonKind(5);
    EXPECT_EQ(base.buttonKind(), 5);
    EXPECT_EQ(base.focusRingType(), NSFocusRingTypeNone);
    // The push-on/push-off button keeps its state between clicks.
    auto &push = *cases[5].button;
    push.click();
    EXPECT_EQ(push.state(), NSControlStateValueOn);
    push.click();
    EXPECT_EQ(push.state(), NSControlStateValueOff);
}

TEST_F(InfoGraffikTest, ToggleTakesItsPicturesFromTheNibTitle) {
    // As the nib loader does: construction, the nib's size and title, then awakeFromNib.
    NSUINfoGraffikRadio radio;
    radio.resize(24, 24);
    radio.NSButton::setTitle("Dot");
    radio.setDelegate(&colours);
    radio.awakeFromNib();
    ASSERT_NE(radio.image(), nullptr);
    ASSERT_NE(radio.alternateImage(), nullptr);
    EXPECT_EQ(radio.title(), QString());
    // A circle (kind 1): the corner stays clear, the centre has the on fill.
    EXPECT_EQ(Pixels(radio.alternateImage()).pixelColor(12, 12), QColor(0, 255, 0));
    EXPECT_EQ(Pixels(radio.alternateImage()).pixelColor(3, 3).alpha(), 0);
    // Awakened again without a title: the pictures stay.
    const std::shared_ptr<NSImage> off = radio.image();
    radio.awakeFromNib();
    EXPECT_EQ(radio.image(), off);
}

TEST_F(InfoGraffikTest, AwakeFromNibRemakesWithTheDelegateColours) {
    NSUINfoGraffikRound button;
    button.resize(32, 32);
    button.setTitle("Any");
    const std::shared_ptr<NSImage> before = button.image();
    ASSERT_NE(before, nullptr);
    button.awakeFromNib();  // no delegate: nothing remade
    EXPECT_EQ(button.image(), before);
    button.setDelegate(&colours);
    button.awakeFromNib();
    ASSERT_NE(button.image(), before);
    EXPECT_EQ(Pixels(button.image()).pixelColor(16, 16), QColor(255, 0, 0));
}

}  // namespace
