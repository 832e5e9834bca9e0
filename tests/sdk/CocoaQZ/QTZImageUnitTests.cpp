// The composition image units: finding compositions by identifier, a filter unit with and
// without an input image, a gradient unit's two gradient types with its colours at its
// points, and units that keep their previous (or no) images when nothing renders.
#include <CocoaQZ/QuartzCore/QTZImageFilterUnit.h>
#include <CocoaQZ/QuartzCore/QTZImageGradientUnit.h>

#include "CompositionTestSupport.h"
#include "support/TestFolders.h"

#include <CoreImage/CIContext.h>
#include <QuartzComposer/QCPatch.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace cocoaqz_test;

namespace {

// The gradient composition: one kernel over 640 x 480, linear (type 0) from colour 1 at
// point 0 to colour 2 at point 1, or radial (type 1) around point 0 with point 1 on the rim.
std::string GradientComposition() {
    const std::string source =
        "kernel vec4 gradient(float inputGradientType, __color inputColor1, __color inputColor2,\n"
        "                     float input_X0_normal, float input_Y0_normal, float input_X1_normal,\n"
        "                     float input_Y1_normal) {\n"
        "  vec2 size = vec2(640.0, 480.0);\n"
        "  vec2 p0 = vec2(input_X0_normal, input_Y0_normal) * size;\n"
        "  vec2 axis = vec2(input_X1_normal, input_Y1_normal) * size - p0;\n"
        "  vec2 d = destCoord() - p0;\n"
        "  float linear = dot(d, axis) / max(dot(axis, axis), 0.000001);\n"
        "  float radial = length(d) / max(length(axis), 0.000001);\n"
        "  float t = clamp(inputGradientType < 0.5 ? linear : radial, 0.0, 1.0);\n"
        "  return mix(inputColor1, inputColor2, t);\n"
        "}\n";
    std::string published;
    for (const char *key : {"inputGradientType", "inputColor1", "inputColor2", "input_X0_normal", "input_Y0_normal",
                            "input_X1_normal", "input_Y1_normal"})
        published += Published(key, "Gradient", key);
    return Composition(Node("Gradient", "QCImageKernel",
                            Kernel(source) + "<key>extent</key><array><real>0</real><real>0</real><real>640</real>"
                                             "<real>480</real></array>") +
                           Node("Billboard", "QCBillboard"),
                       Wire("w", "Gradient", "outputImage", "Billboard", "inputImage"), published);
}

// An image-filter composition that inverts its input.
std::string InvertComposition() {
    return Composition(Node("Invert", "QCImageKernel",
                            Kernel("kernel vec4 invert(sampler image) {\n"
                                   "  vec4 p = sample(image, samplerCoord(image));\n"
                                   "  return vec4(p.a - p.rgb, p.a);\n}")),
                       "", Published("_protocolInput_Image", "Invert", "image"),
                       Published("_protocolOutput_Image", "Invert", "outputImage"));
}

// An image-filter composition whose output does not need its input: a green 4 x 4 image.
std::string GeneratorComposition() {
    return Composition(Node("Input", "QCSplitter", "<key>portClass</key><string>QCGLImagePort</string>") +
                           Node("Green", "QCImageKernel",
                                Kernel("kernel vec4 green() { return vec4(0.0, 1.0, 0.0, 1.0); }") +
                                    "<key>extent</key><array><real>0</real><real>0</real><real>4</real>"
                                    "<real>4</real></array>"),
                       "", Published("_protocolInput_Image", "Input", "input"),
                       Published("_protocolOutput_Image", "Green", "outputImage"));
}

// A composition whose only consumer fails every frame.
class Failing : public QCPatch {
public:
    bool isConsumer() const override { return true; }
    bool execute(QCPatchContext &) override { return false; }
};
std::string FailingComposition() {
    QCRegisterPatchClass("TestFailing", [](const QCCompositionNode &, std::string *) { return std::make_unique<Failing>(); });
    return Composition(Node("Fail", "TestFailing"));
}

Pixel ImagePixel(const CIImageRef &image, CGRect pixel) {
    CIContextRef context = CIContext::offscreenContext();
    uint8_t bytes[4] = {0, 0, 0, 0};
    EXPECT_TRUE(context->render(image, bytes, 4, pixel, kCIFormatRGBA8));
    return {bytes[0], bytes[1], bytes[2], bytes[3]};
}

// Refuses (or accepts) the render through the delegate.
class Gate : public QTZImageRenderUnitDelegate {
public:
    bool qtzImageRenderUnit(QTZImageRenderUnit *, QCRenderer *renderer) override {
        ++calls;
        lastRenderer = renderer;
        return open;
    }
    bool open = true;
    int calls = 0;
    QCRenderer *lastRenderer = nullptr;
};

// Files written in the build tree's folders for one test, removed at its end.
class CompositionFiles : public ::testing::Test {
protected:
    void TearDown() override {
        std::error_code error;  // a folder that is not empty stays
        for (auto it = mWritten.rbegin(); it != mWritten.rend(); ++it) std::filesystem::remove(*it, error);
    }
    void Write(const std::string &folder, const std::string &name, const std::string &content) {
        std::filesystem::create_directories(folder);
        mWritten.push_back(folder);
        ASSERT_TRUE(lumora::test::WriteFile(folder + "/" + name, content));
        mWritten.push_back(folder + "/" + name);
    }
    static std::string Named(const std::string &name) {
        std::string xml = Composition(Node("Clear", "QCClear"));
        return xml.replace(xml.find("<key>rootPatch</key>"), 0, "<key>name</key><string>" + name + "</string>");
    }

