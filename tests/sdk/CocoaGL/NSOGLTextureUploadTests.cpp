// The upload paths of the texture base: the source format chosen for each pixel layout, rows
// padded to any row bytes, bitmaps (refused, same size, resized), 2vuy frames from memory and
// from a pixel-unpack buffer, and widget contents. Pixels are read back with glGetTexImage.
#include <CocoaGL/NSOGLTextureBase.h>

#include <AppKit/NSBitmapImageRep.h>

#include <gtest/gtest.h>

#include <QLabel>
#include <QPalette>
#include <QWidget>

#include <cstring>
#include <memory>
#include <vector>

#include "sdk/CoreG/GLTestSupport.h"
#include "sdk/RiradI/RiradITestApplication.h"

namespace {

using Bytes = std::vector<uint8_t>;

class NSOGLTextureUploadTest : public coreg_test::GLContextTest {
protected:
    // A rectangle texture of the size, made with this test's context current.
    std::unique_ptr<NSOGLTextureBase> Texture(GLuint width, GLuint height, GLenum target = GL_TEXTURE_RECTANGLE_EXT) {
        auto texture = std::make_unique<NSOGLTextureBase>();
        texture->initWithTextureTarget(target, width, height);
        return texture;
    }

    // Level 0 as R, G, B, A rows, tightly packed, row 0 first.
    static Bytes ReadBack(const NSOGLTextureBase &texture) {
        Bytes pixels(std::size_t(texture.textureWidth()) * texture.textureHeight() * 4, 0xEE);
        glBindTexture(texture.textureTarget(), texture.textureName());
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(texture.textureTarget(), 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glBindTexture(texture.textureTarget(), 0);
        return pixels;
    }

    static GLint Parameter(GLenum name) {
        GLint value = -1;
        glGetIntegerv(name, &value);
        return value;
    }

    coreg_test::DebugLogCapture mLog;
};

TEST_F(NSOGLTextureUploadTest, SourceFormatFollowsTheLayout) {
    struct Case {
        unsigned bits, samples;
        bool alpha;
        Bytes pixel;     // one source pixel
        bool uploaded;   // else refused with the failed check "0"
        Bytes expected;  // read back as RGBA
    };
    const Case cases[] = {
        {8, 1, false, {90}, true, {90, 90, 90, 255}},
        {24, 3, false, {10, 20, 30}, true, {10, 20, 30, 255}},
        {32, 4, true, {10, 20, 30, 40}, true, {10, 20, 30, 40}},
        {32, 4, false, {10, 20, 30, 40}, true, {10, 20, 30, 40}},
        {32, 3, false, {10, 20, 30, 40}, true, {10, 20, 30, 40}},  // a skipped byte reads as alpha
        {16, 2, false, {10, 20}, false, {}},
        {16, 2, true, {10, 20}, false, {}},
        {24, 3, true, {10, 20, 30}, false, {}},
        {64, 4, true, {1, 2, 3, 4, 5, 6, 7, 8}, false, {}},  // 16-bit samples
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << "/" << c.samples << " alpha " << c.alpha);
        const auto texture = Texture(2, 2);
        const Bytes before = ReadBack(*texture);
        Bytes data;
        for (int i = 0; i < 4; ++i) data.insert(data.end(), c.pixel.begin(), c.pixel.end());
        mLog.Clear();
        texture->setDirty(true);
        EXPECT_EQ(texture->textureUpdateFromPixelData(data.data(), c.pixel.size() * 2, c.bits, c.samples, c.alpha),
                  c.uploaded);
        EXPECT_FALSE(texture->isDirty());
        if (c.uploaded) {
            Bytes expected;
            for (int i = 0; i < 4; ++i) expected.insert(expected.end(), c.expected.begin(), c.expected.end());
            EXPECT_EQ(ReadBack(*texture), expected);
            EXPECT_EQ(mLog.Text(), "");
        } else {
            EXPECT_EQ(ReadBack(*texture), before);
            EXPECT_NE(mLog.Text().find("VERIFY FAILED:  code : 0 in "), std::string::npos) << mLog.Text();
        }
    }
}

// Row bytes beyond the row are padding: each row is read from its own start. Row bytes that
// no row length and alignment describe, or shorter than a row, are refused.
TEST_F(NSOGLTextureUploadTest, PaddedRowsUploadStraight) {
    struct Case {
        unsigned bits;
        std::size_t rowBytes;
        bool accepted;
    };
    const Case cases[] = {
        {24, 9, true},  {24, 10, true}, {24, 12, true}, {24, 16, true}, {24, 11, false}, {24, 8, false},
        {32, 12, true}, {32, 20, true}, {32, 14, false}, {8, 3, true},  {8, 7, true},    {8, 2, false},
    };
    const GLint alignmentBefore = Parameter(GL_UNPACK_ALIGNMENT);
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, row bytes " << c.rowBytes);
        const unsigned pixelBytes = c.bits / 8;
        const auto texture = Texture(3, 2);
        const Bytes before = ReadBack(*texture);
        // Row r, pixel x, sample s holds 100 r + 10 x + s + 1; padding holds 0xAB.
        Bytes data(c.rowBytes * 2, 0xAB);
        for (std::size_t r = 0; r < 2; ++r)
            for (std::size_t x = 0; x < 3 && (x + 1) * pixelBytes <= c.rowBytes; ++x)
                for (std::size_t s = 0; s < pixelBytes; ++s)
                    data[r * c.rowBytes + x * pixelBytes + s] = uint8_t(100 * r + 10 * x + s + 1);
        texture->setDirty(true);
        EXPECT_EQ(texture->textureUpdateFromPixelData(data.data(), c.rowBytes, c.bits, pixelBytes, c.bits == 32),
                  c.accepted);
        if (!c.accepted) {
            EXPECT_TRUE(texture->isDirty());
            EXPECT_EQ(ReadBack(*texture), before);
            continue;
        }
        EXPECT_FALSE(texture->isDirty());
        Bytes expected;
        for (int r = 0; r < 2; ++r)
            for (int x = 0; x < 3; ++x) {
                const uint8_t base = uint8_t(100 * r + 10 * x + 1);
                if (pixelBytes == 1) expected.insert(expected.end(), {base, base, base, 255});
                if (pixelBytes == 3) expected.insert(expected.end(), {base, uint8_t(base + 1), uint8_t(base + 2), 255});
                if (pixelBytes == 4)
                    expected.insert(expected.end(), {base, uint8_t(base + 1), uint8_t(base + 2), uint8_t(base + 3)});
            }
        EXPECT_EQ(ReadBack(*texture), expected);
    }
    // The context's unpack state is left as it was.
    EXPECT_EQ(Parameter(GL_UNPACK_ROW_LENGTH), 0);
    EXPECT_EQ(Parameter(GL_UNPACK_ALIGNMENT), alignmentBefore);
}

