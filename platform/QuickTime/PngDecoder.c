/* PNG decoding over libpng's full interface (the simplified one takes 16-bit files without
 * a gAMA or sRGB chunk for linear light and brightens them). libpng reports fatal errors
 * by longjmp back into lumora_png_decode_rgba; only plain C data lives across the jump and
 * the rows belong to the caller. */
#include <setjmp.h>
#include <stdint.h>
#include <string.h>

#include <png.h>

/* As declared in ImageDecoders.h. */
typedef unsigned char *(*lumora_image_grow)(void *context, size_t size);

/* The most a deflate stream expands: 258 bytes from a length code and a distance code of
 * one bit each, about 1032 bytes out per byte in. */
#define LUMORA_DEFLATE_MAX_RATIO 1032

struct lumora_png_source {
    const unsigned char *data;
    size_t size;
    size_t position;
};

static void lumora_png_read(png_structp png, png_bytep out, size_t count) {
    struct lumora_png_source *source = (struct lumora_png_source *)png_get_io_ptr(png);
    if (count > source->size - source->position) png_error(png, "data ends early");
    memcpy(out, source->data + source->position, count);
    source->position += count;
}

static void lumora_png_fail(png_structp png, png_const_charp message) {
    (void)message;
    png_longjmp(png, 1);
}

static void lumora_png_quiet(png_structp png, png_const_charp message) {
    (void)png;
    (void)message;
}

/* The IDAT bytes that are in the data, counted from the chunk headers (a chunk cut short
 * counts what is there). */
static unsigned long long lumora_png_idat_bytes(const unsigned char *data, size_t size) {
    unsigned long long total = 0;
    size_t at = 8;
    while (size - at >= 8) {
        const size_t length = (size_t)data[at] << 24 | (size_t)data[at + 1] << 16 | (size_t)data[at + 2] << 8 |
                              (size_t)data[at + 3];
        const int idat = memcmp(data + at + 4, "IDAT", 4) == 0;
        const size_t available = size - at - 8;
        if (idat) total += length < available ? length : available;
        if (length >= available || available - length < 4) break; /* the chunk and its CRC */
        at += 8 + length + 4;
    }
    return total;
}

int lumora_png_decode_rgba(const unsigned char *data, size_t size, int max_side, long long max_bytes,
                           size_t row_alignment, size_t tail_padding, lumora_image_grow grow, void *context,
                           int *width, int *height, size_t *stride) {
    struct lumora_png_source source;
    png_structp png;
    png_infop info;
    /* volatile: changed between setjmp and a possible longjmp */
    volatile int status = 1;
    if (data == NULL || size < 8 || grow == NULL) return 1;
    source.data = data;
    source.size = size;
    source.position = 0;
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, lumora_png_fail, lumora_png_quiet);
    if (png == NULL) return 2;
    info = png_create_info_struct(png);
    if (info == NULL) {
        png_destroy_read_struct(&png, NULL, NULL);
        return 2;
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        png_destroy_read_struct(&png, &info, NULL);
        return status;
    }
    png_set_read_fn(png, &source, lumora_png_read);
    png_set_user_limits(png, (png_uint_32)max_side, (png_uint_32)max_side);
    png_read_info(png, info);
    {
        const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
        const int color_type = png_get_color_type(png, info);
        const unsigned long long pixel_bits =
            (unsigned long long)png_get_bit_depth(png, info) * png_get_channels(png, info);
        size_t row_bytes;
        png_bytep buffer;
        png_uint_32 y;
        int pass, passes;
        if ((long long)w * h * 4 > max_bytes) {
            status = 2;
            png_longjmp(png, 1);
        }
        /* The pixels the header claims must fit in what the IDAT data can inflate to;
         * otherwise the data is not there, and nothing is allocated for it. */
        if ((unsigned long long)w * h * pixel_bits / 8 >
            lumora_png_idat_bytes(data, size) * LUMORA_DEFLATE_MAX_RATIO)
            png_longjmp(png, 1);

        /* 8-bit RGBA, straight alpha, sRGB; a file without gAMA or sRGB is taken as sRGB
         * whatever its depth. */
        png_set_alpha_mode(png, PNG_ALPHA_PNG, PNG_DEFAULT_sRGB);
        png_set_scale_16(png);
        png_set_expand(png);
        if ((color_type & PNG_COLOR_MASK_COLOR) == 0) png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
        passes = png_set_interlace_handling(png);
        png_read_update_info(png, info);
        if (png_get_rowbytes(png, info) != (size_t)w * 4) png_longjmp(png, 1);

        row_bytes = ((size_t)w * 4 + row_alignment - 1) & ~(row_alignment - 1);
        buffer = grow(context, row_bytes * h + tail_padding);
        if (buffer == NULL) {
            status = 2;
            png_longjmp(png, 1);
        }
        for (pass = 0; pass < passes; ++pass)
            for (y = 0; y < h; ++y) png_read_row(png, buffer + row_bytes * y, NULL);
        *width = (int)w;
        *height = (int)h;
        *stride = row_bytes;
    }
    png_destroy_read_struct(&png, &info, NULL);
    return 0;
}