    const std::string mResources = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    const std::string mUser = std::string(std::getenv("XDG_DATA_HOME")) + "/Lumora/Library/Compositions";
    const std::string mLocal = std::string(std::getenv("LUMORA_LOCAL_LIBRARY")) + "/Compositions";
    std::vector<std::string> mWritten;  // folders too: removed only when left empty
};

TEST_F(CompositionFiles, CompositionsAreFoundInTheBundleThenTheRepositoryThenTheLocalFolder) {
    Write(mResources, "UnitBundle.qtz", Named("bundle"));
    Write(mUser, "UnitBundle.qtz", Named("user"));
    Write(mResources, "UnitBrokenBundle.qtz", "not a composition");
    Write(mUser, "UnitBrokenBundle.qtz", Named("user"));
    Write(mLocal, "UnitLocal.composition", Named("local"));
    Write(mLocal + "/Sub", "UnitSub.qtz", Named("sub"));
    const struct {
        std::string identifier;
        const char *from;  // null: none
    } cases[] = {
        {"UnitBundle.qtz", "bundle"},
        {"UnitBrokenBundle.qtz", "user"},
        {"UnitLocal.composition", "local"},
        {"UnitMissing.qtz", nullptr},
        {"Sub/UnitSub.qtz", nullptr},
        {"../Compositions/UnitLocal.composition", nullptr},
        {mLocal + "/UnitLocal.composition", nullptr},
        {"", nullptr},
    };
    for (const auto &c : cases) {
        QCCompositionRef composition = QTZImageRenderUnit::compositionWithID(c.identifier);
        if (!c.from) {
            EXPECT_EQ(composition, nullptr) << c.identifier;
            continue;
        }
        ASSERT_NE(composition, nullptr) << c.identifier;
        EXPECT_EQ(composition->attributes().name, c.from) << c.identifier;
    }
    // The class's default composition, found the same way, gives a unit with a renderer.
    auto none = QTZImageRenderUnit::defaultImageRenderUnitWithDelegate<QTZImageGradientUnit>(nullptr);
    EXPECT_EQ(none->renderer(), nullptr);
    Write(mLocal, QTZImageGradientUnit::defaultCompositionID(), GradientComposition());
    Gate gate;
    auto unit = QTZImageRenderUnit::defaultImageRenderUnitWithDelegate<QTZImageGradientUnit>(&gate);
    ASSERT_NE(unit->renderer(), nullptr);
    EXPECT_EQ(unit->delegate(), &gate);
    EXPECT_EQ(unit->rendererSizePixels().width, 640);
    EXPECT_EQ(unit->rendererSizePixels().height, 480);
    EXPECT_NE(QTZImageRenderUnit::imageFilterUnitWithCompositionID<QTZImageFilterUnit>("UnitBundle.qtz")->renderer(),
              nullptr);
}

TEST(QTZImageFilterUnit, TheInputImageGoesThroughTheFilterProtocolOnlyWhenThereIsOne) {
    auto generator = std::make_shared<QTZImageFilterUnit>();
    generator->initWithComposition(Open(GeneratorComposition()));
    ASSERT_NE(generator->renderer(), nullptr);
    CIImageRef output = generator->outputImage();
    ASSERT_NE(output, nullptr) << "rendered without an input image";
    EXPECT_TRUE(generator->renderer()->valueForInputKey("_protocolInput_Image").isNull()) << "nothing was set";
    EXPECT_EQ(ImagePixel(output, CGRectMake(1, 1, 1, 1)), (Pixel{0, 255, 0, 255}));

    auto invert = std::make_shared<QTZImageFilterUnit>();
    invert->initWithComposition(Open(InvertComposition()));
    CIImageRef input = CIImage::imageWithColor(CIColor::colorWithRed(0.2, 0.4, 0.6, 1))
                           ->imageByCroppingToRect(CGRectMake(0, 0, 8, 8));
    invert->setInputImage(input);
    EXPECT_EQ(invert->cachedInputImage(), input);
    output = invert->outputImage();
    ASSERT_NE(output, nullptr);
    EXPECT_EQ(invert->renderer()->valueForInputKey("_protocolInput_Image").imageValue(), input);
    EXPECT_TRUE(CGRectEqualToRect(output->extent(), CGRectMake(0, 0, 8, 8)));
    EXPECT_TRUE(Near(ImagePixel(output, CGRectMake(3, 3, 1, 1)), Pixel{204, 153, 102, 255}));

    // Inputs refused by the delegate: nothing renders and the previous output stays.
    Gate gate;
    gate.open = false;
    invert->setDelegate(&gate);
    invert->setInputImage(CIImage::imageWithColor(CIColor::colorWithRed(1, 1, 1, 1)));
    EXPECT_EQ(invert->outputImage(), output);
    EXPECT_EQ(gate.calls, 1);
    EXPECT_EQ(gate.lastRenderer, invert->renderer().get());
    // A render that fails keeps it too.
    invert->setDelegate(nullptr);
    invert->setComposition(Open(FailingComposition()));
    ASSERT_NE(invert->renderer(), nullptr);
    EXPECT_EQ(invert->outputImage(), output);
}

struct GradientCase {
    const char *name;
    int type;
    float x0, y0, x1, y1;
    struct Probe {
        size_t x, y;  // y up, as the points
        Pixel rgba;
    };
    std::vector<Probe> probes;
};

// The application's own compositions, as the build assembles them.
QCCompositionRef AppComposition(const char *name) {
    std::string error;
    QCCompositionRef composition =
        QCComposition::compositionWithFile(std::string(LUMORA_APP_RESOURCES) + "/" + name, &error);
    EXPECT_NE(composition, nullptr) << name << ": " << error;
    return composition;
}

TEST(QTZImageFilterUnit, TheApplicationsTintMaskPassesTheImageThrough) {
    auto unit = std::make_shared<QTZImageFilterUnit>();
    unit->initWithComposition(AppComposition("com.tarvex.TintMask.qtz"));
    ASSERT_NE(unit->renderer(), nullptr);
    CIImageRef input = CIImage::imageWithColor(CIColor::colorWithRed(0.2, 0.4, 0.6, 1))
                           ->imageByCroppingToRect(CGRectMake(0, 0, 8, 8));
    unit->setInputImage(input);
    CIImageRef output = unit->outputImage();
    ASSERT_NE(output, nullptr);
    EXPECT_TRUE(CGRectEqualToRect(output->extent(), CGRectMake(0, 0, 8, 8)));
    EXPECT_TRUE(Near(ImagePixel(output, CGRectMake(3, 3, 1, 1)), Pixel{51, 102, 153, 255}));
}

class GradientUnit : public ::testing::TestWithParam<const char *> {};

// The test's gradient composition and the application's own answer the unit alike.
INSTANTIATE_TEST_SUITE_P(Compositions, GradientUnit, ::testing::Values("test", "com.tarvex.Gradients.qtz"));

TEST_P(GradientUnit, RendersLinearAndRadialGradientsWithTheColoursAtThePoints) {
    auto unit = std::make_shared<QTZImageGradientUnit>();
    unit->initWithComposition(std::string(GetParam()) == "test" ? Open(GradientComposition())
                                                                 : AppComposition(GetParam()));
    ASSERT_NE(unit->renderer(), nullptr);
    EXPECT_EQ(unit->outputImage(), nullptr) << "no output yet";
    unit->setInputColor1(CIColor::colorWithRed(1, 0, 0, 1));
    unit->setInputColor2(CIColor::colorWithRed(0, 0, 1, 1));
    const GradientCase cases[] = {
        {"linear across", 0, 0.25f, 0.5f, 0.75f, 0.5f,
         {{10, 240, {255, 0, 0, 255}}, {160, 100, {255, 0, 0, 255}}, {320, 400, {127, 0, 128, 255}},
          {480, 10, {0, 0, 255, 255}}, {630, 240, {0, 0, 255, 255}}}},
        {"linear upwards", 0, 0.5f, 0.25f, 0.5f, 0.75f,
         {{320, 10, {255, 0, 0, 255}}, {20, 240, {127, 0, 128, 255}}, {600, 470, {0, 0, 255, 255}}}},
        {"radial", 1, 0.5f, 0.5f, 0.75f, 0.5f,
         {{320, 240, {254, 0, 1, 255}}, {400, 240, {127, 0, 128, 255}}, {320, 320, {127, 0, 128, 255}},
          {0, 0, {0, 0, 255, 255}}, {620, 470, {0, 0, 255, 255}}}},
    };
    for (const GradientCase &c : cases) {
        unit->setInputGradientType(c.type);
        unit->setInput_x0_normal(c.x0);
        unit->setInput_y0_normal(c.y0);
        unit->setInput_x1_normal(c.x1);
        unit->setInput_y1_normal(c.y1);
        unit->renderOutputImage();
        ASSERT_NE(unit->cachedOutputImageRef(), nullptr) << c.name;
        const ImagePixels pixels(unit->cachedOutputImageRef());
        ASSERT_EQ(pixels.width, 640u);
        ASSERT_EQ(pixels.height, 480u);
        for (const auto &probe : c.probes) {
            const Pixel got = pixels.at(probe.x, 479 - probe.y);
            EXPECT_TRUE(Near(got, probe.rgba, 2)) << c.name << " at " << probe.x << "," << probe.y << ": " << got[0]
                                                  << " " << got[1] << " " << got[2] << " " << got[3];
        }
        ASSERT_NE(unit->cachedPreviewImage(), nullptr);
        EXPECT_TRUE(CGRectEqualToRect(unit->cachedPreviewImage()->extent(), CGRectMake(0, 0, 640, 480)));
        EXPECT_EQ(unit->cachedOutputImage(), unit->cachedPreviewImage());
    }
    // The inputs reached the composition under their uppercase names.
    EXPECT_FLOAT_EQ(float(unit->renderer()->valueForInputKey("input_X1_normal").numberValue()), 0.75f);
    EXPECT_EQ(unit->renderer()->valueForInputKey("inputGradientType").numberValue(), 1);
    EXPECT_NE(unit->outputImage(), nullptr);
}

TEST(QTZImageGradientUnit, UnitsThatCannotRenderKeepTheirImages) {
    // No composition found, a composition that fails every frame: never an image.
    auto missing = QTZImageRenderUnit::imageFilterUnitWithCompositionID<QTZImageGradientUnit>("UnitNowhere.qtz");
    auto failing = std::make_shared<QTZImageGradientUnit>();
    failing->initWithComposition(Open(FailingComposition()));
    ASSERT_NE(failing->renderer(), nullptr);
    for (const auto &unit : {missing, failing}) {
        unit->renderOutputImage();
        EXPECT_EQ(unit->cachedOutputImageRef(), nullptr);
        EXPECT_EQ(unit->cachedPreviewImage(), nullptr);
        EXPECT_EQ(unit->cachedOutputImage(), nullptr);
        EXPECT_EQ(unit->outputImage(), nullptr);
    }
    // A null composition keeps the renderer; a failing one replaces it and the last images
    // stay.
    auto unit = std::make_shared<QTZImageGradientUnit>();
    unit->initWithComposition(Open(GradientComposition()));
    unit->renderOutputImage();
    CGImageRef image = unit->cachedOutputImageRef();
    ASSERT_NE(image, nullptr);
    const std::shared_ptr<QCRenderer> renderer = unit->renderer();
    unit->setComposition(nullptr);
    EXPECT_EQ(unit->renderer(), renderer);
    Gate gate;
    gate.open = false;
    unit->setDelegate(&gate);
    unit->renderOutputImage();
    EXPECT_EQ(gate.calls, 1);
    EXPECT_EQ(unit->cachedOutputImageRef(), image);
    unit->setDelegate(nullptr);
    unit->setComposition(Open(FailingComposition()));
    unit->renderOutputImage();
    EXPECT_EQ(unit->cachedOutputImageRef(), image);
}

} // namespace