TEST_F(NSOGLTextureUploadTest, PixelDataRefusals) {
    const auto texture = Texture(2, 2);
    const uint8_t pixels[16] = {};
    texture->setDirty(true);
    EXPECT_FALSE(texture->textureUpdateFromPixelData(nullptr, 8, 32, 4, true));
    EXPECT_FALSE(texture->textureUpdateFromPixelData(pixels, 0, 32, 4, true));
    EXPECT_TRUE(texture->isDirty());
    EXPECT_NE(mLog.Text().find("code : pixelData in "), std::string::npos) << mLog.Text();
    EXPECT_NE(mLog.Text().find("code : rowBytes in "), std::string::npos) << mLog.Text();

    CGLSetCurrentContext(nullptr);
    EXPECT_FALSE(texture->textureUpdateFromPixelData(pixels, 8, 32, 4, true));
    EXPECT_TRUE(texture->isDirty());
    CGLSetCurrentContext(mContext);

    // A texture without a texture object uploads nothing (and binds no stray name).
    const auto unmade = Texture(2, 2, GL_TEXTURE_1D);
    EXPECT_FALSE(unmade->textureUpdateFromPixelData(pixels, 8, 32, 4, true));
    EXPECT_FALSE(glIsTexture(NSOGLTextureBase::kNoTextureName));
}

// ---- Bitmaps ----------------------------------------------------------------------------------------

