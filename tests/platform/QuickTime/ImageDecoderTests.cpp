// The still-image decoders behind the graphics importers: the colour and alpha they hand
// over, the layout libswscale reads, and pictures whose data does not match their claims.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <random>
#include <sys/mman.h>
#include <unistd.h>

extern "C" {
#include <libavutil/pixfmt.h>
}

#include <tiff.h>

#include <QuickTime/ImageDecoders.h>
#include <QuickTime/QuickTime.h>

#include "support/TestFolders.h"
#include "support/media/TestMedia.h"

using namespace lumora::test;
namespace qt = lumora::qt;

// Under AddressSanitizer the tests watch the largest single allocation.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void *, size_t),
                                                         void (*)(const volatile void *)) __attribute__((weak));

namespace {

std::vector<uint8_t> Bytes(const std::string &text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> FileBytes(const std::function<bool(const std::string &)> &write) {
    ScopedFolder folder("decoder");
    const std::string path = folder.file("picture");
    EXPECT_TRUE(write(path));
    return Bytes(ReadFile(path));
}

class WorldHolder {
public:
    WorldHolder(OSType format, int width, int height) {
        const Rect bounds{0, 0, short(height), short(width)};
        EXPECT_EQ(QTNewGWorld(&mWorld, format, &bounds, nullptr, nullptr, 0), noErr);
    }
    ~WorldHolder() { DisposeGWorld(mWorld); }
    GWorldPtr get() const { return mWorld; }

private:
    GWorldPtr mWorld = nullptr;
};

// Draws the bytes through an importer of the given kind into the world, scaled to bounds.
OSErr DrawBytes(OSType subtype, const std::vector<uint8_t> &bytes, GWorldPtr world, const Rect &bounds) {
    ComponentInstance importer = OpenDefaultComponent(GraphicsImporterComponentType, subtype);
    EXPECT_NE(importer, nullptr);
    Handle data = nullptr;
    EXPECT_EQ(PtrToHand(bytes.data(), &data, long(bytes.size())), noErr);
    OSErr err = GraphicsImportSetDataHandle(importer, data);
    DisposeHandle(data);
    if (err == noErr) err = GraphicsImportSetGWorld(importer, world, nullptr);
    if (err == noErr) err = GraphicsImportSetBoundsRect(importer, &bounds);
    if (err == noErr) err = GraphicsImportDraw(importer);
    CloseComponent(importer);
    return err;
}

std::vector<uint8_t> Solid(int width, int height, Colour c, uint8_t alpha) {
    std::vector<uint8_t> rgba(size_t(width) * height * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = uint8_t(c.r), rgba[i + 1] = uint8_t(c.g), rgba[i + 2] = uint8_t(c.b), rgba[i + 3] = alpha;
    }
    return rgba;
}

// --- files made byte by byte ---

void Put32BE(std::vector<uint8_t> &out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

uint32_t Crc32(const uint8_t *p, size_t n) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PngChunk(std::vector<uint8_t> &out, const char *type, const std::vector<uint8_t> &data) {
    Put32BE(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    Put32BE(out, Crc32(out.data() + start, out.size() - start));
}

// A PNG whose header claims width x height 8-bit RGB over an IDAT of one deflated zero byte.
std::vector<uint8_t> ClaimingPNG(uint32_t width, uint32_t height) {
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> header;
    Put32BE(header, width);
    Put32BE(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0});
    PngChunk(out, "IHDR", header);
    PngChunk(out, "IDAT", {0x78, 0x9C, 0x63, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01});
    PngChunk(out, "IEND", {});
    return out;
}

// A little-endian one-strip grey TIFF: width x height samples of `bits` bits in `format`
// (SAMPLEFORMAT_*), compressed by `compression`, over the strip bytes given.
std::vector<uint8_t> HandMadeTIFF(uint32_t width, uint32_t height, uint16_t bits, uint16_t format,
                                  uint16_t compression, const std::vector<uint8_t> &strip) {
    struct Entry {
        uint16_t tag, type;
        uint32_t value;
    };
    const uint32_t entries = 10, stripAt = 8 + 2 + entries * 12 + 4;
    const Entry table[entries] = {
        {256, 4, width}, {257, 4, height}, {258, 3, bits},          {259, 3, compression},
        {262, 3, 1},     {273, 4, stripAt}, {277, 3, 1},             {278, 4, height},
        {279, 4, uint32_t(strip.size())},   {339, 3, format},
    };
    std::vector<uint8_t> out = {'I', 'I', 42, 0, 8, 0, 0, 0, uint8_t(entries), 0};
    for (const Entry &e : table) {
        const uint8_t bytes[12] = {uint8_t(e.tag), uint8_t(e.tag >> 8), uint8_t(e.type), 0, 1, 0, 0, 0,
                                   uint8_t(e.value), uint8_t(e.value >> 8), uint8_t(e.value >> 16),
                                   uint8_t(e.value >> 24)};
        out.insert(out.end(), bytes, bytes + 12);
    }
    out.insert(out.end(), 4, 0);
    out.insert(out.end(), strip.begin(), strip.end());
    return out;
}

// --- the largest allocation, where AddressSanitizer tells ---

std::atomic<size_t> gLargest{0};
std::atomic<bool> gWatching{false};

void OnMalloc(const volatile void *, size_t size) {
    if (!gWatching.load(std::memory_order_relaxed)) return;
    size_t seen = gLargest.load(std::memory_order_relaxed);
    while (size > seen && !gLargest.compare_exchange_weak(seen, size)) {
    }
}
void OnFree(const volatile void *) {}

bool WatchAllocations() {
    static const bool installed = __sanitizer_install_malloc_and_free_hooks != nullptr &&
                                  __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    return installed;
}

size_t LargestAllocationOf(const std::function<void()> &run) {
    gLargest = 0;
    gWatching = true;
    run();
    gWatching = false;
    return gLargest;
}

}  // namespace

// The same colour, half transparent or opaque, from every format that stores it: straight
// alpha whatever the file holds, and 16-bit files without gamma information as sRGB.
TEST(ImageDecoders, EveryFormatHandsOverTheStoredColourWithStraightAlpha) {
    constexpr int kSide = 8;
    const struct {
        const char *name;
        std::function<bool(const std::string &, const std::vector<uint8_t> &)> write;
        OSType subtype;
        bool alpha;
        int tolerance;
    } cases[] = {
        {"png rgba", [](auto &p, auto &px) { return WritePNG(p, kSide, kSide, px, true); }, kQTFileTypePNG, true, 0},
        {"png rgba 16", [](auto &p, auto &px) { return WritePNG(p, kSide, kSide, px, true, true); }, kQTFileTypePNG, true, 0},
        {"png rgb 16", [](auto &p, auto &px) { return WritePNG(p, kSide, kSide, px, false, true); }, kQTFileTypePNG, false, 0},
        {"tiff unassociated", [](auto &p, auto &px) { return WriteTIFF(p, kSide, kSide, px, TiffAlpha::Unassociated); },
         kQTFileTypeTIFF, true, 0},
        // Premultiplied and back costs up to one step.
        {"tiff associated", [](auto &p, auto &px) { return WriteTIFF(p, kSide, kSide, px, TiffAlpha::Associated); },
         kQTFileTypeTIFF, true, 1},
        {"tiff float unassociated",
         [](auto &p, auto &px) { return WriteTIFF(p, kSide, kSide, px, TiffAlpha::Unassociated, true); }, kQTFileTypeTIFF,
         true, 0},
        {"tiff float associated",
         [](auto &p, auto &px) { return WriteTIFF(p, kSide, kSide, px, TiffAlpha::Associated, true); }, kQTFileTypeTIFF,
         true, 0},
    };
    for (const Colour colour : {Colour{200, 100, 50}, Colour{85, 85, 85}}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(c.name) + " " + Text(colour));
            const std::vector<uint8_t> bytes =
                FileBytes([&](const std::string &path) { return c.write(path, Solid(kSide, kSide, colour, 128)); });
            WorldHolder world(k32ARGBPixelFormat, kSide, kSide);
            ASSERT_EQ(DrawBytes(c.subtype, bytes, world.get(), Rect{0, 0, kSide, kSide}), noErr);
            int alpha = 0;
            const Colour got = PixelAt(world.get(), 3, 3, &alpha);
            EXPECT_TRUE(Near(got, colour, c.tolerance)) << Text(got);
            EXPECT_EQ(alpha, c.alpha ? 128 : 255);
        }
    }
}

