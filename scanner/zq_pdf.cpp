// PDF composition entry points: hand the work to libzqpdf through the one
// holder of that library.
#include <zqscan/zq_pdf.h>

#include "czqpdf.h"

namespace
{

CZQPDF g_zqpdf;

// Loads and initialises the library if need be, then calls it; the failing
// zqpdf_init's code otherwise.
template <typename Call> int whenReady(Call call)
{
    try {
        const int ready = g_zqpdf.init();
        return ready != 0 ? ready : call();
    } catch (...) {
        return -1;
    }
}

} // namespace

int zq_create_pdf(const char **image_list, int image_count, const char *output_path)
{
    return whenReady([&] { return g_zqpdf.create_pdf(image_list, image_count, output_path); });
}

int zq_pdf_set_page_encoding(int encoding)
{
    return whenReady([&] { return g_zqpdf.set_page_encoding(encoding); });
}

int zq_pdf_set_text_layer(const char *languages)
{
    return whenReady([&] { return g_zqpdf.set_text_layer(languages); });
}

int zq_pdf_prepare_page(const char *path)
{
    return whenReady([&] { return g_zqpdf.prepare_page(path); });
}

const char *zq_pdf_error(void)
{
    try {
        return g_zqpdf.last_error();
    } catch (...) {
        return "can not load libzqpdf.so";
    }
}
