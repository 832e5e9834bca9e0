// The standard compression component, the compressor list over FFmpeg's encoders and the
// compression-session options.
#include <gtest/gtest.h>

#include <QuickTime/QuickTime.h>

#include <QApplication>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/CompressionDialogDriver.h"

namespace {

QApplication *Application() {
    static QApplication *application = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "QuickTimeTests";
        static char *argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return application;
}

std::string Pascal(const unsigned char *text) { return std::string(reinterpret_cast<const char *>(text + 1), text[0]); }

std::vector<CodecType> ListedTypes() {
    std::vector<CodecType> types;
    CodecNameSpecListPtr list = nullptr;
    if (GetCodecNameList(&list, 1) != noErr) return types;
    for (short index = 0; index < list->count; ++index) types.push_back(list->list[index].cType);
    DisposeCodecNameList(list);
    return types;
}

std::string Bytes(Handle handle) { return std::string(*handle, size_t(GetHandleSize(handle))); }

Handle HandleOf(const std::string &bytes) {
    Handle handle = NewHandle(Size(bytes.size()));
    if (!bytes.empty()) std::memcpy(*handle, bytes.data(), bytes.size());
    return handle;
}

constexpr CodecType kOffered[] = {kAnimationCodecType,  kH264CodecType,        kMPEG4VisualCodecType,
                                  kJPEGCodecType,       kMotionJPEGACodecType, kMotionJPEGBCodecType};

// The compressors are the six in their order, each only when FFmpeg has its encoder; the
// ones FFmpeg always builds in are there.
TEST(CodecNameList, ListsThePresentEncodersInOrder) {
    CodecNameSpecListPtr list = nullptr;
    ASSERT_EQ(GetCodecNameList(&list, 0), noErr);
    ASSERT_NE(list, nullptr);
    size_t next = 0;
    std::vector<std::string> names;
    for (short index = 0; index < list->count; ++index) {
        const CodecNameSpec &spec = list->list[index];
        while (next < std::size(kOffered) && kOffered[next] != spec.cType) ++next;
        ASSERT_LT(next, std::size(kOffered)) << "not one of the six, or out of order";
        ++next;
        names.push_back(Pascal(spec.typeName));
        ASSERT_NE(spec.name, nullptr);
        EXPECT_GT(GetHandleSize(spec.name), 1);
    }
    EXPECT_EQ(DisposeCodecNameList(list), noErr);
    const std::vector<CodecType> types = ListedTypes();
    for (CodecType always : std::initializer_list<CodecType>{kAnimationCodecType, kMPEG4VisualCodecType, kJPEGCodecType, kMotionJPEGACodecType,
                             kMotionJPEGBCodecType})
        EXPECT_NE(std::find(types.begin(), types.end(), always), types.end()) << always;
    EXPECT_EQ(names.front(), "Animation");
    EXPECT_EQ(GetCodecNameList(nullptr, 0), paramErr);
}

// --- Compression-session options ---

struct SessionOptions : ::testing::Test {
    ICMCompressionSessionOptionsRef options = nullptr;
    void SetUp() override { ASSERT_EQ(ICMCompressionSessionOptionsCreate(kCFAllocatorDefault, &options), noErr); }
    void TearDown() override { ICMCompressionSessionOptionsRelease(options); }
    OSStatus Set(QTPropertyID id, ByteCount size, const void *value) {
        return ICMCompressionSessionOptionsSetProperty(options, kQTPropertyClass_ICMCompressionSessionOptions, id,
                                                       size, value);
    }
    OSStatus Get(QTPropertyID id, ByteCount size, void *value, ByteCount *used = nullptr) {
        return ICMCompressionSessionOptionsGetProperty(options, kQTPropertyClass_ICMCompressionSessionOptions, id,
                                                       size, value, used);
    }
};

TEST_F(SessionOptions, PropertiesKeepWhatIsSetAndRefuseBadValues) {
    const struct {
        QTPropertyID id;
        UInt32 good;
        UInt32 bad;  // refused with paramErr
    } cases[] = {
        {kICMCompressionSessionOptionsPropertyID_Depth, 32, 41},
        {kICMCompressionSessionOptionsPropertyID_Quality, codecMaxQuality, codecLosslessQuality + 1},
        {kICMCompressionSessionOptionsPropertyID_AverageDataRate, 250000, UInt32(-1)},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Set(c.id, 4, &c.good), noErr) << c.id;
        EXPECT_EQ(Set(c.id, 4, &c.bad), paramErr) << c.id;
        EXPECT_EQ(Set(c.id, 2, &c.good), kQTPropertyBadValueSizeErr) << c.id;
        UInt32 value = 0;
        ByteCount used = 0;
        EXPECT_EQ(Get(c.id, 4, &value, &used), noErr);
        EXPECT_EQ(value, c.good) << c.id;
        EXPECT_EQ(used, 4u);
        EXPECT_EQ(Get(c.id, 2, &value), kQTPropertyBadValueSizeErr);
    }
    Boolean allow = true;
    EXPECT_EQ(Set(kICMCompressionSessionOptionsPropertyID_AllowAsyncCompletion, 1, &allow), noErr);
    allow = false;
    EXPECT_EQ(Get(kICMCompressionSessionOptionsPropertyID_AllowAsyncCompletion, 1, &allow), noErr);
    EXPECT_TRUE(allow);

