#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include <QuickTime/QuickTime.h>

#include "support/media/TestMedia.h"
#include "support/TestFolders.h"

using namespace lumora::test;

namespace {

constexpr int kWidth = 64, kHeight = 48;

// The picture's bottom-right (white) quadrant is written with alpha kCornerAlpha by the
// formats that store alpha; every importer hands it over straight: white, alpha 128.
constexpr uint8_t kCornerAlpha = 128;

using Writer = std::function<bool(const std::string &, const std::vector<uint8_t> &)>;

struct Format {
    const char *name;
    Writer write;
    CodecType codec;
    OSType subtype;
    SInt16 depth;
    OSType colorSpace;  // 0: no 'cspc' extension
    int tolerance;
    bool alpha;  // the corner is drawn with kCornerAlpha, else 255
};

std::vector<Format> Formats() {
    const auto png = [](bool alpha) {
        return [alpha](const std::string &p, const std::vector<uint8_t> &px) { return WritePNG(p, kWidth, kHeight, px, alpha); };
    };
    const auto jpeg = [](JpegColour colour) {
        return [colour](const std::string &p, const std::vector<uint8_t> &px) { return WriteJPEG(p, kWidth, kHeight, px, colour); };
    };
    const auto tiff = [](TiffAlpha alpha, bool floatSamples) {
        return [alpha, floatSamples](const std::string &p, const std::vector<uint8_t> &px) {
            return WriteTIFF(p, kWidth, kHeight, px, alpha, floatSamples);
        };
    };
    return {
        {"png", png(false), kPNGCodecType, kQTFileTypePNG, 24, k24RGBPixelFormat, 0, false},
        {"png", png(true), kPNGCodecType, kQTFileTypePNG, 32, k32ARGBPixelFormat, 0, true},
        {"jpg", jpeg(JpegColour::RGB), kJPEGCodecType, kQTFileTypeJPEG, 24, 0, 12, false},
        {"jpg", jpeg(JpegColour::AdobeCMYK), kJPEGCodecType, kQTFileTypeJPEG, 24, 0, 12, false},
        {"jpg", jpeg(JpegColour::PlainCMYK), kJPEGCodecType, kQTFileTypeJPEG, 24, 0, 12, false},
        {"tif", tiff(TiffAlpha::None, false), kTIFFCodecType, kQTFileTypeTIFF, 24, k24RGBPixelFormat, 0, false},
        {"tif", tiff(TiffAlpha::Unassociated, false), kTIFFCodecType, kQTFileTypeTIFF, 32, k32ARGBPixelFormat, 0, true},
        {"tif", tiff(TiffAlpha::Associated, false), kTIFFCodecType, kQTFileTypeTIFF, 32, k32ARGBPixelFormat, 0, true},
        {"tif", tiff(TiffAlpha::None, true), kTIFFCodecType, kQTFileTypeTIFF, 24, k24RGBPixelFormat, 0, false},
        {"tif", tiff(TiffAlpha::Associated, true), kTIFFCodecType, kQTFileTypeTIFF, 32, k32ARGBPixelFormat, 0, true},
    };
}

ComponentInstance ImporterForFile(const std::string &path, OSErr *status = nullptr) {
    const FSRef ref = RefOf(path);
    Handle dataRef = nullptr;
    OSType type = 0;
    EXPECT_EQ(QTNewDataReferenceFromFSRef(&ref, 0, &dataRef, &type), noErr);
    EXPECT_EQ(type, AliasDataHandlerSubType);
    ComponentInstance importer = nullptr;
    const OSErr err = GetGraphicsImporterForDataRef(dataRef, type, &importer);
    if (status != nullptr) *status = err;
    DisposeHandle(dataRef);
    return importer;
}

void ExpectNear(const Colour &got, const Colour &want, int tolerance) {
    EXPECT_NEAR(got.r, want.r, tolerance);
    EXPECT_NEAR(got.g, want.g, tolerance);
    EXPECT_NEAR(got.b, want.b, tolerance);
}

class WorldHolder {
public:
    WorldHolder(OSType format, const Rect &bounds) { EXPECT_EQ(QTNewGWorld(&mWorld, format, &bounds, nullptr, nullptr, 0), noErr); }
    ~WorldHolder() { DisposeGWorld(mWorld); }
    GWorldPtr get() const { return mWorld; }
    void Fill(UInt8 value) {
        PixMapHandle pm = GetGWorldPixMap(mWorld);
        const Rect b = (**pm).bounds;
        std::fill(GetPixBaseAddr(pm), GetPixBaseAddr(pm) + (b.bottom - b.top) * GetPixRowBytes(pm), char(value));
    }

private:
    GWorldPtr mWorld = nullptr;
};

}  // namespace

