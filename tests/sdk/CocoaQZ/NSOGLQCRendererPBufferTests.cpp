// The composition pixel-buffer renderer and its state: opening (and failing to open) from
// compositions, data and files, published inputs only, the render at time zero that an open
// makes, rendering for a time with the renderer arguments, closing, and the texture as an
// image.
#include <CocoaQZ/QuartzCore/NSOGLQCRendererPBuffer.h>

#include "CompositionTestSupport.h"
#include "support/TestFolders.h"

#include <CocoaGL/NSOGLSharingContext.h>
#include <CoreG/GL/namespace_OpenGL_CGLContextState.h>
#include <Foundation/NSException.h>
#include <QuartzComposer/QCPatch.h>

#include <OpenGL/glext.h>

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using namespace cocoaqz_test;

namespace {

// The colour of a frame: red from the time (seconds / 10), green from the mouse's x (0.5
// without a mouse), blue from the published "inputBlue".
class TimeColour : public QCPatch {
public:
    TimeColour() {
        addInputPort("inputBlue", QCPortType::Number, QCValue(0.25));
        addOutputPort("outputColor", QCPortType::Color);
    }
    bool execute(QCPatchContext &c) override {
        CGPoint mouse;
        const double green = c.mouseLocation(&mouse) ? (mouse.x + 1) / 2 : 0.5;
        c.setOutput("outputColor", CIColor::colorWithRed(c.time() / 10, green, c.input("inputBlue").numberValue(), 1));
        return true;
    }
};

Pixel Bytes(double red, double green, double blue) {
    return {int(std::lround(red * 255)), int(std::lround(green * 255)), int(std::lround(blue * 255)), 255};
}

std::string TimeColourComposition() {
    QCRegisterPatchClass("TestTimeColour",
                         [](const QCCompositionNode &, std::string *) { return std::make_unique<TimeColour>(); });
    return Composition(Node("Colour", "TestTimeColour") + Node("Clear", "QCClear"),
                       Wire("w", "Colour", "outputColor", "Clear", "inputColor"),
                       Published("inputBlue", "Colour", "inputBlue"));
}

// A composition that draws one flat colour.
std::string FlatComposition(double red, double green, double blue) {
    return Composition(Node("Clear", "QCClear",
                            "<key>inputValues</key><dict><key>inputColor</key><dict><key>red</key><real>" +
                                std::to_string(red) + "</real><key>green</key><real>" + std::to_string(green) +
                                "</real><key>blue</key><real>" + std::to_string(blue) +
                                "</real><key>alpha</key><real>1</real></dict></dict>"));
}

constexpr GLuint kWidth = 32, kHeight = 16;

// A pixel of the renderer's texture as the root sharing context sees it.
Pixel TexturePixel(NSOGLQCRendererPBuffer &renderer, GLint x, GLint y) {
    const auto root = NSOGLSharingContext::rootSharingContext();
    const OpenGL::CGLContextStateLock scope(root.get());
    renderer.lock();
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE_ARB, &previous);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, renderer.textureName());
    std::vector<uint8_t> bytes(size_t(kWidth) * kHeight * 4);
    glGetTexImage(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, GLuint(previous));
    renderer.unlock();
    const uint8_t *p = &bytes[(size_t(y) * kWidth + size_t(x)) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// A pixel of the pixel buffer itself.
Pixel PixelBufferPixel(NSOGLQCRendererPBuffer &renderer, GLint x, GLint y) {
    const auto context = renderer.pixelBufferContext();
    const OpenGL::CGLContextStateLock scope(context.get());
    uint8_t p[4] = {1, 2, 3, 4};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
}

class QCRendererPBufferTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(mRenderer->initWithTextureTarget(GL_TEXTURE_RECTANGLE_ARB, kWidth, kHeight));
        ASSERT_NE(mRenderer->textureName(), 0u);
    }
    // Opens the time-colour composition from data.
    void OpenTimeColour() {
        CFDataRef data = CreateData(TimeColourComposition());
        ASSERT_TRUE(mRenderer->openCompositionData(data));
        CFRelease(data);
    }

    std::shared_ptr<NSOGLQCRendererPBuffer> mRenderer = std::make_shared<NSOGLQCRendererPBuffer>();
};

