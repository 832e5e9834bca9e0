// Still-image decoding for the graphics importers: PNG headers through libpng's simplified
// API and pixels in PngDecoder.c, TIFF through libtiff reading from memory, JPEG in
// JpegDecoder.c. Every decoder hands over 8-bit RGBA with straight alpha, the convention of
// QuickDraw's 32-bit worlds (blending an ARGB picture into another multiplies its colour
// by its alpha, so the colour must not carry the alpha already).
#include "ImageDecoders.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include <png.h>
#include <tiffio.h>

#include <QuickTime/QuickTimeComponents.h>

namespace lumora::qt {
namespace {

// --- PNG ---

struct PngImage {
    png_image image;
    PngImage() {
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
    }
    ~PngImage() { png_image_free(&image); }
};

OSErr PngInfo(const uint8_t *data, size_t size, PngImage &png, ImageInfo &info) {
    if (!png_image_begin_read_from_memory(&png.image, data, size)) return codecBadDataErr;
    info.width = int(png.image.width);
    info.height = int(png.image.height);
    const png_uint_32 format = png.image.format;
    info.color = (format & PNG_FORMAT_FLAG_COLOR) != 0;
    info.alpha = (format & PNG_FORMAT_FLAG_ALPHA) != 0;
    info.sixteenBit = (format & PNG_FORMAT_FLAG_LINEAR) != 0;
    return ImageSizeAllowed(png.image.width, png.image.height) ? OSErr(noErr) : OSErr(memFullErr);
}

// Rows for the C decoders: the image's pixels grow as asked.
unsigned char *GrowPixels(void *context, size_t size) {
    try {
        auto &pixels = *static_cast<std::vector<uint8_t> *>(context);
        pixels.resize(size);
        return pixels.data();
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

OSErr StatusOf(int status) {
    switch (status) {
    case 0: return noErr;
    case 2: return memFullErr;
    case 3: return codecUnimpErr;
    default: return codecBadDataErr;
    }
}

using CDecoder = int (*)(const unsigned char *, size_t, int, long long, size_t, size_t, lumora_image_grow, void *,
                         int *, int *, size_t *);

OSErr DecodeWith(CDecoder decoder, const uint8_t *data, size_t size, RGBAImage &out) {
    size_t stride = 0;
    const int status = decoder(data, size, kMaximumImageSide, kMaximumImageBytes, kImageRowAlignment,
                               kImageTailPadding, GrowPixels, &out.pixels, &out.width, &out.height, &stride);
    if (status != 0) {
        out = RGBAImage();
        return StatusOf(status);
    }
    out.stride = int(stride);
    return noErr;
}

// --- TIFF ---

struct MemoryFile {
    const uint8_t *data;
    toff_t size;
    toff_t position;
};

tmsize_t TiffRead(thandle_t handle, void *buffer, tmsize_t count) {
    auto *file = static_cast<MemoryFile *>(handle);
    if (count <= 0 || file->position >= file->size) return 0;
    const toff_t available = file->size - file->position;
    const toff_t n = toff_t(count) < available ? toff_t(count) : available;
    std::memcpy(buffer, file->data + file->position, size_t(n));
    file->position += n;
    return tmsize_t(n);
}

tmsize_t TiffWrite(thandle_t, void *, tmsize_t) { return -1; }

toff_t TiffSeek(thandle_t handle, toff_t offset, int whence) {
    auto *file = static_cast<MemoryFile *>(handle);
    toff_t base = 0;
    if (whence == SEEK_CUR) base = file->position;
    else if (whence == SEEK_END) base = file->size;
    else if (whence != SEEK_SET) return toff_t(-1);
    // offsets are unsigned; a "negative" one wraps and is refused as past the end
    if (offset > file->size || base > file->size - offset) return toff_t(-1);
    file->position = base + offset;
    return file->position;
}

int TiffClose(thandle_t) { return 0; }
toff_t TiffSize(thandle_t handle) { return static_cast<MemoryFile *>(handle)->size; }
int TiffMap(thandle_t, tdata_t *, toff_t *) { return 0; }
void TiffUnmap(thandle_t, tdata_t, toff_t) {}

int TiffQuiet(TIFF *, void *, const char *, const char *, va_list) { return 1; }

struct TiffCloser {
    void operator()(TIFF *tiff) const { TIFFClose(tiff); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

TiffPtr OpenTiff(MemoryFile &file) {
    TIFFOpenOptions *options = TIFFOpenOptionsAlloc();
    if (options == nullptr) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, TiffQuiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, TiffQuiet, nullptr);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, tmsize_t(kMaximumImageBytes));
    TIFF *tiff = TIFFClientOpenExt("memory", "rm", &file, TiffRead, TiffWrite, TiffSeek, TiffClose, TiffSize,
                                   TiffMap, TiffUnmap, options);
    TIFFOpenOptionsFree(options);
    return TiffPtr(tiff);
}

// What the importers need to know of a TIFF directory.
struct TiffFacts {
    uint32_t width = 0, height = 0;
    uint16_t samples = 1, bits = 1, format = SAMPLEFORMAT_UINT, photometric = PHOTOMETRIC_MINISBLACK;
    uint16_t planar = PLANARCONFIG_CONTIG, compression = COMPRESSION_NONE;
    uint16_t extraCount = 0;
    uint16_t alpha = EXTRASAMPLE_UNSPECIFIED;  // the first extra sample's meaning
    bool tiled = false;
};

// Floating-point samples (0 to 1) of grey or RGB in strips, 32 bits each; libtiff's RGBA
// interface reads no floating-point samples, so these are converted here.
bool FloatTiffDrawable(const TiffFacts &facts) {
    const int colour = facts.photometric == PHOTOMETRIC_RGB ? 3
                       : facts.photometric == PHOTOMETRIC_MINISBLACK || facts.photometric == PHOTOMETRIC_MINISWHITE
                           ? 1
                           : 0;
    return facts.format == SAMPLEFORMAT_IEEEFP && facts.bits == 32 && !facts.tiled && colour != 0 &&
           facts.samples == colour + facts.extraCount;
}

OSErr TiffInfo(TIFF *tiff, ImageInfo &info, TiffFacts &facts) {
    uint16_t *extra = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &facts.width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &facts.height))
        return codecBadDataErr;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &facts.samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &facts.bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &facts.format);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &facts.planar);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &facts.compression);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &facts.extraCount, &extra);
    if (facts.extraCount > 0 && extra != nullptr) facts.alpha = extra[0];
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &facts.photometric)) facts.photometric = PHOTOMETRIC_MINISBLACK;
    facts.tiled = TIFFIsTiled(tiff) != 0;
    info.width = int(facts.width);
    info.height = int(facts.height);
    info.color = facts.photometric != PHOTOMETRIC_MINISBLACK && facts.photometric != PHOTOMETRIC_MINISWHITE;
    info.alpha = facts.extraCount > 0;
    info.sixteenBit = facts.bits == 16;
    if (facts.width == 0 || facts.height == 0) return codecBadDataErr;
    if (!ImageSizeAllowed(facts.width, facts.height)) return memFullErr;
    // What the draw cannot convert is refused now, not at the draw.
    char message[1024];
    if (!FloatTiffDrawable(facts) && !TIFFRGBAImageOK(tiff, message)) return codecUnimpErr;
    return noErr;
}