TEST(GraphicsImporter, DescribesAndDrawsEachFormatScaled) {
    lumora::test::ScopedFolder folder("importer");
    const std::vector<uint8_t> picture = QuadrantPicture(kWidth, kHeight, kCornerAlpha);
    int row = 0;
    for (const Format &format : Formats()) {
        SCOPED_TRACE(std::string(format.name) + " depth " + std::to_string(format.depth) + " (row " +
                     std::to_string(row++) + ")");
        const std::string path = folder.file(std::string("picture.") + format.name);
        ASSERT_TRUE(format.write(path, picture));
        ComponentInstance importer = ImporterForFile(path);
        ASSERT_NE(importer, nullptr);

        ComponentDescription cd{};
        ASSERT_EQ(GetComponentInfo(reinterpret_cast<Component>(importer), &cd, nullptr, nullptr, nullptr), noErr);
        EXPECT_EQ(cd.componentType, GraphicsImporterComponentType);
        EXPECT_EQ(cd.componentSubType, format.subtype);

        Rect natural{};
        ASSERT_EQ(GraphicsImportGetNaturalBounds(importer, &natural), noErr);
        const Rect expected{0, 0, kHeight, kWidth};
        EXPECT_TRUE(EqualRect(&natural, &expected));

        ImageDescriptionHandle desc = nullptr;
        ASSERT_EQ(GraphicsImportGetImageDescription(importer, &desc), noErr);
        EXPECT_EQ((**desc).cType, format.codec);
        EXPECT_EQ((**desc).width, kWidth);
        EXPECT_EQ((**desc).height, kHeight);
        EXPECT_EQ((**desc).depth, format.depth);
        Handle space = nullptr;
        const OSErr spaceErr = GetImageDescriptionExtension(desc, &space, kImageDescriptionColorSpaceExtension, 1);
        if (format.colorSpace == 0) {
            EXPECT_EQ(spaceErr, codecExtensionNotFoundErr);
        } else {
            ASSERT_EQ(spaceErr, noErr);
            ASSERT_EQ(GetHandleSize(space), 4);
            const UInt8 *b = reinterpret_cast<const UInt8 *>(*space);
            EXPECT_EQ(OSType(b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3]), format.colorSpace);
        }
        DisposeHandle(space);
        DisposeHandle(reinterpret_cast<Handle>(desc));

        // Half size, placed at (10, 20) of a world whose bounds do not start at 0.
        WorldHolder world(k32ARGBPixelFormat, Rect{-10, -10, 50, 60});
        world.Fill(0);
        ASSERT_EQ(GraphicsImportSetGWorld(importer, world.get(), nullptr), noErr);
        const Rect target{20, 10, 20 + kHeight / 2, 10 + kWidth / 2};
        ASSERT_EQ(GraphicsImportSetBoundsRect(importer, &target), noErr);
        Rect back{};
        ASSERT_EQ(GraphicsImportGetBoundsRect(importer, &back), noErr);
        EXPECT_TRUE(EqualRect(&back, &target));
        ASSERT_EQ(GraphicsImportDraw(importer), noErr);
        const int h0 = 10 + kWidth / 8, h1 = 10 + 3 * kWidth / 8;
        const int v0 = 20 + kHeight / 8, v1 = 20 + 3 * kHeight / 8;
        int alpha = 0;
        ExpectNear(PixelAt(world.get(), h0, v0, &alpha), kQuadrantColours[0], format.tolerance);
        EXPECT_EQ(alpha, 255);
        ExpectNear(PixelAt(world.get(), h1, v0), kQuadrantColours[1], format.tolerance);
        ExpectNear(PixelAt(world.get(), h0, v1), kQuadrantColours[2], format.tolerance);
        ExpectNear(PixelAt(world.get(), h1, v1, &alpha), kQuadrantColours[3], format.tolerance);
        EXPECT_NEAR(alpha, format.alpha ? kCornerAlpha : 255, 1);  // libswscale rounds scaled alpha
        // Outside the target nothing was drawn.
        ExpectNear(PixelAt(world.get(), 9, 25, &alpha), Colour{0, 0, 0}, 0);
        EXPECT_EQ(alpha, 0);
        ExpectNear(PixelAt(world.get(), 20, 20 + kHeight / 2), Colour{0, 0, 0}, 0);
        EXPECT_EQ(CloseComponent(importer), noErr);
    }
}

