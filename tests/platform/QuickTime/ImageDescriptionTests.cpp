#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <linux/videodev2.h>

#include <QuickTime/CaptureDevices.h>
#include <QuickTime/QuickTime.h>

namespace {

// A description made from a 640 x 480 world of the format.
class DescriptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        const Rect bounds{0, 0, 480, 640};
        ASSERT_EQ(QTNewGWorld(&mWorld, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0), noErr);
        ASSERT_EQ(MakeImageDescriptionForPixMap(GetGWorldPixMap(mWorld), &mDesc), noErr);
    }
    void TearDown() override {
        DisposeHandle(reinterpret_cast<Handle>(mDesc));
        DisposeGWorld(mWorld);
    }
    OSErr Add(OSType type, const void *bytes, long size) {
        Handle h = nullptr;
        OSErr err = PtrToHand(bytes, &h, size);
        if (err == noErr) err = AddImageDescriptionExtension(mDesc, h, long(type));
        DisposeHandle(h);
        return err;
    }
    GWorldPtr mWorld = nullptr;
    ImageDescriptionHandle mDesc = nullptr;
};

}  // namespace

TEST_F(DescriptionTest, RecordFromPixMap) {
    const ImageDescription &d = **mDesc;
    EXPECT_EQ(d.idSize, 86);
    EXPECT_EQ(GetHandleSize(reinterpret_cast<Handle>(mDesc)), 86);
    EXPECT_EQ(d.cType, k32ARGBPixelFormat);
    EXPECT_EQ(d.width, 640);
    EXPECT_EQ(d.height, 480);
    EXPECT_EQ(d.depth, 32);
    EXPECT_EQ(d.hRes, 0x00480000);
    EXPECT_EQ(d.vRes, 0x00480000);
    EXPECT_EQ(d.dataSize, 2560 * 480);
    EXPECT_EQ(d.frameCount, 1);
    EXPECT_EQ(d.clutID, -1);
    long count = -1;
    EXPECT_EQ(CountImageDescriptionExtensionType(mDesc, 0, &count), noErr);
    EXPECT_EQ(count, 0);

    // Grey and 4:2:2 worlds carry QuickTime's depths for them.
    const struct {
        OSType format;
        SInt16 depth;
    } depths[] = {{k8IndexedGrayPixelFormat, 40}, {k2vuyPixelFormat, 24}, {k24RGBPixelFormat, 24}};
    for (const auto &c : depths) {
        const Rect bounds{0, 0, 2, 4};
        GWorldPtr world = nullptr;
        ASSERT_EQ(QTNewGWorld(&world, c.format, &bounds, nullptr, nullptr, 0), noErr);
        ImageDescriptionHandle desc = nullptr;
        ASSERT_EQ(MakeImageDescriptionForPixMap(GetGWorldPixMap(world), &desc), noErr);
        EXPECT_EQ((**desc).depth, c.depth);
        EXPECT_EQ((**desc).cType, c.format);
        DisposeHandle(reinterpret_cast<Handle>(desc));
        DisposeGWorld(world);
    }
    ImageDescriptionHandle none = reinterpret_cast<ImageDescriptionHandle>(1);
    EXPECT_EQ(MakeImageDescriptionForPixMap(nullptr, &none), paramErr);
    EXPECT_EQ(none, nullptr);
}