std::shared_ptr<NSBitmapImageRep> Bitmap(long width, long height, long bitsPerSample, long samples, bool alpha,
                                         NSBitmapFormat format = NSAlphaNonpremultipliedBitmapFormat,
                                         long rowBytes = 0) {
    return NSBitmapImageRep::initWithBitmapDataPlanes(nullptr, width, height, bitsPerSample, samples, alpha, false,
                                                      samples < 3 ? NSDeviceWhiteColorSpace : NSDeviceRGBColorSpace,
                                                      format, rowBytes, 0);
}

TEST_F(NSOGLTextureUploadTest, BitmapsAreCheckedThenUploaded) {
    const auto texture = Texture(2, 2);

    EXPECT_FALSE(texture->textureUpdateFromBitmapDataSameSize(nullptr));
    EXPECT_NE(mLog.Text().find("code : bitmap in "), std::string::npos) << mLog.Text();
    EXPECT_FALSE(texture->textureUpdateFromBitmapData(nullptr));

    mLog.Clear();
    const auto floats = Bitmap(2, 2, 32, 4, true, NSFloatingPointSamplesBitmapFormat);
    ASSERT_NE(floats, nullptr);
    EXPECT_FALSE(texture->textureUpdateFromBitmapDataSameSize(floats));
    EXPECT_NE(mLog.Text().find("code : fFloatingPoint==false in "), std::string::npos) << mLog.Text();

    // A bitmap smaller than the texture is never read past its end.
    mLog.Clear();
    const auto small = Bitmap(1, 1, 8, 4, true);
    EXPECT_FALSE(texture->textureUpdateFromBitmapDataSameSize(small));
    EXPECT_NE(mLog.Text().find("VERIFY FAILED"), std::string::npos);

    // Padded rows of a 3-sample bitmap.
    const auto rgb = Bitmap(2, 2, 8, 3, false, NSBitmapFormat(0), 8);
    ASSERT_NE(rgb, nullptr);
    const uint8_t rows[16] = {1, 2, 3, 4, 5, 6, 0xFF, 0xFF, 7, 8, 9, 10, 11, 12, 0xFF, 0xFF};
    std::memcpy(rgb->bitmapData(), rows, sizeof rows);
    EXPECT_TRUE(texture->textureUpdateFromBitmapData(rgb));
    EXPECT_EQ(ReadBack(*texture), (Bytes{1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12, 255}));
}

TEST_F(NSOGLTextureUploadTest, OtherSizesAreResized) {
    const auto texture = Texture(4, 2);
    const auto bitmap = Bitmap(2, 1, 8, 4, true);
    ASSERT_NE(bitmap, nullptr);
    const uint8_t pixels[8] = {255, 0, 0, 255, 0, 0, 255, 255};  // red, blue
    std::memcpy(bitmap->bitmapData(), pixels, sizeof pixels);

    // The transparent version keeps alpha; the new version is drawn over black. Both scale
    // the bitmap over the whole texture: left half red, right half blue (on every row).
    for (const bool overBlack : {false, true}) {
        SCOPED_TRACE(overBlack);
        texture->setDirty(true);
        EXPECT_TRUE(overBlack ? texture->textureUpdateFromBitmapDataResize_NewVersionDoesNotWorkWithMasks(bitmap)
                              : texture->textureUpdateFromBitmapData(bitmap));
        EXPECT_FALSE(texture->isDirty());
        const Bytes read = ReadBack(*texture);
        for (int row = 0; row < 2; ++row) {
            const uint8_t *left = &read[std::size_t(row) * 16];
            const uint8_t *right = left + 12;
            EXPECT_GT(left[0], 200);
            EXPECT_LT(left[2], 50);
            EXPECT_EQ(left[3], 255);
            EXPECT_LT(right[0], 50);
            EXPECT_GT(right[2], 200);
            EXPECT_EQ(right[3], 255);
        }
    }
    EXPECT_FALSE(texture->textureUpdateFromBitmapDataResize_NewVersionDoesNotWorkWithMasks(nullptr));
}

// ---- 2vuy frames ------------------------------------------------------------------------------------