    ICMMultiPassStorageRef storage = nullptr;
    EXPECT_EQ(Set(kICMCompressionSessionOptionsPropertyID_MultiPassStorage, sizeof storage, &storage), noErr);
    storage = reinterpret_cast<ICMMultiPassStorageRef>(&allow);
    EXPECT_EQ(Set(kICMCompressionSessionOptionsPropertyID_MultiPassStorage, sizeof storage, &storage), paramErr);

    UInt32 value = 1;
    EXPECT_EQ(ICMCompressionSessionOptionsSetProperty(options, kQTPropertyClass_ImageDescription,
                                                      kICMCompressionSessionOptionsPropertyID_Depth, 4, &value),
              kQTPropertyNotSupportedErr);
    EXPECT_EQ(Set(MakeFourCharCode("nope"), 4, &value), kQTPropertyNotSupportedErr);
    EXPECT_EQ(ICMCompressionSessionOptionsSetProperty(nullptr, kQTPropertyClass_ICMCompressionSessionOptions,
                                                      kICMCompressionSessionOptionsPropertyID_Depth, 4, &value),
              paramErr);
}

// The codec settings are copied in and out, so neither side's handle changes the other's.
TEST_F(SessionOptions, CodecSettingsAndCopiesAreIndependent) {
    Handle settings = HandleOf("abc");
    ASSERT_EQ(Set(kICMCompressionSessionOptionsPropertyID_CompressorSettings, sizeof settings, &settings), noErr);
    (*settings)[0] = 'X';
    DisposeHandle(settings);
    ASSERT_EQ(ICMCompressionSessionOptionsSetMaxKeyFrameInterval(options, 30), noErr);
    ASSERT_EQ(ICMCompressionSessionOptionsSetAllowFrameReordering(options, true), noErr);

    ICMCompressionSessionOptionsRef copy = nullptr;
    ASSERT_EQ(ICMCompressionSessionOptionsCreateCopy(kCFAllocatorDefault, options, &copy), noErr);
    Handle empty = nullptr;
    ASSERT_EQ(Set(kICMCompressionSessionOptionsPropertyID_CompressorSettings, sizeof empty, &empty), noErr);
    Handle read = nullptr;
    ASSERT_EQ(ICMCompressionSessionOptionsGetProperty(copy, kQTPropertyClass_ICMCompressionSessionOptions,
                                                      kICMCompressionSessionOptionsPropertyID_CompressorSettings,
                                                      sizeof read, &read, nullptr),
              noErr);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(Bytes(read), "abc");
    DisposeHandle(read);
    EXPECT_EQ(Get(kICMCompressionSessionOptionsPropertyID_CompressorSettings, sizeof read, &read), noErr);
    EXPECT_EQ(read, nullptr);
    EXPECT_EQ(ICMCompressionSessionOptionsGetMaxKeyFrameInterval(copy), 30);
    EXPECT_TRUE(ICMCompressionSessionOptionsGetAllowFrameReordering(copy));
    EXPECT_FALSE(ICMCompressionSessionOptionsGetAllowTemporalCompression(copy));
    EXPECT_EQ(ICMCompressionSessionOptionsRetain(copy), copy);
    ICMCompressionSessionOptionsRelease(copy);
    ICMCompressionSessionOptionsRelease(copy);
}

