// The render buffer: which published inputs a composition gets, the camera image it is fed (the
// three choices), the mouse point, the 1-D strengths, a failed open, and the pixels of a real
// effect rendered from a camera image into the buffer's texture.
#include <LumoraApp/LumoraRenderBuffer.h>

#include <AppKit/NSButton.h>
#include <CocoaGL/NSOGL1DTextureView.h>
#include <CocoaGL/NSOGLTextureMatrixController.h>
#include <CocoaQZ/QuartzCore/QTZPropertyDictionary.h>

#include <gtest/gtest.h>

#include <QFile>

#include <memory>
#include <string>
#include <vector>

#include "FrameTestSupport.h"
#include "TextureTestSupport.h"
#include "sdk/CocoaQZ/CompositionTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

using namespace cocoaqz_test;
using texture_test::TexturePixel;

namespace {

const char *const kAllInputs[] = {"inputEffectAmount",
                                  "inputEffectTime",
                                  "advancedInputEffectFrequency",
                                  "advancedInputEffectTexture1DY",
                                  "advancedInputEffectTexture1DYAmount",
                                  "advancedInputEffectTexture1DX",
                                  "advancedInputEffectTexture1DXAmount"};

bool IsImageKey(const std::string &key) { return key.find("Texture1D") != std::string::npos && key.back() != 't'; }

// The camera drawn over the whole picture through a splitter published as "cameraImage", an
// optional kernel between them (parameters: the image, then "amount"), and one splitter
// published under each of `inputs`.
std::string CameraComposition(const std::vector<std::string> &inputs, const std::string &kernel = "") {
    std::string nodes = Node("VideoInput_1", "QCSplitter", "<key>portClass</key><string>QCGLImagePort</string>") +
                        Node("Billboard_1", "QCBillboard", "<key>layer</key><integer>1</integer>");
    std::string wires, published = Published("cameraImage", "VideoInput_1", "input");
    if (kernel.empty()) {
        wires = Wire("camera", "VideoInput_1", "output", "Billboard_1", "inputImage");
    } else {
        nodes += Node("Effect", "QCImageKernel", Kernel(kernel));
        wires = Wire("camera", "VideoInput_1", "output", "Effect", "image") +
                Wire("effect", "Effect", "outputImage", "Billboard_1", "inputImage");
    }
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string node = "Input_" + std::to_string(i);
        const char *port = IsImageKey(inputs[i]) ? "QCGLImagePort" : "QCNumberPort";
        nodes += Node(node, "QCSplitter", std::string("<key>portClass</key><string>") + port + "</string>");
        published += Published(inputs[i], node, "input");
        if (!kernel.empty() && inputs[i] == "inputEffectAmount")
            wires += Wire("amount", node, "output", "Effect", "amount");
    }
    return Composition(nodes, wires, published);
}

// Mixes the picture towards its inverse by the amount.
const char kInvertKernel[] =
    "kernel vec4 invertBy(sampler image, float amount) {\n"
    "  vec4 c = sample(image, samplerCoord(image));\n"
    "  return vec4(mix(c.rgb, vec3(c.a) - c.rgb, amount), c.a);\n"
    "}\n";

class RenderBufferTest : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ASSERT_TRUE(import_LumoraRenderBuffer());
        ASSERT_TRUE(buffer->isInitialized());
        textureOn->setState(1);
        matrix->set_textureEnabled(textureOn);
        panel.setLayerMatrixController(matrix);
        panel.outletLayerQuickFlipX = flipX;
        buffer->setLayerController(&panel);
        buffer->setInterpolationController(&tweening);
        buffer->setX1DTextureView(&filterX);
        buffer->setY1DTextureView(&filterY);
        tweening.resetDefaultValues();
    }
    void TearDown() override {
        buffer.reset();
        for (CGImageRef image : images) CGImageRelease(image);
    }

    void Open(const std::string &xml) {
        CFDataRef data = CreateData(xml);
        buffer->openCompositionData(data);
        CFRelease(data);
    }
    CGImageRef Solid(uint8_t red, uint8_t green, uint8_t blue) {
        images.push_back(frame_test::SolidCGImage(64, 48, red, green, blue));
        return images.back();
    }
    CIImageRef SolidCI(uint8_t red, uint8_t green, uint8_t blue) { return CIImage::imageWithCGImage(Solid(red, green, blue)); }
    QCValue Input(const std::string &key) {
        return buffer->cameraLayerTexture()->composition()->renderer()->valueForInputKey(key);
    }
    Pixel Centre() { return TexturePixel(*buffer, 320, 240); }

    NSOGLTextureLayerViewNibbler panel;
    NSButton *textureOn = new NSButton(&panel);
    NSButton *flipX = new NSButton(&panel);
    NSOGLTextureMatrixController *matrix = new NSOGLTextureMatrixController(&panel);
    LumoraInterpolationController tweening;
    NSOGLTexture1DViewNibbler filterX, filterY;
    std::unique_ptr<LumoraRenderBuffer> buffer = std::make_unique<LumoraRenderBuffer>();
    std::vector<CGImageRef> images;
};

