// The engine's number, image and generator patches: oscillator shapes, arithmetic steps,
// interpolation and its repeats, time and mouse, pixels read as numbers, images loaded from
// the file's bytes, sprites drawn where they belong, and particles that depend on the seed
// and the time only.
#include <QuartzComposer/QCPatch.h>
#include <QuartzComposer/QCRenderer.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGDataProvider.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include "QCTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace qc_test;





// "inputValues" of numbers (and of other values already XML), and a layer.
std::string Values(const std::map<std::string, double> &values, const std::string &more = "") {
    std::string xml = "<key>inputValues</key><dict>";
    for (const auto &[key, value] : values) xml += "<key>" + key + "</key><real>" + std::to_string(value) + "</real>";
    return xml + more + "</dict>";
}
std::string Layer(int layer) { return "<key>layer</key><integer>" + std::to_string(layer) + "</integer>"; }
std::string Color(double r, double g, double b, double a) {
    return "<dict><key>red</key><real>" + std::to_string(r) + "</real><key>green</key><real>" + std::to_string(g) +
           "</real><key>blue</key><real>" + std::to_string(b) + "</real><key>alpha</key><real>" + std::to_string(a) +
           "</real></dict>";
}

std::string Kernel(const std::string &source, const std::string &extent) {
    std::string escaped;
    for (char c : source) {
        if (c == '<') escaped += "&lt;";
        else if (c == '&') escaped += "&amp;";
        else if (c == '>') escaped += "&gt;";
        else escaped += c;
    }
    return "<key>source</key><string>" + escaped + "</string><key>extent</key><array>" + extent + "</array>";
}

QCCompositionRef Open(const std::string &xml, std::string *error = nullptr) {
    return QCComposition::compositionWithBytes(xml.data(), xml.size(), error);
}

// The published output "out" of a one-node composition rendered at `time`.
double OutputOf(const std::string &className, const std::string &state, const std::string &port, double time) {
    std::string error;
    auto renderer = QCRenderer::offScreenRendererWithSize(
        CGSizeMake(4, 4), nullptr, Open(Composition(Node("P", className, state), "", "", Published("out", "P", port)), &error),
        &error);
    if (!renderer) return ADD_FAILURE() << error, NAN;
    if (!renderer->renderAtTime(time)) return ADD_FAILURE() << renderer->lastError(), NAN;
    return renderer->valueForOutputKey("out").numberValue(NAN);
}



