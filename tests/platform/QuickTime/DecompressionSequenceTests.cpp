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

// Tags the description's Y'CbCr matrix.
void Tag(ImageDescriptionHandle desc, UInt16 matrix, OSType type = kVideoColorInfoImageDescriptionExtensionType) {
    const NCLCColorInfoImageDescriptionExtension colour{type, 1, 1, matrix};
    ASSERT_EQ(ICMImageDescriptionSetProperty(desc, kQTPropertyClass_ImageDescription,
                                             kICMImageDescriptionPropertyID_NCLCColorInfo, sizeof colour, &colour),
              noErr);
}

// A 4:2:2 frame of the four colours (BT.601, as PackedFrame writes them), tagged so.
ImageDescriptionHandle Describe601(CodecType type, int width, int height, SInt32 rowBytes) {
    ImageDescriptionHandle desc = Describe(type, width, height, rowBytes);
    Tag(desc, kQTMatrix_ITU_R_601_4);
    return desc;
}

// Red as a 4:2:2 pair (Cb, Y, Cr) in each matrix, video range.
constexpr UInt8 kRed601[3] = {90, 81, 240};
constexpr UInt8 kRed709[3] = {102, 63, 240};

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
        ImageDescriptionHandle desc = Describe601(c.type, kWidth, kHeight, c.rowBytes);
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
    ImageDescriptionHandle desc = Describe601(k2vuyPixelFormat, kWidth, kHeight, 0);
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

// The 'colr' tag says which matrix a 4:2:2 frame is in; without one (or with one the layer
// does not know) it is BT.709. A flat red frame in the tagged matrix comes out red.
TEST_F(Decompression, FourTwoTwoFramesFollowTheirMatrixTag) {
    const struct {
        const char *name;
        int tag;  // -1 none, -2 a 'colr' that is not 'nclc'
        const UInt8 *red;
    } cases[] = {
        {"untagged", -1, kRed709},
        {"BT.709", kQTMatrix_ITU_R_709_2, kRed709},
        {"BT.601", kQTMatrix_ITU_R_601_4, kRed601},
        {"unknown matrix", kQTMatrix_Unknown, kRed709},
        {"not nclc", -2, kRed709},
    };
    for (const auto &c : cases) {
        for (CodecType type : {CodecType(k2vuyPixelFormat), CodecType(kYUVSPixelFormat)}) {
            SCOPED_TRACE(testing::Message() << c.name << (type == kYUVSPixelFormat ? " yuvs" : " 2vuy"));
            MakeWorld(k32ARGBPixelFormat, Rect{0, 0, kHeight, kWidth});
            ImageDescriptionHandle desc = Describe(type, kWidth, kHeight, 0);
            if (c.tag == -2) Tag(desc, kQTMatrix_ITU_R_601_4, MakeFourCharCode("prof"));
            else if (c.tag >= 0) Tag(desc, UInt16(c.tag));
            std::vector<UInt8> frame(kWidth * 2 * kHeight);
            for (size_t i = 0; i < frame.size(); i += 4) {
                const UInt8 pair[4] = {c.red[0], c.red[1], c.red[2], c.red[1]};
                const UInt8 yuyv[4] = {c.red[1], c.red[0], c.red[1], c.red[2]};
                std::memcpy(&frame[i], type == kYUVSPixelFormat ? yuyv : pair, 4);
            }
            ASSERT_EQ(Begin(desc), noErr);
            ASSERT_EQ(Frame(frame), noErr);
            const UInt8 *p = Pixel(kWidth / 2, kHeight / 2);
            EXPECT_NEAR(p[1], 255, 2);
            EXPECT_NEAR(p[2], 0, 2);
            EXPECT_NEAR(p[3], 0, 2);
            DisposeHandle(reinterpret_cast<Handle>(desc));
        }
    }
}

// Worlds are BT.709: whatever comes in is converted to it, once.
TEST_F(Decompression, IntoA2vuyWorldEverythingBecomesBT709) {
    const struct {
        const char *name;
        CodecType type;
        int tag;
        Rect world;
        int tolerance;
    } cases[] = {
        {"2vuy BT.601", k2vuyPixelFormat, kQTMatrix_ITU_R_601_4, {0, 0, kHeight, kWidth}, 1},
        {"2vuy BT.601, odd offset", k2vuyPixelFormat, kQTMatrix_ITU_R_601_4, {-3, -5, kHeight + 2, kWidth + 8}, 1},
        {"2vuy BT.709", k2vuyPixelFormat, kQTMatrix_ITU_R_709_2, {0, 0, kHeight, kWidth}, 0},
        {"ARGB", k32ARGBPixelFormat, -1, {0, 0, kHeight, kWidth}, 1},
        {"MJPEG", kJPEGCodecType, -1, {0, 0, kHeight, kWidth}, 2},
        {"MJPEG, clipped", kJPEGCodecType, -1, {4, 7, kHeight - 2, kWidth - 9}, 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MakeWorld(k2vuyPixelFormat, c.world);
        ImageDescriptionHandle desc = Describe(c.type, kWidth, kHeight, 0);
        if (c.tag >= 0) Tag(desc, UInt16(c.tag));
        std::vector<UInt8> frame;
        if (c.type == kJPEGCodecType) {
            frame = JpegFrame();
        } else if (c.type == k32ARGBPixelFormat) {
            for (int i = 0; i < kWidth * kHeight; ++i) {
                const RGB &colour = kColours[(i % kWidth) / 16];
                frame.insert(frame.end(), {255, colour.r, colour.g, colour.b});
            }
        } else {
            frame = PackedFrame(false, kWidth * 2);
            if (c.tag == kQTMatrix_ITU_R_709_2)  // red block in BT.709
                for (int y = 0; y < kHeight; ++y)
                    for (int pair = 16; pair < 24; ++pair) {
                        UInt8 *p = &frame[y * kWidth * 2 + pair * 4];
                        p[0] = kRed709[0], p[1] = kRed709[1], p[2] = kRed709[2], p[3] = kRed709[1];
                    }
        }
        ASSERT_EQ(Begin(desc), noErr);
        ASSERT_EQ(Frame(frame), noErr);
        // The middle of the red block (x 32..47), in world coordinates.
        PixMapHandle pm = GetGWorldPixMap(mWorld);
        const int x = 40 - c.world.left, y = kHeight / 2 - c.world.top;
        const UInt8 *p = reinterpret_cast<const UInt8 *>(GetPixBaseAddr(pm)) + y * GetPixRowBytes(pm) + (x / 2) * 4;
        EXPECT_NEAR(p[0], kRed709[0], c.tolerance);
        EXPECT_NEAR(p[1], kRed709[1], c.tolerance);
        EXPECT_NEAR(p[2], kRed709[2], c.tolerance);
        EXPECT_NEAR(p[3], kRed709[1], c.tolerance);
        DisposeHandle(reinterpret_cast<Handle>(desc));
    }
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