TEST(GraphicsImporter, DrawsIntoOtherFormatsAndClips) {
    lumora::test::ScopedFolder folder("importer-formats");
    const std::string path = folder.file("picture.png");
    ASSERT_TRUE(WritePNG(path, kWidth, kHeight, QuadrantPicture(kWidth, kHeight, 0), true));
    ComponentInstance importer = ImporterForFile(path);
    ASSERT_NE(importer, nullptr);

    // The natural size at (-32, -24): only the white, transparent quadrant lands in the world.
    WorldHolder argb(k32ARGBPixelFormat, Rect{0, 0, 10, 10});
    ASSERT_EQ(GraphicsImportSetGWorld(importer, argb.get(), nullptr), noErr);
    MatrixRecord m;
    SetIdentityMatrix(&m);
    TranslateMatrix(&m, Long2Fix(-kWidth / 2), Long2Fix(-kHeight / 2));
    ASSERT_EQ(GraphicsImportSetMatrix(importer, &m), noErr);
    ASSERT_EQ(GraphicsImportDraw(importer), noErr);
    int alpha = -1;
    ExpectNear(PixelAt(argb.get(), 9, 9, &alpha), Colour{255, 255, 255}, 0);
    EXPECT_EQ(alpha, 0);  // alpha is copied, not blended

    // 2vuy: red becomes its video-range 4:2:2 values (BT.709, as every 4:2:2 world).
    WorldHolder yuv(k2vuyPixelFormat, Rect{0, 0, kHeight, kWidth});
    ASSERT_EQ(GraphicsImportSetGWorld(importer, yuv.get(), nullptr), noErr);
    ASSERT_EQ(GraphicsImportSetMatrix(importer, nullptr), noErr);
    ASSERT_EQ(GraphicsImportDraw(importer), noErr);
    const UInt8 *pair = reinterpret_cast<const UInt8 *>(GetPixBaseAddr(GetGWorldPixMap(yuv.get())));
    EXPECT_NEAR(pair[0], 102, 3);  // Cb
    EXPECT_NEAR(pair[1], 63, 3);   // Y
    EXPECT_NEAR(pair[2], 240, 3);  // Cr

    // A matrix that flips is not drawn.
    SetIdentityMatrix(&m);
    m.matrix[0][0] = -fixed1;
    ASSERT_EQ(GraphicsImportSetMatrix(importer, &m), noErr);
    EXPECT_EQ(GraphicsImportDraw(importer), paramErr);
    CloseComponent(importer);
}

