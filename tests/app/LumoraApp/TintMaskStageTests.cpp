// The tint, mask and stencil stage: its decision tree over the five switches with recording
// filters, the same stage through the real filters checked pixel by pixel, the tint images of
// its controller, and the offscreen renderer that sizes the image well's picture.
#include <LumoraApp/QTZInputController.h>
#include <LumoraApp/TheOffscreenRenderer.h>
#include <LumoraApp/ZodAzerController.h>
#include <LumoraApp/ZodAzerMaskImages.h>
#include <LumoraApp/ZodAzerMaskViewNibbler.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskController.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskImageView.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskImageViewController.h>

#include <AppKit/NSButton.h>
#include <AppKit/NSImage.h>
#include <AppKit/NSImageView.h>
#include <AppKit/NSSegmentedControl.h>
#include <CocoaQZ/CIControls/CIImageMouseDragView.h>
#include <CocoaQZ/QuartzCore/QTZImageFilterUnit.h>
#include <CocoaQZ/QuartzCore/QTZImageGradientUnit.h>
#include <CoreImage/CIContext.h>
#include <CoreImage/CIFilter.h>
#include <CoreX/CoreMachDebugLog.h>
#include <QuartzComposer/QCComposition.h>
#include <UICocoaColor/NSColorWellWithAlpha.h>
#include <UICocoaColor/UFColorSchemeController.h>
#include <UICocoaControls/NSSlider.h>
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <array>
#include <functional>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FrameTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace {

using Pixel = std::array<int, 4>;  // R, G, B, A premultiplied bytes

bool Near(const Pixel &a, const Pixel &b, int tolerance) {
    for (size_t i = 0; i < 4; ++i)
        if (std::abs(a[i] - b[i]) > tolerance) return false;
    return true;
}

std::string Describe(const Pixel &p) {
    return std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + " " + std::to_string(p[3]);
}