// A 2 x 2 frame with rows `rowBytes` apart (padding 0xAB): white and black on row 0, a mid
// grey pair on row 1.
Bytes Frame2vuy(std::size_t rowBytes) {
    Bytes frame(rowBytes * 2, 0xAB);
    const uint8_t row0[4] = {128, 235, 128, 16};
    const uint8_t row1[4] = {128, 126, 128, 126};
    std::memcpy(frame.data(), row0, 4);
    std::memcpy(frame.data() + rowBytes, row1, 4);
    return frame;
}

const Bytes kFrame2vuyRGBA = {255, 255, 255, 255, 0, 0, 0, 255, 128, 128, 128, 255, 128, 128, 128, 255};

TEST_F(NSOGLTextureUploadTest, TwoVuyFramesFromMemory) {
    const auto texture = Texture(2, 2);
    for (const std::size_t rowBytes : {std::size_t(4), std::size_t(8), std::size_t(12)}) {
        SCOPED_TRACE(rowBytes);
        const Bytes frame = Frame2vuy(rowBytes);
        texture->setDirty(true);
        EXPECT_TRUE(texture->textureUpdateFrom_2vuy_data(frame.data(), rowBytes, NSOGLTextureBase::k2vuyPixelFormat));
        EXPECT_FALSE(texture->isDirty());
        EXPECT_EQ(ReadBack(*texture), kFrame2vuyRGBA);
        GLint internalFormat = 0;
        glBindTexture(GL_TEXTURE_RECTANGLE_EXT, texture->textureName());
        glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE_EXT, 0, GL_TEXTURE_INTERNAL_FORMAT, &internalFormat);
        glBindTexture(GL_TEXTURE_RECTANGLE_EXT, 0);
        EXPECT_EQ(internalFormat, GL_RGB8);
    }

    // Refusals keep the dirty flag; no context is a refusal, not a success.
    const Bytes frame = Frame2vuy(4);
    struct Refusal {
        const void *data;
        std::size_t rowBytes;
        uint32_t format;
        bool context;
    };
    const Refusal refusals[] = {
        {nullptr, 4, NSOGLTextureBase::k2vuyPixelFormat, true},
        {frame.data(), 0, NSOGLTextureBase::k2vuyPixelFormat, true},
        {frame.data(), 2, NSOGLTextureBase::k2vuyPixelFormat, true},  // shorter than a row
        {frame.data(), 5, NSOGLTextureBase::k2vuyPixelFormat, true},  // not whole pairs
        {frame.data(), 4, 0x42475241, true},                          // 'BGRA'
        {frame.data(), 4, NSOGLTextureBase::k2vuyPixelFormat, false},
    };
    for (const Refusal &r : refusals) {
        SCOPED_TRACE(testing::Message() << r.rowBytes << " " << r.format << " " << r.context);
        texture->setDirty(true);
        if (!r.context) CGLSetCurrentContext(nullptr);
        EXPECT_FALSE(texture->textureUpdateFrom_2vuy_data(r.data, r.rowBytes, r.format));
        CGLSetCurrentContext(mContext);
        EXPECT_TRUE(texture->isDirty());
    }

    // A normalised texture takes no 2vuy frame: nothing changes, the answer is YES.
    const auto flat = Texture(2, 2, GL_TEXTURE_2D);
    const Bytes before = ReadBack(*flat);
    flat->setDirty(true);
    EXPECT_TRUE(flat->textureUpdateFrom_2vuy_data(frame.data(), 4, NSOGLTextureBase::k2vuyPixelFormat));
    EXPECT_FALSE(flat->isDirty());
    EXPECT_EQ(ReadBack(*flat), before);
}