TEST_F(SessionOptions, OwnCallsKeepTheirValuesAndRefuseNull) {
    const struct {
        OSStatus (*set)(ICMCompressionSessionOptionsRef, Boolean);
        Boolean (*get)(ICMCompressionSessionOptionsRef);
    } flags[] = {
        {ICMCompressionSessionOptionsSetAllowTemporalCompression, ICMCompressionSessionOptionsGetAllowTemporalCompression},
        {ICMCompressionSessionOptionsSetAllowFrameReordering, ICMCompressionSessionOptionsGetAllowFrameReordering},
        {ICMCompressionSessionOptionsSetAllowFrameTimeChanges, ICMCompressionSessionOptionsGetAllowFrameTimeChanges},
        {ICMCompressionSessionOptionsSetDurationsNeeded, ICMCompressionSessionOptionsGetDurationsNeeded},
    };
    for (const auto &flag : flags) {
        EXPECT_FALSE(flag.get(options));
        EXPECT_EQ(flag.set(options, true), noErr);
        EXPECT_TRUE(flag.get(options));
        EXPECT_EQ(flag.set(nullptr, true), paramErr);
        EXPECT_FALSE(flag.get(nullptr));
    }
    EXPECT_EQ(ICMCompressionSessionOptionsSetMaxKeyFrameInterval(options, -1), paramErr);
    EXPECT_EQ(ICMCompressionSessionOptionsGetMaxKeyFrameInterval(options), 0);
    EXPECT_EQ(ICMCompressionSessionOptionsCreate(kCFAllocatorDefault, nullptr), paramErr);
    ICMCompressionSessionOptionsRelease(nullptr);
}

// --- The standard compression component ---

struct StandardCompression : ::testing::Test {
    ComponentInstance sc = nullptr;
    void SetUp() override {
        sc = OpenDefaultComponent(StandardCompressionType, StandardCompressionSubType);
        ASSERT_NE(sc, nullptr);
    }
    void TearDown() override { EXPECT_EQ(CloseComponent(sc), noErr); }
    SCSpatialSettings Spatial() {
        SCSpatialSettings settings{};
        EXPECT_EQ(SCGetInfo(sc, scSpatialSettingsType, &settings), noErr);
        return settings;
    }
    SCTemporalSettings Temporal() {
        SCTemporalSettings settings{};
        EXPECT_EQ(SCGetInfo(sc, scTemporalSettingsType, &settings), noErr);
        return settings;
    }
    std::string Container() {
        QTAtomContainer container = nullptr;
        EXPECT_EQ(SCGetSettingsAsAtomContainer(sc, &container), noErr);
        if (container == nullptr) return {};
        std::string bytes = Bytes(container);
        DisposeHandle(container);
        return bytes;
    }
    ComponentResult Take(const std::string &bytes) {
        Handle handle = HandleOf(bytes);
        const ComponentResult result = SCSetSettingsFromAtomContainer(sc, handle);
        DisposeHandle(handle);
        return result;
    }
};

