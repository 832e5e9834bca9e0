// The application's own compositions, as the build puts them in the bundle's resources:
// each opens with the ports its callers use and draws what it is for at 640 x 480.
#include <QuartzComposer/QCRenderer.h>

#include <CoreFoundation/CFData.h>
#include <CoreGraphics/CGDataProvider.h>
#include <OpenGL/OpenGL.h>

#include "platform/QuartzComposer/QCTestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace {

using qc_test::Read;
using qc_test::Snapshot;

QCCompositionRef Open(const std::string &name) {
    std::string error;
    QCCompositionRef composition = QCComposition::compositionWithFile(std::string(LUMORA_APP_RESOURCES) + "/" + name, &error);
    EXPECT_NE(composition, nullptr) << name << ": " << error;
    return composition;
}



std::unique_ptr<QCRenderer> Renderer(const std::string &name) {
    std::string error;
    auto renderer = QCRenderer::offScreenRendererWithSize(CGSizeMake(640, 480), nullptr, Open(name), &error);
    EXPECT_NE(renderer, nullptr) << name << ": " << error;
    return renderer;
}

TEST(AppCompositions, EachOpensWithThePortsItsCallersUse) {
    struct Case {
        const char *name;
        std::vector<std::string> inputs, outputs;
    } cases[] = {
        {"iSight.qtz", {}, {}},
        {"nothing.qtz", {}, {}},
        {"com.tarvex.Gradients.qtz",
         {"inputGradientType", "inputColor1", "inputColor2", "input_X0_normal", "input_Y0_normal", "input_X1_normal",
          "input_Y1_normal"},
         {}},
        {"com.tarvex.TintMask.qtz", {"_protocolInput_Image"}, {"_protocolOutput_Image"}},
    };
    for (const Case &c : cases) {
        QCCompositionRef composition = Open(c.name);
        ASSERT_NE(composition, nullptr);
        EXPECT_EQ(composition->inputKeys(), c.inputs) << c.name;
        EXPECT_EQ(composition->outputKeys(), c.outputs) << c.name;
    }
    // The camera is the node an effect's rewriting looks for.
    QCCompositionRef camera = Open("iSight.qtz");
    ASSERT_NE(camera, nullptr);
    const int node = camera->nodeIndex("VideoInput_1");
    ASSERT_GE(node, 0);
    EXPECT_EQ(camera->nodes()[size_t(node)].className, "QCVideoInput");
}

TEST(AppCompositions, TheCameraCompositionShowsTheVideoInputFullFrame) {
    auto renderer = Renderer("iSight.qtz");
    ASSERT_NE(renderer, nullptr);
    ASSERT_TRUE(renderer->renderAtTime(0)) << renderer->lastError();
    const Snapshot picture = Read(*renderer);
    ASSERT_EQ(picture.width, 640u);
    ASSERT_EQ(picture.height, 480u);
    // The test image: eight colour bars over the top two thirds, a grey ramp below.
    const std::array<int, 4> bars[8] = {{255, 255, 255, 255}, {255, 255, 0, 255}, {0, 255, 255, 255},
                                        {0, 255, 0, 255},     {255, 0, 255, 255}, {255, 0, 0, 255},
                                        {0, 0, 255, 255},     {0, 0, 0, 255}};
    for (size_t bar = 0; bar < 8; ++bar)
        for (size_t y : {170u, 300u, 479u}) {
            EXPECT_EQ(picture.rgba(bar * 80 + 2, y), bars[bar]) << "bar " << bar << " at y " << y;
            EXPECT_EQ(picture.rgba(bar * 80 + 77, y), bars[bar]) << "bar " << bar << " at y " << y;
        }
    for (size_t x : {0u, 160u, 320u, 639u}) {
        const int grey = int(x * 255 / 639);
        const std::array<int, 4> got = picture.rgba(x, 60);
        for (int k = 0; k < 3; ++k) EXPECT_NEAR(got[size_t(k)], grey, 1) << "ramp at x " << x;
        EXPECT_EQ(got[3], 255);
    }
}