// libswscale's vector readers fetch whole blocks past the last pixel of a row. The decoded
// picture is copied so that the memory after its buffer is unmapped: a read past what the
// decoders lay out faults. Odd sizes, scaled up and down, into ARGB and 2vuy worlds.
TEST(ImageDecoders, LibswscaleReadsOnlyTheDecodedBuffer) {
    const long page = sysconf(_SC_PAGESIZE);
    for (const auto &[width, height] : {std::pair{1, 1}, std::pair{3, 5}, std::pair{17, 9}, std::pair{33, 2}}) {
        const std::vector<uint8_t> picture = QuadrantPicture(width, height);
        const std::pair<const char *, std::vector<uint8_t>> files[] = {
            {"png", FileBytes([&](const std::string &p) { return WritePNG(p, width, height, picture, true); })},
            {"jpeg", FileBytes([&](const std::string &p) { return WriteJPEG(p, width, height, picture); })},
            {"tiff", FileBytes([&](const std::string &p) { return WriteTIFF(p, width, height, picture); })},
        };
        for (const auto &[name, bytes] : files) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(width) + "x" + std::to_string(height));
            const qt::ImageKind kind = qt::DetectImageKind(bytes.data(), bytes.size());
            qt::RGBAImage image;
            ASSERT_EQ(qt::DecodeImage(kind, bytes.data(), bytes.size(), image), noErr);
            ASSERT_EQ(image.width, width);
            ASSERT_EQ(image.height, height);
            EXPECT_EQ(image.stride % 64, 0);
            ASSERT_GE(image.pixels.size(), size_t(image.stride) * height);

            const size_t size = image.pixels.size();
            const size_t pages = (size + page - 1) / page + 1;
            auto *memory = static_cast<uint8_t *>(
                mmap(nullptr, pages * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
            ASSERT_NE(memory, MAP_FAILED);
            ASSERT_EQ(mprotect(memory + (pages - 1) * page, page, PROT_NONE), 0);
            uint8_t *copy = memory + (pages - 1) * page - size;
            std::memcpy(copy, image.pixels.data(), size);

            const uint8_t *planes[4] = {copy, nullptr, nullptr, nullptr};
            const int strides[4] = {image.stride, 0, 0, 0};
            const qt::PictureSource source{planes, strides, AV_PIX_FMT_RGBA, width, height, true, false};
            for (OSType format : {k32ARGBPixelFormat, k2vuyPixelFormat}) {
                WorldHolder world(format, 40, 24);
                void *scaler = nullptr;
                for (const Rect &dest : {Rect{0, 0, 1, 1}, Rect{1, 1, 4, 6}, Rect{0, 0, 24, 40}, Rect{3, 5, 12, 22}})
                    EXPECT_EQ(qt::DrawPictureIntoWorld(&scaler, source, world.get(), dest), noErr);
                qt::FreeScaler(&scaler);
            }
            // And through the importer, as the application draws.
            for (OSType format : {k32ARGBPixelFormat, k2vuyPixelFormat}) {
                WorldHolder world(format, 40, 24);
                const OSType subtype = kind == qt::ImageKind::PNG    ? kQTFileTypePNG
                                       : kind == qt::ImageKind::JPEG ? kQTFileTypeJPEG
                                                                     : kQTFileTypeTIFF;
                EXPECT_EQ(DrawBytes(subtype, bytes, world.get(), Rect{1, 3, 20, 37}), noErr);
            }
            munmap(memory, pages * page);
        }
    }
}

