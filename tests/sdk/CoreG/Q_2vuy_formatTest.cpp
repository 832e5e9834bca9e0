// The 4:2:2 format: validity, the image description it makes (owned by its receiver), the
// formats read from descriptions, and the world over a frame's pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <CoreG/Frames422/Q_2vuy_buffer.h>
#include <CoreQ/QGWorld.h>
#include <CoreQ/QImageDescription.h>
#include <QuickTime/MacMemory.h>

#include "Q2vuyTestSupport.h"

using namespace coreg_2vuy_test;

namespace {

TEST(Q2vuyFormat, ValidityAndTheFourTwoTwoTest) {
    Q_2vuy_format format;
    EXPECT_EQ(format._PixelFormat, k2vuyPixelFormat);
    EXPECT_FALSE(format.IsValid());
    EXPECT_TRUE(format.SetFormat(Format(640, 480, 1280, kYUVSPixelFormat)));
    EXPECT_EQ(format._RowBytes, 1280u);
    EXPECT_EQ(format._PixelFormat, kYUVSPixelFormat);
    EXPECT_FALSE(format.SetFormat(Format(640, 0, 1280)));
    EXPECT_TRUE(Q_2vuy_format::Is422(k2vuyPixelFormat));
    EXPECT_TRUE(Q_2vuy_format::Is422(kYUVSPixelFormat));
    EXPECT_FALSE(Q_2vuy_format::Is422(MakeFourCharCode("UYVY")));
    EXPECT_FALSE(Q_2vuy_format::Is422(k32ARGBPixelFormat));
}

template <class T>
T Property(ImageDescriptionHandle description, QTPropertyID id) {
    T value;
    std::memset(&value, 0xEE, sizeof value);
    EXPECT_EQ(ICMImageDescriptionGetProperty(description, kQTPropertyClass_ImageDescription, id, sizeof value, &value,
                                             nullptr),
              noErr);
    return value;
}

TEST(Q2vuyFormat, ImageDescription) {
    QImageDescription description;
    ASSERT_TRUE(Format(640, 480).GetImageDescription(description));
    // The receiver owns the description (disposing it when done).
    EXPECT_TRUE(description.IsOwner());
    const ImageDescription &d = **description.GetHandle();
    EXPECT_EQ(d.cType, k2vuyPixelFormat);
    EXPECT_EQ(d.resvd1, 0);
    EXPECT_EQ(d.resvd2, 0);
    EXPECT_EQ(d.dataRefIndex, 0);
    EXPECT_EQ(d.version, 2);
    EXPECT_EQ(d.revisionLevel, 0);
    EXPECT_EQ(OSType(d.vendor), MakeFourCharCode("appl"));
    EXPECT_EQ(d.temporalQuality, 0u);
    EXPECT_EQ(d.spatialQuality, 1024u);
    EXPECT_EQ(d.width, 640);
    EXPECT_EQ(d.height, 480);
    EXPECT_EQ(d.hRes, 0x00480000);
    EXPECT_EQ(d.vRes, 0x00480000);
    EXPECT_EQ(d.dataSize, 640 * 480 * 2);
    EXPECT_EQ(d.frameCount, 1);
    EXPECT_EQ(d.name[0], 0);
    EXPECT_EQ(d.depth, 24);
    EXPECT_EQ(d.clutID, -1);

    const auto field = Property<FieldInfoImageDescriptionExtension2>(description.GetHandle(),
                                                                     kICMImageDescriptionPropertyID_FieldInfo);
    EXPECT_EQ(field.fields, 1);
    EXPECT_EQ(field.detail, 0);
    const auto clap = Property<CleanApertureImageDescriptionExtension>(description.GetHandle(),
                                                                       kICMImageDescriptionPropertyID_CleanAperture);
    EXPECT_EQ(clap.cleanApertureWidthN, 640u);
    EXPECT_EQ(clap.cleanApertureWidthD, 1u);
    EXPECT_EQ(clap.cleanApertureHeightN, 480u);
    EXPECT_EQ(clap.cleanApertureHeightD, 1u);
    EXPECT_EQ(clap.horizOffN, 0);
    EXPECT_EQ(clap.horizOffD, 1u);
    EXPECT_EQ(clap.vertOffN, 0);
    EXPECT_EQ(clap.vertOffD, 1u);
    const auto pasp = Property<PixelAspectRatioImageDescriptionExtension>(
        description.GetHandle(), kICMImageDescriptionPropertyID_PixelAspectRatio);
    EXPECT_EQ(pasp.hSpacing, 1u);
    EXPECT_EQ(pasp.vSpacing, 1u);
    // The library's frames are BT.709, and say so.
    const auto colour = Property<NCLCColorInfoImageDescriptionExtension>(description.GetHandle(),
                                                                         kICMImageDescriptionPropertyID_NCLCColorInfo);
    EXPECT_EQ(colour.colorParamType, kVideoColorInfoImageDescriptionExtensionType);
    EXPECT_EQ(colour.primaries, kQTPrimaries_ITU_R709_2);
    EXPECT_EQ(colour.transferFunction, kQTTransferFunction_ITU_R709_2);
    EXPECT_EQ(colour.matrix, kQTMatrix_ITU_R_709_2);
    // Rows of width x 2 bytes need no 'rowb'.
    Handle rowb = nullptr;
    EXPECT_EQ(description.GetImageDescriptionExtension(rowb, kImageDescriptionRowBytesExtension, 1),
              codecExtensionNotFoundErr);

    // Making descriptions again and again hands each one over (no leak under the sanitizer).
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(Format(8, 2).GetImageDescription(description));
}

TEST(Q2vuyFormat, DescriptionRoundTrips) {
    Q_2vuy_format bt601 = Format(320, 240);
    bt601._Matrix = kQTMatrix_ITU_R_601_4;
    const Q_2vuy_format formats[] = {
        Format(640, 480),
        Format(320, 240, 0, kYUVSPixelFormat),
        Format(640, 480, 1300),  // padded rows travel as 'rowb'
        bt601,                   // the matrix travels as 'colr'
    };
    for (const Q_2vuy_format &format : formats) {
        QImageDescription description;
        ASSERT_TRUE(format.GetImageDescription(description));
        Q_2vuy_format back;
        ASSERT_TRUE(back.ConstructFromImageDescription(description.GetHandle()));
        EXPECT_EQ(back._Width, format._Width);
        EXPECT_EQ(back._Height, format._Height);
        EXPECT_EQ(back._RowBytes, format._RowBytes);
        EXPECT_EQ(back._PixelFormat, format._PixelFormat);
        EXPECT_EQ(back._Matrix, format._Matrix);
    }
}

// A description of the codec and size, with a 'rowb' extension unless rowBytes is 0.
void MakeDescription(QImageDescription &out, OSType codec, int width, int height, SInt32 rowBytes = 0) {
    ASSERT_TRUE(Format(width, height).GetImageDescription(out));
    (**out.GetHandle()).cType = codec;
    if (rowBytes != 0) {
        ASSERT_EQ(ICMImageDescriptionSetProperty(out.GetHandle(), kQTPropertyClass_ImageDescription,
                                                 kICMImageDescriptionPropertyID_RowBytes, sizeof rowBytes, &rowBytes),
                  noErr);
    }
}

TEST(Q2vuyFormat, FormatsFromDescriptions) {
    const struct {
        const char *name;
        OSType codec;
        int width, height;
        SInt32 rowb;
        bool accepted;
        unsigned rowBytes;
    } cases[] = {
        {"2vuy", k2vuyPixelFormat, 640, 480, 0, true, 1280},
        {"yuvs", kYUVSPixelFormat, 640, 480, 0, true, 1280},
        {"2vuy with rowb", k2vuyPixelFormat, 640, 480, 1344, true, 1344},
        {"raw", kRawCodecType, 640, 480, 0, false, 0},
        {"jpeg", kJPEGCodecType, 640, 480, 0, false, 0},
        {"ARGB", k32ARGBPixelFormat, 640, 480, 0, false, 0},
        {"rowb shorter than a row", k2vuyPixelFormat, 640, 480, 1000, false, 0},
        {"negative rowb", k2vuyPixelFormat, 640, 480, -1280, false, 0},
        {"no width", k2vuyPixelFormat, 0, 480, 0, false, 0},
        {"negative height", k2vuyPixelFormat, 640, -2, 0, false, 0},
    };
    for (const auto &c : cases) {
        QImageDescription description;
        MakeDescription(description, c.codec, c.width, c.height, c.rowb);
        Q_2vuy_format format;
        format.SetFormat(Format(2, 2, 8, kYUVSPixelFormat));
        EXPECT_EQ(format.ConstructFromImageDescription(description.GetHandle()), c.accepted) << c.name;
        EXPECT_EQ(format._RowBytes, c.rowBytes) << c.name;
        if (!c.accepted) {
            EXPECT_EQ(format._Width, 0) << c.name;
            EXPECT_EQ(format._PixelFormat, k2vuyPixelFormat) << c.name;
        }
    }
}

TEST(Q2vuyFormat, HandlesThatAreNotDescriptions) {
    Q_2vuy_format format;
    EXPECT_FALSE(format.ConstructFromImageDescription(nullptr));
    const struct {
        const char *name;
        Size size;
        SInt32 idSize;
    } cases[] = {{"1 byte", 1, 0}, {"20 bytes", 20, 20}, {"85 bytes", 85, 86}, {"idSize past the handle", 86, 4096}};
    for (const auto &c : cases) {
        Handle h = NewHandleClear(c.size);
        ASSERT_NE(h, nullptr);
        if (c.size >= 4) std::memcpy(*h, &c.idSize, 4);
        if (c.size >= 86) {
            auto desc = reinterpret_cast<ImageDescriptionHandle>(h);
            (**desc).cType = k2vuyPixelFormat;
            (**desc).width = 64;
            (**desc).height = 48;
        }
        EXPECT_FALSE(format.ConstructFromImageDescription(reinterpret_cast<ImageDescriptionHandle>(h))) << c.name;
        DisposeHandle(h);
    }
}

// A frame the library makes from red ARGB pixels, drawn by the QuickTime layer into an ARGB
// world, comes out red: both sides read the frame's matrix from its description.
TEST(Q2vuyFormat, LibraryFramesDrawnByTheLayerKeepTheirColours) {
    for (UInt16 matrix : {kQTMatrix_ITU_R_709_2, kQTMatrix_ITU_R_601_4}) {
        SCOPED_TRACE(testing::Message() << "matrix " << matrix);
        Q_2vuy_format format = Format(64, 16);
        format._Matrix = matrix;
        Q_2vuy_buffer frame;
        ASSERT_TRUE(frame.Allocate(format));
        QGWorld red;
        ASSERT_TRUE(red.Construct(::Dimensions{16, 64}, k32ARGBPixelFormat));
        PixMapHandle pm = red.GetPixMap();
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 64; ++x) {
                uint8_t *p = reinterpret_cast<uint8_t *>(GetPixBaseAddr(pm)) + y * GetPixRowBytes(pm) + x * 4;
                p[0] = 255, p[1] = 255, p[2] = 0, p[3] = 0;
            }
        ASSERT_TRUE(frame.CopyFromGWorld(red, false));
        QImageDescription description;
        ASSERT_TRUE(frame.GetImageDescription(description));

        const Rect bounds{0, 0, 16, 64};
        GWorldPtr world = nullptr;
        ASSERT_EQ(QTNewGWorld(&world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0), noErr);
        ImageSequence sequence = 0;
        ASSERT_EQ(DecompressSequenceBegin(&sequence, description.GetHandle(), world, nullptr, nullptr, nullptr, srcCopy,
                                          nullptr, 0, codecNormalQuality, anyCodec),
                  noErr);
        ASSERT_EQ(DecompressSequenceFrameS(sequence, reinterpret_cast<Ptr>(frame._PixelData), long(frame._PixelDataSize),
                                           0, nullptr, nullptr),
                  noErr);
        const uint8_t *p = reinterpret_cast<const uint8_t *>(GetPixBaseAddr(GetGWorldPixMap(world))) +
                           8 * GetPixRowBytes(GetGWorldPixMap(world)) + 32 * 4;
        EXPECT_NEAR(p[1], 255, 2);
        EXPECT_NEAR(p[2], 0, 2);
        EXPECT_NEAR(p[3], 0, 2);
        CDSequenceEnd(sequence);
        DisposeGWorld(world);
    }
}

