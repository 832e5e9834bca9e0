// QuickDraw-backed bitmap contexts: the world over the bitmap's pixels, its layout per
// bitmap type, the order of destruction and the 8-bit sampler.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <CoreG/Drawing/namespace_CoreGraphics_QitmapContext.h>

using namespace CoreGraphics;

namespace {

TEST(QitmapContext, WorldLayoutPerBitmapType) {
    const struct {
        BitmapType type;
        int width, height;
        unsigned long rowBytes;
        OSType format;
        long expectedRowBytes;
    } cases[] = {
        {kBitmapType_Gray8, 320, 240, 0, k8IndexedGrayPixelFormat, 320},
        {kBitmapType_Gray8, 5, 3, 9, k8IndexedGrayPixelFormat, 9},
        {kBitmapType_ARGB32, 320, 240, 0, k32ARGBPixelFormat, 1280},
        {kBitmapType_ARGB32, 7, 2, 100, k32ARGBPixelFormat, 100},
        {kBitmapType_XRGB32, 4, 4, 0, k32ARGBPixelFormat, 16},
    };
    for (const auto &c : cases) {
        QitmapContext qitmap;
        ASSERT_TRUE(qitmap.Construct(c.width, c.height, c.type, c.rowBytes)) << c.type;
        ASSERT_TRUE(qitmap.mGWorld.IsConstructed());
        PixMapHandle pm = qitmap.mGWorld.GetPixMap();
        EXPECT_EQ(qitmap.mGWorld.GetPixelFormat(), c.format);
        EXPECT_EQ(qitmap.mGWorld.Dimensions().h, c.width);
        EXPECT_EQ(qitmap.mGWorld.Dimensions().v, c.height);
        EXPECT_EQ(GetPixRowBytes(pm), c.expectedRowBytes);
        EXPECT_EQ(reinterpret_cast<uint8_t *>(GetPixBaseAddr(pm)), qitmap.mImageDataBytes);
        if (c.format == k8IndexedGrayPixelFormat) {
            EXPECT_EQ(GetPixDepth(pm), 8);
        }
    }
}

TEST(QitmapContext, QuartzDrawingShowsInTheWorld) {
    QitmapContext qitmap;
    ASSERT_TRUE(qitmap.Construct(4, 2, kBitmapType_Gray8));
    CGContextSetGrayFillColor(qitmap.mContext, 1.0, 1.0);
    CGContextFillRect(qitmap.mContext, CGRectMake(0, 1, 4, 1));  // the top row of the picture
    qitmap.WillAccessPixels();  // before the world's bytes are read
    const uint8_t *world = reinterpret_cast<uint8_t *>(GetPixBaseAddr(qitmap.mGWorld.GetPixMap()));
    EXPECT_EQ(std::vector<uint8_t>(world, world + 8), (std::vector<uint8_t>{255, 255, 255, 255, 0, 0, 0, 0}));
}

TEST(QitmapContext, BitmapsWithoutAWorld) {
    // The byte order no QuickDraw format has: the bitmap is built, the world is not, and
    // Construct fails, leaving the bitmap to Destruct.
    QitmapContext qitmap;
    EXPECT_FALSE(qitmap.Construct(4, 1, kBitmapType_RGBX32));
    EXPECT_TRUE(qitmap.IsConstructed());
    EXPECT_FALSE(qitmap.mGWorld.IsConstructed());
    qitmap.Destruct();
    EXPECT_FALSE(qitmap.IsConstructed());
    // A size QuickDraw cannot describe never gets a world.
    EXPECT_FALSE(qitmap.Construct(40000, 1, kBitmapType_Gray8));
    EXPECT_FALSE(qitmap.mGWorld.IsConstructed());
    qitmap.Destruct();
}

// Records whether the world still exists when the pixels are freed.
class RecordingQitmap : public QitmapContext {
public:
    ~RecordingQitmap() override { Destruct(); }
    void DeleteImageData(uint8_t *data) override {
        mDeleted = true;
        mWorldAtDelete = mGWorld.IsConstructed();
        QitmapContext::DeleteImageData(data);
    }
    bool mDeleted = false;
    bool mWorldAtDelete = false;
};

TEST(QitmapContext, DestructFreesThePixelsThenTheWorld) {
    RecordingQitmap qitmap;
    ASSERT_TRUE(qitmap.Construct(320, 240, kBitmapType_Gray8));
    qitmap.Destruct();
    EXPECT_TRUE(qitmap.mDeleted);
    EXPECT_TRUE(qitmap.mWorldAtDelete);
    EXPECT_FALSE(qitmap.mGWorld.IsConstructed());
    EXPECT_FALSE(qitmap.IsConstructed());
    EXPECT_EQ(qitmap.mImageDataBytes, nullptr);

    // Built again after Destruct, and destroyed while constructed.
    auto again = std::make_unique<RecordingQitmap>();
    ASSERT_TRUE(again->Construct(8, 8, kBitmapType_ARGB32));
    again.reset();
}

TEST(QitmapContext, GetOpacity8SamplesTheGreyWorld) {
    QitmapContext qitmap;
    EXPECT_EQ(qitmap.GetOpacity8(0.5f, 0.5f, 1.0f), 0);  // no world
    ASSERT_TRUE(qitmap.Construct(4, 2, kBitmapType_Gray8));
    const uint8_t bytes[] = {0, 100, 200, 40, 10, 20, 30, 120};
    std::copy(bytes, bytes + 8, qitmap.mImageDataBytes);
    EXPECT_EQ(qitmap.GetOpacity8(0.0f, 0.0f, 1.0f), 0);
    EXPECT_EQ(qitmap.GetOpacity8(0.25f, 0.0f, 1.0f), 100);   // column 1
    EXPECT_EQ(qitmap.GetOpacity8(0.375f, 0.0f, 1.0f), 150);  // halfway between columns 1 and 2
    EXPECT_EQ(qitmap.GetOpacity8(0.5f, 0.5f, 1.0f), 30);     // column 2, row 1
    EXPECT_EQ(qitmap.GetOpacity8(0.25f, 0.0f, 0.5f), 50);
    EXPECT_EQ(qitmap.GetOpacity8(0.5f, 0.0f, 2.0f), 144);    // 400: the low 8 bits
    EXPECT_EQ(qitmap.GetOpacity8(1.0f, 1.0f, 1.0f), 120);    // past the end: the last pixel

    QitmapContext colour;
    ASSERT_TRUE(colour.Construct(2, 2, kBitmapType_ARGB32));
    EXPECT_EQ(colour.GetOpacity8(0.0f, 0.0f, 1.0f), 0);  // not an 8-bit world
}

}  // namespace
