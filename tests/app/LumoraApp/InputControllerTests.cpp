// The effect input controller: the frame it hands the loop (source, test image, tint stage,
// with the faults of a stage without output or a source without picture), the forwarding of
// the application's messages, the video-input settings saved and restored, the composition
// rewrite, and the test chart the build makes, played through the render buffer.
#include <LumoraApp/LumoraRenderBuffer.h>
#include <LumoraApp/QTZInputController.h>
#include <LumoraApp/UCoreFnSampler.h>

#include <AppKit/NSButton.h>
#include <CocoaGL/NSOGLTextureMatrixController.h>
#include <Foundation/NSException.h>
#include <ImageIO/CGImageSource.h>
#include <NSUIMaskInstanceNibbler/NSUIMaskController.h>
#include <QuartzComposer/QCComposition.h>
#include <UICocoaControls/NSSlider.h>

#include <gtest/gtest.h>

#include <QFile>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "FrameTestSupport.h"
#include "TextureTestSupport.h"
#include "sdk/CocoaQZ/CompositionTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

using namespace cocoaqz_test;

namespace {

CIImageRef Colour(double red, double green, double blue) {
    return CIImage::imageWithColor(CIColor::colorWithRed(red, green, blue, 1));
}

class FakeCameraSource : public QObject, public protocol_QTZCameraInputSource {
    Q_OBJECT
public:
    CamInputFrameRef frame;
    int ticks = 0, launches = 0, terminations = 0;
    QObject *tickSender = nullptr;
    CamInputFrameRef cameraInputFrame() override { return frame; }
    void cameraTimerTick(QObject *sender) override {
        ++ticks;
        tickSender = sender;
    }
    void applicationDidFinishLaunching(const NSNotification &) override { ++launches; }
    void applicationWillTerminate(const NSNotification &) override { ++terminations; }
};

// A tint stage whose output the test chooses; its switches are outlets read by key.
class FakeTintStage : public QObject, public protocol_QTZTintMaskFilter {
    Q_OBJECT
    Q_PROPERTY(QObject *outletChromaTintEnabled MEMBER outletChromaTintEnabled)
    Q_PROPERTY(QObject *outletSampleMaskEnabled MEMBER outletSampleMaskEnabled)
public:
    std::function<CIImageRef(const CIImageRef &)> filter;
    CIImageRef input;
    int resets = 0, changes = 0;
    bool failChange = false;
    QObject *tint = nullptr, *stencil = nullptr;
    NSUIMaskController *mask = nullptr;
    QList<QObject *> points;
    QObject *outletChromaTintEnabled = nullptr, *outletSampleMaskEnabled = nullptr;

    void setInputImage(CIImageRef image) override { input = std::move(image); }
    CIImageRef outputImage() override { return filter ? filter(input) : input; }
    void resetDefaultValues(QObject *) override { ++resets; }
    void updateNibblerChanged(QObject *) override {
        ++changes;
        if (failChange) NSException::raise(NSGenericException, QStringLiteral("the stage refused"));
    }
    QObject *imageTintController() const override { return tint; }
    QObject *sampledMaskController() const override { return stencil; }
    NSUIMaskController *filterMaskController() const override { return mask; }
    QList<QObject *> tintGradientPointControls() const override { return points; }
};

class FakeTintController : public QObject {
    Q_OBJECT
    Q_PROPERTY(QObject *outletTintAmountSlider MEMBER outletTintAmountSlider)
public:
    QObject *outletTintAmountSlider = nullptr;
};

class InputControllerTest : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override { ASSERT_TRUE(import_QTZInputController()); }
    QTZInputController controller;
    FakeCameraSource source;
    FakeTintStage stage;
};

bool HasLabel(const UCoreFnSampler &sampler, const char *label) {
    const std::vector<UCoreFunction> rows = sampler.functions();
    return std::any_of(rows.begin(), rows.end(), [label](const UCoreFunction &row) {
        return row.functionName() == QLatin1String(label) && row.sampleCount() > 0;
    });
}

