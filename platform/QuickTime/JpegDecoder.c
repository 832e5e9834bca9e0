/* JPEG decoding over libjpeg-turbo. libjpeg reports fatal errors by longjmp back into
 * these functions; only plain C data lives across the jump, libjpeg's allocations are
 * released with its state on both paths and the rows belong to the caller. */
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <jpeglib.h>
#include <jerror.h>

/* As declared in ImageDecoders.h. */
typedef unsigned char *(*lumora_image_grow)(void *context, size_t size);

struct lumora_jpeg_error {
    struct jpeg_error_mgr manager; /* first: libjpeg sees only this part */
    jmp_buf jump;
    int truncated;
};

static void lumora_jpeg_fail(j_common_ptr info) {
    struct lumora_jpeg_error *error = (struct lumora_jpeg_error *)info->err;
    longjmp(error->jump, 1);
}

/* Messages are not printed; a warning that the data ended early is remembered. */
static void lumora_jpeg_quiet(j_common_ptr info, int level) {
    struct lumora_jpeg_error *error = (struct lumora_jpeg_error *)info->err;
    if (level < 0 && error->manager.msg_code == JWRN_JPEG_EOF) error->truncated = 1;
}

int lumora_jpeg_read_info(const unsigned char *data, size_t size, int *width, int *height, int *color) {
    struct jpeg_decompress_struct info;
    struct lumora_jpeg_error error;
    if (data == NULL || size == 0 || size > 0xFFFFFFFFu) return 1;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = lumora_jpeg_fail;
    error.manager.emit_message = lumora_jpeg_quiet;
    error.truncated = 0;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return 1;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, (unsigned long)size);
    jpeg_read_header(&info, TRUE);
    *width = (int)info.image_width;
    *height = (int)info.image_height;
    *color = info.num_components >= 3;
    switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_RGB:
    case JCS_YCbCr:
    case JCS_CMYK:
    case JCS_YCCK: break;
    default: /* colour spaces libjpeg cannot convert to RGB */
        jpeg_destroy_decompress(&info);
        return 3;
    }
    jpeg_destroy_decompress(&info);
    return 0;
}

/* Four-colour JPEGs become RGB: C, M, Y, K are ink amounts (0 none, 255 full), stored
 * inverted (255 none) by writers that put an Adobe marker in the file. */
static void lumora_cmyk_to_rgba(unsigned char *row, JDIMENSION width, int inverted) {
    JDIMENSION x;
    for (x = 0; x < width; ++x) {
        unsigned char *p = row + (size_t)x * 4;
        unsigned c = p[0], m = p[1], y = p[2], k = p[3];
        if (!inverted) c = 255 - c, m = 255 - m, y = 255 - y, k = 255 - k;
        p[0] = (unsigned char)((c * k + 127) / 255);
        p[1] = (unsigned char)((m * k + 127) / 255);
        p[2] = (unsigned char)((y * k + 127) / 255);
        p[3] = 255;
    }
}

/* The rows go into memory that grows as they are decoded (doubling), so that a header that
 * claims a big picture over data that is not there costs only the rows the data holds. */