// The pixel (x, y), y down from the top of the rectangle (0, 0, width, height) of the image.
struct Rendered {
    int width = 0, height = 0;
    std::vector<uint8_t> bytes;
    Rendered(const CIImageRef &image, int w, int h) : width(w), height(h), bytes(size_t(w) * h * 4) {
        static CIContextRef context = CIContext::offscreenContext();
        EXPECT_TRUE(image != nullptr && context->render(image, bytes.data(), size_t(w) * 4, CGRectMake(0, 0, w, h),
                                                        kCIFormatRGBA8));
    }
    Pixel at(int x, int y) const {
        const uint8_t *p = &bytes[(size_t(y) * width + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
};

CIImageRef Solid(double r, double g, double b, double a = 1, double size = 8) {
    return CIImage::imageWithColor(CIColor::colorWithRed(r, g, b, a))->imageByCroppingToRect(CGRectMake(0, 0, size, size));
}

// A grey mask picture of width x height: the top `topRows` rows `top`, the rest `bottom`.
CIImageRef GreyMask(int width, int height, int topRows, uint8_t top, uint8_t bottom) {
    std::vector<uint8_t> bytes(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bytes[size_t(y) * width + x] = y < topRows ? top : bottom;
    return ZodAzerMaskImages::imageOfGreyBytes(bytes.data(), size_t(width), size_t(height), size_t(width));
}

// ---- Recording filters -------------------------------------------------------------------------

// Who made each picture the fake filters saw, and the calls in order: "name(image,other)".
struct Journal {
    std::map<const CIImage *, std::string> producers;
    std::string calls;
    std::string nameOf(const CIImageRef &image) const {
        if (image == nullptr) return "null";
        auto found = producers.find(image.get());
        return found != producers.end() ? found->second : "?";
    }
};

class RecordingFilter : public CIFilter {
public:
    RecordingFilter(Journal &journal, std::string name, std::string otherKey)
        : mJournal(journal), mName(std::move(name)), mOtherKey(std::move(otherKey)) {}
    CIImageRef outputImage() const override {
        const bool single = mOtherKey.empty();
        mJournal.calls += (mJournal.calls.empty() ? "" : " ") + mName + "(" + mJournal.nameOf(imageForKey(kCIInputImageKey)) +
                          (single ? "" : "," + mJournal.nameOf(imageForKey(mOtherKey))) + ")";
        CIImageRef out = Solid(0.5, 0.5, 0.5);
        mJournal.producers[out.get()] = mName;
        return out;
    }
    std::vector<CIInputAttributes> customAttributes() const override { return {}; }

private:
    Journal &mJournal;
    std::string mName, mOtherKey;
};

class TintMaskStage : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ASSERT_TRUE(import_ZodAzerMaskViewNibbler());
        ASSERT_TRUE(import_TheOffscreenRenderer());
        nibbler.setNibblerController(&tint);
        nibbler.setFilterMaskControllerView(&maskView);
        nibbler.setFilterMaskEnabled(&boxes[0]);
        nibbler.setFilterAlphaEnabled(&boxes[1]);
        nibbler.setSampleMaskEnabled(&boxes[2]);
        nibbler.setSampleAlphaEnabled(&boxes[3]);
        nibbler.setChromaTintEnabled(&boxes[4]);
        tint.setTintAmountSlider(&amount);
        amount.setMinValue(0);
        amount.setMaxValue(1);
        amount.setDoubleValue(1);
    }
    // Switches as "FM FA SM SA CT" bits, 1 = on.
    void SetSwitches(const char *bits) {
        for (int i = 0; i < 5; ++i) boxes[i].setState(bits[i] == '1' ? 1 : 0);
    }
    void UseRecordingFilters() {
        nibbler.setTintImageFilter(std::make_shared<RecordingFilter>(journal, "tint", "inputMaskImage"));
        nibbler.setSampleMaskFilter(std::make_shared<RecordingFilter>(journal, "stencilAlpha", "inputMaskImage"));
        nibbler.setSampleBlendMultiply(std::make_shared<RecordingFilter>(journal, "stencilMultiply", "inputBackgroundImage"));
        nibbler.setInvertColorsFilter(std::make_shared<RecordingFilter>(journal, "invert", ""));
        nibbler.setTintMaskFilter(std::make_shared<RecordingFilter>(journal, "maskAlpha", "inputMaskImage"));
        nibbler.setTintBlendMultiply(std::make_shared<RecordingFilter>(journal, "maskMultiply", "inputBackgroundImage"));
    }

    ZodAzerMaskViewNibbler nibbler;
    ZodAzerController tint;
    FilterMaskControllerView maskView;
    NSButton boxes[5];
    NSSlider amount;
    Journal journal;
};

// ---- The decision tree -------------------------------------------------------------------------

TEST_F(TintMaskStage, TheFiveSwitchesChooseTheSteps) {
    UseRecordingFilters();
    const CIImageRef input = Solid(1, 0, 0), tintPicture = Solid(0, 1, 0), stencil = Solid(0, 0, 1),
                     mask = Solid(1, 1, 0);
    journal.producers = {{input.get(), "in"}, {tintPicture.get(), "tintImage"}, {stencil.get(), "stencil"},
                         {mask.get(), "mask"}};
    tint.setCachedGradientImage(tintPicture);  // type 0 without the segmented control
    nibbler.setStencilCIImage(stencil);
    maskView.setMaskCIImage(mask);

    struct Case {
        const char *switches;  // FM FA SM SA CT
        const char *calls;     // the filters run, with what they were given
    };
    const Case cases[] = {
        {"00000", ""},
        {"01010", ""},  // the alpha switches alone do nothing
        {"00001", "tint(in,tintImage)"},
        {"00100", "stencilMultiply(in,stencil)"},
        {"00110", "stencilAlpha(in,stencil)"},
        {"10000", "invert(mask) maskMultiply(in,invert)"},
        {"11000", "maskAlpha(in,mask)"},
        {"10101", "tint(in,tintImage) stencilMultiply(tint,stencil) invert(mask) maskMultiply(stencilMultiply,invert)"},
        {"11111", "tint(in,tintImage) stencilAlpha(tint,stencil) maskAlpha(stencilAlpha,mask)"},
        {"10110", "stencilAlpha(in,stencil) invert(mask) maskMultiply(stencilAlpha,invert)"},
    };
    for (const Case &c : cases) {
        SetSwitches(c.switches);
        journal.calls.clear();
        nibbler.setInputImage(input);
        const CIImageRef output = nibbler.outputImage();
        EXPECT_EQ(journal.calls, c.calls) << c.switches;
        const std::string expectedLast = std::string(c.calls).empty() ? "in" : [&] {
            std::string calls = c.calls;
            const std::string last = calls.substr(calls.rfind(' ') == std::string::npos ? 0 : calls.rfind(' ') + 1);
            return last.substr(0, last.find('('));
        }();
        EXPECT_EQ(journal.nameOf(output), expectedLast) << c.switches;
    }
}

TEST_F(TintMaskStage, MissingPiecesLeaveTheirStepOut) {
    UseRecordingFilters();
    const CIImageRef input = Solid(1, 0, 0);
    journal.producers = {{input.get(), "in"}};
    SetSwitches("11111");
    struct Case {
        const char *name;
        std::function<void()> arrange;
        const char *calls;
    };
    const CIImageRef picture = Solid(0, 1, 0);
    journal.producers[picture.get()] = "pic";
    const Case cases[] = {
        {"no tint filter: the tint step passes the picture",
         [&] {
             nibbler.setTintImageFilter(nullptr);
             tint.setCachedGradientImage(picture);
             nibbler.setStencilCIImage(picture);
             maskView.setMaskCIImage(picture);
         },
         "stencilAlpha(in,pic) maskAlpha(stencilAlpha,pic)"},
        {"no tint image at all (no default either): the picture is not tinted",
         [&] {
             nibbler.setTintImageFilter(std::make_shared<RecordingFilter>(journal, "tint", "inputMaskImage"));
             tint.setCachedGradientImage(nullptr);
         },
         "stencilAlpha(in,pic) maskAlpha(stencilAlpha,pic)"},
        {"a missing gradient falls back to the default tint image",
         [&] { tint.setCachedDefaultImage(picture); }, "tint(in,pic) stencilAlpha(tint,pic) maskAlpha(stencilAlpha,pic)"},
        {"no stencil yet: the stencil step passes the picture",
         [&] { nibbler.setStencilCIImage(nullptr); }, "tint(in,pic) maskAlpha(tint,pic)"},
        {"no drawn mask yet: the mask step passes the picture",
         [&] { maskView.setMaskCIImage(nullptr); }, "tint(in,pic)"},
        {"no mask filter: the mask step is off", [&] {
             maskView.setMaskCIImage(picture);
             nibbler.setTintMaskFilter(nullptr);
         },
         "tint(in,pic)"},
        {"no stencil filter yet: the stencil step passes the picture", [&] {
             nibbler.setStencilCIImage(picture);
             nibbler.setSampleMaskFilter(nullptr);
         },
         "tint(in,pic)"},
    };
    for (const Case &c : cases) {
        c.arrange();
        journal.calls.clear();
        nibbler.setInputImage(input);
        EXPECT_NE(nibbler.outputImage(), nullptr) << c.name;
        EXPECT_EQ(journal.calls, c.calls) << c.name;
    }
}

TEST_F(TintMaskStage, NoPictureGivesNoOutputAndSaysSo) {
    UseRecordingFilters();
    SetSwitches("11111");
    nibbler.setInputImage(CIImageRef());
    testing::internal::CaptureStderr();
    EXPECT_EQ(nibbler.outputImage(), nullptr);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(journal.calls.empty());
    EXPECT_NE(log.find("VERIFY"), std::string::npos) << log;
    EXPECT_NE(log.find("outputImage"), std::string::npos) << log;
    // The sampled-stencil step keeps a null picture null whatever the switches say.
    EXPECT_EQ(nibbler.imageByApplyingSampleFilterOperation(nullptr, Solid(1, 1, 1)), nullptr);
}

TEST_F(TintMaskStage, ACGImageInputIsTakenAsAPicture) {
    SetSwitches("00000");
    nibbler.makeStageFilters();
    CGImageRef bitmap = frame_test::SolidCGImage(2, 2, 200, 100, 50);
    ASSERT_NE(bitmap, nullptr);
    nibbler.setInputImage(bitmap);
    CGImageRelease(bitmap);  // the stage keeps its own picture
    const Rendered out(nibbler.outputImage(), 2, 2);
    EXPECT_TRUE(Near(out.at(1, 1), Pixel{200, 100, 50, 255}, 1)) << Describe(out.at(1, 1));
    nibbler.setInputImage(static_cast<CGImageRef>(nullptr));
    EXPECT_EQ(nibbler.inputCIImage(), nullptr);
}

// ---- Real filters, real pixels -----------------------------------------------------------------

// The luma of the picture and the chroma of the tint, as the borrow-chroma kernel mixes them.
Pixel BorrowChroma(const double picture[3], const double tintColour[3], double amount) {
    auto dot = [](const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; };
    const double y[3] = {0.257, 0.504, 0.098}, u[3] = {-0.148, -0.291, 0.439}, v[3] = {0.439, -0.368, -0.071};
    const double yuv[3] = {dot(picture, y), dot(tintColour, u), dot(tintColour, v)};
    const double r[3] = {1.1641, -0.0018, 1.5958}, g[3] = {1.1641, -0.3914, -0.8135}, b[3] = {1.1641, 2.0178, -0.0012};
    const double tinted[3] = {dot(yuv, r), dot(yuv, g), dot(yuv, b)};
    Pixel out{};
    for (int i = 0; i < 3; ++i) {
        const double mixed = picture[i] + (tinted[i] - picture[i]) * amount;
        out[size_t(i)] = int(std::lround(std::clamp(mixed, 0.0, 1.0) * 255));
    }
    out[3] = 255;
    return out;
}

TEST_F(TintMaskStage, TintMaskAndStencilColourThePixels) {
    nibbler.makeStageFilters();
    ASSERT_NE(nibbler.tintImageFilter(), nullptr);
    ASSERT_NE(nibbler.sampleMaskFilter(), nullptr);
    ASSERT_NE(nibbler.tintMaskFilter(), nullptr);
    const double picture[3] = {200 / 255.0, 100 / 255.0, 50 / 255.0}, red[3] = {1, 0, 0};
    const CIImageRef input = Solid(picture[0], picture[1], picture[2]);
    tint.setCachedGradientImage(Solid(1, 0, 0));
    // Stencil: grey 128 everywhere. Drawn mask: white over the top half, grey 64 below.
    nibbler.setStencilCIImage(GreyMask(8, 8, 0, 0, 128));
    maskView.setMaskCIImage(GreyMask(8, 8, 4, 255, 64));

    struct Probe {
        int x, y;  // y down from the top
        Pixel rgba;
    };
    struct Case {
        const char *switches;  // FM FA SM SA CT
        double amount;
        std::vector<Probe> probes;
    };
    const Pixel tintedFull = BorrowChroma(picture, red, 1.0), tintedHalf = BorrowChroma(picture, red, 0.5);
    const Case cases[] = {
        {"00000", 1, {{0, 0, {200, 100, 50, 255}}, {7, 7, {200, 100, 50, 255}}}},
        {"00001", 1, {{3, 3, tintedFull}}},
        {"00001", 0.5, {{3, 3, tintedHalf}}},  // the amount is read from the slider at each frame
        {"00100", 1, {{3, 3, {100, 50, 25, 255}}}},              // multiplied by grey 128
        {"00110", 1, {{3, 3, {100, 50, 25, 128}}}},              // grey 128 as alpha
        {"10000", 1, {{3, 1, {0, 0, 0, 255}}, {3, 6, {150, 75, 37, 255}}}},  // by the inverted mask
        {"11000", 1, {{3, 1, {0, 0, 0, 0}}, {3, 6, {150, 75, 37, 191}}}},    // the inverted mask as alpha
        // Each alpha mask takes the picture unpremultiplied: the colour keeps the tint scaled by
        // the last mask only, the alpha carries both (128 x 191 / 255).
        {"11111",
         1,
         {{3, 1, {0, 0, 0, 0}},
          {3, 6,
           {int(std::lround(tintedFull[0] * (191 / 255.0))), int(std::lround(tintedFull[1] * (191 / 255.0))),
            int(std::lround(tintedFull[2] * (191 / 255.0))), 96}}}},
    };
    for (const Case &c : cases) {
        SetSwitches(c.switches);
        amount.setDoubleValue(c.amount);
        nibbler.setInputImage(input);
        const CIImageRef output = nibbler.outputImage();
        ASSERT_NE(output, nullptr) << c.switches;
        const Rendered pixels(output, 8, 8);
        for (const Probe &p : c.probes)
            EXPECT_TRUE(Near(pixels.at(p.x, p.y), p.rgba, 3))
                << c.switches << " amount " << c.amount << " at " << p.x << "," << p.y << ": "
                << Describe(pixels.at(p.x, p.y)) << " wanted " << Describe(p.rgba);
    }
}

TEST_F(TintMaskStage, TheStencilFollowsTheSampledMaskAndTheDrawnMaskItsComposite) {
    // Pixels of a mask made upside down would show here: the top rows white, the rest black.
    const CIImageRef mask = GreyMask(6, 4, 1, 255, 0);
    ASSERT_NE(mask, nullptr);
    EXPECT_TRUE(CGRectEqualToRect(mask->extent(), CGRectMake(0, 0, 6, 4)));
    const Rendered pixels(mask, 6, 4);
    EXPECT_EQ(pixels.at(2, 0), (Pixel{255, 255, 255, 255}));
    EXPECT_EQ(pixels.at(2, 3), (Pixel{0, 0, 0, 255}));
    EXPECT_EQ(ZodAzerMaskImages::imageOfGreyBytes(nullptr, 4, 4, 4), nullptr);
    EXPECT_EQ(ZodAzerMaskImages::imageOfGreyBytes(std::vector<uint8_t>(16).data(), 4, 4, 3), nullptr)
        << "rows shorter than the width";
    EXPECT_EQ(ZodAzerMaskImages::imageOfMask(nullptr), nullptr);

    // The images are copies: a later change of the bytes does not reach a picture handed out.
    std::vector<uint8_t> bytes(16, 255);
    const CIImageRef copy = ZodAzerMaskImages::imageOfGreyBytes(bytes.data(), 4, 4, 4);
    std::fill(bytes.begin(), bytes.end(), 0);
    EXPECT_EQ(Rendered(copy, 4, 4).at(1, 1), (Pixel{255, 255, 255, 255}));
}

TEST_F(TintMaskStage, ThePanelsMasksReachTheStageAndOutliveTheirMasks) {
    NSUIMaskImageViewController stencilController;
    NSUIMaskImageView stencilView;
    stencilController.setImageView(&stencilView);
    NSUIMaskInstance maskInstance;
    maskInstance.awakeFromNib();
    maskInstance.setTarget(&maskView);
    maskView.setMaskController(&maskInstance);
    nibbler.setSampledMaskController(&stencilController);
    nibbler.setFilterMaskController(&maskInstance);
    nibbler.setNibblerView(new QWidget);
    ASSERT_TRUE(nibbler.installNibblerSubView());

    // Installed: the filters exist and both masks are 640 x 480.
    EXPECT_NE(nibbler.tintImageFilter(), nullptr);
    EXPECT_NE(nibbler.sampleBlendMultiply(), nullptr);
    EXPECT_NE(nibbler.invertColorsFilter(), nullptr);
    EXPECT_NE(nibbler.quartzImageFilter(), nullptr);
    EXPECT_EQ(maskInstance.maskDimensions().width, 640);
    ASSERT_NE(maskView.maskCIImage(), nullptr);
    EXPECT_TRUE(CGRectEqualToRect(maskView.maskCIImage()->extent(), CGRectMake(0, 0, 640, 480)));
    // A merge of the mask designer reaches the view as maskContextChanged:, and gives a new image.
    const CIImageRef firstMask = maskView.maskCIImage();
    maskInstance.maskControlsReset(nullptr);
    EXPECT_NE(maskView.maskCIImage(), firstMask);

    // The stencil: the picture's top half white, the bottom half black.
    QImage picture(4, 2, QImage::Format_RGBA8888);
    picture.fill(QColor(0, 0, 0));
    for (int x = 0; x < 4; ++x) picture.setPixelColor(x, 0, QColor(255, 255, 255));
    stencilView.setImage(NSImage::imageWithQImage(picture));
    stencilController.imageChanged(nullptr);
    nibbler.inputMaskSampledChanged(nullptr);
    ASSERT_NE(nibbler.stencilCIImage(), nullptr);
    auto checkStencil = [&](const char *when) {
        const Rendered stencil(nibbler.stencilCIImage(), 640, 480);
        EXPECT_EQ(stencil.at(320, 60), (Pixel{255, 255, 255, 255})) << when;
        EXPECT_EQ(stencil.at(320, 420), (Pixel{0, 0, 0, 255})) << when;
    };
    checkStencil("made");
    // The controller makes a new mask and frees the old one: the stencil is a copy.
    stencilController.setMaskSizePixels(NSMakeSize(8, 8));
    checkStencil("after its mask went");

    SetSwitches("00100");
    nibbler.setInputImage(Solid(1, 0.5, 0, 1, 640)->imageByCroppingToRect(CGRectMake(0, 0, 640, 480)));
    const Rendered out(nibbler.outputImage(), 640, 480);
    EXPECT_TRUE(Near(out.at(10, 10), Pixel{255, 128, 0, 255}, 1)) << Describe(out.at(10, 10));
    EXPECT_EQ(out.at(10, 470), (Pixel{0, 0, 0, 255}));
}

TEST_F(TintMaskStage, TheCompositionVariantAndItsInputs) {
    std::string error;
    auto unit = std::make_shared<QTZImageFilterUnit>();
    unit->initWithComposition(
        QCComposition::compositionWithFile(std::string(LUMORA_APP_RESOURCES) + "/com.tarvex.TintMask.qtz", &error),
        &nibbler);
    ASSERT_NE(unit->renderer(), nullptr) << error;
    const CIImageRef input = Solid(0.2, 0.4, 0.6);
    EXPECT_EQ(nibbler.tintMaskWithQuartzComposition(input, nullptr, nullptr), input) << "no unit: the picture itself";
    nibbler.setQuartzImageFilter(unit);

    // The inputs: nothing without a drawn mask or a tint image, so the unit keeps no output.
    EXPECT_FALSE(nibbler.qtzImageRenderUnit(unit.get(), unit->renderer().get()));
    EXPECT_EQ(nibbler.tintMaskWithQuartzComposition(input, nullptr, nullptr), nullptr);
    maskView.setMaskCIImage(Solid(1, 1, 1));
    tint.setCachedGradientImage(Solid(1, 0, 0));
    EXPECT_TRUE(nibbler.qtzImageRenderUnit(unit.get(), unit->renderer().get()));
    const CIImageRef output = nibbler.tintMaskWithQuartzComposition(input, nullptr, nullptr);
    ASSERT_NE(output, nullptr);
    EXPECT_TRUE(Near(Rendered(output, 8, 8).at(3, 3), Pixel{51, 102, 153, 255}, 1));
    // A controller of another class: the amount is cleared and the inputs refused.
    QObject other;
    nibbler.setNibblerController(&other);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(nibbler.qtzImageRenderUnit(unit.get(), unit->renderer().get()));
    testing::internal::GetCapturedStderr();
    unit->setDelegate(nullptr);
}

TEST_F(TintMaskStage, AMaskControllerWithoutCompositeLeavesTheMaskImageAlone) {
    NSUIMaskController bare;  // answers the shared null composite
    maskView.setMaskController(&bare);
    const CIImageRef before = Solid(1, 1, 1);
    maskView.setMaskCIImage(before);
    testing::internal::CaptureStderr();
    maskView.updateMaskCIImage();
    maskView.onMaskChanged(nullptr);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(maskView.maskCIImage(), before);
    maskView.setMaskController(nullptr);
    maskView.updateMaskCIImage();
    EXPECT_EQ(maskView.maskCIImage(), before);
}

TEST_F(TintMaskStage, APanelChangeRebuildsTheTintAndTellsTheTarget) {
    UFColorSchemeController scheme;
    NSColorWellWithAlpha well;
    well.setColor(QColor::fromRgbF(0, 1, 0, 1));
    tint.setColorSchemeController(&scheme);
    tint.setColorWellOne(&well);
    NSSegmentedControl segments;
    segments.setSegmentCount(3);
    segments.setSelectedSegment(1);
    tint.setTintTypeSelected(&segments);
    tint.setTarget(&nibbler);
    tint.setAction("inputMaskTintingChanged:");
    ASSERT_EQ(tint.cachedColorImage(), nullptr);
    nibbler.updateNibblerChanged(nullptr);
    ASSERT_NE(tint.cachedColorImage(), nullptr);
    EXPECT_EQ(tint.selectedTintImage(), tint.cachedColorImage());
    EXPECT_TRUE(Near(Rendered(tint.selectedTintImage(), 2, 2).at(0, 0), Pixel{0, 255, 0, 255}, 1));
}

// ---- The tint controller -----------------------------------------------------------------------

class TintController : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ASSERT_TRUE(import_ZodAzerController());
        tint.setColorSchemeController(&scheme);
        tint.setTintTypeSelected(&segments);
        segments.setSegmentCount(3);
        tint.setColorWellOne(&wellOne);
        tint.setGradientView(&gradientView);
        tint.setImageView(&imageWell);
        wellOne.setColor(QColor::fromRgbF(1, 0.5, 0, 1));
    }
    // The application's gradient composition, as the build assembles it.
    std::shared_ptr<QTZImageGradientUnit> AppGradient() {
        std::string error;
        auto unit = std::make_shared<QTZImageGradientUnit>();
        unit->initWithComposition(
            QCComposition::compositionWithFile(std::string(LUMORA_APP_RESOURCES) + "/com.tarvex.Gradients.qtz", &error),
            &tint);
        EXPECT_NE(unit->renderer(), nullptr) << error;
        return unit;
    }
    UFColorSchemeController scheme;
    ZodAzerController tint;
    NSSegmentedControl segments;
    NSColorWellWithAlpha wellOne;
    CIImageMouseDragView gradientView;
    NSImageView imageWell;
};