TEST(GraphicsImporter, FromDataAndTheCurrentWorld) {
    lumora::test::ScopedFolder folder("importer-data");
    const std::string path = folder.file("picture.jpg");
    ASSERT_TRUE(WriteJPEG(path, kWidth, kHeight, QuadrantPicture(kWidth, kHeight)));
    const std::string bytes = lumora::test::ReadFile(path);
    Handle data = nullptr;
    ASSERT_EQ(PtrToHand(bytes.data(), &data, long(bytes.size())), noErr);

    ComponentInstance importer = OpenDefaultComponent(GraphicsImporterComponentType, kQTFileTypeJPEG);
    ASSERT_NE(importer, nullptr);
    ASSERT_EQ(GraphicsImportSetDataHandle(importer, data), noErr);
    DisposeHandle(data);  // the importer keeps its own copy

    WorldHolder world(k24RGBPixelFormat, Rect{0, 0, 6, 8});
    SetGWorld(world.get(), nullptr);
    ASSERT_EQ(GraphicsImportSetGWorld(importer, nullptr, nullptr), noErr);
    SetGWorld(nullptr, nullptr);
    const Rect all{0, 0, 6, 8};
    ASSERT_EQ(GraphicsImportSetBoundsRect(importer, &all), noErr);
    ASSERT_EQ(GraphicsImportDraw(importer), noErr);
    const UInt8 *rgb = reinterpret_cast<const UInt8 *>(GetPixBaseAddr(GetGWorldPixMap(world.get())));
    EXPECT_NEAR(rgb[0], 255, 16);  // top-left: red
    EXPECT_NEAR(rgb[1], 0, 16);
    EXPECT_NEAR(rgb[2], 0, 16);
    CloseComponent(importer);

    EXPECT_EQ(OpenDefaultComponent(GraphicsImporterComponentType, MakeFourCharCode("GIFf")), nullptr);
    ComponentInstance none = reinterpret_cast<ComponentInstance>(1);
    EXPECT_EQ(OpenADefaultComponent(MakeFourCharCode("xxxx"), kQTFileTypePNG, &none), invalidComponentID);
    EXPECT_EQ(none, nullptr);
}

TEST(GraphicsImporter, BadFilesFailCleanly) {
    lumora::test::ScopedFolder folder("importer-bad");
    const std::vector<uint8_t> picture = QuadrantPicture(kWidth, kHeight);
    for (const Format &format : Formats()) {
        SCOPED_TRACE(format.name);
        const std::string path = folder.file(std::string("whole.") + format.name);
        ASSERT_TRUE(format.write(path, picture));
        const std::string whole = lumora::test::ReadFile(path);

        // Cut after the header: the size is known, the pixels do not decode.
        const std::string cut = folder.file(std::string("cut.") + format.name);
        ASSERT_TRUE(lumora::test::WriteFile(cut, whole.substr(0, whole.size() * 2 / 3)));
        OSErr err = noErr;
        ComponentInstance importer = ImporterForFile(cut, &err);
        ASSERT_EQ(err, noErr);
        WorldHolder world(k32ARGBPixelFormat, Rect{0, 0, kHeight, kWidth});
        ASSERT_EQ(GraphicsImportSetGWorld(importer, world.get(), nullptr), noErr);
        EXPECT_EQ(GraphicsImportDraw(importer), codecBadDataErr);
        CloseComponent(importer);

        // Cut inside the header: nothing can be said about the picture.
        const std::string stub = folder.file(std::string("stub.") + format.name);
        ASSERT_TRUE(lumora::test::WriteFile(stub, whole.substr(0, 12)));
        importer = ImporterForFile(stub, &err);
        ASSERT_EQ(err, noErr);
        Rect natural{};
        EXPECT_EQ(GraphicsImportGetNaturalBounds(importer, &natural), codecBadDataErr);
        ImageDescriptionHandle desc = nullptr;
        EXPECT_EQ(GraphicsImportGetImageDescription(importer, &desc), codecBadDataErr);
        EXPECT_EQ(desc, nullptr);
        CloseComponent(importer);
    }

    const std::string text = folder.file("notes.txt");
    ASSERT_TRUE(lumora::test::WriteFile(text, "not a picture at all"));
    OSErr err = noErr;
    EXPECT_EQ(ImporterForFile(text, &err), nullptr);
    EXPECT_EQ(err, cantFindHandler);

    // A reference to a file that went away.
    const std::string gone = folder.file("gone.png");
    ASSERT_TRUE(lumora::test::WriteFile(gone, "x"));
    const FSRef ref = RefOf(gone);
    Handle dataRef = nullptr;
    OSType type = 0;
    ASSERT_EQ(QTNewDataReferenceFromFSRef(&ref, 0, &dataRef, &type), noErr);
    std::remove(gone.c_str());
    ComponentInstance importer = nullptr;
    EXPECT_EQ(GetGraphicsImporterForDataRef(dataRef, type, &importer), couldNotResolveDataRef);
    EXPECT_EQ(importer, nullptr);
    DisposeHandle(dataRef);
}

