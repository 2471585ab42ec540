/* The public headers as a C program sees them: they compile as C, every
 * function they declare links against libzqscan under its plain C name, and
 * a few calls that need no camera give their documented results. */
#include <zqscan/zq_messages.h>
#include <zqscan/zq_chip.h>
#include <zqscan/zq_opencv.h>
#include <zqscan/zq_pdf.h>
#include <zqscan/zq_scanner.h>

#include <stdio.h>
#include <string.h>

/* Taking every address makes the linker resolve each declared name; with
 * external linkage the table is kept even though nothing reads it. */
void (*const zq_entry_points[])(void) = {
    (void (*)(void))zq_scanner_open_index,
    (void (*)(void))zq_scanner_present,
    (void (*)(void))zq_scanner_open,
    (void (*)(void))zq_scanner_init,
    (void (*)(void))zq_scanner_picture_read,
    (void (*)(void))zq_scanner_frame_ready,
    (void (*)(void))zq_scanner_init_preview,
    (void (*)(void))zq_scanner_preview_read,
    (void (*)(void))zq_scanner_preview_frame,
    (void (*)(void))zq_scanner_preview_denominator,
    (void (*)(void))zq_scanner_jpeg_decode,
    (void (*)(void))zq_scanner_close,
    (void (*)(void))zq_scanner_resolution_dump,
    (void (*)(void))zq_scanner_picture_gray,
    (void (*)(void))zq_scanner_picture_rotate_90,
    (void (*)(void))zq_scanner_picture_save,
    (void (*)(void))zq_scanner_picture_save_tiff,
    (void (*)(void))zq_scanner_get_brightness,
    (void (*)(void))zq_scanner_set_brightness,
    (void (*)(void))zq_scanner_get_contrast,
    (void (*)(void))zq_scanner_set_contrast,
    (void (*)(void))zq_scanner_get_saturation,
    (void (*)(void))zq_scanner_set_saturation,
    (void (*)(void))zq_scanner_dllinit,
    (void (*)(void))zq_scanner_dllunit,
    (void (*)(void))zq_scanner_cutting_edge_auto,
    (void (*)(void))zq_scanner_cutting_edge_auto_reduced,
    (void (*)(void))zq_scanner_cutting_edge_set,
    (void (*)(void))zq_scanner_cutting_edge_get,
    (void (*)(void))zq_scanner_cutting_edge_quad,
    (void (*)(void))zq_scanner_set_focal_length,
    (void (*)(void))zq_scanner_cutting_edge_show,
    (void (*)(void))zq_scanner_cutting_edge_do,
    (void (*)(void))zq_scanner_page_cut_near,
    (void (*)(void))zq_scanner_clear_background,
    (void (*)(void))zq_scanner_book_find,
    (void (*)(void))zq_scanner_book_find_reduced,
    (void (*)(void))zq_scanner_book_outline,
    (void (*)(void))zq_scanner_book_gutter,
    (void (*)(void))zq_scanner_book_show,
    (void (*)(void))zq_scanner_book_page_do,
    (void (*)(void))zq_create_pdf,
    (void (*)(void))zq_pdf_error,
    (void (*)(void))zq_pdf_set_text_layer,
    (void (*)(void))zq_pdf_prepare_page,
    (void (*)(void))zq_pdf_set_page_encoding,
    (void (*)(void))zq_last_error,
    (void (*)(void))zq_set_log_handler,
    (void (*)(void))zq_chip_new,
    (void (*)(void))zq_chip_free,
    (void (*)(void))zq_chip_open,
    (void (*)(void))zq_chip_open_device,
    (void (*)(void))zq_chip_close,
    (void (*)(void))zq_chip_last_error,
    (void (*)(void))zq_chip_identify,
    (void (*)(void))zq_chip_read_identity,
    (void (*)(void))zq_chip_flash_size,
    (void (*)(void))zq_chip_flash_id,
    (void (*)(void))zq_chip_read_flash,
    (void (*)(void))zq_chip_find_table,
    (void (*)(void))zq_chip_burn,
    (void (*)(void))zq_chip_write_settings,
    (void (*)(void))zq_chip_read_registers,
    (void (*)(void))zq_chip_write_registers,
    (void (*)(void))zq_chip_read_sensor,
    (void (*)(void))zq_chip_write_sensor,
};

static int failures;

static void check(int ok, const char *what)
{
    if (!ok) {
        printf("FAILED: %s\n", what);
        ++failures;
    }
}

/* A log handler as a C program writes one. */
static void count_message(int level, const char *message, void *user)
{
    (void)level;
    (void)message;
    ++*(int *)user;
}

int main(void)
{
    size_t i;
    check(strcmp(zq_last_error(), "no error") == 0, "no error before the first failure");
    check(zq_scanner_open() == -1, "zq_scanner_open opens nothing");
    check(strstr(zq_last_error(), "zq_scanner_open") != NULL, "the failure says which call");
    check(zq_scanner_open_index(0) == -1, "index 0 opens nothing");

    {
        unsigned char pixel[3] = {10, 20, 31};
        zq_scanner_picture_gray(pixel, 1, 1);
        check(pixel[0] == 20 && pixel[1] == 20 && pixel[2] == 20, "grey of one pixel");
    }
    {
        /* A 2 x 2 cut out of a 4 x 3 frame through the C view of zqPoint. */
        unsigned char frame[4 * 3 * 3], out[2 * 2 * 3];
        zqPoint lt = {1, 1}, rb = {3, 3};
        int w = 0, h = 0;
        for (i = 0; i < sizeof(frame); ++i)
            frame[i] = (unsigned char)i;
        check(zq_scanner_cutting_edge_set(&lt, &rb) == 0, "rectangle recorded");
        check(zq_scanner_cutting_edge_do(frame, 4, 3, out, (int)sizeof(out), &w, &h) == 0,
              "rectangle cut");
        check(w == 2 && h == 2, "cut size");
        check(memcmp(out, frame + (1 * 4 + 1) * 3, 6) == 0, "first row of the cut");
        check(memcmp(out + 6, frame + (2 * 4 + 1) * 3, 6) == 0, "second row of the cut");
    }
    check(strcmp(zq_pdf_error(), "can not load libzqpdf.so") == 0, "no PDF library loaded yet");
    {
        int messages = 0;
        zq_log_handler handler = count_message;
        zq_set_log_handler(handler, &messages);
        zq_set_log_handler(NULL, NULL);
    }
    {
        /* A chip handle that holds no chip refuses reads and says so. */
        zq_chip *chip = zq_chip_new();
        unsigned char byte = 0;
        check(chip != NULL, "a new chip handle");
        check(zq_chip_read_flash(chip, 0, &byte, 1) == ZQ_CHIP_ERR_NOT_OPEN, "no chip open");
        check(zq_chip_last_error(chip)[0] != '\0', "the handle says why");
        check(zq_chip_close(chip) == ZQ_CHIP_OK, "closing a handle without a chip");
        zq_chip_free(chip);
    }

    if (failures == 0)
        printf("public headers work from C\n");
    return failures == 0 ? 0 : 1;
}
