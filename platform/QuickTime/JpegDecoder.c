/* JPEG decoding over libjpeg-turbo. libjpeg reports fatal errors by longjmp back into
 * these functions; only plain C data lives across the jump, and every allocation is
 * reachable from the state released on both paths. */
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <jpeglib.h>
#include <jerror.h>

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
    jpeg_destroy_decompress(&info);
    return 0;
}

int lumora_jpeg_decode_rgba(const unsigned char *data, size_t size, int max_side, long long max_bytes,
                            unsigned char **pixels, int *width, int *height) {
    struct jpeg_decompress_struct info;
    struct lumora_jpeg_error error;
    /* volatile: changed between setjmp and a possible longjmp */
    unsigned char *volatile buffer = NULL;
    volatile int status = 1;
    *pixels = NULL;
    if (data == NULL || size == 0 || size > 0xFFFFFFFFu) return 1;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = lumora_jpeg_fail;
    error.manager.emit_message = lumora_jpeg_quiet;
    error.truncated = 0;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&info);
        free(buffer);
        return status;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, (unsigned long)size);
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        jpeg_destroy_decompress(&info);
        return 1;  /* four-colour JPEGs are not drawn */
    }
    if ((long long)info.image_width > max_side || (long long)info.image_height > max_side ||
        (long long)info.image_width * info.image_height * 4 > max_bytes) {
        jpeg_destroy_decompress(&info);
        return 2;
    }
    info.out_color_space = JCS_EXT_RGBA;
    jpeg_start_decompress(&info);
    {
        const size_t stride = (size_t)info.output_width * 4;
        buffer = (unsigned char *)malloc(stride * info.output_height);
        if (buffer == NULL) {
            status = 2;
            longjmp(error.jump, 1);
        }
        /* A truncated stream makes libjpeg pad with grey and warn: that is bad data. */
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = buffer + stride * info.output_scanline;
            jpeg_read_scanlines(&info, &row, 1);
            if (error.truncated) longjmp(error.jump, 1);
        }
        jpeg_finish_decompress(&info);
        if (error.truncated) longjmp(error.jump, 1);
    }
    *width = (int)info.output_width;
    *height = (int)info.output_height;
    *pixels = buffer;
    jpeg_destroy_decompress(&info);
    return 0;
}
