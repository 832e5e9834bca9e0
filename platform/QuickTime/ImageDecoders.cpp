// Still-image decoding for the graphics importers: PNG through libpng's simplified API,
// TIFF through libtiff reading from memory, JPEG in JpegDecoder.c.
#include "ImageDecoders.h"

#include <cstdlib>
#include <cstring>
#include <memory>

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

OSErr PngDecode(const uint8_t *data, size_t size, RGBAImage &out) {
    PngImage png;
    ImageInfo info;
    OSErr err = PngInfo(data, size, png, info);
    if (err != noErr) return err;
    png.image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> pixels(size_t(PNG_IMAGE_SIZE(png.image)));
    if (!png_image_finish_read(&png.image, nullptr, pixels.data(), 0, nullptr)) return codecBadDataErr;
    out.width = info.width;
    out.height = info.height;
    out.pixels = std::move(pixels);
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

OSErr TiffInfo(TIFF *tiff, ImageInfo &info) {
    uint32_t width = 0, height = 0;
    uint16_t samples = 1, bits = 1, photometric = PHOTOMETRIC_MINISBLACK, extraCount = 0;
    uint16_t *extra = nullptr;
    if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height))
        return codecBadDataErr;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric)) photometric = PHOTOMETRIC_MINISBLACK;
    info.width = int(width);
    info.height = int(height);
    info.color = photometric != PHOTOMETRIC_MINISBLACK && photometric != PHOTOMETRIC_MINISWHITE;
    info.alpha = extraCount > 0;
    info.sixteenBit = bits == 16;
    if (width == 0 || height == 0) return codecBadDataErr;
    return ImageSizeAllowed(width, height) ? OSErr(noErr) : OSErr(memFullErr);
}

OSErr TiffDecode(const uint8_t *data, size_t size, RGBAImage &out) {
    MemoryFile file{data, toff_t(size), 0};
    TiffPtr tiff = OpenTiff(file);
    if (!tiff) return codecBadDataErr;
    ImageInfo info;
    const OSErr err = TiffInfo(tiff.get(), info);
    if (err != noErr) return err;
    std::vector<uint32_t> raster(size_t(info.width) * size_t(info.height));
    if (!TIFFReadRGBAImageOriented(tiff.get(), uint32_t(info.width), uint32_t(info.height), raster.data(),
                                   ORIENTATION_TOPLEFT, 1))
        return codecBadDataErr;
    out.width = info.width;
    out.height = info.height;
    out.pixels.resize(raster.size() * 4);
    uint8_t *p = out.pixels.data();
    for (uint32_t value : raster) {
        *p++ = uint8_t(TIFFGetR(value));
        *p++ = uint8_t(TIFFGetG(value));
        *p++ = uint8_t(TIFFGetB(value));
        *p++ = uint8_t(TIFFGetA(value));
    }
    return noErr;
}

}  // namespace

bool ImageSizeAllowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaximumImageSide && height <= kMaximumImageSide &&
           width * height * 4 <= kMaximumImageBytes;
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
        if (lumora_jpeg_read_info(data, size, &info.width, &info.height, &color) != 0) return codecBadDataErr;
        info.color = color != 0;
        return ImageSizeAllowed(info.width, info.height) ? OSErr(noErr) : OSErr(memFullErr);
    }
    case ImageKind::TIFF: {
        MemoryFile file{data, toff_t(size), 0};
        TiffPtr tiff = OpenTiff(file);
        return tiff ? TiffInfo(tiff.get(), info) : OSErr(codecBadDataErr);
    }
    default: return cantFindHandler;
    }
}

OSErr DecodeImage(ImageKind kind, const uint8_t *data, size_t size, RGBAImage &image) {
    image = RGBAImage();
    switch (kind) {
    case ImageKind::PNG: return PngDecode(data, size, image);
    case ImageKind::TIFF: return TiffDecode(data, size, image);
    case ImageKind::JPEG: {
        unsigned char *pixels = nullptr;
        int width = 0, height = 0;
        const int status =
            lumora_jpeg_decode_rgba(data, size, kMaximumImageSide, kMaximumImageBytes, &pixels, &width, &height);
        if (status != 0) return status == 2 ? OSErr(memFullErr) : OSErr(codecBadDataErr);
        image.width = width;
        image.height = height;
        image.pixels.assign(pixels, pixels + size_t(width) * size_t(height) * 4);
        std::free(pixels);
        return noErr;
    }
    default: return cantFindHandler;
    }
}

}  // namespace lumora::qt