int lumora_jpeg_decode_rgba(const unsigned char *data, size_t size, int max_side, long long max_bytes,
                            size_t row_alignment, size_t tail_padding, lumora_image_grow grow, void *context,
                            int *width, int *height, size_t *stride) {
    struct jpeg_decompress_struct info;
    struct lumora_jpeg_error error;
    /* volatile: changed between setjmp and a possible longjmp */
    volatile int status = 1;
    if (data == NULL || size == 0 || size > 0xFFFFFFFFu || grow == NULL) return 1;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = lumora_jpeg_fail;
    error.manager.emit_message = lumora_jpeg_quiet;
    error.truncated = 0;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return status;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, (unsigned long)size);
    jpeg_read_header(&info, TRUE);
    if ((long long)info.image_width > max_side || (long long)info.image_height > max_side ||
        (long long)info.image_width * info.image_height * 4 > max_bytes) {
        jpeg_destroy_decompress(&info);
        return 2;
    }
    /* libjpeg's own buffers (a progressive picture's coefficients) have the same bound;
     * past it libjpeg fails for want of a backing store. */
    info.mem->max_memory_to_use = (long)max_bytes;
    {
        const int cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
        const int inverted = cmyk && info.saw_Adobe_marker;
        size_t row_bytes;
        JDIMENSION rows = 0;
        unsigned char *buffer = NULL;
        info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
        jpeg_start_decompress(&info);
        if (info.output_components != 4) longjmp(error.jump, 1);
        row_bytes = ((size_t)info.output_width * 4 + row_alignment - 1) & ~(row_alignment - 1);
        /* A truncated stream makes libjpeg pad with grey and warn: that is bad data. */
        while (info.output_scanline < info.output_height) {
            JSAMPROW row;
            if (info.output_scanline == rows) {
                rows = rows < 8 ? 8 : rows * 2;
                if (rows > info.output_height) rows = info.output_height;
                buffer = grow(context, row_bytes * rows + tail_padding);
                if (buffer == NULL) {
                    status = 2;
                    longjmp(error.jump, 1);
                }
            }
            row = buffer + row_bytes * info.output_scanline;
            jpeg_read_scanlines(&info, &row, 1);
            if (error.truncated) longjmp(error.jump, 1);
            if (cmyk) lumora_cmyk_to_rgba(row, info.output_width, inverted);
        }
        jpeg_finish_decompress(&info);
        if (error.truncated) longjmp(error.jump, 1);
        *stride = row_bytes;
    }
    *width = (int)info.output_width;
    *height = (int)info.output_height;
    jpeg_destroy_decompress(&info);
    return 0;
}

/* Decodes a picture of exactly width x height pixels in the given layout (0 RGBA, 1 ARGB,
 * 2 BGRA, 3 RGB, 4 Y'CbCr: three bytes a pixel as the JPEG holds them, chroma repeated
 * rather than interpolated). Without row_done, row y goes to pixels + y * stride; with it,
 * every row is decoded into pixels and handed to row_done(context, y, pixels) before the
 * next. Answers 0 on success, 1 for bad data (truncated, four-colour, undecodable), 3 when
 * the picture has another size (nothing is written then). */
int lumora_jpeg_decode_into(const unsigned char *data, size_t size, int layout, int width, int height,
                            unsigned char *pixels, long stride,
                            void (*row_done)(void *context, int y, const unsigned char *row), void *context) {
    static const J_COLOR_SPACE spaces[5] = {JCS_EXT_RGBA, JCS_EXT_ARGB, JCS_EXT_BGRA, JCS_RGB, JCS_YCbCr};
    struct jpeg_decompress_struct info;
    struct lumora_jpeg_error error;
    volatile int status = 1;
    if (data == NULL || size == 0 || size > 0xFFFFFFFFu || layout < 0 || layout > 4) return 1;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = lumora_jpeg_fail;
    error.manager.emit_message = lumora_jpeg_quiet;
    error.truncated = 0;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return status;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, (unsigned long)size);
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) longjmp(error.jump, 1);
    if ((long long)info.image_width != width || (long long)info.image_height != height) {
        status = 3;
        longjmp(error.jump, 1);
    }
    if (layout == 4 && info.jpeg_color_space != JCS_YCbCr) {
        status = 3; /* grey or RGB-coded: the caller takes the RGB path */
        longjmp(error.jump, 1);
    }
    info.out_color_space = spaces[layout];
    if (layout == 4) info.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
        const int y = (int)info.output_scanline;
        JSAMPROW row = row_done != NULL ? pixels : pixels + (long)y * stride;
        jpeg_read_scanlines(&info, &row, 1);
        if (error.truncated) longjmp(error.jump, 1);
        if (row_done != NULL) row_done(context, y, pixels);
    }
    jpeg_finish_decompress(&info);
    if (error.truncated) longjmp(error.jump, 1);
    jpeg_destroy_decompress(&info);
    return 0;
}