TEST(AppCompositions, NothingRendersTransparentOverWhatWasThere) {
    // On a context, into a framebuffer filled with opaque white first.
    std::string error;
    const CGLPixelFormatAttribute attributes[] = {kCGLPFAColorSize, CGLPixelFormatAttribute(24), kCGLPFAAlphaSize,
                                                  CGLPixelFormatAttribute(8), CGLPixelFormatAttribute(0)};
    CGLPixelFormatObj format = nullptr;
    GLint count = 0;
    ASSERT_EQ(CGLChoosePixelFormat(attributes, &format, &count), kCGLNoError);
    CGLContextObj context = nullptr;
    ASSERT_EQ(CGLCreateContext(format, nullptr, &context), kCGLNoError);
    auto renderer = QCRenderer::rendererWithCGLContext(context, format, nullptr, Open("nothing.qtz"), &error);
    ASSERT_NE(renderer, nullptr) << error;
    ASSERT_EQ(CGLSetCurrentContext(context), kCGLNoError);
    GLuint texture = 0, framebuffer = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 640, 480, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glViewport(0, 0, 640, 480);
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_TRUE(renderer->renderAtTime(0)) << renderer->lastError();
    std::vector<uint8_t> pixels(size_t(640) * 480 * 4, 0xAB);
    glReadPixels(0, 0, 640, 480, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    size_t opaque = 0;
    for (uint8_t byte : pixels) opaque += byte != 0;
    EXPECT_EQ(opaque, 0u) << "every byte of every pixel is zero";
    renderer.reset();
    glDeleteFramebuffers(1, &framebuffer);
    glDeleteTextures(1, &texture);
    CGLSetCurrentContext(nullptr);
    CGLReleaseContext(context);
    CGLReleasePixelFormat(format);
}

TEST(AppCompositions, GradientsRunBetweenTheirTwoPointsLinearlyOrRadially) {
    auto renderer = Renderer("com.tarvex.Gradients.qtz");
    ASSERT_NE(renderer, nullptr);
    const CIColor red = CIColor::colorWithRed(1, 0, 0, 1), blue = CIColor::colorWithRed(0, 0, 1, 1);
    using Pixel = std::array<int, 4>;
    struct Probe {
        size_t x, y;
        Pixel rgba;
    };
    const Pixel purple{128, 0, 128, 255};
    struct Case {
        const char *name;
        int type;
        CIColor color2;
        double x0, y0, x1, y1;
        std::vector<Probe> probes;
    } cases[] = {
        // Horizontal, from a quarter to three quarters across: constant beyond the ends and
        // along each column.
        {"linear across", 0, blue, 0.25, 0.5, 0.75, 0.5,
         {{160, 240, {255, 0, 0, 255}}, {480, 240, {0, 0, 255, 255}}, {320, 10, purple}, {320, 470, purple},
          {400, 100, {64, 0, 191, 255}}, {20, 400, {255, 0, 0, 255}}, {630, 20, {0, 0, 255, 255}}}},
        // Upwards: the normalised y runs from the bottom of the picture.
        {"linear up", 0, blue, 0.5, 0.1, 0.5, 0.9,
         {{100, 48, {255, 0, 0, 255}}, {600, 432, {0, 0, 255, 255}}, {10, 240, purple}, {5, 5, {255, 0, 0, 255}}}},
        // Centred, reaching a quarter of the width: circles, also in y.
        {"radial", 1, blue, 0.5, 0.5, 0.75, 0.5,
         {{320, 240, {255, 0, 0, 255}}, {400, 240, purple}, {240, 240, purple}, {320, 320, purple}, {320, 160, purple},
          {480, 240, {0, 0, 255, 255}}, {0, 0, {0, 0, 255, 255}}, {639, 479, {0, 0, 255, 255}}}},
        // A translucent second colour keeps its alpha (premultiplied in the picture).
        {"radial to translucent", 1, CIColor::colorWithRed(0, 0, 1, 0.5), 0.5, 0.5, 0.75, 0.5,
         {{320, 240, {255, 0, 0, 255}}, {600, 20, {0, 0, 128, 128}}}},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(renderer->setValue(QCValue(c.type), "inputGradientType"));
        ASSERT_TRUE(renderer->setValue(QCValue(red), "inputColor1"));
        ASSERT_TRUE(renderer->setValue(QCValue(c.color2), "inputColor2"));
        ASSERT_TRUE(renderer->setValue(QCValue(c.x0), "input_X0_normal"));
        ASSERT_TRUE(renderer->setValue(QCValue(c.y0), "input_Y0_normal"));
        ASSERT_TRUE(renderer->setValue(QCValue(c.x1), "input_X1_normal"));
        ASSERT_TRUE(renderer->setValue(QCValue(c.y1), "input_Y1_normal"));
        ASSERT_TRUE(renderer->renderAtTime(0)) << renderer->lastError();
        const Snapshot picture = Read(*renderer);
        ASSERT_EQ(picture.width, 640u);
        for (const Probe &p : c.probes) {
            const Pixel got = picture.rgba(p.x, p.y);
            for (size_t k = 0; k < 4; ++k)
                EXPECT_NEAR(got[k], p.rgba[k], 2) << c.name << " at " << p.x << "," << p.y << " channel " << k;
        }
    }
}

TEST(AppCompositions, TheTintMaskPassesItsImageThrough) {
    auto renderer = Renderer("com.tarvex.TintMask.qtz");
    ASSERT_NE(renderer, nullptr);
    // Rendered without an input image first (a filter unit that has none yet).
    ASSERT_TRUE(renderer->renderAtTime(0)) << renderer->lastError();
    EXPECT_EQ(renderer->valueForOutputKey("_protocolOutput_Image").imageValue(), nullptr);

    const std::vector<uint8_t> bytes = {10, 20, 30, 255, 40, 50, 60, 255, 70, 80, 90, 128, 0, 0, 0, 0};
    CFDataRef data = CFDataCreate(nullptr, bytes.data(), CFIndex(bytes.size()));
    CIImageRef image = CIImage::imageWithBitmapData(data, 8, CGSizeMake(2, 2), kCIFormatBGRA8);
    CFRelease(data);
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(renderer->setValue(QCValue(image), "_protocolInput_Image"));
    for (double time : {0.0, 1.0}) {
        ASSERT_TRUE(renderer->renderAtTime(time)) << renderer->lastError();
        EXPECT_EQ(renderer->valueForOutputKey("_protocolOutput_Image").imageValue(), image) << "the same image at " << time;
    }
}

}  // namespace
