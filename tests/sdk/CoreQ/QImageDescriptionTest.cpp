#include <CoreQ/QImageDescription.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <CoreQ/QGWorld.h>

#include "sdk/CoreX/CoreMachDebugLogTestSupport.h"

namespace {

ImageDescriptionHandle NewDescription(CodecType type, short width, short height, SInt32 dataSize) {
    auto h = reinterpret_cast<ImageDescriptionHandle>(NewHandleClear(sizeof(ImageDescription)));
    (*h)->idSize = sizeof(ImageDescription);
    (*h)->cType = type;
    (*h)->width = width;
    (*h)->height = height;
    (*h)->dataSize = dataSize;
    return h;
}

void AddRawExtension(ImageDescriptionHandle h, OSType type, std::vector<uint8_t> bytes) {
    Handle data = nullptr;
    ASSERT_EQ(PtrToHand(bytes.data(), &data, long(bytes.size())), noErr);
    ASSERT_EQ(AddImageDescriptionExtension(h, data, long(type)), noErr);
    DisposeHandle(data);
}

// A description that owns the handle it is given.
struct OwnedDescription : QImageDescription {
    explicit OwnedDescription(ImageDescriptionHandle h) { Construct(h, true); }
};

class QImageDescriptionTest : public corex_test::DebugLogFileTest {
protected:
    bool Logged(const char *text) { return LogText().find(text) != std::string::npos; }
};

TEST(QImageDescriptionRowBytes, RulePerCodec) {
    const struct {
        OSType codec;
        short width, height;
        SInt32 dataSize;
        std::vector<uint8_t> rowb;  // a stored 'rowb' extension, big-endian; none when empty
        bool found;
        long rowBytes;
    } cases[] = {
        {MakeFourCharCode("2vuy"), 640, 480, 0, {}, true, 1280},
        {MakeFourCharCode("2vuy"), 640, 480, 1280 * 480, {}, true, 1280},
        {MakeFourCharCode("yuvs"), 640, 480, 1408 * 480, {}, true, 1408},  // padded rows come from dataSize
        {MakeFourCharCode("UYVY"), 100, 10, 0, {}, true, 200},
        {MakeFourCharCode("YVYU"), 100, 10, 0, {}, true, 200},
        {MakeFourCharCode("yuvu"), 100, 10, 0, {}, true, 200},
        {MakeFourCharCode("2vuy"), 640, 0, 1000, {}, true, 1280},  // no height: no division, the width rule
        {MakeFourCharCode("2vuy"), 640, 480, 0, {0x00, 0x00, 0x06, 0x00}, true, 1536},  // the extension wins
        {MakeFourCharCode("raw "), 640, 480, 0, {}, false, 0},
        {MakeFourCharCode("jpeg"), 640, 480, 640 * 480, {}, false, 0},
        {MakeFourCharCode("raw "), 640, 480, 0, {0x00, 0x00, 0x0A, 0x00}, true, 2560},
        {MakeFourCharCode("raw "), 640, 480, 0, {0xFF, 0xFF, 0xFF, 0x00}, false, 0},  // a negative value is no row bytes
        {MakeFourCharCode("raw "), 640, 480, 0, {0x0A, 0x00}, false, 0},              // nor one of the wrong size
    };
    for (const auto &c : cases) {
        ImageDescriptionHandle h = NewDescription(c.codec, c.width, c.height, c.dataSize);
        if (!c.rowb.empty()) AddRawExtension(h, kImageDescriptionRowBytesExtension, c.rowb);
        QImageDescription description(h);
        long rowBytes = -1;
        EXPECT_EQ(description.GetExtension_rowb(rowBytes), c.found) << c.codec << " " << c.dataSize;
        if (c.found) {
            EXPECT_EQ(rowBytes, c.rowBytes) << c.codec << " " << c.dataSize;
        }
        description.Dispose();  // not owned: the test disposes it
        DisposeHandle(reinterpret_cast<Handle>(h));
    }
}

TEST(QImageDescriptionRowBytes, FromA32BitPixMap) {
    std::vector<uint8_t> pixels(2560 * 2);
    QGWorld world;
    ASSERT_TRUE(world.ConstructAlias(pixels.data(), 2560, Dimensions{2, 600}, k32ARGBPixelFormat));
    QImageDescription description(world.GetPixMap());
    ASSERT_TRUE(description.IsConstructed());
    EXPECT_TRUE(description.IsOwner());
    EXPECT_EQ(description.GetCodecType(), k32ARGBPixelFormat);
    EXPECT_EQ(description.GetWidth(), 600);
    EXPECT_EQ(description.GetHeight(), 2);
    EXPECT_EQ(description.GetDimensions().v, 2);
    EXPECT_EQ(description.GetDimensions().h, 600);
    EXPECT_EQ(description.DataSize(), 2560 * 2);
    long rowBytes = 0;
    ASSERT_TRUE(description.GetExtension_rowb(rowBytes));
    EXPECT_EQ(rowBytes, 2560);
    // Stored big-endian, as the layer's property reader expects.
    SInt32 property = 0;
    ASSERT_EQ(ICMImageDescriptionGetProperty(description.mHandle, kQTPropertyClass_ImageDescription,
                                             kICMImageDescriptionPropertyID_RowBytes, sizeof(property), &property,
                                             nullptr),
              noErr);
    EXPECT_EQ(property, 2560);
    EXPECT_TRUE(description.AddExtension_rowb(999));  // already there: unchanged
    ASSERT_TRUE(description.GetExtension_rowb(rowBytes));
    EXPECT_EQ(rowBytes, 2560);
}

TEST(QImageDescriptionExtensions, RoundTrips) {
    QImageDescription description(NewDescription(kRawCodecType, 4, 4, 0));
    ImageDescriptionHandle h = description.mHandle;

    // Written here, read by the layer's properties.
    ASSERT_TRUE(description.AddExtension_rowb(4096));
    SInt32 rowBytes = 0;
    ASSERT_EQ(ICMImageDescriptionGetProperty(h, kQTPropertyClass_ImageDescription,
                                             kICMImageDescriptionPropertyID_RowBytes, sizeof(rowBytes), &rowBytes,
                                             nullptr),
              noErr);
    EXPECT_EQ(rowBytes, 4096);

    // Written by the layer's properties, read here.
    const Fixed gamma = X2Fix(2.2);
    ASSERT_EQ(ICMImageDescriptionSetProperty(h, kQTPropertyClass_ImageDescription,
                                             kICMImageDescriptionPropertyID_GammaLevel, sizeof(gamma), &gamma),
              noErr);
    Fixed readGamma = 0;
    ASSERT_TRUE(description.GetExtension_gama(readGamma));
    EXPECT_EQ(readGamma, gamma);

    const FieldInfoImageDescriptionExtension2 fields = {2, 9};
    ASSERT_EQ(ICMImageDescriptionSetProperty(h, kQTPropertyClass_ImageDescription,
                                             kICMImageDescriptionPropertyID_FieldInfo, sizeof(fields), &fields),
              noErr);
    FieldInfoImageDescriptionExtension2 readFields = {0, 0};
    ASSERT_TRUE(description.GetExtension_fiel(readFields));
    EXPECT_EQ(readFields.fields, 2);
    EXPECT_EQ(readFields.detail, 9);

    // Written and read here.
    ASSERT_EQ(description.AddImageDescriptionExtension_U32(k32BGRAPixelFormat, kImageDescriptionColorSpaceExtension),
              noErr);
    OSType colorSpace = 0;
    ASSERT_TRUE(description.GetExtension_cspc(colorSpace));
    EXPECT_EQ(colorSpace, k32BGRAPixelFormat);
    ASSERT_EQ(description.AddImageDescriptionExtension_S32(-2, MakeFourCharCode("test")), noErr);
    uint8_t stored[4] = {};
    ASSERT_EQ(description.GetExtension(stored, 4, MakeFourCharCode("test")), noErr);
    EXPECT_EQ(std::vector<uint8_t>(stored, stored + 4), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFE}));

    // Absent extensions read as false, leaving the value 0.
    OwnedDescription bare(NewDescription(kRawCodecType, 4, 4, 0));
    EXPECT_FALSE(bare.GetExtension_gama(readGamma));
    EXPECT_EQ(readGamma, 0);
    EXPECT_FALSE(bare.GetExtension_cspc(colorSpace));
    EXPECT_FALSE(bare.GetExtension_fiel(readFields));
    description.Construct(h, true);  // hand the handle over to be disposed
}

