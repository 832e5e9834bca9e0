// The composition engine: reading and refusing files, evaluation order and memoisation,
// published ports, and real pixels from kernel chains drawn by billboards.
#include <QuartzComposer/QCPatch.h>
#include <QuartzComposer/QCRenderer.h>

#include "QCTestSupport.h"

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGDataProvider.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace qc_test;







// A patch that counts its runs and doubles its input.
std::atomic<int> gRuns{0};
class Counting : public QCPatch {
public:
    Counting() {
        addInputPort("inputValue", QCPortType::Number, QCValue(1.0));
        addOutputPort("outputValue", QCPortType::Number);
    }
    bool execute(QCPatchContext &c) override {
        ++gRuns;
        c.setOutput("outputValue", 2 * c.input("inputValue").numberValue());
        return true;
    }
};
// A consumer that records the order in which consumers draw, and what it was given.
std::vector<std::string> gDrawn;
class Recording : public QCPatch {
public:
    explicit Recording(std::string name) : m_name(std::move(name)) {
        addInputPort("inputValue", QCPortType::Number, QCValue(0.0));
    }
    bool isConsumer() const override { return true; }
    bool execute(QCPatchContext &c) override {
        char text[64];
        std::snprintf(text, sizeof text, "%s=%g", m_name.c_str(), c.input("inputValue").numberValue());
        gDrawn.push_back(text);
        return true;
    }

private:
    std::string m_name;
};

void RegisterTestPatches() {
    QCRegisterPatchClass("TestCounting", [](const QCCompositionNode &, std::string *) { return std::make_unique<Counting>(); });
    QCRegisterPatchClass("TestRecording",
                         [](const QCCompositionNode &node, std::string *) { return std::make_unique<Recording>(node.key); });
}

TEST(QCComposition, FilesTheEngineCannotPlayAreRefusedNamingTheNode) {
    RegisterTestPatches();
    struct Case {
        const char *name;
        std::string xml;
        const char *mentions;
    } cases[] = {
        {"not a property list", "hello", "property list"},
        {"an array at the top", "<plist version=\"1.0\"><array/></plist>", "top level"},
        {"no root patch", "<plist version=\"1.0\"><dict/></plist>", "rootPatch"},
        {"an unknown class", Composition(Node("Mystery_1", "QCNoSuchPatch")), "Mystery_1"},
        {"two nodes with one key", Composition(Node("A", "TestCounting") + Node("A", "TestCounting")), "\"A\""},
        {"a node without key", Composition("<dict><key>class</key><string>QCClear</string></dict>"), "key"},
        {"a cycle",
         Composition(Node("A", "TestCounting") + Node("B", "TestCounting"),
                     Wire("w1", "A", "outputValue", "B", "inputValue") + Wire("w2", "B", "outputValue", "A", "inputValue")),
         "cycle"},
        {"a wire from a missing port",
         Composition(Node("A", "TestCounting") + Node("B", "TestCounting"), Wire("w", "A", "nope", "B", "inputValue")),
         "nope"},
        {"a wire to a missing node", Composition(Node("A", "TestCounting"), Wire("w", "A", "outputValue", "Z", "inputValue")),
         "does not exist"},
        {"a published input on no port", Composition(Node("A", "TestCounting"), "", Published("x", "A", "nope")), "\"x\""},
        {"a splitter of an unknown type",
         Composition(Node("S", "QCSplitter", "<key>portClass</key><string>QCFooPort</string>")), "\"S\""},
        {"a kernel that does not translate", Composition(Node("K", "QCImageKernel", Kernel("kernel float k() {}"))),
         "\"K\""},
        {"a filter nobody registered", Composition(Node("F", "QCImageFilter", "", "CINoSuchFilter")), "CINoSuchFilter"},
        {"a state that is not a dictionary",
         Composition("<dict><key>key</key><string>A</string><key>class</key><string>QCClear</string>"
                     "<key>state</key><array/></dict>"),
         "\"A\""},
    };
    for (const Case &c : cases) {
        std::string error;
        EXPECT_EQ(Open(c.xml, &error), nullptr) << c.name;
        EXPECT_NE(error.find(c.mentions), std::string::npos) << c.name << ": " << error;
    }
}

TEST(QCComposition, KeysAndAttributesComeFromTheFile) {
    RegisterTestPatches();
    QCCompositionRef composition =
        Open(Composition(Node("A", "TestCounting") + Node("B", "TestCounting"), "",
                         Published("amount", "A", "inputValue") + Published("other", "B", "inputValue"),
                         Published("result", "B", "outputValue")));
    ASSERT_NE(composition, nullptr);
    EXPECT_EQ(composition->inputKeys(), (std::vector<std::string>{"amount", "other"}));
    EXPECT_EQ(composition->outputKeys(), (std::vector<std::string>{"result"}));
    EXPECT_EQ(composition->attributes().name, "Test");
    EXPECT_EQ(composition->attributes().description, "A test");
}