// The most one byte of a compression scheme's data expands to; 0 for schemes without a
// useful bound (JPEG, fax, ...). An LZW code (9 bits or more) stands for at most 4096 bytes.
uint64_t TiffExpansion(uint16_t compression) {
    switch (compression) {
    case COMPRESSION_NONE: return 1;
    case COMPRESSION_PACKBITS: return 64;
    case COMPRESSION_LZW: return 4096;
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE: return 1032;
    default: return 0;
    }
}

// Whether the strips or tiles the directory names are in the data and could hold the
// picture: every pixel has at least one sample, and a compressed byte expands at most by
// TiffExpansion. Checked before anything of the picture's size is allocated.
bool TiffDataPlausible(TIFF *tiff, const TiffFacts &facts, toff_t size) {
    const uint32_t count = TIFFNumberOfStrips(tiff);
    if (count == 0) return false;
    uint64_t present = 0;
    for (uint32_t k = 0; k < count; ++k) {
        int missing = 0;
        const uint64_t offset = TIFFGetStrileOffsetWithErr(tiff, k, &missing);
        const uint64_t bytes = missing ? 0 : TIFFGetStrileByteCountWithErr(tiff, k, &missing);
        if (missing || offset >= size) continue;
        present += std::min<uint64_t>(bytes, size - offset);
    }
    const uint64_t expansion = TiffExpansion(facts.compression);
    if (present == 0) return false;
    if (expansion == 0) return true;
    const uint64_t needed = uint64_t(facts.width) * facts.height * facts.bits / 8;
    return needed <= present * expansion;
}