TEST_F(TintController, EachTintTypeHasItsImageAndTheDefaultStandsIn) {
    tint.awakeFromNib();
    EXPECT_EQ(scheme.dominantColor(), QColor(Qt::blue));
    EXPECT_EQ(scheme.secondaryColor(), QColor(Qt::green));
    EXPECT_EQ(gradientView.p0(), QPointF(0.25, 0.25));
    EXPECT_EQ(gradientView.p1(), QPointF(0.75, 0.75));
    ASSERT_NE(tint.cachedDefaultImage(), nullptr);
    ASSERT_NE(tint.cachedColorImage(), nullptr);
    EXPECT_EQ(tint.cachedTintImage(), nullptr) << "the image well is empty";

    const Rendered colour(tint.cachedColorImage(), 4, 4), fallback(tint.cachedDefaultImage(), 4, 4);
    EXPECT_TRUE(Near(colour.at(1, 1), Pixel{255, 128, 0, 255}, 1)) << Describe(colour.at(1, 1));
    EXPECT_TRUE(Near(fallback.at(1, 1), Pixel{0, 0, 0, 3}, 1)) << Describe(fallback.at(1, 1));
    EXPECT_TRUE(CGRectEqualToRect(tint.cachedColorImage()->extent(), CGRectMake(0, 0, 640, 480)));
    EXPECT_TRUE(CGRectEqualToRect(tint.cachedDefaultImage()->extent(), CGRectMake(0, 0, 640, 480)));

    struct Case {
        int type;
        CIImageRef expected;
    };
    const CIImageRef gradient = Solid(1, 1, 1), sampled = Solid(0, 0, 0);
    tint.setCachedGradientImage(gradient);
    tint.setCachedTintImage(nullptr);
    const Case cases[] = {
        {0, gradient}, {1, tint.cachedColorImage()}, {2, tint.cachedDefaultImage()}, {-1, tint.cachedDefaultImage()}};
    for (const Case &c : cases) {
        segments.setSelectedSegment(c.type);
        EXPECT_EQ(tint.selectedTintImage(), c.expected) << "type " << c.type;
    }
    EXPECT_EQ(tint.tintImage(), tint.cachedDefaultImage());
    tint.setCachedTintImage(sampled);
    segments.setSelectedSegment(2);
    EXPECT_EQ(tint.selectedTintImage(), sampled);
    EXPECT_EQ(tint.tintImage(), sampled);

    // A type outside 0..2 caches nothing.
    const CIImageRef before[] = {tint.cachedGradientImage(), tint.cachedColorImage(), tint.cachedTintImage()};
    tint.zodAzerControllerChanged(7);
    EXPECT_EQ(tint.cachedGradientImage(), before[0]);
    EXPECT_EQ(tint.cachedColorImage(), before[1]);
    EXPECT_EQ(tint.cachedTintImage(), before[2]);
}