TEST_F(NSOGLTextureUploadTest, TwoVuyFramesFromAnUnpackBuffer) {
    const auto texture = Texture(2, 2);
    const Bytes frame = Frame2vuy(4);
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, buffer);
    Bytes contents(16, 0);
    contents.insert(contents.end(), frame.begin(), frame.end());  // the frame at offset 16
    glBufferData(GL_PIXEL_UNPACK_BUFFER, GLsizeiptr(contents.size()), contents.data(), GL_STATIC_DRAW);

    texture->setDirty(true);
    EXPECT_TRUE(texture->textureUpdateFrom_2vuy_data_PBO(16, NSOGLTextureBase::k2vuyPixelFormat));
    EXPECT_FALSE(texture->isDirty());
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    EXPECT_EQ(ReadBack(*texture), kFrame2vuyRGBA);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, buffer);

    // A frame reaching past the buffer, a refused pixel format, no context: NO, still dirty.
    texture->setDirty(true);
    EXPECT_FALSE(texture->textureUpdateFrom_2vuy_data_PBO(17, NSOGLTextureBase::k2vuyPixelFormat));
    EXPECT_FALSE(texture->textureUpdateFrom_2vuy_data_PBO(-1, NSOGLTextureBase::k2vuyPixelFormat));
    EXPECT_FALSE(texture->textureUpdateFrom_2vuy_data_PBO(0, 0x42475241));
    CGLSetCurrentContext(nullptr);
    EXPECT_FALSE(texture->textureUpdateFrom_2vuy_data_PBO(0, NSOGLTextureBase::k2vuyPixelFormat));
    CGLSetCurrentContext(mContext);
    EXPECT_TRUE(texture->isDirty());
    // The buffer stays bound for the caller.
    EXPECT_EQ(GLuint(Parameter(GL_PIXEL_UNPACK_BUFFER_BINDING)), buffer);

    // Without a bound buffer there is nothing to read.
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    EXPECT_FALSE(texture->textureUpdateFrom_2vuy_data_PBO(0, NSOGLTextureBase::k2vuyPixelFormat));
    glDeleteBuffers(1, &buffer);

    // Another target: YES, nothing uploaded, the flag untouched.
    const auto flat = Texture(2, 2, GL_TEXTURE_2D);
    flat->setDirty(true);
    EXPECT_TRUE(flat->textureUpdateFrom_2vuy_data_PBO(0, NSOGLTextureBase::k2vuyPixelFormat));
    EXPECT_TRUE(flat->isDirty());
}

// ---- Widget contents --------------------------------------------------------------------------------

class NSOGLTextureViewTest : public NSOGLTextureUploadTest, public riradi_test::WithApplication {};

TEST_F(NSOGLTextureViewTest, ViewContentsOfTheTexturesSize) {
    QWidget view;
    view.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0, 0, 255));
    view.setPalette(palette);
    QWidget top(&view);  // the top half red
    top.setAutoFillBackground(true);
    palette.setColor(QPalette::Window, QColor(255, 0, 0));
    top.setPalette(palette);
    view.resize(4, 2);
    top.setGeometry(0, 0, 4, 1);

    NSOpenGLContext context(mContext);
    const auto texture = Texture(4, 2);
    texture->setDirty(true);
    EXPECT_TRUE(texture->textureUpdateFromViewContents(&view, &context));
    EXPECT_TRUE(texture->isDirty());  // not touched
    const Bytes read = ReadBack(*texture);
    // Texture row 0 is the view's bottom row.
    EXPECT_EQ(Bytes(read.begin(), read.begin() + 4), (Bytes{0, 0, 255, 255}));
    EXPECT_EQ(Bytes(read.begin() + 16, read.begin() + 20), (Bytes{255, 0, 0, 255}));

    // Another size, no context, no view: NO.
    view.resize(5, 2);
    EXPECT_FALSE(texture->textureUpdateFromViewContents(&view, &context));
    view.resize(4, 2);
    NSOpenGLContext none(nullptr);
    EXPECT_FALSE(texture->textureUpdateFromViewContents(&view, &none));
    EXPECT_FALSE(texture->textureUpdateFromViewContents(&view, nullptr));
    EXPECT_FALSE(texture->textureUpdateFromViewContents(nullptr, &context));
}

// The view's context is made current for the copy and the caller's put back.
TEST_F(NSOGLTextureViewTest, ViewContentsUseTheGivenContext) {
    QWidget view;
    view.resize(2, 2);
    const auto texture = Texture(2, 2);
    CGLContextObj shared = coreg_test::NewContext(mContext);
    CGLContextObj other = coreg_test::NewContext();
    {
        NSOpenGLContext context(shared);
        CGLSetCurrentContext(other);
        EXPECT_TRUE(texture->textureUpdateFromViewContents(&view, &context));
        EXPECT_EQ(CGLGetCurrentContext(), other);
    }
    CGLSetCurrentContext(mContext);
    CGLReleaseContext(other);
    CGLReleaseContext(shared);
}

}  // namespace