// Red ARGB drawn by the layer into a '2vuy' world gives the pairs the library's own
// conversion makes, within a level.
TEST(Q2vuyFormat, LayerMadeFramesMatchTheLibrarysConversion) {
    std::vector<uint8_t> argb;
    for (int i = 0; i < 64 * 16; ++i) argb.insert(argb.end(), {255, 255, 0, 0});
    uint8_t library[4];
    Q_2vuy_buffer::ConvertARGBRowTo2vuy(argb.data(), library, 2);

    const Rect bounds{0, 0, 16, 64};
    GWorldPtr world = nullptr;
    ASSERT_EQ(QTNewGWorld(&world, k2vuyPixelFormat, &bounds, nullptr, nullptr, 0), noErr);
    auto desc = reinterpret_cast<ImageDescriptionHandle>(NewHandleClear(sizeof(ImageDescription)));
    (**desc).idSize = sizeof(ImageDescription);
    (**desc).cType = k32ARGBPixelFormat;
    (**desc).width = 64;
    (**desc).height = 16;
    ImageSequence sequence = 0;
    ASSERT_EQ(DecompressSequenceBegin(&sequence, desc, world, nullptr, nullptr, nullptr, srcCopy, nullptr, 0,
                                      codecNormalQuality, anyCodec),
              noErr);
    ASSERT_EQ(DecompressSequenceFrameS(sequence, reinterpret_cast<Ptr>(argb.data()), long(argb.size()), 0, nullptr,
                                       nullptr),
              noErr);
    const uint8_t *layer = reinterpret_cast<const uint8_t *>(GetPixBaseAddr(GetGWorldPixMap(world))) +
                           8 * GetPixRowBytes(GetGWorldPixMap(world)) + 16 * 4;
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(layer[k], library[k], 1) << "byte " << k;
    CDSequenceEnd(sequence);
    DisposeHandle(reinterpret_cast<Handle>(desc));
    DisposeGWorld(world);
}