// Headers that claim big pictures over data that cannot hold them fail as bad data before
// the picture's memory is allocated.
TEST(ImageDecoders, AClaimIsCheckedAgainstTheDataBeforeAllocating) {
    if (!WatchAllocations()) GTEST_SKIP() << "allocations are watched under AddressSanitizer only";
    // 2048 x 2048 (16 MiB decoded) cut shortly after its scan header.
    std::vector<uint8_t> jpeg = FileBytes([](const std::string &p) {
        return WriteJPEG(p, 2048, 2048, QuadrantPicture(2048, 2048));
    });
    {
        // The watch sees the picture's memory when the data is whole.
        WorldHolder world(k32ARGBPixelFormat, 8, 8);
        EXPECT_GE(LargestAllocationOf([&] {
                      EXPECT_EQ(DrawBytes(kQTFileTypeJPEG, jpeg, world.get(), Rect{0, 0, 8, 8}), noErr);
                  }),
                  size_t(16) << 20);
    }
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA) {
            jpeg.resize(i + 64);
            break;
        }
    const struct {
        const char *name;
        std::vector<uint8_t> bytes;
        OSType subtype;
    } cases[] = {
        {"png 16000 x 16000", ClaimingPNG(16000, 16000), kQTFileTypePNG},
        {"tiff 16000 x 16000 LZW", HandMadeTIFF(16000, 16000, 8, SAMPLEFORMAT_UINT, COMPRESSION_LZW, {0x80, 0, 0, 0}),
         kQTFileTypeTIFF},
        {"tiff 16000 x 16000 raw", HandMadeTIFF(16000, 16000, 8, SAMPLEFORMAT_UINT, COMPRESSION_NONE, {1, 2, 3, 4}),
         kQTFileTypeTIFF},
        {"jpeg 2048 x 2048 cut", jpeg, kQTFileTypeJPEG},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        WorldHolder world(k32ARGBPixelFormat, 8, 8);
        OSErr err = noErr;
        const size_t largest =
            LargestAllocationOf([&] { err = DrawBytes(c.subtype, c.bytes, world.get(), Rect{0, 0, 8, 8}); });
        EXPECT_EQ(err, codecBadDataErr);
        EXPECT_LT(largest, size_t(2) << 20);
    }
}

