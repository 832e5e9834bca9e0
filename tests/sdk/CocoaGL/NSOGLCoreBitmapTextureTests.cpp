// Bitmap textures: each bitmap layout uploads (or is refused) with its pixels exactly, rows
// padded beyond width x 4 included; drawing done through the bitmap's CGContext shows; the
// mask texture's parameters; bitmaps the initialiser refuses.
#include <CocoaGL/NSOGLCoreBitmapTexture.h>

#include <CoreGraphics/CGContext.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sdk/CoreG/GLTestSupport.h"

namespace {

using CoreGraphics::BitmapContext;

class NSOGLCoreBitmapTextureTest : public coreg_test::GLContextTest {
protected:
    // Level 0 as 0xAARRGGBB words, texture row 0 first.
    static std::vector<uint32_t> ReadBack(const NSOGLTextureBase &texture) {
        std::vector<uint32_t> pixels(std::size_t(texture.textureWidth()) * texture.textureHeight(), 0xEEEEEEEEu);
        glBindTexture(texture.textureTarget(), texture.textureName());
        glGetTexImage(texture.textureTarget(), 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels.data());
        glBindTexture(texture.textureTarget(), 0);
        return pixels;
    }

    coreg_test::DebugLogCapture mLog;
};

// A distinct value for each pixel and byte.
uint8_t ByteOf(int x, int y, int byte) { return uint8_t(x * 7 + y * 31 + byte * 61 + 1); }

TEST_F(NSOGLCoreBitmapTextureTest, EachLayoutUploadsItsPixelsExactlyWhateverTheRowBytes) {
    ASSERT_TRUE(import_NSOGLCoreBitmapTexture());
    struct Case {
        CoreGraphics::BitmapType type;
        unsigned long rowBytes;  // 0: packed
        bool uploaded;
    };
    const Case cases[] = {
        {CoreGraphics::kBitmapType_ARGB32, 0, true},
        {CoreGraphics::kBitmapType_ARGB32, 13 * 4 + 20, true},  // padded rows
        {CoreGraphics::kBitmapType_XRGB32, 13 * 4 + 64, true},
        {CoreGraphics::kBitmapType_Gray8, 0, true},
        {CoreGraphics::kBitmapType_Gray8, 13 + 3, true},
        {CoreGraphics::kBitmapType_RGBX32, 0, false},  // not a layout of the texture
    };
    constexpr int kWidth = 13, kHeight = 5;
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << c.type << " row bytes " << c.rowBytes);
        BitmapContext bitmap;
        ASSERT_TRUE(bitmap.Construct(kWidth, kHeight, c.type, c.rowBytes));
        const int bytesPerPixel = int(bitmap.mImageBitsPerPixel / 8);
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                for (int b = 0; b < bytesPerPixel; ++b)
                    bitmap.mImageDataBytes[std::size_t(y) * bitmap.mImageRowBytes + std::size_t(x * bytesPerPixel + b)] =
                        ByteOf(x, y, b);
        bitmap.DidWritePixels();

        NSOGLCoreBitmapTexture texture;
        ASSERT_TRUE(texture.initWithBitmapContext(&bitmap, GL_TEXTURE_RECTANGLE_EXT));
        EXPECT_EQ(texture.textureWidth(), GLuint(kWidth));
        EXPECT_EQ(texture.textureHeight(), GLuint(kHeight));
        EXPECT_EQ(texture.textureUpdate(), c.uploaded);
        if (!c.uploaded) continue;
        EXPECT_FALSE(texture.textureUpdateNeeded());
        const std::vector<uint32_t> pixels = ReadBack(texture);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                uint32_t expected = 0;
                if (c.type == CoreGraphics::kBitmapType_Gray8) {
                    const uint32_t v = ByteOf(x, y, 0);
                    expected = 0xFF000000u | v << 16 | v << 8 | v;
                } else {  // A,R,G,B bytes (X in place of A)
                    expected = uint32_t(ByteOf(x, y, 0)) << 24 | uint32_t(ByteOf(x, y, 1)) << 16 |
                               uint32_t(ByteOf(x, y, 2)) << 8 | ByteOf(x, y, 3);
                }
                ASSERT_EQ(pixels[std::size_t(y) * kWidth + std::size_t(x)], expected) << "at " << x << ", " << y;
            }
        }
    }
}