TEST(QCRenderer, ProcessorsRunOncePerFrameAndConsumersDrawByLayer) {
    RegisterTestPatches();
    // A feeds B and C; B feeds the two consumers, drawn in ascending layer (ties in node order).
    const std::string xml = Composition(
        Node("Late", "TestRecording", "<key>layer</key><integer>5</integer>") + Node("A", "TestCounting") +
            Node("B", "TestCounting") + Node("C", "TestCounting") +
            Node("Early", "TestRecording", "<key>layer</key><integer>1</integer>") +
            Node("AlsoEarly", "TestRecording", "<key>layer</key><integer>1</integer>"),
        Wire("a", "A", "outputValue", "B", "inputValue") + Wire("b", "A", "outputValue", "C", "inputValue") +
            Wire("c", "B", "outputValue", "Late", "inputValue") + Wire("d", "B", "outputValue", "Early", "inputValue"),
        Published("start", "A", "inputValue"), Published("fromC", "C", "outputValue"));
    std::string error;
    auto renderer = QCRenderer::offScreenRendererWithSize(CGSizeMake(8, 8), nullptr, Open(xml), &error);
    ASSERT_NE(renderer, nullptr) << error;
    gRuns = 0;
    gDrawn.clear();
    ASSERT_TRUE(renderer->renderAtTime(0)) << renderer->lastError();
    EXPECT_EQ(gRuns.load(), 3) << "A, B and C each run once";
    EXPECT_EQ(gDrawn, (std::vector<std::string>{"Early=4", "AlsoEarly=0", "Late=4"}));
    EXPECT_EQ(renderer->valueForOutputKey("fromC").numberValue(), 4);
    // A published input keeps its value over frames until set again.
    EXPECT_TRUE(renderer->setValue(QCValue(3.0), "start"));
    EXPECT_FALSE(renderer->setValue(QCValue(3.0), "unpublished"));
    for (int frame = 0; frame < 2; ++frame) {
        gDrawn.clear();
        ASSERT_TRUE(renderer->renderAtTime(frame));
        EXPECT_EQ(gDrawn.front(), "Early=12");
        EXPECT_EQ(renderer->valueForOutputKey("fromC").numberValue(), 12);
    }
    EXPECT_EQ(renderer->valueForInputKey("start").numberValue(), 3);
    // A string input on a number port reads as that number; one that is not stays the default.
    renderer->setValue(QCValue("5"), "start");
    gDrawn.clear();
    ASSERT_TRUE(renderer->renderAtTime(2));
    EXPECT_EQ(gDrawn.front(), "Early=20");
}



TEST(QCRenderer, ABillboardOfAKernelChainDrawsTheExpectedPixels) {
    // A generator kernel over a colour, then a kernel mixing it with grey by the effect amount,
    // drawn full size over a cleared destination.
    const std::string xml = Composition(
        Node("Clear", "QCClear", "<key>layer</key><integer>0</integer>") +
            Node("Colour", "QCImageKernel",
                 Kernel("kernel vec4 solid(__color c) { return c; }") +
                     "<key>extent</key><array><real>0</real><real>0</real><real>16</real><real>8</real></array>"
                     "<key>inputValues</key><dict><key>c</key><dict><key>red</key><real>1</real><key>green</key>"
                     "<real>0.5</real><key>blue</key><real>0</real></dict></dict>") +
            Node("Mix", "QCImageKernel",
                 Kernel("kernel vec4 amount(sampler image, float inputEffectAmount) {\n"
                        "  vec4 p = sample(image, samplerCoord(image));\n"
                        "  return mix(p, vec4(0.2, 0.2, 0.2, 1.0), inputEffectAmount);\n}")) +
            Node("Billboard", "QCBillboard", "<key>layer</key><integer>1</integer>"),
        Wire("w1", "Colour", "outputImage", "Mix", "image") + Wire("w2", "Mix", "outputImage", "Billboard", "inputImage"),
        Published("inputEffectAmount", "Mix", "inputEffectAmount"));
    std::string error;
    auto renderer = QCRenderer::offScreenRendererWithSize(CGSizeMake(16, 8), nullptr, Open(xml, &error), &error);
    ASSERT_NE(renderer, nullptr) << error;
    struct Case {
        double amount;
        std::array<int, 4> rgba;
    } cases[] = {{0, {255, 128, 0, 255}}, {1, {51, 51, 51, 255}}, {0.5, {153, 89, 25, 255}}};
    for (const Case &c : cases) {
        ASSERT_TRUE(renderer->setValue(QCValue(c.amount), "inputEffectAmount"));
        ASSERT_TRUE(renderer->renderAtTime(0)) << renderer->lastError();
        const Snapshot s = Read(*renderer);
        ASSERT_EQ(s.width, 16u);
        for (size_t y = 0; y < 8; y += 7)
            for (size_t x = 0; x < 16; x += 5) {
                const auto got = s.rgba(x, y);
                for (int k = 0; k < 4; ++k)
                    EXPECT_NEAR(got[size_t(k)], c.rgba[size_t(k)], 1) << "amount " << c.amount << " at " << x << "," << y;
            }
    }
    // The snapshot as an image of its own.
    CIImageRef image = renderer->createSnapshotCIImage();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->extent().size.width, 16);
}