TEST_F(DescriptionTest, ExtensionsRoundTrip) {
    const UInt8 rowb[4] = {0x00, 0x00, 0x0A, 0x00};  // 2560, big-endian
    ASSERT_EQ(Add(kImageDescriptionRowBytesExtension, rowb, 4), noErr);
    ASSERT_EQ(Add(kImageDescriptionGammaExtension, "\x00\x02\x33\x33", 4), noErr);
    ASSERT_EQ(Add(kImageDescriptionRowBytesExtension, "\x00\x00\x00\x10", 4), noErr);
    EXPECT_EQ((**mDesc).idSize, 86 + 3 * 12);

    long count = 0;
    ASSERT_EQ(CountImageDescriptionExtensionType(mDesc, kImageDescriptionRowBytesExtension, &count), noErr);
    EXPECT_EQ(count, 2);
    Handle h = nullptr;
    ASSERT_EQ(GetImageDescriptionExtension(mDesc, &h, kImageDescriptionRowBytesExtension, 1), noErr);
    ASSERT_EQ(GetHandleSize(h), 4);
    EXPECT_EQ(std::memcmp(*h, rowb, 4), 0);
    DisposeHandle(h);

    // The 'rowb' property reads the first one as a host value.
    SInt32 rowBytes = 0;
    ByteCount used = 0;
    ASSERT_EQ(ICMImageDescriptionGetProperty(mDesc, kQTPropertyClass_ImageDescription,
                                             kICMImageDescriptionPropertyID_RowBytes, sizeof rowBytes, &rowBytes, &used),
              noErr);
    EXPECT_EQ(rowBytes, 2560);
    EXPECT_EQ(used, 4u);

    ASSERT_EQ(RemoveImageDescriptionExtension(mDesc, kImageDescriptionRowBytesExtension, 1), noErr);
    ASSERT_EQ(GetImageDescriptionExtension(mDesc, &h, kImageDescriptionRowBytesExtension, 1), noErr);
    EXPECT_EQ(std::memcmp(*h, "\x00\x00\x00\x10", 4), 0);
    DisposeHandle(h);
    ASSERT_EQ(GetImageDescriptionExtension(mDesc, &h, kImageDescriptionGammaExtension, 1), noErr);
    EXPECT_EQ(std::memcmp(*h, "\x00\x02\x33\x33", 4), 0);
    DisposeHandle(h);
    EXPECT_EQ((**mDesc).idSize, 86 + 2 * 12);
    EXPECT_EQ(GetHandleSize(reinterpret_cast<Handle>(mDesc)), 86 + 2 * 12);

    EXPECT_EQ(GetImageDescriptionExtension(mDesc, &h, kImageDescriptionFieldInfoExtension, 1),
              codecExtensionNotFoundErr);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(GetImageDescriptionExtension(mDesc, &h, kImageDescriptionRowBytesExtension, 2),
              codecExtensionNotFoundErr);
    EXPECT_EQ(RemoveImageDescriptionExtension(mDesc, kImageDescriptionRowBytesExtension, 5),
              codecExtensionNotFoundErr);
    EXPECT_EQ(AddImageDescriptionExtension(mDesc, nullptr, kImageDescriptionColorSpaceExtension), paramErr);
}