TEST_F(TintController, TheImageWellPictureIsSizedForTheStage) {
    tint.awakeFromNib();
    QImage picture(4, 2, QImage::Format_RGBA8888);
    picture.fill(QColor(0, 0, 255));
    for (int x = 0; x < 4; ++x) picture.setPixelColor(x, 0, QColor(255, 0, 0));
    imageWell.setImage(NSImage::imageWithQImage(picture));
    segments.setSelectedSegment(2);
    tint.controllerImageChanged(nullptr);
    const CIImageRef sampled = tint.selectedTintImage();
    ASSERT_NE(sampled, nullptr);
    EXPECT_EQ(sampled, tint.cachedTintImage());
    EXPECT_TRUE(CGRectEqualToRect(sampled->extent(), CGRectMake(0, 0, 640, 480)));
    const Rendered pixels(sampled, 640, 480);
    EXPECT_EQ(pixels.at(320, 60), (Pixel{255, 0, 0, 255})) << "the picture's top stays on top";
    EXPECT_EQ(pixels.at(320, 420), (Pixel{0, 0, 255, 255}));
}

TEST_F(TintController, TheGradientFollowsTheColoursAndTheirSwap) {
    tint.awakeFromNib();
    tint.setGradientRenderer(AppGradient());
    segments.setSelectedSegment(0);
    scheme.setDominantColor(QColor(Qt::red));  // observed: rebuilds the gradient
    scheme.setSecondaryColor(QColor(Qt::blue));
    const CIImageRef first = tint.cachedGradientImage();
    ASSERT_NE(first, nullptr);
    // p0 = (0.25, 0.25) has colour one, p1 = (0.75, 0.75) colour two; y up.
    Rendered pixels(first, 640, 480);
    EXPECT_TRUE(Near(pixels.at(100, 400), Pixel{255, 0, 0, 255}, 2)) << Describe(pixels.at(100, 400));
    EXPECT_TRUE(Near(pixels.at(540, 80), Pixel{0, 0, 255, 255}, 2)) << Describe(pixels.at(540, 80));

    tint.setSwapGradientColors(true);
    EXPECT_EQ(tint.gradientColorOne(), QColor(Qt::blue));
    tint.controllerGradientChanged(nullptr);
    pixels = Rendered(tint.cachedGradientImage(), 640, 480);
    EXPECT_TRUE(Near(pixels.at(100, 400), Pixel{0, 0, 255, 255}, 2)) << Describe(pixels.at(100, 400));
    EXPECT_TRUE(Near(pixels.at(540, 80), Pixel{255, 0, 0, 255}, 2)) << Describe(pixels.at(540, 80));

    // The gradient view shows the gradient, rendered first when none is cached.
    tint.setCachedGradientImage(nullptr);
    tint.updateViewsDependentOnTintType();
    EXPECT_NE(tint.cachedGradientImage(), nullptr);
    EXPECT_EQ(gradientView.image(), tint.cachedGradientImage());
    EXPECT_FALSE(gradientView.slidersHidden());
    segments.setSelectedSegment(1);
    tint.updateViewsDependentOnTintType();
    EXPECT_TRUE(gradientView.slidersHidden());
}

