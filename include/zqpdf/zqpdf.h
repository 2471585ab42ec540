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
 * Page encoding: by default each picture is embedded as described above.
 * After zqpdf_set_page_encoding(ZQPDF_ENCODING_COMPACT) each page is
 * encoded anew after what it holds, in a small fraction of its picture's
 * size: a page of text and line art in black and white as one bilevel
 * picture at the picture's full resolution (CCITT Group 4 or Flate,
 * whichever is smaller), a page with colour on it (a photograph, a stamp,
 * a highlighted line) as a colour picture at a third of the resolution
 * with its dark text drawn over it, sharp, at the full resolution.  A page
 * whose compact form would not be smaller stays as it was, and so do a
 * page without colour that black and white would turn lighter or darker
 * (white print on black, a grey photograph) and a
 * picture of fewer than 100 pixels per inch on its page, whose text only
 * its shades of grey keep readable.  The text layer
 * is still read from the original picture.
 *
 * Searchable PDFs: after zqpdf_set_text_layer("chi_sim+eng") (Tesseract's
 * language names) every page also gets the words Tesseract reads in its
 * picture, as invisible text over the words, so that a viewer can find,
 * highlight and copy them; the picture itself is embedded as without it.
 * Recognition is slow (seconds a page), so a program that captures pages
 * one by one hands each to zqpdf_prepare_page as soon as it is written:
 * one worker thread of the library, at the lowest priority, recognises the
 * pages in that order while the program goes on, and zqpdf_create_pdf
 * takes their words from there, recognising itself only pages that were
 * not prepared or whose file has changed since (another size or time of
 * modification).  The words of the most recent pages are kept (their text
 * only; each page is written out as soon as its words are there).
 *
 * The PDF is written to a temporary file beside the output and renamed into
 * place when complete, so a failed composition leaves no PDF behind and an
 * earlier file of the same name untouched.
 *
 * libzqscan loads this library at run time and looks its entry points up
 * by name; the pointer types below are what it uses.  The library is meant
 * for one thread at a time (its own worker aside); the error text is kept
 * per thread.
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
#define ZQPDF_ERR_NO_IMAGES 1      /* no pictures were named */
#define ZQPDF_ERR_READ 2           /* a picture file cannot be read */
#define ZQPDF_ERR_NOT_IMAGE 3      /* a picture file is not a JPEG or TIFF we can embed */
#define ZQPDF_ERR_WRITE 4          /* the output cannot be written */
#define ZQPDF_ERR_INTERNAL 5       /* out of memory or another unexpected failure */
#define ZQPDF_ERR_LANGUAGE 6       /* a text recognition language is not installed */
#define ZQPDF_ERR_TEXT_LAYER_OFF 7 /* a page to prepare while the text layer is off */
#define ZQPDF_ERR_SETTING 8        /* a setting's value is not one this library knows */

/* zqpdf_prepare_page: the page is queued or being recognised (no failure). */
#define ZQPDF_PAGE_PENDING 100

/* The pixel density of earlier versions' fixed page sizes. */
#define ZQPDF_RESOLUTION_DPI 200

/* Page encodings, for zqpdf_set_page_encoding. */
#define ZQPDF_ENCODING_ORIGINAL 0 /* each picture as it is (JPEG) or lossless (TIFF) */
#define ZQPDF_ENCODING_COMPACT 1  /* bilevel text, or reduced colour under sharp text */

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

/* Encodes the pages of the PDFs composed from now on as `encoding` says:
 * ZQPDF_ENCODING_ORIGINAL (the initial setting) or ZQPDF_ENCODING_COMPACT.
 * Returns ZQPDF_OK, or ZQPDF_ERR_SETTING for another value (the setting
 * then stays as it was; zqpdf_last_error() names the value).  The setting
 * holds for the whole process. */
ZQPDF_EXPORT int zqpdf_set_page_encoding(int encoding);

/* Gives the PDFs composed from now on a text layer recognised in these
 * languages, Tesseract's names joined by '+' ("chi_sim+eng"); null or ""
 * turns the layer off, which is the initial setting.  Returns ZQPDF_OK, or
 * ZQPDF_ERR_LANGUAGE when a name is malformed or its model is not installed
 * (the setting then stays as it was; zqpdf_last_error() names the model).
 * Changing the languages forgets the pages prepared before. */
ZQPDF_EXPORT int zqpdf_set_text_layer(const char *languages);

/* Starts recognising the picture file at path on the library's worker
 * thread and returns at once.  Returns ZQPDF_PAGE_PENDING while the page is
 * queued or being recognised, ZQPDF_OK once its words are there for the
 * file as it is now, or a failure code: ZQPDF_ERR_READ when the file cannot
 * be found, ZQPDF_ERR_TEXT_LAYER_OFF without a text layer, or the failure
 * that recognising it met (the reason in zqpdf_last_error()).  Calling it
 * again for the same file asks how far it is, and queues the file again
 * when it has changed. */
ZQPDF_EXPORT int zqpdf_prepare_page(const char *path);

typedef int (*pzqpdf_init)(void);
typedef void (*pzqpdf_uninit)(void);
typedef const char *(*pzqpdf_last_error)(void);
typedef zqpdf_errno (*pzqpdf_create_pdf)(const char **image_list, int image_count,
                                         const char *output_path);
typedef int (*pzqpdf_set_page_encoding)(int encoding);
typedef int (*pzqpdf_set_text_layer)(const char *languages);
typedef int (*pzqpdf_prepare_page)(const char *path);

ZQPDF_EXTERN_C_END

#endif
