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

/* Composes the image_count JPEG or TIFF files named in image_list, in that
 * order, into the PDF file output_path.  The strings and the array stay the
 * caller's.  Returns 0 on success; -1 when libzqpdf.so or one of its entry
 * points cannot be loaded; otherwise the failure code of libzqpdf (the
 * failing zqpdf_init's, or zqpdf_create_pdf's). */
ZQ_EXPORT int zq_create_pdf(const char **image_list, int image_count, const char *output_path);

/* Why composition failed: "can not load libzqpdf.so", "can not load
 * zqpdf_last_error()", "can not load zqpdf_uninit()", "can not load
 * zqpdf_init()", "can not load zqpdf_create_pdf()", or libzqpdf's own
 * text.  The text belongs to the libraries; do not free it. */
ZQ_EXPORT const char *zq_pdf_error(void);

ZQ_EXTERN_C_END

#endif