TEST_F(TintController, AGradientThatCannotRenderFallsBackToTheColour) {
    tint.awakeFromNib();  // the test bundle holds no gradient composition
    segments.setSelectedSegment(0);
    const CIImageRef image = tint.renderGradientImage();
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(Near(Rendered(image, 2, 2).at(0, 0), Pixel{255, 128, 0, 255}, 1));
}

// ---- The stage in the frame loop ---------------------------------------------------------------

TEST_F(TintMaskStage, TheInputControllerFramesPassThroughTheStage) {
    nibbler.makeStageFilters();
    tint.setCachedGradientImage(Solid(1, 0, 0));
    nibbler.setStencilCIImage(GreyMask(8, 8, 0, 0, 128));
    SetSwitches("00100");
    QTZInputController controller;
    controller.setTintMaskNibbler(&nibbler);
    ASSERT_EQ(controller.tintMaskFilter(), &nibbler);
    controller.setTestImage(Solid(200 / 255.0, 100 / 255.0, 50 / 255.0));
    const CamInputFrameRef frame = controller.pullCameraImageThroughTintMaskQCFilter();
    ASSERT_NE(frame, nullptr);
    ASSERT_NE(frame->frameImage(), nullptr);
    EXPECT_TRUE(Near(Rendered(frame->frameImage(), 8, 8).at(4, 4), Pixel{100, 50, 25, 255}, 2));
    // The switches are reached by key, as the bookmarks bind them.
    EXPECT_EQ(nibbler.property("outletSampleMaskEnabled").value<QObject *>(), &boxes[2]);
    EXPECT_EQ(nibbler.imageTintController(), &tint);
}