TEST_F(NSOGLCoreBitmapTextureTest, DrawingThroughTheBitmapContextShowsAtTheNextUpdate) {
    BitmapContext bitmap;
    ASSERT_TRUE(bitmap.Construct(8, 4, CoreGraphics::kBitmapType_ARGB32, 8 * 4 + 32));
    auto texture = NSOGLCoreBitmapTexture::textureWithBitmapContext(&bitmap, GL_TEXTURE_2D);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(ReadBack(*texture)[0], 0u);  // a new bitmap is transparent

    CGContextSetRGBFillColor(bitmap.mContext, 1, 0, 0, 1);
    CGContextFillRect(bitmap.mContext, CGRectMake(0, 0, 8, 4));
    ASSERT_TRUE(texture->textureUpdate());
    for (uint32_t pixel : ReadBack(*texture)) ASSERT_EQ(pixel, 0xFFFF0000u);
}

TEST_F(NSOGLCoreBitmapTextureTest, RefusesBitmapsAndPixelsItCannotUpload) {
    EXPECT_EQ(NSOGLCoreBitmapTexture::textureWithBitmapContext(nullptr, GL_TEXTURE_2D), nullptr);
    BitmapContext empty;
    EXPECT_EQ(NSOGLCoreBitmapTexture::textureWithBitmapContext(&empty, GL_TEXTURE_2D), nullptr);

    // Without a bitmap the update is reported.
    NSOGLCoreBitmapTexture bare;
    bare.initWithTextureTarget(GL_TEXTURE_2D, 4, 4);
    mLog.Clear();
    EXPECT_FALSE(bare.textureUpdate());
    EXPECT_NE(mLog.Text().find("VERIFY FAILED:  code : _bitmapContext in NSOGLCoreBitmapTexture"), std::string::npos)
        << mLog.Text();

    // Row bytes that cannot hold a row, or are not whole pixels, are refused.
    const std::vector<uint8_t> pixels(4 * 4 * 4 + 64, 0x80);
    EXPECT_FALSE(bare.textureUpdateFrom_ARGB_PixelData(nullptr, 16, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8));
    EXPECT_FALSE(bare.textureUpdateFrom_ARGB_PixelData(pixels.data(), 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8));
    EXPECT_FALSE(bare.textureUpdateFrom_ARGB_PixelData(pixels.data(), 12, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8));
    EXPECT_FALSE(bare.textureUpdateFrom_ARGB_PixelData(pixels.data(), 18, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8));
    EXPECT_TRUE(bare.textureUpdateFrom_ARGB_PixelData(pixels.data(), 16, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8));
}

TEST_F(NSOGLCoreBitmapTextureTest, MaskTextureClampsAndFiltersLinearly) {
    struct Case {
        GLenum target;
        GLint wrap;
    };
    for (const Case &c : {Case{GL_TEXTURE_RECTANGLE_EXT, GL_CLAMP_TO_EDGE}, Case{GL_TEXTURE_2D, GL_CLAMP_TO_BORDER}}) {
        BitmapContext bitmap;
        ASSERT_TRUE(bitmap.Construct(4, 4, CoreGraphics::kBitmapType_Gray8));
        auto mask = NSOGLCoreBitmapMaskTexture::textureWithBitmapContext(&bitmap, c.target);
        ASSERT_NE(mask, nullptr);
        glBindTexture(c.target, mask->textureName());
        GLint value = 0;
        glGetTexParameteriv(c.target, GL_TEXTURE_WRAP_S, &value);
        EXPECT_EQ(value, c.wrap);
        glGetTexParameteriv(c.target, GL_TEXTURE_WRAP_T, &value);
        EXPECT_EQ(value, c.wrap);
        glGetTexParameteriv(c.target, GL_TEXTURE_MIN_FILTER, &value);
        EXPECT_EQ(value, GL_LINEAR);
        glGetTexParameteriv(c.target, GL_TEXTURE_MAG_FILTER, &value);
        EXPECT_EQ(value, GL_LINEAR);
        glBindTexture(c.target, 0);
    }
}

}  // namespace