TEST_F(QImageDescriptionTest, GetExtensionCopiesOnlyTheExactSize) {
    OwnedDescription description(NewDescription(kRawCodecType, 4, 4, 0));
    ASSERT_EQ(description.AddImageDescriptionExtension_U32(0x01020304, MakeFourCharCode("four")), noErr);

    uint8_t buffer[8];
    std::memset(buffer, 0x77, sizeof(buffer));
    EXPECT_EQ(description.GetExtension(buffer, 8, MakeFourCharCode("four")), noErr);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 8), std::vector<uint8_t>(8, 0));
    EXPECT_TRUE(Logged(" code : in_data_size==lock.HandleSizeBytes()"));

    ClearLog();
    std::memset(buffer, 0x77, sizeof(buffer));
    EXPECT_EQ(description.GetExtension(buffer, 4, MakeFourCharCode("none")), codecExtensionNotFoundErr);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 4), std::vector<uint8_t>(4, 0));
    EXPECT_EQ(LogText(), "");  // a missing extension is not a failure

    // The extension handle's lock state is restored: the description can still grow.
    EXPECT_EQ(description.GetExtension(buffer, 4, MakeFourCharCode("four")), noErr);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 4), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(description.AddImageDescriptionExtension_U32(5, MakeFourCharCode("more")), noErr);
}