TEST(QCRenderer, ABillboardPlacesScalesAndBlendsItsImage) {
    // A red 4 x 4 image drawn half the destination wide, centred at x = 0.5 unit, over blue.
    const std::string xml = Composition(
        Node("Clear", "QCClear",
             "<key>inputValues</key><dict><key>inputColor</key><dict><key>red</key><real>0</real><key>green</key>"
             "<real>0</real><key>blue</key><real>1</real><key>alpha</key><real>1</real></dict></dict>") +
            Node("Red", "QCImageKernel",
                 Kernel("kernel vec4 red() { return vec4(0.5, 0.0, 0.0, 0.5); }") +
                     "<key>extent</key><array><real>0</real><real>0</real><real>4</real><real>4</real></array>") +
            Node("Billboard", "QCBillboard",
                 "<key>layer</key><integer>1</integer><key>inputValues</key><dict><key>inputX</key><real>0.5</real>"
                 "<key>inputScale</key><real>1</real></dict>"),
        Wire("w", "Red", "outputImage", "Billboard", "inputImage"), Published("blending", "Billboard", "inputBlending"));
    std::string error;
    auto renderer = QCRenderer::offScreenRendererWithSize(CGSizeMake(32, 32), nullptr, Open(xml, &error), &error);
    ASSERT_NE(renderer, nullptr) << error;
    struct Case {
        double blending;
        std::array<int, 4> inside;
    } cases[] = {{0, {128, 0, 0, 128}}, {1, {128, 0, 128, 255}}, {2, {128, 0, 255, 255}}};
    for (const Case &c : cases) {
        renderer->setValue(QCValue(c.blending), "blending");
        ASSERT_TRUE(renderer->renderAtTime(0)) << renderer->lastError();
        const Snapshot s = Read(*renderer);
        // Units are 16 pixels: the image covers x 16..32, y 8..24.
        for (const auto &[x, y] : std::vector<std::pair<size_t, size_t>>{{17, 9}, {30, 22}})
            for (int k = 0; k < 4; ++k) EXPECT_NEAR(s.rgba(x, y)[size_t(k)], c.inside[size_t(k)], 1) << c.blending;
        for (const auto &[x, y] : std::vector<std::pair<size_t, size_t>>{{14, 16}, {20, 6}, {20, 25}})
            EXPECT_EQ(s.rgba(x, y), (std::array<int, 4>{0, 0, 255, 255})) << c.blending << " at " << x << "," << y;
    }
}

TEST(QCRenderer, RendersOnAContextOnlyWhenItIsCurrent) {
    const std::string xml = Composition(Node("Clear", "QCClear"));
    const CGLPixelFormatAttribute attributes[] = {kCGLPFAColorSize, CGLPixelFormatAttribute(24), CGLPixelFormatAttribute(0)};
    CGLPixelFormatObj format = nullptr;
    GLint count = 0;
    ASSERT_EQ(CGLChoosePixelFormat(attributes, &format, &count), kCGLNoError);
    CGLContextObj context = nullptr;
    ASSERT_EQ(CGLCreateContext(format, nullptr, &context), kCGLNoError);
    auto renderer = QCRenderer::rendererWithCGLContext(context, format, nullptr, Open(xml));
    ASSERT_NE(renderer, nullptr);
    EXPECT_FALSE(renderer->renderAtTime(0)) << "no context current";
    EXPECT_FALSE(renderer->lastError().empty());
    ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);
    GLuint texture = 0, framebuffer = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 4, 4, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glViewport(0, 0, 4, 4);
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(renderer->renderAtTime(0)) << renderer->lastError();
    uint8_t pixel[4];
    glReadPixels(1, 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ((std::array<int, 4>{pixel[0], pixel[1], pixel[2], pixel[3]}), (std::array<int, 4>{0, 0, 0, 255}));
    renderer.reset();
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
    CGLSetCurrentContext(nullptr);
    CGLReleaseContext(context);
    CGLReleasePixelFormat(format);
}

} // namespace