TEST(QCUtilityPatches, LFOShapesAtChosenTimes) {
    struct Case {
        const char *name;
        std::map<std::string, double> inputs;
        double time, value;
    } cases[] = {
        {"sine at a quarter", {}, 0.25, 1.0},
        {"sine at three quarters", {}, 0.75, 0.0},
        {"sine before time 0", {}, -0.25, 0.0},
        {"sine over a period of 2", {{"inputPeriod", 2}}, 0.5, 1.0},
        {"sine a quarter period ahead", {{"inputPhase", 0.25}}, 0, 1.0},
        {"triangle rising", {{"inputType", 1}}, 0.125, 0.75},
        {"triangle falling", {{"inputType", 1}}, 0.5, 0.5},
        {"triangle at its bottom", {{"inputType", 1}}, 0.75, 0.0},
        {"square high", {{"inputType", 2}}, 0.25, 1.0},
        {"square low", {{"inputType", 2}}, 0.75, 0.0},
        {"sawtooth up", {{"inputType", 3}}, 0.25, 0.25},
        {"sawtooth down", {{"inputType", 4}}, 0.25, 0.75},
        {"PWM within its ratio", {{"inputType", 5}, {"inputPWMRatio", 0.2}}, 0.1, 1.0},
        {"PWM past its ratio", {{"inputType", 5}, {"inputPWMRatio", 0.2}}, 0.3, 0.0},
        {"amplitude and offset", {{"inputType", 2}, {"inputAmplitude", 2}, {"inputOffset", 0}}, 0.6, -2.0},
        {"a period of 0 is the offset", {{"inputPeriod", 0}, {"inputOffset", 3}}, 0.25, 3.0},
        {"a negative period is the offset", {{"inputPeriod", -1}}, 0.25, 0.5},
        {"an unknown type is the sine", {{"inputType", 9}}, 0.25, 1.0},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(OutputOf("QCLFO", Values(c.inputs), "outputValue", c.time), c.value, 1e-9) << c.name;
}

TEST(QCUtilityPatches, MathStepsNeverGiveNaNOrInfinity) {
    auto steps = [](int n) { return "<key>numberOfOperations</key><integer>" + std::to_string(n) + "</integer>"; };
    struct Case {
        const char *name;
        std::string state;
        double value;
    } cases[] = {
        {"one step by default", Values({{"inputValue", 2}, {"inputOperand_1", 3}}), 5},
        {"no steps", steps(0) + Values({{"inputValue", 2}}), 2},
        {"multiply then subtract",
         steps(2) + Values({{"inputValue", 2}, {"inputOperation_1", 2}, {"inputOperand_1", 3}, {"inputOperation_2", 1},
                            {"inputOperand_2", 1}}),
         5},
        {"min, max, power, divide",
         steps(4) + Values({{"inputValue", 5}, {"inputOperation_1", 5}, {"inputOperand_1", 3}, {"inputOperation_2", 6},
                            {"inputOperand_2", 4}, {"inputOperation_3", 7}, {"inputOperand_3", 2},
                            {"inputOperation_4", 3}, {"inputOperand_4", 8}}),
         2},
        {"divide by 0", Values({{"inputValue", 2}, {"inputOperation_1", 3}, {"inputOperand_1", 0}}), 0},
        {"modulo by 0", Values({{"inputValue", 2}, {"inputOperation_1", 4}, {"inputOperand_1", 0}}), 0},
        {"modulo of a negative", Values({{"inputValue", -1}, {"inputOperation_1", 4}, {"inputOperand_1", 3}}), 2},
        {"a root of a negative", Values({{"inputValue", -8}, {"inputOperation_1", 7}, {"inputOperand_1", 0.5}}), 0},
        {"a power past the doubles", Values({{"inputValue", 10}, {"inputOperation_1", 7}, {"inputOperand_1", 400}}), 0},
        {"0 to a negative power", Values({{"inputValue", 0}, {"inputOperation_1", 7}, {"inputOperand_1", -1}}), 0},
        {"overflow, then a step that would keep it",
         steps(2) + Values({{"inputValue", 1e300}, {"inputOperation_1", 2}, {"inputOperand_1", 1e300},
                            {"inputOperation_2", 0}, {"inputOperand_2", 1}}),
         1},
        {"an unknown operation keeps the value", Values({{"inputValue", 7}, {"inputOperation_1", 99}, {"inputOperand_1", 1}}),
         7},
    };
    for (const Case &c : cases) EXPECT_EQ(OutputOf("QCMath", c.state, "outputValue", 0), c.value) << c.name;

    for (const char *bad : {"<integer>5</integer>", "<integer>-1</integer>", "<real>1.5</real>", "<string>two</string>"}) {
        std::string error;
        EXPECT_EQ(Open(Composition(Node("M", "QCMath", std::string("<key>numberOfOperations</key>") + bad)), &error),
                  nullptr)
            << bad;
        EXPECT_NE(error.find("numberOfOperations"), std::string::npos) << error;
    }
}

TEST(QCUtilityPatches, InterpolationRepeatsAndEases) {
    auto easing = [](const char *name) { return std::string("<key>interpolation</key><string>") + name + "</string>"; };
    const std::map<std::string, double> base = {{"inputStartValue", 10}, {"inputEndValue", 20}, {"inputDuration", 2}};
    auto with = [&](double repeat) {
        auto values = base;
        values["inputRepeat"] = repeat;
        return Values(values);
    };
    struct Case {
        const char *name;
        std::string state;
        double time, value;
    } cases[] = {
        {"halfway", with(0), 1, 15},
        {"held at the end", with(0), 3, 20},
        {"held at the start before time 0", with(0), -1, 10},
        {"loop", with(1), 3, 15},
        {"loop back at the start", with(1), 4, 10},
        {"mirrored, going back", with(2), 2.5, 17.5},
        {"mirrored, back at the middle", with(2), 3, 15},
        {"mirrored, forward again", with(2), 4.5, 12.5},
        {"an unknown repeat holds", with(7), 3, 20},
        {"duration 0 is the end at once",
         Values({{"inputStartValue", 10}, {"inputEndValue", 20}, {"inputDuration", 0}}), 0, 20},
        {"quadratic in", easing("quadraticIn") + with(0), 1, 12.5},
        {"quadratic out", easing("quadraticOut") + with(0), 1, 17.5},
        {"quadratic in and out", easing("quadraticInOut") + with(0), 0.5, 11.25},
        {"exponential in starts at the start", easing("exponentialIn") + with(0), 0, 10},
        {"exponential out ends at the end", easing("exponentialOut") + with(0), 2, 20},
        {"exponential in and out, halfway", easing("exponentialInOut") + with(0), 1, 15},
        {"sinusoidal, halfway", easing("sinusoidalInOut") + with(0), 1, 15},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(OutputOf("QCInterpolation", c.state, "outputValue", c.time), c.value, 1e-9) << c.name;

    std::string error;
    EXPECT_EQ(Open(Composition(Node("I", "QCInterpolation", easing("bouncy"))), &error), nullptr);
    EXPECT_NE(error.find("quadraticIn"), std::string::npos) << "the names it knows: " << error;
}

TEST(QCUtilityPatches, TimeAndMouseComeFromTheRender) {
    EXPECT_EQ(OutputOf("QCPatchTime", "", "outputTime", 12.5), 12.5);

    std::string error;
    auto renderer = QCRenderer::offScreenRendererWithSize(
        CGSizeMake(4, 4), nullptr,
        Open(Composition(Node("M", "QCMouse"), "", "",
                         Published("x", "M", "outputX") + Published("y", "M", "outputY") +
                             Published("button", "M", "outputLeftButton")),
             &error),
        &error);
    ASSERT_NE(renderer, nullptr) << error;
    struct Case {
        const char *name;
        QCRenderArguments arguments;
        double x, y;
        bool button;
    } cases[] = {
        {"no mouse", {}, 0, 0, false},
        {"a mouse, pressed", {true, {0.75, 0.25}, true}, 0.5, -0.5, true},
        {"a corner", {true, {0, 1}, false}, -1, 1, false},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(renderer->renderAtTime(0, c.arguments)) << renderer->lastError();
        EXPECT_EQ(renderer->valueForOutputKey("x").numberValue(NAN), c.x) << c.name;
        EXPECT_EQ(renderer->valueForOutputKey("y").numberValue(NAN), c.y) << c.name;
        EXPECT_TRUE(renderer->valueForOutputKey("button").isBoolean()) << c.name;
        EXPECT_EQ(renderer->valueForOutputKey("button").booleanValue(), c.button) << c.name;
    }
}

// An image-to-numbers node reading the image wired to it at published ("x", "y").
std::unique_ptr<QCRenderer> PixelReader(const std::string &sourceNode, std::string *error) {
    return QCRenderer::offScreenRendererWithSize(
        CGSizeMake(4, 4), nullptr,
        Open(Composition(sourceNode + Node("N", "QCImageToNumbers"), Wire("w", "Source", "outputImage", "N", "inputImage"),
                         Published("x", "N", "inputX") + Published("y", "N", "inputY"),
                         Published("r", "N", "outputRed") + Published("g", "N", "outputGreen") +
                             Published("b", "N", "outputBlue") + Published("a", "N", "outputAlpha")),
             error),
        error);
}

std::array<double, 4> ReadAt(QCRenderer &renderer, double x, double y) {
    renderer.setValue(QCValue(x), "x");
    renderer.setValue(QCValue(y), "y");
    if (!renderer.renderAtTime(0)) return ADD_FAILURE() << renderer.lastError(), std::array<double, 4>{};
    return {renderer.valueForOutputKey("r").numberValue(NAN), renderer.valueForOutputKey("g").numberValue(NAN),
            renderer.valueForOutputKey("b").numberValue(NAN), renderer.valueForOutputKey("a").numberValue(NAN)};
}

TEST(QCUtilityPatches, ImageToNumbersReadsOnePixelUnpremultiplied) {
    // Left half a half-transparent yellow-green, right half opaque blue, 4 x 4.
    std::string error;
    auto renderer = PixelReader(
        Node("Source", "QCImageKernel",
             Kernel("kernel vec4 halves() { return destCoord().x < 2.0 ? vec4(0.25, 0.5, 0.0, 0.5) : vec4(0.0, 0.0, 1.0, 1.0); }",
                    "<real>0</real><real>0</real><real>4</real><real>4</real>")),
        &error);
    ASSERT_NE(renderer, nullptr) << error;
    struct Case {
        double x, y;
        std::array<double, 4> rgba;
    } cases[] = {
        {1, 1, {0.5, 1, 0, 0.5}},
        {3.5, 2.9, {0, 0, 1, 1}},  // the pixel the point is in
        {10, 10, {0, 0, 0, 0}},    // outside the image
        {-1e300, 1e300, {0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        const std::array<double, 4> got = ReadAt(*renderer, c.x, c.y);
        for (size_t k = 0; k < 4; ++k) EXPECT_NEAR(got[k], c.rgba[k], 1.0 / 255) << c.x << "," << c.y << " " << k;
    }
}

// A 2 x 2 opaque PNG: red, green on top; blue, white below.
std::string PNGBase64() {
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qRgb(255, 0, 0));
    image.setPixel(1, 0, qRgb(0, 255, 0));
    image.setPixel(0, 1, qRgb(0, 0, 255));
    image.setPixel(1, 1, qRgb(255, 255, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes.toBase64().toStdString();
}

TEST(QCUtilityPatches, AnImageLoaderDecodesItsBytesOnceAndRefusesOthers) {
    std::string error;
    auto renderer = PixelReader(Node("Source", "QCImageLoader", "<key>imageData</key><data>" + PNGBase64() + "</data>"),
                                &error);
    ASSERT_NE(renderer, nullptr) << error;
    // The image's plane has its origin at the picture's bottom-left.
    struct Case {
        double x, y;
        std::array<double, 4> rgba;
    } cases[] = {{0, 0, {0, 0, 1, 1}}, {1, 0, {1, 1, 1, 1}}, {0, 1, {1, 0, 0, 1}}, {1, 1, {0, 1, 0, 1}}};
    for (const Case &c : cases) {
        const std::array<double, 4> got = ReadAt(*renderer, c.x, c.y);
        for (size_t k = 0; k < 4; ++k) EXPECT_NEAR(got[k], c.rgba[k], 1.0 / 255) << c.x << "," << c.y << " " << k;
    }

    const std::string garbage = QByteArray("not an image at all").toBase64().toStdString();
    const std::string png = PNGBase64();
    struct Refusal {
        const char *name;
        std::string state;
    } refusals[] = {
        {"no data", ""},
        {"garbage", "<key>imageData</key><data>" + garbage + "</data>"},
        {"a PNG cut short", "<key>imageData</key><data>" +
                                QByteArray::fromBase64(QByteArray::fromStdString(png)).left(40).toBase64().toStdString() +
                                "</data>"},
        {"a string", "<key>imageData</key><string>image.png</string>"},
    };
    for (const Refusal &r : refusals) {
        EXPECT_EQ(Open(Composition(Node("Loader_1", "QCImageLoader", r.state)), &error), nullptr) << r.name;
        EXPECT_NE(error.find("imageData"), std::string::npos) << r.name << ": " << error;
        EXPECT_NE(error.find("Loader_1"), std::string::npos) << r.name << ": " << error;
    }
}

// A sprite over black in a 32 x 32 destination (16 pixels a unit), with its inputs.
Snapshot DrawSprite(const std::map<std::string, double> &inputs, const std::string &color = "",
                    const std::string &imageNode = "") {
    const std::string state = Layer(1) + Values(inputs, color.empty() ? "" : "<key>inputColor</key>" + color);
    const std::string xml = Composition(
        Node("Clear", "QCClear") + Node("Sprite", "QCSprite", state) + imageNode,
        imageNode.empty() ? "" : Wire("w", "Source", "outputImage", "Sprite", "inputImage"));
    std::string error;
    auto renderer = QCRenderer::offScreenRendererWithSize(CGSizeMake(32, 32), nullptr, Open(xml, &error), &error);
    if (!renderer) return ADD_FAILURE() << error, Snapshot{};
    if (!renderer->renderAtTime(0)) return ADD_FAILURE() << renderer->lastError(), Snapshot{};
    return Read(*renderer);
}

TEST(QCUtilityPatches, SpritesDrawTheirQuadWhereItBelongs) {
    using Pixel = std::array<int, 4>;
    const Pixel black = {0, 0, 0, 255}, red = {255, 0, 0, 255}, green = {0, 255, 0, 255}, blue = {0, 0, 255, 255};
    const std::string redColor = Color(1, 0, 0, 1);
    // Left half green, right half blue, 4 x 4.
    const std::string halves = Node(
        "Source", "QCImageKernel",
        Kernel("kernel vec4 halves() { return destCoord().x < 2.0 ? vec4(0.0, 1.0, 0.0, 1.0) : vec4(0.0, 0.0, 1.0, 1.0); }",
               "<real>0</real><real>0</real><real>4</real><real>4</real>"));
    struct Case {
        const char *name;
        std::map<std::string, double> inputs;
        std::string color, image;
        std::vector<std::pair<std::array<size_t, 2>, Pixel>> pixels;
    } cases[] = {
        {"a solid quad, 1 x 0.5 units at (0.5, 0): pixels 16..32 x 12..20",
         {{"inputX", 0.5}, {"inputHeight", 0.5}},
         redColor,
         "",
         {{{17, 13}, red}, {{31, 19}, red}, {{14, 16}, black}, {{24, 21}, black}, {{24, 10}, black}}},
        {"turned a quarter: 8..24 x 20..28 tall",
         {{"inputX", 0.5}, {"inputHeight", 0.5}, {"inputRotation", 90}},
         redColor,
         "",
         {{{21, 9}, red}, {{26, 22}, red}, {{18, 16}, black}, {{24, 6}, black}}},
        {"turned an eighth: the corners of its bounds stay empty",
         {{"inputRotation", 45}},
         redColor,
         "",
         {{{16, 16}, red}, {{16, 26}, red}, {{6, 6}, black}, {{25, 25}, black}}},
        {"the default is a white unit square", {}, "", "", {{{9, 9}, {255, 255, 255, 255}}, {{7, 16}, black}}},
        {"an image stretched over it", {}, "", halves, {{{9, 16}, green}, {{22, 16}, blue}, {{6, 16}, black}}},
        {"mirrored by a negative width", {{"inputWidth", -1}}, "", halves, {{{9, 16}, blue}, {{22, 16}, green}}},
        {"tinted half transparent, over", {}, Color(1, 1, 1, 0.5), halves, {{{9, 16}, {0, 128, 0, 255}}}},
        {"tinted half transparent, replacing",
         {{"inputBlending", 0}},
         Color(1, 1, 1, 0.5),
         halves,
         {{{9, 16}, {0, 128, 0, 128}}, {{6, 16}, black}}},
        {"no area: nothing", {{"inputWidth", 0}}, redColor, "", {{{16, 16}, black}}},
    };
    for (const Case &c : cases) {
        const Snapshot s = DrawSprite(c.inputs, c.color, c.image);
        ASSERT_EQ(s.width, 32u) << c.name;
        for (const auto &[at, rgba] : c.pixels) {
            const Pixel got = s.rgba(at[0], at[1]);
            for (size_t k = 0; k < 4; ++k)
                EXPECT_NEAR(got[k], rgba[k], 1) << c.name << " at " << at[0] << "," << at[1] << " component " << k;
        }
    }
}

// Particles over black in a 64 x 64 destination, then a red sprite in the top-right corner
// (which must not suffer from what the particles did to the GL state).
std::unique_ptr<QCRenderer> Particles(const std::string &imageNode = "") {
    const std::string xml = Composition(
        Node("Clear", "QCClear") +
            Node("Particles", "QCParticleSystem",
                 Layer(1) + Values({{"inputSize", 0.2}, {"inputCount", 32}, {"inputGravity", -1}, {"inputY", -0.5}})) +
            Node("Corner", "QCSprite",
                 Layer(2) + Values({{"inputX", 0.9}, {"inputY", 0.9}, {"inputWidth", 0.1}, {"inputHeight", 0.1}},
                                   "<key>inputColor</key>" + Color(1, 0, 0, 1))) +
            imageNode,
        imageNode.empty() ? "" : Wire("w", "Source", "outputImage", "Particles", "inputImage"),
        Published("seed", "Particles", "inputSeed") + Published("count", "Particles", "inputCount"));
    std::string error;
    auto renderer = QCRenderer::offScreenRendererWithSize(CGSizeMake(64, 64), nullptr, Open(xml, &error), &error);
    EXPECT_NE(renderer, nullptr) << error;
    return renderer;
}

Snapshot RenderParticles(QCRenderer &renderer, double seed, const std::vector<double> &times) {
    renderer.setValue(QCValue(seed), "seed");
    for (double t : times)
        if (!renderer.renderAtTime(t)) return ADD_FAILURE() << renderer.lastError(), Snapshot{};
    return Read(renderer);
}

// Pixels lit by the particles (the corner sprite's left out).
int LitPixels(const Snapshot &s) {
    int lit = 0;
    for (size_t y = 0; y < 56; ++y)
        for (size_t x = 0; x < 56; ++x) lit += s.rgba(x, y)[0] + s.rgba(x, y)[1] + s.rgba(x, y)[2] > 0;
    return lit;
}

TEST(QCUtilityPatches, ParticlesDependOnTheSeedAndTheTimeOnly) {
    struct Case {
        const char *name;
        std::string imageNode;
        std::array<int, 3> channels;  // which of red, green, blue the particles light
    } cases[] = {
        {"soft dots", "", {1, 1, 1}},
        {"a sprite image",
         Node("Source", "QCImageKernel",
              Kernel("kernel vec4 green() { return vec4(0.0, 1.0, 0.0, 1.0); }",
                     "<real>0</real><real>0</real><real>8</real><real>8</real>")),
         {0, 1, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        auto first = Particles(c.imageNode), second = Particles(c.imageNode);
        ASSERT_TRUE(first && second);
        // Frames rendered before do not change a frame: only the seed and the time do.
        const Snapshot a = RenderParticles(*first, 7, {0.1, 0.5, 1.3});
        const Snapshot b = RenderParticles(*second, 7, {1.3});
        ASSERT_EQ(a.width, 64u);
        EXPECT_EQ(a.bytes, b.bytes);
        EXPECT_GT(LitPixels(a), 40);
        const Snapshot other = RenderParticles(*second, 8, {1.3});
        EXPECT_NE(a.bytes, other.bytes);
        EXPECT_GT(LitPixels(other), 40);
        const Snapshot later = RenderParticles(*second, 7, {1.35});
        EXPECT_NE(a.bytes, later.bytes);
        int unlitChannels = 0;
        for (size_t y = 0; y < 56; ++y)
            for (size_t x = 0; x < 56; ++x)
                for (size_t k = 0; k < 3; ++k) unlitChannels += c.channels[k] || a.rgba(x, y)[k] == 0;
        EXPECT_EQ(unlitChannels, 56 * 56 * 3) << "only the image's colour is lit";
        // The sprite drawn after the particles, with the GL state they leave.
        EXPECT_EQ(a.rgba(61, 61), (std::array<int, 4>{255, 0, 0, 255}));
        EXPECT_EQ(a.rgba(50, 61), (std::array<int, 4>{0, 0, 0, 255}));
    }
    // A count beyond the maximum is drawn as the maximum, quickly.
    auto many = Particles();
    ASSERT_TRUE(many);
    many->setValue(QCValue(1e12), "count");
    EXPECT_TRUE(many->renderAtTime(2)) << many->lastError();
}

} // namespace
