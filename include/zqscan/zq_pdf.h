/*
 * libzqscan: PDF composition.
 *
 * The work is done by libzqpdf.so, which libzqscan loads from its own
 * folder on the first request and keeps loaded.  Not thread-safe: call it
 * from one thread.
 */
#ifndef ZQ_PDF_H
#define ZQ_PDF_H

#include "zq_export.h"

ZQ_EXTERN_C_BEGIN

/* zq_pdf_prepare_page: the page's words are still being recognised. */
#define ZQ_PDF_PAGE_PENDING 100

/* Composes the image_count JPEG or TIFF files named in image_list, in that
 * order, into the PDF file output_path.  The strings and the array stay the
 * caller's.  Returns 0 on success; -1 when libzqpdf.so or one of its entry
 * points cannot be loaded; otherwise the failure code of libzqpdf (the
 * failing zqpdf_init's, or zqpdf_create_pdf's). */
ZQ_EXPORT int zq_create_pdf(const char **image_list, int image_count, const char *output_path);

/* Page encodings, for zq_pdf_set_page_encoding (libzqpdf's
 * ZQPDF_ENCODING_ORIGINAL and ZQPDF_ENCODING_COMPACT). */
#define ZQ_PDF_ENCODING_ORIGINAL 0 /* each picture embedded as it is, as at first */
#define ZQ_PDF_ENCODING_COMPACT 1  /* each page encoded anew, small, after what it holds */

/* How the PDFs composed from now on encode their pages (libzqpdf's
 * zqpdf_set_page_encoding): ZQ_PDF_ENCODING_ORIGINAL embeds each picture
 * byte for byte; ZQ_PDF_ENCODING_COMPACT gives a page of text a bilevel
 * picture at full resolution and a page with colour a reduced colour
 * picture under its sharp text, unless that would not be smaller or the
 * picture has fewer than 100 pixels per inch on its page.  The
 * text layer is read from the original pictures either way.  Returns 0, -1
 * when libzqpdf.so or the entry point cannot be loaded, or libzqpdf's
 * failure code (ZQPDF_ERR_SETTING: an unknown encoding, the setting then
 * stays as it was). */
ZQ_EXPORT int zq_pdf_set_page_encoding(int encoding);

/* Searchable PDFs (libzqpdf's zqpdf_set_text_layer): the PDFs composed from
 * now on get a text layer recognised in these Tesseract languages
 * ("chi_sim+eng"); null or "" turns it off, as it is at first.  Returns 0,
 * -1 when libzqpdf.so or the entry point cannot be loaded, or libzqpdf's
 * failure code (ZQPDF_ERR_LANGUAGE: a model is not installed). */
ZQ_EXPORT int zq_pdf_set_text_layer(const char *languages);

/* Starts recognising the words of a captured page at once, in the
 * background (libzqpdf's zqpdf_prepare_page), so that composing it later
 * waits for little.  Returns at once: 0 when the page's words are ready,
 * ZQ_PDF_PAGE_PENDING while they are being recognised, -1 when
 * libzqpdf.so or the entry point cannot be loaded, or libzqpdf's failure
 * code.  Asking again for the same page tells how far it is. */
ZQ_EXPORT int zq_pdf_prepare_page(const char *path);

/* Why composition failed: "can not load libzqpdf.so", "can not load
 * zqpdf_last_error()", "can not load zqpdf_uninit()", "can not load
 * zqpdf_init()", "can not load zqpdf_create_pdf()", or libzqpdf's own text
 * (kept per thread: ask on the thread that called).  After a call of
 * zq_pdf_set_text_layer, zq_pdf_prepare_page or zq_pdf_set_page_encoding
 * that an older libzqpdf lacks, until the next call: "can not load
 * zqpdf_set_text_layer()", "can not load zqpdf_prepare_page()" or "can
 * not load zqpdf_set_page_encoding()".
 * The text belongs to the libraries; do not free it.  zq_last_error gives
 * the same after a failed call, and the loader's reason when libzqpdf.so
 * cannot be loaded. */
ZQ_EXPORT const char *zq_pdf_error(void);

ZQ_EXTERN_C_END

#endif