TEST_F(DescriptionTest, PropertiesAreStoredBigEndian) {
    const FieldInfoImageDescriptionExtension2 field{1, 0};
    const CleanApertureImageDescriptionExtension clap{640, 1, 480, 1, -2, 1, 0, 1};
    const PixelAspectRatioImageDescriptionExtension pasp{10, 11};
    const Fixed gamma = X2Fix(2.2);
    const SInt32 rowBytes = 0x01020304;
    const struct {
        QTPropertyID id;
        const void *value;
        size_t size;
        std::vector<UInt8> stored;  // the first bytes stored
    } cases[] = {
        {kICMImageDescriptionPropertyID_FieldInfo, &field, sizeof field, {1, 0}},
        {kICMImageDescriptionPropertyID_CleanAperture, &clap, sizeof clap, {0, 0, 2, 128, 0, 0, 0, 1}},
        {kICMImageDescriptionPropertyID_PixelAspectRatio, &pasp, sizeof pasp, {0, 0, 0, 10, 0, 0, 0, 11}},
        {kICMImageDescriptionPropertyID_GammaLevel, &gamma, sizeof gamma, {0x00, 0x02, 0x33, 0x33}},
        {kICMImageDescriptionPropertyID_RowBytes, &rowBytes, sizeof rowBytes, {1, 2, 3, 4}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.id);
        ASSERT_EQ(ICMImageDescriptionSetProperty(mDesc, kQTPropertyClass_ImageDescription, c.id, c.size, c.value), noErr);
        // Setting again replaces the extension rather than adding one.
        ASSERT_EQ(ICMImageDescriptionSetProperty(mDesc, kQTPropertyClass_ImageDescription, c.id, c.size, c.value), noErr);
        long count = 0;
        CountImageDescriptionExtensionType(mDesc, long(c.id), &count);
        EXPECT_EQ(count, 1);
        Handle h = nullptr;
        ASSERT_EQ(GetImageDescriptionExtension(mDesc, &h, long(c.id), 1), noErr);
        ASSERT_EQ(size_t(GetHandleSize(h)), c.size);
        EXPECT_EQ(std::memcmp(*h, c.stored.data(), c.stored.size()), 0);
        DisposeHandle(h);
        std::vector<UInt8> back(c.size);
        ASSERT_EQ(ICMImageDescriptionGetProperty(mDesc, kQTPropertyClass_ImageDescription, c.id, c.size, back.data(),
                                                 nullptr),
                  noErr);
        EXPECT_EQ(std::memcmp(back.data(), c.value, c.size), 0);
    }
    EXPECT_EQ(ICMImageDescriptionSetProperty(mDesc, kQTPropertyClass_ImageDescription,
                                             kICMImageDescriptionPropertyID_RowBytes, 2, &rowBytes),
              kQTPropertyBadValueSizeErr);
    EXPECT_EQ(ICMImageDescriptionSetProperty(mDesc, kQTPropertyClass_ImageDescription, MakeFourCharCode("zzzz"), 4, &rowBytes),
              kQTPropertyNotSupportedErr);
    SInt32 small = 0;
    EXPECT_EQ(ICMImageDescriptionGetProperty(mDesc, kQTPropertyClass_ImageDescription,
                                             kICMImageDescriptionPropertyID_CleanAperture, sizeof small, &small, nullptr),
              kQTPropertyBadValueSizeErr);
}

TEST_F(DescriptionTest, MalformedDescriptionsAreRefused) {
    ASSERT_EQ(Add(kImageDescriptionRowBytesExtension, "\x00\x00\x0A\x00", 4), noErr);
    UInt8 *bytes = reinterpret_cast<UInt8 *>(*mDesc);
    // An extension whose size runs past idSize.
    bytes[86 + 3] = 0x40;
    long count = 0;
    EXPECT_EQ(CountImageDescriptionExtensionType(mDesc, 0, &count), badImageDescription);
    Handle h = nullptr;
    EXPECT_EQ(GetImageDescriptionExtension(mDesc, &h, kImageDescriptionRowBytesExtension, 1), badImageDescription);
    EXPECT_EQ(Add(kImageDescriptionGammaExtension, "\0\0\0\0", 4), badImageDescription);
    bytes[86 + 3] = 12;
    // idSize larger than the handle.
    (**mDesc).idSize = 4096;
    EXPECT_EQ(CountImageDescriptionExtensionType(mDesc, 0, &count), badImageDescription);
    (**mDesc).idSize = 86 + 12;
    EXPECT_EQ(CountImageDescriptionExtensionType(mDesc, 0, &count), noErr);
    EXPECT_EQ(count, 1);
}

