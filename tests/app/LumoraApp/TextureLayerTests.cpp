// Texture layers: a composition rendered into its pixel buffer and blended over the layer's
// background (cleared colour or picture) in the layer's own pixel buffer, checked by pixels
// against the composition's own texture; the panel's answers that choose the blending; the
// diagnostic render target's colour.
#include <LumoraApp/NSOGLRenderFrameBufferTest.h>
#include <LumoraApp/NSOGLTextureLayerPBuffer.h>
#include <LumoraApp/NSOGLTextureLayerViewNibbler.h>
#include <CocoaGL/NSOGLTextureMatrixController.h>

#include <AppKit/NSButton.h>
#include <AppKit/NSImage.h>
#include <AppKit/NSImageView.h>
#include <CocoaGL/NSOGLSharingContext.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <UICocoaColor/NSColorWellWithAlpha.h>

#include <OpenGL/glext.h>

#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "sdk/CocoaQZ/CompositionTestSupport.h"
#include "sdk/CocoaQZ/RendererTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"
#include "TextureTestSupport.h"

using namespace cocoaqz_test;
using texture_test::TexturePixel;

namespace {

constexpr GLuint kWidth = 32, kHeight = 16;

// A composition that clears to one colour.
std::string ClearComposition(double red, double green, double blue, double alpha) {
    auto number = [](double v) { return "<real>" + std::to_string(v) + "</real>"; };
    return Composition(Node("Clear", "QCClear",
                            "<key>inputValues</key><dict><key>inputColor</key><dict><key>red</key>" + number(red) +
                                "<key>green</key>" + number(green) + "<key>blue</key>" + number(blue) +
                                "<key>alpha</key>" + number(alpha) + "</dict></dict>"));
}

// The delegate the layer draws for: its bounds size the background picture.
class BoundsDelegate : public QObject, public protocol_NSOGLDrawable {
    Q_OBJECT
public:
    CGLContextObj renderContext() const override { return nullptr; }
    CGRect renderBounds() const override { return CGRectMake(0, 0, kWidth, kHeight); }
};

NSButton *Button(QWidget *parent, bool on) {
    auto *button = new NSButton(parent);
    button->setState(on ? 1 : 0);
    return button;
}

// What blending gives for one channel, in bytes.
int Blend(double source, double sourceFactor, double destination, double destinationFactor) {
    return int(std::lround(std::min(1.0, source * sourceFactor + destination * destinationFactor) * 255));
}

class TextureLayerTest : public ::testing::Test, public riradi_test::WithApplication {
protected:
    void SetUp() override {
        ASSERT_TRUE(import_NSOGLTextureLayerPBuffer());
        ASSERT_TRUE(import_NSOGLRenderFrameBufferTest());
        panel.setDelegate(&delegate);
        panel.outletBackgroundColorDraw = colourOn;
        panel.outletBackgroundColorWell = well;
        panel.outletBackgroundImageDraw = imageOn;
        panel.outletBackgroundImageView = imageView;
        panel.outletLayerQuickFlipX = flipX;
        panel.outletLayerQuickFlipY = flipY;
        matrix->set_textureEnabled(textureOn);
        panel.setLayerMatrixController(matrix);
        ASSERT_TRUE(layer->initWithTextureTarget(GL_TEXTURE_RECTANGLE_ARB, kWidth, kHeight));
        layer->setController(&panel);
    }
    void TearDown() override { layer.reset(); }

    // Opens a clear composition in the layer and renders a frame.
    void Render(double red, double green, double blue, double alpha) {
        CFDataRef data = CreateData(ClearComposition(red, green, blue, alpha));
        ASSERT_TRUE(layer->openCompositionData(data));
        CFRelease(data);
        ASSERT_TRUE(layer->textureUpdateWithTime(1.0));
    }
    // The composition's pixel as stored, 0..1.
    std::array<double, 4> Source(GLint x = 0, GLint y = 0) {
        const Pixel p = TexturePixel(*layer->composition(), x, y);
        return {p[0] / 255.0, p[1] / 255.0, p[2] / 255.0, p[3] / 255.0};
    }

