/* A stand-in for libzqpdf that records how it is called.  Built several
 * times, each build leaving out the entry point named by a
 * STUB_WITHOUT_... definition. */
#include <zqpdf/zqpdf.h>

#include <stdio.h>
#include <string.h>

#define STUB_EXPORT __attribute__((visibility("default")))

/* Set by the test before the call, read back after it. */
STUB_EXPORT int stub_init_results[4]; /* what the first calls of zqpdf_init return */
STUB_EXPORT int stub_init_calls;
STUB_EXPORT int stub_create_result;
STUB_EXPORT int stub_create_calls;
STUB_EXPORT int stub_last_count;
STUB_EXPORT char stub_last_images[1024]; /* the paths, each followed by '|' */
STUB_EXPORT char stub_last_output[256];
STUB_EXPORT int stub_text_layer_result;
STUB_EXPORT char stub_last_languages[64]; /* "(null)" for a null pointer */
STUB_EXPORT int stub_prepare_result;
STUB_EXPORT char stub_last_prepared[256];
STUB_EXPORT int stub_encoding_result;
STUB_EXPORT int stub_last_encoding = -1;

#ifndef STUB_WITHOUT_INIT
int zqpdf_init(void)
{
    const int n = stub_init_calls++;
    return n < 4 ? stub_init_results[n] : 0;
}
#endif

#ifndef STUB_WITHOUT_UNINIT
void zqpdf_uninit(void) {}
#endif

#ifndef STUB_WITHOUT_LAST_ERROR
const char *zqpdf_last_error(void)
{
    return "stub's own text";
}
#endif

#ifndef STUB_WITHOUT_CREATE
zqpdf_errno zqpdf_create_pdf(const char **image_list, int image_count, const char *output_path)
{
    ++stub_create_calls;
    stub_last_count = image_count;
    stub_last_images[0] = '\0';
    for (int i = 0; i < image_count; ++i) {
        strncat(stub_last_images, image_list[i],
                sizeof stub_last_images - strlen(stub_last_images) - 1);
        strncat(stub_last_images, "|", sizeof stub_last_images - strlen(stub_last_images) - 1);
    }
    snprintf(stub_last_output, sizeof stub_last_output, "%s", output_path);
    return stub_create_result;
}
#endif

#ifndef STUB_WITHOUT_SET_TEXT_LAYER
int zqpdf_set_text_layer(const char *languages)
{
    snprintf(stub_last_languages, sizeof stub_last_languages, "%s",
             languages ? languages : "(null)");
    return stub_text_layer_result;
}
#endif

#ifndef STUB_WITHOUT_PREPARE_PAGE
int zqpdf_prepare_page(const char *path)
{
    snprintf(stub_last_prepared, sizeof stub_last_prepared, "%s", path);
    return stub_prepare_result;
}
#endif

#ifndef STUB_WITHOUT_SET_PAGE_ENCODING
int zqpdf_set_page_encoding(int encoding)
{
    stub_last_encoding = encoding;
    return stub_encoding_result;
}
#endif
