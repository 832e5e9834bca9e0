// The draw-rect texture: the default drawing uploads a transparent picture, a subclass's
// drawing lands in the texture (the picture's top row as texture row 0), a texture without
// pixels reports "image", and the dirty flag and the graphics context are put right on every
// path, an exception from the drawing included.
#include <CocoaGL/NSOGLDrawRectTexture.h>

#include <AppKit/NSGraphicsContext.h>
#include <CoreGraphics/CGContext.h>
#include <Foundation/NSException.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "sdk/CoreG/GLTestSupport.h"

namespace {

// Level 0 as 0xAABBGGRR words, texture row 0 first.
std::vector<uint32_t> Pixels(const NSOGLTextureBase &texture) {
    std::vector<uint32_t> pixels(std::size_t(texture.textureWidth()) * texture.textureHeight(), 0xDEADBEEF);
    glBindTexture(texture.textureTarget(), texture.textureName());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(texture.textureTarget(), 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(texture.textureTarget(), 0);
    return pixels;
}

void FillOpaque(NSOGLTextureBase &texture) {
    const std::vector<uint32_t> white(std::size_t(texture.textureWidth()) * texture.textureHeight(), 0xFFFFFFFF);
    ASSERT_TRUE(texture.textureUpdateFromPixelData(white.data(), texture.textureWidth() * 4, 32, 4, true));
}

// Draws opaque red over the upper half of its rectangle (Quartz coordinates: y up).
class UpperHalfRed : public NSOGLDrawRectTexture {
public:
    void drawRect(CGRect rect) override {
        ++mDrawn;
        mRect = rect;
        CGContextRef port = NSGraphicsContext::currentContext()->graphicsPort();
        CGContextSetRGBFillColor(port, 1, 0, 0, 1);
        CGContextFillRect(port, CGRectMake(0, rect.size.height / 2, rect.size.width, rect.size.height / 2));
    }
    int mDrawn = 0;
    CGRect mRect{};
};

class Throwing : public NSOGLDrawRectTexture {
public:
    void drawRect(CGRect) override { throw NSException("NSGenericException", "drawing failed"); }
};

class NSOGLDrawRectTextureTest : public coreg_test::GLContextTest {
protected:
    coreg_test::DebugLogCapture mLog;
};

TEST_F(NSOGLDrawRectTextureTest, DefaultDrawingUploadsATransparentPicture) {
    ASSERT_TRUE(import_NSOGLDrawRectTexture());
    for (GLenum target : {GLenum(GL_TEXTURE_RECTANGLE_EXT), GLenum(GL_TEXTURE_2D)}) {
        SCOPED_TRACE(target);
        NSOGLDrawRectTexture texture;
        texture.initWithTextureTarget(target, 8, 4);
        EXPECT_FALSE(texture.isDirty());
        FillOpaque(texture);
        texture.setDirty(true);
        EXPECT_TRUE(texture.textureUpdate());
        EXPECT_FALSE(texture.isDirty());
        EXPECT_EQ(Pixels(texture), std::vector<uint32_t>(32, 0u));
    }
    EXPECT_EQ(mLog.Text(), "");
}

TEST_F(NSOGLDrawRectTextureTest, SubclassDrawingLandsInTheTexture) {
    UpperHalfRed texture;
    texture.initWithTextureTarget(GL_TEXTURE_RECTANGLE_EXT, 6, 4);  // draws once
    EXPECT_EQ(texture.mDrawn, 1);
    EXPECT_EQ(texture.mRect.size.width, 6);
    EXPECT_EQ(texture.mRect.size.height, 4);
    const std::vector<uint32_t> pixels = Pixels(texture);
    for (int row = 0; row < 4; ++row)
        for (int x = 0; x < 6; ++x)
            // The picture's upper half is its first rows: texture rows 0 and 1.
            EXPECT_EQ(pixels[std::size_t(row * 6 + x)], row < 2 ? 0xFF0000FFu : 0u) << "row " << row << " x " << x;
    // The update chain reaches the drawing.
    EXPECT_TRUE(texture.textureUpdateWithTime(1.0));
    EXPECT_EQ(texture.mDrawn, 2);
    // Drawing leaves the caller's graphics context as it was.
    EXPECT_EQ(NSGraphicsContext::currentContext(), nullptr);
}

TEST_F(NSOGLDrawRectTextureTest, FailuresClearTheDirtyFlag) {
    NSOGLDrawRectTexture empty;
    empty.init();  // GL_TEXTURE_2D, 0 x 0: no picture can be made
    EXPECT_EQ(empty.textureTarget(), GLenum(GL_TEXTURE_2D));
    mLog.Clear();
    empty.setDirty(true);
    EXPECT_FALSE(empty.textureUpdate());
    EXPECT_FALSE(empty.isDirty());
    EXPECT_NE(mLog.Text().find("VERIFY FAILED:  code : image in "), std::string::npos) << mLog.Text();

    Throwing throwing;
    throwing.setTextureTarget(GL_TEXTURE_RECTANGLE_EXT);
    throwing.setTextureWidth(4);
    throwing.setTextureHeight(4);
    throwing.setDirty(true);
    EXPECT_THROW(throwing.textureUpdate(), NSException);
    EXPECT_FALSE(throwing.isDirty());
    EXPECT_EQ(NSGraphicsContext::currentContext(), nullptr);
}

}  // namespace