TEST_F(QCRendererPBufferTest, AnOpenShowsTimeZeroAndRendersFollowTheTimeInputsAndArguments) {
    EXPECT_FALSE(mRenderer->isCompositionOpen());
    EXPECT_FALSE(mRenderer->renderSceneForTime(0)) << "nothing open";
    OpenTimeColour();
    ASSERT_NE(mRenderer->renderer(), nullptr);
    ASSERT_NE(mRenderer->rendererInputKeys(), nullptr);
    EXPECT_EQ(*mRenderer->rendererInputKeys(), std::vector<std::string>{"inputBlue"});
    // Right after the open, before any update, the texture holds the frame at time zero.
    EXPECT_TRUE(Near(TexturePixel(*mRenderer, 3, 3), Bytes(0, 0.5, 0.25))) << TexturePixel(*mRenderer, 3, 3)[0];

    EXPECT_TRUE(mRenderer->hasInputKey("inputBlue"));
    EXPECT_TRUE(mRenderer->setValue(QCValue(0.75), "inputBlue"));
    QCRenderArguments arguments;
    arguments.hasMouseLocation = true;
    arguments.mouseLocation = CGPointMake(1, 0);
    mRenderer->setRendererArguments(arguments);
    EXPECT_TRUE(mRenderer->rendererArguments().hasMouseLocation);
    EXPECT_TRUE(mRenderer->textureUpdateWithTime(5));
    EXPECT_TRUE(Near(TexturePixel(*mRenderer, kWidth - 1, kHeight - 1), Bytes(0.5, 1, 0.75)));

    // A render put the caller's context back.
    const auto root = NSOGLSharingContext::rootSharingContext();
    const OpenGL::CGLContextState scope(root.get());
    EXPECT_TRUE(mRenderer->renderSceneForTime(2));
    EXPECT_EQ(CGLGetCurrentContext(), root->CGLContextObj());
    EXPECT_TRUE(Near(PixelBufferPixel(*mRenderer, 0, 0), Bytes(0.2, 1, 0.75)));
}

TEST_F(QCRendererPBufferTest, OnlyPublishedKeysAreSetAndAClosedRendererHasNone) {
    OpenTimeColour();
    const std::shared_ptr<QCRenderer> renderer = mRenderer->renderer();
    CIImageRef image = CIImage::imageWithColor(CIColor::colorWithRed(1, 0, 0, 1));
    EXPECT_FALSE(mRenderer->hasInputKey("cameraImage"));
    EXPECT_FALSE(mRenderer->setValue(QCValue(image), "cameraImage"));
    EXPECT_FALSE(mRenderer->setValue(QCValue(0.5), "outputColor")) << "an output is no input";
    EXPECT_EQ(mRenderer->renderer(), renderer);
    EXPECT_TRUE(renderer->valueForInputKey("cameraImage").isNull());
    EXPECT_EQ(renderer->valueForInputKey("inputBlue").numberValue(), 0.25);

    mRenderer->closeComposition();
    EXPECT_FALSE(mRenderer->isCompositionOpen());
    EXPECT_EQ(mRenderer->renderer(), nullptr);
    EXPECT_EQ(mRenderer->rendererInputKeys(), nullptr);
    for (const char *key : {"inputBlue", "cameraImage", ""}) EXPECT_FALSE(mRenderer->hasInputKey(key)) << key;
    EXPECT_FALSE(mRenderer->setValue(QCValue(0.5), "inputBlue"));
    EXPECT_FALSE(mRenderer->renderSceneForTime(1));
    EXPECT_FALSE(mRenderer->textureUpdateWithTime(1));
}