    BoundsDelegate delegate;
    NSOGLTextureLayerViewNibbler panel;
    NSButton *colourOn = Button(&panel, false), *imageOn = Button(&panel, false), *flipX = Button(&panel, false),
             *flipY = Button(&panel, false), *textureOn = Button(&panel, true);
    NSColorWell *well = new NSColorWellWithAlpha(&panel);
    NSImageView *imageView = new NSImageView(&panel);
    NSOGLTextureMatrixController *matrix = new NSOGLTextureMatrixController(&panel);
    std::shared_ptr<NSOGLQuartzTextureLayer> layer = std::make_shared<NSOGLQuartzTextureLayer>();
};

TEST_F(TextureLayerTest, WithoutBackgroundTheCompositionIsBlendedWithSourceAlphaOverAlmostNothing) {
    Render(1.0, 0.5, 0.0, 0.5);
    const auto s = Source();
    ASSERT_GT(s[3], 0.4);
    ASSERT_LT(s[3], 0.6);
    EXPECT_FALSE(panel.layerHasOpaqueBackgroundWithAlpha(0.001f));
    const Pixel expected = {Blend(s[0], s[3], 0, 1 - s[3]), Blend(s[1], s[3], 0, 1 - s[3]),
                            Blend(s[2], s[3], 0, 1 - s[3]), Blend(s[3], s[3], 0.001, 1 - s[3])};
    for (auto [x, y] : {std::pair{0, 0}, {int(kWidth) - 1, int(kHeight) - 1}, {17, 9}})
        EXPECT_TRUE(Near(TexturePixel(*layer, x, y), expected, 2)) << x << "," << y;
}

TEST_F(TextureLayerTest, BackgroundColoursAndWhetherTheyCountAsOpaque) {
    struct Case {
        const char *name;
        QColor colour;
        double clearAlpha;  // what the layer is cleared with
        bool opaque;        // premultiplied blending
    } cases[] = {
        {"opaque blue", QColor::fromRgbF(0, 0, 1, 1), 1.0, true},
        {"half green", QColor::fromRgbF(0, 1, 0, 0.5), 0.5, true},
        {"alpha 0.005", QColor::fromRgbF(0, 0, 1, 0.005), 0.001, false},
    };
    colourOn->setState(1);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        well->setColor(c.colour);
        Render(1.0, 0.0, 0.0, 0.5);
        const auto s = Source();
        const double bg[3] = {c.colour.redF(), c.colour.greenF(), c.colour.blueF()};
        EXPECT_EQ(panel.layerHasOpaqueBackgroundWithAlpha(float(c.clearAlpha)), c.opaque);
        const double sf = c.opaque ? 1.0 : s[3];
        const Pixel expected = {Blend(s[0], sf, bg[0], 1 - s[3]), Blend(s[1], sf, bg[1], 1 - s[3]),
                                Blend(s[2], sf, bg[2], 1 - s[3]), Blend(s[3], sf, c.clearAlpha, 1 - s[3])};
        EXPECT_TRUE(Near(TexturePixel(*layer, 5, 5), expected, 2));
    }
}

TEST_F(TextureLayerTest, WithTheTextureOffOnlyTheBackgroundIsDrawn) {
    colourOn->setState(1);
    well->setColor(QColor::fromRgbF(0, 0, 1, 1));
    textureOn->setState(0);
    EXPECT_FALSE(panel.layerTextureEnabled());
    Render(1.0, 0.0, 0.0, 1.0);
    EXPECT_TRUE(Near(TexturePixel(*layer, 3, 3), Pixel{0, 0, 255, 255}));
    // No matrix controller: no texture either.
    textureOn->setState(1);
    panel.setLayerMatrixController(nullptr);
    ASSERT_TRUE(layer->textureUpdateWithTime(2.0));
    EXPECT_TRUE(Near(TexturePixel(*layer, 3, 3), Pixel{0, 0, 255, 255}));
    // No controller at all: the transparent clear.
    layer->setController(nullptr);
    ASSERT_TRUE(layer->textureUpdateWithTime(3.0));
    EXPECT_TRUE(Near(TexturePixel(*layer, 3, 3), Pixel{0, 0, 0, 0}));
}

TEST_F(TextureLayerTest, ABackgroundPictureIsDrawnAndTheTextureBlendedPremultipliedOverIt) {
    // The picture: its left half yellow, its right half cyan, both opaque.
    QImage picture(int(kWidth), int(kHeight), QImage::Format_ARGB32);
    for (int y = 0; y < int(kHeight); ++y)
        for (int x = 0; x < int(kWidth); ++x) picture.setPixel(x, y, x < int(kWidth) / 2 ? qRgb(255, 255, 0) : qRgb(0, 255, 255));
    imageView->setImage(NSImage::imageWithQImage(picture));
    imageOn->setState(1);
    EXPECT_TRUE(panel.layerHasOpaqueBackgroundWithAlpha(0.001f));
    panel.backgroundImageViewChanged(nullptr);
    ASSERT_NE(panel.backgroundTexture(), nullptr);
    EXPECT_EQ(panel.backgroundTexture()->textureWidth(), kWidth);
    EXPECT_EQ(panel.backgroundTexture()->textureTarget(), GLenum(GL_TEXTURE_RECTANGLE_ARB));

    Render(0.0, 0.0, 1.0, 0.5);
    const auto s = Source();
    for (auto [x, bg] : {std::pair{2, std::array<double, 3>{1, 1, 0}}, {int(kWidth) - 3, std::array<double, 3>{0, 1, 1}}}) {
        SCOPED_TRACE(x);
        const Pixel expected = {Blend(s[0], 1, bg[0], 1 - s[3]), Blend(s[1], 1, bg[1], 1 - s[3]),
                                Blend(s[2], 1, bg[2], 1 - s[3]), Blend(s[3], 1, 1, 1 - s[3])};  // the picture is opaque
        const Pixel actual = TexturePixel(*layer, x, 7);
        EXPECT_TRUE(Near(actual, expected, 2)) << ::testing::PrintToString(actual) << " " << ::testing::PrintToString(expected);
    }

    // Without its picture the background texture is not made.
    NSOGLTextureLayerViewNibbler bare;
    bare.setDelegate(&delegate);
    EXPECT_EQ(bare.layerBackgroundTextureUpdateIfDirty(), nullptr);
}