TEST_F(QImageDescriptionTest, RefusedArgumentsAndEmptyDescriptions) {
    QImageDescription empty;
    EXPECT_EQ(empty.GetWidth(), 0);
    EXPECT_EQ(empty.GetHeight(), 0);
    EXPECT_EQ(empty.GetCodecType(), 0u);
    EXPECT_EQ(empty.GetDimensions().v, 0);
    EXPECT_EQ(empty.DataSize(), 0);
    Handle extension = nullptr;
    EXPECT_EQ(empty.GetImageDescriptionExtension(extension, kImageDescriptionRowBytesExtension, 1), paramErr);
    long rowBytes = 0;
    EXPECT_FALSE(empty.GetExtension_rowb(rowBytes));

    OwnedDescription description(NewDescription(kRawCodecType, 4, 4, 0));
    EXPECT_EQ(description.AddImageDescriptionExtension(nullptr, kImageDescriptionRowBytesExtension), paramErr);
    EXPECT_TRUE(Logged(" code : extension!=nil"));
    const uint8_t bytes[4] = {};
    EXPECT_EQ(description.AddExtension(bytes, 4, 0), paramErr);
    EXPECT_TRUE(Logged(" code : idType!=kInvalidTypeId"));

    ClearLog();
    EXPECT_FALSE(description.Construct(ImageDescriptionHandle(nullptr)));
    EXPECT_FALSE(description.IsConstructed());
    EXPECT_FALSE(description.IsOwner());
    EXPECT_TRUE(Logged(" code : mHandle = hImageDescription"));
    QImageDescription adopted{ImageDescriptionHandle(nullptr)};
    EXPECT_TRUE(Logged(" code : Construct(hImageDescription)"));
}

// Handles shorter than the record or whose idSize lies about them: the field getters,
// the 'rowb' rule, the extension readers and a world alias all refuse
// them without reading past the handle (AddressSanitizer fails the run otherwise).
TEST_F(QImageDescriptionTest, ShortAndLyingHandlesAreRefused) {
    const struct {
        const char *name;
        Size handleSize;
        SInt32 idSize;
    } cases[] = {
        {"1-byte handle", 1, 0},
        {"85-byte handle", 85, 86},
        {"idSize past the handle", 86, 4096},
        {"idSize below the record", 86, 8},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto h = reinterpret_cast<ImageDescriptionHandle>(NewHandleClear(c.handleSize));
        ASSERT_NE(h, nullptr);
        if (c.handleSize >= 86) {
            (*h)->cType = k2vuyPixelFormat;
            (*h)->width = 64;
            (*h)->height = 48;
            (*h)->dataSize = 64 * 48 * 2;
        }
        if (c.handleSize >= 4) std::memcpy(*h, &c.idSize, 4);
        OwnedDescription description(h);
        EXPECT_EQ(description.GetWidth(), 0);
        EXPECT_EQ(description.GetHeight(), 0);
        EXPECT_EQ(description.GetCodecType(), 0u);
        EXPECT_EQ(description.DataSize(), 0);
        long rowBytes = 0;
        EXPECT_FALSE(description.GetExtension_rowb(rowBytes));
        Fixed gamma = 0;
        EXPECT_FALSE(description.GetExtension_gama(gamma));
        Handle extension = nullptr;
        EXPECT_EQ(description.GetImageDescriptionExtension(extension, kImageDescriptionRowBytesExtension, 1),
                  badImageDescription);
        EXPECT_EQ(extension, nullptr);
        EXPECT_EQ(description.AddImageDescriptionExtension_S32(128, kImageDescriptionRowBytesExtension),
                  badImageDescription);
        std::vector<uint8_t> pixels(64 * 48 * 2);
        QGWorld world;
        EXPECT_FALSE(world.ConstructAlias(pixels.data(), h));
        EXPECT_EQ(GetHandleSize(reinterpret_cast<Handle>(h)), c.handleSize);
    }
}

TEST(QImageDescriptionOwnership, DisposesOnlyWhatItOwns) {
    // Run under AddressSanitizer: a handle disposed twice, used after disposal or never
    // disposed fails the run.
    ImageDescriptionHandle borrowed = NewDescription(kRawCodecType, 1, 1, 0);
    {
        QImageDescription description(borrowed);
        EXPECT_FALSE(description.IsOwner());
        ASSERT_TRUE(description.Construct(NewDescription(kRawCodecType, 2, 2, 0), true));  // borrowed stays
        EXPECT_EQ((*borrowed)->width, 1);
        ASSERT_TRUE(description.Construct(NewDescription(kRawCodecType, 3, 3, 0), true));  // the owned one goes
        // Adopting the handle already owned keeps it.
        ASSERT_TRUE(description.Construct(description.mHandle, true));
        EXPECT_EQ(description.GetWidth(), 3);
    }
    DisposeHandle(reinterpret_cast<Handle>(borrowed));

    QImageDescription failed;
    std::vector<uint8_t> pixels(16);
    QGWorld world;
    ASSERT_TRUE(world.ConstructAlias(pixels.data(), 16, Dimensions{1, 4}, k32ARGBPixelFormat));
    ASSERT_TRUE(failed.Construct(world.GetPixMap()));
    EXPECT_FALSE(failed.Construct(PixMapHandle(nullptr)));  // the owned description is disposed first
    EXPECT_FALSE(failed.IsConstructed());
}

}  // namespace