TEST_F(QCRendererPBufferTest, AFileThatIsNoCompositionClosesAndClearsWhatWasOpen) {
    lumora::test::ScopedFolder folder("compositions");
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("text.qtz"), "this is not a composition"));
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("unknown.qtz"), Composition(Node("X", "QCNoSuchPatch"))));
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("flat.qtz"), FlatComposition(0, 1, 0)));
    const std::string paths[] = {folder.file("text.qtz"), folder.file("unknown.qtz"), folder.file("missing.qtz"),
                                 folder.path(), ""};
    for (const std::string &path : paths) {
        ASSERT_TRUE(mRenderer->openCompositionPath(folder.file("flat.qtz")));
        ASSERT_TRUE(Near(PixelBufferPixel(*mRenderer, 1, 1), Bytes(0, 1, 0)));
        EXPECT_FALSE(mRenderer->openCompositionPath(path)) << path;
        EXPECT_FALSE(mRenderer->isCompositionOpen()) << path;
        EXPECT_FALSE(mRenderer->hasInputKey("inputBlue"));
        EXPECT_EQ(PixelBufferPixel(*mRenderer, 1, 1), (Pixel{0, 0, 0, 0})) << path;
    }
    // The initialiser that opens a path.
    auto other = std::make_shared<NSOGLQCRendererPBuffer>();
    ASSERT_TRUE(other->initWithCompositionPath(folder.file("flat.qtz"), GL_TEXTURE_RECTANGLE_ARB, kWidth, kHeight));
    EXPECT_TRUE(other->isCompositionOpen());
    EXPECT_TRUE(Near(TexturePixel(*other, 0, 0), Bytes(0, 1, 0)));
    auto failed = std::make_shared<NSOGLQCRendererPBuffer>();
    EXPECT_TRUE(failed->initWithCompositionPath(folder.file("text.qtz"), GL_TEXTURE_RECTANGLE_ARB, kWidth, kHeight));
    EXPECT_FALSE(failed->isCompositionOpen());
}

TEST_F(QCRendererPBufferTest, DataThatIsNoCompositionLeavesTheOpenOneAsItWas) {
    const std::string notCompositions[] = {"", "garbage", "<plist version=\"1.0\"><array/></plist>",
                                           Composition(Node("X", "QCNoSuchPatch"))};
    for (bool previouslyOpen : {false, true}) {
        mRenderer->closeComposition();
        if (previouslyOpen) OpenTimeColour();
        const std::shared_ptr<QCRenderer> before = mRenderer->renderer();
        const Pixel shown = PixelBufferPixel(*mRenderer, 2, 2);
        for (const std::string &bytes : notCompositions) {
            CFDataRef data = CreateData(bytes);
            EXPECT_EQ(mRenderer->openCompositionData(data), previouslyOpen) << bytes;
            CFRelease(data);
            EXPECT_EQ(mRenderer->renderer(), before);
            EXPECT_EQ(mRenderer->hasInputKey("inputBlue"), previouslyOpen);
            EXPECT_EQ(PixelBufferPixel(*mRenderer, 2, 2), shown) << "not cleared";
        }
        EXPECT_EQ(mRenderer->openCompositionData(nullptr), previouslyOpen);
        EXPECT_EQ(mRenderer->openCompositionComposition(nullptr), previouslyOpen);
    }
}

TEST_F(QCRendererPBufferTest, TheTextureImageHasTheTexturesNameSizeAndFlip) {
    for (bool flipped : {false, true}) {
        mRenderer->setFlipVertical(flipped);
        CIImageRef image = mRenderer->textureImage();
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->sourceKind(), CIImage::SourceKind::GLTexture);
        EXPECT_EQ(image->texture(), mRenderer->textureName());
        EXPECT_EQ(image->textureFlipped(), flipped);
        EXPECT_TRUE(CGRectEqualToRect(image->extent(), CGRectMake(0, 0, kWidth, kHeight)));
    }
    // Core Image reads rectangle textures only: a 2-D texture gives no image.
    auto twoD = std::make_shared<NSOGLQCRendererPBuffer>();
    ASSERT_TRUE(twoD->initWithTextureTarget(GL_TEXTURE_2D, kWidth, kHeight));
    EXPECT_EQ(twoD->textureImage(), nullptr);
}