TEST_F(TextureLayerTest, ThePanelsFlipsAndTheClosedComposition) {
    EXPECT_FALSE(panel.layerFlippedHorizontal());
    flipX->setState(1);
    EXPECT_TRUE(panel.layerFlippedHorizontal());
    EXPECT_FALSE(panel.layerFlippedVertical());
    auto *matrixFlipY = Button(&panel, true);
    matrix->set_textureFlippedY(matrixFlipY);
    EXPECT_TRUE(panel.layerFlippedVertical());
    EXPECT_TRUE(panel.layerQuadMatrix()->textureMatrixApplyTranslate());
    EXPECT_EQ(panel.layerBackgroundColorInNSCalibratedRGBColorSpace().alpha(), 255);  // the well's own colour
    panel.outletBackgroundColorWell = nullptr;
    EXPECT_EQ(panel.layerBackgroundColorInNSCalibratedRGBColorSpace(), QColor(0, 0, 0, 0));

    CFDataRef data = CreateData(ClearComposition(0, 1, 0, 1));
    ASSERT_TRUE(layer->openCompositionData(data));
    CFRelease(data);
    EXPECT_TRUE(layer->isCompositionOpen());
    layer->closeComposition();
    EXPECT_FALSE(layer->isCompositionOpen());
    EXPECT_FALSE(layer->hasInputKey("inputColor"));
    EXPECT_FALSE(layer->openCompositionPath("/nonexistent/none.qtz"));
    // A layer without composition renderer answers false.
    NSOGLQuartzTextureLayer unmade;
    EXPECT_FALSE(unmade.isCompositionOpen());
    EXPECT_FALSE(unmade.openCompositionData(nullptr));
    EXPECT_FALSE(unmade.setValue(QCValue(1.0), "x"));
    EXPECT_EQ(unmade.textureObject(), nullptr);
}

// A layer whose texture cannot be had.
class ThrowingLayer : public NSOGLTextureLayerPBuffer {
public:
    NSOGLPBufferRendererBase *textureObject() override { throw std::runtime_error("no texture"); }
};

TEST_F(TextureLayerTest, AnExceptionInTheSceneEndsItAndKeepsTheBackground) {
    colourOn->setState(1);
    well->setColor(QColor::fromRgbF(0, 1, 0, 1));
    ThrowingLayer throwing;
    ASSERT_TRUE(throwing.initWithTextureTarget(GL_TEXTURE_RECTANGLE_ARB, kWidth, kHeight));
    throwing.setController(&panel);
    EXPECT_TRUE(throwing.textureUpdateWithTime(0.5));
    EXPECT_TRUE(Near(TexturePixel(throwing, 4, 4), Pixel{0, 255, 0, 255}));
    // The unit cube was ended: its matrices are popped.
    const OpenGL::CGLContextStateLock scope(throwing.pixelBufferContext().get());
    GLint depth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
}

TEST(RenderFrameBufferTest, FillsWithTheFractionOfTheTime) {
    riradi_test::Application();
    const auto root = NSOGLSharingContext::rootSharingContext();
    const OpenGL::CGLContextStateLock scope(root.get());
    const auto target = NSOGLRenderFrameBufferTest::textureWithTextureWidth(8, 4);
    ASSERT_NE(target, nullptr);
    EXPECT_TRUE(target->textureUpdateWithTime(2.25));
    const std::vector<uint8_t> bytes = renderer_test::SurfaceBytes(target->surface());
    ASSERT_EQ(bytes.size(), 8u * 4 * 4);
    // B, G, R, A in memory.
    EXPECT_EQ(bytes[0], 255);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_NEAR(bytes[2], 64, 1);
    EXPECT_EQ(bytes[3], 255);
}

}  // namespace

#include "TextureLayerTests.moc"
