#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

#include <QuickTime/QuickTime.h>

namespace {

struct RGB {
    UInt8 r, g, b;
};

// Four flat colours, each 16 pixels wide (whole JPEG blocks), and their BT.601 video-range
// luma and chroma.
constexpr RGB kColours[4] = {{255, 255, 255}, {0, 0, 0}, {255, 0, 0}, {0, 0, 255}};
constexpr UInt8 kYCbCr[4][3] = {{235, 128, 128}, {16, 128, 128}, {81, 90, 240}, {41, 240, 110}};
constexpr int kWidth = 64;
constexpr int kHeight = 16;

// A 4:2:2 frame of the four colours; lumaFirst gives YUYV ('yuvs'), else UYVY ('2vuy').
std::vector<UInt8> PackedFrame(bool lumaFirst, int rowBytes) {
    std::vector<UInt8> frame(size_t(rowBytes) * kHeight, 0xEE);  // padding that must not show
    for (int y = 0; y < kHeight; ++y)
        for (int pair = 0; pair < kWidth / 2; ++pair) {
            const UInt8 *c = kYCbCr[pair * 2 / 16];
            UInt8 *p = frame.data() + y * rowBytes + pair * 4;
            if (lumaFirst) {
                p[0] = c[0], p[1] = c[1], p[2] = c[0], p[3] = c[2];
            } else {
                p[0] = c[1], p[1] = c[0], p[2] = c[2], p[3] = c[0];
            }
        }
    return frame;
}

void EncodeNothing(j_common_ptr) {}

std::vector<UInt8> JpegFrame() {
    std::vector<UInt8> rgb(size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const RGB &c = kColours[x / 16];
            UInt8 *p = rgb.data() + (y * kWidth + x) * 3;
            p[0] = c.r, p[1] = c.g, p[2] = c.b;
        }
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    error.output_message = EncodeNothing;
    jpeg_create_compress(&info);
    unsigned char *out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = kWidth;
    info.image_height = kHeight;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = rgb.data() + info.next_scanline * kWidth * 3;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<UInt8> jpeg(out, out + size);
    free(out);
    return jpeg;
}

ImageDescriptionHandle Describe(CodecType type, int width, int height, SInt32 rowBytes) {
    auto desc = reinterpret_cast<ImageDescriptionHandle>(NewHandleClear(sizeof(ImageDescription)));
    (**desc).idSize = sizeof(ImageDescription);
    (**desc).cType = type;
    (**desc).width = SInt16(width);
    (**desc).height = SInt16(height);
    (**desc).depth = 24;
    if (rowBytes > 0) {
        EXPECT_EQ(ICMImageDescriptionSetProperty(desc, kQTPropertyClass_ImageDescription,
                                                 kICMImageDescriptionPropertyID_RowBytes, sizeof rowBytes, &rowBytes),
                  noErr);
    }
    return desc;
}

class Decompression : public ::testing::Test {
protected:
    void SetUp() override { MakeWorld(k32ARGBPixelFormat, Rect{0, 0, kHeight, kWidth}); }
    void TearDown() override {
        if (mSequence != 0) CDSequenceEnd(mSequence);
        DisposeGWorld(mWorld);
    }

    void MakeWorld(OSType format, const Rect &bounds) {
        DisposeGWorld(mWorld);
        ASSERT_EQ(QTNewGWorld(&mWorld, format, &bounds, nullptr, nullptr, 0), noErr);
        PixMapHandle pm = GetGWorldPixMap(mWorld);
        std::memset(GetPixBaseAddr(pm), 0x11, size_t(GetPixRowBytes(pm)) * (bounds.bottom - bounds.top));
    }

    const UInt8 *Pixel(int x, int y) const {
        PixMapHandle pm = GetGWorldPixMap(mWorld);
        return reinterpret_cast<const UInt8 *>(GetPixBaseAddr(pm)) + y * GetPixRowBytes(pm) + x * 4;
    }

    OSErr Begin(ImageDescriptionHandle desc, MatrixRecord *matrix = nullptr) {
        if (mSequence != 0) CDSequenceEnd(mSequence);
        mSequence = 0;
        return DecompressSequenceBegin(&mSequence, desc, mWorld, GetMainDevice(), nullptr, matrix, srcCopy, nullptr, 0,
                                       codecNormalQuality, bestSpeedCodec);
    }

    OSErr Frame(std::vector<UInt8> &data) {
        return DecompressSequenceFrameS(mSequence, reinterpret_cast<Ptr>(data.data()), long(data.size()), 0, nullptr,
                                        nullptr);
    }

