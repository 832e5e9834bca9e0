#include <gtest/gtest.h>

#include <cstring>

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