TEST(ImageDecoders, PicturesThatCannotBeDrawnAreRefusedWhenOpened) {
    const struct {
        const char *name;
        std::vector<uint8_t> bytes;
        OSErr open;
    } cases[] = {
        {"64-bit float tiff", HandMadeTIFF(2, 2, 64, SAMPLEFORMAT_IEEEFP, COMPRESSION_NONE, std::vector<uint8_t>(32)),
         codecUnimpErr},
        {"signed 16-bit tiff", HandMadeTIFF(2, 2, 16, SAMPLEFORMAT_INT, COMPRESSION_NONE, std::vector<uint8_t>(8)),
         noErr},
        {"32-bit float grey tiff", HandMadeTIFF(2, 2, 32, SAMPLEFORMAT_IEEEFP, COMPRESSION_NONE, std::vector<uint8_t>(16)),
         noErr},
        {"png over 32767 a side", ClaimingPNG(40000, 1), memFullErr},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Handle data = nullptr;
        ASSERT_EQ(PtrToHand(c.bytes.data(), &data, long(c.bytes.size())), noErr);
        Handle dataRef = nullptr;
        ASSERT_EQ(PtrToHand(&data, &dataRef, sizeof(Handle)), noErr);
        ComponentInstance importer = nullptr;
        ASSERT_EQ(GetGraphicsImporterForDataRef(dataRef, HandleDataHandlerSubType, &importer), noErr);
        ImageDescriptionHandle desc = nullptr;
        EXPECT_EQ(GraphicsImportGetImageDescription(importer, &desc), c.open);
        DisposeHandle(reinterpret_cast<Handle>(desc));
        if (c.open == noErr) {
            WorldHolder world(k32ARGBPixelFormat, 2, 2);
            EXPECT_EQ(GraphicsImportSetGWorld(importer, world.get(), nullptr), noErr);
            EXPECT_EQ(GraphicsImportDraw(importer), noErr);
        }
        CloseComponent(importer);
        DisposeHandle(dataRef);
        DisposeHandle(data);
    }
}

// Damaged copies of valid files, imported from memory: every call answers, nothing faults.
TEST(ImageDecoders, DamagedDataFromMemoryFailsCleanly) {
    const std::vector<uint8_t> picture = QuadrantPicture(19, 13, 100);
    const std::vector<std::vector<uint8_t>> files = {
        FileBytes([&](const std::string &p) { return WritePNG(p, 19, 13, picture, true); }),
        FileBytes([&](const std::string &p) { return WritePNG(p, 19, 13, picture, false, true); }),
        FileBytes([&](const std::string &p) { return WriteJPEG(p, 19, 13, picture); }),
        FileBytes([&](const std::string &p) { return WriteJPEG(p, 19, 13, picture, JpegColour::AdobeCMYK); }),
        FileBytes([&](const std::string &p) { return WriteTIFF(p, 19, 13, picture, TiffAlpha::Associated); }),
        FileBytes([&](const std::string &p) { return WriteTIFF(p, 19, 13, picture, TiffAlpha::None, true); }),
    };
    std::mt19937 random(7);
    WorldHolder argb(k32ARGBPixelFormat, 16, 16), yuv(k2vuyPixelFormat, 16, 16);
    for (const std::vector<uint8_t> &file : files) {
        for (int round = 0; round < 60; ++round) {
            std::vector<uint8_t> bytes = file;
            if (round % 3 == 0) bytes.resize(random() % bytes.size());
            for (int flips = 1 + int(random() % 4); flips > 0 && !bytes.empty(); --flips)
                bytes[random() % bytes.size()] ^= uint8_t(1 + random() % 255);
            if (bytes.empty()) continue;
            const Rect full{0, 0, 16, 16};
            for (OSType subtype : {kQTFileTypePNG, kQTFileTypeJPEG, kQTFileTypeTIFF}) {
                ComponentInstance importer = OpenDefaultComponent(GraphicsImporterComponentType, subtype);
                Handle data = nullptr;
                ASSERT_EQ(PtrToHand(bytes.data(), &data, long(bytes.size())), noErr);
                ASSERT_EQ(GraphicsImportSetDataHandle(importer, data), noErr);
                DisposeHandle(data);
                Rect natural{};
                GraphicsImportGetNaturalBounds(importer, &natural);
                ImageDescriptionHandle desc = nullptr;
                if (GraphicsImportGetImageDescription(importer, &desc) == noErr) DisposeHandle(reinterpret_cast<Handle>(desc));
                for (GWorldPtr world : {argb.get(), yuv.get()}) {
                    GraphicsImportSetGWorld(importer, world, nullptr);
                    if (GraphicsImportSetBoundsRect(importer, &full) == noErr) GraphicsImportDraw(importer);
                }
                CloseComponent(importer);
            }
        }
    }
}