TEST_F(InputControllerTest, TheFrameHandedToTheLoop) {
    const CIImageRef camera = Colour(1, 0, 0), tinted = Colour(0, 1, 0);
    CGImageRef bitmap = frame_test::SolidCGImage(4, 4, 1, 2, 3);
    const CamInputFrameRef cameraFrame = CamInputFrame::camInputFrameWithFrameImageFrameHostTimeStamp(camera, 777);
    const CamInputFrameRef bitmapFrame = CamInputFrame::camInputFrameWithFrameImageRefSourceCamInputFrame(
        bitmap, CamInputFrame::camInputFrameWithFrameImage(nullptr));
    CGImageRelease(bitmap);
    enum Answer { kCamera, kTestImage, kTinted, kBitmap };
    struct Case {
        const char *name;
        bool withSource;
        CamInputFrameRef frame;
        bool withStage;
        std::function<CIImageRef(const CIImageRef &)> filter;
        Answer answer;
        bool cached;
    };
    const auto tint = [tinted](const CIImageRef &) { return tinted; };
    const auto none = [](const CIImageRef &) { return CIImageRef(); };
    const auto raise = [](const CIImageRef &) -> CIImageRef {
        NSException::raise(NSGenericException, QStringLiteral("no tint today"));
    };
    const Case cases[] = {
        {"no source: the test image", false, nullptr, false, nullptr, kTestImage, false},
        {"the source's frame", true, cameraFrame, false, nullptr, kCamera, false},
        {"a source without frame: the test image", true, nullptr, false, nullptr, kTestImage, false},
        {"a source frame without picture: the test image", true, CamInputFrame::camInputFrameWithFrameImage(nullptr),
         false, nullptr, kTestImage, false},
        {"tinted", true, cameraFrame, true, tint, kTinted, true},
        {"the test image tinted", false, nullptr, true, tint, kTinted, true},
        {"a stage without output: the frame as it came", true, cameraFrame, true, none, kCamera, false},
        {"a stage that raises: the frame as it came", true, cameraFrame, true, raise, kCamera, false},
        {"a bitmap frame is not tinted", true, bitmapFrame, true, tint, kBitmap, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        source.frame = c.frame;
        source.ticks = 0;
        stage.filter = c.filter;
        controller.setCamViewNibbler(c.withSource ? &source : nullptr);
        controller.setTintMaskNibbler(c.withStage ? &stage : nullptr);
        controller.setCachedInputFrame(nullptr);
        UCoreFnSampler sampler;
        testing::internal::CaptureStderr();
        const CamInputFrameRef frame = controller.pullCameraImageThroughTintMaskQCFilter();
        const std::string log = testing::internal::GetCapturedStderr();
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(source.ticks, c.withSource ? 1 : 0);
        if (c.withSource) {
            EXPECT_EQ(source.tickSender, &controller);
        }
        EXPECT_TRUE(HasLabel(sampler, "Input Camera Frame"));
        EXPECT_TRUE(HasLabel(sampler, "Render Input Tint & Mask"));
        EXPECT_EQ(log.find("pullCameraImageThroughTintMaskQCFilter exception:") != std::string::npos,
                  std::string(c.name).find("raises") != std::string::npos)
            << log;
        EXPECT_EQ(controller.cachedInputFrame() != nullptr, c.cached);
        switch (c.answer) {
        case kCamera:
            EXPECT_EQ(frame, cameraFrame);
            break;
        case kTestImage:
            ASSERT_NE(controller.testImage(), nullptr) << "the build puts cameraImage.png beside the program";
            EXPECT_EQ(frame->frameImage(), controller.testImage());
            break;
        case kTinted:
            EXPECT_EQ(frame, controller.cachedInputFrame());
            EXPECT_EQ(frame->frameImage(), tinted);
            ASSERT_EQ(frame->frameInputStack().size(), 2u);
            EXPECT_EQ(frame->frameInputStack()[1].ciImage(), c.withSource ? camera : controller.testImage());
            if (c.withSource) {
                EXPECT_EQ(frame->frameHostTimeStamp(), 777u);
            }
            break;
        case kBitmap:
            EXPECT_EQ(frame, bitmapFrame);
            break;
        }
    }
}

TEST_F(InputControllerTest, TheApplicationsMessagesAreForwarded) {
    const NSNotification note("NSApplicationDidFinishLaunchingNotification", nullptr);
    controller.applicationDidFinishLaunching(note);  // nothing to forward to
    controller.resetDefaultValues();
    controller.setCamViewNibbler(&source);
    controller.setTintMaskNibbler(&stage);
    controller.applicationDidFinishLaunching(note);
    controller.applicationWillTerminate(note);
    controller.resetDefaultValues();
    EXPECT_EQ(source.launches, 1);
    EXPECT_EQ(source.terminations, 1);
    EXPECT_EQ(stage.resets, 1);
    QObject notAStage;
    controller.setTintMaskNibbler(&notAStage);
    EXPECT_EQ(controller.tintMaskFilter(), nullptr) << "an object without the interface counts as absent";
}

TEST_F(InputControllerTest, TheVideoInputSettingsAreSavedAndRestored) {
    QWidget panel;
    // The switches as 0/1 sliders: the rows read and set them as integers.
    auto *tintOn = new NSSlider(&panel);
    auto *stencilOn = new NSSlider(&panel);
    tintOn->setMaxValue(1.0);
    auto *amount = new NSSlider(&panel);
    auto *pointX0 = new NSSlider(&panel);
    auto *screenOpacity = new NSSlider(&panel);
    amount->setMaxValue(1.0);
    pointX0->setMaxValue(1.0);
    screenOpacity->setMaxValue(1.0);
    FakeTintController tint;
    tint.outletTintAmountSlider = amount;
    QObject stencil;
    NSUIMaskController mask;
    mask.setScreenOpacitySlider(screenOpacity);
    stage.outletChromaTintEnabled = tintOn;
    stage.outletSampleMaskEnabled = stencilOn;
    stage.points = {pointX0, nullptr};
    controller.setTintMaskNibbler(&stage);

    // Before any controller exists nothing is bound, and the groups are bound later.
    controller.mapParamControls();
    EXPECT_EQ(QTZInputController::videoInputParamMapping().GetParamControl("video.input.tint.amount"), nullptr);
    stage.tint = &tint;
    stage.stencil = &stencil;
    stage.mask = &mask;

    QVariantMap settings = {{"video.input.tint.amount", "0.25"},
                            {"VIDEO.INPUT.TINT.GRADIENT.POINT.X0", "0.5"},
                            {"video.input.option.tint.enabled", "1"},
                            {"video.input.mask.screen.opacity", "0.75"}};
    EXPECT_TRUE(controller.setControlParamsFromDictionary(settings));
    EXPECT_EQ(stage.changes, 1);
    EXPECT_DOUBLE_EQ(amount->doubleValue(), 0.25);
    EXPECT_DOUBLE_EQ(pointX0->doubleValue(), 0.5);
    EXPECT_EQ(tintOn->intValue(), 1);
    EXPECT_DOUBLE_EQ(screenOpacity->doubleValue(), 0.75);

    QVariantMap saved;
    EXPECT_TRUE(controller.addControlParamsToDictionary(&saved, true));
    for (const char *key : {"video.input.mask.refines", "video.input.tint.refines", "video.input.stencil.refines"})
        EXPECT_EQ(saved.value(key).toString(), QStringLiteral("defaults")) << key;
    EXPECT_NEAR(saved.value("video.input.tint.amount").toDouble(), 0.25, 1e-6);
    EXPECT_NEAR(saved.value("video.input.mask.screen.opacity").toDouble(), 0.75, 1e-6);
    EXPECT_EQ(saved.value("video.input.option.tint.enabled").toInt(), 1);
    EXPECT_TRUE(saved.contains("video.input.option.stencil.enabled"));
    EXPECT_FALSE(saved.contains("video.input.tint.gradient.point.y0")) << "an absent control is not stored";

    testing::internal::CaptureStderr();
    EXPECT_FALSE(controller.addControlParamsToDictionary(nullptr, false));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("settings"), std::string::npos);

    stage.failChange = true;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(controller.setControlParamsFromDictionary({{"video.input.tint.amount", "0.5"}}));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("QTZInputController::setControlParamsFromDictionary exception:"),
              std::string::npos);
    EXPECT_DOUBLE_EQ(amount->doubleValue(), 0.5) << "what was applied before the exception stays";
}

