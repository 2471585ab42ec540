/*
 * libzqpdf: composes JPEG and TIFF pictures into one PDF file, one page a
 * picture, in the order given.
 *
 * JPEG files are embedded as they are (their bytes become the page's image
 * unchanged); TIFF files are decoded and embedded losslessly as
 * Flate-compressed RGB.
 *
 * Page size: each page is as large as its picture can be on the paper of
 * the current locale's LC_PAPER category (A4, or Letter where the locale
 * says so), upright for a picture higher than wide or square, landscape for
 * a wider one.  The page keeps the picture's proportions, so one pair of
 * its edges is the paper's: an A4 document cut from a camera frame prints
 * at A4 size whatever the camera's resolution.  The paper is read at each
 * composition; a program gives the user's paper by calling
 * setlocale(LC_ALL, "") or setlocale(LC_PAPER, "") first (a program in the
 * "C" locale gets A4).  Callers that want pages of the picture's pixel size
 * at a fixed density instead call zqpdf_set_resolution(ZQPDF_RESOLUTION_DPI)
 * (or another density) before composing; zqpdf_set_resolution(0) returns
 * to the paper.
 *
 * The PDF is written to a temporary file beside the output and renamed into
 * place when complete, so a failed composition leaves no PDF behind and an
 * earlier file of the same name untouched.
 *
 * libzqscan loads this library at run time and looks the four entry points
 * zqpdf_init, zqpdf_uninit, zqpdf_last_error and zqpdf_create_pdf up by
 * name; the pointer types below are what it uses.  The library is meant for
 * one thread at a time; the error text is kept per thread.
 */
#ifndef ZQPDF_H
#define ZQPDF_H

#ifdef __cplusplus
#define ZQPDF_EXTERN_C_BEGIN extern "C" {
#define ZQPDF_EXTERN_C_END }
#else
#define ZQPDF_EXTERN_C_BEGIN
#define ZQPDF_EXTERN_C_END
#endif

#define ZQPDF_EXPORT __attribute__((visibility("default")))

ZQPDF_EXTERN_C_BEGIN

/* Result of a composition: ZQPDF_OK or one of the failure codes. */
typedef int zqpdf_errno;

#define ZQPDF_OK 0
#define ZQPDF_ERR_NO_IMAGES 1 /* no pictures were named */
#define ZQPDF_ERR_READ 2      /* a picture file cannot be read */
#define ZQPDF_ERR_NOT_IMAGE 3 /* a picture file is not a JPEG or TIFF we can embed */
#define ZQPDF_ERR_WRITE 4     /* the output cannot be written */
#define ZQPDF_ERR_INTERNAL 5  /* out of memory or another unexpected failure */

/* The pixel density of earlier versions' fixed page sizes. */
#define ZQPDF_RESOLUTION_DPI 200

/* Prepares the library; returns 0 when ready.  Nothing needs releasing, so
 * zqpdf_uninit only forgets the last error text. */
ZQPDF_EXPORT int zqpdf_init(void);
ZQPDF_EXPORT void zqpdf_uninit(void);

/* Why the last composition on this thread failed ("no error" after a
 * success).  The text belongs to the library and stays valid until the
 * next call on the same thread. */
ZQPDF_EXPORT const char *zqpdf_last_error(void);

/* Composes image_count picture files named in image_list into the PDF file
 * output_path, replacing any file of that name.  Returns ZQPDF_OK or a
 * failure code, with the reason in zqpdf_last_error(). */
ZQPDF_EXPORT zqpdf_errno zqpdf_create_pdf(const char **image_list, int image_count,
                                          const char *output_path);

/* From now on, each page has its picture's pixel size at dpi pixels per
 * inch; dpi 0 or less makes each page fit the locale's paper again (the
 * initial setting).  The setting holds for the whole process. */
ZQPDF_EXPORT void zqpdf_set_resolution(int dpi);

typedef int (*pzqpdf_init)(void);
typedef void (*pzqpdf_uninit)(void);
typedef const char *(*pzqpdf_last_error)(void);
typedef zqpdf_errno (*pzqpdf_create_pdf)(const char **image_list, int image_count,
                                         const char *output_path);

ZQPDF_EXTERN_C_END

#endif