// The colour information travels as a 'colr' extension: 'nclc', then primaries, transfer
// function and matrix, big-endian.
TEST_F(DescriptionTest, ColourInformationIsAColrExtension) {
    const NCLCColorInfoImageDescriptionExtension bt601{kVideoColorInfoImageDescriptionExtensionType,
                                                       kQTPrimaries_SMPTE_C, kQTTransferFunction_ITU_R709_2,
                                                       kQTMatrix_ITU_R_601_4};
    ASSERT_EQ(ICMImageDescriptionSetProperty(mDesc, kQTPropertyClass_ImageDescription,
                                             kICMImageDescriptionPropertyID_NCLCColorInfo, sizeof bt601, &bt601),
              noErr);
    Handle h = nullptr;
    ASSERT_EQ(GetImageDescriptionExtension(mDesc, &h, kColorInfoImageDescriptionExtension, 1), noErr);
    ASSERT_EQ(GetHandleSize(h), 10);
    EXPECT_EQ(std::memcmp(*h, "nclc\x00\x06\x00\x01\x00\x06", 10), 0);
    DisposeHandle(h);
    // Setting it again replaces it.
    const NCLCColorInfoImageDescriptionExtension bt709{kVideoColorInfoImageDescriptionExtensionType, 1, 1, 1};
    ASSERT_EQ(ICMImageDescriptionSetProperty(mDesc, kQTPropertyClass_ImageDescription,
                                             kICMImageDescriptionPropertyID_NCLCColorInfo, sizeof bt709, &bt709),
              noErr);
    long count = 0;
    ASSERT_EQ(CountImageDescriptionExtensionType(mDesc, kColorInfoImageDescriptionExtension, &count), noErr);
    EXPECT_EQ(count, 1);
    NCLCColorInfoImageDescriptionExtension back{};
    ByteCount used = 0;
    ASSERT_EQ(ICMImageDescriptionGetProperty(mDesc, kQTPropertyClass_ImageDescription,
                                             kICMImageDescriptionPropertyID_NCLCColorInfo, sizeof back, &back, &used),
              noErr);
    EXPECT_EQ(used, 10u);
    EXPECT_EQ(back.colorParamType, kVideoColorInfoImageDescriptionExtensionType);
    EXPECT_EQ(back.primaries, 1);
    EXPECT_EQ(back.transferFunction, 1);
    EXPECT_EQ(back.matrix, 1);
}

// What a V4L2 driver reports becomes the frames' matrix.
TEST(V4L2Formats, YCbCrMatrixFromTheDriversEncoding) {
    const struct {
        __u32 colorspace, encoding;
        UInt16 matrix;
    } cases[] = {
        {V4L2_COLORSPACE_DEFAULT, V4L2_YCBCR_ENC_DEFAULT, kQTMatrix_ITU_R_601_4},  // says nothing
        {V4L2_COLORSPACE_DEFAULT, V4L2_YCBCR_ENC_709, kQTMatrix_ITU_R_709_2},
        {V4L2_COLORSPACE_DEFAULT, V4L2_YCBCR_ENC_601, kQTMatrix_ITU_R_601_4},
        {V4L2_COLORSPACE_REC709, V4L2_YCBCR_ENC_DEFAULT, kQTMatrix_ITU_R_709_2},
        {V4L2_COLORSPACE_SMPTE170M, V4L2_YCBCR_ENC_DEFAULT, kQTMatrix_ITU_R_601_4},
        {V4L2_COLORSPACE_SRGB, V4L2_YCBCR_ENC_DEFAULT, kQTMatrix_ITU_R_601_4},
        {V4L2_COLORSPACE_REC709, V4L2_YCBCR_ENC_601, kQTMatrix_ITU_R_601_4},  // the encoding wins
        {V4L2_COLORSPACE_SRGB, V4L2_YCBCR_ENC_XV709, kQTMatrix_ITU_R_709_2},
    };
    for (const auto &c : cases)
        EXPECT_EQ(lumora::qt::YCbCrMatrixFromV4L2(c.colorspace, c.encoding), c.matrix)
            << "colorspace " << c.colorspace << " encoding " << c.encoding;
}