// A composition drawing the camera through the given video-input node key.
std::string VideoInputComposition(const std::string &key) {
    return Composition(Node(key, "QCVideoInput") + Node("Billboard_1", "QCBillboard"),
                       Wire("camera", key, "outputImage", "Billboard_1", "inputImage"));
}

TEST(InputControllerRewriteTest, TheFirstVideoInputBecomesThePublishedCameraImage) {
    struct Case {
        const char *name;
        std::string xml;
        bool rewritten;
    };
    const Case cases[] = {
        {"VideoInput_3", VideoInputComposition("VideoInput_3"), true},
        {"VideoInput_10", VideoInputComposition("VideoInput_10"), false},
        {"not a composition", "garbage", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CFDataRef data = CreateData(c.xml);
        testing::internal::CaptureStderr();
        CFDataRef result = QTZInputController::transformCompositionData(data);
        const std::string log = testing::internal::GetCapturedStderr();
        CFRelease(data);
        EXPECT_EQ(result != nullptr, c.rewritten);
        if (result == nullptr) {
            EXPECT_NE(log.find("resultData"), std::string::npos) << log;
            continue;
        }
        const QCCompositionRef composition = QCComposition::compositionWithData(result);
        CFRelease(result);
        ASSERT_NE(composition, nullptr);
        const std::vector<std::string> keys = composition->inputKeys();
        EXPECT_NE(std::find(keys.begin(), keys.end(), "cameraImage"), keys.end());
    }
}

TEST_F(InputControllerTest, TheTestChartPlaysThroughTheCameraCompositionOfTheApplication) {
    // The chart as the build drew it: 75 % bars over the reverse bars over a grey ramp.
    QFile file(QStringLiteral(LUMORA_APP_RESOURCES "/cameraImage.png"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    CFDataRef png = CreateData(bytes.toStdString());
    CGImageSourceRef reader = CGImageSourceCreateWithData(png, nullptr);
    CGImageRef chart = CGImageSourceCreateImageAtIndex(reader, 0, nullptr);
    CFRelease(reader);
    CFRelease(png);
    ASSERT_NE(chart, nullptr);
    const ImagePixels pixels(chart);
    CGImageRelease(chart);
    ASSERT_EQ(pixels.width, 640u);
    ASSERT_EQ(pixels.height, 480u);
    EXPECT_TRUE(Near(pixels.at(10, 10), {191, 191, 191, 255}));   // white bar at the top left
    EXPECT_TRUE(Near(pixels.at(630, 10), {0, 0, 191, 255}));      // blue bar at the top right
    EXPECT_TRUE(Near(pixels.at(10, 470), {0, 0, 0, 255}));        // the ramp starts black
    EXPECT_TRUE(Near(pixels.at(630, 470), {255, 255, 255, 255})); // and ends white

    // Without a camera every frame is the chart; the application's plain camera composition,
    // rewritten, shows it in the render buffer (the middle of the picture is the green bar).
    QFile iSight(QStringLiteral(LUMORA_APP_RESOURCES "/iSight.qtz"));
    ASSERT_TRUE(iSight.open(QIODevice::ReadOnly));
    CFDataRef data = CreateData(iSight.readAll().toStdString());
    CFDataRef rewritten = QTZInputController::transformCompositionData(data);
    CFRelease(data);
    ASSERT_NE(rewritten, nullptr);

    NSOGLTextureLayerViewNibbler panel;
    auto *textureOn = new NSButton(&panel);
    textureOn->setState(1);
    auto *matrix = new NSOGLTextureMatrixController(&panel);
    matrix->set_textureEnabled(textureOn);
    panel.setLayerMatrixController(matrix);
    LumoraRenderBuffer buffer;
    buffer.setLayerController(&panel);
    buffer.openCompositionData(rewritten);
    CFRelease(rewritten);
    ASSERT_TRUE(buffer.isCompositionOpen());
    for (int frame = 0; frame < 3; ++frame) {
        buffer.setInputCameraFrame(controller.pullCameraImageThroughTintMaskQCFilter());
        buffer.lock();
        EXPECT_TRUE(buffer.textureUpdateWithTime(frame / 30.0));
        buffer.unlock();
    }
    EXPECT_TRUE(Near(texture_test::TexturePixel(buffer, 320, 240), {0, 191, 0, 255}, 2));
}

}  // namespace

#include "InputControllerTests.moc"