TEST_F(QCRendererPBufferTest, WithoutItsContextNothingOpensOrRenders) {
    OpenTimeColour();
    const auto context = mRenderer->pixelBufferContext();
    mRenderer->setPixelBufferContext(nullptr);
    // No context current at all: the render answers NO.
    ASSERT_EQ(CGLSetCurrentContext(nullptr), kCGLNoError);
    EXPECT_FALSE(mRenderer->renderSceneForTime(1));
    EXPECT_EQ(CGLGetCurrentContext(), nullptr);
    // Reopening directly fails without a context, and leaves nothing half open behind.
    EXPECT_FALSE(mRenderer->openCompositionObject(Open(TimeColourComposition())));
    EXPECT_FALSE(mRenderer->isCompositionOpen());
    EXPECT_FALSE(mRenderer->hasInputKey("inputBlue"));
    mRenderer->setPixelBufferContext(context);
    EXPECT_TRUE(mRenderer->openCompositionObject(Open(TimeColourComposition())));
    EXPECT_TRUE(mRenderer->hasInputKey("inputBlue"));
}

// A delegate that records what the state asks and can fail the first render.
class RecordingDelegate : public NSOGLQCRendererStateDelegate {
public:
    std::shared_ptr<NSOpenGLContext> rendererOpenGLContext() override { return mContext; }
    std::shared_ptr<NSOpenGLPixelFormat> rendererOpenGLPixelFormat() override { return nullptr; }
    void rendererStateRendererInitialize(NSOGLQCRendererState *, bool flag) override {
        mCalls.push_back(flag ? "initialize YES" : "initialize NO");
        if (mRaise) NSException::raise(NSGenericException, "first render failed");
    }
    void rendererStateClearDrawablePixels(NSOGLQCRendererState *, bool force) override {
        mCalls.push_back(force ? "clear YES" : "clear NO");
    }
    std::shared_ptr<NSOpenGLContext> mContext = NSOGLSharingContext::rootSharingContext();
    bool mRaise = false;
    std::vector<std::string> mCalls;
};

TEST(QCRendererState, OpensClearThenInitialiseAndAnExceptionLeavesItClosed) {
    RecordingDelegate delegate;
    NSOGLQCRendererState state(&delegate);
    const QCCompositionRef composition = Open(TimeColourComposition());
    ASSERT_TRUE(state.openCompositionComposition(composition));
    EXPECT_EQ(delegate.mCalls, (std::vector<std::string>{"clear YES", "initialize YES"}));
    // The renderer's context is not current here: the render says so.
    ASSERT_EQ(CGLSetCurrentContext(nullptr), kCGLNoError);
    EXPECT_FALSE(state.renderStateForTime(0));

    delegate.mCalls.clear();
    delegate.mRaise = true;
    EXPECT_FALSE(state.openCompositionComposition(composition));
    EXPECT_FALSE(state.isCompositionOpen());
    EXPECT_EQ(state.rendererInputKeys(), nullptr);
    EXPECT_EQ(delegate.mCalls, (std::vector<std::string>{"clear YES", "initialize YES"}));
    // Opening a file logs the exception and answers the same.
    lumora::test::ScopedFolder folder("state");
    ASSERT_TRUE(lumora::test::WriteFile(folder.file("c.qtz"), TimeColourComposition()));
    EXPECT_FALSE(state.openCompositionPath(folder.file("c.qtz")));
    EXPECT_FALSE(state.isCompositionOpen());

    delegate.mRaise = false;
    delegate.mContext = nullptr;
    EXPECT_FALSE(state.openCompositionComposition(composition)) << "no context to render on";
    EXPECT_FALSE(state.isCompositionOpen());
}

} // namespace