// Handles too short for what they claim: every call that takes a description refuses them
// before reading past the handle (AddressSanitizer fails the run otherwise), and leaves
// them as they were.
TEST(ShortDescriptions, EveryEntryPointRefusesThem) {
    const struct {
        const char *name;
        Size handleSize;
        SInt32 idSize;  // written when the handle holds the idSize field
    } cases[] = {
        {"1-byte handle", 1, 0},
        {"85-byte handle", 85, 86},
        {"idSize past the handle", 86, 200},
        {"idSize below the record", 86, 4},
        {"negative idSize", 86, -1},
        {"atom header cut off", 90, 90},
        {"atom size past idSize", 100, 100},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto desc = reinterpret_cast<ImageDescriptionHandle>(NewHandleClear(c.handleSize));
        ASSERT_NE(desc, nullptr);
        UInt8 *bytes = reinterpret_cast<UInt8 *>(*desc);
        if (c.handleSize >= 4) std::memcpy(bytes, &c.idSize, 4);
        if (c.handleSize >= 8) std::memcpy(bytes + 4, "2vuy", 4);
        if (c.handleSize >= 94) std::memcpy(bytes + 86, "\x00\x00\x00\x40rowb", 8);  // 64 bytes claimed
        const std::vector<UInt8> before(bytes, bytes + c.handleSize);

        long count = 7;
        EXPECT_EQ(CountImageDescriptionExtensionType(desc, 0, &count), badImageDescription);
        EXPECT_EQ(count, 0);
        Handle extension = reinterpret_cast<Handle>(1);
        EXPECT_EQ(GetImageDescriptionExtension(desc, &extension, 0, 1), badImageDescription);
        EXPECT_EQ(extension, nullptr);
        EXPECT_EQ(RemoveImageDescriptionExtension(desc, 0, 1), badImageDescription);
        Handle data = NewHandleClear(4);
        EXPECT_EQ(AddImageDescriptionExtension(desc, data, kImageDescriptionGammaExtension), badImageDescription);
        DisposeHandle(data);
        SInt32 rowBytes = 640;
        EXPECT_EQ(ICMImageDescriptionSetProperty(desc, kQTPropertyClass_ImageDescription,
                                                 kICMImageDescriptionPropertyID_RowBytes, sizeof rowBytes, &rowBytes),
                  badImageDescription);
        EXPECT_EQ(ICMImageDescriptionGetProperty(desc, kQTPropertyClass_ImageDescription,
                                                 kICMImageDescriptionPropertyID_RowBytes, sizeof rowBytes, &rowBytes,
                                                 nullptr),
                  badImageDescription);
        const Rect bounds{0, 0, 16, 16};
        GWorldPtr world = nullptr;
        ASSERT_EQ(QTNewGWorld(&world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0), noErr);
        ImageSequence sequence = 5;
        EXPECT_EQ(DecompressSequenceBegin(&sequence, desc, world, nullptr, nullptr, nullptr, srcCopy, nullptr, 0, 0,
                                          anyCodec),
                  badImageDescription);
        EXPECT_EQ(sequence, 0);
        DisposeGWorld(world);

        ASSERT_EQ(GetHandleSize(reinterpret_cast<Handle>(desc)), c.handleSize);
        EXPECT_EQ(std::vector<UInt8>(bytes, bytes + c.handleSize), before);
        DisposeHandle(reinterpret_cast<Handle>(desc));
    }
}

TEST_F(DescriptionTest, LockedDescriptionCannotGrow) {
    HLock(reinterpret_cast<Handle>(mDesc));
    EXPECT_EQ(Add(kImageDescriptionGammaExtension, "\0\0\0\0", 4), memFullErr);
    EXPECT_EQ((**mDesc).idSize, 86);
    EXPECT_EQ(GetHandleSize(reinterpret_cast<Handle>(mDesc)), 86);
    HUnlock(reinterpret_cast<Handle>(mDesc));
    EXPECT_EQ(Add(kImageDescriptionGammaExtension, "\0\0\0\0", 4), noErr);
}

TEST(Matrices, ScaleAndTranslate) {
    MatrixRecord m;
    SetIdentityMatrix(&m);
    ScaleMatrix(&m, X2Fix(2.0), X2Fix(0.5), 0, 0);
    TranslateMatrix(&m, Long2Fix(10), Long2Fix(20));
    EXPECT_EQ(m.matrix[0][0], X2Fix(2.0));
    EXPECT_EQ(m.matrix[1][1], X2Fix(0.5));
    EXPECT_EQ(m.matrix[2][0], Long2Fix(10));
    EXPECT_EQ(m.matrix[2][1], Long2Fix(20));
    SetIdentityMatrix(&m);
    ScaleMatrix(&m, X2Fix(2.0), X2Fix(2.0), Long2Fix(5), Long2Fix(5));  // the point (5, 5) stays
    EXPECT_EQ(m.matrix[2][0], Long2Fix(-5));
    EXPECT_EQ(m.matrix[2][1], Long2Fix(-5));
}