TEST(Q2vuyBuffer, AliasOfDescribedPixels) {
    QImageDescription description;
    MakeDescription(description, kYUVSPixelFormat, 4, 2, 12);
    std::vector<uint8_t> pixels(24, 7);
    const Q_2vuy_buffer alias(description.GetHandle(), pixels.data(), UInt32(pixels.size()));
    EXPECT_EQ(alias._PixelData, pixels.data());
    EXPECT_EQ(alias._PixelDataSize, 24u);
    EXPECT_EQ(alias._RowBytes, 12u);
    EXPECT_EQ(alias._PixelFormat, kYUVSPixelFormat);
    EXPECT_TRUE(alias.HasPixelRows());

    QImageDescription refused;
    MakeDescription(refused, kRawCodecType, 4, 2);
    const Q_2vuy_buffer none(refused.GetHandle(), pixels.data(), UInt32(pixels.size()));
    EXPECT_EQ(none._PixelData, nullptr);
    EXPECT_FALSE(none.IsAllocated());
}

TEST(Q2vuyBuffer, WorldOverTheFramesPixels) {
    const Q_2vuy_format formats[] = {Format(8, 2), Format(8, 2, 24), Format(8, 2, 0, kYUVSPixelFormat)};
    for (const Q_2vuy_format &format : formats) {
        Q_2vuy_buffer frame;
        ASSERT_TRUE(frame.Allocate(format));
        QGWorld world;
        ASSERT_TRUE(frame.ConstructGWorldAlias(world));
        const PixMapHandle pixmap = world.GetPixMap();
        EXPECT_EQ(reinterpret_cast<uint8_t *>(GetPixBaseAddr(pixmap)), frame._PixelData);
        EXPECT_EQ(GetPixRowBytes(pixmap), long(frame._RowBytes));
        EXPECT_EQ(world.GetPixelFormat(), format._PixelFormat);
        EXPECT_EQ(world.Dimensions().h, 8);
        EXPECT_EQ(world.Dimensions().v, 2);
        // Again over the same world: the old one is disposed first.
        ASSERT_TRUE(frame.ConstructGWorldAlias(world));
    }
    Q_2vuy_buffer empty;
    QGWorld world;
    ASSERT_TRUE(world.Construct(QPoint(2, 2)));
    EXPECT_FALSE(empty.ConstructGWorldAlias(world));
    EXPECT_FALSE(world.IsConstructed());
}

}  // namespace