TEST_F(StandardCompression, SettingsAreKeptAndBadOnesRefusedWhole) {
    SCSpatialSettings spatial = Spatial();
    EXPECT_EQ(spatial.codecType, kAnimationCodecType);
    EXPECT_EQ(spatial.depth, 32);
    EXPECT_DOUBLE_EQ(Fix2X(Temporal().frameRate), 30.0);

    spatial = {kMPEG4VisualCodecType, anyCodec, 24, codecHighQuality};
    EXPECT_EQ(SCSetInfo(sc, scSpatialSettingsType, &spatial), noErr);
    EXPECT_EQ(Spatial().codecType, kMPEG4VisualCodecType);
    EXPECT_EQ(Spatial().spatialQuality, codecHighQuality);
    SCTemporalSettings temporal = {codecLowQuality, X2Fix(29.97), 15};
    EXPECT_EQ(SCSetInfo(sc, scTemporalSettingsType, &temporal), noErr);
    EXPECT_EQ(Temporal().frameRate, X2Fix(29.97));

    const SCSpatialSettings badSpatial[] = {
        {kJPEGCodecType, anyCodec, 41, codecHighQuality},
        {kJPEGCodecType, anyCodec, -1, codecHighQuality},
        {kJPEGCodecType, anyCodec, 32, codecLosslessQuality + 1},
        {kJPEGCodecType, reinterpret_cast<CodecComponent>(&spatial), 32, codecHighQuality},
    };
    for (SCSpatialSettings bad : badSpatial) EXPECT_EQ(SCSetInfo(sc, scSpatialSettingsType, &bad), paramErr);
    SCSpatialSettings unknown = {MakeFourCharCode("zzzz"), anyCodec, 32, codecHighQuality};
    EXPECT_EQ(SCSetInfo(sc, scSpatialSettingsType, &unknown), noCodecErr);
    const SCTemporalSettings badTemporal[] = {
        {codecLowQuality, 0, 15},
        {codecLowQuality, -fixed1, 15},
        {codecLowQuality, 1001 * fixed1, 15},
        {codecLowQuality, fixed1, -1},
        {codecLosslessQuality + 1, fixed1, 1},
    };
    for (SCTemporalSettings bad : badTemporal) EXPECT_EQ(SCSetInfo(sc, scTemporalSettingsType, &bad), paramErr);
    EXPECT_EQ(Spatial().codecType, kMPEG4VisualCodecType);
    EXPECT_EQ(Temporal().frameRate, X2Fix(29.97));

    long flags = 0x500;
    EXPECT_EQ(SCSetInfo(sc, scPreferenceFlagsType, &flags), noErr);
    flags = 0;
    EXPECT_EQ(SCGetInfo(sc, scPreferenceFlagsType, &flags), noErr);
    EXPECT_EQ(flags, 0x500);
    EXPECT_EQ(SCGetInfo(sc, MakeFourCharCode("drat"), &flags), badComponentSelector);
    EXPECT_EQ(SCGetInfo(sc, scPreferenceFlagsType, nullptr), paramErr);

    ComponentInstance grabber = OpenDefaultComponent(SeqGrabComponentType, 0);
    EXPECT_EQ(SCGetInfo(grabber, scPreferenceFlagsType, &flags), badComponentInstance);
    CloseComponent(grabber);
}

TEST_F(StandardCompression, CodecTypeListIsCopiedBothWays) {
    Handle list = nullptr;
    EXPECT_EQ(SCGetInfo(sc, scCompressionListType, &list), noErr);
    EXPECT_EQ(list, nullptr);
    const CodecType types[] = {kJPEGCodecType, kAnimationCodecType};
    list = HandleOf(std::string(reinterpret_cast<const char *>(types), sizeof types));
    EXPECT_EQ(SCSetInfo(sc, scCompressionListType, &list), noErr);
    DisposeHandle(list);
    list = nullptr;
    ASSERT_EQ(SCGetInfo(sc, scCompressionListType, &list), noErr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Bytes(list), std::string(reinterpret_cast<const char *>(types), sizeof types));
    DisposeHandle(list);
    Handle odd = HandleOf("abcde");
    EXPECT_EQ(SCSetInfo(sc, scCompressionListType, &odd), paramErr);
    DisposeHandle(odd);
}