TEST_F(TintMaskStage, ResetTurnsEverySwitchOffAndResetsTheTint) {
    SetSwitches("11111");
    UFColorSchemeController scheme;
    tint.setColorSchemeController(&scheme);
    scheme.setDominantColor(QColor(Qt::red));
    nibbler.resetDefaultValues(nullptr);
    for (NSButton &box : boxes) EXPECT_EQ(box.state(), 0);
    EXPECT_EQ(scheme.dominantColor(), QColor(Qt::blue));
    EXPECT_NE(tint.cachedDefaultImage(), nullptr);
}

TEST_F(TintMaskStage, AControllerOfAnotherClassIsReported) {
    QObject other;
    nibbler.setNibblerController(&other);
    testing::internal::CaptureStderr();
    EXPECT_EQ(nibbler.imageTintController(), &other);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("self.nibblerController"), std::string::npos) << log;
    EXPECT_EQ(nibbler.tintController(), nullptr);
    EXPECT_TRUE(nibbler.tintGradientPointControls().isEmpty());
}

// ---- The offscreen renderer --------------------------------------------------------------------

// A width x height picture: the top `topRows` rows red, the rest blue (alpha as given).
CIImageRef TwoBands(int width, int height, int topRows, int alpha = 255) {
    QImage picture(width, height, QImage::Format_RGBA8888_Premultiplied);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixelColor(x, y, y < topRows ? QColor(255, 0, 0, alpha) : QColor(0, 0, 255, alpha));
    NSImageView view;
    view.setImage(NSImage::imageWithQImage(picture));
    return NSImageView_CIImage::imageWithTIFFRepresentation(view);
}

