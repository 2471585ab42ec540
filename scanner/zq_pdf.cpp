// PDF composition entry points: hand the work to libzqpdf through the one
// holder of that library.
#include <zqscan/zq_pdf.h>

#include "czqpdf.h"
#include "last_error.h"

namespace
{

CZQPDF g_zqpdf;

// Loads and initialises the library if need be, then calls it; the failing
// zqpdf_init's code otherwise.  A failure is recorded as zq_pdf_error gives
// it, or as the loader's reason when the library did not load.
template <typename Call> int whenReady(const char *name, Call call, bool pendingIsSuccess = false)
{
    try {
        const int ready = g_zqpdf.init();
        const int result = ready != 0 ? ready : call();
        const bool failed = result != 0 && !(pendingIsSuccess && result == ZQ_PDF_PAGE_PENDING);
        if (failed && g_zqpdf.loaded())
            zq::failWith("%s", g_zqpdf.last_error());
        return result;
    } catch (...) {
        zq::failWithCurrentException(name);
        return -1;
    }
}

} // namespace

int zq_create_pdf(const char **image_list, int image_count, const char *output_path)
{
    return whenReady("zq_create_pdf",
                     [&] { return g_zqpdf.create_pdf(image_list, image_count, output_path); });
}

int zq_pdf_set_page_encoding(int encoding)
{
    return whenReady("zq_pdf_set_page_encoding",
                     [&] { return g_zqpdf.set_page_encoding(encoding); });
}

int zq_pdf_set_text_layer(const char *languages)
{
    return whenReady("zq_pdf_set_text_layer", [&] { return g_zqpdf.set_text_layer(languages); });
}

int zq_pdf_prepare_page(const char *path)
{
    return whenReady(
        "zq_pdf_prepare_page", [&] { return g_zqpdf.prepare_page(path); }, true);
}

const char *zq_pdf_error(void)
{
    try {
        return g_zqpdf.last_error();
    } catch (...) {
        return "can not load libzqpdf.so";
    }
}