TEST_F(StandardCompression, AtomContainerRoundTripsIntoAFreshInstance) {
    SCSpatialSettings spatial = {kJPEGCodecType, anyCodec, 24, 700};
    SCTemporalSettings temporal = {600, X2Fix(12.5), 7};
    ASSERT_EQ(SCSetInfo(sc, scSpatialSettingsType, &spatial), noErr);
    ASSERT_EQ(SCSetInfo(sc, scTemporalSettingsType, &temporal), noErr);
    const std::string bytes = Container();
    ASSERT_EQ(bytes.size(), 46u);

    ComponentInstance other = OpenDefaultComponent(StandardCompressionType, StandardCompressionSubType);
    Handle container = HandleOf(bytes);
    EXPECT_EQ(SCSetSettingsFromAtomContainer(other, container), noErr);
    DisposeHandle(container);
    SCSpatialSettings readSpatial{};
    SCTemporalSettings readTemporal{};
    SCGetInfo(other, scSpatialSettingsType, &readSpatial);
    SCGetInfo(other, scTemporalSettingsType, &readTemporal);
    EXPECT_EQ(readSpatial.codecType, kJPEGCodecType);
    EXPECT_EQ(readSpatial.depth, 24);
    EXPECT_EQ(readSpatial.spatialQuality, 700u);
    EXPECT_EQ(readTemporal.temporalQuality, 600u);
    EXPECT_EQ(readTemporal.frameRate, X2Fix(12.5));
    EXPECT_EQ(readTemporal.keyFrameRate, 7);
    CloseComponent(other);

    Handle text = nullptr;
    ASSERT_EQ(SCGetSettingsAsText(sc, &text), noErr);
    EXPECT_EQ(Bytes(text).rfind("Photo - JPEG ('jpeg'), depth 24, quality 700; 12.50 frames per second", 0), 0u)
        << Bytes(text);
    DisposeHandle(text);

    ICMCompressionSessionOptionsRef options = nullptr;
    ASSERT_EQ(SCCopyCompressionSessionOptions(sc, &options), noErr);
    CodecQ quality = 0;
    ICMCompressionSessionOptionsGetProperty(options, kQTPropertyClass_ICMCompressionSessionOptions,
                                            kICMCompressionSessionOptionsPropertyID_Quality, sizeof quality, &quality,
                                            nullptr);
    EXPECT_EQ(quality, 700u);
    EXPECT_EQ(ICMCompressionSessionOptionsGetMaxKeyFrameInterval(options), 7);
    EXPECT_TRUE(ICMCompressionSessionOptionsGetAllowTemporalCompression(options));
    ICMCompressionSessionOptionsRelease(options);
}

// Corrupt containers are refused whole: the settings stay as they were.
TEST_F(StandardCompression, CorruptContainersAreRefusedWithoutHarm) {
    const std::string good = Container();
    auto patched = [&](size_t offset, std::string bytes) {
        std::string copy = good;
        copy.replace(offset, bytes.size(), bytes);
        return copy;
    };
    const std::string unknownChild = std::string("\0\0\0\x0a", 4) + "junk" + "xy";
    std::string withUnknown = good + unknownChild;
    withUnknown[3] = char(46 + 10);
    const struct {
        const char *what;
        std::string bytes;
        ComponentResult result;
    } cases[] = {
        {"empty", "", invalidAtomContainerErr},
        {"truncated", good.substr(0, 40), invalidAtomContainerErr},
        {"outer size too large", patched(0, std::string("\0\0\0\x2f", 4)), invalidAtomContainerErr},
        {"other root type", patched(4, "moov"), invalidAtomContainerErr},
        {"child past the end", patched(8, std::string("\0\0\1\0", 4)), invalidAtomContainerErr},
        {"child smaller than its header", patched(8, std::string("\0\0\0\4", 4)), invalidAtomContainerErr},
        {"spatial of the wrong size", patched(8, std::string("\0\0\0\x13", 4)), invalidAtomContainerErr},
        {"two spatial children", patched(30, "sptl"), invalidAtomContainerErr},
        {"no temporal child", patched(30, "xxxx"), invalidAtomContainerErr},
        {"depth too deep", patched(20, std::string("\0\x29", 2)), invalidAtomContainerErr},
        {"quality too high", patched(22, std::string("\0\0\x04\x01", 4)), invalidAtomContainerErr},
        {"zero frame rate", patched(38, std::string("\0\0\0\0", 4)), invalidAtomContainerErr},
        {"negative key-frame rate", patched(42, "\xff\xff\xff\xff"), invalidAtomContainerErr},
        {"unknown codec", patched(16, "zzzz"), noCodecErr},
        {"unknown child skipped", withUnknown, noErr},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Take(c.bytes), c.result) << c.what;
        EXPECT_EQ(Container(), good) << c.what;
    }
    EXPECT_EQ(SCSetSettingsFromAtomContainer(sc, nullptr), paramErr);
}