TEST_F(TintMaskStage, PicturesComeOutAtTheSizeAskedForTheRightWayUp) {
    struct Case {
        const char *name;
        CIImageRef picture;
        int topRows;  // of the 12 rows out, red
    };
    const Case cases[] = {
        {"smaller, other aspect", TwoBands(4, 2, 1), 6},
        {"larger", TwoBands(64, 48, 12), 3},
        {"same size", TwoBands(16, 12, 9), 9},
        {"moved off the origin", TwoBands(8, 4, 2)->imageByApplyingTransform(CGAffineTransformMakeTranslation(50, -7)), 6},
    };
    for (const Case &c : cases) {
        ASSERT_NE(c.picture, nullptr) << c.name;
        const CIImageRef sized = NSImageView_CIImage::renderImageIntoSizePixels(c.picture, 16, 12);
        ASSERT_NE(sized, nullptr) << c.name;
        EXPECT_TRUE(CGRectEqualToRect(sized->extent(), CGRectMake(0, 0, 16, 12))) << c.name;
        const Rendered pixels(sized, 16, 12);
        // The first and last rows are inside the bands; the rows between blend as scaled.
        for (int x : {0, 7, 15}) {
            EXPECT_TRUE(Near(pixels.at(x, 0), Pixel{255, 0, 0, 255}, 2)) << c.name << " top " << Describe(pixels.at(x, 0));
            EXPECT_TRUE(Near(pixels.at(x, 11), Pixel{0, 0, 255, 255}, 2)) << c.name << " bottom " << Describe(pixels.at(x, 11));
            // Half way down the band edge the two colours meet.
            const Pixel edge = pixels.at(x, c.topRows);
            EXPECT_LT(edge[0], 255) << c.name;
            EXPECT_GT(pixels.at(x, c.topRows - 1)[0], pixels.at(x, c.topRows)[0]) << c.name;
        }
    }
}