    GWorldPtr mWorld = nullptr;
    ImageSequence mSequence = 0;
};

TEST_F(Decompression, EachCameraFormatIntoARGB) {
    const struct {
        const char *name;
        CodecType type;
        SInt32 rowBytes;  // 0: no 'rowb' extension
        int tolerance;
    } cases[] = {
        {"UYVY", k2vuyPixelFormat, 0, 3}, {"UYVY, padded rows", k2vuyPixelFormat, kWidth * 2 + 32, 3},
        {"YUYV", kYUVSPixelFormat, 0, 3}, {"YUYV, padded rows", kYUVSPixelFormat, kWidth * 2 + 8, 3},
        {"MJPEG", kJPEGCodecType, 0, 10},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MakeWorld(k32ARGBPixelFormat, Rect{0, 0, kHeight, kWidth});
        std::vector<UInt8> data = c.type == kJPEGCodecType ? JpegFrame()
                                                           : PackedFrame(c.type == kYUVSPixelFormat,
                                                                         c.rowBytes > 0 ? c.rowBytes : kWidth * 2);
        ImageDescriptionHandle desc = Describe(c.type, kWidth, kHeight, c.rowBytes);
        ASSERT_EQ(Begin(desc), noErr);
        DisposeHandle(reinterpret_cast<Handle>(desc));  // the sequence keeps its own copy
        CodecFlags out = 99;
        ASSERT_EQ(DecompressSequenceFrameS(mSequence, reinterpret_cast<Ptr>(data.data()), long(data.size()), 0, &out,
                                           nullptr),
                  noErr);
        EXPECT_EQ(out, 0);
        for (int block = 0; block < 4; ++block)
            for (int y : {0, kHeight / 2, kHeight - 1}) {
                const UInt8 *p = Pixel(block * 16 + 8, y);
                SCOPED_TRACE(testing::Message() << "block " << block << " row " << y);
                EXPECT_EQ(p[0], 255);
                EXPECT_NEAR(p[1], kColours[block].r, c.tolerance);
                EXPECT_NEAR(p[2], kColours[block].g, c.tolerance);
                EXPECT_NEAR(p[3], kColours[block].b, c.tolerance);
            }
    }
}

TEST_F(Decompression, ScalesAndPlacesByTheMatrix) {
    MakeWorld(k32ARGBPixelFormat, Rect{0, 0, 64, 160});
    std::vector<UInt8> frame = PackedFrame(false, kWidth * 2);
    ImageDescriptionHandle desc = Describe(k2vuyPixelFormat, kWidth, kHeight, 0);
    const Rect source{0, 0, kHeight, kWidth};
    const Rect dest{10, 20, 10 + 2 * kHeight, 20 + 2 * kWidth};  // twice the size, at (20, 10)
    MatrixRecord matrix;
    RectMatrix(&matrix, &source, &dest);
    EXPECT_EQ(matrix.matrix[0][0], X2Fix(2.0));
    EXPECT_EQ(matrix.matrix[1][1], X2Fix(2.0));
    EXPECT_EQ(matrix.matrix[2][0], X2Fix(20.0));
    EXPECT_EQ(matrix.matrix[2][1], X2Fix(10.0));
    ASSERT_EQ(Begin(desc, &matrix), noErr);
    ASSERT_EQ(Frame(frame), noErr);
    // Block 2 (red) now spans x 84..115.
    EXPECT_NEAR(Pixel(100, 20)[1], 255, 3);
    EXPECT_NEAR(Pixel(100, 20)[2], 0, 3);
    // Outside the rect the world is untouched.
    for (const auto &at : {std::pair{19, 20}, std::pair{148, 20}, std::pair{100, 9}, std::pair{100, 42}})
        EXPECT_EQ(Pixel(at.first, at.second)[1], 0x11) << at.first << "," << at.second;
    DisposeHandle(reinterpret_cast<Handle>(desc));
}

TEST_F(Decompression, IntoA2vuyWorldKeepsTheBytes) {
    MakeWorld(k2vuyPixelFormat, Rect{0, 0, kHeight, kWidth});
    std::vector<UInt8> frame = PackedFrame(false, kWidth * 2);
    ImageDescriptionHandle desc = Describe(k2vuyPixelFormat, kWidth, kHeight, 0);
    ASSERT_EQ(Begin(desc), noErr);
    ASSERT_EQ(Frame(frame), noErr);
    PixMapHandle pm = GetGWorldPixMap(mWorld);
    for (int y = 0; y < kHeight; ++y)
        EXPECT_EQ(std::memcmp(GetPixBaseAddr(pm) + y * GetPixRowBytes(pm), frame.data() + y * kWidth * 2, kWidth * 2),
                  0)
            << "row " << y;
    DisposeHandle(reinterpret_cast<Handle>(desc));
}

TEST_F(Decompression, BadSequencesAndFramesFailCleanly) {
    ImageDescriptionHandle uyvy = Describe(k2vuyPixelFormat, kWidth, kHeight, 0);
    MatrixRecord rotate;
    SetIdentityMatrix(&rotate);
    rotate.matrix[0][1] = fixed1;
    ImageSequence seq = 0;
    const Rect part{0, 0, 8, 8};
    int dummy = 0;
    auto *notACodec = reinterpret_cast<DecompressorComponent>(&dummy);
    RgnHandle mask = reinterpret_cast<RgnHandle>(&dummy);
    // Begin: each bad argument.
    EXPECT_EQ(
        DecompressSequenceBegin(nullptr, uyvy, mWorld, nullptr, nullptr, nullptr, srcCopy, nullptr, 0, 0, anyCodec),
        paramErr);
    EXPECT_EQ(
        DecompressSequenceBegin(&seq, nullptr, mWorld, nullptr, nullptr, nullptr, srcCopy, nullptr, 0, 0, anyCodec),
        paramErr);
    EXPECT_EQ(DecompressSequenceBegin(&seq, uyvy, nullptr, nullptr, nullptr, nullptr, srcCopy, nullptr, 0, 0, anyCodec),
              paramErr);
    EXPECT_EQ(DecompressSequenceBegin(&seq, uyvy, mWorld, nullptr, &part, nullptr, srcCopy, nullptr, 0, 0, anyCodec),
              paramErr);
    EXPECT_EQ(DecompressSequenceBegin(&seq, uyvy, mWorld, nullptr, nullptr, &rotate, srcCopy, nullptr, 0, 0, anyCodec),
              paramErr);
    EXPECT_EQ(DecompressSequenceBegin(&seq, uyvy, mWorld, nullptr, nullptr, nullptr, 1, nullptr, 0, 0, anyCodec),
              paramErr);
    EXPECT_EQ(DecompressSequenceBegin(&seq, uyvy, mWorld, nullptr, nullptr, nullptr, srcCopy, mask, 0, 0, anyCodec),
              paramErr);
    EXPECT_EQ(DecompressSequenceBegin(&seq, uyvy, mWorld, nullptr, nullptr, nullptr, srcCopy, nullptr, 0, 0, notACodec),
              noCodecErr);
    ImageDescriptionHandle h264 = Describe(MakeFourCharCode("avc1"), kWidth, kHeight, 0);
    EXPECT_EQ(DecompressSequenceBegin(&seq, h264, mWorld, nullptr, nullptr, nullptr, srcCopy, nullptr, 0, 0, anyCodec),
              noCodecErr);
    ImageDescriptionHandle narrowRows = Describe(k2vuyPixelFormat, kWidth, kHeight, kWidth);  // rows too short
    EXPECT_EQ(
        DecompressSequenceBegin(&seq, narrowRows, mWorld, nullptr, nullptr, nullptr, srcCopy, nullptr, 0, 0, anyCodec),
        paramErr);
    (**h264).idSize = 1000;  // more than the handle holds
    EXPECT_EQ(DecompressSequenceBegin(&seq, h264, mWorld, nullptr, nullptr, nullptr, srcCopy, nullptr, 0, 0, anyCodec),
              badImageDescription);
    EXPECT_EQ(seq, 0);

    // Frames: short raw data, a broken JPEG (nothing drawn), no sequence, async, null data.
    ASSERT_EQ(Begin(uyvy), noErr);
    std::vector<UInt8> tooShort(kWidth * 2 * (kHeight - 1));
    EXPECT_EQ(Frame(tooShort), codecBadDataErr);
    EXPECT_EQ(Pixel(0, 0)[1], 0x11);
    ImageDescriptionHandle jpeg = Describe(kJPEGCodecType, kWidth, kHeight, 0);
    ASSERT_EQ(Begin(jpeg), noErr);
    std::vector<UInt8> broken = JpegFrame();
    broken.resize(broken.size() / 2);
    EXPECT_EQ(Frame(broken), codecBadDataErr);
    std::vector<UInt8> noise(500, 0x5A);
    EXPECT_EQ(Frame(noise), codecBadDataErr);
    EXPECT_EQ(Pixel(0, 0)[1], 0x11);
    ICMCompletionProcRecord completion{nullptr, 0};
    std::vector<UInt8> good = JpegFrame();
    EXPECT_EQ(DecompressSequenceFrameS(mSequence, reinterpret_cast<Ptr>(good.data()), long(good.size()), 0, nullptr,
                                       &completion),
              paramErr);
    EXPECT_EQ(DecompressSequenceFrameS(mSequence, nullptr, 10, 0, nullptr, nullptr), paramErr);
    EXPECT_EQ(DecompressSequenceFrameS(0, reinterpret_cast<Ptr>(good.data()), long(good.size()), 0, nullptr, nullptr),
              paramErr);

    // A disposed world is refused, not written.
    DisposeGWorld(mWorld);
    mWorld = nullptr;
    EXPECT_EQ(Frame(good), paramErr);
    EXPECT_EQ(CDSequenceEnd(mSequence), noErr);
    EXPECT_EQ(CDSequenceEnd(mSequence), paramErr) << "ended twice";
    EXPECT_EQ(Frame(good), paramErr) << "after its end";
    mSequence = 0;
    for (ImageDescriptionHandle desc : {uyvy, h264, narrowRows, jpeg}) DisposeHandle(reinterpret_cast<Handle>(desc));
}

}  // namespace