// Associated (premultiplied) colour made straight; a transparent pixel becomes black.
void Unpremultiply(RGBAImage &image) {
    for (int y = 0; y < image.height; ++y) {
        uint8_t *p = image.pixels.data() + size_t(y) * size_t(image.stride);
        for (int x = 0; x < image.width; ++x, p += 4) {
            const unsigned a = p[3];
            if (a == 255) continue;
            for (int c = 0; c < 3; ++c) p[c] = a == 0 ? 0 : uint8_t(std::min(255u, (p[c] * 255u + a / 2) / a));
        }
    }
}

bool AllocateImage(RGBAImage &out, int width, int height) {
    try {
        out.width = width;
        out.height = height;
        out.stride = int(ImageStride(width));
        out.pixels.assign(size_t(out.stride) * size_t(height) + kImageTailPadding, 0);
        return true;
    } catch (const std::bad_alloc &) {
        out = RGBAImage();
        return false;
    }
}

uint8_t FloatByte(float v) {
    if (!(v > 0)) return 0;  // also NaN
    if (v >= 1) return 255;
    return uint8_t(v * 255 + 0.5f);
}

OSErr TiffDecodeFloat(TIFF *tiff, const TiffFacts &facts, RGBAImage &out) {
    const int colour = facts.photometric == PHOTOMETRIC_RGB ? 3 : 1;
    const bool separate = facts.planar == PLANARCONFIG_SEPARATE;
    const bool associated = facts.alpha == EXTRASAMPLE_ASSOCALPHA;
    const int perRead = separate ? 1 : facts.samples;
    const tmsize_t lineBytes = TIFFScanlineSize(tiff);
    if (lineBytes < tmsize_t(sizeof(float)) * perRead * tmsize_t(facts.width)) return codecBadDataErr;
    std::vector<float> line(size_t(lineBytes) / sizeof(float) + 1);
    if (!AllocateImage(out, int(facts.width), int(facts.height))) return memFullErr;
    // Contiguous samples are converted a pixel at a time (associated colour divided before
    // it is rounded); separate planes come one after another, every row of the first, then
    // of the second.
    const int planes = separate ? facts.samples : 1;
    for (int plane = 0; plane < planes; ++plane) {
        for (uint32_t y = 0; y < facts.height; ++y) {
            if (TIFFReadScanline(tiff, line.data(), y, uint16_t(plane)) != 1) return codecBadDataErr;
            uint8_t *p = out.pixels.data() + size_t(y) * size_t(out.stride);
            const float *in = line.data();
            for (uint32_t x = 0; x < facts.width; ++x, p += 4, in += perRead) {
                float v[4] = {0, 0, 0, 1};
                for (int k = 0; k < perRead; ++k) {
                    const int sample = separate ? plane : k;
                    if (sample < colour) v[sample] = facts.photometric == PHOTOMETRIC_MINISWHITE ? 1 - in[k] : in[k];
                    else if (sample == colour) v[3] = in[k];
                }
                if (colour == 1) v[1] = v[2] = v[0];
                if (separate) {
                    const int sample = plane;
                    if (sample < colour)
                        for (int c = colour == 1 ? 0 : sample; c < (colour == 1 ? 3 : sample + 1); ++c) p[c] = FloatByte(v[c]);
                    else if (sample == colour) p[3] = FloatByte(v[3]);
                    if (plane == 0 && facts.extraCount == 0) p[3] = 255;
                    continue;
                }
                if (associated && v[3] > 0)
                    for (int c = 0; c < 3; ++c) v[c] /= v[3];
                for (int c = 0; c < 4; ++c) p[c] = FloatByte(v[c]);
            }
        }
    }
    if (separate && associated) Unpremultiply(out);
    return noErr;
}