TEST_F(RenderBufferTest, OnlyThePublishedInputsAreSet) {
    struct Case {
        const char *name;
        std::vector<std::string> inputs;
    };
    const Case cases[] = {
        {"only the camera image", {}},
        {"the horizontal filter without its amount", {"advancedInputEffectTexture1DX"}},
        {"the vertical amount alone", {"advancedInputEffectTexture1DYAmount"}},
        {"every input", std::vector<std::string>(std::begin(kAllInputs), std::end(kAllInputs))},
    };
    tweening.setInputEffectAmountNormal(0.25);
    tweening.setInputEffectParameterNormal(0.75);
    tweening.setAutomaticEffectTime(false);
    tweening.setInputEffectTimeNormal(0.125);
    buffer->setInputEffectTex1DYAmount(0.375);
    buffer->setInputEffectTex1DXAmount(0.625);
    buffer->setInputCameraImage(SolidCI(10, 20, 30));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Open(CameraComposition(c.inputs));
        ASSERT_TRUE(buffer->isCompositionOpen());
        auto published = [&c](const char *key) {
            return std::find(c.inputs.begin(), c.inputs.end(), key) != c.inputs.end();
        };
        EXPECT_EQ(buffer->hasInputEffectAmount(), published("inputEffectAmount"));
        EXPECT_EQ(buffer->hasInputEffectTime(), published("inputEffectTime"));
        EXPECT_EQ(buffer->hasInputEffectParameter(), published("advancedInputEffectFrequency"));
        EXPECT_EQ(buffer->hasInputEffectTex1DY(), published("advancedInputEffectTexture1DY"));
        EXPECT_EQ(buffer->hasInputEffectTex1DYAmount(), published("advancedInputEffectTexture1DYAmount"));
        EXPECT_EQ(buffer->hasInputEffectTex1DX(), published("advancedInputEffectTexture1DX"));
        EXPECT_EQ(buffer->hasInputEffectTex1DXAmount(), published("advancedInputEffectTexture1DXAmount"));

        ASSERT_TRUE(buffer->textureUpdateWithTime(2.0));
        EXPECT_DOUBLE_EQ(buffer->lastUpdateTime(), 2.0);
        EXPECT_TRUE(Input("cameraImage").isImage());
        const QCRenderArguments arguments = buffer->cameraLayerTexture()->composition()->rendererArguments();
        EXPECT_TRUE(arguments.hasMouseLocation) << "the mouse is put in the centre when a composition opens";
        EXPECT_DOUBLE_EQ(arguments.mouseLocation.x, 0.5);
        const std::vector<std::string> keys = buffer->cameraLayerTexture()->composition()->renderer()->inputKeys();
        EXPECT_EQ(keys.size(), c.inputs.size() + 1);
        const double expected[] = {0.25, 0.125, 0.75, 0, 0.375, 0, 0.625};
        for (size_t i = 0; i < std::size(kAllInputs); ++i) {
            if (!published(kAllInputs[i])) continue;
            SCOPED_TRACE(kAllInputs[i]);
            if (IsImageKey(kAllInputs[i])) {
                EXPECT_TRUE(Input(kAllInputs[i]).isImage());
            } else {
                EXPECT_NEAR(Input(kAllInputs[i]).numberValue(-1), expected[i], 1e-6);
            }
        }
    }
    buffer->closeComposition();
    EXPECT_FALSE(buffer->isCompositionOpen());
    EXPECT_FALSE(buffer->hasInputEffectAmount());
    EXPECT_FALSE(buffer->hasInputEffectTex1DY());
    EXPECT_TRUE(buffer->textureUpdateWithTime(3.0)) << "a closed buffer still renders";
}