TEST(GraphicsImporter, RefusesADisposedWorld) {
    lumora::test::ScopedFolder folder("importer-world");
    const std::string path = folder.file("picture.png");
    ASSERT_TRUE(WritePNG(path, kWidth, kHeight, QuadrantPicture(kWidth, kHeight), false));
    ComponentInstance importer = ImporterForFile(path);
    ASSERT_NE(importer, nullptr);
    GWorldPtr world = nullptr;
    const Rect bounds{0, 0, 4, 4};
    ASSERT_EQ(QTNewGWorld(&world, k32ARGBPixelFormat, &bounds, nullptr, nullptr, 0), noErr);
    ASSERT_EQ(GraphicsImportSetGWorld(importer, world, nullptr), noErr);
    DisposeGWorld(world);
    EXPECT_EQ(GraphicsImportDraw(importer), paramErr);
    EXPECT_EQ(CloseComponent(importer), noErr);
    EXPECT_EQ(CloseComponent(nullptr), invalidComponentID);
}

TEST(DataReferences, FromAFolderAndAName) {
    lumora::test::ScopedFolder folder("datarefs");
    const FSRef folderRef = RefOf(folder.path());
    Handle dataRef = nullptr;
    OSType type = 0;
    ASSERT_EQ(QTNewDataReferenceFromFSRefCFString(&folderRef, CFSTR("later.png"), 0, &dataRef, &type), noErr);
    EXPECT_EQ(type, AliasDataHandlerSubType);
    // The file does not exist yet; once written, the reference reads it.
    ASSERT_TRUE(WritePNG(folder.file("later.png"), kWidth, kHeight, QuadrantPicture(kWidth, kHeight), false));
    ComponentInstance importer = nullptr;
    ASSERT_EQ(GetGraphicsImporterForDataRef(dataRef, type, &importer), noErr);
    CloseComponent(importer);
    DisposeHandle(dataRef);

    for (CFStringRef bad : {CFSTR(""), CFSTR(".."), CFSTR("a/b")}) {
        dataRef = reinterpret_cast<Handle>(1);
        EXPECT_EQ(QTNewDataReferenceFromFSRefCFString(&folderRef, bad, 0, &dataRef, &type), paramErr);
        EXPECT_EQ(dataRef, nullptr);
    }
    const FSRef fileRef = RefOf(folder.file("later.png"));
    EXPECT_EQ(QTNewDataReferenceFromFSRefCFString(&fileRef, CFSTR("x"), 0, &dataRef, &type), dirNFErr);
    const FSRef none{};
    EXPECT_NE(QTNewDataReferenceFromFSRef(&none, 0, &dataRef, &type), noErr);
    EXPECT_EQ(dataRef, nullptr);
}