TEST_F(TintMaskStage, TransparentPicturesComeOutOverBlack) {
    const CIImageRef sized = NSImageView_CIImage::renderImageIntoSizePixels(TwoBands(4, 4, 2, 0), 8, 8);
    ASSERT_NE(sized, nullptr);
    EXPECT_EQ(Rendered(sized, 8, 8).at(3, 1), (Pixel{0, 0, 0, 255}));
    const CIImageRef half = NSImageView_CIImage::renderImageIntoSizePixels(TwoBands(4, 4, 4, 128), 8, 8);
    EXPECT_TRUE(Near(Rendered(half, 8, 8).at(3, 3), Pixel{128, 0, 0, 255}, 2));
}

TEST_F(TintMaskStage, OneRendererPerSizeAndPicturesHandedOutStayAsTheyWere) {
    const CIImageRef red = NSImageView_CIImage::renderImageIntoSizePixels(TwoBands(2, 2, 2), 32, 24);
    const std::shared_ptr<TheOffscreenRenderer> first = TheOffscreenRenderer::sharedOffscreenRenderer();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->hasSizePixels(32, 24));
    EXPECT_TRUE(CGRectEqualToRect(first->extent(), CGRectMake(0, 0, 32, 24)));
    const CIImageRef blue = NSImageView_CIImage::renderImageIntoSizePixels(TwoBands(2, 2, 0), 32, 24);
    EXPECT_EQ(TheOffscreenRenderer::sharedOffscreenRenderer(), first) << "the same size reuses the renderer";
    EXPECT_EQ(Rendered(red, 32, 24).at(5, 5), (Pixel{255, 0, 0, 255})) << "the second render left the first alone";
    EXPECT_EQ(Rendered(blue, 32, 24).at(5, 5), (Pixel{0, 0, 255, 255}));

    ASSERT_NE(NSImageView_CIImage::renderImageIntoSizePixels(TwoBands(2, 2, 1), 10, 10), nullptr);
    const std::shared_ptr<TheOffscreenRenderer> second = TheOffscreenRenderer::sharedOffscreenRenderer();
    EXPECT_NE(second, first) << "another size replaces it";
    EXPECT_TRUE(second->hasSizePixels(10, 10));
    EXPECT_FALSE(second->hasSizePixels(10, 10.5f));
    EXPECT_EQ(Rendered(red, 32, 24).at(31, 23), (Pixel{255, 0, 0, 255})) << "and the old pictures live on";

    // What cannot be made gives nothing.
    EXPECT_EQ(NSImageView_CIImage::renderImageIntoSizePixels(nullptr, 10, 10), nullptr);
    EXPECT_EQ(NSImageView_CIImage::renderImageIntoSizePixels(CIImage::emptyImage(), 10, 10), nullptr);
    EXPECT_EQ(NSImageView_CIImage::renderImageIntoSizePixels(Solid(1, 0, 0), 0, 10), nullptr);
    NSImageView empty;
    EXPECT_EQ(NSImageView_CIImage::imageWithTIFFRepresentation(empty), nullptr);
    EXPECT_EQ(NSImageView_CIImage::imageWithSizePixels(empty, 10, 10), nullptr);
    EXPECT_NE(TheOffscreenRenderer::imageRendererWithSizePixels(4, 4), nullptr);
    EXPECT_EQ(TheOffscreenRenderer::imageRendererWithSizePixels(-1, 4), nullptr);
}

}  // namespace