TEST_F(RenderBufferTest, TheCameraImageIsTheFramesThenTheCoreImageThenTheBitmap) {
    Open(CameraComposition({}));
    ASSERT_TRUE(buffer->isCompositionOpen());
    CGImageRef red = Solid(255, 0, 0), blue = Solid(0, 0, 255);
    const CIImageRef green = SolidCI(0, 255, 0), yellow = SolidCI(255, 255, 0);
    const CamInputFrameRef empty = CamInputFrame::camInputFrameWithFrameImage(nullptr);
    const CamInputFrameRef bitmapFrame = CamInputFrame::camInputFrameWithFrameImageRefSourceCamInputFrame(red, empty);
    const CamInputFrameRef imageFrame = CamInputFrame::camInputFrameWithFrameImage(yellow);
    struct Case {
        const char *name;
        CamInputFrameRef frame;
        CIImageRef image;
        CGImageRef bitmap;
        Pixel expected;
    };
    const Case cases[] = {
        {"the frame's bitmap first", bitmapFrame, green, blue, {255, 0, 0, 255}},
        {"a frame's Core Image picture", imageFrame, green, blue, {255, 255, 0, 255}},
        {"a frame without picture gives way to the image", empty, green, blue, {0, 255, 0, 255}},
        {"the image before the bitmap", nullptr, green, blue, {0, 255, 0, 255}},
        {"the bitmap last", nullptr, nullptr, blue, {0, 0, 255, 255}},
        {"nothing keeps the last picture", empty, nullptr, nullptr, {0, 0, 255, 255}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        buffer->setInputCameraFrame(c.frame);
        buffer->setInputCameraImage(c.image);
        buffer->setInputCameraImageRef(c.bitmap);
        EXPECT_EQ(buffer->hasCameraImageForInputPublishedPort(), c.image != nullptr || c.bitmap != nullptr ||
                                                                     (c.frame != nullptr && c.frame->hasFrameImage()));
        buffer->lock();
        EXPECT_TRUE(buffer->textureUpdateWithTime(1.0));
        buffer->unlock();
        EXPECT_TRUE(Near(Centre(), c.expected, 2)) << Centre()[0] << "," << Centre()[1] << "," << Centre()[2] << ","
                                                   << Centre()[3];
    }
    CGImageRef copy = buffer->inputCameraImageRefCopy();
    EXPECT_EQ(copy, nullptr);
    const CFIndex held = CFGetRetainCount(blue);
    buffer->setInputCameraImageRef(blue);
    copy = buffer->inputCameraImageRefCopy();
    EXPECT_EQ(copy, blue);
    EXPECT_EQ(CFGetRetainCount(blue), held + 2);
    CGImageRelease(copy);
    buffer->setInputCameraImageRef(nullptr);
    EXPECT_EQ(CFGetRetainCount(blue), held);
}

TEST_F(RenderBufferTest, AnEffectRendersTheCameraImageWithTheTweenedAmount) {
    Open(CameraComposition({"inputEffectAmount"}, kInvertKernel));
    ASSERT_TRUE(buffer->isCompositionOpen());
    ASSERT_TRUE(buffer->hasInputEffectAmount());
    buffer->setInputCameraImage(SolidCI(255, 64, 0));
    struct Case {
        double amount;
        Pixel expected;
    };
    for (const Case &c : {Case{0.0, {255, 64, 0, 255}}, Case{1.0, {0, 191, 255, 255}}, Case{0.5, {128, 128, 128, 255}}}) {
        SCOPED_TRACE(c.amount);
        tweening.setInputEffectAmountNormal(c.amount);
        buffer->lock();
        EXPECT_TRUE(buffer->textureUpdateWithTime(0.5));
        buffer->unlock();
        EXPECT_TRUE(Near(Centre(), c.expected, 2)) << Centre()[0] << "," << Centre()[1] << "," << Centre()[2];
        EXPECT_TRUE(Near(TexturePixel(*buffer, 1, 1), c.expected, 2)) << "the whole buffer is covered";
        EXPECT_TRUE(Near(TexturePixel(*buffer, 638, 478), c.expected, 2));
    }
}

TEST_F(RenderBufferTest, DataThatDoesNotOpenIsLoggedAndTheBufferGoesOnRendering) {
    Open(CameraComposition({"inputEffectAmount"}));
    ASSERT_TRUE(buffer->hasInputEffectAmount());
    buffer->setInputCameraImage(SolidCI(255, 0, 0));
    ASSERT_TRUE(buffer->textureUpdateWithTime(1.0));

    for (const std::string &bad : {std::string("not a composition"), Composition(Node("X", "QCNoSuchPatch"))}) {
        testing::internal::CaptureStderr();
        Open(bad);
        const std::string log = testing::internal::GetCapturedStderr();
        EXPECT_NE(log.find("LumoraRenderBuffer::openCompositionData exception:"), std::string::npos) << log;
        EXPECT_TRUE(buffer->isCompositionOpen()) << "the composition of before stays";
        EXPECT_TRUE(buffer->hasInputEffectAmount()) << "and so do its flags";
    }
    buffer->setInputCameraImage(SolidCI(0, 255, 0));
    ASSERT_TRUE(buffer->textureUpdateWithTime(2.0));
    EXPECT_TRUE(Near(Centre(), {0, 255, 0, 255}, 2));

    testing::internal::CaptureStderr();
    buffer->openCompositionPath("/nonexistent/none.qtz");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("LumoraRenderBuffer::openCompositionPath"), std::string::npos);
    EXPECT_TRUE(buffer->isCompositionOpen());
}