// --- The settings dialog ---

struct CompressionDialog : StandardCompression {
    void SetUp() override {
        Application();
        StandardCompression::SetUp();
    }
};

TEST_F(CompressionDialog, OffersTheListInItsOrderAndTakesTheChoice) {
    const CodecType order[] = {kMotionJPEGBCodecType, MakeFourCharCode("zzzz"), kAnimationCodecType,
                               kMPEG4VisualCodecType};
    Handle list = HandleOf(std::string(reinterpret_cast<const char *>(order), sizeof order));
    ASSERT_EQ(SCSetInfo(sc, scCompressionListType, &list), noErr);
    DisposeHandle(list);

    QStringList shown;
    bool hasRate = false;
    lumora::test::WhenCompressionDialogShows([&](QDialog &dialog) {
        shown = lumora::test::CompressionDialogCodecNames(dialog);
        hasRate = dialog.findChild<QDoubleSpinBox *>("frameRateField") != nullptr;
        lumora::test::ChooseInCompressionDialog(dialog, kMPEG4VisualCodecType, 300, 15.0);
        dialog.accept();
    });
    EXPECT_EQ(SCRequestSequenceSettings(sc), noErr);
    EXPECT_EQ(shown, (QStringList{"Motion JPEG B", "Animation", "MPEG-4 Video"}));
    EXPECT_TRUE(hasRate);
    EXPECT_EQ(Spatial().codecType, kMPEG4VisualCodecType);
    EXPECT_EQ(Spatial().spatialQuality, 300u);
    EXPECT_EQ(Temporal().temporalQuality, 300u);
    EXPECT_EQ(Temporal().frameRate, 15 * fixed1);

    // Cancelling changes nothing; the image dialog has no frame rate.
    lumora::test::WhenCompressionDialogShows([&](QDialog &dialog) {
        hasRate = dialog.findChild<QDoubleSpinBox *>("frameRateField") != nullptr;
        lumora::test::ChooseInCompressionDialog(dialog, kAnimationCodecType, 1023, 0);
        dialog.reject();
    });
    EXPECT_EQ(SCRequestImageSettings(sc), scUserCancelled);
    EXPECT_FALSE(hasRate);
    EXPECT_EQ(Spatial().codecType, kMPEG4VisualCodecType);
}

// The quality slider stays inside the chosen compressor's range: Animation is lossless only.
TEST_F(CompressionDialog, QualityStaysInTheCompressorsRange) {
    lumora::test::WhenCompressionDialogShows([&](QDialog &dialog) {
        lumora::test::ChooseInCompressionDialog(dialog, kAnimationCodecType, 100, 30.0);
        dialog.accept();
    });
    EXPECT_EQ(SCRequestSequenceSettings(sc), noErr);
    EXPECT_EQ(Spatial().codecType, kAnimationCodecType);
    EXPECT_GE(Spatial().spatialQuality, codecMaxQuality);
}

TEST_F(CompressionDialog, NotShownOffTheApplicationsThreadOrWithNothingToOffer) {
    ComponentResult result = noErr;
    std::thread([&] { result = SCRequestSequenceSettings(sc); }).join();
    EXPECT_EQ(result, paramErr);

    const CodecType nothing[] = {MakeFourCharCode("zzzz")};
    Handle list = HandleOf(std::string(reinterpret_cast<const char *>(nothing), sizeof nothing));
    ASSERT_EQ(SCSetInfo(sc, scCompressionListType, &list), noErr);
    DisposeHandle(list);
    EXPECT_EQ(SCRequestSequenceSettings(sc), paramErr);
}

}  // namespace
