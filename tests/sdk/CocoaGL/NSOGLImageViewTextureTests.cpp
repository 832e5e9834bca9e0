// The image-view texture: an image of the texture's size is uploaded pixel for pixel, another
// size is redrawn at the texture's size over black; no view or no image answers false and
// clears the update flag; the T range is swapped.
#include <CocoaGL/NSOGLImageViewTexture.h>

#include <AppKit/NSImage.h>
#include <AppKit/NSImageView.h>

#include <gtest/gtest.h>

#include <QImage>

#include <memory>
#include <vector>

#include "sdk/CoreG/GLTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace {

class NSOGLImageViewTextureTest : public coreg_test::GLContextTest, public riradi_test::WithApplication {
protected:
    // Level 0 as 0xAARRGGBB words, texture row 0 first.
    static std::vector<uint32_t> ReadBack(const NSOGLTextureBase &texture) {
        std::vector<uint32_t> pixels(std::size_t(texture.textureWidth()) * texture.textureHeight(), 0xEEEEEEEEu);
        glBindTexture(texture.textureTarget(), texture.textureName());
        glGetTexImage(texture.textureTarget(), 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
        glBindTexture(texture.textureTarget(), 0);
        return pixels;
    }

    NSImageView view;
};

constexpr int kWidth = 4, kHeight = 3;

// Opaque, a different colour at each pixel.
QRgb ColourAt(int x, int y) { return qRgb(40 + x * 50, 30 + y * 90, 200 - x * 20 - y * 30); }

TEST_F(NSOGLImageViewTextureTest, AnImageOfTheTextureSizeIsUploadedPixelForPixelTopRowFirst) {
    ASSERT_TRUE(import_NSOGLImageViewTexture());
    QImage image(kWidth, kHeight, QImage::Format_ARGB32);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) image.setPixel(x, y, ColourAt(x, y));
    view.setImage(NSImage::imageWithQImage(image));

    NSOGLImageViewTexture texture;
    texture.initWithImageView(&view, GL_TEXTURE_RECTANGLE_ARB, kWidth, kHeight, nullptr);
    EXPECT_EQ(texture.imageView(), &view);
    EXPECT_TRUE(texture.textureUpdateNeeded());
    EXPECT_TRUE(texture.textureUpdate());
    EXPECT_FALSE(texture.textureUpdateNeeded());
    EXPECT_FALSE(texture.textureUpdate());  // nothing to do until asked again
    const std::vector<uint32_t> pixels = ReadBack(texture);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            EXPECT_EQ(pixels[std::size_t(y * kWidth + x)], ColourAt(x, y)) << x << "," << y;
    // Row 0 is the image's top row: drawn upright, T runs from the height down to 0.
    EXPECT_EQ(texture.textureCoordTMin(), float(kHeight));
    EXPECT_EQ(texture.textureCoordTMax(), 0.0f);
    EXPECT_EQ(texture.textureCoordSMin(), 0.0f);
    EXPECT_EQ(texture.textureCoordSMax(), float(kWidth));
}

TEST_F(NSOGLImageViewTextureTest, AnImageOfAnotherSizeIsDrawnAtTheTextureSizeOverBlack) {
    // 2 x 1: opaque red, then transparent.
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 0, 255));
    image.setPixel(1, 0, qRgba(0, 0, 0, 0));
    view.setImage(NSImage::imageWithQImage(image));

    constexpr int kSide = 8;
    NSOGLImageViewTexture texture;
    texture.initWithImageView(&view, GL_TEXTURE_RECTANGLE_ARB, kSide, kSide);
    ASSERT_TRUE(texture.textureUpdate());
    const std::vector<uint32_t> pixels = ReadBack(texture);
    for (int y = 0; y < kSide; ++y) {
        EXPECT_EQ(pixels[std::size_t(y * kSide)], 0xFFFF0000u) << y;               // the red half
        EXPECT_EQ(pixels[std::size_t(y * kSide + kSide - 1)], 0xFF000000u) << y;   // black where transparent
    }
}

TEST_F(NSOGLImageViewTextureTest, NoViewOrNoImageAnswersFalseAndClearsTheFlag) {
    NSOGLImageViewTexture texture;
    texture.initWithImageView(&view, GL_TEXTURE_RECTANGLE_ARB, kWidth, kHeight);
    EXPECT_FALSE(texture.textureUpdateNeeded());  // the view shows nothing
    texture.setTextureUpdateNeeded(true);
    EXPECT_FALSE(texture.textureUpdate());
    EXPECT_FALSE(texture.textureUpdateNeeded());

    // A view that goes is forgotten.
    auto *gone = new NSImageView;
    gone->setImage(NSImage::imageWithQImage(QImage(kWidth, kHeight, QImage::Format_ARGB32)));
    texture.setImageView(gone);
    delete gone;
    EXPECT_EQ(texture.imageView(), nullptr);
    texture.setTextureUpdateNeeded(true);
    EXPECT_FALSE(texture.textureUpdate());
    EXPECT_FALSE(texture.textureUpdateNeeded());

    // No view at all.
    NSOGLImageViewTexture bare;
    bare.initWithImageView(nullptr, GL_TEXTURE_2D, kWidth, kHeight);
    bare.setTextureUpdateNeeded(true);
    EXPECT_FALSE(bare.textureUpdate());
    EXPECT_FALSE(bare.textureUpdateNeeded());
    EXPECT_EQ(bare.textureCoordTMin(), 1.0f);
    EXPECT_EQ(bare.textureCoordTMax(), 0.0f);
}

}  // namespace