TEST_F(RenderBufferTest, TheMousePointFollowsTheLayersHorizontalFlip) {
    buffer->setMousePointNormalizedCoordinates(CGPointMake(0.25, 0.4));
    ASSERT_TRUE(buffer->mousePointValue().has_value());
    EXPECT_DOUBLE_EQ(buffer->mousePointValue()->x, 0.25);
    flipX->setState(1);
    buffer->setMousePointNormalizedCoordinates(CGPointMake(0.25, 0.4));
    EXPECT_DOUBLE_EQ(buffer->mousePointValue()->x, 0.75);
    EXPECT_DOUBLE_EQ(buffer->mousePointValue()->y, 0.4);

    Open(CameraComposition({}));
    EXPECT_DOUBLE_EQ(buffer->mousePointValue()->x, 0.5) << "an open puts the mouse in the centre";
    buffer->setMousePointNormalizedCoordinates(CGPointMake(0.25, 0.4));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    buffer->setMouseEvent(&press);
    buffer->setInputCameraImage(SolidCI(1, 2, 3));
    ASSERT_TRUE(buffer->textureUpdateWithTime(1.0));
    const QCRenderArguments arguments = buffer->cameraLayerTexture()->composition()->rendererArguments();
    EXPECT_DOUBLE_EQ(arguments.mouseLocation.x, 0.75);
    EXPECT_TRUE(arguments.leftButtonDown);
}

TEST_F(RenderBufferTest, TheFilterStrengths) {
    LumoraRenderBuffer fresh;
    EXPECT_DOUBLE_EQ(fresh.inputEffectTex1DXAmount().toDouble(), 0.5);
    EXPECT_DOUBLE_EQ(fresh.inputEffectTex1DYAmount().toDouble(), 0.5);
    fresh.setInputEffectTex1DYAmount(QVariant());
    EXPECT_DOUBLE_EQ(fresh.inputEffectTex1DYAmount().toDouble(), 0.0);
    NSKeyValueCoding::setValueForKeyPath(&fresh, QVariant(0.25), "inputEffectTex1DXAmount");
    EXPECT_DOUBLE_EQ(fresh.inputEffectTex1DXAmount().toDouble(), 0.25);
    fresh.awakeFromNib();
    EXPECT_EQ(fresh.sharedCameraBufferNumber(), 0);
}

}  // namespace