OSErr TiffDecode(const uint8_t *data, size_t size, RGBAImage &out) {
    MemoryFile file{data, toff_t(size), 0};
    TiffPtr tiff = OpenTiff(file);
    if (!tiff) return codecBadDataErr;
    ImageInfo info;
    TiffFacts facts;
    const OSErr err = TiffInfo(tiff.get(), info, facts);
    if (err != noErr) return err;
    if (!TiffDataPlausible(tiff.get(), facts, toff_t(size))) return codecBadDataErr;
    if (facts.format == SAMPLEFORMAT_IEEEFP) return TiffDecodeFloat(tiff.get(), facts, out);

    // libtiff's RGBA interface premultiplies unassociated alpha and passes associated alpha
    // through. Told that unassociated alpha is associated, it hands over the stored samples,
    // which are then straight already; truly associated ones are divided afterwards.
    if (facts.alpha == EXTRASAMPLE_UNASSALPHA) {
        std::vector<uint16_t> kinds(facts.extraCount, EXTRASAMPLE_UNSPECIFIED);
        kinds[0] = EXTRASAMPLE_ASSOCALPHA;
        TIFFSetField(tiff.get(), TIFFTAG_EXTRASAMPLES, facts.extraCount, kinds.data());
    }
    std::vector<uint32_t> raster;
    try {
        raster.resize(size_t(info.width) * size_t(info.height));
    } catch (const std::bad_alloc &) {
        return memFullErr;
    }
    if (!TIFFReadRGBAImageOriented(tiff.get(), uint32_t(info.width), uint32_t(info.height), raster.data(),
                                   ORIENTATION_TOPLEFT, 1))
        return codecBadDataErr;
    if (!AllocateImage(out, info.width, info.height)) return memFullErr;
    for (int y = 0; y < info.height; ++y) {
        const uint32_t *from = raster.data() + size_t(y) * size_t(info.width);
        uint8_t *p = out.pixels.data() + size_t(y) * size_t(out.stride);
        for (int x = 0; x < info.width; ++x) {
            const uint32_t value = from[x];
            *p++ = uint8_t(TIFFGetR(value));
            *p++ = uint8_t(TIFFGetG(value));
            *p++ = uint8_t(TIFFGetB(value));
            *p++ = uint8_t(TIFFGetA(value));
        }
    }
    if (facts.alpha == EXTRASAMPLE_ASSOCALPHA) Unpremultiply(out);
    return noErr;
}

}  // namespace

bool ImageSizeAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaximumImageSide && height <= kMaximumImageSide &&
           int64_t(ImageStride(width)) * height + int64_t(kImageTailPadding) <= kMaximumImageBytes;
}

ImageKind DetectImageKind(const uint8_t *data, size_t size) {
    static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (data == nullptr) return ImageKind::None;
    if (size >= 8 && std::memcmp(data, kPng, 8) == 0) return ImageKind::PNG;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return ImageKind::JPEG;
    if (size >= 4 && ((data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0) ||
                      (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42)))
        return ImageKind::TIFF;
    return ImageKind::None;
}

OSErr ReadImageInfo(ImageKind kind, const uint8_t *data, size_t size, ImageInfo &info) {
    info = ImageInfo();
    switch (kind) {
    case ImageKind::PNG: {
        PngImage png;
        return PngInfo(data, size, png, info);
    }
    case ImageKind::JPEG: {
        int color = 0;
        const int status = lumora_jpeg_read_info(data, size, &info.width, &info.height, &color);
        if (status != 0) return StatusOf(status);
        info.color = color != 0;
        return ImageSizeAllowed(info.width, info.height) ? OSErr(noErr) : OSErr(memFullErr);
    }
    case ImageKind::TIFF: {
        MemoryFile file{data, toff_t(size), 0};
        TiffPtr tiff = OpenTiff(file);
        TiffFacts facts;
        return tiff ? TiffInfo(tiff.get(), info, facts) : OSErr(codecBadDataErr);
    }
    default: return cantFindHandler;
    }
}

OSErr DecodeImage(ImageKind kind, const uint8_t *data, size_t size, RGBAImage &image) {
    image = RGBAImage();
    switch (kind) {
    case ImageKind::PNG: return DecodeWith(lumora_png_decode_rgba, data, size, image);
    case ImageKind::JPEG: return DecodeWith(lumora_jpeg_decode_rgba, data, size, image);
    case ImageKind::TIFF: {
        const OSErr err = TiffDecode(data, size, image);
        if (err != noErr) image = RGBAImage();
        return err;
    }
    default: return cantFindHandler;
    }
}

}  // namespace lumora::qt
